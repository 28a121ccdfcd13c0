// Fuzz target: any bytes as a sequence of Wib headers.  The headers are read
// with the library's header reader as a reader walks a file: the first into
// the general block, the rest into the blocks of one chain.  For each block
// the target then
//   - reassembles every value from its continuation parts,
//   - reads the typed values (integer expressions, unsigned decimals, the
//     dimensions and the data description, the format version),
//   - converts the bytes after the header to float as the data description
//     says, when the dimensions fit into the bytes that are there,
//   - stores every decoded value again under a plain key (escapes, quotes,
//     soft line breaks, continuation parts) and checks that it reads back
//     unchanged,
//   - lays the header out, writes its text and reads that text back,
//     checking that every symbol comes back with its value.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "wibpack/wibio.h"
#include "wibpack/wibio_internal.h"

namespace {

const int kMaxBlocks = 6;

[[noreturn]] void fail(const char* what, const std::string& detail) {
  fprintf(stderr, "%s: %s\n", what, detail.c_str());
  abort();
}

// Converts the block's data, that start at data and may use the size bytes
// there, to float.
void convert_data(DBlock* block, const uint8_t* data, size_t size) {
  std::vector<long> dim;
  if (read_data_dim(block, dim)) return;
  DataDescription d;
  read_data_description(block, &d);
  const size_t item = wib_data_sizeof(d.DataType);
  const long mtype = wib_datatype2machinetype(d.DataType);
  if (!item || !mtype) return;
  size_t bytes = 0;
  if (array_bytes(dim.data(), item, &bytes) || bytes > size) return;  // refused before allocating
  const size_t count = bytes / item;
  if (count == 0) return;
  std::vector<unsigned char> raw(data, data + bytes);
  if (d.ByteOrder != FixedByteOrder && d.ByteOrder != wib_byteorder() && item > 1)
    wib_bswap(raw.data(), raw.data(), item, count);
  std::vector<float> values(count);
  if (wib_machine2machine(values.data(), MFloat, raw.data(), d.DataValueOffset, mtype, count))
    return;
  std::vector<float> normalized(values.size());
  wib_raster_normalization(normalized.data(), values.data(), dim.data(),
                           d.DataRasterConfiguration, sizeof(float));
}

// Every decoded value, stored under a plain key with line width W, must read
// back unchanged.
void check_value_round_trip(DBlock* scratch, const std::string& value, long W) {
  const long saved = wib_settings.max_line_width;
  wib_settings.max_line_width = W;
  SElement* s = nullptr;
  int stored = insert_string(scratch, "Key", value.c_str(), &s);
  wib_settings.max_line_width = saved;
  if (stored) fail("value not stored", value);
  if (search_string(scratch, "Key", &s)) fail("value not found", value);
  if (s->String != value) fail("value changed", value + " -> " + s->String);
  remove_string(scratch, "Key");
}

// Writes the block's header text and reads it back into check.
void check_header_round_trip(DBlock* block, DBlock* check, unsigned long minimum) {
  if (header_layout(block, minimum, BLOCK_BOUNDARY, 1)) return;
  std::string text;
  if (header_text(block, text)) fail("header text does not match its layout", block->BlockKey);
  FILE* f = fmemopen(&text[0], text.size(), "rb");
  if (!f) return;
  if (check_start(f) != 1) fail("written header does not start", text.substr(0, 8));
  if (get_symbol_list(f, check, 0) != WibReadOk) fail("written header unreadable", text);
  fclose(f);
  for (SElement* s = block->SymbolList; s; s = s->Next) {
    SElement* t = nullptr;
    if (search_symbol(check, s->Key.c_str(), &t)) fail("symbol lost", s->Key);
    if (t->Value != s->Value) fail("symbol value changed", s->Key + " = " + s->Value);
  }
  free_symbol_list(check);
}

void examine(DFile* file, DBlock* block, DBlock* scratch, const uint8_t* data, size_t size,
             long W) {
  for (SElement* s = block->SymbolList; s;) {
    SElement* next = nullptr;
    if (update_string(s, &next)) return;
    check_value_round_trip(scratch, s->String, W);
    s = next;
  }
  long value;
  unsigned long uvalue;
  header_value_long(block, KDataValueOffset, &value, nullptr);
  header_value_unsigned(block, KHeaderSize, &uvalue);
  header_value_unsigned(block, KBinarySize, &uvalue);
  SElement* s;
  if (search_general(block, KDataFormatVersion, &s) == 0) parse_version(s->String.c_str());
  if (header_value_unsigned(block, KBlockBoundary, &uvalue) == 0) {
    unsigned long end = 0;
    find_header_end(file->Channel, block->TextPos, uvalue, &end);
  }
  convert_data(block, data, size);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 2) return 0;
  const long W = data[0] % 8 == 0 ? 0 : data[0] % 90;     // line width of stored values
  const unsigned long minimum = (data[1] % 4) * 512;      // minimum header length
  data += 2;
  size -= 2;
  std::vector<uint8_t> bytes(data, data + size);
  if (bytes.empty()) bytes.push_back('\n');
  FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
  if (!f) return 0;

  init_file_table();
  DFile* file = &FileTable[0];
  file->Used = 1;
  file->Channel = f;
  DChain *general = nullptr, *images = nullptr, *work = nullptr;
  DBlock *scratch = nullptr, *check = nullptr;
  if (insert_data_chain(file, GENERAL_CHAIN_KEY, &general) ||
      insert_data_chain(file, "Image.Psd", &images) || insert_data_chain(file, "Scratch", &work) ||
      insert_data_block(work, "1", &scratch) || insert_data_block(work, "2", &check))
    fail("no memory", "chains");

  for (int n = 0; n < kMaxBlocks; n++) {
    long textpos = ftell(f);
    if (textpos < 0 || check_start(f) != 1) break;
    DBlock* block = nullptr;
    if (n == 0) {
      if (insert_data_block(general, GENERAL_BLOCK_KEY, &block)) break;
      file->GeneralBlock = block;
    } else if (insert_data_block(images, std::to_string(n).c_str(), &block)) {
      break;
    }
    block->TextPos = static_cast<unsigned long>(textpos);
    if (get_symbol_list(f, block, 0) != WibReadOk) break;
    long binarypos = ftell(f);
    if (binarypos < 0) break;
    examine(file, block, scratch, bytes.data() + binarypos, bytes.size() - binarypos, W);
    check_header_round_trip(block, check, minimum);
    // The next header follows the binary section when its size is known.
    unsigned long binary = 0;
    header_value_unsigned(block, KBinarySize, &binary);
    if (binary > bytes.size() - static_cast<unsigned long>(binarypos) ||
        fseek(f, binarypos + static_cast<long>(binary), SEEK_SET))
      break;
  }
  free_data_file(file);  // closes the stream
  return 0;
}
