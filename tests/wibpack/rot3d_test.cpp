#include "wibpack/rot3d.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>

#include "testutil.h"

namespace {

constexpr double kPi = 3.141592653589793;

void ExpectMatrixNear(const double A[3][3], const double B[3][3], double tol) {
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_NEAR(A[i][j], B[i][j], tol) << i << "," << j;
}

// A uniformly distributed random rotation (from a random unit quaternion).
void RandomRotation(std::mt19937& rng, double R[3][3]) {
  std::normal_distribution<double> n;
  double q[4], len = 0;
  for (double& x : q) {
    x = n(rng);
    len += x * x;
  }
  len = std::sqrt(len);
  const double w = q[0] / len, x = q[1] / len, y = q[2] / len, z = q[3] / len;
  const double M[3][3] = {{1 - 2 * (y * y + z * z), 2 * (x * y - z * w), 2 * (x * z + y * w)},
                          {2 * (x * y + z * w), 1 - 2 * (x * x + z * z), 2 * (y * z - x * w)},
                          {2 * (x * z - y * w), 2 * (y * z + x * w), 1 - 2 * (x * x + y * y)}};
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) R[i][j] = M[i][j];
}

TEST(Rot3d, Version) { EXPECT_STREQ(rot3d_version(), "rot3d : V1.02 Orrin 2012-06-04"); }

TEST(Rot3d, MatrixOfAnglesAndBack) {
  struct Case {
    double in[3], out[3];
  } cases[] = {
      {{0.1, 0.2, 0.3}, {0.1, 0.2, 0.3}},
      {{0, 0, 0}, {0, 0, 0}},
      {{-3.0, 1.2, 2.9}, {-3.0, 1.2, 2.9}},
      {{kPi, 0, 0}, {kPi, 0, 0}},
      {{-kPi, 0, 0}, {kPi, 0, 0}},  // -pi is brought to pi
      // rot2 = +-pi/2: only rot1 -+ rot3 is defined, rot3 becomes 0.
      {{0.3, kPi / 2, 0.5}, {-0.2, kPi / 2, 0}},
      {{0.3, -kPi / 2, 0.5}, {0.8, -kPi / 2, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.in[0] << " " << c.in[1] << " " << c.in[2]);
    double R[3][3], back[3][3], rot[3];
    ASSERT_EQ(rot3d_matrix(c.in, R), 0);
    EXPECT_EQ(rot3d_isnotrot(R), 0);
    ASSERT_EQ(rot3d_angles(rot, R), 0);
    for (int k = 0; k < 3; ++k) EXPECT_NEAR(rot[k], c.out[k], 1e-9) << k;
    ASSERT_EQ(rot3d_matrix(rot, back), 0);
    ExpectMatrixNear(back, R, 1e-12);
  }
}

TEST(Rot3d, MatrixElements) {
  // rot2 alone tilts axis 3 towards axis 1.
  const double rot[3] = {0, 0.1, 0};
  double R[3][3];
  rot3d_matrix(rot, R);
  const double expect[3][3] = {
      {std::cos(0.1), 0, -std::sin(0.1)}, {0, 1, 0}, {std::sin(0.1), 0, std::cos(0.1)}};
  ExpectMatrixNear(R, expect, 0);
  double inv[3][3];
  rot3d_inverse_matrix(rot, inv);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) EXPECT_EQ(inv[i][j], R[j][i]);
}

TEST(Rot3d, ScaledMatrixIsNormalised) {
  const double in[3] = {0.1, 0.2, 0.3};
  double R[3][3], scaled[3][3], rot[3];
  rot3d_matrix(in, R);
  rot3d_matrix(in, scaled);
  EXPECT_EQ(rot3d_mat_scale(scaled, 2.0), 0);
  EXPECT_NEAR(rot3d_determinante(scaled), 8.0, 1e-12);
  EXPECT_EQ(rot3d_isnotrot(scaled), 1);
  ASSERT_EQ(rot3d_angles(rot, scaled), 0);
  for (int k = 0; k < 3; ++k) EXPECT_NEAR(rot[k], in[k], 1e-12);
  ExpectMatrixNear(scaled, R, 1e-15);  // left divided by 2
}

TEST(Rot3d, NotARotation) {
  struct Case {
    const char* what;
    double R[3][3];
    const char* message;
  } cases[] = {
      {"reflection", {{1, 0, 0}, {0, 1, 0}, {0, 0, -1}},
       "ERROR: rot3d_angles: Det(R) = -1 is not positive\n"},
      {"singular", {{1, 0, 0}, {0, 1, 0}, {0, 0, 0}},
       "ERROR: rot3d_angles: Det(R) = 0 is not positive\n"},
      {"tiny", {{1e-4, 0, 0}, {0, 1e-4, 0}, {0, 0, 1e-4}},
       "ERROR: rot3d_angles: Det(R) = 1e-12 is not positive\n"},
      {"no number", {{NAN, 0, 0}, {0, 1, 0}, {0, 0, 1}},
       "ERROR: rot3d_angles: Det(R) = nan is not positive\n"},
      {"stretched", {{2, 0, 0}, {0, 1, 0}, {0, 0, 0.5}},
       "ERROR: rot3d_angles: R is not a rotation matrix\n"},
      {"sheared", {{1, 0.5, 0}, {0, 1, 0}, {0, 0, 1}},
       "ERROR: rot3d_angles: R is not a rotation matrix\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    double R[3][3], rot[3] = {5, 5, 5};
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) R[i][j] = c.R[i][j];
    testutil::Capture err(stderr);
    EXPECT_EQ(rot3d_angles(rot, R), -1);
    EXPECT_EQ(err.Text(), c.message);
    for (double x : rot) EXPECT_EQ(x, 0.0);
  }
}

