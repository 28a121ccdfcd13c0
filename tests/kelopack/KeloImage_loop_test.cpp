// The ranges of the image loop: step counts, pattern flags, file number
// and image number defaults.
#include <gtest/gtest.h>

#include <cstring>
#include <memory>

#include "kelopack/KeloImage.h"
#include "kelopack/KeloImage_internal.h"

namespace {

using namespace kelo_image;

TEST(LoopRanges, StepCount) {
  struct Case { long first, last, inc, want; } cases[] = {
      {1, 10, 1, 10}, {10, 1, -1, 10}, {1, 10, 2, 5}, {1, 10, 3, 4}, {5, 1, 1, 1},
      {1, 0, 1, 1},   {3, 3, 5, 1},    {1, 1, 0, -1}, {-4, 4, 4, 3},
  };
  for (const Case& c : cases)
    EXPECT_EQ(step_count(c.first, c.last, c.inc), c.want)
        << c.first << ".." << c.last << " by " << c.inc;
  const long a[] = {-1, 7, 3, -1};
  EXPECT_EQ(smallest_count(a, 4), 3);
  const long none[] = {-1, -1};
  EXPECT_EQ(smallest_count(none, 2), 1);
}

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[3];
};

class Ranges : public ::testing::Test {
 protected:
  void Init(int n) {
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &b_->cb, b_->ib, n);
  }
  void TearDown() override {
    if (b_) ReleaseOptions(&b_->cb);
  }
  static void Set(IO_long& v, long value) {
    v.V = value;
    v.I = 1;
  }
  ImgBlk& ib(int i) { return b_->ib[i]; }
  std::unique_ptr<Blocks> b_;
};

TEST_F(Ranges, PatternFlags) {
  struct Case { const char* out; const char* in1; const char* in2; int s2m, m2s; } cases[] = {
      {"out%%.wib", "in.wib", "in.wib", 1, 0},
      {"out.wib", "in%%.wib", "in.wib", 0, 1},
      {"out.wib", "in.wib", "in%.wib", 0, 1},
      {"out%.wib", "in%.wib", "in.wib", 0, 0},
      {"out.wib", "in.wib", "in.wib", 0, 0},
  };
  Init(3);
  for (const Case& c : cases) {
    strcpy(ib(0).Name.V, c.out);
    strcpy(ib(1).Name.V, c.in1);
    strcpy(ib(2).Name.V, c.in2);
    set_pattern_flags(&b_->cb, b_->ib);
    EXPECT_EQ(Single2Multi(), c.s2m) << c.out << " " << c.in1 << " " << c.in2;
    EXPECT_EQ(Multi2Single(), c.m2s) << c.out << " " << c.in1 << " " << c.in2;
  }
  // Without inputs there is no relation.
  b_->cb.ImgBlkLen = 1;
  strcpy(ib(0).Name.V, "out%%.wib");
  set_pattern_flags(&b_->cb, b_->ib);
  EXPECT_EQ(Single2Multi(), 0);
}

TEST_F(Ranges, FileNumbersOfALoneOutput) {
  Init(1);
  ib(0).FFirst.V = ib(0).FLast.V = ib(0).FInc.V = 9;
  EXPECT_EQ(file_ranges(&b_->cb, b_->ib), 1);
  EXPECT_EQ(ib(0).FFirst.V, 1);
  EXPECT_EQ(ib(0).FLast.V, 1);
  EXPECT_EQ(ib(0).FInc.V, 1);
}

TEST_F(Ranges, FileNumbersFromInput1) {
  Init(3);
  Set(ib(1).FFirst, 3);
  Set(ib(1).FLast, 9);
  Set(ib(1).FInc, 2);
  Set(ib(0).FInc, 0);    // all input files into one output file number
  Set(ib(2).FFirst, 5);  // a constant file number: no FLast of its own
  EXPECT_EQ(file_ranges(&b_->cb, b_->ib), 4);
  EXPECT_EQ(ib(0).FFirst.V, 3);
  EXPECT_EQ(ib(0).FFirst.I, 0);  // written back, not marked set
  EXPECT_EQ(ib(0).FLast.V, 9);
  EXPECT_EQ(ib(0).FInc.V, 0);
  EXPECT_EQ(ib(2).FFirst.V, 5);
  EXPECT_EQ(ib(2).FLast.V, 9);
  EXPECT_EQ(ib(2).FInc.V, 0);
  // With a last file of its own block 2 follows block 1's increment and
  // limits the outer steps.
  Set(ib(2).FLast, 7);
  ib(2).FInc.I = 0;
  EXPECT_EQ(file_ranges(&b_->cb, b_->ib), 2);
  EXPECT_EQ(ib(2).FInc.V, 2);
}

