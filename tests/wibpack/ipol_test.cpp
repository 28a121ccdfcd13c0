#include "wibpack/ipol.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace {

// Restores the process-wide interpolation settings after a test.
class IpolSettings : public ::testing::Test {
 protected:
  void SetUp() override {
    mode_ = Ipolmode(0);
    weight_ = Ipolweight(0);
    min_ = Ipolmin(-1.0f);
  }
  void TearDown() override {
    Ipolmode(mode_);
    Ipolweight(weight_);
    Ipolmin(min_);
  }

 private:
  int mode_ = 0, weight_ = 0;
  float min_ = 0.0f;
};

TEST(IpolDummy, DummyConvention) {
  struct Case {
    float v, d, dd;
    bool defined, dummy, nodummy;
  } cases[] = {
      {-1.0f, -1.0f, 0.1f, true, true, false},
      {-1.05f, -1.0f, 0.1f, true, true, false},
      {-1.2f, -1.0f, 0.1f, true, false, true},
      {0.0f, 0.0f, 0.1f, false, false, true},      // a dummy of 0 marks nothing
      {0.09f, 0.09f, 0.0f, false, false, true},    // |D| not above MinDDummy
      {0.1f, 0.1f, 0.0f, true, true, false},       // float 0.1 lies above double 0.1
      {0.15f, 0.15f, 0.0f, true, true, false},     // above MinDDummy
      {5.0f, 5.0f, 10.0f, false, false, true},     // |D| not above DD
      {1e7f, 1e7f, 100.0f, true, true, false},
      {1e7f + 100.0f, 1e7f, 100.0f, true, true, false},
      {1e7f + 101.0f, 1e7f, 100.0f, true, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.v << " " << c.d << " " << c.dd);
    EXPECT_EQ(DUMMYDEFINED(c.d, c.dd), c.defined);
    EXPECT_EQ(NODUMMYDEFINED(c.d, c.dd), !c.defined);
    EXPECT_EQ(DUMMY(c.v, c.d, c.dd), c.dummy);
    EXPECT_EQ(NODUMMY(c.v, c.d, c.dd), c.nodummy);
  }
  // A NaN is never a dummy, but carries no data while a dummy is defined.
  const float nan = std::numeric_limits<float>::quiet_NaN();
  EXPECT_FALSE(DUMMY(nan, -1.0f, 0.1f));
  EXPECT_FALSE(NODUMMY(nan, -1.0f, 0.1f));
  EXPECT_TRUE(NODUMMY(nan, 0.0f, 0.1f));
}

TEST(IpolDummy, DdsetAndUpdate) {
  EXPECT_EQ(DDSET(0.0f), 0.1f);
  EXPECT_EQ(DDSET(-1.0f), 0.1f);
  EXPECT_EQ(DDSET(VarDummy), 0.1f);
  EXPECT_EQ(DDSET(1e7f), 100.0f);
  EXPECT_EQ(DDSET(-3e6f), static_cast<float>(3e6 * 1e-5));

  float de = -1.0f;
  UPDATE(de, 2.5f, -1.0f, 0.1f);  // dummy: replaced
  EXPECT_EQ(de, 2.5f);
  UPDATE(de, 1.0f, -1.0f, 0.1f);  // data: added
  EXPECT_EQ(de, 3.5f);
  float var = VarDummy;
  UPDATE(var, 0.25f, VarDummy, DDSET(VarDummy));
  UPDATE(var, 0.25f, VarDummy, DDSET(VarDummy));
  EXPECT_EQ(var, 0.5f);
  float zero = 0.0f;  // a dummy of 0 is not defined: always added
  UPDATE(zero, 2.0f, 0.0f, 0.1f);
  UPDATE(zero, 2.0f, 0.0f, 0.1f);
  EXPECT_EQ(zero, 4.0f);
}

