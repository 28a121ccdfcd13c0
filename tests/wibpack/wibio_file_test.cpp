#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/wibio.h"

namespace {

using testutil::ReadFile;
using testutil::WriteFile;

// Every test starts with the default output settings and ends with all
// files closed.
class WibFile : public ::testing::Test {
 protected:
  void TearDown() override {
    wib_free_data_file();
    wib_set_datatype(0);
    wib_set_datacompression(0);
    wib_set_datavalueoffset(0);
    wib_general_block(0);
    wib_set_minimumheadersize(MINIMUM_HEADERSIZE_OUT);
  }
  std::string Path(const std::string& name) const { return dir_.file(name); }

  long Open(const std::string& name, const char* mode, int expect = RoutineSucceeded) {
    int err = -99, status = -99;
    long stream = wib_open_data_file(name.c_str(), mode, &err, &status);
    EXPECT_EQ(err, expect) << name << " " << mode << wib_report_data_error(err);
    EXPECT_EQ(status, expect ? status_error : status_success);
    EXPECT_EQ(stream < 0, expect != RoutineSucceeded);
    return stream;
  }
  void Close(long stream) {
    int err, status;
    wib_close_data_file(stream, &err, &status);
    EXPECT_EQ(err, RoutineSucceeded) << wib_report_data_error(err);
  }
  int WriteFloats(long stream, long number, int memory, std::vector<long> dim,
                  const std::vector<float>& data) {
    int err, status;
    wib_write_data(stream, number, memory, dim.data(), data.data(), MFloat, &err, &status);
    EXPECT_EQ(status, err ? status_error : status_success);
    return err;
  }
  void WriteString(long stream, long number, int memory, const char* key, const char* value) {
    int err, status;
    EXPECT_EQ(wib_write_header_string(stream, number, memory, key, value, &err, &status), 1);
    EXPECT_EQ(err, RoutineSucceeded) << wib_report_data_error(err);
  }
  // Reads a block as floats into a library array; err receives the error.
  std::vector<float> ReadFloats(long stream, long number, int memory, int* perr = nullptr,
                                std::vector<long>* pdim = nullptr) {
    int err, status;
    long* dim = nullptr;
    size_t size = 0;
    void* data = nullptr;
    wib_read_data(stream, number, memory, &dim, &size, &data, MFloat, &err, &status);
    if (perr) *perr = err;
    else EXPECT_EQ(err, RoutineSucceeded) << wib_report_data_error(err);
    EXPECT_EQ(status, err ? status_error : status_success);
    if (err) return {};
    long n = wib_dim_product(dim);
    if (pdim) pdim->assign(dim, dim + dim[0] + 1);
    const float* f = static_cast<const float*>(data);
    return std::vector<float>(f, f + n);
  }
  std::string ReadString(long stream, long number, int memory, const char* key,
                         int expect = RoutineSucceeded) {
    int err, status;
    const char* value = nullptr;
    wib_read_header_string(stream, number, memory, key, &value, &err, &status);
    EXPECT_EQ(err, expect) << key << wib_report_data_error(err);
    return value && !err ? value : "";
  }

