// A whole run of kelo_filter on one 2048 x 2048 float image with the default
// parameters, and its parts: reading the image, mapping it onto the output
// grid and filtering it (the per-image function), the peak filter alone,
// writing the output image, and the I/O floor (copying the file with a
// 128 KiB buffer).  The sample image comes from tools/make_sample_series;
// files go to a scratch directory in /tmp.
//
// WholeRun starts the program as a process and measures wall time; the
// other benchmarks run inside this process (their memory is warm after the
// first iteration).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloOption.h"
#include "src/filter_entry.h"
#include "src/kelo_filter.h"
#include "src/peakfilter.h"

extern char** environ;

namespace {

constexpr long kDim = 2048;

std::string BuildDir() {
  char exe[4096];
  ssize_t n = readlink("/proc/self/exe", exe, sizeof exe - 1);
  std::string path(exe, n > 0 ? n : 0);
  path = path.substr(0, path.rfind('/'));  // build/bench
  return path.substr(0, path.rfind('/'));  // build
}

// Runs a program with standard output to /dev/null; returns wall seconds.
double Spawn(const std::vector<std::string>& words) {
  std::vector<char*> argv;
  for (const auto& w : words) argv.push_back(const_cast<char*>(w.c_str()));
  argv.push_back(nullptr);
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
  const auto t0 = std::chrono::steady_clock::now();
  pid_t pid;
  int status = 0;
  if (posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), environ) == 0) waitpid(pid, &status, 0);
  const auto t1 = std::chrono::steady_clock::now();
  posix_spawn_file_actions_destroy(&fa);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) fprintf(stderr, "%s failed\n", argv[0]);
  return std::chrono::duration<double>(t1 - t0).count();
}

// The scratch directory with the sample image, made once.
const std::string& Dir() {
  static std::string dir;
  if (dir.empty()) {
    prepare_image_heap();  // as the program does
    char tmpl[] = "/tmp/kelo_bench_XXXXXX";
    dir = mkdtemp(tmpl);
    Spawn({BuildDir() + "/tools/make_sample_series", dir + "/in.wib", "1", std::to_string(kDim)});
  }
  return dir;
}

// Standard output goes to /dev/null while alive (the program's progress
// lines would mix with the benchmark's table).
class Quiet {
 public:
  Quiet() : saved_(dup(1)) {
    fflush(stdout);
    int null = open("/dev/null", O_WRONLY);
    dup2(null, 1);
    close(null);
  }
  ~Quiet() {
    fflush(stdout);
    dup2(saved_, 1);
    close(saved_);
  }

 private:
  int saved_;
};

// The blocks of the program with the input image read into header block 1
// and the output image created in header block 0 (no output file).
struct Step {
  struct Blocks {
    CmdBlk cb;
    ImgBlk ib[2];
  };
  std::unique_ptr<Blocks> b = std::make_unique<Blocks>();
  ImgHeadBlk* ihb = kelo_new_all_images(2);
  long num[2] = {1, 1};
  std::vector<std::string> words;
  std::vector<char*> argv;
  int arg_no = 0;

  Step() {
    InitOptions(MainHelp, MainVersion, nullptr, FilterRejectNum, &b->cb, b->ib, FilterImageBlocks);
    DefineFilterParameters(&b->cb);
    words = {"kelo_filter"};
    for (auto& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);
    int status = Success;
    ReadOptions(argv.data(), &arg_no, &b->cb, b->ib, &status);
  }
  ~Step() {
    kelo_free_all_images(&b->cb, ihb);
    ReleaseOptions(&b->cb);
  }
  void Read(int* status) {
    const std::string in = Dir() + "/in.wib";
    OpenImageFile(&b->cb, b->ib, 1, in.c_str(), 1, IO_Old | IO_FileProtect, status);
    if (*status == Success) ReadImage(&b->cb, b->ib, 1, num, ihb, status);
    int close_status = Success;
    CloseImageFile(&b->cb, b->ib, 1, &close_status);
  }
};

