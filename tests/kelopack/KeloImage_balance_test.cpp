// Balancing header blocks with the options of their image block, template
// copies and output header defaults.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"

namespace {

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[2];
};

class Balance : public ::testing::Test {
 protected:
  void SetUp() override {
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &b_->cb, b_->ib, 2);
    ihb_ = kelo_new_all_images(2);
  }
  void TearDown() override {
    kelo_free_all_images(&b_->cb, ihb_);
    ReleaseOptions(&b_->cb);
    KeloError_init();
  }
  template <typename T>
  static void Set(T& field, const char* text) {
    strcpy(field.V, text);
    field.I = 1;
  }
  int Run(int blkno) {
    int status = -7;
    balance_header_block(&b_->cb, blkno, num_, b_->ib, ihb_, &status);
    return status;
  }
  ImgBlk& ib(int i) { return b_->ib[i]; }
  std::unique_ptr<Blocks> b_;
  ImgHeadBlk* ihb_ = nullptr;
  long num_[2] = {3, 5};
};

// Dummy and tolerance from the header (value and flag: -9 means absent)
// and from options ("" means not given).
TEST_F(Balance, DummyRules) {
  struct Case {
    float hDummy; int hDummyI;
    float hDDummy; int hDDummyI;
    const char* oDummy;
    const char* oDDummy;
    float wantDummy, wantDDummy;
    int wantDummyI, wantDDummyI;
  } cases[] = {
      {0, 0, 0, 0, "", "", 0.0f, 0.1f, 1, 1},        // no "Dummy": no dummy
      {-1, 1, 0, 0, "", "", -1.0f, 0.1f, 1, 1},      // tolerance at least 0.1
      {1e7f, 1, 0, 0, "", "", 1e7f, 100.0f, 1, 1},   // |Dummy| * 1e-5
      {1e7f, 1, 5, 1, "", "", 1e7f, 100.0f, 1, 1},   // a smaller tolerance is raised
      {1e7f, 1, 500, 1, "", "", 1e7f, 500.0f, 1, 1}, // a larger one stays
      {-1, 1, 0.5f, 1, "-2e6", "", -2e6f, 20.0f, -1, -1},  // option resets the tolerance
      {-1, 1, 0.5f, 1, "-2", "0.7", -2.0f, 0.7f, -1, -1},  // unless given too
      {0, 0, 0, 0, "", "3", 0.0f, 3.0f, 1, -1},
  };
  for (const Case& c : cases) {
    init_header_block(ihb_, 1);
    ihb_[1].Dummy = {c.hDummy, c.hDummyI};
    ihb_[1].DDummy = {c.hDDummy, c.hDDummyI};
    ib(1).Dummy.I = 0;
    ib(1).DDummy.I = 0;
    if (*c.oDummy) Set(ib(1).Dummy, c.oDummy);
    if (*c.oDDummy) Set(ib(1).DDummy, c.oDDummy);
    ASSERT_EQ(Run(1), Success);
    SCOPED_TRACE(testing::Message() << c.hDummy << "/" << c.hDDummy << " options "
                                    << c.oDummy << "/" << c.oDDummy);
    EXPECT_EQ(ihb_[1].Dummy.V, c.wantDummy);
    EXPECT_EQ(ihb_[1].DDummy.V, c.wantDDummy);
    EXPECT_EQ(ihb_[1].Dummy.I, c.wantDummyI);
    EXPECT_EQ(ihb_[1].DDummy.I, c.wantDDummyI);
  }
}

TEST_F(Balance, OptionsOverrideWithKeysAndFlags) {
  ihb_[1].Center[1] = {12.0f, 1};
  ihb_[1].Offset[2] = {4.0f, 1};
  Set(ib(1).Factor, "[INUM]*2");
  Set(ib(1).Center[2], "7.5");
  Set(ib(1).Title, "image [INUM] of [FNUM]");
  Set(ib(1).Orientation, "3");
  Set(ib(1).Bin[1], "2");
  Set(ib(1).Dim[1], "64");
  ib(1).Projection = {2, 1};
  ib(1).AxisType[2] = {3, 1};
  ib(1).Stream = 4;
  ib(1).StreamOpenMode = IO_Old;
  ASSERT_EQ(Run(1), Success);
  const ImgHeadBlk& h = ihb_[1];
  EXPECT_EQ(h.ImNum, 5);
  EXPECT_EQ(h.Stream, 4);
  EXPECT_EQ(h.StreamOpenMode, IO_Old);
  EXPECT_EQ(h.Factor.V, 10.0f);
  EXPECT_EQ(h.Factor.I, -1);
  EXPECT_EQ(h.Center[1].V, 12.0f);  // from the header
  EXPECT_EQ(h.Center[1].I, 1);
  EXPECT_EQ(h.Center[2].V, 7.5f);
  EXPECT_EQ(h.Center[2].I, -1);
  EXPECT_EQ(h.Offset[1].V, 0.0f);   // unknown offsets become known 0
  EXPECT_EQ(h.Offset[1].I, 1);
  EXPECT_EQ(h.Offset[2].V, 4.0f);
  EXPECT_STREQ(h.Title.V, "image 5 of 1");
  EXPECT_EQ(h.Title.I, -1);
  EXPECT_EQ(h.Orientation.V, 3);
  EXPECT_EQ(h.rori, 3);
  EXPECT_EQ(h.Bin[1].V, 2);
  EXPECT_EQ(h.Bin[1].I, -1);
  EXPECT_EQ(h.Bin[2].I, 0);
  EXPECT_EQ(h.Dim[1], 64);
  EXPECT_EQ(h.Projection.V, 2);
  EXPECT_EQ(h.AxisType[2].V, 3);
  EXPECT_EQ(h.AxisType[2].I, -1);
  EXPECT_EQ(h.Shift[1].I, 0);  // the shift belongs to the output only
}

