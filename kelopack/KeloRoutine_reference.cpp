// KeloRoutine: reference parameters of the image blocks and the rescaling
// of dependent output header values.
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "kelopack/KeloError.h"
#include "kelopack/KeloRoutine.h"

const char* KeloRoutineVersion() { return "KeloRoutine : V1.49 Orrin 2011-07-24"; }

void GetReferenceC(long RSys, const ImgHeadBlk* ihb, int coordinate, int blockno, float* Off,
                   float* Ps, int* pstatus) {
  static const char Routine[] = "GetReferenceC";
  if (!pstatus) return;
  *pstatus = Success;
  if (!ihb || !Off || !Ps || blockno < 0) {
    *pstatus = Failed;
    return;
  }
  if (coordinate != 1 && coordinate != 2) {
    fprintf(stderr, "%s : Undefined coordinate %d\n", Routine, coordinate);
    *pstatus = Failed;
    return;
  }

  const ImgHeadBlk& h = ihb[blockno];
  const IO_float& O = h.Offset[coordinate];
  const IO_float& C = h.Center[coordinate];
  const IO_float& B = h.BinSiz[coordinate];
  const IO_float& P = h.PixSiz[coordinate];
  const IO_float& S = h.SampleDistance;
  const IO_float& W = h.WaveLength;

  bool present;
  float off = 0.0f, ps = 0.0f;
  switch (RSys) {
    case IO_Array:
      present = true;
      ARRAYREF(off, ps);
      break;
    case IO_Image:
      present = O.I;
      if (present) IMAGEREF(off, ps, O.V);
      break;
    case IO_Center:
      present = O.I && C.I;
      if (present) CENTERREF(off, ps, O.V, C.V);
      break;
    case IO_Region:  // the bin size is used as it stands
      present = O.I;
      if (present) REALREF(off, ps, O.V, B.V);
      break;
    case IO_Real:
      present = O.I && P.I;
      if (present) REALREF(off, ps, O.V, P.V);
      break;
    case IO_Normal:
      present = O.I && P.I && C.I;
      if (present) NORMALREF(off, ps, O.V, P.V, C.V);
      break;
    case IO_Tangens:
      present = O.I && P.I && C.I && S.I;
      if (present) TANGENSREF(off, ps, O.V, P.V, C.V, S.V);
      break;
    case IO_Saxs:
      present = O.I && P.I && C.I && S.I && W.I;
      if (present) SAXSREF(off, ps, O.V, P.V, C.V, S.V, W.V);
      break;
    default:
      fprintf(stderr, "%s : Unknown reference system %ld\n", Routine, RSys);
      *pstatus = Failed;
      return;
  }
  if (!present) {
    fprintf(stderr, "%s : Missing parameters for the chosen reference system (%s)\n", Routine,
            reftostr(RSys));
    *pstatus = Failed;
    return;
  }
  *Off = off;
  *Ps = ps;
}

void GetReference(long RSys, int blockno, const ImgHeadBlk* ihb, float* Off_1, float* Off_2,
                  float* Ps_1, float* Ps_2, int* pstatus) {
  GetReferenceC(RSys, ihb, 1, blockno, Off_1, Ps_1, pstatus);
  if (!pstatus || *pstatus != Success) return;
  GetReferenceC(RSys, ihb, 2, blockno, Off_2, Ps_2, pstatus);
}

void GetReferenceParametersC(long RSys, const CmdBlk* pcb, const ImgHeadBlk* ihb,
                             int coordinate, int MinImage, int MaxImage, float* Off, float* Ps,
                             int* pstatus) {
  static const char Routine[] = "GetReferenceParametersC";
  if (!pstatus) return;
  if (pcb && pcb->TestBit) printf("%s : %s\n", Routine, reftostr(RSys));
  SetKeloError(SRName, Routine, nullptr);
  *pstatus = Success;
  if (!pcb || !ihb || !Off || !Ps || MinImage < 0) {
    *pstatus = Failed;
    return;
  }

  for (int i = MinImage; i <= MaxImage; i++) {
    GetReferenceC(RSys, ihb, coordinate, i, &Off[i], &Ps[i], pstatus);
    if (*pstatus != Success) return;
  }

  // Output shift: the output image is displaced by that many output pixels.
  if (MinImage == 0 && MaxImage >= 0 && ihb[0].Shift[coordinate].I) {
    Off[0] -= ihb[0].Shift[coordinate].V;
  }

  if (pcb->TestBit) {
    for (int i = MinImage; i <= MaxImage; i++) {
      printf("Off_%u[%d] = % g, Ps_%u[%d] = % g\n", static_cast<unsigned>(coordinate), i,
             Off[i], static_cast<unsigned>(coordinate), i, Ps[i]);
    }
  }
}

