// KeloImage: the image loop and the array of header blocks it owns.
#include <cstdio>
#include <new>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"

namespace {

// Relation of the file name patterns of the current loop.
int KeloImageLoop_single2multi = 0;
int KeloImageLoop_multi2single = 0;

}  // namespace

int Single2Multi() { return KeloImageLoop_single2multi; }
int Multi2Single() { return KeloImageLoop_multi2single; }

ImgHeadBlk* kelo_new_all_images(int imax) {
  if (imax < 1) return nullptr;
  ImgHeadBlk* ihb = new (std::nothrow) ImgHeadBlk[imax];
  if (!ihb) return nullptr;
  for (int i = 0; i < imax; ++i) init_header_block(ihb, i);
  return ihb;
}

void FreeImage(CmdBlk* pcb, int blkno, ImgHeadBlk* ihb) {
  // Releasing cannot fail and leaves the error block alone, so that a final
  // report still names the routine that failed before.
  if (pcb && pcb->TestBit) printf(" %s (blkno = %d)\n", "FreeImage", blkno);
  free_image_memory(&ihb[blkno]);
}

void kelo_free_all_images(CmdBlk* pcb, ImgHeadBlk* ihb) {
  if (!ihb) return;
  for (int i = 0; i < pcb->ImgBlkLen; ++i) FreeImage(pcb, i, ihb);
  delete[] ihb;
}

int ImageIsNew(int blkno, const ImgHeadBlk* ihb) { return ihb[blkno].LoopCount <= 0 ? 1 : 0; }

int image_to_write(const CmdBlk* pcb, const ImgBlk* ib, int blkno, const ImgHeadBlk* ihb,
                   long floop, long floopmax, long loop, long loopmax) {
  if (blkno != 0) return 0;
  const bool last_step = loop == loopmax && floop == floopmax;
  if (pcb->Add.I) {
    const long n = pcb->Add.V;
    if (n != 0 && n <= ihb[0].LoopCount) return 1;
    return last_step ? 1 : 0;
  }
  if (ib[0].Inc.V != 0) return 1;
  if (loop == loopmax && (ib[0].FInc.V != 0 || floop == floopmax)) return 1;
  return 0;
}
