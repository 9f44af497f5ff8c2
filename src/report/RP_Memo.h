// The memo view: lines of text in which bracketed expressions are replaced by values,
// wrapped to the view's width (with Russian hyphenation), aligned, optionally turned
// by 90 degrees, measured for stretching bands and split over pages.
#pragma once

#include <vector>

#include "report/RP_Views.h"

// Memo flags.
constexpr std::uint16_t flWordWrap = 2, flWordBreak = 4, flAutoWidth = 8, flTextOnly = 16, flSuppress = 32,
                        flHideZeros = 64, flUnderlines = 128;
// Alignment bits.
constexpr std::int32_t rpalLeft = 0, rpalRight = 1, rpalCenter = 2, rpalJustify = 3, rpalRotated = 4,
                       rpalMiddle = 8, rpalBottom = 16;
// The end-of-paragraph marker of wrapped lines.
constexpr char rpLineEndMarker = '\x01';
// The engine's default character set (Cyrillic).
constexpr int rpDefaultCharset = 204;

// A memo's font: size in points, style in the class library's bits (bold = 1).
struct TrpFont {
  AnsiString Name = "Arial";
  std::int32_t Size = 10;
  std::uint8_t Style = 0;
  TColor Color = clBlack;
  std::uint8_t Charset = rpDefaultCharset;
  bool operator==(const TrpFont&) const = default;
};

// The longest font name a memo keeps.
constexpr std::size_t rpMaxFontName = 255;

class TrpMemoView : public TrpStretcheable {
 public:
  TrpMemoView();

  TrpFont Font;
  AnsiString LastValue;
  bool PreWrapped = false;
  bool StopAtBottom = false;
  std::int32_t LineHeight = 0;
  std::int32_t LinesShown = 0;
  bool Exporting = false;
  std::int32_t Alignment = 0;
  std::uint16_t HighlightStyle = 2;
  TColor HighlightFontColor = clBlack;
  TColor HighlightFillColor = clWhite;
  AnsiString HighlightCondition;
  std::int32_t LineSpacing = 2;
  std::int32_t CharSpacing = 0;

  void SetPropValue(const AnsiString& name, const Variant& value) override;
  Variant GetPropValue(const AnsiString& name) override;
  Variant DoMethod(const AnsiString& methodName, const Variant& par1, const Variant& par2,
                   const Variant& par3) override;
  void DefineProperties() override;
  void GetBlob(const Variant& field) override;
  void Draw(TCanvas& canvas) override;
  void Print(TStream& stream) override;
  void ExportData() override;
  void LoadFromStream(TStream& stream) override;
  void SaveToStream(TStream& stream) override;
  int CalcHeight() override;
  int MinHeight() override { return LineHeight; }
  int RemainHeight() override { return PrintText.Count() * LineHeight; }

  void ExpandVariables();
  void WrapMemo();
  void ShowMemo();
  void DrawUnderlines();
  int CalcWidth(const TStringList& lines);
  // The width of its text as it would print now (expressions expanded); the view's
  // width while that text is being expanded (a text asking for its own width).
  int CalcTextWidth();
  void SetFontForOutput(TCanvas& canvas);

 private:
  // Highlight on (when the condition holds) and back.
  void ApplyHighlight();
  void RestoreHighlight();
  void WrapLine(const AnsiString& s, int maxWidth, std::int64_t& position, int step);
  int MeasuredWidth(std::string_view s) const;

  bool highlighted_ = false;
  bool measuring_ = false;
  TrpFont savedFont_;
  TColor savedFill_ = rpNoColor;
};

// The shared result of the last wrap: its lines and the text height.
const TStringList& rpWrappedLines();
int rpWrappedTextHeight();

// Break positions of a word by the Russian syllable rule (1-based: a break is allowed
// after that character), in increasing order.
std::vector<int> HyphenPositions(const AnsiString& word);

// Display format words: kind (bits 24-27), sub-format (16-23), decimals (8-15) and
// the decimal separator (0-7).
constexpr std::int32_t rpFormatWord(int kind, int subFormat, int decimals, char separator) {
  return (kind << 24) | (subFormat << 16) | (decimals << 8) | static_cast<unsigned char>(separator);
}
enum : int { rpfkText = 0, rpfkNumber = 1, rpfkDate = 2, rpfkTime = 3, rpfkBoolean = 4 };

// Splits a bracketed text at its inline format (" #" and a format text at its end):
// returns the expression; a number, date or boolean format replaces `format` and
// `formatStr`, any other leaves them (the format text is cut off in every case).
AnsiString rpInlineFormat(const AnsiString& text, std::int32_t& format, AnsiString& formatStr);

// The font as a canvas font: the character height from the point size at 96 pixels per
// inch (or `dpi`), times scale; rounded at scale 1 and truncated otherwise.
TFont rpCanvasFont(const TrpFont& font, double scale, int dpi = kPixelsPerInch);
