// Views of the texts stored in a record's fields, read in place: these run for every
// field of a scan, so blanks and zero bytes are looked for a word at a time.
#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>

namespace dbtext {

inline bool IsBlankByte(char c) { return static_cast<unsigned char>(c) <= ' '; }

inline std::string_view TrimRightView(std::string_view s) {
  while (!s.empty() && IsBlankByte(s.back())) s.remove_suffix(1);
  return s;
}

inline constexpr std::uint64_t kEightBlanks = 0x2020202020202020ULL;

// The stored text of a field without its trailing blanks: up to the first zero byte,
// bytes of code ' ' and below dropped at the end.
[[gnu::always_inline]] inline std::string_view TrimmedText(const char* p, std::size_t n) {
  constexpr std::uint64_t kLowBits = 0x0101010101010101ULL;
  constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;
  std::uint64_t w;
  while (n >= 8) {
    std::memcpy(&w, p + n - 8, 8);
    if (w != kEightBlanks) break;
    n -= 8;
  }
  while (n > 0 && IsBlankByte(p[n - 1])) --n;
  auto hasZero = [](std::uint64_t v) { return ((v - kLowBits) & ~v & kHighBits) != 0; };
  bool zero = false;
  if (n >= 8) {
    // Whole words, the last one overlapping the one before.
    for (std::size_t i = 0; i + 8 <= n && !zero; i += 8) {
      std::memcpy(&w, p + i, 8);
      zero = hasZero(w);
    }
    std::memcpy(&w, p + n - 8, 8);
    zero = zero || hasZero(w);
  } else {
    for (std::size_t i = 0; i < n && !zero; ++i) zero = p[i] == 0;
  }
  if (!zero) return {p, n};
  const std::size_t end = static_cast<std::size_t>(static_cast<const char*>(std::memchr(p, 0, n)) - p);
  return TrimRightView({p, end});
}

// The text without its leading blanks (bytes of code ' ' and below).
[[gnu::always_inline]] inline std::string_view TrimLeftView(std::string_view s) {
  // Right-aligned numbers start with runs of blanks: these are counted a word at a time.
  if constexpr (std::endian::native == std::endian::little) {
    while (s.size() >= 8) {
      std::uint64_t w;
      std::memcpy(&w, s.data(), 8);
      const std::uint64_t other = w ^ kEightBlanks;
      if (other != 0) {
        s.remove_prefix(static_cast<std::size_t>(std::countr_zero(other) / 8));
        break;
      }
      s.remove_prefix(8);
    }
  }
  while (!s.empty() && IsBlankByte(s.front())) s.remove_prefix(1);
  return s;
}

}  // namespace dbtext
