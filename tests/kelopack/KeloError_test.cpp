#include "kelopack/KeloError.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "testutil.h"
#include "wibpack/wibio.h"

namespace {

const char* FakeLibraryText(int value) { return value == 7 ? "library failure seven" : "other"; }

std::string Report(int status) {
  testutil::Capture err(stderr);
  EXPECT_EQ(ReportKeloStatus(status, 0), status);
  return err.Text();
}

TEST(KeloError, StatusTexts) {
  struct Case { int status; const char* text; } cases[] = {
      {-1, "Failed: Routine failed"},
      {0, "Success: Normal successful operation"},
      {1, "Abort: Input aborted"},
      {4, "ScanEmpty: Unexpected end of argument list"},
      {12, "NoFlag: No flag (true|false|yes|no)"},
      {13, "CommaExpected"},
      {40, "StoppedAfterHelp"},
      {52, "NoAccumulator"},
      {53, "..."},
      {99, "..."},
      {100, "ExternalErrorReport"},
      {101, "..."},
      {-2, "..."},
  };
  for (const auto& c : cases) EXPECT_STREQ(KeloStatusText(c.status), c.text) << c.status;
}

TEST(KeloError, SuccessPrintsNothing) {
  SetKeloError("KeloImage", "FreeImage", "a message");
  EXPECT_EQ(Report(Success), "");
}

TEST(KeloError, FailedPrintsBlockAndStatusLine) {
  SetKeloError("KeloImage", "FreeImage", "file.wib");
  EXPECT_EQ(Report(Failed),
            "\nMODULE   : KeloImage\nROUTINE  : FreeImage\nfile.wib\n"
            "Status = -1 -- Failed: Routine failed\n");
  // The block is cleared after the report.
  EXPECT_EQ(Report(Failed), "\nStatus = -1 -- Failed: Routine failed\n");
}

TEST(KeloError, StoppedAfterHelpPrintsOnlyStatusLine) {
  SetKeloError("KeloOption", "ReadOptions", "h");
  EXPECT_EQ(Report(StoppedAfterHelp), "\nStatus = 40 -- StoppedAfterHelp\n");
}

TEST(KeloError, ExternalErrorReportPrintsLibraryText) {
  SetKeloError("KeloImage", "ReadImage", nullptr);
  SetKeloErrorExternal(7, FakeLibraryText);
  EXPECT_EQ(Report(ExternalErrorReport),
            "\nMODULE   : KeloImage\nROUTINE  : ReadImage\nlibrary failure seven\n"
            "Status = 100 -- ExternalErrorReport\n");
}

TEST(KeloError, ExternalErrorReportFallsBackOnLibraryTexts) {
  // No text function registered: the Wib library's own text of value 9.
  SetKeloError("KeloImage", "ReadImage", "img.wib");
  SetKeloErrorExternal(CouldNotFindHeader, nullptr);
  EXPECT_EQ(Report(ExternalErrorReport),
            "\nMODULE   : KeloImage\nROUTINE  : ReadImage\nimg.wib\n"
            "\nCouldNotFindHeader\n\n"
            "Status = 100 -- ExternalErrorReport\n");
}

TEST(KeloError, SetKeloErrorResetsMessageAndExternalPart) {
  SetKeloError("M", "R", "old");
  SetKeloErrorExternal(3, FakeLibraryText);
  SetKeloError("M2", nullptr, nullptr);
  const SEBlk& blk = KeloErrorBlock();
  EXPECT_EQ(*blk.ModuleName, "M2");
  EXPECT_FALSE(blk.RoutineName.has_value());
  EXPECT_FALSE(blk.Message.has_value());
  EXPECT_EQ(blk.ExternalError, 0);
  EXPECT_EQ(blk.ReportError, nullptr);
  SetKeloErrorMessage("new");
  EXPECT_EQ(*KeloErrorBlock().Message, "new");
}

TEST(KeloError, NewStr) {
  EXPECT_EQ(KeloError_newstr(nullptr), nullptr);
  char* s = KeloError_newstr("abc");
  EXPECT_STREQ(s, "abc");
  free(s);
}

TEST(KeloError, ReportInputStatusExitsWithStatus) {
  EXPECT_EXIT(ReportInputStatus(22, 1), ::testing::ExitedWithCode(22), "Status = 22 -- FileNotFound");
  testutil::Capture err(stderr);
  EXPECT_EQ(ReportInputStatus(22, 0), 22);
  EXPECT_EQ(err.Text(), "Status = 22 -- FileNotFound\n");
}

TEST(KeloError, FailedExitCodeIs255) {
  EXPECT_EXIT(ReportInputStatus(Failed, 1), ::testing::ExitedWithCode(255), "");
}

}  // namespace
