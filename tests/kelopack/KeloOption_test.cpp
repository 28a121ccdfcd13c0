#include "kelopack/KeloOption.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/ipol.h"

namespace {

// A command block with one output and one input block, initialised.
struct Blocks {
  CmdBlk cb;
  ImgBlk ib[2];
};

class Options : public ::testing::Test {
 protected:
  void SetUp() override {
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &cb(), b_->ib, 2);
  }
  void TearDown() override { ReleaseOptions(&cb()); }
  CmdBlk& cb() { return b_->cb; }
  ImgBlk* ib() { return b_->ib; }

  std::unique_ptr<Blocks> b_;
};

// The set flags of every value record of the blocks.
std::vector<int> CommandFlags(const CmdBlk& c) {
  std::vector<int> f = {c.Help.I,
                        c.Prompt.I,
                        c.RSys.I,
                        c.USys.I,
                        c.GeneralBlock.I,
                        c.PassHeader.I,
                        c.CreateVariance.I,
                        c.AntiAliased.I,
                        c.VarianceWeight.I,
                        c.OutputDataType.I,
                        c.OutputDataValueOffset.I,
                        c.OutputCompression.I,
                        c.BslInputByteOrder.I,
                        c.MaxLineWidth.I,
                        c.MinHeaderSize.I,
                        c.CommonOrientation.I,
                        c.Add.I,
                        c.IPMin.I};
  for (const auto& v : c.Shift) f.push_back(v.I);
  for (const auto& v : c.Arg) f.push_back(v.I);
  for (const auto& v : c.Flexp) f.push_back(v.I);
  for (const auto& v : c.Num) f.push_back(v.I);
  for (const auto& v : c.Lvexp) f.push_back(v.I);
  for (const auto& v : c.Lin) f.push_back(v.I);
  for (const auto& v : c.Flg) f.push_back(v.I);
  return f;
}

std::vector<int> ImageFlags(const ImgBlk& b) {
  std::vector<int> f = {b.Name.I,       b.FFirst.I,      b.FLast.I,
                        b.FInc.I,       b.OpenMode.I,    b.Memory.I,
                        b.First.I,      b.Last.I,        b.Inc.I,
                        b.MinClip.I,    b.MaxClip.I,     b.Const.I,
                        b.Factor.I,     b.Val.I,         b.ErrVal.I,
                        b.Ave.I,        b.Title.I,       b.Time.I,
                        b.Dummy.I,      b.DDummy.I,      b.SampleDistance.I,
                        b.WaveLength.I, b.Orientation.I, b.Projection.I};
  for (int k = 0; k < 3; k++)
    for (int v : {b.Bin[k].I, b.Gnaw[k].I, b.Dim[k].I, b.Offset[k].I, b.Center[k].I, b.BinSiz[k].I,
                  b.PixSiz[k].I, static_cast<int>(b.AxisType[k].I)})
      f.push_back(v);
  for (const auto& v : b.DetRot) f.push_back(v.I);
  return f;
}

TEST_F(Options, InitialCommandBlock) {
  const CmdBlk& c = cb();
  for (int flag : CommandFlags(c)) EXPECT_EQ(flag, 0);
  EXPECT_EQ(c.MainName, nullptr);
  EXPECT_STREQ(c.MainVersion, "prog V1.0");
  EXPECT_STREQ(c.MainHelp, "<usage>");
  EXPECT_EQ(c.argc, 0);
  EXPECT_EQ(c.infile, stdin);
  EXPECT_EQ(c.ib, ib());
  EXPECT_EQ(c.ImgBlkLen, 2);
  EXPECT_EQ(c.RejectNum, 1);
  EXPECT_EQ(c.TestBit, 0);
  EXPECT_EQ(c.Help.V, 0);
  EXPECT_EQ(c.Prompt.V, 1);
  EXPECT_EQ(c.RSys.V, 2);
  EXPECT_EQ(c.USys.V, 2);
  EXPECT_EQ(c.OutputDataType.V, 0);
  EXPECT_EQ(c.OutputCompression.V, 1);
  EXPECT_EQ(c.Add.V, 1);
  EXPECT_EQ(c.IPMin.V, Ipolmin(-1));
  EXPECT_STREQ(c.Shift[0].V, "2.0");
  EXPECT_STREQ(c.Shift[1].V, "0.0");
  EXPECT_STREQ(c.Shift[2].V, "0.0");
  EXPECT_STREQ(c.Flexp[29].V, "");
  EXPECT_EQ(c.Arg[0].V, 0.0f);
}

