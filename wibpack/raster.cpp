// raster: raster orientation numbers, orders, matrices and the
// normalization of stored arrays (see raster.h).
#include "wibpack/raster.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <new>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {

int RN_debug = 0;

const char* const RasterVersion = "raster : V1.5 Orrin 2011-12-14";

// 2^n * n! for n = 0..9.
const long RasterNumbers[MAX_RASTER_NUMBER_DIMENSION + 1] = {
    1, 2, 8, 48, 384, 3840, 46080, 645120, 10321920, 185794560};

// Magnitude of an order element, safe for LONG_MIN.
unsigned long magnitude(long v) {
  return v < 0 ? 0UL - static_cast<unsigned long>(v) : static_cast<unsigned long>(v);
}

// -v without overflow for LONG_MIN (wraps like the hardware does).
long negate(long v) { return static_cast<long>(0UL - static_cast<unsigned long>(v)); }

void print_error(const char* prefix, const char* text) {
  fprintf(stderr, "%s %s\n", prefix, text);
}

void debug_line(const char* text) {
  if (RN_debug) printf("%s\n", text);
}

// Result buffer of an order of N dimensions: the caller's buffer if it has
// room (else a message and null), or a new zeroed array.
long* order_buffer(long* buffer, size_t nelem, long N, const char* prefix, bool* allocated) {
  *allocated = false;
  if (N < 0) return nullptr;
  if (buffer) {
    if (nelem <= static_cast<size_t>(N)) {
      print_error(prefix, "dimension mismatch");
      return nullptr;
    }
    return buffer;
  }
  long* order = static_cast<long*>(calloc(static_cast<size_t>(N) + 1, sizeof(long)));
  *allocated = order != nullptr;
  return order;
}

}  // namespace

long raster_numbers(long n) {
  if (n < 0 || n > MAX_RASTER_NUMBER_DIMENSION) return 0;
  return RasterNumbers[n];
}

long raster_order2number(const long* order) {
  if (!order) return 0;
  long n = order[0];
  if (n > MAX_RASTER_NUMBER_DIMENSION) {
    for (long i = MAX_RASTER_NUMBER_DIMENSION + 1; i <= n; i++)
      if (order[i] != i) return 0;
    n = MAX_RASTER_NUMBER_DIMENSION;
  }
  if (n <= 0) return 1;

  long D = 1, A = 1;
  for (long i = 1; i <= n; i++) {
    long p = 0;
    bool found = false, negative = false;
    for (long j = 1; j <= n; j++) {
      unsigned long m = magnitude(order[j]);
      if (m <= static_cast<unsigned long>(i)) {
        p++;
        if (m == static_cast<unsigned long>(i)) {
          found = true;
          negative = order[j] < 0;
          break;
        }
      }
    }
    if (!found) return 0;
    D += (negative ? A : 0) + 2 * A * (i - p);
    A *= 2 * i;
  }
  return D;
}

long* raster_order_inversion(long* buffer, size_t nelem, const long* x_order) {
  if (!x_order) return nullptr;
  long N = x_order[0];
  bool allocated;
  long* result = order_buffer(buffer, nelem, N, "ERROR: raster_order_inversion:", &allocated);
  if (!result) return nullptr;
  // The input may be the result buffer itself.
  std::vector<long> x;
  try {
    x.assign(x_order, x_order + N + 1);
  } catch (const std::bad_alloc&) {
    if (allocated) free(result);
    return nullptr;
  }
  result[0] = N;
  for (long j = 1; j <= N; j++) result[j] = 0;
  for (long j = 1; j <= N; j++) {
    unsigned long k = magnitude(x[j]);
    if (k == 0 || k > static_cast<unsigned long>(N))
      result[j] = 0;
    else
      result[k] = x[j] < 0 ? -j : j;
  }
  return result;
}

