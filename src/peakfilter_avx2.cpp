// peakfilter: the vector kernel compiled for AVX2, chosen at run time
// when the processor has it.
#define PEAKFILTER_KERNEL_TARGET _Pragma("GCC target(\"avx2\")")
#include "src/peakfilter_internal.h"

long peakfilter_detail::run_tiles_avx2(const Job& job) { return Kernel<8, 4>::run(job); }
