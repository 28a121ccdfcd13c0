// wibio internals: the in-memory model of Wib files and the helpers that the
// wibio .cpp files share.
//
//   wibio_model.cpp   file table, records, key comparison, list operations,
//                     ordered walk, header lists, freeing
//   wibio_format.cpp  header syntax (reading symbols), value encoding and
//                     decoding, continuation parts, header layout and text,
//                     end-of-header search, block IDs and chain keys
//   wibio_values.cpp  typed header values of a block (integer expressions,
//                     unsigned decimals, dimensions, data description)
//   wibio_types.cpp   data types, conversion, byte swapping, output settings,
//                     versions, debug
//   wibio_open.cpp    opening files, reading the general block, locating
//                     blocks, file reports, stream and block queries
//   wibio_bsl.cpp     BSL files presented as read-only Wib files
//   wibio_read.cpp    opening blocks for reading, header values, dimensions,
//                     loading and converting data arrays
//   wibio_write.cpp   opening blocks for writing, header values, data
//                     arrays, putting blocks on disk, the block counter
//   wibio_close.cpp   closing files, error value texts
//   wibio_history.cpp history lines of command lines and headers
//
// Model: FileTable[stream] -> chains (one per memory, sorted by chain key)
// -> blocks (sorted numerically by block key) -> symbols (sorted by key).
// Every list is doubly linked, kept sorted and searched linearly; list nodes
// are created and destroyed only by the operations below.  Operations return
// 0 on success and -1 on failure (memory exhaustion leaves the lists
// consistent).
#ifndef WIBPACK_WIBIO_INTERNAL_H
#define WIBPACK_WIBIO_INTERNAL_H

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "wibpack/wibio.h"

// ---------------------------------------------------------------------------
// Format characters and keys
// ---------------------------------------------------------------------------

constexpr char StartHeader = '{';
constexpr char EndHeader = '}';
constexpr char Separator = '=';
constexpr char Terminator = ';';
constexpr char Comment = '#';
constexpr char Continuation = '~';

constexpr const char* header_begin = "{\r\n";
constexpr const char* header_end = "\r\n}\n";
constexpr const char* symbol_separator = " = ";
constexpr const char* symbol_terminator = " ;\r\n";
constexpr const char* white_spaces = " \t\r\n\f\v";

// Soft line break of a stored value: backslash, CR, LF.
constexpr const char* soft_line_break = "\\\r\n";

#define GENERAL_CHAIN_KEY "General"
#define GENERAL_BLOCK_KEY "All"
#define HEADERSIZE_PLACEHOLDER "Undetermined"

#define KFormatPrefix "WIB_"
#define KDataFormatVersion "WIB_DataFormatVersion"
#define KDataBlocks "WIB_DataBlocks"
#define KBlockBoundary "WIB_BlockBoundary"
#define KHeaderSize "WIB_HeaderSize"
#define KDataBlockID "WIB_DataBlockID"
#define KBinarySize "WIB_BinarySize"
#define KBinaryFileName "WIB_BinaryFileName"
#define KBinaryFilePosition "WIB_BinaryFilePosition"
#define KBinaryFileSize "WIB_BinaryFileSize"
#define KDataKeyPrefix "WIB_DataKey-"
#define KDataType "DataType"
#define KByteOrder "ByteOrder"
#define KCompression "Compression"
#define KDataValueOffset "DataValueOffset"
#define KDataRasterConfiguration "DataRasterConfiguration"

// Keys read by readers of format version 1.x.
#define V1_HEADER_ID_KEY "HeaderID"
#define V1_SIZE_KEY "Size"
#define V1_IMAGE_KEY "Image"
#define V1_SUPPRESS ".Psd"

// Block classes and instances that form chain keys of memory numbers.
enum DBClass { InValidDBClass = 0, GeneralClass = 1, ImageClass = 2 };
enum DBInstance { InValidDBInstance = 0, PsdInstance = 1, ErrorInstance = 2 };
extern const char* const DBClassStrings[3];     // "Invalid" "General" "Image"
extern const char* const DBInstanceStrings[3];  // "Invalid" "Psd" "Error"

