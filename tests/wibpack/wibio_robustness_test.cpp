// Hostile headers: absurd sizes are refused before anything is allocated for
// them, and whatever the reader accepts is written back readably.
#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/wibio_internal.h"

namespace {

// One data block in a file entry of its own.
struct OneBlock {
  DFile file;
  DBlock* block = nullptr;
  OneBlock() {
    DChain* chain;
    insert_data_chain(&file, "Image.Psd", &chain);
    insert_data_block(chain, "1", &block);
  }
  ~OneBlock() { free_data_chain_list(&file); }
  void dims(long n, const char* size) {
    for (long k = 1; k <= n; k++)
      insert_string(block, ("Dim_" + std::to_string(k)).c_str(), size, nullptr);
  }
};

}  // namespace

TEST(WibioRobustness, AtMost512Dimensions) {
  std::vector<long> dim;
  {
    OneBlock b;
    b.dims(WibMaxDimensions, "1");
    ASSERT_EQ(read_data_dim(b.block, dim), 0);
    EXPECT_EQ(dim[0], WibMaxDimensions);
  }
  {
    OneBlock b;
    b.dims(WibMaxDimensions + 1, "1");
    testutil::Capture err(stderr);
    EXPECT_EQ(read_data_dim(b.block, dim), -1);
    EXPECT_NE(err.Text().find("More than 512 dimensions"), std::string::npos);
    EXPECT_EQ(dim[0], 0);
  }
}

TEST(WibioRobustness, OverflowingDimensionProductsAreRefused) {
  const struct {
    std::vector<long> dim;
    size_t item;
  } cases[] = {
      {{2, LONG_MAX, 2}, 1},                    // product overflows a long
      {{3, 1L << 31, 1L << 31, 4}, 1},          // 2^64
      {{2, 1L << 31, 1L << 31}, 8},             // bytes overflow size_t
      {{1, LONG_MAX}, 2},
  };
  for (const auto& c : cases) {
    size_t bytes = 12345;
    EXPECT_EQ(array_bytes(c.dim.data(), c.item, &bytes), -1) << c.dim[1];
    EXPECT_EQ(bytes, 12345u);
  }
  OneBlock b;
  b.dims(3, "9223372036854775807");
  std::vector<long> dim;
  ASSERT_EQ(read_data_dim(b.block, dim), 0);
  EXPECT_EQ(array_bytes(dim.data(), 4, nullptr), -1);
}

// A key that the reader took from the middle of a line may begin with '#';
// written at the start of a line it must not turn into a comment.
TEST(WibioRobustness, KeyBeginningWithHashSurvivesRewriting) {
  const std::string bytes = "{\r\nA = 1 ;#B = 2 ;\r\n}\n";
  DBlock block, again;
  FILE* f = fmemopen(const_cast<char*>(bytes.data()), bytes.size(), "rb");
  ASSERT_EQ(check_start(f), 1);
  ASSERT_EQ(get_symbol_list(f, &block, 0), WibReadOk);
  fclose(f);
  SElement* s;
  ASSERT_EQ(search_symbol(&block, "#B", &s), 0);

  ASSERT_EQ(header_layout(&block, 0, 1, 0), 0);
  std::string text;
  ASSERT_EQ(header_text(&block, text), 0);
  EXPECT_EQ(text, "{\r\n #B = 2 ;\r\nA = 1 ;\r\n\r\n}\n");
  ASSERT_EQ(search_symbol(&block, "#B", &s), 0);
  EXPECT_EQ(text.substr(s->KeyPos, 2), "#B");

  f = fmemopen(&text[0], text.size(), "rb");
  ASSERT_EQ(check_start(f), 1);
  ASSERT_EQ(get_symbol_list(f, &again, 0), WibReadOk);
  fclose(f);
  ASSERT_EQ(search_symbol(&again, "#B", &s), 0);
  EXPECT_EQ(s->Value, "2");
  free_symbol_list(&block);
  free_symbol_list(&again);
}

