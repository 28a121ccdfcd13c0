// wibio open: opening files in the five modes, reading the general block,
// locating the blocks of an existing file, the file error and warning
// reports, and the queries on open files (search a stream, test a block,
// smallest and largest block number).
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "wibpack/cmpr.h"
#include "wibpack/wibio_internal.h"

namespace {

const char* const OpenPrefix = "ERROR: open_as_wib_file:";

// Results of locating one block.
enum LocateResult { LocateNoMemory = -1, LocateFound = 0, LocateEnd = 1, LocateStop = 2 };

bool is_mode(const char* mode, const char* name) { return mode && strcmp(mode, name) == 0; }

// Switches a file whose binary section starts off the block boundary to
// boundary 1, with the warning (the period ends the first message's second
// line only for the general block).
void check_binary_alignment(DFile* file, unsigned long BinaryPos, unsigned long BinaryLen,
                            bool general) {
  unsigned long B = file->BlockBoundary;
  if (B <= 1 || BinaryPos % B == 0) return;
  if (BinaryLen) {
    fprintf(stderr, "WARNING: The binary section of this block starts at position %lu.\n",
            BinaryPos);
    fprintf(stderr, "         This is not a multiple of the block boundary %lu%s\n", B,
            general ? "." : "");
  }
  fprintf(stderr, "\nINFO: Reading the file %s with block boundary 1.\n\n", file->Name.c_str());
  file->BlockBoundary = 1;
}

// The external binary data of a block ("WIB_BinaryFileName" and its
// position and size keys) read from the symbols of header: 0, 1 when there
// are none, -1 when the position is missing (message printed).
int external_binary(const DFile* file, DBlock* header, std::string& name, unsigned long& pos,
                    unsigned long& len, bool general) {
  SElement* s;
  if (search_string(header, KBinaryFileName, &s)) return 1;
  name = directory_of(file->Name.c_str()) + s->String;
  if (search_string(header, KBinaryFilePosition, &s)) {
    if (general)
      fprintf(stderr, "ERROR: %s requires %s\n", KBinaryFileName, KBinaryFilePosition);
    else
      fprintf(stderr, "ERROR: The key \"%s\" requires the key \"%s\"\n", KBinaryFileName,
              KBinaryFilePosition);
    return -1;
  }
  pos = str2unsigned(s->String.c_str());
  len = search_string(header, KBinaryFileSize, &s) ? 0 : str2unsigned(s->String.c_str());
  return 0;
}

// Position after the binary section; -1 when it lies beyond what a stream
// can address.
int next_block_position(unsigned long BinaryPos, unsigned long BinaryLen, unsigned long* pnext) {
  if (BinaryLen > static_cast<unsigned long>(LONG_MAX) - BinaryPos) return -1;
  *pnext = BinaryPos + BinaryLen;
  return 0;
}

// The file has no general block on disk: a fresh internal general block.
int no_general_block(DFile* file, bool v2) {
  file->Flags.NoGeneralHeader = 1;
  file->Version.Major = v2 ? 2 : 1;
  file->Version.Minor = 0;
  if (!v2) file->BlockBoundary = 1;
  free_data_chain_list(file);
  if (create_general_block(file)) return -1;
  rewind(file->Channel);
  return 0;
}

// Reads the first header of an existing file into the general block, or
// finds that the file has no general block on disk: 0 or -1.
int read_general_block(DFile* file) {
  FILE* ch = file->Channel;
  DBlock* general = file->GeneralBlock;
  rewind(ch);
  int start = check_start(ch);
  if (start == 0) return no_general_block(file, true);  // an empty file
  if (start < 0) {
    char message[64];
    snprintf(message, sizeof message, "This file is not a %s file", DATA_FORMAT_NAME);
    print_file_report(file, 0, message, 0);
    return -1;
  }
  if (get_symbol_list(ch, general, 0) != WibReadOk) {
    print_file_report(file, 0, "Error reading header values", 0);
    return -1;
  }
  const long symbols_end = ftell(ch);
  if (search_symbol(general, KDataFormatVersion, nullptr))
    return no_general_block(file, search_symbol(general, KDataBlockID, nullptr) == 0);

  SElement* s;
  if (search_string(general, KBlockBoundary, &s) == 0) {
    int valid;
    file->BlockBoundary = block_boundary_value(s->String.c_str(), &valid);
    if (!valid)
      fprintf(stderr, "WARNING: %s = %s cannot serve as block boundary\n", KBlockBoundary,
              s->String.c_str());
  }
  unsigned long BinaryLen = 0;
  if (search_string(general, KBinarySize, &s) == 0) BinaryLen = str2unsigned(s->String.c_str());
  std::string extname;
  unsigned long extpos = 0, extlen = 0;
  int external = external_binary(file, general, extname, extpos, extlen, true);
  if (external < 0) return -1;

  unsigned long BinaryPos = 0, next = 0;
  if (find_header_end(ch, 0, file->BlockBoundary, &BinaryPos)) {
    print_file_report(file, 0, "Header end marker not found", 0);
    return -1;
  }
  // A value that runs over the end marker (a terminator missing) makes the
  // symbols read belong to more than this header.
  if (!header_ends_at(symbols_end, BinaryPos)) {
    print_file_report(file, 0, "Error reading header values", 0);
    return -1;
  }
  if (next_block_position(BinaryPos, BinaryLen, &next)) {
    print_file_report(file, 0, "Cannot find start of next block", 0);
    return -1;
  }
  general->TextPos = 0;
  general->TextLen = BinaryPos;
  general->BinaryPos = BinaryPos;
  general->BinaryLen = BinaryLen;
  general->BinaryFileName = external == 0 ? extname : std::string();
  general->BinaryFilePos = external == 0 ? extpos : BinaryPos;
  general->BinaryFileLen = external == 0 ? extlen : BinaryLen;
  check_binary_alignment(file, BinaryPos, BinaryLen, true);

  general->Flags.DiskBlockUsed = 1;
  general->Flags.DiskBlockFixed = 1;
  general->Flags.HeaderExternal = 0;
  general->Flags.HeaderChanged = 0;
  file->LastBlockInFile = general;
  if (!file->Flags.NoGeneralHeader) general->SequenceNumber = file->NextSequenceNumber++;
  if (seek_to(ch, next)) {
    perror("read_general_block->fseek");
    return -1;
  }
  return 0;
}

// A scratch block that reads a header while locating; it sees the general
// block of its file for defaults.
struct ScratchBlock {
  DChain chain;
  DBlock block;
  explicit ScratchBlock(DFile* file) {
    chain.File = file;
    block.Chain = &chain;
  }
  ~ScratchBlock() { free_symbol_list(&block); }
};

// The block ID of a located header: "WIB_DataBlockID", else the value of
// "Image" or the number of "HeaderID" in memory 1, else the sequence number.
void located_block_id(DFile* file, DBlock* header, std::string& BlockKey,
                      std::string& ChainKey) {
  const std::string psd = std::string(DBClassStrings[ImageClass]) + "." +
                          DBInstanceStrings[PsdInstance];
  std::string id;
  SElement* s;
  if (search_symbol(header, KDataBlockID, &s) == 0) {
    id = s->Value;
  } else if (search_symbol(header, V1_IMAGE_KEY, &s) == 0) {
    id = s->Value + "." + psd;
  } else if (search_symbol(header, V1_HEADER_ID_KEY, &s) == 0 && strchr(s->Value.c_str(), ':')) {
    id = std::to_string(strtol(strchr(s->Value.c_str(), ':') + 1, nullptr, 10)) + "." + psd;
  }
  if (id.empty() || split_block_id(id.c_str(), BlockKey, ChainKey)) {
    fprintf(stderr, "WARNING: Missing block ID, using sequence number\n");
    id = std::to_string(static_cast<long>(file->NextSequenceNumber) - 1) + "." + psd;
    split_block_id(id.c_str(), BlockKey, ChainKey);
  }
}

// Binary length of a located header without "WIB_BinarySize" and "Size":
// the product of its dimensions times the size of its data type, 0 when
// that cannot be formed.
unsigned long binary_length_from_dimensions(DBlock* header) {
  std::vector<long> dim;
  if (read_data_dim(header, dim)) return 0;
  DataDescription description;
  read_data_description(header, &description);
  size_t bytes;
  if (array_bytes(dim.data(), wib_data_sizeof(description.DataType), &bytes)) return 0;
  return bytes;
}

// Locates the block that starts at the stream's position and records it
// (*pblock).  The header symbols read are not kept.
int locate_block(DFile* file, DBlock** pblock) {
  FILE* ch = file->Channel;
  long here = ftell(ch);
  unsigned long start_pos = here < 0 ? 0 : static_cast<unsigned long>(here);
  int start = check_start(ch);
  if (start == 0) return LocateEnd;
  if (start < 0) {
    print_file_report(file, start_pos, "Expecting EOF or header start", 1);
    return LocateStop;
  }
  unsigned long TextPos = static_cast<unsigned long>(ftell(ch)) - 1;
  const bool v1 = file->Version.Major < 2;

  ScratchBlock scratch(file);
  DBlock* header = &scratch.block;
  int r = get_symbol_list(ch, header, v1 ? 0 : 1);
  // A header of a version 2.x file whose leading keys lack the block ID was
  // written by an older writer (the first block of such a file may have
  // been rewritten since): it is read in full, so that its ID, binary size
  // and dimensions come from the keys that writer used.
  bool full = v1;
  if (r == WibReadOk && !v1 && search_symbol(header, KDataBlockID, nullptr)) {
    full = true;
    free_symbol_list(header);
    r = fseek(ch, static_cast<long>(TextPos) + 1, SEEK_SET) ? WibReadBad
                                                             : get_symbol_list(ch, header, 0);
  }
  const long symbols_end = ftell(ch);
  if (r == WibReadNoMemory) return LocateNoMemory;
  if (r != WibReadOk) {
    print_file_report(file, TextPos,
                      v1 ? "Error reading header values V1.xx" : "Error reading header values", 1);
    return LocateStop;
  }

  std::string BlockKey, ChainKey;
  try {
    located_block_id(file, header, BlockKey, ChainKey);
  } catch (const std::bad_alloc&) {
    return LocateNoMemory;
  }
  // A data block cannot take the place of the general block.
  if (compare_keys(ChainKey.c_str(), GENERAL_CHAIN_KEY, 1) == 0) {
    print_file_report(file, TextPos, "Error reading header values", 1);
    return LocateStop;
  }

  SElement* s;
  unsigned long BinaryLen;
  if (search_string(header, KBinarySize, &s) == 0 || search_string(header, V1_SIZE_KEY, &s) == 0)
    BinaryLen = str2unsigned(s->String.c_str());
  else
    BinaryLen = binary_length_from_dimensions(header);

  std::string extname;
  unsigned long extpos = 0, extlen = 0;
  int external = external_binary(file, header, extname, extpos, extlen, false);
  if (external < 0) {
    print_file_report(file, TextPos, "Missing binary file position", 1);
    return LocateStop;
  }

  unsigned long BinaryPos = 0, next = 0;
  if (find_header_end(ch, TextPos, file->BlockBoundary, &BinaryPos)) {
    print_file_report(file, TextPos, "Header end marker not found", 1);
    return LocateStop;
  }
  if (full && !header_ends_at(symbols_end, BinaryPos)) {
    print_file_report(file, TextPos,
                      v1 ? "Error reading header values V1.xx" : "Error reading header values", 1);
    return LocateStop;
  }
  if (next_block_position(BinaryPos, BinaryLen, &next)) {
    print_file_report(file, TextPos, "Cannot find start of next block", 1);
    return LocateStop;
  }
  check_binary_alignment(file, BinaryPos, BinaryLen, false);

  DChain* chain = nullptr;
  DBlock* block = nullptr;
  if (insert_data_chain(file, ChainKey.c_str(), &chain) ||
      insert_data_block(chain, BlockKey.c_str(), &block))
    return LocateNoMemory;
  block->TextPos = TextPos;
  block->TextLen = BinaryPos - TextPos;
  block->BinaryPos = BinaryPos;
  block->BinaryLen = BinaryLen;
  block->BinaryFileName = external == 0 ? extname : std::string();
  block->BinaryFilePos = external == 0 ? extpos : BinaryPos;
  block->BinaryFileLen = external == 0 ? extlen : BinaryLen;
  DBFlags flags;
  flags.DiskBlockUsed = 1;
  flags.DiskBlockFixed = 1;
  flags.HeaderExternal = 1;
  flags.DataExternal = 1;
  block->Flags = flags;
  *pblock = block;

  if (seek_to(ch, next)) {
    print_file_report(file, TextPos, "Cannot find start of next block", 1);
    return LocateStop;
  }
  return LocateFound;
}

// Opens the stream of an entry as the mode says: 0 or an error value.
int open_stream(DFile* file, const char* fname, const char* mode) {
  const int method = cmpr_checkfiletype(fname);
  const bool compressed = method == CmprGzip || method == CmprZlib;
  if (is_mode(mode, Read)) {
    file->Flags.ExistingFile = 1;
    file->Flags.ReadOnlyFile = 1;
    if (!compressed) {
      file->Channel = fopen(fname, "rb");
    } else {
      if (!(file->Channel = tmpfile())) return CouldNotOpenFile;
      FILE* in = fopen(fname, "rb");
      if (!in) {
        fprintf(stderr, "%s fopen(%s,\"rb\")\n", OpenPrefix, fname);
        return CouldNotOpenFile;
      }
      int errval = 0;
      int failed = cmpr_inflatefile(file->Channel, in, method, nullptr, &errval);
      fclose(in);
      if (failed) {
        fprintf(stderr, "%s cmpr_inflatefile errval=%d (%s)\n", OpenPrefix, errval,
                cmpr_errval2string(errval));
        return CompressionError;
      }
      rewind(file->Channel);
    }
  } else if (is_mode(mode, Old) || is_mode(mode, Any)) {
    if (compressed) {
      fprintf(stderr, "%s: The file opening mode of %s does not allow compression\n", OpenPrefix,
              fname);
      return CouldNotOpenFile;
    }
    file->Channel = fopen(fname, "rb+");
    if (file->Channel) {
      file->Flags.ExistingFile = 1;
    } else if (is_mode(mode, Any) && errno == ENOENT) {
      // Only a file that does not exist is created: one that cannot be
      // opened for update is never emptied.
      file->Channel = fopen(fname, "wb+");
    }
  } else if (is_mode(mode, New)) {
    if (compressed) {
      file->Channel = tmpfile();
      file->Flags.CompressBeforeClosing = 1;
    } else {
      file->Channel = fopen(fname, "wb+");
    }
  } else if (is_mode(mode, Temp)) {
    file->Flags.TemporaryFile = 1;
    return RoutineSucceeded;
  }
  if (!file->Channel) return CouldNotOpenFile;  // also an unknown mode
  file->Buffer.reset(new (std::nothrow) char[WibBufferSize]);
  if (!file->Buffer) return CouldNotMallocMemory;
  if (setvbuf(file->Channel, file->Buffer.get(), _IOFBF, WibBufferSize)) return CouldNotSetBuffer;
  return RoutineSucceeded;
}

// Opens a Wib file (or creates one): the stream, or -1 with *perrval.
long open_as_wib_file(const char* fname, const char* mode, int* perrval) {
  *perrval = RoutineSucceeded;
  long stream = take_file_entry(fname);
  if (stream < 0) {
    *perrval = NoMoreStreamsAvailable;
    return -1;
  }
  DFile* file = &FileTable[stream];
  int errval = open_stream(file, fname, mode);
  if (!errval && create_general_block(file)) errval = ErrorCreatingGeneralBlock;
  if (!errval && file->Flags.ExistingFile) {
    if (read_general_block(file)) {
      errval = ErrorReadingGeneralBlock;
    } else {
      for (;;) {
        DBlock* block = nullptr;
        int r = locate_block(file, &block);
        if (r == LocateFound) {
          file->LastBlockInFile = block;
          block->SequenceNumber = file->NextSequenceNumber++;
        } else {
          if (r == LocateNoMemory) errval = ErrorLocatingBlocks;
          break;
        }
      }
    }
  }
  if (!errval && !file->Flags.ExistingFile) file->GeneralBlock->Flags.HeaderChanged = 1;
  if (!errval && is_mode(mode, Old) && !file->LastBlockInFile) errval = CouldNotFindHeader;
  if (errval) {
    // A failed open keeps no entry.
    if (free_data_file(file) && errval == ErrorReadingGeneralBlock) errval = CouldNotCloseFile;
    *perrval = errval;
    return -1;
  }
  return stream;
}

}  // namespace

