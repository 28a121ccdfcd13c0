#include "wibpack/gamma.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>

namespace {

TEST(Gamma, Values) {
  EXPECT_EQ(wibpack::gamma(5.0), 24.0);  // three exact recursion steps
  EXPECT_EQ(wibpack::gamma(2.0), 1.0);
  EXPECT_NEAR(wibpack::gamma(0.5), 1.7724538186708, 1e-12);  // the polynomial's value
  EXPECT_NEAR(wibpack::gamma(0.5) / std::sqrt(M_PI), 1.0, 2e-8);
  EXPECT_NEAR(wibpack::gamma(-0.5) / (-2 * std::sqrt(M_PI)), 1.0, 2e-8);
  EXPECT_NEAR(wibpack::gamma(25.0) / std::tgamma(25.0), 1.0, 1e-12);  // Stirling's series
  EXPECT_NEAR(wibpack::gamma(10.3) / std::tgamma(10.3), 1.0, 5e-8);
  EXPECT_TRUE(std::isinf(wibpack::gamma(200.0)));
}

TEST(Gamma, PolesAndUnusualArguments) {
  EXPECT_EQ(wibpack::gamma(0.0), DBL_MAX);
  EXPECT_EQ(wibpack::gamma(-1.0), DBL_MAX);
  EXPECT_EQ(wibpack::gamma(1e-40), DBL_MAX);
  EXPECT_EQ(wibpack::gamma(-100000.0), DBL_MAX);
  // Far below zero: zero or a pole, found without counting up to 2.
  EXPECT_EQ(wibpack::gamma(-1e15 - 0.5), 0.0);
  EXPECT_EQ(wibpack::gamma(-1e300), DBL_MAX);
  EXPECT_EQ(wibpack::gamma(-HUGE_VAL), DBL_MAX);
  EXPECT_EQ(wibpack::gamma(HUGE_VAL), HUGE_VAL);
  EXPECT_TRUE(std::isnan(wibpack::gamma(NAN)));
}

TEST(Gamma, LeavesTheLibraryFunctionAlone) {
  // <math.h>'s gamma (the logarithm of |Γ|) is still the C library's.
  EXPECT_NEAR(::gamma(5.0), std::log(24.0), 1e-12);
}

}  // namespace
