#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/bslio.h"
#include "wibpack/wibio.h"

namespace {

using testutil::WriteFile;

// Frame f of a BSL data file: value f * 1000 + i % 977 at index i.
std::string Frames(long n1, long n2, long frames, bool swap = false) {
  std::vector<float> v(static_cast<size_t>(n1 * n2 * frames));
  for (size_t i = 0; i < v.size(); i++)
    v[i] = static_cast<float>(static_cast<long>(i) / (n1 * n2) + 1) * 1000 +
           static_cast<float>(i % static_cast<size_t>(n1 * n2) % 977);
  if (swap) wib_bswap(v.data(), v.data(), 4, v.size());
  return std::string(reinterpret_cast<const char*>(v.data()), v.size() * 4);
}

class Bsl : public ::testing::Test {
 protected:
  void TearDown() override {
    wib_free_data_file();
    wib_set_bsl_input_byteorder(0);
  }
  std::vector<float> Read(long stream, long frame, int memory, std::vector<long>* pdim) {
    int err, status;
    long* dim = nullptr;
    size_t size = 0;
    void* data = nullptr;
    wib_read_data(stream, frame, memory, &dim, &size, &data, MFloat, &err, &status);
    EXPECT_EQ(err, RoutineSucceeded) << wib_report_data_error(err);
    if (err) return {};
    pdim->assign(dim, dim + dim[0] + 1);
    const float* f = static_cast<const float*>(data);
    return std::vector<float>(f, f + wib_dim_product(dim));
  }
  testutil::TempDir dir_;
};

TEST_F(Bsl, TheExampleHeaderGivesThreeFramesOfOneMemory) {
  WriteFile(dir_.file("X01000.DAT"), Frames(512, 256, 3));
  WriteFile(dir_.file("X00000.000"),
            "  The first title  \r\nsecond title\r\n 512 256 3 0 1 0 0 0 0 0 \r\nX01000.DAT\r\n");
  int err, status;
  long s = wib_open_data_file(dir_.file("X00000.000").c_str(), "read", &err, &status);
  ASSERT_EQ(err, RoutineSucceeded);
  ASSERT_GE(s, 0);
  long min, max;
  EXPECT_EQ(wib_search_minmax_number(s, 1, &min, &max, &err, &status), 1);
  EXPECT_EQ(min, 1);
  EXPECT_EQ(max, 3);
  const std::string expected = Frames(512, 256, 3);
  for (long f = 1; f <= 3; f++) {
    std::vector<long> dim;
    std::vector<float> v = Read(s, f, 1, &dim);
    EXPECT_EQ(dim, (std::vector<long>{2, 512, 256}));
    ASSERT_EQ(v.size(), 512u * 256u);
    EXPECT_EQ(std::string(reinterpret_cast<const char*>(v.data()), v.size() * 4),
              expected.substr(static_cast<size_t>(f - 1) * 524288, 524288));
    const char* title = nullptr;
    wib_read_header_string(s, f, 1, "Title", &title, &err, &status);
    EXPECT_STREQ(title, "The first title");
    wib_read_header_string(s, f, 1, "SubTitle", &title, &err, &status);
    EXPECT_STREQ(title, "second title");
  }
  EXPECT_EQ(wib_search_stream(dir_.file("X00000.000").c_str(), "old", &err, &status), s);
  EXPECT_EQ(err, IncompatibleOpeningModes);  // a BSL file is read only
  wib_close_data_file(s, &err, &status);
  EXPECT_EQ(err, RoutineSucceeded);

  // The table of bslio itself.
  int entry = open_bsl_file(dir_.file("X00000.000").c_str(), "read");
  ASSERT_GE(entry, 0);
  const BslFile* bsl = bsl_file(entry);
  ASSERT_NE(bsl, nullptr);
  EXPECT_EQ(bsl->Path, dir_.path() + "/");
  ASSERT_EQ(bsl->MemoryList.size(), 1u);
  const BslMemory& m = bsl->MemoryList[0];
  EXPECT_EQ(m.MemoryKey, "1");
  EXPECT_EQ(m.FileName, "X01000.DAT");
  EXPECT_EQ(m.Indicator, "512 256 3 0 1 0 0 0 0 0");
  ASSERT_EQ(m.FrameList.size(), 3u);
  for (unsigned long f = 0; f < 3; f++) {
    EXPECT_EQ(m.FrameList[f].FrameKey, std::to_string(f + 1));
    EXPECT_EQ(m.FrameList[f].DataSpec.BinaryFilePos, f * 524288);
    EXPECT_EQ(m.FrameList[f].DataSpec.BinaryFileLen, 524288u);
    EXPECT_EQ(m.FrameList[f].DataSpec.BinaryFileName, dir_.file("X01000.DAT"));
  }
  EXPECT_EQ(close_bsl_file(entry), 0);
  EXPECT_EQ(bsl_file(entry), nullptr);
}

TEST_F(Bsl, HighByteFirstDataAndSeveralMemories) {
  WriteFile(dir_.file("A.DAT"), Frames(4, 3, 2, wib_byteorder() == LowByteFirst));
  WriteFile(dir_.file("B.DAT"), Frames(2, 2, 1, wib_byteorder() == LowByteFirst));
  WriteFile(dir_.file("H.000"), "t1\nt2\n4 3 2 0 0 0 0 0 0 0\nA.DAT\n2 2 1 0 0 0 0 0 0 0\nB.DAT\n");
  wib_set_bsl_input_byteorder(HighByteFirst);
  int err, status;
  long s = wib_open_data_file(dir_.file("H.000").c_str(), "old", &err, &status);
  ASSERT_EQ(err, RoutineSucceeded);
  std::vector<long> dim;
  std::vector<float> v = Read(s, 2, 1, &dim);
  ASSERT_EQ(v.size(), 12u);
  EXPECT_EQ(v[0], 2000.f);
  EXPECT_EQ(v[11], 2011.f);
  const char* order = nullptr;
  wib_read_header_string(s, 2, 1, "ByteOrder", &order, &err, &status);
  EXPECT_STREQ(order, "HighByteFirst");
  EXPECT_EQ(wib_test_header(s, 1, 2, &err, &status), 1);  // memory 2: Image.Psd.2
  EXPECT_EQ(wib_test_header(s, 2, 2, &err, &status), 0);
  // The byte order was fixed when the file was opened; the header of a
  // frame stays in memory when other frames are read.
  wib_set_bsl_input_byteorder(0);
  v = Read(s, 1, 2, &dim);
  EXPECT_EQ(dim, (std::vector<long>{2, 2, 2}));
  EXPECT_EQ(v, (std::vector<float>{1000, 1001, 1002, 1003}));
  wib_read_header_string(s, 2, 1, "ByteOrder", &order, &err, &status);
  EXPECT_STREQ(order, "HighByteFirst");
  // Nothing can be written: the change fails when it would go to disk.
  EXPECT_EQ(wib_write_header_string(s, 2, 1, "Note", "lost", &err, &status), 1);
  testutil::Capture capture(stderr);
  wib_close_data_file(s, &err, &status);
  EXPECT_EQ(err, WriteDataError);
  EXPECT_EQ(status, status_error);
  wib_close_data_file(s, &err, &status);
  EXPECT_EQ(err, RoutineSucceeded);
  EXPECT_NE(capture.Text().find("is opened for reading only"), std::string::npos);
}

TEST_F(Bsl, BadHeaderFiles) {
  WriteFile(dir_.file("D.DAT"), Frames(4, 4, 2));
  struct Case {
    const char* what;
    const char* text;
    int err;
  };
  const Case cases[] = {
      {"one title line", "only one line\n", CannotOpenAsBslFile},
      {"nine numbers", "a\nb\n4 4 2 0 0 0 0 0 0\nD.DAT\n", CannotOpenAsBslFile},
      {"zero size", "a\nb\n0 4 2 0 0 0 0 0 0 0\nD.DAT\n", CannotOpenAsBslFile},
      {"negative frames", "a\nb\n4 4 -2 0 0 0 0 0 0 0\nD.DAT\n", CannotOpenAsBslFile},
      {"number too large", "a\nb\n4 99999999999999999999 2 0 0 0 0 0 0 0\nD.DAT\n",
       CannotOpenAsBslFile},
      {"binary data", "\x01\x02\x03\n\x00\x00\n", CannotOpenAsBslFile},
  };
  testutil::Capture capture(stderr);
  for (const Case& c : cases) {
    WriteFile(dir_.file("bad.000"), c.text);
    int err, status;
    EXPECT_EQ(wib_open_data_file(dir_.file("bad.000").c_str(), "read", &err, &status), -1)
        << c.what;
    EXPECT_EQ(err, c.err) << c.what;
    EXPECT_EQ(status, status_error);
  }
  // More frames than the binary file holds, a missing binary file, and an
  // indicator line without a name line.
  WriteFile(dir_.file("many.000"),
            "a\nb\n4 4 1000000000000 0 0 0 0 0 0 0\nD.DAT\n4 4 5 0 0 0 0 0 0 0\nNONE.DAT\n"
            "4 4 1 0 0 0 0 0 0 0\n");
  int err, status;
  long s = wib_open_data_file(dir_.file("many.000").c_str(), "read", &err, &status);
  ASSERT_EQ(err, RoutineSucceeded);
  long min, max;
  EXPECT_EQ(wib_search_minmax_number(s, 1, &min, &max, &err, &status), 1);
  EXPECT_EQ(max, 2);
  EXPECT_EQ(wib_search_minmax_number(s, 2, &min, &max, &err, &status), 0);
  EXPECT_EQ(wib_test_header(s, 1, 3, &err, &status), 0);
  wib_close_data_file(s, &err, &status);
  // A BSL file cannot be opened for writing.
  EXPECT_EQ(wib_open_data_file(dir_.file("many.000").c_str(), "any", &err, &status), -1);
  EXPECT_EQ(err, ErrorReadingGeneralBlock);
  const std::string text = capture.Text();
  EXPECT_NE(text.find("holds 2 of 1000000000000 frames"), std::string::npos);
}

}  // namespace
