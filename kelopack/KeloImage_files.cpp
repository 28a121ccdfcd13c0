// KeloImage: the files of the image blocks: opening, sharing and closing
// streams, and the passes of the image loop over all blocks.
#include <sys/stat.h>

#include <cstdio>
#include <cstring>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "kelopack/KeloReplacekey.h"
#include "wibpack/filename.h"
#include "wibpack/wibio.h"

namespace kelo_image {

char* pattern_name(char* buffer, size_t buflen, const char* fname, long FileNumber) {
  char plain[IO_len];
  if (!filename_parameter(plain, sizeof plain, fname, 0)) return nullptr;
  return filename_pattern(buffer, buflen, plain, FileNumber);
}

void record_external(int errval) { SetKeloErrorExternal(errval, ReportKeloImageError); }

}  // namespace kelo_image

using namespace kelo_image;

namespace {

// Hands the command block's output settings to the Wib library.
void output_settings(const CmdBlk* pcb) {
  wib_general_block(pcb->GeneralBlock.V ? 1 : 0);
  wib_set_datavalueoffset(pcb->OutputDataValueOffset.V);
  wib_set_datatype(pcb->OutputDataType.V);
  if (pcb->BslInputByteOrder.I &&
      (pcb->BslInputByteOrder.V == LowByteFirst || pcb->BslInputByteOrder.V == HighByteFirst))
    wib_set_bsl_input_byteorder(pcb->BslInputByteOrder.V);
  if (pcb->MaxLineWidth.I) wib_set_max_line_width(pcb->MaxLineWidth.V > 0 ? pcb->MaxLineWidth.V : 0);
  if (pcb->MinHeaderSize.I)
    wib_set_minimumheadersize(
        pcb->MinHeaderSize.V > 0 ? static_cast<unsigned long>(pcb->MinHeaderSize.V) : 0UL);
}

void print_opened(const CmdBlk* pcb, const ImgBlk& b) {
  if (pcb->TestBit) printf("ib[%d].FileName = %s (stream = %d) opened\n", b.blkno, b.FileName, b.Stream);
}

// The file name of block blkno with its keys replaced; false (after the
// error line) when the replacement fails.
bool block_file_name(char* fname, CmdBlk* pcb, ImgBlk* ib, const long* Num, int blkno,
                     int* pstatus) {
  linekeyvalue(fname, IO_len, ib[blkno].Name.V, 1, pcb, ib, Num, blkno, pstatus);
  if (*pstatus == Success) return true;
  fprintf(stderr, "ERROR (ImgBlk[% d]): key replacement failed in >>%s<<.\n", blkno,
          ib[blkno].Name.V);
  return false;
}

// Makes block blkno have the file fname with file number FileNumber open:
// unless it is open already, closes the old one, releases the header block
// and opens the file.  A file that does not exist leaves the block without
// stream and the status Success; *pmissing tells about it.
bool ensure_open(CmdBlk* pcb, ImgBlk* ib, int blkno, const char* fname, long FileNumber,
                 ImgHeadBlk* ihb, bool* pmissing, int* pstatus) {
  *pmissing = false;
  const int opened = AlreadyOpened(pcb, ib, blkno, fname, FileNumber, pstatus);
  if (*pstatus != Success) return false;
  if (opened) return true;
  CloseImageFile(pcb, ib, blkno, pstatus);
  if (*pstatus != Success) return false;
  FreeImage(pcb, blkno, ihb);
  OpenImageFile(pcb, ib, blkno, fname, FileNumber, ib[blkno].OpenMode.V, pstatus);
  if (*pstatus == FileNotFound) {
    *pstatus = Success;
    *pmissing = true;
    return true;
  }
  if (*pstatus != Success) return false;
  print_opened(pcb, ib[blkno]);
  return true;
}

}  // namespace

