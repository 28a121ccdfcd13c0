#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <numeric>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/wibio_internal.h"

namespace {

// Source values of one machine type, as bytes, with a reference reader.
struct Source {
  long mtype;
  std::vector<unsigned char> bytes;
  size_t size;
  size_t count() const { return bytes.size() / size; }
};

template <typename T>
Source MakeSource(long mtype, std::vector<T> values) {
  Source s{mtype, std::vector<unsigned char>(values.size() * sizeof(T)), sizeof(T)};
  memcpy(s.bytes.data(), values.data(), s.bytes.size());
  return s;
}

std::vector<Source> Sources() {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  return {
      MakeSource<unsigned char>(MUnsignedChar, {0, 1, 200, 255}),
      MakeSource<signed char>(MChar, {-128, -5, 0, 5, 127}),
      MakeSource<unsigned short>(MUnsignedShort, {0, 50, 40000, 65535}),
      MakeSource<short>(MShort, {-32768, -5, 0, 5, 32767}),
      MakeSource<unsigned int>(MUnsignedInteger, {0, 50, 80000, 4294967295u}),
      MakeSource<int>(MInteger, {INT_MIN, -100, -5, 0, 5, 50, 80000, INT_MAX}),
      MakeSource<unsigned long>(MUnsignedLong, {0, 50, 1ul << 40, ULONG_MAX}),
      MakeSource<long>(MLong, {LONG_MIN, -5, 0, 5, 1l << 40, LONG_MAX}),
      MakeSource<float>(MFloat, {-1.5f, 1.5f, 70000.5f, -0.5f, 0.49999997f, 3e9f, -3e9f, 1e20f,
                                 static_cast<float>(nan), static_cast<float>(inf), -0.0f}),
      MakeSource<double>(MDouble, {-1.5, 1.5, 70000.5, -0.5, 0.49999999999999994, 3e9, -3e9,
                                   1e300, nan, -inf, 2.5}),
  };
}

// The value of source element k as the widest exact types.
struct Value {
  bool floating;
  double d;
  __int128 i;
};

Value Read(const Source& s, size_t k) {
  const unsigned char* p = s.bytes.data() + k * s.size;
  Value v{false, 0, 0};
  auto get = [&](auto x) {
    memcpy(&x, p, sizeof x);
    return x;
  };
  switch (s.mtype) {
    case MUnsignedChar: v.i = get((unsigned char)0); break;
    case MChar: v.i = get((signed char)0); break;
    case MUnsignedShort: v.i = get((unsigned short)0); break;
    case MShort: v.i = get((short)0); break;
    case MUnsignedInteger: v.i = get(0u); break;
    case MInteger: v.i = get(0); break;
    case MUnsignedLong: v.i = get(0ul); break;
    case MLong: v.i = get(0l); break;
    case MFloat: v.floating = true; v.d = get(0.0f); break;
    case MDouble: v.floating = true; v.d = get(0.0); break;
  }
  return v;
}

// Reference element rule: float and double add in their own precision,
// integers from floating point round half up and clip, integers from
// integers clip (unsigned short) or wrap.
template <typename T>
T Reference(const Source& s, size_t k, long offset) {
  Value v = Read(s, k);
  if constexpr (std::is_floating_point_v<T>) {
    T in = v.floating ? static_cast<T>(v.d) : static_cast<T>(v.i);
    return in + static_cast<T>(offset);
  } else {
    const long double lo = std::numeric_limits<T>::min(), hi = std::numeric_limits<T>::max();
    if (v.floating) {
      double r = std::floor(v.d + 0.5 + static_cast<double>(offset));
      if (std::isnan(r)) return 0;
      if (r < lo) return std::numeric_limits<T>::min();
      if (r > hi) return std::numeric_limits<T>::max();
      return static_cast<T>(r);
    }
    if constexpr (std::is_same_v<T, unsigned short>) {
      __int128 sum = v.i + offset;
      return sum < 0 ? 0 : sum > 65535 ? 65535 : static_cast<T>(sum);
    } else {
      // Offset in the destination's type, sum modulo 2^bits.
      unsigned __int128 mod = static_cast<unsigned __int128>(1) << (8 * sizeof(T));
      __int128 off = static_cast<T>(offset);
      unsigned __int128 sum = static_cast<unsigned __int128>(v.i + off) % mod;
      if (sum > static_cast<unsigned __int128>(std::numeric_limits<T>::max())) return static_cast<T>(static_cast<__int128>(sum) - static_cast<__int128>(mod));
      return static_cast<T>(sum);
    }
  }
}

template <typename T>
std::vector<unsigned char> Expected(const Source& s, long offset) {
  std::vector<unsigned char> out(s.count() * sizeof(T));
  for (size_t k = 0; k < s.count(); k++) {
    T r = Reference<T>(s, k, offset);
    memcpy(out.data() + k * sizeof(T), &r, sizeof r);
  }
  return out;
}

template <typename T>
void CheckDestination(long mtype_dest) {
  for (const Source& s : Sources()) {
    for (long offset : {0L, 10L, -100L, 70000L, -3000000000L}) {
      SCOPED_TRACE("src " + std::to_string(s.mtype) + " dest " + std::to_string(mtype_dest) +
                   " offset " + std::to_string(offset));
      const size_t n = s.count();
      std::vector<unsigned char> expect = Expected<T>(s, offset);
      std::vector<unsigned char> out(n * sizeof(T), 0xAB);
      ASSERT_EQ(wib_machine2machine(out.data(), mtype_dest, s.bytes.data(), offset, s.mtype, n), 0);
      EXPECT_EQ(out, expect);

      // In place: the array holds the source and has room for the result.
      std::vector<unsigned char> buf(n * std::max(sizeof(T), s.size), 0xCD);
      memcpy(buf.data(), s.bytes.data(), s.bytes.size());
      ASSERT_EQ(wib_machine2machine(buf.data(), mtype_dest, buf.data(), offset, s.mtype, n), 0);
      // The same type in place without offset is left as it is (even -0).
      if (s.mtype == mtype_dest && offset == 0) expect = s.bytes;
      EXPECT_EQ(std::vector<unsigned char>(buf.begin(), buf.begin() + expect.size()), expect);
    }
  }
}

template <typename T>
std::vector<T> As(const void* p, size_t n) {
  std::vector<T> v(n);
  memcpy(v.data(), p, n * sizeof(T));
  return v;
}

}  // namespace

