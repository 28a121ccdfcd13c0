// wibio read: opening blocks for reading, header values and header lists,
// data dimensions, loading the binary array of a block (plain or
// compressed, from this file or an external one) and bringing it into the
// program's form (byte order, raster configuration, machine type, value
// offset).
#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "wibpack/cmpr.h"
#include "wibpack/numio.h"
#include "wibpack/raster.h"
#include "wibpack/wibio_internal.h"

namespace {

const char* const GetPrefix = "ERROR: get_binary_array:";
const char* const RenormPrefix = "ERROR: renorm_data_array:";

// Deflate expands no byte into more than 1032 bytes: a compressed section of
// n bytes cannot hold more than this many bytes of data.
size_t max_inflated(size_t n) {
  const size_t ratio = 1032, slack = 1024;
  if (n > (SIZE_MAX - slack) / ratio) return SIZE_MAX;
  return n * ratio + slack;
}

// Forgets the data array of a block (frees it unless the caller owns it) and
// marks the data as not loaded.
void drop_block_data(DBlock* block) {
  free_block_data(block);
  block->Flags.DataExternal = 1;
}

// Replaces the block's dimension array by a library copy of dim.
int keep_block_dim(DBlock* block, const std::vector<long>& dim) {
  long* copy = static_cast<long*>(malloc(dim.size() * sizeof(long)));
  if (!copy) return -1;
  memcpy(copy, dim.data(), dim.size() * sizeof(long));
  free_block_dim(block);
  block->DataDim = copy;
  return 0;
}

// Dimensions of a block's data: -1 when there are none or a size is not
// positive (message printed).
int valid_data_dim(DBlock* block, std::vector<long>& dim, const char* prefix) {
  if (read_data_dim(block, dim)) return -1;
  for (long i = 1; i <= dim[0]; i++) {
    if (dim[i] < 1) {
      fprintf(stderr, "%s %s%ld = %ld is not a valid size\n", prefix, DIMENSION_KEY_PREFIX, i,
              dim[i]);
      return -1;
    }
  }
  return 0;
}

// Opens an external binary file; a path without '.' is tried once more with
// a '.' appended.
FILE* open_external(const std::string& path) {
  FILE* f = fopen(path.c_str(), "rb");
  if (f) return f;
  if (path.find('.') != std::string::npos) {
    fprintf(stderr, "%s fopen\n", GetPrefix);
    return nullptr;
  }
  f = fopen((path + ".").c_str(), "rb");
  if (!f) fprintf(stderr, "%s fopen 2\n", GetPrefix);
  return f;
}

// Result of a header read after the block was opened (errval).
int read_result(int errval) { return errval == ReadDataError ? 1 : 0; }

// Opens the block, looks up a key with the general-block defaults and hands
// its decoded value to deliver, which returns an error value.  The result:
// 0 when the block or the key is missing, else 1.
template <typename Deliver>
int read_value(long stream, long DataNumber, long DataChain, const char* keyword,
               int* pErrorValue, int* pstatus, Deliver deliver) {
  DFile* file = nullptr;
  DBlock* block = nullptr;
  SElement* s = nullptr;
  int errval = open_read_block(stream, DataNumber, DataChain, &file, &block);
  int result = read_result(errval);
  if (!errval) {
    if (!keyword || search_general(block, keyword, &s)) {
      errval = CouldNotFindSymbol;
    } else {
      errval = deliver(s->String);
      result = 1;
    }
  }
  set_result(pErrorValue, pstatus, errval);
  return result;
}

// Adds the symbols of a block (not its "WIB_" keys) to a header list,
// continuation parts joined to their base key.
int add_to_header_list(HList* list, DBlock* block) {
  SElement* s = block->SymbolList;
  while (s) {
    if (is_format_key_exact(s->Key.c_str())) {
      s = s->Next;
      continue;
    }
    SElement* next;
    if (update_string(s, &next) ||
        insert_header_element(list, s->Key.c_str(), s->String.c_str(), nullptr))
      return -1;
    s = next;
  }
  return 0;
}

}  // namespace

// ---------------------------------------------------------------------------
// Blocks
// ---------------------------------------------------------------------------