  testutil::TempDir dir_;
};

std::vector<float> Ramp(size_t n, float scale = 1.0f) {
  std::vector<float> v(n);
  for (size_t i = 0; i < n; i++) v[i] = scale * static_cast<float>(i % 1000) - 7.25f;
  return v;
}

// The value of "key = value ;" in a header text ("" when missing).
std::string HeaderValue(const std::string& text, const std::string& key) {
  size_t at = text.find("\r\n" + key + " = ");
  if (at == std::string::npos) return "";
  at += key.size() + 5;
  return text.substr(at, text.find(" ;\r\n", at) - at);
}

// The keys of a header text in order.
std::vector<std::string> HeaderKeys(const std::string& text) {
  std::vector<std::string> keys;
  size_t end = text.find("\r\n}\n");
  for (size_t at = 3; at < end;) {
    size_t eq = text.find(" = ", at);
    size_t eol = text.find(" ;\r\n", at);
    if (eq == std::string::npos || eq > end || eol == std::string::npos) break;
    keys.push_back(text.substr(at, eq - at));
    at = eol + 4;
  }
  return keys;
}

// Position of the header of block n (memory 1) in a file's bytes.
size_t BlockStart(const std::string& bytes, long n) {
  size_t at = bytes.find("{\r\nWIB_DataBlockID = " + std::to_string(n) + ".Image.Psd ;");
  EXPECT_NE(at, std::string::npos) << n;
  return at;
}

// Replaces the first occurrence of from after the start of block n by to,
// keeping the header length (the padding takes up the difference).
void PatchBlock(std::string& bytes, long n, const std::string& from, const std::string& to) {
  size_t at = bytes.find(from, BlockStart(bytes, n));
  ASSERT_NE(at, std::string::npos) << from;
  bytes.replace(at, from.size(), to);
  size_t pad = bytes.find(std::string(78, ' '), at);
  ASSERT_NE(pad, std::string::npos);
  if (to.size() > from.size())
    bytes.erase(pad, to.size() - from.size());
  else
    bytes.insert(pad, from.size() - to.size(), ' ');
}

// ---------------------------------------------------------------------------
// Round trips
// ---------------------------------------------------------------------------

// The stored form of values in a data type and byte order.
template <typename T>
void Store(const std::vector<double>& values, std::vector<unsigned char>& out) {
  out.resize(values.size() * sizeof(T));
  for (size_t i = 0; i < values.size(); i++) {
    T v = static_cast<T>(values[i]);
    memcpy(out.data() + i * sizeof(T), &v, sizeof(T));
  }
}

std::vector<unsigned char> Stored(const std::vector<double>& values, long type, long order) {
  std::vector<unsigned char> out;
  switch (type) {
    case UnsignedByte: Store<uint8_t>(values, out); break;
    case SignedByte: Store<int8_t>(values, out); break;
    case UnsignedShort: Store<uint16_t>(values, out); break;
    case SignedShort: Store<int16_t>(values, out); break;
    case UnsignedInteger: Store<uint32_t>(values, out); break;
    case SignedInteger: Store<int32_t>(values, out); break;
    case Unsigned64: Store<uint64_t>(values, out); break;
    case Signed64: Store<int64_t>(values, out); break;
    case FloatValue: Store<float>(values, out); break;
    case DoubleValue: Store<double>(values, out); break;
  }
  size_t item = wib_data_sizeof(type);
  if (order != wib_byteorder()) wib_bswap(out.data(), out.data(), item, values.size());
  return out;
}

TEST_F(WibFile, EveryDataTypeAndByteOrderRoundTrips) {
  // Stored values that every type holds exactly, in both byte orders.
  const std::vector<double> values = {0, 1, 2, 100, 127, 3, 50, 99, 7, 120, 64, 33};
  const long dim[] = {2, 4, 3};
  const std::string name = Path("types.wib");
  long s = Open(name, "new");
  long number = 1;
  for (long type = UnsignedByte; type <= DoubleValue; type++) {
    for (long order : {LowByteFirst, HighByteFirst}) {
      std::vector<unsigned char> stored = Stored(values, type, order);
      int err, status;
      wib_write_data_raw(s, number++, 1, dim, stored.data(), type, 0, order, 1, &err, &status);
      ASSERT_EQ(err, RoutineSucceeded) << wib_datatype2string(type);
    }
  }
  Close(s);

  s = Open(name, "read");
  number = 1;
  for (long type = UnsignedByte; type <= DoubleValue; type++) {
    for (long order : {LowByteFirst, HighByteFirst}) {
      SCOPED_TRACE(std::string(wib_datatype2string(type)) + " " + wib_byteorder2string(order));
      EXPECT_EQ(ReadString(s, number, 1, "DataType"), wib_datatype2string(type));
      EXPECT_EQ(ReadString(s, number, 1, "ByteOrder"), wib_byteorder2string(order));
      int err, status;
      long* dim = nullptr;
      size_t size = 0;
      void* data = nullptr;
      wib_read_data(s, number, 1, &dim, &size, &data, MDouble, &err, &status);
      ASSERT_EQ(err, RoutineSucceeded);
      ASSERT_EQ(dim[0], 2);
      EXPECT_EQ(dim[1], 4);
      EXPECT_EQ(dim[2], 3);
      EXPECT_EQ(std::vector<double>(static_cast<double*>(data), static_cast<double*>(data) + 12),
                values);
      // The stored form comes back unchanged.
      std::vector<unsigned char> raw(values.size() * wib_data_sizeof(type) + 8);
      size_t rawsize = raw.size();
      long rtype = 0, roffset = -1, rorder = 0, rraster = 0;
      wib_read_data_raw(s, number, 1, nullptr, &rawsize, raw.data(), &rtype, &roffset, &rorder,
                        &rraster, &err, &status);
      ASSERT_EQ(err, RoutineSucceeded);
      EXPECT_EQ(rawsize, values.size() * wib_data_sizeof(type));
      EXPECT_EQ(rtype, type);
      EXPECT_EQ(rorder, order);
      EXPECT_EQ(roffset, 0);
      EXPECT_EQ(rraster, 1);
      raw.resize(rawsize);
      EXPECT_EQ(raw, Stored(values, type, order));
      number++;
    }
  }
  Close(s);
}

TEST_F(WibFile, OutputDataTypeAndValueOffset) {
  const std::string name = Path("offset.wib");
  std::vector<float> image = {-5.f, 0.f, 99.4f, 100.f, 150.6f, 70000.f};
  long s = Open(name, "new");
  wib_set_datatype(UnsignedShort);
  EXPECT_EQ(WriteFloats(s, 1, 1, {2, 3, 2}, image), RoutineSucceeded);
  wib_set_datavalueoffset(100);
  EXPECT_EQ(WriteFloats(s, 2, 1, {2, 3, 2}, image), RoutineSucceeded);
  Close(s);

  std::string bytes = ReadFile(name);
  std::string h1 = bytes.substr(0, 8192), h2 = bytes.substr(8192 + 512, 8192);
  EXPECT_EQ(HeaderValue(h1, "DataType"), "UnsignedShort");
  EXPECT_EQ(HeaderValue(h1, "WIB_BinarySize"), "512");
  EXPECT_EQ(HeaderValue(h1, "DataValueOffset"), "");
  EXPECT_EQ(HeaderValue(h2, "DataValueOffset"), "100");
  // Stored values: rounded, clipped, 100 lower with the offset.
  uint16_t stored[6];
  memcpy(stored, bytes.data() + 8192, sizeof stored);
  EXPECT_EQ(std::vector<uint16_t>(stored, stored + 6),
            (std::vector<uint16_t>{0, 0, 99, 100, 151, 65535}));
  memcpy(stored, bytes.data() + 2 * 8192 + 512, sizeof stored);
  EXPECT_EQ(std::vector<uint16_t>(stored, stored + 6),
            (std::vector<uint16_t>{0, 0, 0, 0, 51, 65535}));

  s = Open(name, "read");
  EXPECT_EQ(ReadFloats(s, 1, 1), (std::vector<float>{0, 0, 99, 100, 151, 65535}));
  EXPECT_EQ(ReadFloats(s, 2, 1), (std::vector<float>{100, 100, 100, 100, 151, 65635}));
  Close(s);
}

TEST_F(WibFile, CompressedBlocksRoundTrip) {
  const std::vector<float> image = Ramp(64 * 64, 0.5f);
  struct Case {
    long compression;
    const char* name;
    unsigned char first;
  };
  for (Case c : {Case{GzipCompression, "GzipCompression", 0x1f}, Case{ZCompression, "ZCompression", 0x78}}) {
    SCOPED_TRACE(c.name);
    const std::string name = Path(std::string(c.name) + ".wib");
    long s = Open(name, "new");
    wib_set_datacompression(c.compression);
    EXPECT_EQ(WriteFloats(s, 1, 1, {2, 64, 64}, image), RoutineSucceeded);
    Close(s);
    wib_set_datacompression(0);

    std::string bytes = ReadFile(name);
    std::string header = bytes.substr(0, 8192);
    EXPECT_EQ(HeaderValue(header, "Compression"), c.name);
    unsigned long binary = std::stoul(HeaderValue(header, "WIB_BinarySize"));
    EXPECT_EQ(binary % 512, 0u);
    EXPECT_LT(binary, image.size() * 4);
    EXPECT_EQ(bytes.size(), 8192 + binary);
    EXPECT_EQ(static_cast<unsigned char>(bytes[8192]), c.first);
    if (c.compression == GzipCompression) {
      EXPECT_EQ(static_cast<unsigned char>(bytes[8193]), 0x8b);
    }
    EXPECT_EQ(bytes.back(), ' ');  // padded with spaces

    s = Open(name, "read");
    EXPECT_EQ(ReadFloats(s, 1, 1), image);
    Close(s);
  }
}

TEST_F(WibFile, IncompressibleDataCannotBeWrittenCompressed) {
  std::vector<float> noise(4096);
  uint32_t x = 12345;
  for (float& f : noise) {
    x = x * 1664525u + 1013904223u;
    uint32_t bits = x;
    memcpy(&f, &bits, 4);
  }
  const std::string name = Path("noise.wib");
  long s = Open(name, "new");
  wib_set_datacompression(GzipCompression);
  testutil::Capture err(stderr);
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 4096}, noise), CompressionError);
  EXPECT_NE(err.Text().find("cmpr_deflate"), std::string::npos);
  wib_set_datacompression(0);
  // The same block cannot be written again; another block can.
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 4096}, noise), WriteDataError);
  EXPECT_EQ(WriteFloats(s, 2, 1, {1, 4096}, noise), RoutineSucceeded);
  Close(s);
  s = Open(name, "read");
  int e, st;
  EXPECT_EQ(wib_test_header(s, 1, 1, &e, &st), 0);
  EXPECT_EQ(ReadFloats(s, 2, 1).size(), 4096u);
  Close(s);
}

