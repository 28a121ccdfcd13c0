// wibio: the Wib data file library.
//
// A Wib file is a sequence of blocks, each a text header of key/value pairs
// in braces (padded to the block boundary) followed by binary data.  Programs
// address files by stream number (index into a table of WibMaxFiles open
// files), blocks by block number and memory number (chain).  This header is
// the library's one public interface: data type, byte order and compression
// numbers with their names, array conversion, output settings, header lists,
// limits, versions and the error values every operation reports.
//
// Every operation that works on files reports through an error value
// (WibErrorValue) and a status (status_success or status_error).
#ifndef WIBPACK_WIBIO_H
#define WIBPACK_WIBIO_H

#include <cstddef>

// ---------------------------------------------------------------------------
// Format constants
// ---------------------------------------------------------------------------

#define DATA_FORMAT_NAME "WIB"
#define DATA_FORMAT_VERSION "2.40"
#define BLOCK_BOUNDARY 512
#define PAD_WIDTH 78
#define MAX_LINE_WIDTH 0
#define MINIMUM_HEADERSIZE_OUT 8192
#define DIMENSION_KEY_PREFIX "Dim_"

// Limits (also returned by the wib_max... functions).
enum WibLimits {
  WibMaxFiles = 20,        // streams in the file table
  WibMaxKeyLen = 64,       // keys, chain keys and block keys
  WibMaxValLen = 2048,     // raw values read from a file
  WibMaxLinLen = 1023,     // characters returned as one header line
  WibMaxDataChains = 20,   // reported only
  WibBufferSize = 512,     // stream buffer per file
  WibMaxDimensions = 512,  // reported only
  WibNDigitsFloat = 7      // significant digits of float header values
};

// ---------------------------------------------------------------------------
// Data types (numbers of the header key "DataType")
// ---------------------------------------------------------------------------

enum WibDataType {
  InValidDType = 0,
  UnsignedByte = 1,
  SignedByte = 2,
  UnsignedShort = 3,
  SignedShort = 4,
  UnsignedInteger = 5,
  SignedInteger = 6,
  Unsigned64 = 7,
  Signed64 = 8,
  FloatValue = 9,
  DoubleValue = 10,
  UnAssigned11 = 11,
  UnAssigned12 = 12,
  FloatVAX32 = 13,
  DoubleVAX64 = 14,
  FloatConvex32 = 15,
  DoubleConvex64 = 16,
  EndDType = 17  // one after the last data type
};

// Machine types: the native number types of this machine.
enum WibMachineType {
  MInvalid = 0,
  MUnsignedChar = 1,
  MChar = 2,  // signed char
  MUnsignedShort = 3,
  MShort = 4,
  MUnsignedInteger = 5,
  MInteger = 6,
  MUnsignedLong = 7,
  MLong = 8,
  MFloat = 9,
  MDouble = 10,
  EndMType = 11
};

// Byte orders (header key "ByteOrder").
enum WibByteOrder {
  InValidBOrder = 0,
  LowByteFirst = 1,
  HighByteFirst = 2,
  FixedByteOrder = 3
};
#define LOW_BYTE_FIRST LowByteFirst
#define HIGH_BYTE_FIRST HighByteFirst
#define FIXED_BYTE_ORDER FixedByteOrder

// Compressions (header key "Compression").
enum WibCompression {
  InValidCompression = 0,
  UnCompressed = 1,
  GzipCompression = 2,
  ZCompression = 3,
  EndDCompression = 4
};

// ---------------------------------------------------------------------------
// Error values and status
// ---------------------------------------------------------------------------

enum WibStatus { status_success = 0, status_error = 100 };

