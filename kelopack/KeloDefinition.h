// KeloDefinition: the image header block and the header keys of the image
// framework.
//
// An image in memory is an ImageHeaderBlock: the pixel array, an optional
// variance array, and every header value the framework understands, each
// with a flag I that tells whether it is known:
//   0   unknown (the default of init_header_block),
//   1   read from a file header, copied from a template image or supplied
//       as a default while balancing,
//  -1   set by an option of the image block.
// Any non-zero flag counts as known.
//
// The header keys below are read from input headers and written to output
// headers in the order in which they are listed.  Numeric values may carry
// units in the file; in memory rotations are held in radians.
#ifndef KELOPACK_KELODEFINITION_H
#define KELOPACK_KELODEFINITION_H

#include <cstddef>

#include "kelopack/KeloOption.h"
#include "wibpack/reference.h"

inline constexpr char KELO_DEFINITION_VERSION[] = "KeloDefinition V2.31 Orrin 2009-10-02 (V2.458)";

// ---------------------------------------------------------------------------
// Header keys, in reading and writing order

inline constexpr char KDummy[] = "Dummy";
inline constexpr char KDDummy[] = "DDummy";
inline constexpr char KOffset_1[] = "Offset_1";
inline constexpr char KOffset_2[] = "Offset_2";
inline constexpr char KCenter_1[] = "Center_1";
inline constexpr char KCenter_2[] = "Center_2";
inline constexpr char KBinSiz_1[] = "BSize_1";
inline constexpr char KBinSiz_2[] = "BSize_2";
inline constexpr char KPixSiz_1[] = "PSize_1";
inline constexpr char KPixSiz_2[] = "PSize_2";
inline constexpr char KSampleDistance[] = "SampleDistance";
inline constexpr char KWaveLength[] = "WaveLength";
inline constexpr char KDetRot_1[] = "DetectorRotation_1";
inline constexpr char KDetRot_2[] = "DetectorRotation_2";
inline constexpr char KDetRot_3[] = "DetectorRotation_3";
inline constexpr char KTitle[] = "Title";
inline constexpr char KTime[] = "Time";
inline constexpr char KOrientation[] = "RasterOrientation";
inline constexpr char KProjection[] = "ProjectionType";
inline constexpr char KAxisType_1[] = "AxisType_1";
inline constexpr char KAxisType_2[] = "AxisType_2";

// Unit in which detector rotations are written.
inline constexpr char KDetRotUnit[] = "deg";

// Written first into every output header, with the value KELODATAVERSION.
inline constexpr char KDataVersion[] = "KeloDataVersion";
#define KELODATAVERSION "2.40"

// History key: history lines are read from the header of input block 1 and
// written to every output header under this key.
inline constexpr char KeloHistoryKey[] = "i0";

// The dummy file: it reads and writes nothing.
#ifndef DUMMYFILENAME
#define DUMMYFILENAME "/dev/null"
#endif

// ---------------------------------------------------------------------------
// Defaults of a header block

// The most negative and the largest finite single-precision numbers: the
// clip limits that clip nothing.
constexpr float KeloMinClipDefault = -3.40282347e38f;
constexpr float KeloMaxClipDefault = 3.40282347e38f;

// Raster orientations are numbered 1 to 16.
constexpr long KeloMinOrientation = 1;
constexpr long KeloMaxOrientation = 16;

// ---------------------------------------------------------------------------
// The image header block

typedef struct ImageHeaderBlock {
  int blkno;                 // number of the image block it belongs to
  int I;                     // 1 when the block holds a valid image
  long ImNum;                // image number
  int Stream;                // stream of the block's file, -1 if none
  long StreamOpenMode;       // open mode of that file
  long LoopCount;            // image steps that went into this image
  long ActualLoopCount;      // of those, the steps that called the image function
  size_t ImgByteLen;         // byte length of Data
  long Dim[4];               // Dim[0] = 2, Dim[1], Dim[2] sizes; Dim[3] unused
  float* Data;               // Dim[1] x Dim[2] pixels, first index fastest, or null
  float* VarDat;             // variance of each pixel (-1 unknown), or null
  int DoNotScale;            // carried into output headers
  IO_line Header;            // name of the header list holding the complete header
  long rori;                 // raster orientation given by option
  IO_float MinClip, MaxClip, Const, Factor;
  IO_prog Val, ErrVal;       // per-pixel value and variance programs
  IO_long Bin[3], Gnaw[3];   // [0] holds the count 2
  IO_float Shift[3];         // [0] holds 2.0
  IO_float Dummy, DDummy;
  IO_float Offset[3], Center[3], BinSiz[3], PixSiz[3];  // axes 1 and 2
  IO_float SampleDistance, WaveLength;
  IO_float DetRot[4];        // rotations 1 to 3, radians
  IO_line Title, Time;
  IO_long Orientation;       // raster orientation number 1 to 16
  IO_long Projection;        // IO_NoPro, IO_ProSaxs, IO_ProWaxs
  IO_long AxisType[3];       // axes 1 and 2: IO_NoAxisType ... IO_AxisTypeNumerator
} ImgHeadBlk;

#endif
