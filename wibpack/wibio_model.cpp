// wibio model: the file table, key comparison, the sorted lists of chains,
// blocks, symbols and header lists, the ordered walk and freeing.
#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <new>

#include "wibpack/wibio_internal.h"

DFile FileTable[WibMaxFiles];

namespace {

bool FileTableInit = false;
HList* HeaderListRoot = nullptr;

// ---------------------------------------------------------------------------
// Doubly linked lists (every record has Previous and Next)
// ---------------------------------------------------------------------------

// Links node before pos (pos null: at the end).
template <typename T>
void link_before(T*& head, T* node, T* pos) {
  if (!pos) {
    T* last = head;
    while (last && last->Next) last = last->Next;
    node->Previous = last;
    node->Next = nullptr;
    if (last)
      last->Next = node;
    else
      head = node;
    return;
  }
  node->Next = pos;
  node->Previous = pos->Previous;
  if (pos->Previous)
    pos->Previous->Next = node;
  else
    head = node;
  pos->Previous = node;
}

template <typename T>
void unlink(T*& head, T* node) {
  if (node->Previous)
    node->Previous->Next = node->Next;
  else
    head = node->Next;
  if (node->Next) node->Next->Previous = node->Previous;
  node->Previous = node->Next = nullptr;
}

// First element of a list sorted ascending by key (sortmode) that sorts
// after key: the place to insert key.
template <typename T, typename KeyOf>
T* ascending_place(T* head, const char* key, int sortmode, KeyOf key_of) {
  for (T* e = head; e; e = e->Next)
    if (compare_keys(key_of(e), key, sortmode) > 0) return e;
  return nullptr;
}

template <typename T, typename KeyOf>
T* find_key(T* head, const char* key, int sortmode, KeyOf key_of) {
  for (T* e = head; e; e = e->Next)
    if (compare_keys(key_of(e), key, sortmode) == 0) return e;
  return nullptr;
}

// Finds the node of key in a sorted list, or creates it with init (which
// fills the new node's fields) at its sorted place.  Blocks are located and
// written in ascending order as a rule, so the last node is compared first:
// a key that sorts after it is appended without walking the list (which
// made opening a file of many blocks quadratic).  ptail, when given, keeps
// the list's last node.
template <typename T, typename KeyOf, typename Init>
int find_or_insert(T*& head, const char* key, int sortmode, KeyOf key_of, T** pnode, Init init,
                   T** ptail = nullptr) {
  T* last = ptail && *ptail ? *ptail : head;
  while (last && last->Next) last = last->Next;
  const int after_last = last ? compare_keys(key_of(last), key, sortmode) : -1;
  T* node = after_last == 0 ? last : after_last < 0 ? nullptr : find_key(head, key, sortmode, key_of);
  if (!node) {
    node = new (std::nothrow) T;
    if (!node) return -1;
    try {
      init(node);
    } catch (const std::bad_alloc&) {
      delete node;
      return -1;
    }
    if (after_last < 0 && last) {  // append after the last node
      node->Previous = last;
      node->Next = nullptr;
      last->Next = node;
    } else {
      link_before(head, node, ascending_place(head, key, sortmode, key_of));
    }
    if (ptail && !node->Next) *ptail = node;
  }
  if (pnode) *pnode = node;
  return 0;
}

const char* symbol_key(const SElement* s) { return s->Key.c_str(); }
const char* chain_key(const DChain* c) { return c->ChainKey.c_str(); }
const char* block_key(const DBlock* b) { return b->BlockKey.c_str(); }
const char* element_key(const HElement* e) { return e->Key.c_str(); }
const char* list_key(const HList* l) { return l->Key.c_str(); }

uint16_t length16(size_t len) { return len > 0xFFFF ? 0xFFFF : static_cast<uint16_t>(len); }

// Keys longer than WibMaxKeyLen are stored cut, with a warning.
std::string stored_key(const char* key, const char* where) {
  size_t len = strlen(key);
  if (len > WibMaxKeyLen) {
    fprintf(stderr, "\nWARNING%s: The length %zu | %lu of %10s... exceeds %d\n", where, len,
            static_cast<unsigned long>(len), key, WibMaxKeyLen);
    return std::string(key, WibMaxKeyLen);
  }
  return std::string(key);
}

// ---------------------------------------------------------------------------
// Key reduction
// ---------------------------------------------------------------------------

// Graphic: neither white space nor a control character.  Bytes above 127
// (letters of other alphabets) count as graphic so that such keys stay
// distinct.
bool is_graphic(unsigned char c) { return c > 0x20 && c != 0x7F; }

char upper_ascii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

// Reduced key into buf (at least WibMaxKeyLen + 1 bytes); returns its length.
size_t reduce_into(const char* key, bool stop_at_tilde, bool upper, char* buf) {
  size_t n = 0;
  for (size_t i = 0; i < WibMaxKeyLen && key[i]; i++) {
    char c = key[i];
    if (stop_at_tilde && c == Continuation) break;
    if (!is_graphic(static_cast<unsigned char>(c))) continue;
    buf[n++] = upper ? upper_ascii(c) : c;
  }
  buf[n] = '\0';
  return n;
}

int sign_of(int v) { return v < 0 ? -1 : v > 0 ? 1 : 0; }

// Numeric comparison of reduced keys (sortmode 2).
int compare_numeric(const char* a, const char* b) {
  int sa = 1, sb = 1;
  if (*a == '+' || *a == '-') sa = (*a++ == '-') ? -1 : 1;
  if (*b == '+' || *b == '-') sb = (*b++ == '-') ? -1 : 1;
  if (sa != sb) return sa < sb ? -1 : 1;
  auto strip = [](const char* s) {
    if (!*s) return s;
    while (*s == '0') s++;
    return *s ? s : s - 1;  // a key of zeros becomes "0"
  };
  a = strip(a);
  b = strip(b);
  size_t la = strlen(a), lb = strlen(b);
  int cmp;
  if (la != lb) {
    // The shorter key is filled with '0' on the left: compare the longer
    // key's excess digits with '0' first.
    const char* longer = la > lb ? a : b;
    size_t excess = la > lb ? la - lb : lb - la;
    cmp = 0;
    for (size_t i = 0; i < excess && !cmp; i++)
      cmp = sign_of(static_cast<unsigned char>(longer[i]) - static_cast<unsigned char>('0'));
    if (la < lb) cmp = -cmp;
    if (!cmp) cmp = sign_of(strcmp(la > lb ? a + excess : a, la > lb ? b : b + excess));
  } else {
    cmp = sign_of(strcmp(a, b));
  }
  return sa * cmp;
}

}  // namespace

