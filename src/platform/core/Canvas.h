// The drawing surface of the program's own controls. Every control paints through
// TCanvas with the system's rules: rectangles exclude their right and bottom edges,
// LineTo leaves out its end point, FrameRect and Rectangle outline the pixels Left..
// Right-1 and Top..Bottom-1, text drawn with an opaque brush fills its cells with the
// brush colour. TQtCanvas (platform/gui) draws on a QPainter; TRecordingCanvas keeps
// the operations for tests.
#pragma once

#include <string_view>
#include <vector>

#include "platform/core/Classes.h"
#include "platform/core/Graphics.h"

class TCanvas : public TObject {
 public:
  // The drawing attributes, set before each drawing call as with the class library.
  TFont Font;
  TPen Pen;
  TBrush Brush;

  // Fills r with the brush (nothing for bsClear).
  virtual void FillRect(const TRect& r) = 0;
  // A one-pixel frame inside r in the brush colour.
  virtual void FrameRect(const TRect& r) = 0;
  // The pen outlines r (pixels Left..Right-1, Top..Bottom-1); the brush fills the inside.
  virtual void Rectangle(const TRect& r) = 0;
  // A filled polygon: the brush fills it, the pen outlines it.
  virtual void Polygon(const std::vector<TPoint>& points) = 0;
  void MoveTo(int x, int y) { PenPos = {x, y}; }
  // A line from PenPos to (x, y) without its end pixel; PenPos becomes (x, y).
  virtual void LineTo(int x, int y) = 0;
  virtual void SetPixel(int x, int y, TColor c) = 0;
  // The dotted focus rectangle, drawn by inverting pixels: a second call removes it.
  virtual void DrawFocusRect(const TRect& r) = 0;
  // Text with its cell's top-left at (x, y) in Font; with a brush other than bsClear
  // the cell is filled with the brush colour first. PenPos moves to the text's end.
  virtual void TextOut(int x, int y, std::string_view text) = 0;
  // Draws the bitmap at (x, y); a transparent bitmap leaves its transparent colour out.
  virtual void Draw(int x, int y, const TBitmap& bitmap) = 0;
  // Draws the bitmap stretched into r (the plain colour-on-colour stretch).
  virtual void StretchDraw(const TRect& r, const TBitmap& bitmap);

  // Extra pixels after every character of the next texts (SetTextCharacterExtra).
  int TextCharacterExtra = 0;
  // Spreads `extra` pixels over the `breaks` blanks of the next texts
  // (SetTextJustification); (0, 0) turns it off.
  void SetTextJustification(int extra, int breaks) {
    JustifyExtra = extra;
    JustifyBreaks = breaks;
  }
  int JustifyExtra = 0, JustifyBreaks = 0;
  // Device pixels per pixel of the dashed and dotted pen patterns (a printer's canvas
  // sets its resolution / 96, so that dashes keep their screen length).
  int PenPatternUnit = 1;
  // Whether any part of r lies inside the clip (RectVisible).
  bool RectVisible(const TRect& r) const { return !IntersectRect(clip_, r).IsEmpty(); }
  // The ellipse inscribed in r: the brush fills it, the pen outlines it.
  virtual void Ellipse(const TRect& r);
  // Lines through the points with the pen; PenPos ends at the last point.
  virtual void Polyline(const std::vector<TPoint>& points);

  // The device's resolution: fonts given in points take -points x PixelsPerInch / 72
  // pixels (96 for screens and images, the printer's for a printer).
  int PixelsPerInch = kPixelsPerInch;
  int FontHeightForPoints(int points) const;

  // Clipping, in the canvas' own coordinates.
  TRect ClipRect() const { return clip_; }
  void IntersectClipRect(const TRect& r);
  // Save and restore the clip and the drawing attributes (SaveDC / RestoreDC).
  void SaveState();
  void RestoreState();

  virtual const TTextMetrics& Metrics() const = 0;
  int TextWidth(std::string_view text) const { return Metrics().TextWidth(Font, text); }
  int TextHeight() const { return Metrics().TextHeight(Font); }

