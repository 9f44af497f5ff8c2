#include "report/RP_Memo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/core/AnsiText.h"
#include "report/RP_Utils.h"

namespace {

TStringList& WrappedLines() {
  static TStringList lines;
  return lines;
}

int& WrappedHeight() {
  static int height = 0;
  return height;
}

bool IsCrLf(char c) { return c == '\r' || c == '\n'; }

AnsiString Upper(const AnsiString& s) { return AnsiUpperCase(s); }

bool IsVowel(unsigned char c) {
  static const AnsiString vowels = Ansi("ЁАЕИОУЫЭЮЯ");
  return vowels.find(static_cast<char>(c)) != AnsiString::npos;
}

bool IsHardSoftSign(unsigned char c) {
  static const AnsiString signs = Ansi("ЪЬ");
  return signs.find(static_cast<char>(c)) != AnsiString::npos;
}

int FontPixelHeight(const TCanvas& c) { return c.Font.Height < 0 ? -c.Font.Height : c.Font.Height; }

// Blanks in a line, for justification.
int CountBlanks(std::string_view s) { return static_cast<int>(std::count(s.begin(), s.end(), ' ')); }

}  // namespace

const TStringList& rpWrappedLines() { return WrappedLines(); }
int rpWrappedTextHeight() { return WrappedHeight(); }

std::vector<int> HyphenPositions(const AnsiString& word) {
  std::vector<int> out;
  const AnsiString w = Upper(word);
  const int n = static_cast<int>(w.size());
  if (n <= 4) return out;
  auto at = [&](int i) { return static_cast<unsigned char>(w[static_cast<std::size_t>(i - 1)]); };
  for (int i = 2; i <= n - 2; ++i) {
    const bool v = IsVowel(at(i));
    if ((v && (IsVowel(at(i + 1)) || IsVowel(at(i + 2)))) ||
        (!v && !IsVowel(at(i + 1)) && !IsHardSoftSign(at(i + 1)) && IsVowel(at(i + 2))))
      out.push_back(i);
  }
  return out;
}

AnsiString rpInlineFormat(const AnsiString& text, std::int32_t& format, AnsiString& formatStr) {
  const auto at = text.find(" #");
  if (at == AnsiString::npos) return text;
  const AnsiString expr = text.substr(0, at);
  AnsiString fmt = text.substr(at + 2);
  if (fmt.empty()) return expr;
  const char first = fmt[0];
  if ((first >= '0' && first <= '9') || first == 'N' || first == 'n') {
    if (first >= '0' && first <= '9') fmt = "N" + fmt;
    const bool fixed = fmt.size() > 1 && fmt[1] >= '0' && fmt[1] <= '9';
    char separator = static_cast<char>(format & 0xFF);
    int decimals = (format >> 8) & 0xFF;
    const auto sep = fmt.find_last_of(",-.");
    if (sep != AnsiString::npos) {
      separator = fmt[sep];
      fmt[sep] = '.';
      if (fixed) {
        decimals = 0;
        for (std::size_t i = sep + 1; i < fmt.size() && fmt[i] >= '0' && fmt[i] <= '9' && decimals < 100; ++i)
          decimals = decimals * 10 + (fmt[i] - '0');
      }
    }
    if (fixed) {
      format = rpFormatWord(rpfkNumber, 1, decimals, separator);
    } else {
      format = rpFormatWord(rpfkNumber, 4, decimals, separator);
      formatStr = fmt.substr(1);
    }
  } else if (first == 'D' || first == 'T' || first == 'd' || first == 't') {
    format = rpFormatWord(rpfkDate, 4, (format >> 8) & 0xFF, static_cast<char>(format & 0xFF));
    formatStr = fmt.substr(1);
  } else if (first == 'B' || first == 'b') {
    format = rpFormatWord(rpfkBoolean, 4, (format >> 8) & 0xFF, static_cast<char>(format & 0xFF));
    formatStr = fmt.substr(1);
  }
  return expr;
}

TFont rpCanvasFont(const TrpFont& font, double scale, int dpi) {
  TFont f;
  f.Name = font.Name;
  f.Style = font.Style;
  f.Color = font.Color;
  // Clamped far above any font a page can show.
  const double px = std::clamp(font.Size * static_cast<double>(dpi) / 72.0 * scale, 0.0, 32768.0);
  const int h = scale == 1.0 ? rpRound(px) : static_cast<int>(std::trunc(std::clamp(px, 0.0, 1e6)));
  f.Height = -h;
  return f;
}

