// wibio write: opening blocks for writing, header values, data arrays, and
// putting a block on disk (compression, format keys and sizes, header text
// and binary section, the block counter of the general block).
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>

#include "wibpack/cmpr.h"
#include "wibpack/numio.h"
#include "wibpack/wibio_internal.h"

namespace {

unsigned long round_up(unsigned long n, unsigned long boundary) {
  if (boundary <= 1) return n;
  unsigned long r = n % boundary;
  if (!r) return n;
  if (n > ULONG_MAX - (boundary - r)) return ULONG_MAX;
  return n + (boundary - r);
}

// Compressed copy of the data while a block is written.
bool writes_compressed(const DBlock* block) {
  return block->Flags.DataChanged && !block->Flags.InternalData &&
         (block->DataCompression == GzipCompression || block->DataCompression == ZCompression);
}

// Writes count spaces.
int write_spaces(FILE* channel, unsigned long count) {
  static const std::string spaces(4096, ' ');
  while (count) {
    size_t n = count < spaces.size() ? count : spaces.size();
    if (fwrite(spaces.data(), 1, n, channel) != n) return -1;
    count -= n;
  }
  return 0;
}

// Number of elements of a dimension array whose sizes are all at least 1;
// -1 for a missing or bad array or a product that does not fit.
int checked_elements(const long* Dim, size_t* pn) {
  if (!Dim || Dim[0] < 1) return -1;
  for (long i = 1; i <= Dim[0]; i++)
    if (Dim[i] < 1) return -1;
  return array_bytes(Dim, 1, pn);
}

// Stores a header value of a block opened for writing.
int store_value(long stream, long DataNumber, long DataChain, const char* keyword,
                const char* Value, int* pErrorValue, int* pstatus) {
  DFile* file = nullptr;
  DBlock* block = nullptr;
  int errval = open_write_block(stream, DataNumber, DataChain, &file, &block);
  if (!errval && (!keyword || insert_string(block, keyword, Value, nullptr)))
    errval = CouldNotInsertSymbol;
  if (!errval) block->Flags.HeaderChanged = 1;
  set_result(pErrorValue, pstatus, errval);
  return errval ? 0 : 1;
}

// The header keys that describe the block's data array.
int store_data_keys(DBlock* block, const long* Dim, long DataType, long DataValueOffset,
                    long ByteOrder, long RasterConfiguration, long Compression) {
  try {
    for (long i = 1; i <= Dim[0]; i++) {
      const std::string key = DIMENSION_KEY_PREFIX + std::to_string(i);
      if (insert_string(block, key.c_str(), std::to_string(Dim[i]).c_str(), nullptr))
        return CouldNotWriteDimension;
    }
    // Dimensions left from an earlier, larger array.
    for (long i = Dim[0] + 1;; i++) {
      const std::string key = DIMENSION_KEY_PREFIX + std::to_string(i);
      if (remove_string(block, key.c_str())) break;
    }
    if (insert_string(block, KDataType, wib_datatype2string(DataType), nullptr))
      return CouldNotWriteBinary;
    if (DataValueOffset) {
      if (insert_string(block, KDataValueOffset, std::to_string(DataValueOffset).c_str(), nullptr))
        return CouldNotWriteBinary;
    } else {
      remove_string(block, KDataValueOffset);
    }
    if (insert_string(block, KByteOrder, wib_byteorder2string(ByteOrder), nullptr))
      return CouldNotWriteBinary;
    if (RasterConfiguration != 1) {
      if (insert_string(block, KDataRasterConfiguration,
                        std::to_string(RasterConfiguration).c_str(), nullptr))
        return CouldNotWriteBinary;
    } else {
      remove_string(block, KDataRasterConfiguration);
    }
    if (insert_string(block, KCompression, wib_compression2string(Compression), nullptr))
      return CouldNotWriteBinary;
  } catch (const std::bad_alloc&) {
    return CouldNotWriteBinary;
  }
  return RoutineSucceeded;
}

// The keys of external binary data as the block was located: a header read
// in full may hold such keys after its leading format keys, which locating
// does not read; written at the head they would give the block another
// meaning.  Without external data (or when the data now go into this file)
// the keys are removed.
int store_external_keys(const DFile* file, DBlock* block, bool data) {
  if (data || block->BinaryFileName.empty()) {
    remove_string(block, KBinaryFileName);
    remove_string(block, KBinaryFilePosition);
    remove_string(block, KBinaryFileSize);
    return 0;
  }
  std::string name = block->BinaryFileName;
  const std::string dir = directory_of(file->Name.c_str());
  if (name.compare(0, dir.size(), dir) == 0) name.erase(0, dir.size());
  if (insert_string(block, KBinaryFileName, name.c_str(), nullptr) ||
      insert_string(block, KBinaryFilePosition, std::to_string(block->BinaryFilePos).c_str(),
                    nullptr))
    return -1;
  if (!block->BinaryFileLen) {
    remove_string(block, KBinaryFileSize);
    return 0;
  }
  return insert_string(block, KBinaryFileSize, std::to_string(block->BinaryFileLen).c_str(),
                       nullptr);
}

}  // namespace

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