TEST_F(WibFile, SeveralBlocksInTwoMemories) {
  const std::string name = Path("blocks.wib");
  long s = Open(name, "new");
  for (long n : {2, 10, -1}) {
    WriteString(s, n, 1, "Title", ("image " + std::to_string(n)).c_str());
    EXPECT_EQ(WriteFloats(s, n, 1, {2, 3, 2}, std::vector<float>(6, static_cast<float>(n))), 0);
    EXPECT_EQ(WriteFloats(s, n, -1, {2, 3, 2}, std::vector<float>(6, n * 0.5f)), 0);
  }
  Close(s);

  s = Open(name, "read");
  int err, status;
  long min = 0, max = 0;
  EXPECT_EQ(wib_search_minmax_number(s, 1, &min, &max, &err, &status), 1);
  EXPECT_EQ(min, -1);
  EXPECT_EQ(max, 10);
  EXPECT_EQ(wib_search_minmax_number(s, -1, &min, &max, &err, &status), 1);
  EXPECT_EQ(wib_search_minmax_number(s, 2, &min, &max, &err, &status), 0);
  EXPECT_EQ(err, CouldNotFindHeader);
  EXPECT_EQ(status, status_error);
  EXPECT_EQ(wib_test_header(s, 10, 1, &err, &status), 1);
  EXPECT_EQ(wib_test_header(s, 3, 1, &err, &status), 0);
  EXPECT_EQ(status, status_success);
  EXPECT_EQ(wib_test_header(s, 12345, 0, &err, &status), 1);  // the general block
  EXPECT_EQ(wib_test_header(25, 1, 1, &err, &status), 0);
  EXPECT_EQ(err, InvalidStream);
  EXPECT_EQ(wib_test_header(19, 1, 1, &err, &status), 0);
  EXPECT_EQ(err, NoFileOpen);
  // Read in any order; each read releases the block read before.
  for (long n : {10, -1, 2}) {
    EXPECT_EQ(ReadFloats(s, n, -1), std::vector<float>(6, n * 0.5f));
    EXPECT_EQ(ReadString(s, n, 1, "Title"), "image " + std::to_string(n));
    EXPECT_EQ(ReadFloats(s, n, 1), std::vector<float>(6, static_cast<float>(n)));
  }
  EXPECT_EQ(ReadString(s, 2, -1, "Image", CouldNotFindSymbol), "");  // the key is Image.Error
  EXPECT_EQ(ReadString(s, 2, -1, "Image.Error"), "2");
  Close(s);
}

// ---------------------------------------------------------------------------
// Layout of written files
// ---------------------------------------------------------------------------

TEST_F(WibFile, DataBlocksWithoutGeneralBlockAreLaidOutByteForByte) {
  const std::string name = Path("layout.wib");
  long s = Open(name, "new");
  WriteString(s, 1, 1, "Title", "first");
  WriteString(s, 1, 1, "Center_1", "12.5");
  WriteString(s, 1, 1, "Zeta", "last");
  WriteString(s, 1, 1, "History-1", "prog a b");
  EXPECT_EQ(WriteFloats(s, 1, 1, {2, 5, 3}, Ramp(15)), 0);
  EXPECT_EQ(WriteFloats(s, 2, 1, {2, 5, 3}, Ramp(15)), 0);
  Close(s);

  std::string bytes = ReadFile(name);
  ASSERT_EQ(bytes.size(), 2u * (8192 + 512));
  std::string header = bytes.substr(0, 8192);
  EXPECT_EQ(header.substr(0, 3), "{\r\n");
  EXPECT_EQ(header.substr(8188), "\r\n}\n");
  EXPECT_EQ(HeaderKeys(header),
            (std::vector<std::string>{"WIB_DataBlockID", "WIB_BinarySize", "WIB_HeaderSize",
                                      "ByteOrder", "DataType", "Dim_1", "Dim_2", "Title",
                                      "Center_1", "History-1", "HeaderID", "Compression",
                                      "Image", "Size", "Zeta"}));
  EXPECT_EQ(HeaderValue(header, "WIB_DataBlockID"), "1.Image.Psd");
  EXPECT_EQ(HeaderValue(header, "WIB_BinarySize"), "512");
  EXPECT_EQ(HeaderValue(header, "WIB_HeaderSize"), "8192");
  EXPECT_EQ(HeaderValue(header, "HeaderID"), "EH:000001:000000:000000");
  EXPECT_EQ(HeaderValue(header, "Size"), "512");
  EXPECT_EQ(HeaderValue(header, "Image"), "1");
  EXPECT_EQ(HeaderValue(header, "Compression"), "None");
  EXPECT_EQ(HeaderValue(header, "ByteOrder"), "LowByteFirst");
  // Binary section: the data, then spaces to the boundary.
  std::vector<float> ramp = Ramp(15);
  EXPECT_EQ(bytes.compare(8192, 60, reinterpret_cast<const char*>(ramp.data()), 60), 0);
  EXPECT_EQ(bytes.substr(8192 + 60, 512 - 60), std::string(512 - 60, ' '));
  EXPECT_EQ(HeaderValue(bytes.substr(8192 + 512), "HeaderID"), "EH:000002:000000:000000");
}

TEST_F(WibFile, GeneralBlockCountsTheDataBlocksInPlace) {
  wib_general_block(1);
  const std::string name = Path("general.wib");
  long s = Open(name, "new");
  WriteString(s, 0, 0, "Title", "the experiment");
  EXPECT_EQ(WriteFloats(s, 1, 1, {2, 2, 2}, Ramp(4)), 0);
  std::string general = ReadFile(name).substr(0, 8192);
  EXPECT_EQ(HeaderKeys(general),
            (std::vector<std::string>{"WIB_DataFormatVersion", "WIB_DataBlocks",
                                      "WIB_BlockBoundary", "WIB_HeaderSize", "WIB_DataKey-1",
                                      "Title", "HeaderID", "Size"}));
  EXPECT_EQ(HeaderValue(general, "WIB_DataFormatVersion"), "2.40");
  EXPECT_EQ(HeaderValue(general, "WIB_DataBlocks"), "1           ");
  EXPECT_EQ(HeaderValue(general, "WIB_BlockBoundary"), "512");
  EXPECT_EQ(HeaderValue(general, "HeaderID"), "EH:000001:000000:000000");
  EXPECT_EQ(HeaderValue(general, "Size"), "0");
  EXPECT_EQ(HeaderValue(ReadFile(name).substr(8192), "HeaderID"), "EH:000002:000000:000000");
  EXPECT_EQ(WriteFloats(s, 2, 1, {2, 2, 2}, Ramp(4)), 0);
  std::string after = ReadFile(name).substr(0, 8192);
  EXPECT_EQ(HeaderValue(after, "WIB_DataBlocks"), "2           ");
  // Nothing else of the general block moved.
  general.replace(general.find("1           "), 12, "2           ");
  EXPECT_EQ(after, general);
  int err, status;
  EXPECT_EQ(wib_write_header_string(s, 0, 0, "Late", "x", &err, &status), 0);
  EXPECT_EQ(err, GeneralBlockNotFirst);
  Close(s);

  // Defaults from the general block, never for "WIB_" keys.
  s = Open(name, "read");
  EXPECT_EQ(ReadString(s, 2, 1, "Title"), "the experiment");
  EXPECT_EQ(ReadString(s, 2, 1, "WIB_DataBlocks", CouldNotFindSymbol), "");
  EXPECT_EQ(ReadString(s, 1, 0, "WIB_DataBlocks"), "2");
  EXPECT_EQ(ReadFloats(s, 2, 1), Ramp(4));
  Close(s);
}

