// Writing and reading one 2048 x 2048 float image as one block of a Wib file
// in /tmp, against a plain fwrite / fread of the same bytes; and reading a
// gzip-compressed block.  Every iteration opens, transfers and closes the
// file.  Throughput counts the image bytes.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "wibpack/wibio.h"

namespace {

constexpr long Side = 2048;
constexpr size_t Bytes = Side * Side * sizeof(float);

std::string TempName(const char* what) {
  return "/tmp/wibio_file_bench_" + std::to_string(getpid()) + "_" + what;
}

std::vector<float> Image() {
  std::vector<float> image(Side * Side);
  for (size_t i = 0; i < image.size(); i++) image[i] = static_cast<float>(i % 4093) * 0.25f;
  return image;
}

void WriteWib(const std::string& name, const std::vector<float>& image) {
  const long dim[] = {2, Side, Side};
  int err, status;
  long s = wib_open_data_file(name.c_str(), "new", &err, &status);
  wib_write_data(s, 1, 1, dim, image.data(), MFloat, &err, &status);
  wib_close_data_file(s, &err, &status);
  if (err) abort();
}

void BM_WibWrite(benchmark::State& state) {
  const std::vector<float> image = Image();
  const std::string name = TempName("write.wib");
  for (auto _ : state) WriteWib(name, image);
  state.SetBytesProcessed(state.iterations() * Bytes);
  remove(name.c_str());
}
BENCHMARK(BM_WibWrite)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PlainFwrite(benchmark::State& state) {
  const std::vector<float> image = Image();
  const std::string name = TempName("fwrite.bin");
  for (auto _ : state) {
    FILE* f = fopen(name.c_str(), "wb");
    fwrite(image.data(), 1, Bytes, f);
    fclose(f);
  }
  state.SetBytesProcessed(state.iterations() * Bytes);
  remove(name.c_str());
}
BENCHMARK(BM_PlainFwrite)->Unit(benchmark::kMillisecond)->UseRealTime();

// Opens the file, reads block 1 as floats into buffer (null: into an array
// of the library) and closes the file.
void ReadWib(const std::string& name, float* buffer) {
  int err, status;
  long s = wib_open_data_file(name.c_str(), "read", &err, &status);
  long* dim = nullptr;
  void* data = buffer;
  size_t size = buffer ? Bytes : 0;
  wib_read_data(s, 1, 1, &dim, &size, &data, MFloat, &err, &status);
  if (err) abort();
  benchmark::DoNotOptimize(data);
  wib_close_data_file(s, &err, &status);
}

// Into the caller's buffer (range 1) or into an array of the library (0).
void BM_WibRead(benchmark::State& state) {
  const std::string name = TempName("read.wib");
  WriteWib(name, Image());
  std::vector<float> buffer(Side * Side);
  for (auto _ : state) ReadWib(name, state.range(0) ? buffer.data() : nullptr);
  state.SetBytesProcessed(state.iterations() * Bytes);
  remove(name.c_str());
}
BENCHMARK(BM_WibRead)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// fread into a reused buffer (range 1) or into a fresh array (range 0).
void BM_PlainFread(benchmark::State& state) {
  const std::string name = TempName("fread.bin");
  {
    const std::vector<float> image = Image();
    FILE* f = fopen(name.c_str(), "wb");
    fwrite(image.data(), 1, Bytes, f);
    fclose(f);
  }
  std::vector<float> buffer(Side * Side);
  for (auto _ : state) {
    FILE* f = fopen(name.c_str(), "rb");
    void* data = state.range(0) ? buffer.data() : malloc(Bytes);
    if (fread(data, 1, Bytes, f) != Bytes) abort();
    benchmark::DoNotOptimize(data);
    if (!state.range(0)) free(data);
    fclose(f);
  }
  state.SetBytesProcessed(state.iterations() * Bytes);
  remove(name.c_str());
}
BENCHMARK(BM_PlainFread)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond)->UseRealTime();

// A gzip-compressed block streams through zlib into the data array.
void BM_WibReadGzip(benchmark::State& state) {
  const std::string name = TempName("gzip.wib");
  wib_set_datacompression(GzipCompression);
  WriteWib(name, Image());
  wib_set_datacompression(0);
  std::vector<float> buffer(Side * Side);
  for (auto _ : state) ReadWib(name, buffer.data());
  state.SetBytesProcessed(state.iterations() * Bytes);
  remove(name.c_str());
}
BENCHMARK(BM_WibReadGzip)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace
