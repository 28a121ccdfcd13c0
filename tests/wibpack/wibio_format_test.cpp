#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/wibio_internal.h"

namespace {

// A scratch stream holding bytes, positioned at the start.
FILE* Stream(const std::string& bytes) {
  FILE* f = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

// A block outside any file, freed at the end.
struct ScratchBlock {
  DBlock block;
  ~ScratchBlock() { free_symbol_list(&block); }
  std::vector<std::pair<std::string, std::string>> Symbols() const {
    std::vector<std::pair<std::string, std::string>> out;
    for (SElement* s = block.SymbolList; s; s = s->Next) out.emplace_back(s->Key, s->Value);
    return out;
  }
};

struct ReadResult {
  int start = 0;
  int result = 0;
  std::vector<std::pair<std::string, std::string>> symbols;
  std::string err;
  long pos = 0;  // stream position afterwards
};

ReadResult ReadHeader(const std::string& bytes, int wib_keys_only = 0) {
  ReadResult r;
  FILE* f = Stream(bytes);
  ScratchBlock b;
  testutil::Capture err(stderr);
  r.start = check_start(f);
  if (r.start == 1) r.result = get_symbol_list(f, &b.block, wib_keys_only);
  r.err = err.Text();
  r.pos = ftell(f);
  r.symbols = b.Symbols();
  fclose(f);
  return r;
}

using Symbols = std::vector<std::pair<std::string, std::string>>;

std::string Encode(const std::string& value, long W, size_t keylen) {
  return break_lines(quote_value(escape_value(value)), W, keylen);
}

}  // namespace

TEST(WibioFormat, BlockStart) {
  const struct {
    std::string bytes;
    int expect;
  } cases[] = {{"{", 1},     {"\r\n{", 1},  {"\n{", 1},   {"\r{", 1}, {"", 0},
               {"\r", 0},    {"\r\n", 0},   {"x{", -1},   {std::string(1, '\0'), -1},
               {"\r\r{", -1}, {"\n\n{", -1}, {" {", -1}};
  for (const auto& c : cases) {
    FILE* f = Stream(c.bytes);
    EXPECT_EQ(check_start(f), c.expect) << "bytes: " << testing::PrintToString(c.bytes);
    fclose(f);
  }
}

TEST(WibioFormat, ReadsHeadersTolerantly) {
  const std::string long_key(70, 'K');
  const std::string long_value(2100, 'v');
  const struct {
    std::string bytes;
    Symbols expect;
  } cases[] = {
      {"{\r\nA = 1 ;\r\nB = two words ;\r\n\r\n}\n", {{"A", "1"}, {"B", "two words"}}},
      {"{\r\n# Title = no ;\r\nA = 1 ;\r\n}\r\n", {{"A", "1"}}},
      {"{\r\n#c1\r\n#c2 = x ;\nA=1;}\n", {{"A", "1"}}},
      {"{ #A = 1 ;\r\n}\n", {{"#A", "1"}}},
      {"{\r\nA = 1 ;\r\n#B = 2 ;}\r\n}\n", {{"A", "1"}}},
      {"{\r\nno separator here\r\nA = 1 ;\r\n}\n", {{"A", "1"}}},
      {"{\r\npartial; A = 1 ;\r\n}\n", {{"A", "1"}}},
      {"{;;;\tDim _1\t= 5 ;;;\r\n}\n", {{"Dim _1", "5"}}},
      {"{\r\nA = 1 ;\r\nA = 2 ;\r\n}\n", {{"A", "2"}}},
      {"{\r\nA =   \r\n  first\r\n second  ;\r\n}\n", {{"A", "first\r\n second "}}},
      {"{\r\nA = ;\r\n}\n", {{"A", ""}}},
      {"{\r\nA = 1\r\nB = 2 ;\r\n}\n", {{"A", "1\r\nB = 2"}}},
      {"{\r\n" + long_key + " = x ;\r\n}\n", {{long_key.substr(0, 64), "x"}}},
      {"{\r\nV = " + long_value + " ;\r\n}\n", {{"V", long_value.substr(0, 2048)}}},
      {"{}\n", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes.substr(0, 80)));
    ReadResult r = ReadHeader(c.bytes);
    EXPECT_EQ(r.start, 1);
    EXPECT_EQ(r.result, WibReadOk);
    EXPECT_EQ(r.symbols, c.expect);
    EXPECT_EQ(r.err, "");
    EXPECT_EQ(r.pos, static_cast<long>(c.bytes.size()));
  }
}

