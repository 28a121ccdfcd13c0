// Header blocks: defaults, image memory, listing, the array of the loop and
// the write decision.
#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cstring>
#include <memory>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "testutil.h"
#include "wibpack/wibio.h"
#include "wibpack/wibio_internal.h"

namespace {

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[3];
};

class HeaderBlocks : public ::testing::Test {
 protected:
  void SetUp() override {
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &b_->cb, b_->ib, 3);
  }
  void TearDown() override { ReleaseOptions(&b_->cb); }
  std::unique_ptr<Blocks> b_;
};

TEST_F(HeaderBlocks, DefaultsOfInitHeaderBlock) {
  ImgHeadBlk* ihb = kelo_new_all_images(3);
  ASSERT_NE(ihb, nullptr);
  const ImgHeadBlk& h = ihb[2];
  EXPECT_EQ(h.blkno, 2);
  EXPECT_EQ(h.I, 0);
  EXPECT_EQ(h.Stream, -1);
  EXPECT_EQ(h.Data, nullptr);
  EXPECT_EQ(h.VarDat, nullptr);
  EXPECT_EQ(h.rori, 1);
  EXPECT_EQ(h.MinClip.V, -3.40282347e38f);
  EXPECT_EQ(h.MaxClip.V, 3.40282347e38f);
  EXPECT_EQ(h.MaxClip.V, FLT_MAX);
  struct { const char* name; float v; float want; } floats[] = {
      {"Const", h.Const.V, 0.0f},        {"Factor", h.Factor.V, 1.0f},
      {"Shift0", h.Shift[0].V, 2.0f},     {"Shift1", h.Shift[1].V, 0.0f},
      {"Dummy", h.Dummy.V, 0.0f},         {"DDummy", h.DDummy.V, 0.0f},
      {"Offset1", h.Offset[1].V, 0.0f},   {"Center2", h.Center[2].V, 0.0f},
      {"BinSiz1", h.BinSiz[1].V, 1.0f},   {"PixSiz2", h.PixSiz[2].V, 1.0f},
      {"Distance", h.SampleDistance.V, 1.0f}, {"WaveLength", h.WaveLength.V, 1.0f},
      {"DetRot3", h.DetRot[3].V, 0.0f}};
  for (const auto& f : floats) EXPECT_EQ(f.v, f.want) << f.name;
  struct { const char* name; long v; long want; } longs[] = {
      {"Bin0", h.Bin[0].V, 2},  {"Bin1", h.Bin[1].V, 1},   {"Gnaw0", h.Gnaw[0].V, 2},
      {"Gnaw2", h.Gnaw[2].V, 0}, {"Orientation", h.Orientation.V, 1},
      {"Projection", h.Projection.V, 1}, {"AxisType1", h.AxisType[1].V, 1},
      {"AxisType2", h.AxisType[2].V, 1}};
  for (const auto& l : longs) EXPECT_EQ(l.v, l.want) << l.name;
  // Every flag starts unknown.
  const int flags[] = {h.MinClip.I, h.MaxClip.I, h.Const.I, h.Factor.I, h.Val.I, h.ErrVal.I,
                       h.Bin[1].I, h.Gnaw[1].I, h.Shift[1].I, h.Dummy.I, h.DDummy.I,
                       h.Offset[1].I, h.Center[1].I, h.BinSiz[2].I, h.PixSiz[2].I,
                       h.SampleDistance.I, h.WaveLength.I, h.DetRot[1].I, h.Title.I,
                       h.Time.I, h.Orientation.I, h.Projection.I, h.AxisType[2].I,
                       h.Header.I};
  for (int f : flags) EXPECT_EQ(f, 0);
  kelo_free_all_images(&b_->cb, ihb);
}