long* raster_number2order(long* buffer, size_t nelem, long n, long raster_number) {
  bool allocated;
  long* result = order_buffer(buffer, nelem, n, "ERROR: raster_number2order:", &allocated);
  if (!result) return nullptr;

  bool inverse = raster_number < 0;
  unsigned long D = magnitude(raster_number);
  // A negative number is decoded into a work order and inverted into result.
  std::vector<long> work_store;
  long* work = result;
  if (inverse) {
    try {
      work_store.assign(static_cast<size_t>(n) + 1, 0);
    } catch (const std::bad_alloc&) {
      if (allocated) free(result);
      return nullptr;
    }
    work = work_store.data();
  }
  work[0] = n;
  for (long i = 1; i <= n; i++) work[i] = 0;

  long c = n;
  if (n > MAX_RASTER_NUMBER_DIMENSION &&
      D <= static_cast<unsigned long>(raster_numbers(MAX_RASTER_NUMBER_DIMENSION))) {
    for (long i = MAX_RASTER_NUMBER_DIMENSION + 1; i <= n; i++) work[i] = i;
    c = MAX_RASTER_NUMBER_DIMENSION;
  }
  if (D == 0 || D > static_cast<unsigned long>(raster_numbers(c))) {
    if (allocated) free(result);
    return nullptr;
  }

  long Dl = static_cast<long>(D);
  long A = raster_numbers(c);
  for (long h = c; h >= 1; h--) {
    A /= 2 * h;
    long m = (Dl - 1) / (2 * A);
    Dl -= 2 * A * m;
    long value = h;
    if (Dl > A) {
      value = -h;
      Dl -= A;
    }
    // Place into the (h - m)-th still empty element.
    long empty = 0;
    for (long j = 1; j <= c; j++) {
      if (work[j] == 0 && ++empty == h - m) {
        work[j] = value;
        break;
      }
    }
  }

  if (inverse) raster_order_inversion(result, static_cast<size_t>(n) + 1, work);
  return result;
}

long* raster_order_multiplication(long* buffer, size_t nelem, const long* a_order,
                                  const long* x_order) {
  if (!a_order || !x_order || a_order[0] > x_order[0]) return nullptr;
  long N = a_order[0];
  bool allocated;
  long* result =
      order_buffer(buffer, nelem, N, "ERROR: raster_order_multiplication:", &allocated);
  if (!result) return nullptr;
  // Either input may be the result buffer itself.
  std::vector<long> y;
  try {
    y.assign(static_cast<size_t>(N) + 1, 0);
  } catch (const std::bad_alloc&) {
    if (allocated) free(result);
    return nullptr;
  }
  y[0] = N;
  unsigned long xn = x_order[0] < 0 ? 0 : static_cast<unsigned long>(x_order[0]);
  for (long i = 1; i <= N; i++) {
    long ai = a_order[i];
    unsigned long k = magnitude(ai);
    if (k == 0 || k > xn)
      y[i] = 0;
    else
      y[i] = ai > 0 ? x_order[k] : negate(x_order[k]);
  }
  std::memcpy(result, y.data(), y.size() * sizeof(long));
  return result;
}

long raster_inversion(long x) {
  long order[MAX_RASTER_NUMBER_DIMENSION + 1], inverse[MAX_RASTER_NUMBER_DIMENSION + 1];
  if (!raster_number2order(order, MAX_RASTER_NUMBER_DIMENSION + 1,
                           MAX_RASTER_NUMBER_DIMENSION, x))
    return 0;
  if (!raster_order_inversion(inverse, MAX_RASTER_NUMBER_DIMENSION + 1, order)) return 0;
  return raster_order2number(inverse);
}

long raster_multiplication(long a, long x) {
  const size_t nelem = MAX_RASTER_NUMBER_DIMENSION + 1;
  long a_order[nelem], x_order[nelem], product[nelem];
  if (!raster_number2order(a_order, nelem, MAX_RASTER_NUMBER_DIMENSION, a)) return 0;
  if (!raster_number2order(x_order, nelem, MAX_RASTER_NUMBER_DIMENSION, x)) return 0;
  if (!raster_order_multiplication(product, nelem, a_order, x_order)) return 0;
  return raster_order2number(product);
}

