#include "platform/core/Resources.h"

#include <functional>
#include <map>

namespace {

constexpr TColor kKey = RGBColor(255, 0, 255);  // background of transparent pictures

TBitmap Transparent(int w, int h) {
  TBitmap b(w, h, kKey);
  b.Transparent = true;
  return b;
}

TBitmap ExpandBox(bool plus) {
  TBitmap b(9, 9, clWhite);
  const TColor frame = RGBColor(128, 128, 128);
  for (int i = 0; i < 9; ++i) {
    b.SetPixel(i, 0, frame);
    b.SetPixel(i, 8, frame);
    b.SetPixel(0, i, frame);
    b.SetPixel(8, i, frame);
  }
  for (int i = 2; i <= 6; ++i) {
    b.SetPixel(i, 4, clBlack);
    if (plus) b.SetPixel(4, i, clBlack);
  }
  return b;
}

// A triangle n rows high: the tip row has one pixel, each row two more.
TBitmap Triangle(int n, bool pointUp, TColor fill, TColor lightEdge, TColor darkEdge) {
  const int w = 2 * n - 1;
  TBitmap b = Transparent(w, n + 1);  // one spare row keeps the bottom-left pixel free
  for (int row = 0; row < n; ++row) {
    const int y = pointUp ? row : n - 1 - row;
    const int from = n - 1 - row, to = n - 1 + row;
    for (int x = from; x <= to; ++x) b.SetPixel(x, y, fill);
    b.SetPixel(from, y, pointUp ? darkEdge : lightEdge);
    b.SetPixel(to, y, pointUp ? lightEdge : darkEdge);
  }
  // Flat side in the edge colour that faces the light.
  const int flatRow = pointUp ? n - 1 : 0;
  for (int x = 0; x < w; ++x) b.SetPixel(x, flatRow, pointUp ? lightEdge : darkEdge);
  return b;
}

TBitmap SideArrow(bool left) {
  TBitmap b = Transparent(5, 8);
  for (int col = 0; col < 4; ++col) {
    const int x = left ? col : 3 - col;
    for (int y = 3 - col; y <= 3 + col; ++y) b.SetPixel(x, y, clBlack);
  }
  return b;
}

TBitmap DropPointer() {
  TBitmap b = Transparent(9, 7);
  for (int row = 0; row < 5; ++row)
    for (int x = row; x < 9 - row; ++x) b.SetPixel(x, row, clBlack);
  b.Fill(Rect(3, 0, 6, 1), RGBColor(0, 0, 128));
  return b;
}

TBitmap FolderGlyph() {
  TBitmap b = Transparent(16, 14);
  const TColor body = RGBColor(255, 223, 96), edge = RGBColor(128, 96, 0);
  b.Fill(Rect(1, 2, 7, 4), body);
  b.Fill(Rect(1, 4, 15, 12), body);
  for (int x = 1; x < 7; ++x) b.SetPixel(x, 1, edge);
  for (int x = 7; x < 15; ++x) b.SetPixel(x, 3, edge);
  for (int x = 1; x < 15; ++x) b.SetPixel(x, 12, edge);
  for (int y = 1; y < 13; ++y) b.SetPixel(0, y, edge);
  for (int y = 3; y < 13; ++y) b.SetPixel(15, y, edge);
  return b;
}

TBitmap ComboArrow() {
  TBitmap b = Transparent(7, 5);
  for (int row = 0; row < 4; ++row)
    for (int x = row; x < 7 - row; ++x) b.SetPixel(x, row, clBlack);
  return b;
}

const std::map<AnsiString, std::function<TBitmap()>>& Makers() {
  static const std::map<AnsiString, std::function<TBitmap()>> makers = {
      {"PLUSBMP", [] { return ExpandBox(true); }},
      {"MINUSBMP", [] { return ExpandBox(false); }},
      {"MTHEADERASCBMP", [] { return Triangle(5, true, RGBColor(96, 96, 96), clWhite, RGBColor(64, 64, 64)); }},
      {"MTHEADERDESCBMP", [] { return Triangle(5, false, RGBColor(96, 96, 96), clWhite, RGBColor(64, 64, 64)); }},
      {"MTHEADERLEFTBMP", [] { return SideArrow(true); }},
      {"MTHEADERRIGHTBMP", [] { return SideArrow(false); }},
      {"MTHEADERPOINTBMP", DropPointer},
      {"FEDITBMP", FolderGlyph},
      {"COMBOARROW", ComboArrow},
  };
  return makers;
}

}  // namespace

const TBitmap& ResourceBitmap(std::string_view name) {
  static std::map<AnsiString, TBitmap> cache;
  const AnsiString key = UpperCase(name);
  if (auto it = cache.find(key); it != cache.end()) return it->second;
  auto maker = Makers().find(key);
  if (maker == Makers().end()) throw EResNotFound("Resource " + AnsiString(name) + " not found");
  return cache.emplace(key, maker->second()).first->second;
}