TEST_F(Options, InitialImageBlocks) {
  for (int blkno = 0; blkno < 2; blkno++) {
    const ImgBlk& b = ib()[blkno];
    SCOPED_TRACE(blkno);
    for (int flag : ImageFlags(b)) EXPECT_EQ(flag, 0);
    EXPECT_EQ(b.blkno, blkno);
    EXPECT_EQ(b.Stream, -1);
    EXPECT_EQ(b.FileNumber, 1);
    EXPECT_EQ(b.LoopNumber, 1);
    EXPECT_STREQ(b.FileName, "");
    EXPECT_STREQ(b.Name.V, "datafile.wib");
    EXPECT_EQ(b.OpenMode.V, 8);
    EXPECT_EQ(b.Memory.V, 1);
    EXPECT_EQ(b.FFirst.V + b.FLast.V + b.FInc.V + b.First.V + b.Last.V + b.Inc.V, 6);
    struct {
      const char* got;
      const char* want;
    } texts[] = {
        {b.MinClip.V, "-inf"},     {b.MaxClip.V, "inf"}, {b.Const.V, "0.0"},
        {b.Factor.V, "1.0"},       {b.Val.V, "1.0"},     {b.ErrVal.V, "0.0"},
        {b.Bin[0].V, "2"},         {b.Bin[1].V, "1"},    {b.Bin[2].V, "1"},
        {b.Gnaw[0].V, "2"},        {b.Gnaw[1].V, "0"},   {b.Dim[2].V, "1"},
        {b.Title.V, ""},           {b.Dummy.V, "0.0"},   {b.DDummy.V, "0.5"},
        {b.Offset[0].V, "2"},      {b.Offset[1].V, "0"}, {b.Center[2].V, "0"},
        {b.BinSiz[1].V, "1"},      {b.PixSiz[2].V, "1"}, {b.SampleDistance.V, "1"},
        {b.WaveLength.V, "1e-10"}, {b.DetRot[0].V, "3"}, {b.DetRot[3].V, "0"},
        {b.Orientation.V, "1"},
    };
    for (const auto& t : texts) EXPECT_STREQ(t.got, t.want);
    EXPECT_EQ(b.Ave.V, 1);
    EXPECT_EQ(b.Projection.V, 1);
    EXPECT_EQ(b.AxisType[0].V, 0);
    EXPECT_EQ(b.AxisType[1].V, 1);
    EXPECT_EQ(b.AxisType[2].V, 1);
  }
}

struct Entry {
  const char* code;
  int ptyp;
  int npar;
};