TEST(WibioFormat, DamagedHeadersAreReported) {
  const std::string nul(1, '\0');
  const struct {
    std::string bytes;
    std::string message;
  } cases[] = {
      {"{\r\nAB}C = 1 ;\r\n}\n", "\nERROR: position 6, '}' read, separator '=' not found\n"},
      {"{\r\nABC", "\nERROR: position 6, '?' read, separator '=' not found\n"},
      {"{\r\nA" + nul + "B = 1 ;\r\n}\n", "\nERROR: position 5, '?' read, separator '=' not found\n"},
      {"{\r\nA = 1", "\nERROR: position 8,'?' read, terminator ';' not found\n"},
      {"{\r\nA = 1" + nul + " ;}\n", "\nERROR: position 9,'?' read, terminator ';' not found\n"},
      {"{\r\nA = 1 ;\r\n}x", "\nERROR: position 14, end marker \xB4x\xB4 not followed by eol\n"},
      {"{\r\nA = 1 ;\r\n}\rx", "\nERROR: position 15, end marker \xB4x\xB4 not followed by eol\n"},
      {"{\r\nA = 1 ;\r\n}", "\nERROR: position 13, end marker \xB4?\xB4 not followed by eol\n"},
      {"{\r\n# only a comment", "\nERROR: position 19, '?' read, separator '=' not found\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.bytes));
    ReadResult r = ReadHeader(c.bytes);
    EXPECT_EQ(r.result, WibReadBad);
    EXPECT_EQ(r.err, c.message);
  }
}

TEST(WibioFormat, SymbolPositionsAndFormatKeysOnly) {
  const std::string bytes = "{\r\nWIB_A = 1 ;\r\nwib_b =  2 ;\r\nTitle = x ;\r\nWIB_C = 3 ;\r\n}\n";
  FILE* f = Stream(bytes);
  ScratchBlock b;
  ASSERT_EQ(check_start(f), 1);
  ASSERT_EQ(get_symbol_list(f, &b.block, 1), WibReadOk);
  EXPECT_EQ(b.Symbols(), (Symbols{{"WIB_A", "1"}, {"wib_b", "2"}}));
  EXPECT_EQ(ftell(f), static_cast<long>(bytes.find("Title")));
  SElement* s;
  ASSERT_EQ(search_symbol(&b.block, "wib_b", &s), 0);
  EXPECT_EQ(s->KeyPos, bytes.find("wib_b"));
  EXPECT_EQ(s->ValPos, bytes.find("2"));
  fclose(f);
}

TEST(WibioFormat, EscapesQuotesAndDecodes) {
  EXPECT_EQ(escape_value("a;b{c}\\d\ne"), "a\\:b\\(c\\)\\\\d\\le");
  EXPECT_EQ(Encode("a;b{c}", 0, 1), "a\\:b\\(c\\)");
  EXPECT_EQ(Encode("", 0, 1), "\"\"");
  EXPECT_EQ(Encode(" x", 0, 1), "\" x\"");
  EXPECT_EQ(Encode("x\t", 0, 1), "\"x\t\"");
  EXPECT_EQ(Encode("\"q", 0, 1), "\"\"q\"");
  EXPECT_EQ(Encode("plain text", 0, 1), "plain text");

  const struct {
    std::string raw, expect;
  } cases[] = {
      {"abc", "abc"},       {"  abc  ", "abc"},      {"\"\"", ""},
      {"\" a \"", " a "},   {"a\\sb\\tc", "a b\tc"}, {"x\\s", "x "},
      {"\\n\\r\\l\\f\\v", "\n\r\n\f\v"},             {"\\:\\(\\)", ";{}"},
      {"a\\\\b", "a\\b"},   {"a\\\"", "a\""},        {"end\\", "end"},
      {"ab\\\r\ncd", "abcd"}, {"ab\\\ncd", "abcd"},   {"one\r\n two", "one two"},
      {"\"q\"\"", "q\""},   {"a\\x", "ax"},          {"ab\\\r\nsd", "absd"},
  };
  for (const auto& c : cases) EXPECT_EQ(decode_value(c.raw), c.expect) << testing::PrintToString(c.raw);
}

TEST(WibioFormat, EveryValueRoundTrips) {
  const std::vector<std::string> values = {
      "",
      " ",
      "a;b{c}d\\e",
      " leading",
      "trailing ",
      "\tboth\t",
      "line one\nline two\r\nline three\rend",
      "\r\n",
      "\"",
      "\"quoted\"",
      "\\",
      "x\\",
      "ends with escape ;",
      "a b c d e f g h i j k l m n o p q r s t u v w x y z",
      "spaces    inside    and  ;;  {{ }} \\\\ at  the   end   ",
      std::string("byte \xB4 and \xE9 stay"),
      std::string(300, 'x') + " " + std::string(5, 's') + "\\s\\l",
  };
  for (long W : {0L, 1L, 2L, 3L, 10L, 80L}) {
    for (size_t keylen : {1u, 8u, 20u}) {
      for (const std::string& v : values) {
        std::string stored = Encode(v, W, keylen);
        EXPECT_EQ(decode_value(stored), v)
            << "W=" << W << " keylen=" << keylen << " value=" << testing::PrintToString(v)
            << " stored=" << testing::PrintToString(stored);
      }
    }
  }
}

TEST(WibioFormat, SoftLineBreaksKeepLinesWithinTheWidth) {
  EXPECT_EQ(break_lines("hello world foo", 10, 0), "hello \\\r\nworld foo");
  EXPECT_EQ(break_lines("abcdefghij", 6, 1), "a\\\r\nbcdef\\\r\nghij");
  EXPECT_EQ(break_lines("abc", 1, 5), "a\\\r\nbc");
  // Escapes are not split; no break before a single last character.
  EXPECT_EQ(break_lines("\\:\\:\\:", 2, 0), "\\:\\\r\n\\:\\\r\n\\:");
  EXPECT_EQ(break_lines("abc", 2, 0), "a\\\r\nbc");

  const std::string text =
      "The quick brown fox jumps over the lazy dog; then it runs {far} away into the forest "
      "and never comes back again, which is a long sentence without much meaning at all.";
  for (long W : {10L, 20L, 80L}) {
    const size_t keylen = 9;
    std::string stored = Encode(text, W, keylen);
    size_t start = 0, line = 0;
    for (;;) {
      size_t brk = stored.find("\\\r\n", start);
      size_t len = (brk == std::string::npos ? stored.size() : brk + 1) - start;
      // The first line always holds a character, even after a long key.
      size_t width = len + (line == 0 ? keylen + 3 : 0);
      size_t limit = line == 0 ? std::max<size_t>(W, keylen + 5) : W;
      EXPECT_LE(width, limit) << "W=" << W << " line " << line;
      if (brk == std::string::npos) break;
      start = brk + 3;
      line++;
    }
    EXPECT_GT(line, 0u);
    EXPECT_EQ(decode_value(stored), text);
  }
}

TEST(WibioFormat, ContinuationParts) {
  std::vector<ValuePart> parts;
  ASSERT_EQ(split_value("K", std::string(3000, 'a'), 0, parts), 0);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[0].Key, "K");
  EXPECT_EQ(parts[1].Key, "K~1");
  EXPECT_EQ(parts[2].Key, "K~2");
  EXPECT_EQ(parts[0].Value.size(), 1021u);
  EXPECT_EQ(parts[1].Value.size(), 1021u);
  EXPECT_EQ(parts[2].Value.size(), 958u);
  ScratchBlock b;
  SElement* s;
  ASSERT_EQ(insert_string(&b.block, "K", std::string(3000, 'a').c_str(), nullptr), 0);
  ASSERT_EQ(search_string(&b.block, "K", &s), 0);
  EXPECT_EQ(s->String, std::string(3000, 'a'));

  // Characters with escapes take two places, line breaks four.
  ASSERT_EQ(split_value("K", std::string(600, ';'), 0, parts), 0);
  EXPECT_EQ(parts[0].Value, [] {
    std::string s;
    for (int i = 0; i < 511; i++) s += "\\:";
    return s;
  }());
  ASSERT_EQ(split_value("K", std::string(300, '\n'), 0, parts), 0);
  EXPECT_EQ(parts[0].Value.size(), 2u * 256);  // 255 * 4 = 1020 places, then one more

  // The key of a part loses its blanks; keys that cannot continue refuse.
  ASSERT_EQ(split_value(" Title ", std::string(1500, 'x'), 0, parts), 0);
  EXPECT_EQ(parts[1].Key, "Title~1");
  EXPECT_EQ(split_value("Ti~tle", std::string(1500, 'x'), 0, parts), -1);
  EXPECT_EQ(split_value(std::string(63, 'k').c_str(), std::string(1500, 'x'), 0, parts), -1);
  EXPECT_EQ(split_value(std::string(63, 'k').c_str(), "short", 0, parts), 0);
  EXPECT_EQ(split_value(std::string(62, 'k').c_str(), std::string(1500, 'x'), 0, parts), 0);

  // With a tiny line width a part stays readable (within the raw limit).
  std::string value(2500, 'y');
  ASSERT_EQ(split_value("K", value, 2, parts), 0);
  std::string joined;
  for (const ValuePart& p : parts) {
    EXPECT_LE(p.Value.size(), static_cast<size_t>(WibMaxValLen));
    joined += decode_value(p.Value);
  }
  EXPECT_EQ(joined, value);
}

