// raster: raster orientations (raster configurations) of n-dimensional
// arrays.
//
// An orientation is a signed permutation of the axes, written as an order:
// element 0 holds N, elements 1..N signed axis numbers; element j = +k means
// that stored axis j (axis 1 varies fastest) runs along standard axis k, -k
// that it runs backwards.  The identity order is raster number 1; numbers
// run from 1 to raster_numbers(N) = 2^N * N! (N <= 9; higher axes must be
// the identity).  A negative raster number stands for the inverse of its
// magnitude.  Normalization reorders an array stored in some orientation
// into the standard layout (raster number 1).
//
// Functions that return an order or a matrix write it into the caller's
// buffer of nelem elements, or, with a null buffer, into a new array that
// the caller releases with free().
#ifndef WIBPACK_RASTER_H
#define WIBPACK_RASTER_H

#include <cstddef>
#include <cstdio>

#define MAX_RASTER_NUMBER_DIMENSION_32 9
#define MAX_RASTER_NUMBER_DIMENSION_64 16
#define MAX_RASTER_NUMBER_DIMENSION MAX_RASTER_NUMBER_DIMENSION_32

// Error values of the normalization functions.
enum RasterErrorValue {
  RasterSuccess = 0,
  RasterNoDimension = 1,     // no or zero dimension
  RasterBadConfiguration = 2,  // bad raster configuration (or order)
  RasterNoMemory = 3         // cannot allocate memory
};

// Number of orientations of n axes: 2^n * n! for 0 <= n <= 9, else 0.
long raster_numbers(long n);
// Raster number of an order; 0 for a null or invalid order.
long raster_order2number(const long* order);
// Order of n axes for a raster number (negative: the inverse); null for an
// invalid number or a buffer of nelem <= n elements.
long* raster_number2order(long* buffer, size_t nelem, long n, long raster_number);
// Inverse order; product order y[i] = x[a[i]] (sign of a[i] applied).
long* raster_order_inversion(long* buffer, size_t nelem, const long* x_order);
long* raster_order_multiplication(long* buffer, size_t nelem, const long* a_order,
                                  const long* x_order);
// Raster numbers of the inverse and of the product (9-dimensional orders);
// 0 for an invalid number.
long raster_inversion(long x);
long raster_multiplication(long a, long x);
// N x N orientation matrix, column by column: column j-1 holds the sign of
// order[j] in row |order[j]|-1.
double* raster_order2matrix(double* buffer, size_t nelem, const long* order);
// C = A * B: A of N rows and M columns, B of M rows and L columns, C of N
// rows and L columns, all column by column.
double* raster_matrix_product(double* buffer, size_t nelem, const double* A, const double* B,
                              int L, int M, int N);
// Prints the label and the matrix row by row on out; returns 0.
int raster_fprint_matrix(FILE* out, int nrows, int ncols, const double* M, const char* label);
// Reorders src, stored in the orientation order, into dest in the standard
// layout.  data_dim: element 0 = n, elements 1..n = the standard sizes; item:
// bytes per element.  src may equal or overlap dest.  Returns 0, or -1 with
// *perrval (may be null) set to a RasterErrorValue.  A null pointer ends the
// program (programming error).
int raster_order_normalization(void* dest, const void* src, const long* data_dim,
                               const long* order, size_t item, int* perrval);
// The same for a raster number.
int raster_normalization(void* dest, const void* src, const long* data_dim, long raster_number,
                         size_t item, int* perrval);
void raster_debug(int debug);
// "raster : V1.5 Orrin 2011-12-14"
const char* raster_version(void);

#endif
