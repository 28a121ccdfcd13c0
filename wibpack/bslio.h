// bslio: BSL header files.
//
// A BSL header file is a text file: two title lines, then pairs of lines,
// an indicator line and the name of a binary data file, one pair per memory.
// The indicator line holds at least ten whole numbers; the first three, i1,
// i2 and i3, say that the binary file holds i3 frames of i1 x i2 4-byte
// floating-point values, one after the other.  bslio reads such a file into
// a table of its own (MaxBslFiles entries, separate from the Wib file
// table); wibio presents it as a read-only Wib file.
#ifndef WIBPACK_BSLIO_H
#define WIBPACK_BSLIO_H

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#define MaxBslFiles 20
#define BslBufferSize 512
// Longest line kept (characters).
#define BslMaxLineLen 511
// Numbers an indicator line must hold.
#define BslIndicatorNumbers 10

// Where and how the data of one frame are stored.
typedef struct Bsl_Data_Specification {
  std::string BinaryFileName;       // path of the binary file: Path + FileName
  unsigned long BinaryFilePos = 0;  // byte position of the frame there
  unsigned long BinaryFileLen = 0;  // bytes of the frame
  void* Data = nullptr;             // not used
  std::vector<long> Dim;            // element 0 = n, elements 1..n = sizes
  long DataType = 9;                // FloatValue
  long ByteOrder = 0;               // the machine's
  long RasterConfiguration = 1;
  long Compression = 1;             // none
} BslDataSpec;

typedef struct Bsl_Frame {
  std::string FrameKey;  // frame number "%d", from 1
  BslDataSpec DataSpec;
} BslFrame;

typedef struct Bsl_Memory {
  std::string MemoryKey;  // memory number "%ld", from 1
  std::string FileName;   // binary file name as written in the header
  std::string Indicator;  // the indicator line
  std::vector<BslFrame> FrameList;  // ordered by frame number
} BslMemory;

typedef struct Bsl_File {
  std::string Name;  // header file name as given
  std::string Path;  // its directory followed by '/'
  FILE* Channel = nullptr;
  std::unique_ptr<char[]> Buffer;  // BslBufferSize bytes, the stream's buffer
  std::string FirstHeader;
  std::string SecondHeader;
  std::vector<BslMemory> MemoryList;  // ordered by memory key (text, any case)
} BslFile;

// "bslio : V1.0"
const char* bslio_version(void);

// Reads a BSL header file (mode "read"; "old", "new" and "any" open the
// stream for update or creation but are not used for reading).  Frames
// whose data would start beyond the end of their binary file are not
// recorded.  Returns the table entry, or -1 (message on standard error).
int open_bsl_file(const char* FileName, const char* mode);
// The record of a used entry, or null.
const BslFile* bsl_file(int entry);
// Closes the stream of an entry and frees it: 0, or -1.
int close_bsl_file(int entry);

#endif
