// The image loop's own cost: 200 images of 64 x 64 pixels in one file
// copied into an output file by a per-image function that does nothing but
// copy.  Counters show how often the files are opened and how many bytes
// are read per byte of the input file in one run.
#include <benchmark/benchmark.h>
#include <dlfcn.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "wibpack/wibio.h"

namespace {

std::string input_path, output_path;
long input_opens = 0, output_opens = 0;

}  // namespace

// Counts the opening of the two files of the run; every other call goes
// straight to the C library.
extern "C" FILE* fopen(const char* path, const char* mode) {
  using Fopen = FILE* (*)(const char*, const char*);
  static const Fopen real = reinterpret_cast<Fopen>(dlsym(RTLD_NEXT, "fopen"));
  if (path && input_path == path) ++input_opens;
  if (path && output_path == path) ++output_opens;
  return real(path, mode);
}

namespace {

constexpr long kImages = 200;
constexpr long kSize = 64;

void Copy(CmdBlk* /*pcb*/, long* /*num*/, ImgHeadBlk* ihb, int* pstatus) {
  memcpy(ihb[0].Data, ihb[1].Data, ihb[1].ImgByteLen);
  *pstatus = Success;
}

void MakeInput() {
  int err = 0, status = 0;
  const long stream = wib_open_data_file(input_path.c_str(), "new", &err, &status);
  std::vector<float> data(kSize * kSize);
  const long dim[3] = {2, kSize, kSize};
  for (long n = 1; n <= kImages; ++n) {
    for (size_t i = 0; i < data.size(); ++i) data[i] = static_cast<float>(n + i);
    wib_write_header_string(stream, n, 1, "Title", "benchmark image", &err, &status);
    wib_write_data(stream, n, 1, dim, data.data(), MFloat, &err, &status);
  }
  wib_close_data_file(stream, &err, &status);
}

// Bytes read by this process so far.
long ReadBytes() {
  std::ifstream io("/proc/self/io");
  std::string key;
  long value = 0;
  while (io >> key >> value)
    if (key == "rchar:") return value;
  return 0;
}

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[2];
};

void BM_ImageLoopCopy(benchmark::State& state) {
  char tmpl[] = "/tmp/kelo_bench_XXXXXX";
  const std::string dir = mkdtemp(tmpl);
  input_path = dir + "/in.wib";
  output_path = dir + "/out.wib";
  MakeInput();
  wib_history_new(KeloHistoryKey);
  wib_history_argv(KeloHistoryKey, "imageloop_bench");

  // Progress lines go to /dev/null while the loop runs.
  fflush(stdout);
  const int saved = dup(fileno(stdout));
  FILE* null = std::fopen("/dev/null", "w");

  long runs = 0, bytes = 0;
  input_opens = output_opens = 0;
  for (auto _ : state) {
    auto b = std::make_unique<Blocks>();
    InitOptions("<usage>", "bench", nullptr, 1, &b->cb, b->ib, 2);
    snprintf(b->ib[1].Name.V, IO_len, "%s", input_path.c_str());
    snprintf(b->ib[0].Name.V, IO_len, "%s", output_path.c_str());
    b->ib[1].Name.I = b->ib[0].Name.I = 1;
    b->ib[1].OpenMode.V = IO_Old | IO_FileProtect;
    b->ib[0].OpenMode.V = IO_New;
    b->ib[1].OpenMode.I = b->ib[0].OpenMode.I = 1;

    dup2(fileno(null), fileno(stdout));
    const long before = ReadBytes();
    int status = Failed;
    ImageLoop(&b->cb, b->ib, Copy, nullptr, nullptr, 1, &status);
    fflush(stdout);
    bytes += ReadBytes() - before;
    dup2(saved, fileno(stdout));
    ReleaseOptions(&b->cb);
    if (status != Success) {
      state.SkipWithError("ImageLoop failed");
      break;
    }
    ++runs;
  }
  std::fclose(null);
  close(saved);

  std::ifstream in(input_path, std::ios::binary | std::ios::ate);
  const double file_bytes = static_cast<double>(in.tellg());
  state.SetItemsProcessed(state.iterations() * kImages);
  if (runs > 0) {
    state.counters["input_opens_per_run"] = static_cast<double>(input_opens) / runs;
    state.counters["output_opens_per_run"] = static_cast<double>(output_opens) / runs;
    state.counters["read_per_input_byte"] = bytes / file_bytes / runs;
  }
  std::system(("rm -rf '" + dir + "'").c_str());
}
BENCHMARK(BM_ImageLoopCopy)->Unit(benchmark::kMillisecond);

}  // namespace