double* raster_order2matrix(double* buffer, size_t nelem, const long* order) {
  const char* prefix = "ERROR: raster_order2matrix:";
  debug_line(" raster_order2matrix BEGIN");
  if (!order) {
    print_error(prefix, "order is NULL pointer:");
    debug_line(" raster_order2matrix END (error)");
    return nullptr;
  }
  long N = order[0] < 0 ? 0 : order[0];
  size_t size = static_cast<size_t>(N) * static_cast<size_t>(N);
  double* M = buffer;
  if (buffer) {
    if (nelem < size) {
      print_error(prefix, "dimension mismatch");
      debug_line(" raster_order2matrix END (error)");
      return nullptr;
    }
  } else {
    M = static_cast<double*>(calloc(size ? size : 1, sizeof(double)));
    if (!M) {
      debug_line(" raster_order2matrix END (error)");
      return nullptr;
    }
  }
  for (size_t i = 0; i < size; i++) M[i] = 0.0;
  for (long j = 1; j <= N; j++) {
    unsigned long k = magnitude(order[j]);
    if (k == 0 || k > static_cast<unsigned long>(N)) {
      print_error(prefix, "order index out of bounds");
      if (!buffer) free(M);
      debug_line(" raster_order2matrix END (error)");
      return nullptr;
    }
    M[(k - 1) + static_cast<size_t>(j - 1) * N] = order[j] < 0 ? -1.0 : 1.0;
  }
  debug_line(" raster_order2matrix END");
  return M;
}

double* raster_matrix_product(double* buffer, size_t nelem, const double* A, const double* B,
                              int L, int M, int N) {
  const char* prefix = "ERROR: raster_matrix_product:";
  debug_line(" raster_matrix_product BEGIN");
  if (!A || !B) {
    print_error(prefix, "matrix is NULL pointer:");
    debug_line(" raster_matrix_product END (error)");
    return nullptr;
  }
  if (L < 0 || M < 0 || N < 0 || (buffer && nelem < static_cast<size_t>(L) * N)) {
    print_error(prefix, "dimension mismatch");
    debug_line(" raster_matrix_product END (error)");
    return nullptr;
  }
  size_t size = static_cast<size_t>(L) * N;
  // A or B may be the result buffer itself.
  std::vector<double> C;
  try {
    C.assign(size, 0.0);
  } catch (const std::bad_alloc&) {
    debug_line(" raster_matrix_product END (error)");
    return nullptr;
  }
  for (int l = 0; l < L; l++)
    for (int n = 0; n < N; n++) {
      double sum = 0.0;
      for (int m = 0; m < M; m++)
        sum += A[n + static_cast<size_t>(m) * N] * B[m + static_cast<size_t>(l) * M];
      C[n + static_cast<size_t>(l) * N] = sum;
    }
  double* result = buffer;
  if (!result) {
    result = static_cast<double*>(malloc((size ? size : 1) * sizeof(double)));
    if (!result) {
      debug_line(" raster_matrix_product END (error)");
      return nullptr;
    }
  }
  if (size) std::memcpy(result, C.data(), size * sizeof(double));
  debug_line(" raster_matrix_product END");
  return result;
}

int raster_fprint_matrix(FILE* out, int nrows, int ncols, const double* M, const char* label) {
  debug_line(" raster_fprint_matrix BEGIN");
  fprintf(out, "%14s \n", label ? label : "");
  if (M) {
    for (int r = 0; r < nrows; r++) {
      for (int c = 0; c < ncols; c++)
        fprintf(out, "%14g ", M[r + static_cast<size_t>(c) * nrows]);
      fprintf(out, "\n");
    }
  }
  printf("\n");
  debug_line(" raster_fprint_matrix END");
  return 0;
}

// ---------------------------------------------------------------------------
// Normalization
// ---------------------------------------------------------------------------