TEST(WibioTypes, NamesAndNumbers) {
  const struct {
    const char* name;
    long datatype;
  } types[] = {{"float", 9},        {"FLOAT", 9},      {"Float Value", 9}, {"floatieee32", 9},
               {"Unsigned 16", 3},  {"UnsignedLong", 5}, {"SignedLong", 6}, {"DoubleValue", 10},
               {"doubleieee64", 10}, {"Signed8", 2},    {"FloatVAX32", 13}, {"UnAssigned", 11},
               {"nothing", 0},      {"", 0},           {"Invalid", 0}};
  for (const auto& t : types) EXPECT_EQ(wib_string2datatype(t.name), t.datatype) << t.name;
  EXPECT_EQ(wib_string2datatype(nullptr), 0);

  const struct {
    const char* name;
    long compression;
  } compressions[] = {{"Gzip", 2}, {"gzipcompression", 2}, {"2", 2},  {"4", 0},
                      {"None", 1}, {"uncompressed", 1},    {"Z", 3},  {"zcompression", 3},
                      {"NoSpecificValue", 1}, {"3 apples", 3}, {"x", 0}};
  for (const auto& c : compressions) EXPECT_EQ(wib_string2compression(c.name), c.compression) << c.name;

  EXPECT_EQ(wib_string2byteorder("lowbytefirst"), 1);
  EXPECT_EQ(wib_string2byteorder("High Byte First"), 2);
  EXPECT_EQ(wib_string2byteorder("FixedByteOrder"), 3);
  EXPECT_EQ(wib_string2byteorder("Middle"), 0);

  EXPECT_STREQ(wib_datatype2string(3), "UnsignedShort");
  EXPECT_STREQ(wib_datatype2string(17), "Invalid");
  EXPECT_STREQ(wib_datatype2string(-1), "Invalid");
  EXPECT_STREQ(wib_byteorder2string(2), "HighByteFirst");
  EXPECT_STREQ(wib_byteorder2string(3), "Invalid");
  EXPECT_STREQ(wib_compression2string(1), "None");
  EXPECT_STREQ(wib_compression2string(4), "Invalid");
  EXPECT_EQ(wib_byteorder(), LowByteFirst);  // x86-64

  const size_t dsize[] = {0, 1, 1, 2, 2, 4, 4, 8, 8, 4, 8, 0, 0, 4, 8, 4, 8};
  for (long t = 0; t <= 16; t++) {
    EXPECT_EQ(wib_data_sizeof(t), dsize[t]) << t;
    long m = wib_datatype2machinetype(t);
    EXPECT_EQ(m, (t >= 1 && t <= 10) ? t : 0) << t;
    if (m) {
      EXPECT_EQ(wib_machine_sizeof(m), dsize[t]);
      EXPECT_EQ(wib_machinetype2datatype(m), t);
    }
  }
  EXPECT_EQ(wib_data_sizeof(17), 0u);
  EXPECT_EQ(wib_machine_sizeof(11), 0u);
  EXPECT_EQ(wib_machinetype2datatype(11), 0);
}