TEST(WibioFormat, LongValuesAreStoredInPartsAndReadBackWhole) {
  ScratchBlock b;
  std::string value;
  for (int i = 0; value.size() < 5000; i++) value += "word" + std::to_string(i) + (i % 7 ? " " : ";{}\\\n");
  SElement* s;
  ASSERT_EQ(insert_string(&b.block, "Title", value.c_str(), &s), 0);
  EXPECT_EQ(s->Key, "Title");
  std::vector<std::string> keys;
  for (SElement* e = b.block.SymbolList; e; e = e->Next) keys.push_back(e->Key);
  ASSERT_GE(keys.size(), 5u);
  EXPECT_EQ(keys[1], "Title~1");
  ASSERT_EQ(search_string(&b.block, "title", &s), 0);
  EXPECT_EQ(s->String, value);

  // A shorter value removes the parts left from the longer one.
  ASSERT_EQ(insert_string(&b.block, "Title", "short", &s), 0);
  EXPECT_EQ(b.Symbols(), (Symbols{{"Title", "short"}}));
  ASSERT_EQ(search_string(&b.block, "Title", &s), 0);
  EXPECT_EQ(s->String, "short");

  // Reading a file with such parts reassembles them.
  ScratchBlock written;
  ASSERT_EQ(insert_string(&written.block, "Title", value.c_str(), nullptr), 0);
  std::string bytes = "{\r\n";
  for (SElement* e = written.block.SymbolList; e; e = e->Next) bytes += e->Key + " = " + e->Value + " ;\r\n";
  bytes += "}\n";
  FILE* f = Stream(bytes);
  ScratchBlock read;
  ASSERT_EQ(check_start(f), 1);
  ASSERT_EQ(get_symbol_list(f, &read.block, 0), WibReadOk);
  fclose(f);
  ASSERT_EQ(search_string(&read.block, "Title", &s), 0);
  EXPECT_EQ(s->String, value);
}

