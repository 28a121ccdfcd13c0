// KeloImage: conditioning of images in place: clipping, gnawing, binning,
// per-pixel value and variance programs, linear transformation, marking.
//
// Every routine keeps the dummy convention of wibpack/ipol.h: a pixel is a
// dummy when it equals the dummy value within its tolerance and the dummy
// value is defined at all; variances use -1 (VarDummy) with tolerance 0.1.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <cstdio>
#include <new>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "wibpack/ipol.h"
#include "wibpack/numio.h"

namespace {

// Tolerance of the variance dummy VarDummy.
constexpr float VarDDummy = 0.1f;

size_t pixels(long dim_1, long dim_2) {
  if (dim_1 <= 0 || dim_2 <= 0) return 0;
  return static_cast<size_t>(dim_1) * static_cast<size_t>(dim_2);
}

// The mark drawn into the dummy pixels of written images: 80 rows of 8
// cells, the word KELOFILTER read from top to bottom.  The last row lies
// on image row 0, the first column on image column 0.
constexpr int MarkRows = 80;
constexpr int MarkCols = 8;
const char* const Mark[MarkRows] = {
    // K
    ".#...#..", ".#..#...", ".#.#....", ".##.....", ".#.#....", ".#..#...", ".#...#..",
    "........",
    // E
    ".#####..", ".#......", ".#......", ".####...", ".#......", ".#......", ".#####..",
    "........",
    // L
    ".#......", ".#......", ".#......", ".#......", ".#......", ".#......", ".#####..",
    "........",
    // O
    "..###...", ".#...#..", ".#...#..", ".#...#..", ".#...#..", ".#...#..", "..###...",
    "........",
    // F
    ".#####..", ".#......", ".#......", ".####...", ".#......", ".#......", ".#......",
    "........",
    // I
    "..###...", "...#....", "...#....", "...#....", "...#....", "...#....", "..###...",
    "........",
    // L
    ".#......", ".#......", ".#......", ".#......", ".#......", ".#......", ".#####..",
    "........",
    // T
    ".#####..", "...#....", "...#....", "...#....", "...#....", "...#....", "...#....",
    "........",
    // E
    ".#####..", ".#......", ".#......", ".####...", ".#......", ".#......", ".#####..",
    "........",
    // R
    ".####...", ".#...#..", ".#...#..", ".####...", ".#.#....", ".#..#...", ".#...#..",
    "........"};

}  // namespace

void clip_data_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy, float ddummy,
                  float minclip, int minclipI, float maxclip, int maxclipI) {
  const size_t n = pixels(dim_1, dim_2);
  if (!data || n == 0 || (!minclipI && !maxclipI)) return;
  const bool defined = DUMMYDEFINED(dummy, ddummy);
  // Without a defined dummy a clipped pixel takes the clip value itself.
  const float low = defined ? dummy : minclip;
  const float high = defined ? dummy : maxclip;
  for (size_t i = 0; i < n; ++i) {
    const float v = data[i];
    if (defined && DUMMY(v, dummy, ddummy)) continue;
    if (minclipI && v < minclip) {
      data[i] = low;
      if (vardat) vardat[i] = VarDummy;
    } else if (maxclipI && v > maxclip) {
      data[i] = high;
      if (vardat) vardat[i] = VarDummy;
    }
  }
}

