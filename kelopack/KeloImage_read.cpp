// KeloImage: reading input images into header blocks.
#include <algorithm>
#include <cstdio>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "wibpack/ipol.h"
#include "wibpack/wibio.h"

using namespace kelo_image;

namespace {

// Reads the framework's header keys of one image; every method returns
// false after a failure (status set, the key as error message).  A key the
// header lacks leaves the default.
class HeaderKeys {
 public:
  HeaderKeys(int stream, long number, int memory, int* pstatus)
      : stream_(stream), number_(number), memory_(memory), pstatus_(pstatus) {}

  bool flt(const char* key, IO_float& v) { return number<float>(key, v, wib_read_header_float); }
  bool lng(const char* key, IO_long& v) { return number<long>(key, v, wib_read_header_long); }
  bool line(const char* key, IO_line& v) {
    char value[WibMaxLinLen + 1];
    int errval = RoutineSucceeded, status = status_success;
    const int present =
        wib_read_header_line(stream_, number_, memory_, key, value, &errval, &status);
    if (!checked(key, present, errval, status)) return false;
    if (present) {
      snprintf(v.V, sizeof v.V, "%s", value);
      v.I = 1;
    }
    return true;
  }
  // A text value turned into a number by convert (projection, axis type).
  bool word(const char* key, IO_long& v, long (*convert)(const char*)) {
    IO_line text{};
    if (!line(key, text)) return false;
    if (text.I) set(v, convert(text.V));
    return true;
  }

 private:
  template <typename T, typename R>
  bool number(const char* key, R& v,
              int (*read)(long, long, int, const char*, T*, int*, int*)) {
    T value{};
    int errval = RoutineSucceeded, status = status_success;
    const int present = read(stream_, number_, memory_, key, &value, &errval, &status);
    if (!checked(key, present, errval, status)) return false;
    if (present) set(v, value);
    return true;
  }
  template <typename R, typename T>
  static void set(R& v, T value) {
    v.V = value;
    v.I = 1;
  }
  bool checked(const char* key, int present, int errval, int status) {
    record_external(errval);
    if (!present || status == status_success) return true;
    *pstatus_ = status;
    SetKeloErrorMessage(key);
    return false;
  }

  int stream_;
  long number_;
  int memory_;
  int* pstatus_;
};

bool read_header_keys(HeaderKeys& r, ImgHeadBlk& h) {
  return r.flt(KDummy, h.Dummy) && r.flt(KDDummy, h.DDummy) && r.flt(KOffset_1, h.Offset[1]) &&
         r.flt(KOffset_2, h.Offset[2]) && r.flt(KCenter_1, h.Center[1]) &&
         r.flt(KCenter_2, h.Center[2]) && r.flt(KBinSiz_1, h.BinSiz[1]) &&
         r.flt(KBinSiz_2, h.BinSiz[2]) && r.flt(KPixSiz_1, h.PixSiz[1]) &&
         r.flt(KPixSiz_2, h.PixSiz[2]) && r.flt(KSampleDistance, h.SampleDistance) &&
         r.flt(KWaveLength, h.WaveLength) && r.flt(KDetRot_1, h.DetRot[1]) &&
         r.flt(KDetRot_2, h.DetRot[2]) && r.flt(KDetRot_3, h.DetRot[3]) &&
         r.line(KTitle, h.Title) && r.line(KTime, h.Time) && r.lng(KOrientation, h.Orientation) &&
         r.word(KProjection, h.Projection, strtopro) &&
         r.word(KAxisType_1, h.AxisType[1], strtoaxis) &&
         r.word(KAxisType_2, h.AxisType[2], strtoaxis);
}

// Reads the array of image number, memory into data (bytes of capacity):
// the library fills the caller's buffer.  false with the status set on
// failure.
bool read_array(int stream, long number, int memory, float* data, size_t bytes, int* pstatus) {
  long dim[3] = {2, 0, 0};
  long* pdim = dim;
  void* buffer = data;
  size_t size = bytes;
  int errval = RoutineSucceeded, status = status_success;
  wib_read_data(stream, number, memory, &pdim, &size, &buffer, MFloat, &errval, &status);
  record_external(errval);
  if (status != status_success) {
    *pstatus = status;
    return false;
  }
  if (buffer != data) {  // never keep an array of the library
    *pstatus = Failed;
    return false;
  }
  return true;
}

}  // namespace

