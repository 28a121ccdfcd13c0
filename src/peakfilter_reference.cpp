// peakfilter: the filter computed pixel by pixel, step by step.  It is the
// yardstick of the fast filter and serves it where speed does not matter
// (debug listings, unusual masks).
#include <cmath>
#include <cstdio>

#include "src/peakfilter.h"
#include "src/peakfilter_internal.h"

using peakfilter_detail::DummyTest;
using peakfilter_detail::kEps;

float* peakfilter_reference(float* out, const float* in, long dim_1, long dim_2,
                            float dummy, float ddummy, const float* msk, long mdim_1,
                            long mdim_2, float chi2, float max, int mode, int debug,
                            long* pchanged) {
  if (pchanged) *pchanged = 0;
  if (!out || !in) return nullptr;

  const DummyTest is_dummy(dummy, ddummy);
  const long mcen_1 = mdim_1 / 2;
  const long mcen_2 = mdim_2 / 2;
  long changed = 0;

  for (long i_2 = 0; i_2 < dim_2; ++i_2) {
    for (long i_1 = 0; i_1 < dim_1; ++i_1) {
      const float v = in[i_1 + i_2 * dim_1];
      float* pout = &out[i_1 + i_2 * dim_1];
      *pout = v;
      if (is_dummy(v) || !msk) continue;

      float sumi = 0.0f;
      float sumi2 = 0.0f;
      float sumw = 0.0f;
      long m = 0;
      // The window covers the mask, its centre element on (i_1, i_2); for an
      // odd size that is i - mcen to i + mcen.  Positions outside the image
      // are skipped, but the mask index still advances past them.
      for (long j_2 = i_2 - mcen_2; j_2 < i_2 - mcen_2 + mdim_2; ++j_2) {
        for (long j_1 = i_1 - mcen_1; j_1 < i_1 - mcen_1 + mdim_1; ++j_1) {
          if (0 <= j_1 && j_1 < dim_1 && 0 <= j_2 && j_2 < dim_2) {
            const float I = in[j_1 + j_2 * dim_1];
            const float W = msk[m];
            if (!is_dummy(I)) {
              sumi += I * W;
              sumi2 += (I * I) * W;
              sumw += W;
            }
          }
          ++m;
        }
      }

      if (!(sumw >= kEps)) continue;  // also when sumw is not a number

      const float mean = sumi / sumw;
      const float var = sumi2 / sumw - mean * mean;
      const float diff = mean - v;
      const float diff2 = diff * diff;
      float xi2 = 0.0f;
      if (std::fabs(diff2) > kEps && std::fabs(var) > kEps) xi2 = diff2 / var;

      if (xi2 > chi2 && std::fabs(diff) > max) {
        float replacement = dummy;
        if (mode == 1) {
          const float w0 = msk[mcen_1 + mcen_2 * mdim_1];
          const float rest = sumw - w0;
          if (rest >= kEps) replacement = (sumi - w0 * v) / rest;
        }
        if (debug > 4) {
          std::printf(
              "BAD VALUE DETECTED IN [%d,%d]: XI2=%g, I=%g, (<I>-I)^2=%g,  "
              "(<I^2>-<I>*<I>)=%g\n",
              static_cast<int>(i_1), static_cast<int>(i_2), xi2, v, diff2, var);
        }
        ++changed;
        *pout = replacement;
      }
    }
  }

  if (pchanged) *pchanged = changed;
  return out;
}
