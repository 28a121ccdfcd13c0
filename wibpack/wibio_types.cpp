// wibio types: data type, machine type, byte order and compression numbers
// and names, array conversion between machine types, byte swapping, the
// output settings, versions and the debug switch.
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <memory>
#include <new>
#include <type_traits>

#include "wibpack/cmpr.h"
#include "wibpack/numio.h"
#include "wibpack/raster.h"
#include "wibpack/wibio_internal.h"

// The machine type table below holds for this machine model.
static_assert(sizeof(short) == 2 && sizeof(int) == 4 && sizeof(long) == 8,
              "machine types assume 2-byte short, 4-byte int and 8-byte long");

WibOutputSettings wib_settings;
int WIBIO_debug = 0;

namespace {

const char* const WibioVersion = "wibio : V2.41 Orrin 2012-07-03 (E2.223)";

const char* const DTypeStrings[EndDType] = {
    "Invalid",     "UnsignedByte",  "SignedByte",     "UnsignedShort", "SignedShort",
    "UnsignedInteger", "SignedInteger", "Unsigned64", "Signed64",      "FloatValue",
    "DoubleValue", "UnAssigned",    "UnAssigned",     "FloatVAX32",    "DoubleVAX64",
    "FloatConvex32", "DoubleConvex64"};
const char* const DTypeStringsAliases[EndDType] = {
    "Invalid",     "Unsigned8",   "Signed8",     "Unsigned16",  "Signed16",
    "Unsigned32",  "Signed32",    "Unsigned64",  "Signed64",    "FloatIEEE32",
    "DoubleIEEE64", "UnAssigned", "UnAssigned",  "FloatVAX32",  "DoubleVAX64",
    "FloatConvex32", "DoubleConvex64"};
const char* const DTypeStringsAliases1[EndDType] = {
    "Invalid",     "UnsignedByte", "SignedByte",  "UnsignedShort", "SignedShort",
    "UnsignedLong", "SignedLong",  "Unsigned64",  "Signed64",      "Float",
    "DoubleValue", "UnAssigned",   "UnAssigned",  "FloatVAX32",    "DoubleVAX64",
    "FloatConvex32", "DoubleConvex64"};
const size_t DSize[EndDType] = {0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 0, 0, 4, 8, 4, 8};
// Machine type of each data type.
const long MachineType[EndDType] = {MInvalid, MUnsignedChar, MChar, MUnsignedShort, MShort,
                                    MUnsignedInteger, MInteger, MUnsignedLong, MLong, MFloat,
                                    MDouble, MInvalid, MInvalid, MInvalid, MInvalid,
                                    MInvalid, MInvalid};

const char* const MTypeStrings[EndMType] = {
    "Invalid", "unsigned char", "char", "unsigned short", "short", "unsigned int",
    "int",     "unsigned long", "long", "float",          "double"};
const size_t MSize[EndMType] = {0,
                                sizeof(unsigned char),
                                sizeof(signed char),
                                sizeof(unsigned short),
                                sizeof(short),
                                sizeof(unsigned int),
                                sizeof(int),
                                sizeof(unsigned long),
                                sizeof(long),
                                sizeof(float),
                                sizeof(double)};
// Data type of each machine type.
const long DataType[EndMType] = {InValidDType, UnsignedByte,  SignedByte, UnsignedShort,
                                 SignedShort,  UnsignedInteger, SignedInteger, Unsigned64,
                                 Signed64,     FloatValue,    DoubleValue};

const char* const BOrderStrings[4] = {"Invalid", "LowByteFirst", "HighByteFirst",
                                      "FixedByteOrder"};

const char* const DCompressionStrings[EndDCompression] = {"Invalid", "None", "GzipCompression",
                                                          "ZCompression"};
const char* const DCompressionStringsAliases[EndDCompression] = {
    "Invalid", "UnCompressed", "GzipCompression", "ZCompression"};
const char* const DCompressionStringsAliases1[EndDCompression] = {"Invalid", "NoSpecificValue",
                                                                  "Gzip", "Z"};

// Index of the first name of table equal to string (compared like keys),
// or -1.
long lookup(const char* const* table, long count, const char* string) {
  for (long i = 0; i < count; i++)
    if (compare_keys(table[i], string, 1) == 0) return i;
  return -1;
}

}  // namespace

