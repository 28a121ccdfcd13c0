#include "src/filter_entry.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloParameter.h"
#include "testutil.h"

namespace {

const std::string ExePath = KELO_FILTER_EXE;
const std::string ExeDir = ExePath.substr(0, ExePath.rfind('/'));
// The program as a person calls it from its directory (the help shows it).
const std::string Exe = "./" + ExePath.substr(ExePath.rfind('/') + 1);
const std::string Data = std::string(KELO_TEST_DATA_DIR) + "/kelo_filter/";

// Runs the program with the given words after its name (a shell command
// line fragment).
testutil::RunResult Filter(const std::string& words) {
  return testutil::Run(Exe + " " + words, "", ExeDir);
}

std::string Golden(const std::string& name) { return testutil::ReadFile(Data + name); }

TEST(FilterParameters, DefinedInOrderWithDefaults) {
  struct Blocks {
    CmdBlk cb;
    ImgBlk ib[2];
  };
  auto b = std::make_unique<Blocks>();
  InitOptions(MainHelp, MainVersion, nullptr, FilterRejectNum, &b->cb, b->ib, FilterImageBlocks);
  DefineFilterParameters(&b->cb);
  struct {
    const char* name;
    int ptyp;
    const char* text;
  } cases[] = {
      {"mnam", IO_TypeLine, "msk.wib"}, {"msk", IO_TypeFlag, nullptr}, {"rmsk", IO_TypeLvexp, "4"},
      {"mode", IO_TypeLvexp, "0"},      {"chi2", IO_TypeFlexp, "5.0"}, {"max", IO_TypeFlexp, "0.0"},
      {"w", IO_TypeFlexp, "4.0"},       {"wa", IO_TypeFlexp, "4.0"},   {"a", IO_TypeFlexp, "1.0"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    int status = -99;
    EXPECT_EQ(option_type(c.name, &b->cb), c.ptyp);
    void* record = option_parameter_search(c.name, &b->cb, &status);
    ASSERT_NE(record, nullptr);
    if (c.text)
      EXPECT_STREQ(static_cast<IO_line*>(record)->V, c.text);
    else
      EXPECT_EQ(static_cast<IO_long*>(record)->V, 0);
  }
  ReleaseOptions(&b->cb);
}

TEST(FilterProgram, ShortHelp) {
  auto r = Filter("-h");
  EXPECT_EQ(r.exit_code, StoppedAfterHelp);
  EXPECT_EQ(r.out, Golden("help_short.txt"));
  EXPECT_EQ(r.err, "\nStatus = 40 -- StoppedAfterHelp\n");
}

TEST(FilterProgram, LongHelp) {
  auto r = Filter("+h");
  EXPECT_EQ(r.exit_code, StoppedAfterHelp);
  EXPECT_EQ(r.out, Golden("help_long.txt"));
  EXPECT_EQ(r.err, "\nStatus = 40 -- StoppedAfterHelp\n");
}

// Failure report of a run that went on to open an input file that does not
// exist.
std::string InputNotFound(const std::string& name) {
  return "\nMODULE   : KeloImage\nROUTINE  : OpenImageFile\n" + name +
         "\nStatus = 22 -- FileNotFound\n";
}

// Understood options let the run go on to the input file (here one that
// does not exist; the prompts take their defaults at the end of input).
TEST(FilterProgram, OptionsOnlyGoOnToTheInput) {
  struct {
    const char* words;
    const char* input;
  } cases[] = {{"", "input.wib"}, {"-ofac 2 +var -w 3", "input.wib"},
               {"+MSK -Chi2 4 in.wib out.wib", "in.wib"}};
  for (const auto& c : cases) {
    auto r = Filter(c.words);
    EXPECT_EQ(r.exit_code, FileNotFound) << c.words;
    EXPECT_EQ(r.err, InputNotFound(c.input)) << c.words;
  }
}

TEST(FilterProgram, TestListing) {
  auto r = Filter("+test");
  EXPECT_EQ(r.exit_code, FileNotFound);
  EXPECT_EQ(r.out.rfind(Golden("test_listing.txt"), 0), 0u);
}

TEST(FilterProgram, UpperCaseOptions) {
  auto r = Filter("+TEST -I1NAM In.wib -OFAC 2 +MsK -W 3");
  EXPECT_EQ(r.exit_code, FileNotFound);
  for (const char* line :
       {"ImageBlock[1].Name.V      = In.wib\n", "ImageBlock[0] Factor.V    = 2\n",
        "CommandBlock.Flg[0].V              = 1\n", "CommandBlock.Flexp[2].V          = 3\n"})
    EXPECT_NE(r.out.find(line), std::string::npos) << line << r.out;
}

// Every failure of the option parsing: its status as exit code and the
// stored message after the module and routine lines.
TEST(FilterProgram, Failures) {
  struct Case {
    const char* words;
    int status;
    const char* message;  // null: the program path comes first
    const char* out;      // start of what standard output holds
  } cases[] = {
      {"-zzz", NoOption, nullptr, ""},
      {"-i2nam x", NoOption, nullptr, ""},
      {"-i1", NoOption, nullptr, ""},
      {"-", NoOption, nullptr, ""},
      {"+", NoOption, nullptr, ""},
      {"-.5", NoOption, nullptr, ""},
      {"-ofac", ScanEmpty, "    -ofac ... ", ""},
      {"-ofac ''", ScanError, "    -ofac  ... ", ""},
      {"-i1mod x", ScanError, "    -i1mod x ... ",
       "Use -omod with one of the following modes : \n"},
      {"-rsys x", ScanError, "    -rsys x ... ", "\nUse -rsys and -usys"},
      {"-usys =", Success, "", ""},
      {"-i1pro x", ScanError, "    -i1pro x ... ", "\nUse -pro"},
      {"-oaxis x", ScanError, "    -oaxis x ... ", "\nUse -axis"},
      {"-type x", ScanError, "    -type x ... ", ""},
      {"-cmpr x", ScanError, "    -cmpr x ... ", ""},
      {"-add x+", NoFloatNumber, "    -add x+ ... ", ""},
      {"-i1fst 7q", ScanError, "    -i1fst 7q ... ", ""},
      {"-pmin 0.5q", Failed, "    -pmin 0.5q ... ", ""},
      {"-add '(1'", BadParenthesis, "    -add (1 ... ", ""},
      {"-i1inc 1/0", DivByZero, "    -i1inc 1/0 ... ", ""},
      {"-rmsk 4 -w", ScanEmpty, "    -w ... ", ""},
      {"-rmsk 4 -msk -wb 1", NoOption, "    -msk -wb ... ", ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    auto r = Filter(c.words);
    if (c.status == Success) {
      EXPECT_EQ(r.exit_code, FileNotFound);  // parsed: the run went on
      continue;
    }
    EXPECT_EQ(r.exit_code, c.status == Failed ? 255 : c.status);
    std::string words = c.words;
    std::string first =
        c.message ? c.message : "    " + Exe + " " + words.substr(0, words.find(' ')) + " ... ";
    std::string expected = "\nMODULE   : KeloOption\nROUTINE  : ReadOptions\n" + first + "\n" +
                           "Status = " + std::to_string(c.status) + " -- " +
                           KeloStatusText(c.status) + "\n";
    EXPECT_EQ(r.err, expected);
    EXPECT_EQ(r.out.rfind(c.out, 0), 0u) << r.out;
  }
}

TEST(FilterProgram, BadWordsNeverCrash) {
  std::string huge(5000, 'x');
  const std::vector<std::string> cases = {"-" + huge,  "-i1nam " + huge, "-ofac " + huge,
                                          "'' -h",     "-w ''",          "-i1nam " + huge + ",1,2",
                                          "-i1mod ''", "-type ''",       "-cmpr ''"};
  for (const std::string& words : cases) {
    auto r = Filter(words);
    EXPECT_NE(r.exit_code, -1) << words.substr(0, 40);  // ended by a signal
  }
}

}  // namespace
