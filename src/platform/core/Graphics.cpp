#include "platform/core/Graphics.h"

#include <cmath>
#include <cstdlib>

namespace {

TSysColorTable MakeClassic() {
  TSysColorTable t{};
  t[COLOR_SCROLLBAR] = RGBColor(212, 208, 200);
  t[COLOR_BACKGROUND] = RGBColor(58, 110, 165);
  t[COLOR_ACTIVECAPTION] = RGBColor(10, 36, 106);
  t[COLOR_INACTIVECAPTION] = RGBColor(128, 128, 128);
  t[COLOR_MENU] = RGBColor(212, 208, 200);
  t[COLOR_WINDOW] = RGBColor(255, 255, 255);
  t[COLOR_WINDOWFRAME] = RGBColor(0, 0, 0);
  t[COLOR_MENUTEXT] = RGBColor(0, 0, 0);
  t[COLOR_WINDOWTEXT] = RGBColor(0, 0, 0);
  t[COLOR_CAPTIONTEXT] = RGBColor(255, 255, 255);
  t[COLOR_ACTIVEBORDER] = RGBColor(212, 208, 200);
  t[COLOR_INACTIVEBORDER] = RGBColor(212, 208, 200);
  t[COLOR_APPWORKSPACE] = RGBColor(128, 128, 128);
  t[COLOR_HIGHLIGHT] = RGBColor(10, 36, 106);
  t[COLOR_HIGHLIGHTTEXT] = RGBColor(255, 255, 255);
  t[COLOR_BTNFACE] = RGBColor(212, 208, 200);
  t[COLOR_BTNSHADOW] = RGBColor(128, 128, 128);
  t[COLOR_GRAYTEXT] = RGBColor(128, 128, 128);
  t[COLOR_BTNTEXT] = RGBColor(0, 0, 0);
  t[COLOR_INACTIVECAPTIONTEXT] = RGBColor(212, 208, 200);
  t[COLOR_BTNHIGHLIGHT] = RGBColor(255, 255, 255);
  t[COLOR_3DDKSHADOW] = RGBColor(64, 64, 64);
  t[COLOR_3DLIGHT] = RGBColor(212, 208, 200);
  t[COLOR_INFOTEXT] = RGBColor(0, 0, 0);
  t[COLOR_INFOBK] = RGBColor(255, 255, 225);
  return t;
}

TSysColorTable& CurrentSysColors() {
  static TSysColorTable table = MakeClassic();
  return table;
}

}  // namespace

const TSysColorTable& ClassicSysColors() {
  static const TSysColorTable table = MakeClassic();
  return table;
}

const TSysColorTable& SysColors() { return CurrentSysColors(); }
void SetSysColors(const TSysColorTable& table) { CurrentSysColors() = table; }

TColor ColorToRGB(TColor c) {
  if (IsSysColor(c)) {
    const TColor index = c & 0xFF;
    return index < kSysColorCount ? SysColors()[index] : clBlack;
  }
  if (c == clNone || c == clDefault) return clBlack;
  return c & 0x00FFFFFF;
}

// ---------------------------------------------------------------------------------

TRect InflateRect(TRect r, int dx, int dy) { return {r.Left - dx, r.Top - dy, r.Right + dx, r.Bottom + dy}; }
TRect OffsetRect(TRect r, int dx, int dy) { return {r.Left + dx, r.Top + dy, r.Right + dx, r.Bottom + dy}; }

TRect IntersectRect(const TRect& a, const TRect& b) {
  TRect r{std::max(a.Left, b.Left), std::max(a.Top, b.Top), std::min(a.Right, b.Right),
          std::min(a.Bottom, b.Bottom)};
  return r.IsEmpty() ? TRect{} : r;
}

TRect UnionRect(const TRect& a, const TRect& b) {
  if (a.IsEmpty()) return b;
  if (b.IsEmpty()) return a;
  return {std::min(a.Left, b.Left), std::min(a.Top, b.Top), std::max(a.Right, b.Right),
          std::max(a.Bottom, b.Bottom)};
}

TRect CenterWindowRect(const TRect& window, const TRect& screen) {
  const int w = window.Width(), h = window.Height();
  int left = screen.Left + (screen.Width() - w) / 2;
  int top = screen.Top + (screen.Height() - h) / 2;
  // Into the screen: the right and bottom edges first, so that the left and top win.
  left = std::max(std::min(left, screen.Right - w), screen.Left);
  top = std::max(std::min(top, screen.Bottom - h), screen.Top);
  return Bounds(left, top, w, h);
}

