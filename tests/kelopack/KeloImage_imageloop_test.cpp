// The image loop driven with small per-image functions on files made in the
// test: default ranges, increments, summing, single-to-multi and
// multi-to-single series, the dummy file, missing inputs, failures in the
// middle of a series and the progress lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeloImage_fixture.h"
#include "wibpack/sx.h"

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
    FileLayout s;
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

TEST_F(Loop, ImageNumberRanges) {
  struct Case {
    const char* what;
    long last, inc;  // not given: 0 (last), -99 (inc)
    int allneeded;
    std::vector<long> steps;   // input images read, in order
    std::vector<long> written;  // output images, in the order written
  } cases[] = {
      {"defaults", 0, -99, 1, {1, 2, 3}, {1, 2, 3}},
      {"last_beyond_the_file", 9, -99, 1, {1, 2, 3}, {1, 2, 3}},
      {"negative_increment", 0, -1, 1, {3, 2, 1}, {3, 2, 1}},
      {"increment_2", 0, 2, 1, {1, 3}, {1, 3}},
  };
  for (const Case& c : cases) {
    Init(2);
    Input({1, 2, 3});
    Output(std::string(c.what) + ".wib");
    if (c.last) SetLong(ib(1).Last, c.last);
    if (c.inc != -99) SetLong(ib(1).Inc, c.inc);
    std::string want;
    for (long n : c.steps) want += Step(n, n, "in.wib", std::string(c.what) + ".wib");
    int status = -7;
    EXPECT_EQ(Run(CopyInput, c.allneeded, &status), want) << c.what;
    EXPECT_EQ(status, Success) << c.what;
    EXPECT_EQ(Numbers(Path(std::string(c.what) + ".wib")), c.written) << c.what;
  }
}

long cycles_seen = 0;
void CopyAndCount(CmdBlk* pcb, long* num, ImgHeadBlk* ihb, int* pstatus) {
  cycles_seen = pcb->Cycles;
  CopyInput(pcb, num, ihb, pstatus);
}

TEST_F(Loop, OutputIncrementZeroSumsAllSteps) {
  Input({1, 2, 3});
  Output();
  SetLong(ib(0).Inc, 0);
  cb()->Arg[0].V = 1.0f;  // the function adds 1 per step
  int status = -7;
  const std::string in = Path("in.wib");
  EXPECT_EQ(Run(CopyAndCount, 1, &status),
            "Reading image: " + in + ", Image : 1 done\n" + "Reading image: " + in +
                ", Image : 2 done\n" + "Reading image: " + in + ", Image : 3 done\n" +
                "Writing : " + Path("out.wib") + ", Image : 1\n\n");
  ASSERT_EQ(status, Success);
  EXPECT_EQ(cycles_seen, 3);
  EXPECT_EQ(Numbers(Path("out.wib")), std::vector<long>{1});
  EXPECT_EQ(Pixels(Path("out.wib"), 1)[4], 100.0f + 200.0f + 300.0f + 3 * 4 + 3);
}