// ---------------------------------------------------------------------------
// Key comparison
// ---------------------------------------------------------------------------

long continuation_depth(const char* key) {
  const char* t = strchr(key, Continuation);
  if (!t) return 0;
  t++;
  if (!*t) return -1;
  long v = 0;
  for (; *t; t++) {
    if (*t < '0' || *t > '9') return -1;
    int d = *t - '0';
    if (v > (LONG_MAX - d) / 10) return -1;
    v = v * 10 + d;
  }
  return v > 0 ? v : -1;
}

int is_format_key(const char* key) {
  return key && strncasecmp(key, KFormatPrefix, 4) == 0;
}

int is_format_key_exact(const char* key) {
  return key && strncmp(key, KFormatPrefix, 4) == 0;
}

std::string reduce_key(const char* key, int stop_at_continuation) {
  char buf[WibMaxKeyLen + 1];
  bool stop = stop_at_continuation && continuation_depth(key) >= 1;
  reduce_into(key, stop, true, buf);
  return buf;
}

int compare_keys(const char* key1, const char* key2, int sortmode) {
  if (sortmode < 0 || sortmode > 2) {
    printf("ERROR: Unknown sortmode\n");
    exit(-1);
  }
  int wib1 = is_format_key(key1), wib2 = is_format_key(key2);
  if (wib1 != wib2) return wib1 ? -1 : 1;

  long d1 = continuation_depth(key1), d2 = continuation_depth(key2);
  char r1[WibMaxKeyLen + 1], r2[WibMaxKeyLen + 1];
  bool upper = sortmode != 0;
  reduce_into(key1, d1 >= 1, upper, r1);
  reduce_into(key2, d2 >= 1, upper, r2);

  int cmp = sortmode == 2 ? compare_numeric(r1, r2) : sign_of(strcmp(r1, r2));
  if (cmp) return cmp;
  if (d1 == d2) return 0;
  if (d1 < 0) return 1;
  if (d2 < 0) return -1;
  return d1 < d2 ? -1 : 1;
}

