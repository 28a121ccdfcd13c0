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

// The whole run of the program; returns the final status, which is the exit
// code.  Errors and the status line go to standard error.
int FilterMain(int argc, char* argv[]);

#endif