TEST(WibioFormat, DefaultHeaderIs8192BytesWithPaddingRows) {
  ScratchBlock b;
  b.block.TextPos = 1024;
  insert_symbol(&b.block, "Title", "a title", nullptr);
  insert_symbol(&b.block, "Dim_1", "100", nullptr);
  insert_symbol(&b.block, "DataType", "FloatValue", nullptr);
  insert_symbol_root(&b.block, KHeaderSize, HEADERSIZE_PLACEHOLDER, nullptr);
  insert_symbol_root(&b.block, KBinarySize, "40448", nullptr);
  insert_symbol_root(&b.block, KDataBlockID, "1.Image.Psd", nullptr);
  ASSERT_EQ(header_layout(&b.block, MINIMUM_HEADERSIZE_OUT, BLOCK_BOUNDARY, 1), 0);
  EXPECT_EQ(b.block.TextLen, 8192u);
  std::string text;
  ASSERT_EQ(header_text(&b.block, text), 0);
  ASSERT_EQ(text.size(), 8192u);
  const std::string head =
      "{\r\nWIB_DataBlockID = 1.Image.Psd ;\r\nWIB_BinarySize = 40448 ;\r\n"
      "WIB_HeaderSize = 8192 ;\r\nDataType = FloatValue ;\r\nDim_1 = 100 ;\r\n"
      "Title = a title ;\r\n";
  EXPECT_EQ(text.substr(0, head.size()), head);
  EXPECT_EQ(text.substr(text.size() - 4), "\r\n}\n");
  // Padding: rows of 78 spaces ended by CR LF, then a short row of spaces.
  std::string pad = text.substr(head.size(), text.size() - 4 - head.size());
  EXPECT_EQ(pad.size(), b.block.PadLen);
  const std::string row = std::string(78, ' ') + "\r\n";
  size_t rows = pad.size() / row.size();
  for (size_t r = 0; r < rows; r++) ASSERT_EQ(pad.substr(r * row.size(), row.size()), row) << r;
  EXPECT_EQ(pad.substr(rows * row.size()), std::string(pad.size() % row.size(), ' '));
  SElement* s;
  ASSERT_EQ(search_symbol(&b.block, "Title", &s), 0);
  EXPECT_EQ(s->KeyPos, 1024 + head.find("Title"));
  EXPECT_EQ(s->ValPos, 1024 + head.find("a title"));
}