TEST_F(WibFile, NewCompressedFilesAreCompressedWhenClosed) {
  for (const char* ext : {".gz", ".Z"}) {
    SCOPED_TRACE(ext);
    const std::string name = Path(std::string("whole") + ext);
    long s = Open(name, "new");
    EXPECT_EQ(WriteFloats(s, 1, 1, {2, 32, 32}, Ramp(1024)), 0);
    EXPECT_EQ(WriteFloats(s, 2, 1, {2, 32, 32}, Ramp(1024, 2)), 0);
    Close(s);
    std::string bytes = ReadFile(name);
    ASSERT_GT(bytes.size(), 2u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[0]), std::string(ext) == ".gz" ? 0x1f : 0x78);
    EXPECT_LT(bytes.size(), 8192u);

    s = Open(name, "read");
    EXPECT_EQ(ReadFloats(s, 1, 1), Ramp(1024));
    EXPECT_EQ(ReadFloats(s, 2, 1), Ramp(1024, 2));
    Close(s);

    testutil::Capture err(stderr);
    Open(name, "old", CouldNotOpenFile);
    Open(name, "any", CouldNotOpenFile);
    EXPECT_NE(err.Text().find("ERROR: open_as_wib_file:: The file opening mode of " + name +
                              " does not allow compression\n"),
              std::string::npos);
  }
}

// ---------------------------------------------------------------------------
// Opening
// ---------------------------------------------------------------------------

TEST_F(WibFile, EmptyFilesAndModes) {
  const std::string name = Path("empty.wib");
  WriteFile(name, "");
  long s = Open(name, "read");
  int err, status;
  long min, max;
  EXPECT_EQ(wib_search_minmax_number(s, 1, &min, &max, &err, &status), 0);
  EXPECT_EQ(err, CouldNotFindHeader);
  Close(s);
  Open(name, "old", CouldNotFindHeader);
  Open(Path("missing.wib"), "read", CouldNotOpenFile);
  Open(Path("missing.wib"), "old", CouldNotOpenFile);
  Open(name, "write", CouldNotOpenFile);
  for (const char* mode : {"read", "old", "any", "new"}) Open(dir_.path(), mode, CouldNotOpenFile);

  // "new" empties an existing file; "any" keeps it.
  WriteFile(name, "old contents");
  s = Open(name, "new");
  Close(s);
  EXPECT_EQ(ReadFile(name), "");
  s = Open(name, "any");
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 4}, Ramp(4)), 0);
  Close(s);
  s = Open(name, "any");
  EXPECT_EQ(WriteFloats(s, 2, 1, {1, 4}, Ramp(4)), 0);
  Close(s);
  s = Open(name, "read");
  EXPECT_EQ(wib_search_minmax_number(s, 1, &min, &max, &err, &status), 1);
  EXPECT_EQ(max, 2);
  Close(s);

  // A temporary file keeps everything in memory.
  s = Open(Path("never.wib"), "temp");
  WriteString(s, 3, 1, "Title", "in memory");
  EXPECT_EQ(WriteFloats(s, 3, 1, {1, 4}, Ramp(4)), 0);
  EXPECT_EQ(ReadString(s, 3, 1, "Title"), "in memory");
  EXPECT_EQ(ReadFloats(s, 3, 1), Ramp(4));
  Close(s);
  EXPECT_FALSE(std::ifstream(Path("never.wib")).good());
}

TEST_F(WibFile, SearchStreamChecksTheOpeningMode) {
  const std::string name = Path("search.wib");
  long s = Open(name, "new");
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 2}, Ramp(2)), 0);
  Close(s);
  s = Open(name, "old");
  struct Case {
    const char* mode;
    int err;
  };
  for (Case c : {Case{"read", RoutineSucceeded}, Case{"old", RoutineSucceeded},
                 Case{"any", RoutineSucceeded}, Case{"new", IncompatibleOpeningModes},
                 Case{"temp", IncompatibleOpeningModes}}) {
    int err, status;
    EXPECT_EQ(wib_search_stream(name.c_str(), c.mode, &err, &status), s) << c.mode;
    EXPECT_EQ(err, c.err) << c.mode;
  }
  int err, status;
  EXPECT_EQ(wib_search_stream(Path("other.wib").c_str(), "read", &err, &status), -1);
  EXPECT_EQ(status, status_success);
  Close(s);
  s = Open(name, "read");
  EXPECT_EQ(wib_search_stream(name.c_str(), "any", &err, &status), s);
  EXPECT_EQ(err, IncompatibleOpeningModes);
  Close(s);
}

TEST_F(WibFile, TwentyFilesAtOnceAndFailedOpensKeepNoEntry) {
  std::vector<long> streams;
  for (int i = 0; i < WibMaxFiles; i++)
    streams.push_back(Open(Path("f" + std::to_string(i) + ".wib"), "new"));
  Open(Path("one-too-many.wib"), "new", NoMoreStreamsAvailable);
  Close(streams[7]);
  EXPECT_EQ(Open(Path("reused.wib"), "new"), streams[7]);
  for (long s : streams) Close(s);

  // Failed opens of every kind release their entry.
  WriteFile(Path("garbage.wib"), "this is neither a Wib nor a BSL file");
  WriteFile(Path("empty.wib"), "");
  testutil::Capture err(stderr);
  for (int i = 0; i < 3 * WibMaxFiles; i++) {
    Open(Path("missing.wib"), "old", CouldNotOpenFile);
    Open(Path("empty.wib"), "old", CouldNotFindHeader);
    Open(Path("garbage.wib"), "read", CannotOpenAsBslFile);
    Open(Path("garbage.wib"), "any", ErrorReadingGeneralBlock);
  }
  for (int i = 0; i < WibMaxFiles; i++) Open(Path("g" + std::to_string(i) + ".wib"), "new");
}

TEST_F(WibFile, VersionOneFilesAreLocatedWithBoundaryOne) {
  // Two headers without "WIB_" keys, not padded, named by "Image" and by
  // "HeaderID"; the binary length comes from "Size" or the dimensions.
  const float a[4] = {1, 2, 3, 4}, b[2] = {5, 6};
  std::string file = "{\nImage = 5 ;\nSize = 16 ;\nDim_1 = 2 ;\nDim_2 = 2 ;\nDataType = Float ;\n"
                     "ByteOrder = LowByteFirst ;\n}\n";
  file.append(reinterpret_cast<const char*>(a), 16);
  file += "\r\n{\nHeaderID = EH:000007:000000:000000 ;\nDim_1 = 2 ;\nDataType = FloatValue ;\n"
          "ByteOrder = LowByteFirst ;\n}\n";
  file.append(reinterpret_cast<const char*>(b), 8);
  const std::string name = Path("v1.wib");
  WriteFile(name, file);
  long s = Open(name, "read");
  int err, status;
  long min, max;
  EXPECT_EQ(wib_search_minmax_number(s, 1, &min, &max, &err, &status), 1);
  EXPECT_EQ(min, 5);
  EXPECT_EQ(max, 7);
  EXPECT_EQ(ReadFloats(s, 5, 1), (std::vector<float>{1, 2, 3, 4}));
  EXPECT_EQ(ReadFloats(s, 7, 1), (std::vector<float>{5, 6}));
  Close(s);
}