int get_data_header(DFile* file, DBlock* block) {
  FILE* ch = file->Channel;
  if (!ch || seek_to(ch, block->TextPos)) {
    perror("get_data_header->fseek");
    return ReadDataError;
  }
  if (check_start(ch) != 1) {
    perror("get_data_header->check_start");
    return ReadDataError;
  }
  free_symbol_list(block);
  // The symbols must end at the header's end marker, where the binary
  // section starts.
  if (get_symbol_list(ch, block, 0) != WibReadOk || !header_ends_at(ftell(ch), block->BinaryPos)) {
    perror("get_data_header->get_symbol_list");
    free_symbol_list(block);
    return ReadDataError;
  }
  block->Flags.HeaderExternal = 0;
  block->Flags.HeaderChanged = 0;
  block->Flags.DiskBlockFixed = 1;
  return RoutineSucceeded;
}

int load_header(DFile* file, DBlock* block) {
  if (!block->Flags.HeaderExternal) return RoutineSucceeded;
  if (block->Flags.DiskBlockUsed) return get_data_header(file, block);
  // A block without a place on disk (its first writing failed) starts with
  // an empty header.
  block->Flags.HeaderExternal = 0;
  return RoutineSucceeded;
}

int open_read_block(long stream, long DataNumber, long DataChain, DFile** pfile,
                    DBlock** pblock) {
  int errval;
  DFile* file = used_file(stream, &errval);
  if (!file) return errval;
  DChain* chain = nullptr;
  DBlock* block = nullptr;
  if ((errval = find_data_block(file, DataNumber, DataChain, &chain, &block))) return errval;
  if (file->Flags.TemporaryFile) {
    block->Flags.InternalHeader = 1;
    block->Flags.InternalData = 1;
  }
  if (file->ActiveBlock != block) {
    if ((errval = disk_write_block(file))) return errval;
    if ((errval = load_header(file, block))) return errval;
    file->ActiveBlock = block;
  }
  *pfile = file;
  *pblock = block;
  return RoutineSucceeded;
}

int copydim(long* dest, const long* src) {
  long N = dest[0] > 0 ? dest[0] : 0;
  long n = src[0] > 0 ? src[0] : 0;
  for (long i = N + 1; i <= n; i++)
    if (src[i] != 1) return -1;
  for (long i = 1; i <= N; i++) dest[i] = i <= n ? src[i] : 1;
  return 0;
}

// ---------------------------------------------------------------------------
// Loading and converting data arrays
// ---------------------------------------------------------------------------

