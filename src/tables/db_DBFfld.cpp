#include <cmath>
#include <cstring>
#include <functional>

#include "platform/core/DateTime.h"
#include "platform/core/Files.h"
#include "tables/db_DBF.h"
#include "tables/db_eror.h"
#include "tables/db_text.h"

namespace {

using dbtext::TrimLeftView;
using dbtext::TrimmedText;

constexpr double kMsPerDay = 86400000.0;
constexpr std::int32_t kJulianOfDayOne = 1721425;  // julian day before 1 January 0001

bool IsZeroBytes(const char* p, std::size_t n) {
  for (std::size_t i = 0; i < n; ++i)
    if (p[i] != 0) return false;
  return true;
}

// A plain decimal text ([-]digits[.digits], at most 15 digits) read exactly: the digits as
// a whole number are exact in a double and so is a power of ten up to 1e22, and one
// division rounds correctly, as the full decimal reader does. False for any other text.
bool ReadPlainDecimal(std::string_view t, double& out) {
  static constexpr double kTens[] = {1e0, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  std::size_t i = 0;
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  const bool negative = i < t.size() && t[i] == '-';
  if (negative) ++i;
  std::int64_t whole = 0;
  int digits = 0, decimals = -1;
  for (; i < t.size(); ++i) {
    const char c = t[i];
    if (c >= '0' && c <= '9') {
      if (++digits > 15) return false;
      whole = whole * 10 + (c - '0');
      if (decimals >= 0) ++decimals;
    } else if (c == '.' && decimals < 0) {
      decimals = 0;
    } else {
      break;
    }
  }
  while (i < t.size() && (t[i] == ' ' || t[i] == '\t')) ++i;
  if (i != t.size() || digits == 0) return false;
  const double v = decimals <= 0 ? static_cast<double>(whole) : static_cast<double>(whole) / kTens[decimals];
  out = negative ? -v : v;
  return true;
}

// Whether a logical field's text counts as true.
bool IsTrueText(std::string_view text) {
  if (text.size() == 1) return kTrueLetters.find(text[0]) != std::string_view::npos;
  return OccursIn(text, kTrueLetters);
}

bool AnyOf(char type, std::string_view set) { return type != 0 && set.find(type) != std::string_view::npos; }

std::int32_t RawInt32(const char* p, std::int32_t width) {
  std::int32_t v = 0;
  std::memcpy(&v, p, static_cast<std::size_t>(std::min(width, 4)));
  return v;
}

std::int32_t CheckedInt32(double v) {
  if (!std::isfinite(v)) RaiseRangeError();
  const double t = std::trunc(v);
  if (t < -2147483648.0 || t > 2147483647.0) RaiseRangeError();
  return static_cast<std::int32_t>(t);
}

// Fixed-point text of a number with the given decimals (halves away from zero).
AnsiString FixedText(double value, std::int32_t decimals) {
  if (value == 0) value = 0;  // no "-0.00"
  return Format("%.*f", {decimals, value});
}

// A table function of the expression link.
class TableFunction : public TdbUserDefFunction {
 public:
  using Body = std::function<bool(TdbExpArguments&, TdbExpValue&)>;
  TableFunction(AnsiString name, Body body) : name_(std::move(name)), body_(std::move(body)) {}
  AnsiString Name() const override { return name_; }
  bool Evaluate(TdbExpArguments& args, TdbExpValue& result) override { return body_(args, result); }

 private:
  AnsiString name_;
  Body body_;
};

}  // namespace

// --- Link classes ---------------------------------------------------------------------

TdbUserDefFunction* TdbFunctionReg::Find(std::string_view upperName) const {
  for (std::int64_t i = 0; i < Count(); ++i)
    if (Items(i)->Name() == upperName) return Items(i);
  return nullptr;
}

TdbUserDefFieldVar* TdbFieldVarReg::Find(std::string_view upperName) const {
  for (std::int64_t i = 0; i < Count(); ++i)
    if (Items(i)->Name() == upperName) return Items(i);
  return nullptr;
}

TdblDBFFieldVars::TdblDBFFieldVars(DBO_dBaseFld* table, std::int32_t number)
    : table_(table), name_(UpperCase(table->FieldName(number))), number_(number) {
  width_ = table->FieldType(number) == 'C' ? table->FieldLen(number) : table->FieldLen(number) & 0xFF;
}

void TdblDBFFieldVars::Value(TdbExpValue& value) {
  value.width = 0;
  switch (table_->FieldType(number_)) {
    case 'C':
      value.SetText(table_->FieldGet(number_));
      break;
    case 'D': {
      const std::int32_t julian = table_->DateGet(number_);
      value.SetNumber(julian == 0 ? kEmptyExpDate : julian, ek::Date);
      break;
    }
    case 'F':
    case 'N':
      value.SetNumber(table_->NumberGet(number_));
      value.width = width_;
      break;
    case 'L':
      value.SetLogical(table_->LogicGet(number_));
      break;
    default:
      value.kind = ek::Reference;
      value.table = table_;
      value.field = number_;
      break;
  }
}

// --- DBO_dBaseFld ----------------------------------------------------------------------------

DBO_dBaseFld::DBO_dBaseFld(std::string_view fileName, bool shared, bool readWrite)
    : DBO_dBaseDBF(fileName, shared, readWrite) {
  BuildLink();
}

void DBO_dBaseFld::BuildLink() {
  auto fieldArgument = [this](TdbExpArguments& args) -> std::int64_t {
    TdbExpValue v;
    args.GetArgument(0, v, ek::Text);
    return v.kind == ek::Text ? FieldNumber(AnsiUpperCase(v.text)) : 0;
  };
  link_.AddFunction(std::make_unique<TableFunction>("RECNO", [this](TdbExpArguments&, TdbExpValue& r) {
    r.SetNumber(static_cast<double>(RecNo()));
    return true;
  }));
  link_.AddFunction(std::make_unique<TableFunction>("DELETED", [this](TdbExpArguments&, TdbExpValue& r) {
    r.SetLogical(IsDeleted());
    return true;
  }));
  link_.AddFunction(std::make_unique<TableFunction>("BOF", [this](TdbExpArguments&, TdbExpValue& r) {
    r.SetLogical(Bof());
    return true;
  }));
  link_.AddFunction(std::make_unique<TableFunction>("EOF", [this](TdbExpArguments&, TdbExpValue& r) {
    r.SetLogical(Eof());
    return true;
  }));
  link_.AddFunction(std::make_unique<TableFunction>("TYPE", [this, fieldArgument](TdbExpArguments& a, TdbExpValue& r) {
    const std::int64_t n = fieldArgument(a);
    r.SetText(n > 0 ? AnsiString(1, FieldType(n)) : AnsiString("U"));
    return true;
  }));
  link_.AddFunction(std::make_unique<TableFunction>("LEN", [this, fieldArgument](TdbExpArguments& a, TdbExpValue& r) {
    const std::int64_t n = fieldArgument(a);
    if (n == 0) return false;
    r.SetNumber(Desc(n).raw[16]);
    return true;
  }));
  for (std::int64_t n = 1; n <= FieldCount(); ++n)
    link_.AddFieldVar(std::make_unique<TdblDBFFieldVars>(this, static_cast<std::int32_t>(n)));
}

AnsiString DBO_dBaseFld::TableStem() const { return ExtractNameNoExt(FileName()); }

bool DBO_dBaseFld::IsRawNumber(std::int64_t n) const { return InRange(n) && Desc(n).rawNumber; }

std::int64_t DBO_dBaseFld::FieldNumber(std::string_view name) const {
  AnsiString key = TrimRight(name);
  if (key.size() > 11) return 0;
  for (const auto& f : fields_)
    if (SameText(f.name, key)) return f.number;
  return 0;
}

const TdbFieldDesc* DBO_dBaseFld::FieldDesc(std::string_view name) {
  const std::int64_t n = FieldNumber(name);
  if (n == 0) {
    SetDbfLastError(dbe::BadFieldName);
    Error(dbe::BadFieldName, dbe::SubFieldName, AnsiString(name) + "->" + FileName());
    return nullptr;
  }
  return &Desc(n);
}

void DBO_dBaseFld::CheckTypeByName(const TdbFieldDesc* d, std::string_view allowed) {
  if (d && !AnyOf(d->type, allowed)) {
    SetDbfLastError(dbe::BadFieldType);
    Error(dbe::BadFieldType, dbe::SubFieldType, d->name);
  }
}

void DBO_dBaseFld::GetRecord(std::int64_t code) {
  DBO_dBaseDBF::GetRecord(code);
  std::fill(changes_.begin(), changes_.end(), 0);
}

AnsiString DBO_dBaseFld::FieldGet(std::int64_t n) const { return AnsiString(FieldView(n)); }

std::string_view DBO_dBaseFld::FieldView(std::int64_t n) const { return FieldViewIn(record_.data(), n); }

std::string_view DBO_dBaseFld::FieldViewIn(const char* record, std::int64_t n) const {
  if (!InRange(n)) return {};
  const TdbFieldDesc& d = Desc(n);
  const char* p = record + d.offset;
  const void* zero = std::memchr(p, 0, static_cast<std::size_t>(d.length));
  return {p, static_cast<std::size_t>(zero ? static_cast<const char*>(zero) - p : d.length)};
}

void DBO_dBaseFld::StoreText(std::int64_t n, std::string_view text) {
  const TdbFieldDesc& d = Desc(n);
  if ((d.type == 'N' || d.type == 'F') && std::ssize(text) > d.length) {
    // A number never loses its leading digits: the blanks around it may go, digits not.
    std::size_t b = 0, e = text.size();
    while (b < e && text[b] == ' ') ++b;
    while (e > b && text[e - 1] == ' ') --e;
    text = text.substr(b, e - b);
    if (std::ssize(text) > d.length) {
      SetDbfLastError(dbe::NumberTooLarge);
      return Error(dbe::NumberTooLarge, dbe::SubNumberText, d.name + " - " + AnsiString(text));
    }
  }
  char* p = record_.data() + d.offset;
  std::memset(p, ' ', static_cast<std::size_t>(d.length));
  const std::size_t count = std::min(text.size(), static_cast<std::size_t>(d.length));
  if (AnyOf(d.type, "CDL"))
    std::memcpy(p, text.data(), count);
  else
    std::memcpy(p + d.length - count, text.data() + text.size() - count, count);
  changes_[static_cast<std::size_t>(n)] = 1;
  Announce(dbn::FieldStored, n);
}

bool DBO_dBaseFld::FieldPut(std::int64_t n, std::string_view text) {
  if (!InRange(n)) return false;
  StoreText(n, text);
  return true;
}

std::int32_t DBO_dBaseFld::FieldDecimals(std::int64_t n) const {
  return InRange(n) && Desc(n).type != 'C' ? Desc(n).decimals : 0;
}
std::int32_t DBO_dBaseFld::FieldLen(std::int64_t n) const { return InRange(n) ? Desc(n).length : 0; }
std::int64_t DBO_dBaseFld::FieldOffset(std::int64_t n) const { return InRange(n) ? Desc(n).offset : 0; }
AnsiString DBO_dBaseFld::FieldName(std::int64_t n) const { return InRange(n) ? Desc(n).name : AnsiString(); }
char DBO_dBaseFld::FieldType(std::int64_t n) const { return InRange(n) ? Desc(n).type : 0; }

// --- Dates ---------------------------------------------------------------------------------

std::int32_t DBO_dBaseFld::DateGet(std::int64_t n) {
  if (!InRange(n)) return 0;
  const AnsiString text = FieldGet(n);
  try {
    return DBFDate().TextToJulian(text);
  } catch (const EConvertError&) {
    SetDbfLastError(dbe::BadFieldType);
    Error(dbe::BadFieldType, dbe::NoSubCode,
          "Invalid date in field " + TableStem() + "->" + Desc(n).name + " (" + text + ")");
    return 0;
  }
}

bool DBO_dBaseFld::DatePut(std::int64_t n, std::int32_t julian) {
  if (!InRange(n)) return false;
  if (julian == -1) {
    SetDbfLastError(dbe::BadFieldType);
    Error(dbe::BadFieldType, dbe::SubDateMinusOne, Desc(n).name);
    return false;
  }
  if (Desc(n).type != 'D') return false;
  StoreText(n, DBFDate().JulianToDBF(julian));
  return true;
}

std::int32_t DBO_dBaseFld::DateGetByName(std::string_view name) {
  const TdbFieldDesc* d = FieldDesc(name);
  CheckTypeByName(d, "D");
  return d ? DateGet(d->number) : 0;
}

void DBO_dBaseFld::DatePutByName(std::string_view name, std::int32_t julian) {
  const TdbFieldDesc* d = FieldDesc(name);
  CheckTypeByName(d, "D");
  if (d) DatePut(d->number, julian);
}

// --- Logicals --------------------------------------------------------------------------------

bool DBO_dBaseFld::LogicGet(std::int64_t n) const { return LogicGetIn(record_.data(), n); }

bool DBO_dBaseFld::LogicGetIn(const char* record, std::int64_t n) const {
  return InRange(n) && OccursIn(FieldViewIn(record, n), kTrueLetters);
}

bool DBO_dBaseFld::LogicPut(std::int64_t n, bool value) {
  if (!InRange(n)) return false;
  if (Desc(n).type != 'L') {
    SetDbfLastError(dbe::BadFieldType);
    Error(dbe::BadFieldType, dbe::SubFieldType, Desc(n).name);
    return false;
  }
  StoreText(n, value ? "T" : "F");
  return true;
}

bool DBO_dBaseFld::LogicGetByName(std::string_view name) {
  const TdbFieldDesc* d = FieldDesc(name);
  CheckTypeByName(d, "L");
  return d ? LogicGet(d->number) : false;
}

void DBO_dBaseFld::LogicPutByName(std::string_view name, bool value) {
  const TdbFieldDesc* d = FieldDesc(name);
  CheckTypeByName(d, "L");
  if (d) LogicPut(d->number, value);
}

// --- Numbers ----------------------------------------------------------------------------------

double DBO_dBaseFld::NumberGet(std::int64_t n) { return NumberGetIn(record_.data(), n); }

double DBO_dBaseFld::NumberGetIn(const char* record, std::int64_t n) {
  if (!InRange(n)) return 0;
  const TdbFieldDesc& d = Desc(n);
  const char* p = record + d.offset;
  if (IsRawNumber(n)) {
    switch (d.type) {
      case 'B': {
        double v = 0;
        std::memcpy(&v, p, 8);
        return v;
      }
      case 'T': {
        if (IsZeroBytes(p, 8)) return 0;  // the blank date-time
        const std::int32_t julian = std::memcmp(p, "    ", 4) == 0 ? TdbDBFDate::kOffset : RawInt32(p, 4);
        const std::int32_t ms = std::memcmp(p + 4, "    ", 4) == 0 ? 0 : RawInt32(p + 4, 4);
        return (static_cast<double>(julian) - kJulianOfDayOne) * kMsPerDay + ms;
      }
      case 'Y': {
        std::int64_t v = 0;
        std::memcpy(&v, p, 8);
        return static_cast<double>(v) / 10000.0;
      }
      default:
        return RawInt32(p, d.length);
    }
  }
  // Read over the record's own bytes: no copy of the text.
  const std::string_view text = TrimmedText(p, static_cast<std::size_t>(d.length)).substr(0, 31);
  if (TrimLeftView(text).empty()) return 0;
  double v = 0;
  if (ReadPlainDecimal(text, v)) return v;
  if (!TryStrToFloat(text, v)) {
    SetDbfLastError(dbe::BadFieldType);
    Error(dbe::BadFieldType, dbe::NoSubCode,
          "Invalid number in field " + TableStem() + "->" + d.name + " (" + AnsiString(text) + ")");
    return 0;
  }
  return v;
}

bool DBO_dBaseFld::NumberPut(std::int64_t n, double value) {
  if (!InRange(n)) return false;
  const TdbFieldDesc& d = Desc(n);
  if (!AnyOf(d.type, Version() == 0x30 ? "BFGMNITY" : "BFGMN")) {
    SetDbfLastError(dbe::BadFieldType);
    Error(dbe::BadFieldType, dbe::SubFieldType, d.name);
    return false;
  }
  char* p = record_.data() + d.offset;
  if (IsRawNumber(n)) {
    switch (d.type) {
      case 'B':
        std::memcpy(p, &value, 8);
        break;
      case 'T': {
        if (!std::isfinite(value)) RaiseRangeError();
        if (value == 0) {  // the blank date-time: eight zero bytes, as other programs read it
          std::memset(p, 0, 8);
          break;
        }
        const double days = std::trunc(value / kMsPerDay);
        const std::int32_t julian = CheckedInt32(days + kJulianOfDayOne);
        const std::int32_t ms = CheckedInt32(value - days * kMsPerDay);
        std::memcpy(p, &julian, 4);
        std::memcpy(p + 4, &ms, 4);
        break;
      }
      case 'Y': {
        const std::int64_t v = Round(value * 10000.0);
        std::memcpy(p, &v, 8);
        break;
      }
      default: {
        const std::int32_t v = CheckedInt32(value);
        std::memcpy(p, &v, 4);
        break;
      }
    }
    changes_[static_cast<std::size_t>(n)] = 1;
    return true;
  }
  const AnsiString text = std::isfinite(value) ? FixedText(value, d.decimals) : AnsiString("*");
  if (!std::isfinite(value) || std::ssize(text) > d.length) {
    SetDbfLastError(dbe::NumberTooLarge);
    Error(dbe::NumberTooLarge, dbe::SubNumberText, d.name + " - " + text);
    return false;
  }
  StoreText(n, text);
  return true;
}

double DBO_dBaseFld::NumberGetByName(std::string_view name) {
  const TdbFieldDesc* d = FieldDesc(name);
  CheckTypeByName(d, "NBFGIM");
  return d ? NumberGet(d->number) : 0;
}

void DBO_dBaseFld::NumberPutByName(std::string_view name, double value) {
  const TdbFieldDesc* d = FieldDesc(name);
  CheckTypeByName(d, "NBFGIM");
  if (d) NumberPut(d->number, value);
}

// --- Texts -------------------------------------------------------------------------------------

AnsiString DBO_dBaseFld::DisplayText(std::int64_t n) {
  AnsiString text;
  DisplayTextTo(n, text);
  return text;
}

void DBO_dBaseFld::DisplayTextRest(const char* record, std::int64_t n, AnsiString& out) {
  if (!InRange(n)) return out.clear();
  const TdbFieldDesc& d = Desc(n);
  const std::string_view text = TrimmedText(record + d.offset, static_cast<std::size_t>(d.length));
  if (!d.rawNumber) {
    switch (d.type) {
      case 'C':
        return (void)out.assign(text);
      case 'F':
      case 'N':
        if (TrimLeftView(text).empty()) return (void)(out = FixedText(0, d.decimals));
        return (void)out.assign(TrimLeftView(text));
      case 'L':
        return (void)out.assign(IsTrueText(text) ? "T" : "F", 1);
      case 'D':
        if (DBFDate().StoredToDisplay(text, out)) return;
        break;
      default:
        break;
    }
  }
  // The rarer types read the record buffer itself.
  AnsiString copy(text);
  if (record != record_.data())
    std::memcpy(record_.data(), record, static_cast<std::size_t>(RecordLength()));
  out = DisplayTextOther(n, copy);
}

AnsiString DBO_dBaseFld::DisplayTextOther(std::int64_t n, const AnsiString& text) {
  const TdbFieldDesc& d = Desc(n);
  if (AnyOf(d.type, "BGM")) {
    const AnsiString probe = IsRawNumber(n) ? AnsiString(NumberGet(n) > 0.1 ? "1" : "0") : TrimLeft(text);
    const bool exists = probe.compare("0") > 0;
    switch (d.type) {
      case 'B':
        return exists ? "--BINARY--" : "--binary--";
      case 'G':
        return exists ? "-GENERAL--" : "-general--";
      default:
        return exists ? "---MEMO---" : "---memo---";
    }
  }
  if (IsRawNumber(n)) {
    // Raw numbers of 0x30 tables show their values, not their bytes.
    switch (d.type) {
      case 'I':
        return IntToStr(static_cast<std::int64_t>(NumberGet(n)));
      case 'Y':
        return FixedText(NumberGet(n), 4);
      default: {  // T
        const char* p = record_.data() + d.offset;
        const std::int32_t julian = std::memcmp(p, "    ", 4) == 0 ? 0 : RawInt32(p, 4);
        if (julian <= kJulianOfDayOne) return "";  // no date (a blank record holds 0)
        const std::int64_t ms = std::memcmp(p + 4, "    ", 4) == 0 ? 0 : RawInt32(p + 4, 4);
        return DBFDate().JulianToDisplay(julian) + " " +
               Format("%.2d:%.2d:%.2d", {ms / 3600000 % 24, ms / 60000 % 60, ms / 1000 % 60});
      }
    }
  }
  switch (d.type) {
    case 'D':
      return DBFDate().JulianToDisplay(DateGet(n));
    case 'F':
    case 'N': {
      AnsiString t = TrimLeft(text);
      return t.empty() ? FixedText(0, d.decimals) : t;
    }
    case 'L':
      return OccursIn(text, kTrueLetters) ? "T" : "F";
    default:
      return text;
  }
}

void DBO_dBaseFld::TextPut(std::int64_t n, std::string_view text) {
  if (!InRange(n)) return;
  const TdbFieldDesc& d = Desc(n);
  const bool raw = IsRawNumber(n);
  if (d.type == 'D') {
    DatePut(n, DBFDate().TextToJulian(text));
  } else if (d.type == 'L') {
    const AnsiString t = TrimRight(text).substr(0, 32);
    if (t.empty()) {
      StoreText(n, "");  // a blank logical reads as false
      return;
    }
    double v = 0;
    bool value;
    if (OccursIn(t, kTrueLetters))
      value = true;
    else if (OccursIn(t, kFalseLetters))
      value = false;
    else if (TryStrToFloat(t, v))
      value = v != 0;
    else {
      SetDbfLastError(dbe::BadFieldType);
      Error(dbe::BadFieldType, dbe::SubLogicText, d.name);
      return;
    }
    LogicPut(n, value);
  } else if (raw && d.type == 'T') {
    // "dd.mm.yyyy[ hh:nn[:ss]]" or "yyyymmdd": the date and the time of day.
    const AnsiString t = Trim(text);
    if (t.empty()) return (void)NumberPut(n, 0);  // the blank date-time
    const std::size_t blank = t.find(' ');
    const std::int32_t julian = DBFDate().TextToJulian(t.substr(0, blank));
    std::int64_t ms = 0;
    if (blank != AnsiString::npos) {
      int h = 0, m = 0, s = 0;
      const AnsiString time = Trim(t.substr(blank));
      if (std::sscanf(time.c_str(), "%d:%d:%d", &h, &m, &s) < 2 || h < 0 || h > 23 || m < 0 || m > 59 || s < 0 ||
          s > 59)
        throw EConvertError("'" + time + "' is not a valid time");
      ms = ((h * 60LL + m) * 60 + s) * 1000;
    }
    NumberPut(n, (static_cast<double>(julian) - kJulianOfDayOne) * kMsPerDay + static_cast<double>(ms));
  } else if (d.type == 'N' || raw) {
    const AnsiString t = TrimRight(text).substr(0, 32);
    double v = 0;
    if (!Trim(t).empty() && !TryStrToFloat(t, v)) {
      SetDbfLastError(dbe::BadFieldType);
      Error(dbe::BadFieldType, dbe::SubNumberText, d.name);
      return;
    }
    NumberPut(n, v);
  } else {
    StoreText(n, text);
  }
}

AnsiString DBO_dBaseFld::FieldGetByName(std::string_view name) {
  const std::int64_t n = FieldNumber(name);
  if (n == 0) FieldDesc(name);
  return FieldGet(n);
}

bool DBO_dBaseFld::FieldPutByName(std::string_view name, std::string_view text) {
  const TdbFieldDesc* d = FieldDesc(name);
  return d ? FieldPut(d->number, text) : false;
}

AnsiString DBO_dBaseFld::DisplayTextByName(std::string_view name) {
  const TdbFieldDesc* d = FieldDesc(name);
  return d ? DisplayText(d->number) : AnsiString();
}

void DBO_dBaseFld::TextPutByName(std::string_view name, std::string_view text) {
  if (const TdbFieldDesc* d = FieldDesc(name)) TextPut(d->number, text);
}

// --- Records -------------------------------------------------------------------------------------

void DBO_dBaseFld::BlankRecord() {
  std::memset(record_.data(), ' ', static_cast<std::size_t>(RecordLength()));
  for (std::int64_t n = 1; n <= FieldCount(); ++n)
    if (AnyOf(Desc(n).type, "FN") || IsRawNumber(n)) NumberPut(n, 0);
  std::fill(changes_.begin(), changes_.end(), 1);
  Announce(dbn::Blanked, 0);
}

void DBO_dBaseFld::Delete() {
  if (current_ <= 0) {  // no current record: nothing to mark, and never an append
    SetDbfLastError(dbe::BeyondEof);
    return Error(dbe::BeyondEof, dbe::SubRecord, FileName());
  }
  record_[0] = '*';
  changes_[0] = 1;
  PutRecord(current_);
}

void DBO_dBaseFld::Undelete() {
  if (current_ <= 0) {
    SetDbfLastError(dbe::BeyondEof);
    return Error(dbe::BeyondEof, dbe::SubRecord, FileName());
  }
  record_[0] = ' ';
  changes_[0] = 1;
  PutRecord(current_);
}

// --- Memo fields -----------------------------------------------------------------------------------

std::uint32_t DBO_dBaseFld::MemoBlock(std::int64_t n) {
  const double v = NumberGet(n);
  if (!(v >= 0 && v <= 4294967295.0)) {
    SetDbfLastError(dbe::BadMemo);
    Error(dbe::BadMemo, dbe::SubMemoBlock, FileName());
    return 0;
  }
  return static_cast<std::uint32_t>(v);
}

std::int64_t DBO_dBaseFld::MemoSize(std::int64_t n) {
  if (!InRange(n) || !AnyOf(Desc(n).type, "BGM")) return 0;
  DBobjMemo* memo = OpenMemo();
  return memo ? memo->MemoSize(MemoBlock(n)) : 0;
}

AnsiString DBO_dBaseFld::MemoRead(std::int64_t n) {
  if (!InRange(n) || !AnyOf(Desc(n).type, "BGM")) return "";
  DBobjMemo* memo = OpenMemo();
  return memo ? memo->ReadMemo(MemoBlock(n)) : AnsiString();
}

bool DBO_dBaseFld::MemoWrite(std::int64_t n, const void* buffer, std::int64_t length) {
  if (!InRange(n) || !AnyOf(Desc(n).type, "BGM")) return false;
  DBobjMemo* memo = OpenMemo();
  if (!memo) return false;
  const std::uint32_t block = memo->WriteMemo(buffer, MemoBlock(n), length);
  return NumberPut(n, block);
}