TEST_F(Ranges, FileNumberDefaults) {
  Init(2);
  ib(1).FFirst.V = 4;  // not set: the default 1 is used
  EXPECT_EQ(file_ranges(&b_->cb, b_->ib), 1);
  EXPECT_EQ(ib(1).FFirst.V, 1);
  EXPECT_EQ(ib(1).FLast.V, 1);
  Set(ib(1).FFirst, 4);
  ib(1).FLast.I = 0;
  EXPECT_EQ(file_ranges(&b_->cb, b_->ib), 1);
  EXPECT_EQ(ib(1).FLast.V, 4);  // FLast defaults to FFirst
}

// Image ranges of one input file with images min..max: block 1's options,
// allneeded, and the ranges and step count that result.
TEST_F(Ranges, ImageNumbers) {
  struct Case {
    long min, max;
    int firstI; long first;
    int lastI; long last;
    int incI; long inc;
    int outIncI; long outInc;
    int allneeded;
    long wantFirst, wantLast, wantInc, wantSteps;
    long wantOutFirst, wantOutInc;
  } cases[] = {
      {1, 10, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 10, 1, 10, 1, 1},      // default range
      {1, 10, 0, 0, 0, 0, 1, -1, 0, 0, 1, 10, 1, -1, 10, 10, -1},  // negative increment
      {1, 10, 0, 0, 1, 15, 0, 0, 0, 0, 1, 1, 10, 1, 10, 1, 1},     // last cut back
      {1, 10, 0, 0, 1, 15, 0, 0, 0, 0, 0, 1, 15, 1, 15, 1, 1},     // ... unless not all needed
      {1, 10, 1, 3, 1, 8, 1, 2, 0, 0, 1, 3, 8, 2, 3, 3, 2},
      {1, 10, 0, 0, 0, 0, 0, 0, 1, 0, 1, 1, 10, 1, 10, 1, 0},      // output increment 0
      {1, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 1, 0, 1, 1, 1, 1},         // empty file: one step
      {-1, 10, 0, 0, 0, 0, 1, -1, 0, 0, 1, 10, -1, -1, 12, 10, -1},
  };
  for (const Case& c : cases) {
    Init(3);
    ib(1).First = {c.first, c.firstI};
    ib(1).Last = {c.last, c.lastI};
    ib(1).Inc = {c.inc, c.incI};
    ib(0).Inc = {c.outInc, c.outIncI};
    ib(1).Memory = {2, 1};
    long First[3], Last[3], Inc[3];
    const long steps =
        image_ranges(&b_->cb, b_->ib, c.min, c.max, c.allneeded, First, Last, Inc);
    SCOPED_TRACE(testing::Message() << "file " << c.min << ".." << c.max << " first "
                                    << c.first << " last " << c.last << " inc " << c.inc);
    EXPECT_EQ(First[1], c.wantFirst);
    EXPECT_EQ(Last[1], c.wantLast);
    EXPECT_EQ(Inc[1], c.wantInc);
    EXPECT_EQ(steps, c.wantSteps);
    EXPECT_EQ(First[0], c.wantOutFirst);
    EXPECT_EQ(Inc[0], c.wantOutInc);
    EXPECT_EQ(ib(0).Memory.V, 2);  // the output memory follows input 1
    // A set last image is used limited but stays as given in the block.
    EXPECT_EQ(ib(1).Last.V, c.lastI ? c.last : c.wantLast);
    // Block 2 has no last image of its own: a constant image number.
    EXPECT_EQ(First[2], c.wantFirst);
    EXPECT_EQ(Inc[2], 0);
    ReleaseOptions(&b_->cb);
    b_.reset();
  }
}

TEST_F(Ranges, ImageNumbersOfALoneOutput) {
  Init(1);
  long First[1], Last[1], Inc[1];
  EXPECT_EQ(image_ranges(&b_->cb, b_->ib, 5, 9, 1, First, Last, Inc), 1);
  EXPECT_EQ(First[0], 1);
  EXPECT_EQ(Last[0], 1);
  EXPECT_EQ(Inc[0], 1);
}

}  // namespace