namespace {

// One stored axis of the walk: its length, its stride in the source (stored
// layout) and its signed stride in the destination (standard layout), in
// elements.
struct Axis {
  size_t len;
  size_t src_stride;
  ptrdiff_t dest_stride;
};

// Moves elements of Size bytes (Size 0: item bytes given at run time).
template <size_t Size>
struct Mover {
  size_t item;
  void copy(unsigned char* d, const unsigned char* s) const { std::memcpy(d, s, Size); }
  size_t bytes() const { return Size; }
};
template <>
struct Mover<0> {
  size_t item;
  void copy(unsigned char* d, const unsigned char* s) const { std::memcpy(d, s, item); }
  size_t bytes() const { return item; }
};

// Tile edge of the blocked two-axis walk: a tile of both arrays stays in the
// first-level cache.
// Edge of a square tile in elements, and the band of elements along axis 0
// within which tiles are walked first.
constexpr size_t tile_edge(size_t item) { return item <= 8 ? 16 : item <= 64 ? 8 : 4; }
constexpr size_t TileBand = 512;

// Scatters a staged tile of 4-byte elements (nb rows of ni elements) into
// the destination in 4 x 4 blocks: element (b, i) of the tile goes to
// d0 + i * di + b * db (db = +-1), in elements.  Handles the rows i that
// form whole blocks and returns the first row left to the caller.
size_t scatter_blocks4(unsigned char* dest, const unsigned char* tile, size_t ni, size_t nb,
                       ptrdiff_t d0, ptrdiff_t di, ptrdiff_t db) {
#if defined(__SSE2__)
  const size_t nb4 = nb & ~size_t{3}, ni4 = ni & ~size_t{3};
  if (nb4 != nb) return 0;
  const size_t row = ni * 4;
  for (size_t i = 0; i < ni4; i += 4) {
    // Blocks in the order of ascending destination addresses.
    for (size_t bb = 0; bb < nb4; bb += 4) {
      const size_t b = db > 0 ? bb : nb4 - 4 - bb;
      const unsigned char* t = tile + b * row + i * 4;
      __m128i r0 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t));
      __m128i r1 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + row));
      __m128i r2 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 2 * row));
      __m128i r3 = _mm_loadu_si128(reinterpret_cast<const __m128i*>(t + 3 * row));
      __m128i t0 = _mm_unpacklo_epi32(r0, r1), t1 = _mm_unpacklo_epi32(r2, r3);
      __m128i t2 = _mm_unpackhi_epi32(r0, r1), t3 = _mm_unpackhi_epi32(r2, r3);
      __m128i c[4] = {_mm_unpacklo_epi64(t0, t1), _mm_unpackhi_epi64(t0, t1),
                      _mm_unpacklo_epi64(t2, t3), _mm_unpackhi_epi64(t2, t3)};
      for (size_t k = 0; k < 4; k++) {
        ptrdiff_t at = d0 + static_cast<ptrdiff_t>(i + k) * di + static_cast<ptrdiff_t>(b) * db;
        __m128i v = c[k];
        if (db < 0) {
          v = _mm_shuffle_epi32(v, _MM_SHUFFLE(0, 1, 2, 3));
          at -= 3;
        }
        _mm_storeu_si128(reinterpret_cast<__m128i*>(dest + at * 4), v);
      }
    }
  }
  return ni4;
#else
  (void)dest, (void)tile, (void)ni, (void)nb, (void)d0, (void)di, (void)db;
  return 0;
#endif
}

// Copies the run of axis 0 at the current position of the other axes: a
// plain copy, or element by element backwards.
template <size_t Size>
void walk_rows(unsigned char* dest, const unsigned char* src, const Axis& a0, size_t s_off,
               ptrdiff_t d_off, Mover<Size> mv) {
  const size_t item = mv.bytes();
  unsigned char* d = dest + d_off * static_cast<ptrdiff_t>(item);
  const unsigned char* s = src + s_off * item;
  if (a0.dest_stride == 1) {
    std::memcpy(d, s, a0.len * item);
  } else {
    for (size_t i = 0; i < a0.len; i++, d -= item, s += item) mv.copy(d, s);
  }
}