int reopen_image_file(const char* fname_full, const char* mode, int* pstatus) {
  int errval = RoutineSucceeded;
  int status = status_success;
  long stream = wib_search_stream(fname_full, mode, &errval, &status);
  record_external(errval);
  if (status != status_success) {
    // Open, but not in a mode that allows what is asked now.
    *pstatus = status;
    return -1;
  }
  if (stream < 0) {
    stream = wib_open_data_file(fname_full, mode, &errval, &status);
    record_external(errval);
    if (status != status_success) {
      *pstatus = status;
      return -1;
    }
  }
  *pstatus = Success;
  return static_cast<int>(stream);
}

void OpenImageFile(CmdBlk* pcb, ImgBlk* ib, int blkno, const char* fname, long FileNumber,
                   long OpenMode, int* pstatus) {
  *pstatus = Success;
  char name[IO_len];
  snprintf(name, sizeof name, "%s", fname ? fname : "");
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "OpenImageFile", blkno);
  SetKeloError(SIName, "OpenImageFile", name);
  if (pcb->TestBit > 2) wibio_debug(1);

  char pattern[IO_len];
  char full[IO_len];
  if (!pattern_name(pattern, sizeof pattern, name, FileNumber) ||
      !filename_full(full, sizeof full, pattern)) {
    *pstatus = FileNameError;
    return;
  }

  output_settings(pcb);

  ImgBlk& b = ib[blkno];
  // The block keeps the mode of the file it has open: an open block is
  // refused before anything of it changes.
  if (b.Stream >= 0) {
    *pstatus = FileAlreadyOpened;
    return;
  }
  if (!strcmp(full, DUMMYFILENAME)) OpenMode |= IO_Dummy;
  b.StreamOpenMode = OpenMode;
  b.FileNumber = FileNumber;
  snprintf(b.FileName, sizeof b.FileName, "%s", pattern);

  if (OpenMode & (IO_DontOpen | IO_Dummy)) return;

  const char* mode;
  if (OpenMode & IO_Old) {
    struct stat st;
    if (stat(full, &st) != 0) {
      *pstatus = FileNotFound;
      return;
    }
    mode = (OpenMode & IO_FileProtect) ? "read" : "old";
  } else if (OpenMode & IO_New) {
    mode = "new";
  } else {
    mode = (OpenMode & IO_FileProtect) ? "read" : "any";
  }
  b.Stream = reopen_image_file(full, mode, pstatus);
}

void CloseImageFile(CmdBlk* pcb, ImgBlk* ib, int blkno, int* pstatus) {
  *pstatus = Success;
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "CloseImageFile", blkno);
  SetKeloError(SIName, "CloseImageFile", nullptr);
  ImgBlk& b = ib[blkno];
  if (!(b.StreamOpenMode & (IO_DontOpen | IO_Dummy))) {
    int status = Success;
    if (StreamCanBeClosed(pcb, ib, blkno, &status)) {
      int errval = RoutineSucceeded;
      int wstatus = status_success;
      wib_close_data_file(b.Stream, &errval, &wstatus);
      record_external(errval);
      if (wstatus != status_success) {
        *pstatus = wstatus;
        return;
      }
    }
  }
  b.Stream = -1;
  b.FileName[0] = '\0';
}

void SearchMinMaxImage(CmdBlk* pcb, ImgBlk* ib, int blkno, long* pMinImage, long* pMaxImage,
                       int* pstatus) {
  *pstatus = Success;
  if (pcb->TestBit) printf(" %s (blkno = %d)\n", "SearchMinMaxImage", blkno);
  SetKeloError(SIName, "SearchMinMaxImage", ib[blkno].FileName);
  if (no_file_io(ib[blkno].StreamOpenMode)) {
    *pMinImage = 1;
    *pMaxImage = 0;
    return;
  }
  int errval = RoutineSucceeded;
  int status = status_success;
  wib_search_minmax_number(ib[blkno].Stream, static_cast<int>(ib[blkno].Memory.V), pMinImage,
                           pMaxImage, &errval, &status);
  record_external(errval);
  *pstatus = status;
}

