// wibio BSL: a BSL header file presented as a read-only Wib file whose
// blocks keep their headers in memory and take their data from the BSL
// binary files.
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "wibpack/bslio.h"
#include "wibpack/wibio_internal.h"

namespace {

// Stores the header of one frame in a block of its own.
int present_frame(DFile* file, long memory, const BslFrame& frame) {
  std::string ChainKey;
  DChain* chain;
  DBlock* block;
  const BslDataSpec& dataspec = frame.DataSpec;
  if (data_chain_key(file, memory, ChainKey) ||
      insert_data_chain(file, ChainKey.c_str(), &chain) ||
      insert_data_block(chain, std::to_string(atol(frame.FrameKey.c_str())).c_str(), &block))
    return -1;
  block->Flags.InternalHeader = 1;
  block->Flags.HeaderExternal = 0;
  block->Flags.DataExternal = 1;
  block->BinaryFileName = dataspec.BinaryFileName;
  block->BinaryFilePos = dataspec.BinaryFilePos;
  block->BinaryFileLen = dataspec.BinaryFileLen;
  const long byteorder =
      wib_settings.bsl_input_byteorder ? wib_settings.bsl_input_byteorder : dataspec.ByteOrder;
  for (size_t i = 1; i < dataspec.Dim.size() && static_cast<long>(i) <= dataspec.Dim[0]; i++) {
    const std::string key = DIMENSION_KEY_PREFIX + std::to_string(i);
    if (insert_string(block, key.c_str(), std::to_string(dataspec.Dim[i]).c_str(), nullptr)) return -1;
  }
  if (insert_string(block, KDataType, wib_datatype2string(dataspec.DataType), nullptr) ||
      insert_string(block, KByteOrder, wib_byteorder2string(byteorder), nullptr))
    return -1;
  if (dataspec.RasterConfiguration != 1 &&
      insert_string(block, KDataRasterConfiguration,
                    std::to_string(dataspec.RasterConfiguration).c_str(), nullptr))
    return -1;
  if (insert_string(block, KCompression, wib_compression2string(dataspec.Compression), nullptr))
    return -1;
  return 0;
}

// The model of a BSL table entry: titles in the general block, one block per
// frame, memories and frames in numerical order.
int present_bsl_file(DFile* file, const BslFile* bsl) {
  DBlock* general = file->GeneralBlock;
  if (insert_string(general, "Title", bsl->FirstHeader.c_str(), nullptr) ||
      insert_string(general, "SubTitle", bsl->SecondHeader.c_str(), nullptr))
    return -1;
  std::vector<const BslMemory*> memories;
  for (const BslMemory& m : bsl->MemoryList) memories.push_back(&m);
  std::sort(memories.begin(), memories.end(), [](const BslMemory* a, const BslMemory* b) {
    return atol(a->MemoryKey.c_str()) < atol(b->MemoryKey.c_str());
  });
  for (const BslMemory* m : memories)
    for (const BslFrame& frame : m->FrameList)
      if (present_frame(file, atol(m->MemoryKey.c_str()), frame)) return -1;
  return 0;
}

}  // namespace

long open_as_bsl_file(const char* fname, const char* mode, int* perrval) {
  if (strcmp(mode, Old) && strcmp(mode, Read)) {
    *perrval = CannotOpenAsBslFile;
    return -1;
  }
  long stream = take_file_entry(fname);
  if (stream < 0) {
    *perrval = NoMoreStreamsAvailable;
    return -1;
  }
  DFile* file = &FileTable[stream];
  file->Flags.NoGeneralHeader = 1;
  int errval = RoutineSucceeded;
  int entry = -1;
  if (create_general_block(file)) {
    errval = ErrorCreatingGeneralBlock;
  } else if ((entry = open_bsl_file(fname, Read)) < 0) {
    errval = CannotOpenAsBslFile;
  } else {
    try {
      if (present_bsl_file(file, bsl_file(entry))) errval = CannotOpenAsBslFile;
    } catch (const std::bad_alloc&) {
      errval = CannotOpenAsBslFile;
    }
    close_bsl_file(entry);
  }
  if (!errval) {
    file->Flags.ExistingFile = 1;
    file->Flags.ReadOnlyFile = 1;
    file->Channel = fopen(fname, "rb");
    file->Buffer.reset(new (std::nothrow) char[WibBufferSize]);
    if (!file->Channel)
      errval = CouldNotOpenFile;
    else if (!file->Buffer)
      errval = CouldNotMallocMemory;
    else if (setvbuf(file->Channel, file->Buffer.get(), _IOFBF, WibBufferSize))
      errval = CouldNotSetBuffer;
  }
  if (errval) {
    free_data_file(file);  // a failed open keeps no entry
    *perrval = errval;
    return -1;
  }
  *perrval = RoutineSucceeded;
  return stream;
}