// Moves the plane of axes 0 and p (p with destination stride +-1) at the
// current position of the other axes, tile by tile: each tile is gathered
// row by row from the source (contiguous along axis 0) into a small buffer
// and scattered from there in runs that are contiguous in the destination
// (along axis p).  Staging keeps power-of-two strides from evicting the
// tile's own cache lines; bands of TileBand elements along axis 0 keep the
// destination rows of a band (and their address translations) in use.
template <size_t Size>
void walk_tiles(unsigned char* dest, const unsigned char* src, const Axis& a0, const Axis& ap,
                size_t s_off, ptrdiff_t d_off, Mover<Size> mv, unsigned char* tile) {
  const size_t item = mv.bytes();
  // Tile edge known at compile time for the common element sizes, so that
  // the row copies become a few moves.
  constexpr size_t TS = Size ? tile_edge(Size) : 0;
  const size_t T = Size ? TS : tile_edge(item);
  const ptrdiff_t d_item = static_cast<ptrdiff_t>(item);
  const ptrdiff_t step = ap.dest_stride * d_item;
  for (size_t I0 = 0; I0 < a0.len; I0 += TileBand) {
    const size_t I1 = I0 + TileBand < a0.len ? I0 + TileBand : a0.len;
    for (size_t b0 = 0; b0 < ap.len; b0 += T) {
      const size_t nb = b0 + T < ap.len ? T : ap.len - b0;
      for (size_t i0 = I0; i0 < I1; i0 += T) {
        const size_t ni = i0 + T < I1 ? T : I1 - i0;
        const size_t row = ni * item;
        const unsigned char* s = src + (s_off + i0 + b0 * ap.src_stride) * item;
        const size_t s_step = ap.src_stride * item;
        if (Size && ni == TS) {
          for (size_t b = 0; b < nb; b++, s += s_step) std::memcpy(tile + b * row, s, TS * Size);
        } else {
          for (size_t b = 0; b < nb; b++, s += s_step) std::memcpy(tile + b * row, s, row);
        }
        const ptrdiff_t d0 = d_off + static_cast<ptrdiff_t>(i0) * a0.dest_stride +
                             static_cast<ptrdiff_t>(b0) * ap.dest_stride;
        size_t i = 0;
        if (Size == 4) i = scatter_blocks4(dest, tile, ni, nb, d0, a0.dest_stride, ap.dest_stride);
        for (; i < ni; i++) {
          unsigned char* d = dest + (d0 + static_cast<ptrdiff_t>(i) * a0.dest_stride) * d_item;
          const unsigned char* t = tile + i * item;
          for (size_t b = 0; b < nb; b++, d += step, t += row) mv.copy(d, t);
        }
      }
    }
  }
}

// Walks every element once.  Axis 0 (stored axis 1) is contiguous in the
// source; axis p runs with destination stride +-1.  With p == 0 each run of
// axis 0 is one row copy; otherwise the plane of axes 0 and p is moved in
// tiles (each element goes to its own place, so the walk order does not
// change the result).  The remaining axes are counted by an odometer.
template <size_t Size>
void normalize_walk(unsigned char* dest, const unsigned char* src, const std::vector<Axis>& ax,
                    size_t p, ptrdiff_t dest_base, Mover<Size> mv) {
  std::vector<size_t> outer;  // axes of the odometer
  for (size_t j = 1; j < ax.size(); j++)
    if (j != p) outer.push_back(j);
  std::vector<size_t> idx(outer.size(), 0);
  const size_t T = tile_edge(mv.bytes());
  std::vector<unsigned char> tile(p == 0 ? 0 : T * T * mv.bytes());

  size_t s_off = 0;             // source element offset at the odometer position
  ptrdiff_t d_off = dest_base;  // destination element offset there
  for (;;) {
    if (p == 0)
      walk_rows(dest, src, ax[0], s_off, d_off, mv);
    else
      walk_tiles(dest, src, ax[0], ax[p], s_off, d_off, mv, tile.data());
    size_t k = 0;
    for (; k < outer.size(); k++) {
      const Axis& a = ax[outer[k]];
      if (++idx[k] < a.len) {
        s_off += a.src_stride;
        d_off += a.dest_stride;
        break;
      }
      idx[k] = 0;
      s_off -= (a.len - 1) * a.src_stride;
      d_off -= static_cast<ptrdiff_t>(a.len - 1) * a.dest_stride;
    }
    if (k == outer.size()) break;
  }
}

