// reference: numbers of the coordinate reference systems, projection types
// and axis types that the image blocks and image headers store, and the
// conversion formulas of the coordinate model.
//
// Pixel coordinates along one axis:
//   index coordinate I: pixel k (counted from INDEXSTART 0) has its centre at
//     I = k and its borders at k - 0.5 and k + 0.5; an axis of Dim pixels
//     spans -0.5 (LOWERBORDER) to Dim - 0.5;
//   array coordinate A = I + DAI: the first pixel spans [0, 1), its centre
//     is ARRAYSTART 0.5;
//   world coordinate WORLD(I, Off, Ps) = (I + Off) * Ps, the coordinate of
//     one reference system, in which the images of a computation meet.
//
// Header values that enter the formulas (per axis): O offset (position of
// the array's lower border in image coordinates), C centre (point of normal
// incidence, image coordinates), B bin size, P pixel size [m], S sample
// distance [m], W wavelength [m], D a number of pixels.  All formulas work
// in single precision unless noted.
#ifndef WIBPACK_REFERENCE_H
#define WIBPACK_REFERENCE_H

inline constexpr char ReferenceVersion[] = "reference : V2.34 Orrin 2011-05-14";

// Reference systems (RSys, USys of the command block).
constexpr long IO_NoRSys = 0;
constexpr long IO_Array = 1;
constexpr long IO_Image = 2;
constexpr long IO_Center = 3;
constexpr long IO_Region = 4;
constexpr long IO_Real = 5;
constexpr long IO_Normal = 6;
constexpr long IO_Tangens = 7;
constexpr long IO_Saxs = 8;

// Projection types ("Saxs", "Waxs").
constexpr long IO_NoPro = 0;
constexpr long IO_ProSaxs = 1;
constexpr long IO_ProWaxs = 2;

// Axis types ("Distance", "Angle", "Numerator").
constexpr long IO_NoAxisType = 0;
constexpr long IO_AxisTypeDistance = 1;
constexpr long IO_AxisTypeAngle = 2;
constexpr long IO_AxisTypeNumerator = 3;

// ---------------------------------------------------------------------------
// Pixel coordinate conventions

constexpr int INDEXSTART = 0;          // index of the first pixel
constexpr float LOWERBORDER = -0.5f;   // index coordinate of its lower border
constexpr float DAI = 0.5f;            // array coordinate minus index coordinate
constexpr float ARRAYSTART = 0.5f;     // array coordinate of the first centre
constexpr int NUMBERSTART = 1;         // first pixel number shown to people

// Reference wavelength [m]: the saxs system measures in inverse nanometres.
constexpr float WaveLength0 = 1e-9f;
inline float WAVENUMBER(float W) { return WaveLength0 / W; }

// World coordinate of index coordinate I and back.
inline float WORLD(float I, float Off, float Ps) { return (I + Off) * Ps; }
inline float INDEX(float W, float Off, float Ps) { return W / Ps - Off; }

// ---------------------------------------------------------------------------
// Reference parameters (Off, Ps) of one axis in each system

inline void ARRAYREF(float& Off, float& Ps) {
  Off = ARRAYSTART;
  Ps = 1.0f;
}
inline void IMAGEREF(float& Off, float& Ps, float O) {
  Off = O + DAI;
  Ps = 1.0f;
}
inline void CENTERREF(float& Off, float& Ps, float O, float C) {
  Off = (O - C) + DAI;
  Ps = 1.0f;
}
// The region system uses it with the bin size in place of P.
inline void REALREF(float& Off, float& Ps, float O, float P) {
  Off = O + DAI;
  Ps = P;
}
inline void NORMALREF(float& Off, float& Ps, float O, float P, float C) {
  Off = (O - C) + DAI;
  Ps = P;
}
inline void TANGENSREF(float& Off, float& Ps, float O, float P, float C, float S) {
  NORMALREF(Off, Ps, O, P / S, C);
}
// (P / S) in single precision, times the wave number in double precision.
inline void SAXSREF(float& Off, float& Ps, float O, float P, float C, float S, float W) {
  const float t = P / S;
  NORMALREF(Off, Ps, O, static_cast<float>(static_cast<double>(t) * (1e-9 / W)), C);
}

// ---------------------------------------------------------------------------
// Conversions between index coordinates and the coordinates of each system

