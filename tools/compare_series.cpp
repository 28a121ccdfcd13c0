// compare_series: shows what a filter run did to a sample series.
//
//   compare_series SAMPLE CLEAN FILTERED
//
// SAMPLE and CLEAN are the files of make_sample_series (with and without
// spikes), FILTERED the output of kelo_filter for SAMPLE.  For every image
// of SAMPLE it counts, among the pixels that carry data, the spikes (pixels
// where SAMPLE differs from CLEAN), those the filter changed, those it left,
// and the other pixels it changed.
#include <cmath>
#include <cstdio>
#include <vector>

#include "wibpack/wibio.h"

namespace {

constexpr float Dummy = -1.0f, DDummy = 0.1f;

struct File {
  const char* name;
  long stream = -1;
};

bool open_file(File& f) {
  int err = 0, status = 0;
  f.stream = wib_open_data_file(f.name, "read", &err, &status);
  if (status == 0) return true;
  fprintf(stderr, "compare_series: cannot open %s:%s", f.name, wib_report_data_error(err));
  return false;
}

// Image n of a file as floats; empty when it cannot be read.
std::vector<float> read_image(const File& f, long n, long* d1, long* d2) {
  int err = 0, status = 0;
  long* dim = nullptr;
  size_t size = 0;
  void* data = nullptr;
  wib_read_data(f.stream, n, 1, &dim, &size, &data, MFloat, &err, &status);
  if (status != 0 || !dim || dim[0] != 2) {
    fprintf(stderr, "compare_series: cannot read image %ld of %s:%s", n, f.name,
            wib_report_data_error(err));
    return {};
  }
  *d1 = dim[1];
  *d2 = dim[2];
  const float* p = static_cast<const float*>(data);
  return std::vector<float>(p, p + dim[1] * dim[2]);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    fprintf(stderr, "Usage: compare_series SAMPLE CLEAN FILTERED\n");
    return 2;
  }
  File sample{argv[1]}, clean{argv[2]}, filtered{argv[3]};
  if (!open_file(sample) || !open_file(clean) || !open_file(filtered)) return 1;
  int err = 0, status = 0;
  long first = 0, last = -1;
  wib_search_minmax_number(sample.stream, 1, &first, &last, &err, &status);
  for (long n = first; n <= last; n++) {
    long d1 = 0, d2 = 0, c1 = 0, c2 = 0, f1 = 0, f2 = 0;
    std::vector<float> s = read_image(sample, n, &d1, &d2);
    std::vector<float> c = read_image(clean, n, &c1, &c2);
    std::vector<float> f = read_image(filtered, n, &f1, &f2);
    if (s.empty() || c.empty() || f.empty()) return 1;
    if (c1 != d1 || c2 != d2 || f1 != d1 || f2 != d2) {
      fprintf(stderr, "compare_series: image %ld differs in size\n", n);
      return 1;
    }
    long spikes = 0, removed = 0, others = 0;
    for (size_t k = 0; k < s.size(); k++) {
      if (std::fabs(s[k] - Dummy) <= DDummy) continue;
      const bool spike = s[k] != c[k];
      const bool changed = f[k] != s[k];
      spikes += spike;
      removed += spike && changed;
      others += !spike && changed;
    }
    printf("image %ld: %ld spikes, %ld removed, %ld left; %ld other pixels changed (%.3f %%)\n", n,
           spikes, removed, spikes - removed, others, 100.0 * others / s.size());
  }
  for (File* f : {&sample, &clean, &filtered}) wib_close_data_file(f->stream, &err, &status);
  return 0;
}
