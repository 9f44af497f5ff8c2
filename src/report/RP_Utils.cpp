#include "report/RP_Utils.h"

namespace {

// A length or count that the u16 field cannot hold is refused, never cut.
void CheckLength(std::size_t n) {
  if (n > rpMaxStreamLength)
    throw EWriteError(Ansi("Строка длиннее 65535 байт или список более чем из 65535 строк нельзя записать"));
}

AnsiString ReadUntilZero(TStream& stream) {
  AnsiString s;
  for (;;) {
    std::uint8_t c = stream.ReadByte();
    if (c == 0) return s;
    s.push_back(static_cast<char>(c));
  }
}

}  // namespace

// The built-in string table (RP_Strings.cpp).
AnsiString rpBuiltinString(int id);

void rpStreamWriteString(TStream& stream, std::string_view s) {
  CheckLength(s.size());
  stream.WriteUInt16(static_cast<std::uint16_t>(s.size()));
  stream.WriteString(s);
  stream.WriteByte(0);
}

AnsiString rpStreamReadString(TStream& stream) {
  AnsiString s = stream.ReadString(stream.ReadUInt16());
  stream.ReadByte();
  return s;
}

void rpStreamWriteLines(TStream& stream, const TStringList& lines) {
  CheckLength(static_cast<std::size_t>(lines.Count()));
  for (const auto& line : lines.Lines()) CheckLength(line.size());
  stream.WriteUInt16(static_cast<std::uint16_t>(lines.Count()));
  if (lines.Count() == 0) {
    stream.WriteByte(0);
    return;
  }
  for (int i = 0; i < lines.Count(); ++i) {
    stream.WriteUInt16(static_cast<std::uint16_t>(lines[i].size()));
    stream.WriteString(lines[i]);
    stream.WriteByte(i + 1 < lines.Count() ? 13 : 0);
  }
}

void rpStreamReadLines(TStream& stream, TStringList& lines) {
  lines.Clear();
  if (stream.ReadUInt16() == 0) {
    stream.ReadByte();
    return;
  }
  for (;;) {
    lines.Add(stream.ReadString(stream.ReadUInt16()));
    if (stream.ReadByte() == 0) break;
  }
}

AnsiString rpStreamReadStringOld(TStream& stream) { return ReadUntilZero(stream); }

void rpStreamReadLinesOld(TStream& stream, TStringList& lines) {
  lines.Clear();
  AnsiString text = ReadUntilZero(stream);
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == 13) {
      lines.Add(text.substr(start, i - start));
      start = i + 1;
    }
  }
  if (start < text.size()) lines.Add(text.substr(start));
}

std::int16_t rpStreamReadWord(TStream& stream) { return stream.ReadInt16(); }
void rpStreamWriteWord(TStream& stream, std::int16_t value) { stream.WriteInt16(value); }
void rpStreamWriteInt(TStream& stream, std::int32_t value) { stream.WriteInt32(value); }

std::uint8_t rpFontStyleFromBits(std::uint8_t stored) {
  return static_cast<std::uint8_t>(((stored & 1) << 1) | ((stored >> 1) & 1) | (stored & 0x0C));
}

std::uint8_t rpFontStyleToBits(std::uint8_t style) { return rpFontStyleFromBits(style); }

AnsiString TrpLocale::LoadString(int id) const {
  if (OnLocalize) {
    AnsiString s = OnLocalize(id);
    if (!s.empty()) return s;
  }
  AnsiString s;
  if (ResourceModule) {
    if (!ResourceModule(id, s)) s.clear();
  } else {
    s = rpBuiltinString(id);
  }
  constexpr std::size_t kBuffer = 1024;  // with its terminating zero
  if (s.size() >= kBuffer) s.resize(kBuffer - 1);
  return s;
}

TrpLocale& rpLocale() {
  static TrpLocale locale;
  return locale;
}

AnsiString rpLocalString(int id) { return rpLocale().LoadString(id); }

void rpSetLocalizeHandler(std::function<AnsiString(int id)> handler) { rpLocale().OnLocalize = std::move(handler); }

double rpStrToFloatAnySep(std::string_view s) {
  AnsiString t(s);
  for (auto& c : t)
    if (c == ',' || c == '.') c = FormatSettings().DecimalSeparator;
  return StrToFloat(Trim(t));
}

AnsiString rpUnquoteDouble(std::string_view s) {
  if (s.size() > 2 && s.front() == '"' && s.back() == '"') return AnsiString(s.substr(1, s.size() - 2));
  return AnsiString(s);
}

AnsiString rpNextSemicolonItem(std::string_view s, std::size_t& pos) {
  if (pos >= s.size()) {
    pos = s.size();
    return AnsiString();
  }
  std::size_t end = s.find(';', pos);
  if (end == std::string_view::npos) end = s.size();
  AnsiString item(s.substr(pos, end - pos));
  pos = end < s.size() ? end + 1 : end;
  return item;
}

void rpSplitSemicolonList(std::string_view s, TStringList& list) {
  list.Clear();
  std::size_t pos = 0;
  while (pos < s.size()) list.Add(rpNextSemicolonItem(s, pos));
}
