#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "KeloOption_fixture.h"
#include "kelopack/KeloError.h"
#include "kelopack/KeloOption.h"
#include "testutil.h"

namespace {

// The option blocks with a command line and answers for the prompts.
class Positional : public OptionBlocks {
 protected:
  void TearDown() override {
    if (answers_) fclose(answers_);
    answers_ = nullptr;
    OptionBlocks::TearDown();
  }

  // Fresh blocks for the next case of a table.
  void Reset() {
    TearDown();
    SetUp();
  }

  // Reads the options of "prog words..."; the positional words stay.
  void CommandLine(const std::vector<std::string>& words) {
    arg_no_ = 0;
    words_ = {"prog"};
    words_.insert(words_.end(), words.begin(), words.end());
    argv_.clear();
    for (auto& w : words_) argv_.push_back(w.data());
    argv_.push_back(nullptr);
    int status = -99;
    ReadOptions(argv_.data(), &arg_no_, &cb(), ib(), &status);
    ASSERT_EQ(status, Success);
    // No prompting unless a case asks for it.
    if (!cb().Prompt.I) cb().Prompt.V = 0;
  }

  // Prompt mode with these lines on the input stream.
  void Answers(const std::string& text) {
    answer_text_ = text;
    answers_ = answer_text_.empty() ? fopen("/dev/null", "r")
                                    : fmemopen(answer_text_.data(), answer_text_.size(), "r");
    cb().infile = answers_;
    cb().Prompt.V = 1;
  }

