// KeloImage: the image loop and the array of header blocks it owns.
#include <cstdio>
#include <new>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "kelopack/KeloReplacekey.h"
#include "wibpack/filename.h"
#include "wibpack/sx.h"
#include "wibpack/wibio.h"

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

using namespace kelo_image;

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

namespace {

void mark(IO_long& v, long value) {
  v.V = value;
  v.I = 1;
}

// Single-to-multi: the image numbers of the one input file drive the outer
// loop over output files; each output file starts with image 1.
void single2multi_ranges(CmdBlk* pcb, ImgBlk* ib, int* pstatus) {
  ImgBlk& in = ib[1];
  if (!(in.First.I && in.Last.I)) {
    OpenImageFile(pcb, ib, 1, in.Name.V, in.FFirst.V, in.OpenMode.V | IO_Old | IO_FileProtect,
                  pstatus);
    if (*pstatus == FileNotFound) *pstatus = Success;  // no images then
    if (*pstatus != Success) return;
    long minimage = 1, maximage = 0;
    if (in.Stream >= 0) {
      SearchMinMaxImage(pcb, ib, 1, &minimage, &maximage, pstatus);
      if (*pstatus != Success) return;
    }
    if (!in.First.I) mark(in.First, minimage);
    if (!in.Last.I) mark(in.Last, maximage);
    CloseImageFile(pcb, ib, 1, pstatus);
    if (*pstatus != Success) return;
  }
  for (int i = 1; i < pcb->ImgBlkLen; ++i) {
    ImgBlk& b = ib[i];
    if (b.FFirst.I) b.First = b.FFirst;
    if (b.FLast.I) b.Last = b.FLast;
    if (b.FInc.I) b.Inc = b.FInc;
    b.FFirst = b.First;
    b.FLast = b.Last;
    b.FInc = b.Inc;
  }
  if (!ib[0].First.I) mark(ib[0].First, 1);
}

void print_input_blocks(const CmdBlk* pcb, const ImgHeadBlk* ihb) {
  for (int i = 1; i < pcb->ImgBlkLen; ++i) PrintImageHeaderBlock(&ihb[i]);
}

// Whether the output image needs a variance array: with CreateVariance not
// given, when some block has a variance program, or else when input 1's
// current image has a variance block.
void variance_creation(CmdBlk* pcb, const ImgBlk* ib, const long* Num, bool errval_set) {
  if (pcb->CreateVariance.I) return;
  if (errval_set) {
    pcb->CreateVariance.V = 1;
    return;
  }
  for (int i = 1; i < pcb->ImgBlkLen; ++i) {
    const long m = ib[i].Memory.V;
    if (m <= 0) continue;
    int errval = RoutineSucceeded, status = status_success;
    const int exists =
        wib_test_header(ib[1].Stream, Num[1], static_cast<int>(-m), &errval, &status);
    pcb->CreateVariance.V = status == status_success ? exists : 0;
    return;
  }
}

// The common orientation of this step: 0 when none is wanted, else the
// evaluated orientation of block 0 when it is given and not 0, else that of
// the template image, else 1.
bool common_orientation(CmdBlk* pcb, ImgBlk* ib, const long* Num, const ImgHeadBlk* ihb,
                        int templ, int* pstatus) {
  IO_long& co = pcb->CommonOrientation;
  if (!co.I) {
    co.V = 0;
    return true;
  }
  if (co.V == 0) {
    const long ori = longkeyvalue(ib[0].Orientation.V, pcb, ib, Num, 0, pstatus);
    if (*pstatus != Success) return false;
    if (ib[0].Orientation.I && ori != 0)
      co.V = ori;
    else if (templ)
      co.V = ihb[templ].Orientation.V;
    if (co.V == 0) co.V = 1;
  }
  if (pcb->TestBit) printf("Common orientation is %ld\n", co.V);
  return true;
}

// Opens the output file for this step unless it is open already; false
// with the status on failure.  *pmissing tells that the file does not
// exist (status Success).
bool open_output(CmdBlk* pcb, ImgBlk* ib, const long* FNum, const long* Num, ImgHeadBlk* ihb,
                 bool* pmissing, int* pstatus) {
  *pmissing = false;
  ImgBlk& out = ib[0];
  char fname[IO_len];
  linekeyvalue(fname, sizeof fname, out.Name.V, 1, pcb, ib, Num, 0, pstatus);
  if (*pstatus != Success) {
    fprintf(stderr, "ERROR (ImgBlk[% d]): key replacement failed in >>%s<<.\n", 0, out.Name.V);
    return false;
  }
  const int opened = AlreadyOpened(pcb, ib, 0, fname, FNum[0], pstatus);
  if (*pstatus != Success) return false;
  if (opened) return true;
  if (pcb->TestBit) {
    printf("Output file (%s, stream = %d) will be reopened\n", out.FileName, out.Stream);
    printf("All unsaved data will be lost.\n");
  }
  CloseImageFile(pcb, ib, 0, pstatus);
  if (*pstatus != Success) return false;
  FreeImage(pcb, 0, ihb);
  OpenImageFile(pcb, ib, 0, fname, FNum[0], out.OpenMode.V, pstatus);
  if (*pstatus == FileNotFound) {
    *pstatus = Success;
    *pmissing = true;
    return true;
  }
  if (*pstatus != Success) return false;
  if (pcb->TestBit)
    printf("ib[%d].FileName = %s (stream = %d) opened\n", 0, out.FileName, out.Stream);
  return true;
}

}  // namespace