void GetReferenceParameters(const CmdBlk* pcb, const ImgHeadBlk* ihb, int MinImage,
                            int MaxImage, float* Off_1, float* Off_2, float* Ps_1, float* Ps_2,
                            int* pstatus) {
  if (!pstatus) return;
  if (!pcb) {
    SetKeloError(SRName, "GetReferenceParameters", nullptr);
    *pstatus = Failed;
    return;
  }
  GetReferenceParametersC(pcb->RSys.V, pcb, ihb, 1, MinImage, MaxImage, Off_1, Ps_1, pstatus);
  if (*pstatus != Success) return;
  GetReferenceParametersC(pcb->RSys.V, pcb, ihb, 2, MinImage, MaxImage, Off_2, Ps_2, pstatus);
}

void UpdateLinearParameters(const CmdBlk* pcb, ImgHeadBlk* ihb, int OutCoordinate,
                            int InCoordinate, int OutImage, int MinImage, int MaxImage,
                            const float* /*Off_1*/, const float* /*Off_2*/, const float* Ps_1,
                            const float* Ps_2, int* pstatus) {
  static const char Routine[] = "UpdateLinearParameters";
  if (!pstatus) return;
  SetKeloError(SRName, Routine, nullptr);
  *pstatus = Failed;
  if (!pcb || !ihb) return;
  if (pcb->TestBit) {
    printf("%s : (OutCoordinate %d, InCoordinate %d)\n", Routine, OutCoordinate, InCoordinate);
  }

  if (OutImage < 0 || MinImage < 0 || MinImage > MaxImage) {
    *pstatus = Success;
    return;
  }

  const float* Ps = nullptr;
  switch (InCoordinate) {
    case 1: Ps = Ps_1; break;
    case 2: Ps = Ps_2; break;
    default:
      fprintf(stderr, "ERROR: Undefined input coordinate %d in %s\n", InCoordinate, Routine);
      exit(-1);
  }
  if (OutCoordinate != 1 && OutCoordinate != 2) {
    fprintf(stderr, "ERROR: Undefined output coordinate %d in %s\n", OutCoordinate, Routine);
    exit(-1);
  }

  if (OutImage == MinImage) {
    *pstatus = Success;
    return;
  }
  if (!Ps) return;

  if (std::fabs(static_cast<double>(Ps[MinImage])) < 1e-30) {
    *pstatus = DivByZero;
    return;
  }
  const float factor = Ps[OutImage] / Ps[MinImage];

  ImgHeadBlk& h = ihb[OutImage];
  // The centre follows the reference pixel size in the systems that scale
  // pixel or bin size together with the image coordinate.
  auto rescale_center = [&]() -> bool {
    IO_float& C = h.Center[OutCoordinate];
    if (C.I < 0) return true;
    if (std::fabs(static_cast<double>(factor)) < 1e-30) {
      *pstatus = DivByZero;
      return false;
    }
    C.V = C.V / factor;
    return true;
  };

  switch (pcb->RSys.V) {
    case IO_Region:
      if (h.PixSiz[OutCoordinate].I >= 0) h.PixSiz[OutCoordinate].V *= factor;
      if (!rescale_center()) return;
      break;
    case IO_Real:
      if (h.BinSiz[OutCoordinate].I >= 0) h.BinSiz[OutCoordinate].V *= factor;
      if (!rescale_center()) return;
      break;
    default:
      if (h.BinSiz[OutCoordinate].I >= 0) h.BinSiz[OutCoordinate].V *= factor;
      break;
  }
  *pstatus = Success;
}

void UpdateImageParameters(const CmdBlk* pcb, ImgHeadBlk* ihb, int MinImage, int MaxImage,
                           const float* Off_1, const float* Off_2, const float* Ps_1,
                           const float* Ps_2, int* pstatus) {
  UpdateLinearParameters(pcb, ihb, 1, 1, 0, MinImage, MaxImage, Off_1, Off_2, Ps_1, Ps_2,
                         pstatus);
  if (!pstatus || *pstatus != Success) return;
  UpdateLinearParameters(pcb, ihb, 2, 2, 0, MinImage, MaxImage, Off_1, Off_2, Ps_1, Ps_2,
                         pstatus);
}