// ---------------------------------------------------------------------------
// Helpers shared by the file operations
// ---------------------------------------------------------------------------

void set_result(int* pErrorValue, int* pstatus, int errval) {
  if (pErrorValue) *pErrorValue = errval;
  if (pstatus) *pstatus = errval == RoutineSucceeded ? status_success : status_error;
}

DFile* used_file(long stream, int* perrval) {
  init_file_table();
  if (stream < 0 || stream >= WibMaxFiles) {
    if (perrval) *perrval = InvalidStream;
    return nullptr;
  }
  if (!FileTable[stream].Used) {
    if (perrval) *perrval = NoFileOpen;
    return nullptr;
  }
  if (perrval) *perrval = RoutineSucceeded;
  return &FileTable[stream];
}

long take_file_entry(const char* fname) {
  init_file_table();
  for (long stream = 0; stream < WibMaxFiles; stream++) {
    DFile* file = &FileTable[stream];
    if (file->Used) continue;
    reset_data_file(file);
    try {
      file->Name = fname ? fname : "";
    } catch (const std::bad_alloc&) {
      return -1;
    }
    file->Used = 1;
    return stream;
  }
  return -1;
}

int create_general_block(DFile* file) {
  DChain* chain = nullptr;
  DBlock* block = nullptr;
  if (insert_data_chain(file, GENERAL_CHAIN_KEY, &chain) ||
      insert_data_block(chain, GENERAL_BLOCK_KEY, &block))
    return -1;
  const std::string key = KDataKeyPrefix + std::to_string(1);
  const std::string value =
      std::string(DBClassStrings[ImageClass]) + "." + DBInstanceStrings[PsdInstance];
  if (insert_string(block, key.c_str(), value.c_str(), nullptr)) return -1;
  if (file->Flags.NoGeneralHeader || file->Flags.TemporaryFile) {
    block->Flags.InternalHeader = 1;
    block->Flags.InternalData = 1;
  }
  file->GeneralBlock = block;
  file->ActiveBlock = block;
  return 0;
}