enum WibErrorValue {
  RoutineFailed = -1,
  RoutineSucceeded = 0,
  CouldNotMallocMemory = 1,
  CouldNotFreeHeaders = 2,
  CouldNotGetBinaryArray = 3,
  NoMoreStreamsAvailable = 4,
  InvalidStream = 5,
  CouldNotOpenFile = 6,
  EndOfFileDetected = 7,
  CompressionError = 8,
  CouldNotFindHeader = 9,
  CouldNotFindSymbol = 10,
  BadDataBlock = 12,
  CouldNotFindKeyword = 13,
  WriteDataError = 14,
  ReadDataError = 15,
  NoFileOpen = 16,
  NotVeskDataFile = 17,
  NoDataBlocksFound = 18,
  ExternalData = 19,
  FileIsNotWritable = 20,
  FileIsNotOpened = 21,
  IncompatibleOpeningModes = 22,
  CouldNotCloseFile = 23,
  CouldNotCloseBlock = 24,
  CouldNotInsertChain = 25,
  CouldNotInsertBlock = 26,
  CouldNotInsertSymbol = 27,
  MissingKeyDefinition = 28,
  GeneralBlockNotFirst = 29,
  ErrorCreatingGeneralBlock = 30,
  ErrorReadingGeneralBlock = 31,
  ErrorLocatingBlocks = 32,
  CouldNotSetBuffer = 33,
  NumberConversionFailed = 34,
  DataConversionFailed = 35,
  DataBufferTooSmall = 36,
  MissingArrayDimensions = 37,
  NotNdData = 38,
  Not2dData = 39,
  CouldNotWriteDimension = 40,
  CouldNotReadDimension = 41,
  CouldNotWriteBinary = 42,
  CannotReOpenGeneralBlock = 43,
  CannotOpenAsBslFile = 44,
  CouldNotInsertElement = 45,
  CouldNotDeleteString = 46,
  CouldNotFindHeaderKey = 47,
  CouldNotCreateHeader = 48,
  CouldNotReadGeneralHeader = 49,
  CouldNotReadHeader = 50
};

// ---------------------------------------------------------------------------
// Versions, debug, limits
// ---------------------------------------------------------------------------

// "wibio : V2.41 Orrin 2012-07-03 (E2.223)"
const char* wibio_version(void);
// "2.40", the format version written.
const char* wib_dataformat_version(void);
// Switches the debug output of the library (and of the raster routines and
// the expression evaluator it uses).
void wibio_debug(int debug);

int wib_maxfiles(void);
int wib_maxkeylen(void);
int wib_maxvallen(void);
int wib_maxlinlen(void);
int wib_maxdatachains(void);
int wib_buffersize(void);
int wib_maxdimensions(void);

// ---------------------------------------------------------------------------
// Data types, machine types, byte orders, compressions
// ---------------------------------------------------------------------------
//
// Names are recognised like header keys: case and white space do not matter.

// Data type of a name ("FloatValue", alias "FloatIEEE32" or "Float"); 0 if none.
long wib_string2datatype(const char* string);
// Compression of a name, or of a leading decimal number 1..3; 0 if none.
long wib_string2compression(const char* string);
// Byte order of a name; 0 if none.
long wib_string2byteorder(const char* string);
// Names of numbers; "Invalid" for numbers out of range.
const char* wib_datatype2string(long datatype);
const char* wib_compression2string(long compression);
const char* wib_byteorder2string(long byteorder);
// Byte order of this machine: LowByteFirst or HighByteFirst.
long wib_byteorder(void);
// Byte sizes (0 for unknown numbers).
size_t wib_data_sizeof(long datatype);
size_t wib_machine_sizeof(long mtype);
// Mappings between data types and machine types (0 when there is none).
long wib_datatype2machinetype(long datatype);
long wib_machinetype2datatype(long mtype);
// Product of the sizes of a dimension array (element 0 = number of
// dimensions n, elements 1..n = sizes): 0 for no array, 1 for n <= 0, 0 when
// a size is 0 or less; a product that does not fit into a long gives
// LONG_MAX.
long wib_dim_product(const long* dim);
// Prints the conversion table of data types to machine types (full: all
// types and a head line) on standard output; the same from machine types.
void wib_showdatatypes(int full);
void wib_showmachinetypes(int full);

