#include "report/RP_Funcs.h"

#include <algorithm>
#include <typeinfo>

#include "platform/core/AnsiText.h"
#include "platform/core/FormatMask.h"
#include "report/RP_Intrp.h"
#include "report/RP_Utils.h"

TrpFunctionServices& rpFunctionServices() {
  static TrpFunctionServices services;
  return services;
}

namespace {

Variant Eval(const Variant& argument) {
  const auto& evaluate = rpFunctionServices().Evaluate;
  return evaluate ? evaluate(argument.AsString()) : Variant(0);
}

AnsiString Text(const Variant& argument) { return VarToStr(Eval(argument)); }

TDateTime DateOf(const Variant& argument) {
  Variant v = Eval(argument);
  if (v.IsNull()) throw EConvertError("Invalid date value");
  return v.AsDate();
}

std::vector<std::unique_ptr<TrpFunctionLibrary>>& Libraries() {
  static std::vector<std::unique_ptr<TrpFunctionLibrary>> libraries = [] {
    std::vector<std::unique_ptr<TrpFunctionLibrary>> v;
    v.push_back(std::make_unique<TrpStdFunctionLibrary>());
    return v;
  }();
  return libraries;
}

constexpr char kSep = '\x01';

}  // namespace

// ---------------------------------------------------------------------------------
// Libraries

bool TrpFunctionLibrary::CallFunction(const AnsiString& name, const Variant& p1, const Variant& p2,
                                      const Variant& p3, Variant& value) {
  auto at = std::lower_bound(names_.begin(), names_.end(), name);
  if (at == names_.end() || *at != name) return false;
  DoFunction(static_cast<int>(at - names_.begin()), p1, p2, p3, value);
  return true;
}

TrpStdFunctionLibrary::TrpStdFunctionLibrary() {
  for (const char* n : {"AVG", "COUNT", "DAYOF", "FORMATDATETIME", "FORMATFLOAT", "FORMATTEXT", "INPUT", "LENGTH",
                        "LOWERCASE", "MAX", "MAXNUM", "MESSAGEBOX", "MIN", "MINNUM", "MONTHOF", "NAMECASE", "POS",
                        "SUM", "TRIM", "UPPERCASE", "YEAROF"})
    AddName(n);
}

void TrpStdFunctionLibrary::DoFunction(int index, const Variant& p1, const Variant& p2, const Variant& p3,
                                       Variant& value) {
  TrpFunctionServices& services = rpFunctionServices();
  auto aggregate = [&](int code, const Variant& expression, const Variant& band, const Variant& flag) {
    if (services.Aggregate) services.Aggregate(code, expression.AsString(), band.AsString(), flag.AsString(), value);
  };
  switch (index) {
    case 0: aggregate(rpAggAvg, p1, p2, p3); break;
    case 1: aggregate(rpAggCount, Variant(""), p1, p2); break;
    case 2: value = Variant(std::stoi(FormatDateTimeMask("d", DateOf(p1)))); break;
    case 3: {
      TDateTime date = DateOf(p2);
      value = Variant(FormatDateTimeMask(Text(p1), date));
      break;
    }
    case 4: {
      double number = Eval(p2).AsDouble();
      value = Variant(FormatFloatMask(Text(p1), number, FormatSettings().DecimalSeparator,
                                      FormatSettings().ThousandSeparator));
      break;
    }
    case 5: {
      AnsiString text = Text(p2);
      value = Variant(rpFormatMaskText(Text(p1) + ";0; ", text));
      break;
    }
    case 6: {
      AnsiString answer = Text(p2);
      AnsiString prompt = Text(p1);
      if (services.InputQuery) services.InputQuery("", prompt, answer);
      value = Variant(answer);
      break;
    }
    case 7: value = Variant(static_cast<int>(Text(p1).size())); break;
    case 8: value = Variant(AnsiLowerCase(Text(p1))); break;
    case 9: aggregate(rpAggMax, p1, p2, p3); break;
    case 10:
    case 13: {
      Variant a = Eval(p1), b = Eval(p2);
      auto r = Variant::Compare(a, b);
      bool takeA = index == 10 ? r == TVariantRelationship::vrGreaterThan : r == TVariantRelationship::vrLessThan;
      value = takeA ? a : b;
      break;
    }
    case 11: {
      int flags = static_cast<int>(Eval(p3).AsInteger());
      AnsiString caption = Text(p2);
      AnsiString text = Text(p1);
      value = Variant(services.MessageBox ? services.MessageBox(text, caption, flags) : 2);
      break;
    }
    case 12: aggregate(rpAggMin, p1, p2, p3); break;
    case 14: value = Variant(std::stoi(FormatDateTimeMask("m", DateOf(p1)))); break;
    case 15: {
      AnsiString s = AnsiLowerCase(Text(p1));
      if (!s.empty()) s = AnsiUpperCase(s.substr(0, 1)) + s.substr(1);
      value = Variant(s);
      break;
    }
    case 16: {
      AnsiString text = Text(p2);
      AnsiString sub = Text(p1);
      std::size_t at = sub.empty() ? AnsiString::npos : text.find(sub);
      value = Variant(at == AnsiString::npos ? 0 : static_cast<int>(at) + 1);
      break;
    }
    case 17: aggregate(rpAggSum, p1, p2, p3); break;
    case 18: value = Variant(Trim(Text(p1))); break;
    case 19: value = Variant(AnsiUpperCase(Text(p1))); break;
    case 20: value = Variant(std::stoi(FormatDateTimeMask("yyyy", DateOf(p1)))); break;
  }
}

