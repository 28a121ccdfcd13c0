// wibio format: the header syntax as read, the encoding of values as
// written (escapes, quotes, soft line breaks, continuation parts), the
// header layout and text, the end-of-header search, block IDs, chain keys
// and format versions.
#include <cstring>
#include <new>
#include <string>

#include "wibpack/wibio_internal.h"

const char* const DBClassStrings[3] = {"Invalid", "General", "Image"};
const char* const DBInstanceStrings[3] = {"Invalid", "Psd", "Error"};

namespace {

bool is_white(int c) { return c != 0 && c != EOF && strchr(white_spaces, c) != nullptr; }

// The character shown in a message about a damaged header: end of file and
// NUL bytes show as '?'.
int shown(int c) { return (c == EOF || c == 0) ? '?' : c; }

// Places a character of a value takes in a continuation part.
const unsigned long PartPlaces = 1021;
const unsigned long PartLineBreakLimit = 1016;

// A key that begins with '#' would start a comment line when written at the
// start of a line and be lost on reading: it is written after one space,
// which the reader skips and key identity ignores.
bool key_needs_space(const std::string& key) { return !key.empty() && key[0] == Comment; }

unsigned long round_up(unsigned long n, unsigned long boundary) {
  if (boundary <= 1) return n;
  unsigned long r = n % boundary;
  return r ? n + (boundary - r) : n;
}

std::string trim_white(const std::string& s) {
  size_t b = 0, e = s.size();
  while (b < e && is_white(static_cast<unsigned char>(s[b]))) b++;
  while (e > b && is_white(static_cast<unsigned char>(s[e - 1]))) e--;
  return s.substr(b, e - b);
}

}  // namespace

// ---------------------------------------------------------------------------
// Reading headers
// ---------------------------------------------------------------------------

int check_start(FILE* channel) {
  int c = getc(channel);
  if (c == '\r') c = getc(channel);
  if (c == '\n') c = getc(channel);
  if (c == EOF) return 0;
  return c == StartHeader ? 1 : -1;
}

int get_symbol_list(FILE* channel, DBlock* block, int wib_keys_only) {
  std::string key, value;
  try {
    key.reserve(WibMaxKeyLen);
    value.reserve(256);
  } catch (const std::bad_alloc&) {
    return WibReadNoMemory;
  }
  int prev = StartHeader;  // the character read before c
  int c = getc(channel);
  for (;;) {
    // 1. White space, ';' and comment lines.
    for (;;) {
      if (c == Comment && prev == '\n') {
        do c = getc(channel);
        while (c != EOF && c != '\r' && c != '\n');
        if (c == '\r') {
          int d = getc(channel);
          if (d == '\n')
            c = d;
          else if (d != EOF)
            ungetc(d, channel);
        }
        if (c == EOF) break;
        prev = c;
        c = getc(channel);
      } else if (is_white(c) || c == Terminator) {
        prev = c;
        c = getc(channel);
      } else {
        break;
      }
    }

    // 2. End of the header.
    if (c == EndHeader) {
      int d = getc(channel);
      if (d == '\r') d = getc(channel);
      if (d == '\n') return WibReadOk;
      fprintf(stderr, "\nERROR: position %ld, end marker \xB4%c\xB4 not followed by eol\n",
              ftell(channel), shown(d));
      return WibReadBad;
    }

    // 3. A key, up to '='.
    long keypos = ftell(channel) - 1;
    key.clear();
    bool cut = false, dropped = false;
    for (;;) {
      if (c == Separator) break;
      if (c == EOF || c == 0 || c == EndHeader) {
        fprintf(stderr, "\nERROR: position %ld, '%c' read, separator '%c' not found\n",
                ftell(channel), shown(c), Separator);
        return WibReadBad;
      }
      if (c == '\r' || c == '\n' || c == Terminator) {
        dropped = true;  // a line without '=' is ignored
        break;
      }
      if (key.size() < WibMaxKeyLen)
        key += is_white(c) ? ' ' : static_cast<char>(c);
      else
        cut = true;
      c = getc(channel);
    }
    if (dropped) {
      prev = c;
      c = getc(channel);
      continue;
    }
    if (!cut && !key.empty() && key.back() == ' ') key.pop_back();

    if (wib_keys_only && !is_format_key(key.c_str())) {
      // Leave the stream at the first other key.
      fseek(channel, keypos, SEEK_SET);
      return WibReadOk;
    }

    // 4. The raw value, up to ';'.
    c = getc(channel);
    while (is_white(c)) c = getc(channel);
    long valpos = ftell(channel) - (c == EOF ? 0 : 1);
    value.clear();
    cut = false;
    while (c != Terminator) {
      if (c == EOF || c == 0) {
        fprintf(stderr, "\nERROR: position %ld,'%c' read, terminator '%c' not found\n",
                ftell(channel), shown(c), Terminator);
        return WibReadBad;
      }
      if (value.size() < WibMaxValLen)
        value += static_cast<char>(c);
      else
        cut = true;
      c = getc(channel);
    }
    if (!cut && !value.empty() && is_white(static_cast<unsigned char>(value.back())))
      value.pop_back();

    // 5. The symbol (a key read twice keeps the later value).
    SElement* s;
    if (insert_symbol(block, key.c_str(), value.c_str(), &s)) return WibReadNoMemory;
    s->KeyPos = static_cast<unsigned long>(keypos);
    s->ValPos = static_cast<unsigned long>(valpos);
    prev = c;
    c = getc(channel);
  }
}

