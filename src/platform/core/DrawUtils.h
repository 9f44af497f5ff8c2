// Drawing helpers of the program's controls on a TCanvas: solid fills, 3-D frames and
// edges in the system colours, the flat frame and bitmaps with a transparent colour.
#pragma once

#include "platform/core/Canvas.h"

// DrawEdge: borders and sides as the system names them.
enum : unsigned {
  BDR_RAISEDOUTER = 0x1, BDR_SUNKENOUTER = 0x2, BDR_RAISEDINNER = 0x4, BDR_SUNKENINNER = 0x8,
  EDGE_RAISED = BDR_RAISEDOUTER | BDR_RAISEDINNER, EDGE_SUNKEN = BDR_SUNKENOUTER | BDR_SUNKENINNER,
  EDGE_ETCHED = BDR_SUNKENOUTER | BDR_RAISEDINNER, EDGE_BUMP = BDR_RAISEDOUTER | BDR_SUNKENINNER,
  BF_LEFT = 0x1, BF_TOP = 0x2, BF_RIGHT = 0x4, BF_BOTTOM = 0x8, BF_RECT = 0xF, BF_MIDDLE = 0x800,
  BF_ADJUST = 0x2000, BF_FLAT = 0x4000, BF_MONO = 0x8000,
};

// Opaque fill of (x, y, x + w, y + h) in the colour; the canvas' brush is kept.
void FillSolidRect(TCanvas& c, int x, int y, int w, int h, TColor color);
// A one-pixel frame of the w x h box at (x, y): the top and left edges in topLeft
// (without the top-right and bottom-left corner pixels), the right and bottom edges in
// bottomRight.
void Draw3DRect(TCanvas& c, int x, int y, int w, int h, TColor topLeft, TColor bottomRight);
inline void Draw3DRect(TCanvas& c, const TRect& r, TColor topLeft, TColor bottomRight) {
  Draw3DRect(c, r.Left, r.Top, r.Width(), r.Height(), topLeft, bottomRight);
}
// Two nested frames: raised: outer button face / 3-D dark shadow, inner button
// highlight / button shadow; sunken: outer button shadow / button highlight, inner
// 3-D dark shadow / button face.
void Draw3DFrame(TCanvas& c, const TRect& r, bool raised);
// The flat frame: two rings in the background colour, a sunken edge (button shadow /
// button highlight) over the outer ring and, when focused, an inner edge (button text /
// 3-D light) over the inner ring.
void DrawFlatFrame(TCanvas& c, const TRect& r, TColor bkColor, bool focused);
// Draws the part src of the bitmap at (x, y) leaving the pixels of the transparent
// colour unpainted.
void DrawTransparentBitmap(TCanvas& c, const TBitmap& bitmap, int x, int y, const TRect& src,
                           TColor transparentColor);
// The system's DrawEdge: the outer then the inner border of `edge` on the sides in
// `flags`; BF_FLAT draws button shadow / button face, BF_MONO the window frame colour;
// BF_MIDDLE fills the inside with the button face; BF_ADJUST shrinks r to the inside.
void DrawEdge(TCanvas& c, TRect& r, unsigned edge, unsigned flags);

// A scroll bar's pieces: the two arrow boxes (each as long as the bar is thick, or half
// the bar when it is shorter than two boxes), and the thumb: its length from the page
// against the range (at least minThumb), its place from the position. No thumb when the
// range holds no more than a page or there is no room for it.
struct TFlatScrollBarParts {
  TRect ArrowLow, ArrowHigh, Thumb;
};
TFlatScrollBarParts FlatScrollBarParts(const TRect& r, bool vertical, int max, int page, int pos, int minThumb);
// Paints a scroll bar flat: the track in button face, arrow boxes and thumb framed in
// one pixel of button shadow (button text when focused), the arrows as small triangles.
// max is the last position the thumb can reach; page the page size.
void DrawFlatScrollbar(TCanvas& c, const TRect& r, bool vertical, int max, int page, int pos, bool focused,
                       bool enabled = true);
