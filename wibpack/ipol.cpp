// Interpolation settings, bilinear interpolation and area integration.
#include "wibpack/ipol.h"

#include <cmath>
#include <utility>

namespace {

// Process-wide settings; the framework sets mode and weighting again each
// time it reads or creates an image.
int IPolMode = IPOL_NORMAL;
int IPolWeight = IPOL_EQUAL;
float IPolMin = 0.5f;

}  // namespace

int Ipolmode(int mode) {
  if (mode == IPOL_NORMAL || mode == IPOL_ANTIALIASED) IPolMode = mode;
  return IPolMode;
}

const char* Ipolmode2str(int mode) {
  switch (mode) {
    case IPOL_NORMAL: return "normal";
    case IPOL_ANTIALIASED: return "antialiased";
    default: return "undefined";
  }
}

int Ipolweight(int method) {
  if (method == IPOL_EQUAL || method == IPOL_WEIGHTED) IPolWeight = method;
  return IPolWeight;
}

const char* Ipolweight2str(int method) {
  switch (method) {
    case IPOL_EQUAL: return "equal";
    case IPOL_WEIGHTED: return "weighted";
    default: return "undefined";
  }
}

float Ipolmin(float minimum) {
  if (minimum >= 0.0f) IPolMin = minimum;  // a NaN is not taken either
  return IPolMin;
}

// ---------------------------------------------------------------------------
// Bilinear interpolation

namespace {

// Ipol2ldw for present sum and weight; inlined into Isum2ldw, which takes
// this path for every output pixel of a mapping onto an identical grid.
inline int Interpolate(const float* Data, int Dim_1, int Dim_2, float Dummy,
                       float DDummy, float f_1, float f_2, float* sum,
                       float* weight) {
  *sum = 0.0f;
  *weight = 0.0f;
  if (!Data) return 0;

  float s = 0.0f, w = 0.0f;
  int count = 0;
  // The point must lie on the array or on the half pixel around it:
  // floor(f) >= -1 and floor(f) < Dim, tested before any integer conversion.
  if (f_1 >= -1.0f && f_2 >= -1.0f && static_cast<double>(f_1) < Dim_1 &&
      static_cast<double>(f_2) < Dim_2) {
    int i_1, i_2;
    float r_1, r_2;
    IDX(f_1, i_1, r_1);
    IDX(f_2, i_2, r_2);
    const bool dummies = DUMMYDEFINED(Dummy, DDummy);
    // Adds pixel (j_1, j_2) with weight wgt, in the precision of wgt.
    auto take = [&](int j_1, int j_2, auto wgt) {
      if (j_1 < 0 || j_1 >= Dim_1 || j_2 < 0 || j_2 >= Dim_2) return;
      const float x = Data[j_1 + static_cast<long>(j_2) * Dim_1];
      if (dummies && !(std::fabs(x - Dummy) > DDummy)) return;
      s = static_cast<float>(s + wgt * x);
      w = static_cast<float>(w + wgt);
      ++count;
    };
    if (r_1 < IPOLEPS) {
      if (r_2 < IPOLEPS) {
        take(i_1, i_2, 1.0f);
      } else {
        take(i_1, i_2, 1.0f - r_2);
        take(i_1, i_2 + 1, r_2);
      }
    } else if (r_2 < IPOLEPS) {
      take(i_1, i_2, 1.0f - r_1);
      take(i_1 + 1, i_2, r_1);
    } else {
      const double q_1 = 1.0 - r_1, q_2 = 1.0 - r_2;
      take(i_1, i_2, q_1 * q_2);
      take(i_1 + 1, i_2, r_1 * q_2);
      take(i_1, i_2 + 1, q_1 * r_2);
      take(i_1 + 1, i_2 + 1, r_1 * r_2);  // single precision
    }
  }
  *sum = s;
  *weight = w;
  if (std::fabs(w) < IPolMin) return 0;
  return count;
}

}  // namespace

int Ipol2ldw(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
             float f_1, float f_2, float* sum, float* weight) {
  if (!sum || !weight) return 0;
  return Interpolate(Data, Dim_1, Dim_2, Dummy, DDummy, f_1, f_2, sum, weight);
}

int Ipol2ld(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
            float f_1, float f_2, float* value) {
  if (!value) return 0;
  float weight;
  const int count =
      Ipol2ldw(Data, Dim_1, Dim_2, Dummy, DDummy, f_1, f_2, value, &weight);
  if (count) *value = *value / weight;
  return count;
}

int Ipol2d(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
           float f_1, float f_2, float* value) {
  return Ipol2ld(Data, Dim_1, Dim_2, Dummy, DDummy, f_1, f_2, value);
}

