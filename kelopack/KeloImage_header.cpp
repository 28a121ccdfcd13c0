// KeloImage: header blocks, their defaults, memory and listing.
#include <cstdio>
#include <cstring>
#include <new>

#include "kelopack/KeloError.h"
#include "kelopack/KeloExpression.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "kelopack/KeloInput.h"
#include "kelopack/KeloReplacekey.h"
#include "wibpack/ipol.h"
#include "wibpack/numio.h"
#include "wibpack/wibio.h"

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

// The conditioning values at their defaults: nothing is clipped, gnawed,
// binned, shifted or transformed.
void conditioning_defaults(ImgHeadBlk& h) {
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
  conditioning_defaults(h);
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
  if (pihb->Header.I) {
    // Only the block that read the header owns its list; an output block
    // made from a template merely refers to the list of its input block,
    // which must survive for the next output image made from it.
    char own[IO_len];
    header_list_name(own, sizeof own, pihb->blkno);
    if (!strcmp(pihb->Header.V, own)) wib_free_header(pihb->Header.V);
    pihb->Header.I = 0;
  }
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

namespace {

int known(int flag) { return flag ? 1 : 0; }

void copy_float(IO_float& out, const IO_float& in) {
  out.V = in.V;
  out.I = known(in.I);
}

void copy_long(IO_long& out, const IO_long& in) {
  out.V = in.V;
  out.I = known(in.I);
}

void copy_line(IO_line& out, const IO_line& in) {
  CopyLine(in.V, out.V, IO_len, 0);
  out.I = known(in.I);
}

}  // namespace

void geo_header_copy(const ImgHeadBlk* pin, ImgHeadBlk* pout) {
  for (int i = 0; i < 3; ++i) {
    copy_float(pout->Offset[i], pin->Offset[i]);
    copy_float(pout->Center[i], pin->Center[i]);
    copy_float(pout->BinSiz[i], pin->BinSiz[i]);
    copy_float(pout->PixSiz[i], pin->PixSiz[i]);
    copy_long(pout->AxisType[i], pin->AxisType[i]);
  }
  copy_float(pout->SampleDistance, pin->SampleDistance);
  copy_float(pout->WaveLength, pin->WaveLength);
  for (int i = 0; i < 4; ++i) copy_float(pout->DetRot[i], pin->DetRot[i]);
  copy_long(pout->Orientation, pin->Orientation);
  copy_long(pout->Projection, pin->Projection);
}

void template_header_block(long ImageNumber, long LoopCount, long ActualLoopCount,
                           size_t ImgByteLen, const long* Dim, float* Data,
                           const ImgHeadBlk* pin, ImgHeadBlk* pout) {
  pout->ImNum = ImageNumber;
  pout->Stream = -1;
  pout->StreamOpenMode = 0;
  pout->LoopCount = LoopCount;
  pout->ActualLoopCount = ActualLoopCount;
  pout->ImgByteLen = ImgByteLen;
  for (int i = 0; i < 3; ++i) pout->Dim[i] = Dim[i];
  pout->Data = Data;
  pout->DoNotScale = pin->DoNotScale;
  copy_line(pout->Header, pin->Header);

  // Conditioning values are those of the output, not of the template.
  conditioning_defaults(*pout);

  copy_float(pout->Dummy, pin->Dummy);
  copy_float(pout->DDummy, pin->DDummy);
  copy_line(pout->Title, pin->Title);
  copy_line(pout->Time, pin->Time);
  geo_header_copy(pin, pout);
}

void set_output_header_defaults(ImgHeadBlk* pihb) {
  if (!pihb->Dummy.I) {
    pihb->Dummy.V = 0.0f;
    pihb->Dummy.I = 1;
  }
  if (!pihb->DDummy.I) {
    pihb->DDummy.V = DDSET(pihb->Dummy.V);
    pihb->DDummy.I = 1;
  }
  for (int i = 1; i <= 2; ++i) {
    if (pihb->Offset[i].I) continue;
    pihb->Offset[i].V = 0.0f;
    pihb->Offset[i].I = 1;
  }
}

namespace {

// Evaluation of the options of one image block for one header block; every
// method returns false after a failure (status set).
class Balance {
 public:
  Balance(CmdBlk* pcb, int blkno, long* num, ImgBlk* ib, int* pstatus)
      : pcb_(pcb), blkno_(blkno), num_(num), ib_(ib), pstatus_(pstatus) {}

  bool lng(IO_long& out, const IO_lvexp& in) {
    if (!in.I) return true;
    const long v = longkeyvalue(in.V, pcb_, ib_, num_, blkno_, pstatus_);
    if (*pstatus_ != Success) return false;
    out.V = v;
    out.I = -1;
    return true;
  }
  bool flt(IO_float& out, const IO_flexp& in) {
    if (!in.I) return true;
    const float v = floatkeyvalue(in.V, pcb_, ib_, num_, blkno_, pstatus_);
    if (*pstatus_ != Success) return false;
    out.V = v;
    out.I = -1;
    return true;
  }
  bool line(IO_line& out, const IO_line& in) {
    if (!in.I) return true;
    linekeyvalue(out.V, IO_len, in.V, 0, pcb_, ib_, num_, blkno_, pstatus_);
    if (*pstatus_ != Success) return false;
    out.I = -1;
    return true;
  }
  // Compiles an expression of the block into a program named name with the
  // variables value (and variance when it is given).
  bool prog(IO_prog& out, const IO_flexp& in, const char* name, const char* value,
            const char* variance) {
    if (!in.I) return true;
    char text[IO_len];
    linekeyvalue(text, sizeof text, in.V, 1, pcb_, ib_, num_, blkno_, pstatus_);
    if (*pstatus_ != Success) return false;
    EditLine(EditRemoveBlanks | EditUncomment, text);
    int errval = NumSuccess;
    NumProg* p = variance ? num_str2prog(name, text, nullptr, &errval, 2, value, variance)
                          : num_str2prog(name, text, nullptr, &errval, 1, value);
    if (errval != NumSuccess || !p) {
      *pstatus_ = errval != NumSuccess ? errval2status(errval) : Failed;
      SetKeloErrorMessage(text);
      return false;
    }
    out.V = p;
    out.I = -1;
    return true;
  }

 private:
  CmdBlk* pcb_;
  int blkno_;
  long* num_;
  ImgBlk* ib_;
  int* pstatus_;
};

}  // namespace

void balance_header_block(CmdBlk* pcb, int blkno, long* num, ImgBlk* ib, ImgHeadBlk* ihb,
                          int* pstatus) {
  *pstatus = Success;
  ImgHeadBlk& h = ihb[blkno];
  const ImgBlk& b = ib[blkno];
  char value_name[32];
  char variance_name[32];
  if (blkno == 0) {
    snprintf(value_name, sizeof value_name, "oval");
    snprintf(variance_name, sizeof variance_name, "oerr");
  } else {
    snprintf(value_name, sizeof value_name, "i%uval", static_cast<unsigned>(blkno));
    snprintf(variance_name, sizeof variance_name, "i%uerr", static_cast<unsigned>(blkno));
  }
  Balance bal(pcb, blkno, num, ib, pstatus);

  h.ImNum = num[blkno];
  h.Stream = b.Stream;
  h.StreamOpenMode = b.StreamOpenMode;

  for (int i = 0; i < 3; ++i) {
    IO_long dim{h.Dim[i], 0};
    if (!bal.lng(dim, b.Dim[i])) return;
    h.Dim[i] = dim.V;
  }

  if (!bal.flt(h.MinClip, b.MinClip) || !bal.flt(h.MaxClip, b.MaxClip) ||
      !bal.flt(h.Const, b.Const) || !bal.flt(h.Factor, b.Factor))
    return;
  if (!bal.prog(h.Val, b.Val, value_name, value_name, nullptr)) return;
  if (!bal.prog(h.ErrVal, b.ErrVal, variance_name, value_name, variance_name)) return;

  for (int i = 0; i < 3; ++i)
    if (!bal.lng(h.Bin[i], b.Bin[i])) return;
  for (int i = 0; i < 3; ++i)
    if (!bal.lng(h.Gnaw[i], b.Gnaw[i])) return;
  if (blkno == 0)
    for (int i = 0; i < 3; ++i)
      if (!bal.flt(h.Shift[i], pcb->Shift[i])) return;

  // Dummy and its tolerance: from the header with the default tolerance as
  // the least, or 0 (no dummy) when the header has none.
  if (!h.Dummy.I) {
    h.Dummy.V = 0.0f;
    h.Dummy.I = 1;
    h.DDummy.V = static_cast<float>(MinDDummy);
    h.DDummy.I = 1;
  } else if (!h.DDummy.I) {
    h.DDummy.V = DDSET(h.Dummy.V);
    h.DDummy.I = 1;
  } else {
    const float least = DDSET(h.Dummy.V);
    if (h.DDummy.V < least) h.DDummy.V = least;
  }
  if (b.Dummy.I) {
    if (!bal.flt(h.Dummy, b.Dummy)) return;
    h.DDummy.V = DDSET(h.Dummy.V);
    h.DDummy.I = -1;
  }
  if (!bal.flt(h.DDummy, b.DDummy)) return;

  for (IO_float& off : h.Offset) {
    if (off.I) continue;
    off.V = 0.0f;
    off.I = 1;
  }

  for (int i = 0; i < 3; ++i) {
    if (!bal.flt(h.Offset[i], b.Offset[i]) || !bal.flt(h.Center[i], b.Center[i]) ||
        !bal.flt(h.BinSiz[i], b.BinSiz[i]) || !bal.flt(h.PixSiz[i], b.PixSiz[i]))
      return;
    if (b.AxisType[i].I) {
      h.AxisType[i].V = b.AxisType[i].V;
      h.AxisType[i].I = -1;
    }
  }

  if (!bal.flt(h.SampleDistance, b.SampleDistance) || !bal.flt(h.WaveLength, b.WaveLength))
    return;
  for (int i = 0; i < 4; ++i)
    if (!bal.flt(h.DetRot[i], b.DetRot[i])) return;

  if (!bal.line(h.Title, b.Title) || !bal.line(h.Time, b.Time)) return;

  if (b.Orientation.I) {
    if (!bal.lng(h.Orientation, b.Orientation)) return;
    h.rori = h.Orientation.V;
  }
  if (b.Projection.I) {
    h.Projection.V = b.Projection.V;
    h.Projection.I = -1;
  }
}

void BalanceHeaderBlock(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                        int* pstatus) {
  balance_header_block(pcb, blkno, num, ib, ihb, pstatus);
}
