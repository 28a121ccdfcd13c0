// Expression evaluation: a compiled per-pixel program over an image's worth
// of values, and single evaluations of a typical option text.
#include <benchmark/benchmark.h>

#include <vector>

#include "kelopack/KeloExpression.h"
#include "wibpack/numio.h"

namespace {

constexpr size_t kPixels = 4 * 1000 * 1000;

void BM_RunProgramPerPixel(benchmark::State& state) {
  int err = 0;
  NumProg* prog = num_str2prog("bench", "_v*2+3*4", nullptr, &err, 1, "v");
  if (!prog) {
    state.SkipWithError("compilation failed");
    return;
  }
  std::vector<double> in(kPixels), out(kPixels);
  for (size_t i = 0; i < kPixels; ++i) in[i] = static_cast<double>(i % 1000) * 0.5;
  for (auto _ : state) {
    for (size_t i = 0; i < kPixels; ++i) out[i] = num_runprog(prog, &err, in[i]);
    benchmark::DoNotOptimize(out.data());
  }
  if (err || out[3] != 15.0) state.SkipWithError("wrong result");
  state.SetItemsProcessed(static_cast<int64_t>(state.iterations() * kPixels));
  num_rmprog(prog, &err);
}
BENCHMARK(BM_RunProgramPerPixel)->Unit(benchmark::kMillisecond);

void BM_DoubleExpr(benchmark::State& state) {
  int status = 0;
  for (auto _ : state) benchmark::DoNotOptimize(doubleexpr("2*pi+8.04_keV/1_eV", &status));
  if (status) state.SkipWithError("evaluation failed");
}
BENCHMARK(BM_DoubleExpr);

void BM_LongExpr(benchmark::State& state) {
  int status = 0;
  for (auto _ : state) benchmark::DoNotOptimize(longexpr("(round)(1.5_mm/1_um)+2*3", &status));
  if (status) state.SkipWithError("evaluation failed");
}
BENCHMARK(BM_LongExpr);

}  // namespace