int TFont::Size() const {
  if (Height < 0) return static_cast<int>(std::lround(-Height * 72.0 / kPixelsPerInch));
  return static_cast<int>(std::lround(Height * 72.0 / kPixelsPerInch));
}

void TFont::SetSize(int points) {
  Height = -static_cast<int>(std::lround(points * static_cast<double>(kPixelsPerInch) / 72.0));
}

TBrush DitherBrush(TColor fore, TColor back) {
  TBrush b;
  b.Style = TBrushStyle::bsPattern;
  b.Color = fore;
  b.PatternBack = back;
  for (int i = 0; i < 8; ++i) b.Pattern[i] = (i % 2 == 0) ? 0xAA : 0x55;
  return b;
}

// ---------------------------------------------------------------------------------

TBitmap::TBitmap(int width, int height, TColor fill)
    : width_(std::max(width, 0)), height_(std::max(height, 0)),
      pixels_(static_cast<std::size_t>(width_) * height_, fill) {}

TColor TBitmap::Pixel(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return clNone;
  return pixels_[static_cast<std::size_t>(y) * width_ + x];
}

void TBitmap::SetPixel(int x, int y, TColor c) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) return;
  pixels_[static_cast<std::size_t>(y) * width_ + x] = c;
}

void TBitmap::Fill(const TRect& r, TColor c) {
  const TRect f = IntersectRect(r, Rect(0, 0, width_, height_));
  for (int y = f.Top; y < f.Bottom; ++y)
    for (int x = f.Left; x < f.Right; ++x) pixels_[static_cast<std::size_t>(y) * width_ + x] = c;
}

TColor TBitmap::EffectiveTransparentColor() const {
  if (TransparentColor != clDefault) return ColorToRGB(TransparentColor);
  return Empty() ? clNone : Pixel(0, height_ - 1);
}

TBitmap TBitmap::Copy(const TRect& r) const {
  const TRect f = IntersectRect(r, Rect(0, 0, width_, height_));
  TBitmap out(f.Width(), f.Height());
  for (int y = 0; y < f.Height(); ++y)
    for (int x = 0; x < f.Width(); ++x) out.SetPixel(x, y, Pixel(f.Left + x, f.Top + y));
  out.Transparent = Transparent;
  out.TransparentColor = TransparentColor == clDefault ? EffectiveTransparentColor() : TransparentColor;
  return out;
}

// ---------------------------------------------------------------------------------

int TFakeTextMetrics::TextWidth(const TFont& font, std::string_view text) const {
  return static_cast<int>(text.size()) * ((font.Style & fsBold) ? BoldCharWidth : CharWidth);
}

int TFakeTextMetrics::TextHeight(const TFont& font) const {
  return std::abs(font.Height) + (font.Height < 0 ? Leading : 0);
}

// ---------------------------------------------------------------------------------
// DrawText layout

namespace {

struct Line {
  AnsiString text;
  int underline = -1;
};

// Resolves "&" prefixes of one line.
Line ResolvePrefixes(std::string_view s, bool noPrefix) {
  Line line;
  if (noPrefix) {
    line.text = AnsiString(s);
    return line;
  }
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '&') {
      if (i + 1 < s.size() && s[i + 1] == '&') {
        line.text += '&';
        ++i;
      } else if (i + 1 < s.size()) {
        line.underline = static_cast<int>(line.text.size());
      }
      continue;
    }
    line.text += s[i];
  }
  return line;
}

std::vector<std::string_view> SplitHardLines(std::string_view s) {
  std::vector<std::string_view> out;
  std::size_t start = 0;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\r' || s[i] == '\n') {
      out.push_back(s.substr(start, i - start));
      if (s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n') ++i;
      start = i + 1;
    }
  }
  out.push_back(s.substr(start));
  return out;
}