int get_binary_array(DBlock* block, void* buffer, size_t buflen, int must_use_buffer) {
  DFile* file = block->Chain ? block->Chain->File : nullptr;
  std::vector<long> dim;
  try {
    if (valid_data_dim(block, dim, GetPrefix)) return CouldNotGetBinaryArray;
  } catch (const std::bad_alloc&) {
    return CouldNotGetBinaryArray;
  }
  DataDescription d;
  read_data_description(block, &d);
  const size_t item = wib_data_sizeof(d.DataType);
  if (!item) {
    fprintf(stderr, "%s unknown data type\n", GetPrefix);
    return CouldNotGetBinaryArray;
  }
  if (d.Compression != UnCompressed && d.Compression != GzipCompression &&
      d.Compression != ZCompression) {
    fprintf(stderr, "%s unknown compression\n", GetPrefix);
    return CouldNotGetBinaryArray;
  }
  const bool compressed = d.Compression != UnCompressed;
  size_t L;
  if (array_bytes(dim.data(), item, &L)) {
    fprintf(stderr, "%s the data array is too large\n", GetPrefix);
    return CouldNotGetBinaryArray;
  }

  // Source and the bytes it really holds.
  const bool external = !block->BinaryFileName.empty();
  FILE* src = nullptr;
  unsigned long pos, available;
  if (external) {
    if (!(src = open_external(block->BinaryFileName))) return CouldNotGetBinaryArray;
    pos = block->BinaryFilePos;
    available = block->BinaryFileLen ? block->BinaryFileLen : ULONG_MAX;
  } else {
    src = file ? file->Channel : nullptr;
    pos = block->BinaryPos;
    available = block->BinaryLen;
  }
  auto close_source = [&]() {
    if (external && fclose(src)) fprintf(stderr, "%s fclose\n", GetPrefix);
  };
  if (!src) {
    fprintf(stderr, "%s no data on disk\n", GetPrefix);
    return CouldNotGetBinaryArray;
  }
  long size = stream_size(src);
  if (size >= 0) {
    unsigned long usize = static_cast<unsigned long>(size);
    unsigned long there = pos < usize ? usize - pos : 0;
    if (there < available) available = there;
  }
  const size_t readlen = available < L ? available : L;
  if (!compressed && readlen < L) {
    fprintf(stderr, "%s read bytes %zu | %lu less than array size %zu | %lu\n", GetPrefix, readlen,
            static_cast<unsigned long>(readlen), L, static_cast<unsigned long>(L));
    close_source();
    return CouldNotGetBinaryArray;
  }
  if (compressed && max_inflated(readlen) < L) {
    fprintf(stderr, "%s %zu compressed bytes cannot hold an array of %zu | %lu bytes\n",
            GetPrefix, readlen, L, static_cast<unsigned long>(L));
    close_source();
    return CouldNotGetBinaryArray;
  }

  // Destination: the caller's buffer, or an array of the library.
  if (buffer && buffer == block->Data && !must_use_buffer) buffer = nullptr;
  const bool use_buffer = buffer && (buflen >= L || must_use_buffer);
  if (use_buffer && buflen < L) {
    fprintf(stderr, "%s supplied buffer < %zu | %lu bytes\n", GetPrefix, L,
            static_cast<unsigned long>(L));
    close_source();
    return DataBufferTooSmall;
  }
  void* dest;
  size_t destlen;
  if (use_buffer) {
    free_block_data(block);
    dest = buffer;
    destlen = buflen;
  } else if (block->Data && !block->Flags.ExternalDataAlloc && block->DataBufferLen >= L) {
    dest = block->Data;  // the library's array is large enough
    destlen = block->DataBufferLen;
  } else {
    free_block_data(block);
    if (!(dest = malloc(L))) {
      fprintf(stderr, "%s malloc of %zu | %lu bytes failed\n", GetPrefix, L,
              static_cast<unsigned long>(L));
      close_source();
      return CouldNotGetBinaryArray;
    }
    destlen = L;
  }
  block->Data = dest;
  block->DataBufferLen = destlen;
  block->Flags.ExternalDataAlloc = use_buffer ? 1 : 0;

  int errval = RoutineSucceeded;
  size_t got = 0;
  if (seek_to(src, pos)) {
    fprintf(stderr, "%s fseek\n", GetPrefix);
    errval = CouldNotGetBinaryArray;
  } else if (!compressed) {
    got = fread(dest, 1, L, src);
    if (got < L) fprintf(stderr, "%s fread\n", GetPrefix);
  } else {
    int zerr = 0;
    if (cmpr_frinflate(dest, L, src, readlen, static_cast<int>(d.Compression), &got, &zerr)) {
      fprintf(stderr, "%s cmpr_frinflate errval=%d\n", GetPrefix, zerr);
      errval = CouldNotGetBinaryArray;
    }
  }
  if (!errval && got < L) {
    fprintf(stderr, "%s read bytes %zu | %lu less than array size %zu | %lu\n", GetPrefix, got,
            static_cast<unsigned long>(got), L, static_cast<unsigned long>(L));
    errval = CouldNotGetBinaryArray;
  }
  close_source();
  if (!errval && keep_block_dim(block, dim)) errval = CouldNotGetBinaryArray;
  if (errval) {
    drop_block_data(block);
    return errval;
  }
  block->DataLen = L;
  block->DataType = d.DataType;
  block->DataByteOrder = d.ByteOrder;
  block->DataRasterConfiguration = d.DataRasterConfiguration;
  block->DataValueOffset = d.DataValueOffset;
  block->DataCompression = UnCompressed;
  block->Flags.DataExternal = 0;
  return RoutineSucceeded;
}

