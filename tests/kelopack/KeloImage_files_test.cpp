// Files of the image blocks: shared streams and open names.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "KeloImage_fixture.h"
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

// ---------------------------------------------------------------------------
// Opening, sharing and closing real files

using FileState = ImageFiles;

TEST_F(FileState, DummyFileAndDontOpenGetNamesButNoStream) {
  int status = -7;
  OpenImageFile(cb(), ibs(), 0, "/dev/null", 3, IO_New, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ib(0).Stream, -1);
  EXPECT_EQ(ib(0).StreamOpenMode, IO_New | IO_Dummy);
  EXPECT_STREQ(ib(0).FileName, "/dev/null");
  EXPECT_EQ(ib(0).FileNumber, 3);

  OpenImageFile(cb(), ibs(), 1, Path("in%%.wib,2,4").c_str(), 7, IO_Old | IO_DontOpen, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ib(1).Stream, -1);
  EXPECT_EQ(std::string(ib(1).FileName), Path("in07.wib"));
  EXPECT_EQ(ib(1).FileNumber, 7);
  long lo = -5, hi = -5;
  ib(1).StreamOpenMode |= IO_DontReadWrite;
  SearchMinMaxImage(cb(), ibs(), 1, &lo, &hi, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(lo, 1);
  EXPECT_EQ(hi, 0);

  CloseImageFile(cb(), ibs(), 0, &status);
  EXPECT_EQ(status, Success);
  EXPECT_STREQ(ib(0).FileName, "");
}

TEST_F(FileState, TwoBlocksShareOneStreamClosedWithTheLast) {
  Init(3);
  FileLayout s;
  s.numbers = {3, 5, 9};
  MakeFile("in.wib", s);
  int status = -7;
  const long mode = IO_Old | IO_FileProtect;
  OpenImageFile(cb(), ibs(), 1, Path("in.wib").c_str(), 1, mode, &status);
  ASSERT_EQ(status, Success);
  OpenImageFile(cb(), ibs(), 2, (dir_.path() + "/./in.wib").c_str(), 1, mode, &status);
  ASSERT_EQ(status, Success);
  const int stream = ib(1).Stream;
  ASSERT_GE(stream, 0);
  EXPECT_EQ(ib(2).Stream, stream);

  long lo = 0, hi = 0;
  SearchMinMaxImage(cb(), ibs(), 2, &lo, &hi, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(lo, 3);
  EXPECT_EQ(hi, 9);

  // An open block cannot be opened again and keeps its mode.
  OpenImageFile(cb(), ibs(), 1, "/dev/null", 1, IO_New, &status);
  EXPECT_EQ(status, FileAlreadyOpened);
  EXPECT_EQ(ib(1).StreamOpenMode, mode);

  int err = 0, wst = 0;
  CloseImageFile(cb(), ibs(), 1, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ib(1).Stream, -1);
  EXPECT_EQ(wib_test_header(stream, 5, 1, &err, &wst), 1);  // still open for block 2
  CloseImageFile(cb(), ibs(), 2, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(wib_test_header(stream, 5, 1, &err, &wst), 0);
  EXPECT_EQ(err, NoFileOpen);
}

TEST_F(FileState, OpenModes) {
  FileLayout s;
  s.numbers = {1};
  MakeFile("old.wib", s);
  int status = -7;
  // An old file that does not exist: FileNotFound, the name is kept.
  OpenImageFile(cb(), ibs(), 1, Path("none.wib").c_str(), 1, IO_Old, &status);
  EXPECT_EQ(status, FileNotFound);
  EXPECT_EQ(ib(1).Stream, -1);
  EXPECT_EQ(std::string(ib(1).FileName), Path("none.wib"));

  // A file opened read-only cannot be opened for writing by another block.
  OpenImageFile(cb(), ibs(), 1, Path("old.wib").c_str(), 1, IO_Old | IO_FileProtect, &status);
  ASSERT_EQ(status, Success);
  OpenImageFile(cb(), ibs(), 0, Path("old.wib").c_str(), 1, IO_ImageProtect, &status);
  EXPECT_EQ(status, ExternalErrorReport);
  EXPECT_EQ(KeloErrorBlock().ExternalError, IncompatibleOpeningModes);
  EXPECT_EQ(ib(0).Stream, -1);
  kelo_close_all_images(cb(), ibs(), &status);
  EXPECT_EQ(status, Success);

  // "new" empties an existing file.
  OpenImageFile(cb(), ibs(), 0, Path("old.wib").c_str(), 1, IO_New, &status);
  ASSERT_EQ(status, Success);
  CloseImageFile(cb(), ibs(), 0, &status);
  EXPECT_EQ(testutil::ReadFile(Path("old.wib")), "");
}

// ---------------------------------------------------------------------------
// The reading pass of the image loop

TEST_F(FileState, ReadingPassProgressLines) {
  FileLayout s;
  s.numbers = {1, 2};
  MakeFile("in.wib", s);
  SetText(ib(1).Name, Path("in.wib"));
  long fnum[2] = {1, 1};
  long num[2] = {1, 1};
  ImgHeadBlk* ihb = kelo_new_all_images(2);
  int status = -7;
  auto pass = [&](int allneeded, int* result) {
    testutil::Capture out(stdout);
    *result = kelo_read_all_images(cb(), ibs(), fnum, num, ihb, allneeded, &status);
    return out.Text();
  };
  int r = -1;
  const std::string name = Path("in.wib");
  EXPECT_EQ(pass(1, &r), "Reading image: " + name + ", Image : 1 done\n");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ihb[1].Data[5], 105.0f);
  // The same image again: nothing is read.
  EXPECT_EQ(pass(1, &r), "");
  EXPECT_EQ(r, 1);
  // A missing image: reported, the pass goes on or ends.
  num[1] = 4;
  EXPECT_EQ(pass(0, &r), "Reading image: " + name + ", Image : 4 missing\n");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ihb[1].I, 0);
  EXPECT_EQ(pass(1, &r), "Reading image: " + name + ", Image : 4 missing\n");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(status, Success);
  // Headers only, and another memory.
  num[1] = 2;
  ib(1).OpenMode.V |= IO_DontReadData;
  ib(1).Memory.V = 1;
  CloseImageFile(cb(), ibs(), 1, &status);
  EXPECT_EQ(pass(1, &r), "Reading header: " + name + ", Image : 2 done\n");
  EXPECT_EQ(ihb[1].Data, nullptr);
  EXPECT_EQ(ihb[1].I, 1);
  ib(1).Memory.V = -1;
  num[1] = 1;
  EXPECT_EQ(pass(0, &r), "Reading header: " + name + ", Image : 1, Memory : -1 missing\n");

  // A file that does not exist.
  SetText(ib(1).Name, Path("none.wib"));
  ib(1).OpenMode.V = IO_Old;
  ib(1).Memory.V = 1;
  EXPECT_EQ(pass(0, &r), "Reading image: " + Path("none.wib") + ", Image : 1 missing\n");
  EXPECT_EQ(r, 1);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(pass(1, &r), "");
  EXPECT_EQ(r, 0);
  EXPECT_EQ(status, Success);
  kelo_free_all_images(cb(), ihb);
}

TEST_F(FileState, NameThatCannotBeFormed) {
  long fnum[2] = {1, 1};
  ImgHeadBlk* ihb = kelo_new_all_images(2);
  int status = -7;
  SetText(ib(1).Name, "${KELO_TEST_NO_SUCH_VARIABLE}/in.wib");
  EXPECT_EQ(kelo_open_all_images(cb(), ibs(), fnum, ihb, 0, &status), 0);
  EXPECT_EQ(status, FileNameError);
  EXPECT_EQ(*KeloErrorBlock().RoutineName, "OpenImageFile");
  EXPECT_EQ(*KeloErrorBlock().Message, "${KELO_TEST_NO_SUCH_VARIABLE}/in.wib");
  kelo_free_all_images(cb(), ihb);
}

}  // namespace