// ---------------------------------------------------------------------------
// Area integration

namespace {

// The cells of one axis that a span [a, b] of array coordinates (pixel k
// spans [k, k + 1]) touches: i1 .. i3 - 1, with w1 the covered part of the
// first cell and w3 (<= 0) the uncovered part of the last one.
struct Span {
  int i1, i3;
  float w1, w3;
};

// Clamps [a, b] (a <= b) to the array of dim cells.  False when the span
// covers nothing of it.
inline bool CoveredSpan(float a, float b, int dim, Span& s) {
  if (a < 0.0f) {
    s.i1 = 0;
    s.w1 = 1.0f;
  } else if (static_cast<double>(a) < dim) {
    const float fl = std::floor(a);
    s.i1 = static_cast<int>(fl);
    s.w1 = 1.0f - (a - fl);
  } else {
    return false;  // beyond the last cell, or NaN
  }
  if (s.i1 >= dim) return false;
  if (static_cast<double>(b) > dim) {
    s.i3 = dim;
    s.w3 = 0.0f;
  } else if (b > 0.0f) {
    const float cl = std::ceil(b);
    s.i3 = static_cast<int>(cl);
    s.w3 = b - cl;
  } else {
    return false;  // before the first cell, or NaN
  }
  // A span of zero length on a cell border covers nothing either.
  return s.i3 > s.i1;
}

// The rectangle after orientation, widening and clamping.
struct Area {
  Span s1, s2;
  float area;   // signed area A before any widening
  float scale;  // factor for sum and weight
  float ratio;  // factor for variance sums
};

// Steps common to all integrations: orders the corners (the sign of the
// area goes into scale), widens small areas in antialiased mode and finds
// the covered cells.  False when the rectangle lies outside the array.
inline bool SetupArea(int Dim_1, int Dim_2, float f1_1, float f1_2, float f3_1,
                      float f3_2, Area& g) {
  const float Df_1 = f3_1 - f1_1, Df_2 = f3_2 - f1_2;
  float sign = 1.0f;
  if (Df_1 < 0.0f) {
    std::swap(f1_1, f3_1);
    sign = -1.0f;
  }
  if (Df_2 < 0.0f) {
    std::swap(f1_2, f3_2);
    sign = -sign;
  }
  float e_1 = std::fabs(Df_1), e_2 = std::fabs(Df_2);
  g.area = Df_1 * Df_2;
  if (IPolMode == IPOL_ANTIALIASED) {
    if (e_1 <= 1.0f) {
      const float c = (f1_1 + f3_1) * 0.5f;
      f1_1 = c - 0.5f;
      f3_1 = c + 0.5f;
      e_1 = 1.0f;
    }
    if (e_2 <= 1.0f) {
      const float c = (f1_2 + f3_2) * 0.5f;
      f1_2 = c - 0.5f;
      f3_2 = c + 0.5f;
      e_2 = 1.0f;
    }
    g.scale = sign * g.area / (e_1 * e_2);
    g.ratio = std::fabs(g.area) / (e_1 * e_2);
  } else {
    g.scale = sign;
    g.ratio = 1.0f;
  }
  return CoveredSpan(f1_1 + 0.5f, f3_1 + 0.5f, Dim_1, g.s1) &&
         CoveredSpan(f1_2 + 0.5f, f3_2 + 0.5f, Dim_2, g.s2);
}

// Hands every contribution (element, weight) of the area to acc.add in the
// order of summation: per row the first cell with its covered part, the
// inner cells whole, then the last cell once more with the (negative)
// uncovered part; the rows likewise, with the row factor u.
template <class Acc>
inline void Visit(const Area& g, long Dim_1, Acc& acc) {
  const Span& s1 = g.s1;
  const Span& s2 = g.s2;
  auto row = [&](long base, float u) {
    acc.add(base + s1.i1, s1.w1 * u);
    const long end = base + s1.i3;
    for (long k = base + s1.i1 + 1; k < end; ++k) acc.add(k, u);
    acc.add(end - 1, s1.w3 * u);
  };
  row(s2.i1 * Dim_1, s2.w1);
  for (long j = s2.i1 + 1; j < s2.i3; ++j) row(j * Dim_1, 1.0f);
  row((s2.i3 - 1L) * Dim_1, s2.w3);
}

// A result is valid when its weight is not negligible and covers at least
// the fraction IPolMin of the area.
inline bool ValidWeight(float weight, float area) {
  const double w = std::fabs(static_cast<double>(weight));
  return w >= 1e-32 && w >= std::fabs(static_cast<double>(area)) * IPolMin;
}

// Plain sums over the pixels that carry data.  Without a defined dummy
// every pixel counts and the test disappears.
template <bool kDummies>
struct PlainSum {
  const float* data;
  float dummy, ddummy;
  float sum = 0.0f, weight = 0.0f;
  int count = 0;

