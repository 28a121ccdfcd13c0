// Fuzz target: any text as a file name pattern, given to every filename
// function with a buffer length and a file number taken from the input.
// Results must be terminated inside the buffer; nothing may write past it.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "wibpack/filename.h"

namespace {

// Buffer lengths tried: tiny, ordinary and larger than any pattern.
const size_t kBufferLengths[] = {1, 2, 7, 64, 4096, 9000};

void check(const char* result, const char* buffer, size_t buflen) {
  if (result && (result != buffer || strnlen(buffer, buflen) >= buflen)) {
    fprintf(stderr, "result not terminated inside the buffer\n");
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // Variables the patterns may name: a short path, an empty one and one
  // longer than any buffer.
  setenv("KF", "dir/sub", 1);
  setenv("KFEMPTY", "", 1);
  setenv("KFLONG", std::string(6000, 'L').c_str(), 1);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const size_t buflen = kBufferLengths[data[0] % (sizeof kBufferLengths / sizeof *kBufferLengths)];
  long number = static_cast<int8_t>(data[1]);
  if (data[1] & 0x80) number *= 1000003L;  // also large and negative numbers
  if (data[1] == 0x80) number = -9223372036854775807L - 1;
  const std::string pattern(reinterpret_cast<const char*>(data + 2), size - 2);
  const char* p = pattern.c_str();

  // Exact size, so that the sanitizer sees any write past the end.
  std::unique_ptr<char[]> buffer(new char[buflen]);
  char* b = buffer.get();

  check(env_subst(b, buflen, p), b, buflen);
  check(filename_unix(b, buflen, p), b, buflen);
  for (int parno = -1; parno < 4; parno++) check(filename_parameter(b, buflen, p, parno), b, buflen);
  check(filename_pattern(b, buflen, p, number), b, buflen);
  filename_has_pattern(p);
  filename_has_path(p);
  check(filename_name(b, buflen, p), b, buflen);
  check(filename_path(b, buflen, p), b, buflen);
  check(filename_body(b, buflen, p), b, buflen);
  check(filename_extension(b, buflen, p), b, buflen);
  check(filename_full(b, buflen, p), b, buflen);
  filename_exists(p);
  filename_compare(p, "./x");
  return 0;
}