// ---------------------------------------------------------------------------
// Names and numbers
// ---------------------------------------------------------------------------

long wib_string2datatype(const char* string) {
  if (!string) return InValidDType;
  for (const char* const* table : {DTypeStrings, DTypeStringsAliases, DTypeStringsAliases1}) {
    long i = lookup(table, EndDType, string);
    if (i >= 0) return i;
  }
  return InValidDType;
}

long wib_string2compression(const char* string) {
  if (!string) return InValidCompression;
  for (const char* const* table :
       {DCompressionStrings, DCompressionStringsAliases, DCompressionStringsAliases1}) {
    long i = lookup(table, EndDCompression, string);
    if (i >= 0) return i;
  }
  char* end;
  long number = strtol(string, &end, 10);
  if (end != string && number >= UnCompressed && number <= ZCompression) return number;
  return InValidCompression;
}

long wib_string2byteorder(const char* string) {
  if (!string) return InValidBOrder;
  long i = lookup(BOrderStrings, 4, string);
  return i >= 0 ? i : static_cast<long>(InValidBOrder);
}

const char* wib_datatype2string(long datatype) {
  return (datatype >= 0 && datatype < EndDType) ? DTypeStrings[datatype] : DTypeStrings[0];
}

const char* wib_compression2string(long compression) {
  return (compression >= 0 && compression < EndDCompression) ? DCompressionStrings[compression]
                                                              : DCompressionStrings[0];
}

const char* wib_byteorder2string(long byteorder) {
  return (byteorder >= 0 && byteorder <= HighByteFirst) ? BOrderStrings[byteorder]
                                                         : BOrderStrings[0];
}

long wib_byteorder(void) {
  const uint16_t one = 1;
  unsigned char first;
  memcpy(&first, &one, 1);
  return first == 1 ? LowByteFirst : first == 0 ? HighByteFirst : InValidBOrder;
}

size_t wib_data_sizeof(long datatype) {
  return (datatype >= 1 && datatype < EndDType) ? DSize[datatype] : 0;
}

size_t wib_machine_sizeof(long mtype) {
  return (mtype >= 1 && mtype < EndMType) ? MSize[mtype] : 0;
}

long wib_datatype2machinetype(long datatype) {
  return (datatype >= 0 && datatype < EndDType) ? MachineType[datatype] : static_cast<long>(MInvalid);
}

long wib_machinetype2datatype(long mtype) {
  return (mtype >= 0 && mtype < EndMType) ? DataType[mtype] : static_cast<long>(InValidDType);
}

long wib_dim_product(const long* dim) {
  if (!dim) return 0;
  long n = dim[0];
  if (n <= 0) return 1;
  for (long i = 1; i <= n; i++)
    if (dim[i] <= 0) return 0;
  long product = 1;
  for (long i = 1; i <= n; i++) {
    if (product > LONG_MAX / dim[i]) return LONG_MAX;
    product *= dim[i];
  }
  return product;
}

int array_bytes(const long* dim, size_t size, size_t* pbytes) {
  if (!dim) return -1;
  long product = wib_dim_product(dim);
  if (product == LONG_MAX) return -1;  // too large to be an array in memory
  size_t count = static_cast<size_t>(product);
  if (size && count > SIZE_MAX / size) return -1;
  if (pbytes) *pbytes = count * size;
  return 0;
}

void wib_showdatatypes(int full) {
  if (full) printf(" %15s               = %15s\n", "DataType", "MachineType");
  for (long dt = 1; dt < EndDType; dt++) {
    long mt = MachineType[dt];
    if (mt || full)
      printf(" %15s (%5lu bytes) = %15s (%5lu bytes)\n", DTypeStrings[dt],
             static_cast<unsigned long>(DSize[dt]), MTypeStrings[mt],
             static_cast<unsigned long>(MSize[mt]));
  }
}

void wib_showmachinetypes(int full) {
  if (full) printf(" %15s               = %15s\n", "MachineType", "DataType");
  for (long mt = 1; mt < EndMType; mt++) {
    long dt = DataType[mt];
    if (dt || full)
      printf(" %15s (%5lu bytes) = %15s (%5lu bytes)\n", MTypeStrings[mt],
             static_cast<unsigned long>(MSize[mt]), DTypeStrings[dt],
             static_cast<unsigned long>(DSize[dt]));
  }
}

