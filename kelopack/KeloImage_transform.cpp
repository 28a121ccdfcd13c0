// KeloImage: bringing the images of an image step into a common raster
// orientation, with their geometry headers.
#include <cstdio>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"

namespace {

void ToRecord(const IO_float& v, SXD& d) {
  d.V = v.V;
  d.I = v.I;
}

void ToHeader(const SXD& d, IO_float& v) {
  v.V = static_cast<float>(d.V);
  v.I = d.I;
}

}  // namespace

void kelo_header2params(const ImgHeadBlk* pihb, SXParams* params, int* pstatus) {
  if (!pstatus) return;
  SetKeloError(SIName, "kelo_header2params", nullptr);
  if (!pihb || !params) {
    *pstatus = Failed;
    return;
  }
  sx_new(params);
  params->pro.V = static_cast<int>(pihb->Projection.V);
  params->pro.I = pihb->Projection.I;
  params->ori.V = pihb->Orientation.V;
  params->ori.I = pihb->Orientation.I;
  params->axis1.V = static_cast<int>(pihb->AxisType[1].V);
  params->axis1.I = pihb->AxisType[1].I;
  params->axis2.V = static_cast<int>(pihb->AxisType[2].V);
  params->axis2.I = pihb->AxisType[2].I;
  params->dim1.V = pihb->Dim[1];
  params->dim1.I = 1;
  params->dim2.V = pihb->Dim[2];
  params->dim2.I = 1;
  ToRecord(pihb->Offset[1], params->off1);
  ToRecord(pihb->Offset[2], params->off2);
  ToRecord(pihb->BinSiz[1], params->bis1);
  ToRecord(pihb->BinSiz[2], params->bis2);
  params->ras1.V = params->ras2.V = 0.0;  // the raster region is not known
  params->ras1.I = params->ras2.I = 0;
  ToRecord(pihb->PixSiz[1], params->pix1);
  ToRecord(pihb->PixSiz[2], params->pix2);
  ToRecord(pihb->Center[1], params->cen1);
  ToRecord(pihb->Center[2], params->cen2);
  ToRecord(pihb->SampleDistance, params->dis);
  ToRecord(pihb->DetRot[1], params->rot1);
  ToRecord(pihb->DetRot[2], params->rot2);
  ToRecord(pihb->DetRot[3], params->rot3);
  ToRecord(pihb->WaveLength, params->wvl);
  *pstatus = Success;
}

void kelo_params2header(ImgHeadBlk* pihb, const SXParams* params, int* pstatus) {
  if (!pstatus) return;
  SetKeloError(SIName, "kelo_params2header", nullptr);
  if (!pihb || !params) {
    *pstatus = Failed;
    return;
  }
  pihb->Projection.V = params->pro.V;
  pihb->Projection.I = params->pro.I;
  pihb->Orientation.V = params->ori.V;
  pihb->Orientation.I = params->ori.I;
  pihb->AxisType[1].V = params->axis1.V;
  pihb->AxisType[1].I = params->axis1.I;
  pihb->AxisType[2].V = params->axis2.V;
  pihb->AxisType[2].I = params->axis2.I;
  if (params->dim1.I) pihb->Dim[1] = params->dim1.V;
  if (params->dim2.I) pihb->Dim[2] = params->dim2.V;
  ToHeader(params->off1, pihb->Offset[1]);
  ToHeader(params->off2, pihb->Offset[2]);
  ToHeader(params->bis1, pihb->BinSiz[1]);
  ToHeader(params->bis2, pihb->BinSiz[2]);
  ToHeader(params->pix1, pihb->PixSiz[1]);
  ToHeader(params->pix2, pihb->PixSiz[2]);
  ToHeader(params->cen1, pihb->Center[1]);
  ToHeader(params->cen2, pihb->Center[2]);
  ToHeader(params->dis, pihb->SampleDistance);
  ToHeader(params->rot1, pihb->DetRot[1]);
  ToHeader(params->rot2, pihb->DetRot[2]);
  ToHeader(params->rot3, pihb->DetRot[3]);
  ToHeader(params->wvl, pihb->WaveLength);
  *pstatus = Success;
}

void kelo_tf_all_images(CmdBlk* pcb, ImgBlk* /*ib*/, ImgHeadBlk* ihb, long ori, int* pstatus) {
  static const char Routine[] = "kelo_tf_all_images";
  if (!pstatus) return;
  SetKeloError(SIName, Routine, nullptr);
  if (!pcb || (!ihb && pcb->ImgBlkLen > 0)) {
    *pstatus = Failed;
    return;
  }
  const bool debug = pcb->TestBit >= 1;
  if (debug) printf("%s BEGIN\n", Routine);

  *pstatus = Success;
  for (int blkno = 0; blkno < pcb->ImgBlkLen && *pstatus == Success; blkno++) {
    ImgHeadBlk& h = ihb[blkno];
    if (!h.I) continue;

    SXParams params;
    if (debug) printf("  kelo_header2params\n");
    kelo_header2params(&h, &params, pstatus);
    if (*pstatus != Success) break;

    // In place: the record and the arrays are both input and output.
    if (debug) printf("  sx_tf_img\n");
    const size_t pixels = h.Dim[1] > 0 && h.Dim[2] > 0
                              ? static_cast<size_t>(h.Dim[1]) * static_cast<size_t>(h.Dim[2])
                              : 0;
    int errval = SX_SUCCESS;
    if (sx_tf_img(&params, h.Data, h.VarDat, pixels, &params, h.Data, h.VarDat, sizeof(float),
                  ori, 1, &errval) || errval != SX_SUCCESS) {
      char* message = kelo_image::KeloImageMessage();
      sx_errval2str(message, kelo_image::KeloImageMessageLen, errval);
      SetKeloError(SIName, Routine, message);
      *pstatus = Failed;
      break;
    }

    if (debug) printf("  kelo_params2header\n");
    kelo_params2header(&h, &params, pstatus);
  }

  if (*pstatus == Success) {
    if (debug) printf("%s END\n", Routine);
  } else if (debug) {
    printf("%s END (status=%d)\n", Routine, *pstatus);
  }
}
