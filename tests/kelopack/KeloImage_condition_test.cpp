// Conditioning: clipping, gnawing, binning, programs, linear transformation,
// marking, and condition_2d as a whole.
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "wibpack/numio.h"

namespace {

constexpr float D = -1.0f;    // a defined dummy
constexpr float DD = 0.1f;

TEST(Clip, DummyOrClipValue) {
  struct Case {
    float dummy, ddummy;
    float lowWant, highWant;
  } cases[] = {
      {0.0f, 0.1f, 2.0f, 8.0f},  // no dummy defined: the clip values themselves
      {D, DD, D, D},             // a defined dummy replaces clipped pixels
  };
  for (const Case& c : cases) {
    std::vector<float> data = {1.0f, 5.0f, 9.0f, c.dummy};
    std::vector<float> var = {4.0f, 4.0f, 4.0f, 4.0f};
    clip_data_2d(data.data(), var.data(), 2, 2, c.dummy, c.ddummy, 2.0f, 1, 8.0f, 1);
    EXPECT_EQ(data[0], c.lowWant);
    EXPECT_EQ(data[1], 5.0f);
    EXPECT_EQ(data[2], c.highWant);
    EXPECT_EQ(var[0], -1.0f);
    EXPECT_EQ(var[1], 4.0f);
    EXPECT_EQ(var[2], -1.0f);
  }
  // Only the limits that are set clip; dummies are never examined.
  std::vector<float> data = {-5.0f, 50.0f, D};
  clip_data_2d(data.data(), nullptr, 3, 1, D, DD, 0.0f, 1, 8.0f, 0);
  EXPECT_EQ(data, (std::vector<float>{D, 50.0f, D}));
}

// Gnawing around one dummy pixel in the centre of a 7 x 7 image: the
// pattern of dummies afterwards.
TEST(Gnaw, EllipseAroundDummy) {
  struct Case {
    long g1, g2;
    std::vector<std::string> rows;  // row 0 first; '#' dummy
  } cases[] = {
      {1, 1, {".......", ".......", "..###..", "..###..", "..###..", ".......", "......."}},
      {2, 2, {".......", "..###..", ".#####.", ".#####.", ".#####.", "..###..", "......."}},
      {2, 0, {".......", ".......", ".......", ".#####.", ".......", ".......", "......."}},
      {3, 1, {".......", ".......", ".#####.", "#######", ".#####.", ".......", "......."}},
      {0, 1, {".......", ".......", "...#...", "...#...", "...#...", ".......", "......."}},
      {-3, 0, {".......", ".......", ".......", "...#...", ".......", ".......", "......."}},
  };
  for (const Case& c : cases) {
    std::vector<float> data(49, 3.0f);
    std::vector<float> var(49, 1.0f);
    data[3 + 3 * 7] = D;
    int status = -7;
    gnaw_data_2d(data.data(), var.data(), 7, 7, D, DD, c.g1, c.g2, &status);
    EXPECT_EQ(status, Success);
    for (int r = 0; r < 7; ++r) {
      std::string got;
      for (int k = 0; k < 7; ++k) got += data[k + r * 7] == D ? '#' : '.';
      EXPECT_EQ(got, c.rows[r]) << "gnaw " << c.g1 << "," << c.g2 << " row " << r;
      // Every pixel marked around the original dummy loses its variance.
      for (int k = 0; k < 7; ++k) {
        if (data[k + r * 7] == D && c.g1 + c.g2 > 0) {
          EXPECT_EQ(var[k + r * 7], -1.0f);
        }
      }
    }
  }
}

TEST(Gnaw, MarksDoNotSpreadAndNeedADummy) {
  // Two dummies at the edge: the new dummies do not grow further.
  std::vector<float> data(10, 3.0f);
  data[0] = D;
  int status = -7;
  gnaw_data_2d(data.data(), nullptr, 10, 1, D, DD, 1, 1, &status);
  EXPECT_EQ(data[0], D);
  EXPECT_EQ(data[1], D);
  EXPECT_EQ(data[2], 3.0f);
  // Dummy 0 is no dummy: nothing is marked.
  std::vector<float> zero(9, 0.0f);
  zero[4] = 5.0f;
  gnaw_data_2d(zero.data(), nullptr, 3, 3, 0.0f, 0.1f, 1, 1, &status);
  EXPECT_EQ(zero[4], 5.0f);
  EXPECT_EQ(status, Success);
}

// Gnaw values far beyond the image: every offset that stays inside is
// tested, and the work does not grow with the gnaw value.
TEST(Gnaw, ValuesBeyondTheImage) {
  struct Case {
    long g1, g2;
    std::vector<std::string> rows;
  } cases[] = {
      {LONG_MAX, 0, {"#####", ".....", "....."}},
      {1000000000000L, 1000000000000L, {"#####", "#####", "#####"}},
      {0, LONG_MAX, {"#....", "#....", "#...."}},
  };
  for (const Case& c : cases) {
    std::vector<float> data(15, 3.0f);
    data[0] = D;
    int status = -7;
    gnaw_data_2d(data.data(), nullptr, 5, 3, D, DD, c.g1, c.g2, &status);
    EXPECT_EQ(status, Success);
    for (int r = 0; r < 3; ++r) {
      std::string got;
      for (int k = 0; k < 5; ++k) got += data[k + r * 5] == D ? '#' : '.';
      EXPECT_EQ(got, c.rows[r]) << "gnaw " << c.g1 << "," << c.g2 << " row " << r;
    }
  }
}

TEST(Rebin, SumAverageDummiesAndVariances) {
  // 4 x 2 image binned by 2 x 2: two output pixels.
  std::vector<float> data = {1, 2, 5, D, 3, 4, D, D};
  std::vector<float> var = {1, 1, 2, 9, 1, -1, 9, 9};
  long d1 = 4, d2 = 2;
  rebin_data_2d(data.data(), data.data(), var.data(), var.data(), &d1, &d2, D, DD, 2, 2, 1);
  EXPECT_EQ(d1, 2);
  EXPECT_EQ(d2, 1);
  EXPECT_EQ(data[0], 2.5f);  // (1+2+3+4)/4
  EXPECT_EQ(data[1], 5.0f);  // only one pixel is not a dummy
  EXPECT_EQ(var[0], 3.0f / 16.0f);  // (1+1+1+0)/4^2
  EXPECT_EQ(var[1], 2.0f);
  // Sum without averaging; a block of dummies stays a dummy.
  std::vector<float> sum = {1, 2, D, D};
  long s1 = 4, s2 = 1;
  std::vector<float> out(2);
  rebin_float_2d(sum.data(), out.data(), &s1, &s2, D, DD, 2, 1, 0);
  EXPECT_EQ(s1, 2);
  EXPECT_EQ(out, (std::vector<float>{3.0f, D}));
}

TEST(Rebin, FactorsBelowOneCountAsOne) {
  std::vector<float> data = {1, 2, 3, 4, 5, 6};
  long d1 = 3, d2 = 2;
  rebin_float_2d(data.data(), data.data(), &d1, &d2, D, DD, 0, -2, 1);
  EXPECT_EQ(d1, 3);
  EXPECT_EQ(d2, 2);
  EXPECT_EQ(data, (std::vector<float>{1, 2, 3, 4, 5, 6}));
  // Distinct arrays with factor 1: a plain copy.
  std::vector<float> out(6, 0.0f);
  rebin_float_2d(data.data(), out.data(), &d1, &d2, D, DD, 1, 1, 1);
  EXPECT_EQ(out, data);
}

TEST(Rebin, InPlaceEqualsSeparateArrays) {
  const long n1 = 7, n2 = 5;
  std::vector<float> a(n1 * n2);
  for (size_t i = 0; i < a.size(); ++i) a[i] = (i % 5 == 3) ? D : static_cast<float>(i) * 0.37f;
  std::vector<float> b = a, out(a.size());
  long a1 = n1, a2 = n2, b1 = n1, b2 = n2;
  rebin_float_2d(a.data(), a.data(), &a1, &a2, D, DD, 2, 3, 1);
  rebin_float_2d(b.data(), out.data(), &b1, &b2, D, DD, 2, 3, 1);
  ASSERT_EQ(a1, 3);
  ASSERT_EQ(a2, 1);
  for (long i = 0; i < a1 * a2; ++i) EXPECT_EQ(a[i], out[i]);
}

class Programs : public ::testing::Test {
 protected:
  NumProg* Compile(const char* name, const char* text, int nvar) {
    int err = 0;
    NumProg* p = nvar == 1 ? num_str2prog(name, text, nullptr, &err, 1, "i1val")
                           : num_str2prog(name, text, nullptr, &err, 2, "i1val", "i1err");
    EXPECT_EQ(err, 0) << text;
    progs_.push_back(p);
    return p;
  }
  void TearDown() override {
    int err = 0;
    for (NumProg* p : progs_) num_rmprog(p, &err);
  }
  std::vector<NumProg*> progs_;
};

TEST_F(Programs, ValueProgramAndItsVariance) {
  NumProg* p = Compile("i1val", "2*_i1val+1", 1);
  std::vector<float> data = {1.0f, D, 3.0f, 4.0f};
  std::vector<float> var = {4.0f, 7.0f, 0.0f, -1.0f};
  int status = -7;
  prog_data_2d(data.data(), var.data(), 4, 1, D, DD, p, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(data, (std::vector<float>{3.0f, D, 7.0f, 9.0f}));
  EXPECT_EQ(var[0], 16.0f);  // (2*sqrt(4))^2
  EXPECT_EQ(var[1], -1.0f);  // dummy
  EXPECT_EQ(var[2], 0.0f);   // e <= 0 with a dummy defined: unchanged
  EXPECT_EQ(var[3], -1.0f);
  // Without a dummy a variance of 0 or less becomes 0.
  std::vector<float> d2 = {1.0f};
  std::vector<float> v2 = {-1.0f};
  prog_data_2d(d2.data(), v2.data(), 1, 1, 0.0f, 0.1f, p, &status);
  EXPECT_EQ(v2[0], 0.0f);
}

TEST_F(Programs, ConstantProgramAndFailingPixels) {
  NumProg* c = Compile("i1val", "5", 1);
  std::vector<float> data = {1.0f, 2.0f};
  std::vector<float> var = {4.0f, 9.0f};
  int status = -7;
  prog_data_2d(data.data(), var.data(), 2, 1, D, DD, c, &status);
  EXPECT_EQ(data, (std::vector<float>{5.0f, 5.0f}));
  EXPECT_EQ(var, (std::vector<float>{0.0f, 0.0f}));
  // A pixel whose evaluation fails keeps its value; the status stays Success.
  NumProg* s = Compile("i1val", "sqrt(_i1val)", 1);
  std::vector<float> mixed = {-4.0f, 16.0f};
  prog_data_2d(mixed.data(), nullptr, 2, 1, D, DD, s, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(mixed, (std::vector<float>{-4.0f, 4.0f}));
}

TEST_F(Programs, VarianceProgram) {
  NumProg* p = Compile("i1err", "_i1err*4+_i1val", 2);
  std::vector<float> data = {1.0f, D, 2.0f};
  std::vector<float> var = {2.0f, 5.0f, -3.0f};
  int status = -7;
  prog_vardat_2d(data.data(), var.data(), 3, 1, D, DD, p, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(var, (std::vector<float>{9.0f, -1.0f, 2.0f}));  // negative passed as 0
}

TEST(Transform, IdentityLeavesEverythingAndFactorScales) {
  std::vector<float> data = {1.0f, D, 3.0f};
  transform_float_2d(data.data(), 3, 1, 0.0f, 0.1f, 1.0f, 0.0f);
  EXPECT_EQ(data, (std::vector<float>{1.0f, D, 3.0f}));
  transform_float_2d(data.data(), 3, 1, D, DD, 2.0f, 0.5f);
  EXPECT_EQ(data, (std::vector<float>{2.5f, D, 6.5f}));
  // Without a defined dummy every pixel is transformed.
  std::vector<float> all = {0.0f, -1.0f};
  transform_float_2d(all.data(), 2, 1, 0.0f, 0.1f, 1.0f, 1.0f);
  EXPECT_EQ(all, (std::vector<float>{1.0f, 0.0f}));
  // Single precision: factor * v rounded, then + constant rounded.
  std::vector<float> p = {0.1f};
  transform_float_2d(p.data(), 1, 1, 0.0f, 0.1f, 3.0f, 0.7f);
  const float prod = 3.0f * 0.1f;
  EXPECT_EQ(p[0], prod + 0.7f);
}

TEST(Mark, DrawsIntoDummiesOnly) {
  const long d1 = 10, d2 = 100;
  std::vector<float> img(d1 * d2, D);
  img[1 + 0 * d1] = 7.0f;  // a data pixel under a set cell stays
  mark_float_2d(img.data(), d1, d2, D, DD);
  long marked = 0;
  for (long r = 0; r < d2; ++r)
    for (long c = 0; c < d1; ++c) {
      const float v = img[c + r * d1];
      if (v == D || v == 7.0f) continue;
      ++marked;
      EXPECT_EQ(v, static_cast<float>(-1.0 + 0.1f * 0.5));
      EXPECT_LT(r, 80);
      EXPECT_LT(c, 8);
      EXPECT_LE(std::fabs(v - D), DD);  // still a dummy
    }
  EXPECT_GT(marked, 100);
  EXPECT_EQ(img[1], 7.0f);
  // A small image gets the last rows of the mark; no dummy, no mark.
  std::vector<float> small(4 * 3, D);
  mark_float_2d(small.data(), 4, 3, D, DD);
  std::vector<float> zero(4 * 3, 0.0f);
  mark_float_2d(zero.data(), 4, 3, 0.0f, 0.1f);
  for (float v : zero) EXPECT_EQ(v, 0.0f);
}

// condition_2d with a header block.
class Condition : public ::testing::Test {
 protected:
  void SetUp() override {
    ihb_ = kelo_new_all_images(1);
    int status = 0;
    long dim[3] = {2, 5, 5};
    alloc_image_memory(nullptr, dim, ihb_, 0.0f, 0, 1, 1.0f, 1, &status);
    for (int i = 0; i < 25; ++i) ihb_->Data[i] = static_cast<float>(i);
    ihb_->Dummy.V = D;
    ihb_->DDummy.V = DD;
    ihb_->Offset[1].V = 10.0f;
    ihb_->Offset[2].V = 3.0f;
    ihb_->PixSiz[1].V = 1e-4f;
    ihb_->Center[1].V = 4.0f;
  }
  void TearDown() override {
    free_image_memory(ihb_);
    delete[] ihb_;
  }
  static IO_long L(long v, int i) { return IO_long{v, i}; }
  static IO_float F(float v, int i) { return IO_float{v, i}; }
  void Run(IO_long bin1, IO_long bin2, IO_float fac, IO_float con, int simulate, int* status) {
    IO_prog none{nullptr, 0};
    condition_2d(ihb_, F(0, 0), F(0, 0), L(0, 0), L(0, 0), bin1, bin2, none, none, fac, con,
                 L(1, 0), 0, simulate, 0, status);
  }
  ImgHeadBlk* ihb_ = nullptr;
};

TEST_F(Condition, BinningChangesSizesAndGeometry) {
  int status = -7;
  Run(L(2, 1), L(2, 1), F(1, 0), F(0, 0), 0, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ihb_->Dim[1], 2);
  EXPECT_EQ(ihb_->Dim[2], 2);
  EXPECT_EQ(ihb_->Data[0], 3.0f);   // (0+1+5+6)/4
  EXPECT_EQ(ihb_->Data[3], 15.0f);  // (12+13+17+18)/4
  EXPECT_EQ(ihb_->VarDat[0], 0.25f);
  EXPECT_EQ(ihb_->Offset[1].V, 5.0f);
  EXPECT_EQ(ihb_->Offset[2].V, 1.5f);
  EXPECT_EQ(ihb_->PixSiz[1].V, static_cast<float>(1e-4f * 2.0));
  EXPECT_EQ(ihb_->BinSiz[1].V, 2.0f);
  EXPECT_EQ(ihb_->BinSiz[1].I, 1);
  EXPECT_EQ(ihb_->Center[1].V, 2.0f);
}

TEST_F(Condition, SimulationChangesHeaderButNoPixel) {
  int status = -7;
  Run(L(2, 1), L(3, 1), F(2, 1), F(0, 0), 1, &status);
  EXPECT_EQ(ihb_->Dim[1], 2);
  EXPECT_EQ(ihb_->Dim[2], 1);
  EXPECT_EQ(ihb_->Offset[1].V, 5.0f);
  EXPECT_EQ(ihb_->Offset[2].V, 1.0f);
  for (int i = 0; i < 25; ++i) EXPECT_EQ(ihb_->Data[i], static_cast<float>(i));
}

TEST_F(Condition, UnsetOrNonPositiveBinsDoNothing) {
  int status = -7;
  Run(L(4, 0), L(-2, 1), F(1, 0), F(0, 0), 0, &status);
  EXPECT_EQ(ihb_->Dim[1], 5);
  EXPECT_EQ(ihb_->Dim[2], 5);
  EXPECT_EQ(ihb_->Offset[1].V, 10.0f);
  EXPECT_EQ(ihb_->BinSiz[1].I, 0);
}

TEST_F(Condition, FactorScalesDataAndVariance) {
  ihb_->Data[3] = D;
  ihb_->VarDat[3] = -1.0f;
  int status = -7;
  Run(L(1, 0), L(1, 0), F(2, -1), F(0, 0), 0, &status);
  EXPECT_EQ(ihb_->Data[2], 4.0f);
  EXPECT_EQ(ihb_->Data[3], D);
  EXPECT_EQ(ihb_->VarDat[2], 4.0f);
  EXPECT_EQ(ihb_->VarDat[3], -1.0f);
}

}  // namespace