int open_write_block(long stream, long DataNumber, long DataChain, DFile** pfile,
                     DBlock** pblock) {
  int errval;
  DFile* file = used_file(stream, &errval);
  if (!file) return errval;
  // The general block can only be written before any data block.
  if (DataChain == 0 && file->ActiveBlock != file->GeneralBlock) return GeneralBlockNotFirst;
  std::string ChainKey, BlockKey;
  if (data_chain_key(file, DataChain, ChainKey) || data_block_key(DataNumber, DataChain, BlockKey))
    return MissingKeyDefinition;
  DChain* chain = nullptr;
  DBlock* block = nullptr;
  search_data_chain(file, ChainKey.c_str(), &chain);
  search_data_block(chain, BlockKey.c_str(), &block);
  if (!block || file->ActiveBlock != block) {
    // The active block is written first, so that a failure creates nothing.
    if ((errval = disk_write_block(file))) return errval;
    if (insert_data_chain(file, ChainKey.c_str(), &chain)) return CouldNotInsertChain;
    if (insert_data_block(chain, BlockKey.c_str(), &block)) return CouldNotInsertBlock;
    if (file->Flags.TemporaryFile) {
      block->Flags.InternalHeader = 1;
      block->Flags.InternalData = 1;
    }
    // A block that is on disk keeps the values stored there: its header is
    // loaded, so that rewriting it loses nothing.
    if ((errval = load_header(file, block))) return errval;
    file->ActiveBlock = block;
  }
  *pfile = file;
  *pblock = block;
  return RoutineSucceeded;
}

void release_data_block(DBlock* block) {
  if (!block || (block->Chain && block->Chain->File &&
                 block == block->Chain->File->GeneralBlock))
    return;
  if (!block->Flags.InternalHeader) {
    free_symbol_list(block);
    block->Flags.HeaderExternal = 1;
    block->Flags.HeaderChanged = 0;
  }
  if (!block->Flags.InternalData) {
    free_block_data(block);
    free_block_dim(block);
    block->DataType = 0;
    block->DataValueOffset = 0;
    block->DataByteOrder = 0;
    block->DataRasterConfiguration = 0;
    block->DataCompression = 0;
    block->Flags.DataExternal = 1;
    block->Flags.DataChanged = 0;
  }
}