// ---------------------------------------------------------------------------
// File table
// ---------------------------------------------------------------------------

void reset_data_file(DFile* file) {
  file->Used = 0;
  file->Name.clear();
  file->Channel = nullptr;
  file->Buffer.reset();
  file->Version = DFVersion();
  file->BlockBoundary = BLOCK_BOUNDARY;
  file->Flags = DFFlags();
  file->Flags.NoGeneralHeader = wib_settings.write_general_block ? 0 : 1;
  file->GeneralBlock = nullptr;
  file->ActiveBlock = nullptr;
  file->NextSequenceNumber = 1;
  file->LastBlockInFile = nullptr;
  file->ChainList = nullptr;
}

void init_file_table() {
  if (FileTableInit) return;
  for (DFile& file : FileTable) reset_data_file(&file);
  FileTableInit = true;
}

// ---------------------------------------------------------------------------
// Chains and blocks
// ---------------------------------------------------------------------------

int search_data_chain(DFile* file, const char* ChainKey, DChain** pchain) {
  DChain* chain = (file && ChainKey) ? find_key(file->ChainList, ChainKey, 1, chain_key) : nullptr;
  if (pchain) *pchain = chain;
  return chain ? 0 : -1;
}

int insert_data_chain(DFile* file, const char* ChainKey, DChain** pchain) {
  if (pchain) *pchain = nullptr;
  if (!file || !ChainKey) return -1;
  return find_or_insert(file->ChainList, ChainKey, 1, chain_key, pchain, [&](DChain* chain) {
    chain->ChainKey = stored_key(ChainKey, "");
    chain->ChainKeyLen = length16(strlen(ChainKey));
    chain->File = file;
  });
}

int search_data_block(DChain* chain, const char* BlockKey, DBlock** pblock) {
  DBlock* block = (chain && BlockKey) ? find_key(chain->BlockList, BlockKey, 2, block_key) : nullptr;
  if (pblock) *pblock = block;
  return block ? 0 : -1;
}

int insert_data_block(DChain* chain, const char* BlockKey, DBlock** pblock) {
  if (pblock) *pblock = nullptr;
  if (!chain || !BlockKey) return -1;
  return find_or_insert(chain->BlockList, BlockKey, 2, block_key, pblock, [&](DBlock* block) {
    block->BlockKey = stored_key(BlockKey, "");
    block->BlockKeyLen = length16(strlen(BlockKey));
    block->Chain = chain;
  }, &chain->BlockTail);
}

// ---------------------------------------------------------------------------
// Symbols
// ---------------------------------------------------------------------------

namespace {

// Every change of the symbol list restarts the ordered walk.
void symbols_changed(DBlock* block) { clear_key_order(block); }

// A new symbol, not yet linked.
SElement* new_symbol(DBlock* block, const char* Key, const char* Value) {
  SElement* s = new (std::nothrow) SElement;
  if (!s) return nullptr;
  try {
    s->Key = stored_key(Key, "");
    s->Value = Value;
  } catch (const std::bad_alloc&) {
    delete s;
    return nullptr;
  }
  s->KeyLen = length16(s->Key.size());
  s->ValLen = length16(s->Value.size());
  s->Block = block;
  return s;
}

// Same base key: both reduced up to the '~' of a continuation key.
bool same_base_key(const char* a, const char* b) {
  char ra[WibMaxKeyLen + 1], rb[WibMaxKeyLen + 1];
  reduce_into(a, continuation_depth(a) >= 1, true, ra);
  reduce_into(b, continuation_depth(b) >= 1, true, rb);
  return strcmp(ra, rb) == 0;
}

}  // namespace