// ---------------------------------------------------------------------------------

TrpMemoView::TrpMemoView() {
  ObjectType = rpotMemo;
  BaseName = "Memo";
  Flags = 0x43;
}

namespace {
// What a memo's record may hold, and so what a script may set: its page is read again
// to be drawn.
constexpr int kMaxFontSize = 1000;
constexpr int kMaxSpacing = 10000;
}  // namespace

void TrpMemoView::SetPropValue(const AnsiString& rawName, const Variant& value) {
  const AnsiString name = Upper(rawName);
  auto bit = [&](std::uint16_t b) { Flags = value.AsBoolean() ? (Flags | b) : (Flags & ~b); };
  if (name == "FONT.NAME") Font.Name = VarToStr(value).substr(0, rpMaxFontName);  // no font has a longer one
  else if (name == "FONT.SIZE") Font.Size = std::clamp(value.AsInteger(), -kMaxFontSize, kMaxFontSize);
  else if (name == "FONT.STYLE") Font.Style = rpFontStyleFromBits(static_cast<std::uint8_t>(value.AsInteger()));
  else if (name == "FONT.COLOR") Font.Color = static_cast<TColor>(value.AsInteger());
  else if (name == "ALIGNMENT") Alignment = value.AsInteger();
  else if (name == "LINESPACING") LineSpacing = std::clamp(value.AsInteger(), -kMaxSpacing, kMaxSpacing);
  else if (name == "CHARSPACING") CharSpacing = std::clamp(value.AsInteger(), -kMaxSpacing, kMaxSpacing);
  else if (name == "WORDWRAP") bit(flWordWrap);
  else if (name == "WORDBREAK") bit(flWordBreak);
  else if (name == "AUTOWIDTH") bit(flAutoWidth);
  else if (name == "TEXTONLY") bit(flTextOnly);
  else if (name == "SUPPRESS") bit(flSuppress);
  else if (name == "HIDEZEROS") bit(flHideZeros);
  else if (name == "UNDERLINES") bit(flUnderlines);
  else TrpView::SetPropValue(rawName, value);
}

Variant TrpMemoView::GetPropValue(const AnsiString& rawName) {
  const AnsiString name = Upper(rawName);
  if (name == "FONT.NAME") return Font.Name;
  if (name == "FONT.SIZE") return Font.Size;
  if (name == "FONT.STYLE") return static_cast<std::int32_t>(rpFontStyleToBits(Font.Style));
  if (name == "FONT.COLOR") return static_cast<std::int32_t>(Font.Color);
  if (name == "ALIGNMENT") return Alignment;
  if (name == "LINESPACING") return LineSpacing;
  if (name == "CHARSPACING") return CharSpacing;
  if (name == "WORDWRAP") return (Flags & flWordWrap) != 0;
  if (name == "WORDBREAK") return (Flags & flWordBreak) != 0;
  if (name == "AUTOWIDTH") return (Flags & flAutoWidth) != 0;
  if (name == "TEXTONLY") return (Flags & flTextOnly) != 0;
  if (name == "SUPPRESS") return (Flags & flSuppress) != 0;
  if (name == "HIDEZEROS") return (Flags & flHideZeros) != 0;
  if (name == "UNDERLINES") return (Flags & flUnderlines) != 0;
  if (name == "LINES.COUNT") return Memo.Count();
  return TrpView::GetPropValue(rawName);
}

Variant TrpMemoView::DoMethod(const AnsiString& method, const Variant& p1, const Variant& p2, const Variant& p3) {
  Variant result = TrpView::DoMethod(method, p1, p2, p3);
  Variant lines = Variant::Null();
  if (DoListMethod(Memo, "LINES", method, p1, p2, p3, lines)) return lines;
  return result;
}

void TrpMemoView::DefineProperties() {
  TrpView::DefineProperties();
  AddProperty("Font.Name", 0);
  AddProperty("Font.Size", 0);
  AddProperty("Font.Style", 0);
  AddProperty("Font.Color", 0);
  AddProperty("Font", rpkEditor);
  AddProperty("Alignment", 0);
  AddProperty("DisplayFormat", rpkEditor);
  AddProperty("Highlight", rpkEditor);
  for (const char* n : {"LineSpacing", "CharSpacing", "GapX", "GapY"}) AddProperty(n, rpkInteger);
  for (const char* n : {"Stretched", "WordWrap", "WordBreak", "AutoWidth", "TextOnly", "Suppress", "HideZeros"})
    AddProperty(n, rpkBoolean);
  AddProperty("Lines.Count", 0);
  AddProperty("Underlines", rpkBoolean);
}

