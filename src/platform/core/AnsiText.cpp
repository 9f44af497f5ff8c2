#include "platform/core/AnsiText.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace cp {
namespace {

// Code points of 0x80..0xFF in Windows code page 1251. 0x98 is unassigned there and
// maps to U+0098, as the system does.
constexpr char16_t k1251[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 90
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // A0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // A8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // B0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // B8
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // C0
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // E0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

// Code points of 0x80..0xFF in code page 866 (DOS Cyrillic).
constexpr char16_t k866[128] = {
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,  // 80
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,  // 90
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,  // A0
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,  // B0
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,  // C0
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,  // D0
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,  // E0
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,  // F0
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};

// Upper case of the code points that occur in the two code pages.
char32_t UnicodeUpper(char32_t u) {
  if (u >= 'a' && u <= 'z') return u - 32;
  if (u >= 0x0430 && u <= 0x044F) return u - 0x20;
  if (u >= 0x0450 && u <= 0x045F) return u - 0x50;
  if (u == 0x0491) return 0x0490;
  return u;
}
char32_t UnicodeLower(char32_t u) {
  if (u >= 'A' && u <= 'Z') return u + 32;
  if (u >= 0x0410 && u <= 0x042F) return u + 0x20;
  if (u >= 0x0400 && u <= 0x040F) return u + 0x50;
  if (u == 0x0490) return 0x0491;
  return u;
}

struct Tables {
  std::array<unsigned char, 256> upper1251, lower1251, upper866, lower866;
  std::array<unsigned char, 256> ansiToOem, oemToAnsi;
  std::array<bool, 256> letter1251;
};

// Every code point of both code pages lies below this: the way back is a table lookup.
constexpr char32_t kReverseLimit = 0x2600;
constexpr bool AllBelowReverseLimit(const char16_t* table) {
  for (int i = 0; i < 128; ++i)
    if (table[i] >= kReverseLimit) return false;
  return true;
}
static_assert(AllBelowReverseLimit(k1251) && AllBelowReverseLimit(k866));

// The byte of each code point in a code page; 0 for none.
using ReverseTable = std::array<unsigned char, kReverseLimit>;
ReverseTable MakeReverse(const char16_t* table) {
  ReverseTable r{};
  for (int i = 127; i >= 0; --i) r[table[i]] = static_cast<unsigned char>(0x80 + i);  // the first byte wins
  return r;
}

unsigned char Reverse(const char16_t* table, char32_t u, unsigned char fallback) {
  if (u < 0x80) return static_cast<unsigned char>(u);
  static const ReverseTable r1251 = MakeReverse(k1251), r866 = MakeReverse(k866);
  if (u >= kReverseLimit) return fallback;
  const unsigned char b = (table == k1251 ? r1251 : r866)[u];
  return b != 0 ? b : fallback;
}

const Tables& T() {
  static const Tables t = [] {
    Tables r{};
    for (int c = 0; c < 256; ++c) {
      auto b = static_cast<unsigned char>(c);
      char32_t ua = Ansi1251ToUnicode(b), uo = Oem866ToUnicode(b);
      r.upper1251[c] = Reverse(k1251, UnicodeUpper(ua), b);
      r.lower1251[c] = Reverse(k1251, UnicodeLower(ua), b);
      r.upper866[c] = Reverse(k866, UnicodeUpper(uo), b);
      r.lower866[c] = Reverse(k866, UnicodeLower(uo), b);
      r.ansiToOem[c] = Reverse(k866, ua, '?');
      r.oemToAnsi[c] = Reverse(k1251, uo, '?');
      r.letter1251[c] = UnicodeUpper(ua) != UnicodeLower(ua);
    }
    return r;
  }();
  return t;
}

}  // namespace

char32_t Ansi1251ToUnicode(unsigned char c) { return c < 0x80 ? c : k1251[c - 0x80]; }
char32_t Oem866ToUnicode(unsigned char c) { return c < 0x80 ? c : k866[c - 0x80]; }
unsigned char UnicodeTo1251(char32_t u, unsigned char fallback) { return Reverse(k1251, u, fallback); }
unsigned char UnicodeTo866(char32_t u, unsigned char fallback) { return Reverse(k866, u, fallback); }

unsigned char AnsiUpper(unsigned char c) { return T().upper1251[c]; }
unsigned char AnsiLower(unsigned char c) { return T().lower1251[c]; }
unsigned char OemUpper(unsigned char c) { return T().upper866[c]; }
unsigned char OemLower(unsigned char c) { return T().lower866[c]; }
bool IsAnsiLetter(unsigned char c) { return T().letter1251[c]; }

char32_t DecodeUtf8(std::string_view s, std::size_t& i) {
  auto b0 = static_cast<unsigned char>(s[i++]);
  if (b0 < 0x80) return b0;
  int extra;
  char32_t u;
  if ((b0 & 0xE0) == 0xC0) { extra = 1; u = b0 & 0x1F; }
  else if ((b0 & 0xF0) == 0xE0) { extra = 2; u = b0 & 0x0F; }
  else if ((b0 & 0xF8) == 0xF0) { extra = 3; u = b0 & 0x07; }
  else return 0xFFFD;
  for (int k = 0; k < extra; ++k) {
    if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return 0xFFFD;
    u = (u << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
  }
  return u;
}

void AppendUtf8(std::string& out, char32_t u) {
  if (u < 0x80) {
    out += static_cast<char>(u);
  } else if (u < 0x800) {
    out += static_cast<char>(0xC0 | (u >> 6));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else if (u < 0x10000) {
    out += static_cast<char>(0xE0 | (u >> 12));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (u >> 18));
    out += static_cast<char>(0x80 | ((u >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((u >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (u & 0x3F));
  }
}

namespace {
template <typename Enc>
AnsiString FromUtf8(std::string_view utf8, Enc enc) {
  AnsiString r;
  r.reserve(utf8.size());
  for (std::size_t i = 0; i < utf8.size();) r += static_cast<char>(enc(DecodeUtf8(utf8, i)));
  return r;
}
template <typename Dec>
std::string ToUtf8(std::string_view s, Dec dec) {
  std::string r;
  r.reserve(s.size() * 2);
  for (char c : s) AppendUtf8(r, dec(static_cast<unsigned char>(c)));
  return r;
}
}  // namespace

AnsiString Utf8To1251(std::string_view utf8) {
  return FromUtf8(utf8, [](char32_t u) { return UnicodeTo1251(u); });
}
std::string Ansi1251ToUtf8(std::string_view ansi) { return ToUtf8(ansi, Ansi1251ToUnicode); }
AnsiString Utf8To866(std::string_view utf8) {
  return FromUtf8(utf8, [](char32_t u) { return UnicodeTo866(u); });
}
std::string Oem866ToUtf8(std::string_view oem) { return ToUtf8(oem, Oem866ToUnicode); }

namespace {
// Both code pages keep the bytes below 0x80: runs of eight of them are skipped whole,
// the rest go through the table.
void TranslateBuf(const unsigned char* table, char* buf, std::size_t len) {
  std::size_t i = 0;
  for (std::uint64_t w; i + 8 <= len; i += 8) {
    std::memcpy(&w, buf + i, 8);
    if ((w & 0x8080808080808080ULL) == 0) continue;
    for (std::size_t k = i; k < i + 8; ++k) buf[k] = static_cast<char>(table[static_cast<unsigned char>(buf[k])]);
  }
  for (; i < len; ++i) buf[i] = static_cast<char>(table[static_cast<unsigned char>(buf[i])]);
}
}  // namespace

void AnsiToOemBuf(char* buf, std::size_t len) { TranslateBuf(T().ansiToOem.data(), buf, len); }
void OemToAnsiBuf(char* buf, std::size_t len) { TranslateBuf(T().oemToAnsi.data(), buf, len); }
AnsiString AnsiToOem(std::string_view ansi) {
  AnsiString r(ansi);
  AnsiToOemBuf(r.data(), r.size());
  return r;
}
AnsiString OemToAnsi(std::string_view oem) {
  AnsiString r(oem);
  OemToAnsiBuf(r.data(), r.size());
  return r;
}

}  // namespace cp

AnsiString Ansi(std::string_view utf8) { return cp::Utf8To1251(utf8); }

AnsiString AnsiUpperCase(std::string_view s) {
  AnsiString r(s);
  for (auto& c : r) c = static_cast<char>(cp::AnsiUpper(static_cast<unsigned char>(c)));
  return r;
}
AnsiString AnsiLowerCase(std::string_view s) {
  AnsiString r(s);
  for (auto& c : r) c = static_cast<char>(cp::AnsiLower(static_cast<unsigned char>(c)));
  return r;
}
int AnsiCompareText(std::string_view a, std::string_view b) {
  std::size_t n = a.size() < b.size() ? a.size() : b.size();
  for (std::size_t i = 0; i < n; ++i) {
    int x = cp::AnsiUpper(static_cast<unsigned char>(a[i]));
    int y = cp::AnsiUpper(static_cast<unsigned char>(b[i]));
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() == b.size() ? 0 : (a.size() < b.size() ? -1 : 1);
}
bool AnsiSameText(std::string_view a, std::string_view b) {
  return a.size() == b.size() && AnsiCompareText(a, b) == 0;
}