int search_symbol(DBlock* block, const char* Key, SElement** psymbol) {
  SElement* s = nullptr;
  if (block && Key) {
    size_t len = strlen(Key);
    if (len > WibMaxKeyLen)
      fprintf(stderr, "\nWARNING (search_symbol): The length %zu | %lu of %10s... exceeds %d\n",
              len, static_cast<unsigned long>(len), Key, WibMaxKeyLen);
    s = find_key(block->SymbolList, Key, 1, symbol_key);
  }
  if (psymbol) *psymbol = s;
  return s ? 0 : -1;
}

int insert_symbol(DBlock* block, const char* Key, const char* Value, SElement** psymbol) {
  if (psymbol) *psymbol = nullptr;
  if (!block || !Key) return -1;
  if (!Value) Value = "";
  SElement* s = find_key(block->SymbolList, Key, 1, symbol_key);
  if (s) {
    try {
      s->Value = Value;
    } catch (const std::bad_alloc&) {
      return -1;
    }
    s->ValLen = length16(s->Value.size());
    s->String.clear();
  } else {
    s = new_symbol(block, Key, Value);
    if (!s) return -1;
    link_before(block->SymbolList, s, ascending_place(block->SymbolList, Key, 1, symbol_key));
  }
  symbols_changed(block);
  if (psymbol) *psymbol = s;
  return 0;
}

int insert_symbol_root(DBlock* block, const char* Key, const char* Value, SElement** psymbol) {
  if (psymbol) *psymbol = nullptr;
  if (!block || !Key) return -1;
  SElement* s = new_symbol(block, Key, Value ? Value : "");
  if (!s) return -1;
  remove_symbol(block, Key, nullptr);
  link_before(block->SymbolList, s, block->SymbolList);
  symbols_changed(block);
  if (psymbol) *psymbol = s;
  return 0;
}

int update_symbol(DBlock* block, const char* Key, const char* Value, SElement** psymbol) {
  if (psymbol) *psymbol = nullptr;
  if (!block || !Key) return -1;
  if (!Value) Value = "";
  SElement* s = find_key(block->SymbolList, Key, 1, symbol_key);
  if (!s) return -1;
  size_t len = strlen(Value);
  if (len > s->Value.size()) return -1;
  // Same length as before, so that the value can be rewritten in place.
  for (size_t i = 0; i < s->Value.size(); i++) s->Value[i] = i < len ? Value[i] : ' ';
  s->String.clear();
  if (psymbol) *psymbol = s;
  return 0;
}

int delete_symbol(DBlock* block, SElement* symbol, SElement** pnext) {
  if (pnext) *pnext = nullptr;
  if (!block || !symbol) return -1;
  SElement* next = symbol->Next;
  unlink(block->SymbolList, symbol);
  delete symbol;
  symbols_changed(block);
  if (pnext) *pnext = next;
  return 0;
}

int remove_symbol(DBlock* block, const char* Key, SElement** pnext) {
  if (pnext) *pnext = nullptr;
  if (!block || !Key) return -1;
  SElement* s = find_key(block->SymbolList, Key, 1, symbol_key);
  if (!s) return -1;
  return delete_symbol(block, s, pnext);
}

int delete_continuationkeys(DBlock* block, SElement* symbol) {
  if (!block) return -1;
  if (!symbol || continuation_depth(symbol->Key.c_str()) < 1) return 0;
  std::string base = symbol->Key;
  while (symbol && continuation_depth(symbol->Key.c_str()) >= 1 &&
         same_base_key(symbol->Key.c_str(), base.c_str())) {
    SElement* next;
    delete_symbol(block, symbol, &next);
    symbol = next;
  }
  return 0;
}