TEST_F(Balance, ProgramsAreCompiledUnderTheBlockNames) {
  Set(ib(0).Val, "2 * _oval # a comment");
  Set(ib(0).ErrVal, "_oerr+_oval");
  Set(ib(1).Val, "_i1val+[INUM]");
  Set(b_->cb.Shift[1], "1.5");
  ASSERT_EQ(Run(0), Success);
  ASSERT_EQ(Run(1), Success);
  ASSERT_NE(ihb_[0].Val.V, nullptr);
  EXPECT_STREQ(ihb_[0].Val.V->Name, "oval");
  EXPECT_STREQ(ihb_[0].ErrVal.V->Name, "oerr");
  EXPECT_STREQ(ihb_[1].Val.V->Name, "i1val");
  EXPECT_EQ(ihb_[0].Shift[1].V, 1.5f);
  int err = 0;
  EXPECT_EQ(num_runprog(ihb_[0].Val.V, &err, 4.0), 8.0);
  EXPECT_EQ(num_runprog(ihb_[0].ErrVal.V, &err, 4.0, 1.0), 5.0);
  EXPECT_EQ(num_runprog(ihb_[1].Val.V, &err, 4.0), 9.0);
  EXPECT_EQ(err, 0);
}

TEST_F(Balance, FailuresStopWithStatusAndMessage) {
  struct Case {
    const char* factor;
    const char* val;
    const char* message;
  } cases[] = {
      {"abc", "", "abc"},              // a factor that is no number
      {"1", "2*_nosuch", "2*_nosuch"},  // a program with an unknown variable
      {"1", "(2*_i1val", "(2*_i1val"},  // unbalanced parenthesis
  };
  for (const Case& c : cases) {
    init_header_block(ihb_, 1);
    Set(ib(1).Factor, c.factor);
    ib(1).Val.I = 0;
    if (*c.val) Set(ib(1).Val, c.val);
    Set(ib(1).Title, "never");
    SetKeloError("KeloImage", "test", nullptr);
    EXPECT_NE(Run(1), Success) << c.factor << " " << c.val;
    ASSERT_TRUE(KeloErrorBlock().Message.has_value());
    EXPECT_EQ(*KeloErrorBlock().Message, c.message);
    EXPECT_EQ(ihb_[1].Title.I, 0);  // nothing further was balanced
    EXPECT_EQ(ihb_[1].Val.V, nullptr);
  }
}

TEST(Template, CopiesHeaderNotConditioning) {
  ImgHeadBlk* ihb = kelo_new_all_images(2);
  ImgHeadBlk& in = ihb[1];
  in.Dim[0] = 2;
  in.Dim[1] = 4;
  in.Dim[2] = 3;
  in.Dummy = {-1.0f, -1};
  in.DDummy = {0.1f, 1};
  in.Center[1] = {3.0f, -1};
  in.PixSiz[2] = {1e-4f, 1};
  in.DetRot[2] = {0.5f, -1};
  in.Orientation = {4, -1};
  in.Factor = {9.0f, -1};
  in.Bin[1] = {4, -1};
  in.DoNotScale = 1;
  strcpy(in.Title.V, "title");
  in.Title.I = -1;
  strcpy(in.Header.V, "i1");
  in.Header.I = 1;
  ImgHeadBlk& out = ihb[0];
  template_header_block(12, 0, 0, 0, in.Dim, nullptr, &in, &out);
  EXPECT_EQ(out.blkno, 0);
  EXPECT_EQ(out.ImNum, 12);
  EXPECT_EQ(out.Stream, -1);
  EXPECT_EQ(out.Dim[1], 4);
  EXPECT_EQ(out.Dim[2], 3);
  EXPECT_EQ(out.DoNotScale, 1);
  EXPECT_STREQ(out.Header.V, "i1");
  EXPECT_EQ(out.Dummy.V, -1.0f);
  EXPECT_EQ(out.Dummy.I, 1);  // every copied value counts as known
  EXPECT_EQ(out.Center[1].I, 1);
  EXPECT_EQ(out.PixSiz[2].V, 1e-4f);
  EXPECT_EQ(out.DetRot[2].V, 0.5f);
  EXPECT_EQ(out.DetRot[2].I, 1);
  EXPECT_EQ(out.Orientation.V, 4);
  EXPECT_STREQ(out.Title.V, "title");
  EXPECT_EQ(out.Title.I, 1);
  EXPECT_EQ(out.Factor.V, 1.0f);  // conditioning stays at the defaults
  EXPECT_EQ(out.Factor.I, 0);
  EXPECT_EQ(out.Bin[1].V, 1);
  EXPECT_EQ(out.Center[2].I, 0);
  out.Header.I = 0;
  in.Header.I = 0;
  delete[] ihb;
}

TEST(OutputDefaults, DummyToleranceAndOffsets) {
  ImgHeadBlk* ihb = kelo_new_all_images(1);
  set_output_header_defaults(ihb);
  EXPECT_EQ(ihb->Dummy.V, 0.0f);
  EXPECT_EQ(ihb->DDummy.V, 0.1f);
  EXPECT_EQ(ihb->Offset[1].I, 1);
  EXPECT_EQ(ihb->Offset[2].I, 1);
  init_header_block(ihb, 0);
  ihb->Dummy = {-1e6f, -1};
  ihb->Offset[2] = {5.0f, -1};
  set_output_header_defaults(ihb);
  EXPECT_EQ(ihb->DDummy.V, 10.0f);
  EXPECT_EQ(ihb->Dummy.I, -1);
  EXPECT_EQ(ihb->Offset[2].V, 5.0f);
  delete[] ihb;
}

}  // namespace
