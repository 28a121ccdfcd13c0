// Fuzz target: any bytes as a BSL header file, read into the BSL table and
// then opened and read as a data file like any other (see wib_reader.h).
// The scratch directory holds "data.bin" (4096 bytes) for the binary file
// names the header may give.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "wib_reader.h"
#include "wibpack/bslio.h"
#include "wibpack/wibio.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzzwib::write_scratch("input", data, size);
  int entry = open_bsl_file(path.c_str(), "read");
  if (entry >= 0) {
    const BslFile* bsl = bsl_file(entry);
    if (!bsl) abort();
    for (const BslMemory& memory : bsl->MemoryList)
      for (const BslFrame& frame : memory.FrameList)
        if (frame.DataSpec.Dim.size() != 3 || frame.DataSpec.BinaryFileLen == 0) abort();
    close_bsl_file(entry);
  }
  int err, status;
  long stream = wib_open_data_file(path.c_str(), "read", &err, &status);
  if (stream >= 0) {
    if (!status) fuzzwib::read_all_blocks(stream, MDouble);
    wib_close_data_file(stream, &err, &status);
  }
  wib_free_data_file();
  return 0;
}
