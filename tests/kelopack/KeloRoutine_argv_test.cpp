#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloRoutine.h"
#include "testutil.h"
#include "wibpack/wibio.h"

namespace {

// Writes images first..last of 6 x 4 pixels into a new file.
void WriteImages(const std::string& path, long first, long last) {
  int err = 0, status = 0;
  long stream = wib_open_data_file(path.c_str(), "new", &err, &status);
  ASSERT_EQ(status, 0);
  std::vector<float> data(24, 1.0f);
  const long dim[3] = {2, 6, 4};
  for (long n = first; n <= last; n++) {
    wib_write_header_float(stream, n, 1, "Dummy", -1.0f, &err, &status);
    wib_write_data(stream, n, 1, dim, data.data(), MFloat, &err, &status);
    ASSERT_EQ(status, 0);
  }
  wib_close_data_file(stream, &err, &status);
}

// The blocks of a program with one input after reading "prog words...".
class ArgvBlocksTest : public ::testing::Test {
 protected:
  void Read(std::vector<std::string> words, const std::string& answers = "") {
    words.insert(words.begin(), "prog");
    words_ = words;
    argv_.clear();
    arg_no_ = 0;
    for (auto& w : words_) argv_.push_back(w.data());
    argv_.push_back(nullptr);
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1", nullptr, 1, &b_->cb, b_->ib, 2);
    int status = -99;
    ReadOptions(argv_.data(), &arg_no_, &b_->cb, b_->ib, &status);
    ASSERT_EQ(status, Success);
    answers_ = answers;
    in_ = fmemopen(answers_.data(), answers_.size() + 1, "r");
    b_->cb.infile = in_;
    argv_start(&b_->cb, 1);
    for (int k = 0; k < 2; k++) init_header_block(ihb_, k);
  }
  void TearDown() override {
    if (b_) {
      for (int k = 0; k < 2; k++) free_image_memory(&ihb_[k]);
      ReleaseOptions(&b_->cb);
      b_.reset();
    }
    if (in_) fclose(in_);
    in_ = nullptr;
  }

  struct Blocks {
    CmdBlk cb;
    ImgBlk ib[2];
  };
  std::unique_ptr<Blocks> b_;
  std::vector<std::string> words_;
  std::vector<char*> argv_;
  std::string answers_;
  FILE* in_ = nullptr;
  int arg_no_ = 0;
  ImgHeadBlk ihb_[2];
  testutil::TempDir dir_;
};

// With an extension the default output name is the input's name without
// directory, its extension replaced; the image range comes from the file;
// the input file is closed again.
TEST_F(ArgvBlocksTest, DefaultsFromTheInput) {
  const std::string in = dir_.file("run.7.wib");
  WriteImages(in, 4, 9);
  Read({}, in + "\n\n\n\n\n\n\n\n");
  int status = -99;
  testutil::Capture out(stdout);
  ArgvBlocks(&b_->cb, b_->ib, ihb_, nullptr, ".out", 0, 1, &status);
  const std::string text = out.Text();
  ASSERT_EQ(status, Success) << text;
  EXPECT_NE(text.find("Output sequence [run.7.out] : "), std::string::npos) << text;
  EXPECT_NE(text.find("First image of input sequence 1 [4] : "), std::string::npos);
  EXPECT_NE(text.find("Last image of input sequence 1 [9] : "), std::string::npos);
  EXPECT_NE(text.find("Output dummy, e.g. -1 : "), std::string::npos);
  EXPECT_NE(text.find("Output dimension 1, e.g. 6 : "), std::string::npos);
  const ImgBlk* ib = b_->ib;
  EXPECT_STREQ(ib[0].Name.V, "run.7.out");
  EXPECT_EQ(ib[1].First.V, 4);
  EXPECT_EQ(ib[1].Last.V, 9);
  EXPECT_EQ(ib[1].OpenMode.V, IO_Old | IO_FileProtect);
  EXPECT_EQ(ib[0].OpenMode.V, IO_ImageProtect);
  EXPECT_EQ(ib[1].Stream, -1);
  EXPECT_EQ(ihb_[1].ImNum, 4);
  EXPECT_EQ(ihb_[0].Dim[1], 6);
}

// Naming only the first image on the command line makes it the last too;
// an input that cannot be opened stops with its status.
TEST_F(ArgvBlocksTest, FirstImageOnlyAndMissingInput) {
  const std::string in = dir_.file("a.wib");
  WriteImages(in, 1, 5);
  Read({in, "out.wib", "3"});
  int status = -99;
  {
    testutil::Capture out(stdout);
    ArgvFilenames(&b_->cb, b_->ib, ihb_, 0, 1, &status);
  }
  EXPECT_EQ(status, Success);
  EXPECT_EQ(b_->ib[1].First.V, 3);
  EXPECT_EQ(b_->ib[1].Last.V, 3);
  EXPECT_EQ(b_->ib[1].Last.I, 1);
  TearDown();

  Read({dir_.file("none.wib"), "out.wib"});
  ArgvFilenames(&b_->cb, b_->ib, ihb_, 0, 1, &status);
  EXPECT_EQ(status, FileNotFound);
  KeloError_init();
}

}  // namespace