int disk_write_block(DFile* file) {
  DBlock* block = file->ActiveBlock;
  if (!block) return RoutineSucceeded;
  int errval = RoutineSucceeded;
  if (writes_compressed(block) && !block->Flags.BadBlock) {
    const char* prefix = "ERROR: put_compressed_block";
    try {
      block->Raw.assign(block->DataLen, 0);
    } catch (const std::bad_alloc&) {
      fprintf(stderr, "%s malloc\n", prefix);
      errval = RoutineFailed;
    }
    int zerr = 0;
    if (!errval && cmpr_deflate(block->Raw.data(), block->DataLen, block->Data, block->DataLen,
                                static_cast<int>(block->DataCompression), &block->RawLen, &zerr)) {
      fprintf(stderr, "%s cmpr_deflate (errval=%d)\n", prefix, zerr);
      errval = CompressionError;
    }
  }
  if (!errval && put_data_block(file, block)) errval = WriteDataError;
  if (errval) block->Flags.BadBlock = 1;
  block->Raw.clear();
  block->Raw.shrink_to_fit();
  block->RawLen = 0;
  release_data_block(block);
  file->ActiveBlock = nullptr;
  return errval;
}

int put_data_block(DFile* file, DBlock* block) {
  const bool changed = block->Flags.HeaderChanged || block->Flags.DataChanged;
  // A bad block is never written again; new changes to it are an error.
  if (block->Flags.BadBlock) return changed ? -1 : 0;
  if (!changed) return 0;
  // Changes to a file opened for reading (a BSL file too, whose headers live
  // in memory) can never reach the disk.
  if (file->Flags.ReadOnlyFile) {
    fprintf(stderr, "ERROR: put_data_block: %s is opened for reading only\n", file->Name.c_str());
    block->Flags.BadBlock = 1;
    return -1;
  }
  if (block == file->GeneralBlock && file->Flags.NoGeneralHeader) return 0;
  if (sync_data_block(file, block) || flush_data_block(file, block) || update_general(file)) {
    block->Flags.BadBlock = 1;
    return -1;
  }
  return 0;
}

int sync_data_block(DFile* file, DBlock* block) {
  const bool general = block == file->GeneralBlock;
  const bool data = block->Flags.DataChanged && !block->Flags.InternalData;
  unsigned long length = data ? (writes_compressed(block) ? block->RawLen : block->DataLen) : 0;
  unsigned long BinaryLen = round_up(length, file->BlockBoundary);
  if (block->Flags.DiskBlockFixed) {
    if (BinaryLen > block->BinaryLen) {
      fprintf(stderr,
              "ERROR: sync_data_block: the data of block %s (%lu bytes) do not fit into its "
              "%lu bytes on disk\n",
              block_id(block), BinaryLen, block->BinaryLen);
      return -1;
    }
    BinaryLen = block->BinaryLen;
  }
  const char* placeholder = HEADERSIZE_PLACEHOLDER;
  try {
    const int hs = wib_settings.write_headersize;
    if (general) {
      if (hs && insert_symbol_root(block, KHeaderSize, placeholder, nullptr)) return -1;
      SElement* s;
      if (search_string(block, KBlockBoundary, &s) == 0) {
        file->BlockBoundary = block_boundary_value(s->String.c_str(), nullptr);
      } else if (insert_symbol_root(block, KBlockBoundary,
                                    std::to_string(file->BlockBoundary).c_str(), nullptr)) {
        return -1;
      }
      if (insert_symbol_root(block, KDataBlocks, placeholder, nullptr) ||
          insert_symbol_root(block, KDataFormatVersion, DATA_FORMAT_VERSION, nullptr))
        return -1;
    } else {
      if (hs && insert_symbol_root(block, KHeaderSize, placeholder, nullptr)) return -1;
      if (insert_symbol_root(block, KBinarySize, std::to_string(BinaryLen).c_str(), nullptr) ||
          insert_symbol_root(block, KDataBlockID, block_id(block), nullptr))
        return -1;
      const std::string v1key = v1_block_key_name(block->Chain->ChainKey.c_str());
      if (insert_string(block, v1key.c_str(), block->BlockKey.c_str(), nullptr)) return -1;
      if (store_external_keys(file, block, data)) return -1;
    }
    if (!block->Flags.DiskBlockFixed) block->SequenceNumber = file->NextSequenceNumber;
    if (insert_string(block, V1_HEADER_ID_KEY, header_id(block->SequenceNumber).c_str(),
                      nullptr) ||
        insert_string(block, V1_SIZE_KEY, std::to_string(BinaryLen).c_str(), nullptr))
      return -1;
  } catch (const std::bad_alloc&) {
    return -1;
  }
  block->BinaryLen = BinaryLen;
  if (header_layout(block, wib_settings.minimum_headersize_out, file->BlockBoundary,
                    wib_settings.write_headersize)) {
    fprintf(stderr, "ERROR: sync_data_block: the header of block %s does not fit into its "
                    "%lu bytes on disk\n",
            block_id(block), block->TextLen);
    return -1;
  }
  return 0;
}