  std::vector<std::string> words_;
  std::vector<char*> argv_;
  int arg_no_ = 0;
  std::string answer_text_;
  FILE* answers_ = nullptr;
};

struct TextCase {
  const char* name;
  std::vector<std::string> words;
  const char* answers;  // null: no prompting
  const char* option;   // value set by an option first (flag -1), or null
  const char* defval;
  int status;
  const char* value;
  int flag;
  const char* out;
};

// The float expression reader: words, markers, prompt answers.
TEST_F(Positional, FlexpTable) {
  const TextCase cases[] = {
      {"no word: default, set", {}, nullptr, nullptr, "4.0", Success, "4.0", 1, ""},
      {"word", {"7*2"}, nullptr, nullptr, "4.0", Success, "7*2", 1, ""},
      {"skip word", {"..."}, nullptr, nullptr, "4.0", Success, "4.0", 0, "... skipped\n"},
      {"= keeps the option", {"="}, nullptr, "3", "4.0", Success, "3", 1, ""},
      {"... keeps the option", {"..."}, nullptr, "3", "4.0", Success, "3", -1, "... skipped\n"},
      {"word beats option", {"5"}, nullptr, "3", "4.0", Success, "5", 1, ""},
      {"empty answer: default", {}, "\n", nullptr, "4.0", Success, "4.0", 1, "Width [4.0] : "},
      {"answer", {}, "2 * w  # c\n", nullptr, "4.0", Success, "2 * w", 1, "Width [4.0] : "},
      {"answer after word", {"6"}, "\n", nullptr, "4.0", Success, "6", 1, "Width [6] : "},
      {"$nul restores", {}, "$nul\n", "3", "4.0", Success, "3", -1,
       "Width [3] : ... skipped\n"},
      {"skip answer", {}, "...\n", nullptr, "4.0", Success, "4.0", 0,
       "Width [4.0] : ... skipped\n"},
      {"end of input", {}, "", nullptr, "4.0", Success, "4.0", 1, "Width [4.0] : "},
      {"no default shown", {}, "\n", nullptr, "", Success, "", 0, "Width : ... skipped\n"},
      {"abort", {}, "$EXIT\n", nullptr, "4.0", Abort, "4.0", 0, "Width [4.0] : "},
      {"end of transmission", {}, "1\x04\n", nullptr, "4.0", Abort, "4.0", 0, "Width [4.0] : "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    CommandLine(c.words);
    if (c.answers) Answers(c.answers);
    IO_flexp value{};
    if (c.option) {
      strcpy(value.V, c.option);
      value.I = -1;
    }
    int status = -99;
    testutil::Capture out(stdout);
    argv_flexp(&cb(), "Width", &value, c.defval, &status);
    EXPECT_EQ(out.Text(), c.out);
    EXPECT_EQ(status, c.status);
    EXPECT_STREQ(value.V, c.value);
    EXPECT_EQ(value.I, c.flag);
    EXPECT_EQ(arg_no_, 1);  // one position consumed, word or not
    if (c.status == Abort) {
      EXPECT_EQ(KeloErrorBlock().RoutineName.value_or(""), "argv_flexp");
    }
  }
}

// A line may be empty; its prompt always shows the default.
TEST_F(Positional, LineValues) {
  const TextCase cases[] = {
      {"$nul: empty text", {}, "$nul\n", nullptr, "in.wib", Success, "", 1, "Name [in.wib] : "},
      {"empty default shown", {}, "\n", nullptr, "", Success, "", 1, "Name [] : "},
      {"word", {"a b"}, nullptr, nullptr, "in.wib", Success, "a b", 1, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    CommandLine(c.words);
    if (c.answers) Answers(c.answers);
    IO_line value{};
    int status = -99;
    testutil::Capture out(stdout);
    argv_line(&cb(), "Name", &value, c.defval, &status);
    EXPECT_EQ(out.Text(), c.out);
    EXPECT_EQ(status, c.status);
    EXPECT_STREQ(value.V, c.value);
    EXPECT_EQ(value.I, c.flag);
  }
}

TEST_F(Positional, LongValues) {
  struct {
    const char* name;
    std::vector<std::string> words;
    const char* answers;
    int status;
    long value;
    int flag;
    const char* out;
  } cases[] = {
      {"word evaluated", {"2*3"}, nullptr, Success, 6, 1, ""},
      {"default", {}, nullptr, Success, 9, 1, ""},
      {"skip", {"..."}, nullptr, Success, 9, 0, "... skipped\n"},
      {"answer", {}, "4+1\n", Success, 5, 1, "First [9] : "},
      {"empty answer", {"3"}, "\n", Success, 3, 1, "First [3] : "},
      {"abort", {}, "$eod\n", Abort, 9, 0, "First [9] : "},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Reset();
    CommandLine(c.words);
    if (c.answers) Answers(c.answers);
    IO_long value{};
    int status = -99;
    testutil::Capture out(stdout);
    argv_long(&cb(), "First", &value, 9, &status);
    EXPECT_EQ(out.Text(), c.out);
    EXPECT_EQ(status, c.status);
    EXPECT_EQ(value.V, c.value);
    EXPECT_EQ(value.I, c.flag);
  }
}

// An integer word that is no expression fails with the evaluator's status
// and becomes the message; a bad answer fails the same way and keeps the
// value.
TEST_F(Positional, BadNumbers) {
  CommandLine({"7q"});
  IO_long value{};
  int status = -99;
  argv_long(&cb(), "First", &value, 1, &status);
  EXPECT_NE(status, Success);
  EXPECT_EQ(KeloErrorBlock().Message.value_or(""), "7q");
  EXPECT_EQ(KeloErrorBlock().RoutineName.value_or(""), "argv_long");

  Reset();
  CommandLine({});
  Answers("(1\n");
  IO_float f{2.5f, 0};
  testutil::Capture out(stdout);
  argv_float(&cb(), "Factor", &f, 2.5f, &status);
  EXPECT_EQ(out.Text(), "Factor [2.5] : ");
  EXPECT_EQ(status, BadParenthesis);
  EXPECT_EQ(f.V, 2.5f);
  EXPECT_EQ(f.I, 0);
}

TEST_F(Positional, FloatFlagAndCoordinates) {
  CommandLine({"1.5_mm", "yes", "3/4", "TRUE*0", "=", "..."});
  IO_float d{}, c{}, x{}, y{};
  IO_long flag{}, off{};
  int status = -99;
  argv_dist(&cb(), "Distance", &d, 0.0f, &status);
  EXPECT_EQ(status, Success);
  EXPECT_FLOAT_EQ(d.V, 1.5e-3f);
  argv_flag(&cb(), "Flag", &flag, 0, &status);
  EXPECT_EQ(flag.V, 1);
  argv_coord(&cb(), "Coordinate", &c, 0.0f, &status);
  EXPECT_EQ(c.V, 0.75f);
  argv_flag(&cb(), "Flag", &off, 1, &status);
  EXPECT_EQ(off.V, 0);
  EXPECT_EQ(off.I, 1);
  argv_float(&cb(), "x", &x, 7.0f, &status);
  EXPECT_EQ(x.V, 7.0f);
  EXPECT_EQ(x.I, 1);
  testutil::Capture out(stdout);
  argv_float(&cb(), "y", &y, 8.0f, &status);
  EXPECT_EQ(out.Text(), "... skipped\n");
  EXPECT_EQ(y.I, 0);
  EXPECT_EQ(status, Success);
}

// A name with appended numbers sets the image range of its block.
TEST_F(Positional, FilenameWithNumbers) {
  CommandLine({"img.wib,5,9"});
  int status = -99;
  argv_filename(&cb(), "Input sequence 1", ib(), 1, "input.wib", &status);
  EXPECT_EQ(status, Success);
  EXPECT_STREQ(ib()[1].Name.V, "img.wib,5,9");
  EXPECT_EQ(ib()[1].Name.I, 1);
  EXPECT_EQ(ib()[1].First.V, 5);
  EXPECT_EQ(ib()[1].First.I, 1);
  EXPECT_EQ(ib()[1].Last.V, 9);
  EXPECT_EQ(ib()[1].Inc.I, 0);
}

// Prompting starts by itself when fewer words than expected follow the
// options, unless the option "p" decided.
TEST_F(Positional, StartChoosesPromptMode) {
  struct {
    std::vector<std::string> words;
    long prompt;
  } cases[] = {{{}, 1}, {{"in.wib"}, 0}, {{"-ofac", "2"}, 1}, {{"-p"}, 0}, {{"+p", "in"}, 1}};
  for (auto& c : cases) {
    SCOPED_TRACE(c.words.empty() ? "" : c.words[0]);
    Reset();
    CommandLine(c.words);
    argv_start(&cb(), 1);
    EXPECT_EQ(cb().Prompt.V, c.prompt);
  }
}

// Surplus words: a warning and the usage line, the status unchanged.
TEST_F(Positional, EndWarnsAboutSurplusWords) {
  CommandLine({"a", "b", "c", "d"});
  int status = -99;
  IO_line v{};
  argv_line(&cb(), "A", &v, "", &status);
  testutil::Capture err(stderr);
  argv_end(&cb());
  EXPECT_EQ(err.Text(), "WARNING : prog : Too many arguments\nUsage: prog <usage>\n");
  EXPECT_EQ(arg_no_, 5);

  Reset();
  CommandLine({"a"});
  argv_line(&cb(), "A", &v, "", &status);
  testutil::Capture quiet(stderr);
  argv_end(&cb());
  EXPECT_EQ(quiet.Text(), "");
}

}  // namespace