void TrpMemoView::GetBlob(const Variant& field) {
  PrintText.Clear();
  if (!field.IsNull() && !field.IsEmpty()) PrintText.SetText(VarToStr(field));
}

// ---------------------------------------------------------------------------------
// Text

void TrpMemoView::ExpandVariables() {
  PrintText.Clear();
  for (int i = 0; i < Memo.Count(); ++i) {
    const AnsiString& line = Memo[i];
    const AnsiString s = (line.empty() || (Flags & flTextOnly)) ? line : ExpandTag(line);
    if (s.empty()) PrintText.Add("");
    else PrintText.SetText(PrintText.Text() + s);
  }
}

int TrpMemoView::MeasuredWidth(std::string_view s) const {
  const TCanvas& c = rpMeasureCanvas();
  return rpClampScaled(static_cast<double>(c.TextWidth(s)) +
                       static_cast<double>(c.TextCharacterExtra) * static_cast<double>(s.size()));
}

void TrpMemoView::WrapLine(const AnsiString& S, int maxWidth, std::int64_t& position, int step) {
  TStringList& out = WrappedLines();
  auto emit = [&](const AnsiString& line) {
    out.Add(line);
    position += step;
  };
  // 1-based substring S[from .. to], clipped to the text.
  const int n = static_cast<int>(S.size());
  auto sub = [&](int from, int to) -> AnsiString {
    from = std::max(from, 1);
    to = std::min(to, n);
    return to >= from ? S.substr(static_cast<std::size_t>(from - 1), static_cast<std::size_t>(to - from + 1))
                      : AnsiString();
  };
  auto ch = [&](int i) { return i >= 1 && i <= n ? S[static_cast<std::size_t>(i - 1)] : '\0'; };
  const bool hasBreaks = S.find_first_of("\r\n") != AnsiString::npos;
  if (!hasBreaks && (n <= 1 || MeasuredWidth(S) <= maxWidth)) {
    emit(S + rpLineEndMarker);
    return;
  }
  const bool wordBreak = (Flags & flWordBreak) != 0;
  int b = 1, e = 1, r = 0, a = 1;
  while (a <= n) {
    const char c = ch(a);
    if (IsCrLf(c)) {
      emit(sub(b, a - 1) + rpLineEndMarker);
      while (a < n && IsCrLf(ch(a))) ++a;
      b = e = a;
      if (IsCrLf(ch(a))) return;
      continue;
    }
    if (c != ' ') {
      if (MeasuredWidth(sub(b, a)) > maxWidth) {
        const int overflow = a;  // the character that made the line too wide
        bool hyphenated = false;
        bool cut = !wordBreak;
        if (wordBreak) {
          int wend = a;
          while (wend <= n && !std::strchr(" ,-.", ch(wend))) ++wend;
          const std::vector<int> positions = HyphenPositions(sub(e + 1, wend - 1));
          if (!positions.empty()) {
            a = e;
            for (int k : positions) {
              if (MeasuredWidth(sub(b, e + k) + "-") > maxWidth) break;
              hyphenated = true;
              a = e + k;
            }
            e = a;
          }
          // A word with no usable break and no blank before it on this line (none of
          // its break positions fits, or it has none): cut it like a long word without
          // hyphenation rather than one character per line.
          if (!hyphenated && e == b) {
            cut = true;
            a = overflow;
          }
        }
        if (cut && e == b) {
          // Cut before the character that made the line too wide (at least one
          // character stays on the line), so that nothing is lost under the clip.
          e = a - 1 >= b ? a - 1 : a;
        }
        if (hyphenated) emit(sub(b, e) + "-");
        else if (ch(e) == ' ') emit(sub(b, e - 1));
        else emit(sub(b, e));
        if (wordBreak && !hyphenated && a == e) {
          if (a == r) {
            b = a + 1;
            a = n;
            break;
          }
          r = a;
        }
        b = e = e + 1;
      }
    } else {
      e = a;
    }
    ++a;
  }
  if (a != b) emit(sub(b, a) + rpLineEndMarker);
}