void kelo_image_loop(CmdBlk* pcb, ImgBlk* ib, long* FNum, KeloImageFunction Function,
                     KeloImageFunction InitFunction, KeloImageFunction TermFunction,
                     int allneeded, ImgHeadBlk* ihb, long floop, long floopmax, int* pstatus) {
  const int n = pcb->ImgBlkLen;
  *pstatus = NotEnoughMemoryAvailable;
  std::vector<long> Num, First, Last, Inc;
  try {
    Num.resize(n);
    First.resize(n);
    Last.resize(n);
    Inc.resize(n);
  } catch (const std::bad_alloc&) {
    return;
  }
  *pstatus = Success;
  const int debug = pcb->TestBit;

  if (debug > 3)
    sx_debug_set(0x68);
  else if (debug > 2)
    sx_debug_set(0x48);
  else if (debug > 1)
    sx_debug_set(0x08);

  bool errval_set = false;
  for (int i = 0; i < n; ++i)
    if (ib[i].ErrVal.I) errval_set = true;

  long minimage = 1, maximage = 0;
  if (n > 1 && ib[1].Stream >= 0) {
    SearchMinMaxImage(pcb, ib, 1, &minimage, &maximage, pstatus);
    if (*pstatus != Success) return;
  }
  const long loopmax =
      image_ranges(pcb, ib, minimage, maximage, allneeded, First.data(), Last.data(), Inc.data());
  Num = First;

  for (long loop = 1; loop <= loopmax; ++loop) {
    variance_creation(pcb, ib, Num.data(), errval_set);

    kelo_read_all_images(pcb, ib, FNum, Num.data(), ihb, allneeded, pstatus);
    if (*pstatus != Success) return;

    bool all_present = true;
    int templ = 0;
    for (int i = 1; i < n; ++i) {
      if (!ihb[i].I)
        all_present = false;
      else if (!templ)
        templ = i;
    }

    if (!common_orientation(pcb, ib, Num.data(), ihb, templ, pstatus)) return;
    kelo_tf_all_images(pcb, ib, ihb, pcb->CommonOrientation.V, pstatus);
    if (*pstatus != Success) return;

    for (int i = 0; i < n; ++i) {
      const bool own = Single2Multi() ? i > 0 : Multi2Single() ? i == 0 : true;
      if (own) ib[i].LoopNumber = Num[i];
    }
    if (debug) print_input_blocks(pcb, ihb);

    if (all_present || (!allneeded && templ)) {
      if (!ihb[0].I && !ihb[0].Data) {
        bool missing = false;
        if (!open_output(pcb, ib, FNum, Num.data(), ihb, &missing, pstatus)) return;
        if (missing && allneeded) return;
        pcb->Cycles = ib[0].Inc.V != 0 ? 1 : loopmax;
        NewImage(pcb, ib, 0, Num.data(), ihb, templ ? &ihb[templ] : nullptr, InitFunction,
                 pstatus);
        if (*pstatus != Success) return;
      }
      if (debug) PrintImageHeaderBlock(&ihb[0]);
      SetKeloError(pcb->MainName, "Function", nullptr);
      if (Function) Function(pcb, Num.data(), ihb, pstatus);
      if (*pstatus != Success) return;
      if (debug) PrintImageHeaderBlock(&ihb[0]);
      for (int i = 0; i < n; ++i) {
        ++ihb[i].ActualLoopCount;
        ++ihb[i].LoopCount;
      }
    } else {
      for (int i = 0; i < n; ++i) ++ihb[i].LoopCount;
    }

    // A step without its input images still counts: when the write decision
    // falls on a step that created no output image, WriteImage stops the
    // loop with HeaderNotInitialized.
    if (!ImageIsNew(0, ihb) && image_to_write(pcb, ib, 0, ihb, floop, floopmax, loop, loopmax)) {
      if (TermFunction) {
        TermFunction(pcb, Num.data(), ihb, pstatus);
        if (*pstatus != Success) return;
      }
      if (!no_file_io(ib[0].StreamOpenMode))
        printf("Writing : %s, Image : %ld\n", ib[0].FileName, ihb[0].ImNum);
      WriteImage(pcb, ib, 0, ihb, pstatus);
      if (debug) PrintImageHeaderBlock(&ihb[0]);
      if (*pstatus != Success) return;
      printf("\n");
      pcb->CommonOrientation.V = 0;
      FreeImage(pcb, 0, ihb);
      pcb->Cycles = 0;
    }

    for (int i = 0; i < n; ++i) Num[i] += Inc[i];
  }
  *pstatus = Success;
}