int kelo_open_all_images(CmdBlk* pcb, ImgBlk* ib, long* FNum, ImgHeadBlk* ihb, int allneeded,
                         int* pstatus) {
  *pstatus = Success;
  const int n = pcb->ImgBlkLen;
  for (int k = 1; k <= n; ++k) {
    const int blkno = k < n ? k : 0;  // the inputs first, the output last
    ImgBlk& b = ib[blkno];
    if (!b.OpenMode.I) fprintf(stderr, "WARNING (ImgBlk[% d]) : opening mode missing\n", blkno);
    if (pcb->TestBit && !b.Name.I && !(b.OpenMode.I && (b.OpenMode.V & IO_DontOpen)))
      printf("INFO (ImgBlk[% d]) : using default file name >>%s<<\n", blkno, b.Name.V);

    char fname[IO_len];
    if (!block_file_name(fname, pcb, ib, nullptr, blkno, pstatus)) return 0;

    // An output image in progress keeps its file.
    if (blkno != 0 || !(ihb[0].I || ihb[0].Data)) {
      bool missing = false;
      if (!ensure_open(pcb, ib, blkno, fname, FNum[blkno], ihb, &missing, pstatus)) return 0;
      if (missing && allneeded) return 0;
    }
  }
  *pstatus = Success;
  return 1;
}

int kelo_read_all_images(CmdBlk* pcb, ImgBlk* ib, long* FNum, long* Num, ImgHeadBlk* ihb,
                         int allneeded, int* pstatus) {
  *pstatus = Success;
  for (int blkno = 1; blkno < pcb->ImgBlkLen; ++blkno) {
    ImgBlk& b = ib[blkno];
    char fname[IO_len];
    if (!block_file_name(fname, pcb, ib, Num, blkno, pstatus)) return 0;
    bool missing = false;
    if (!ensure_open(pcb, ib, blkno, fname, FNum[blkno], ihb, &missing, pstatus)) return 0;
    if (missing && allneeded) return 0;

    ImgHeadBlk& h = ihb[blkno];
    if (h.I && h.ImNum == Num[blkno]) continue;  // already read
    FreeImage(pcb, blkno, ihb);

    const bool quiet = no_file_io(b.StreamOpenMode);
    if (!quiet) {
      const char* what = (b.StreamOpenMode & IO_DontReadData) ? "Reading header" : "Reading image";
      if (b.Memory.V != 1)
        printf("%s: %s, Image : %ld, Memory : %ld", what, b.FileName, Num[blkno], b.Memory.V);
      else
        printf("%s: %s, Image : %ld", what, b.FileName, Num[blkno]);
      fflush(stdout);
    }
    if (!ReadImage(pcb, ib, blkno, Num, ihb, pstatus)) {
      printf(" missing\n");
      if (allneeded) {
        *pstatus = Success;
        return 0;
      }
      *pstatus = Success;
      continue;
    }
    if (*pstatus != Success) {
      if (!quiet) printf("\n");
      return 1;
    }
    if (!quiet) printf(" done\n");
  }
  *pstatus = Success;
  return 1;
}

void kelo_close_all_images(CmdBlk* pcb, ImgBlk* ib, int* pstatus) {
  *pstatus = Success;
  for (int blkno = 0; blkno < pcb->ImgBlkLen; ++blkno) {
    CloseImageFile(pcb, ib, blkno, pstatus);
    if (*pstatus != Success) return;
  }
}

int AlreadyOpened(CmdBlk* /*pcb*/, ImgBlk* ib, int blkno, const char* fname, long FileNumber,
                  int* pstatus) {
  *pstatus = Success;
  if (ib[blkno].Stream < 0) return 0;
  char name[IO_len];
  if (!pattern_name(name, sizeof name, fname, FileNumber)) {
    *pstatus = FileNameError;
    return 0;
  }
  // The same text names the same file; other texts may too (compared as
  // full paths).
  if (!strcmp(name, ib[blkno].FileName)) return 1;
  return filename_compare(name, ib[blkno].FileName) == 0 ? 1 : 0;
}

int StreamCanBeClosed(CmdBlk* pcb, ImgBlk* ib, int blkno, int* pstatus) {
  *pstatus = Success;
  const int stream = ib[blkno].Stream;
  if (stream < 0) return 0;
  for (int i = 0; i < pcb->ImgBlkLen; ++i)
    if (i != blkno && ib[i].Stream == stream) return 0;
  return 1;
}