void debug_axes(long raster_number, const long* data_dim, const long* order,
                const std::vector<Axis>& ax) {
  if (!RN_debug) return;
  printf("         raster_number = %ld\n", raster_number);
  for (size_t j = 0; j < ax.size(); j++) {
    long J = static_cast<long>(j) + 1;
    long k = static_cast<long>(magnitude(order[J]));
    ptrdiff_t stride = ax[j].dest_stride < 0 ? -ax[j].dest_stride : ax[j].dest_stride;
    printf("         data_dim[%ld] = %ld\n", J, data_dim[J]);
    printf("            order[%ld] = %ld\n", J, order[J]);
    printf("            IWrap[%ld] = %ld\n", J, static_cast<long>(stride));
    printf("               IS[%ld] = %ld\n", J, order[J] < 0 ? data_dim[k] : 1L);
    printf("             IInc[%ld] = %ld\n", J, order[J] < 0 ? -1L : 1L);
    printf("            ILoop[%ld] = %ld\n", J, data_dim[k]);
  }
}

int normalization_end(int errval, int* perrval) {
  if (perrval) *perrval = errval;
  if (RN_debug) {
    if (errval)
      printf(" raster_order_normalization END (errval=%d)\n", errval);
    else
      printf(" raster_order_normalization END\n");
  }
  return errval ? -1 : 0;
}

// Checks the order and moves every element; returns a RasterErrorValue.
// May throw std::bad_alloc for its small work arrays.
int order_normalization(void* dest, const void* src, const long* data_dim, const long* order,
                        size_t item) {
  const char* prefix = "ERROR: raster_order_normalization:";
  const long n = data_dim[0];
  // The order must describe exactly the n axes of the array, each once;
  // anything else would address elements outside the arrays.
  if (order[0] != n) {
    fprintf(stderr, "%s order %s\n", prefix, "bad raster configuration");
    return RasterBadConfiguration;
  }
  std::vector<char> seen(static_cast<size_t>(n) + 1, 0);
  for (long j = 1; j <= n; j++) {
    unsigned long k = magnitude(order[j]);
    if (k == 0 || k > static_cast<unsigned long>(n) || seen[k]) {
      fprintf(stderr, "%s order %s\n", prefix, "bad raster configuration");
      return RasterBadConfiguration;
    }
    seen[k] = 1;
  }

  long raster_number = raster_order2number(order);
  if (src == dest && raster_number == 1) {
    if (RN_debug) {
      printf("         raster_number = %ld\n", raster_number);
      printf("         src and dest arrays are identical\n");
      printf("         normalization not required\n");
    }
    return RasterSuccess;
  }

  // Standard strides and the element count.
  std::vector<size_t> std_stride(static_cast<size_t>(n) + 1);
  size_t count = 1;
  for (long k = 1; k <= n; k++) {
    if (data_dim[k] < 0) {
      fprintf(stderr, "%s data_dim %s\n", prefix, "no or zero dimension");
      return RasterNoDimension;
    }
    std_stride[k] = count;
    size_t len = static_cast<size_t>(data_dim[k]);
    if (len && count > SIZE_MAX / len) {
      fprintf(stderr, "%s data_dim %s\n", prefix, "array too large");
      return RasterNoMemory;
    }
    count *= len;
  }
  if (item && count > SIZE_MAX / item) {
    fprintf(stderr, "%s data_dim %s\n", prefix, "array too large");
    return RasterNoMemory;
  }
  size_t size = count * item;

  // Stored axes: length, source stride, signed destination stride.
  std::vector<Axis> ax(static_cast<size_t>(n));
  ptrdiff_t dest_base = 0;
  size_t src_stride = 1, p = 0;
  for (long j = 1; j <= n; j++) {
    unsigned long k = magnitude(order[j]);
    Axis& a = ax[static_cast<size_t>(j - 1)];
    a.len = static_cast<size_t>(data_dim[k]);
    a.src_stride = src_stride;
    a.dest_stride = static_cast<ptrdiff_t>(std_stride[k]);
    if (order[j] < 0) {
      if (a.len) dest_base += static_cast<ptrdiff_t>(a.len - 1) * a.dest_stride;
      a.dest_stride = -a.dest_stride;
    }
    if (k == 1) p = static_cast<size_t>(j - 1);
    src_stride *= a.len;
  }
  debug_axes(raster_number, data_dim, order, ax);
  if (size == 0) return RasterSuccess;

  // Overlapping arrays: read from a copy of the source.
  const unsigned char* s = static_cast<const unsigned char*>(src);
  unsigned char* d = static_cast<unsigned char*>(dest);
  std::unique_ptr<unsigned char[]> copy;
  const uintptr_t s_addr = reinterpret_cast<uintptr_t>(s), d_addr = reinterpret_cast<uintptr_t>(d);
  if (s_addr < d_addr + size && d_addr < s_addr + size) {
    if (RN_debug) printf(" raster_order_normalization: creating temporory copy \n");
    copy.reset(new (std::nothrow) unsigned char[size]);
    if (!copy) {
      fprintf(stderr, "%s IS %s\n", prefix, "cannot allocate memory");
      return RasterNoMemory;
    }
    std::memcpy(copy.get(), s, size);
    s = copy.get();
  }

  switch (item) {
    case 1: normalize_walk(d, s, ax, p, dest_base, Mover<1>{1}); break;
    case 2: normalize_walk(d, s, ax, p, dest_base, Mover<2>{2}); break;
    case 4: normalize_walk(d, s, ax, p, dest_base, Mover<4>{4}); break;
    case 8: normalize_walk(d, s, ax, p, dest_base, Mover<8>{8}); break;
    case 16: normalize_walk(d, s, ax, p, dest_base, Mover<16>{16}); break;
    default: normalize_walk(d, s, ax, p, dest_base, Mover<0>{item}); break;
  }
  return RasterSuccess;
}

}  // namespace