unsigned long block_boundary_value(const char* text, int* pvalid) {
  unsigned long B = str2unsigned(text);
  bool valid = B >= 1 && B <= MAX_BLOCK_BOUNDARY;
  if (pvalid) *pvalid = valid ? 1 : 0;
  return valid ? B : 1;
}

std::string directory_of(const char* fname) {
  const char* slash = fname ? strrchr(fname, '/') : nullptr;
  if (slash) return std::string(fname, static_cast<size_t>(slash - fname)) + "/";
  char* cwd = getcwd(nullptr, 0);
  std::string dir = cwd ? std::string(cwd) + "/" : std::string("./");
  free(cwd);
  return dir;
}

int seek_to(FILE* channel, unsigned long position) {
  if (!channel || position > static_cast<unsigned long>(LONG_MAX)) return -1;
  return fseek(channel, static_cast<long>(position), SEEK_SET) ? -1 : 0;
}

bool header_ends_at(long symbols_end, unsigned long BinaryPos) {
  return symbols_end >= 0 && static_cast<unsigned long>(symbols_end) == BinaryPos;
}

long stream_size(FILE* channel) {
  if (!channel) return -1;
  fflush(channel);
  struct stat st;
  if (fstat(fileno(channel), &st) || st.st_size < 0) return -1;
  return static_cast<long>(st.st_size);
}