int renorm_data_array(DBlock* block, void* buffer, size_t buflen, long MachineType) {
  if (block->Flags.DataExternal || !block->Data) return ExternalData;
  if (!block->DataDim) return MissingArrayDimensions;
  if (buffer == block->Data) buffer = nullptr;
  const size_t item_out = wib_machine_sizeof(MachineType);
  const long mtype_src = wib_datatype2machinetype(block->DataType);
  const size_t item_src = wib_machine_sizeof(mtype_src);
  size_t M, n;
  if (!item_out || !mtype_src || array_bytes(block->DataDim, item_out, &M) ||
      array_bytes(block->DataDim, 1, &n) || n * item_src > block->DataLen) {
    fprintf(stderr, "%s cannot convert %s to %s\n", RenormPrefix,
            wib_datatype2string(block->DataType),
            wib_datatype2string(wib_machinetype2datatype(MachineType)));
    return DataConversionFailed;
  }
  if ((buffer && buflen < M) ||
      (!buffer && block->Flags.ExternalDataAlloc && block->DataBufferLen < M)) {
    fprintf(stderr, "%s allocated buffer < %zu | %lu bytes\n", RenormPrefix, M,
            static_cast<unsigned long>(M));
    return DataBufferTooSmall;
  }

  // Machine byte order.
  const long machine = wib_byteorder();
  if (item_src > 1 && block->DataByteOrder != machine) {
    if (block->DataByteOrder == LowByteFirst || block->DataByteOrder == HighByteFirst) {
      wib_bswap(block->Data, block->Data, item_src, n);
    } else if (block->DataByteOrder != FixedByteOrder) {
      fprintf(stderr, "%s unknown byte order\n", RenormPrefix);
      return DataConversionFailed;
    }
  }
  block->DataByteOrder = machine;

  // Raster configuration 1.
  if (block->DataRasterConfiguration != 1) {
    int rerr = RasterSuccess;
    if (raster_normalization(block->Data, block->Data, block->DataDim,
                             block->DataRasterConfiguration, item_src, &rerr)) {
      if (rerr == RasterNoMemory) {
        fprintf(stderr, "%s malloc of %zu | %lu bytes failed\n", RenormPrefix, n * item_src,
                static_cast<unsigned long>(n * item_src));
        return CouldNotMallocMemory;
      }
      return DataConversionFailed;
    }
    block->DataRasterConfiguration = 1;
  }

  // Conversion into the destination.
  void* dest;
  bool new_array = false;
  if (buffer) {
    dest = buffer;
  } else if (block->DataBufferLen < M) {
    if (!(dest = malloc(M))) {
      fprintf(stderr, "%s malloc of %zu | %lu bytes failed\n", RenormPrefix, M,
              static_cast<unsigned long>(M));
      return CouldNotMallocMemory;
    }
    new_array = true;
  } else {
    dest = block->Data;
  }
  if (wib_machine2machine(dest, MachineType, block->Data, block->DataValueOffset, mtype_src, n)) {
    if (new_array) free(dest);
    fprintf(stderr, "%s cannot convert %s to %s\n", RenormPrefix,
            wib_datatype2string(block->DataType),
            wib_datatype2string(wib_machinetype2datatype(MachineType)));
    return DataConversionFailed;
  }
  if (dest != block->Data) {
    free_block_data(block);
    block->Data = dest;
    block->DataBufferLen = buffer ? buflen : M;
    block->Flags.ExternalDataAlloc = buffer ? 1 : 0;
  }
  // The array is now of MachineType in machine order.
  block->DataLen = M;
  block->DataValueOffset = 0;
  block->DataType = wib_machinetype2datatype(MachineType);
  return RoutineSucceeded;
}

// ---------------------------------------------------------------------------
// Public reading operations
// ---------------------------------------------------------------------------