TEST_F(WibFile, ExternalBinaryFiles) {
  const float data[3] = {1.5f, 2.5f, 3.5f};
  std::string bin = "pad.";
  bin.append(reinterpret_cast<const char*>(data), 12);
  WriteFile(Path("data.bin"), bin);
  std::string header = std::string("{\r\nWIB_DataBlockID = 4.Image.Psd ;\r\n") +
                       "WIB_BinaryFileName = data.bin ;\r\nWIB_BinaryFilePosition = 4 ;\r\n"
                       "WIB_BinarySize = 0 ;\r\nDim_1 = 3 ;\r\nByteOrder = LowByteFirst ;\r\n}\n";
  // Room to rewrite the header in place.
  header.insert(header.size() - 4, std::string(300, ' '));
  WriteFile(Path("ext.wib"), header);
  testutil::Capture err(stderr);
  long s = Open(Path("ext.wib"), "old");
  EXPECT_EQ(ReadFloats(s, 4, 1), (std::vector<float>{1.5f, 2.5f, 3.5f}));
  WriteString(s, 4, 1, "Note", "rewritten");
  Close(s);
  s = Open(Path("ext.wib"), "read");
  EXPECT_EQ(ReadString(s, 4, 1, "Note"), "rewritten");
  EXPECT_EQ(ReadFloats(s, 4, 1), (std::vector<float>{1.5f, 2.5f, 3.5f}));
  Close(s);
  // Without its position the block is not located.
  std::string bad = header;
  bad.replace(bad.find("WIB_BinaryFilePosition"), 8, "Whatever");
  WriteFile(Path("bad.wib"), bad);
  s = Open(Path("bad.wib"), "read");
  int e, st;
  EXPECT_EQ(wib_test_header(s, 4, 1, &e, &st), 0);
  Close(s);

  // A format key after the others is not read when the block is located;
  // rewriting the header must not give it a meaning either.
  s = Open(Path("stray.wib"), "new");
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 3}, {7, 8, 9}), 0);
  Close(s);
  std::string bytes = ReadFile(Path("stray.wib"));
  PatchBlock(bytes, 1, "Compression", "WIB_BinaryFileName = data.bin ;\r\nCompression");
  WriteFile(Path("stray.wib"), bytes);
  s = Open(Path("stray.wib"), "old");
  WriteString(s, 1, 1, "Note", "rewritten");
  Close(s);
  s = Open(Path("stray.wib"), "read");
  EXPECT_EQ(ReadString(s, 1, 1, "Note"), "rewritten");
  EXPECT_EQ(ReadFloats(s, 1, 1), (std::vector<float>{7, 8, 9}));
  Close(s);

  std::string text = err.Text();
  EXPECT_NE(text.find("ERROR: The key \"WIB_BinaryFileName\" requires the key "
                      "\"WIB_BinaryFilePosition\"\n"),
            std::string::npos);
  EXPECT_NE(text.find("   Missing binary file position\n"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------

TEST_F(WibFile, HeaderValuesAndLists) {
  const std::string name = Path("values.wib");
  long s = Open(name, "new");
  int err, status;
  EXPECT_EQ(wib_write_header_long(s, 1, 1, "Count", -42, &err, &status), 1);
  EXPECT_EQ(wib_write_header_float(s, 1, 1, "Wavelength", 1.5e-10f, &err, &status), 1);
  EXPECT_EQ(wib_write_header_unit(s, 1, 1, "Distance", 0.0015f, "mm", &err, &status), 1);
  WriteString(s, 1, 1, "Expr", "2*3+1");
  WriteString(s, 1, 1, "Text", std::string(3000, 'x').c_str());
  WriteString(s, 1, 1, "Gone", "soon");
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 1}, {1}), 0);
  WriteString(s, 2, 1, "Only2", "two");
  EXPECT_EQ(WriteFloats(s, 2, 1, {1, 1}, {2}), 0);
  Close(s);

  s = Open(name, "old");
  long l = 0;
  float f = 0;
  EXPECT_EQ(wib_read_header_long(s, 1, 1, "Count", &l, &err, &status), 1);
  EXPECT_EQ(l, -42);
  EXPECT_EQ(wib_read_header_long(s, 1, 1, "Expr", &l, &err, &status), 1);
  EXPECT_EQ(l, 7);
  EXPECT_EQ(wib_read_header_float(s, 1, 1, "Wavelength", &f, &err, &status), 1);
  EXPECT_FLOAT_EQ(f, 1.5e-10f);
  EXPECT_EQ(ReadString(s, 1, 1, "Distance"), "1.5_mm");
  EXPECT_EQ(wib_read_header_float(s, 1, 1, "Distance", &f, &err, &status), 1);
  EXPECT_FLOAT_EQ(f, 0.0015f);
  EXPECT_EQ(wib_read_header_long(s, 1, 1, "Text", &l, &err, &status), 1);
  EXPECT_EQ(err, NumberConversionFailed);
  EXPECT_EQ(status, status_error);
  EXPECT_EQ(wib_read_header_long(s, 1, 1, "Missing", &l, &err, &status), 0);
  EXPECT_EQ(err, CouldNotFindSymbol);
  EXPECT_EQ(wib_read_header_long(s, 9, 1, "Count", &l, &err, &status), 0);
  EXPECT_EQ(err, CouldNotFindHeader);
  EXPECT_EQ(ReadString(s, 1, 1, "Text"), std::string(3000, 'x'));
  char line[WibMaxLinLen + 1];
  EXPECT_EQ(wib_read_header_line(s, 1, 1, "Text", line, &err, &status), 1);
  EXPECT_EQ(std::string(line), std::string(WibMaxLinLen, 'x'));

  // Header lists: a second block adds to the list and keeps the keys of the
  // first.
  ASSERT_EQ(wib_new_header("list"), 1);
  EXPECT_EQ(wib_read_header(s, 1, 1, "list", &err, &status), 1);
  EXPECT_EQ(wib_read_header(s, 2, 1, "list", &err, &status), 1);
  EXPECT_EQ(wib_write_header(s, 3, 1, "list", &err, &status), 1);
  EXPECT_EQ(WriteFloats(s, 3, 1, {1, 1}, {3}), 0);
  EXPECT_EQ(ReadString(s, 3, 1, "Count"), "-42");
  EXPECT_EQ(ReadString(s, 3, 1, "Only2"), "two");
  EXPECT_EQ(ReadString(s, 3, 1, "Text"), std::string(3000, 'x'));
  EXPECT_EQ(ReadString(s, 3, 1, "WIB_DataBlockID"), "3.Image.Psd");

  // Deleting a key rewrites the header in place; "WIB_" keys stay.
  EXPECT_EQ(wib_delete_key(s, 1, 1, "Gone", &err, &status), 1);
  EXPECT_EQ(wib_delete_key(s, 1, 1, "WIB_BinarySize", &err, &status), 0);
  EXPECT_EQ(err, CouldNotDeleteString);
  EXPECT_EQ(wib_delete_key(s, 77, 1, "Gone", &err, &status), 1);
  Close(s);
  s = Open(name, "read");
  EXPECT_EQ(ReadString(s, 1, 1, "Gone", CouldNotFindSymbol), "");
  EXPECT_EQ(ReadString(s, 1, 1, "Count"), "-42");
  EXPECT_EQ(ReadFloats(s, 1, 1), (std::vector<float>{1}));
  Close(s);
  wib_free_header("list");
}

