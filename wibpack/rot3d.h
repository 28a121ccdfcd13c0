// rot3d: the rotation matrix of a detector from its three rotation angles
// and back.
//
// Matrices are double[3][3], R[i][j] row i, column j.  ROT = (rot1, rot2,
// rot3) in radians: R is the transpose of Rz(rot3) Ry(rot2) Rx(rot1) with the
// usual right-handed rotations about the third, second and first axis.
// Functions return 0 on success and -1 on failure (after a message on
// standard error for an absent argument).
#ifndef WIBPACK_ROT3D_H
#define WIBPACK_ROT3D_H

// Tolerance of determinant, row lengths and angle normalisation.
constexpr double rot3d_eps = 1e-10;

// "rot3d : V1.02 Orrin 2012-06-04"
const char* rot3d_version();

// R from the angles ROT.
int rot3d_matrix(const double ROT[3], double R[3][3]);
// The inverse (transposed) rotation matrix of the angles ROT.
int rot3d_inverse_matrix(const double ROT[3], double R[3][3]);
// The angles of R, each in (-pi, pi].  R is first normalised in place to
// determinant 1; fails when det R < rot3d_eps or R is no rotation, leaving
// ROT at (0, 0, 0).
int rot3d_angles(double ROT[3], double R[3][3]);

// The determinant of A (0 for an absent matrix).
double rot3d_determinante(const double A[3][3]);
// 1 if |det R - 1| > rot3d_eps or the squared length of a row differs from
// 1 by more than rot3d_eps, 0 for a rotation, -1 for an absent matrix.
int rot3d_isnotrot(const double R[3][3]);
// Multiplies every element of A by scale (nothing for a scale of exactly 1).
int rot3d_mat_scale(double A[3][3], double scale);
// Transposes A in place.
int rot3d_mat_transpose(double A[3][3]);

#endif  // WIBPACK_ROT3D_H