int wib_read_header(long stream, long DataNumber, int DataChain, const char* header_key,
                    int* pErrorValue, int* pstatus) {
  HList* list;
  if (insert_header_list(header_key, &list)) {
    set_result(pErrorValue, pstatus, CouldNotCreateHeader);
    return 0;
  }
  DFile* file = nullptr;
  DBlock* block = nullptr;
  int errval = open_read_block(stream, DataNumber, DataChain, &file, &block);
  if (errval) {
    set_result(pErrorValue, pstatus, errval);
    return read_result(errval);
  }
  if (add_to_header_list(list, file->GeneralBlock))
    errval = CouldNotReadGeneralHeader;
  else if (block != file->GeneralBlock && add_to_header_list(list, block))
    errval = CouldNotReadHeader;
  set_result(pErrorValue, pstatus, errval);
  return 1;
}

int wib_read_header_long(long stream, long DataNumber, int DataChain, const char* keyword,
                         long* Value, int* pErrorValue, int* pstatus) {
  return read_value(stream, DataNumber, DataChain, keyword, pErrorValue, pstatus,
                    [&](const std::string& text) {
                      int numerr = 0;
                      long value = num_str2long(text.c_str(), nullptr, &numerr);
                      if (numerr) return static_cast<int>(NumberConversionFailed);
                      if (Value) *Value = value;
                      return static_cast<int>(RoutineSucceeded);
                    });
}

int wib_read_header_float(long stream, long DataNumber, int DataChain, const char* keyword,
                          float* Value, int* pErrorValue, int* pstatus) {
  return read_value(stream, DataNumber, DataChain, keyword, pErrorValue, pstatus,
                    [&](const std::string& text) {
                      int numerr = 0;
                      double value = num_str2double(text.c_str(), nullptr, &numerr);
                      if (numerr) return static_cast<int>(NumberConversionFailed);
                      if (Value) *Value = static_cast<float>(value);
                      return static_cast<int>(RoutineSucceeded);
                    });
}

int wib_read_header_string(long stream, long DataNumber, int DataChain, const char* keyword,
                           const char** String, int* pErrorValue, int* pstatus) {
  return read_value(stream, DataNumber, DataChain, keyword, pErrorValue, pstatus,
                    [&](const std::string& text) {
                      if (String) *String = text.c_str();
                      return static_cast<int>(RoutineSucceeded);
                    });
}

int wib_read_header_line(long stream, long DataNumber, int DataChain, const char* keyword,
                         char* Value, int* pErrorValue, int* pstatus) {
  return read_value(stream, DataNumber, DataChain, keyword, pErrorValue, pstatus,
                    [&](const std::string& text) {
                      if (Value) {
                        size_t n = std::min<size_t>(text.size(), WibMaxLinLen);
                        memcpy(Value, text.data(), n);
                        Value[n] = '\0';
                      }
                      return static_cast<int>(RoutineSucceeded);
                    });
}

int wib_read_data_dimension(long stream, long DataNumber, int DataChain, long** pDim,
                            size_t* pDataArraySize, int* pErrorValue, int* pstatus) {
  DFile* file = nullptr;
  DBlock* block = nullptr;
  int errval = open_read_block(stream, DataNumber, DataChain, &file, &block);
  if (errval) {
    set_result(pErrorValue, pstatus, errval);
    return read_result(errval);
  }
  std::vector<long> dim;
  size_t bytes = 0;
  try {
    if (valid_data_dim(block, dim, "ERROR: wib_read_data_dimension:")) {
      errval = CouldNotReadDimension;
    } else {
      DataDescription d;
      read_data_description(block, &d);
      if (array_bytes(dim.data(), wib_data_sizeof(d.DataType), &bytes) ||
          keep_block_dim(block, dim))
        errval = CouldNotReadDimension;
    }
  } catch (const std::bad_alloc&) {
    errval = CouldNotReadDimension;
  }
  if (!errval && pDim) {
    if (!*pDim)
      *pDim = block->DataDim;
    else if (copydim(*pDim, block->DataDim))
      errval = NotNdData;
  }
  if (!errval && pDataArraySize) *pDataArraySize = bytes;
  set_result(pErrorValue, pstatus, errval);
  return 1;
}