TEST_F(WibFile, DimensionsAndCallerBuffers) {
  const std::string name = Path("dims.wib");
  long s = Open(name, "new");
  EXPECT_EQ(WriteFloats(s, 1, 1, {3, 4, 3, 1}, Ramp(12)), 0);
  EXPECT_EQ(WriteFloats(s, 2, 1, {3, 2, 3, 2}, Ramp(12)), 0);
  wib_set_datatype(DoubleValue);
  EXPECT_EQ(WriteFloats(s, 3, 1, {2, 4, 3}, Ramp(12)), 0);
  Close(s);
  wib_set_datatype(0);

  s = Open(name, "read");
  int err, status;
  long dim2[3] = {2, 0, 0};
  long* pdim = dim2;
  size_t size = 0;
  EXPECT_EQ(wib_read_data_dimension(s, 1, 1, &pdim, &size, &err, &status), 1);
  EXPECT_EQ(err, RoutineSucceeded);
  EXPECT_EQ(size, 48u);
  EXPECT_EQ(dim2[1] * dim2[2], 12);
  float buffer[12];
  void* data = buffer;
  size = sizeof buffer;
  wib_read_data(s, 1, 1, &pdim, &size, &data, MFloat, &err, &status);
  EXPECT_EQ(err, RoutineSucceeded);
  EXPECT_EQ(data, buffer);
  EXPECT_EQ(std::vector<float>(buffer, buffer + 12), Ramp(12));
  wib_read_data(s, 2, 1, &pdim, &size, &data, MFloat, &err, &status);
  EXPECT_EQ(err, NotNdData);
  EXPECT_EQ(wib_read_data_dimension(s, 2, 1, &pdim, &size, &err, &status), 1);
  EXPECT_EQ(err, NotNdData);

  // Stored doubles into a float buffer of the right size; a short buffer.
  size = sizeof buffer;
  wib_read_data(s, 3, 1, &pdim, &size, &data, MFloat, &err, &status);
  EXPECT_EQ(err, RoutineSucceeded);
  EXPECT_EQ(std::vector<float>(buffer, buffer + 12), Ramp(12));
  size = sizeof buffer - 4;
  testutil::Capture capture(stderr);
  wib_read_data(s, 3, 1, &pdim, &size, &data, MFloat, &err, &status);
  EXPECT_EQ(err, DataBufferTooSmall);
  EXPECT_EQ(status, status_error);
  EXPECT_NE(capture.Text().find("ERROR: renorm_data_array: allocated buffer < 48 | 48 bytes"),
            std::string::npos);
  // The same block read twice, as long and as float.
  long longs[12];
  data = longs;
  size = sizeof longs;
  wib_read_data(s, 3, 1, &pdim, &size, &data, MLong, &err, &status);
  EXPECT_EQ(err, RoutineSucceeded);
  EXPECT_EQ(longs[11], std::lround(std::floor(Ramp(12)[11] + 0.5)));
  EXPECT_EQ(ReadFloats(s, 3, 1), Ramp(12));
  EXPECT_EQ(ReadFloats(s, 3, 1), Ramp(12));
  // The library's array passed back in is no caller buffer: it may move.
  void* library = nullptr;
  size = 0;
  wib_read_data(s, 3, 1, nullptr, &size, &library, MFloat, &err, &status);
  void* again = library;
  wib_read_data(s, 3, 1, nullptr, &size, &again, MDouble, &err, &status);
  ASSERT_EQ(err, RoutineSucceeded);
  EXPECT_EQ(size, 96u);
  EXPECT_EQ(static_cast<double*>(again)[11], Ramp(12)[11]);
  Close(s);
}

TEST_F(WibFile, HighByteFirstAndRasterConfigurations) {
  // A 3 x 2 array stored transposed (raster configuration 5) and high byte
  // first reads in configuration 1 and machine order.
  const uint16_t standard[6] = {1, 2, 3, 4, 5, 6};  // (i1, i2) at i1 + 3 * i2
  uint16_t transposed[6] = {1, 4, 2, 5, 3, 6};
  wib_bswap(transposed, transposed, 2, 6);
  const long dim[] = {2, 3, 2};
  const std::string name = Path("raster.wib");
  long s = Open(name, "new");
  int err, status;
  wib_write_data_raw(s, 1, 1, dim, transposed, UnsignedShort, 10,
                     wib_byteorder() == LowByteFirst ? HighByteFirst : LowByteFirst, 5, &err,
                     &status);
  ASSERT_EQ(err, RoutineSucceeded);
  Close(s);
  EXPECT_EQ(HeaderValue(ReadFile(name), "DataRasterConfiguration"), "5");
  s = Open(name, "read");
  std::vector<float> expect;
  for (uint16_t v : standard) expect.push_back(v + 10.0f);
  EXPECT_EQ(ReadFloats(s, 1, 1), expect);
  Close(s);
}

// ---------------------------------------------------------------------------
// No data loss
// ---------------------------------------------------------------------------

