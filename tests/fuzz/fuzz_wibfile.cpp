// Fuzz target: any bytes opened as a data file and read as a program reads
// it: every block located, its header values, history lines, dimensions and
// data converted to float and to another machine type.  The first byte
// chooses the file name (plain, gzip ".gz" or zlib ".z" compressed, which
// the library decompresses first), the type of the second conversion, and
// whether the file is also opened for update: a header value is written into
// the first image block and must read back after closing.  Files that do not
// start like a Wib file are read as BSL header files (the scratch directory
// holds a binary file "data.bin" that they may name).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wib_reader.h"
#include "wibpack/wibio.h"
#include "wibpack/wibio_internal.h"

namespace {

const char* const kNames[] = {"input", "input.gz", "input.z", "input"};
const long kTypes[] = {MUnsignedShort, MShort, MInteger, MLong, MFloat, MDouble, MFloat, MDouble};

// Writes a value into block 1 of memory 1 of a file opened "old", closes it,
// and checks that the value reads back when the writing succeeded.  Only a
// file with a general block on disk is checked: rewriting a header in place
// gives it the format keys of version 2, and a file read as version 1 (for
// example one whose general block is damaged) may then read differently.
void update_and_check(const std::string& path, const std::string& value) {
  int err, status;
  long stream = wib_open_data_file(path.c_str(), "old", &err, &status);
  if (stream < 0) return;
  const DFile& file = FileTable[stream];
  const bool check = file.Version.Major >= 2 && !file.Flags.NoGeneralHeader;
  bool written = false;
  if (!status && wib_test_header(stream, 1, 1, &err, &status))
    written = wib_write_header_string(stream, 1, 1, "FuzzKey", value.c_str(), &err, &status) &&
              !status;
  wib_close_data_file(stream, &err, &status);
  if (!check || !written || status) return;

  stream = wib_open_data_file(path.c_str(), "read", &err, &status);
  if (stream < 0 || status) {
    fprintf(stderr, "file unreadable after an update\n");
    abort();
  }
  const char* back = nullptr;
  if (!wib_read_header_string(stream, 1, 1, "FuzzKey", &back, &err, &status) || status ||
      value != back) {
    fprintf(stderr, "value written is not read back: \"%s\"\n", value.c_str());
    abort();
  }
  wib_close_data_file(stream, &err, &status);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const uint8_t select = data[0];
  const std::string path = fuzzwib::write_scratch(kNames[select & 3], data + 1, size - 1);
  int err, status;
  long stream = wib_open_data_file(path.c_str(), "read", &err, &status);
  if (stream >= 0) {
    if (!status) fuzzwib::read_all_blocks(stream, kTypes[(select >> 3) & 7]);
    wib_close_data_file(stream, &err, &status);
  }
  if ((select & 4) && (select & 3) == 0)
    update_and_check(path, std::string(reinterpret_cast<const char*>(data + 1),
                                       strnlen(reinterpret_cast<const char*>(data + 1),
                                               size - 1 < 40 ? size - 1 : 40)));
  wib_free_data_file();
  return 0;
}