// Breaks one resolved line between words so that each piece fits maxWidth; a word
// wider than that stays whole on its own line.
std::vector<Line> WordBreak(const TTextMetrics& m, const TFont& font, const Line& line, int maxWidth) {
  std::vector<Line> out;
  const AnsiString& s = line.text;
  std::size_t pos = 0;
  while (true) {
    std::size_t end = pos, lastFit = AnsiString::npos;
    while (end < s.size()) {
      std::size_t next = s.find(' ', end);
      if (next == AnsiString::npos) next = s.size();
      if (m.TextWidth(font, std::string_view(s).substr(pos, next - pos)) > maxWidth && lastFit != AnsiString::npos)
        break;
      lastFit = next;
      end = next;
      if (end < s.size()) ++end;
    }
    if (lastFit == AnsiString::npos) lastFit = s.size();
    Line piece;
    std::size_t pieceEnd = lastFit;
    while (pieceEnd > pos && s[pieceEnd - 1] == ' ') --pieceEnd;
    piece.text = s.substr(pos, pieceEnd - pos);
    if (line.underline >= static_cast<int>(pos) && line.underline < static_cast<int>(pieceEnd))
      piece.underline = line.underline - static_cast<int>(pos);
    out.push_back(std::move(piece));
    pos = lastFit;
    while (pos < s.size() && s[pos] == ' ') ++pos;
    if (pos >= s.size()) break;
  }
  return out;
}

void ApplyEndEllipsis(const TTextMetrics& m, const TFont& font, Line& line, int maxWidth) {
  if (m.TextWidth(font, line.text) <= maxWidth) return;
  static constexpr std::string_view kDots = "...";
  std::size_t keep = line.text.size();
  while (keep > 0) {
    --keep;
    if (m.TextWidth(font, line.text.substr(0, keep)) + m.TextWidth(font, kDots) <= maxWidth) break;
  }
  line.text = line.text.substr(0, keep) + AnsiString(kDots);
  if (line.underline >= static_cast<int>(keep)) line.underline = -1;
}

}  // namespace

TTextLayout LayoutText(const TTextMetrics& metrics, const TFont& font, std::string_view text,
                       const TRect& r, unsigned flags) {
  TTextLayout layout;
  const bool noPrefix = (flags & DT_NOPREFIX) != 0;
  const bool single = (flags & DT_SINGLELINE) != 0;
  const bool calc = (flags & DT_CALCRECT) != 0;

  std::vector<Line> lines;
  if (single) {
    AnsiString flat(text);
    for (char& c : flat)
      if (c == '\r' || c == '\n') c = ' ';
    lines.push_back(ResolvePrefixes(flat, noPrefix));
  } else {
    for (std::string_view hard : SplitHardLines(text)) {
      Line resolved = ResolvePrefixes(hard, noPrefix);
      if (flags & DT_WORDBREAK) {
        for (Line& piece : WordBreak(metrics, font, resolved, r.Width())) lines.push_back(std::move(piece));
      } else {
        lines.push_back(std::move(resolved));
      }
    }
  }
  if (text.empty()) lines.clear();

  const int lineHeight = metrics.TextHeight(font);
  const int total = lineHeight * static_cast<int>(lines.size());
  int top = r.Top;
  if (single && !calc) {
    if (flags & DT_VCENTER) top = r.Top + (r.Height() - lineHeight) / 2;
    else if (flags & DT_BOTTOM) top = r.Bottom - lineHeight;
  }

  int maxWidth = 0;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    Line& line = lines[i];
    if ((flags & (DT_END_ELLIPSIS | DT_WORD_ELLIPSIS | DT_PATH_ELLIPSIS)) && !calc)
      ApplyEndEllipsis(metrics, font, line, r.Width());
    TTextRun run;
    run.Width = metrics.TextWidth(font, line.text);
    maxWidth = std::max(maxWidth, run.Width);
    if (flags & DT_CENTER) run.X = r.Left + (r.Width() - run.Width) / 2;
    else if (flags & DT_RIGHT) run.X = r.Right - run.Width;
    else run.X = r.Left;
    run.Y = top + static_cast<int>(i) * lineHeight;
    run.Text = std::move(line.text);
    run.UnderlineIndex = line.underline;
    layout.Runs.push_back(std::move(run));
  }

  layout.Height = total;
  if (calc) {
    layout.Bounds = {r.Left, r.Top, r.Left + maxWidth, r.Top + total};
  } else {
    for (const TTextRun& run : layout.Runs)
      layout.Bounds = UnionRect(layout.Bounds, Bounds(run.X, run.Y, run.Width, lineHeight));
  }
  return layout;
}
