// Helpers of the Wib file fuzz targets: a scratch directory for the files
// under test and a reader that walks an open stream the way programs do.
#ifndef TESTS_FUZZ_WIB_READER_H
#define TESTS_FUZZ_WIB_READER_H

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "wibpack/wibio.h"

namespace fuzzwib {

// A scratch directory, removed at exit, holding the file under test and a
// binary data file "data.bin" (4096 bytes of small floats) that BSL headers
// may name.
inline const std::string& scratch_dir() {
  static std::string dir = [] {
    const char* tmp = getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/kelo_fuzz_XXXXXX";
    std::vector<char> buf(pattern.begin(), pattern.end());
    buf.push_back('\0');
    if (!mkdtemp(buf.data())) abort();
    std::string d(buf.data());
    FILE* f = fopen((d + "/data.bin").c_str(), "wb");
    if (!f) abort();
    for (int i = 0; i < 1024; i++) {
      float v = static_cast<float>(i % 97) * 0.5f;
      fwrite(&v, sizeof v, 1, f);
    }
    fclose(f);
    static std::string removed = d;
    atexit([] {
      const char* names[] = {"/data.bin", "/input", "/input.gz", "/input.z"};
      for (const char* n : names) unlink((removed + n).c_str());
      rmdir(removed.c_str());
    });
    return d;
  }();
  return dir;
}

// Writes the bytes into the scratch file of that name and returns its path.
inline std::string write_scratch(const char* name, const uint8_t* data, size_t size) {
  std::string path = scratch_dir() + "/" + name;
  FILE* f = fopen(path.c_str(), "wb");
  if (!f) abort();
  if (size) fwrite(data, 1, size, f);
  fclose(f);
  return path;
}

// Reads everything a program can read from an open stream: for the memories
// 0, 1, -1, 2, -2, 3 the smallest and largest block numbers and the blocks
// of the sixteen numbers from the smallest on and of the largest, each with
// its header list, typed values, history lines, dimensions and data (as
// float, and as mtype into a small caller buffer).
inline void read_all_blocks(long stream, long mtype) {
  const int memories[] = {0, 1, -1, 2, -2, 3};
  const char* const keys[] = {"Dim_1", "Dim_2", "DataType", "Dummy", "Title", "History-1"};
  int err, status;
  for (int memory : memories) {
    long lo = 0, hi = 0;
    if (memory != 0 && !wib_search_minmax_number(stream, memory, &lo, &hi, &err, &status))
      continue;
    // The numbers lo .. lo + 15 (up to hi) and hi.
    std::vector<long> numbers;
    const unsigned long span = static_cast<unsigned long>(hi) - static_cast<unsigned long>(lo);
    for (long k = 0; k < 16 && static_cast<unsigned long>(k) <= span; k++) numbers.push_back(lo + k);
    if (numbers.empty() || numbers.back() != hi) numbers.push_back(hi);
    for (long n : numbers) {
      if (!wib_test_header(stream, n, memory, &err, &status)) continue;
      wib_read_header(stream, n, memory, "fuzz", &err, &status);
      for (const char* key : keys) {
        long lv;
        float fv;
        const char* sv;
        char line[WibMaxLinLen + 1];
        wib_read_header_long(stream, n, memory, key, &lv, &err, &status);
        wib_read_header_float(stream, n, memory, key, &fv, &err, &status);
        if (wib_read_header_string(stream, n, memory, key, &sv, &err, &status) && !status &&
            strlen(sv) > 1u << 20)
          abort();  // a decoded value longer than any header
        wib_read_header_line(stream, n, memory, key, line, &err, &status);
      }
      wib_history_new("fuzz");
      wib_read_header_history(stream, n, memory, "fuzz", &err, &status);

      long* dim = nullptr;
      size_t size = 0;
      wib_read_data_dimension(stream, n, memory, &dim, &size, &err, &status);
      long dim2[3] = {2, 0, 0};
      long* pdim2 = dim2;
      wib_read_data_dimension(stream, n, memory, &pdim2, &size, &err, &status);

      dim = nullptr;
      size = 0;
      void* data = nullptr;
      wib_read_data(stream, n, memory, &dim, &size, &data, MFloat, &err, &status);
      if (!status && data && size) {
        volatile float sum = 0;
        for (size_t k = 0; k < size / sizeof(float); k++) sum = sum + static_cast<float*>(data)[k];
      }
      double buffer[64];
      void* pbuffer = buffer;
      size = sizeof buffer;
      pdim2 = dim2;
      wib_read_data(stream, n, memory, &pdim2, &size, &pbuffer, mtype, &err, &status);
      unsigned char raw[4096];
      size = sizeof raw;
      long type, offset, order, raster;
      dim = nullptr;
      wib_read_data_raw(stream, n, memory, &dim, &size, raw, &type, &offset, &order, &raster,
                        &err, &status);
    }
  }
  wib_free_header("fuzz");
}

}  // namespace fuzzwib

#endif
