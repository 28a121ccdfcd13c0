// KeloImage: images of the image framework in memory and in files.
//
// An image in memory is an ImageHeaderBlock (kelopack/KeloDefinition.h).
// This module initialises, allocates, lists and releases header blocks; it
// conditions images (clipping, gnawing, binning, per-pixel programs, linear
// transformation, marking); it reads input images, creates and writes
// output images, keeps the files of the image blocks and runs the image loop
// (kelopack/KeloImageLoop.h).
//
// Every routine that can fail takes a status word by pointer (KeloStatus of
// kelopack/KeloError.h), records its module and routine name in the error
// block on entry and returns at the first failure.
#ifndef KELOPACK_KELOIMAGE_H
#define KELOPACK_KELOIMAGE_H

#include <cstddef>

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloImageLoop.h"
#include "kelopack/KeloOption.h"

// Module name of this module in error reports.
inline constexpr char SIName[] = "KeloImage";

// "KeloImage V4.70 Orrin 2012-07-03"
const char* KeloImageVersion();

// ---------------------------------------------------------------------------
// Header blocks

// Sets the defaults in element blkno of the array ihb: no image, no arrays,
// no stream, every value at its default with flag 0 (MinClip and MaxClip
// the extreme finite floats, Factor 1, bin sizes, pixel sizes, distance,
// wavelength 1, orientation, projection and axis types 1).
void init_header_block(ImgHeadBlk* ihb, int blkno);

// Allocates the arrays of one header block for the sizes Dim[1], Dim[2]
// (arrays it held before are released): Data, filled with initdval when
// initdflag is set, and, when var is set, VarDat, filled with initvval when
// initvflag is set.  Dim[0] of the block becomes 2, LoopCount and
// ActualLoopCount 0, ImgByteLen Dim[1]*Dim[2]*4; with no pixels both arrays
// stay null.  NotEnoughMemoryAvailable when an array cannot be allocated.
void alloc_image_memory(CmdBlk* pcb, const long* Dim, ImgHeadBlk* pihb, float initdval,
                        int initdflag, int var, float initvval, int initvflag, int* pstatus);

// Releases the arrays and the Val and ErrVal programs of a header block and
// forgets its header list; sizes, counts and I become 0.
void free_image_memory(ImgHeadBlk* pihb);

// Debug listing of a header block on standard output: the line
// "Image Header Block (blkno = %d)", then one field per line in declared
// order, each starting with "ihb[% d]" and the field name; values with a
// flag are listed only when set.
void PrintImageHeaderBlock(const ImgHeadBlk* pihb);

#endif
