// Fuzz target: any argument list given to the option parser of kelo_filter,
// with the program's own parameters defined.  The input is split into words
// at NUL bytes; the parser must consume only words that exist and end with
// a defined status.  A value word missing at the end still counts, so the
// index may stand on the terminating null.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloOption.h"
#include "src/filter_entry.h"

namespace {

const size_t kMaxWords = 200;

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[FilterImageBlocks];
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> words{"kelo_filter"};
  std::string word;
  for (size_t i = 0; i < size && words.size() < kMaxWords; i++) {
    if (data[i] == 0) {
      words.push_back(word);
      word.clear();
    } else {
      word += static_cast<char>(data[i]);
    }
  }
  if (!word.empty() && words.size() < kMaxWords) words.push_back(word);
  std::vector<char*> argv;
  for (std::string& w : words) argv.push_back(&w[0]);
  argv.push_back(nullptr);

  auto blocks = std::make_unique<Blocks>();
  CmdBlk* pcb = &blocks->cb;
  InitOptions(MainHelp, MainVersion, nullptr, FilterRejectNum, pcb, blocks->ib, FilterImageBlocks);
  DefineFilterParameters(pcb);
  int arg_no = 0;
  int status = Success;
  ReadOptions(argv.data(), &arg_no, pcb, blocks->ib, &status);
  ReleaseOptions(pcb);
  if (arg_no < 0 || arg_no > static_cast<int>(words.size())) {
    fprintf(stderr, "argument index %d outside the %zu words\n", arg_no, words.size());
    abort();
  }
  if (status < Failed || status > ExternalErrorReport) {
    fprintf(stderr, "undefined status %d\n", status);
    abort();
  }
  return 0;
}
