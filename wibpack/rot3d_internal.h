// rot3d_internal: helpers that rot3d shares with tilt3d, which works on the
// same kind of matrices with a tolerance of its own.
#ifndef WIBPACK_ROT3D_INTERNAL_H
#define WIBPACK_ROT3D_INTERNAL_H

constexpr double rot3d_pi = 3.141592653589793;

// Brings an angle into (-pi, pi]; angles within eps of -pi become pi.
double rot3d_wrap_angle(double x, double eps);

// Prints "ERROR: <routine>: NULL pointer" to standard error; returns -1.
int rot3d_null_pointer(const char* routine);

// 1 if |det R - 1| > eps or the squared length of a row differs from 1 by
// more than eps (or anything is a NaN), else 0.  R must be present.
int rot3d_not_rotation(const double R[3][3], double eps);

// Normalises R in place to determinant 1.  Fails with the messages of
// "<routine>: Det(R) = ... is not positive" (det R below eps or a NaN) and
// "<routine>: R is not a rotation matrix".
int rot3d_normalise(double R[3][3], double eps, const char* routine);

#endif  // WIBPACK_ROT3D_INTERNAL_H