void wib_read_data(long stream, long DataNumber, int DataChain, long** pDim,
                   size_t* pDataArraySize, void** ppData, long MachineType, int* pErrorValue,
                   int* pstatus) {
  DFile* file = nullptr;
  DBlock* block = nullptr;
  int errval = open_read_block(stream, DataNumber, DataChain, &file, &block);
  if (errval) {
    set_result(pErrorValue, pstatus, errval);
    return;
  }
  void* buffer = ppData ? *ppData : nullptr;
  // The array handed out by an earlier read counts as none: it may move.
  if (buffer && buffer == block->Data) buffer = nullptr;
  size_t buflen = buffer && pDataArraySize ? *pDataArraySize : 0;
  if (block->Flags.DataExternal) {
    errval = get_binary_array(block, buffer, buflen, 0);
    if (errval && errval != DataBufferTooSmall) errval = CouldNotGetBinaryArray;
  }
  if (!errval && pDim && *pDim && copydim(*pDim, block->DataDim)) errval = NotNdData;
  if (!errval) {
    if (block->Flags.InternalData && buffer) {
      // Data that live only in memory stay with the block: convert them
      // there and copy them out.
      errval = renorm_data_array(block, nullptr, 0, MachineType);
      if (!errval && buflen < block->DataLen) {
        fprintf(stderr, "%s allocated buffer < %zu | %lu bytes\n", RenormPrefix, block->DataLen,
                static_cast<unsigned long>(block->DataLen));
        errval = DataBufferTooSmall;
      }
      if (!errval) memcpy(buffer, block->Data, block->DataLen);
    } else {
      errval = renorm_data_array(block, buffer, buflen, MachineType);
    }
  }
  if (errval) {
    // Never keep a pointer to the caller's buffer.
    if (block->Flags.ExternalDataAlloc) drop_block_data(block);
    set_result(pErrorValue, pstatus, errval);
    return;
  }
  if (buffer) {
    if (ppData) *ppData = buffer;
    if (pDataArraySize) *pDataArraySize = buflen;
    if (block->Flags.ExternalDataAlloc) drop_block_data(block);
  } else {
    if (ppData) *ppData = block->Data;
    if (pDataArraySize) *pDataArraySize = block->DataBufferLen;
  }
  if (pDim && !*pDim) *pDim = block->DataDim;
  set_result(pErrorValue, pstatus, RoutineSucceeded);
}

void wib_read_data_raw(long stream, long DataNumber, int DataChain, long** pDim,
                       size_t* pDataArraySize, void* pData, long* pDataType,
                       long* pDataValueOffset, long* pByteOrder, long* pRasterConfiguration,
                       int* pErrorValue, int* pstatus) {
  DFile* file = nullptr;
  DBlock* block = nullptr;
  int errval = open_read_block(stream, DataNumber, DataChain, &file, &block);
  if (errval) {
    set_result(pErrorValue, pstatus, errval);
    return;
  }
  size_t buflen = pDataArraySize ? *pDataArraySize : 0;
  if (!pData) {
    errval = CouldNotGetBinaryArray;
  } else if (block->Flags.InternalData) {
    if (block->Flags.DataExternal || !block->Data)
      errval = CouldNotGetBinaryArray;
    else if (buflen < block->DataLen)
      errval = DataBufferTooSmall;
    else
      memcpy(pData, block->Data, block->DataLen);
  } else {
    // The stored form is read again from disk, straight into the buffer.
    drop_block_data(block);
    errval = get_binary_array(block, pData, buflen, 1);
    if (errval && errval != DataBufferTooSmall) errval = CouldNotGetBinaryArray;
  }
  if (!errval && pDim) {
    if (!*pDim)
      *pDim = block->DataDim;
    else if (copydim(*pDim, block->DataDim))
      errval = NotNdData;
  }
  if (!errval) {
    if (pDataArraySize) *pDataArraySize = block->DataLen;
    if (pDataType) *pDataType = block->DataType;
    if (pDataValueOffset) *pDataValueOffset = block->DataValueOffset;
    if (pByteOrder) *pByteOrder = block->DataByteOrder;
    if (pRasterConfiguration) *pRasterConfiguration = block->DataRasterConfiguration;
  }
  if (block->Flags.ExternalDataAlloc) drop_block_data(block);
  set_result(pErrorValue, pstatus, errval);
}
