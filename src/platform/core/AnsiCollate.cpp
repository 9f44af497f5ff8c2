#include "platform/core/AnsiCollate.h"

#include <array>
#include <cstdint>

#include "platform/core/AnsiText.h"

namespace {

// Upper-case Cyrillic letters of code page 1251 in alphabetical order. Ё shares Е's
// place and differs from it only on the second level.
constexpr char32_t kCyrillicOrder[] = {
    0x0410,  // А
    0x0411,  // Б
    0x0412,  // В
    0x0413,  // Г
    0x0490,  // Ґ
    0x0414,  // Д
    0x0402,  // Ђ
    0x0403,  // Ѓ
    0x0415,  // Е (and Ё)
    0x0404,  // Є
    0x0416,  // Ж
    0x0417,  // З
    0x0405,  // Ѕ
    0x0418,  // И
    0x0406,  // І
    0x0407,  // Ї
    0x0419,  // Й
    0x0408,  // Ј
    0x041A,  // К
    0x041B,  // Л
    0x0409,  // Љ
    0x041C,  // М
    0x041D,  // Н
    0x040A,  // Њ
    0x041E,  // О
    0x041F,  // П
    0x0420,  // Р
    0x0421,  // С
    0x0422,  // Т
    0x040B,  // Ћ
    0x040C,  // Ќ
    0x0423,  // У
    0x040E,  // Ў
    0x0424,  // Ф
    0x0425,  // Х
    0x0426,  // Ц
    0x0427,  // Ч
    0x040F,  // Џ
    0x0428,  // Ш
    0x0429,  // Щ
    0x042A,  // Ъ
    0x042B,  // Ы
    0x042C,  // Ь
    0x042D,  // Э
    0x042E,  // Ю
    0x042F,  // Я
};

// Weight bands on the first level; 0 marks a character skipped there.
constexpr std::uint16_t kSymbols = 0x100;
constexpr std::uint16_t kDigits = 0x300;
constexpr std::uint16_t kLatin = 0x400;
constexpr std::uint16_t kCyrillic = 0x500;

struct Weights {
  std::array<std::uint16_t, 256> primary{};
  std::array<std::uint8_t, 256> secondary{};
};

const Weights& W() {
  static const Weights w = [] {
    Weights r;
    for (int c = 0; c < 256; ++c) {
      const auto b = static_cast<unsigned char>(c);
      const char32_t u = cp::Ansi1251ToUnicode(cp::AnsiUpper(b));
      std::uint16_t p = static_cast<std::uint16_t>(kSymbols + c);
      if (u == '-' || u == '\'' || u == 0x00AD) {
        p = 0;  // hyphen, apostrophe, soft hyphen
      } else if (u == 0x00A0) {
        p = kSymbols + ' ';  // no-break space
      } else if (u >= '0' && u <= '9') {
        p = static_cast<std::uint16_t>(kDigits + (u - '0'));
      } else if (u >= 'A' && u <= 'Z') {
        p = static_cast<std::uint16_t>(kLatin + (u - 'A'));
      } else {
        const char32_t letter = u == 0x0401 ? 0x0415 : u;  // Ё sorts as Е
        for (std::size_t i = 0; i < std::size(kCyrillicOrder); ++i)
          if (kCyrillicOrder[i] == letter) p = static_cast<std::uint16_t>(kCyrillic + i);
      }
      r.primary[c] = p;
      r.secondary[c] = u == 0x0401 ? 1 : 0;
    }
    return r;
  }();
  return w;
}

// Compares the first or second level over the characters that the first level keeps.
int CompareLevel(std::string_view a, std::string_view b, bool second) {
  const Weights& w = W();
  std::size_t i = 0, j = 0;
  for (;;) {
    while (i < a.size() && w.primary[static_cast<unsigned char>(a[i])] == 0) ++i;
    while (j < b.size() && w.primary[static_cast<unsigned char>(b[j])] == 0) ++j;
    if (i == a.size() || j == b.size()) return (i == a.size() ? 0 : 1) - (j == b.size() ? 0 : 1);
    const auto x = static_cast<unsigned char>(a[i++]);
    const auto y = static_cast<unsigned char>(b[j++]);
    const int dx = second ? w.secondary[x] : w.primary[x];
    const int dy = second ? w.secondary[y] : w.primary[y];
    if (dx != dy) return dx < dy ? -1 : 1;
  }
}

}  // namespace

int AnsiCollateText(std::string_view a, std::string_view b) {
  if (int r = CompareLevel(a, b, false); r != 0) return r;
  if (int r = CompareLevel(a, b, true); r != 0) return r;
  // Same letters: the skipped characters, and finally the bytes, decide (without case).
  return AnsiCompareText(a, b);
}
