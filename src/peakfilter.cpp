// peakfilter: the fast filter and the choice of its vector kernel.
#include "src/peakfilter.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "src/peakfilter_internal.h"

namespace peakfilter_detail {

bool isa_supported(Isa isa) {
  switch (isa) {
    case Isa::Portable:
      return true;
    case Isa::Avx2:
      return __builtin_cpu_supports("avx2");
    case Isa::Avx512:
      return __builtin_cpu_supports("avx512f");
  }
  return false;
}

const char* isa_name(Isa isa) {
  switch (isa) {
    case Isa::Portable:
      return "portable";
    case Isa::Avx2:
      return "avx2";
    case Isa::Avx512:
      return "avx512";
  }
  return "unknown";
}

Isa best_isa() {
  static const Isa best = isa_supported(Isa::Avx512) ? Isa::Avx512
                          : isa_supported(Isa::Avx2) ? Isa::Avx2
                                                     : Isa::Portable;
  return best;
}

// SSE2 is part of every x86-64 processor: four lanes, four vectors a group.
long run_tiles_portable(const Job& job) { return Kernel<4, 4>::run(job); }

float* peakfilter_fast(Isa isa, float* out, const float* in, long dim_1, long dim_2,
                       float dummy, float ddummy, const float* msk, long mdim_1,
                       long mdim_2, float chi2, float max, int mode, int debug,
                       long* pchanged) {
  if (pchanged) *pchanged = 0;
  if (!out || !in) return nullptr;

  // The debug listing follows the order of the pixels, which tiles do not.
  bool vector = msk && debug <= 4 && dim_1 > 0 && dim_2 > 0 && mdim_1 > 0 &&
                mdim_2 > 0 && mdim_1 < kTileFloats && mdim_2 < kTileFloats;
  Job job{};
  if (vector) {
    job.tile_rows = kTileFloats / (kTileWidth + mdim_1 - 1) - (mdim_2 - 1);
    vector = job.tile_rows > 0;
  }
  if (vector) {
    float total_w = 0.0f;
    for (long m = 0; m < mdim_1 * mdim_2; ++m) {
      vector = vector && std::isfinite(msk[m]);
      total_w += msk[m];
    }
    job.total_w = total_w;
  }
  if (!vector) {
    return peakfilter_reference(out, in, dim_1, dim_2, dummy, ddummy, msk, mdim_1,
                                mdim_2, chi2, max, mode, debug, pchanged);
  }

  job.out = out;
  job.in = in;
  job.dim_1 = dim_1;
  job.dim_2 = dim_2;
  job.dummy = dummy;
  job.ddummy = ddummy;
  job.dummy_defined = DummyTest(dummy, ddummy).defined();
  job.msk = msk;
  job.mdim_1 = mdim_1;
  job.mdim_2 = mdim_2;
  job.mcen_1 = mdim_1 / 2;
  job.mcen_2 = mdim_2 / 2;
  job.chi2 = chi2;
  job.max = max;
  job.mode = mode;
  job.w0 = msk[job.mcen_1 + job.mcen_2 * mdim_1];

  long changed = 0;
  switch (isa) {
    case Isa::Portable:
      changed = run_tiles_portable(job);
      break;
    case Isa::Avx2:
      changed = run_tiles_avx2(job);
      break;
    case Isa::Avx512:
      changed = run_tiles_avx512(job);
      break;
  }
  if (pchanged) *pchanged = changed;
  return out;
}

}  // namespace peakfilter_detail

float* peakfilter(float* out, const float* in, long dim_1, long dim_2, float dummy,
                  float ddummy, const float* msk, long mdim_1, long mdim_2, float chi2,
                  float max, int mode, int debug, long* pchanged) {
  return peakfilter_detail::peakfilter_fast(peakfilter_detail::best_isa(), out, in,
                                            dim_1, dim_2, dummy, ddummy, msk, mdim_1,
                                            mdim_2, chi2, max, mode, debug, pchanged);
}