TEST_F(Options, CommandTable) {
  const Entry builtin[] = {
      {"Cmd", 1, 121}, {"test", 1, 0}, {"h", 1, 0},    {"p", 1, 0},    {"shft", 6, 2},
      {"rsys", 8, 1},  {"usys", 8, 1}, {"gblk", 1, 0}, {"pass", 1, 0}, {"var", 1, 0},
      {"aa", 1, 0},    {"vw", 1, 0},   {"type", 3, 1}, {"dvo", 3, 1},  {"cmpr", 3, 1},
      {"bibo", 3, 1},  {"add", 3, 1},  {"pmin", 5, 1}, {"mlw", 3, 1},  {"mhs", 3, 1},
      {"cori", 1, 0},
  };
  const OptDsc* co = cb().co;
  ASSERT_NE(co, nullptr);
  for (int n = 0; n <= 20; n++) {
    SCOPED_TRACE(n);
    EXPECT_STREQ(co[n].code, builtin[n].code);
    EXPECT_EQ(co[n].ptyp, builtin[n].ptyp);
    EXPECT_EQ(co[n].npar, builtin[n].npar);
  }
  // Free slots: empty codes with the type and value count of their range.
  struct {
    int first, last, ptyp, npar;
  } ranges[] = {{21, 50, 5, 1},  {51, 80, 6, 1},   {81, 90, 3, 1},
                {91, 100, 4, 1}, {101, 110, 2, 1}, {111, 120, 1, 0}};
  for (const auto& r : ranges)
    for (int n = r.first; n <= r.last; n++) {
      SCOPED_TRACE(n);
      EXPECT_STREQ(co[n].code, "");
      EXPECT_EQ(co[n].ptyp, r.ptyp);
      EXPECT_EQ(co[n].npar, r.npar);
    }
  EXPECT_STREQ(co[121].code, "");
}

TEST_F(Options, ImageTable) {
  const Entry entries[] = {
      {"Cmd", 1, 31},  {"mod", 7, 1}, {"nam", 2, 1},  {"mem", 3, 1}, {"fst", 3, 1}, {"lst", 3, 1},
      {"inc", 3, 1},   {"min", 6, 1}, {"max", 6, 1},  {"con", 6, 1}, {"fac", 6, 1}, {"val", 6, 1},
      {"err", 6, 1},   {"bin", 4, 2}, {"ave", 1, 0},  {"gna", 4, 2}, {"tit", 2, 1}, {"time", 2, 1},
      {"dim", 4, 2},   {"dum", 6, 1}, {"ddum", 6, 1}, {"off", 6, 2}, {"cen", 6, 2}, {"bis", 6, 2},
      {"pix", 6, 2},   {"dis", 6, 1}, {"wvl", 6, 1},  {"rot", 6, 3}, {"ori", 4, 1}, {"pro", 9, 1},
      {"axis", 10, 2}, {"", 0, 0},
  };
  const OptDsc* io = cb().io;
  ASSERT_NE(io, nullptr);
  for (int n = 0; n < 32; n++) {
    SCOPED_TRACE(n);
    EXPECT_STREQ(io[n].code, entries[n].code);
    if (n == 31) continue;  // only the code of the end marker is set
    EXPECT_EQ(io[n].ptyp, entries[n].ptyp);
    EXPECT_EQ(io[n].npar, entries[n].npar);
  }
}

TEST(OptionTables, TooShortEndsTheProgram) {
  OptDsc co[IO_CmdOptLen];
  EXPECT_EXIT(InitCommandOptions(co, IO_CmdOptLen - 1), ::testing::ExitedWithCode(0),
              "ERROR: Command option array too short");
  OptDsc io[IO_ImgOptLen];
  EXPECT_EXIT(InitImageOptions(io, IO_ImgOptLen - 1), ::testing::ExitedWithCode(0),
              "ERROR: Image option array too short");
}

TEST_F(Options, ReleaseOptionsTwiceIsHarmless) {
  ReleaseOptions(&cb());
  EXPECT_EQ(cb().co, nullptr);
  EXPECT_EQ(cb().io, nullptr);
  ReleaseOptions(&cb());
}

TEST_F(Options, CheckOptionDuplication) {
  struct {
    const char* name;
    int taken;
  } cases[] = {
      {"w", 0},   {"var", 1},  {"vars", 0}, {"test", 1}, {"testx", 1}, {"ori", 1},
      {"i1x", 1}, {"mnam", 0}, {"h", 1},    {"TEST", 0}, {"", 1},      {"chi2", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CheckOptionDuplication(&cb(), c.name) != 0, c.taken != 0) << c.name;
}

}  // namespace
