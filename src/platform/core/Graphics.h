// Graphics objects with the system's conventions, free of any toolkit: colours as
// 0x00BBGGRR values or system colour indexes with the high bit set, rectangles with
// exclusive right and bottom edges, fonts whose negative height is the character
// height in pixels, pens, brushes and bitmaps with a transparent colour. Layout code
// measures text through TTextMetrics, so it can be tested with fixed widths.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <string_view>
#include <vector>

#include "platform/core/SysUtils.h"

// ---------------------------------------------------------------------------------
// Colours

using TColor = std::uint32_t;

constexpr TColor RGBColor(int r, int g, int b) {
  return static_cast<TColor>((r & 0xFF) | ((g & 0xFF) << 8) | ((b & 0xFF) << 16));
}
constexpr int GetRValue(TColor c) { return static_cast<int>(c & 0xFF); }
constexpr int GetGValue(TColor c) { return static_cast<int>((c >> 8) & 0xFF); }
constexpr int GetBValue(TColor c) { return static_cast<int>((c >> 16) & 0xFF); }

constexpr TColor clBlack = 0x000000, clMaroon = 0x000080, clGreen = 0x008000, clOlive = 0x008080,
                 clNavy = 0x800000, clPurple = 0x800080, clTeal = 0x808000, clGray = 0x808080,
                 clSilver = 0xC0C0C0, clRed = 0x0000FF, clLime = 0x00FF00, clYellow = 0x00FFFF,
                 clBlue = 0xFF0000, clFuchsia = 0xFF00FF, clAqua = 0xFFFF00, clWhite = 0xFFFFFF;
constexpr TColor clNone = 0x1FFFFFFF, clDefault = 0x20000000;

// System colours: 0x80000000 | index.
constexpr TColor kSysColorFlag = 0x80000000;
enum TSysColorIndex : int {
  COLOR_SCROLLBAR = 0, COLOR_BACKGROUND = 1, COLOR_ACTIVECAPTION = 2, COLOR_INACTIVECAPTION = 3,
  COLOR_MENU = 4, COLOR_WINDOW = 5, COLOR_WINDOWFRAME = 6, COLOR_MENUTEXT = 7, COLOR_WINDOWTEXT = 8,
  COLOR_CAPTIONTEXT = 9, COLOR_ACTIVEBORDER = 10, COLOR_INACTIVEBORDER = 11, COLOR_APPWORKSPACE = 12,
  COLOR_HIGHLIGHT = 13, COLOR_HIGHLIGHTTEXT = 14, COLOR_BTNFACE = 15, COLOR_BTNSHADOW = 16,
  COLOR_GRAYTEXT = 17, COLOR_BTNTEXT = 18, COLOR_INACTIVECAPTIONTEXT = 19, COLOR_BTNHIGHLIGHT = 20,
  COLOR_3DDKSHADOW = 21, COLOR_3DLIGHT = 22, COLOR_INFOTEXT = 23, COLOR_INFOBK = 24,
  kSysColorCount = 25
};
constexpr TColor SysColor(int index) { return kSysColorFlag | static_cast<TColor>(index); }
constexpr TColor clScrollBar = SysColor(COLOR_SCROLLBAR), clBackground = SysColor(COLOR_BACKGROUND),
                 clActiveCaption = SysColor(COLOR_ACTIVECAPTION), clMenu = SysColor(COLOR_MENU),
                 clWindow = SysColor(COLOR_WINDOW), clWindowFrame = SysColor(COLOR_WINDOWFRAME),
                 clMenuText = SysColor(COLOR_MENUTEXT), clWindowText = SysColor(COLOR_WINDOWTEXT),
                 clHighlight = SysColor(COLOR_HIGHLIGHT), clHighlightText = SysColor(COLOR_HIGHLIGHTTEXT),
                 clBtnFace = SysColor(COLOR_BTNFACE), clBtnShadow = SysColor(COLOR_BTNSHADOW),
                 clGrayText = SysColor(COLOR_GRAYTEXT), clBtnText = SysColor(COLOR_BTNTEXT),
                 clBtnHighlight = SysColor(COLOR_BTNHIGHLIGHT), cl3DDkShadow = SysColor(COLOR_3DDKSHADOW),
                 cl3DLight = SysColor(COLOR_3DLIGHT), clInfoText = SysColor(COLOR_INFOTEXT),
                 clInfoBk = SysColor(COLOR_INFOBK);