// ---------------------------------------------------------------------------
// Records
// ---------------------------------------------------------------------------

struct Data_File;
struct Data_Chain;
struct Data_Block;
struct Symbol_Element;

// Format version "2.40": Major 2, Minor 40.
typedef struct Data_Format_Version {
  uint16_t Major = 2;
  uint16_t Minor = 40;
} DFVersion;

typedef struct Data_File_Flags {
  uint16_t ExistingFile = 0;           // file existed and was read
  uint16_t ReadOnlyFile = 0;           // opened "read"
  uint16_t TemporaryFile = 0;          // opened "temp": nothing goes to disk
  uint16_t CompressBeforeClosing = 0;  // built in a scratch file, compressed at closing
  uint16_t NoGeneralHeader = 0;        // the general block is never written
} DFFlags;

typedef struct Data_Block_Flags {
  uint16_t InternalHeader = 0;     // header lives only in memory
  uint16_t InternalData = 0;       // data live only in memory
  uint16_t DiskBlockUsed = 0;      // the block has a place on disk
  uint16_t DiskBlockFixed = 0;     // place and sizes on disk are fixed
  uint16_t HeaderExternal = 0;     // header on disk, not loaded
  uint16_t HeaderChanged = 0;      // header in memory differs from disk
  uint16_t DataExternal = 1;       // data on disk (or nowhere), not loaded
  uint16_t DataChanged = 0;        // Data must be written
  uint16_t ExternalDimAlloc = 0;   // DataDim belongs to the caller
  uint16_t ExternalDataAlloc = 0;  // Data belongs to the caller
  uint16_t BadBlock = 0;           // writing failed; never written again
} DBFlags;

typedef struct Symbol_Element_Flags {
  uint16_t Read = 0;  // taken by the ordered walk
} SEFlags;

// One header symbol.  Key and Value are as stored on disk (Value is the raw,
// escaped, possibly quoted and broken text); String is the decoded value with
// its continuation parts joined, rebuilt by update_string.
typedef struct Symbol_Element {
  std::string Key;
  std::string Value;
  unsigned long KeyPos = 0;  // file position of the key; 0 when not on disk
  unsigned long ValPos = 0;  // file position of the value; 0 when not on disk
  uint16_t KeyLen = 0;       // = Key.size()
  uint16_t ValLen = 0;       // = Value.size()
  std::string String;        // decoded value (see update_string)
  SEFlags Flags;
  Symbol_Element* Previous = nullptr;
  Symbol_Element* Next = nullptr;
  Data_Block* Block = nullptr;
} SElement;

// One block: header symbols and, while in use, its data.  Data and DataDim
// are malloc'd by the library unless the caller owns them
// (ExternalDataAlloc, ExternalDimAlloc); release them with free_block_data
// and free_block_dim.
typedef struct Data_Block {
  std::string BlockKey;       // at most WibMaxKeyLen characters
  uint16_t BlockKeyLen = 0;   // length of the key as given
  unsigned long TextPos = 0;  // file position of the block's '{'
  unsigned long BinaryPos = 0;
  unsigned long TextLen = 0;  // header length on disk
  unsigned long BinaryLen = 0;
  unsigned long PadLen = 0;      // padding bytes of the header to be written
  std::string BinaryFileName;    // external binary file (full path); empty: none
  unsigned long BinaryFilePos = 0;
  unsigned long BinaryFileLen = 0;  // 0: up to the end of the file
  void* Data = nullptr;
  size_t DataBufferLen = 0;
  size_t DataLen = 0;
  long DataByteOrder = 0;
  long DataRasterConfiguration = 0;
  long DataCompression = 0;
  long DataType = 0;
  long DataValueOffset = 0;
  long* DataDim = nullptr;  // element 0 = n, elements 1..n = sizes
  std::vector<unsigned char> Raw;  // compressed copy while writing
  size_t RawLen = 0;
  DBFlags Flags;
  unsigned long SequenceNumber = 0;
  SElement* SymbolList = nullptr;
  short KeyOrderNo = 0;                      // ordered walk: current pattern
  SElement* KeyOrderNextSymbol = nullptr;  // ordered walk: first symbol not taken
  Data_Block* Previous = nullptr;
  Data_Block* Next = nullptr;
  Data_Chain* Chain = nullptr;
} DBlock;