// ---------------------------------------------------------------------------
// Value encoding and decoding
// ---------------------------------------------------------------------------

std::string escape_value(const std::string& value) {
  std::string out;
  out.reserve(value.size() + 16);
  for (char c : value) {
    switch (c) {
      case '\n': out += "\\l"; break;
      // A carriage return keeps its own escape so that it reads back as
      // itself (a line feed reads back from "\l").
      case '\r': out += "\\r"; break;
      case ';': out += "\\:"; break;
      case '\\': out += "\\\\"; break;
      case '{': out += "\\("; break;
      case '}': out += "\\)"; break;
      default: out += c; break;
    }
  }
  return out;
}

std::string quote_value(const std::string& escaped) {
  if (escaped.empty() || is_white(static_cast<unsigned char>(escaped.front())) ||
      is_white(static_cast<unsigned char>(escaped.back())) || escaped.front() == '"' ||
      escaped.back() == '"')
    return "\"" + escaped + "\"";
  return escaped;
}

std::string break_lines(const std::string& stored, long W, size_t keylen) {
  std::string s;
  s.reserve(stored.size());
  for (char c : stored)
    if (c != '\r' && c != '\n') s += c;
  if (W <= 0) return s;

  // Text per line before the break's backslash: the first line shares the
  // width with the key and " = "; for W = 1 further lines are not limited.
  long first = W - 3 - static_cast<long>(keylen);
  if (first < 2) first = 2;
  const size_t first_limit = static_cast<size_t>(first - 1);
  const size_t limit = W == 1 ? std::string::npos : static_cast<size_t>(W - 1);

  std::string out;
  const size_t n = s.size();
  size_t pos = 0, line_limit = first_limit;
  while (pos < n) {
    size_t q = pos, len = 0, space_end = std::string::npos;
    while (q < n) {
      size_t unit = (s[q] == '\\' && q + 1 < n) ? 2 : 1;  // escapes stay whole
      if (len > 0 && len + unit > line_limit) break;
      if (s[q] == ' ') space_end = q + unit;
      len += unit;
      q += unit;
    }
    size_t bp = (q < n && space_end != std::string::npos) ? space_end : q;
    // The rest fits; no break before a single last character; and no break
    // that would make the stored value longer than a reader keeps.
    if (q >= n || n - bp == 1 || out.size() + n - pos + 3 > WibMaxValLen) {
      out.append(s, pos, n - pos);
      break;
    }
    out.append(s, pos, bp - pos);
    out += soft_line_break;
    pos = bp;
    line_limit = limit;
  }
  return out;
}

std::string decode_value(const std::string& raw) {
  const size_t n = raw.size();
  size_t i = 0;
  while (i < n && is_white(static_cast<unsigned char>(raw[i]))) i++;
  if (i < n && raw[i] == '"') i++;

  std::string out;
  out.reserve(n - i);
  size_t kept = 0;  // length of out up to its last escaped character
  for (; i < n; i++) {
    char c = raw[i];
    if (c == '\r' || c == '\n') continue;
    if (c != '\\') {
      out += c;
      continue;
    }
    if (++i >= n) break;  // a backslash at the very end gives nothing
    char d = raw[i];
    switch (d) {
      case '\n': continue;  // soft line break
      case '\r':
        if (i + 1 < n && raw[i + 1] == '\n') i++;
        continue;
      case ':': d = ';'; break;
      case '(': d = '{'; break;
      case ')': d = '}'; break;
      case 's': d = ' '; break;
      case 't': d = '\t'; break;
      case 'f': d = '\f'; break;
      case 'v': d = '\v'; break;
      case 'n': d = '\n'; break;
      case 'r': d = '\r'; break;
      case 'l': d = '\n'; break;
      default: break;
    }
    out += d;
    kept = out.size();
  }
  while (out.size() > kept && is_white(static_cast<unsigned char>(out.back()))) out.pop_back();
  if (out.size() > kept && out.back() == '"') out.pop_back();
  return out;
}

