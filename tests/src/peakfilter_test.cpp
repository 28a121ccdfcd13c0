// Tests of the ring mask and the peak filter: hand-checked cases for the
// reference filter, and the fast filter (with every instruction set this
// processor has) against the reference on many random images.
#include "src/peakfilter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "src/peakfilter_internal.h"
#include "testutil.h"

namespace {

using peakfilter_detail::Isa;

const float kNaN = std::numeric_limits<float>::quiet_NaN();
const float kInf = std::numeric_limits<float>::infinity();

std::vector<float> Mask(long r, float width, float a, float widtha) {
  const long n = 2 * r + 1;
  std::vector<float> m(n * n);
  EXPECT_EQ(gen_tring_mask(m.data(), n, n, width, a, widtha), m.data());
  return m;
}

bool SameFloat(float x, float y) {
  if (std::isnan(x) || std::isnan(y)) return std::isnan(x) && std::isnan(y);
  std::uint32_t bx, by;
  std::memcpy(&bx, &x, 4);
  std::memcpy(&by, &y, 4);
  return bx == by;
}

// Every filter under test: the public one and each supported kernel.
struct Filter {
  std::string name;
  Isa isa;
  bool pub;
};

std::vector<Filter> FastFilters() {
  std::vector<Filter> f{{"peakfilter", Isa::Portable, true}};
  for (Isa isa : peakfilter_detail::kAllIsas) {
    if (peakfilter_detail::isa_supported(isa)) {
      f.push_back({peakfilter_detail::isa_name(isa), isa, false});
    }
  }
  return f;
}

float* RunFast(const Filter& f, float* out, const float* in, long d1, long d2, float dummy,
               float ddummy, const float* msk, long m1, long m2, float chi2, float max,
               int mode, int debug, long* pchanged) {
  if (f.pub) {
    return peakfilter(out, in, d1, d2, dummy, ddummy, msk, m1, m2, chi2, max, mode, debug,
                      pchanged);
  }
  return peakfilter_detail::peakfilter_fast(f.isa, out, in, d1, d2, dummy, ddummy, msk, m1,
                                            m2, chi2, max, mode, debug, pchanged);
}

// ---------------------------------------------------------------- mask

TEST(GenTringMask, SinglePixelAndNullBuffer) {
  float one = -5.0f;
  EXPECT_EQ(gen_tring_mask(&one, 1, 1, 4.0f, 1.0f, 4.0f), &one);
  EXPECT_EQ(one, 1.0f);
  EXPECT_EQ(gen_tring_mask(nullptr, 9, 9, 4.0f, 1.0f, 4.0f), nullptr);
}

TEST(GenTringMask, DefaultMaskSumsToElementCountWithZeroCentre) {
  const std::vector<float> m = Mask(4, 4.0f, 1.0f, 4.0f);
  double sum = 0.0;
  for (float w : m) {
    EXPECT_GE(w, 0.0f);
    sum += w;
  }
  EXPECT_NEAR(sum, 81.0, 81.0 * 1e-5);
  EXPECT_EQ(m[40], 0.0f);
  // Symmetric under mirroring and transposition.
  for (int y = 0; y < 9; ++y) {
    for (int x = 0; x < 9; ++x) {
      EXPECT_EQ(m[x + 9 * y], m[(8 - x) + 9 * y]);
      EXPECT_EQ(m[x + 9 * y], m[y + 9 * x]);
    }
  }
}

TEST(GenTringMask, FollowsTheClosedForm) {
  // (1 - a exp(-16 ln2 r^4/wa^4)) exp(-4 ln2 r^2/w^2), up to the common
  // scale; the centre of an even size lies at (dim/2, dim/2).
  const float w = 3.0f, a = 0.5f, wa = 2.0f;
  for (long d1 : {7L, 6L}) {
    const long d2 = 5;
    std::vector<float> m(d1 * d2);
    ASSERT_EQ(gen_tring_mask(m.data(), d1, d2, w, a, wa), m.data());
    auto closed = [&](long i1, long i2) {
      const double r2 = double((d1 / 2 - i1) * (d1 / 2 - i1) + (d2 / 2 - i2) * (d2 / 2 - i2));
      return (1.0 - a * std::exp(-16.0 * std::log(2.0) * r2 * r2 / std::pow(wa, 4.0))) *
             std::exp(-4.0 * std::log(2.0) * r2 / (w * w));
    };
    double total = 0.0;
    for (long i2 = 0; i2 < d2; ++i2)
      for (long i1 = 0; i1 < d1; ++i1) total += closed(i1, i2);
    for (long i2 = 0; i2 < d2; ++i2) {
      for (long i1 = 0; i1 < d1; ++i1) {
        const double expected = closed(i1, i2) * double(d1 * d2) / total;
        EXPECT_NEAR(m[i1 + d1 * i2], expected, 1e-5 * (1.0 + expected)) << i1 << "," << i2;
      }
    }
  }
}

TEST(GenTringMask, ZeroWidthsGiveTheLimitNeverNaN) {
  // width 0: the bell shrinks to the centre pixel.  With the full dip the
  // mask is all zeros (not normalisable, left as it is).
  std::vector<float> m = Mask(2, 0.0f, 1.0f, 4.0f);
  for (float w : m) EXPECT_EQ(w, 0.0f);
  m = Mask(2, 0.0f, 0.0f, 4.0f);
  for (size_t i = 0; i < m.size(); ++i) EXPECT_EQ(m[i], i == 12 ? 25.0f : 0.0f);
  // widtha 0 (and one so small that its fourth power underflows): the dip
  // shrinks to the centre pixel; the rest is the plain bell.
  for (float wa : {0.0f, 1e-12f}) {
    m = Mask(2, 4.0f, 1.0f, wa);
    EXPECT_EQ(m[12], 0.0f);
    const std::vector<float> bell = Mask(2, 4.0f, 0.0f, 4.0f);
    for (size_t i = 0; i < m.size(); ++i) {
      EXPECT_FALSE(std::isnan(m[i]));
      if (i != 12) {
        EXPECT_NEAR(m[i] / m[0], bell[i] / bell[0], 1e-6);
      }
    }
  }
  // Both 0 with a partial dip: only the centre is left.
  m = Mask(1, 0.0f, 0.5f, 0.0f);
  for (size_t i = 0; i < m.size(); ++i) EXPECT_EQ(m[i], i == 4 ? 9.0f : 0.0f);
}

TEST(GenTringMask, ParametersThatAreNotNumbersGiveNullAndZeros) {
  const float bad[][3] = {{kNaN, 1.0f, 4.0f}, {4.0f, 1.0f, kNaN}, {4.0f, kNaN, 4.0f},
                          {4.0f, kInf, 4.0f}, {4.0f, -kInf, 4.0f}};
  for (const auto& p : bad) {
    std::vector<float> m(9, 7.0f);
    EXPECT_EQ(gen_tring_mask(m.data(), 3, 3, p[0], p[1], p[2]), nullptr);
    for (float w : m) EXPECT_EQ(w, 0.0f);
  }
  // Infinite widths are fine: a flat bell or a dip without a centre.
  std::vector<float> m(9);
  EXPECT_EQ(gen_tring_mask(m.data(), 3, 3, kInf, 0.0f, 4.0f), m.data());
  for (float w : m) EXPECT_EQ(w, 1.0f);
}

// ---------------------------------------------------------------- filter cases

struct Result {
  std::vector<float> out;
  long changed;
};

// Runs the reference and every fast filter and checks that they agree.
Result FilterAll(const std::vector<float>& in, long d1, long d2, float dummy, float ddummy,
                 const float* msk, long m1, long m2, float chi2, float max, int mode) {
  Result ref{std::vector<float>(in.size(), -123.0f), -1};
  EXPECT_EQ(peakfilter_reference(ref.out.data(), in.data(), d1, d2, dummy, ddummy, msk, m1,
                                 m2, chi2, max, mode, 0, &ref.changed),
            ref.out.data());
  for (const Filter& f : FastFilters()) {
    std::vector<float> out(in.size(), -456.0f);
    long changed = -1;
    EXPECT_EQ(RunFast(f, out.data(), in.data(), d1, d2, dummy, ddummy, msk, m1, m2, chi2, max,
                      mode, 0, &changed),
              out.data());
    EXPECT_EQ(changed, ref.changed) << f.name;
    size_t differ = 0;
    while (differ < in.size() && SameFloat(out[differ], ref.out[differ])) ++differ;
    EXPECT_EQ(differ, in.size()) << f.name << ": first differing pixel";
    if (differ < in.size()) {
      ADD_FAILURE() << f.name << " pixel " << differ << ": " << out[differ] << " vs "
                    << ref.out[differ];
    }
  }
  return ref;
}

TEST(PeakFilter, NullArraysAndNullMask) {
  std::vector<float> in{1.0f, 50.0f, 1.0f, 2.0f}, out(4);
  for (const Filter& f : FastFilters()) {
    long changed = 99;
    EXPECT_EQ(RunFast(f, nullptr, in.data(), 2, 2, 0, 0, nullptr, 0, 0, 0, 0, 0, 0, &changed),
              nullptr);
    EXPECT_EQ(changed, 0);
    changed = 99;
    EXPECT_EQ(RunFast(f, out.data(), nullptr, 2, 2, 0, 0, nullptr, 0, 0, 0, 0, 0, 0, &changed),
              nullptr);
    EXPECT_EQ(changed, 0);
  }
  long changed = 99;
  EXPECT_EQ(peakfilter_reference(nullptr, in.data(), 2, 2, 0, 0, nullptr, 0, 0, 0, 0, 0, 0,
                                 &changed),
            nullptr);
  EXPECT_EQ(changed, 0);
  // Without a mask every pixel is copied.
  const Result r = FilterAll(in, 2, 2, 0.0f, 0.1f, nullptr, 3, 3, 0.0f, 0.0f, 1);
  EXPECT_EQ(r.out, in);
  EXPECT_EQ(r.changed, 0);
  // pchanged may be null.
  EXPECT_EQ(peakfilter(out.data(), in.data(), 2, 2, 0, 0, nullptr, 0, 0, 0, 0, 0, 0, nullptr),
            out.data());
}

// A 3x3 mask with the weights 1..9 (centre 5) makes every weight visible.
const std::vector<float> kCounting{1, 2, 3, 4, 5, 6, 7, 8, 9};

TEST(PeakFilter, BorderWindowKeepsEachPositionsOwnWeight) {
  // Pixel (0,0) sees (0,0) w5, (1,0) w6, (0,1) w8, (1,1) w9.
  std::vector<float> in{100, 1, 50, 2, 3, 50, 50, 50, 50};
  const Result r = FilterAll(in, 3, 3, 0.0f, 0.1f, kCounting.data(), 3, 3, 0.1f, 0.0f, 1);
  // sumi = 500 + 6 + 16 + 27 (exact); the neighbours' weighted mean:
  EXPECT_EQ(r.out[0], 49.0f / 23.0f);
  // Mode 0 replaces by the dummy value.
  const Result r0 = FilterAll(in, 3, 3, -7.0f, 0.1f, kCounting.data(), 3, 3, 0.1f, 0.0f, 0);
  EXPECT_EQ(r0.out[0], -7.0f);
  EXPECT_EQ(r0.changed, r.changed);
  EXPECT_GE(r.changed, 1);
}

TEST(PeakFilter, ModeOneWithZeroCentreWeightIsThePlainMean) {
  // a = 1: the centre weight is 0, so the replacement is sumi/sumw.
  const std::vector<float> m = Mask(1, 4.0f, 1.0f, 4.0f);
  ASSERT_EQ(m[4], 0.0f);
  std::vector<float> in{1, 2, 3, 4, 1000, 6, 7, 8, 9};
  const Result r = FilterAll(in, 3, 3, 0.0f, 0.1f, m.data(), 3, 3, 0.5f, 0.0f, 1);
  float sumi = 0.0f, sumw = 0.0f;
  for (int i = 0; i < 9; ++i) {
    sumi += in[i] * m[i];
    sumw += m[i];
  }
  EXPECT_EQ(r.out[4], sumi / sumw);
}

TEST(PeakFilter, DummyPixelsAreCopiedAndSkipped) {
  // The dummy -1 (tolerance 0.1) in the middle of a flat field with a peak
  // next to it: the dummy stays, the peak's window ignores it.
  std::vector<float> in(25, 10.0f);
  for (int i = 0; i < 25; ++i) in[i] += 0.01f * float(i % 3);
  in[12] = -1.05f;
  in[13] = 900.0f;
  const Result r = FilterAll(in, 5, 5, -1.0f, 0.1f, kCounting.data(), 3, 3, 1.0f, 0.0f, 1);
  EXPECT_EQ(r.out[12], in[12]);
  EXPECT_NE(r.out[13], in[13]);
  EXPECT_GT(r.out[13], 9.0f);
  EXPECT_LT(r.out[13], 11.0f);
  // A pixel whose window holds only dummies is kept.
  std::vector<float> lone(9, -1.0f);
  lone[4] = 500.0f;
  const Result l = FilterAll(lone, 3, 3, -1.0f, 0.1f, Mask(1, 4, 1, 4).data(), 3, 3, 0, 0, 1);
  EXPECT_EQ(l.out, lone);
  EXPECT_EQ(l.changed, 0);
}

TEST(PeakFilter, DummyBoundIsComparedInDoublePrecision) {
  // |0.1f| exceeds the double 0.1, so 0.1f is a defined dummy.
  peakfilter_detail::DummyTest d(0.1f, 0.0f);
  EXPECT_TRUE(d.defined());
  EXPECT_TRUE(d(0.1f));
  EXPECT_FALSE(d(0.2f));
  // Within the tolerance of itself: not defined, nothing is a dummy.
  EXPECT_FALSE(peakfilter_detail::DummyTest(0.2f, 0.2f).defined());
  EXPECT_FALSE(peakfilter_detail::DummyTest(0.0f, 0.1f)(0.0f));
  EXPECT_FALSE(peakfilter_detail::DummyTest(kNaN, 0.1f)(kNaN));
  EXPECT_FALSE(peakfilter_detail::DummyTest(-1.0f, 0.1f)(kNaN));
  EXPECT_TRUE(peakfilter_detail::DummyTest(-1.0f, 0.1f)(-1.05f));
  EXPECT_FALSE(peakfilter_detail::DummyTest(-1.0f, 0.1f)(-1.2f));
}

TEST(PeakFilter, FlatNeighbourhoodNeverReplaces) {
  std::vector<float> in(49, 3.0f);
  in[24] = 1e6f;  // centre weight 0: its neighbourhood is perfectly flat
  const Result r = FilterAll(in, 7, 7, 0.0f, 0.1f, Mask(1, 4, 1, 4).data(), 3, 3, 0, 0, 1);
  EXPECT_EQ(r.out[24], in[24]);
}

// 5 x 5 pixels alternating between 10 and 12, the centre set to peak.
std::vector<float> Checkerboard(float peak) {
  std::vector<float> in(25);
  for (int i = 0; i < 25; ++i) in[i] = (i % 5 + i / 5) % 2 ? 12.0f : 10.0f;
  in[12] = peak;
  return in;
}

TEST(PeakFilter, AbsoluteThresholdKeepsSmallDeviations) {
  // The centre is 5 above its neighbours' mean of about 11, with variance
  // about 1: significant, but kept when the absolute threshold is larger.
  const std::vector<float> in = Checkerboard(16.0f);
  const std::vector<float> m = Mask(1, 4, 1, 4);
  const Result strict = FilterAll(in, 5, 5, 0.0f, 0.1f, m.data(), 3, 3, 10.0f, 4.0f, 1);
  EXPECT_NE(strict.out[12], in[12]);
  EXPECT_EQ(strict.changed, 1);
  const Result lax = FilterAll(in, 5, 5, 0.0f, 0.1f, m.data(), 3, 3, 10.0f, 6.0f, 1);
  EXPECT_EQ(lax.out, in);
  EXPECT_EQ(lax.changed, 0);
}

TEST(PeakFilter, ReplacementEqualToTheInputStillCounts) {
  // Dummy 0 is not defined: the centre 0 is a peak, and mode 0 replaces it
  // by the dummy value 0, which is what it was.
  const std::vector<float> in = Checkerboard(0.0f);
  const Result r = FilterAll(in, 5, 5, 0.0f, 0.1f, Mask(1, 4, 1, 4).data(), 3, 3, 20, 0, 0);
  EXPECT_EQ(r.out, in);
  EXPECT_EQ(r.changed, 1);
}

TEST(PeakFilter, SinglePixelMaskChangesNothing) {
  std::vector<float> in{1, 1000, -5, 3, kNaN, 7};
  float one = 0;
  gen_tring_mask(&one, 1, 1, 4, 1, 4);
  const Result r = FilterAll(in, 3, 2, 0.0f, 0.1f, &one, 1, 1, 0, 0, 1);
  EXPECT_EQ(r.changed, 0);
  for (int i = 0; i < 6; ++i) EXPECT_TRUE(SameFloat(r.out[i], in[i]));
}

TEST(PeakFilter, DebugLineForEveryBadPixel) {
  const std::vector<float> in = Checkerboard(500.0f);
  const std::vector<float> m = Mask(1, 4, 1, 4);
  std::vector<float> out(25);
  const std::string expected_prefix = "BAD VALUE DETECTED IN [2,2]: XI2=";
  for (const Filter& f : FastFilters()) {
    for (int debug : {4, 5}) {
      testutil::Capture cap(stdout);
      long changed = 0;
      RunFast(f, out.data(), in.data(), 5, 5, 0.0f, 0.1f, m.data(), 3, 3, 20, 0, 1, debug,
              &changed);
      const std::string text = cap.Text();
      if (debug == 4) {
        EXPECT_EQ(text, "") << f.name;
      } else {
        EXPECT_EQ(text.compare(0, expected_prefix.size(), expected_prefix), 0) << text;
        EXPECT_NE(text.find(", I=500, (<I>-I)^2="), std::string::npos) << text;
        EXPECT_NE(text.find(",  (<I^2>-<I>*<I>)="), std::string::npos) << text;
        EXPECT_EQ(text.find('\n'), text.size() - 1) << text;
        EXPECT_EQ(changed, 1);
      }
    }
  }
}

TEST(PeakFilter, UnusualMasksMatchTheReference) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<float> u(0.0f, 10.0f);
  std::vector<float> in(23 * 17);
  for (float& v : in) v = u(rng);
  for (size_t i = 0; i < in.size(); i += 11) in[i] = 200.0f;
  // Even sizes: the window is exactly the mask, its centre on the pixel.
  std::vector<float> even(4 * 6);
  for (size_t i = 0; i < even.size(); ++i) even[i] = 1.0f + float(i % 5);
  const Result e = FilterAll(in, 23, 17, 0.0f, 0.1f, even.data(), 4, 6, 1, 0, 1);
  EXPECT_GT(e.changed, 0);
  FilterAll(in, 23, 17, 0.0f, 0.1f, even.data(), 6, 4, 1, 0, 0);
  // A weight that is not finite, and a mask larger than the tile buffers.
  std::vector<float> m = Mask(2, 4, 1, 4);
  m[3] = kInf;
  FilterAll(in, 23, 17, 0.0f, 0.1f, m.data(), 5, 5, 1, 0, 1);
  const std::vector<float> big = Mask(60, 30, 1, 10);
  FilterAll(in, 23, 17, 0.0f, 0.1f, big.data(), 121, 121, 1, 0, 1);
  // An empty mask has no weights: nothing changes.
  const Result z = FilterAll(in, 23, 17, 0.0f, 0.1f, m.data(), 0, 5, 0, 0, 1);
  EXPECT_EQ(z.out, in);
}

