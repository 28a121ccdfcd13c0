// KeloRoutine: the range of output pixels covered by the images of a step
// and the input areas that one output pixel covers.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "kelopack/KeloRoutine.h"

namespace {

// For an index coordinate x: the pixel that contains x as a lower border,
// and the pixel that contains x as an upper border (a border exactly between
// two pixels selects the inner one).
inline double ROUND1(double x) { return std::floor(x + 0.5); }
inline double ROUND3(double x) { return std::ceil(x - 0.5); }

// The reference arrays of axis coordinate; any other axis ends the program.
void SelectAxis(int coordinate, const char* which, const char* routine, const float* Off_1,
                const float* Ps_1, const float* Off_2, const float* Ps_2, const float** Off,
                const float** Ps) {
  switch (coordinate) {
    case 1: *Off = Off_1; *Ps = Ps_1; return;
    case 2: *Off = Off_2; *Ps = Ps_2; return;
    default:
      fprintf(stderr, "ERROR: Undefined %s coordinate %d in %s\n", which, coordinate, routine);
      exit(-1);
  }
}

// World extent [lo, hi] of Dim pixels with reference parameters Off, Ps:
// the outer pixel borders, index coordinates -0.5 and Dim - 0.5.
void Extent(float Off, float Ps, long Dim, float* lo, float* hi) {
  const float a = static_cast<float>((static_cast<double>(Off) - 0.5) * Ps);
  const float b =
      static_cast<float>((static_cast<double>(Off) + static_cast<double>(Dim) - 0.5) * Ps);
  *lo = std::min(a, b);
  *hi = std::max(a, b);
}

// Intersection (small) or union (large) of the world extents.
void GetRectangle(bool small, const char* routine, const ImgHeadBlk* ihb, int OutCoordinate,
                  int InCoordinate, int OutImage, int MinImage, int MaxImage,
                  const float* Off_1, const float* Ps_1, const float* Off_2,
                  const float* Ps_2, float* W1, float* W3) {
  const float *InOff, *InPs;
  SelectAxis(InCoordinate, "input", routine, Off_1, Ps_1, Off_2, Ps_2, &InOff, &InPs);

  const int first = std::max(0, MinImage);
  float lo, hi;
  if (OutImage < 0) {
    Extent(InOff[first], InPs[first], ihb[first].Dim[InCoordinate], &lo, &hi);
  } else {
    const float *OutOff, *OutPs;
    SelectAxis(OutCoordinate, "output", routine, Off_1, Ps_1, Off_2, Ps_2, &OutOff, &OutPs);
    Extent(OutOff[OutImage], OutPs[OutImage], ihb[OutImage].Dim[OutCoordinate], &lo, &hi);
  }
  float w1 = lo, w3 = hi;

  for (int i = first; i <= MaxImage; i++) {
    if (i == OutImage || ihb[i].DoNotScale) continue;
    Extent(InOff[i], InPs[i], ihb[i].Dim[InCoordinate], &lo, &hi);
    if (small) {
      w1 = std::max(w1, lo);
      w3 = std::min(w3, hi);
    } else {
      w1 = std::min(w1, lo);
      w3 = std::max(w3, hi);
    }
  }
  *W1 = w1;
  *W3 = w3;
}

}  // namespace

void GetSmallRectangle(const CmdBlk* /*pcb*/, const ImgHeadBlk* ihb, int OutCoordinate,
                       int InCoordinate, int OutImage, int MinImage, int MaxImage,
                       const float* Off_1, const float* Ps_1, const float* Off_2,
                       const float* Ps_2, float* W1, float* W3) {
  GetRectangle(true, "GetSmallRectangle", ihb, OutCoordinate, InCoordinate, OutImage,
               MinImage, MaxImage, Off_1, Ps_1, Off_2, Ps_2, W1, W3);
}

void GetLargeRectangle(const CmdBlk* /*pcb*/, const ImgHeadBlk* ihb, int OutCoordinate,
                       int InCoordinate, int OutImage, int MinImage, int MaxImage,
                       const float* Off_1, const float* Ps_1, const float* Off_2,
                       const float* Ps_2, float* W1, float* W3) {
  GetRectangle(false, "GetLargeRectangle", ihb, OutCoordinate, InCoordinate, OutImage,
               MinImage, MaxImage, Off_1, Ps_1, Off_2, Ps_2, W1, W3);
}