TEST(WibioTypes, DimensionProduct) {
  const long d0[] = {0}, d2[] = {2, 3, 4}, dz[] = {3, 3, 0, 4}, dn[] = {2, -1, 4},
             neg[] = {-1}, huge[] = {3, LONG_MAX / 2, 4, 0}, big[] = {2, LONG_MAX / 2, 4};
  EXPECT_EQ(wib_dim_product(nullptr), 0);
  EXPECT_EQ(wib_dim_product(d0), 1);
  EXPECT_EQ(wib_dim_product(neg), 1);
  EXPECT_EQ(wib_dim_product(d2), 12);
  EXPECT_EQ(wib_dim_product(dz), 0);
  EXPECT_EQ(wib_dim_product(dn), 0);
  EXPECT_EQ(wib_dim_product(huge), 0);
  EXPECT_EQ(wib_dim_product(big), LONG_MAX);
  size_t bytes = 0;
  EXPECT_EQ(array_bytes(d2, 4, &bytes), 0);
  EXPECT_EQ(bytes, 48u);
  EXPECT_EQ(array_bytes(big, 1, &bytes), -1);
  const long over[] = {2, 1L << 40, 1L << 22};
  EXPECT_EQ(array_bytes(over, 8, &bytes), -1);
}

TEST(WibioTypes, ShowsTheTypeTables) {
  testutil::Capture out(stdout);
  wib_showdatatypes(0);
  std::string brief = out.Text();
  EXPECT_EQ(std::count(brief.begin(), brief.end(), '\n'), 10);
  EXPECT_EQ(brief.substr(0, brief.find('\n') + 1),
            "    UnsignedByte (    1 bytes) =   unsigned char (    1 bytes)\n");
  testutil::Capture full(stdout);
  wib_showdatatypes(1);
  wib_showmachinetypes(1);
  std::string text = full.Text();
  EXPECT_EQ(text.substr(0, text.find('\n') + 1),
            "        DataType               =     MachineType\n");
  EXPECT_NE(text.find("      FloatVAX32 (    4 bytes) =         Invalid (    0 bytes)\n"),
            std::string::npos);
  EXPECT_NE(text.find("          double (    8 bytes) =     DoubleValue (    8 bytes)\n"),
            std::string::npos);
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 1 + 16 + 1 + 10);
}

