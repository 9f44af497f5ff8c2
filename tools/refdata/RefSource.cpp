#include "refdata/RefSource.h"

#include <fstream>
#include <sstream>

#include "platform/core/Files.h"

namespace refdata {

namespace {

std::string_view TrimBlanks(std::string_view s) {
  std::size_t b = 0, e = s.size();
  while (b < e && (s[b] == ' ' || s[b] == '\t')) ++b;
  while (e > b && (s[e - 1] == ' ' || s[e - 1] == '\t')) --e;
  return s.substr(b, e - b);
}

// Splits a text into lines, dropping the "\r" of CR LF line ends.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) end = text.size();
    std::string_view line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = end + 1;
  }
  return lines;
}

std::vector<std::string_view> SplitFields(std::string_view line) {
  std::vector<std::string_view> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t bar = line.find('|', start);
    parts.push_back(TrimBlanks(line.substr(start, bar == std::string_view::npos ? line.size() - start
                                                                                 : bar - start)));
    if (bar == std::string_view::npos) break;
    start = bar + 1;
  }
  return parts;
}

[[noreturn]] void Fail(const AnsiString& source, int line, const AnsiString& what) {
  throw ERefSourceError(Format("%s:%d: %s", {source, line, what}));
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

// Parses the non-negative decimal number at s[pos...] while digits follow; -1 when none.
int ParseSmallNumber(std::string_view s, std::size_t& pos) {
  std::size_t start = pos;
  int v = 0;
  while (pos < s.size() && IsDigit(s[pos]) && pos - start < 4) v = v * 10 + (s[pos++] - '0');
  return pos == start ? -1 : v;
}

// "NAME:C60", "CAL:N6", "ALBA:N8.2".
TRefField ParseFieldDecl(std::string_view decl, const AnsiString& source, int line) {
  std::size_t colon = decl.find(':');
  if (colon == std::string_view::npos)
    Fail(source, line, Format(Ansi("в заголовке поле \"%s\" без типа (ожидается ИМЯ:C60 или ИМЯ:N8.2)"),
                              {AnsiString(decl)}));
  TRefField f;
  f.Name = AnsiString(TrimBlanks(decl.substr(0, colon)));
  bool nameOk = !f.Name.empty() && f.Name.size() <= 10 && f.Name[0] >= 'A' && f.Name[0] <= 'Z';
  for (char c : f.Name) nameOk = nameOk && ((c >= 'A' && c <= 'Z') || IsDigit(c) || c == '_');
  if (!nameOk)
    Fail(source, line, Format(Ansi("имя поля \"%s\" не годится для таблицы dBase (A-Z, 0-9, _, до 10 знаков)"),
                              {f.Name}));
  std::string_view type = TrimBlanks(decl.substr(colon + 1));
  std::size_t pos = 1;
  bool ok = !type.empty() && (type[0] == 'C' || type[0] == 'N');
  if (ok) {
    f.Type = type[0];
    f.Width = ParseSmallNumber(type, pos);
    if (pos < type.size() && type[pos] == '.' && f.Type == 'N') {
      ++pos;
      f.Decimals = ParseSmallNumber(type, pos);
    }
    ok = pos == type.size() && f.Width > 0 && f.Decimals >= 0;
    if (f.Type == 'C') ok = ok && f.Width <= 254;
    else ok = ok && f.Width <= 20 && (f.Decimals == 0 || f.Decimals <= f.Width - 2);
  }
  if (!ok)
    Fail(source, line, Format(Ansi("неверный тип поля %s: \"%s\""), {f.Name, AnsiString(type)}));
  return f;
}

// UTF-8 value -> 1251, refusing what the 1251 model text or the 866 table bytes cannot hold.
AnsiString ToAnsi(std::string_view utf8, const AnsiString& source, int line) {
  AnsiString out;
  for (std::size_t i = 0; i < utf8.size();) {
    char32_t u = cp::DecodeUtf8(utf8, i);
    unsigned char a = cp::UnicodeTo1251(u, 0), o = cp::UnicodeTo866(u, 0);
    if (u < 0x20 || u == 0x7F || a == 0 || o == 0)
      Fail(source, line, Format(Ansi("символ U+%s нельзя записать в таблицу (нет в кодировках 1251 и 866, "
                                     "или испорченный UTF-8)"),
                                {IntToHex(static_cast<std::int64_t>(u), 4)}));
    out.push_back(static_cast<char>(a));
  }
  return out;
}

// A number as dBase writes it: optional minus, digits, optionally a point and digits.
void CheckNumber(const AnsiString& v, const TRefField& f, const AnsiString& source, int line) {
  std::size_t pos = v[0] == '-' ? 1 : 0;
  std::size_t intStart = pos;
  while (pos < v.size() && IsDigit(v[pos])) ++pos;
  std::size_t intDigits = pos - intStart;
  std::size_t decimals = 0;
  bool ok = intDigits > 0;
  if (ok && pos < v.size() && v[pos] == '.') {
    ++pos;
    while (pos < v.size() && IsDigit(v[pos])) ++pos, ++decimals;
    ok = decimals > 0;
  }
  if (!ok || pos != v.size())
    Fail(source, line, Format(Ansi("поле %s: \"%s\" не число (цифры, десятичная точка)"), {f.Name, v}));
  if (static_cast<int>(decimals) > f.Decimals)
    Fail(source, line, Format(Ansi("поле %s: у \"%s\" больше %d знаков после точки"), {f.Name, v, f.Decimals}));
  std::size_t written = intStart + intDigits + (f.Decimals > 0 ? 1 + f.Decimals : 0);
  if (static_cast<int>(written) > f.Width)
    Fail(source, line, Format(Ansi("поле %s: \"%s\" не помещается в %d знаков"), {f.Name, v, f.Width}));
}

}  // namespace