// ---------------------------------------------------------------- differential

enum class Pixels { Plain, DummiesScattered, DummiesInBlocks, Special };

std::vector<float> RandomImage(long d1, long d2, Pixels kind, std::mt19937& rng) {
  std::normal_distribution<float> noise(100.0f, 10.0f);
  std::uniform_real_distribution<float> u(0.0f, 1.0f);
  std::vector<float> img(d1 * d2);
  for (float& v : img) {
    v = noise(rng);
    if (u(rng) < 0.03f) v += 500.0f * u(rng);  // peaks
    if (u(rng) < 0.03f) v -= 200.0f;           // negative values
  }
  if (kind == Pixels::DummiesScattered) {
    for (float& v : img)
      if (u(rng) < 0.05f) v = -1.0f + 0.1f * (u(rng) - 0.5f);
  } else if (kind == Pixels::DummiesInBlocks) {
    for (int b = 0; b < 3; ++b) {
      const long x = long(u(rng) * float(d1)), y = long(u(rng) * float(d2));
      const long w = 1 + long(u(rng) * 12.0f), h = 1 + long(u(rng) * 12.0f);
      for (long j = y; j < y + h && j < d2; ++j)
        for (long i = x; i < x + w && i < d1; ++i) img[i + j * d1] = -1.0f;
    }
  } else if (kind == Pixels::Special) {
    for (float& v : img) {
      const float p = u(rng);
      if (p < 0.002f) v = kNaN;
      else if (p < 0.004f) v = kInf;
      else if (p < 0.006f) v = -kInf;
      else if (p < 0.01f) v = -1.0f;  // a dummy
      else if (p < 0.015f) v = p < 0.0125f ? -0.5f : -1.5f;  // dummies just within 0.5
      else if (p < 0.02f) v = p < 0.0175f ? -0.49999f : -1.50001f;  // just outside
      else if (p < 0.03f) v = 0.0f;
    }
  }
  return img;
}