int flush_data_block(DFile* file, DBlock* block) {
  if (block->Flags.InternalHeader || (!block->Flags.HeaderChanged && !block->Flags.DataChanged))
    return 0;
  FILE* ch = file->Channel;
  if (!ch) return -1;
  unsigned long pos = 0;
  if (block->Flags.DiskBlockFixed) {
    pos = block->TextPos;
  } else if (const DBlock* last = file->LastBlockInFile) {
    pos = last->TextPos + last->TextLen;
    if (pos < last->TextPos || last->BinaryLen > ULONG_MAX - pos) {
      perror("flush_data_block->get_block_pos");
      return -1;
    }
    pos += last->BinaryLen;
  }
  block->TextPos = pos;
  if (seek_to(ch, pos)) {
    perror("flush_data_block->fseek");
    return -1;
  }
  std::string text;
  if (header_text(block, text)) {
    perror("flush_data_block ordersymbols");
    return -1;
  }
  if (fwrite(text.data(), 1, text.size(), ch) != text.size()) {
    perror("flush_data_block->fwrite");
    return -1;
  }
  block->Flags.HeaderChanged = 0;
  block->BinaryPos = pos + block->TextLen;
  if (block->Flags.DataChanged && !block->Flags.InternalData) {
    block->BinaryFileName.clear();
    block->BinaryFilePos = block->BinaryPos;
    block->BinaryFileLen = block->BinaryLen;
    const bool compressed = writes_compressed(block);
    const void* bytes = compressed ? static_cast<const void*>(block->Raw.data()) : block->Data;
    size_t length = compressed ? block->RawLen : block->DataLen;
    if ((length && fwrite(bytes, 1, length, ch) != length) ||
        write_spaces(ch, block->BinaryLen - length)) {
      perror("flush_data_block->fwrite");
      return -1;
    }
    block->Flags.DataChanged = 0;
  }
  if (fflush(ch)) {
    perror("flush_data_block->fflush");
    return -1;
  }
  if (block->SequenceNumber == file->NextSequenceNumber) {
    file->LastBlockInFile = block;
    file->NextSequenceNumber++;
  }
  block->Flags.DiskBlockUsed = 1;
  block->Flags.DiskBlockFixed = 1;
  return 0;
}

int update_general(DFile* file) {
  DBlock* general = file->GeneralBlock;
  if (!general || file->Flags.NoGeneralHeader || file->Flags.TemporaryFile ||
      !general->Flags.DiskBlockUsed || !file->Channel)
    return 0;
  // The counter is informative: a general block without a counter field
  // that can take the number keeps its value.
  SElement* s;
  if (search_symbol(general, KDataBlocks, &s)) return 0;
  unsigned long n = file->NextSequenceNumber >= 2 ? file->NextSequenceNumber - 2 : 0;
  const std::string count = std::to_string(n);
  if (count.size() > s->Value.size()) return 0;
  update_symbol(general, KDataBlocks, count.c_str(), &s);
  if (seek_to(file->Channel, s->ValPos)) {
    perror("rewrite_symbol->fseek");
    return -1;
  }
  if (fputs(s->Value.c_str(), file->Channel) == EOF) {
    perror("rewrite_symbol->fputs");
    return -1;
  }
  if (fseek(file->Channel, 0, SEEK_END) || fflush(file->Channel)) {
    perror("update_general->fseek");
    return -1;
  }
  return 0;
}

