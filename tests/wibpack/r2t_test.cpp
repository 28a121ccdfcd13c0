#include "wibpack/r2t.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>

#include "testutil.h"
#include "wibpack/rot3d.h"

namespace {

constexpr double kPi = 3.141592653589793;

TEST(R2t, Version) { EXPECT_STREQ(r2t_version(), "r2t : V1.01 Orrin 2012-06-04"); }

TEST(R2t, IdentityKeepsEverything) {
  const double I[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double bdis, bcen1, bcen2, dis, cen1, cen2;
  ASSERT_EQ(r2t_bdis(&bdis, 0.25, I), 0);
  ASSERT_EQ(r2t_bcen1(&bcen1, 1e-4, 512.5, 0.25, I), 0);
  ASSERT_EQ(r2t_bcen2(&bcen2, 2e-4, 100.0, 0.25, I), 0);
  ASSERT_EQ(r2t_dis(&dis, 0.25, I), 0);
  ASSERT_EQ(r2t_cen1(&cen1, 1e-4, 512.5, 0.25, I), 0);
  ASSERT_EQ(r2t_cen2(&cen2, 2e-4, 100.0, 0.25, I), 0);
  EXPECT_EQ(bdis, 0.25);
  EXPECT_EQ(bcen1, 512.5);
  EXPECT_EQ(bcen2, 100.0);
  EXPECT_EQ(dis, 0.25);
  EXPECT_EQ(cen1, 512.5);
  EXPECT_EQ(cen2, 100.0);
}

TEST(R2t, TiltedDetector) {
  const double rot[3] = {0, 0.1, 0};
  double R[3][3];
  rot3d_matrix(rot, R);
  double bdis, bcen1, bcen2, cen1, dis;
  ASSERT_EQ(r2t_bdis(&bdis, 0.1, R), 0);
  EXPECT_NEAR(bdis, 0.1 / std::cos(0.1), 1e-15);
  ASSERT_EQ(r2t_bcen1(&bcen1, 1e-4, 300.0, 0.1, R), 0);
  EXPECT_NEAR(bcen1, 300.0 + std::tan(0.1) * 0.1 / 1e-4, 1e-9);
  ASSERT_EQ(r2t_bcen2(&bcen2, 1e-4, 200.0, 0.1, R), 0);
  EXPECT_NEAR(bcen2, 200.0, 1e-12);  // no rotation about axis 1
  ASSERT_EQ(r2t_cen1(&cen1, 1e-4, bcen1, bdis, R), 0);
  EXPECT_NEAR(cen1, 300.0, 1e-10);
  ASSERT_EQ(r2t_dis(&dis, bdis, R), 0);
  EXPECT_NEAR(dis, 0.1, 1e-15);
}

TEST(R2t, DegenerateGeometryFailsSilently) {
  const double edge[3] = {0, kPi / 2, 0};  // detector plane along the beam
  double R[3][3];
  rot3d_matrix(edge, R);  // C22 = cos(pi/2) = 6e-17
  const double Z[3][3] = {};
  const double I[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  struct Case {
    const char* what;
    std::function<int(double*)> call;
  } cases[] = {
      {"bdis, C22 = 0", [&](double* out) { return r2t_bdis(out, 0.1, R); }},
      {"bcen1, C22 = 0", [&](double* out) { return r2t_bcen1(out, 1e-4, 10, 0.1, R); }},
      {"bcen2, C22 = 0", [&](double* out) { return r2t_bcen2(out, 1e-4, 10, 0.1, R); }},
      {"dis, D = 0", [&](double* out) { return r2t_dis(out, 0.1, Z); }},
      {"cen1, D = 0", [&](double* out) { return r2t_cen1(out, 1e-4, 10, 0.1, Z); }},
      {"cen2, D = 0", [&](double* out) { return r2t_cen2(out, 1e-4, 10, 0.1, Z); }},
      {"bcen1, pix 0", [&](double* out) { return r2t_bcen1(out, 0, 10, 0.1, I); }},
      {"bcen2, pix 1e-13", [&](double* out) { return r2t_bcen2(out, 1e-13, 10, 0.1, I); }},
      {"cen1, pix 0", [&](double* out) { return r2t_cen1(out, 0, 10, 0.1, I); }},
      {"cen2, pix NaN", [&](double* out) { return r2t_cen2(out, NAN, 10, 0.1, I); }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    double out = 42.0;
    testutil::Capture err(stderr);
    EXPECT_EQ(c.call(&out), -1);
    EXPECT_EQ(err.Text(), "");
    EXPECT_EQ(out, 42.0);
  }
}

TEST(R2t, NullPointers) {
  const double I[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  double out;
  struct Case {
    std::function<int()> call;
    const char* message;
  } cases[] = {
      {[&] { return r2t_bdis(nullptr, 1, I); }, "ERROR: r2t_bdis: NULL pointer\n"},
      {[&] { return r2t_bdis(&out, 1, nullptr); }, "ERROR: r2t_bdis: NULL pointer\n"},
      {[&] { return r2t_bcen1(nullptr, 1, 1, 1, I); }, "ERROR: r2t_bcen1: NULL pointer\n"},
      {[&] { return r2t_bcen2(&out, 1, 1, 1, nullptr); }, "ERROR: r2t_bcen2: NULL pointer\n"},
      {[&] { return r2t_dis(nullptr, 1, I); }, "ERROR: r2t_dis: NULL pointer\n"},
      {[&] { return r2t_cen1(&out, 1, 1, 1, nullptr); }, "ERROR: r2t_cen1: NULL pointer\n"},
      {[&] { return r2t_cen2(nullptr, 1, 1, 1, I); }, "ERROR: r2t_cen2: NULL pointer\n"},
  };
  for (const auto& c : cases) {
    testutil::Capture err(stderr);
    EXPECT_EQ(c.call(), -1);
    EXPECT_EQ(err.Text(), c.message);
  }
}

// For random detector rotations (and scaled matrices, whose determinant is
// not 1) each pair of relations undoes the other.
TEST(R2t, PairsAreMutuallyInverse) {
  std::mt19937 rng(17);
  std::uniform_real_distribution<double> angle(-1.2, 1.2), cen(-500, 2500), dis(0.05, 5),
      pix(1e-5, 1e-3), scale(0.5, 2);
  for (int round = 0; round < 1000; ++round) {
    const double rot[3] = {angle(rng), angle(rng), angle(rng)};
    double R[3][3];
    rot3d_matrix(rot, R);
    if (round % 2) rot3d_mat_scale(R, scale(rng));
    const double d = dis(rng), c1 = cen(rng), c2 = cen(rng), p1 = pix(rng), p2 = pix(rng);
    SCOPED_TRACE(round);
    double bdis, bcen1, bcen2, d_back, c1_back, c2_back;
    ASSERT_EQ(r2t_bdis(&bdis, d, R), 0);
    ASSERT_EQ(r2t_bcen1(&bcen1, p1, c1, d, R), 0);
    ASSERT_EQ(r2t_bcen2(&bcen2, p2, c2, d, R), 0);
    ASSERT_EQ(r2t_dis(&d_back, bdis, R), 0);
    ASSERT_EQ(r2t_cen1(&c1_back, p1, bcen1, bdis, R), 0);
    ASSERT_EQ(r2t_cen2(&c2_back, p2, bcen2, bdis, R), 0);
    EXPECT_NEAR(d_back, d, 1e-13 * d);
    EXPECT_NEAR(c1_back, c1, 1e-9 * (std::fabs(c1) + std::fabs(bcen1)));
    EXPECT_NEAR(c2_back, c2, 1e-9 * (std::fabs(c2) + std::fabs(bcen2)));
    if (round % 2 == 0) {  // a rotation: bdis = dis / R[2][2]
      EXPECT_NEAR(bdis, d / R[2][2], 1e-13 * bdis);
      EXPECT_NEAR(bcen1, c1 - (R[0][2] / R[2][2]) * d / p1, 1e-9 * std::fabs(bcen1) + 1e-9);
    }
  }
}

}  // namespace