TEST_F(HeaderBlocks, AllocFillsAndFreeReleases) {
  ImgHeadBlk* ihb = kelo_new_all_images(3);
  ImgHeadBlk* h = &ihb[1];
  h->LoopCount = 4;
  long dim[3] = {2, 3, 2};
  int status = -7;
  alloc_image_memory(&b_->cb, dim, h, -1.5f, 1, 1, -1.0f, 1, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(h->Dim[0], 2);
  EXPECT_EQ(h->Dim[1], 3);
  EXPECT_EQ(h->Dim[2], 2);
  EXPECT_EQ(h->ImgByteLen, 24u);
  EXPECT_EQ(h->LoopCount, 0);
  for (int i = 0; i < 6; ++i) {
    EXPECT_EQ(h->Data[i], -1.5f);
    EXPECT_EQ(h->VarDat[i], -1.0f);
  }
  // Allocating again replaces the arrays; without var no variance.
  long dim2[3] = {2, 4, 1};
  alloc_image_memory(&b_->cb, dim2, h, 2.0f, 1, 0, 0.0f, 0, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(h->VarDat, nullptr);
  EXPECT_EQ(h->ImgByteLen, 16u);
  h->I = 1;
  h->ActualLoopCount = 2;
  free_image_memory(h);
  EXPECT_EQ(h->Data, nullptr);
  EXPECT_EQ(h->I, 0);
  EXPECT_EQ(h->Dim[1], 0);
  EXPECT_EQ(h->ImgByteLen, 0u);
  EXPECT_EQ(h->ActualLoopCount, 0);
  kelo_free_all_images(&b_->cb, ihb);
}

TEST_F(HeaderBlocks, AllocWithoutPixelsOrBeyondMemory) {
  ImgHeadBlk* ihb = kelo_new_all_images(3);
  int status = -7;
  long none[3] = {2, 0, 5};
  alloc_image_memory(&b_->cb, none, ihb, 0.0f, 1, 1, 0.0f, 1, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ihb->Data, nullptr);
  EXPECT_EQ(ihb->VarDat, nullptr);
  EXPECT_EQ(ihb->Dim[2], 5);
  long negative[3] = {2, -4, 5};
  alloc_image_memory(&b_->cb, negative, ihb, 0.0f, 1, 0, 0.0f, 0, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ihb->Data, nullptr);
  // A header that claims more pixels than any memory holds.
  long huge[3] = {2, LONG_MAX / 2, LONG_MAX / 2};
  alloc_image_memory(&b_->cb, huge, ihb, 0.0f, 1, 0, 0.0f, 0, &status);
  EXPECT_EQ(status, NotEnoughMemoryAvailable);
  EXPECT_EQ(ihb->Data, nullptr);
  kelo_free_all_images(&b_->cb, ihb);
}

TEST_F(HeaderBlocks, ListingShowsFieldsAndOnlySetValues) {
  ImgHeadBlk* ihb = kelo_new_all_images(3);
  ihb[1].ImNum = 7;
  ihb[1].Dummy.V = -1.0f;
  ihb[1].Dummy.I = 1;
  ihb[1].Offset[2].V = 3.5f;
  ihb[1].Offset[2].I = -1;
  testutil::Capture out(stdout);
  PrintImageHeaderBlock(&ihb[1]);
  const std::string text = out.Text();
  EXPECT_EQ(text.rfind("Image Header Block (blkno = 1)\n", 0), 0u) << text;
  EXPECT_NE(text.find("ihb[ 1].ImNum               = 7\n"), std::string::npos) << text;
  EXPECT_NE(text.find("ihb[ 1].Dummy.V             = -1 (I = 1)\n"), std::string::npos);
  EXPECT_NE(text.find("ihb[ 1].Offset[2].V         = 3.5 (I = -1)\n"), std::string::npos);
  EXPECT_EQ(text.find("DDummy"), std::string::npos);
  EXPECT_EQ(text.find("Title"), std::string::npos);
  // Declared order: ImNum before Dummy before Offset.
  EXPECT_LT(text.find("ImNum"), text.find("Dummy.V"));
  EXPECT_LT(text.find("Dummy.V"), text.find("Offset[2]"));
  kelo_free_all_images(&b_->cb, ihb);
}

TEST_F(HeaderBlocks, NewAllImagesRejectsEmptyArray) {
  EXPECT_EQ(kelo_new_all_images(0), nullptr);
  kelo_free_all_images(&b_->cb, nullptr);  // ignored
}

TEST_F(HeaderBlocks, ImageIsNewFollowsLoopCount) {
  ImgHeadBlk* ihb = kelo_new_all_images(3);
  EXPECT_EQ(ImageIsNew(0, ihb), 1);
  ihb[0].LoopCount = 1;
  EXPECT_EQ(ImageIsNew(0, ihb), 0);
  ihb[0].LoopCount = -2;
  EXPECT_EQ(ImageIsNew(0, ihb), 1);
  kelo_free_all_images(&b_->cb, ihb);
}

// The write decision as a table: Add (set or not, value), output Inc and
// FInc, the header block's LoopCount and the loop positions.
TEST_F(HeaderBlocks, WriteDecision) {
  struct Case {
    int blkno;
    int addI;
    long add;
    long inc, finc, loopcount;
    long floop, floopmax, loop, loopmax;
    int want;
  } cases[] = {
      {1, 0, 1, 1, 1, 5, 1, 1, 1, 1, 0},  // only block 0 is written
      {0, 0, 1, 1, 1, 1, 1, 3, 1, 5, 1},  // output increment: every step
      {0, 0, 1, 0, 1, 1, 1, 3, 2, 5, 0},  // increment 0: summing
      {0, 0, 1, 0, 1, 5, 1, 3, 5, 5, 1},  // ... written at the last image step
      {0, 0, 1, 0, 0, 5, 1, 3, 5, 5, 0},  // ... not while outer steps remain
      {0, 0, 1, 0, 0, 9, 3, 3, 5, 5, 1},  // ... at the very last step
      {0, 1, 3, 1, 1, 2, 1, 1, 2, 9, 0},  // add 3: not after 2 steps
      {0, 1, 3, 1, 1, 3, 1, 1, 3, 9, 1},  // add 3: after 3 steps
      {0, 1, 3, 1, 1, 1, 2, 2, 9, 9, 1},  // add 3: the very last step
      {0, 1, 0, 1, 1, 7, 1, 2, 9, 9, 0},  // add 0: only the very last step
      {0, 1, 0, 1, 1, 7, 2, 2, 9, 9, 1},
  };
  ImgHeadBlk* ihb = kelo_new_all_images(3);
  for (const Case& c : cases) {
    b_->cb.Add.I = c.addI;
    b_->cb.Add.V = c.add;
    b_->ib[0].Inc.V = c.inc;
    b_->ib[0].FInc.V = c.finc;
    ihb[0].LoopCount = c.loopcount;
    EXPECT_EQ(image_to_write(&b_->cb, b_->ib, c.blkno, ihb, c.floop, c.floopmax, c.loop,
                             c.loopmax),
              c.want)
        << "add " << c.addI << "/" << c.add << " inc " << c.inc << " finc " << c.finc
        << " count " << c.loopcount << " floop " << c.floop << "/" << c.floopmax << " loop "
        << c.loop << "/" << c.loopmax;
  }
  kelo_free_all_images(&b_->cb, ihb);
}

}  // namespace

namespace {

// The header list belongs to the block that read it: releasing an output
// block made from the template leaves the input's list alone.
TEST(HeaderList, ReleasedOnlyByItsOwnBlock) {
  ImgHeadBlk* ihb = kelo_new_all_images(2);
  ASSERT_EQ(wib_new_header("i1"), 1);
  strcpy(ihb[1].Header.V, "i1");
  ihb[1].Header.I = 1;
  strcpy(ihb[0].Header.V, "i1");
  ihb[0].Header.I = 1;
  HList* list = nullptr;
  free_image_memory(&ihb[0]);
  EXPECT_EQ(ihb[0].Header.I, 0);
  EXPECT_EQ(search_header_list("i1", &list), 0);  // still there
  free_image_memory(&ihb[1]);
  EXPECT_EQ(ihb[1].Header.I, 0);
  EXPECT_NE(search_header_list("i1", &list), 0);  // released
  delete[] ihb;
  wib_free_header(nullptr);
}

}  // namespace