TEST(IpolDummy, Layout) {
  float a[12] = {};
  EXPECT_EQ(ABSPTR(a, 4, 3, 1, 2), a + 9);
  EXPECT_EQ(NEXTCOL(a + 9), a + 10);
  EXPECT_EQ(NEXTROW(a + 1, 4, 3), a + 5);
  int i;
  float r;
  IDX(-0.25f, i, r);
  EXPECT_EQ(i, -1);
  EXPECT_EQ(r, 0.75f);
  IDX(3.5f, i, r);
  EXPECT_EQ(i, 3);
  EXPECT_EQ(r, 0.5f);
}

// ctest runs every test in a process of its own, so this sees the start.
TEST(IpolStart, InitialSettings) {
  EXPECT_EQ(Ipolmode(0), IPOL_NORMAL);
  EXPECT_EQ(Ipolweight(0), IPOL_EQUAL);
  EXPECT_EQ(Ipolmin(-1.0f), 0.5f);
}

TEST_F(IpolSettings, ModeWeightAndMinimum) {
  struct Case {
    int set, expect;
  } modes[] = {{IPOL_ANTIALIASED, 2}, {0, 2}, {3, 2}, {-1, 2}, {IPOL_NORMAL, 1}, {4, 1}};
  for (const auto& c : modes) EXPECT_EQ(Ipolmode(c.set), c.expect) << c.set;
  Case weights[] = {{IPOL_WEIGHTED, 8}, {0, 8}, {1, 8}, {IPOL_EQUAL, 4}, {2, 4}};
  for (const auto& c : weights) EXPECT_EQ(Ipolweight(c.set), c.expect) << c.set;

  EXPECT_EQ(Ipolmin(0.75f), 0.75f);
  EXPECT_EQ(Ipolmin(-1.0f), 0.75f);
  EXPECT_EQ(Ipolmin(-0.5f), 0.75f);
  EXPECT_EQ(Ipolmin(std::numeric_limits<float>::quiet_NaN()), 0.75f);
  EXPECT_EQ(Ipolmin(0.0f), 0.0f);
  EXPECT_EQ(Ipolmin(2.0f), 2.0f);
}

TEST(IpolSettingNames, Names) {
  EXPECT_STREQ(Ipolmode2str(IPOL_NORMAL), "normal");
  EXPECT_STREQ(Ipolmode2str(IPOL_ANTIALIASED), "antialiased");
  EXPECT_STREQ(Ipolmode2str(0), "undefined");
  EXPECT_STREQ(Ipolmode2str(4), "undefined");
  EXPECT_STREQ(Ipolweight2str(IPOL_EQUAL), "equal");
  EXPECT_STREQ(Ipolweight2str(IPOL_WEIGHTED), "weighted");
  EXPECT_STREQ(Ipolweight2str(1), "undefined");
}

// A small image whose pixel (i_1, i_2) holds 1 + i_1 + 10 i_2.
struct Image {
  int dim_1, dim_2;
  std::vector<float> data;
  Image(int d1, int d2) : dim_1(d1), dim_2(d2), data(d1 * d2) {
    for (int j = 0; j < d2; ++j)
      for (int i = 0; i < d1; ++i) data[i + j * d1] = 1.0f + i + 10.0f * j;
  }
  float& at(int i_1, int i_2) { return data[i_1 + i_2 * dim_1]; }
};

using IpolInterpolation = IpolSettings;