TEST(WibioFormat, HeaderLayoutGrowsAndFixedPlacesHold) {
  ScratchBlock b;
  insert_symbol_root(&b.block, KHeaderSize, HEADERSIZE_PLACEHOLDER, nullptr);
  for (int i = 0; i < 400; i++)
    insert_symbol(&b.block, ("Key_" + std::to_string(i)).c_str(), "some value here", nullptr);
  ASSERT_EQ(header_layout(&b.block, 8192, 512, 1), 0);
  EXPECT_EQ(b.block.TextLen % 512, 0u);
  EXPECT_GT(b.block.TextLen, 8192u);
  std::string text;
  ASSERT_EQ(header_text(&b.block, text), 0);
  EXPECT_EQ(text.size(), b.block.TextLen);
  EXPECT_NE(text.find("WIB_HeaderSize = " + std::to_string(b.block.TextLen) + " ;"), std::string::npos);

  // A fixed place keeps its length, and a header that outgrows it fails.
  unsigned long len = b.block.TextLen;
  b.block.Flags.DiskBlockFixed = 1;
  remove_symbol(&b.block, "Key_0", nullptr);
  ASSERT_EQ(header_layout(&b.block, 512, 512, 1), 0);
  EXPECT_EQ(b.block.TextLen, len);
  ASSERT_EQ(header_text(&b.block, text), 0);
  EXPECT_EQ(text.size(), len);
  for (int i = 0; i < 100; i++)
    insert_symbol(&b.block, ("More_" + std::to_string(i)).c_str(), "some value here", nullptr);
  EXPECT_EQ(header_layout(&b.block, 512, 512, 1), -1);

  // Without the size key, and with tiny minimum and boundary.
  ScratchBlock small;
  insert_symbol(&small.block, "A", "1", nullptr);
  ASSERT_EQ(header_layout(&small.block, 0, 1, 0), 0);
  ASSERT_EQ(header_text(&small.block, text), 0);
  EXPECT_EQ(text, "{\r\nA = 1 ;\r\n\r\n}\n");
}

TEST(WibioFormat, PaddingOfAnyLength) {
  for (unsigned long len : {0ul, 1ul, 2ul, 3ul, 78ul, 79ul, 80ul, 81ul, 82ul, 160ul, 161ul, 1000ul}) {
    std::string pad;
    pad_spaces(pad, len);
    ASSERT_EQ(pad.size(), len);
    // A row's CR LF is written only where it ends before the last two bytes.
    for (size_t i = 0; i < pad.size(); i++) {
      size_t in_row = i % 80, cr = i - in_row + 78;
      char expect = ' ';
      if (cr + 2 < len && in_row == 78) expect = '\r';
      if (cr + 2 < len && in_row == 79) expect = '\n';
      ASSERT_EQ(pad[i], expect) << "len " << len << " at " << i;
    }
  }
}

