// KeloImage: header blocks, their defaults, memory and listing.
#include <cstdio>
#include <cstring>
#include <new>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "wibpack/numio.h"

namespace kelo_image {

char* KeloImageMessage() {
  static char message[KeloImageMessageLen];
  return message;
}

void header_list_name(char* buffer, size_t buflen, int blkno) {
  snprintf(buffer, buflen, "i%u", static_cast<unsigned>(blkno));
}

}  // namespace kelo_image

using namespace kelo_image;

namespace {

void set_float(IO_float& f, float v) {
  f.V = v;
  f.I = 0;
}

void set_long(IO_long& l, long v) {
  l.V = v;
  l.I = 0;
}

void set_line(IO_line& l) {
  l.V[0] = '\0';
  l.I = 0;
}

}  // namespace

const char* KeloImageVersion() { return "KeloImage V4.70 Orrin 2012-07-03"; }

void init_header_block(ImgHeadBlk* ihb, int blkno) {
  ImgHeadBlk& h = ihb[blkno];
  h.blkno = blkno;
  h.I = 0;
  h.ImNum = 0;
  h.Stream = -1;
  h.StreamOpenMode = 0;
  h.LoopCount = 0;
  h.ActualLoopCount = 0;
  h.ImgByteLen = 0;
  for (long& d : h.Dim) d = 0;
  h.Data = nullptr;
  h.VarDat = nullptr;
  h.DoNotScale = 0;
  set_line(h.Header);
  h.rori = 1;
  set_float(h.MinClip, KeloMinClipDefault);
  set_float(h.MaxClip, KeloMaxClipDefault);
  set_float(h.Const, 0.0f);
  set_float(h.Factor, 1.0f);
  h.Val.V = nullptr;
  h.Val.I = 0;
  h.ErrVal.V = nullptr;
  h.ErrVal.I = 0;
  set_long(h.Bin[0], 2);
  set_long(h.Bin[1], 1);
  set_long(h.Bin[2], 1);
  set_long(h.Gnaw[0], 2);
  set_long(h.Gnaw[1], 0);
  set_long(h.Gnaw[2], 0);
  set_float(h.Shift[0], 2.0f);
  set_float(h.Shift[1], 0.0f);
  set_float(h.Shift[2], 0.0f);
  set_float(h.Dummy, 0.0f);
  set_float(h.DDummy, 0.0f);
  for (int i = 0; i < 3; ++i) {
    set_float(h.Offset[i], 0.0f);
    set_float(h.Center[i], 0.0f);
    set_float(h.BinSiz[i], 1.0f);
    set_float(h.PixSiz[i], 1.0f);
    set_long(h.AxisType[i], IO_AxisTypeDistance);
  }
  set_float(h.SampleDistance, 1.0f);
  set_float(h.WaveLength, 1.0f);
  for (IO_float& r : h.DetRot) set_float(r, 0.0f);
  set_line(h.Title);
  set_line(h.Time);
  set_long(h.Orientation, 1);
  set_long(h.Projection, IO_ProSaxs);
}

void alloc_image_memory(CmdBlk* /*pcb*/, const long* Dim, ImgHeadBlk* pihb, float initdval,
                        int initdflag, int var, float initvval, int initvflag, int* pstatus) {
  *pstatus = Success;
  const long d1 = Dim[1];
  const long d2 = Dim[2];
  delete[] pihb->Data;
  delete[] pihb->VarDat;
  pihb->Data = nullptr;
  pihb->VarDat = nullptr;
  pihb->LoopCount = 0;
  pihb->ActualLoopCount = 0;
  pihb->ImgByteLen = 0;
  pihb->Dim[0] = 2;
  pihb->Dim[1] = d1;
  pihb->Dim[2] = d2;
  if (d1 <= 0 || d2 <= 0) return;

  // Sizes whose byte length does not fit into memory at all.
  const size_t n1 = static_cast<size_t>(d1);
  const size_t n2 = static_cast<size_t>(d2);
  if (n1 > SIZE_MAX / sizeof(float) / n2) {
    *pstatus = NotEnoughMemoryAvailable;
    return;
  }
  const size_t n = n1 * n2;
  pihb->Data = new (std::nothrow) float[n];
  if (!pihb->Data) {
    *pstatus = NotEnoughMemoryAvailable;
    return;
  }
  pihb->ImgByteLen = n * sizeof(float);
  if (initdflag)
    for (size_t i = 0; i < n; ++i) pihb->Data[i] = initdval;
  if (var) {
    pihb->VarDat = new (std::nothrow) float[n];
    if (!pihb->VarDat) {
      *pstatus = NotEnoughMemoryAvailable;
      return;
    }
    if (initvflag)
      for (size_t i = 0; i < n; ++i) pihb->VarDat[i] = initvval;
  }
}

