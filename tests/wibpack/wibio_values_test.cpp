#include <gtest/gtest.h>

#include <climits>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/wibio_internal.h"

namespace {

// A data block with a general block in one file entry of its own.
struct BlockWithGeneral {
  DFile file;
  DBlock* general = nullptr;
  DBlock* block = nullptr;
  BlockWithGeneral() {
    DChain *gc, *ic;
    insert_data_chain(&file, "General", &gc);
    insert_data_block(gc, "All", &general);
    file.GeneralBlock = general;
    insert_data_chain(&file, "Image.Psd", &ic);
    insert_data_block(ic, "1", &block);
  }
  ~BlockWithGeneral() { free_data_chain_list(&file); }
};

}  // namespace

TEST(WibioValues, UnsignedDecimals) {
  const struct {
    const char* text;
    unsigned long expect;
  } cases[] = {{"512", 512}, {"8192 bytes", 8192}, {"", 0}, {"x12", 0}, {" 12", 0},
               {"-5", 0},    {"99999999999999999999999", ULONG_MAX}};
  for (const auto& c : cases) EXPECT_EQ(str2unsigned(c.text), c.expect) << c.text;
  BlockWithGeneral b;
  insert_string(b.block, KBinarySize, "4096", nullptr);
  unsigned long v = 0;
  ASSERT_EQ(header_value_unsigned(b.block, KBinarySize, &v), 0);
  EXPECT_EQ(v, 4096u);
  EXPECT_EQ(header_value_unsigned(b.block, "Size", &v), -1);
}

TEST(WibioValues, IntegerExpressionsWithGeneralDefaults) {
  BlockWithGeneral b;
  insert_string(b.general, "Dim_2", "2*16", nullptr);
  insert_string(b.block, "Dim_1", "100+1", nullptr);
  insert_string(b.block, "Bad", "1+", nullptr);
  long v = 0;
  int errval = -1;
  ASSERT_EQ(header_value_long(b.block, "Dim_1", &v, &errval), 0);
  EXPECT_EQ(v, 101);
  EXPECT_EQ(errval, 0);
  ASSERT_EQ(header_value_long(b.block, "dim_2", &v, &errval), 0);
  EXPECT_EQ(v, 32);
  EXPECT_EQ(header_value_long(b.block, "Missing", &v, &errval), -1);
  EXPECT_EQ(errval, 0);
  EXPECT_EQ(header_value_long(b.block, "Bad", &v, &errval), -1);
  EXPECT_NE(errval, 0);

  std::vector<long> dim;
  ASSERT_EQ(read_data_dim(b.block, dim), 0);
  EXPECT_EQ(dim, (std::vector<long>{2, 101, 32}));
  insert_string(b.block, "Dim_3", "3", nullptr);  // consecutive keys only
  insert_string(b.block, "Dim_5", "5", nullptr);
  ASSERT_EQ(read_data_dim(b.block, dim), 0);
  EXPECT_EQ(dim, (std::vector<long>{3, 101, 32, 3}));

  BlockWithGeneral none;
  EXPECT_EQ(read_data_dim(none.block, dim), -1);
  EXPECT_EQ(dim, (std::vector<long>{0}));
  insert_string(none.block, "Dim_1", "two", nullptr);
  testutil::Capture err(stderr);
  EXPECT_EQ(read_data_dim(none.block, dim), -1);
  EXPECT_EQ(err.Text(), "ERROR: Failed to read header value Dim_1\n");
}

TEST(WibioValues, DataDescriptionDefaults) {
  BlockWithGeneral b;
  DataDescription d;
  read_data_description(b.block, &d);
  EXPECT_EQ(d.DataType, FloatValue);
  EXPECT_EQ(d.ByteOrder, HighByteFirst);
  EXPECT_EQ(d.Compression, UnCompressed);
  EXPECT_EQ(d.DataValueOffset, 0);
  EXPECT_EQ(d.DataRasterConfiguration, 1);

  insert_string(b.general, KDataType, "UnsignedShort", nullptr);
  insert_string(b.block, KByteOrder, "LowByteFirst", nullptr);
  insert_string(b.block, KCompression, "gzip", nullptr);
  insert_string(b.block, KDataValueOffset, "-10*10", nullptr);
  insert_string(b.block, KDataRasterConfiguration, "5", nullptr);
  read_data_description(b.block, &d);
  EXPECT_EQ(d.DataType, UnsignedShort);
  EXPECT_EQ(d.ByteOrder, LowByteFirst);
  EXPECT_EQ(d.Compression, GzipCompression);
  EXPECT_EQ(d.DataValueOffset, -100);
  EXPECT_EQ(d.DataRasterConfiguration, 5);

  insert_string(b.block, KDataValueOffset, "lots", nullptr);
  insert_string(b.block, KDataRasterConfiguration, "(", nullptr);
  testutil::Capture err(stderr);
  read_data_description(b.block, &d);
  EXPECT_EQ(d.DataValueOffset, 0);
  EXPECT_EQ(d.DataRasterConfiguration, 1);
  EXPECT_EQ(err.Text(),
            "WARNING: Failed to convert header value DataValueOffset = lots\n"
            "         Using DataValueOffset = 0\n"
            "WARNING: Failed to convert header value DataRasterConfiguration = (\n"
            "         Using DataRasterConfiguration = 1\n");
}