void print_file_report(const DFile* file, unsigned long position, const char* message,
                       int warning) {
  fprintf(stderr, warning ? "\n   %s FILE WARNING\n" : "\n   %s FILE ERROR\n", DATA_FORMAT_NAME);
  fprintf(stderr, "   %s\n", message);
  fprintf(stderr, "   File name    : %s\n", file->Name.c_str());
  fprintf(stderr, "   File position: %lu (%#lx)\n", position, position);
  if (file->LastBlockInFile)
    fprintf(stderr, "   Last block ID: %s\n", block_id(file->LastBlockInFile));
  else
    fprintf(stderr, "   Last block ID: (no block read)\n");
  fprintf(stderr, "\n");
}

// ---------------------------------------------------------------------------
// Public operations
// ---------------------------------------------------------------------------

long wib_open_data_file(const char* fname, const char* mode, int* pErrorValue, int* pstatus) {
  int errval = RoutineSucceeded;
  long stream = -1;
  init_file_table();
  if (!fname || !mode) {
    set_result(pErrorValue, pstatus, CouldNotOpenFile);
    return -1;
  }
  bool bsl = false;
  if ((is_mode(mode, Old) || is_mode(mode, Read)) &&
      cmpr_checkfiletype(fname) == CmprNone) {
    FILE* probe = fopen(fname, "rb");
    struct stat st;
    if (probe && (fstat(fileno(probe), &st) || S_ISDIR(st.st_mode))) {
      fclose(probe);  // a directory is no file
      probe = nullptr;
    }
    if (!probe) {
      set_result(pErrorValue, pstatus, CouldNotOpenFile);
      return -1;
    }
    bsl = check_start(probe) < 0;
    fclose(probe);
  }
  stream = bsl ? open_as_bsl_file(fname, mode, &errval) : open_as_wib_file(fname, mode, &errval);
  set_result(pErrorValue, pstatus, errval);
  return stream;
}

