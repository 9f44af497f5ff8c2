// Small helpers of the tree and header controls: strings in streams, integer ranges
// and centring a box.
#pragma once

#include <cstdint>

#include "platform/core/Classes.h"

// An int32 length, then the bytes. False, instead of an exception, when the stream fails.
bool StreamWriteString(TStream& stream, const AnsiString& s);

// Reads a string written by StreamWriteString. False on any error (a negative length,
// a length beyond the bytes left, a short stream); s then keeps its old value.
bool StreamReadString(TStream& stream, AnsiString& s);

// Little-endian fields of fixed stream blocks.
inline std::int32_t Get32(const unsigned char* b, int at) {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(b[at]) | static_cast<std::uint32_t>(b[at + 1]) << 8 |
                                   static_cast<std::uint32_t>(b[at + 2]) << 16 |
                                   static_cast<std::uint32_t>(b[at + 3]) << 24);
}
inline std::uint16_t Get16(const unsigned char* b, int at) {
  return static_cast<std::uint16_t>(b[at] | b[at + 1] << 8);
}
inline void Put32(unsigned char* b, int at, std::int32_t v) {
  const auto u = static_cast<std::uint32_t>(v);
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<unsigned char>(u >> (8 * i));
}
inline void Put16(unsigned char* b, int at, std::uint16_t v) {
  b[at] = static_cast<unsigned char>(v);
  b[at + 1] = static_cast<unsigned char>(v >> 8);
}

// A stored enumeration value; one the type does not have reads as `def`.
template <class E>
E EnumByte(unsigned char v, E last, E def) {
  return v <= static_cast<unsigned char>(last) ? static_cast<E>(v) : def;
}

inline bool InRange(int low, int high, int value) { return low <= value && value <= high; }
inline int IntMax(int a, int b) { return a > b ? a : b; }
inline int IntMin(int a, int b) { return a < b ? a : b; }

// Places an inner box of the given size in a box, centred, in the box's coordinates:
// Left = max(BoxWidth div 2 - InnerWidth div 2, 0), Right = min(Left + InnerWidth,
// Left + BoxWidth), and the same vertically. Works on any rectangle with the fields
// Left, Top, Right and Bottom.
template <class Rect>
void CenterRect(int innerWidth, int boxWidth, int innerHeight, int boxHeight, Rect& r) {
  r.Left = IntMax(boxWidth / 2 - innerWidth / 2, 0);
  r.Right = IntMin(r.Left + innerWidth, r.Left + boxWidth);
  r.Top = IntMax(boxHeight / 2 - innerHeight / 2, 0);
  r.Bottom = IntMin(r.Top + innerHeight, r.Top + boxHeight);
}

// The system version as the controls ask for it. This desktop answers as the NT family,
// 2000 or later, so the wheel code reads the desktop's own lines-per-notch setting.
struct TMtSystemFlags {
  bool Win95 = false;      // the 95 family
  bool Win95OSR2 = false;  // its OSR2 build
  bool WinNT = true;       // the NT family
  bool Win2000 = true;     // NT 5 or later
  bool Win98 = false;      // 98 or later of the 95 family
};
const TMtSystemFlags& MtSystemFlags();
// Whether the system provides the wheel-scroll-lines setting (NT family, or 98 and later).
inline bool MtHasWheelScrollLines() { return MtSystemFlags().WinNT || MtSystemFlags().Win98; }