void GetLinearRange(const CmdBlk* pcb, const ImgHeadBlk* ihb, int OutCoordinate,
                    int InCoordinate, int OutImage, int MinImage, int MaxImage, int W1InI,
                    float W1In, int W3InI, float W3In, const float* Off_1, const float* Ps_1,
                    const float* Off_2, const float* Ps_2, float* f1, float* f3, float* Df,
                    int* Imin, int* Imax, float* Wmin, float* Wmax, float* DW, int mode) {
  static const char Routine[] = "GetLinearRange";
  const int test = pcb ? pcb->TestBit : 0;
  if (test) {
    printf("%s : mode=%d (OutCoordinate %d, InCoordinate %d)\n", Routine, mode, OutCoordinate,
           InCoordinate);
  }

  const float *InOff, *InPs;
  SelectAxis(InCoordinate, "input", Routine, Off_1, Ps_1, Off_2, Ps_2, &InOff, &InPs);

  *Imin = 0;
  *Imax = -1;
  *Wmin = *Wmax = *DW = 0.0f;

  if (mode != 1 && mode != 2) {
    fprintf(stderr, "%s : undefined mode %d\n", Routine, mode);
    exit(-1);
  }
  // Mode 1 narrows the intersection of the extents, mode 2 widens their
  // union, each by the limits where given.
  const bool small = mode == 1;
  float W1, W3;
  (small ? GetSmallRectangle : GetLargeRectangle)(pcb, ihb, OutCoordinate, InCoordinate,
                                                   OutImage, MinImage, MaxImage, Off_1, Ps_1,
                                                   Off_2, Ps_2, &W1, &W3);
  const float a = W1InI ? W1In : W1;
  const float b = W3InI ? W3In : W3;
  W1 = small ? std::max(W1, std::min(a, b)) : std::min(W1, std::min(a, b));
  W3 = small ? std::min(W3, std::max(a, b)) : std::max(W3, std::max(a, b));

  if (test && (W1InI || W3InI)) {
    printf("W1In = ");
    if (W1InI) printf("%g, ", W1In); else printf("(none), ");
    printf("W3In = ");
    if (W3InI) printf("%g, ", W3In); else printf("(none) ");
    printf("\n");
  }

  int n = 1;
  if (OutImage >= 0) {
    const float *OutOff, *OutPs;
    SelectAxis(OutCoordinate, "output", Routine, Off_1, Ps_1, Off_2, Ps_2, &OutOff, &OutPs);
    const float Off = OutOff[OutImage];
    const float Ps = OutPs[OutImage];
    const long Dim = ihb[OutImage].Dim[OutCoordinate];

    f1[OutImage] = W1 / Ps - Off;
    f3[OutImage] = W3 / Ps - Off;
    if (test > 1) {
      printf(" Begin intermediate results\n");
      printf("       W1 = %g,      W3 = %g\n", W1, W3);
      printf("  f1[%3u] = %g, f3[%3u] = %g\n", static_cast<unsigned>(OutImage), f1[OutImage],
             static_cast<unsigned>(OutImage), f3[OutImage]);
      printf(" End intermediate results\n");
    }

    // The pixels that contain the two borders; on a reversed axis the ends
    // are rounded the other way round.
    float fmin, fmax;
    if (f3[OutImage] >= f1[OutImage]) {
      fmin = static_cast<float>(ROUND1(f1[OutImage]));
      fmax = static_cast<float>(ROUND3(f3[OutImage]));
    } else {
      fmin = static_cast<float>(ROUND1(f3[OutImage]));
      fmax = static_cast<float>(ROUND3(f1[OutImage]));
    }

    // Clamp to the output array.  Borders that are not finite (a zero pixel
    // size) or far outside leave an empty range that stays within int.
    if (!std::isfinite(fmin) || !std::isfinite(fmax)) {
      fmin = 0.0f;
      fmax = -1.0f;
    }
    fmin = std::max(fmin, 0.0f);
    fmax = std::min(fmax, static_cast<float>(Dim - 1));
    fmin = std::min(fmin, static_cast<float>(std::max(Dim, 0L)));
    fmax = std::max(fmax, -1.0f);

    // Snap the range to whole output pixels.
    f1[OutImage] = fmin - 0.5f;
    f3[OutImage] = fmax + 0.5f;
    W1 = (f1[OutImage] + Off) * Ps;
    W3 = (f3[OutImage] + Off) * Ps;

    *Imin = static_cast<int>(std::floor(fmin));
    *Imax = static_cast<int>(std::floor(fmax));
    *Wmin = (fmin + Off) * Ps;
    *Wmax = (fmax + Off) * Ps;
    n = *Imax - *Imin + 1;

    *DW = W3 - W1;
    Df[OutImage] = f3[OutImage] - f1[OutImage];
    if (n > 1) {
      *DW /= static_cast<float>(n);
      Df[OutImage] /= static_cast<float>(n);
    }

    if (test) {
      const unsigned o = static_cast<unsigned>(OutImage);
      printf(" Output image\n");
      printf("         W1 = %g,      W3 = %g\n", W1, W3);
      printf("    f1[%3u] = %g, f3[%3u] = %g, Df[%3u] = %g\n", o, f1[OutImage], o, f3[OutImage],
             o, Df[OutImage]);
      printf("  fmin      = %g, fmax    = %g\n", fmin, fmax);
      printf("  Imin      = %d, Imax    = %d\n", *Imin, *Imax);
      printf("       Wmin = %g,    Wmax = %g ,   DW = %g\n", *Wmin, *Wmax, *DW);
    }
  }

  const int first = std::max(0, MinImage);
  for (int i = first; i <= MaxImage; i++) {
    if (i == OutImage || ihb[i].DoNotScale) continue;
    f1[i] = W1 / InPs[i] - InOff[i];
    f3[i] = W3 / InPs[i] - InOff[i];
    if (OutImage >= 0) {
      Df[i] = f3[i] - f1[i];
      if (n > 1) Df[i] /= static_cast<float>(n);
    }
  }

  if (test) {
    printf(" Input images\n");
    printf("         W1 = %g,      W3 = %g\n", W1, W3);
    for (int i = first; i <= MaxImage; i++) {
      if (i == OutImage || ihb[i].DoNotScale) continue;
      const unsigned u = static_cast<unsigned>(i);
      if (OutImage >= 0) {
        printf("    f1[%3u] = %g, f3[%3u] = %g, Df[%3u] = %g\n", u, f1[i], u, f3[i], u, Df[i]);
      } else {
        printf("    f1[%3u] = %g, f3[%3u] = %g\n", u, f1[i], u, f3[i]);
      }
    }
  }
}

void GetImageRange(const CmdBlk* pcb, const ImgHeadBlk* ihb, int MinImage, int MaxImage,
                   const float* Off_1, const float* Off_2, const float* Ps_1, const float* Ps_2,
                   float* f1_1, float* f3_1, float* Df_1, float* f1_2, float* f3_2, float* Df_2,
                   int* Imin_1, int* Imax_1, int* Imin_2, int* Imax_2, float* Wmin_1,
                   float* Wmax_1, float* DW_1, float* Wmin_2, float* Wmax_2, float* DW_2,
                   int mode) {
  GetLinearRange(pcb, ihb, 1, 1, 0, MinImage, MaxImage, 0, 0.0f, 0, 0.0f, Off_1, Ps_1, Off_2,
                 Ps_2, f1_1, f3_1, Df_1, Imin_1, Imax_1, Wmin_1, Wmax_1, DW_1, mode);
  GetLinearRange(pcb, ihb, 2, 2, 0, MinImage, MaxImage, 0, 0.0f, 0, 0.0f, Off_1, Ps_1, Off_2,
                 Ps_2, f1_2, f3_2, Df_2, Imin_2, Imax_2, Wmin_2, Wmax_2, DW_2, mode);
}
