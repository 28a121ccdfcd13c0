#include "kelopack/KeloParameter.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <memory>
#include <string>
#include <vector>

#include "KeloOption_fixture.h"
#include "kelopack/KeloError.h"
#include "testutil.h"

namespace {

using Parameters = OptionBlocks;

// Defines parameters like the filter program's own: a text, a flag, two
// integer and five float expressions.
void DefineNine(CmdBlk* pcb) {
  const struct {
    int ptyp;
    const char* name;
    const char* defval;
  } nine[] = {
      {IO_TypeLine, "mnam", "msk.wib"}, {IO_TypeFlag, "msk", "FALSE"}, {IO_TypeLvexp, "rmsk", "4"},
      {IO_TypeLvexp, "mode", "0"},      {IO_TypeFlexp, "chi2", "5.0"}, {IO_TypeFlexp, "max", "0.0"},
      {IO_TypeFlexp, "w", "4.0"},       {IO_TypeFlexp, "wa", "4.0"},   {IO_TypeFlexp, "a", "1.0"}};
  for (const auto& d : nine) option_define(d.ptyp, d.name, d.defval, pcb);
}

TEST_F(Parameters, SlotsInDefinitionOrder) {
  DefineNine(&cb());
  struct {
    const char* name;
    int slot;
    int ptyp;
    int npar;
  } cases[] = {{"mnam", 101, 2, 1}, {"msk", 111, 1, 0}, {"rmsk", 91, 4, 1},
               {"mode", 92, 4, 1},  {"chi2", 51, 6, 1}, {"max", 52, 6, 1},
               {"w", 53, 6, 1},     {"wa", 54, 6, 1},   {"a", 55, 6, 1}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(search_command_option(&cb(), c.name), c.slot);
    EXPECT_STREQ(cb().co[c.slot].code, c.name);
    EXPECT_EQ(cb().co[c.slot].ptyp, c.ptyp);
    EXPECT_EQ(cb().co[c.slot].npar, c.npar);
    EXPECT_EQ(option_type(c.name, &cb()), c.ptyp);
  }
  EXPECT_STREQ(cb().Lin[0].V, "msk.wib");
  EXPECT_STREQ(cb().Lvexp[0].V, "4");
  EXPECT_STREQ(cb().Flexp[4].V, "1.0");
  EXPECT_EQ(cb().Flexp[4].I, 0);
}

TEST_F(Parameters, Lookup) {
  option_define(IO_TypeFlexp, "w", "4.0", &cb());
  option_define(IO_TypeFlexp, "wa", "2.0", &cb());
  option_define(IO_TypeFloat, "thresh", "0.5", &cb());
  struct {
    const char* name;
    int slot;
  } cases[] = {{"w", 51}, {"wa", 52}, {"wab", 0}, {"thre", 21}, {"threshold", 21}, {"thr", 0},
               {"", 0},   {"#w", 0},  {"W", 0},   {"var", 9},   {"x", 0}};
  for (const auto& c : cases) EXPECT_EQ(search_command_option(&cb(), c.name), c.slot) << c.name;
  EXPECT_STREQ(cb().co[21].code, "thre");
  int status = -99;
  EXPECT_EQ(option_float("threshold", &cb(), ib(), nullptr, 1, &status).V, 0.5f);
  EXPECT_EQ(status, Success);
}

TEST_F(Parameters, DefinitionErrorsEndTheProgram) {
  option_define(IO_TypeFlag, "msk", "FALSE", &cb());
  struct {
    int ptyp;
    const char* name;
    const char* defval;
    const char* message;
  } cases[] = {
      {IO_TypeFlexp, "ori", "1", "ERROR: Option duplicated or reserved: -ori\n"},
      {IO_TypeFlexp, "i1x", "1", "ERROR: Option duplicated or reserved: -i1x\n"},
      {IO_TypeFlexp, "I1x", "1", "ERROR: Option duplicated or reserved: -I1x\n"},
      {IO_TypeFlag, "msk", "1", "ERROR: Option duplicated or reserved: -msk\n"},
      {IO_TypeFlag, "MSK", "1", "ERROR: Option duplicated or reserved: -MSK\n"},
      {IO_TypeLine, "var", "x", "ERROR: Option duplicated or reserved: -var\n"},
      {IO_TypeMode, "xm", "1", "ERROR: Option definition failed: xm\n"},
      {IO_TypeFlag, "flg", "maybe", "ERROR: Option definition failed: flg: maybe\n"},
      {IO_TypeFloat, "f", "1/0", "ERROR: Option definition failed: f: 1/0\n"},
  };
  for (const auto& c : cases)
    EXPECT_EXIT(option_define(c.ptyp, c.name, c.defval, &cb()), ::testing::ExitedWithCode(255),
                c.message)
        << c.name;
}

TEST_F(Parameters, FullRanges) {
  for (int k = 0; k < 10; k++)
    option_define(IO_TypeFlag, ("f" + std::to_string(k)).c_str(), "0", &cb());
  EXPECT_EXIT(option_define(IO_TypeFlag, "f10", "0", &cb()), ::testing::ExitedWithCode(255),
              "ERROR: Option definition failed: f10\n");
  for (int k = 0; k < 30; k++)
    option_define(IO_TypeFlexp, ("e" + std::to_string(k)).c_str(), "0", &cb());
  EXPECT_EXIT(option_define(IO_TypeFlexp, "e30", "0", &cb()), ::testing::ExitedWithCode(255),
              "ERROR: Option definition failed: e30\n");
}

TEST_F(Parameters, FlagReadsBack) {
  option_define(IO_TypeFlag, "msk", "FALSE", &cb());
  option_define(IO_TypeFlag, "set", "yes", &cb());
  int status = -99;
  IO_long f = option_flag("msk", &cb(), &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(f.V, 0);
  EXPECT_EQ(f.I, 0);
  EXPECT_EQ(option_flag("set", &cb(), &status).V, 1);

  cb().Flg[0] = {1, 1};  // as +msk stores it
  f = option_flag("msk", &cb(), &status);
  EXPECT_EQ(f.V, 1);
  EXPECT_EQ(f.I, 1);
}

TEST_F(Parameters, ReadersOfEveryKind) {
  DefineNine(&cb());
  option_define(IO_TypeLong, "n", "7", &cb());
  option_define(IO_TypeFloat, "f", "2.5", &cb());
  // As the options -w 2*3 -rmsk (round)2.5 -mnam m.wib -f 1+1 store them.
  cb().Flexp[2] = {"2*3", -1};
  cb().Lvexp[0] = {"(round)2.5", -1};
  cb().Lin[0] = {"m.wib", -1};
  cb().Arg[0] = {2.0f, -1};
  int status = -99;
  IO_float w = option_float("w", &cb(), ib(), nullptr, 1, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(w.V, 6.0f);
  EXPECT_EQ(w.I, -1);
  IO_float a = option_float("a", &cb(), ib(), nullptr, 1, &status);
  EXPECT_EQ(a.V, 1.0f);
  EXPECT_EQ(a.I, 0);
  EXPECT_EQ(option_float("f", &cb(), ib(), nullptr, 1, &status).V, 2.0f);
  IO_long r = option_long("rmsk", &cb(), ib(), nullptr, 1, &status);
  EXPECT_EQ(r.V, 3);
  EXPECT_EQ(r.I, -1);
  EXPECT_EQ(option_long("n", &cb(), ib(), nullptr, 1, &status).V, 7);
  IO_line m = option_line("mnam", &cb(), ib(), nullptr, 1, &status);
  EXPECT_STREQ(m.V, "m.wib");
  EXPECT_EQ(m.I, -1);
}

TEST_F(Parameters, ReaderErrors) {
  DefineNine(&cb());
  struct Case {
    const char* reader;
    const char* name;
    int status;
  } cases[] = {
      {"float", "msk", OutOfRange}, {"float", "nope", NoOption}, {"float", "var", OutOfRange},
      {"long", "w", OutOfRange},    {"line", "w", OutOfRange},   {"flag", "mnam", OutOfRange},
      {"flag", "", NoOption},       {"long", "mode", Success},
  };
  for (const auto& c : cases) {
    int status = -99;
    std::string r = c.reader;
    long v = 1;
    int i = 1;
    if (r == "float") {
      IO_float x = option_float(c.name, &cb(), ib(), nullptr, 1, &status);
      v = static_cast<long>(x.V);
      i = x.I;
    } else if (r == "long") {
      IO_long x = option_long(c.name, &cb(), ib(), nullptr, 1, &status);
      v = x.V;
      i = x.I;
    } else if (r == "line") {
      IO_line x = option_line(c.name, &cb(), ib(), nullptr, 1, &status);
      v = x.V[0];
      i = x.I;
    } else {
      IO_long x = option_flag(c.name, &cb(), &status);
      v = x.V;
      i = x.I;
    }
    EXPECT_EQ(status, c.status) << r << " " << c.name;
    EXPECT_EQ(v, 0) << r << " " << c.name;
    EXPECT_EQ(i, 0) << r << " " << c.name;
  }
  int status = -99;
  option_flag("msk", nullptr, &status);
  EXPECT_EQ(status, Failed);
  // The reader is recorded for the error report.
  option_float("nope", &cb(), ib(), nullptr, 1, &status);
  EXPECT_EQ(*KeloErrorBlock().ModuleName, "KeloParameter");
  EXPECT_EQ(*KeloErrorBlock().RoutineName, "option_float");
  EXPECT_EQ(*KeloErrorBlock().Message, "nope");
}

TEST_F(Parameters, EvaluationErrorsOfTheReaders) {
  DefineNine(&cb());
  cb().Flexp[2] = {"1/0", -1};  // kept as text by -w 1/0
  cb().Lvexp[0] = {"2.5", -1};
  int status = -99;
  IO_float w = option_float("w", &cb(), ib(), nullptr, 1, &status);
  EXPECT_EQ(status, DivByZero);
  EXPECT_EQ(w.I, 0);
  option_long("rmsk", &cb(), ib(), nullptr, 1, &status);
  EXPECT_EQ(status, ScanError);
}

TEST_F(Parameters, KeysAreReplacedForTheCurrentImages) {
  DefineNine(&cb());
  cb().Flexp[2] = {"[INUM]*2", -1};  // w
  cb().Lvexp[0] = {"[INUM]+1", 1};   // rmsk
  cb().Lin[0] = {"m[INUM].wib", 1};  // mnam
  int status = -99;
  for (long image : {3L, 8L}) {
    long num[2] = {1, image};
    EXPECT_EQ(option_float("w", &cb(), ib(), num, 1, &status).V, 2.0f * image);
    EXPECT_EQ(status, Success);
    EXPECT_EQ(option_long("rmsk", &cb(), ib(), num, 1, &status).V, image + 1);
    EXPECT_EQ(option_line("mnam", &cb(), ib(), num, 1, &status).V,
              "m" + std::to_string(image) + ".wib");
  }
  // Without image numbers a text is passed on as it stands.
  EXPECT_STREQ(option_line("mnam", &cb(), ib(), nullptr, 1, &status).V, "m[INUM].wib");
}

TEST_F(Parameters, ParameterSearchAndUpdate) {
  DefineNine(&cb());
  option_define(IO_TypeLong, "n", "7", &cb());
  option_define(IO_TypeFloat, "f", "2.5", &cb());
  int status = -99;
  EXPECT_EQ(option_parameter_search("w", &cb(), &status), &cb().Flexp[2]);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(option_parameter_search("rmsk", &cb(), &status), &cb().Lvexp[0]);
  EXPECT_EQ(option_parameter_search("msk", &cb(), &status), &cb().Flg[0]);
  EXPECT_EQ(option_parameter_search("mnam", &cb(), &status), &cb().Lin[0]);
  EXPECT_EQ(option_parameter_search("n", &cb(), &status), &cb().Num[0]);
  EXPECT_EQ(option_parameter_search("f", &cb(), &status), &cb().Arg[0]);
  EXPECT_EQ(option_parameter_search("test", &cb(), &status), nullptr);
  EXPECT_EQ(status, OutOfRange);
  EXPECT_EQ(option_parameter_search("zz", &cb(), &status), nullptr);
  EXPECT_EQ(status, NoOption);

  EXPECT_EQ(option_parameter_update("3*3", 1, "n", &cb(), &status), &cb().Num[0]);
  EXPECT_EQ(cb().Num[0].V, 9);
  EXPECT_EQ(cb().Num[0].I, 1);
  option_parameter_update("0.5*3", 1, "f", &cb(), &status);
  EXPECT_EQ(cb().Arg[0].V, 1.5f);
  option_parameter_update("TRUE", 1, "msk", &cb(), &status);
  EXPECT_EQ(cb().Flg[0].V, 1);
  option_parameter_update("x[Title]", 1, "w", &cb(), &status);
  EXPECT_STREQ(cb().Flexp[2].V, "x[Title]");
  EXPECT_EQ(option_parameter_update("1/0", 1, "n", &cb(), &status), nullptr);
  EXPECT_EQ(status, DivByZero);
  EXPECT_EQ(cb().Num[0].V, 9);

  IO_long* flag = option_flag_update(0, -1, "msk", &cb(), &status);
  EXPECT_EQ(flag, &cb().Flg[0]);
  EXPECT_EQ(cb().Flg[0].V, 0);
  EXPECT_EQ(cb().Flg[0].I, -1);
  EXPECT_EQ(option_flag_update(1, 1, "w", &cb(), &status), nullptr);
  EXPECT_EQ(status, OutOfRange);
}

TEST(ParameterTypes, Names) {
  const char* names[] = {"none",  "flag", "line", "long", "lvexp", "float",
                         "flexp", "mode", "rsys", "none", "none",  "none"};
  for (int t = 0; t < 12; t++) EXPECT_STREQ(option_type2string(t), names[t]) << t;
  EXPECT_STREQ(option_type2string(-1), "none");
}

TEST_F(Parameters, DebugLines) {
  cb().TestBit = 1;
  testutil::Capture out(stdout);
  option_define(IO_TypeFlexp, "w", "4.0", &cb());
  int status = -99;
  option_float("w", &cb(), ib(), nullptr, 1, &status);
  option_parameter_search("w", &cb(), &status);
  EXPECT_EQ(out.Text(),
            "option_define: type=flexp, default w.V=4.0\n"
            "floatkeyvalue: string=4.0, line=4.0, value=4\n"
            "option_float: w.I=0, w.V=4\n"
            "option_parameter_search: option=w\n");
}

TEST_F(Parameters, OlderInterface) {
  DefFlgOption(&cb(), "f", 2);
  DefLineOption(&cb(), "l", 0);
  DefIntOption(&cb(), "n", 9);
  DefFloatOption(&cb(), "x", 29);
  EXPECT_EQ(search_command_option(&cb(), "f"), 113);
  EXPECT_EQ(cb().co[113].npar, 0);
  EXPECT_EQ(search_command_option(&cb(), "l"), 101);
  EXPECT_EQ(search_command_option(&cb(), "n"), 90);
  EXPECT_EQ(search_command_option(&cb(), "x"), 50);
  EXPECT_EQ(cb().co[50].npar, 1);
  // The messages go to standard output; the checks read them on standard
  // error of the dying child.
  EXPECT_EXIT((dup2(2, 1), DefFlgOption(&cb(), "g", 10)), ::testing::ExitedWithCode(255),
              "ERROR: Option definition failed: g, flgopt_no = 10 \n");
  EXPECT_EXIT((dup2(2, 1), DefFloatOption(&cb(), "y", -1)), ::testing::ExitedWithCode(255),
              "ERROR: Option definition failed: y, argopt_no = -1 \n");
  EXPECT_EXIT((dup2(2, 1), DefIntOption(&cb(), "f", 1)), ::testing::ExitedWithCode(255),
              "ERROR: Option duplicated or reserved: -f\n");
  EXPECT_EXIT((dup2(2, 1), DefLineOption(&cb(), "ox", 1)), ::testing::ExitedWithCode(255),
              "ERROR: Option duplicated or reserved: -ox\n");
  // A slot holds one name.
  EXPECT_EXIT((dup2(2, 1), DefIntOption(&cb(), "m", 9)), ::testing::ExitedWithCode(255),
              "ERROR: Option duplicated or reserved: -m\n");
}

}  // namespace
