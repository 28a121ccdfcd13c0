#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/wibio_internal.h"

namespace {

int Sign(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

std::vector<std::string> SymbolKeys(const DBlock* block) {
  std::vector<std::string> keys;
  for (const SElement* s = block->SymbolList; s; s = s->Next) keys.push_back(s->Key);
  return keys;
}

std::vector<std::string> WalkOrder(DBlock* block) {
  std::vector<std::string> keys;
  clear_key_order(block);
  for (SElement* s = next_ordered_symbol(block); s; s = next_ordered_symbol(block))
    keys.push_back(s->Key);
  return keys;
}

// A file entry of its own with one chain, freed at the end.
struct ScratchFile {
  DFile file;
  ~ScratchFile() { free_data_chain_list(&file); }
};

}  // namespace

TEST(WibioModel, CompareKeys) {
  const struct {
    const char* a;
    const char* b;
    int mode;
    int expect;
  } cases[] = {
      {"Dim_1", "DIM_1", 1, 0},           {"Dim_1", "Dim _1", 1, 0},
      {"Dim_1", "dim_1", 0, -1},           {"Dim\t_1", "Dim_1", 0, 0},
      {"WIB_Size", "Aaa", 1, -1},         {"Zzz", "wib_x", 1, 1},
      {"WIB_A", "wib_a", 1, 0},           {"Title", "Title~1", 1, -1},
      {"Title~2", "Title~1", 1, 1},       {"Title~10", "Title~9", 1, 1},
      {"Title~x", "Title", 1, 1},         {"Title~x", "Title~1", 1, 1},
      {"Title~x", "TITLE~X", 1, 0},       {"Title~0", "Title", 1, 1},
      {"Title~01", "Title~1", 1, 0},      {"Title1", "Title~5", 1, 1},
      {"-1", "2", 2, -1},                 {"2", "10", 2, -1},
      {"10", "2", 2, 1},                  {"-10", "-2", 2, -1},
      {"007", "7", 2, 0},                 {"+7", "7", 2, 0},
      {"000", "0", 2, 0},                 {"-0", "0", 2, -1},
      {"2", "10", 1, 1},                  {"All", "1", 2, 1},
      {"\xE9t\xE9", "et", 1, 1},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Sign(compare_keys(c.a, c.b, c.mode)), c.expect)
        << c.a << " vs " << c.b << " mode " << c.mode;
    EXPECT_EQ(Sign(compare_keys(c.b, c.a, c.mode)), -c.expect) << c.b << " vs " << c.a;
  }
  // At most 64 characters count.
  std::string a(64, 'a'), b = a;
  EXPECT_EQ(compare_keys((a + "x").c_str(), (b + "y").c_str(), 1), 0);
  EXPECT_EQ(continuation_depth("K~12"), 12);
  EXPECT_EQ(continuation_depth("K"), 0);
  EXPECT_EQ(continuation_depth("K~"), -1);
  EXPECT_EQ(continuation_depth("K~1x"), -1);
  EXPECT_EQ(continuation_depth("K~99999999999999999999999"), -1);
}

TEST(WibioModelDeathTest, UnknownSortModeEndsTheProgram) {
  EXPECT_EXIT(compare_keys("a", "b", 3), testing::ExitedWithCode(255), "");
}

TEST(WibioModel, BlocksSortNumericallyInAnyInsertionOrder) {
  std::vector<std::string> keys = {"10", "2", "-1"};
  std::sort(keys.begin(), keys.end());
  do {
    ScratchFile f;
    DChain* chain;
    ASSERT_EQ(insert_data_chain(&f.file, "Image.Psd", &chain), 0);
    for (const std::string& k : keys) ASSERT_EQ(insert_data_block(chain, k.c_str(), nullptr), 0);
    std::vector<std::string> order;
    for (DBlock* b = chain->BlockList; b; b = b->Next) order.push_back(b->BlockKey);
    EXPECT_EQ(order, (std::vector<std::string>{"-1", "2", "10"}));
  } while (std::next_permutation(keys.begin(), keys.end()));
}

