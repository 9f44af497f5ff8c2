#include "platform/core/IniFiles.h"

#include "platform/core/Classes.h"
#include "platform/core/Files.h"

namespace {

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view TrimBlanks(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && (IsBlank(s.back()) || s.back() == '\r')) s.remove_suffix(1);
  return s;
}

bool IsControl(unsigned char c) { return c < 0x20 || c == 0x7F; }

// Whether a text must be quoted to come back unchanged; `specials` are characters that
// have a meaning where the text stands ("=" in a name, "]" in a section name).
bool NeedsQuotes(std::string_view s, std::string_view specials) {
  if (s.empty()) return false;
  if (IsBlank(s.front()) || IsBlank(s.back()) || s.front() == '"') return true;
  for (unsigned char c : s)
    if (IsControl(c) || specials.find(static_cast<char>(c)) != std::string_view::npos) return true;
  return false;
}

AnsiString Quote(std::string_view s) {
  static const char hex[] = "0123456789ABCDEF";
  AnsiString r = "\"";
  for (unsigned char c : s) {
    switch (c) {
      case '\\': r += "\\\\"; break;
      case '"': r += "\\\""; break;
      case '\n': r += "\\n"; break;
      case '\r': r += "\\r"; break;
      case '\t': r += "\\t"; break;
      default:
        if (IsControl(c)) {
          r += "\\x";
          r += hex[c >> 4];
          r += hex[c & 15];
        } else {
          r += static_cast<char>(c);
        }
    }
  }
  return r + '"';
}

AnsiString Encode(std::string_view s, std::string_view specials) {
  return NeedsQuotes(s, specials) ? Quote(s) : AnsiString(s);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Decodes a quoted text that starts at s[0] == '"'. On success `out` is the text, and
// `used` the number of bytes up to and including the closing quote.
bool Unquote(std::string_view s, AnsiString& out, std::size_t& used) {
  AnsiString r;
  for (std::size_t i = 1; i < s.size(); ++i) {
    char c = s[i];
    if (c == '"') {
      out = std::move(r);
      used = i + 1;
      return true;
    }
    if (c != '\\') {
      r += c;
      continue;
    }
    if (++i >= s.size()) return false;
    switch (s[i]) {
      case 'n': r += '\n'; break;
      case 'r': r += '\r'; break;
      case 't': r += '\t'; break;
      case 'x': {
        if (i + 2 >= s.size()) return false;
        int hi = HexDigit(s[i + 1]), lo = HexDigit(s[i + 2]);
        if (hi < 0 || lo < 0) return false;
        r += static_cast<char>(hi * 16 + lo);
        i += 2;
        break;
      }
      default: r += s[i];  // \\ and \" and anything else stand for themselves
    }
  }
  return false;
}

// A value text as read: a quoted text when the whole of it is one, else as it stands.
AnsiString DecodeValue(std::string_view s) {
  AnsiString r;
  std::size_t used = 0;
  if (!s.empty() && s.front() == '"' && Unquote(s, r, used) && used == s.size()) return r;
  return AnsiString(s);
}

}  // namespace

// ---------------------------------------------------------------------------------
// TIniData

void TIniData::Parse(std::string_view text) {
  sections_.clear();
  Section* current = nullptr;
  std::size_t pos = 0;
  while (pos < text.size()) {
    std::size_t eol = text.find_first_of("\r\n", pos);
    if (eol == std::string_view::npos) eol = text.size();
    std::string_view raw = text.substr(pos, eol - pos);
    pos = eol;
    if (pos < text.size() && text[pos] == '\r') ++pos;
    if (pos < text.size() && text[pos] == '\n') ++pos;

    std::string_view line = TrimBlanks(raw);
    if (!line.empty() && line.front() == '[') {
      std::string_view inner = line.substr(1);
      AnsiString name;
      std::size_t used = 0;
      bool ok = false;
      if (!inner.empty() && inner.front() == '"' && Unquote(inner, name, used)) {
        ok = TrimBlanks(inner.substr(used)) == "]";
      } else if (auto close = inner.rfind(']'); close != std::string_view::npos) {
        name = AnsiString(TrimBlanks(inner.substr(0, close)));
        ok = true;
      }
      if (ok) {
        sections_.push_back(Section{true, std::move(name), {}});
        current = &sections_.back();
        continue;
      }
    }
    if (!current) {
      sections_.push_back(Section{false, AnsiString(), {}});
      current = &sections_.back();
    }
    Line l;
    if (!line.empty() && line.front() != ';' && line.front() != '#') {
      AnsiString name;
      std::size_t used = 0;
      std::string_view rest;
      bool named = false;
      if (line.front() == '"' && Unquote(line, name, used)) {
        rest = TrimBlanks(line.substr(used));
        named = !rest.empty() && rest.front() == '=';
      } else if (auto eq = line.find('='); eq != std::string_view::npos) {
        name = AnsiString(TrimBlanks(line.substr(0, eq)));
        rest = line.substr(eq);
        named = true;
      }
      if (named) {
        l.isValue = true;
        l.name = std::move(name);
        l.value = DecodeValue(TrimBlanks(rest.substr(1)));
        current->lines.push_back(std::move(l));
        continue;
      }
    }
    l.value = AnsiString(raw);
    current->lines.push_back(std::move(l));
  }
}

AnsiString TIniData::Text() const {
  AnsiString out;
  for (const Section& s : sections_) {
    if (s.named) {
      const bool quoted = NeedsQuotes(s.name, "[]");
      out += '[';
      out += quoted ? Quote(s.name) : s.name;
      out += "]\n";
    }
    for (const Line& l : s.lines) {
      if (l.isValue) {
        out += Encode(l.name, "=[;#");
        out += '=';
        out += Encode(l.value, "");
      } else {
        out += l.value;
      }
      out += '\n';
    }
  }
  return out;
}