TEST_F(WibFile, RewritingInPlaceNeverLosesTheOldBlock) {
  const std::string name = Path("rewrite.wib");
  long s = Open(name, "new");
  WriteString(s, 1, 1, "Title", "kept");
  EXPECT_EQ(WriteFloats(s, 1, 1, {2, 10, 10}, Ramp(100)), 0);
  EXPECT_EQ(WriteFloats(s, 2, 1, {2, 10, 10}, Ramp(100, 3)), 0);
  Close(s);
  const std::string before = ReadFile(name);

  // Growing data and growing headers fail, mark the block bad and leave the
  // file as it was.
  s = Open(name, "old");
  testutil::Capture capture(stderr);
  EXPECT_EQ(WriteFloats(s, 1, 1, {2, 20, 20}, Ramp(400)), WriteDataError);
  EXPECT_EQ(WriteFloats(s, 1, 1, {2, 5, 5}, Ramp(25)), WriteDataError);
  WriteString(s, 2, 1, "Huge", std::string(9000, 'h').c_str());
  int err, status;
  EXPECT_EQ(wib_write_header_string(s, 3, 1, "Other", "x", &err, &status), 0);
  EXPECT_EQ(err, WriteDataError);
  EXPECT_EQ(wib_test_header(s, 3, 1, &err, &status), 0);
  EXPECT_NE(capture.Text().find("do not fit"), std::string::npos);
  EXPECT_EQ(ReadFile(name), before);
  EXPECT_EQ(ReadFloats(s, 1, 1), Ramp(100));
  EXPECT_EQ(ReadString(s, 1, 1, "Title"), "kept");
  Close(s);

  // A header value added to a block on disk keeps its other values and its
  // data; smaller data fit into the old place.
  s = Open(name, "old");
  WriteString(s, 1, 1, "Added", "yes");
  EXPECT_EQ(WriteFloats(s, 2, 1, {2, 5, 5}, Ramp(25, 2)), 0);
  Close(s);
  EXPECT_EQ(ReadFile(name).size(), before.size());
  s = Open(name, "read");
  EXPECT_EQ(ReadString(s, 1, 1, "Added"), "yes");
  EXPECT_EQ(ReadString(s, 1, 1, "Title"), "kept");
  EXPECT_EQ(ReadFloats(s, 1, 1), Ramp(100));
  std::vector<long> dim;
  EXPECT_EQ(ReadFloats(s, 2, 1, nullptr, &dim), Ramp(25, 2));
  EXPECT_EQ(dim, (std::vector<long>{2, 5, 5}));
  Close(s);
}

TEST_F(WibFile, AppendingKeepsExistingBlocksByteForByte) {
  for (int general : {0, 1}) {
    SCOPED_TRACE(general);
    wib_general_block(general);
    const std::string name = Path("append" + std::to_string(general) + ".wib");
    long s = Open(name, "new");
    EXPECT_EQ(WriteFloats(s, 1, 1, {2, 10, 10}, Ramp(100)), 0);
    EXPECT_EQ(WriteFloats(s, 1, -1, {2, 10, 10}, Ramp(100, 2)), 0);
    Close(s);
    std::string before = ReadFile(name);
    for (const char* mode : {"old", "any"}) {
      s = Open(name, mode);
      EXPECT_EQ(WriteFloats(s, std::string(mode) == "old" ? 2 : 3, 1, {2, 10, 10}, Ramp(100, 4)),
                0);
      Close(s);
    }
    std::string after = ReadFile(name);
    ASSERT_EQ(after.size(), before.size() + 2 * (8192 + 512));
    if (general) {
      EXPECT_EQ(HeaderValue(after, "WIB_DataBlocks"), "4           ");
      before.replace(before.find("WIB_DataBlocks = 2           "), 29,
                     "WIB_DataBlocks = 4           ");
    }
    EXPECT_EQ(after.substr(0, before.size()), before);
    s = Open(name, "read");
    EXPECT_EQ(ReadFloats(s, 1, -1), Ramp(100, 2));
    EXPECT_EQ(ReadFloats(s, 3, 1), Ramp(100, 4));
    EXPECT_EQ(ReadString(s, 3, 1, "HeaderID"), general ? "EH:000005:000000:000000"
                                                       : "EH:000004:000000:000000");
    Close(s);
  }
}

TEST_F(WibFile, WritingToAFileOpenedForReadingFails) {
  const std::string name = Path("ro.wib");
  long s = Open(name, "new");
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 3}, Ramp(3)), 0);
  Close(s);
  const std::string before = ReadFile(name);
  s = Open(name, "read");
  testutil::Capture capture(stderr);
  EXPECT_EQ(WriteFloats(s, 2, 1, {1, 3}, Ramp(3)), WriteDataError);
  capture.Text();
  Close(s);
  EXPECT_EQ(ReadFile(name), before);
  int err = -1, status = -1;
  wib_close_data_file(-1, &err, &status);
  EXPECT_EQ(status, status_success);
}

// ---------------------------------------------------------------------------
// Damaged files
// ---------------------------------------------------------------------------

// A file of three blocks, one of them gzip-compressed, to be damaged.
std::string MakeFile(const std::string& name) {
  long dim[] = {2, 16, 16};
  std::vector<float> data(256);
  for (size_t i = 0; i < data.size(); i++) data[i] = static_cast<float>(i % 17);
  int err, status;
  long s = wib_open_data_file(name.c_str(), "new", &err, &status);
  wib_write_data(s, 1, 1, dim, data.data(), MFloat, &err, &status);
  wib_set_datacompression(GzipCompression);
  wib_write_data(s, 2, 1, dim, data.data(), MFloat, &err, &status);
  wib_set_datacompression(0);
  wib_write_data(s, 3, 1, dim, data.data(), MFloat, &err, &status);
  wib_close_data_file(s, &err, &status);
  return ReadFile(name);
}

TEST_F(WibFile, DamagedFilesEndInTheirErrorValue) {
  const std::string name = Path("damaged.wib");
  const std::string good = MakeFile(name);
  struct Case {
    const char* what;
    long block;
    const char* from;
    const char* to;
    int read_error;  // of wib_read_data
  };
  const Case cases[] = {
      {"zero dimension", 3, "Dim_1 = 16 ;", "Dim_1 = 0 ;", CouldNotGetBinaryArray},
      {"negative dimension", 3, "Dim_2 = 16 ;", "Dim_2 = -9 ;", CouldNotGetBinaryArray},
      {"no first dimension", 3, "Dim_1 = 16 ;", "Xim_1 = 16 ;", CouldNotGetBinaryArray},
      {"dimension no number", 3, "Dim_1 = 16 ;", "Dim_1 = many ;", CouldNotGetBinaryArray},
      {"overflowing product", 3, "Dim_1 = 16 ;", "Dim_1 = 999999999999999999 ;",
       CouldNotGetBinaryArray},
      {"more than the file holds", 3, "Dim_2 = 16 ;", "Dim_2 = 99999 ;", CouldNotGetBinaryArray},
      {"more than a compressed block can hold", 2, "Dim_2 = 16 ;", "Dim_2 = 9000000000000000 ;",
       CouldNotGetBinaryArray},
      {"binary size too small", 3, "WIB_BinarySize = 1024 ;", "WIB_BinarySize = 1000 ;",
       CouldNotGetBinaryArray},
      {"unknown data type", 3, "DataType = FloatValue ;", "DataType = Bogus ;",
       CouldNotGetBinaryArray},
      {"unconvertible data type", 3, "DataType = FloatValue ;", "DataType = FloatVAX32 ;",
       DataConversionFailed},
      {"unknown byte order", 3, "ByteOrder = LowByteFirst ;", "ByteOrder = Middle ;",
       DataConversionFailed},
      {"unknown compression", 2, "Compression = GzipCompression ;", "Compression = Gzipp ;",
       CouldNotGetBinaryArray},
      {"unknown raster configuration", 3, "ByteOrder", "DataRasterConfiguration = 99 ;\r\nByteOrder",
       DataConversionFailed},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string bytes = good;
    PatchBlock(bytes, c.block, c.from, c.to);
    ASSERT_EQ(bytes.size(), good.size());
    WriteFile(name, bytes);
    testutil::Capture capture(stderr);
    long s = Open(name, "read");
    int err;
    EXPECT_TRUE(ReadFloats(s, c.block, 1, &err).empty());
    EXPECT_EQ(err, c.read_error) << wib_report_data_error(err);
    // The other blocks read.
    EXPECT_EQ(ReadFloats(s, 1, 1).size(), 256u);
    Close(s);
    capture.Text();
  }
  // Dimensions that are no sizes are refused when asked for as well.
  std::string bytes = good;
  PatchBlock(bytes, 3, "Dim_1 = 16 ;", "Dim_1 = 0 ;");
  WriteFile(name, bytes);
  long s = Open(name, "read");
  int err, status;
  long* dim = nullptr;
  size_t size;
  testutil::Capture capture(stderr);
  EXPECT_EQ(wib_read_data_dimension(s, 3, 1, &dim, &size, &err, &status), 1);
  EXPECT_EQ(err, CouldNotReadDimension);
  EXPECT_EQ(status, status_error);
  Close(s);
}

