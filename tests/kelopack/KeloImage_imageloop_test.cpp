// The image loop driven with small per-image functions on files made in the
// test: default ranges, increments, summing, single-to-multi and
// multi-to-single series, the dummy file, missing inputs, failures in the
// middle of a series and the progress lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeloImage_fixture.h"

namespace {

// Per-image functions: they add the input image (block 1) into the output
// image (block 0), plus a constant kept in the command block's Arg[0].
void CopyInput(CmdBlk* pcb, long* /*num*/, ImgHeadBlk* ihb, int* pstatus) {
  ImgHeadBlk& out = ihb[0];
  const ImgHeadBlk& in = ihb[1];
  const long n = out.Dim[1] * out.Dim[2];
  if (!out.Data || !in.Data || in.Dim[1] * in.Dim[2] != n) {
    *pstatus = Failed;
    return;
  }
  // A new image holds dummies: the first step replaces them.
  const bool first = out.ActualLoopCount == 0;
  for (long i = 0; i < n; ++i)
    out.Data[i] = (first ? 0.0f : out.Data[i]) + in.Data[i] + pcb->Arg[0].V;
  *pstatus = Success;
}

// Fails at input image 3.
void FailAtThree(CmdBlk* pcb, long* num, ImgHeadBlk* ihb, int* pstatus) {
  if (num[1] == 3) {
    SetKeloErrorMessage("image three");
    *pstatus = DivByZero;
    return;
  }
  CopyInput(pcb, num, ihb, pstatus);
}

class Loop : public ImageFiles {
 protected:
  // in.wib with images numbers (value 100 n + i), as input 1; output
  // out.wib.
  void Input(std::vector<long> numbers, const std::string& name = "in.wib") {
    Spec s;
    s.numbers = std::move(numbers);
    MakeFile(name, s);
    SetText(ib(1).Name, Path(name));
  }
  // Runs the loop; returns standard output.
  std::string Run(KeloImageFunction f, int allneeded, int* pstatus) {
    testutil::Capture out(stdout);
    ImageLoop(cb(), ibs(), f, nullptr, nullptr, allneeded, pstatus);
    return out.Text();
  }
  // Progress lines of one step that reads input n and writes output o.
  std::string Step(long n, long o, const std::string& in = "in.wib",
                   const std::string& outname = "out.wib") {
    return "Reading image: " + Path(in) + ", Image : " + std::to_string(n) + " done\n" +
           "Writing : " + Path(outname) + ", Image : " + std::to_string(o) + "\n\n";
  }
  void Output(const std::string& name = "out.wib") { SetText(ib(0).Name, Path(name)); }
};

TEST_F(Loop, DefaultRangesCopyEveryImage) {
  Input({1, 2, 3});
  Output();
  int status = -7;
  EXPECT_EQ(Run(CopyInput, 1, &status), Step(1, 1) + Step(2, 2) + Step(3, 3));
  ASSERT_EQ(status, Success);
  EXPECT_EQ(Numbers(Path("out.wib")), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(Pixels(Path("out.wib"), 2)[7], 207.0f);
  // Header blocks and files are released.
  EXPECT_EQ(ib(0).Stream, -1);
  EXPECT_EQ(ib(1).Stream, -1);
}

TEST_F(Loop, AFailureInTheMiddleKeepsTheImagesWritten) {
  Input({1, 2, 3, 4, 5});
  Output();
  int status = -7;
  EXPECT_EQ(Run(FailAtThree, 1, &status),
            Step(1, 1) + Step(2, 2) + "Reading image: " + Path("in.wib") + ", Image : 3 done\n");
  EXPECT_EQ(status, DivByZero);
  EXPECT_EQ(*KeloErrorBlock().RoutineName, "Function");
  EXPECT_EQ(*KeloErrorBlock().Message, "image three");
  // The loop leaves its files open; the process would end here.
  wib_free_data_file();
  EXPECT_EQ(Numbers(Path("out.wib")), (std::vector<long>{1, 2}));
  EXPECT_EQ(Pixels(Path("out.wib"), 1)[11], 111.0f);
  EXPECT_EQ(Pixels(Path("out.wib"), 2)[0], 200.0f);
}

}  // namespace
