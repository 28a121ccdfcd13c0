// Files of the image blocks: shared streams and open names.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "testutil.h"

namespace {

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[3];
};

class Files : public ::testing::Test {
 protected:
  void SetUp() override {
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &b_->cb, b_->ib, 3);
  }
  void TearDown() override { ReleaseOptions(&b_->cb); }
  ImgBlk& ib(int i) { return b_->ib[i]; }
  std::unique_ptr<Blocks> b_;
};

TEST_F(Files, SharedStreamsCloseWithTheLastBlock) {
  struct Case { int s0, s1, s2; int want0, want1, want2; } cases[] = {
      {-1, -1, -1, 0, 0, 0},  // nothing open
      {3, 4, 5, 1, 1, 1},     // three files
      {3, 4, 4, 1, 0, 0},     // blocks 1 and 2 share a file
      {-1, 4, -1, 0, 1, 0},
      {4, 4, 4, 0, 0, 0},
  };
  for (const Case& c : cases) {
    ib(0).Stream = c.s0;
    ib(1).Stream = c.s1;
    ib(2).Stream = c.s2;
    int status = -7;
    EXPECT_EQ(StreamCanBeClosed(&b_->cb, b_->ib, 0, &status), c.want0);
    EXPECT_EQ(StreamCanBeClosed(&b_->cb, b_->ib, 1, &status), c.want1);
    EXPECT_EQ(StreamCanBeClosed(&b_->cb, b_->ib, 2, &status), c.want2);
    EXPECT_EQ(status, Success);
  }
}

TEST_F(Files, AlreadyOpenedComparesPatternNames) {
  testutil::TempDir dir;
  const std::string open = dir.file("img007.wib");
  strcpy(ib(1).FileName, open.c_str());
  int status = -7;
  ib(1).Stream = -1;
  EXPECT_EQ(AlreadyOpened(&b_->cb, b_->ib, 1, open.c_str(), 7, &status), 0);  // no stream
  ib(1).Stream = 2;
  const std::string pattern = dir.file("img%%%.wib");
  struct Case { std::string fname; long number; int want; } cases[] = {
      {pattern, 7, 1},
      {pattern + ",1,10", 7, 1},  // trailing parameters do not count
      {pattern, 8, 0},
      {dir.file("./img007.wib"), 1, 1},  // compared as full paths
      {dir.file("other.wib"), 7, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AlreadyOpened(&b_->cb, b_->ib, 1, c.fname.c_str(), c.number, &status), c.want)
        << c.fname << " " << c.number;
    EXPECT_EQ(status, Success);
  }
}

}  // namespace