void TrpMemoView::WrapMemo() {
  TCanvas& c = rpMeasureCanvas();
  c.Font = rpCanvasFont(Font, 1.0);
  c.TextCharacterExtra = CharSpacing;
  WrappedLines().Clear();
  const bool turned = (Alignment & rpalRotated) != 0;
  const int step = LineSpacing + FontPixelHeight(c);
  std::int64_t position;
  int maxWidth;
  if (!turned) {
    position = Top + GapY;
    maxWidth = Width - 2 * GapX;
  } else {
    c.Font.Orientation = 900;
    position = Left + GapX;
    maxWidth = Height - 2 * GapY;
  }
  bool done = false;
  if (rpState().DocMode == rpDesignMode && !turned && PrintText.Count() == 1 && !PrintText[0].empty() &&
      PrintText[0][0] == '[' && MeasuredWidth(PrintText[0]) > maxWidth) {
    WrappedLines().Add(PrintText[0]);
    position += step;
    done = true;
  }
  for (int i = 0; !done && i < PrintText.Count(); ++i) {
    const AnsiString& line = PrintText[i];
    if (PreWrapped) {
      WrappedLines().Add(line);
      position += step;
    } else if (Flags & flWordWrap) {
      WrapLine(line, maxWidth, position, step);
    } else {
      WrappedLines().Add(line + rpLineEndMarker);
      position += step;
    }
  }
  WrappedHeight() = rpClampScaled(static_cast<double>(turned ? position + GapX - Left : position + GapY - Top));
  LineHeight = step;
  c.TextCharacterExtra = 0;
}

void TrpMemoView::SetFontForOutput(TCanvas& canvas) {
  canvas.Brush.Style = TBrushStyle::bsClear;
  if (Printing) canvas.Font = rpCanvasFont(Font, 1.0, canvas.PixelsPerInch);
  else canvas.Font = rpCanvasFont(Font, ScaleY);
}

