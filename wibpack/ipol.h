// ipol: the dummy convention, bilinear interpolation and area integration of
// two-dimensional float images.
//
// Images are arrays of Dim_1 x Dim_2 floats, axis 1 varying fastest: pixel
// (i_1, i_2) is element i_1 + i_2 * Dim_1.  A pixel whose value equals the
// dummy value within the tolerance DDummy carries no data; a variance below 0
// (conventionally VarDummy) is unknown.
//
// The interpolation and integration routines return a weighted sum and the
// total weight, not an average; the caller divides when it averages.  Their
// behaviour depends on three process-wide settings (interpolation mode,
// variance weighting, minimum weight fraction) that Ipolmode, Ipolweight and
// Ipolmin set and query.
#ifndef WIBPACK_IPOL_H
#define WIBPACK_IPOL_H

#include <cmath>

// ---------------------------------------------------------------------------
// Array layout

// Address of pixel (i_1, i_2) of an array of Dim_1 x Dim_2 elements.
template <class T>
inline T* ABSPTR(T* A, long Dim_1, long /*Dim_2*/, long i_1, long i_2) {
  return A + i_1 + i_2 * Dim_1;
}

// The pixel in the next column (axis 1 + 1).
template <class T>
inline T* NEXTCOL(T* p) {
  return p + 1;
}

// The pixel in the next row (axis 2 + 1).
template <class T>
inline T* NEXTROW(T* p, long Dim_1, long /*Dim_2*/) {
  return p + Dim_1;
}

// Splits a coordinate into its pixel I = floor(f) and the fraction R = f - I.
// f must lie within the range of int.
inline void IDX(float f, int& I, float& R) {
  const float fl = std::floor(f);
  I = static_cast<int>(fl);
  R = f - fl;
}

// ---------------------------------------------------------------------------
// Dummy convention

constexpr double MinDDummy = 0.1;   // smallest tolerance of a dummy value
constexpr double AccDummy = 1e-5;   // relative tolerance of a dummy value
constexpr float VarDummy = -1.0f;   // variance "unknown"

// Default tolerance of the dummy value D: max(MinDDummy, |D| * AccDummy),
// formed in double precision and rounded to float.
inline float DDSET(float D) {
  const double dd = std::fabs(static_cast<double>(D)) * AccDummy;
  return static_cast<float>(dd > MinDDummy ? dd : MinDDummy);
}

// True when D marks dummies at all: |D| > max(DD, MinDDummy), compared in
// double precision.  A dummy of 0 is never defined.
inline bool DUMMYDEFINED(float D, float DD) {
  const double dd = static_cast<double>(DD);
  const double lim = dd > MinDDummy ? dd : MinDDummy;
  return std::fabs(static_cast<double>(D)) > lim;
}

inline bool NODUMMYDEFINED(float D, float DD) { return !DUMMYDEFINED(D, DD); }

// True when V is a dummy: |V - D| <= DD (difference in float) and the dummy
// is defined.
inline bool DUMMY(float V, float D, float DD) {
  return std::fabs(V - D) <= DD && DUMMYDEFINED(D, DD);
}

// True when V carries data: |V - D| > DD or the dummy is not defined.
// (Unlike !DUMMY this rejects a NaN value while a dummy is defined.)
inline bool NODUMMY(float V, float D, float DD) {
  return std::fabs(V - D) > DD || !DUMMYDEFINED(D, DD);
}

// Adds V into DE, or sets DE to V while DE still holds the dummy.
inline void UPDATE(float& DE, float V, float D, float DD) {
  if (DUMMY(DE, D, DD))
    DE = V;
  else
    DE += V;
}

// ---------------------------------------------------------------------------
// Module settings

constexpr int IPOL_NORMAL = 1;       // areas integrated as they are
constexpr int IPOL_ANTIALIASED = 2;  // areas below one pixel widened to one
constexpr int IPOL_EQUAL = 4;        // variances: all pixels weigh alike
constexpr int IPOL_WEIGHTED = 8;     // variances: inverse-variance weights

