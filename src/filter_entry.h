// filter_entry: the entry of the program kelo_filter: its identity, its own
// parameters and the run from the command line to the final status.
#ifndef SRC_FILTER_ENTRY_H
#define SRC_FILTER_ENTRY_H

#include "kelopack/KeloOption.h"

// Version line and usage text shown by the help and usage texts.
extern const char MainVersion[];  // "kelo_filter V4.63 2012-01-31, Orrin"
extern const char MainHelp[];     // the positional arguments
// "-digit" and "+digit" words are positional numbers.
constexpr int FilterRejectNum = 1;
// Image block 0 is the output, block 1 the one input.
constexpr int FilterImageBlocks = 2;

// Defines the filter's own parameters, in this order: mnam (line), msk
// (flag), rmsk, mode (integer expressions), chi2, max, w, wa, a (float
// expressions).
void DefineFilterParameters(CmdBlk* pcb);

// Prepares the heap for the image arrays of a run: arrays of the image
// size are kept in the heap after their release, so that the next image
// step reuses their pages, and the first 256 MiB of the heap are advised to
// use transparent huge pages (first use of fresh memory costs a page fault
// per page).  Called once at the start of the run.
void prepare_image_heap();

// Prints the usage line (only when the command line has no arguments at
// all) and the version line, takes or asks for the fourteen positional
// arguments (input name, output name, first, last and increment of the
// input images, output dummy and dimensions, then w, wa, a, rmsk, chi2,
// max) and echoes every value that was set.  Leaves *pstatus Success or the
// first failure (Abort for an aborted prompt).
void user_io(CmdBlk* pcb, ImgBlk* ib, int* pstatus);

// The whole run of the program: options, positional arguments and the image
// loop with kelo_filter; returns the final status, which is the exit code.
// Errors and the status line go to standard error.
int FilterMain(int argc, char* argv[]);

#endif