// ---------------------------------------------------------------------------
// Public writing operations
// ---------------------------------------------------------------------------

int wib_write_header_string(long stream, long DataNumber, int DataChain, const char* keyword,
                            const char* Value, int* pErrorValue, int* pstatus) {
  return store_value(stream, DataNumber, DataChain, keyword, Value, pErrorValue, pstatus);
}

int wib_write_header_line(long stream, long DataNumber, int DataChain, const char* keyword,
                          const char* Value, int* pErrorValue, int* pstatus) {
  return store_value(stream, DataNumber, DataChain, keyword, Value, pErrorValue, pstatus);
}

int wib_write_header_long(long stream, long DataNumber, int DataChain, const char* keyword,
                          long Value, int* pErrorValue, int* pstatus) {
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%ld", Value);
  return store_value(stream, DataNumber, DataChain, keyword, buffer, pErrorValue, pstatus);
}

int wib_write_header_unit(long stream, long DataNumber, int DataChain, const char* keyword,
                          float Value, const char* unit, int* pErrorValue, int* pstatus) {
  char buffer[65];
  int numerr = 0;
  if (!num_double2str(buffer, sizeof buffer, Value, unit, WibNDigitsFloat, &numerr)) {
    set_result(pErrorValue, pstatus, NumberConversionFailed);
    return 0;
  }
  return store_value(stream, DataNumber, DataChain, keyword, buffer, pErrorValue, pstatus);
}

int wib_write_header_float(long stream, long DataNumber, int DataChain, const char* keyword,
                           float Value, int* pErrorValue, int* pstatus) {
  return wib_write_header_unit(stream, DataNumber, DataChain, keyword, Value, nullptr,
                               pErrorValue, pstatus);
}

int wib_write_header(long stream, long DataNumber, int DataChain, const char* header_key,
                     int* pErrorValue, int* pstatus) {
  HList* list;
  if (search_header_list(header_key, &list)) {
    set_result(pErrorValue, pstatus, CouldNotFindHeaderKey);
    return 0;
  }
  DFile* file = nullptr;
  DBlock* block = nullptr;
  int errval = open_write_block(stream, DataNumber, DataChain, &file, &block);
  for (HElement* e = list->ElementRoot; !errval && e; e = e->Next)
    if (insert_string(block, e->Key.c_str(), e->Value.c_str(), nullptr))
      errval = CouldNotInsertSymbol;
  if (!errval) block->Flags.HeaderChanged = 1;
  set_result(pErrorValue, pstatus, errval);
  return errval ? 0 : 1;
}

int wib_delete_key(long stream, long DataNumber, int DataChain, const char* keyword,
                   int* pErrorValue, int* pstatus) {
  int errval;
  DFile* file = used_file(stream, &errval);
  if (!errval && (!keyword || is_format_key(keyword))) errval = CouldNotDeleteString;
  DChain* chain = nullptr;
  DBlock* block = nullptr;
  if (!errval && find_data_block(file, DataNumber, DataChain, &chain, &block) ==
                     CouldNotFindHeader) {
    set_result(pErrorValue, pstatus, RoutineSucceeded);  // nothing to delete
    return 1;
  }
  if (!errval) errval = open_read_block(stream, DataNumber, DataChain, &file, &block);
  if (!errval) errval = open_write_block(stream, DataNumber, DataChain, &file, &block);
  if (!errval && remove_string(block, keyword)) errval = CouldNotDeleteString;
  if (!errval) block->Flags.HeaderChanged = 1;
  set_result(pErrorValue, pstatus, errval);
  return errval ? 0 : 1;
}