TEST_F(IpolInterpolation, Points) {
  Image im(6, 6);
  im.at(4, 4) = -1.0f;
  struct Case {
    float dummy, f_1, f_2;
    int count;
    float sum, weight;
  } cases[] = {
      {-1.0f, 2.0f, 3.0f, 1, 33.0f, 1.0f},           // on a pixel centre
      {-1.0f, 2.00005f, 3.00005f, 1, 33.0f, 1.0f},   // fractions below 1e-4: 1 pixel
      {-1.0f, 2.0f, 2.9999f, 2, 32.999f, 1.0f},      // 0.9999 is a fraction
      {-1.0f, 4.0f, 4.0f, 0, 0.0f, 0.0f},            // the pixel is a dummy
      {0.0f, 4.0f, 4.0f, 1, -1.0f, 1.0f},            // dummy 0: every value counts
      {-1.0f, -0.5f, -0.5f, 0, 0.25f, 0.25f},        // only (0,0) with 1/4: too little
      {-1.0f, 2.5f, 3.0f, 2, 33.5f, 1.0f},           // between two columns
      {-1.0f, 2.0f, 3.25f, 2, 35.5f, 1.0f},          // between two rows
      {-1.0f, 1.5f, 1.5f, 4, 17.5f, 1.0f},           // between four pixels
      {-1.0f, 3.5f, 3.5f, 3, 28.25f, 0.75f},         // one of four a dummy
      {-1.0f, 5.5f, 0.0f, 1, 3.0f, 0.5f},            // half off the last column
      {-1.0f, 6.0f, 0.0f, 0, 0.0f, 0.0f},            // beyond the array
      {-1.0f, -1.5f, 0.0f, 0, 0.0f, 0.0f},           // before it
      {-1.0f, std::nanf(""), 0.0f, 0, 0.0f, 0.0f},   // no coordinate
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.dummy << " (" << c.f_1 << ", " << c.f_2 << ")");
    float sum = -7.0f, weight = -7.0f;
    EXPECT_EQ(Ipol2ldw(im.data.data(), 6, 6, c.dummy, 0.1f, c.f_1, c.f_2, &sum, &weight),
              c.count);
    EXPECT_FLOAT_EQ(sum, c.sum);
    EXPECT_FLOAT_EQ(weight, c.weight);
  }
  float sum = 1.0f, weight = 1.0f;
  EXPECT_EQ(Ipol2ldw(nullptr, 6, 6, -1.0f, 0.1f, 1.0f, 1.0f, &sum, &weight), 0);
  EXPECT_EQ(sum, 0.0f);
  EXPECT_EQ(weight, 0.0f);

  // With no minimum, a quarter pixel is enough.
  Ipolmin(0.0f);
  EXPECT_EQ(Ipol2ldw(im.data.data(), 6, 6, -1.0f, 0.1f, -0.5f, -0.5f, &sum, &weight), 1);
}

TEST_F(IpolInterpolation, Values) {
  Image im(6, 6);
  im.at(4, 4) = -1.0f;
  float value = 0.0f;
  EXPECT_EQ(Ipol2ld(im.data.data(), 6, 6, -1.0f, 0.1f, 3.5f, 3.5f, &value), 3);
  EXPECT_FLOAT_EQ(value, 28.25f / 0.75f);
  EXPECT_EQ(Ipol2d(im.data.data(), 6, 6, -1.0f, 0.1f, 1.0f, 2.0f, &value), 1);
  EXPECT_EQ(value, 22.0f);
  EXPECT_EQ(Ipol2ld(im.data.data(), 6, 6, -1.0f, 0.1f, 4.0f, 4.0f, &value), 0);
}

// The weights between four pixels are formed in double precision except
// the last, and the sums are rounded to float after each pixel.
TEST_F(IpolInterpolation, FourPixelPrecision) {
  const float x[4] = {1.1f, 2.3f, 3.7f, 4.9f};
  const float r_1 = 0.3f, r_2 = 0.7f;
  float f_1 = 0.0f + r_1, f_2 = 0.0f + r_2;
  float sum, weight;
  ASSERT_EQ(Ipol2ldw(x, 2, 2, 0.0f, 0.1f, f_1, f_2, &sum, &weight), 4);
  const double q_1 = 1.0 - r_1, q_2 = 1.0 - r_2;
  float s = 0.0f, w = 0.0f;
  s = static_cast<float>(s + q_1 * q_2 * x[0]);
  w = static_cast<float>(w + q_1 * q_2);
  s = static_cast<float>(s + r_1 * q_2 * x[1]);
  w = static_cast<float>(w + r_1 * q_2);
  s = static_cast<float>(s + q_1 * r_2 * x[2]);
  w = static_cast<float>(w + q_1 * r_2);
  const float w11 = r_1 * r_2;
  s = s + w11 * x[3];
  w = w + w11;
  EXPECT_EQ(sum, s);
  EXPECT_EQ(weight, w);
}

using IpolIntegration = IpolSettings;

