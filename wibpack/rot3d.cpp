// Rotation matrices from detector rotation angles and back.
#include "wibpack/rot3d.h"

#include <cmath>
#include <cstdio>

#include "wibpack/rot3d_internal.h"

double rot3d_wrap_angle(double x, double eps) {
  if (std::fabs(x + rot3d_pi) < eps) x = -rot3d_pi;
  if (x > rot3d_pi) x -= 2.0 * rot3d_pi;
  if (x <= -rot3d_pi) x += 2.0 * rot3d_pi;
  return x;
}

int rot3d_null_pointer(const char* routine) {
  std::fprintf(stderr, "ERROR: %s: NULL pointer\n", routine);
  return -1;
}

int rot3d_not_rotation(const double R[3][3], double eps) {
  // Negated comparisons, so that a NaN anywhere marks no rotation.
  if (!(std::fabs(rot3d_determinante(R) - 1.0) <= eps)) return 1;
  for (int i = 0; i < 3; ++i) {
    const double len2 = R[i][0] * R[i][0] + R[i][1] * R[i][1] + R[i][2] * R[i][2];
    if (!(std::fabs(len2 - 1.0) <= eps)) return 1;
  }
  return 0;
}

int rot3d_normalise(double R[3][3], double eps, const char* routine) {
  const double d = rot3d_determinante(R);
  if (!(d >= eps)) {  // also a NaN
    std::fprintf(stderr, "ERROR: %s: Det(R) = %lg is not positive\n", routine, d);
    return -1;
  }
  rot3d_mat_scale(R, 1.0 / std::cbrt(d));
  if (rot3d_not_rotation(R, eps)) {
    std::fprintf(stderr, "ERROR: %s: R is not a rotation matrix\n", routine);
    return -1;
  }
  return 0;
}

const char* rot3d_version() { return "rot3d : V1.02 Orrin 2012-06-04"; }

int rot3d_matrix(const double ROT[3], double R[3][3]) {
  if (!ROT || !R) return rot3d_null_pointer("rot3d_matrix");
  const double c1 = std::cos(ROT[0]), s1 = std::sin(ROT[0]);
  const double c2 = std::cos(ROT[1]), s2 = std::sin(ROT[1]);
  const double c3 = std::cos(ROT[2]), s3 = std::sin(ROT[2]);
  R[0][0] = c2 * c3;
  R[0][1] = c2 * s3;
  R[0][2] = -s2;
  R[1][0] = s1 * s2 * c3 - c1 * s3;
  R[1][1] = c1 * c3 + s1 * s2 * s3;
  R[1][2] = s1 * c2;
  R[2][0] = c1 * s2 * c3 + s1 * s3;
  R[2][1] = c1 * s2 * s3 - s1 * c3;
  R[2][2] = c1 * c2;
  return 0;
}

int rot3d_inverse_matrix(const double ROT[3], double R[3][3]) {
  if (rot3d_matrix(ROT, R)) return -1;
  return rot3d_mat_transpose(R);
}

double rot3d_determinante(const double A[3][3]) {
  if (!A) {
    rot3d_null_pointer("rot3d_determinante");
    return 0.0;
  }
  return A[0][0] * (A[1][1] * A[2][2] - A[1][2] * A[2][1]) -
         A[0][1] * (A[1][0] * A[2][2] - A[1][2] * A[2][0]) +
         A[0][2] * (A[1][0] * A[2][1] - A[1][1] * A[2][0]);
}

int rot3d_isnotrot(const double R[3][3]) {
  if (!R) {
    std::fprintf(stderr, "ERROR:  rot3d_isnotrot: NULL pointer\n");
    return -1;
  }
  return rot3d_not_rotation(R, rot3d_eps);
}

int rot3d_mat_scale(double A[3][3], double scale) {
  if (!A) return rot3d_null_pointer("rot3d_mat_scale");
  if (scale == 1.0) return 0;
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) A[i][j] *= scale;
  return 0;
}

int rot3d_mat_transpose(double A[3][3]) {
  if (!A) return rot3d_null_pointer("rot3d_mat_transpose");
  for (int i = 0; i < 3; ++i)
    for (int j = i + 1; j < 3; ++j) {
      const double t = A[i][j];
      A[i][j] = A[j][i];
      A[j][i] = t;
    }
  return 0;
}

int rot3d_angles(double ROT[3], double R[3][3]) {
  const double eps = rot3d_eps;
  if (!ROT || !R) return rot3d_null_pointer("rot3d_angles");
  ROT[0] = ROT[1] = ROT[2] = 0.0;
  if (rot3d_normalise(R, eps, "rot3d_angles")) return -1;

  // rot2 at +-pi/2 (|cos rot2| = |(R[1][2], R[2][2])| within eps): only
  // rot1 -+ rot3 is defined and rot3 becomes 0.  1 - |R[0][2]|, about
  // cos^2 rot2 / 2, would on its own already take angles up to 1.4e-5 off
  // the pole for the pole, where the general rot3 does not fit the pole's
  // rot1; so the pole needs both tests, and rot3 follows the choice made
  // for rot1.
  const bool pole = !(1.0 - std::fabs(R[0][2]) > eps) &&
                    !(std::hypot(R[1][2], R[2][2]) > eps);
  double rot1;
  if (!pole)
    rot1 = std::atan2(R[1][2], R[2][2]);
  else if (R[0][2] >= 0.0)  // rot2 = -pi/2
    rot1 = std::atan2(-R[1][0], -R[2][0]);
  else  // rot2 = pi/2
    rot1 = std::atan2(R[1][0], R[2][0]);
  const double c1 = std::cos(rot1), s1 = std::sin(rot1);

  // At the pole a division by s1 or c1 of the arbitrary rot1 could blow the
  // tiny rest of cos rot2 up; its size is known without it.
  double rot2;
  if (pole)
    rot2 = std::atan2(-R[0][2], std::hypot(R[1][2], R[2][2]));
  else if (std::fabs(s1) > eps)
    rot2 = std::atan2(-R[0][2], R[1][2] / s1);
  else
    rot2 = std::atan2(-R[0][2], R[2][2] / c1);
  const double c2 = std::cos(rot2);

  double rot3;
  if (!pole && std::fabs(c2) > eps)
    rot3 = std::atan2(R[0][1] / c2, R[0][0] / c2);
  else
    rot3 = std::atan2(-(s1 * R[1][1] + c1 * R[2][1]) / R[0][2],
                      -(s1 * R[1][0] + c1 * R[2][0]) / R[0][2]);

  ROT[0] = rot3d_wrap_angle(rot1, eps);
  ROT[1] = rot3d_wrap_angle(rot2, eps);
  ROT[2] = rot3d_wrap_angle(rot3, eps);
  return 0;
}