  void add(long k, float w) {
    const float x = data[k];
    if (kDummies) {
      // Branch-free: a rejected pixel adds exact zeros.
      const bool ok = std::fabs(x - dummy) > ddummy;
      sum += ok ? w * x : 0.0f;
      weight += ok ? w : 0.0f;
      count += ok;
    } else {
      sum += w * x;
      weight += w;
      ++count;
    }
  }
};

// What an integration with variances found, before scaling.
struct Sums {
  float sum, weight, varsum;
  bool varknown;
  int count;
};

// Sums with variances of equal weight; data and variance contributions are
// counted apart so that a missing variance can be noticed.
struct EqualSum {
  const float* data;
  const float* var;
  float dummy, ddummy;
  bool dummies;
  float sum = 0.0f, weight = 0.0f, varsum = 0.0f;
  int count = 0, varcount = 0;

  void add(long k, float w) {
    const float x = data[k];
    if (dummies && !(std::fabs(x - dummy) > ddummy)) return;
    sum += w * x;
    weight += w;
    ++count;
    const float v = var ? var[k] : 0.0f;
    if (v >= 0.0f) {
      varsum += w * v;
      ++varcount;
    }
  }

  // Some valid pixel without a valid variance: no variance for the area.
  Sums finish() const {
    return {sum, weight, varsum, count == varcount, count};
  }
};

// Inverse-variance weighted sums.  A pixel of variance 0 ends the weighting
// for good: from then on only pixels of variance 0 are summed, plainly.
struct WeightedSum {
  const float* data;
  const float* var;
  float dummy, ddummy;
  bool dummies;
  bool weighted = true;
  float sum = 0.0f, weight = 0.0f;  // plain sums over variance-0 pixels
  int count = 0;
  float wsum = 0.0f, wweight = 0.0f, plainweight = 0.0f;
  int wcount = 0;

  void add(long k, float w) {
    const float x = data[k];
    if (dummies && !(std::fabs(x - dummy) > ddummy)) return;
    const float v = var ? var[k] : 0.0f;
    if (v == 0.0f) {
      sum += w * x;
      weight += w;
      ++count;
      weighted = false;
    } else if (v > 0.0f && weighted) {
      const float q = 1.0f / v;
      wweight += w * q;
      wsum += w * q * x;
      plainweight += w;
      ++wcount;
    }
  }

  Sums finish() const {
    if (!weighted) return {sum, weight, 0.0f, true, count};
    if (!(wweight > 0.0f && plainweight > 0.0f)) return {0.0f, 0.0f, 0.0f, true, wcount};
    // Normalised by the mean inverse variance m over the covered area, so
    // that weight is the covered area and varsum / weight^2 the variance of
    // the weighted mean (1 / sum of inverse variances for whole pixels).  m
    // is weighted with the coverage of each contribution: the corrections
    // for partly covered pixels cancel out of it.
    const float m = wweight / plainweight;
    return {wsum / m, wweight / m, plainweight / m, true, wcount};
  }
};

// Integration with variances; Acc sums the contributions.
template <class Acc>
int IntegrateWithVariances(const float* Data, const float* VarDat, int Dim_1,
                           int Dim_2, float Dummy, float DDummy, float f1_1,
                           float f1_2, float f3_1, float f3_2, float* sum,
                           float* weight, float* varsum, float* varweight) {
  if (!(sum && weight && varsum && varweight)) return 0;
  *varsum = VarDummy;
  *varweight = 0.0f;
  *sum = 0.0f;
  *weight = 0.0f;
  if (!Data) return 0;
  Area g;
  if (!SetupArea(Dim_1, Dim_2, f1_1, f1_2, f3_1, f3_2, g)) return 0;
  *varsum = 0.0f;

  Acc acc{Data, VarDat, Dummy, DDummy, DUMMYDEFINED(Dummy, DDummy)};
  Visit(g, Dim_1, acc);
  const Sums r = acc.finish();
  *sum = r.sum * g.scale;
  *weight = r.weight * g.scale;
  *varsum = r.varknown ? r.varsum * g.ratio : VarDummy;
  *varweight = std::fabs(*weight);
  return ValidWeight(*weight, g.area) ? r.count : 0;
}

}  // namespace

