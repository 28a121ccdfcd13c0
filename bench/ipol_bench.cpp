// Resampling a whole image by area integration, one Isum2ldw call per output
// pixel, stepping through the input as the filter function does.
#include <benchmark/benchmark.h>

#include <vector>

#include "wibpack/ipol.h"

namespace {

constexpr int kIn = 2048;

std::vector<float> InputImage(float dummy) {
  std::vector<float> data(static_cast<size_t>(kIn) * kIn);
  for (size_t k = 0; k < data.size(); ++k) data[k] = static_cast<float>((k * 7919) % 1000);
  if (dummy != 0.0f)  // a dummy every 97th pixel
    for (size_t k = 0; k < data.size(); k += 97) data[k] = dummy;
  return data;
}

// Maps the input onto an output of kIn / bin pixels per axis, each covering
// bin x bin input pixels, averaging and updating the output by the dummy rule.
void Resample(benchmark::State& state) {
  const int bin = static_cast<int>(state.range(0));
  const float dummy = static_cast<float>(state.range(1));
  const float ddummy = DDSET(dummy);
  const int out = kIn / bin;
  const std::vector<float> in = InputImage(dummy);
  std::vector<float> work(static_cast<size_t>(out) * out);
  const float Df = static_cast<float>(bin);
  for (auto _ : state) {
    std::fill(work.begin(), work.end(), dummy);
    float f_2 = -0.5f;
    for (int i_2 = 0; i_2 < out; ++i_2) {
      float f_1 = -0.5f;
      float* pout = &work[static_cast<size_t>(i_2) * out];
      for (int i_1 = 0; i_1 < out; ++i_1) {
        float sum, weight;
        if (Isum2ldw(in.data(), kIn, kIn, dummy, ddummy, f_1, f_2, f_1 + Df, f_2 + Df, &sum,
                     &weight))
          UPDATE(pout[i_1], sum / weight, dummy, ddummy);
        f_1 += Df;
      }
      f_2 += Df;
    }
    benchmark::DoNotOptimize(work.data());
    benchmark::ClobberMemory();
  }
  state.counters["Mpixel/s"] = benchmark::Counter(
      static_cast<double>(out) * out * state.iterations() / 1e6, benchmark::Counter::kIsRate);
}

}  // namespace

// Arguments: binning factor (1: identical grid, 2: doubled pixel size) and
// dummy value (0: no dummies defined, -1: dummies defined and present).
BENCHMARK(Resample)
    ->ArgNames({"bin", "dummy"})
    ->Args({1, 0})
    ->Args({1, -1})
    ->Args({2, 0})
    ->Args({2, -1})
    ->Unit(benchmark::kMillisecond);