typedef struct Data_Chain {
  std::string ChainKey;      // at most WibMaxKeyLen characters
  uint16_t ChainKeyLen = 0;  // length of the key as given
  uint16_t Flags = 0;
  DBlock* BlockList = nullptr;
  DBlock* BlockTail = nullptr;  // last block of BlockList (blocks are only ever appended
                                // or inserted, and freed all together)
  Data_Chain* Previous = nullptr;
  Data_Chain* Next = nullptr;
  Data_File* File = nullptr;
} DChain;

// One entry of the file table.
typedef struct Data_File {
  int Used = 0;
  std::string Name;
  FILE* Channel = nullptr;
  std::unique_ptr<char[]> Buffer;  // WibBufferSize bytes, the stream's buffer
  DFVersion Version;
  unsigned long BlockBoundary = BLOCK_BOUNDARY;
  DFFlags Flags;
  DBlock* GeneralBlock = nullptr;
  DBlock* ActiveBlock = nullptr;
  unsigned long NextSequenceNumber = 1;
  DBlock* LastBlockInFile = nullptr;
  DChain* ChainList = nullptr;
} DFile;

// Header lists (program side, independent of files).
typedef struct Header_Element_Flags {
  uint16_t Read = 0;
} HEFlags;

typedef struct Header_Element {
  std::string Key;
  std::string Value;  // decoded text
  HEFlags Flags;
  Header_Element* Previous = nullptr;
  Header_Element* Next = nullptr;
} HElement;

typedef struct Header_List {
  std::string Key;  // the list's name
  HElement* ElementRoot = nullptr;
  short KeyOrderNo = 0;
  Header_List* Previous = nullptr;
  Header_List* Next = nullptr;
} HList;

// ---------------------------------------------------------------------------
// Module state
// ---------------------------------------------------------------------------

// The file table (wibio_model.cpp).  Initialise it with init_file_table
// before the first use.
extern DFile FileTable[WibMaxFiles];

// Output settings (wibio_types.cpp), changed by the wib_set_... functions.
struct WibOutputSettings {
  long data_type_out = 0;
  long data_compression_out = 0;
  long data_value_offset_out = 0;
  long bsl_input_byteorder = 0;
  long max_line_width = MAX_LINE_WIDTH;
  unsigned long minimum_headersize_out = MINIMUM_HEADERSIZE_OUT;
  int write_general_block = 0;
  int write_headersize = 1;
};
extern WibOutputSettings wib_settings;

// Debug switch of the library (wibio_debug).
extern int WIBIO_debug;

// ---------------------------------------------------------------------------
// Key comparison (wibio_model.cpp)
// ---------------------------------------------------------------------------

// Orders every list of the module (negative, 0, positive):
//   sortmode 0: case kept; 1: case ignored; 2: numeric keys (block keys).
// Keys beginning with "WIB_" (any case) sort first; white space and control
// characters are ignored; at most WibMaxKeyLen characters count; a
// continuation key K~n sorts directly after K.  Another sortmode ends the
// program.
int compare_keys(const char* key1, const char* key2, int sortmode);
// Continuation depth of a key: 0 without '~', n for "K~n" with n a positive
// decimal number, -1 otherwise.
long continuation_depth(const char* key);
// 1 if key begins with "WIB_" in any case.
int is_format_key(const char* key);
// 1 if key begins with exactly "WIB_".
int is_format_key_exact(const char* key);
// Reduced key as for identity: at most WibMaxKeyLen characters, graphic
// characters only, upper case.  With stop_at_continuation the reduction
// ends at the '~' of a key of depth 1 or more.
std::string reduce_key(const char* key, int stop_at_continuation);

