// KeloImage: creating output images and writing them.
#include <cstdio>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "wibpack/filename.h"
#include "wibpack/ipol.h"
#include "wibpack/wibio.h"

using namespace kelo_image;

namespace {

// Records the routine with the full path of the block's file as message.
void record_routine(const char* routine, const ImgBlk& b) {
  char* message = KeloImageMessage();
  if (!filename_full(message, KeloImageMessageLen, b.FileName)) message[0] = '\0';
  SetKeloError(SIName, routine, message);
}

// Wib library status of a call as framework status, with its error value
// recorded; false on failure.
bool recorded(int errval, int status, int* pstatus) {
  record_external(errval);
  if (status == status_success) return true;
  *pstatus = status;
  return false;
}

// Writes the values of one header in order; every method returns false
// after a failure.
class HeaderWriter {
 public:
  HeaderWriter(int stream, long number, long chain, int* pErrorValue, int* pstatus)
      : stream_(stream), number_(number), chain_(static_cast<int>(chain)),
        perr_(pErrorValue), pstatus_(pstatus) {}

  bool text(const char* key, const char* value) {
    return done(wib_write_header_string(stream_, number_, chain_, key, value, perr_, pstatus_));
  }
  bool lng(const char* key, long value) {
    return done(wib_write_header_long(stream_, number_, chain_, key, value, perr_, pstatus_));
  }
  bool flt(const char* key, const IO_float& v, bool write) {
    if (!write) return true;
    return done(wib_write_header_float(stream_, number_, chain_, key, v.V, perr_, pstatus_));
  }
  bool flt(const char* key, const IO_float& v) { return flt(key, v, v.I != 0); }
  bool unit(const char* key, const IO_float& v, const char* unit) {
    if (!v.I) return true;
    return done(
        wib_write_header_unit(stream_, number_, chain_, key, v.V, unit, perr_, pstatus_));
  }
  bool line(const char* key, const IO_line& v) { return !v.I || text(key, v.V); }

 private:
  bool done(int ok) { return ok && *pstatus_ == status_success; }

  int stream_;
  long number_;
  int chain_;
  int* perr_;
  int* pstatus_;
};

}  // namespace

void new_image_header(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                      ImgHeadBlk* templ, KeloImageFunction InitFunction, int* pstatus) {
  *pstatus = Success;
  const ImgBlk& b = ib[blkno];
  const int m = static_cast<int>(b.Memory.V);
  const long n = num[blkno];
  const int debug = pcb->TestBit;
  ImgHeadBlk& h = ihb[blkno];

  restart_header_block(pcb, ihb, blkno);
  if (templ) {
    template_header_block(n, 0, 0, 0, templ->Dim, nullptr, templ, &h);
    debug_block(pcb, "template_header_block", h);
  }

  balance_header_block(pcb, blkno, num, ib, ihb, pstatus);
  if (*pstatus != Success) return;
  if (debug >= 2) {
    printf(" -- balance_header_block (blkno=%d)\n", blkno);
    PrintImageBlock(&b);
    PrintImageHeaderBlock(&h);
  }

  if (InitFunction) {
    InitFunction(pcb, num, ihb, pstatus);
    if (*pstatus != Success) return;
    debug_block(pcb, "InitFunction", h);
  }

  if (h.Orientation.V < KeloMinOrientation || h.Orientation.V > KeloMaxOrientation) {
    *pstatus = InvalidOrientation;
    return;
  }

  h.Stream = b.Stream;
  h.StreamOpenMode = b.StreamOpenMode;
  if (h.StreamOpenMode & IO_FileProtect) {
    *pstatus = FileProtected;
    return;
  }
  if (no_file_io(h.StreamOpenMode)) {
    h.I = 1;
    return;
  }
  if (h.Stream < 0) return;

  int errval = RoutineSucceeded, status = status_success;
  const int exists = wib_test_header(h.Stream, n, m, &errval, &status);
  if (!recorded(errval, status, pstatus)) return;
  if (exists && (h.StreamOpenMode & IO_ImageProtect)) {
    *pstatus = ImageProtected;
    return;
  }
  h.I = 1;
  if (templ && templ->Header.I) {
    wib_write_header(h.Stream, n, m, templ->Header.V, &errval, &status);
    if (!recorded(errval, status, pstatus)) return;
  }
}

void NewImageHeader(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                    ImgHeadBlk* templ, KeloImageFunction InitFunction, int* pstatus) {
  *pstatus = Success;
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "NewImageHeader", blkno);
  record_routine("NewImageHeader", ib[blkno]);
  new_image_header(pcb, ib, blkno, num, ihb, templ, InitFunction, pstatus);
}

void NewImage(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
              ImgHeadBlk* templ, KeloImageFunction InitFunction, int* pstatus) {
  *pstatus = Success;
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "NewImage", blkno);
  record_routine("NewImage", ib[blkno]);
  set_interpolation(pcb);
  const int var = pcb->CreateVariance.V && ib[blkno].Memory.V > 0 ? 1 : 0;

  new_image_header(pcb, ib, blkno, num, ihb, templ, InitFunction, pstatus);
  if (*pstatus != Success || (ib[blkno].StreamOpenMode & IO_DontReadData)) return;

  ImgHeadBlk& h = ihb[blkno];
  if (pcb->TestBit > 1) printf(" -- alloc_image_memory (blkno=%d)\n", blkno);
  // The sizes are copied: alloc_image_memory rewrites those of the block.
  const long dim[3] = {h.Dim[0], h.Dim[1], h.Dim[2]};
  alloc_image_memory(pcb, dim, &h, h.Dummy.V, 1, var, -1.0f, 1, pstatus);
}