void gnaw_data_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy, float ddummy,
                  long gnaw_1, long gnaw_2, int* pstatus) {
  *pstatus = Success;
  const size_t n = pixels(dim_1, dim_2);
  if ((gnaw_1 < 1 && gnaw_2 < 1) || !data || n == 0) return;
  if (NODUMMYDEFINED(dummy, ddummy)) return;
  // Gnaw values beyond 2^31 - 1 pixels count as that, so that the ellipse
  // test below stays exact in 128-bit integers.
  constexpr long MaxGnaw = 0x7fffffff;
  const long g1 = std::min(std::max(gnaw_1, 0L), MaxGnaw);
  const long g2 = std::min(std::max(gnaw_2, 0L), MaxGnaw);
  // Offsets that leave the image reach no pixel: the ranges end there.
  const long r1 = std::min(g1, dim_1 - 1);
  const long r2 = std::min(g2, dim_2 - 1);

  // The ellipse of half-axes sqrt(g1^2+1) and sqrt(g2^2+1), row by row:
  // row offset k2 covers the offsets k1 = -half[k2 + r2] .. half[k2 + r2].
  using Wide = __int128;
  const Wide a = static_cast<Wide>(g1) * g1 + 1;
  const Wide b = static_cast<Wide>(g2) * g2 + 1;
  std::unique_ptr<long[]> half(new (std::nothrow) long[2 * r2 + 1]);
  // Marks first, so that marked pixels do not spread further.
  std::unique_ptr<uint16_t[]> marks(new (std::nothrow) uint16_t[n]());
  if (!half || !marks) {
    *pstatus = NotEnoughMemoryAvailable;
    return;
  }
  for (long k2 = -r2; k2 <= r2; ++k2) {
    long w = -1;
    for (long k1 = 0; k1 <= r1; ++k1) {
      if (static_cast<Wide>(k2) * k2 * a + static_cast<Wide>(k1) * k1 * b > a * b) break;
      w = k1;
    }
    half[k2 + r2] = w;
  }

  for (long j2 = 0; j2 < dim_2; ++j2) {
    const float* row = data + j2 * dim_1;
    for (long j1 = 0; j1 < dim_1; ++j1) {
      if (!DUMMY(row[j1], dummy, ddummy)) continue;
      const long first2 = std::max(j2 - r2, 0L);
      const long last2 = std::min(j2 + r2, dim_2 - 1);
      for (long k2 = first2; k2 <= last2; ++k2) {
        const long w = half[k2 - j2 + r2];
        const long first1 = std::max(j1 - w, 0L);
        const long last1 = std::min(j1 + w, dim_1 - 1);
        uint16_t* mrow = marks.get() + k2 * dim_1;
        for (long k1 = first1; k1 <= last1; ++k1) mrow[k1] = 1;
      }
    }
  }
  for (size_t i = 0; i < n; ++i) {
    if (!marks[i]) continue;
    data[i] = dummy;
    if (vardat) vardat[i] = VarDummy;
  }
}

namespace {

// Binning of data and (optionally) variances; see rebin_data_2d.
void rebin(const float* dataIn, float* dataOut, const float* vardatIn, float* vardatOut,
           long* dim_1, long* dim_2, float dummy, float ddummy, long bin_1, long bin_2,
           int ave) {
  const long b1 = bin_1 > 0 ? bin_1 : 1;
  const long b2 = bin_2 > 0 ? bin_2 : 1;
  const bool var = vardatIn && vardatOut;
  if (b1 <= 1 && b2 <= 1 && dataIn == dataOut && (!var || vardatIn == vardatOut)) return;
  const long d1 = *dim_1;
  const long d2 = *dim_2;
  const long n1 = d1 > 0 ? d1 / b1 : 0;
  const long n2 = d2 > 0 ? d2 / b2 : 0;
  // Each output pixel lies at or before the first input pixel of its block,
  // and all later blocks lie behind it: the arrays may be the same.
  for (long i2 = 0; i2 < n2; ++i2) {
    for (long i1 = 0; i1 < n1; ++i1) {
      float sum = 0.0f;
      float vsum = 0.0f;
      long count = 0;
      for (long k2 = 0; k2 < b2; ++k2) {
        const long base = (i2 * b2 + k2) * d1 + i1 * b1;
        for (long k1 = 0; k1 < b1; ++k1) {
          const float v = dataIn[base + k1];
          if (!NODUMMY(v, dummy, ddummy)) continue;
          sum += v;
          if (var) {
            const float e = vardatIn[base + k1];
            if (e > 0.0f) vsum += e;
          }
          ++count;
        }
      }
      const long out = i1 + i2 * n1;
      if (count == 0) {
        dataOut[out] = dummy;
        if (var) vardatOut[out] = VarDummy;
      } else if (ave) {
        const float c = static_cast<float>(count);
        dataOut[out] = sum / c;
        if (var) vardatOut[out] = vsum / (c * c);
      } else {
        dataOut[out] = sum;
        if (var) vardatOut[out] = vsum;
      }
    }
  }
  *dim_1 = n1;
  *dim_2 = n2;
}

}  // namespace