TEST_F(Loop, AddWritesAfterNSteps) {
  Input({1, 2, 3});
  Output();
  SetLong(cb()->Add, 2);
  int status = -7;
  Run(CopyInput, 1, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(Numbers(Path("out.wib")), (std::vector<long>{1, 3}));
  EXPECT_EQ(Pixels(Path("out.wib"), 1)[0], 300.0f);  // images 1 and 2
  EXPECT_EQ(Pixels(Path("out.wib"), 3)[0], 300.0f);  // image 3 alone, at the last step
}

TEST_F(Loop, SingleToMultiWritesEveryImageIntoAFileOfItsOwn) {
  Input({1, 2, 3});
  Output("out%%.wib");
  int status = -7;
  EXPECT_EQ(Run(CopyInput, 1, &status),
            Step(1, 1, "in.wib", "out01.wib") + Step(2, 1, "in.wib", "out02.wib") +
                Step(3, 1, "in.wib", "out03.wib"));
  ASSERT_EQ(status, Success);
  EXPECT_EQ(Single2Multi(), 1);
  for (long n = 1; n <= 3; ++n) {
    const std::string name = Path("out0" + std::to_string(n) + ".wib");
    EXPECT_EQ(Numbers(name), std::vector<long>{1}) << name;
    EXPECT_EQ(Pixels(name, 1)[2], 100.0f * n + 2) << name;
  }
}

TEST_F(Loop, MultiToSingleWritesOneImagePerInputFile) {
  for (long f = 1; f <= 3; ++f) {
    FileLayout s;
    s.numbers = {1};
    s.value = [f](long, long i) { return static_cast<float>(10 * f + i); };
    MakeFile("in" + std::to_string(f) + ".wib", s);
  }
  SetText(ib(1).Name, Path("in%.wib"));
  SetLong(ib(1).FFirst, 1);
  SetLong(ib(1).FLast, 3);
  Output();
  int status = -7;
  EXPECT_EQ(Run(CopyInput, 1, &status), Step(1, 1, "in1.wib") + Step(1, 2, "in2.wib") +
                                            Step(1, 3, "in3.wib"));
  ASSERT_EQ(status, Success);
  EXPECT_EQ(Multi2Single(), 1);
  EXPECT_EQ(Numbers(Path("out.wib")), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(Pixels(Path("out.wib"), 3)[1], 31.0f);
}

TEST_F(Loop, KeysInTheOutputNameAndTheDummyFile) {
  Input({1, 2});
  Output("o[INUM].wib");
  int status = -7;
  EXPECT_EQ(Run(CopyInput, 1, &status), Step(1, 1, "in.wib", "o1.wib") +
                                            Step(2, 2, "in.wib", "o2.wib"));
  ASSERT_EQ(status, Success);
  EXPECT_EQ(Numbers(Path("o2.wib")), std::vector<long>{2});

  // The dummy file: nothing written, no "Writing" line.
  Init(2);
  Input({1, 2});
  SetText(ib(0).Name, "/dev/null");
  const std::string in = Path("in.wib");
  EXPECT_EQ(Run(CopyInput, 1, &status), "Reading image: " + in + ", Image : 1 done\n\n" +
                                            "Reading image: " + in + ", Image : 2 done\n\n");
  EXPECT_EQ(status, Success);
}

TEST_F(Loop, AMissingInputImageStopsTheSeriesAtItsWrite) {
  // Image 2 is missing: its step reads nothing and skips the function but
  // still counts, so the write decision falls on a step without an output
  // image and the loop stops with HeaderNotInitialized. What was written
  // before stays intact.
  const std::string in = Path("in.wib");
  for (int allneeded : {1, 0}) {
    Init(2);
    Input({1, 3});
    const std::string out = "out" + std::to_string(allneeded) + ".wib";
    Output(out);
    int status = -7;
    const std::string text = Run(CopyInput, allneeded, &status);
    EXPECT_EQ(text.substr(0, Step(1, 1, "in.wib", out).size()), Step(1, 1, "in.wib", out));
    EXPECT_NE(text.find("Reading image: " + in + ", Image : 2 missing\nWriting : " + Path(out)),
              std::string::npos)
        << text;
    EXPECT_EQ(text.find("Image : 3"), std::string::npos) << text;
    EXPECT_EQ(status, HeaderNotInitialized);
    EXPECT_EQ(*KeloErrorBlock().RoutineName, "WriteImage");
    wib_free_data_file();
    EXPECT_EQ(Numbers(Path(out)), (std::vector<long>{1}));
    EXPECT_EQ(Pixels(Path(out), 1), Pixels(in, 1));
  }
}

TEST_F(Loop, MissingSecondInputWithAndWithoutAllNeeded) {
  // Two inputs: image 2 lacks in the second file.
  Init(3);
  Input({1, 2});
  FileLayout s;
  s.numbers = {1};
  s.value = [](long, long) { return 1000.0f; };
  MakeFile("in2.wib", s);
  SetText(ib(2).Name, Path("in2.wib"));
  SetLong(ib(2).Last, 2);
  SetLong(ib(2).Inc, 1);
  Output();
  const std::string a = Path("in.wib"), b = Path("in2.wib");
  int status = -7;
  // With allneeded the second step skips the function and its write fails.
  const std::string text = Run(CopyInput, 1, &status);
  EXPECT_EQ(text.substr(0, text.find("Writing : " + Path("out.wib") + ", Image : 1\n\n")),
            "Reading image: " + a + ", Image : 1 done\nReading image: " + b + ", Image : 1 done\n");
  EXPECT_NE(text.find("Reading image: " + a + ", Image : 2 done\nReading image: " + b +
                      ", Image : 2 missing\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(status, HeaderNotInitialized);
  wib_free_data_file();
  EXPECT_EQ(Numbers(Path("out.wib")), std::vector<long>{1});
  // Without allneeded the step runs with the inputs that are there.
  Init(3);
  Input({1, 2});
  SetText(ib(2).Name, Path("in2.wib"));
  SetLong(ib(2).Last, 2);
  SetLong(ib(2).Inc, 1);
  Output("out2.wib");
  Run(CopyInput, 0, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(Numbers(Path("out2.wib")), (std::vector<long>{1, 2}));
}

TEST_F(Loop, AnImageWithoutOutputFileIsNotWritten) {
  // The output file must exist but does not: no image can be created, and
  // writing what the function made fails.
  Input({1});
  Output();
  ib(0).OpenMode.V = IO_Old;
  int status = -7;
  EXPECT_EQ(Run(CopyInput, 0, &status), "Reading image: " + Path("in.wib") +
                                            ", Image : 1 done\nWriting : " + Path("out.wib") +
                                            ", Image : 1\n");
  EXPECT_EQ(status, HeaderNotInitialized);
  EXPECT_EQ(*KeloErrorBlock().RoutineName, "WriteImage");
}

TEST_F(Loop, AProtectedImageIsNeverOverwritten) {
  Input({1, 2, 3});
  FileLayout old;
  old.numbers = {2};
  old.value = [](long, long) { return -5.0f; };
  MakeFile("out.wib", old);
  Output();
  ib(0).OpenMode.V = IO_ImageProtect;  // "a+ip"
  int status = -7;
  Run(CopyInput, 1, &status);
  EXPECT_EQ(status, ImageProtected);
  wib_free_data_file();
  EXPECT_EQ(Numbers(Path("out.wib")), (std::vector<long>{2, 1}));
  EXPECT_EQ(Pixels(Path("out.wib"), 2)[3], -5.0f);
  EXPECT_EQ(Pixels(Path("out.wib"), 1)[3], 103.0f);
}

TEST_F(Loop, VariancesAndCommonOrientation) {
  Input({1});
  int err = 0, wst = 0;
  const long stream = wib_open_data_file(Path("in.wib").c_str(), "old", &err, &wst);
  const std::vector<float> var(12, 4.0f);
  const long dim[3] = {2, 4, 3};
  wib_write_data(stream, 1, -1, dim, var.data(), MFloat, &err, &wst);
  wib_close_data_file(stream, &err, &wst);
  Output();
  SetText(ib(0).Orientation, "2");
  int status = -7;
  Run(CopyInput, 1, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(Numbers(Path("out.wib"), -1), std::vector<long>{1});  // a variance block
  const std::vector<HeaderText> h = FileHeaders(Path("out.wib"));
  ASSERT_GE(h.size(), 1u);
  EXPECT_EQ(Value(h[0], "RasterOrientation"), "2");
  // Orientation 2 reverses the first axis: the first row comes out reversed.
  EXPECT_EQ(Pixels(Path("out.wib"), 1)[0], 103.0f);
}

TEST_F(Loop, DebugListings) {
  Input({1});
  Output();
  SetText(ib(0).Orientation, "1");
  cb()->TestBit = 3;
  int status = -7;
  const std::string out = Run(CopyInput, 1, &status);
  cb()->TestBit = 0;
  // The debug levels of the geometry and file modules stay set: reset them.
  sx_debug_set(0);
  wibio_debug(0);
  ASSERT_EQ(status, Success);
  for (const char* line : {" ImageLoop\n", " OpenImageFile (blkno = 1)\n",
                           "Common orientation is 1\n", " -- balance_header_block (blkno=1)\n",
                           "Image Header Block (blkno = 0)\n", " WriteImage (blkno = 0)\n"})
    EXPECT_NE(out.find(line), std::string::npos) << line;
}

}  // namespace