// ---------------------------------------------------------------------------
// Conversion and byte order
// ---------------------------------------------------------------------------

// Converts n elements of machine type mtype_src at src to machine type
// mtype_dest at dest, adding value_offset to every value: float and double
// destinations add without clipping; integer destinations round floating
// point values (floor(v + 0.5 + offset)) and clip them to their range;
// integer to unsigned short clips, integer to short, int and long wraps.
// dest may equal src (conversion in place; dest must then have room for n
// destination elements).  Supported destinations: MUnsignedShort, MShort,
// MInteger, MLong, MFloat, MDouble.  Returns 0, or -1 for an unsupported
// pair.  A null pointer ends the program (programming error).
int wib_machine2machine(void* dest, long mtype_dest, const void* src, long value_offset,
                        long mtype_src, size_t n);
// Reverses the bytes of each of n items of item bytes from src into dest;
// dest may equal src.  A null pointer ends the program.
void wib_bswap(void* dest, const void* src, size_t item, size_t n);

// Raster orientation of data arrays (see wibpack/raster.h).
int wib_raster_normalization(void* dest, const void* src, const long* data_dim,
                             long raster_configuration, size_t item);
long wib_raster_inversion(long x);
long wib_raster_multiplication(long a, long x);
long wib_raster_order2number(const long* order);

// ---------------------------------------------------------------------------
// Output settings (take effect for the next file opened or array written)
// ---------------------------------------------------------------------------

// Data type written (0: the type of the program's machine type).
int wib_set_datatype(long datatype_out);
// Compression written (0: UnCompressed).
int wib_set_datacompression(long datacompression_out);
// Value offset written: stored value = value - offset.
int wib_set_datavalueoffset(long datavalueoffset_out);
// Byte order assumed for BSL input data (0: the machine's).
int wib_set_bsl_input_byteorder(long byteorder);
// Maximum line width of written header values (0: no soft line breaks).
int wib_set_max_line_width(long width);
// Minimum length of a written header in bytes (default 8192).
int wib_set_minimumheadersize(unsigned long minimumheadersize_out);
// 1: files opened from now on write a general block; 0 (default): they do not.
int wib_general_block(int writetodisk);
// 1 (default): headers carry "WIB_HeaderSize".
int wib_headersize(int writetodisk);

// ---------------------------------------------------------------------------
// Header lists: named, program-side collections of header values
// ---------------------------------------------------------------------------

// Creates the named list, or empties it if it exists: 1, or 0 on failure.
int wib_new_header(const char* header_key);
// Removes the named list, or all lists when header_key is null: 1.
int wib_free_header(const char* header_key);

// ---------------------------------------------------------------------------
// Files
// ---------------------------------------------------------------------------
//
// Every operation below reports through *pErrorValue (a WibErrorValue,
// RoutineSucceeded on success) and *pstatus (status_success or
// status_error); either pointer may be null.  Blocks are named by stream,
// block number DataNumber and memory number DataChain (1: images, -1: their
// variances, 0: the general block).  One block per file is active at a
// time: reading or writing another block of the same file writes the
// active one (if it changed) and releases it.

// Opens a file in mode "read" (existing, read only; a name ending in .gz or
// .Z is decompressed into a scratch copy), "old" (existing, read and
// update), "new" (created or emptied; a compressed name is compressed when
// closed), "any" ("old" if the file exists, else "new") or "temp" (in memory
// only).  A file that does not start like a Wib file is read as a BSL file
// ("read" and "old").  Returns the stream number 0..WibMaxFiles-1, or -1 (a
// failed open keeps no table entry).
long wib_open_data_file(const char* fname, const char* mode, int* pErrorValue, int* pstatus);
// The stream under which a file of exactly this name is open, or -1 (status
// success).  IncompatibleOpeningModes (with the stream) when the open file
// does not allow mode.
long wib_search_stream(const char* fname, const char* mode, int* pErrorValue, int* pstatus);
// 1 if block DataNumber of memory DataChain exists (memory 0: the general
// block), else 0.
int wib_test_header(long stream, long DataNumber, int DataChain, int* pErrorValue, int* pstatus);
// 1 with the smallest and largest block number of memory DataChain, else 0
// (CouldNotFindHeader: no such memory; NoDataBlocksFound: no block in it).
int wib_search_minmax_number(long stream, int DataChain, long* pMinNumber, long* pMaxNumber,
                             int* pErrorValue, int* pstatus);