struct Size {
  long d1, d2;
};

class PeakFilterDifferential : public ::testing::TestWithParam<Size> {};

TEST_P(PeakFilterDifferential, FastEqualsReference) {
  const Size s = GetParam();
  std::mt19937 rng(static_cast<unsigned>(s.d1 * 1000 + s.d2));
  // (mode, a, chi2, max): replacement by dummy and by the mean, with and
  // without the centre weight, thresholds from 0 to very large.
  struct Setting {
    int mode;
    float a, chi2, max;
  };
  const Setting settings[] = {{0, 1.0f, 0.0f, 0.0f},   {1, 1.0f, 1.0f, 0.0f},
                              {1, 0.0f, 5.0f, 20.0f},  {0, 0.0f, 1e30f, 0.0f},
                              {1, 1.0f, 0.5f, 1e30f},  {1, 0.0f, 0.0f, 0.0f}};
  long replaced = 0;
  for (Pixels kind : {Pixels::Plain, Pixels::DummiesScattered, Pixels::DummiesInBlocks,
                      Pixels::Special}) {
    const std::vector<float> img = RandomImage(s.d1, s.d2, kind, rng);
    // Plain images run without a defined dummy (0 is within 0.1 of itself);
    // special ones have values exactly at the dummy tolerance.
    const float dummy = kind == Pixels::Plain ? 0.0f : -1.0f;
    const float ddummy = kind == Pixels::Special ? 0.5f : 0.1f;
    for (long r = 0; r <= 6; ++r) {
      const long n = 2 * r + 1;
      for (size_t k = 0; k < sizeof settings / sizeof settings[0]; ++k) {
        // Every other setting on the larger images keeps the run short.
        if (s.d1 * s.d2 > 10000 && (k + r) % 2) continue;
        const Setting& st = settings[k];
        const std::vector<float> m = Mask(r, 4.0f, st.a, 4.0f);
        SCOPED_TRACE(::testing::Message() << "kind " << int(kind) << " radius " << r
                                          << " setting " << k);
        replaced += FilterAll(img, s.d1, s.d2, dummy, ddummy, m.data(), n, n, st.chi2, st.max,
                              st.mode)
                        .changed;
        if (HasFatalFailure()) return;
      }
    }
  }
  if (s.d1 * s.d2 >= 100) {
    EXPECT_GT(replaced, 0);
  }
}

INSTANTIATE_TEST_SUITE_P(Sizes, PeakFilterDifferential,
                         ::testing::Values(Size{1, 1}, Size{1, 40}, Size{40, 1}, Size{5, 3},
                                           Size{37, 23}, Size{300, 200}, Size{130, 7}),
                         [](const ::testing::TestParamInfo<Size>& i) {
                           return std::to_string(i.param.d1) + "x" +
                                  std::to_string(i.param.d2);
                         });

}  // namespace