// Rectangles in index coordinates over the 6 x 6 image.
TEST_F(IpolIntegration, Rectangles) {
  struct Case {
    const char* what;
    int mode;
    float dummy;  // pixel (1, 0) is set to -1 when dummy is -1
    float f1_1, f1_2, f3_1, f3_2;
    bool valid;
    float sum, weight;
  } cases[] = {
      {"halves and a whole", IPOL_NORMAL, 0.0f, 0, -0.5f, 2, 0.5f, true, 0.5f * 1 + 2 + 0.5f * 3, 2},
      {"middle pixel a dummy", IPOL_NORMAL, -1.0f, 0, -0.5f, 2, 0.5f, true, 0.5f * 1 + 0.5f * 3, 1},
      {"one pixel: interpolated", IPOL_NORMAL, 0.0f, 0.5f, -0.5f, 1.5f, 0.5f, true, 2, 1},
      {"mirrored on axis 1", IPOL_NORMAL, 0.0f, 2, -0.5f, 0, 0.5f, true, -4, -2},
      {"mirrored on axis 2", IPOL_NORMAL, 0.0f, 0, 0.5f, 2, -0.5f, true, -4, -2},
      {"mirrored on both", IPOL_NORMAL, 0.0f, 2, 0.5f, 0, -0.5f, true, 4, 2},
      {"two rows", IPOL_NORMAL, 0.0f, 1.5f, -0.5f, 2.5f, 1.5f, true, 3 + 13, 2},
      {"too small a share valid", IPOL_NORMAL, -1.0f, 0.5f, -0.5f, 1.7f, 0.5f, false, 0.2f * 3, 0.2f},
      {"half off the array", IPOL_NORMAL, 0.0f, -1.5f, -0.5f, 0.5f, 0.5f, true, 1, 1},
      {"mostly off the array", IPOL_NORMAL, 0.0f, -2.5f, -0.5f, 0.0f, 0.5f, false, 0.5f, 0.5f},
      {"entirely before the array", IPOL_NORMAL, 0.0f, -1.5f, -0.5f, -0.5f, 0.5f, false, 0, 0},
      {"just before the array", IPOL_NORMAL, 0.0f, -1.4f, -0.5f, -0.6f, 0.5f, false, 0, 0},
      {"entirely after the array", IPOL_NORMAL, 0.0f, 5.5f, -0.5f, 7.5f, 0.5f, false, 0, 0},
      {"reaching far beyond both ends", IPOL_NORMAL, 0.0f, -1e30f, -0.5f, 1e30f, 0.5f, false, 21, 6},
      {"no coordinate", IPOL_NORMAL, 0.0f, std::nanf(""), -0.5f, 2, 0.5f, false, 0, 0},
      {"zero width on a border", IPOL_NORMAL, 0.0f, 1.5f, -0.5f, 1.5f, 0.5f, false, 0, 0},
      {"small, normal mode", IPOL_NORMAL, 0.0f, 2.9f, 3.9f, 3.1f, 4.1f, true, 44 * 0.04f, 0.04f},
      {"small, antialiased", IPOL_ANTIALIASED, 0.0f, 2.9f, 3.9f, 3.1f, 4.1f, true, 44 * 0.04f, 0.04f},
      {"small off-centre, antialiased", IPOL_ANTIALIASED, 0.0f, 3.05f, 3.9f, 3.15f, 4.1f, true,
       (0.9f * 44 + 0.1f * 45) * 0.02f, 0.02f},
      // Widened areas are scaled by |A|: the sign is lost.
      {"small mirrored, antialiased", IPOL_ANTIALIASED, 0.0f, 3.1f, 3.9f, 2.9f, 4.1f, true,
       44 * 0.04f, 0.04f},
      {"large, antialiased", IPOL_ANTIALIASED, 0.0f, 0, -0.5f, 2, 0.5f, true, 4, 2},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Image im(6, 6);
    if (c.dummy == -1.0f) im.at(1, 0) = -1.0f;
    Ipolmode(c.mode);
    float sum = -7.0f, weight = -7.0f;
    const int n = Isum2ldw(im.data.data(), 6, 6, c.dummy, 0.1f, c.f1_1, c.f1_2, c.f3_1,
                           c.f3_2, &sum, &weight);
    EXPECT_EQ(n != 0, c.valid) << n;
    EXPECT_NEAR(sum, c.sum, 1e-4f * (1 + std::fabs(c.sum)));
    EXPECT_NEAR(weight, c.weight, 1e-6f);

    // With variances 0 both methods agree with the plain integration, but
    // also integrate a single pixel area instead of interpolating it.
    for (int method : {IPOL_EQUAL, IPOL_WEIGHTED}) {
      SCOPED_TRACE(Ipolweight2str(method));
      Ipolweight(method);
      float esum, eweight, varsum, varweight;
      const int m = Isum2ldwE(im.data.data(), nullptr, 6, 6, c.dummy, 0.1f, c.f1_1, c.f1_2,
                              c.f3_1, c.f3_2, &esum, &eweight, &varsum, &varweight);
      EXPECT_EQ(m != 0, c.valid);
      EXPECT_NEAR(esum, c.sum, 1e-4f * (1 + std::fabs(c.sum)));
      EXPECT_NEAR(eweight, c.weight, 1e-6f);
      EXPECT_EQ(varweight, std::fabs(eweight));
      if (m) {
        EXPECT_EQ(varsum, 0.0f);
      }
    }
  }
}

