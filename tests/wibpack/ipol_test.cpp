#include "wibpack/ipol.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

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

}  // namespace
