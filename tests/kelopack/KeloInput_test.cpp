#include "kelopack/KeloInput.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <tuple>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloExpression.h"
#include "testutil.h"

namespace {

// A stream that reads the given text.
class Input {
 public:
  explicit Input(const std::string& text) {
    f_ = tmpfile();
    fwrite(text.data(), 1, text.size(), f_);
    rewind(f_);
  }
  ~Input() { fclose(f_); }
  FILE* get() const { return f_; }

 private:
  FILE* f_;
};

TEST(KeloInput, Version) { EXPECT_STREQ(KeloInputVersion(), "KeloInput V4.40 Orrin 2007-04-19"); }

TEST(KeloInput, CopyLine) {
  struct Case { const char* in; int len; int conversion; const char* out; } cases[] = {
      {"ABC", 3, -1, "ab"},
      {"ABC", 4, -1, "abc"},
      {"abc", 10, 1, "ABC"},
      {"aBc", 10, 0, "aBc"},
      {"aBc", 10, 7, "aBc"},
      {"abc", 1, 0, ""},
      {"abc", 2, 0, "a"},
      {nullptr, 10, 0, ""},
      {"", 10, 1, ""},
  };
  for (const auto& c : cases) {
    char out[16];
    memset(out, 'x', sizeof out);
    EXPECT_EQ(CopyLine(c.in, out, c.len, c.conversion), out);
    EXPECT_STREQ(out, c.out) << (c.in ? c.in : "(null)") << " len " << c.len;
  }
}

TEST(KeloInput, CopyLineStaysInsideItsBuffers) {
  // len 0 leaves the buffer alone; the source is read no further than len - 1.
  char out[4] = "xyz";
  CopyLine("abc", out, 0, 0);
  EXPECT_STREQ(out, "xyz");
  EXPECT_EQ(CopyLine("abc", nullptr, 10, 0), nullptr);
  char unterminated[3] = {'a', 'b', 'c'};
  char dst[4];
  CopyLine(unterminated, dst, 3, 1);
  EXPECT_STREQ(dst, "AB");
  // In place, with conversion.
  char same[] = "Hello World";
  CopyLine(same, same, 6, 1);
  EXPECT_STREQ(same, "HELLO");
  // A long text is cut to 1023 characters.
  std::string longtext(5000, 'q');
  char line[InputLineLength];
  CopyLine(longtext.c_str(), line, InputLineLength, 0);
  EXPECT_EQ(strlen(line), 1023u);
}

TEST(KeloInput, EditLine) {
  struct Case { int flag; const char* in; const char* out; } cases[] = {
      {18, "  a\tb   c # note", "a b c"},
      {17, " 1 + 2 # x", "1+2"},
      {17, "1 + 2   ", "1+2"},
      {18, "# only a comment", ""},
      {18, "   ", ""},
      {18, "answer\n", "answer"},
      {18, "a\r\n", "a"},
      {0x02, "  a  b # c  ", "a b # c"},
      {0x01, " a \v b\f c\r\n", "abc"},
      {0x00, "  a \t\n b  ", " a b "},
      {0x04, " mixed Case ", " MIXED CASE "},
      {0x06, " mixed Case ", "MIXED CASE"},
      {0x0a, " Mixed CASE ", "mixed case"},
      {0x0e, "MiXeD", "mixed"},  // lower wins over upper
      {0x10, "a  b#c#d", "a b"},
      {17, "", ""},
      {17, "#", ""},
  };
  for (const auto& c : cases) {
    std::string buf(c.in);
    std::vector<char> s(buf.begin(), buf.end());
    s.push_back('\0');
    EXPECT_EQ(EditLine(c.flag, s.data()), s.data());
    EXPECT_STREQ(s.data(), c.out) << "flag " << c.flag << " '" << c.in << "'";
  }
  EXPECT_EQ(EditLine(18, nullptr), nullptr);
}

TEST(KeloInput, EditLineReadsNothingBeyondTheEnd) {
  // A heap buffer of exactly the string's size: the sanitizer build catches
  // any read or write past the terminator.
  const char* text = "x = 1   \t  ";
  size_t n = strlen(text) + 1;
  char* s = static_cast<char*>(malloc(n));
  memcpy(s, text, n);
  EditLine(17, s);
  EXPECT_STREQ(s, "x=1");
  memcpy(s, text, n);
  EditLine(0, s);
  EXPECT_STREQ(s, "x = 1 ");
  free(s);
}

TEST(KeloInput, AnswerWords) {
  struct Case { const char* s; int def, abort, skip, null; } cases[] = {
      {"", 1, 0, 0, 0},
      {"$EXIT", 0, 1, 0, 0},
      {"$exit\n", 0, 1, 0, 0},
      {"$Eod", 0, 1, 0, 0},
      {"\\\\", 0, 1, 0, 0},
      {"ab\\\\", 0, 1, 0, 0},
      {"abc\\\\", 0, 0, 0, 0},  // beyond the first four characters
      {" $exi", 0, 0, 0, 0},
      {"$ex", 0, 0, 0, 0},
      {"text\x04more", 0, 1, 0, 0},
      {"...", 0, 0, 1, 0},
      {"...\n", 0, 0, 1, 0},
      {"...\r", 0, 0, 1, 0},
      {"... ", 0, 0, 0, 0},
      {"....", 0, 0, 0, 0},
      {"..", 0, 0, 0, 0},
      {"...\n\n", 0, 0, 0, 0},
      {"$NUL", 0, 0, 0, 1},
      {"$nix\n", 0, 0, 0, 1},
      {"$null", 0, 0, 0, 1},
      {"x$nul", 0, 0, 0, 0},
      {"=", 0, 0, 0, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(DefaultCheck(c.s) != 0, c.def != 0) << c.s;
    EXPECT_EQ(AbortCheck(c.s) != 0, c.abort != 0) << c.s;
    EXPECT_EQ(SkipCheck(c.s) != 0, c.skip != 0) << c.s;
    EXPECT_EQ(NullCheck(c.s) != 0, c.null != 0) << c.s;
  }
  EXPECT_FALSE(AbortCheck(nullptr));
  EXPECT_FALSE(SkipCheck(nullptr));
  EXPECT_FALSE(NullCheck(nullptr));
}

// Answers a GetLine prompt with 'answer' and returns status and value.
struct LineResult {
  int status;
  std::string value;
  std::string shown;
};

LineResult AskLine(const std::string& answer, int flag, const char* def) {
  Input in(answer);
  char value[InputLineLength] = "untouched";
  testutil::Capture out(stdout);
  int status = GetLine(in.get(), value, flag, "Input file", def);
  return {status, value, out.Text()};
}

TEST(KeloInput, GetLineAnswers) {
  struct Case { const char* answer; int flag; const char* def; int status; const char* value; } cases[] = {
      {"b.wib\n", 1, "a.wib", Success, "b.wib"},
      {"  b   c.wib  # comment\n", 1, "a.wib", Success, "b c.wib"},
      {"\n", 1, "a.wib", Success, "a.wib"},
      {"", 1, "a.wib", Success, "a.wib"},  // end of input: like an empty answer
      {"   # nothing\n", 1, "a.wib", Success, "a.wib"},
      {"\n", 0, "a.wib", NoDefault, "untouched"},
      {"", 0, "a.wib", NoDefault, "untouched"},
      {"\n", 1, "...", SkipInput, "untouched"},
      {"...\n", 1, "a.wib", SkipInput, "untouched"},
      {"...", 1, "a.wib", SkipInput, "untouched"},
      {"$EXIT\n", 1, "a.wib", Abort, "untouched"},
      {"\\\\\n", 1, "a.wib", Abort, "untouched"},
      {"$NUL\n", 1, "a.wib", Success, ""},
      {"$nix\n", 0, "a.wib", Success, ""},
      {"\n", 1, nullptr, Success, ""},
  };
  for (const auto& c : cases) {
    LineResult r = AskLine(c.answer, c.flag, c.def);
    EXPECT_EQ(r.status, c.status) << "'" << c.answer << "'";
    EXPECT_EQ(r.value, c.value) << "'" << c.answer << "'";
  }
}

TEST(KeloInput, GetLinePrompt) {
  EXPECT_EQ(AskLine("x\n", 1, "a.wib").shown, "Input file [a.wib] : ");
  EXPECT_EQ(AskLine("x\n", 0, "a.wib").shown, "Input file : ");
}

TEST(KeloInput, GetLineCutsLongAnswersAndSkipsTheirRest) {
  // 3000 characters, then a second answer: the first is cut to 1023
  // characters (the newline counts), the rest of its line is not taken as the
  // next answer.
  std::string text = std::string(3000, 'a') + "\nsecond\n";
  Input in(text);
  char value[InputLineLength];
  testutil::Capture out(stdout);
  ASSERT_EQ(GetLine(in.get(), value, 0, "p", ""), Success);
  EXPECT_EQ(std::string(value), std::string(1023, 'a'));
  ASSERT_EQ(GetLine(in.get(), value, 0, "p", ""), Success);
  EXPECT_STREQ(value, "second");
  // A long default is cut as well.
  std::string def(2000, 'd');
  ASSERT_EQ(GetLine(in.get(), value, 1, "p", def.c_str()), Success);
  EXPECT_EQ(std::string(value), std::string(1023, 'd'));
}

TEST(KeloInput, GetLineReadsSuccessiveLines) {
  Input in("first\n$nul\n...\n\nlast");
  char value[InputLineLength];
  testutil::Capture out(stdout);
  EXPECT_EQ(GetLine(in.get(), value, 1, "p", "d"), Success);
  EXPECT_STREQ(value, "first");
  EXPECT_EQ(GetLine(in.get(), value, 1, "p", "d"), Success);
  EXPECT_STREQ(value, "");
  EXPECT_EQ(GetLine(in.get(), value, 1, "p", "d"), SkipInput);
  EXPECT_EQ(GetLine(in.get(), value, 1, "p", "d"), Success);
  EXPECT_STREQ(value, "d");
  EXPECT_EQ(GetLine(in.get(), value, 1, "p", "d"), Success);
  EXPECT_STREQ(value, "last");
  EXPECT_EQ(GetLine(in.get(), value, 1, "p", "d"), Success);  // end of input
  EXPECT_STREQ(value, "d");
  EXPECT_EQ(GetLine(nullptr, value, 0, "p", "d"), NoDefault);  // no stream
}

TEST(KeloInput, GetStringAllocatesACopy) {
  Input in("name\n\n$exit\n");
  char* value = nullptr;
  testutil::Capture out(stdout);
  ASSERT_EQ(GetString(in.get(), &value, 1, "p", "def"), Success);
  ASSERT_NE(value, nullptr);
  EXPECT_STREQ(value, "name");
  free(value);
  value = nullptr;
  ASSERT_EQ(GetString(in.get(), &value, 1, "p", "def"), Success);
  EXPECT_STREQ(value, "def");
  free(value);
  value = nullptr;
  EXPECT_EQ(GetString(in.get(), &value, 1, "p", "def"), Abort);
  EXPECT_EQ(value, nullptr);
}

TEST(KeloInput, Splitters) {
  struct Case {
    const char* s1;
    const char* s2;
    const char* lfl;
    const char* rfl;
    const char* lfr;
    const char* rfr;
    int found;
  } cases[] = {
      {"/usr/bin/kelo_filter", "/", "", "usr/bin/kelo_filter", "/usr/bin", "kelo_filter", 1},
      {"kelo_filter", "/", "kelo_filter", "kelo_filter", "kelo_filter", "kelo_filter", 0},
      {"a::b::c", "::", "a", "b::c", "a::b", "c", 1},
      {"dir/", "/", "dir", "", "dir", "", 1},
      {"", "/", "", "", "", "", 0},
  };
  for (const auto& c : cases) {
    char out[64];
    const char* p = LeftFL(c.s1, c.s2, out, sizeof out);
    EXPECT_STREQ(out, c.lfl) << c.s1;
    EXPECT_EQ(p != nullptr, c.found != 0);
    if (p) {
      EXPECT_EQ(strncmp(p, c.s2, strlen(c.s2)), 0);
    }
    RightFL(c.s1, c.s2, out, sizeof out);
    EXPECT_STREQ(out, c.rfl) << c.s1;
    LeftFR(c.s1, c.s2, out, sizeof out);
    EXPECT_STREQ(out, c.lfr) << c.s1;
    p = RightFR(c.s1, c.s2, out, sizeof out);
    EXPECT_STREQ(out, c.rfr) << c.s1;
    EXPECT_EQ(p != nullptr, c.found != 0);
  }
  char out[5];
  const char* path = "/a/verylongname";
  EXPECT_EQ(RightFR(path, "/", out, sizeof out), path + 2);
  EXPECT_STREQ(out, "very");
  LeftFL(path + 1, "/", out, 1);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(LeftFL(nullptr, "/", out, sizeof out), nullptr);
  EXPECT_STREQ(out, "");
  EXPECT_EQ(RightFR("abc", nullptr, out, sizeof out), nullptr);
  EXPECT_STREQ(out, "");
}

}  // namespace

namespace {

// Answers a number prompt with 'answer': status, value and what was shown.
template <class T, class Reader>
std::tuple<int, T, std::string> AskNumber(Reader reader, const std::string& answer, int flag, T def) {
  Input in(answer);
  T value = T(-99);
  testutil::Capture out(stdout);
  int status = reader(in.get(), &value, flag, "Number", def);
  return {status, value, out.Text()};
}

TEST(KeloInput, GetLong) {
  int unknown_status = Success;
  long unknown_value = longexpr("x", &unknown_status);
  ASSERT_NE(unknown_status, Success);
  int scan_status = Success;
  long scan_value = longexpr("2.5", &scan_status);
  ASSERT_NE(scan_status, Success);
  struct Case { const char* answer; int flag; int status; long value; } cases[] = {
      {"2*3\n", 1, Success, 6},
      {"  7 + 1  # eight\n", 0, Success, 8},
      {"\n", 1, Success, 5},
      {"", 1, Success, 5},
      {"\n", 0, NoDefault, -99},
      {"...\n", 1, SkipInput, -99},
      {"$EXIT\n", 1, Abort, -99},
      {"x\n", 1, unknown_status, unknown_value},
      {"2.5\n", 1, scan_status, scan_value},
  };
  for (const auto& c : cases) {
    auto [status, value, shown] = AskNumber<long>(GetLong, c.answer, c.flag, 5);
    EXPECT_EQ(status, c.status) << c.answer;
    EXPECT_EQ(value, c.value) << c.answer;  // stored whatever the status
  }
  EXPECT_EQ(std::get<2>(AskNumber<long>(GetLong, "1\n", 1, -12)), "Number [-12] : ");
  EXPECT_EQ(std::get<2>(AskNumber<long>(GetLong, "1\n", 0, -12)), "Number : ");
}

TEST(KeloInput, GetInteger) {
  struct Case { const char* answer; int status; int value; } cases[] = {
      {"2*3\n", Success, 6},
      {"\n", Success, 5},
      {"3000000000\n", IntegerOverflow, INT_MAX},
      {"-3000000000\n", IntegerOverflow, INT_MIN},
  };
  for (const auto& c : cases) {
    auto [status, value, shown] = AskNumber<int>(GetInteger, c.answer, 1, 5);
    EXPECT_EQ(status, c.status) << c.answer;
    EXPECT_EQ(value, c.value) << c.answer;
  }
  EXPECT_EQ(std::get<2>(AskNumber<int>(GetInteger, "1\n", 1, 42)), "Number [42] : ");
  // Null words are no numbers.
  EXPECT_NE(std::get<0>(AskNumber<int>(GetInteger, "$nul\n", 1, 42)), Success);
}

TEST(KeloInput, GetDoubleAndGetReal) {
  auto [status, value, shown] = AskNumber<double>(GetDouble, "1 + 2 * 3\n", 1, 0.5);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(value, 7.0);
  EXPECT_EQ(shown, "Number [0.5] : ");
  EXPECT_EQ(std::get<1>(AskNumber<double>(GetDouble, "1/3\n", 1, 0.5)), 1.0 / 3.0);
  EXPECT_EQ(std::get<1>(AskNumber<double>(GetDouble, "\n", 1, 0.5)), 0.5);
  EXPECT_EQ(std::get<0>(AskNumber<double>(GetDouble, "2^3\n", 1, 0.5)), Failed);
  EXPECT_EQ(std::get<0>(AskNumber<double>(GetDouble, "\n", 0, 0.5)), NoDefault);

  auto [rstatus, rvalue, rshown] = AskNumber<float>(GetReal, "1/3\n", 1, 1.5f);
  EXPECT_EQ(rstatus, Success);
  EXPECT_EQ(rvalue, 1.0f / 3.0f);
  EXPECT_EQ(rshown, "Number [1.5] : ");
  EXPECT_TRUE(std::isinf(std::get<1>(AskNumber<float>(GetReal, "1e300\n", 1, 1.5f))));
  EXPECT_EQ(std::get<0>(AskNumber<float>(GetReal, "...\n", 1, 1.5f)), SkipInput);
  EXPECT_EQ(std::get<1>(AskNumber<float>(GetReal, "", 1, 1.5f)), 1.5f);
}

TEST(KeloInput, NumberReadersTakeSuccessiveAnswers) {
  Input in("3\n4.5\n\n" + std::string(2000, '1') + "\n7\n");
  testutil::Capture out(stdout);
  long l = 0;
  double d = 0;
  int i = 0;
  EXPECT_EQ(GetLong(in.get(), &l, 1, "a", 0), Success);
  EXPECT_EQ(l, 3);
  EXPECT_EQ(GetDouble(in.get(), &d, 1, "b", 0), Success);
  EXPECT_EQ(d, 4.5);
  EXPECT_EQ(GetInteger(in.get(), &i, 1, "c", 9), Success);
  EXPECT_EQ(i, 9);
  // An overlong answer is an error, and its rest is not the next answer.
  EXPECT_NE(GetLong(in.get(), &l, 1, "d", 0), Success);
  EXPECT_EQ(GetLong(in.get(), &l, 1, "e", 0), Success);
  EXPECT_EQ(l, 7);
}

}  // namespace
