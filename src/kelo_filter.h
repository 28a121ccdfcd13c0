// kelo_filter: the per-image function of the program kelo_filter.
//
// The image loop calls it once per image step with header block 0 holding
// the freshly created output image and header block 1 the input image.  It
// maps the input onto the output grid by area integration (with variances
// when the output has a variance array), optionally writes the weighting
// mask to a file of its own, runs the peak filter from the mapped image into
// the output image and prints how many pixels it replaced.
//
// The filter's parameters are read per image from the program-defined
// parameters (mnam, msk, rmsk, mode, chi2, max, w, wa, a), with header keys
// of the input image replaced.  A width (w) or dip width (wa) of 0 leaves
// the mask undefined: the step then fails with status OutOfRange, as it does
// when the mask cannot be formed at all (a width or depth that is not a
// number).
#ifndef SRC_KELO_FILTER_H
#define SRC_KELO_FILTER_H

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloOption.h"

// The per-image function (a KeloImageFunction): num holds the current image
// number of each block, ihb the header blocks (0 output, 1 input).  The
// output data are replaced; input variances are added into the output's
// variance array when it has one.
void kelo_filter(CmdBlk* pcb, long* num, ImgHeadBlk* ihb, int* pstatus);

#endif
