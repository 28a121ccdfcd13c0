// KeloRoutine: reference parameters of the images of one image step and the
// range of output pixels that the input images cover.
//
// The images that one computation combines meet in the world coordinate of
// one reference system (the command block's RSys, numbers and conversion
// formulas in wibpack/reference.h).  For every image block and axis a pair
// (Off, Ps) is derived from the header values, so that index coordinate I of
// that image lies at world coordinate (I + Off) * Ps.  The callers hold four
// float arrays Off_1, Off_2, Ps_1, Ps_2 indexed by image block number (0 the
// output image, 1 and up the inputs).
//
// A computation calls, in this order, GetReferenceParameters for blocks 0 to
// n-1, UpdateImageParameters for blocks 1 to n-1 and GetImageRange; it then
// walks the output pixels Imin..Imax of each axis, handing input image i the
// rectangle [f_1, f_1 + Df_1[i]] x [f_2, f_2 + Df_2[i]] (index coordinates of
// image i), f_1 starting at f1_1[i] in each row, f_2 at f1_2[i] in the first
// row, advanced by Df_1[i] per pixel and by Df_2[i] per row.
#ifndef KELOPACK_KELOROUTINE_H
#define KELOPACK_KELOROUTINE_H

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloImageLoop.h"
#include "kelopack/KeloOption.h"
#include "wibpack/reference.h"

// Module name of this module in error reports.
inline constexpr char SRName[] = "KeloRoutine";

// "KeloRoutine : V1.49 Orrin 2011-07-24"
const char* KeloRoutineVersion();

// ---------------------------------------------------------------------------
// Reference parameters

// Off and Ps of axis coordinate (1 or 2) of header block blockno in system
// RSys.  Fails (Failed, message on standard error) when a header value the
// system needs is not present, for an unknown system or an invalid axis;
// Off and Ps are then left alone.
void GetReferenceC(long RSys, const ImgHeadBlk* ihb, int coordinate, int blockno, float* Off,
                   float* Ps, int* pstatus);
// Both axes of one block: axis 1, then, on success, axis 2.
void GetReference(long RSys, int blockno, const ImgHeadBlk* ihb, float* Off_1, float* Off_2,
                  float* Ps_1, float* Ps_2, int* pstatus);
// Off[i], Ps[i] of axis coordinate for the blocks MinImage..MaxImage,
// stopping at the first failure.  When the range starts at block 0 and the
// output header has a shift of this axis, the shift is subtracted from
// Off[0]: output index I then shows what lies at I - shift without it.
void GetReferenceParametersC(long RSys, const CmdBlk* pcb, const ImgHeadBlk* ihb,
                             int coordinate, int MinImage, int MaxImage, float* Off, float* Ps,
                             int* pstatus);
// Both axes in the command block's system: axis 1 into Off_1, Ps_1, then,
// on success, axis 2 into Off_2, Ps_2.
void GetReferenceParameters(const CmdBlk* pcb, const ImgHeadBlk* ihb, int MinImage,
                            int MaxImage, float* Off_1, float* Off_2, float* Ps_1, float* Ps_2,
                            int* pstatus);

// Keeps the header of block OutImage consistent when its reference pixel
// size differs from that of block MinImage (the first input): with factor =
// Ps[OutImage] / Ps[MinImage] of axis InCoordinate, the values of axis
// OutCoordinate that the user did not fix (flag not negative) are rescaled:
// in system Region the pixel size (times factor) and the centre (divided by
// factor), in system Real the bin size and the centre, in every other
// system the bin size.  DivByZero for a zero reference pixel size of block
// MinImage or a zero factor that would divide the centre.  An InCoordinate
// other than 1 or 2 ends the program with exit code -1.  The Off arrays are
// not used.
void UpdateLinearParameters(const CmdBlk* pcb, ImgHeadBlk* ihb, int OutCoordinate,
                            int InCoordinate, int OutImage, int MinImage, int MaxImage,
                            const float* Off_1, const float* Off_2, const float* Ps_1,
                            const float* Ps_2, int* pstatus);
// UpdateLinearParameters of output block 0 for axis 1, then axis 2.
void UpdateImageParameters(const CmdBlk* pcb, ImgHeadBlk* ihb, int MinImage, int MaxImage,
                           const float* Off_1, const float* Off_2, const float* Ps_1,
                           const float* Ps_2, int* pstatus);

