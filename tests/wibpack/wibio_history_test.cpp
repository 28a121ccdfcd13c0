#include <gtest/gtest.h>

#include <string>

#include "wibpack/wibio.h"

namespace {

// A file in memory with an input block 1 and output blocks written by the
// tests; closed at the end.
class WibHistory : public ::testing::Test {
 protected:
  void SetUp() override {
    int err, status;
    s_ = wib_open_data_file("history", "temp", &err, &status);
    ASSERT_GE(s_, 0);
  }
  void TearDown() override {
    int err, status;
    wib_close_data_file(s_, &err, &status);
  }
  void Put(long block, const char* key, const char* value, int memory = 1) {
    int err, status;
    ASSERT_EQ(wib_write_header_string(s_, block, memory, key, value, &err, &status), 1);
  }
  std::string Get(long block, const char* key) {
    int err, status;
    const char* value = nullptr;
    wib_read_header_string(s_, block, 1, key, &value, &err, &status);
    return err ? "<" + std::string(wib_report_data_error(err)).substr(1) : value;
  }
  // The command line as written into a fresh block.
  std::string Written(const char* history_key = "h") {
    int err, status;
    long block = ++out_;
    Put(block, "Title", "output");
    EXPECT_EQ(wib_write_header_history(s_, block, 1, history_key, &err, &status), 1);
    return Get(block, "History-1");
  }
  long s_ = -1;
  long out_ = 100;
};

TEST_F(WibHistory, ArgumentsAreQuotedWhereNeeded) {
  ASSERT_EQ(wib_history_new("h"), 1);
  for (const char* a : {"prog", "-i", "a b", "\"x y", "", "f(1)", "*.wib", "tab\there", "plain"})
    EXPECT_EQ(wib_history_argv("h", a), 1);
  EXPECT_EQ(Written(), "prog -i \"a b\" \"x y \"\" \"f(1)\" \"*.wib\" \"tab\there\" plain");
  EXPECT_EQ(wib_history_argv("nohistory", "x"), 0);
  EXPECT_EQ(wib_history_take("nohistory"), 0);
  EXPECT_EQ(wib_history_skip("nohistory"), 0);
}

TEST_F(WibHistory, TheLineEndsWithTheLastCountedArgument) {
  struct Case {
    bool given[3];
    const char* line;
  };
  const Case cases[] = {
      {{true, false, false}, "prog -o in"},
      {{false, false, true}, "prog -o ... ... third"},
      {{false, true, false}, "prog -o ... second"},
      {{false, false, false}, "prog -o"},
  };
  const char* values[3] = {"in", "second", "third"};
  for (const Case& c : cases) {
    ASSERT_EQ(wib_history_new("h"), 1);
    wib_history_argv("h", "prog");
    wib_history_argv("h", "-o");
    for (int i = 0; i < 3; i++) {
      if (c.given[i]) {
        wib_history_take("h");
        wib_history_argv("h", values[i]);
      } else {
        wib_history_skip("h");
        wib_history_argv("h", "...");
      }
    }
    EXPECT_EQ(Written(), c.line);
  }
}

TEST_F(WibHistory, LinesAreReadAndTheCommandLineTakesTheNextNumber) {
  int err, status;
  Put(1, "History-1", "first run");
  Put(1, "History-2", "second run");
  Put(1, "History-4", "after a gap");
  Put(2, "Title", "no history");
  ASSERT_EQ(wib_history_new("h"), 1);
  wib_history_argv("h", "prog");
  wib_history_argv("h", "arg");

  EXPECT_EQ(wib_read_header_history(s_, 1, 1, "h", &err, &status), 1);
  EXPECT_EQ(err, RoutineSucceeded);
  EXPECT_EQ(wib_write_header_history(s_, 10, 1, "h", &err, &status), 1);
  EXPECT_EQ(Get(10, "History-1"), "first run");
  EXPECT_EQ(Get(10, "History-2"), "second run");
  EXPECT_EQ(Get(10, "History-3"), "prog arg");
  EXPECT_EQ(Get(10, "History-4"), "<CouldNotFindSymbol\n");

  // An input without history lines, and a block that does not exist.
  for (long input : {2L, 77L}) {
    EXPECT_EQ(wib_read_header_history(s_, input, 1, "h", &err, &status), 1);
    EXPECT_EQ(status, status_success);
    EXPECT_EQ(Written(), "prog arg");
    EXPECT_EQ(Get(out_, "History-2"), "<CouldNotFindSymbol\n");
  }

  EXPECT_EQ(wib_read_header_history(s_, 1, 1, "missing", &err, &status), 0);
  EXPECT_EQ(status, status_error);
  EXPECT_EQ(wib_write_header_history(s_, 1, 1, "missing", &err, &status), 0);
  EXPECT_EQ(status, status_error);
  EXPECT_EQ(wib_read_header_history(25, 1, 1, "h", &err, &status), 0);
  EXPECT_EQ(err, InvalidStream);
}

TEST_F(WibHistory, HistoryLinesOfTheGeneralBlockCount) {
  int err, status;
  Put(0, "History-1", "general run", 0);
  Put(1, "Title", "input");
  ASSERT_EQ(wib_history_new("h"), 1);
  wib_history_argv("h", "prog");
  EXPECT_EQ(wib_read_header_history(s_, 1, 1, "h", &err, &status), 1);
  EXPECT_EQ(wib_write_header_history(s_, 5, 1, "h", &err, &status), 1);
  EXPECT_EQ(Get(5, "History-2"), "prog");
}

TEST_F(WibHistory, LongCommandLinesAreCutAt2048Characters) {
  ASSERT_EQ(wib_history_new("h"), 1);
  wib_history_argv("h", "prog");
  for (int i = 0; i < 100; i++) wib_history_argv("h", std::string(50, 'a' + i % 26).c_str());
  std::string line = Written();
  EXPECT_EQ(line.size(), 2048u);
  EXPECT_EQ(line.substr(0, 6), "prog a");
  // A fresh block starts empty again.
  ASSERT_EQ(wib_history_new("h"), 1);
  wib_history_argv("h", "again");
  EXPECT_EQ(Written(), "again");
}

}  // namespace
