// make_sample_series: writes a series of synthetic detector images into a
// Wib file, as sample input for kelo_filter.
//
//   make_sample_series FILE [IMAGES [DIM_1 [DIM_2 [SEED [CLEAN_FILE]]]]]
//
// Defaults: 3 images of 1024 x 1024 pixels, seed 1.  Each image shows a few
// scattering rings around the beam centre on a smooth background with
// counting noise, a rectangular block of dummy pixels (the shadow of a beam
// stop holder, value -1) and a few hundred single-pixel spikes.  The header
// carries the dummy, the geometry and a title.  The number of spikes is
// printed, one line per image.  CLEAN_FILE, when given, receives the same
// images without their spikes.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "wibpack/wibio.h"

namespace {

constexpr float Dummy = -1.0f;

// Reads a positive number argument, or the default when absent.
long number_arg(int argc, char** argv, int k, long def) {
  if (argc <= k) return def;
  char* end = nullptr;
  long v = std::strtol(argv[k], &end, 10);
  if (!end || *end || v < 1) {
    fprintf(stderr, "make_sample_series: not a positive number: %s\n", argv[k]);
    exit(2);
  }
  return v;
}

// One image: rings, background, noise and dummy block in clean, then the
// same with spikes in v.  Returns the number of spikes put in.
long make_image(std::vector<float>& clean, std::vector<float>& v, long d1, long d2, long number,
                std::mt19937& gen) {
  const double c1 = 0.5 * d1 + 0.1 * d1 * std::sin(0.1 * number), c2 = 0.47 * d2;
  const double scale = std::min(d1, d2) / 1024.0;
  const double ring_r[] = {90 * scale, 160 * scale, 250 * scale, 370 * scale};
  const double ring_h[] = {900, 400, 250, 120};
  const double ring_w = 4.0 * scale + 1.0;
  std::normal_distribution<double> normal(0.0, 1.0);
  for (long j = 0; j < d2; j++) {
    for (long i = 0; i < d1; i++) {
      const double r = std::hypot(i - c1, j - c2);
      double mean = 40.0 + 2000.0 / (1.0 + (r / (60.0 * scale)) * (r / (60.0 * scale)));
      for (int k = 0; k < 4; k++) {
        const double x = (r - ring_r[k]) / ring_w;
        mean += ring_h[k] * std::exp(-0.5 * x * x);
      }
      // Counting noise: a normal approximation of the Poisson law, rounded.
      const double counts = std::round(mean + std::sqrt(mean) * normal(gen));
      clean[i + j * d1] = static_cast<float>(counts < 0 ? 0 : counts);
    }
  }
  // A block of dummies from the lower edge up to the beam centre.
  for (long j = 0; j < static_cast<long>(c2); j++)
    for (long i = static_cast<long>(c1 - 8 * scale); i <= static_cast<long>(c1 + 8 * scale); i++)
      if (i >= 0 && i < d1) clean[i + j * d1] = Dummy;
  v = clean;
  // Spikes: single pixels far above their neighbourhood.
  const long tries = 200 + static_cast<long>(gen() % 200) * d1 / 1024 * d2 / 1024;
  std::uniform_int_distribution<long> where(0, d1 * d2 - 1);
  std::uniform_real_distribution<double> height(3000.0, 30000.0);
  long spikes = 0;  // distinct pixels that carry data
  for (long k = 0; k < tries; k++) {
    const long at = where(gen);
    if (v[at] == Dummy) continue;
    spikes += v[at] == clean[at];
    v[at] += static_cast<float>(std::round(height(gen)));
  }
  return spikes;
}

bool ok(int status, int err, const char* what) {
  if (status == 0) return true;
  fprintf(stderr, "make_sample_series: %s failed:%s", what, wib_report_data_error(err));
  return false;
}

// Writes image n with its header.
bool write_image(long stream, long n, long d1, long d2, const std::vector<float>& v) {
  int err = 0, status = 0;
  const std::string title = "sample series image " + std::to_string(n);
  struct {
    const char* key;
    float value;
  } keys[] = {{"Dummy", Dummy},
              {"DDummy", 0.1f},
              {"Offset_1", 0.0f},
              {"Offset_2", 0.0f},
              {"Center_1", 0.5f * d1},
              {"Center_2", 0.47f * d2},
              {"PSize_1", 75e-6f},
              {"PSize_2", 75e-6f},
              {"SampleDistance", 1.5f},
              {"WaveLength", 1e-10f}};
  for (const auto& k : keys) {
    wib_write_header_float(stream, n, 1, k.key, k.value, &err, &status);
    if (!ok(status, err, k.key)) return false;
  }
  wib_write_header_string(stream, n, 1, "Title", title.c_str(), &err, &status);
  if (!ok(status, err, "Title")) return false;
  const long dim[3] = {2, d1, d2};
  wib_write_data(stream, n, 1, dim, v.data(), MFloat, &err, &status);
  return ok(status, err, "writing");
}

long open_new(const char* name) {
  int err = 0, status = 0;
  const long stream = wib_open_data_file(name, "new", &err, &status);
  return ok(status, err, "opening") ? stream : -1;
}

bool close_file(long stream) {
  int err = 0, status = 0;
  wib_close_data_file(stream, &err, &status);
  return ok(status, err, "closing");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2 || argc > 7) {
    fprintf(stderr, "Usage: make_sample_series FILE [IMAGES [DIM_1 [DIM_2 [SEED [CLEAN_FILE]]]]]\n");
    return 2;
  }
  const long images = number_arg(argc, argv, 2, 3);
  const long d1 = number_arg(argc, argv, 3, 1024);
  const long d2 = number_arg(argc, argv, 4, d1);
  const long seed = number_arg(argc, argv, 5, 1);
  if (d1 > 32768 || d2 > 32768 || images > 10000) {
    fprintf(stderr, "make_sample_series: too large\n");
    return 2;
  }

  const long stream = open_new(argv[1]);
  const long clean_stream = argc > 6 ? open_new(argv[6]) : -1;
  if (stream < 0 || (argc > 6 && clean_stream < 0)) return 1;
  std::mt19937 gen(static_cast<unsigned>(seed));
  std::vector<float> clean(static_cast<size_t>(d1 * d2)), v;
  for (long n = 1; n <= images; n++) {
    const long spikes = make_image(clean, v, d1, d2, n, gen);
    if (!write_image(stream, n, d1, d2, v)) return 1;
    if (clean_stream >= 0 && !write_image(clean_stream, n, d1, d2, clean)) return 1;
    printf("image %ld: %ld x %ld pixels, %ld spikes\n", n, d1, d2, spikes);
  }
  if (!close_file(stream) || (clean_stream >= 0 && !close_file(clean_stream))) return 1;
  return 0;
}