// ---------------------------------------------------------------------------
// File table and lists (wibio_model.cpp)
// ---------------------------------------------------------------------------

// Initialises the table once (every entry as after closing).
void init_file_table();
// Resets an entry as at initialisation (unused, version 2.40, boundary 512,
// NoGeneralHeader from the general block switch, next sequence number 1).
// Releases the stream buffer; chains and the stream must be freed first.
void reset_data_file(DFile* file);

int search_data_chain(DFile* file, const char* ChainKey, DChain** pchain);
int insert_data_chain(DFile* file, const char* ChainKey, DChain** pchain);
int search_data_block(DChain* chain, const char* BlockKey, DBlock** pblock);
int insert_data_block(DChain* chain, const char* BlockKey, DBlock** pblock);

int search_symbol(DBlock* block, const char* Key, SElement** psymbol);
// Sorted insert, or replacement of the value of an existing symbol (the key
// text stays as first stored).
int insert_symbol(DBlock* block, const char* Key, const char* Value, SElement** psymbol);
// Removes an existing symbol of Key and inserts a new one at the head.
int insert_symbol_root(DBlock* block, const char* Key, const char* Value, SElement** psymbol);
// Overwrites the value of an existing symbol, padded with spaces to its
// present ValLen; fails when the symbol is missing or the value longer.
int update_symbol(DBlock* block, const char* Key, const char* Value, SElement** psymbol);
// Unlink and free a symbol; *pnext (may be null) receives its successor.
int remove_symbol(DBlock* block, const char* Key, SElement** pnext);
int delete_symbol(DBlock* block, SElement* symbol, SElement** pnext);

// Stores a decoded value under BaseKey as one or more symbols (K, K~1, ...),
// encoded for writing with the module's maximum line width, deletes stale
// continuation symbols and keeps String as the base symbol's decoded text.
// Fails without change when the value needs continuation parts that its key
// cannot have (a key with '~', or K~n longer than WibMaxKeyLen).
int insert_string(DBlock* block, const char* BaseKey, const char* String, SElement** psymbol);
// Builds base->String from base's value and the continuation symbols that
// follow it; *pnext (may be null) receives the first symbol after them.
int update_string(SElement* base, SElement** pnext);
// search_symbol, then update_string.
int search_string(DBlock* block, const char* BaseKey, SElement** psymbol);
// search_string in block, then, for keys not beginning with exactly "WIB_",
// in the general block of block's file.
int search_general(DBlock* block, const char* Key, SElement** psymbol);
// Removes the symbol of Key and its continuation symbols.
int remove_string(DBlock* block, const char* Key);
// Deletes, starting at symbol, the run of continuation symbols (depth >= 1)
// of the same base key as symbol.
int delete_continuationkeys(DBlock* block, SElement* symbol);

// Ordered walk over a block's symbols in output order (format keys at the
// head, then by the key order table, then the rest).  Every change of the
// symbol list resets the walk.
void clear_key_order(DBlock* block);
SElement* next_ordered_symbol(DBlock* block);
// The key order table and whether a key matches one of its patterns.
extern const char* const keyorder_DefaultTable[];
extern const int keyorder_DefaultTableSize;  // 38
int keyorder_match(const char* pattern, const char* key);

// Freeing.  free_block_data / free_block_dim release Data / DataDim unless
// the caller owns them and clear the fields.
void free_block_data(DBlock* block);
void free_block_dim(DBlock* block);
int free_symbol_list(DBlock* block);
int free_data_block_list(DChain* chain);
int free_data_chain_list(DFile* file);
// Chains, then the stream is closed, buffer and name freed, entry reset.
int free_data_file(DFile* file);

