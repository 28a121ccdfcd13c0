// KeloImageLoop: the image loop of the image framework.
//
// ImageLoop drives every program built on the framework.  It is given the
// command block, the image blocks (block 0 the output, blocks 1 and up the
// inputs) and a per-image function; it works out which files and image
// numbers to visit, opens, reads, creates and writes the images and calls
// the per-image function once per image step.  An outer loop runs over file
// numbers (names with a number pattern), an inner loop over image numbers.
//
// The loop owns an array of image header blocks, one per image block:
// kelo_new_all_images allocates it, kelo_free_all_images releases the image
// memory of every block and the array itself.
#ifndef KELOPACK_KELOIMAGELOOP_H
#define KELOPACK_KELOIMAGELOOP_H

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloOption.h"

// A per-image, initialisation or termination function.  num holds the
// current image number of every block, ihb the header blocks (0 the output,
// 1 and up the inputs); the function leaves its result in *pstatus.
typedef void (*KeloImageFunction)(CmdBlk* pcb, long* num, ImgHeadBlk* ihb, int* pstatus);

// The whole image loop.  Block 0 of ib is the output, blocks 1 and up the
// inputs; Function is called once per image step in which the input
// images are present (with allneeded all of them, else at least one),
// after the output image was created in header block 0 (InitFunction is
// called while creating it); TermFunction just before an output image is
// written.  Each of the three may be null.  File numbers, image numbers and
// their defaults follow the options of the blocks: the input's image
// numbers default to those in its file, the output's to the input's; an
// output increment of 0 sums all steps into one output image, the command
// block's Add n writes after n steps.  With a number pattern only in the
// output name every input image goes into an output file of its own
// (single-to-multi), with patterns only in input names many input files go
// into one output file (multi-to-single).  Missing input images or files
// are no failure.  The first failure stops the loop with its status (the
// error block names the routine); images written before stay in their
// files, the pending output image is not written.
void ImageLoop(CmdBlk* pcb, ImgBlk* ib, KeloImageFunction Function,
               KeloImageFunction InitFunction, KeloImageFunction TermFunction, int allneeded,
               int* pstatus);
// The inner loop over image numbers for the file numbers FNum, in the
// header blocks ihb; floop counts the outer steps from 1 to floopmax.
void kelo_image_loop(CmdBlk* pcb, ImgBlk* ib, long* FNum, KeloImageFunction Function,
                     KeloImageFunction InitFunction, KeloImageFunction TermFunction,
                     int allneeded, ImgHeadBlk* ihb, long floop, long floopmax, int* pstatus);

// Array of imax header blocks, each initialised with init_header_block, or
// null when memory is exhausted (or imax < 1).
ImgHeadBlk* kelo_new_all_images(int imax);
// Releases the image memory of header block blkno (free_image_memory).
void FreeImage(CmdBlk* pcb, int blkno, ImgHeadBlk* ihb);
// Releases the image memory of all pcb->ImgBlkLen header blocks and then the
// array that kelo_new_all_images returned.  A null array is ignored.
void kelo_free_all_images(CmdBlk* pcb, ImgHeadBlk* ihb);

// 1 when no image step has gone into header block blkno yet (LoopCount <= 0).
int ImageIsNew(int blkno, const ImgHeadBlk* ihb);
// The write decision: 1 when the output image of block 0 is complete after
// inner step loop of loopmax and outer step floop of floopmax.
int image_to_write(const CmdBlk* pcb, const ImgBlk* ib, int blkno, const ImgHeadBlk* ihb,
                   long floop, long floopmax, long loop, long loopmax);

// The relation of the file name patterns, computed at the start of
// ImageLoop: single-to-multi (one plain input file, an output name with a
// number pattern: every input image goes into an output file of its own)
// and multi-to-single (input names with a pattern, a plain output name).
int Single2Multi();
int Multi2Single();

#endif
