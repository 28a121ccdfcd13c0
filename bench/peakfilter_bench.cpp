// Peak filter on a 2048 x 2048 float image with the default 9 x 9 ring mask
// (width 4, dip width 4, depth 1): the reference against the fast filter
// and each of its kernels, without dummies and with 1% dummy pixels.
//
// Counters: items_per_second is pixels per second; madd/s counts the
// filter's multiply-adds (three per mask element, 243 per pixel) per second.
// PeakMultiplyAdd measures how many separate multiplies and adds one core
// can do per second at each vector width: dividing the filter's 243 per
// pixel by that rate gives the arithmetic floor of the image.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

#include "src/peakfilter.h"
#include "src/peakfilter_internal.h"

namespace {

using peakfilter_detail::Isa;

constexpr long kDim = 2048;
constexpr long kRadius = 4;
constexpr long kMdim = 2 * kRadius + 1;
constexpr double kMaddPerPixel = 3.0 * kMdim * kMdim;

struct Scene {
  std::vector<float> image;
  std::vector<float> mask;
  float dummy;
};

// Noise around 100 with 0.5% peaks; with dummies 1% of the pixels are -1.
const Scene& GetScene(bool dummies) {
  static Scene scenes[2];
  Scene& s = scenes[dummies ? 1 : 0];
  if (s.image.empty()) {
    std::mt19937 rng(dummies ? 2 : 1);
    std::normal_distribution<float> noise(100.0f, 10.0f);
    std::uniform_real_distribution<float> u(0.0f, 1.0f);
    s.image.resize(kDim * kDim);
    for (float& v : s.image) {
      v = noise(rng);
      if (u(rng) < 0.005f) v += 1000.0f;
      if (dummies && u(rng) < 0.01f) v = -1.0f;
    }
    s.mask.resize(kMdim * kMdim);
    gen_tring_mask(s.mask.data(), kMdim, kMdim, 4.0f, 1.0f, 4.0f);
    s.dummy = dummies ? -1.0f : 0.0f;  // 0: no dummy defined
  }
  return s;
}

template <typename Run>
void Filter(benchmark::State& state, Run run) {
  const Scene& s = GetScene(state.range(0) != 0);
  std::vector<float> out(s.image.size());
  long changed = 0;
  for (auto _ : state) {
    run(out.data(), s.image.data(), kDim, kDim, s.dummy, 0.1f, s.mask.data(), kMdim, kMdim,
        5.0f, 0.0f, 1, 0, &changed);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  const double pixels = double(kDim * kDim) * double(state.iterations());
  state.SetItemsProcessed(static_cast<int64_t>(pixels));
  state.counters["madd/s"] = benchmark::Counter(pixels * kMaddPerPixel,
                                                benchmark::Counter::kIsRate);
  state.counters["changed"] = double(changed);
}

void BM_Reference(benchmark::State& state) { Filter(state, peakfilter_reference); }
void BM_Fast(benchmark::State& state) { Filter(state, peakfilter); }

void BM_Kernel(benchmark::State& state, Isa isa) {
  if (!peakfilter_detail::isa_supported(isa)) {
    state.SkipWithError("instruction set not available");
    return;
  }
  Filter(state, [isa](auto... args) { return peakfilter_detail::peakfilter_fast(isa, args...); });
}

// On a shared machine the fastest of several repetitions
// (--benchmark_repetitions=N) is the least disturbed one.
double Fastest(const std::vector<double>& v) { return *std::min_element(v.begin(), v.end()); }

void ImageArgs(benchmark::internal::Benchmark* b) {
  b->ArgName("dummies")->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);
  b->ComputeStatistics("min", Fastest);
}

BENCHMARK(BM_Reference)->Apply(ImageArgs);
BENCHMARK(BM_Fast)->Apply(ImageArgs);
BENCHMARK_CAPTURE(BM_Kernel, portable, Isa::Portable)->Apply(ImageArgs);
BENCHMARK_CAPTURE(BM_Kernel, avx2, Isa::Avx2)->Apply(ImageArgs);
BENCHMARK_CAPTURE(BM_Kernel, avx512, Isa::Avx512)->Apply(ImageArgs);

// Seven independent accumulators (with their factors and w that is 15
// registers, which even SSE2 and AVX2 have), each receiving a product per step: the
// multiplies and adds are separate instructions, as in the filter.  The
// empty asm makes w look new each step, so the products cannot be hoisted.
#define KELO_PEAK_LOOP(NAME, TARGET, LANES)                                     \
  __attribute__((target(TARGET), noinline)) float NAME(long steps, float w) {   \
    typedef float V __attribute__((vector_size(LANES * 4)));                    \
    V x[7], acc[7];                                                             \
    for (int k = 0; k < 7; ++k)                                                 \
      for (int l = 0; l < LANES; ++l) {                                         \
        x[k][l] = 1.0f + 0.001f * float(k + l);                                 \
        acc[k][l] = 0.0f;                                                       \
      }                                                                         \
    V wv = x[0] - x[0] + w;                                                     \
    for (long s = 0; s < steps; ++s) {                                          \
      asm volatile("" : "+x"(wv));                                              \
      for (int k = 0; k < 7; ++k) acc[k] = acc[k] + x[k] * wv;                  \
    }                                                                           \
    float r = 0.0f;                                                             \
    for (int k = 0; k < 7; ++k)                                                 \
      for (int l = 0; l < LANES; ++l) r += acc[k][l];                           \
    return r;                                                                   \
  }

KELO_PEAK_LOOP(PeakSse2, "sse2", 4)
KELO_PEAK_LOOP(PeakAvx2, "avx2", 8)
KELO_PEAK_LOOP(PeakAvx512, "avx512f", 16)

void BM_PeakMultiplyAdd(benchmark::State& state, Isa isa) {
  if (!peakfilter_detail::isa_supported(isa)) {
    state.SkipWithError("instruction set not available");
    return;
  }
  constexpr long kSteps = 1 << 20;
  const int lanes = isa == Isa::Avx512 ? 16 : isa == Isa::Avx2 ? 8 : 4;
  for (auto _ : state) {
    float r = isa == Isa::Avx512 ? PeakAvx512(kSteps, 1e-7f)
              : isa == Isa::Avx2 ? PeakAvx2(kSteps, 1e-7f)
                                 : PeakSse2(kSteps, 1e-7f);
    benchmark::DoNotOptimize(r);
  }
  const double madds = double(kSteps) * 7.0 * lanes * double(state.iterations());
  state.counters["madd/s"] = benchmark::Counter(madds, benchmark::Counter::kIsRate);
  // The time one 2048 x 2048 image needs at this rate (these flags report
  // elapsed time / value).
  state.counters["floor"] = benchmark::Counter(
      madds / (double(kDim * kDim) * kMaddPerPixel),
      benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void PeakArgs(benchmark::internal::Benchmark* b) {
  b->Unit(benchmark::kMillisecond)->ComputeStatistics("min", Fastest);
}

BENCHMARK_CAPTURE(BM_PeakMultiplyAdd, portable, Isa::Portable)->Apply(PeakArgs);
BENCHMARK_CAPTURE(BM_PeakMultiplyAdd, avx2, Isa::Avx2)->Apply(PeakArgs);
BENCHMARK_CAPTURE(BM_PeakMultiplyAdd, avx512, Isa::Avx512)->Apply(PeakArgs);

}  // namespace
