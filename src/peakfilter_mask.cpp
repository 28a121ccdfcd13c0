// peakfilter: generation of the ring mask.
#include <cmath>

#include "src/peakfilter.h"
#include "src/peakfilter_internal.h"

float* gen_tring_mask(float* buffer, long dim_1, long dim_2, float width, float a,
                      float widtha) {
  if (!buffer) return nullptr;
  if (dim_1 == 1 && dim_2 == 1) {
    buffer[0] = 1.0f;
    return buffer;
  }

  if (std::isnan(width) || std::isnan(widtha) || !std::isfinite(a)) {
    // Every element would be a value that is not a number.
    for (long n = 0; n < dim_1 * dim_2; ++n) buffer[n] = 0.0f;
    return nullptr;
  }

  const double ln2 = std::log(2.0);
  // Squares and fourth powers in single precision, the rest in double.
  const float k = static_cast<float>(ln2 * 4.0 / static_cast<double>(width * width));
  const float ka = static_cast<float>(
      ln2 * 16.0 / static_cast<double>(widtha * widtha * widtha * widtha));

  const long c_1 = dim_1 / 2;
  const long c_2 = dim_2 / 2;
  float sum = 0.0f;
  float* pbuf = buffer;
  for (long i_2 = 0; i_2 < dim_2; ++i_2) {
    for (long i_1 = 0; i_1 < dim_1; ++i_1) {
      const long r2 = (c_1 - i_1) * (c_1 - i_1) + (c_2 - i_2) * (c_2 - i_2);
      // At the centre both exponentials are exp(0) = 1 for any finite k and
      // ka; taking 1 there also for an infinite k or ka (a width of 0) gives
      // the limit instead of 0 * infinity.
      double g = 1.0;
      double h = 1.0;
      if (r2 != 0) {
        g = std::exp(static_cast<double>(static_cast<float>(-r2) * k));
        h = std::exp(static_cast<double>(static_cast<float>(-r2 * r2) * ka));
      }
      *pbuf = static_cast<float>((1.0 - static_cast<double>(a) * h) * g);
      sum += *pbuf;
      ++pbuf;
    }
  }

  if (std::fabs(sum) > peakfilter_detail::kEps) {
    const float factor = static_cast<float>(dim_1 * dim_2) / sum;
    // An overflowing factor (only for enormous masks with a sum close to 0)
    // would turn zero weights into values that are not numbers; the filter
    // does not depend on the scale of the weights, so they stay unscaled.
    if (std::isfinite(factor)) {
      for (long n = 0; n < dim_1 * dim_2; ++n) buffer[n] *= factor;
    }
  }
  return buffer;
}
