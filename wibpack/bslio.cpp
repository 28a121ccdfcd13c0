// bslio: reading BSL header files into the BSL table: titles, memories
// (indicator line and binary file name) and their frames.
#include "wibpack/bslio.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "wibpack/wibio_internal.h"

namespace {

const char* const BslPrefix = "ERROR: open_bsl_file:";

BslFile BslTable[MaxBslFiles];

bool is_white(int c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v'; }

std::string trim(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && is_white(static_cast<unsigned char>(s[b]))) b++;
  while (e > b && is_white(static_cast<unsigned char>(s[e - 1]))) e--;
  return s.substr(b, e - b);
}

// Reads one line (at most BslMaxLineLen characters are kept, CR and LF are
// cut off): 1, 0 at the end of the file, -1 on a read error.
int read_line(FILE* f, std::string& line) {
  line.clear();
  int c;
  bool any = false;
  while ((c = getc(f)) != EOF) {
    any = true;
    if (c == '\n') break;
    if (c != '\r' && line.size() < BslMaxLineLen) line += static_cast<char>(c);
  }
  if (ferror(f)) return -1;
  return any ? 1 : 0;
}

// The whole decimal numbers at the start of an indicator line; false when a
// number does not fit into a long.
bool indicator_numbers(const std::string& line, std::vector<long>& numbers) {
  const char* p = line.c_str();
  for (;;) {
    while (is_white(static_cast<unsigned char>(*p))) p++;
    if (!*p) return true;
    char* end;
    errno = 0;
    long v = strtol(p, &end, 10);
    if (end == p) return true;  // no further number
    if (errno == ERANGE) return false;
    numbers.push_back(v);
    p = end;
  }
}

// Bytes of the file at path, 0 when it cannot be examined.
unsigned long file_bytes(const std::string& path) {
  struct stat st;
  if (stat(path.c_str(), &st) || st.st_size < 0) return 0;
  return static_cast<unsigned long>(st.st_size);
}

// The frames of a memory from its indicator line: false for a line with
// fewer than BslIndicatorNumbers numbers or sizes that cannot describe
// frames.
bool make_frames(const BslFile& bsl, BslMemory& memory) {
  std::vector<long> i;
  if (!indicator_numbers(memory.Indicator, i) || i.size() < BslIndicatorNumbers) {
    fprintf(stderr, "%s the indicator line \"%s\" needs %d numbers\n", BslPrefix,
            memory.Indicator.c_str(), BslIndicatorNumbers);
    return false;
  }
  const long i1 = i[0], i2 = i[1], i3 = i[2];
  const unsigned long item = 4;
  if (i1 < 1 || i2 < 1 || i3 < 0 ||
      static_cast<unsigned long>(i1) > ULONG_MAX / item / static_cast<unsigned long>(i2)) {
    fprintf(stderr, "%s the indicator line \"%s\" does not describe frames\n", BslPrefix,
            memory.Indicator.c_str());
    return false;
  }
  const unsigned long frame = static_cast<unsigned long>(i1) * static_cast<unsigned long>(i2) * item;
  const std::string path = bsl.Path + memory.FileName;
  // Only frames that start within the binary file are recorded.
  const unsigned long bytes = file_bytes(path);
  const unsigned long present = bytes / frame + (bytes % frame ? 1 : 0);
  const unsigned long count = std::min(static_cast<unsigned long>(i3), present);
  if (count < static_cast<unsigned long>(i3))
    fprintf(stderr, "WARNING: %s holds %lu of %ld frames\n", path.c_str(), count, i3);
  memory.FrameList.reserve(count);
  for (unsigned long f = 1; f <= count; f++) {
    BslFrame fr;
    fr.FrameKey = std::to_string(f);
    BslDataSpec& dataspec = fr.DataSpec;
    dataspec.BinaryFileName = path;
    dataspec.BinaryFilePos = frame * (f - 1);
    dataspec.BinaryFileLen = frame;
    dataspec.Dim = {2, i1, i2};
    dataspec.DataType = FloatValue;
    dataspec.ByteOrder = wib_byteorder();
    memory.FrameList.push_back(std::move(fr));
  }
  return true;
}

void free_entry(BslFile& bsl) {
  if (bsl.Channel) fclose(bsl.Channel);
  bsl = BslFile();
}

// Reads the header file of an entry whose stream is open.
bool read_bsl_header(BslFile& bsl) {
  std::string line;
  if (read_line(bsl.Channel, line) != 1) return false;
  bsl.FirstHeader = trim(line);
  if (read_line(bsl.Channel, line) != 1) return false;
  bsl.SecondHeader = trim(line);
  for (long m = 1;; m++) {
    std::string indicator, name;
    int r = read_line(bsl.Channel, indicator);
    if (r < 0) return false;
    if (r == 0) break;
    r = read_line(bsl.Channel, name);
    if (r < 0) return false;
    if (r == 0) break;  // an indicator line without a name line ends the file
    BslMemory memory;
    memory.MemoryKey = std::to_string(m);
    memory.Indicator = trim(indicator);
    memory.FileName = trim(name);
    if (!make_frames(bsl, memory)) return false;
    bsl.MemoryList.push_back(std::move(memory));
  }
  // Memories are listed by their keys compared as text in any case.
  std::stable_sort(bsl.MemoryList.begin(), bsl.MemoryList.end(),
                   [](const BslMemory& a, const BslMemory& b) {
                     return strncasecmp(a.MemoryKey.c_str(), b.MemoryKey.c_str(), 80) < 0;
                   });
  return true;
}

}  // namespace

