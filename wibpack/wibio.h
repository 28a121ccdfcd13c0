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

// Releases every entry of the file table (closing open streams without
// writing pending blocks): 0, or -1 when a stream could not be closed.
int wib_free_data_file(void);

#endif