TRefSource TRefSource::Parse(std::string_view utf8, const AnsiString& sourceName) {
  TRefSource src;
  src.name_ = sourceName;
  auto lines = SplitLines(utf8);
  bool haveHeader = false;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    int lineNo = static_cast<int>(i) + 1;
    std::string_view line = TrimBlanks(lines[i]);
    if (line.empty() || line[0] == '#') continue;
    auto parts = SplitFields(line);
    if (!haveHeader) {
      for (auto decl : parts) {
        TRefField f = ParseFieldDecl(decl, sourceName, lineNo);
        if (src.Index(f.Name) >= 0)
          Fail(sourceName, lineNo, Format(Ansi("поле %s объявлено дважды"), {f.Name}));
        src.fields_.push_back(std::move(f));
      }
      haveHeader = true;
      continue;
    }
    if (parts.size() != src.fields_.size())
      Fail(sourceName, lineNo, Format(Ansi("%d значений вместо %d"),
                                      {static_cast<int>(parts.size()), static_cast<int>(src.fields_.size())}));
    TRefRow row;
    row.Line = lineNo;
    for (std::size_t k = 0; k < parts.size(); ++k) {
      const TRefField& f = src.fields_[k];
      AnsiString v = ToAnsi(parts[k], sourceName, lineNo);
      if (!v.empty()) {
        if (f.Type == 'N') CheckNumber(v, f, sourceName, lineNo);
        else if (static_cast<int>(v.size()) > f.Width)
          Fail(sourceName, lineNo, Format(Ansi("поле %s: текст длиннее %d знаков"), {f.Name, f.Width}));
      }
      row.Values.push_back(std::move(v));
    }
    src.rows_.push_back(std::move(row));
  }
  if (!haveHeader) Fail(sourceName, static_cast<int>(lines.size()), Ansi("нет строки заголовка с полями"));
  return src;
}

std::string ReadWholeFile(const AnsiString& fileName) {
  std::ifstream in(SysPath(fileName), std::ios::binary);
  std::ostringstream buf;
  if (in) buf << in.rdbuf();
  if (!in.is_open() || in.bad()) throw ERefSourceError(Format(Ansi("Не удается прочитать файл %s"), {fileName}));
  return buf.str();
}

TRefSource TRefSource::LoadFromFile(const AnsiString& fileName) {
  return Parse(ReadWholeFile(fileName), ExtractFileName(fileName));
}

int TRefSource::Index(std::string_view name) const {
  for (std::size_t i = 0; i < fields_.size(); ++i)
    if (SameText(fields_[i].Name, name)) return static_cast<int>(i);
  return -1;
}

int TRefSource::FieldIndex(std::string_view name) const { return Index(name); }

const TRefField& TRefSource::Field(std::string_view name) const {
  int i = Index(name);
  if (i < 0) throw ERefSourceError(Format(Ansi("%s: нет поля %s"), {name_, AnsiString(name)}));
  return fields_[static_cast<std::size_t>(i)];
}

const AnsiString& TRefSource::Text(const TRefRow& row, std::string_view field) const {
  const TRefField& f = Field(field);
  return row.Values[static_cast<std::size_t>(&f - fields_.data())];
}

bool TRefSource::IsBlank(const TRefRow& row, std::string_view field) const { return Text(row, field).empty(); }

std::int32_t TRefSource::Int(const TRefRow& row, std::string_view field) const {
  const AnsiString& v = Text(row, field);
  if (v.empty()) return 0;
  std::int32_t out = 0;
  if (v.find('.') != AnsiString::npos || !TryStrToInt(v, out))
    throw ERefSourceError(Format(Ansi("%s: поле %s: \"%s\" не целое число"), {Where(row), AnsiString(field), v}));
  return out;
}

double TRefSource::Float(const TRefRow& row, std::string_view field) const {
  const AnsiString& v = Text(row, field);
  double out = 0;
  if (!v.empty() && !TryStrToFloat(v, out))
    throw ERefSourceError(Format(Ansi("%s: поле %s: \"%s\" не число"), {Where(row), AnsiString(field), v}));
  return out;
}

AnsiString TRefSource::Where(const TRefRow& row) const { return Format("%s:%d", {name_, row.Line}); }

std::vector<TIniEntry> ParseIniSection(std::string_view text, std::string_view section,
                                       const AnsiString& sourceName) {
  std::vector<TIniEntry> entries;
  bool inSection = false;
  auto lines = SplitLines(text);
  for (std::size_t i = 0; i < lines.size(); ++i) {
    int lineNo = static_cast<int>(i) + 1;
    std::string_view line = TrimBlanks(lines[i]);
    if (line.empty() || line[0] == ';' || line[0] == '#') continue;
    if (line.front() == '[') {
      if (line.back() != ']') Fail(sourceName, lineNo, Ansi("заголовок секции без \"]\""));
      inSection = SameText(TrimBlanks(line.substr(1, line.size() - 2)), section);
      continue;
    }
    if (!inSection) continue;
    std::size_t eq = line.find('=');
    if (eq == std::string_view::npos || eq == 0)
      Fail(sourceName, lineNo, Ansi("ожидается строка вида ключ=значение"));
    entries.push_back({AnsiString(TrimBlanks(line.substr(0, eq))),
                       ToAnsi(TrimBlanks(line.substr(eq + 1)), sourceName, lineNo), lineNo});
  }
  return entries;
}

}  // namespace refdata
