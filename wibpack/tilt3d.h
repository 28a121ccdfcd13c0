// tilt3d: the rotation matrix of a detector from its tilt angles and back.
//
// TILT = (tilt1, tilt2, tilt3) in radians: tilt2 (in [0, pi]) is the tilt
// angle, tilt1 the direction of the tilt axis and tilt3 the rotation about
// the detector normal.  Matrices as in rot3d.  Functions return 0 on success
// and -1 on failure (after a message on standard error for an absent
// argument).
#ifndef WIBPACK_TILT3D_H
#define WIBPACK_TILT3D_H

// Tolerance of determinant, row lengths and angle normalisation.
constexpr double tilt3d_eps = 1e-8;

// "tilt3d : Orrin V1.11 2011-06-16"
const char* tilt3d_version();

// R from the tilt angles TILT.  (-pi/2, 0, 0) gives the identity.
int tilt3d_matrix(const double TILT[3], double R[3][3]);
// The inverse (transposed) matrix of the tilt angles TILT.
int tilt3d_inverse_matrix(const double TILT[3], double R[3][3]);
// The tilt angles of R: tilt1 and tilt3 in (-pi, pi], tilt2 in [0, pi].  R
// is first normalised in place to determinant 1; fails when det R <
// tilt3d_eps or R is no rotation, leaving TILT at (-pi/2, 0, 0).
int tilt3d_angles(double TILT[3], double R[3][3]);

// The determinant of A (0 for an absent matrix).
double tilt3d_determinante(const double A[3][3]);
// 1 if |det R - 1| > tilt3d_eps or the squared length of a row differs from
// 1 by more than tilt3d_eps, 0 for a rotation, -1 for an absent matrix.
int tilt3d_isnottilt(const double R[3][3]);
// Multiplies every element of A by scale (nothing for a scale of exactly 1).
int tilt3d_mat_scale(double A[3][3], double scale);
// Transposes A in place.
int tilt3d_mat_transpose(double A[3][3]);

#endif  // WIBPACK_TILT3D_H