const TIniData::Section* TIniData::Find(std::string_view section) const {
  for (const Section& s : sections_)
    if (s.named && AnsiSameText(s.name, section)) return &s;
  return nullptr;
}

TIniData::Section* TIniData::Find(std::string_view section) {
  return const_cast<Section*>(static_cast<const TIniData*>(this)->Find(section));
}

std::vector<AnsiString> TIniData::SectionNames() const {
  std::vector<AnsiString> r;
  for (const Section& s : sections_)
    if (s.named) r.push_back(s.name);
  return r;
}

std::vector<AnsiString> TIniData::ValueNames(std::string_view section) const {
  std::vector<AnsiString> r;
  if (const Section* s = Find(section))
    for (const Line& l : s->lines)
      if (l.isValue) r.push_back(l.name);
  return r;
}

const AnsiString* TIniData::Value(std::string_view section, std::string_view name) const {
  if (const Section* s = Find(section))
    for (const Line& l : s->lines)
      if (l.isValue && AnsiSameText(l.name, name)) return &l.value;
  return nullptr;
}

void TIniData::AddSection(std::string_view section) {
  if (!Find(section)) sections_.push_back(Section{true, AnsiString(section), {}});
}

void TIniData::SetValue(std::string_view section, std::string_view name, std::string_view value) {
  AddSection(section);
  Section* s = Find(section);
  for (Line& l : s->lines) {
    if (l.isValue && AnsiSameText(l.name, name)) {
      l.value = AnsiString(value);
      return;
    }
  }
  // Right after the section's last value, so that the blank lines and comments that
  // follow it stay where they were.
  auto at = s->lines.end();
  while (at != s->lines.begin() && !(at - 1)->isValue) --at;
  if (at == s->lines.begin()) at = s->lines.end();  // no values yet: at the end
  s->lines.insert(at, Line{true, AnsiString(name), AnsiString(value)});
}

bool TIniData::DeleteValue(std::string_view section, std::string_view name) {
  Section* s = Find(section);
  if (!s) return false;
  for (auto it = s->lines.begin(); it != s->lines.end(); ++it) {
    if (it->isValue && AnsiSameText(it->name, name)) {
      s->lines.erase(it);
      return true;
    }
  }
  return false;
}

bool TIniData::EraseSection(std::string_view section) {
  return EraseSectionsIf([&](std::string_view name) { return AnsiSameText(name, section); }) > 0;
}

// ---------------------------------------------------------------------------------
// TIniFile

TIniFile::TIniFile(AnsiString fileName) : fileName_(std::move(fileName)) {
  try {
    if (FileExists(fileName_)) {
      TMemoryStream m;
      m.LoadFromFile(fileName_);
      data_.Parse(std::string_view(m.Memory(), static_cast<std::size_t>(m.Size())));
    }
  } catch (const Exception&) {
    data_.Clear();  // an unreadable file reads as empty: every value gives its default
  }
}

AnsiString TIniFile::ReadString(std::string_view section, std::string_view ident, std::string_view def) const {
  const AnsiString* v = data_.Value(section, ident);
  return v ? *v : AnsiString(def);
}

std::int32_t TIniFile::ReadInteger(std::string_view section, std::string_view ident, std::int32_t def) const {
  const AnsiString* v = data_.Value(section, ident);
  return v ? StrToIntDef(*v, def) : def;
}

double TIniFile::ReadFloat(std::string_view section, std::string_view ident, double def) const {
  const AnsiString* v = data_.Value(section, ident);
  double r;
  return v && TryStrToFloat(*v, r) ? r : def;
}

bool TIniFile::ReadBool(std::string_view section, std::string_view ident, bool def) const {
  return ReadInteger(section, ident, def ? 1 : 0) != 0;
}

void TIniFile::WriteString(std::string_view section, std::string_view ident, std::string_view value) {
  data_.SetValue(section, ident, value);
  modified_ = true;
}

void TIniFile::WriteInteger(std::string_view section, std::string_view ident, std::int32_t value) {
  WriteString(section, ident, IntToStr(value));
}

void TIniFile::WriteFloat(std::string_view section, std::string_view ident, double value) {
  WriteString(section, ident, FloatToStr(value));
}

void TIniFile::WriteBool(std::string_view section, std::string_view ident, bool value) {
  WriteString(section, ident, value ? "1" : "0");
}

bool TIniFile::ValueExists(std::string_view section, std::string_view ident) const {
  return data_.Value(section, ident) != nullptr;
}

void TIniFile::ReadSection(std::string_view section, TStringList& idents) const {
  idents.Clear();
  for (const AnsiString& n : data_.ValueNames(section)) idents.Add(n);
}

void TIniFile::ReadSections(TStringList& sections) const {
  sections.Clear();
  for (const AnsiString& n : data_.SectionNames()) sections.Add(n);
}

void TIniFile::ReadSectionValues(std::string_view section, TStringList& lines) const {
  lines.Clear();
  for (const AnsiString& n : data_.ValueNames(section)) lines.Add(n + "=" + *data_.Value(section, n));
}

void TIniFile::EraseSection(std::string_view section) {
  if (data_.EraseSection(section)) modified_ = true;
}

void TIniFile::DeleteKey(std::string_view section, std::string_view ident) {
  if (data_.DeleteValue(section, ident)) modified_ = true;
}

void TIniFile::UpdateFile() {
  const TFileSaveLock lock(fileName_);
  UpdateFile(lock);
}

void TIniFile::UpdateFile(const TFileSaveLock& lock) {
  const AnsiString text = data_.Text();
  SaveFileAtomically(lock, [&](TStream& s) { s.WriteString(text); });
  modified_ = false;
}