namespace {

// Isum2ldw but for its fast path: kept out of line, so that the fast path
// pays for no more than it uses.
[[gnu::noinline]] int IntegrateArea(const float* Data, int Dim_1, int Dim_2,
                                    float Dummy, float DDummy, float f1_1,
                                    float f1_2, float f3_1, float f3_2,
                                    float* sum, float* weight) {
  // An area of exactly one pixel: interpolation at its centre.
  if (f3_1 - f1_1 == 1.0f && f3_2 - f1_2 == 1.0f)
    return Interpolate(Data, Dim_1, Dim_2, Dummy, DDummy, f1_1 + 0.5f,
                       f1_2 + 0.5f, sum, weight);
  *sum = 0.0f;
  *weight = 0.0f;
  if (!Data) return 0;
  Area g;
  if (!SetupArea(Dim_1, Dim_2, f1_1, f1_2, f3_1, f3_2, g)) return 0;

  float s, w;
  int count;
  if (DUMMYDEFINED(Dummy, DDummy)) {
    PlainSum<true> acc{Data, Dummy, DDummy};
    Visit(g, Dim_1, acc);
    s = acc.sum, w = acc.weight, count = acc.count;
  } else {
    PlainSum<false> acc{Data, Dummy, DDummy};
    Visit(g, Dim_1, acc);
    s = acc.sum, w = acc.weight, count = acc.count;
  }
  *sum = s * g.scale;
  *weight = w * g.scale;
  return ValidWeight(*weight, g.area) ? count : 0;
}

}  // namespace

int Isum2ldw(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
             float f1_1, float f1_2, float f3_1, float f3_2, float* sum,
             float* weight) {
  if (!sum || !weight) return 0;
  // Fast path for the mapping onto an identical grid: an area of one pixel
  // whose centre lies on a pixel centre inside the array is that pixel
  // (the interpolation's result, computed directly).
  if (f3_1 - f1_1 == 1.0f && f3_2 - f1_2 == 1.0f && Data) {
    const float f_1 = f1_1 + 0.5f, f_2 = f1_2 + 0.5f;
    if (f_1 >= 0.0f && f_2 >= 0.0f && f_1 < 2e9f && f_2 < 2e9f) {
      const int i_1 = static_cast<int>(f_1), i_2 = static_cast<int>(f_2);
      if (i_1 < Dim_1 && i_2 < Dim_2 && f_1 - static_cast<float>(i_1) < IPOLEPS &&
          f_2 - static_cast<float>(i_2) < IPOLEPS) {
        const float x = Data[i_1 + static_cast<long>(i_2) * Dim_1];
        const bool valid = NODUMMY(x, Dummy, DDummy);
        *sum = valid ? 0.0f + x : 0.0f;
        *weight = valid ? 1.0f : 0.0f;
        return *weight < IPolMin ? 0 : valid;
      }
    }
  }
  return IntegrateArea(Data, Dim_1, Dim_2, Dummy, DDummy, f1_1, f1_2, f3_1,
                       f3_2, sum, weight);
}

int Isum2ldwEe(const float* Data, const float* VarDat, int Dim_1, int Dim_2,
               float Dummy, float DDummy, float f1_1, float f1_2, float f3_1,
               float f3_2, float* sum, float* weight, float* varsum,
               float* varweight) {
  return IntegrateWithVariances<EqualSum>(Data, VarDat, Dim_1, Dim_2, Dummy,
                                          DDummy, f1_1, f1_2, f3_1, f3_2, sum,
                                          weight, varsum, varweight);
}

int Isum2ldwEw(const float* Data, const float* VarDat, int Dim_1, int Dim_2,
               float Dummy, float DDummy, float f1_1, float f1_2, float f3_1,
               float f3_2, float* sum, float* weight, float* varsum,
               float* varweight) {
  return IntegrateWithVariances<WeightedSum>(Data, VarDat, Dim_1, Dim_2, Dummy,
                                             DDummy, f1_1, f1_2, f3_1, f3_2,
                                             sum, weight, varsum, varweight);
}

int Isum2ldwE(const float* Data, const float* VarDat, int Dim_1, int Dim_2,
              float Dummy, float DDummy, float f1_1, float f1_2, float f3_1,
              float f3_2, float* sum, float* weight, float* varsum,
              float* varweight) {
  switch (IPolWeight) {
    case IPOL_EQUAL:
      return Isum2ldwEe(Data, VarDat, Dim_1, Dim_2, Dummy, DDummy, f1_1, f1_2,
                        f3_1, f3_2, sum, weight, varsum, varweight);
    case IPOL_WEIGHTED:
      return Isum2ldwEw(Data, VarDat, Dim_1, Dim_2, Dummy, DDummy, f1_1, f1_2,
                        f3_1, f3_2, sum, weight, varsum, varweight);
    default:
      return 0;
  }
}