// A header written with a small minimum length keeps its place on disk and
// takes a new key in its padding, whatever minimum the updating run uses.
TEST(WibioRobustness, SmallHeadersCanBeUpdatedInPlace) {
  testutil::TempDir dir;
  const std::string name = dir.file("small.wib");
  int err, status;
  wib_set_minimumheadersize(512);
  long s = wib_open_data_file(name.c_str(), "new", &err, &status);
  ASSERT_GE(s, 0);
  const long dim[] = {2, 4, 2};
  const float data[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  wib_write_data(s, 1, 1, dim, data, MFloat, &err, &status);
  ASSERT_EQ(status, status_success);
  wib_close_data_file(s, &err, &status);
  wib_set_minimumheadersize(MINIMUM_HEADERSIZE_OUT);
  const std::string before = testutil::ReadFile(name);
  ASSERT_EQ(before.size(), 1024u);  // one header of 512 bytes and the data

  s = wib_open_data_file(name.c_str(), "old", &err, &status);
  ASSERT_GE(s, 0);
  EXPECT_EQ(wib_write_header_string(s, 1, 1, "Title", "updated", &err, &status), 1);
  wib_close_data_file(s, &err, &status);
  EXPECT_EQ(status, status_success) << wib_report_data_error(err);
  EXPECT_EQ(testutil::ReadFile(name).size(), before.size());

  s = wib_open_data_file(name.c_str(), "read", &err, &status);
  ASSERT_GE(s, 0);
  const char* title = nullptr;
  ASSERT_EQ(wib_read_header_string(s, 1, 1, "Title", &title, &err, &status), 1);
  EXPECT_STREQ(title, "updated");
  long* rdim = nullptr;
  size_t size = 0;
  void* back = nullptr;
  wib_read_data(s, 1, 1, &rdim, &size, &back, MFloat, &err, &status);
  ASSERT_EQ(status, status_success);
  EXPECT_EQ(memcmp(back, data, sizeof data), 0);
  wib_close_data_file(s, &err, &status);
}

// A file of version 1 whose first header is rewritten in place gains the
// format keys of version 2; its other blocks, written without them, must
// keep their block numbers, sizes and data.
TEST(WibioRobustness, UpdatedVersion1FileKeepsItsBlocks) {
  testutil::TempDir dir;
  const std::string name = dir.file("v1.wib");
  std::string bytes;
  for (int n = 1; n <= 3; n++) {
    bytes += "{\nHeaderID = EH:00000" + std::to_string(n) + ":000000:000000 ;\nImage = " +
             std::to_string(n) + " ;\nSize = 8 ;\nDim_1 = 2 ;\nDim_2 = 1 ;\nDataType = FloatValue ;\n" +
             "ByteOrder = LowByteFirst ;\nTitle = block " + std::to_string(n) + " ;\n" +
             std::string(200, ' ') + "\n}\n";
    const float v[2] = {static_cast<float>(n), static_cast<float>(10 * n)};
    bytes.append(reinterpret_cast<const char*>(v), sizeof v);
  }
  testutil::WriteFile(name, bytes);

  int err, status;
  long s = wib_open_data_file(name.c_str(), "old", &err, &status);
  ASSERT_GE(s, 0);
  ASSERT_EQ(wib_write_header_string(s, 1, 1, "Title", "updated", &err, &status), 1);
  wib_close_data_file(s, &err, &status);
  ASSERT_EQ(status, status_success);

  testutil::Capture quiet(stderr);  // the boundary warning of the mixed file
  s = wib_open_data_file(name.c_str(), "read", &err, &status);
  ASSERT_GE(s, 0);
  long lo = 0, hi = 0;
  ASSERT_EQ(wib_search_minmax_number(s, 1, &lo, &hi, &err, &status), 1);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 3);
  for (long n = 1; n <= 3; n++) {
    const char* title = nullptr;
    ASSERT_EQ(wib_read_header_string(s, n, 1, "Title", &title, &err, &status), 1) << n;
    EXPECT_EQ(std::string(title), n == 1 ? "updated" : "block " + std::to_string(n));
    long* dim = nullptr;
    size_t size = 0;
    void* data = nullptr;
    wib_read_data(s, n, 1, &dim, &size, &data, MFloat, &err, &status);
    ASSERT_EQ(status, status_success) << n;
    EXPECT_EQ(static_cast<float*>(data)[1], 10.0f * n);
  }
  wib_close_data_file(s, &err, &status);
}

// Blocks come in ascending order as a rule and are appended at the end of
// their chain; any other order still gives a sorted chain.
TEST(WibioRobustness, BlocksStaySortedInAnyInsertionOrder) {
  DFile file;
  DChain* chain;
  ASSERT_EQ(insert_data_chain(&file, "Image.Psd", &chain), 0);
  const long order[] = {1, 2, 3, 10, 5, -4, 11, 3, 12, 0, 12, 7};
  for (long n : order) {
    DBlock* block;
    ASSERT_EQ(insert_data_block(chain, std::to_string(n).c_str(), &block), 0);
    EXPECT_EQ(block->BlockKey, std::to_string(n));
  }
  std::vector<long> keys;
  const DBlock* last = nullptr;
  for (const DBlock* b = chain->BlockList; b; b = b->Next) {
    EXPECT_EQ(b->Previous, last);
    keys.push_back(std::stol(b->BlockKey));
    last = b;
  }
  EXPECT_EQ(keys, (std::vector<long>{-4, 0, 1, 2, 3, 5, 7, 10, 11, 12}));
  EXPECT_EQ(chain->BlockTail, last);
  free_data_chain_list(&file);
}

// A small file of very many blocks opens with all of them (locating each
// block once, not comparing it with all blocks before it).
TEST(WibioRobustness, FileOfManyBlocksOpens) {
  testutil::TempDir dir;
  const std::string name = dir.file("many.wib");
  std::string bytes;
  const long n = 20000;
  for (long k = 1; k <= n; k++)
    bytes += "{\nWIB_DataBlockID = " + std::to_string(k) + ".Image.Psd ;\nWIB_BinarySize = 0 ;\n}\n";
  testutil::WriteFile(name, bytes);
  testutil::Capture quiet(stderr);
  int err, status;
  long s = wib_open_data_file(name.c_str(), "read", &err, &status);
  ASSERT_GE(s, 0);
  long lo = 0, hi = 0;
  ASSERT_EQ(wib_search_minmax_number(s, 1, &lo, &hi, &err, &status), 1);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, n);
  EXPECT_EQ(wib_test_header(s, n / 2, 1, &err, &status), 1);
  wib_close_data_file(s, &err, &status);
}