  // The system's DrawText: lays the text out (LayoutText), clips it to r unless
  // DT_NOCLIP and draws it with TextOut's rules; with DT_CALCRECT it only measures and
  // sets r. Returns the height of the text.
  int DrawText(std::string_view text, TRect& r, unsigned flags);
  // Fills r with the brush (unless bsClear) and draws the text at (x, y) clipped to r.
  void TextRect(const TRect& r, int x, int y, std::string_view text);

  TPoint PenPos;

 protected:
  explicit TCanvas(const TRect& bounds) : clip_(bounds) {}
  // One laid-out line of DrawText; the clip is already set.
  virtual void DrawTextRun(const TTextRun& run, unsigned flags) = 0;
  // The clip rectangle changed (narrowed or restored).
  virtual void ClipChanged() {}

 private:
  TRect clip_;
  struct Saved {
    TRect clip;
    TFont font;
    TPen pen;
    TBrush brush;
  };
  std::vector<Saved> saved_;
};

// Scoped SaveState / RestoreState.
class TCanvasState {
 public:
  explicit TCanvasState(TCanvas& c) : canvas_(c) { canvas_.SaveState(); }
  ~TCanvasState() { canvas_.RestoreState(); }
  TCanvasState(const TCanvasState&) = delete;
  TCanvasState& operator=(const TCanvasState&) = delete;

 private:
  TCanvas& canvas_;
};

// A canvas that keeps every drawing operation with the attributes and the clip in
// force, for tests of painting code. Text is measured with the metrics given (the
// fixed-width fake by default).
class TRecordingCanvas : public TCanvas {
 public:
  enum class TOpKind { FillRect, FrameRect, Rectangle, Polygon, Line, Pixel, FocusRect, Text, Bitmap, Ellipse,
                       Polyline, StretchBitmap };
  struct TOp {
    TOpKind Kind;
    TRect R;                      // the rectangle; for Line: (from.X, from.Y, to.X, to.Y)
    std::vector<TPoint> Points;   // Polygon, Polyline
    AnsiString Text;              // Text
    TColor Color = clNone;        // Pixel
    TBitmap Bitmap;               // Bitmap (at R.Left, R.Top); StretchBitmap (into R)
    unsigned Flags = 0;           // Text: the DrawText flags, 0 for TextOut
    TFont Font;
    TPen Pen;
    TBrush Brush;
    TRect Clip;
    int CharExtra = 0;                 // Text: TextCharacterExtra in force
    int JustifyExtra = 0, JustifyBreaks = 0;  // Text: the justification in force
  };

  explicit TRecordingCanvas(TRect bounds = Rect(0, 0, 10000, 10000), const TTextMetrics* metrics = nullptr);

  void FillRect(const TRect& r) override;
  void FrameRect(const TRect& r) override;
  void Rectangle(const TRect& r) override;
  void Polygon(const std::vector<TPoint>& points) override;
  void LineTo(int x, int y) override;
  void SetPixel(int x, int y, TColor c) override;
  void DrawFocusRect(const TRect& r) override;
  void TextOut(int x, int y, std::string_view text) override;
  void Draw(int x, int y, const TBitmap& bitmap) override;
  void StretchDraw(const TRect& r, const TBitmap& bitmap) override;
  void Ellipse(const TRect& r) override;
  void Polyline(const std::vector<TPoint>& points) override;
  const TTextMetrics& Metrics() const override { return *metrics_; }

  const std::vector<TOp>& Ops() const { return ops_; }
  // The operations of one kind, in order.
  std::vector<const TOp*> OpsOf(TOpKind kind) const;
  // The texts drawn, in order.
  std::vector<AnsiString> Texts() const;
  void Clear() { ops_.clear(); }

 protected:
  void DrawTextRun(const TTextRun& run, unsigned flags) override;

 private:
  TOp& Record(TOpKind kind, const TRect& r);

  TFakeTextMetrics ownMetrics_;
  const TTextMetrics* metrics_;
  std::vector<TOp> ops_;
};
