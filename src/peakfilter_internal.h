// peakfilter: internals shared by the reference filter, the dispatcher and
// the vector kernels.
//
// How the fast filter stays exact.  Every output pixel is still computed by
// the same sequence of single-precision operations as in the reference: the
// window is summed row by row in mask order, then mean, variance and the two
// tests follow.  The vectors only put neighbouring output pixels of one row
// side by side, one pixel per lane, so each lane performs exactly the
// reference's operations on its own pixel.
//
// Positions that the reference skips (outside the image, or dummies) are
// given the value 0 and a weight bit 0 in a small tile buffer, so that the
// kernel adds +0 or -0 instead of skipping.  Adding a zero never changes a
// sum that starts at +0: in round-to-nearest such a sum is never -0, and x
// + (+-0) == x for every other x, not-a-number included.  This needs finite
// weights (0 * infinity is not zero); masks with other weights go to the
// reference filter.
//
// The tile buffers live on the stack: the filter allocates no memory.
//
// The vector kernels are templates in an unnamed namespace, so that every
// file that instantiates them gets its own private copy.  A file that builds
// them for a wider instruction set defines PEAKFILTER_KERNEL_TARGET as the
// GCC target pragma before including this header; the pragma then applies
// to the kernel templates only, never to the inline functions above them,
// which every file shares.
#ifndef SRC_PEAKFILTER_INTERNAL_H
#define SRC_PEAKFILTER_INTERNAL_H

#include <cmath>
#include <cstdint>
#include <cstring>

namespace peakfilter_detail {

// Sums of weights below this value count as no weight at all.
constexpr float kEps = 1e-32f;
// A dummy value is defined only when its magnitude exceeds max(ddummy, this).
constexpr double kMinDDummy = 0.1;

// The dummy test of the filter: the difference in single precision, the
// bound of a defined dummy in double precision.
class DummyTest {
 public:
  DummyTest(float dummy, float ddummy) : dummy_(dummy), ddummy_(ddummy) {
    const double bound = ddummy > kMinDDummy ? static_cast<double>(ddummy) : kMinDDummy;
    defined_ = std::fabs(static_cast<double>(dummy)) > bound;
  }
  bool defined() const { return defined_; }
  bool operator()(float v) const { return defined_ && std::fabs(v - dummy_) <= ddummy_; }

 private:
  float dummy_;
  float ddummy_;
  bool defined_;
};

// Instruction sets of the vector kernel.
enum class Isa { Portable, Avx2, Avx512 };
constexpr Isa kAllIsas[] = {Isa::Portable, Isa::Avx2, Isa::Avx512};

// Whether this processor (and its operating system) can run the kernel.
bool isa_supported(Isa isa);
// "portable", "avx2", "avx512".
const char* isa_name(Isa isa);
// The widest supported instruction set (what peakfilter uses).
Isa best_isa();

// The fast filter with the vector kernel of isa, which must be supported.
// It hands the unusual cases (no mask, empty or non-finite or very large
// mask, debug listing) to peakfilter_reference.
float* peakfilter_fast(Isa isa, float* out, const float* in, long dim_1, long dim_2,
                       float dummy, float ddummy, const float* msk, long mdim_1,
                       long mdim_2, float chi2, float max, int mode, int debug,
                       long* pchanged);

// Output columns per tile: a multiple of every kernel's group width.
constexpr long kTileWidth = 64;
// Floats in each of the three tile buffers; a tile holds the input rows and
// columns that the windows of its output pixels touch.
constexpr long kTileFloats = 8192;
// The most buffer rows a tile can have (each row is at least kTileWidth wide).
constexpr long kTileMaxRows = kTileFloats / kTileWidth;

// Everything the kernel needs of one call.
struct Job {
  float* out;
  const float* in;
  long dim_1;
  long dim_2;
  float dummy;
  float ddummy;
  bool dummy_defined;
  const float* msk;
  long mdim_1;
  long mdim_2;
  long mcen_1;
  long mcen_2;
  float chi2;
  float max;
  int mode;
  float w0;       // centre weight
  float total_w;  // all weights summed in mask order
  long tile_rows;  // output rows per tile
};

// The kernel for each instruction set; returns the number of replaced pixels.
long run_tiles_portable(const Job& job);
long run_tiles_avx2(const Job& job);
long run_tiles_avx512(const Job& job);

#ifdef PEAKFILTER_KERNEL_TARGET
#pragma GCC push_options
PEAKFILTER_KERNEL_TARGET
#endif

namespace {

// N lanes of floats and of 32-bit integers (masks: all bits set or clear).
template <int N>
struct Lanes {
  typedef float F __attribute__((vector_size(N * 4)));
  typedef std::int32_t I __attribute__((vector_size(N * 4)));
};

template <int N, int G>
struct Kernel {
  using F = typename Lanes<N>::F;
  using I = typename Lanes<N>::I;

  static F load(const float* p) {
    F v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static I load(const std::int32_t* p) {
    I v;
    std::memcpy(&v, p, sizeof v);
    return v;
  }
  static void store(float* p, F v) { std::memcpy(p, &v, sizeof v); }
  static void store(std::int32_t* p, I v) { std::memcpy(p, &v, sizeof v); }
  // s in every lane (s - (+0) is s for every s, -0 included, so this is a
  // plain broadcast).
  static F splat(float s) { return s - F{}; }
  // Casts between vectors of one size reinterpret the bits.
  static F bits(I m) { return (F)m; }
  static I bits(F v) { return (I)v; }
  static F fabs(F v) { return bits(bits(v) & 0x7fffffff); }
  static F select(I m, F a, F b) { return bits((bits(a) & m) | (bits(b) & ~m)); }

  // Fills the tile buffers for the output tile whose first pixel is (x0,
  // y0): buffer (c, r) holds image pixel (x0 - mcen_1 + c, y0 - mcen_2 + r)
  // as value, square and validity bits, or zeros where that pixel lies
  // outside the image or is a dummy.  full[r] tells whether row r is valid
  // throughout.
  static void prepare(const Job& j, long x0, long y0, long bw, long bh, float* ci,
                      float* ci2, std::int32_t* vb, bool* full) {
    const F dummy = splat(j.dummy);
    const F ddummy = splat(j.ddummy);
    const DummyTest is_dummy(j.dummy, j.ddummy);
    const long xs = x0 - j.mcen_1;
    const long lo = xs < 0 ? -xs : 0;
    const long hi = j.dim_1 - xs < bw ? j.dim_1 - xs : bw;
    for (long r = 0; r < bh; ++r) {
      float* pci = ci + r * bw;
      float* pci2 = ci2 + r * bw;
      std::int32_t* pvb = vb + r * bw;
      const long yy = y0 - j.mcen_2 + r;
      if (yy < 0 || yy >= j.dim_2) {
        std::memset(pci, 0, bw * sizeof(float));
        std::memset(pci2, 0, bw * sizeof(float));
        std::memset(pvb, 0, bw * sizeof(std::int32_t));
        full[r] = false;
        continue;
      }
      for (long c = 0; c < lo; ++c) pci[c] = pci2[c] = 0.0f, pvb[c] = 0;
      for (long c = hi; c < bw; ++c) pci[c] = pci2[c] = 0.0f, pvb[c] = 0;
      const float* src = j.in + yy * j.dim_1 + xs;
      I invalid = I{};
      long c = lo;
      for (; c + N <= hi; c += N) {
        const F v = load(src + c);
        I valid = ~I{};
        if (j.dummy_defined) valid = ~(fabs(v - dummy) <= ddummy);
        store(pci + c, bits(bits(v) & valid));
        store(pci2 + c, bits(bits(v * v) & valid));
        store(pvb + c, valid);
        invalid |= ~valid;
      }
      bool any_invalid = false;
      for (int l = 0; l < N; ++l) any_invalid = any_invalid || invalid[l] != 0;
      for (; c < hi; ++c) {
        const float v = src[c];
        const bool valid = !is_dummy(v);
        pci[c] = valid ? v : 0.0f;
        pci2[c] = valid ? v * v : 0.0f;
        pvb[c] = valid ? -1 : 0;
        any_invalid = any_invalid || !valid;
      }
      full[r] = lo == 0 && hi == bw && !any_invalid;
    }
  }

  // Asks for the input pixels of the tile at (x0, y0) to be fetched into
  // the cache while this tile is being filtered.
  static void prefetch(const Job& j, long x0, long y0, long bw, long bh) {
    const long xs = x0 - j.mcen_1 < 0 ? 0 : x0 - j.mcen_1;
    const long xe = x0 - j.mcen_1 + bw < j.dim_1 ? x0 - j.mcen_1 + bw : j.dim_1;
    for (long r = 0; r < bh; ++r) {
      const long yy = y0 - j.mcen_2 + r;
      if (yy < 0 || yy >= j.dim_2) continue;
      const float* row = j.in + yy * j.dim_1;
      for (long x = xs; x < xe; x += 16) __builtin_prefetch(row + x, 0, 2);
      __builtin_prefetch(row + xe - 1, 0, 2);
    }
  }

  // Filters G * N output pixels of tile row y, from tile column x on.  With
  // Plain every position of their windows is valid and every sum of weights
  // is the sum of the whole mask.  Adds the replaced pixels to count.
  template <bool Plain>
  static void group(const Job& j, const float* ci, const float* ci2,
                    const std::int32_t* vb, long bw, long x0, long y0, long x, long y,
                    I& count) {
    F si[G];
    F si2[G];
    F sw[G];
    for (int g = 0; g < G; ++g) si[g] = si2[g] = sw[g] = F{};

    for (long k2 = 0; k2 < j.mdim_2; ++k2) {
      const float* r1 = ci + (y + k2) * bw + x;
      const float* r2 = ci2 + (y + k2) * bw + x;
      const std::int32_t* rv = vb + (y + k2) * bw + x;
      const float* wrow = j.msk + k2 * j.mdim_1;
      for (long k1 = 0; k1 < j.mdim_1; ++k1) {
        const F w = splat(wrow[k1]);
#pragma GCC unroll 8
        for (int g = 0; g < G; ++g) {
          si[g] += load(r1 + k1 + g * N) * w;
          si2[g] += load(r2 + k1 + g * N) * w;
          if (!Plain) sw[g] += bits(bits(w) & load(rv + k1 + g * N));
        }
      }
    }

    const F eps = splat(kEps);
    const F dummy = splat(j.dummy);
#pragma GCC unroll 8
    for (int g = 0; g < G; ++g) {
      const long px = x0 + x + g * N;
      if (px >= j.dim_1) break;
      const long n = j.dim_1 - px < N ? j.dim_1 - px : N;
      const float* pin = j.in + (y0 + y) * j.dim_1 + px;
      F v;
      if (n == N) {
        v = load(pin);
      } else {
        float tmp[N] = {};
        std::memcpy(tmp, pin, n * sizeof(float));
        v = load(tmp);
      }
      const F sumw = Plain ? splat(j.total_w) : sw[g];
      I consider = sumw >= eps;
      if (j.dummy_defined) consider &= ~(fabs(v - dummy) <= splat(j.ddummy));

      const F mean = si[g] / sumw;
      const F var = si2[g] / sumw - mean * mean;
      const F diff = mean - v;
      const F diff2 = diff * diff;
      const I significant = (fabs(diff2) > eps) & (fabs(var) > eps);
      const F xi2 = bits(bits(diff2 / var) & significant);
      I bad = consider & (xi2 > splat(j.chi2)) & (fabs(diff) > splat(j.max));

      F replacement = dummy;
      if (j.mode == 1) {
        const F w0 = splat(j.w0);
        const F rest = sumw - w0;
        replacement = select(rest >= eps, (si[g] - w0 * v) / rest, dummy);
      }
      const F result = select(bad, replacement, v);
      if (n == N) {
        store(j.out + (y0 + y) * j.dim_1 + px, result);
      } else {
        for (long l = 0; l < n; ++l) j.out[(y0 + y) * j.dim_1 + px + l] = result[l];
        for (long l = n; l < N; ++l) bad[l] = 0;
      }
      count -= bad;
    }
  }

  static long run(const Job& j) {
    static_assert(kTileWidth % (G * N) == 0, "tile width must hold whole groups");
    alignas(64) float ci[kTileFloats];
    alignas(64) float ci2[kTileFloats];
    alignas(64) std::int32_t vb[kTileFloats];
    bool full[kTileMaxRows];
    const long bw = kTileWidth + j.mdim_1 - 1;
    long changed = 0;
    for (long y0 = 0; y0 < j.dim_2; y0 += j.tile_rows) {
      const long rows = j.dim_2 - y0 < j.tile_rows ? j.dim_2 - y0 : j.tile_rows;
      const long bh = rows + j.mdim_2 - 1;
      for (long x0 = 0; x0 < j.dim_1; x0 += kTileWidth) {
        prepare(j, x0, y0, bw, bh, ci, ci2, vb, full);
        // The input rows of the next tile are short pieces far apart, which
        // the processor does not fetch ahead by itself.
        if (x0 + kTileWidth < j.dim_1) prefetch(j, x0 + kTileWidth, y0, bw, bh);
        I count = I{};
        for (long y = 0; y < rows; ++y) {
          bool plain = true;
          for (long k2 = 0; k2 < j.mdim_2; ++k2) plain = plain && full[y + k2];
          for (long x = 0; x < kTileWidth && x0 + x < j.dim_1; x += G * N) {
            if (plain) {
              group<true>(j, ci, ci2, vb, bw, x0, y0, x, y, count);
            } else {
              group<false>(j, ci, ci2, vb, bw, x0, y0, x, y, count);
            }
          }
        }
        for (int l = 0; l < N; ++l) changed += count[l];
      }
    }
    return changed;
  }
};

}  // namespace

#ifdef PEAKFILTER_KERNEL_TARGET
#pragma GCC pop_options
#endif

}  // namespace peakfilter_detail

#endif