constexpr bool IsSysColor(TColor c) { return (c & kSysColorFlag) != 0; }

// The current values of the system colours (0x00BBGGRR). They start as the classic
// desktop scheme; the GUI layer replaces them from the toolkit's palette at start-up.
using TSysColorTable = std::array<TColor, kSysColorCount>;
const TSysColorTable& ClassicSysColors();
const TSysColorTable& SysColors();
void SetSysColors(const TSysColorTable& table);

// A colour as 0x00BBGGRR: system colours resolved; clNone and clDefault give black.
TColor ColorToRGB(TColor c);

// ---------------------------------------------------------------------------------
// Points and rectangles. Right and Bottom are exclusive: a rectangle (0, 0, 10, 5)
// covers the pixels x 0..9 and y 0..4.

struct TPoint {
  int X = 0, Y = 0;
  friend bool operator==(const TPoint&, const TPoint&) = default;
};

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;

  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool Contains(TPoint p) const { return p.X >= Left && p.X < Right && p.Y >= Top && p.Y < Bottom; }
  friend bool operator==(const TRect&, const TRect&) = default;
};

constexpr TRect Rect(int l, int t, int r, int b) { return TRect{l, t, r, b}; }
constexpr TRect Bounds(int l, int t, int w, int h) { return TRect{l, t, l + w, t + h}; }
constexpr TPoint Point(int x, int y) { return TPoint{x, y}; }
inline bool PtInRect(const TRect& r, TPoint p) { return r.Contains(p); }
TRect InflateRect(TRect r, int dx, int dy);
TRect OffsetRect(TRect r, int dx, int dy);
// The common part; an empty rectangle (0, 0, 0, 0) when they do not meet.
TRect IntersectRect(const TRect& a, const TRect& b);
TRect UnionRect(const TRect& a, const TRect& b);
// A window's rectangle moved to the centre of the screen and then into it (the left
// and top edges win when it is larger), its size unchanged.
TRect CenterWindowRect(const TRect& window, const TRect& screen);

// ---------------------------------------------------------------------------------
// Fonts, pens, brushes

enum TFontStyle : std::uint8_t { fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8 };
using TFontStyles = std::uint8_t;

constexpr int kPixelsPerInch = 96;

// The class library's font: Height < 0 is the character height in pixels (what a
// point size gives), Height > 0 the cell height including the internal leading.
struct TFont {
  AnsiString Name = "MS Sans Serif";
  int Height = -11;
  TFontStyles Style = 0;
  TColor Color = clWindowText;
  // Escapement in tenths of a degree: 0, or 900 for text turned 90 degrees
  // counter-clockwise (it then runs upwards from its starting point).
  int Orientation = 0;

  // Size in points: -Height * 72 / 96, rounded; setting a size gives a negative height.
  int Size() const;
  void SetSize(int points);
  bool operator==(const TFont&) const = default;
};

enum class TPenStyle { psSolid, psDash, psDot, psDashDot, psDashDotDot, psClear };
// Raster operation of a pen: copy, or XOR-like modes that a second drawing undoes.
enum class TPenMode { pmCopy, pmNot, pmXor, pmNotXor };

struct TPen {
  TColor Color = clBlack;
  int Width = 1;
  TPenStyle Style = TPenStyle::psSolid;
  TPenMode Mode = TPenMode::pmCopy;
  bool operator==(const TPen&) const = default;
};

enum class TBrushStyle { bsSolid, bsClear, bsHorizontal, bsVertical, bsFDiagonal, bsBDiagonal, bsCross,
                         bsDiagCross, bsPattern };

// With bsPattern the brush paints an 8 x 8 monochrome pattern (row bytes, bit 7 = the
// leftmost pixel): set bits in Color, clear bits in PatternBack. The pattern is
// anchored at the device origin, as the system's brush origin (0, 0).
struct TBrush {
  TColor Color = clWhite;
  TBrushStyle Style = TBrushStyle::bsSolid;
  std::array<std::uint8_t, 8> Pattern{};
  TColor PatternBack = clWhite;
  bool operator==(const TBrush&) const = default;
};
// The 50% dither brush (alternate pixels) of pressed buttons and scroll bars.
TBrush DitherBrush(TColor fore, TColor back);