// Areas of exactly one pixel are interpolated at their centre, whether
// that centre is a pixel centre (the fast path) or not.
TEST_F(IpolIntegration, OnePixelAreasAreInterpolated) {
  Image im(5, 4);
  im.at(2, 1) = -1.0f;
  im.at(0, 0) = -0.0f;
  const float starts[] = {-2.5f, -1.5f, -1.0f, -0.5f, -0.49995f, 0.0f, 0.5f,
                          1.5f,  1.50002f, 1.7f, 3.5f, 4.5f, 5.5f};
  for (float minimum : {0.5f, 1.0f, 1.5f}) {
    Ipolmin(minimum);
    for (float dummy : {-1.0f, 0.0f})
      for (float a_1 : starts)
        for (float a_2 : starts) {
          SCOPED_TRACE(testing::Message() << minimum << " " << dummy << " " << a_1 << " " << a_2);
          ASSERT_EQ((a_1 + 1.0f) - a_1, 1.0f);
          ASSERT_EQ((a_2 + 1.0f) - a_2, 1.0f);
          float s, w, is, iw;
          const int n = Isum2ldw(im.data.data(), 5, 4, dummy, 0.1f, a_1, a_2, a_1 + 1.0f,
                                 a_2 + 1.0f, &s, &w);
          const int m = Ipol2ldw(im.data.data(), 5, 4, dummy, 0.1f, a_1 + 0.5f, a_2 + 0.5f,
                                 &is, &iw);
          EXPECT_EQ(n, m);
          EXPECT_EQ(s, is);
          EXPECT_EQ(std::signbit(s), std::signbit(is));
          EXPECT_EQ(w, iw);
        }
  }
}

TEST_F(IpolIntegration, AbsentData) {
  float sum = 5, weight = 5, varsum = 5, varweight = 5;
  EXPECT_EQ(Isum2ldw(nullptr, 6, 6, 0, 0.1f, 0, 0, 2, 2, &sum, &weight), 0);
  EXPECT_EQ(sum, 0.0f);
  EXPECT_EQ(weight, 0.0f);
  for (int method : {IPOL_EQUAL, IPOL_WEIGHTED}) {
    Ipolweight(method);
    EXPECT_EQ(Isum2ldwE(nullptr, nullptr, 6, 6, 0, 0.1f, 0, 0, 2, 2, &sum, &weight, &varsum,
                        &varweight), 0);
    EXPECT_EQ(varsum, VarDummy);
    EXPECT_EQ(varweight, 0.0f);
  }
  Image im(6, 6);  // outside the array: no variance either
  Ipolweight(IPOL_EQUAL);
  EXPECT_EQ(Isum2ldwE(im.data.data(), nullptr, 6, 6, 0, 0.1f, 7, 0, 9, 2, &sum, &weight,
                      &varsum, &varweight), 0);
  EXPECT_EQ(varsum, VarDummy);
}

