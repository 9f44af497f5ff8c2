// FloatToStr takes the shortest digits that read back as the value where they decide
// the 15-digit rounding, and the value's exact expansion where they may not (ties): its
// text is that of the general format with 15 digits (FloatToStrF) for every value.
#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <random>
#include <vector>

#include "platform/core/SysUtils.h"

namespace {

std::vector<double> Values() {
  std::vector<double> v = {0.0,  -0.0,    1.0,     0.1,     0.5,         1.5,          2.675,   1e15,
                           1e16, 1e17,    1e21,    1e22,    1e23,        5e-324,       DBL_MAX, DBL_MIN,
                           -1.0 / 3, 2.0 / 3, 0.1 + 0.2, 1e-5, 0.0001, 123456789012345.0, 999999999999999.5,
                           9999999999999998.0, 0.30000000000000004, 100.0 / 7, 3e-323, 1e-310,
                           2.2250738585072009e-308};
  std::mt19937_64 random(20261210);
  // Any bit pattern of a finite double.
  for (int i = 0; i < 200000; ++i) {
    std::uint64_t bits = random();
    double d;
    std::memcpy(&d, &bits, sizeof d);
    if (std::isfinite(d)) v.push_back(d);
  }
  // Values as tables hold them: decimals of a few places, and their sums and quotients.
  for (int i = 0; i < 100000; ++i) {
    const double a = static_cast<double>(random() % 100000000) / std::pow(10.0, static_cast<double>(random() % 7));
    const double b = static_cast<double>(random() % 10000 + 1) / 100.0;
    v.insert(v.end(), {a, -a, a + b, a * b, a / b});
  }
  // Near ties at the 15th digit: the 17 correctly rounded digits end in "50", "49", "51".
  char text[64];
  for (int i = 0; i < 20000; ++i) {
    const unsigned long long mantissa = random() % 100000000000000ULL;
    for (const char* tail : {"50", "49", "51", "5", "500000001", "499999999"}) {
      std::snprintf(text, sizeof text, "%llu%se%d", mantissa, tail, static_cast<int>(random() % 40) - 20);
      v.push_back(std::strtod(text, nullptr));
    }
  }
  return v;
}

TEST(FloatToStr, SameTextAsTheExactGeneralFormat) {
  int mismatches = 0;
  for (const double d : Values()) {
    const AnsiString fast = FloatToStr(d), exact = FloatToStrF(d, TFloatFormat::ffGeneral, 15, 0);
    if (fast != exact && ++mismatches <= 20) ADD_FAILURE() << std::hexfloat << d << ": " << fast << " vs " << exact;
  }
  EXPECT_EQ(mismatches, 0);
}

}  // namespace
