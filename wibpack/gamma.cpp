// The gamma function: recursion Γ(x) = Γ(x + 1)/x below 2 and
// Γ(x) = (x - 1)·Γ(x - 1) from 3 to 20, a polynomial fit for 2 <= x < 3 and
// Stirling's series from 20 on.
#include "wibpack/gamma.h"

#include <cfloat>
#include <cmath>

namespace {

// ln Γ(x + 1) by Stirling's series.
double stirling(double x) {
  double h = 1.0 / x;
  double h3 = h * h * h;
  double h5 = h3 * h * h;
  double h7 = h5 * h * h;
  return (x + 0.5) * std::log(x) - x + 0.5 * std::log(6.283185307179586) + h / 12.0 -
         h3 / 360.0 + h5 / 1260.0 - h7 / 1680.0;
}

// Γ(2 + f) for 0 <= f < 1.
double polynomial(double f) {
  return ((((((0.0016063118 * f + 0.0051589951) * f + 0.00445114) * f + 0.0721101567) * f +
            0.0821117404) * f + 0.4117741955) * f + 0.4227874605) * f + 0.9999999758;
}

}  // namespace

namespace wibpack {

double gamma(double X) {
  if (std::isnan(X)) return X;
  if (X == HUGE_VAL) return HUGE_VAL;
  double H = 1.0;
  while (std::fabs(X - 2.0) >= 1e-6) {
    if (std::fabs(X) < 1e-30) return DBL_MAX;  // a pole
    if (X < 2.0) {
      H = H / X;
      X = X + 1.0;
      // Far below zero the factor underflows long before X comes near 2 (and
      // below -2^53 X + 1 no longer moves): the result is zero then, or a
      // pole when X is a whole number.
      if (H == 0.0) return X == std::floor(X) ? DBL_MAX : H;
      continue;
    }
    if (X >= 20.0) return std::exp(stirling(X - 1.0));  // only reached with H = 1
    if (X >= 3.0) {
      X = X - 1.0;
      H = H * X;
      continue;
    }
    return H * polynomial(X - 2.0);
  }
  return H;
}

}  // namespace wibpack
