// Array conversion and byte swapping of 4M elements.  Throughput counts the
// bytes read plus the bytes written.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "wibpack/wibio.h"

namespace {

constexpr size_t N = 4u << 20;

void BM_ByteSwapFloatInPlace(benchmark::State& state) {
  std::vector<float> a(N, 1.5f);
  for (auto _ : state) {
    wib_bswap(a.data(), a.data(), sizeof(float), N);
    benchmark::DoNotOptimize(a.data());
  }
  state.SetBytesProcessed(state.iterations() * 2 * N * sizeof(float));
}
BENCHMARK(BM_ByteSwapFloatInPlace);

void BM_ByteSwapShort(benchmark::State& state) {
  std::vector<unsigned short> a(N, 0x1234), b(N);
  for (auto _ : state) {
    wib_bswap(b.data(), a.data(), sizeof(unsigned short), N);
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(state.iterations() * 2 * N * sizeof(unsigned short));
}
BENCHMARK(BM_ByteSwapShort);

void BM_UShortToFloatOffset(benchmark::State& state) {
  std::vector<unsigned short> in(N);
  for (size_t i = 0; i < N; i++) in[i] = static_cast<unsigned short>(i);
  std::vector<float> out(N);
  for (auto _ : state) {
    wib_machine2machine(out.data(), MFloat, in.data(), 10, MUnsignedShort, N);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * N * (sizeof(unsigned short) + sizeof(float)));
}
BENCHMARK(BM_UShortToFloatOffset);

void BM_UShortToFloatOffsetInPlace(benchmark::State& state) {
  std::vector<unsigned short> in(N);
  for (size_t i = 0; i < N; i++) in[i] = static_cast<unsigned short>(i);
  std::vector<float> buf(N);
  for (auto _ : state) {
    state.PauseTiming();
    memcpy(buf.data(), in.data(), N * sizeof(unsigned short));
    state.ResumeTiming();
    wib_machine2machine(buf.data(), MFloat, buf.data(), 10, MUnsignedShort, N);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * N * (sizeof(unsigned short) + sizeof(float)));
}
BENCHMARK(BM_UShortToFloatOffsetInPlace);

void BM_FloatToDoubleInPlace(benchmark::State& state) {
  std::vector<float> in(N);
  for (size_t i = 0; i < N; i++) in[i] = static_cast<float>(i) * 0.5f;
  std::vector<double> buf(N);
  for (auto _ : state) {
    state.PauseTiming();
    memcpy(buf.data(), in.data(), N * sizeof(float));
    state.ResumeTiming();
    wib_machine2machine(buf.data(), MDouble, buf.data(), 0, MFloat, N);
    benchmark::DoNotOptimize(buf.data());
  }
  state.SetBytesProcessed(state.iterations() * N * (sizeof(float) + sizeof(double)));
}
BENCHMARK(BM_FloatToDoubleInPlace);

void BM_FloatToUShortRounded(benchmark::State& state) {
  std::vector<float> in(N);
  for (size_t i = 0; i < N; i++) in[i] = static_cast<float>(i % 70000) - 0.25f;
  std::vector<unsigned short> out(N);
  for (auto _ : state) {
    wib_machine2machine(out.data(), MUnsignedShort, in.data(), 0, MFloat, N);
    benchmark::DoNotOptimize(out.data());
  }
  state.SetBytesProcessed(state.iterations() * N * (sizeof(float) + sizeof(unsigned short)));
}
BENCHMARK(BM_FloatToUShortRounded);

void BM_PlainCopy(benchmark::State& state) {
  std::vector<float> a(N, 1.0f), b(N);
  for (auto _ : state) {
    memcpy(b.data(), a.data(), N * sizeof(float));
    benchmark::DoNotOptimize(b.data());
  }
  state.SetBytesProcessed(state.iterations() * 2 * N * sizeof(float));
}
BENCHMARK(BM_PlainCopy);

}  // namespace