TEST_F(WibFile, TruncatedAndCorruptFiles) {
  const std::string name = Path("cut.wib");
  const std::string good = MakeFile(name);
  const size_t second = BlockStart(good, 2), third = BlockStart(good, 3);
  testutil::Capture capture(stderr);
  int err, status;

  // A truncated last block is located; its data fail.
  WriteFile(name, good.substr(0, good.size() - 100));
  long s = Open(name, "read");
  EXPECT_EQ(wib_test_header(s, 3, 1, &err, &status), 1);
  ReadFloats(s, 3, 1, &err);
  EXPECT_EQ(err, CouldNotGetBinaryArray);
  Close(s);

  // A header cut in the middle ends the file before it, with a warning.
  WriteFile(name, good.substr(0, second + 100));
  s = Open(name, "read");
  EXPECT_EQ(wib_test_header(s, 2, 1, &err, &status), 0);
  EXPECT_EQ(ReadFloats(s, 1, 1).size(), 256u);
  Close(s);

  // Garbage after the blocks.
  WriteFile(name, good + "garbage");
  s = Open(name, "read");
  EXPECT_EQ(wib_test_header(s, 3, 1, &err, &status), 1);
  Close(s);

  // A binary size beyond any position ends the file before its block.
  std::string huge = good;
  PatchBlock(huge, 2, "WIB_BinarySize = 512 ;", "WIB_BinarySize = 18446744073709551615 ;");
  WriteFile(name, huge);
  s = Open(name, "read");
  EXPECT_EQ(wib_test_header(s, 1, 1, &err, &status), 1);
  EXPECT_EQ(wib_test_header(s, 2, 1, &err, &status), 0);
  Close(s);

  // A value without its terminator runs into the next header: that header
  // is damaged, the next block still reads.
  std::string unterminated = good;
  PatchBlock(unterminated, 2, "\r\nSize = 512 ;", "\r\nSize = 512  ");
  WriteFile(name, unterminated);
  s = Open(name, "read");
  int result = wib_read_header_long(s, 2, 1, "Dim_1", nullptr, &err, &status);
  EXPECT_EQ(err, ReadDataError);
  EXPECT_EQ(result, 1);
  EXPECT_EQ(ReadFloats(s, 3, 1).size(), 256u);
  Close(s);

  // Corrupt compressed data.
  std::string corrupt = good;
  for (size_t i = second + 8192 + 20; i < second + 8192 + 60; i++) corrupt[i] = 'x';
  WriteFile(name, corrupt);
  s = Open(name, "read");
  ReadFloats(s, 2, 1, &err);
  EXPECT_EQ(err, CouldNotGetBinaryArray);
  EXPECT_EQ(ReadFloats(s, 3, 1).size(), 256u);
  Close(s);

  const std::string text = capture.Text();
  EXPECT_NE(text.find("\n   WIB FILE WARNING\n   Expecting EOF or header start\n   File name    : " +
                      name + "\n   File position: " + std::to_string(good.size()) + " (0x"),
            std::string::npos);
  EXPECT_NE(text.find("   Last block ID: 3.Image.Psd\n\n"), std::string::npos);
  EXPECT_NE(text.find("cmpr_frinflate"), std::string::npos);
  EXPECT_NE(third, std::string::npos);
}

TEST_F(WibFile, AGeneralBlockRunningIntoTheNextHeaderIsAnError) {
  wib_general_block(1);
  const std::string name = Path("runs.wib");
  long s = Open(name, "new");
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 3}, Ramp(3)), 0);
  Close(s);
  std::string bytes = ReadFile(name);
  bytes.replace(bytes.find("Size = 0 ;"), 10, "Size = 0  ");
  WriteFile(name, bytes);
  testutil::Capture capture(stderr);
  Open(name, "read", ErrorReadingGeneralBlock);
  EXPECT_NE(capture.Text().find("   WIB FILE ERROR\n   Error reading header values\n"),
            std::string::npos);
}

TEST_F(WibFile, UnusableBlockBoundariesReadWithBoundaryOne) {
  wib_general_block(1);
  const std::string name = Path("boundary.wib");
  long s = Open(name, "new");
  EXPECT_EQ(WriteFloats(s, 1, 1, {1, 3}, Ramp(3)), 0);
  EXPECT_EQ(WriteFloats(s, 2, 1, {1, 3}, Ramp(3, 2)), 0);
  Close(s);
  for (const char* value : {"0  ", "abc", "1  ", "256"}) {
    SCOPED_TRACE(value);
    std::string bytes = ReadFile(name);
    size_t at = bytes.find("WIB_BlockBoundary = ") + 20;
    bytes.replace(at, 3, value);
    WriteFile(Path("b.wib"), bytes);
    testutil::Capture capture(stderr);
    s = Open(Path("b.wib"), "read");
    EXPECT_EQ(ReadFloats(s, 2, 1), Ramp(3, 2));
    Close(s);
    capture.Text();
  }
}

TEST_F(WibFile, ErrorTexts) {
  EXPECT_STREQ(wib_report_data_error(RoutineSucceeded), "\nRoutineSucceeded\n");
  EXPECT_STREQ(wib_report_data_error(RoutineFailed), "\nRoutineFailed\n");
  EXPECT_STREQ(wib_report_data_error(NoMoreStreamsAvailable), "\nNoMoreStreamsAvailable\n");
  EXPECT_STREQ(wib_report_data_error(NotVeskDataFile), "\nNotVeskDataFile\n");
  EXPECT_STREQ(wib_report_data_error(CouldNotReadHeader), "\nCouldNotReadHeader\n");
  EXPECT_STREQ(wib_report_data_error(11), "\nUnknownErrorValue : 11\n");
  EXPECT_STREQ(wib_report_data_error(51), "\nUnknownErrorValue : 51\n");
  EXPECT_STREQ(wib_report_data_error(-2), "\nUnknownErrorValue : -2\n");
  const char* kept = wib_report_data_error(DataBufferTooSmall);
  wib_report_data_error(CompressionError);
  EXPECT_STREQ(kept, "\nDataBufferTooSmall\n");
}

}  // namespace
