// KeloError: status values of the image framework and the one error block.
//
// Every framework routine takes a status word by pointer, records its module
// and routine name in the error block on entry (SetKeloError) and returns at
// the first failure.  At the end of the program ReportKeloStatus prints the
// error block and the status line to standard error; the status becomes the
// exit code.
#ifndef KELOPACK_KELOERROR_H
#define KELOPACK_KELOERROR_H

#include <optional>
#include <string>

// Status values.  The Wib library reports its failures as ExternalErrorReport
// with its own error value kept in the error block.
enum KeloStatus {
  Failed = -1,
  Success = 0,
  Abort,
  SkipInput,
  ScanError,
  ScanEmpty,
  NoDefault,
  NoOption,
  NoFloatNumber,
  NoIntegerNumber,
  InvalidOrientation,
  BadParenthesis,
  DivByZero,
  NoFlag,
  CommaExpected,
  FloatingPointError,
  DomainError,
  IntegerOverflow,
  UnknownFloatFunction,
  UnknownIntegerFunction,
  WrongImageNumber,
  NotEnoughBlocks,
  NotEnoughMemoryAvailable,
  FileNotFound,
  ImageProtected,
  FileProtected,
  FileOpeningError,
  FileAlreadyOpened,
  FileMustBeOpened,
  HeaderNotInitialized,
  FilePositioningError,
  FileReadError,
  FileClosingError,
  KeywordMissing,
  UnknownDataType,
  UnsupportedDataType,
  UnknownUnit,
  SizeMismatch,
  FileWriteError,
  OutOfRange,
  TypeConversionFailed,
  StoppedAfterHelp,
  CannotFindHeader,
  FileNameError,
  NotWaxsProjection,
  NotNormalReference,
  NotSaxsReference,
  ReferenceNotSupported,
  ExpressionWriteError,
  NoVariable,
  VariableError,
  ProgramError,
  NoInstruction,
  NoAccumulator,
  ExternalErrorReport = 100
};

// Turns an error value of the Wib library into text.
typedef const char* (*KeloReportErrorFunction)(int);

// The error block: what the routine entered last left behind.
typedef struct SE_Block {
  std::optional<std::string> ModuleName;
  std::optional<std::string> RoutineName;
  std::optional<std::string> Message;
  int ExternalError = 0;
  KeloReportErrorFunction ReportError = nullptr;
} SEBlk;

// Clears the block; returns 0.
int KeloError_init();
// "KeloError V1.54 Orrin 2011-06-08"
const char* KeloErrorVersion();
// Records the routine entered last (null arguments store none) and resets
// the message and the external part.
void SetKeloError(const char* ModuleName, const char* RoutineName, const char* Message);
// Replaces the message (null stores none).
void SetKeloErrorMessage(const char* Message);
// Records the error value of the last Wib library call and its text function.
void SetKeloErrorExternal(int ExternalError, KeloReportErrorFunction ReportError);
// Heap copy of string (release with free()), or null for null or no memory.
char* KeloError_newstr(const char* string);
// The text of a status value ("..." for unassigned values).
const char* KeloStatusText(int Status);
// Prints "Status = %d -- %s\n" to standard error; with ExitFlag set and a
// status other than Success the process ends with Status as exit code.
int ReportInputStatus(int Status, int ExitFlag);
// Final report: the error block and the status line on standard error
// (nothing at all for Success); clears the block and returns Status.
int ReportKeloStatus(int Status, int ExitFlag);
// Read-only view of the error block.
const SEBlk& KeloErrorBlock();

#endif