// Fractional parts below IPOLEPS count as 0 in interpolation.
constexpr float IPOLEPS = 1e-4f;

// Sets the interpolation mode if mode is IPOL_NORMAL or IPOL_ANTIALIASED;
// returns the current mode (0 only queries).
int Ipolmode(int mode);
// "normal", "antialiased" or "undefined".
const char* Ipolmode2str(int mode);

// Sets the variance weighting if method is IPOL_EQUAL or IPOL_WEIGHTED;
// returns the current method (0 only queries).
int Ipolweight(int method);
// "equal", "weighted" or "undefined".
const char* Ipolweight2str(int method);

// Sets the minimum weight fraction if minimum >= 0; returns the current
// value (-1 only queries).  Initially 0.5.
float Ipolmin(float minimum);

// ---------------------------------------------------------------------------
// Interpolation and area integration
//
// None of these report errors: an absent data array, a point or area outside
// the array, too many dummies or too little coverage give the result 0.

// Bilinear interpolation at the index coordinate (f_1, f_2) (pixel centres
// at integers) over the pixels that are not dummies.  Returns the number of
// pixels used, or 0 when the weight found is below the minimum fraction;
// sum and weight receive the weighted sum and the weight in either case.
int Ipol2ldw(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
             float f_1, float f_2, float* sum, float* weight);

// Interpolated value at (f_1, f_2): sum / weight when the result is non-zero
// (value then holds the plain sum otherwise).
int Ipol2ld(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
            float f_1, float f_2, float* value);
int Ipol2d(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
           float f_1, float f_2, float* value);

// Integral over the rectangle [f1_1, f3_1] x [f1_2, f3_2] in index
// coordinates (pixel k spans [k - 0.5, k + 0.5]): sum receives the sum of the
// pixel values times their covered parts, weight the covered part of valid
// pixels.  Both carry the sign of the rectangle's area (f3 < f1 on one axis
// counts negative); in antialiased mode areas below one pixel draw on the
// pixel around their centre and are scaled back to their own size.  Returns
// the number of contributions, or 0 when less than the minimum fraction of
// the area lies on valid pixels.  An area of exactly 1 x 1 pixel is
// interpolated at its centre.
int Isum2ldw(const float* Data, int Dim_1, int Dim_2, float Dummy, float DDummy,
             float f1_1, float f1_2, float f3_1, float f3_2, float* sum,
             float* weight);

// Isum2ldw with variances, by the current weighting method: Isum2ldwEe for
// IPOL_EQUAL, Isum2ldwEw for IPOL_WEIGHTED.  VarDat may be null (every
// variance 0).  varsum receives VarDummy when no variance can be given;
// varweight is |weight|.  The caller's mean is sum / weight and its variance
// varsum / varweight^2.
int Isum2ldwE(const float* Data, const float* VarDat, int Dim_1, int Dim_2,
              float Dummy, float DDummy, float f1_1, float f1_2, float f3_1,
              float f3_2, float* sum, float* weight, float* varsum,
              float* varweight);

// Equal weights: variances are summed with the same coverage weights as the
// values; any valid pixel without a valid variance makes varsum VarDummy.
int Isum2ldwEe(const float* Data, const float* VarDat, int Dim_1, int Dim_2,
               float Dummy, float DDummy, float f1_1, float f1_2, float f3_1,
               float f3_2, float* sum, float* weight, float* varsum,
               float* varweight);

// Inverse-variance weights; pixels of unknown variance are left out, and as
// soon as a pixel of variance 0 appears only pixels of variance 0 count.
int Isum2ldwEw(const float* Data, const float* VarDat, int Dim_1, int Dim_2,
               float Dummy, float DDummy, float f1_1, float f1_2, float f3_1,
               float f3_2, float* sum, float* weight, float* varsum,
               float* varweight);

#endif  // WIBPACK_IPOL_H