TEST(Rot3d, MatrixHelpers) {
  double A[3][3] = {{1, 2, 3}, {4, 5, 6}, {7, 8, 10}};
  EXPECT_DOUBLE_EQ(rot3d_determinante(A), -3.0);
  EXPECT_EQ(rot3d_isnotrot(A), 1);
  EXPECT_EQ(rot3d_mat_transpose(A), 0);
  EXPECT_EQ(A[0][1], 4.0);
  EXPECT_EQ(A[1][0], 2.0);
  EXPECT_EQ(A[2][1], 6.0);
  EXPECT_EQ(rot3d_mat_scale(A, -0.5), 0);
  EXPECT_EQ(A[2][2], -5.0);
  const double I[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  EXPECT_EQ(rot3d_isnotrot(I), 0);
  const double nearly[3][3] = {{1 + 1e-11, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  EXPECT_EQ(rot3d_isnotrot(nearly), 0);
  const double off[3][3] = {{1 + 1e-9, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  EXPECT_EQ(rot3d_isnotrot(off), 1);
}

TEST(Rot3d, NullPointers) {
  double R[3][3] = {}, rot[3] = {};
  struct Case {
    std::function<double()> call;
    double result;
    const char* message;
  } cases[] = {
      {[&] { return rot3d_matrix(nullptr, R); }, -1, "ERROR: rot3d_matrix: NULL pointer\n"},
      {[&] { return rot3d_matrix(rot, nullptr); }, -1, "ERROR: rot3d_matrix: NULL pointer\n"},
      {[&] { return rot3d_inverse_matrix(rot, nullptr); }, -1,
       "ERROR: rot3d_matrix: NULL pointer\n"},
      {[&] { return rot3d_angles(nullptr, R); }, -1, "ERROR: rot3d_angles: NULL pointer\n"},
      {[&] { return rot3d_angles(rot, nullptr); }, -1, "ERROR: rot3d_angles: NULL pointer\n"},
      {[&] { return rot3d_determinante(nullptr); }, 0,
       "ERROR: rot3d_determinante: NULL pointer\n"},
      {[&] { return rot3d_isnotrot(nullptr); }, -1, "ERROR:  rot3d_isnotrot: NULL pointer\n"},
      {[&] { return rot3d_mat_scale(nullptr, 2); }, -1,
       "ERROR: rot3d_mat_scale: NULL pointer\n"},
      {[&] { return rot3d_mat_transpose(nullptr); }, -1,
       "ERROR: rot3d_mat_transpose: NULL pointer\n"},
  };
  for (const auto& c : cases) {
    testutil::Capture err(stderr);
    EXPECT_EQ(c.call(), c.result);
    EXPECT_EQ(err.Text(), c.message);
  }
}

// Random rotations, and matrices of random angles with rot2 on a pole or
// up to 1e-2 away from one: the angles found give the matrix back, to
// rounding away from the poles and to within twice the distance from the
// pole (at most 2 rot3d_eps) where that is taken as the pole.
TEST(Rot3d, AnglesReproduceRandomMatrices) {
  std::mt19937 rng(3);
  std::uniform_real_distribution<double> angle(-kPi, kPi), exponent(-16, -2);
  for (int round = 0; round < 3000; ++round) {
    double R[3][3];
    if (round % 3 == 0) {
      RandomRotation(rng, R);
    } else {
      double in[3] = {angle(rng), angle(rng), angle(rng)};
      if (round % 3 == 2) {
        const double off = round % 4 < 2 ? 0.0 : std::pow(10.0, exponent(rng));
        in[1] = (round % 2 ? kPi / 2 : -kPi / 2) + (round % 8 < 4 ? off : -off);
      }
      rot3d_matrix(in, R);
    }
    double copy[3][3], rot[3], back[3][3];
    for (int i = 0; i < 3; ++i)
      for (int j = 0; j < 3; ++j) copy[i][j] = R[i][j];
    SCOPED_TRACE(round);
    ASSERT_EQ(rot3d_angles(rot, copy), 0);
    for (double x : rot) {
      EXPECT_GT(x, -kPi);
      EXPECT_LE(x, kPi);
    }
    rot3d_matrix(rot, back);
    const bool pole = std::hypot(R[1][2], R[2][2]) <= rot3d_eps;
    ExpectMatrixNear(back, R, pole ? 2.1 * rot3d_eps : 1e-13);
  }
}

}  // namespace