// Row 0 of a 4 x 1 image over [-0.5, 3.5]: all four pixels whole.
TEST_F(IpolIntegration, VarianceMethods) {
  const float data[4] = {1, 2, 3, 4};
  struct Case {
    const char* what;
    int method;
    float var[4];
    bool valid;
    float sum, weight, varsum;
  } cases[] = {
      {"equal", IPOL_EQUAL, {1, 2, 3, 4}, true, 10, 4, 10},
      {"equal, one unknown", IPOL_EQUAL, {1, -1, 3, 4}, true, 10, 4, VarDummy},
      {"weighted, equal variances", IPOL_WEIGHTED, {2, 2, 2, 2}, true, 10, 4, 8},
      // q = 1, 1/2, 1/4, 1/8; m = 15/32: the weighted mean 3.25 / 1.875 with
      // the variance varsum / weight^2 = 1 / 1.875.
      {"weighted", IPOL_WEIGHTED, {1, 2, 4, 8}, true, 3.25f * 32 / 15, 4, 4 * 32.0f / 15},
      {"weighted, one unknown", IPOL_WEIGHTED, {2, -1, 2, 2}, true, 8, 3, 6},
      // Only the pixel of variance 0 counts: one pixel is too little area.
      {"weighted, one variance 0", IPOL_WEIGHTED, {2, 0, 2, 2}, false, 2, 1, 0},
      {"weighted, two variances 0", IPOL_WEIGHTED, {0, 3, 5, 0}, true, 5, 2, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Ipolweight(c.method);
    float sum, weight, varsum, varweight;
    EXPECT_EQ(Isum2ldwE(data, c.var, 4, 1, 0, 0.1f, -0.5f, -0.5f, 3.5f, 0.5f, &sum, &weight,
                        &varsum, &varweight) != 0, c.valid);
    EXPECT_FLOAT_EQ(sum, c.sum);
    EXPECT_FLOAT_EQ(weight, c.weight);
    EXPECT_FLOAT_EQ(varsum, c.varsum);
    EXPECT_EQ(varweight, weight);
  }
  // Without any usable variance the weighted result is empty.
  Ipolweight(IPOL_WEIGHTED);
  const float unknown[4] = {-1, -1, -1, -1};
  float sum, weight, varsum, varweight;
  EXPECT_EQ(Isum2ldwE(data, unknown, 4, 1, 0, 0.1f, -0.5f, -0.5f, 3.5f, 0.5f, &sum, &weight,
                      &varsum, &varweight), 0);
  EXPECT_EQ(weight, 0.0f);
}

// Antialiased variance sums are scaled by the area ratio, not by its sign.
TEST_F(IpolIntegration, AntialiasedVariance) {
  Image im(6, 6);
  std::vector<float> var(36, 2.0f);
  Ipolmode(IPOL_ANTIALIASED);
  Ipolweight(IPOL_EQUAL);
  float sum, weight, varsum, varweight;
  ASSERT_NE(Isum2ldwE(im.data.data(), var.data(), 6, 6, 0, 0.1f, 3.1f, 3.9f, 2.9f, 4.1f, &sum,
                      &weight, &varsum, &varweight), 0);
  EXPECT_NEAR(weight, 0.04f, 1e-6f);
  EXPECT_NEAR(varsum, 0.08f, 1e-6f);
  EXPECT_EQ(varweight, weight);
  // In normal mode the variance sum keeps its sign while the data turn.
  Ipolmode(IPOL_NORMAL);
  ASSERT_NE(Isum2ldwE(im.data.data(), var.data(), 6, 6, 0, 0.1f, 3.5f, -0.5f, 1.5f, 0.5f, &sum,
                      &weight, &varsum, &varweight), 0);
  EXPECT_EQ(sum, -(3 + 4.0f));
  EXPECT_EQ(weight, -2.0f);
  EXPECT_EQ(varsum, 4.0f);
  EXPECT_EQ(varweight, 2.0f);
}

// Integrated pixel by pixel in double precision: the sum of value times
// covered part and the covered part of the valid pixels of a rectangle.
void Expected(const Image& im, float dummy, double a_1, double a_2, double b_1, double b_2,
              double& sum, double& weight) {
  sum = weight = 0;
  for (int j = 0; j < im.dim_2; ++j)
    for (int i = 0; i < im.dim_1; ++i) {
      const double o_1 = std::min(b_1, i + 0.5) - std::max(a_1, i - 0.5);
      const double o_2 = std::min(b_2, j + 0.5) - std::max(a_2, j - 0.5);
      const float x = im.data[i + j * im.dim_1];
      if (o_1 <= 0 || o_2 <= 0 || !NODUMMY(x, dummy, 0.1f)) continue;
      sum += o_1 * o_2 * x;
      weight += o_1 * o_2;
    }
}

// Cuts [lo, hi] at random places into n pieces.
std::vector<float> Cuts(std::mt19937& rng, float lo, float hi, int n) {
  std::uniform_real_distribution<float> u(lo, hi);
  std::vector<float> c{lo, hi};
  for (int k = 1; k < n; ++k) c.push_back(u(rng));
  std::sort(c.begin(), c.end());
  return c;
}

TEST_F(IpolIntegration, TilingAddsUp) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> value(-50, 50);
  Ipolmin(0.0f);
  for (int round = 0; round < 40; ++round) {
    Image im(9 + round % 5, 7 + round % 3);
    const float dummy = round % 2 ? -1000.0f : 0.0f;
    for (float& x : im.data) x = value(rng);
    for (int k = 0; k < 6; ++k) im.data[rng() % im.data.size()] = -1000.0f;
    // A region that may reach beyond the array; only what lies on it counts.
    const auto c_1 = Cuts(rng, -1.3f, im.dim_1 + 0.2f, 2 + round % 11);
    const auto c_2 = Cuts(rng, -0.5f, im.dim_2 + 1.1f, 2 + round % 7);
    double sum = 0, weight = 0;
    for (size_t j = 0; j + 1 < c_2.size(); ++j)
      for (size_t i = 0; i + 1 < c_1.size(); ++i) {
        float s, w;
        Isum2ldw(im.data.data(), im.dim_1, im.dim_2, dummy, 0.1f, c_1[i], c_2[j], c_1[i + 1],
                 c_2[j + 1], &s, &w);
        sum += s;
        weight += w;
      }
    double esum, eweight;
    Expected(im, dummy, c_1.front(), c_2.front(), c_1.back(), c_2.back(), esum, eweight);
    SCOPED_TRACE(round);
    EXPECT_NEAR(weight, eweight, 1e-4 * eweight);
    EXPECT_NEAR(sum, esum, 1e-4 * (std::fabs(esum) + 50 * eweight));
  }
}

TEST_F(IpolIntegration, MirroredRectangles) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<float> coord(-2, 12), value(-50, 50);
  Image im(10, 10);
  for (float& x : im.data) x = value(rng);
  im.at(4, 5) = -1000.0f;
  for (int round = 0; round < 200; ++round) {
    const float a_1 = coord(rng), a_2 = coord(rng), b_1 = coord(rng), b_2 = coord(rng);
    float s, w, sm, wm, sb, wb;
    const int n = Isum2ldw(im.data.data(), 10, 10, -1000, 0.1f, a_1, a_2, b_1, b_2, &s, &w);
    EXPECT_EQ(Isum2ldw(im.data.data(), 10, 10, -1000, 0.1f, b_1, a_2, a_1, b_2, &sm, &wm), n);
    EXPECT_EQ(sm, -s);
    EXPECT_EQ(wm, -w);
    EXPECT_EQ(Isum2ldw(im.data.data(), 10, 10, -1000, 0.1f, b_1, b_2, a_1, a_2, &sb, &wb), n);
    EXPECT_EQ(sb, s);
    EXPECT_EQ(wb, w);
  }
}

}  // namespace
