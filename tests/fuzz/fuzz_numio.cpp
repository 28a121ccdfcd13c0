// Fuzz target: any text as a floating-point expression, an integer
// expression and a compiled program with two variables.  Every evaluation
// must stop inside the text and leave no program behind.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wibpack/numio.h"

namespace {

void check_tail(const char* text, const char* tail) {
  if (tail < text || tail > text + strlen(text)) {
    fprintf(stderr, "tail outside the text\n");
    abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const char* s = text.c_str();
  const char* tail = nullptr;
  int errval = 0;

  num_str2double(s, &tail, &errval);
  check_tail(s, tail);

  tail = nullptr;
  num_str2long(s, &tail, &errval);
  check_tail(s, tail);

  tail = nullptr;
  NumProg* program = num_str2prog("fuzz", s, &tail, &errval, 2, "x", "y");
  check_tail(s, tail);
  if (program) {
    num_runprog(program, &errval, 1.5, -2.0);
    num_runprog(program, &errval, 0.0, 1e308);
    num_chkvar(program, 1, &errval);
    num_chkvar(program, 2, &errval);
    num_rmprog(program, &errval);
  }
  if (num_searchprog("fuzz", &errval)) {
    fprintf(stderr, "a failed compilation left its program registered\n");
    abort();
  }
  return 0;
}