// Writes what is pending, compresses a "new" file with a compressed name and
// closes the stream.  A stream outside the table closes without effect.
void wib_close_data_file(long stream, int* pErrorValue, int* pstatus);
// "\n<text>\n" of an error value ("\nUnknownErrorValue : <n>\n" for other
// values).  The text stays valid for the whole run.
const char* wib_report_data_error(int ErrorValue);

// ---------------------------------------------------------------------------
// Reading
// ---------------------------------------------------------------------------
//
// Results: 0 when the block (CouldNotFindHeader) or the key
// (CouldNotFindSymbol) does not exist, else 1; a result of 1 may come with
// status error too.  Keys a block lacks are taken from the general block,
// except keys beginning with "WIB_".

// Adds every key of the general block and of the block (not the "WIB_"
// keys) with its decoded value to the header list header_key (created if
// needed; keys of the block replace those of the general block).
int wib_read_header(long stream, long DataNumber, int DataChain, const char* header_key,
                    int* pErrorValue, int* pstatus);
// A header value evaluated as integer or floating-point expression.
int wib_read_header_long(long stream, long DataNumber, int DataChain, const char* keyword,
                         long* Value, int* pErrorValue, int* pstatus);
int wib_read_header_float(long stream, long DataNumber, int DataChain, const char* keyword,
                          float* Value, int* pErrorValue, int* pstatus);
// *String points to the decoded value inside the library, valid until the
// block is released or the key written again.
int wib_read_header_string(long stream, long DataNumber, int DataChain, const char* keyword,
                           const char** String, int* pErrorValue, int* pstatus);
// The decoded value copied into Value (at least WibMaxLinLen + 1 bytes): at
// most WibMaxLinLen characters and a NUL.
int wib_read_header_line(long stream, long DataNumber, int DataChain, const char* keyword,
                         char* Value, int* pErrorValue, int* pstatus);
// Dimension array of the block's data (element 0 = number of dimensions n,
// elements 1..n = sizes) and the byte size of the stored array.  A caller's
// array in *pDim states its capacity in element 0 and receives the sizes
// (NotNdData when a further size is not 1); with *pDim null the library's
// array is handed out (valid until the block is released).
int wib_read_data_dimension(long stream, long DataNumber, int DataChain, long** pDim,
                            size_t* pDataArraySize, int* pErrorValue, int* pstatus);
// The block's data converted to MachineType (value offset added, machine
// byte order, raster configuration 1).  A caller's buffer in *ppData of
// *pDataArraySize bytes receives them when large enough (else
// DataBufferTooSmall); with *ppData null the library's array is handed out
// (valid until the block is released).  *pDataArraySize receives the
// capacity of the returned array; *pDim as for wib_read_data_dimension.
void wib_read_data(long stream, long DataNumber, int DataChain, long** pDim,
                   size_t* pDataArraySize, void** ppData, long MachineType, int* pErrorValue,
                   int* pstatus);
// The stored array without conversion into the caller's buffer pData of
// *pDataArraySize bytes, with its data type, value offset, byte order and
// raster configuration (any of these pointers may be null).
void wib_read_data_raw(long stream, long DataNumber, int DataChain, long** pDim,
                       size_t* pDataArraySize, void* pData, long* pDataType,
                       long* pDataValueOffset, long* pByteOrder, long* pRasterConfiguration,
                       int* pErrorValue, int* pstatus);

