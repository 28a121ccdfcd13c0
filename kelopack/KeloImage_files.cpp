// KeloImage: the files of the image blocks.
#include <cstdio>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"
#include "wibpack/filename.h"

namespace kelo_image {

char* pattern_name(char* buffer, size_t buflen, const char* fname, long FileNumber) {
  char plain[IO_len];
  if (!filename_parameter(plain, sizeof plain, fname, 0)) return nullptr;
  return filename_pattern(buffer, buflen, plain, FileNumber);
}

}  // namespace kelo_image

using namespace kelo_image;

int AlreadyOpened(CmdBlk* /*pcb*/, ImgBlk* ib, int blkno, const char* fname, long FileNumber,
                  int* pstatus) {
  *pstatus = Success;
  if (ib[blkno].Stream < 0) return 0;
  char name[IO_len];
  if (!pattern_name(name, sizeof name, fname, FileNumber)) {
    *pstatus = FileNameError;
    return 0;
  }
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