void wib_write_data_raw(long stream, long DataNumber, int DataChain, const long* Dim,
                        const void* pData, long DataType, long DataValueOffset, long ByteOrder,
                        long RasterConfiguration, int* pErrorValue, int* pstatus) {
  DFile* file = nullptr;
  DBlock* block = nullptr;
  int errval = open_write_block(stream, DataNumber, DataChain, &file, &block);
  size_t n = 0, length = 0;
  const size_t item = wib_data_sizeof(DataType);
  long compression = wib_settings.data_compression_out ? wib_settings.data_compression_out
                                                       : static_cast<long>(UnCompressed);
  if (!errval && (checked_elements(Dim, &n) || array_bytes(Dim, item, &length)))
    errval = MissingArrayDimensions;
  // The general block holds no data.
  if (!errval && (!pData || !item || DataChain == 0)) errval = CouldNotWriteBinary;
  if (!errval && compression != UnCompressed && compression != GzipCompression &&
      compression != ZCompression)
    errval = CompressionError;
  if (!errval)
    errval = store_data_keys(block, Dim, DataType, DataValueOffset, ByteOrder,
                             RasterConfiguration, compression);
  long* dim = nullptr;
  if (!errval) {
    size_t dimbytes = static_cast<size_t>(Dim[0] + 1) * sizeof(long);
    if (!(dim = static_cast<long*>(malloc(dimbytes))))
      errval = CouldNotMallocMemory;
    else
      memcpy(dim, Dim, dimbytes);
  }
  void* data = const_cast<void*>(pData);
  if (!errval && block->Flags.InternalData) {
    // Data that live only in memory are kept in a copy of the library.
    if (!(data = malloc(length))) {
      errval = CouldNotMallocMemory;
    } else {
      memcpy(data, pData, length);
    }
  }
  if (errval) {
    free(dim);
    set_result(pErrorValue, pstatus, errval);
    return;
  }
  free_block_data(block);
  free_block_dim(block);
  block->Data = data;
  block->DataBufferLen = length;
  block->DataLen = length;
  block->Flags.ExternalDataAlloc = block->Flags.InternalData ? 0 : 1;
  block->DataDim = dim;
  block->DataType = DataType;
  block->DataValueOffset = DataValueOffset;
  block->DataByteOrder = ByteOrder;
  block->DataRasterConfiguration = RasterConfiguration;
  block->DataCompression = compression;
  block->Flags.DataExternal = 0;
  block->Flags.HeaderChanged = 1;
  block->Flags.DataChanged = 1;
  file->ActiveBlock = block;
  errval = disk_write_block(file);
  set_result(pErrorValue, pstatus, errval);
}

void wib_write_data(long stream, long DataNumber, int DataChain, const long* Dim,
                    const void* pData, long MachineType, int* pErrorValue, int* pstatus) {
  long datatype_out, mtype_out;
  if (wib_settings.data_type_out) {
    datatype_out = wib_settings.data_type_out;
    mtype_out = wib_datatype2machinetype(datatype_out);
  } else {
    mtype_out = MachineType;
    datatype_out = wib_machinetype2datatype(MachineType);
  }
  const long offset = wib_settings.data_value_offset_out;
  size_t n = 0;
  int errval = RoutineSucceeded;
  if (checked_elements(Dim, &n)) errval = MissingArrayDimensions;
  if (!errval && (!datatype_out || !mtype_out || !wib_machine_sizeof(MachineType) ||
                  offset == LONG_MIN))
    errval = DataConversionFailed;
  if (!errval && !pData) errval = CouldNotWriteBinary;
  void* converted = nullptr;
  if (!errval && (mtype_out != MachineType || offset)) {
    size_t bytes;
    if (array_bytes(Dim, wib_machine_sizeof(mtype_out), &bytes) ||
        !(converted = malloc(bytes ? bytes : 1)))
      errval = CouldNotMallocMemory;
    else if (wib_machine2machine(converted, mtype_out, pData, -offset, MachineType, n))
      errval = DataConversionFailed;
  }
  if (errval) {
    free(converted);
    set_result(pErrorValue, pstatus, errval);
    return;
  }
  wib_write_data_raw(stream, DataNumber, DataChain, Dim, converted ? converted : pData,
                     datatype_out, offset, wib_byteorder(), 1, pErrorValue, pstatus);
  free(converted);
}