void free_image_memory(ImgHeadBlk* pihb) {
  pihb->Header.I = 0;
  delete[] pihb->Data;
  delete[] pihb->VarDat;
  pihb->Data = nullptr;
  pihb->VarDat = nullptr;
  pihb->Dim[0] = pihb->Dim[1] = pihb->Dim[2] = 0;
  pihb->ImgByteLen = 0;
  pihb->I = 0;
  pihb->LoopCount = 0;
  pihb->ActualLoopCount = 0;
  int errval = 0;
  if (pihb->Val.V) num_rmprog(pihb->Val.V, &errval);
  if (pihb->ErrVal.V) num_rmprog(pihb->ErrVal.V, &errval);
  pihb->Val.V = nullptr;
  pihb->Val.I = 0;
  pihb->ErrVal.V = nullptr;
  pihb->ErrVal.I = 0;
}

namespace {

// One line of the listing: "ihb[ 1].Name            = ".
void field(const ImgHeadBlk* p, const char* name) {
  char label[64];
  snprintf(label, sizeof label, "%s", name);
  printf("ihb[% d].%-19s = ", p->blkno, label);
}

void print_float(const ImgHeadBlk* p, const char* name, const IO_float& f) {
  if (!f.I) return;
  field(p, name);
  printf("%g (I = %d)\n", f.V, f.I);
}

void print_long(const ImgHeadBlk* p, const char* name, const IO_long& l) {
  if (!l.I) return;
  field(p, name);
  printf("%ld (I = %d)\n", l.V, l.I);
}

void print_line(const ImgHeadBlk* p, const char* name, const IO_line& l) {
  if (!l.I) return;
  field(p, name);
  printf("%s (I = %d)\n", l.V, l.I);
}

void print_prog(const ImgHeadBlk* p, const char* name, const IO_prog& g) {
  if (!g.I) return;
  field(p, name);
  printf("%s (I = %d)\n", g.V && g.V->Name ? g.V->Name : "(none)", g.I);
}

template <size_t N>
void print_floats(const ImgHeadBlk* p, const char* name, const IO_float (&f)[N], size_t first) {
  char label[64];
  for (size_t i = first; i < N; ++i) {
    snprintf(label, sizeof label, "%s[%zu].V", name, i);
    print_float(p, label, f[i]);
  }
}

template <size_t N>
void print_longs(const ImgHeadBlk* p, const char* name, const IO_long (&l)[N], size_t first) {
  char label[64];
  for (size_t i = first; i < N; ++i) {
    snprintf(label, sizeof label, "%s[%zu].V", name, i);
    print_long(p, label, l[i]);
  }
}

}  // namespace

void PrintImageHeaderBlock(const ImgHeadBlk* p) {
  if (!p) return;
  printf("Image Header Block (blkno = %d)\n", p->blkno);
  field(p, "blkno");
  printf("%d\n", p->blkno);
  field(p, "I");
  printf("%d\n", p->I);
  field(p, "ImNum");
  printf("%ld\n", p->ImNum);
  field(p, "Stream");
  printf("%d\n", p->Stream);
  field(p, "StreamOpenMode");
  printf("%#lx\n", p->StreamOpenMode);
  field(p, "LoopCount");
  printf("%ld\n", p->LoopCount);
  field(p, "ActualLoopCount");
  printf("%ld\n", p->ActualLoopCount);
  field(p, "ImgByteLen");
  printf("%zu\n", p->ImgByteLen);
  for (int i = 0; i < 3; ++i) {
    char label[16];
    snprintf(label, sizeof label, "Dim[%d]", i);
    field(p, label);
    printf("%ld\n", p->Dim[i]);
  }
  field(p, "Data");
  printf("%s\n", p->Data ? "allocated" : "(none)");
  field(p, "VarDat");
  printf("%s\n", p->VarDat ? "allocated" : "(none)");
  field(p, "DoNotScale");
  printf("%d\n", p->DoNotScale);
  print_line(p, "Header.V", p->Header);
  field(p, "rori");
  printf("%ld\n", p->rori);
  print_float(p, "MinClip.V", p->MinClip);
  print_float(p, "MaxClip.V", p->MaxClip);
  print_float(p, "Const.V", p->Const);
  print_float(p, "Factor.V", p->Factor);
  print_prog(p, "Val.V", p->Val);
  print_prog(p, "ErrVal.V", p->ErrVal);
  print_longs(p, "Bin", p->Bin, 1);
  print_longs(p, "Gnaw", p->Gnaw, 1);
  print_floats(p, "Shift", p->Shift, 1);
  print_float(p, "Dummy.V", p->Dummy);
  print_float(p, "DDummy.V", p->DDummy);
  print_floats(p, "Offset", p->Offset, 1);
  print_floats(p, "Center", p->Center, 1);
  print_floats(p, "BinSiz", p->BinSiz, 1);
  print_floats(p, "PixSiz", p->PixSiz, 1);
  print_float(p, "SampleDistance.V", p->SampleDistance);
  print_float(p, "WaveLength.V", p->WaveLength);
  print_floats(p, "DetRot", p->DetRot, 1);
  print_line(p, "Title.V", p->Title);
  print_line(p, "Time.V", p->Time);
  print_long(p, "Orientation.V", p->Orientation);
  print_long(p, "Projection.V", p->Projection);
  print_longs(p, "AxisType", p->AxisType, 1);
}