const char* bslio_version(void) { return "bslio : V1.0"; }

int open_bsl_file(const char* FileName, const char* mode) {
  if (!FileName || !mode) return -1;
  int entry = 0;
  while (entry < MaxBslFiles && BslTable[entry].Channel) entry++;
  if (entry == MaxBslFiles) {
    fprintf(stderr, "%s no free BSL entry\n", BslPrefix);
    return -1;
  }
  BslFile& bsl = BslTable[entry];
  try {
    if (!strcmp(mode, "read")) {
      bsl.Channel = fopen(FileName, "rb");
    } else if (!strcmp(mode, "old") || !strcmp(mode, "any")) {
      bsl.Channel = fopen(FileName, "rb+");
      if (!bsl.Channel && !strcmp(mode, "any")) bsl.Channel = fopen(FileName, "wb+");
    } else if (!strcmp(mode, "new")) {
      bsl.Channel = fopen(FileName, "wb+");
    }
    if (!bsl.Channel) {
      fprintf(stderr, "%s cannot open %s\n", BslPrefix, FileName);
      return -1;
    }
    bsl.Buffer.reset(new char[BslBufferSize]);
    setvbuf(bsl.Channel, bsl.Buffer.get(), _IOFBF, BslBufferSize);
    bsl.Name = FileName;
    bsl.Path = directory_of(FileName);
    if (!read_bsl_header(bsl)) {
      fprintf(stderr, "%s cannot read the BSL header file %s\n", BslPrefix, FileName);
      free_entry(bsl);
      return -1;
    }
  } catch (const std::bad_alloc&) {
    free_entry(bsl);
    return -1;
  }
  return entry;
}

const BslFile* bsl_file(int entry) {
  if (entry < 0 || entry >= MaxBslFiles || !BslTable[entry].Channel) return nullptr;
  return &BslTable[entry];
}

int close_bsl_file(int entry) {
  if (entry < 0 || entry >= MaxBslFiles || !BslTable[entry].Channel) return -1;
  BslFile& bsl = BslTable[entry];
  int status = fclose(bsl.Channel) ? -1 : 0;
  bsl.Channel = nullptr;
  bsl = BslFile();
  return status;
}