void TrpMemoView::ShowMemo() {
  TCanvas& c = *Canvas;
  SetFontForOutput(c);
  c.TextCharacterExtra = std::clamp(rpRound(CharSpacing * ScaleX), -10000, 10000);
  const TRect clip = Rect(FrameRect.Left + 1, FrameRect.Top, FrameRect.Right - 2, FrameRect.Bottom - 1);
  const int textHeight = rpClampScaled(WrappedHeight() * ScaleY);
  const int W = FrameRect.Width(), H = FrameRect.Height();
  const int keptLeft = Left, keptTop = Top, keptAlign = Alignment;
  const bool turned = (Alignment & rpalRotated) != 0;
  const int vertical = Alignment & (rpalMiddle | rpalBottom);
  if (!turned) {
    if (!StopAtBottom) {
      if (vertical == rpalMiddle) Top += (H - textHeight) / 2;
      else if (vertical == rpalBottom) Top = FrameRect.Bottom - textHeight - 1;
    }
  } else {
    if (vertical == rpalMiddle) Left += (W - textHeight) / 2;
    else if (vertical == rpalBottom) Left = FrameRect.Right - textHeight;
  }
  Alignment &= 7;
  TrpEngineHooks& hooks = *rpState().Hooks;
  auto output = [&](int x, int y, const AnsiString& text) {
    TCanvasState state(c);
    c.IntersectClipRect(clip);
    c.TextOut(x, y, text);
  };
  auto width = [&](const AnsiString& s) {
    return rpClampScaled(static_cast<double>(c.TextWidth(s)) +
                         static_cast<double>(c.TextCharacterExtra) * static_cast<double>(s.size()));
  };
  // Line positions advance in 64 bits and are handed out kept in range.
  auto at = [](std::int64_t v) { return rpClampScaled(static_cast<double>(v)); };
  const TStringList& lines = PrintText;
  LinesShown = 0;
  const int fontPx = FontPixelHeight(c);
  if (!turned) {
    std::int64_t y = Top + GapY;
    const int step = rpClampScaled(rpClampScaled(LineSpacing * ScaleY) + fontPx);
    const bool designWide = rpState().DocMode == rpDesignMode && lines.Count() == 1 && !lines[0].empty() &&
                            lines[0][0] == '[' && width(lines[0]) > clip.Width();
    for (int i = 0; i < lines.Count(); ++i) {
      if (StopAtBottom && clip.Bottom < y + step) break;
      AnsiString text = lines[i];
      const bool paragraphEnd = !text.empty() && text.back() == rpLineEndMarker;
      if (paragraphEnd) text.pop_back();
      const int tw = width(text);
      int x = Left + GapX;
      const int h = Alignment & 3;
      if (designWide || h == rpalRight) x = Left + W - GapX - tw - 1;
      else if (h == rpalCenter) x = Left + GapX + (W - 2 * GapX - tw) / 2;
      int breaks = 0;
      if (h == rpalJustify && !paragraphEnd) breaks = CountBlanks(text);
      if (Exporting) {
        int sides = FrameTyp;
        if (lines.Count() > 1) {
          if (i == 0) sides &= ~rpftBottom;
          else if (i == lines.Count() - 1) sides &= ~rpftTop;
          else sides &= ~(rpftTop | rpftBottom);
        }
        hooks.AddExportText(FrameRect, x, at(y), text, sides, *this);
      } else {
        if (breaks > 0) c.SetTextJustification(W - 2 * GapX - tw, breaks);
        output(x, at(y), text);
        c.SetTextJustification(0, 0);
      }
      ++LinesShown;
      y += step;
    }
  } else {
    c.Font.Orientation = 900;
    std::int64_t x = Left + GapX;
    const int step = rpClampScaled(rpClampScaled(LineSpacing * ScaleX) + fontPx);
    const int bottom = FrameRect.Bottom;
    for (int i = 0; i < lines.Count(); ++i) {
      AnsiString text = lines[i];
      const bool paragraphEnd = !text.empty() && text.back() == rpLineEndMarker;
      if (paragraphEnd) text.pop_back();
      const int tw = width(text);
      int y;
      int breaks = 0;
      switch (Alignment) {
        case 5: y = Top + GapY + tw; break;
        case 6: y = bottom - GapY - ((H - 2 * GapY - tw) / 2) - 1; break;
        case 7:
          y = bottom + Top - FrameRect.Top - GapY;
          if (!paragraphEnd) breaks = CountBlanks(text);
          break;
        default: y = bottom - GapY; break;
      }
      if (Exporting) {
        hooks.AddExportText(FrameRect, at(x), y, text, 0, *this);
      } else {
        if (breaks > 0) c.SetTextJustification(H - 2 * GapY - tw, breaks);
        output(at(x), y, text);
        c.SetTextJustification(0, 0);
      }
      ++LinesShown;
      x += step;
    }
    c.Font.Orientation = 0;
  }
  Alignment = keptAlign;
  Left = keptLeft;
  Top = keptTop;
}

void TrpMemoView::DrawUnderlines() {
  if (!(Flags & flUnderlines) || !Canvas) return;
  TCanvas& c = *Canvas;
  const int fontPx = -rpCanvasFont(Font, ScaleY).Height;
  c.Pen.Color = FrameColor;
  c.Pen.Width = std::clamp(rpRound(FrameWidth), 0, 2000);
  c.Pen.Style = TPenStyle::psSolid;
  const int step = rpClampScaled(rpClampScaled(LineSpacing * ScaleY) + fontPx);
  if (step <= 0) return;
  for (int i = 0; i < Height / step; ++i) {
    const std::int64_t yy = static_cast<std::int64_t>(Top) + GapY + static_cast<std::int64_t>(i) * step +
                            rpClampScaled(2 * ScaleY) + fontPx;
    if (yy > c.ClipRect().Bottom) break;  // the rest lies below what the canvas shows
    const int y = static_cast<int>(yy);
    c.MoveTo(Left, y);
    c.LineTo(Left + Width - 1, y);
  }
}

int TrpMemoView::CalcWidth(const TStringList& lines) {
  TCanvas& c = rpMeasureCanvas();
  c.Font = rpCanvasFont(Font, ScaleY);
  c.TextCharacterExtra = std::clamp(rpRound(CharSpacing * ScaleX), -10000, 10000);
  int widest = 0;
  for (int i = 0; i < lines.Count(); ++i) {
    AnsiString s = lines[i];
    s.erase(std::remove(s.begin(), s.end(), rpLineEndMarker), s.end());
    widest = std::max(widest, rpClampScaled(static_cast<double>(c.TextWidth(s)) +
                                            static_cast<double>(c.TextCharacterExtra) * static_cast<double>(s.size())));
  }
  c.TextCharacterExtra = 0;
  return rpRound(widest / (ScaleX == 0 ? 1.0 : ScaleX) + FrameWidth + 2 * GapX + 1);
}