void BM_WholeRun(benchmark::State& state) {
  const std::string exe = BuildDir() + "/kelo_filter";
  const std::string in = Dir() + "/in.wib", out = Dir() + "/out.wib";
  for (auto _ : state) {
    unlink(out.c_str());
    state.SetIterationTime(Spawn({exe, in, out}));
  }
  unlink(out.c_str());
}
BENCHMARK(BM_WholeRun)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_CopyFile(benchmark::State& state) {
  const std::string in = Dir() + "/in.wib", out = Dir() + "/copy.wib";
  std::vector<char> buffer(128 << 10);
  for (auto _ : state) {
    const auto t0 = std::chrono::steady_clock::now();
    int fi = open(in.c_str(), O_RDONLY), fo = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    ssize_t n;
    while ((n = read(fi, buffer.data(), buffer.size())) > 0)
      if (write(fo, buffer.data(), n) != n) break;
    close(fi);
    close(fo);
    const auto t1 = std::chrono::steady_clock::now();
    state.SetIterationTime(std::chrono::duration<double>(t1 - t0).count());
    unlink(out.c_str());
  }
}
BENCHMARK(BM_CopyFile)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(10);

void BM_ReadImage(benchmark::State& state) {
  Step s;
  Quiet quiet;
  for (auto _ : state) {
    int status = Success;
    s.Read(&status);
    FreeImage(&s.b->cb, 1, s.ihb);
  }
}
BENCHMARK(BM_ReadImage)->Unit(benchmark::kMillisecond)->UseRealTime();

// The per-image function: mapping (here pixel for pixel) and peak filter.
void BM_FilterStep(benchmark::State& state) {
  Step s;
  Quiet quiet;
  int status = Success;
  s.Read(&status);
  NewImage(&s.b->cb, s.b->ib, 0, s.num, s.ihb, &s.ihb[1], nullptr, &status);
  for (auto _ : state) kelo_filter(&s.b->cb, s.num, s.ihb, &status);
  state.SetItemsProcessed(state.iterations() * kDim * kDim);
}
BENCHMARK(BM_FilterStep)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PeakFilterOnly(benchmark::State& state) {
  Step s;
  int status = Success;
  s.Read(&status);
  std::vector<float> out(kDim * kDim), mask(81);
  gen_tring_mask(mask.data(), 9, 9, 4.0f, 1.0f, 4.0f);
  const ImgHeadBlk& in = s.ihb[1];
  for (auto _ : state) {
    long changed = 0;
    peakfilter(out.data(), in.Data, kDim, kDim, in.Dummy.V, in.DDummy.V, mask.data(), 9, 9, 5.0f,
               0.0f, 0, 0, &changed);
    benchmark::DoNotOptimize(changed);
  }
  state.SetItemsProcessed(state.iterations() * kDim * kDim);
}
BENCHMARK(BM_PeakFilterOnly)->Unit(benchmark::kMillisecond)->UseRealTime();

// Creating the output image from the input header and writing it into a
// new file.
void BM_WriteImage(benchmark::State& state) {
  Step s;
  Quiet quiet;
  int status = Success;
  s.Read(&status);
  const std::string out = Dir() + "/written.wib";
  for (auto _ : state) {
    unlink(out.c_str());
    OpenImageFile(&s.b->cb, s.b->ib, 0, out.c_str(), 1, IO_New, &status);
    NewImage(&s.b->cb, s.b->ib, 0, s.num, s.ihb, &s.ihb[1], nullptr, &status);
    std::memcpy(s.ihb[0].Data, s.ihb[1].Data, sizeof(float) * kDim * kDim);
    WriteImage(&s.b->cb, s.b->ib, 0, s.ihb, &status);
    FreeImage(&s.b->cb, 0, s.ihb);
    CloseImageFile(&s.b->cb, s.b->ib, 0, &status);
  }
  unlink(out.c_str());
}
BENCHMARK(BM_WriteImage)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