TEST(WibioModel, SymbolsSortWithFormatKeysFirstAndPartsAfterTheirKey) {
  std::vector<std::string> keys = {"Title~1", "Title", "WIB_BinarySize", "Center_1", "Title~x"};
  std::sort(keys.begin(), keys.end());
  do {
    DBlock block;
    for (const std::string& k : keys) ASSERT_EQ(insert_symbol(&block, k.c_str(), "v", nullptr), 0);
    EXPECT_EQ(SymbolKeys(&block), (std::vector<std::string>{"WIB_BinarySize", "Center_1", "Title",
                                                           "Title~1", "Title~x"}));
    free_symbol_list(&block);
  } while (std::next_permutation(keys.begin(), keys.end()));
}

TEST(WibioModel, ChainsAndBlocks) {
  ScratchFile f;
  DChain *a, *b, *again;
  ASSERT_EQ(insert_data_chain(&f.file, "Image.Psd", &a), 0);
  ASSERT_EQ(insert_data_chain(&f.file, "General", &b), 0);
  ASSERT_EQ(insert_data_chain(&f.file, "image.psd", &again), 0);
  EXPECT_EQ(again, a);
  EXPECT_EQ(f.file.ChainList, b);
  EXPECT_EQ(a->File, &f.file);
  EXPECT_EQ(search_data_chain(&f.file, "Image.Error", &again), -1);
  EXPECT_EQ(again, nullptr);

  DBlock* block;
  ASSERT_EQ(insert_data_block(a, "3", &block), 0);
  EXPECT_EQ(block->Chain, a);
  EXPECT_EQ(block->Flags.DataExternal, 1);
  EXPECT_EQ(block->Flags.HeaderExternal, 0);
  EXPECT_EQ(block->TextPos + block->TextLen + block->BinaryLen + block->SequenceNumber, 0u);
  DBlock* found;
  ASSERT_EQ(search_data_block(a, "+03", &found), 0);
  EXPECT_EQ(found, block);

  // Keys longer than 64 characters are stored cut, with a warning.
  std::string long_key(70, 'c');
  testutil::Capture err(stderr);
  ASSERT_EQ(insert_data_chain(&f.file, long_key.c_str(), &again), 0);
  EXPECT_EQ(again->ChainKey, long_key.substr(0, 64));
  EXPECT_EQ(again->ChainKeyLen, 70);
  EXPECT_EQ(err.Text(), "\nWARNING: The length 70 | 70 of " + long_key + "... exceeds 64\n");
}

TEST(WibioModel, SymbolOperations) {
  DBlock block;
  SElement* s;
  ASSERT_EQ(insert_symbol(&block, "Dim_1", "100", &s), 0);
  EXPECT_EQ(s->KeyLen, 5);
  EXPECT_EQ(s->ValLen, 3);
  EXPECT_EQ(s->Block, &block);
  ASSERT_EQ(insert_symbol(&block, "DIM _1", "200", &s), 0);
  EXPECT_EQ(SymbolKeys(&block), (std::vector<std::string>{"Dim_1"}));
  EXPECT_EQ(s->Value, "200");

  // Root symbols go to the head, replacing an existing one.
  insert_symbol(&block, "Title", "t", nullptr);
  insert_symbol_root(&block, "WIB_HeaderSize", "Undetermined", nullptr);
  insert_symbol_root(&block, "WIB_BinarySize", "0", nullptr);
  insert_symbol_root(&block, "WIB_HeaderSize", "Undetermined", nullptr);
  EXPECT_EQ(SymbolKeys(&block),
            (std::vector<std::string>{"WIB_HeaderSize", "WIB_BinarySize", "Dim_1", "Title"}));

  // In-place update keeps the length.
  ASSERT_EQ(update_symbol(&block, "WIB_HeaderSize", "3", &s), 0);
  EXPECT_EQ(s->Value, "3           ");
  EXPECT_EQ(update_symbol(&block, "WIB_BinarySize", "12", nullptr), -1);
  EXPECT_EQ(update_symbol(&block, "Missing", "1", nullptr), -1);

  SElement* next;
  ASSERT_EQ(remove_symbol(&block, "dim_1", &next), 0);
  EXPECT_EQ(next->Key, "Title");
  EXPECT_EQ(remove_symbol(&block, "dim_1", nullptr), -1);

  std::string long_key(65, 'k');
  testutil::Capture err(stderr);
  EXPECT_EQ(search_symbol(&block, long_key.c_str(), &s), -1);
  EXPECT_EQ(err.Text(), "\nWARNING (search_symbol): The length 65 | 65 of " + long_key + "... exceeds 64\n");
  free_symbol_list(&block);
  EXPECT_EQ(block.SymbolList, nullptr);
}