TEST(WibioTypes, ConversionExamples) {
  const double d[] = {1.5, -1.5, 70000.5};
  unsigned short us[3];
  short s[3];
  ASSERT_EQ(wib_machine2machine(us, MUnsignedShort, d, 0, MDouble, 3), 0);
  EXPECT_EQ(As<unsigned short>(us, 3), (std::vector<unsigned short>{2, 0, 65535}));
  ASSERT_EQ(wib_machine2machine(s, MShort, d, 0, MDouble, 3), 0);
  EXPECT_EQ(As<short>(s, 3), (std::vector<short>{2, -1, 32767}));

  // Unsigned short to float in place: the array holds twice the bytes.
  std::vector<unsigned char> buf(5 * sizeof(float));
  const unsigned short in[] = {0, 1, 2, 65535, 300};
  memcpy(buf.data(), in, sizeof in);
  ASSERT_EQ(wib_machine2machine(buf.data(), MFloat, buf.data(), 10, MUnsignedShort, 5), 0);
  EXPECT_EQ(As<float>(buf.data(), 5), (std::vector<float>{10, 11, 12, 65545, 310}));

  const int ints[] = {50, 80000, -5, 5};
  ASSERT_EQ(wib_machine2machine(us, MUnsignedShort, ints, -100, MInteger, 2), 0);
  EXPECT_EQ(As<unsigned short>(us, 2), (std::vector<unsigned short>{0, 65535}));
  ASSERT_EQ(wib_machine2machine(us, MUnsignedShort, ints + 2, 0, MInteger, 2), 0);
  EXPECT_EQ(As<unsigned short>(us, 2), (std::vector<unsigned short>{0, 5}));

  // Float to double in place keeps every value, over many chunks.
  std::vector<float> f(10000);
  std::iota(f.begin(), f.end(), -5000.25f);
  std::vector<unsigned char> fb(f.size() * sizeof(double));
  memcpy(fb.data(), f.data(), f.size() * sizeof(float));
  ASSERT_EQ(wib_machine2machine(fb.data(), MDouble, fb.data(), 0, MFloat, f.size()), 0);
  std::vector<double> back = As<double>(fb.data(), f.size());
  for (size_t k = 0; k < f.size(); k++) ASSERT_EQ(back[k], static_cast<double>(f[k])) << k;

  // Double to short in place, shrinking, over many chunks.
  std::vector<double> dd(5000);
  for (size_t k = 0; k < dd.size(); k++) dd[k] = static_cast<double>(k) - 2500.5;
  std::vector<double> work = dd;
  ASSERT_EQ(wib_machine2machine(work.data(), MShort, work.data(), 3, MDouble, dd.size()), 0);
  std::vector<short> shorts = As<short>(work.data(), dd.size());
  for (size_t k = 0; k < dd.size(); k++) ASSERT_EQ(shorts[k], static_cast<short>(std::floor(dd[k] + 0.5 + 3))) << k;

  // The same type in place without offset is left alone.
  float same[] = {-0.0f};
  ASSERT_EQ(wib_machine2machine(same, MFloat, same, 0, MFloat, 1), 0);
  EXPECT_TRUE(std::signbit(same[0]));
}

TEST(WibioTypes, EverySourceToEverySupportedDestination) {
  CheckDestination<unsigned short>(MUnsignedShort);
  CheckDestination<short>(MShort);
  CheckDestination<int>(MInteger);
  CheckDestination<long>(MLong);
  CheckDestination<float>(MFloat);
  CheckDestination<double>(MDouble);
}

TEST(WibioTypes, PartlyOverlappingArraysConvert) {
  std::vector<short> buf = {1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0};
  // Source at element 4, destination (ints) from element 0: overlapping.
  ASSERT_EQ(wib_machine2machine(buf.data(), MInteger, buf.data() + 4, 1, MShort, 4), 0);
  EXPECT_EQ(As<int>(buf.data(), 4), (std::vector<int>{6, 7, 8, 9}));
}

TEST(WibioTypes, UnsupportedConversionsFail) {
  float a[2] = {1, 2};
  unsigned char out[16];
  for (long dest : std::vector<long>{MInvalid, MUnsignedChar, MChar, MUnsignedInteger, MUnsignedLong, 11L})
    EXPECT_EQ(wib_machine2machine(out, dest, a, 0, MFloat, 2), -1) << dest;
  for (long src : std::vector<long>{MInvalid, 11L, -1L})
    EXPECT_EQ(wib_machine2machine(out, MFloat, a, 0, src, 2), -1) << src;
}

TEST(WibioTypesDeathTest, NullPointersEndTheProgram) {
  float a = 0;
  EXPECT_EXIT(wib_machine2machine(nullptr, MFloat, &a, 0, MFloat, 1), testing::ExitedWithCode(255),
              "SEVERE: wib_machine2machine: NULL pointer");
  EXPECT_EXIT(wib_bswap(&a, nullptr, 4, 1), testing::ExitedWithCode(255),
              "SEVERE: wib_bswap: NULL pointer");
}

