// reference: numbers of the coordinate reference systems, projection types
// and axis types that the image blocks and image headers store.
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

#endif