// ---------------------------------------------------------------------------
// Conversion
// ---------------------------------------------------------------------------

namespace {

// Integer destination from a floating-point value: floor(v) with v = in +
// 0.5 + offset, clipped to the destination's range (NaN gives 0).  Inside
// the range floor is exact as truncation toward zero, lowered by one for
// negative non-integers; this avoids a library call per element.
template <typename TOut>
TOut floor_clipped(double v) {
  constexpr double lo = static_cast<double>(std::numeric_limits<TOut>::min());
  // 2^(bits) for the upper bound, exactly representable (LONG_MAX is not).
  constexpr double hi_excl =
      2.0 * static_cast<double>(std::numeric_limits<TOut>::max() / 2 + 1);
  if (v >= hi_excl) return std::numeric_limits<TOut>::max();
  if (v >= lo) {
    long t = static_cast<long>(v);  // lo <= v < 2^63: in range of long
    if (static_cast<double>(t) > v) t--;
    return static_cast<TOut>(t);
  }
  if (v < lo) return std::numeric_limits<TOut>::min();
  return 0;
}

// The value of one element: out = in + ValueOffset by the rule of the
// destination type.
template <typename TOut, typename TIn>
class Element {
 public:
  explicit Element(long offset)
      : off_(offset),
        foff_(static_cast<float>(offset)),
        doff_(static_cast<double>(offset)),
        toff_(static_cast<TOut>(offset)) {}

  TOut operator()(TIn in) const {
    if constexpr (std::is_same_v<TOut, float>) {
      return static_cast<float>(in) + foff_;
    } else if constexpr (std::is_same_v<TOut, double>) {
      return static_cast<double>(in) + doff_;
    } else if constexpr (std::is_floating_point_v<TIn>) {
      return floor_clipped<TOut>(static_cast<double>(in) + 0.5 + doff_);
    } else if constexpr (std::is_same_v<TOut, unsigned short>) {
      __int128 sum = static_cast<__int128>(in) + off_;
      return sum < 0 ? 0 : sum > 65535 ? 65535 : static_cast<unsigned short>(sum);
    } else {
      // short, int, long: added in the destination's width, wrapping.
      using U = std::make_unsigned_t<TOut>;
      return static_cast<TOut>(static_cast<U>(static_cast<U>(in) + static_cast<U>(toff_)));
    }
  }

