// Internal part of KeloImage shared by its source files.
#ifndef KELOPACK_KELOIMAGE_INTERNAL_H
#define KELOPACK_KELOIMAGE_INTERNAL_H

#include "kelopack/KeloImage.h"

namespace kelo_image {

// Length of the module's message buffer.
constexpr int KeloImageMessageLen = 1024;

// Module buffer for messages recorded in the error block (file names,
// geometry errors).
char* KeloImageMessage();

// True when nothing is read from or written to the file of an open mode:
// IO_DontReadWrite or the dummy file.
inline bool no_file_io(long mode) { return (mode & (IO_DontReadWrite | IO_Dummy)) != 0; }

// Records the error value of a Wib library call in the error block with
// the image module's text function.
void record_external(int errval);

// At debug level above 1: the line " -- <what> (blkno=<n>)" and the
// listing of the header block.
void debug_block(const CmdBlk* pcb, const char* what, const ImgHeadBlk& h);
// Releases what header block blkno holds and sets its defaults.
void restart_header_block(const CmdBlk* pcb, ImgHeadBlk* ihb, int blkno);

// Sets the interpolation mode (antialiased or normal) and the variance
// weighting (weighted or equal) from the command block.
void set_interpolation(const CmdBlk* pcb);

// Name of the header list that holds the complete header of image block
// blkno when headers are passed through ("i1" for block 1).
void header_list_name(char* buffer, size_t buflen, int blkno);

// The file name of fname for a file number: its trailing parameters
// removed and the number put into its number pattern (no full path); null
// when it cannot be formed.
char* pattern_name(char* buffer, size_t buflen, const char* fname, long FileNumber);

// ---------------------------------------------------------------------------
// Ranges of the image loop

// Number of steps from first to last by inc: (last - first) / inc + 1
// (integer division), 1 when that quotient is negative, -1 (no count) for
// an increment of 0.
long step_count(long first, long last, long inc);
// The smallest positive count of n blocks, or 1 when there is none.
long smallest_count(const long* counts, int n);

// Sets the single-to-multi and multi-to-single flags from the image names:
// with input blocks, single-to-multi when only the output name has a number
// pattern, multi-to-single when only input names have one.
void set_pattern_flags(const CmdBlk* pcb, const ImgBlk* ib);

// File number defaults of all blocks, written back into their values (the
// set flags stay as they are): a lone block 0 uses 1, 1, 1; block 1 uses
// FFirst 1, FLast = FFirst, FInc 1; block 0 takes what is not set from
// block 1; further blocks take FFirst and FLast from block 1 and FInc from
// block 1 only when their own FLast is set, else 0.  Returns the number of
// outer steps.
long file_ranges(const CmdBlk* pcb, ImgBlk* ib);

// Image number ranges of all blocks into First, Last and Inc (arrays of
// ImgBlkLen), given the smallest and largest image number of block 1's
// file.  Defaults are written back into the blocks' values as the image
// loop describes; with allneeded the last image of block 1 is limited to
// the images that exist.  Returns the number of image steps.
long image_ranges(const CmdBlk* pcb, ImgBlk* ib, long minimage, long maximage, int allneeded,
                  long* First, long* Last, long* Inc);

}  // namespace kelo_image

#endif