int TrpMemoView::CalcTextWidth() {
  if (measuring_) return Width;
  measuring_ = true;
  TStringList kept;
  kept.Assign(PrintText);
  int width = Width;
  try {
    PrintText.Assign(Memo);
    const bool handled = rpState().Hooks && rpState().Hooks->BeforePrint(PrintText, *this);
    if (!handled || PrintText.Lines() == Memo.Lines()) ExpandVariables();
    width = CalcWidth(PrintText);
  } catch (...) {
    PrintText.Assign(kept);
    measuring_ = false;
    throw;
  }
  PrintText.Assign(kept);
  measuring_ = false;
  return width;
}

// ---------------------------------------------------------------------------------

void TrpMemoView::ApplyHighlight() {
  highlighted_ = false;
  if (HighlightCondition.empty()) return;
  const Variant v = rpState().Hooks->EvaluateExpression(HighlightCondition);
  bool on = false;
  if (v.VarType() == varBoolean) on = v.AsBoolean();
  else if (!v.IsNull() && !v.IsEmpty()) on = v.AsDouble() != 0;
  if (!on) return;
  highlighted_ = true;
  savedFont_ = Font;
  savedFill_ = FillColor;
  Font.Style = rpFontStyleFromBits(static_cast<std::uint8_t>(HighlightStyle));
  Font.Color = HighlightFontColor;
  FillColor = HighlightFillColor;
}

void TrpMemoView::RestoreHighlight() {
  if (!highlighted_) return;
  Font = savedFont_;
  FillColor = savedFill_;
  highlighted_ = false;
}

void TrpMemoView::Draw(TCanvas& canvas) {
  if ((Flags & flAutoWidth) && Memo.Count() && rpState().DocMode == rpOutputMode) {
    const int w = CalcWidth(Memo);
    if (Alignment & rpalRotated) {
      Height = w;
    } else {
      if (Alignment & 1) Left += Width - w;
      Width = w;
    }
  }
  BeginDraw(canvas);
  StopAtBottom = false;
  PrintText.Assign(Memo);
  if (PrintText.Count()) {
    PreWrapped = PrintText.Text().find(rpLineEndMarker) != AnsiString::npos;
    if (PrintText[PrintText.Count() - 1] == AnsiString(1, rpLineEndMarker)) PrintText.Delete(PrintText.Count() - 1);
    const double sx = ScaleX, sy = ScaleY;
    ScaleX = ScaleY = 1;
    ScaleCoords();
    if ((Flags & flAutoWidth) && rpState().DocMode == rpOutputMode) Width += 100;
    WrapMemo();
    ScaleX = sx;
    ScaleY = sy;
    RestoreCoords();
    PrintText.Assign(WrappedLines());
  }
  ScaleCoords();
  if (!Exporting) {
    DrawBackground();
    DrawFrame();
    DrawUnderlines();
  }
  if (PrintText.Count()) ShowMemo();
  canvas.TextCharacterExtra = 0;
  RestoreCoords();
}

void TrpMemoView::ExportData() {
  TrpView::ExportData();
  Exporting = true;
  try {
    Draw(rpMeasureCanvas());
  } catch (...) {
    Exporting = false;
    throw;
  }
  Exporting = false;
}

int TrpMemoView::CalcHeight() {
  TrpBuildState& st = rpState();
  DrawMode = 1;
  BeginDraw(rpMeasureCanvas());
  st.Hooks->RunScript(this, Script);
  if (!Visible) return 0;
  PrintText.Assign(Memo);
  st.Hooks->BeforePrint(PrintText, *this);
  if (PrintText.Lines() == Memo.Lines()) ExpandVariables();
  ApplyHighlight();
  ScaleCoords();
  int result = 0;
  if (PrintText.Count()) {
    WrapMemo();
    PrintText.Assign(WrappedLines());
    result = WrappedHeight();
  }
  RestoreCoords();
  RestoreHighlight();
  return result;
}