int update_string(SElement* base, SElement** pnext) {
  if (pnext) *pnext = nullptr;
  if (!base) return -1;
  SElement* s = base->Next;
  try {
    base->String = decode_value(base->Value);
    long depth = continuation_depth(base->Key.c_str());
    if (depth >= 0) {
      // Parts K~1, K~2, ... in sequence; a gap ends the value.
      for (long expected = depth + 1;
           s && continuation_depth(s->Key.c_str()) == expected &&
           same_base_key(s->Key.c_str(), base->Key.c_str());
           s = s->Next, expected++)
        base->String += decode_value(s->Value);
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  if (pnext) *pnext = s;
  return 0;
}

int search_string(DBlock* block, const char* BaseKey, SElement** psymbol) {
  SElement* s;
  if (search_symbol(block, BaseKey, &s) || update_string(s, nullptr)) {
    if (psymbol) *psymbol = nullptr;
    return -1;
  }
  if (psymbol) *psymbol = s;
  return 0;
}

int search_general(DBlock* block, const char* Key, SElement** psymbol) {
  if (search_string(block, Key, psymbol) == 0) return 0;
  if (!block || !Key || is_format_key_exact(Key)) return -1;
  DBlock* general = (block->Chain && block->Chain->File) ? block->Chain->File->GeneralBlock : nullptr;
  if (!general || general == block) return -1;
  return search_string(general, Key, psymbol);
}

int insert_string(DBlock* block, const char* BaseKey, const char* String, SElement** psymbol) {
  if (psymbol) *psymbol = nullptr;
  if (!block || !BaseKey) return -1;
  if (!String) String = "";
  std::vector<ValuePart> parts;
  try {
    if (split_value(BaseKey, String, wib_settings.max_line_width, parts)) return -1;
    SElement *base = nullptr, *last = nullptr;
    for (const ValuePart& part : parts) {
      if (insert_symbol(block, part.Key.c_str(), part.Value.c_str(), &last)) return -1;
      if (!base) base = last;
    }
    // Parts left from a longer earlier value.
    SElement* stale = last->Next;
    if (stale && continuation_depth(stale->Key.c_str()) >= 1 &&
        same_base_key(stale->Key.c_str(), base->Key.c_str()))
      delete_continuationkeys(block, stale);
    base->String = String;
    if (psymbol) *psymbol = base;
  } catch (const std::bad_alloc&) {
    return -1;
  }
  return 0;
}

int remove_string(DBlock* block, const char* Key) {
  SElement* next;
  if (remove_symbol(block, Key, &next)) return -1;
  if (next && continuation_depth(next->Key.c_str()) >= 1 && same_base_key(next->Key.c_str(), Key))
    delete_continuationkeys(block, next);
  return 0;
}

// ---------------------------------------------------------------------------
// Ordered walk
// ---------------------------------------------------------------------------

const char* const keyorder_DefaultTable[] = {
    "ByteOrder", "DataType",    "DataRasterConfiguration",
    "Dim_*",     "Title",       "Time",
    "Intensity*", "ExposureTime", "Dummy",
    "DDummy",    "Offset_*",    "Center_*",
    "BSize_*",   "PSize_*",     "Sample*",
    "WaveLength", "DetectorRotation_*", "Projection*",
    "Raster*",   "AxisType_*",  "Norm*",
    "Attenuator*", "Detector*", "Experiment*",
    "Gestion*",  "Machine*",    "Monitor*",
    "Msensi*",   "Optics*",     "Proposal*",
    "Psic*",     "Session*",    "Pslit*",
    "Slit*",     "Station*",    "History-*",
    "HS32*",     "H*"};
const int keyorder_DefaultTableSize =
    static_cast<int>(sizeof keyorder_DefaultTable / sizeof keyorder_DefaultTable[0]);

int keyorder_match(const char* pattern, const char* key) {
  char k[WibMaxKeyLen + 1];
  reduce_into(key, false, true, k);
  // Wildcard match with backtracking to the last '*'.
  const char* p = pattern;
  const char* s = k;
  const char *star = nullptr, *mark = nullptr;
  while (*s) {
    if (*p == '*') {
      star = p++;
      mark = s;
    } else if (*p && upper_ascii(*p) == *s) {
      p++;
      s++;
    } else if (star) {
      p = star + 1;
      s = ++mark;
    } else {
      return 0;
    }
  }
  while (*p == '*') p++;
  return *p == '\0';
}

namespace {

// The walk over a list of records with Key, Flags.Read and Next.  The run of
// records at the head whose keys begin with exactly "WIB_" comes first; then
// the records matching each pattern of the key order table in turn; the end
// of the table stands for any key.
template <typename T>
T* next_in_order(T* head, short& pattern, T*& first_unread) {
  for (T* e = head; e && is_format_key_exact(e->Key.c_str()); e = e->Next)
    if (!e->Flags.Read) {
      e->Flags.Read = 1;
      return e;
    }
  for (; pattern <= keyorder_DefaultTableSize; pattern++) {
    while (first_unread && first_unread->Flags.Read) first_unread = first_unread->Next;
    for (T* e = first_unread; e; e = e->Next) {
      if (e->Flags.Read) continue;
      if (pattern == keyorder_DefaultTableSize ||
          keyorder_match(keyorder_DefaultTable[pattern], e->Key.c_str())) {
        e->Flags.Read = 1;
        return e;
      }
    }
  }
  return nullptr;
}

}  // namespace

void clear_key_order(DBlock* block) {
  if (!block) return;
  for (SElement* s = block->SymbolList; s; s = s->Next) s->Flags.Read = 0;
  block->KeyOrderNextSymbol = block->SymbolList;
  block->KeyOrderNo = 0;
}

SElement* next_ordered_symbol(DBlock* block) {
  if (!block) return nullptr;
  return next_in_order(block->SymbolList, block->KeyOrderNo, block->KeyOrderNextSymbol);
}

// ---------------------------------------------------------------------------
// Freeing
// ---------------------------------------------------------------------------

void free_block_data(DBlock* block) {
  if (!block) return;
  if (block->Data && !block->Flags.ExternalDataAlloc) free(block->Data);
  block->Data = nullptr;
  block->DataBufferLen = 0;
  block->DataLen = 0;
  block->Flags.ExternalDataAlloc = 0;
}

void free_block_dim(DBlock* block) {
  if (!block) return;
  if (block->DataDim && !block->Flags.ExternalDimAlloc) free(block->DataDim);
  block->DataDim = nullptr;
  block->Flags.ExternalDimAlloc = 0;
}

int free_symbol_list(DBlock* block) {
  if (!block) return -1;
  SElement* s = block->SymbolList;
  while (s) {
    SElement* next = s->Next;
    delete s;
    s = next;
  }
  block->SymbolList = nullptr;
  clear_key_order(block);
  return 0;
}

int free_data_block_list(DChain* chain) {
  if (!chain) return -1;
  DBlock* b = chain->BlockList;
  while (b) {
    DBlock* next = b->Next;
    free_symbol_list(b);
    free_block_data(b);
    free_block_dim(b);
    delete b;
    b = next;
  }
  chain->BlockList = nullptr;
  chain->BlockTail = nullptr;
  return 0;
}

int free_data_chain_list(DFile* file) {
  if (!file) return -1;
  DChain* c = file->ChainList;
  while (c) {
    DChain* next = c->Next;
    free_data_block_list(c);
    delete c;
    c = next;
  }
  file->ChainList = nullptr;
  file->GeneralBlock = nullptr;
  file->ActiveBlock = nullptr;
  file->LastBlockInFile = nullptr;
  return 0;
}

int free_data_file(DFile* file) {
  if (!file) return -1;
  int status = free_data_chain_list(file);
  if (file->Channel && fclose(file->Channel)) status = -1;
  file->Channel = nullptr;
  reset_data_file(file);  // releases the stream buffer and the name
  return status;
}

int wib_free_data_file(void) {
  init_file_table();
  int status = 0;
  for (DFile& file : FileTable)
    if (free_data_file(&file)) status = -1;
  return status;
}

// ---------------------------------------------------------------------------
// Header lists
// ---------------------------------------------------------------------------

HList* header_list_root() { return HeaderListRoot; }

int search_header_list(const char* header_key, HList** plist) {
  HList* list = header_key ? find_key(HeaderListRoot, header_key, 1, list_key) : nullptr;
  if (plist) *plist = list;
  return list ? 0 : -1;
}

int insert_header_list(const char* header_key, HList** plist) {
  if (plist) *plist = nullptr;
  if (!header_key) return -1;
  HList* list = find_key(HeaderListRoot, header_key, 1, list_key);
  if (!list) {
    list = new (std::nothrow) HList;
    if (!list) return -1;
    try {
      list->Key = header_key;
    } catch (const std::bad_alloc&) {
      delete list;
      return -1;
    }
    // Header lists are kept in descending key order.
    HList* pos = HeaderListRoot;
    while (pos && compare_keys(pos->Key.c_str(), header_key, 1) > 0) pos = pos->Next;
    link_before(HeaderListRoot, list, pos);
  }
  if (plist) *plist = list;
  return 0;
}

int search_header_element(HList* list, const char* Key, HElement** pelement) {
  HElement* e = (list && Key) ? find_key(list->ElementRoot, Key, 1, element_key) : nullptr;
  if (pelement) *pelement = e;
  return e ? 0 : -1;
}

int insert_header_element(HList* list, const char* Key, const char* Value, HElement** pelement) {
  if (pelement) *pelement = nullptr;
  if (!list || !Key) return -1;
  if (!Value) Value = "";
  HElement* e = find_key(list->ElementRoot, Key, 1, element_key);
  try {
    if (e) {
      e->Value = Value;
    } else {
      e = new (std::nothrow) HElement;
      if (!e) return -1;
      try {
        e->Key = Key;
        e->Value = Value;
      } catch (const std::bad_alloc&) {
        delete e;
        return -1;
      }
      link_before(list->ElementRoot, e, ascending_place(list->ElementRoot, Key, 1, element_key));
    }
  } catch (const std::bad_alloc&) {
    return -1;
  }
  clear_header_key_order(list);
  if (pelement) *pelement = e;
  return 0;
}

int remove_header_element(HList* list, const char* Key) {
  HElement* e;
  if (search_header_element(list, Key, &e)) return -1;
  unlink(list->ElementRoot, e);
  delete e;
  clear_header_key_order(list);
  return 0;
}

int free_header_element_list(HList* list) {
  if (!list) return -1;
  HElement* e = list->ElementRoot;
  while (e) {
    HElement* next = e->Next;
    delete e;
    e = next;
  }
  list->ElementRoot = nullptr;
  list->KeyOrderNo = 0;
  return 0;
}

void clear_header_key_order(HList* list) {
  if (!list) return;
  for (HElement* e = list->ElementRoot; e; e = e->Next) e->Flags.Read = 0;
  list->KeyOrderNo = 0;
}

HElement* next_ordered_element(HList* list) {
  if (!list) return nullptr;
  HElement* first_unread = list->ElementRoot;
  return next_in_order(list->ElementRoot, list->KeyOrderNo, first_unread);
}

int wib_new_header(const char* header_key) {
  HList* list;
  if (insert_header_list(header_key, &list)) return 0;
  free_header_element_list(list);
  return 1;
}

int wib_free_header(const char* header_key) {
  HList* list = HeaderListRoot;
  while (list) {
    HList* next = list->Next;
    if (!header_key || compare_keys(list->Key.c_str(), header_key, 1) == 0) {
      free_header_element_list(list);
      unlink(HeaderListRoot, list);
      delete list;
    }
    list = next;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Limits
// ---------------------------------------------------------------------------

int wib_maxfiles(void) { return WibMaxFiles; }
int wib_maxkeylen(void) { return WibMaxKeyLen; }
int wib_maxvallen(void) { return WibMaxValLen; }
int wib_maxlinlen(void) { return WibMaxLinLen; }
int wib_maxdatachains(void) { return WibMaxDataChains; }
int wib_buffersize(void) { return WibBufferSize; }
int wib_maxdimensions(void) { return WibMaxDimensions; }
