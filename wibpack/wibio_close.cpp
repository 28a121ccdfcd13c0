// wibio close: closing files (writing what is pending and compressing a
// file opened "new" under a compressed name) and the texts of the error
// values.
#include <map>
#include <string>

#include "wibpack/cmpr.h"
#include "wibpack/wibio_internal.h"

namespace {

const char* const ClosePrefix = "ERROR: wib_close_data_file";

// Compresses the scratch file of a file opened "new" under a compressed
// name into the named file: 0 or an error value.
int compress_before_closing(DFile* file) {
  const char* name = file->Name.c_str();
  const int method = cmpr_checkfiletype(name);
  if (method != CmprGzip && method != CmprZlib) {
    fprintf(stderr, "%s >>%s<< is not the name of a compressed file\n", ClosePrefix, name);
    return CompressionError;
  }
  if (file->Flags.ReadOnlyFile) {
    fprintf(stderr, "%s File is read-only %s\n", ClosePrefix, name);
    return FileIsNotWritable;
  }
  FILE* out = fopen(name, "wb+");
  if (!out) {
    fprintf(stderr, "%s fopen(%s,\"wb+\")\n", ClosePrefix, name);
    return CouldNotOpenFile;
  }
  fflush(file->Channel);
  rewind(file->Channel);
  int errval = 0;
  int failed = cmpr_deflatefile(out, file->Channel, method, nullptr, &errval);
  if (fclose(out) && !failed) {
    failed = 1;
    errval = -1;
  }
  if (failed) {
    fprintf(stderr, "%s cmpr_deflatefile errval=%d (%s)\n", ClosePrefix, errval,
            cmpr_errval2string(errval));
    return CompressionError;
  }
  return RoutineSucceeded;
}

const char* const ErrorTexts[] = {
    "RoutineFailed",           "RoutineSucceeded",         "CouldNotMallocMemory",
    "CouldNotFreeHeaders",     "CouldNotGetBinaryArray",   "NoMoreStreamsAvailable",
    "InvalidStream",           "CouldNotOpenFile",         "EndOfFileDetected",
    "CompressionError",        "CouldNotFindHeader",       "CouldNotFindSymbol",
    nullptr,                   "BadDataBlock",             "CouldNotFindKeyword",
    "WriteDataError",          "ReadDataError",            "NoFileOpen",
    "NotVeskDataFile",         "NoDataBlocksFound",        "ExternalData",
    "FileIsNotWritable",       "FileIsNotOpened",          "IncompatibleOpeningModes",
    "CouldNotCloseFile",       "CouldNotCloseBlock",       "CouldNotInsertChain",
    "CouldNotInsertBlock",     "CouldNotInsertSymbol",     "MissingKeyDefinition",
    "GeneralBlockNotFirst",    "ErrorCreatingGeneralBlock", "ErrorReadingGeneralBlock",
    "ErrorLocatingBlocks",     "CouldNotSetBuffer",        "NumberConversionFailed",
    "DataConversionFailed",    "DataBufferTooSmall",       "MissingArrayDimensions",
    "NotNdData",               "Not2dData",                "CouldNotWriteDimension",
    "CouldNotReadDimension",   "CouldNotWriteBinary",      "CannotReOpenGeneralBlock",
    "CannotOpenAsBslFile",     "CouldNotInsertElement",    "CouldNotDeleteString",
    "CouldNotFindHeaderKey",   "CouldNotCreateHeader",     "CouldNotReadGeneralHeader",
    "CouldNotReadHeader"};
const int FirstErrorValue = RoutineFailed;
const int LastErrorValue = CouldNotReadHeader;
static_assert(sizeof ErrorTexts / sizeof ErrorTexts[0] == LastErrorValue - FirstErrorValue + 1,
              "one text per error value");

}  // namespace

void wib_close_data_file(long stream, int* pErrorValue, int* pstatus) {
  init_file_table();
  if (stream < 0 || stream >= WibMaxFiles || !FileTable[stream].Used) {
    set_result(pErrorValue, pstatus, RoutineSucceeded);
    return;
  }
  DFile* file = &FileTable[stream];
  int errval = disk_write_block(file);
  if (!errval && file->Flags.CompressBeforeClosing) errval = compress_before_closing(file);
  if (!errval && free_data_file(file)) errval = CouldNotCloseFile;
  set_result(pErrorValue, pstatus, errval);
}

const char* wib_report_data_error(int ErrorValue) {
  // Every text is made once and kept, so that callers may keep it.
  static std::map<int, std::string> texts;
  auto it = texts.find(ErrorValue);
  if (it != texts.end()) return it->second.c_str();
  const char* name = ErrorValue >= FirstErrorValue && ErrorValue <= LastErrorValue
                         ? ErrorTexts[ErrorValue - FirstErrorValue]
                         : nullptr;
  char buffer[512];
  if (name)
    snprintf(buffer, sizeof buffer, "\n%s\n", name);
  else
    snprintf(buffer, sizeof buffer, "\n%s : %d\n", "UnknownErrorValue", ErrorValue);
  try {
    return texts.emplace(ErrorValue, buffer).first->second.c_str();
  } catch (const std::bad_alloc&) {
    return "\nUnknownErrorValue\n";
  }
}