void TrpMemoView::Print(TStream& stream) {
  TrpBuildState& st = rpState();
  BeginDraw(rpMeasureCanvas());
  StopAtBottom = true;
  if (DrawMode == 0) st.Hooks->RunScript(this, Script);
  if (DrawMode == 0) {
    PrintText.Assign(Memo);
    const bool handled = st.Hooks->BeforePrint(PrintText, *this);
    if (!handled || PrintText.Lines() == Memo.Lines()) ExpandVariables();
  }
  if (!Visible) {
    DrawMode = 0;
    return;
  }
  ApplyHighlight();
  TStringList kept;
  if (DrawMode == 2) {
    ScaleCoords();
    Exporting = true;  // count only
    ShowMemo();
    Exporting = false;
    kept.Assign(PrintText);
    while (PrintText.Count() > LinesShown) PrintText.Delete(PrintText.Count() - 1);
    if (PrintText.Text().find(rpLineEndMarker) == AnsiString::npos) PrintText.Add(AnsiString(1, rpLineEndMarker));
    RestoreCoords();
  }
  const AnsiString tag = Tag;
  const std::uint8_t align = BandAlign;
  const std::int32_t format = Format;
  auto restore = [&] {
    Tag = tag;
    BandAlign = align;
    Format = format;
    RestoreHighlight();
    DrawMode = 0;
  };
  try {
    Format = 0;
    if (Tag.find('[') != AnsiString::npos) Tag = ExpandTag(Tag);
    Format = format;
    int top = 0, calc = 0, width = 0, type = 0;
    if (st.Hooks->CurrentBandGeometry(top, calc, width, type) && BandAlign == baWidth && type >= 18 && type <= 20) {
      Width = width;
      BandAlign = baNone;
    } else {
      AlignToCurrentBand();
    }
    const AnsiString text = PrintText.Text();
    if (!((Flags & flSuppress) && text == LastValue)) {
      WritePreparedEntry(stream);
      if (Flags & flSuppress) LastValue = text;
    }
    if (DrawMode == 2) {
      PrintText.Clear();
      for (int i = LinesShown; i < kept.Count(); ++i) PrintText.Add(kept[i]);
    }
  } catch (...) {
    restore();
    throw;
  }
  restore();
}

// ---------------------------------------------------------------------------------
// Record

void TrpMemoView::LoadFromStream(TStream& stream) {
  TrpView::LoadFromStream(stream);
  const int v = rpState().StreamVersion;
  Font.Name = ReadReportString(stream);
  Font.Size = stream.ReadInt32();
  Font.Style = rpFontStyleFromBits(static_cast<std::uint8_t>(stream.ReadUInt16()));
  Font.Color = stream.ReadUInt32();
  Alignment = stream.ReadInt32();
  const std::uint16_t charset = stream.ReadUInt16();
  Font.Charset = v < 23 ? rpDefaultCharset : static_cast<std::uint8_t>(charset & 0xFF);
  if (!InPreparedPage) {
    HighlightStyle = stream.ReadUInt16();
    HighlightFontColor = stream.ReadUInt32();
    HighlightFillColor = stream.ReadUInt32();
    HighlightCondition = ReadReportString(stream);
  }
  if (v > 23) {
    LineSpacing = stream.ReadInt32();
    CharSpacing = stream.ReadInt32();
  }
  rpCheckRange(Font.Size, kMaxFontSize, "размер шрифта");
  rpCheckRange(LineSpacing, kMaxSpacing, "LineSpacing");
  rpCheckRange(CharSpacing, kMaxSpacing, "CharSpacing");
  if (v == 21) Flags |= flWordWrap;
}

void TrpMemoView::SaveToStream(TStream& stream) {
  TrpView::SaveToStream(stream);
  rpStreamWriteString(stream, Font.Name);
  stream.WriteInt32(Font.Size);
  stream.WriteUInt16(rpFontStyleToBits(Font.Style));
  stream.WriteUInt32(Font.Color);
  stream.WriteInt32(Alignment);
  stream.WriteUInt16(Font.Charset);
  if (!InPreparedPage) {
    stream.WriteUInt16(HighlightStyle);
    stream.WriteUInt32(HighlightFontColor);
    stream.WriteUInt32(HighlightFillColor);
    rpStreamWriteString(stream, HighlightCondition);
  }
  stream.WriteInt32(LineSpacing);
  stream.WriteInt32(CharSpacing);
}