int raster_order_normalization(void* dest, const void* src, const long* data_dim,
                               const long* order, size_t item, int* perrval) {
  const char* prefix = "ERROR: raster_order_normalization:";
  debug_line(" raster_order_normalization BEGIN");
  if (!data_dim) {
    fprintf(stderr, "SEVERE %s Data dimension pointer missing!\n", prefix);
    exit(-1);
  }
  if (!order) {
    fprintf(stderr, "SEVERE %s Order array  pointer missing!\n", prefix);
    exit(-1);
  }
  if (!dest) {
    fprintf(stderr, "SEVERE %s Destination pointer missing!\n", prefix);
    exit(-1);
  }
  if (!src) {
    fprintf(stderr, "SEVERE %s Source pointer missing!\n", prefix);
    exit(-1);
  }

  long n = data_dim[0];
  if (n <= 0) {
    fprintf(stderr, "%s data_dim %s\n", prefix, "no or zero dimension");
    return normalization_end(RasterNoDimension, perrval);
  }
  try {
    return normalization_end(order_normalization(dest, src, data_dim, order, item), perrval);
  } catch (const std::bad_alloc&) {
    fprintf(stderr, "%s I %s\n", prefix, "cannot allocate memory");
    return normalization_end(RasterNoMemory, perrval);
  }
}

int raster_normalization(void* dest, const void* src, const long* data_dim, long raster_number,
                         size_t item, int* perrval) {
  const char* prefix = "ERROR: raster_normalization:";
  debug_line(" raster_normalization BEGIN");
  int errval = RasterSuccess, result = 0;
  if (!data_dim) {
    fprintf(stderr, "SEVERE %s Data dimension pointer missing!\n", prefix);
    exit(-1);
  }
  long n = data_dim[0];
  long* order = nullptr;
  if (n <= 0) {
    fprintf(stderr, "%s data_dim %s\n", prefix, "no or zero dimension");
    errval = RasterNoDimension;
    result = -1;
  } else if (!(order = raster_number2order(nullptr, 0, n, raster_number))) {
    fprintf(stderr, "%s raster_number=%ld %s\n", prefix, raster_number,
            "bad raster configuration");
    errval = RasterBadConfiguration;
    result = -1;
  } else {
    result = raster_order_normalization(dest, src, data_dim, order, item, &errval);
    free(order);
  }
  if (perrval) *perrval = errval;
  if (RN_debug) {
    if (result)
      printf(" raster_normalization END (errval=%d)\n", errval);
    else
      printf(" raster_normalization END\n");
  }
  return result;
}

void raster_debug(int debug) { RN_debug = debug; }

const char* raster_version(void) { return RasterVersion; }