// Header lists.
HList* header_list_root();
int search_header_list(const char* header_key, HList** plist);
// Finds or creates a list.
int insert_header_list(const char* header_key, HList** plist);
int search_header_element(HList* list, const char* Key, HElement** pelement);
// Sorted insert, or replacement of an existing element's value.
int insert_header_element(HList* list, const char* Key, const char* Value, HElement** pelement);
int remove_header_element(HList* list, const char* Key);
int free_header_element_list(HList* list);
// Ordered walk over a header list (same order as for block symbols).
void clear_header_key_order(HList* list);
HElement* next_ordered_element(HList* list);

// ---------------------------------------------------------------------------
// Header syntax, values, layout (wibio_format.cpp)
// ---------------------------------------------------------------------------

// Looks for a block start at the stream's position: optional CR, optional
// LF, '{'.  1: found (stream after '{'); 0: end of file; -1: any other
// character.
int check_start(FILE* channel);

// Results of reading header symbols.
enum WibReadResult { WibReadOk = 0, WibReadBad = -1, WibReadNoMemory = -2 };
// Reads the symbols of a header from the stream (positioned after '{') into
// block.  With wib_keys_only the reader stops at the first key that does not
// begin with "WIB_" (any case) and leaves the stream at that key.  Damaged
// headers print their message on standard error and give WibReadBad.
int get_symbol_list(FILE* channel, DBlock* block, int wib_keys_only);

// Value encoding.  escape_value: CR, LF, ';', '\', '{', '}' as two-character
// escapes.  quote_value: quotes an empty text or one that starts or ends
// with white space or '"'.  break_lines: soft line breaks for a maximum line
// width W (0: none) after a key of keylen characters.  decode_value: the
// reader's decoding of a raw value.
std::string escape_value(const std::string& value);
std::string quote_value(const std::string& escaped);
std::string break_lines(const std::string& stored, long W, size_t keylen);
std::string decode_value(const std::string& raw);

// One stored part of a value: key and stored text.
struct ValuePart {
  std::string Key;
  std::string Value;
};
// Splits a decoded value into continuation parts K, K~1, ... and encodes
// each for writing with line width W.  Returns 0, or -1 (parts empty) when
// the value needs parts that K cannot have.
int split_value(const char* K, const std::string& S, long W, std::vector<ValuePart>& parts);

// Net header length N of the block's symbols: everything but the padding.
unsigned long net_header_length(const DBlock* block);
// Computes TextLen (max(N, minimum) rounded up to the boundary) and PadLen,
// and writes TextLen into "WIB_HeaderSize" when headersize_key is set and the
// block has that symbol.  A block whose place is fixed keeps its TextLen and
// fails when the header does not fit (the minimum does not apply to it).
// Returns 0 or -1.
int header_layout(DBlock* block, unsigned long minimum, unsigned long boundary,
                  int headersize_key);
// The header text of the block as written at block->TextPos: "{\r\n", the
// symbols in output order (recording KeyPos and ValPos), the padding of
// PadLen bytes and "\r\n}\n".  A key beginning with '#' is written after a
// space, so that it is not read back as a comment line.
int header_text(DBlock* block, std::string& text);
// Appends PadLen bytes of padding (rows of PAD_WIDTH spaces ended by CR LF).
void pad_spaces(std::string& text, unsigned long PadLen);

// Finds the end of a header that starts at TextPos: "\r\n}\n" ending at a
// multiple of the boundary B (B >= 4), else the first '}' followed by LF or
// CR LF.  *pBinaryPos receives the position after the LF.  0 or -1.
int find_header_end(FILE* channel, unsigned long TextPos, unsigned long B,
                    unsigned long* pBinaryPos);

