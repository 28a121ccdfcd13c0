// Status texts, the error block and the final status report.
#include "kelopack/KeloError.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wibpack/wibio.h"

namespace {

SEBlk KeloErrBlk;
bool KELOERROR_init = false;

void ensure_init() {
  if (!KELOERROR_init) KeloError_init();
}

std::optional<std::string> copy_or_none(const char* s) {
  if (!s) return std::nullopt;
  return std::string(s);
}

const char* const StatusTexts[] = {
    "Success: Normal successful operation",
    "Abort: Input aborted",
    "SkipInput: Input skipped",
    "ScanError: Input conversion error",
    "ScanEmpty: Unexpected end of argument list",
    "NoDefault: No default possible",
    "NoOption: Unknown option",
    "NoFloatNumber: This is not a float number",
    "NoIntegerNumber: This is not an integer number",
    "InvalidOrientation: Invalid orientation",
    "BadParenthesis: Wrong number of parentheses",
    "DivByZero: Division by zero",
    "NoFlag: No flag (true|false|yes|no)",
    "CommaExpected",
    "FloatingPointError",
    "DomainError",
    "IntegerOverflow",
    "UnknownFloatFunction",
    "UnknownIntegerFunction",
    "WrongImageNumber",
    "NotEnoughBlocks",
    "NotEnoughMemoryAvailable",
    "FileNotFound",
    "ImageProtected",
    "FileProtected",
    "FileOpeningError",
    "FileAlreadyOpened",
    "FileMustBeOpened",
    "HeaderNotInitialized",
    "FilePositioningError",
    "FileReadError",
    "FileClosingError",
    "KeywordMissing",
    "UnknownDataType",
    "UnsupportedDataType",
    "UnknownUnit",
    "SizeMismatch",
    "FileWriteError",
    "OutOfRange",
    "TypeConversionFailed",
    "StoppedAfterHelp",
    "CannotFindHeader",
    "FileNameError",
    "NotWaxsProjection",
    "NotNormalReference",
    "NotSaxsReference",
    "ReferenceNotSupported",
    "ExpressionWriteError",
    "NoVariable",
    "VariableError",
    "ProgramError",
    "NoInstruction",
    "NoAccumulator",
};
constexpr int NStatusTexts = sizeof(StatusTexts) / sizeof(StatusTexts[0]);

}  // namespace

int KeloError_init() {
  KeloErrBlk = SEBlk();
  KELOERROR_init = true;
  return 0;
}

const char* KeloErrorVersion() { return "KeloError V1.54 Orrin 2011-06-08"; }

void SetKeloError(const char* ModuleName, const char* RoutineName, const char* Message) {
  ensure_init();
  KeloErrBlk.ModuleName = copy_or_none(ModuleName);
  KeloErrBlk.RoutineName = copy_or_none(RoutineName);
  SetKeloErrorMessage(Message);
  SetKeloErrorExternal(0, nullptr);
}

void SetKeloErrorMessage(const char* Message) {
  ensure_init();
  KeloErrBlk.Message = copy_or_none(Message);
}

void SetKeloErrorExternal(int ExternalError, KeloReportErrorFunction ReportError) {
  ensure_init();
  KeloErrBlk.ExternalError = ExternalError;
  KeloErrBlk.ReportError = ReportError;
}

char* KeloError_newstr(const char* string) {
  if (!string) return nullptr;
  return strdup(string);
}

const char* KeloStatusText(int Status) {
  if (Status == Failed) return "Failed: Routine failed";
  if (Status == ExternalErrorReport) return "ExternalErrorReport";
  if (Status >= 0 && Status < NStatusTexts) return StatusTexts[Status];
  return "...";
}

int ReportInputStatus(int Status, int ExitFlag) {
  fprintf(stderr, "Status = %d -- %s\n", Status, KeloStatusText(Status));
  if (ExitFlag && Status != Success) {
    fflush(stdout);
    fflush(stderr);
    exit(Status);
  }
  return Status;
}

int ReportKeloStatus(int Status, int ExitFlag) {
  ensure_init();
  if (Status == Success) return 0;
  fprintf(stderr, "\n");
  if (Status != StoppedAfterHelp) {
    if (KeloErrBlk.ModuleName) fprintf(stderr, "MODULE   : %s\n", KeloErrBlk.ModuleName->c_str());
    if (KeloErrBlk.RoutineName) fprintf(stderr, "ROUTINE  : %s\n", KeloErrBlk.RoutineName->c_str());
    if (KeloErrBlk.Message) fprintf(stderr, "%s\n", KeloErrBlk.Message->c_str());
    if (Status == ExternalErrorReport) {
      // Without a registered text function the Wib library's own texts.
      const char* text = KeloErrBlk.ReportError ? KeloErrBlk.ReportError(KeloErrBlk.ExternalError)
                                                : wib_report_data_error(KeloErrBlk.ExternalError);
      if (text) fprintf(stderr, "%s\n", text);
    }
  }
  ReportInputStatus(Status, ExitFlag);
  KeloError_init();
  return Status;
}

const SEBlk& KeloErrorBlock() { return KeloErrBlk; }
