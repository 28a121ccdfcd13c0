// KeloReplacekey: keys in square brackets inside file names and option
// values, replaced at the moment the value is used.
//
// Syntax: "[" key ["," block ["," parameter ["," ignored ...]]] "]".
//   key        a name of at most 64 characters; keys nested in it are
//              replaced by the first word of their value first (keys nested
//              more than 64 deep are copied as written).
//   block      integer expression: the image block the key refers to
//              (default: the caller's block), clamped to the blocks that
//              exist.  Header values are always read from an input block:
//              the same number clamped to 1 and up.
//   parameter  integer expression: n >= 1 selects the n-th word of the value
//              (words are separated by single white-space characters, so two
//              blanks delimit an empty word), 0 the whole value (default: the
//              caller's npar).
// Built-in keys (a name that begins with one of them counts as that key):
//   FNUM    file number of the block's current file
//   LNUM    loop number of the block
//   INUM    current image number of the block (1 without image numbers)
//   MNUM    memory number of the block
//   FNAME   file name of the block's current file
//   FPATH   directory part of that file name
//   CYCLES  loop cycle count of the command block
// Any other name is a header key of the current image (Num of the block, or
// 1; its memory Memory) in the file of the input block the key refers to
// (block 0 reads from block 1; the dummy file has no keys).  A key
// without a value stays in the text exactly as it was written.
#ifndef KELOPACK_KELOREPLACEKEY_H
#define KELOPACK_KELOREPLACEKEY_H

#include <cstddef>

#include "kelopack/KeloOption.h"

// "KeloReplacekey : V1.17 Orrin 2010-11-18"
const char* replacekey_version();

// Writes string with its keys replaced into buffer (buflen bytes; the
// result is cut to buflen - 1 characters) and returns buffer, or null for
// buflen 0.  npar is the default parameter, Num the current image number of
// every block (may be null), blkno the default block.  Without command
// block or image blocks string is copied unchanged.
char* replacekey(char* buffer, size_t buflen, const char* string, long npar, CmdBlk* pcb,
                 ImgBlk* ib, const long* Num, long blkno, int* pstatus);
// replacekey with a debug line at debug level 1 and above.
char* linekeyvalue(char* buffer, size_t buflen, const char* string, long npar, CmdBlk* pcb,
                   ImgBlk* ib, const long* Num, long blkno, int* pstatus);

// The text with its keys replaced (default parameter 1) evaluated as an
// integer, single- or double-precision expression.  When the evaluation
// fails the replaced text becomes the error message.
long longkeyvalue(const char* string, CmdBlk* pcb, ImgBlk* ib, const long* Num, long blkno,
                  int* pstatus);
float floatkeyvalue(const char* string, CmdBlk* pcb, ImgBlk* ib, const long* Num, long blkno,
                    int* pstatus);
double doublekeyvalue(const char* string, CmdBlk* pcb, ImgBlk* ib, const long* Num, long blkno,
                      int* pstatus);

#endif
