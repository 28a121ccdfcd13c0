#include "kelopack/KeloOption.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "KeloOption_fixture.h"
#include "kelopack/KeloError.h"
#include "testutil.h"
#include "wibpack/ipol.h"
#include "wibpack/wibio.h"

namespace {

using Options = OptionBlocks;

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

// ---------------------------------------------------------------------------
// Parsing

// Writable command-line words ending with a null entry, as a program gets
// them; the first word is the program path.
class Words {
 public:
  Words(std::initializer_list<std::string> words) : words_(words) {
    words_.insert(words_.begin(), "/usr/bin/prog");
    for (auto& w : words_) ptrs_.push_back(w.data());
    ptrs_.push_back(nullptr);
  }
  char** argv() { return ptrs_.data(); }
  const char* operator[](int k) const { return ptrs_[k]; }

 private:
  std::vector<std::string> words_;
  std::vector<char*> ptrs_;
};

class Parse : public Options {
 protected:
  // Parses the words; the listings and word lists printed go to out_.
  int Run(Words& words) {
    testutil::Capture out(stdout);
    int status = -99;
    arg_no_ = 0;
    ReadOptions(words.argv(), &arg_no_, &cb(), ib(), &status);
    out_ = out.Text();
    return status;
  }
  std::string Message() const {
    const auto& m = KeloErrorBlock().Message;
    return m ? *m : "<none>";
  }
  int arg_no_ = 0;
  std::string out_;
};

TEST_F(Parse, NoOptions) {
  Words w{};
  EXPECT_EQ(Run(w), Success);
  EXPECT_EQ(arg_no_, 0);
  EXPECT_STREQ(cb().MainName, "/usr/bin/prog");
  EXPECT_EQ(cb().argc, 1);
  EXPECT_EQ(cb().argv, w.argv());
  EXPECT_EQ(cb().parg_no, &arg_no_);
  // The image table is released, the command table stays for the parameters.
  EXPECT_EQ(cb().io, nullptr);
  EXPECT_NE(cb().co, nullptr);
  EXPECT_EQ(out_, "");
}

TEST_F(Parse, OptionsEndAtTheFirstOtherWord) {
  struct Case {
    std::initializer_list<std::string> words;
    int arg_no;
  } cases[] = {
      {{"in.wib", "-var"}, 0},
      {{"-var", "in.wib", "-aa"}, 1},
      {{"-5"}, 0},  // a number, left for the positional arguments
      {{"+5", "-var"}, 0},
      {{"-i1fst", "-5", "7"}, 2},  // a value word may look like a number
      {{""}, 0},                   // an empty word is a positional argument
  };
  for (const auto& c : cases) {
    Words w(c.words);
    EXPECT_EQ(Run(w), Success) << w[1];
    EXPECT_EQ(arg_no_, c.arg_no) << w[1];
    ReleaseOptions(&cb());
    SetUp();
  }
}

TEST_F(Parse, NumbersAreOptionsWithoutRejectNum) {
  cb().RejectNum = 0;
  Words w{"-5"};
  EXPECT_EQ(Run(w), NoOption);
}

TEST_F(Parse, StoredValuesAndFlags) {
  Words w{"+var",   "-pass", "-I1NAM",  "a.wib", "-i1bin",    "=",      "4",
          "-ofac",  "2*pi",  "-shft",   "1",     "=",         "-i1rot", "1",
          "2",      "3",     "-add",    "3+4",   "+i1ave",    "-otit",  "",
          "-i1pro", "WAXS",  "-i1axis", "angle", "Numerator", "-dvo",   "-7"};
  ASSERT_EQ(Run(w), Success) << Message();
  EXPECT_EQ(arg_no_, 28);
  const CmdBlk& c = cb();
  EXPECT_EQ(c.CreateVariance.V, 1);
  EXPECT_EQ(c.CreateVariance.I, 1);
  EXPECT_EQ(c.PassHeader.V, 0);
  EXPECT_EQ(c.PassHeader.I, -1);
  EXPECT_STREQ(c.Shift[1].V, "1");
  EXPECT_EQ(c.Shift[1].I, -1);
  EXPECT_STREQ(c.Shift[2].V, "0.0");
  EXPECT_EQ(c.Shift[2].I, 0);
  EXPECT_EQ(c.Add.V, 7);
  EXPECT_EQ(c.Add.I, -1);
  EXPECT_EQ(c.OutputDataValueOffset.V, -7);
  const ImgBlk& i1 = ib()[1];
  EXPECT_STREQ(i1.Name.V, "a.wib");
  EXPECT_EQ(i1.Name.I, -1);
  // "=" leaves element 1 and its flag alone.
  EXPECT_STREQ(i1.Bin[1].V, "1");
  EXPECT_EQ(i1.Bin[1].I, 0);
  EXPECT_STREQ(i1.Bin[2].V, "4");
  EXPECT_EQ(i1.Bin[2].I, -1);
  EXPECT_STREQ(i1.DetRot[3].V, "3");
  EXPECT_EQ(i1.Ave.V, 1);
  EXPECT_EQ(i1.Ave.I, 1);
  EXPECT_EQ(i1.Projection.V, 2);
  EXPECT_EQ(i1.AxisType[1].V, 2);
  EXPECT_EQ(i1.AxisType[2].V, 3);
  const ImgBlk& o = ib()[0];
  EXPECT_STREQ(o.Factor.V, "2*pi");  // expressions are kept as text
  EXPECT_STREQ(o.Title.V, "");       // an empty text is a text
  EXPECT_EQ(o.Title.I, -1);
}

TEST_F(Parse, TestLevel) {
  Words up{"+test", "+test"};
  ASSERT_EQ(Run(up), Success);
  EXPECT_EQ(cb().TestBit, 2);
  ReleaseOptions(&cb());
  SetUp();
  Words reset{"+test", "+test", "-test"};
  ASSERT_EQ(Run(reset), Success);
  EXPECT_EQ(cb().TestBit, 0);
}

TEST_F(Parse, ReferenceSystems) {
  Words rsys{"-rsys", "normal"};
  ASSERT_EQ(Run(rsys), Success);
  EXPECT_EQ(cb().RSys.V, 6);
  EXPECT_EQ(cb().USys.V, 6);
  EXPECT_EQ(cb().USys.I, 0);
  ReleaseOptions(&cb());
  SetUp();
  Words both{"-usys", "Real", "-rsys", "normal"};
  ASSERT_EQ(Run(both), Success);
  EXPECT_EQ(cb().RSys.V, 6);
  EXPECT_EQ(cb().USys.V, 5);
  EXPECT_STREQ(both[2], "real");  // lower-cased in place
}

TEST_F(Parse, OpenModeWords) {
  struct {
    const char* word;
    long mode;
  } cases[] = {{"n+fp", 5}, {"n+ip", 9}, {"n", 1},    {"o+fp", 6}, {"O+IP", 10},
               {"o", 2},    {"a+ip", 8}, {"a+fp", 4}, {"A", 0}};
  for (const auto& c : cases) {
    Words w{"-i1mod", c.word};
    ASSERT_EQ(Run(w), Success) << c.word;
    EXPECT_EQ(ib()[1].OpenMode.V, c.mode) << c.word;
    EXPECT_EQ(ib()[1].OpenMode.I, -1);
    // The word is left in argv in lower case.
    std::string lower(c.word);
    for (auto& ch : lower) ch = static_cast<char>(tolower(ch));
    EXPECT_EQ(std::string(w[2]), lower);
    ReleaseOptions(&cb());
    SetUp();
  }
}

TEST_F(Parse, NumbersAppendedToTheName) {
  constexpr long U = LONG_MIN;  // untouched: value 1, flag 0
  struct Case {
    const char* name;
    long fst, lst, inc;     // image numbers
    long ffst, flst, finc;  // file numbers
  } cases[] = {
      {"name.wib,3,7", 3, 7, U, U, U, U},   {"run%%%.wib,1,20,2", U, U, U, 1, 20, 2},
      {"name.wib,,9", U, 9, U, U, U, U},    {"name.wib,2.5", 3, U, U, U, U, U},
      {"name.wib,-2.5", -2, U, U, U, U, U}, {"name.wib,2*3,,1+1", 6, U, 2, U, U, U},
      {"name.wib", U, U, U, U, U, U},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Words w{"-i1nam", c.name};
    ASSERT_EQ(Run(w), Success) << Message();
    const ImgBlk& b = ib()[1];
    EXPECT_STREQ(b.Name.V, c.name);  // the name keeps the whole text
    const IO_long* got[6] = {&b.First, &b.Last, &b.Inc, &b.FFirst, &b.FLast, &b.FInc};
    const long want[6] = {c.fst, c.lst, c.inc, c.ffst, c.flst, c.finc};
    for (int k = 0; k < 6; k++) {
      if (want[k] == U) {
        EXPECT_EQ(got[k]->I, 0) << k;
        EXPECT_EQ(got[k]->V, 1) << k;
      } else {
        EXPECT_EQ(got[k]->I, -1) << k;
        EXPECT_EQ(got[k]->V, want[k]) << k;
      }
    }
    ReleaseOptions(&cb());
    SetUp();
  }
}

TEST_F(Parse, InterpolationMinimum) {
  const float before = Ipolmin(-1);
  Words w{"-pmin", "0.25"};
  ASSERT_EQ(Run(w), Success);
  EXPECT_EQ(cb().IPMin.V, 0.25f);
  EXPECT_EQ(Ipolmin(-1), 0.25f);
  ReleaseOptions(&cb());
  SetUp();
  Words negative{"-pmin", "-1"};
  ASSERT_EQ(Run(negative), Success);
  EXPECT_EQ(cb().IPMin.V, -1.0f);
  EXPECT_EQ(cb().IPMin.I, -1);
  EXPECT_EQ(Ipolmin(-1), 0.25f);  // a negative minimum is not taken
  Ipolmin(before);
}

TEST_F(Parse, DataTypeAndCompressionNames) {
  Words w{"-type", "Float Value", "-cmpr", "gzip"};
  ASSERT_EQ(Run(w), Success);
  EXPECT_EQ(cb().OutputDataType.V, 9);
  EXPECT_EQ(cb().OutputDataType.I, -1);
  EXPECT_EQ(cb().OutputCompression.V, 2);
}

// Every way of failing: the status, the stored message and what stays.
TEST_F(Parse, Failures) {
  struct Case {
    std::initializer_list<std::string> words;
    int status;
    const char* message;
    const char* list;  // start of the word list printed, or ""
  } cases[] = {
      {{"-zzz"}, NoOption, "    /usr/bin/prog -zzz ... ", ""},
      {{"-var", "-test2"}, NoOption, "    -var -test2 ... ", ""},
      {{"-i2nam", "x"}, NoOption, "    /usr/bin/prog -i2nam ... ", ""},
      {{"-i0nam", "x"}, NoOption, "    /usr/bin/prog -i0nam ... ", ""},
      {{"-ixnam", "x"}, NoOption, "    /usr/bin/prog -ixnam ... ", ""},
      {{"-i1"}, NoOption, "    /usr/bin/prog -i1 ... ", ""},
      {{"-o"}, NoOption, "    /usr/bin/prog -o ... ", ""},
      {{"-"}, NoOption, "    /usr/bin/prog - ... ", ""},
      {{"+"}, NoOption, "    /usr/bin/prog + ... ", ""},
      {{"-.5"}, NoOption, "    /usr/bin/prog -.5 ... ", ""},
      {{"-onamx", "a"}, NoOption, "    /usr/bin/prog -onamx ... ", ""},
      {{std::string(5000, 'x').insert(0, "-")}, NoOption, nullptr, ""},
      {{"-ofac"}, ScanEmpty, "    -ofac ... ", ""},
      {{"-shft", "1"}, ScanEmpty, "    1 ... ", ""},
      {{"-type"}, ScanEmpty, "    -type ... ", ""},
      {{"-ofac", ""}, ScanError, "    -ofac  ... ", ""},
      {{"-i1bin", "", "2"}, ScanError, "    -i1bin  ... ", ""},
      {{"-i1mod", "x"},
       ScanError,
       "    -i1mod x ... ",
       "Use -omod with one of the following modes"},
      {{"-omod", "="}, Success, nullptr, ""},
      {{"-rsys", "nowhere"},
       ScanError,
       "    -rsys nowhere ... ",
       "\nUse -rsys and -usys with one of the following reference systems"},
      {{"-usys", ""}, ScanError, "    -usys  ... ", "\nUse -rsys and -usys"},
      {{"-i1pro", "Gaxs"},
       ScanError,
       "    -i1pro Gaxs ... ",
       "\nUse -pro with one of the following projection types"},
      {{"-i1axis", "angle", "x"},
       ScanError,
       "    angle x ... ",
       "\nUse -axis with one of the following axis types"},
      {{"-type", "bytes"}, ScanError, "    -type bytes ... ", ""},
      {{"-type", "="}, ScanError, "    -type = ... ", ""},
      {{"-cmpr", "4"}, ScanError, "    -cmpr 4 ... ", ""},
      {{"-add", "2.5"}, ScanError, "    -add 2.5 ... ", ""},
      {{"-add", "(1"}, BadParenthesis, "    -add (1 ... ", ""},
      {{"-i1fst", "1/0"}, DivByZero, "    -i1fst 1/0 ... ", ""},
      {{"-pmin", "0.5x"}, Failed, "    -pmin 0.5x ... ", ""},
      {{"-i1nam", "a.wib,1/0"}, DivByZero, "    -i1nam a.wib,1/0 ... ", ""},
      {{"-i1nam", "a.wib,1e300"}, IntegerOverflow, "    -i1nam a.wib,1e300 ... ", ""},
      {{"-h"}, StoppedAfterHelp, "    /usr/bin/prog -h ... ", "\nMain    : prog V1.0\n"},
  };
  for (const auto& c : cases) {
    Words w(c.words);
    SCOPED_TRACE(std::string(w[1]).substr(0, 40));
    EXPECT_EQ(Run(w), c.status) << Message();
    if (c.status == Success) {
      ReleaseOptions(&cb());
      SetUp();
      continue;
    }
    if (c.message) {
      EXPECT_EQ(Message(), c.message);
    }
    EXPECT_EQ(out_.rfind(c.list, 0), 0u) << out_;
    if (!*c.list) {
      EXPECT_EQ(out_, "");
    }
    // Both tables are released.
    EXPECT_EQ(cb().co, nullptr);
    EXPECT_EQ(cb().io, nullptr);
    SetUp();
  }
}

// The command line recorded under "i0", as written into an output header.
std::string HistoryLine() {
  int err, status;
  long s = wib_open_data_file("history", "temp", &err, &status);
  wib_write_header_string(s, 1, 1, "Title", "output", &err, &status);
  wib_write_header_history(s, 1, 1, "i0", &err, &status);
  const char* value = nullptr;
  wib_read_header_string(s, 1, 1, "History-1", &value, &err, &status);
  std::string line = value && !err ? value : "<none>";
  wib_close_data_file(s, &err, &status);
  return line;
}

TEST_F(Parse, HistoryLineHoldsTheProgramAndEveryConsumedWord) {
  Words none{"in.wib"};
  ASSERT_EQ(Run(none), Success);
  EXPECT_EQ(HistoryLine(), "prog");
  ReleaseOptions(&cb());
  SetUp();
  Words some{"-i1nam", "a b.wib", "-i1bin", "=", "2", "+var", "in.wib", "-5"};
  ASSERT_EQ(Run(some), Success);
  EXPECT_EQ(HistoryLine(), "prog -i1nam \"a b.wib\" -i1bin = 2 +var");
}

TEST_F(Parse, ValuesBeforeAFailureRemain) {
  Words w{"-i1fst", "4", "-i1lst", "x+"};
  EXPECT_NE(Run(w), Success);
  EXPECT_EQ(ib()[1].First.V, 4);
  EXPECT_EQ(ib()[1].Last.I, 0);
}

TEST_F(Parse, LongTextsAreCut) {
  std::string longname(5000, 'n');
  Words w{"-i1nam", longname};
  ASSERT_EQ(Run(w), Success);
  EXPECT_EQ(strlen(ib()[1].Name.V), 1023u);
}

TEST(Words, ProjectionAndAxis) {
  struct {
    const char* word;
    long pro, axis;
  } cases[] = {{"Saxs", 1, 0},      {"WAXS", 2, 0}, {"distance", 0, 1}, {"Angle", 0, 2},
               {"NUMERATOR", 0, 3}, {"Sax", 0, 0},  {"", 0, 0},         {"Saxs ", 0, 0}};
  for (const auto& c : cases) {
    EXPECT_EQ(strtopro(c.word), c.pro) << c.word;
    EXPECT_EQ(strtoaxis(c.word), c.axis) << c.word;
  }
  EXPECT_EQ(strtopro(nullptr), 0);
}

TEST(Words, ReadersWithoutWord) {
  int status = -99;
  char text[IO_len] = "old";
  long number = 5;
  EXPECT_EQ(ScanLine(nullptr, text, &status), 0);
  EXPECT_EQ(status, ScanEmpty);
  EXPECT_EQ(ScanLong("=", &number, &status), 0);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(number, 5);
  EXPECT_STREQ(text, "old");
}

// ---------------------------------------------------------------------------
// Help and listings

TEST_F(Options, ShortHelp) {
  cb().MainName = const_cast<char*>("prog");
  testutil::Capture out(stdout);
  ShowHelp(&cb());
  EXPECT_EQ(out.Text(), "\nMain    : prog V1.0\nUsage   : prog <usage>\n");
}

TEST_F(Options, OptionListing) {
  // Both image-option listings for one output and one input block.
  cb().Help.V = 1;
  cb().MainName = const_cast<char*>("prog");
  testutil::Capture out(stdout);
  ShowHelp(&cb());
  std::string text = out.Text();
  EXPECT_NE(text.find("\nList of options [<num of parameters>,<type>]\n \n      -test [ 0, +]"
                      "        -h [ 0, +]        -p [ 0, +]     -shft [ 2, F] \n "),
            std::string::npos)
      << text;
  EXPECT_NE(text.find(" \n      -omod [ 1, M]     -onam [ 1, s]"), std::string::npos) << text;
  EXPECT_NE(text.find(" \n   -i<n>mod [ 1, M]  -i<n>nam [ 1, s]"), std::string::npos) << text;
  EXPECT_NE(text.find("\nNumber of image blocks            : 2\n"
                      "Maximum number <n> of input blocks: 1\n"
                      "Dummy file name                   : /dev/null\n\n"
                      "Use -omod with one of the following modes : \n"
                      "     n+fp,     n+ip,        n\n"
                      "     o+fp,     o+ip,        o\n"
                      "     a+fp,     a+ip,        a\n"
                      "\nUse -rsys and -usys with one of the following reference systems : \n"
                      "    array,    image,   center,   region,     real,   normal,  tangens,"
                      "     saxs\n"),
            std::string::npos)
      << text;
}

TEST(Listings, ShowOptionsSkipsFreeAndHiddenCodes) {
  OptDsc dsc[7] = {{"Cmd", 1, 6}, {"ab", 1, 0},  {"", 5, 1}, {"#hid", 2, 1},
                   {"cd", 10, 2}, {"ef", 42, 1}, {"", 0, 0}};
  testutil::Capture out(stdout);
  ShowOptions("-x", dsc);
  EXPECT_EQ(out.Text(), " \n       -xab [ 0, +]      -xcd [ 2, A]      -xef [ 1, ?]\n");
}

TEST(Listings, PrintOptions) {
  OptDsc dsc[4] = {{"Cmd", 1, 3}, {"ab", 6, 2}, {"", 5, 1}, {"", 0, 0}};
  testutil::Capture out(stdout);
  PrintOptions("T", dsc, 4);
  EXPECT_EQ(out.Text(),
            "                   T\t\t    code      ptyp\t   npar      poff\n"
            "                   T[   0]       Cmd         1         3\n"
            "                   T[   1]        ab         6         2\n");
}

TEST_F(Options, PrintBlocksWithNothingSet) {
  testutil::Capture out(stdout);
  PrintBlocks(&cb(), ib());
  EXPECT_EQ(out.Text(), "Image Block (blkno = 0)\nImage Block (blkno = 1)\n");
}

TEST_F(Options, PrintBlocksShowsSetValues) {
  cb().CreateVariance = {1, 1};
  cb().OutputDataType = {9, -1};
  cb().OutputCompression = {2, -1};
  cb().Flg[3] = {1, 1};
  ib()[1].OpenMode = {10, -1};
  ib()[1].Factor.I = 1;
  ib()[1].AxisType[2] = {3, -1};
  testutil::Capture out(stdout);
  PrintBlocks(&cb(), ib());
  EXPECT_EQ(out.Text(),
            "CommandBlock.CreateVariance.V        = 1\n"
            "CommandBlock.OutputDataType.V        = FloatValue\n"
            "CommandBlock.OutputCompression.V     = GzipCompression\n"
            "CommandBlock.Flg[3].V              = 1\n"
            "Image Block (blkno = 0)\n"
            "Image Block (blkno = 1)\n"
            "ImageBlock[1].OpenMode.V  = 0xa\n"
            "ImageBlock[1] Factor.V    = 1.0\n"
            "ImageBlock[1].AxisType[2].V    = 3\n");
}

TEST(Listings, EnumerationNames) {
  const char* refs[] = {"<unknown>", "Array",  "Image",   "Center", "Region",
                        "Real",      "Normal", "Tangens", "Saxs",   "<unknown>"};
  for (long n = 0; n <= 9; n++) EXPECT_STREQ(reftostr(n), refs[n]) << n;
  EXPECT_STREQ(reftostr(-1), "<unknown>");
  EXPECT_STREQ(protostr(1), "Saxs");
  EXPECT_STREQ(protostr(2), "Waxs");
  EXPECT_STREQ(protostr(0), "<unknown>");
  EXPECT_STREQ(axistostr(1), "Distance");
  EXPECT_STREQ(axistostr(2), "Angle");
  EXPECT_STREQ(axistostr(3), "Numerator");
  EXPECT_STREQ(axistostr(4), "<unknown>");
}

TEST(Listings, WordLists) {
  testutil::Capture out(stdout);
  ShowPro();
  ShowAxis();
  EXPECT_EQ(out.Text(),
            "\nUse -pro with one of the following projection types : \n"
            "     Saxs,     Waxs\n"
            "\nUse -axis with one of the following axis types : \n"
            " Distance,    Angle, Numerator\n");
}

}  // namespace