 private:
  long off_;
  float foff_;
  double doff_;
  TOut toff_;
};

// Converts n elements between non-overlapping arrays.  Elements are moved
// with memcpy: the arrays are plain bytes of any alignment.
template <typename TOut, typename TIn>
void convert_run(unsigned char* __restrict out, const unsigned char* __restrict in, size_t n,
                 const Element<TOut, TIn> rule) {
  for (size_t k = 0; k < n; k++) {
    TIn v;
    memcpy(&v, in + k * sizeof(TIn), sizeof v);
    TOut r = rule(v);
    memcpy(out + k * sizeof(TOut), &r, sizeof r);
  }
}

template <typename TOut, typename TIn>
int convert_array(void* Out, const void* In, long ValueOffset, size_t n) {
  if (std::is_same_v<TOut, TIn> && Out == In && ValueOffset == 0) return 0;
  const Element<TOut, TIn> rule(ValueOffset);
  unsigned char* out = static_cast<unsigned char*>(Out);
  const unsigned char* in = static_cast<const unsigned char*>(In);
  const uintptr_t o = reinterpret_cast<uintptr_t>(out), i = reinterpret_cast<uintptr_t>(in);
  const size_t out_bytes = n * sizeof(TOut), in_bytes = n * sizeof(TIn);

  if (o >= i + in_bytes || i >= o + out_bytes) {
    convert_run(out, in, n, rule);
    return 0;
  }
  if (out != in) {
    // Partly overlapping arrays: convert from a copy.
    std::unique_ptr<unsigned char[]> copy(new (std::nothrow) unsigned char[in_bytes]);
    if (!copy) return -1;
    memcpy(copy.get(), in, in_bytes);
    convert_run(out, copy.get(), n, rule);
    return 0;
  }

  // In place: a growing element is processed from the last to the first, a
  // shrinking or equal one from the first to the last, so that no element
  // is overwritten before it was read.  Chunks of the input are taken into
  // a local buffer first, which keeps the inner loop free of aliasing.
  constexpr size_t K = 2048;
  alignas(16) unsigned char chunk[K * sizeof(TIn)];
  if (sizeof(TIn) < sizeof(TOut)) {
    for (size_t hi = n; hi > 0;) {
      size_t lo = hi > K ? hi - K : 0;
      memcpy(chunk, in + lo * sizeof(TIn), (hi - lo) * sizeof(TIn));
      convert_run(out + lo * sizeof(TOut), chunk, hi - lo, rule);
      hi = lo;
    }
  } else {
    for (size_t lo = 0; lo < n;) {
      size_t hi = n - lo > K ? lo + K : n;
      memcpy(chunk, in + lo * sizeof(TIn), (hi - lo) * sizeof(TIn));
      convert_run(out + lo * sizeof(TOut), chunk, hi - lo, rule);
      lo = hi;
    }
  }
  return 0;
}

template <typename TOut>
int convert_from(void* Out, const void* In, long ValueOffset, long MachineTypeIn, size_t n) {
  switch (MachineTypeIn) {
    case MUnsignedChar: return convert_array<TOut, unsigned char>(Out, In, ValueOffset, n);
    case MChar: return convert_array<TOut, signed char>(Out, In, ValueOffset, n);
    case MUnsignedShort: return convert_array<TOut, unsigned short>(Out, In, ValueOffset, n);
    case MShort: return convert_array<TOut, short>(Out, In, ValueOffset, n);
    case MUnsignedInteger: return convert_array<TOut, unsigned int>(Out, In, ValueOffset, n);
    case MInteger: return convert_array<TOut, int>(Out, In, ValueOffset, n);
    case MUnsignedLong: return convert_array<TOut, unsigned long>(Out, In, ValueOffset, n);
    case MLong: return convert_array<TOut, long>(Out, In, ValueOffset, n);
    case MFloat: return convert_array<TOut, float>(Out, In, ValueOffset, n);
    case MDouble: return convert_array<TOut, double>(Out, In, ValueOffset, n);
    default: return -1;
  }
}

}  // namespace

int Convert2UnsignedShort(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                          size_t DataCount) {
  return convert_from<unsigned short>(Out, In, ValueOffset, MachineTypeIn, DataCount);
}
int Convert2Short(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                  size_t DataCount) {
  return convert_from<short>(Out, In, ValueOffset, MachineTypeIn, DataCount);
}
int Convert2Integer(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                    size_t DataCount) {
  return convert_from<int>(Out, In, ValueOffset, MachineTypeIn, DataCount);
}
int Convert2Long(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                 size_t DataCount) {
  return convert_from<long>(Out, In, ValueOffset, MachineTypeIn, DataCount);
}
int Convert2Float(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                  size_t DataCount) {
  return convert_from<float>(Out, In, ValueOffset, MachineTypeIn, DataCount);
}
int Convert2Double(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                   size_t DataCount) {
  return convert_from<double>(Out, In, ValueOffset, MachineTypeIn, DataCount);
}

int wib_machine2machine(void* dest, long mtype_dest, const void* src, long value_offset,
                        long mtype_src, size_t n) {
  if (!dest || !src) {
    fprintf(stderr, "SEVERE: wib_machine2machine: NULL pointer\n");
    exit(-1);
  }
  if (mtype_src == MInvalid) return -1;
  switch (mtype_dest) {
    case MUnsignedShort: return Convert2UnsignedShort(dest, src, value_offset, mtype_src, n);
    case MShort: return Convert2Short(dest, src, value_offset, mtype_src, n);
    case MInteger: return Convert2Integer(dest, src, value_offset, mtype_src, n);
    case MLong: return Convert2Long(dest, src, value_offset, mtype_src, n);
    case MFloat: return Convert2Float(dest, src, value_offset, mtype_src, n);
    case MDouble: return Convert2Double(dest, src, value_offset, mtype_src, n);
    default: return -1;
  }
}