inline float A2INDEX(float I) { return I - 0.5f; }
inline float INDEX2A(float I) { return I + 0.5f; }
inline float I2INDEX(float I, float O) { return I - O - 0.5f; }
inline float INDEX2I(float I, float O) { return I + O + 0.5f; }
inline float C2INDEX(float I, float O, float C) { return I2INDEX(I, O - C); }
inline float INDEX2C(float I, float O, float C) { return INDEX2I(I, O - C); }
inline float R2INDEX(float I, float O, float P) { return I / P - O - 0.5f; }
inline float INDEX2R(float I, float O, float P) { return (I + O + 0.5f) * P; }
inline float N2INDEX(float I, float O, float P, float C) { return R2INDEX(I, O - C, P); }
inline float INDEX2N(float I, float O, float P, float C) { return INDEX2R(I, O - C, P); }
inline float T2INDEX(float I, float O, float P, float C, float S) {
  return N2INDEX(I, O, P / S, C);
}
inline float INDEX2T(float I, float O, float P, float C, float S) {
  return INDEX2N(I, O, P / S, C);
}
inline float S2INDEX(float I, float O, float P, float C, float S, float W) {
  return N2INDEX(I, O, (P / S) * WAVENUMBER(W), C);
}
inline float INDEX2S(float I, float O, float P, float C, float S, float W) {
  return INDEX2N(I, O, (P / S) * WAVENUMBER(W), C);
}

// Between a reference coordinate (ROff, RPs) and a user coordinate (UOff,
// UPs) of the same pixel, and between distances in the two.
inline float REF2USER(float RW, float ROff, float RPs, float UOff, float UPs) {
  return WORLD(INDEX(RW, ROff, RPs), UOff, UPs);
}
inline float USER2REF(float UW, float ROff, float RPs, float UOff, float UPs) {
  return WORLD(INDEX(UW, UOff, UPs), ROff, RPs);
}
inline float DREF2DUSER(float DRW, float RPs, float UPs) { return DRW * (UPs / RPs); }
inline float DUSER2DREF(float DUW, float RPs, float UPs) { return DUW * (RPs / UPs); }

// Header offset that puts the lower border of the first pixel at reference
// coordinate I of each system.
inline float I2OFFSET(float I) { return I; }
inline float C2OFFSET(float I, float C) { return I + C; }
inline float R2OFFSET(float I, float P) { return I / P; }
inline float N2OFFSET(float I, float P, float C) { return I / P + C; }
inline float T2OFFSET(float I, float P, float C, float S) { return (I / P) * S + C; }
inline float S2OFFSET(float I, float P, float C, float S, float W) {
  return (I / P) * S * WAVENUMBER(W) + C;
}

// Header pixel size from a pixel size D given in a system, and back.
inline float R2PSIZE(float D) { return D; }
inline float N2PSIZE(float D) { return D; }
inline float T2PSIZE(float D, float S) { return D * S; }
inline float S2PSIZE(float D, float S, float W) { return D * S / WAVENUMBER(W); }
inline float PSIZE2R(float P) { return P; }
inline float PSIZE2N(float P) { return P; }
inline float PSIZE2T(float P, float S) { return P / S; }
inline float PSIZE2S(float P, float S, float W) { return (P / S) * WAVENUMBER(W); }

// Centre between metres and pixels; normal and saxs coordinates.
inline float R2CENTER(float I, float P) { return I / P; }
inline float CENTER2R(float I, float P) { return I * P; }
inline float N2S(float I, float S, float W) { return (I / S) * WAVENUMBER(W); }
inline float S2N(float I, float S, float W) { return (I * S) / WAVENUMBER(W); }

// ---------------------------------------------------------------------------
// Axis reversal, default centre and binning

// Raster region covered by D pixels of bin size B.
inline float RASREG(float B, float D) { return D * B; }
// Offset after reversing an axis of raster region R.
inline float OSWAP2(float R, float B, float O, float D) { return R / B - (O + D); }
// Centre after reversing an axis whose offset becomes OO.
inline float CSWAP2(float OO, float C, float O, float D) { return OO + O + D - C; }
// Centre after reversing an axis with unchanged offset: 2 O + D - C.
inline float CSWAP(float C, float O, float D) { return CSWAP2(O, C, O, D); }
// Default centre: the middle of D pixels in image coordinates (offset 0).
inline float SETCTRDEF(float D) { return (D - 1.0f) * 0.5f + 0.5f; }

// Header update after binning by Bin pixels (Bin below 1 counts as 1): the
// offset, bin size, pixel size and centre of one axis.
inline void AREBIN(float& O, float& B, float& P, float& C, long Bin) {
  const float b = Bin > 1 ? static_cast<float>(Bin) : 1.0f;
  O = ((ARRAYSTART + LOWERBORDER) * (1.0f - b) + O) / b;
  B = B * b;
  P = P * b;
  C = C / b;
}

#endif
