// peakfilter: the vector kernel compiled for AVX512, chosen at run time
// when the processor has it.
#define PEAKFILTER_KERNEL_TARGET _Pragma("GCC target(\"avx512f\")")
#include "src/peakfilter_internal.h"

long peakfilter_detail::run_tiles_avx512(const Job& job) { return Kernel<16, 4>::run(job); }