long wib_search_stream(const char* fname, const char* mode, int* pErrorValue, int* pstatus) {
  init_file_table();
  set_result(pErrorValue, pstatus, RoutineSucceeded);
  if (!fname) return -1;
  for (long stream = 0; stream < WibMaxFiles; stream++) {
    const DFile& file = FileTable[stream];
    if (!file.Used || file.Name != fname) continue;
    const DFFlags& f = file.Flags;
    bool allowed = is_mode(mode, Read) ||
                   (is_mode(mode, Old) && f.ExistingFile && !f.ReadOnlyFile) ||
                   (is_mode(mode, New) && !f.ExistingFile && !f.ReadOnlyFile) ||
                   (is_mode(mode, Any) && !f.ReadOnlyFile);
    if (!allowed) set_result(pErrorValue, pstatus, IncompatibleOpeningModes);
    return stream;
  }
  return -1;
}

int find_data_block(DFile* file, long DataNumber, long DataChain, DChain** pchain,
                    DBlock** pblock) {
  std::string ChainKey, BlockKey;
  if (data_chain_key(file, DataChain, ChainKey) || data_block_key(DataNumber, DataChain, BlockKey))
    return MissingKeyDefinition;
  if (search_data_chain(file, ChainKey.c_str(), pchain)) return CouldNotFindHeader;
  if (pblock && search_data_block(*pchain, BlockKey.c_str(), pblock)) return CouldNotFindHeader;
  return RoutineSucceeded;
}