// ---------------------------------------------------------------------------
// Output image range
//
// The world extent of image i along an axis runs between (Off - 0.5) * Ps
// and (Off + Dim - 0.5) * Ps (its outer pixel borders).  Images whose header
// block has DoNotScale set take no part; their result entries are not
// written.  An invalid axis number or mode ends the program with exit code
// -1 after a message on standard error.

// Intersection [W1, W3] of the world extents of the images MinImage ..
// MaxImage along axis InCoordinate and of image OutImage along axis
// OutCoordinate (with OutImage < 0 the start is the extent of MinImage).
void GetSmallRectangle(const CmdBlk* pcb, const ImgHeadBlk* ihb, int OutCoordinate,
                       int InCoordinate, int OutImage, int MinImage, int MaxImage,
                       const float* Off_1, const float* Ps_1, const float* Off_2,
                       const float* Ps_2, float* W1, float* W3);
// The union of the same extents.
void GetLargeRectangle(const CmdBlk* pcb, const ImgHeadBlk* ihb, int OutCoordinate,
                       int InCoordinate, int OutImage, int MinImage, int MaxImage,
                       const float* Off_1, const float* Ps_1, const float* Off_2,
                       const float* Ps_2, float* W1, float* W3);

// The range of one axis: mode 1 the intersection, mode 2 the union of the
// extents, narrowed (mode 1) or widened (mode 2) by the world limits W1In,
// W3In where their flags are set.  With an output image (OutImage >= 0) the
// range is snapped to whole output pixels Imin..Imax (Imax < Imin when none
// is covered), Wmin, Wmax are the world coordinates of their centres and DW
// the world step per output pixel.  f1[i], f3[i] are the index coordinates
// in image i of the two world borders of the range and Df[i] the extent in
// image i of one output pixel.
void GetLinearRange(const CmdBlk* pcb, const ImgHeadBlk* ihb, int OutCoordinate,
                    int InCoordinate, int OutImage, int MinImage, int MaxImage, int W1InI,
                    float W1In, int W3InI, float W3In, const float* Off_1, const float* Ps_1,
                    const float* Off_2, const float* Ps_2, float* f1, float* f3, float* Df,
                    int* Imin, int* Imax, float* Wmin, float* Wmax, float* DW, int mode);
// GetLinearRange of output block 0 without limits for axis 1, then axis 2.
void GetImageRange(const CmdBlk* pcb, const ImgHeadBlk* ihb, int MinImage, int MaxImage,
                   const float* Off_1, const float* Off_2, const float* Ps_1, const float* Ps_2,
                   float* f1_1, float* f3_1, float* Df_1, float* f1_2, float* f3_2, float* Df_2,
                   int* Imin_1, int* Imax_1, int* Imin_2, int* Imax_2, float* Wmin_1,
                   float* Wmax_1, float* DW_1, float* Wmin_2, float* Wmax_2, float* DW_2,
                   int mode);

// ---------------------------------------------------------------------------
// Positional arguments of the image blocks
//
// The standard prompts of a program's image blocks, read with the argv_
// readers of KeloOption after argv_start:
//   for each input block b = max(block_1st, 1) .. block_lst: its name
//     ("Input sequence b", default "input.wib" for block 1, else the name of
//     block b-1); the file is opened (old, file protected) and the smallest
//     and largest image numbers in it become First and Last unless set;
//   when block_1st <= 0, the output name ("Output sequence", default
//     "output.wib", or with Extension the name of input 1 without directory
//     and with its extension replaced by Extension);
//   for input 1: first image, last image (defaulting to the first image when
//     that was the last word of the command line), increment; the header of
//     the first image is read into ihb[1];
//   for the further inputs: their first image;
//   when block_1st <= 0: the output header is created in ihb[0] (with ihb[1]
//     as template, InitFunction handed on) and the output dummy and the two
//     output dimensions are asked, showing the values found, with empty
//     defaults (so that skipping them leaves them to the input).
// The input files are closed again on success.  Unset open modes become
// "o+fp" for inputs and "a+ip" for the output.  Stops at the first failure
// with its status (NotEnoughBlocks when block_lst is not an image block).
void ArgvBlocks(CmdBlk* pcb, ImgBlk* ib, ImgHeadBlk* ihb, KeloImageFunction InitFunction,
                const char* Extension, int block_1st, int block_lst, int* pstatus);
// ArgvBlocks without initialisation function and extension.
void ArgvFilenames(CmdBlk* pcb, ImgBlk* ib, ImgHeadBlk* ihb, int block_1st, int block_lst,
                   int* pstatus);

#endif