// ---------------------------------------------------------------------------
// Writing
// ---------------------------------------------------------------------------
//
// Header values are kept with the block until its data are written (or the
// block is left); a value written for an existing key replaces it; values
// of any length are stored.  Writing the data puts the whole block on disk.
// Results: 1 on success, 0 on failure.

int wib_write_header_string(long stream, long DataNumber, int DataChain, const char* keyword,
                            const char* Value, int* pErrorValue, int* pstatus);
int wib_write_header_line(long stream, long DataNumber, int DataChain, const char* keyword,
                          const char* Value, int* pErrorValue, int* pstatus);
// Value as "%ld".
int wib_write_header_long(long stream, long DataNumber, int DataChain, const char* keyword,
                          long Value, int* pErrorValue, int* pstatus);
// Value with WibNDigitsFloat significant digits (in unit for the _unit
// form, e.g. "1.5_mm").
int wib_write_header_float(long stream, long DataNumber, int DataChain, const char* keyword,
                           float Value, int* pErrorValue, int* pstatus);
int wib_write_header_unit(long stream, long DataNumber, int DataChain, const char* keyword,
                          float Value, const char* unit, int* pErrorValue, int* pstatus);
// Every element of the header list header_key.
int wib_write_header(long stream, long DataNumber, int DataChain, const char* header_key,
                     int* pErrorValue, int* pstatus);
// Removes a key and its continuation keys ("WIB_" keys cannot be removed);
// a block that does not exist is a success without effect.
int wib_delete_key(long stream, long DataNumber, int DataChain, const char* keyword,
                   int* pErrorValue, int* pstatus);
// Writes the array pData of machine type MachineType with the dimensions
// Dim (element 0 = n, elements 1..n = sizes, each at least 1), converted to
// the output data type and value offset set by wib_set_datatype and
// wib_set_datavalueoffset, compressed as set by wib_set_datacompression.
void wib_write_data(long stream, long DataNumber, int DataChain, const long* Dim,
                    const void* pData, long MachineType, int* pErrorValue, int* pstatus);
// Writes an array that is already in its stored form.
void wib_write_data_raw(long stream, long DataNumber, int DataChain, const long* Dim,
                        const void* pData, long DataType, long DataValueOffset, long ByteOrder,
                        long RasterConfiguration, int* pErrorValue, int* pstatus);

// ---------------------------------------------------------------------------
// History lines
// ---------------------------------------------------------------------------
//
// A history block, named by a history key, holds the command line being
// built from the arguments of this run and the lines "History-1",
// "History-2", ... read from an input header; both are written into an
// output header, the command line under the next free "History-" number.

#define HISTORY_KEY_PREFIX "History-"
// Longest command line kept (characters).
#define MaxHistoryLineSize (2048 + 1)

// Creates the history block, or empties an existing one: 1, or 0.
int wib_history_new(const char* history_key);
// Appends an argument to the command line (in double quotes when it is
// empty or holds white space or one of "()[]{}*", unless it begins with a
// double quote): 1, or 0 when the block does not exist.
int wib_history_argv(const char* history_key, const char* argument);
// The next argument counts (take) or does not count (skip) for the length
// of the written command line, which ends with the last counted argument.
int wib_history_take(const char* history_key);
int wib_history_skip(const char* history_key);
// Reads the history lines of a block: 1, or 0.
int wib_read_header_history(long stream, long DataNumber, int DataChain,
                            const char* history_key, int* pErrorValue, int* pstatus);
// Writes the history lines read and the command line into a block: 1, or
// 0.
int wib_write_header_history(long stream, long DataNumber, int DataChain,
                             const char* history_key, int* pErrorValue, int* pstatus);

// Releases every entry of the file table (closing open streams without
// writing pending blocks): 0, or -1 when a stream could not be closed.
int wib_free_data_file(void);

#endif