int wib_test_header(long stream, long DataNumber, int DataChain, int* pErrorValue, int* pstatus) {
  int errval;
  DFile* file = used_file(stream, &errval);
  DChain* chain = nullptr;
  DBlock* block = nullptr;
  if (file) errval = find_data_block(file, DataNumber, DataChain, &chain, &block);
  if (errval == CouldNotFindHeader) {
    set_result(pErrorValue, pstatus, RoutineSucceeded);
    return 0;
  }
  set_result(pErrorValue, pstatus, errval);
  return errval ? 0 : 1;
}

int wib_search_minmax_number(long stream, int DataChain, long* pMinNumber, long* pMaxNumber,
                             int* pErrorValue, int* pstatus) {
  if (pMinNumber) *pMinNumber = -1;
  if (pMaxNumber) *pMaxNumber = -2;
  int errval;
  DFile* file = used_file(stream, &errval);
  DChain* chain = nullptr;
  if (file) errval = find_data_block(file, 0, DataChain, &chain, nullptr);
  if (!errval && !chain->BlockList) errval = NoDataBlocksFound;
  if (errval) {
    set_result(pErrorValue, pstatus, errval);
    return 0;
  }
  const DBlock* min = chain->BlockList;
  const DBlock* max = chain->BlockList;
  for (const DBlock* b = chain->BlockList; b; b = b->Next) {
    if (compare_keys(b->BlockKey.c_str(), min->BlockKey.c_str(), 2) < 0) min = b;
    if (compare_keys(b->BlockKey.c_str(), max->BlockKey.c_str(), 2) > 0) max = b;
  }
  if (pMinNumber) *pMinNumber = strtol(min->BlockKey.c_str(), nullptr, 10);
  if (pMaxNumber) *pMaxNumber = strtol(max->BlockKey.c_str(), nullptr, 10);
  set_result(pErrorValue, pstatus, RoutineSucceeded);
  return 1;
}