void rebin_float_2d(const float* dataIn, float* dataOut, long* dim_1, long* dim_2, float dummy,
                    float ddummy, long bin_1, long bin_2, int ave) {
  rebin(dataIn, dataOut, nullptr, nullptr, dim_1, dim_2, dummy, ddummy, bin_1, bin_2, ave);
}

void rebin_data_2d(const float* dataIn, float* dataOut, const float* vardatIn, float* vardatOut,
                   long* dim_1, long* dim_2, float dummy, float ddummy, long bin_1, long bin_2,
                   int ave) {
  rebin(dataIn, dataOut, vardatIn, vardatOut, dim_1, dim_2, dummy, ddummy, bin_1, bin_2, ave);
}

void prog_data_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy, float ddummy,
                  NumProg* prog, int* pstatus) {
  *pstatus = Success;
  const size_t n = pixels(dim_1, dim_2);
  if (!data || !prog || n == 0) return;
  const bool defined = DUMMYDEFINED(dummy, ddummy);
  int errval = 0;
  const bool uses_value = num_chkvar(prog, 1, &errval) > 0;
  for (size_t i = 0; i < n; ++i) {
    const float v = data[i];
    if (defined && DUMMY(v, dummy, ddummy)) {
      if (vardat) vardat[i] = VarDummy;
      continue;
    }
    errval = 0;
    const double y = num_runprog(prog, &errval, static_cast<double>(v));
    if (errval) continue;  // a pixel that cannot be evaluated stays as it is
    data[i] = static_cast<float>(y);
    if (!vardat) continue;
    if (!uses_value) {
      vardat[i] = 0.0f;
      continue;
    }
    const float e = vardat[i];
    if (e > 0.0f) {
      errval = 0;
      const double y1 =
          num_runprog(prog, &errval, static_cast<double>(v) + std::sqrt(static_cast<double>(e)));
      if (!errval) {
        const double d = y - y1;
        vardat[i] = static_cast<float>(d * d);
      }
    } else if (!defined) {
      vardat[i] = 0.0f;
    }
  }
}

void prog_vardat_2d(float* data, float* vardat, long dim_1, long dim_2, float dummy,
                    float ddummy, NumProg* prog, int* pstatus) {
  *pstatus = Success;
  const size_t n = pixels(dim_1, dim_2);
  if (!data || !vardat || !prog || n == 0) return;
  const bool defined = DUMMYDEFINED(dummy, ddummy);
  for (size_t i = 0; i < n; ++i) {
    const float v = data[i];
    if (defined && DUMMY(v, dummy, ddummy)) {
      vardat[i] = VarDummy;
      continue;
    }
    const float e = vardat[i] > 0.0f ? vardat[i] : 0.0f;
    int errval = 0;
    const double y =
        num_runprog(prog, &errval, static_cast<double>(v), static_cast<double>(e));
    if (!errval) vardat[i] = static_cast<float>(y);
  }
}

void transform_float_2d(float* data, long dim_1, long dim_2, float dummy, float ddummy,
                        float factor, float constant) {
  const size_t n = pixels(dim_1, dim_2);
  if (!data || n == 0) return;
  if (std::fabs(static_cast<double>(factor) - 1.0) <= static_cast<double>(1e-9f) &&
      std::fabs(static_cast<double>(constant)) <= 1e-30)
    return;
  if (NODUMMYDEFINED(dummy, ddummy)) {
    for (size_t i = 0; i < n; ++i) data[i] = factor * data[i] + constant;
    return;
  }
  for (size_t i = 0; i < n; ++i) {
    const float v = data[i];
    data[i] = DUMMY(v, dummy, ddummy) ? v : factor * v + constant;
  }
}

void mark_float_2d(float* array, long d_1, long d_2, float d, float dd) {
  if (!array || d_1 <= 0 || d_2 <= 0 || NODUMMYDEFINED(d, dd)) return;
  const long rows = d_2 < MarkRows ? d_2 : MarkRows;
  const long cols = d_1 < MarkCols ? d_1 : MarkCols;
  const float marked = static_cast<float>(static_cast<double>(d) + static_cast<double>(dd) * 0.5);
  for (long r = 0; r < rows; ++r) {
    const char* cells = Mark[MarkRows - 1 - r];
    float* row = array + r * d_1;
    for (long c = 0; c < cols; ++c)
      if (cells[c] == '#' && DUMMY(row[c], d, dd)) row[c] = marked;
  }
}