void write_image_header(int stream, long ImageChain, ImgHeadBlk* pihb, int* pErrorValue,
                        int* pstatus) {
  *pstatus = Success;
  *pErrorValue = RoutineSucceeded;
  ImgHeadBlk& h = *pihb;
  set_output_header_defaults(&h);
  HeaderWriter w(stream, h.ImNum, ImageChain, pErrorValue, pstatus);
  // The defaults 1 of orientation, projection and axis types are written
  // only over a header that was passed through, which may say otherwise.
  const bool pass = h.Header.I != 0;
  auto beyond_default = [pass](const IO_long& v) { return v.I && (v.V > 1 || pass); };
  const bool binned = h.BinSiz[1].V != 1.0f || h.BinSiz[2].V != 1.0f;

  if (!w.text(KDataVersion, KELODATAVERSION) || !w.flt(KDummy, h.Dummy) ||
      !w.flt(KDDummy, h.DDummy) || !w.flt(KOffset_1, h.Offset[1]) ||
      !w.flt(KOffset_2, h.Offset[2]) || !w.flt(KCenter_1, h.Center[1]) ||
      !w.flt(KCenter_2, h.Center[2]) ||
      !w.flt(KBinSiz_1, h.BinSiz[1], h.BinSiz[1].I || binned) ||
      !w.flt(KBinSiz_2, h.BinSiz[2], h.BinSiz[2].I || binned) ||
      !w.flt(KPixSiz_1, h.PixSiz[1]) || !w.flt(KPixSiz_2, h.PixSiz[2]) ||
      !w.flt(KSampleDistance, h.SampleDistance) || !w.flt(KWaveLength, h.WaveLength) ||
      !w.unit(KDetRot_1, h.DetRot[1], KDetRotUnit) ||
      !w.unit(KDetRot_2, h.DetRot[2], KDetRotUnit) ||
      !w.unit(KDetRot_3, h.DetRot[3], KDetRotUnit) || !w.line(KTitle, h.Title) ||
      !w.line(KTime, h.Time))
    return;
  if (beyond_default(h.Orientation) && !w.lng(KOrientation, h.Orientation.V)) return;
  if (beyond_default(h.Projection) && !w.text(KProjection, protostr(h.Projection.V))) return;
  if (beyond_default(h.AxisType[1]) && !w.text(KAxisType_1, axistostr(h.AxisType[1].V))) return;
  if (beyond_default(h.AxisType[2]) && !w.text(KAxisType_2, axistostr(h.AxisType[2].V))) return;

  // A history that cannot be written does not spoil the image.
  wib_write_header_history(stream, h.ImNum, static_cast<int>(ImageChain), KeloHistoryKey,
                           pErrorValue, pstatus);
  *pErrorValue = RoutineSucceeded;
  *pstatus = Success;
}

void WriteImage(CmdBlk* pcb, ImgBlk* ib, int blkno, ImgHeadBlk* ihb, int* pstatus) {
  *pstatus = Success;
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "WriteImage", blkno);
  SetKeloError(SIName, "WriteImage", nullptr);
  ImgHeadBlk& h = ihb[blkno];
  if (!h.I) {
    *pstatus = HeaderNotInitialized;
    return;
  }
  const int stream = h.Stream;
  const long n = h.ImNum;
  const int m = static_cast<int>(ib[blkno].Memory.V);
  if (no_file_io(h.StreamOpenMode)) return;
  if (!h.Data) {
    // An image created without arrays (headers only) has nothing to write.
    SetKeloErrorMessage("the image has no data array");
    *pstatus = Failed;
    return;
  }
  const int debug = pcb->TestBit;

  if (debug > 1) printf(" --  WriteImage/condition_2d (blkno=%d)\n", blkno);
  condition_2d(&h, h.MinClip, h.MaxClip, h.Gnaw[1], h.Gnaw[2], h.Bin[1], h.Bin[2], h.Val,
               h.ErrVal, h.Factor, h.Const, ib[blkno].Ave, 0, 0, debug, pstatus);
  if (*pstatus != Success) return;

  if (DUMMYDEFINED(h.Dummy.V, h.DDummy.V))
    mark_float_2d(h.Data, h.Dim[1], h.Dim[2], h.Dummy.V, h.DDummy.V);
  if (h.VarDat) mark_float_2d(h.VarDat, h.Dim[1], h.Dim[2], -1.0f, 0.1f);

  if (debug > 1) printf(" --  write_image_header (blkno=%d)\n", blkno);
  int errval = RoutineSucceeded, status = status_success;
  write_image_header(stream, m, &h, &errval, &status);
  if (!recorded(errval, status, pstatus)) return;

  const long compression = pcb->OutputCompression.V;
  if (debug > 1) printf(" --  wib_write_data (blkno=%d)\n", blkno);
  wib_set_datacompression(compression);
  wib_write_data(stream, n, m, h.Dim, h.Data, MFloat, &errval, &status);
  wib_set_datacompression(UnCompressed);
  if (!recorded(errval, status, pstatus)) return;

  if (h.VarDat && m > 0) {
    if (debug > 1) printf(" --  wib_write_data variance array (blkno=%d)\n", blkno);
    wib_write_header_float(stream, n, -m, KDummy, -1.0f, &errval, &status);
    if (!recorded(errval, status, pstatus)) return;
    wib_set_datacompression(compression);
    wib_write_data(stream, n, -m, h.Dim, h.VarDat, MFloat, &errval, &status);
    wib_set_datacompression(UnCompressed);
    recorded(errval, status, pstatus);
  }
}