TEST(WibioFormat, FindsTheEndOfAHeader) {
  std::string header = "{\r\nA = 1 ;\r\n" + std::string(512 - 16, ' ') + "\r\n}\n";
  ASSERT_EQ(header.size(), 512u);
  std::string binary(512, 'B');
  binary[100] = '}';
  binary[101] = '\n';
  FILE* f = Stream(std::string(512, 'x') + header + binary);
  unsigned long pos = 0;
  ASSERT_EQ(find_header_end(f, 512, 512, &pos), 0);
  EXPECT_EQ(pos, 1024u);
  fclose(f);

  // Not at a boundary multiple: found character by character.
  f = Stream("{\r\nA = 1 ;\r\n}\r\nBINARY");
  ASSERT_EQ(find_header_end(f, 0, 512, &pos), 0);
  EXPECT_EQ(pos, 15u);
  ASSERT_EQ(find_header_end(f, 0, 1, &pos), 0);
  EXPECT_EQ(pos, 15u);
  fclose(f);

  f = Stream("{\r\nA = 1 ;\r\n}x}");
  EXPECT_EQ(find_header_end(f, 0, 512, &pos), -1);
  fclose(f);
}

TEST(WibioFormat, BlockIdsChainKeysAndVersions) {
  DFile file;
  std::string key;
  const struct {
    long memory;
    const char* expect;
  } chains[] = {{0, "General"}, {1, "Image.Psd"}, {-1, "Image.Error"}, {3, "Image.Psd.3"},
                {-2, "Image.Error.2"}};
  for (const auto& c : chains) {
    ASSERT_EQ(data_chain_key(&file, c.memory, key), 0);
    EXPECT_EQ(key, c.expect);
  }
  DChain chain;
  DBlock general;
  general.Chain = &chain;
  chain.File = &file;
  file.GeneralBlock = &general;
  insert_symbol(&general, "WIB_DataKey-2", "Other.Chain", nullptr);
  ASSERT_EQ(data_chain_key(&file, 2, key), 0);
  EXPECT_EQ(key, "Other.Chain");
  ASSERT_EQ(data_chain_key(&file, -2, key), 0);
  EXPECT_EQ(key, "Image.Error.2");
  free_symbol_list(&general);

  ASSERT_EQ(data_block_key(-3, 1, key), 0);
  EXPECT_EQ(key, "-3");
  ASSERT_EQ(data_block_key(7, 0, key), 0);
  EXPECT_EQ(key, "All");

  DBlock block;
  block.BlockKey = "5";
  DChain image;
  image.ChainKey = "Image.Psd";
  block.Chain = &image;
  EXPECT_STREQ(block_id(&block), "5.Image.Psd");
  std::string bk, ck;
  ASSERT_EQ(split_block_id("5.Image.Psd", bk, ck), 0);
  EXPECT_EQ(bk, "5");
  EXPECT_EQ(ck, "Image.Psd");
  EXPECT_EQ(split_block_id("5", bk, ck), -1);
  EXPECT_EQ(split_block_id(".x", bk, ck), -1);

  EXPECT_EQ(v1_block_key_name("Image.Psd"), "Image");
  EXPECT_EQ(v1_block_key_name("Image.psd"), "Image");
  EXPECT_EQ(v1_block_key_name("Image.Error"), "Image.Error");
  EXPECT_EQ(header_id(2), "EH:000002:000000:000000");
  EXPECT_EQ(header_id(12345678), "EH:12345678:000000:000000");

  DFVersion v = parse_version("V2.40");
  EXPECT_EQ(v.Major, 2);
  EXPECT_EQ(v.Minor, 40);
  EXPECT_EQ(version_text(v), "2.40");
  EXPECT_EQ(version_text(parse_version("1")), "1.00");
  EXPECT_EQ(version_text(parse_version("1.5")), "1.05");
  EXPECT_LT(compare_versions(parse_version("1.99"), parse_version("2.00")), 0);
  EXPECT_EQ(compare_versions(parse_version("2.40"), parse_version(DATA_FORMAT_VERSION)), 0);
}