TEST(WibioTypes, ByteSwapping) {
  for (size_t item : {1u, 2u, 3u, 4u, 5u, 8u, 16u}) {
    const size_t n = 7;
    std::vector<unsigned char> src(item * n), expect(item * n);
    std::iota(src.begin(), src.end(), 1);
    for (size_t k = 0; k < n; k++)
      for (size_t j = 0; j < item; j++) expect[k * item + j] = src[k * item + item - 1 - j];
    std::vector<unsigned char> out(item * n);
    wib_bswap(out.data(), src.data(), item, n);
    EXPECT_EQ(out, expect) << item;
    std::vector<unsigned char> inplace = src;
    wib_bswap(inplace.data(), inplace.data(), item, n);
    EXPECT_EQ(inplace, expect) << item;
    // Partly overlapping: dest one item ahead of src.
    std::vector<unsigned char> shifted(item * (n + 1));
    memcpy(shifted.data(), src.data(), src.size());
    wib_bswap(shifted.data() + item, shifted.data(), item, n);
    EXPECT_EQ(std::vector<unsigned char>(shifted.begin() + item, shifted.end()), expect) << item;
  }
  const float big[] = {1.0f};
  unsigned char swapped[4];
  wib_bswap(swapped, big, 4, 1);
  EXPECT_EQ(swapped[0], 0x3F);
  EXPECT_EQ(swapped[1], 0x80);
}

TEST(WibioTypes, SettingsVersionsAndRaster) {
  EXPECT_EQ(wib_set_datatype(UnsignedShort), 0);
  EXPECT_EQ(wib_settings.data_type_out, UnsignedShort);
  EXPECT_EQ(wib_set_datatype(0), 0);
  EXPECT_EQ(wib_set_datacompression(GzipCompression), 0);
  EXPECT_EQ(wib_settings.data_compression_out, GzipCompression);
  EXPECT_EQ(wib_set_datacompression(0), 0);
  EXPECT_EQ(wib_set_datavalueoffset(100), 0);
  EXPECT_EQ(wib_settings.data_value_offset_out, 100);
  EXPECT_EQ(wib_set_datavalueoffset(0), 0);
  EXPECT_EQ(wib_set_bsl_input_byteorder(HighByteFirst), 0);
  EXPECT_EQ(wib_set_bsl_input_byteorder(0), 0);
  EXPECT_EQ(wib_settings.max_line_width, 0);
  EXPECT_EQ(wib_set_max_line_width(80), 0);
  EXPECT_EQ(wib_set_max_line_width(0), 0);
  EXPECT_EQ(wib_settings.minimum_headersize_out, 8192u);
  EXPECT_EQ(wib_set_minimumheadersize(512), 0);
  EXPECT_EQ(wib_set_minimumheadersize(8192), 0);
  EXPECT_EQ(wib_settings.write_general_block, 0);
  EXPECT_EQ(wib_general_block(1), 0);
  EXPECT_EQ(wib_general_block(0), 0);
  EXPECT_EQ(wib_settings.write_headersize, 1);
  EXPECT_EQ(wib_headersize(1), 0);

  EXPECT_STREQ(wibio_version(), "wibio : V2.41 Orrin 2012-07-03 (E2.223)");
  EXPECT_STREQ(wib_dataformat_version(), "2.40");

  EXPECT_EQ(wib_raster_inversion(6), 7);
  EXPECT_EQ(wib_raster_multiplication(2, 5), 7);
  const long order[] = {2, 2, 1};
  EXPECT_EQ(wib_raster_order2number(order), 5);
  const long dim[] = {2, 3, 2};
  const float t[] = {1, 4, 2, 5, 3, 6};
  float dest[6];
  ASSERT_EQ(wib_raster_normalization(dest, t, dim, 5, sizeof(float)), 0);
  EXPECT_EQ(As<float>(dest, 6), (std::vector<float>{1, 2, 3, 4, 5, 6}));
}