TEST(WibioModel, ContinuationStrings) {
  DBlock block;
  for (const char* k : {"A", "A~1", "A~2", "A~4", "B~1", "B~2", "C"}) {
    std::string v = std::string("<") + k + ">";
    insert_symbol(&block, k, v.c_str(), nullptr);
  }
  SElement *s, *next;
  ASSERT_EQ(search_symbol(&block, "A", &s), 0);
  ASSERT_EQ(update_string(s, &next), 0);
  EXPECT_EQ(s->String, "<A><A~1><A~2>");  // the gap before A~4 ends the value
  EXPECT_EQ(next->Key, "A~4");
  ASSERT_EQ(search_string(&block, "C", &s), 0);
  EXPECT_EQ(s->String, "<C>");

  // Removing a key removes its parts, but never those of another key.
  ASSERT_EQ(remove_string(&block, "A"), 0);
  EXPECT_EQ(SymbolKeys(&block), (std::vector<std::string>{"B~1", "B~2", "C"}));
  insert_symbol(&block, "A", "a", nullptr);
  ASSERT_EQ(search_symbol(&block, "A", &s), 0);
  ASSERT_EQ(delete_continuationkeys(&block, s->Next), 0);
  EXPECT_EQ(SymbolKeys(&block), (std::vector<std::string>{"A", "C"}));
  free_symbol_list(&block);
}

TEST(WibioModel, GeneralBlockSuppliesDefaults) {
  ScratchFile f;
  DChain *gc, *ic;
  DBlock *general, *block;
  insert_data_chain(&f.file, "General", &gc);
  insert_data_block(gc, "All", &general);
  f.file.GeneralBlock = general;
  insert_data_chain(&f.file, "Image.Psd", &ic);
  insert_data_block(ic, "1", &block);
  insert_string(general, "Dummy", "-1", nullptr);
  insert_string(general, "WIB_Special", "g", nullptr);
  insert_string(general, "wib_lower", "g", nullptr);
  insert_string(general, "Title", "general", nullptr);
  insert_string(block, "Title", "own", nullptr);

  SElement* s;
  ASSERT_EQ(search_general(block, "Title", &s), 0);
  EXPECT_EQ(s->String, "own");
  ASSERT_EQ(search_general(block, "dummy", &s), 0);
  EXPECT_EQ(s->String, "-1");
  EXPECT_EQ(search_general(block, "WIB_Special", &s), -1);
  EXPECT_EQ(s, nullptr);
  EXPECT_EQ(search_general(block, "wib_lower", &s), 0);
  EXPECT_EQ(search_general(block, "Missing", &s), -1);
}

TEST(WibioModel, OrderedWalkFollowsTheKeyOrderTable) {
  EXPECT_EQ(keyorder_DefaultTableSize, 38);
  DBlock block;
  for (const char* k : {"Zeta", "Title~1", "History-2", "Dim_2", "Title", "HS32Len", "Center_1",
                        "ByteOrder", "Dim_1", "Alpha", "Hx", "Offset_1", "wib_odd"})
    insert_symbol(&block, k, "v", nullptr);
  insert_symbol_root(&block, "WIB_HeaderSize", "Undetermined", nullptr);
  insert_symbol_root(&block, "WIB_BinarySize", "0", nullptr);
  insert_symbol_root(&block, "WIB_DataBlockID", "1.Image.Psd", nullptr);
  const std::vector<std::string> expect = {
      "WIB_DataBlockID", "WIB_BinarySize", "WIB_HeaderSize", "ByteOrder", "Dim_1", "Dim_2",
      "Title", "Offset_1", "Center_1", "History-2", "HS32Len", "Hx", "wib_odd", "Alpha",
      "Title~1", "Zeta"};
  EXPECT_EQ(WalkOrder(&block), expect);
  // A change restarts the walk.
  next_ordered_symbol(&block);
  insert_symbol(&block, "DataType", "FloatValue", nullptr);
  std::vector<std::string> again = WalkOrder(&block);
  EXPECT_EQ(again.size(), expect.size() + 1);
  EXPECT_EQ(again[4], "DataType");
  free_symbol_list(&block);

  EXPECT_TRUE(keyorder_match("Dim_*", "dim _12"));
  EXPECT_TRUE(keyorder_match("H*", "H"));
  EXPECT_TRUE(keyorder_match("*Time", "ExposureTime"));
  EXPECT_FALSE(keyorder_match("Title", "Title~1"));
  EXPECT_FALSE(keyorder_match("Dim_*", "Dim1"));
}

