// Internal part of sx shared by its source files.
#ifndef WIBPACK_SX_INTERNAL_H
#define WIBPACK_SX_INTERNAL_H

#include "wibpack/sx.h"

namespace sx_internal {

// The module's debug flags (sx_debug_set).
int Debug();

// Prints the 3 x 3 matrix R (row by row in memory) under a label on
// standard output, one matrix row per line.
void PrintMatrix(const double R[3][3], const char* label);
// Prints three angles on one line under a label.
void PrintAngles(const double A[3], const char* label);

}  // namespace sx_internal

#endif