int split_value(const char* K, const std::string& S, long W, std::vector<ValuePart>& parts) {
  parts.clear();
  const std::string base(K);
  const std::string trimmed = trim_white(base);
  const bool has_tilde = base.find(Continuation) != std::string::npos;
  size_t pos = 0;
  for (unsigned long d = 0;; d++) {
    ValuePart part;
    if (d == 0) {
      part.Key = base;
    } else {
      part.Key = trimmed + Continuation + std::to_string(d);
      // Such a key cannot hold a continuation part: rather than dropping
      // the rest of the value, refuse to store it.
      if (part.Key.size() > WibMaxKeyLen || has_tilde) {
        parts.clear();
        return -1;
      }
    }
    size_t start = pos;
    for (unsigned long places = 0; pos < S.size() && places < PartPlaces; pos++) {
      char c = S[pos];
      if (c == ';' || c == '\\' || c == '{' || c == '}')
        places += 2;
      else if (c == '\n' || c == '\r')
        places += places <= PartLineBreakLimit ? 4 : 2;
      else
        places += 1;
    }
    part.Value = break_lines(quote_value(escape_value(S.substr(start, pos - start))), W,
                             part.Key.size());
    parts.push_back(std::move(part));
    if (pos >= S.size()) return 0;
  }
}

// ---------------------------------------------------------------------------
// Header layout and text
// ---------------------------------------------------------------------------

unsigned long net_header_length(const DBlock* block) {
  unsigned long n = strlen(header_begin) + strlen(header_end);
  for (const SElement* s = block->SymbolList; s; s = s->Next)
    n += key_needs_space(s->Key) + s->Key.size() + strlen(symbol_separator) + s->Value.size() +
         strlen(symbol_terminator);
  return n;
}