const std::vector<std::unique_ptr<TrpFunctionLibrary>>& rpFunctionLibraries() { return Libraries(); }

void TrpInstalledFunctions::Add(const TrpFunctionDescription& function) {
  for (auto& item : items_)
    if (AnsiSameText(item.Name, function.Name)) {
      item = function;
      return;
    }
  items_.push_back(function);
}

const TrpFunctionDescription* TrpInstalledFunctions::Find(std::string_view name) const {
  for (const auto& item : items_)
    if (AnsiSameText(item.Name, name)) return &item;
  return nullptr;
}

TrpInstalledFunctions& rpInstalledFunctions() {
  static TrpInstalledFunctions list;
  return list;
}

void rpRegisterFunctionLibrary(std::unique_ptr<TrpFunctionLibrary> library) {
  if (!library) return;
  for (const auto& l : Libraries())
    if (typeid(*l) == typeid(*library)) return;
  Libraries().push_back(std::move(library));
}

bool rpCallLibraryFunction(const AnsiString& name, const Variant& p1, const Variant& p2, const Variant& p3,
                           Variant& value) {
  for (const auto& l : Libraries())
    if (l->CallFunction(name, p1, p2, p3, value)) return true;
  return false;
}

AnsiString rpFormatMaskText(std::string_view editMask, std::string_view text) {
  std::string_view mask = editMask.substr(0, std::min(editMask.find(';'), editMask.size()));
  AnsiString out;
  std::size_t t = 0;
  int caseMode = 0;  // 1 upper, -1 lower
  for (std::size_t i = 0; i < mask.size(); ++i) {
    char c = mask[i];
    if (c == '\\' && i + 1 < mask.size()) {
      out.push_back(mask[++i]);
      continue;
    }
    if (c == '>' || c == '<') {
      if (c == '<' && i + 1 < mask.size() && mask[i + 1] == '>') {
        caseMode = 0;
        ++i;
      } else {
        caseMode = c == '>' ? 1 : -1;
      }
      continue;
    }
    if (std::string_view("09#LlAaCc").find(c) != std::string_view::npos) {
      if (t >= text.size()) {
        out.push_back(' ');
        continue;
      }
      AnsiString ch(1, text[t++]);
      out += caseMode > 0 ? AnsiUpperCase(ch) : caseMode < 0 ? AnsiLowerCase(ch) : ch;
      continue;
    }
    out.push_back(c);
  }
  return out;
}

// ---------------------------------------------------------------------------------
// Aggregates

AnsiString rpAggregateKey(std::string_view band, int code, std::string_view expression, std::string_view flag) {
  AnsiString key(band);
  key.push_back(kSep);
  key.push_back(static_cast<char>(code));
  key.push_back(kSep);
  key.append(expression);
  key.push_back(kSep);
  key.append(flag);
  key.push_back(kSep);
  return key;
}

TrpAggregateValues::Item TrpAggregateValues::Parse(std::string_view key) {
  std::vector<AnsiString> parts;
  std::size_t start = 0;
  for (std::size_t i = 0; i < key.size(); ++i)
    if (key[i] == kSep) {
      parts.emplace_back(key.substr(start, i - start));
      start = i + 1;
    }
  if (start < key.size()) parts.emplace_back(key.substr(start));
  Item item;
  item.key = AnsiString(key);
  std::size_t p = 0;
  if (parts.size() >= 5) {  // a column part first
    std::int32_t column = 0;
    item.column = parts[0] == "*" ? kEveryColumn : TryStrToInt(parts[0], column) ? column : 0;
    p = 1;
  }
  if (p < parts.size()) item.band = Trim(parts[p]);
  if (p + 1 < parts.size() && !parts[p + 1].empty()) item.code = static_cast<unsigned char>(parts[p + 1][0]);
  if (p + 2 < parts.size()) item.expression = parts[p + 2];
  if (p + 3 < parts.size()) item.includeInvisible = Trim(parts[p + 3]) == "1";
  return item;
}