// ---------------------------------------------------------------------------
// Byte swapping
// ---------------------------------------------------------------------------

namespace {

template <typename T, T (*Swap)(T)>
void swap_items(unsigned char* dest, const unsigned char* src, size_t n) {
  for (size_t k = 0; k < n; k++) {
    T v;
    memcpy(&v, src + k * sizeof(T), sizeof v);
    v = Swap(v);
    memcpy(dest + k * sizeof(T), &v, sizeof v);
  }
}

uint16_t swap16(uint16_t v) { return __builtin_bswap16(v); }
uint32_t swap32(uint32_t v) { return __builtin_bswap32(v); }
uint64_t swap64(uint64_t v) { return __builtin_bswap64(v); }

}  // namespace

void wib_bswap(void* dest, const void* src, size_t item, size_t n) {
  if (!dest || !src) {
    fprintf(stderr, "SEVERE: wib_bswap: NULL pointer\n");
    exit(-1);
  }
  unsigned char* d = static_cast<unsigned char*>(dest);
  const unsigned char* s = static_cast<const unsigned char*>(src);
  if (d != s) {
    // Items that overlap partly are swapped after a plain move.
    const uintptr_t di = reinterpret_cast<uintptr_t>(d), si = reinterpret_cast<uintptr_t>(s);
    const size_t bytes = item * n;
    if (item <= 1 || (di < si + bytes && si < di + bytes)) {
      memmove(d, s, bytes);
      s = d;
    }
  }
  switch (item) {
    case 0:
    case 1: return;
    case 2: swap_items<uint16_t, swap16>(d, s, n); return;
    case 4: swap_items<uint32_t, swap32>(d, s, n); return;
    case 8: swap_items<uint64_t, swap64>(d, s, n); return;
    default:
      for (size_t k = 0; k < n; k++) {
        unsigned char* o = d + k * item;
        const unsigned char* i = s + k * item;
        for (size_t j = 0; j < (item + 1) / 2; j++) {
          unsigned char a = i[j], b = i[item - 1 - j];
          o[j] = b;
          o[item - 1 - j] = a;
        }
      }
      return;
  }
}

// ---------------------------------------------------------------------------
// Raster orientation
// ---------------------------------------------------------------------------

int wib_raster_normalization(void* dest, const void* src, const long* data_dim,
                             long raster_configuration, size_t item) {
  int errval;
  return raster_normalization(dest, src, data_dim, raster_configuration, item, &errval);
}
long wib_raster_inversion(long x) { return raster_inversion(x); }
long wib_raster_multiplication(long a, long x) { return raster_multiplication(a, x); }
long wib_raster_order2number(const long* order) { return raster_order2number(order); }

// ---------------------------------------------------------------------------
// Output settings, versions, debug
// ---------------------------------------------------------------------------

int wib_set_datatype(long datatype_out) {
  wib_settings.data_type_out = datatype_out;
  return 0;
}
int wib_set_datacompression(long datacompression_out) {
  wib_settings.data_compression_out = datacompression_out;
  return 0;
}
int wib_set_datavalueoffset(long datavalueoffset_out) {
  wib_settings.data_value_offset_out = datavalueoffset_out;
  return 0;
}
int wib_set_bsl_input_byteorder(long byteorder) {
  wib_settings.bsl_input_byteorder = byteorder;
  return 0;
}
int wib_set_max_line_width(long width) {
  wib_settings.max_line_width = width;
  return 0;
}
int wib_set_minimumheadersize(unsigned long minimumheadersize_out) {
  wib_settings.minimum_headersize_out = minimumheadersize_out;
  return 0;
}
int wib_general_block(int writetodisk) {
  wib_settings.write_general_block = writetodisk;
  return 0;
}
int wib_headersize(int writetodisk) {
  wib_settings.write_headersize = writetodisk;
  return 0;
}

const char* wibio_version(void) { return WibioVersion; }
const char* wib_dataformat_version(void) { return DATA_FORMAT_VERSION; }

void wibio_debug(int debug) {
  WIBIO_debug = debug;
  raster_debug(debug);
  numio_debug(debug);
  cmpr_debug(debug);
}
