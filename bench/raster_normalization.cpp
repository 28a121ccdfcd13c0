// Normalization of a 2048 x 2048 float array stored in other orientations,
// against a plain copy of the same bytes.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "wibpack/raster.h"

namespace {

constexpr long Side = 2048;

void BM_RasterNormalization(benchmark::State& state) {
  const long number = state.range(0);
  const long dim[] = {2, Side, Side};
  std::vector<float> src(Side * Side), dest(Side * Side);
  for (size_t i = 0; i < src.size(); i++) src[i] = static_cast<float>(i);
  int errval;
  for (auto _ : state) {
    raster_normalization(dest.data(), src.data(), dim, number, sizeof(float), &errval);
    benchmark::DoNotOptimize(dest.data());
  }
  state.SetBytesProcessed(state.iterations() * 2 * src.size() * sizeof(float));
}
BENCHMARK(BM_RasterNormalization)->Arg(1)->Arg(2)->Arg(4)->Arg(5)->Arg(8);

void BM_RasterNormalizationInPlace5(benchmark::State& state) {
  const long dim[] = {2, Side, Side};
  std::vector<float> a(Side * Side);
  for (size_t i = 0; i < a.size(); i++) a[i] = static_cast<float>(i);
  int errval;
  for (auto _ : state) {
    raster_normalization(a.data(), a.data(), dim, 5, sizeof(float), &errval);
    benchmark::DoNotOptimize(a.data());
  }
  state.SetBytesProcessed(state.iterations() * 2 * a.size() * sizeof(float));
}
BENCHMARK(BM_RasterNormalizationInPlace5);

void BM_PlainCopy(benchmark::State& state) {
  std::vector<float> src(Side * Side, 1.0f), dest(Side * Side);
  for (auto _ : state) {
    memcpy(dest.data(), src.data(), src.size() * sizeof(float));
    benchmark::DoNotOptimize(dest.data());
  }
  state.SetBytesProcessed(state.iterations() * 2 * src.size() * sizeof(float));
}
BENCHMARK(BM_PlainCopy);

}  // namespace