void condition_2d(ImgHeadBlk* pihb, IO_float MinClip, IO_float MaxClip, IO_long Gnaw_1,
                  IO_long Gnaw_2, IO_long Bin_1, IO_long Bin_2, IO_prog Val, IO_prog ErrVal,
                  IO_float Factor, IO_float Const, IO_long Ave, long /*Orientation*/,
                  int Simulate, int TestBit, int* pstatus) {
  *pstatus = Success;
  ImgHeadBlk& h = *pihb;
  const float dummy = h.Dummy.V;
  const float ddummy = h.DDummy.V;

  if ((MinClip.I || MaxClip.I) && !Simulate) {
    if (TestBit >= 2) printf(" --- clip_data_2d\n");
    clip_data_2d(h.Data, h.VarDat, h.Dim[1], h.Dim[2], dummy, ddummy, MinClip.V, MinClip.I,
                 MaxClip.V, MaxClip.I);
  }

  if ((Gnaw_1.I || Gnaw_2.I) && !Simulate) {
    if (TestBit >= 2) printf(" --- gnaw_data_2d\n");
    gnaw_data_2d(h.Data, h.VarDat, h.Dim[1], h.Dim[2], dummy, ddummy, Gnaw_1.V, Gnaw_2.V,
                 pstatus);
    if (*pstatus != Success) return;
  }

  const long b1 = Bin_1.I && Bin_1.V > 0 ? Bin_1.V : 1;
  const long b2 = Bin_2.I && Bin_2.V > 0 ? Bin_2.V : 1;
  if (b1 > 1 || b2 > 1) {
    if (Simulate) {
      h.Dim[1] /= b1;
      h.Dim[2] /= b2;
    } else if (h.VarDat) {
      if (TestBit >= 2) printf(" --- rebin_data_2d\n");
      rebin_data_2d(h.Data, h.Data, h.VarDat, h.VarDat, &h.Dim[1], &h.Dim[2], dummy, ddummy,
                    b1, b2, static_cast<int>(Ave.V));
    } else {
      if (TestBit >= 2) printf(" --- rebin_float_2d\n");
      rebin_float_2d(h.Data, h.Data, &h.Dim[1], &h.Dim[2], dummy, ddummy, b1, b2,
                     static_cast<int>(Ave.V));
    }
    const long bins[3] = {1, b1, b2};
    for (int k = 1; k <= 2; ++k) {
      const double b = static_cast<double>(bins[k]);
      h.Offset[k].V = static_cast<float>(static_cast<double>(h.Offset[k].V) / b);
      h.BinSiz[k].V = static_cast<float>(static_cast<double>(h.BinSiz[k].V) * b);
      h.PixSiz[k].V = static_cast<float>(static_cast<double>(h.PixSiz[k].V) * b);
      h.Center[k].V = static_cast<float>(static_cast<double>(h.Center[k].V) / b);
      h.BinSiz[k].I = 1;
    }
  }

  if (Val.I && !Simulate) {
    if (TestBit >= 2) printf(" --- prog_data_2d\n");
    prog_data_2d(h.Data, h.VarDat, h.Dim[1], h.Dim[2], dummy, ddummy, Val.V, pstatus);
    if (*pstatus != Success) return;
  }

  if (h.VarDat && ErrVal.I && !Simulate) {
    if (TestBit >= 2) printf(" --- prog_vardat_2d\n");
    prog_vardat_2d(h.Data, h.VarDat, h.Dim[1], h.Dim[2], dummy, ddummy, ErrVal.V, pstatus);
    if (*pstatus != Success) return;
  }

  if ((Factor.I || Const.I) && !Simulate) {
    if (TestBit >= 2) printf(" --- transform_float_2d\n");
    transform_float_2d(h.Data, h.Dim[1], h.Dim[2], dummy, ddummy, Factor.V, Const.V);
    if (h.VarDat) {
      if (TestBit >= 2) printf(" --- transform_float_2d variance array\n");
      transform_float_2d(h.VarDat, h.Dim[1], h.Dim[2], VarDummy, VarDDummy,
                         Factor.V * Factor.V, 0.0f);
    }
  }
}