void ImageLoop(CmdBlk* pcb, ImgBlk* ib, KeloImageFunction Function,
               KeloImageFunction InitFunction, KeloImageFunction TermFunction, int allneeded,
               int* pstatus) {
  if (pcb->TestBit) printf(" %s\n", "ImageLoop");
  SetKeloError(SIName, "ImageLoop", nullptr);
  const int n = pcb->ImgBlkLen;

  *pstatus = NotEnoughMemoryAvailable;
  if (n < 1) return;
  std::vector<long> FNum;
  try {
    FNum.resize(n);
  } catch (const std::bad_alloc&) {
    return;
  }
  ImgHeadBlk* ihb = kelo_new_all_images(n);
  if (!ihb) return;
  *pstatus = Success;

  set_pattern_flags(pcb, ib);
  if (Single2Multi()) {
    single2multi_ranges(pcb, ib, pstatus);
    if (*pstatus != Success) {
      kelo_free_all_images(pcb, ihb);
      return;
    }
  }

  const long floopmax = file_ranges(pcb, ib);
  for (int i = 0; i < n; ++i) FNum[i] = ib[i].FFirst.V;

  IO_long& co = pcb->CommonOrientation;
  if (!co.I) co.I = ib[0].Orientation.I ? 1 : 0;
  co.V = 0;

  for (long floop = 1; floop <= floopmax; ++floop) {
    for (int i = 0; i < n; ++i) ib[i].LoopNumber = FNum[i];
    if (Multi2Single()) {
      mark(ib[0].First, FNum[0]);
      mark(ib[0].Last, FNum[0]);
    }
    if (Single2Multi()) {
      for (int i = 1; i < n; ++i) {
        mark(ib[i].First, FNum[i]);
        mark(ib[i].Inc, 0);
      }
    }
    kelo_open_all_images(pcb, ib, FNum.data(), ihb, allneeded, pstatus);
    if (*pstatus == Success)
      kelo_image_loop(pcb, ib, FNum.data(), Function, InitFunction, TermFunction, allneeded,
                      ihb, floop, floopmax, pstatus);
    if (*pstatus != Success) {
      kelo_free_all_images(pcb, ihb);
      return;
    }
    for (int i = 0; i < n; ++i) FNum[i] += ib[i].FInc.V;
  }

  kelo_close_all_images(pcb, ib, pstatus);
  kelo_free_all_images(pcb, ihb);
  if (*pstatus != Success) return;
  *pstatus = Success;
}