// Chain key of a memory number: "General" for 0; for n >= 1 the raw value
// of "WIB_DataKey-n" in the file's general block if present; otherwise
// Image.Psd, Image.Psd.n, Image.Error, Image.Error.n.
int data_chain_key(const DFile* file, long DataChain, std::string& ChainKey);
// Block key of a block number: "%ld", or "All" for memory 0.
int data_block_key(long DataNumber, long DataChain, std::string& BlockKey);
// Block ID "%s.%s" (block key, chain key) in a module buffer that the next
// call overwrites.
const char* block_id(const DBlock* block);
// Splits a block ID at its first '.'; -1 when a part is missing.
int split_block_id(const char* id, std::string& BlockKey, std::string& ChainKey);
// The key under which a data block stores its block key for readers of
// version 1.x: the chain key less a final ".Psd" (any case).
std::string v1_block_key_name(const char* ChainKey);
// "HeaderID" value "EH:%6lu:%6u:%6u" with zeros for spaces.
std::string header_id(unsigned long SequenceNumber);
// Format version text <-> record.
DFVersion parse_version(const char* text);
std::string version_text(DFVersion version);
int compare_versions(DFVersion a, DFVersion b);

// ---------------------------------------------------------------------------
// Typed header values of a block, with general-block defaults
// (wibio_values.cpp)
// ---------------------------------------------------------------------------

// Leading decimal digits of text (none: 0; too large: ULONG_MAX).
unsigned long str2unsigned(const char* text);
// Integer expression value of a key: 0, or -1 when the key is missing or
// its value is no integer (*perrval, may be null, receives the
// expression error value, 0 for a missing key).
int header_value_long(DBlock* block, const char* Key, long* pValue, int* perrval);
// Unsigned decimal value of a key: 0, or -1 when missing.
int header_value_unsigned(DBlock* block, const char* Key, unsigned long* pValue);
// Dimensions from "Dim_1", "Dim_2", ...: dim[0] = n, dim[1..n] = sizes.
// -1 when there is no "Dim_1", a size is no integer or there are more than
// WibMaxDimensions sizes (message printed).
int read_data_dim(DBlock* block, std::vector<long>& dim);
// Data description keys with their defaults.
struct DataDescription {
  long DataType = FloatValue;
  long ByteOrder = HighByteFirst;
  long Compression = UnCompressed;
  long DataValueOffset = 0;
  long DataRasterConfiguration = 1;
};
void read_data_description(DBlock* block, DataDescription* description);

// ---------------------------------------------------------------------------
// Conversion (wibio_types.cpp)
// ---------------------------------------------------------------------------

// One converter per destination machine type; In may equal Out.
int Convert2UnsignedShort(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                          size_t DataCount);
int Convert2Short(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                  size_t DataCount);
int Convert2Integer(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                    size_t DataCount);
int Convert2Long(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                 size_t DataCount);
int Convert2Float(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                  size_t DataCount);
int Convert2Double(void* Out, const void* In, long ValueOffset, long MachineTypeIn,
                   size_t DataCount);

// Byte size of a data array: product of dim times size; -1 on overflow or
// for a bad dimension array.
int array_bytes(const long* dim, size_t size, size_t* pbytes);

// ---------------------------------------------------------------------------
// Files (wibio_open.cpp, wibio_bsl.cpp, wibio_read.cpp, wibio_write.cpp,
// wibio_close.cpp)
// ---------------------------------------------------------------------------

// Opening modes.
constexpr const char* Read = "read";
constexpr const char* Old = "old";
constexpr const char* New = "new";
constexpr const char* Any = "any";
constexpr const char* Temp = "temp";

// Stores an error value through pErrorValue and its status (status_error
// for every value but RoutineSucceeded) through pstatus; both may be null.
void set_result(int* pErrorValue, int* pstatus, int errval);

// The used file table entry of a stream; null with *perrval InvalidStream
// (stream outside 0..WibMaxFiles-1) or NoFileOpen (entry unused).
DFile* used_file(long stream, int* perrval);

