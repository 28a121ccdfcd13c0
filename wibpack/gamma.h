// gamma: the gamma function Γ(X) by recursion to 2 <= X < 3, a polynomial
// there and Stirling's series for X >= 20.
//
// The C library's <math.h> declares a function of the same name (a legacy
// alias of lgamma).  This one lives in the namespace wibpack, so it neither
// clashes with nor replaces the library's symbol: call wibpack::gamma(X).
#ifndef WIBPACK_GAMMA_H
#define WIBPACK_GAMMA_H

namespace wibpack {

// Γ(X); the largest double at the poles (0, -1, -2, ...), accurate to
// about 2e-8 relative.
double gamma(double X);

}  // namespace wibpack

#endif
