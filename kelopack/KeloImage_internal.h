// Internal part of KeloImage shared by its source files.
#ifndef KELOPACK_KELOIMAGE_INTERNAL_H
#define KELOPACK_KELOIMAGE_INTERNAL_H

#include "kelopack/KeloImage.h"

namespace kelo_image {

// Length of the module's message buffer.
constexpr int KeloImageMessageLen = 1024;

// Module buffer for messages recorded in the error block (file names,
// geometry errors).
char* KeloImageMessage();

// Name of the header list that holds the complete header of image block
// blkno when headers are passed through ("i1" for block 1).
void header_list_name(char* buffer, size_t buflen, int blkno);

}  // namespace kelo_image

#endif
