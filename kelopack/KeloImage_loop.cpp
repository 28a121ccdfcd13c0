// KeloImage: the image loop and the array of header blocks it owns.
#include <cstdio>
#include <new>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "wibpack/filename.h"

namespace {

// Relation of the file name patterns of the current loop.
int KeloImageLoop_single2multi = 0;
int KeloImageLoop_multi2single = 0;

}  // namespace

namespace kelo_image {

long step_count(long first, long last, long inc) {
  if (inc == 0) return -1;
  const long q = (last - first) / inc;
  return q < 0 ? 1 : q + 1;
}

long smallest_count(const long* counts, int n) {
  long smallest = 0;
  for (int i = 0; i < n; ++i)
    if (counts[i] > 0 && (smallest == 0 || counts[i] < smallest)) smallest = counts[i];
  return smallest > 0 ? smallest : 1;
}

void set_pattern_flags(const CmdBlk* pcb, const ImgBlk* ib) {
  KeloImageLoop_single2multi = 0;
  KeloImageLoop_multi2single = 0;
  if (pcb->ImgBlkLen < 2) return;
  bool input_pattern = false;
  for (int i = 1; i < pcb->ImgBlkLen; ++i)
    if (filename_has_pattern(ib[i].Name.V)) input_pattern = true;
  const bool output_pattern = filename_has_pattern(ib[0].Name.V) != 0;
  KeloImageLoop_single2multi = output_pattern && !input_pattern;
  KeloImageLoop_multi2single = !output_pattern && input_pattern;
}

namespace {

void default_value(IO_long& v, long value) {
  if (!v.I) v.V = value;
}

}  // namespace

long file_ranges(const CmdBlk* pcb, ImgBlk* ib) {
  const int n = pcb->ImgBlkLen;
  if (n < 2) {
    default_value(ib[0].FFirst, 1);
    default_value(ib[0].FLast, 1);
    default_value(ib[0].FInc, 1);
  } else {
    ImgBlk& in = ib[1];
    default_value(in.FFirst, 1);
    default_value(in.FLast, in.FFirst.V);
    default_value(in.FInc, 1);
    default_value(ib[0].FFirst, in.FFirst.V);
    default_value(ib[0].FLast, in.FLast.V);
    default_value(ib[0].FInc, in.FInc.V);
    for (int i = 2; i < n; ++i) {
      const bool own_last = ib[i].FLast.I != 0;
      default_value(ib[i].FFirst, in.FFirst.V);
      default_value(ib[i].FLast, in.FLast.V);
      default_value(ib[i].FInc, own_last ? in.FInc.V : 0);
    }
  }
  std::vector<long> counts(static_cast<size_t>(n > 0 ? n : 0));
  for (int i = 0; i < n; ++i)
    counts[i] = step_count(ib[i].FFirst.V, ib[i].FLast.V, ib[i].FInc.V);
  return smallest_count(counts.data(), n);
}

long image_ranges(const CmdBlk* pcb, ImgBlk* ib, long minimage, long maximage, int allneeded,
                  long* First, long* Last, long* Inc) {
  const int n = pcb->ImgBlkLen;
  if (n < 2) {
    default_value(ib[0].First, 1);
    default_value(ib[0].Last, 1);
    default_value(ib[0].Inc, 1);
  } else {
    ImgBlk& in = ib[1];
    default_value(in.Inc, 1);
    const long firstimage = in.Inc.V < 0 ? maximage : minimage;
    const long lastimage = in.Inc.V < 0 ? minimage : maximage;
    default_value(in.First, firstimage);
    default_value(in.Last, lastimage);
    long last = in.Last.V;
    if (allneeded) {
      // Only images that exist: the last image is cut back to the file.
      if (in.Inc.V > 0)
        last = last < lastimage ? last : lastimage;
      else
        last = last > lastimage ? last : lastimage;
      if (!in.Last.I) in.Last.V = last;
    }
    First[1] = in.First.V;
    Last[1] = last;
    Inc[1] = in.Inc.V;

    ImgBlk& out = ib[0];
    default_value(out.First, First[1]);
    default_value(out.Last, Last[1]);
    default_value(out.Inc, Inc[1]);
    if (!out.Memory.I) out.Memory.V = in.Memory.V;
    for (int i = 2; i < n; ++i) {
      const bool own_last = ib[i].Last.I != 0;
      default_value(ib[i].First, First[1]);
      default_value(ib[i].Last, Last[1]);
      default_value(ib[i].Inc, own_last ? Inc[1] : 0);
    }
  }
  for (int i = 0; i < n; ++i) {
    if (i == 1) continue;
    First[i] = ib[i].First.V;
    Last[i] = ib[i].Last.V;
    Inc[i] = ib[i].Inc.V;
  }
  std::vector<long> counts(static_cast<size_t>(n > 0 ? n : 0));
  for (int i = 0; i < n; ++i) counts[i] = step_count(First[i], Last[i], Inc[i]);
  return smallest_count(counts.data(), n);
}

}  // namespace kelo_image

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