TEST(WibioModel, HeaderLists) {
  ASSERT_EQ(wib_new_header("i1"), 1);
  ASSERT_EQ(wib_new_header("i2"), 1);
  ASSERT_EQ(wib_new_header("a"), 1);
  std::vector<std::string> names;
  for (HList* l = header_list_root(); l; l = l->Next) names.push_back(l->Key);
  EXPECT_EQ(names, (std::vector<std::string>{"i2", "i1", "a"}));

  HList* list;
  ASSERT_EQ(search_header_list("I1", &list), 0);
  insert_header_element(list, "Title", "x", nullptr);
  insert_header_element(list, "Dim_1", "5", nullptr);
  insert_header_element(list, "TITLE", "y", nullptr);
  HElement* e;
  ASSERT_EQ(search_header_element(list, "title", &e), 0);
  EXPECT_EQ(e->Value, "y");
  std::vector<std::string> walk;
  clear_header_key_order(list);
  for (e = next_ordered_element(list); e; e = next_ordered_element(list)) walk.push_back(e->Key);
  EXPECT_EQ(walk, (std::vector<std::string>{"Dim_1", "Title"}));
  EXPECT_EQ(remove_header_element(list, "Dim_1"), 0);
  EXPECT_EQ(remove_header_element(list, "Dim_1"), -1);

  // Creating an existing list empties it.
  ASSERT_EQ(wib_new_header("i1"), 1);
  EXPECT_EQ(list->ElementRoot, nullptr);
  EXPECT_EQ(wib_new_header(nullptr), 0);

  EXPECT_EQ(wib_free_header("i2"), 1);
  EXPECT_EQ(search_header_list("i2", nullptr), -1);
  EXPECT_EQ(search_header_list("a", nullptr), 0);
  EXPECT_EQ(wib_free_header(nullptr), 1);
  EXPECT_EQ(header_list_root(), nullptr);
}

TEST(WibioModel, FileTableEntriesResetWhenFreed) {
  init_file_table();
  DFile& f = FileTable[WibMaxFiles - 1];
  EXPECT_EQ(f.Used, 0);
  EXPECT_EQ(f.BlockBoundary, 512u);
  EXPECT_EQ(f.NextSequenceNumber, 1u);
  EXPECT_EQ(f.Flags.NoGeneralHeader, 1);
  f.Used = 1;
  f.Name = "x.wib";
  f.Channel = tmpfile();
  f.Buffer.reset(new char[WibBufferSize]);
  setvbuf(f.Channel, f.Buffer.get(), _IOFBF, WibBufferSize);
  f.BlockBoundary = 1;
  DChain* c;
  DBlock* b;
  insert_data_chain(&f, "Image.Psd", &c);
  insert_data_block(c, "1", &b);
  insert_symbol(b, "A", "1", nullptr);
  b->DataDim = static_cast<long*>(malloc(3 * sizeof(long)));
  b->Data = malloc(16);
  f.ActiveBlock = b;
  ASSERT_EQ(wib_free_data_file(), 0);
  EXPECT_EQ(f.Used, 0);
  EXPECT_EQ(f.Name, "");
  EXPECT_EQ(f.Channel, nullptr);
  EXPECT_EQ(f.ChainList, nullptr);
  EXPECT_EQ(f.ActiveBlock, nullptr);
  EXPECT_EQ(f.BlockBoundary, 512u);

  // Caller-owned arrays stay with the caller.
  DBlock block;
  long dim[3] = {2, 1, 1};
  block.DataDim = dim;
  block.Flags.ExternalDimAlloc = 1;
  free_block_dim(&block);
  EXPECT_EQ(block.DataDim, nullptr);
  EXPECT_EQ(dim[0], 2);
}

TEST(WibioModel, Limits) {
  EXPECT_EQ(wib_maxfiles(), 20);
  EXPECT_EQ(wib_maxkeylen(), 64);
  EXPECT_EQ(wib_maxvallen(), 2048);
  EXPECT_EQ(wib_maxlinlen(), 1023);
  EXPECT_EQ(wib_maxdatachains(), 20);
  EXPECT_EQ(wib_buffersize(), 512);
  EXPECT_EQ(wib_maxdimensions(), 512);
}
