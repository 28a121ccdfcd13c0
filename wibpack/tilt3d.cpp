// Rotation matrices from detector tilt angles and back.  The plain matrix
// operations are those of rot3d.
#include "wibpack/tilt3d.h"

#include <cmath>
#include <cstdio>

#include "wibpack/rot3d.h"
#include "wibpack/rot3d_internal.h"

namespace {

constexpr double kPi = rot3d_pi;

double Normalised(double x) { return rot3d_wrap_angle(x, tilt3d_eps); }

}  // namespace

const char* tilt3d_version() { return "tilt3d : Orrin V1.11 2011-06-16"; }

int tilt3d_matrix(const double TILT[3], double R[3][3]) {
  if (!TILT || !R) return rot3d_null_pointer("tilt3d_matrix");
  const double a = TILT[0] + kPi / 2.0;  // direction of the tilt axis
  const double b = TILT[1];              // tilt angle
  const double c = a + TILT[2];
  const double ca = std::cos(a), sa = std::sin(a);
  const double cb = std::cos(b), sb = std::sin(b);
  const double cc = std::cos(c), sc = std::sin(c);
  R[0][0] = ca * cc + sa * cb * sc;
  R[0][1] = -sa * cb * cc + ca * sc;
  R[0][2] = -sb * sa;
  R[1][0] = sa * cc - ca * cb * sc;
  R[1][1] = ca * cb * cc + sa * sc;
  R[1][2] = ca * sb;
  R[2][0] = sb * sc;
  R[2][1] = -sb * cc;
  R[2][2] = cb;
  return 0;
}

int tilt3d_inverse_matrix(const double TILT[3], double R[3][3]) {
  if (tilt3d_matrix(TILT, R)) return -1;
  return tilt3d_mat_transpose(R);
}

double tilt3d_determinante(const double A[3][3]) {
  if (!A) {
    rot3d_null_pointer("tilt3d_determinante");
    return 0.0;
  }
  return rot3d_determinante(A);
}

int tilt3d_isnottilt(const double R[3][3]) {
  if (!R) {
    std::fprintf(stderr, "ERROR:  tilt3d_isnottilt: NULL pointer\n");
    return -1;
  }
  return rot3d_not_rotation(R, tilt3d_eps);
}

int tilt3d_mat_scale(double A[3][3], double scale) {
  if (!A) return rot3d_null_pointer("tilt3d_mat_scale");
  return rot3d_mat_scale(A, scale);
}

int tilt3d_mat_transpose(double A[3][3]) {
  if (!A) return rot3d_null_pointer("tilt3d_mat_transpose");
  return rot3d_mat_transpose(A);
}

int tilt3d_angles(double TILT[3], double R[3][3]) {
  const double eps = tilt3d_eps;
  if (!TILT || !R) return rot3d_null_pointer("tilt3d_angles");
  TILT[0] = -kPi / 2.0;
  TILT[1] = TILT[2] = 0.0;

  if (rot3d_normalise(R, eps, "tilt3d_angles")) return -1;

  // No tilt or a tilt by pi (|sin t2| = |(R[0][2], R[1][2])| within eps):
  // the axis is arbitrary, and at pi only 2 t1 + tilt3 is defined.
  // 1 - |R[2][2]|, about sin^2 t2 / 2, would on its own already take tilts
  // up to 1.4e-4 off the pole for the pole, where the general tilt3 does
  // not fit the pole's axis; so the pole needs both tests, and tilt3
  // follows the choice made for the axis.
  const bool pole = !(1.0 - std::fabs(R[2][2]) > eps) &&
                    !(std::hypot(R[0][2], R[1][2]) > eps);
  double t1;  // direction of the tilt axis, before the quarter turn
  if (!pole) {
    t1 = std::atan2(-R[0][2], R[1][2]);
  } else if (R[2][2] > 0.0) {
    t1 = 0.0;
  } else {
    const double phi = std::atan2(R[1][0], R[0][0]);
    t1 = R[1][0] >= 0.0 ? phi / 2.0 : (phi + 2.0 * kPi) / 2.0;
  }
  t1 = Normalised(t1);

  // Tilt angle, made non-negative by turning the axis by pi.  One turn
  // flips the sign of t2; the bound on the turns is a mere safeguard.  At
  // the pole a division by s1 or c1 of the arbitrary axis could blow the
  // tiny rest of sin t2 up; its size is known without it.
  double t2 = 0.0;
  if (pole) t2 = std::atan2(std::hypot(R[0][2], R[1][2]), R[2][2]);
  for (int turn = 0; turn < 3 && !pole; ++turn) {
    const double c1 = std::cos(t1), s1 = std::sin(t1);
    if (std::fabs(s1) > eps)
      t2 = std::atan2(-R[0][2] / s1, R[2][2]);
    else
      t2 = std::atan2(R[1][2] / c1, R[2][2]);
    t2 = Normalised(t2);
    if (-eps < t2 && t2 < 0.0) t2 = 0.0;
    if (t2 > -eps) break;
    t1 += kPi;
    if (t1 > kPi) t1 -= 2.0 * kPi;
  }

  // Rotation about the detector normal.
  double t3;
  const double s2 = std::sin(t2);
  if (!pole && std::fabs(s2) > eps)
    t3 = std::atan2(R[2][0] / s2, -R[2][1] / s2) - t1;
  else if (R[2][2] > 0.0)
    t3 = std::atan2(R[0][1], R[1][1]);
  else
    t3 = std::atan2(R[1][0], R[0][0]) - 2.0 * t1;
  t3 = Normalised(t3);

  TILT[0] = Normalised(t1 - kPi / 2.0);
  TILT[1] = t2;
  TILT[2] = t3;
  return 0;
}