int header_layout(DBlock* block, unsigned long minimum, unsigned long boundary,
                  int headersize_key) {
  if (!block) return -1;
  SElement* size_symbol = nullptr;
  if (headersize_key) search_symbol(block, KHeaderSize, &size_symbol);
  unsigned long N = net_header_length(block);
  // A place on disk that is fixed keeps its length: the header fits when
  // its symbols do, whatever minimum length new headers get.
  unsigned long textlen =
      block->Flags.DiskBlockFixed ? N : round_up(N > minimum ? N : minimum, boundary);
  try {
    // The size value replaces its placeholder; should the decimal be longer,
    // the header grows by a boundary.
    for (;;) {
      if (block->Flags.DiskBlockFixed) {
        if (textlen > block->TextLen) return -1;
        textlen = block->TextLen;
      }
      if (size_symbol) {
        size_symbol->Value = std::to_string(textlen);
        size_symbol->ValLen = static_cast<uint16_t>(size_symbol->Value.size());
        size_symbol->String.clear();
      }
      N = net_header_length(block);
      if (N <= textlen) break;
      textlen = round_up(N, boundary);
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  block->TextLen = textlen;
  block->PadLen = textlen - N;
  return 0;
}

void pad_spaces(std::string& text, unsigned long PadLen) {
  unsigned long written = 0, row = 0;
  while (written + 2 < PadLen) {
    if (row < PAD_WIDTH) {
      text += ' ';
      written++;
      row++;
    } else {
      text += "\r\n";
      written += 2;
      row = 0;
    }
  }
  text.append(PadLen - written, ' ');
}

int header_text(DBlock* block, std::string& text) {
  if (!block) return -1;
  try {
    text.clear();
    text.reserve(block->TextLen);
    text += header_begin;
    clear_key_order(block);
    for (SElement* s = next_ordered_symbol(block); s; s = next_ordered_symbol(block)) {
      if (key_needs_space(s->Key)) text += ' ';
      s->KeyPos = block->TextPos + text.size();
      text += s->Key;
      text += symbol_separator;
      s->ValPos = block->TextPos + text.size();
      text += s->Value;
      text += symbol_terminator;
    }
    pad_spaces(text, block->PadLen);
    text += header_end;
  } catch (const std::bad_alloc&) {
    return -1;
  }
  // A layout that does not match the symbols would overwrite what follows.
  return text.size() == block->TextLen ? 0 : -1;
}

int find_header_end(FILE* channel, unsigned long TextPos, unsigned long B,
                    unsigned long* pBinaryPos) {
  if (B >= 4) {
    for (unsigned long pos = TextPos + B - 4;; pos += B) {
      char end[4];
      if (fseek(channel, static_cast<long>(pos), SEEK_SET) ||
          fread(end, 1, 4, channel) != 4)
        break;
      if (memcmp(end, header_end, 4) == 0) {
        if (pBinaryPos) *pBinaryPos = pos + 4;
        return 0;
      }
    }
  }
  // Character by character: a '}' followed by LF or CR LF.
  if (fseek(channel, static_cast<long>(TextPos), SEEK_SET)) return -1;
  int c;
  while ((c = getc(channel)) != EOF) {
    if (c != EndHeader) continue;
    int d = getc(channel);
    if (d == '\r') d = getc(channel);
    if (d == '\n') {
      if (pBinaryPos) *pBinaryPos = static_cast<unsigned long>(ftell(channel));
      return 0;
    }
    if (d == EOF) break;
    ungetc(d, channel);
  }
  return -1;
}

// ---------------------------------------------------------------------------
// Block IDs, chain keys, versions
// ---------------------------------------------------------------------------

int data_chain_key(const DFile* file, long DataChain, std::string& ChainKey) {
  try {
    if (DataChain == 0) {
      ChainKey = GENERAL_CHAIN_KEY;
      return 0;
    }
    unsigned long m = DataChain < 0 ? 0UL - static_cast<unsigned long>(DataChain)
                                    : static_cast<unsigned long>(DataChain);
    if (DataChain > 0 && file && file->GeneralBlock) {
      SElement* s;
      std::string key = KDataKeyPrefix + std::to_string(m);
      if (search_symbol(file->GeneralBlock, key.c_str(), &s) == 0) {
        ChainKey = s->Value;
        return ChainKey.empty() ? -1 : 0;
      }
    }
    ChainKey = std::string(DBClassStrings[ImageClass]) + "." +
               DBInstanceStrings[DataChain > 0 ? PsdInstance : ErrorInstance];
    if (m > 1) ChainKey += "." + std::to_string(m);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

int data_block_key(long DataNumber, long DataChain, std::string& BlockKey) {
  try {
    BlockKey = DataChain == 0 ? std::string(GENERAL_BLOCK_KEY) : std::to_string(DataNumber);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

const char* block_id(const DBlock* block) {
  static std::string id;
  try {
    id.clear();
    if (block) {
      id = block->BlockKey + ".";
      if (block->Chain) id += block->Chain->ChainKey;
    }
  } catch (const std::bad_alloc&) {
    id.clear();
  }
  return id.c_str();
}

int split_block_id(const char* id, std::string& BlockKey, std::string& ChainKey) {
  const char* dot = id ? strchr(id, '.') : nullptr;
  if (!dot || dot == id || !dot[1]) return -1;
  try {
    BlockKey.assign(id, static_cast<size_t>(dot - id));
    ChainKey.assign(dot + 1);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

std::string v1_block_key_name(const char* ChainKey) {
  std::string key(ChainKey ? ChainKey : "");
  const size_t n = strlen(V1_SUPPRESS);
  if (key.size() >= n && strcasecmp(key.c_str() + key.size() - n, V1_SUPPRESS) == 0)
    key.resize(key.size() - n);
  return key;
}

std::string header_id(unsigned long SequenceNumber) {
  char buf[64];
  snprintf(buf, sizeof buf, "EH:%6lu:%6u:%6u", SequenceNumber, 0u, 0u);
  for (char* p = buf; *p; p++)
    if (*p == ' ') *p = '0';
  return buf;
}

DFVersion parse_version(const char* text) {
  DFVersion v;
  v.Major = v.Minor = 0;
  if (!text) return v;
  while (*text && (*text < '0' || *text > '9')) text++;
  unsigned long major = 0, minor = 0;
  if (sscanf(text, "%lu.%lu", &major, &minor) < 1) return v;
  v.Major = major > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(major);
  v.Minor = minor > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(minor);
  return v;
}

std::string version_text(DFVersion version) {
  char buf[32];
  snprintf(buf, sizeof buf, "%u.%2u", static_cast<unsigned>(version.Major),
           static_cast<unsigned>(version.Minor));
  for (char* p = buf; *p; p++)
    if (*p == ' ') *p = '0';
  return buf;
}

int compare_versions(DFVersion a, DFVersion b) {
  if (a.Major != b.Major) return a.Major < b.Major ? -1 : 1;
  if (a.Minor != b.Minor) return a.Minor < b.Minor ? -1 : 1;
  return 0;
}
