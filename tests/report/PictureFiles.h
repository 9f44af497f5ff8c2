// Small picture files written byte by byte, with the pixels they hold stated by hand.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>

namespace picture_files {

inline void Le(std::string& s, std::uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void Bytes(std::string& s, std::initializer_list<int> bytes) {
  for (int b : bytes) s.push_back(static_cast<char>(b));
}

// A bitmap file: file header, 40-byte info header, palette (B, G, R, 0 each) and data.
inline std::string Bmp(int width, int height, int depth, int compression, const std::string& palette,
                       const std::string& data) {
  std::string s = "BM";
  const auto offset = static_cast<std::uint32_t>(14 + 40 + palette.size());
  Le(s, offset + static_cast<std::uint32_t>(data.size()), 4);
  Le(s, 0, 4);
  Le(s, offset, 4);
  Le(s, 40, 4);
  Le(s, static_cast<std::uint32_t>(width), 4);
  Le(s, static_cast<std::uint32_t>(height), 4);
  Le(s, 1, 2);
  Le(s, static_cast<std::uint32_t>(depth), 2);
  Le(s, static_cast<std::uint32_t>(compression), 4);
  Le(s, static_cast<std::uint32_t>(data.size()), 4);
  Le(s, 2835, 4);
  Le(s, 2835, 4);
  Le(s, static_cast<std::uint32_t>(palette.size() / 4), 4);
  Le(s, 0, 4);
  return s + palette + data;
}

// 2 x 2, one bit a pixel: top row black, red; bottom row red, black.
inline std::string Bmp1() {
  std::string palette, data;
  Bytes(palette, {0, 0, 0, 0, 0, 0, 255, 0});
  Bytes(data, {0x80, 0, 0, 0, 0x40, 0, 0, 0});  // bottom row first: 1 0, then 0 1
  return Bmp(2, 2, 1, 0, palette, data);
}

// 4 x 2, four bits a pixel, run-length coded: top row green, blue, white, white;
// bottom row blue, green, blue, green.
inline std::string Bmp4Rle() {
  std::string palette, data;
  Bytes(palette, {255, 255, 255, 0, 255, 0, 0, 0, 0, 255, 0, 0});  // 0 white, 1 blue, 2 green
  Bytes(data, {4, 0x12, 0, 0, 2, 0x21, 2, 0x00, 0, 1});
  return Bmp(4, 2, 4, 2, palette, data);
}

// An icon of 2 x 1 at 32 bits: red, then a transparent pixel.
inline std::string Ico() {
  std::string s;
  Bytes(s, {0, 0, 1, 0, 1, 0});  // reserved, icon, one image
  Bytes(s, {2, 1, 0, 0});        // 2 x 1, no palette
  Le(s, 1, 2);
  Le(s, 32, 2);
  Le(s, 40 + 8 + 4, 4);
  Le(s, 22, 4);
  Le(s, 40, 4);
  Le(s, 2, 4);
  Le(s, 2, 4);  // the image and its mask
  Le(s, 1, 2);
  Le(s, 32, 2);
  for (int i = 0; i < 6; ++i) Le(s, 0, 4);
  Bytes(s, {0, 0, 255, 255, 0, 0, 0, 0});  // red, transparent (B, G, R, A)
  Bytes(s, {0x40, 0, 0, 0});                // the mask: the second pixel shows through
  return s;
}

// The key and header of a placeable metafile and a plain metafile header after it.
inline std::string PlaceableWmf() {
  std::string s;
  Le(s, 0x9AC6CDD7u, 4);
  for (int i = 0; i < 9; ++i) Le(s, 0, 2);
  Bytes(s, {1, 0, 9, 0, 0, 3});
  s.append(12, '\0');
  return s;
}

}  // namespace picture_files
