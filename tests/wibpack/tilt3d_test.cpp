#include "wibpack/tilt3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "testutil.h"
#include "wibpack/rot3d.h"

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectMatrixNear(const double A[3][3], const double B[3][3], double tol) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(A[i][j], B[i][j], tol) << i << "," << j;
}

void Copy(const double A[3][3], double B[3][3]) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) B[i][j] = A[i][j];
}

TEST(Tilt3d, Version) { EXPECT_STREQ(tilt3d_version(), "tilt3d : Orrin V1.11 2011-06-16"); }

TEST(Tilt3d, Identity) {
  const double none[3] = {-kPi / 2, 0, 0};
  double R[3][3], tilt[3];
  ASSERT_EQ(tilt3d_matrix(none, R), 0);
  const double I[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  ExpectMatrixNear(R, I, 0);
  ASSERT_EQ(tilt3d_angles(tilt, R), 0);
  EXPECT_EQ(tilt[0], -kPi / 2);
  EXPECT_EQ(tilt[1], 0.0);
  EXPECT_EQ(tilt[2], 0.0);
}

TEST(Tilt3d, AnglesOfMatrices) {
  struct Case {
    const char* what;
    double in[3], out[3];
  } cases[] = {
      {"general", {0.4, 0.3, -0.7}, {0.4, 0.3, -0.7}},
      {"axis and turn at the ends", {kPi, 1.0, -3.0}, {kPi, 1.0, -3.0}},
      {"negative tilt turns the axis", {0.4, -0.3, -0.7}, {0.4 - kPi, 0.3, -0.7}},
      {"no tilt: only the turn", {1.2, 0, 0.5}, {-kPi / 2, 0, 0.5}},
      {"tilt by pi", {0.2, kPi, 0.0}, {0.2, kPi, 0.0}},
      {"tilt by pi, turned", {0.2, kPi, 0.5}, {0.45, kPi, 0.0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    double R[3][3], copy[3][3], tilt[3], back[3][3];
    ASSERT_EQ(tilt3d_matrix(c.in, R), 0);
    EXPECT_EQ(tilt3d_isnottilt(R), 0);
    Copy(R, copy);
    ASSERT_EQ(tilt3d_angles(tilt, copy), 0);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(tilt[k], c.out[k], 1e-9) << k;
    tilt3d_matrix(tilt, back);
    ExpectMatrixNear(back, R, 1e-13);
  }
}

TEST(Tilt3d, TiltMovesTheNormal) {
  // tilt1 = 0: the normal turns in the plane of axes 1 and 3; tilt1 =
  // -pi/2: in the plane of axes 2 and 3.
  const double t[3] = {0, 0.25, 0}, u[3] = {-kPi / 2, 0.25, 0};
  double R[3][3], inv[3][3];
  tilt3d_matrix(u, R);
  EXPECT_NEAR(R[2][2], std::cos(0.25), 1e-15);
  EXPECT_NEAR(R[0][2], 0.0, 1e-15);
  EXPECT_NEAR(R[1][2], std::sin(0.25), 1e-15);
  tilt3d_matrix(t, R);
  EXPECT_NEAR(R[2][2], std::cos(0.25), 1e-15);
  EXPECT_NEAR(R[0][2], -std::sin(0.25), 1e-15);
  EXPECT_NEAR(R[1][2], 0.0, 1e-15);
  tilt3d_inverse_matrix(t, inv);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(inv[i][j], R[j][i]);
}

TEST(Tilt3d, ScaledMatrixIsNormalised) {
  const double in[3] = {0.4, 0.3, -0.7};
  double R[3][3], scaled[3][3], tilt[3];
  tilt3d_matrix(in, R);
  Copy(R, scaled);
  EXPECT_EQ(tilt3d_mat_scale(scaled, 2.0), 0);
  EXPECT_NEAR(tilt3d_determinante(scaled), 8.0, 1e-12);
  EXPECT_EQ(tilt3d_isnottilt(scaled), 1);
  ASSERT_EQ(tilt3d_angles(tilt, scaled), 0);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(tilt[k], in[k], 1e-12);
  ExpectMatrixNear(scaled, R, 1e-15);
}

TEST(Tilt3d, NotARotation) {
  struct Case {
    double R[3][3];
    const char* message;
  } cases[] = {
      {{{1, 0, 0}, {0, -1, 0}, {0, 0, 1}}, "ERROR: tilt3d_angles: Det(R) = -1 is not positive\n"},
      {{{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}, "ERROR: tilt3d_angles: Det(R) = 0 is not positive\n"},
      {{{1, 0, 0}, {0, 4, 0}, {0, 0, 0.25}}, "ERROR: tilt3d_angles: R is not a rotation matrix\n"},
  };
  for (const auto& c : cases) {
    double R[3][3], tilt[3] = {5, 5, 5};
    Copy(c.R, R);
    testutil::Capture err(stderr);
    EXPECT_EQ(tilt3d_angles(tilt, R), -1);
    EXPECT_EQ(err.Text(), c.message);
    EXPECT_EQ(tilt[0], -kPi / 2);
    EXPECT_EQ(tilt[1], 0.0);
    EXPECT_EQ(tilt[2], 0.0);
  }
  // A matrix within 1e-8 of a rotation is one for tilt3d, not for rot3d.
  const double near[3][3] = {{1 + 1e-9, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  EXPECT_EQ(tilt3d_isnottilt(near), 0);
  EXPECT_EQ(rot3d_isnotrot(near), 1);
}

TEST(Tilt3d, MatrixHelpers) {
  double A[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
  EXPECT_DOUBLE_EQ(tilt3d_determinante(A), -3.0);
  EXPECT_EQ(tilt3d_mat_transpose(A), 0);
  EXPECT_EQ(A[0][2], 7.0);
  EXPECT_EQ(A[2][0], 3.0);
  EXPECT_EQ(tilt3d_mat_scale(A, 3.0), 0);
  EXPECT_EQ(A[1][1], 15.0);
}

TEST(Tilt3d, NullPointers) {
  double R[3][3] = {}, tilt[3] = {};
  struct Case {
    std::function<double()> call;
    double result;
    const char* message;
  } cases[] = {
      {[&] { return tilt3d_matrix(nullptr, R); }, -1, "ERROR: tilt3d_matrix: NULL pointer\n"},
      {[&] { return tilt3d_inverse_matrix(tilt, nullptr); }, -1,
       "ERROR: tilt3d_matrix: NULL pointer\n"},
      {[&] { return tilt3d_angles(tilt, nullptr); }, -1, "ERROR: tilt3d_angles: NULL pointer\n"},
      {[&] { return tilt3d_determinante(nullptr); }, 0,
       "ERROR: tilt3d_determinante: NULL pointer\n"},
      {[&] { return tilt3d_isnottilt(nullptr); }, -1,
       "ERROR:  tilt3d_isnottilt: NULL pointer\n"},
      {[&] { return tilt3d_mat_scale(nullptr, 2); }, -1,
       "ERROR: tilt3d_mat_scale: NULL pointer\n"},
      {[&] { return tilt3d_mat_transpose(nullptr); }, -1,
       "ERROR: tilt3d_mat_transpose: NULL pointer\n"},
  };
  for (const auto& c : cases) {
    testutil::Capture err(stderr);
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(err.Text(), c.message);
  }
}

// Matrices of random rotation angles and of random tilt angles, also on
// and near the poles (no tilt, tilt by pi): the tilt angles found give the
// matrix back, to rounding away from the poles and to within twice the
// distance from the pole (at most 2 tilt3d_eps) where that is taken as one.
// Between the poles the angles themselves come back.
TEST(Tilt3d, AnglesReproduceRandomMatrices) {
  std::mt19937 rng(5);
  std::uniform_real_distribution<double> angle(-kPi, kPi), tilt2(0.0, kPi),
      exponent(-16, -2);
  for (int round = 0; round < 3000; ++round) {
    double R[3][3], in[3] = {angle(rng), tilt2(rng), angle(rng)};
    const bool general = round % 3 == 1;
    if (round % 3 == 0) {
      rot3d_matrix(in, R);
    } else {
      if (!general) {
        const double off = round % 4 < 2 ? 0.0 : std::pow(10.0, exponent(rng));
        in[1] = round % 2 ? off : kPi - off;
      }
      tilt3d_matrix(in, R);
    }
    double copy[3][3], tilt[3], back[3][3];
    Copy(R, copy);
    SCOPED_TRACE(round);
    ASSERT_EQ(tilt3d_angles(tilt, copy), 0);
    EXPECT_GT(tilt[0], -kPi);
    EXPECT_LE(tilt[0], kPi);
    EXPECT_GE(tilt[1], 0.0);
    EXPECT_LE(tilt[1], kPi);
    EXPECT_GT(tilt[2], -kPi);
    EXPECT_LE(tilt[2], kPi);
    tilt3d_matrix(tilt, back);
    const bool pole = std::hypot(R[0][2], R[1][2]) <= tilt3d_eps;
    ExpectMatrixNear(back, R, pole ? 2.1 * tilt3d_eps : 1e-13);
    if (general && in[1] > 1e-6 && in[1] < kPi - 1e-6) {
      for (int k = 0; k < 3; ++k)
        EXPECT_NEAR(std::remainder(tilt[k] - in[k], 2 * kPi), 0.0, 1e-9) << k;
    }
  }
}

}  // namespace