// ---------------------------------------------------------------------------------
// Bitmaps: 32-bit pixels holding TColor values (0x00BBGGRR). A transparent bitmap
// leaves the pixels of TransparentColor unpainted when drawn; the default transparent
// colour is the bottom-left pixel, as the class library takes it.

class TBitmap {
 public:
  TBitmap() = default;
  TBitmap(int width, int height, TColor fill = clWhite);

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  // Out-of-range reads give clNone; out-of-range writes are ignored.
  TColor Pixel(int x, int y) const;
  void SetPixel(int x, int y, TColor c);
  void Fill(const TRect& r, TColor c);
  void FillAll(TColor c) { Fill(Rect(0, 0, width_, height_), c); }

  bool Transparent = false;
  // clDefault: the bottom-left pixel.
  TColor TransparentColor = clDefault;
  TColor EffectiveTransparentColor() const;

  // A part of the bitmap (clipped to it).
  TBitmap Copy(const TRect& r) const;
  bool operator==(const TBitmap&) const = default;

 private:
  int width_ = 0, height_ = 0;
  std::vector<TColor> pixels_;
};

// ---------------------------------------------------------------------------------
// Text measurement

class TTextMetrics {
 public:
  virtual ~TTextMetrics() = default;
  // Width in pixels of a 1251 string in the font.
  virtual int TextWidth(const TFont& font, std::string_view text) const = 0;
  // Line (cell) height of the font: ascent + descent.
  virtual int TextHeight(const TFont& font) const = 0;
};

// Fixed widths for layout tests: every byte is CharWidth pixels wide (BoldCharWidth
// in a bold font); the line height is |Height| + (Height < 0 ? Leading : 0).
class TFakeTextMetrics : public TTextMetrics {
 public:
  int CharWidth = 6;
  int BoldCharWidth = 7;
  int Leading = 2;

  int TextWidth(const TFont& font, std::string_view text) const override;
  int TextHeight(const TFont& font) const override;
};

// ---------------------------------------------------------------------------------
// DrawText: the system's flags and the layout they give.

enum : unsigned {
  DT_TOP = 0x0, DT_LEFT = 0x0, DT_CENTER = 0x1, DT_RIGHT = 0x2, DT_VCENTER = 0x4, DT_BOTTOM = 0x8,
  DT_WORDBREAK = 0x10, DT_SINGLELINE = 0x20, DT_EXPANDTABS = 0x40, DT_NOCLIP = 0x100,
  DT_CALCRECT = 0x400, DT_NOPREFIX = 0x800, DT_PATH_ELLIPSIS = 0x4000, DT_END_ELLIPSIS = 0x8000,
  DT_RTLREADING = 0x20000, DT_WORD_ELLIPSIS = 0x40000,
};

struct TTextRun {
  int X = 0, Y = 0;   // top-left of the line's cell
  AnsiString Text;    // as drawn: prefixes resolved, ellipsis applied
  int Width = 0;
  int UnderlineIndex = -1;  // byte of Text underlined by a "&" prefix, -1 for none
};

struct TTextLayout {
  std::vector<TTextRun> Runs;
  TRect Bounds;      // what DT_CALCRECT gives back
  int Height = 0;    // the value DrawText returns
};

// Lays text out in r the way DrawText does: single line (CR and LF count as spaces)
// or lines broken at CR LF and, with DT_WORDBREAK, between words; horizontal
// alignment per line; DT_VCENTER and DT_BOTTOM only with DT_SINGLELINE; "&x" marks x
// as the accelerator and "&&" is a literal "&" unless DT_NOPREFIX; DT_END_ELLIPSIS
// shortens a line that does not fit and ends it in "..."; DT_CALCRECT keeps the left
// and top and sets the right and bottom from the text.
TTextLayout LayoutText(const TTextMetrics& metrics, const TFont& font, std::string_view text,
                       const TRect& r, unsigned flags);