const char* ReportKeloImageError(int ExternalError) { return wib_report_data_error(ExternalError); }

namespace kelo_image {

void debug_block(const CmdBlk* pcb, const char* what, const ImgHeadBlk& h) {
  if (pcb->TestBit <= 1) return;
  printf(" -- %s (blkno=%d)\n", what, h.blkno);
  PrintImageHeaderBlock(&h);
}

void restart_header_block(const CmdBlk* pcb, ImgHeadBlk* ihb, int blkno) {
  free_image_memory(&ihb[blkno]);
  init_header_block(ihb, blkno);
  debug_block(pcb, "init_header_block", ihb[blkno]);
}

void set_interpolation(const CmdBlk* pcb) {
  const int mode = Ipolmode(pcb->AntiAliased.V ? IPOL_ANTIALIASED : IPOL_NORMAL);
  Ipolweight(pcb->VarianceWeight.V ? IPOL_WEIGHTED : IPOL_EQUAL);
  if (pcb->TestBit > 1) printf("Interpolation mode is set to %s.\n", Ipolmode2str(mode));
}

}  // namespace kelo_image

int read_kelo_image(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb, int DontRead,
                    int* pstatus) {
  *pstatus = Success;
  const ImgBlk& b = ib[blkno];
  const int stream = b.Stream;
  const long mode = b.StreamOpenMode;
  const int m = static_cast<int>(b.Memory.V);
  const long n = num[blkno];
  const int debug = pcb->TestBit;

  ImgHeadBlk& h = ihb[blkno];
  restart_header_block(pcb, ihb, blkno);
  h.ImNum = n;

  set_interpolation(pcb);

  long filedim[3] = {2, 0, 0};  // dimensions of the data in the file
  if (!no_file_io(mode)) {
    if (stream < 0) {
      *pstatus = FileMustBeOpened;
      return 0;
    }
    int errval = RoutineSucceeded, status = status_success;
    if (pcb->PassHeader.V) {
      header_list_name(h.Header.V, sizeof h.Header.V, blkno);
      if (!wib_new_header(h.Header.V)) {
        SetKeloErrorMessage(h.Header.V);
        *pstatus = Failed;
        return 0;
      }
      h.Header.I = 1;
      wib_read_header(stream, n, m, h.Header.V, &errval, &status);
      record_external(errval);
      if (status != status_success) {
        SetKeloErrorMessage(h.Header.V);
        *pstatus = status;
        return 0;
      }
    }

    long* pdim = filedim;
    size_t bytes = 0;
    const int exists =
        wib_read_data_dimension(stream, n, m, &pdim, &bytes, &errval, &status);
    record_external(errval);
    if (status != status_success) {
      h.Dim[0] = h.Dim[1] = h.Dim[2] = 0;
      *pstatus = status;
      return exists;
    }
    for (int i = 0; i < 3; ++i) h.Dim[i] = filedim[i];
    h.ImgByteLen = bytes;

    HeaderKeys keys(stream, n, m, pstatus);
    if (!read_header_keys(keys, h)) return 1;

    if (blkno == 1) {
      wib_read_header_history(stream, n, m, KeloHistoryKey, &errval, &status);
      record_external(errval);
      if (status != status_success) {
        *pstatus = status;
        return 1;
      }
    }
    *pstatus = Success;
  }

  if (debug > 1) {
    printf(" -- wib_read_header_... (blkno=%d)\n", blkno);
    PrintImageHeaderBlock(&h);
  }
  balance_header_block(pcb, blkno, num, ib, ihb, pstatus);
  if (*pstatus != Success) return 1;
  if (debug > 1) {
    printf(" -- balance_header_block (blkno=%d)\n", blkno);
    PrintImageBlock(&b);
    PrintImageHeaderBlock(&h);
  }

  if (h.Orientation.V < KeloMinOrientation || h.Orientation.V > KeloMaxOrientation) {
    *pstatus = InvalidOrientation;
    return 1;
  }

  const bool read_data = !DontRead && !(mode & (IO_DontReadData | IO_DontReadWrite));
  if (read_data) {
    if (debug > 1) printf(" --- read image data ... (blkno=%d)\n", blkno);
    const int create_variance = pcb->CreateVariance.V ? 1 : 0;
    if (mode & IO_Dummy) {
      if (debug > 1) printf(" -- allocate dummy image (blkno=%d)\n", blkno);
      alloc_image_memory(pcb, h.Dim, &h, h.Dummy.V, 1, create_variance, 0.0f, 1, pstatus);
      if (*pstatus != Success) return 1;
    } else {
      // Data read from a file keep the dimensions they have there.
      h.Dim[1] = filedim[1];
      h.Dim[2] = filedim[2];

      bool variance_block = false;
      if (create_variance && m > 0) {
        if (debug > 1)
          printf(" -- check for variance block (blkno=%d,img=%ld,mem=%d)\n", blkno, n, -m);
        int errval = RoutineSucceeded, status = status_success;
        variance_block = wib_test_header(stream, n, -m, &errval, &status) != 0;
        record_external(errval);
        if (status != status_success) {
          *pstatus = status;
          return 1;
        }
      }
      if (variance_block) {
        long vdim[3] = {2, 0, 0};
        long* pdim = vdim;
        size_t bytes = 0;
        int errval = RoutineSucceeded, status = status_success;
        wib_read_data_dimension(stream, n, -m, &pdim, &bytes, &errval, &status);
        record_external(errval);
        if (status != status_success) {
          *pstatus = status;
          return 1;
        }
        if (vdim[0] != 2 || vdim[1] != h.Dim[1] || vdim[2] != h.Dim[2]) {
          fprintf(stderr, "ERROR: Dimensions of data array and variance array are different\n");
          fprintf(stderr, "           %ldd data array[ %ld, %ld]\n", h.Dim[0], h.Dim[1], h.Dim[2]);
          fprintf(stderr, "       %ldd variance array[ %ld, %ld]\n", vdim[0], vdim[1], vdim[2]);
          *pstatus = Failed;
          return 1;
        }
      }
      if (debug > 1) printf(" -- allocate image (blkno=%d)\n", blkno);
      // The arrays are filled only after the data were read, so that a
      // header promising more data than the file holds fails before the
      // memory is touched.
      alloc_image_memory(pcb, h.Dim, &h, 0.0f, 0, create_variance, 0.0f, 0, pstatus);
      if (*pstatus != Success) return 1;
      if (debug > 1) printf(" -- wib_read_data (blkno=%d)\n", blkno);
      if (!read_array(stream, n, m, h.Data, h.ImgByteLen, pstatus)) return 1;
      if (variance_block) {
        if (debug > 1) printf(" -- wib_read_data variance array (blkno=%d)\n", blkno);
        if (!read_array(stream, n, -m, h.VarDat, h.ImgByteLen, pstatus)) return 1;
      } else if (h.VarDat) {
        std::fill(h.VarDat, h.VarDat + h.ImgByteLen / sizeof(float), 0.0f);
      }
    }
  }

  if (debug > 1) printf(" --  read_kelo_image/condition_2d (blkno=%d)\n", blkno);
  condition_2d(&h, h.MinClip, h.MaxClip, h.Gnaw[1], h.Gnaw[2], h.Bin[1], h.Bin[2], h.Val,
               h.ErrVal, h.Factor, h.Const, b.Ave, 0, read_data ? 0 : 1, debug, pstatus);
  if (*pstatus != Success) return 1;
  h.I = 1;
  return 1;
}

int ReadImage(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb, int* pstatus) {
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "ReadImage", blkno);
  SetKeloError(SIName, "ReadImage", nullptr);
  *pstatus = Success;
  return read_kelo_image(pcb, ib, blkno, num, ihb, 0, pstatus);
}

int ReadImageHeader(CmdBlk* pcb, ImgBlk* ib, int blkno, long* num, ImgHeadBlk* ihb,
                    int* pstatus) {
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "ReadImageHeader", blkno);
  SetKeloError(SIName, "ReadImageHeader", nullptr);
  *pstatus = Success;
  return read_kelo_image(pcb, ib, blkno, num, ihb, 1, pstatus);
}