TrpAggregateValues::Item* TrpAggregateValues::Find(std::string_view key) {
  for (auto& i : items_)
    if (i.key == key) return &i;
  return nullptr;
}

const TrpAggregateValues::Item* TrpAggregateValues::Find(std::string_view key) const {
  for (const auto& i : items_)
    if (i.key == key) return &i;
  return nullptr;
}

void TrpAggregateValues::Reset(Item& item) {
  item.sum = 0;
  item.extreme = 0;
  item.count = 0;
  item.forced = false;
  item.value = Variant();
}

void TrpAggregateValues::Register(std::string_view key) {
  if (Find(key)) return;
  items_.push_back(Parse(key));
}

bool TrpAggregateValues::Has(std::string_view key) const { return Find(key) != nullptr; }

void TrpAggregateValues::AddColumnCopies(int column) {
  std::size_t n = items_.size();
  for (std::size_t i = 0; i < n; ++i) {
    const Item& item = items_[i];
    if (item.column != 0) continue;
    AnsiString copy = IntToStr(column) + item.key.substr(item.key.find(kSep));
    if (!Find(copy)) {
      Item c = Parse(copy);
      items_.push_back(std::move(c));
    }
  }
}

void TrpAggregateValues::Accumulate(const std::function<Variant(const AnsiString&)>& evaluate, bool visible,
                                    int column) {
  const AnsiString* lastExpression = nullptr;
  Variant lastValue;
  for (Item& item : items_) {
    // In a column only that column's values; outside, only the values without a column
    // (a "0" column part is the template of the per-column copies).
    if (item.column != (column > 0 ? column : -1) && !(column > 0 && item.column == kEveryColumn)) continue;
    if (item.code == rpAggCount) {
      ++item.count;
      continue;
    }
    if (!visible && !item.includeInvisible) continue;
    if (!lastExpression || *lastExpression != item.expression) {
      lastValue = evaluate ? evaluate(item.expression) : Variant(0);
      lastExpression = &item.expression;
    }
    if (lastValue.IsNull() || lastValue.IsEmpty()) continue;
    double v = lastValue.AsDouble();
    switch (item.code) {
      case rpAggMin: item.extreme = item.count == 0 ? v : std::min(item.extreme, v); break;
      case rpAggMax: item.extreme = item.count == 0 ? v : std::max(item.extreme, v); break;
      default: item.sum += v;
    }
    ++item.count;
  }
}

Variant TrpAggregateValues::Get(std::string_view key) const {
  const Item* item = Find(key);
  if (!item) return Variant::Null();
  if (item->forced) return item->value;
  switch (item->code) {
    case rpAggCount: return Variant(item->count);
    case rpAggMin:
    case rpAggMax: return Variant(item->count ? item->extreme : 0.0);
    case rpAggAvg: return Variant(item->count ? item->sum / item->count : 0.0);
    default: return Variant(item->sum);
  }
}

void TrpAggregateValues::Set(std::string_view key, const Variant& value) {
  Register(key);
  Item* item = Find(key);
  item->forced = true;
  item->value = value;
}

void TrpAggregateValues::ResetForBand(std::string_view band) {
  for (Item& item : items_)
    if (AnsiSameText(item.band, Trim(band))) Reset(item);
}

// ---------------------------------------------------------------------------------
// Splitter

TAggregateFunctionsSplitter::TAggregateFunctionsSplitter(TStringList& splitTo, const TrpVariables* variables)
    : splitTo_(splitTo), variables_(variables) {
  for (const char* f : {"AVG", "COUNT", "MAX", "MIN", "SUM"}) match_.Add(f);
}

void TAggregateFunctionsSplitter::SplitMemo(const TStringList& lines) {
  TrpFunctionSplitter splitter(match_, splitTo_, variables_);
  for (const AnsiString& line : lines.Lines()) {
    for (std::size_t i = 0; i < line.size();) {
      if (line[i] != '[') {
        ++i;
        continue;
      }
      std::size_t end = rptok::BracketGroupEnd(line, i);
      if (end == std::string_view::npos) break;
      splitter.Split(std::string_view(line).substr(i + 1, end - i - 2));
      i = end;
    }
  }
}

void TAggregateFunctionsSplitter::SplitScript(const TStringList& compiled) {
  TrpInterpretator interpreter;
  interpreter.SplitExpressions(compiled, match_, variables_, splitTo_);
}