// Takes the first unused entry of the file table, resets it, marks it used
// and copies the name: its stream number, or -1 when none is left.
long take_file_entry(const char* fname);
// Creates the general block in memory (chain "General", block "All", the
// chain key definition of memory 1) and makes it the active block; internal
// for files without general header on disk and temporary files.  0 or -1.
int create_general_block(DFile* file);

// A usable block boundary from the text of "WIB_BlockBoundary": values from
// 1 to MAX_BLOCK_BOUNDARY; 0, garbage and larger values give 1 with
// *pvalid (may be null) 0.
#define MAX_BLOCK_BOUNDARY (1UL << 24)
unsigned long block_boundary_value(const char* text, int* pvalid);
// The directory of a file name followed by '/': the name up to its last
// '/', or the current directory.
std::string directory_of(const char* fname);
// Seeks to an absolute position; -1 for positions beyond the range of a
// stream position or a failing seek.
int seek_to(FILE* channel, unsigned long position);
// Whether the symbols of a header, read up to stream position symbols_end,
// end exactly at its end marker (BinaryPos is the position after it).
bool header_ends_at(long symbols_end, unsigned long BinaryPos);
// Size of the file behind a stream (the stream position is kept); -1 when
// unknown.
long stream_size(FILE* channel);

// File error or warning report on standard error: the message, the file
// name, the position and the ID of the last block located.
void print_file_report(const DFile* file, unsigned long position, const char* message,
                       int warning);

// Presents a BSL file as a read-only Wib file (wibio_bsl.cpp): the stream
// number, or -1 with *perrval set (the entry is released again).
long open_as_bsl_file(const char* fname, const char* mode, int* perrval);

// The chain of a memory number and (pblock not null) the block of a block
// number: 0, or MissingKeyDefinition, or CouldNotFindHeader when missing.
int find_data_block(DFile* file, long DataNumber, long DataChain, DChain** pchain,
                    DBlock** pblock);
// Opening a block of a stream for reading (open_read_block) or writing
// (open_write_block): writes and releases another active block of the file,
// loads the header of a block that is on disk and makes the block active.
// 0 with *pblock, or an error value (CouldNotFindHeader for a missing block
// when reading).
int open_read_block(long stream, long DataNumber, long DataChain, DFile** pfile, DBlock** pblock);
int open_write_block(long stream, long DataNumber, long DataChain, DFile** pfile,
                     DBlock** pblock);
// Loads the header symbols of a block from disk: 0, or ReadDataError.
int get_data_header(DFile* file, DBlock* block);
// Loads the header of a block that is not loaded: from disk when the block
// has a place there, else as an empty header.  0, or ReadDataError.
int load_header(DFile* file, DBlock* block);

// Loads the binary array of a block (dimensions and description from its
// header) into buffer (buflen bytes), or into an array of the library: 0 or
// an error value.  must_use_buffer: the data must go into buffer.
int get_binary_array(DBlock* block, void* buffer, size_t buflen, int must_use_buffer);
// Brings the loaded data of a block into machine order, raster
// configuration 1 and MachineType with the value offset added, into buffer
// if given: 0 or an error value.
int renorm_data_array(DBlock* block, void* buffer, size_t buflen, long MachineType);
// Copies dimensions into a caller's array of capacity dest[0]: -1 when a
// dimension beyond the capacity is not 1.
int copydim(long* dest, const long* src);

// Writes the active block of a file if it changed and releases it: 0 or an
// error value.  A block that cannot be written is marked bad; it is released
// all the same, so that it keeps no pointer to the caller's data.
int disk_write_block(DFile* file);
// Puts one block on disk (sync_data_block, flush_data_block,
// update_general): 0 or -1 (the block is then marked bad).
int put_data_block(DFile* file, DBlock* block);
int sync_data_block(DFile* file, DBlock* block);
int flush_data_block(DFile* file, DBlock* block);
int update_general(DFile* file);
// Releases a block: its symbols and data unless they are internal or it is
// the general block.
void release_data_block(DBlock* block);

#endif
