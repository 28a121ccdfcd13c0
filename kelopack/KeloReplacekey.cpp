// KeloReplacekey: replacement of keys in names and values.
#include "kelopack/KeloReplacekey.h"

#include <cstdio>
#include <cstring>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloExpression.h"
#include "wibpack/filename.h"
#include "wibpack/numio.h"
#include "wibpack/wibio.h"

namespace {

constexpr size_t MaxKeyLen = 64;      // characters of a key name
constexpr size_t MaxValueLen = 2048;  // characters of a key's value
constexpr size_t KeyValueLen = 1024;  // text of the numeric variants
// Keys nested deeper than this are copied as written: a text of a thousand
// "[" must not exhaust the call stack.
constexpr int MaxNesting = 64;

bool is_delimiter(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// An output text of fixed capacity; characters beyond it are dropped.
struct Out {
  std::string text;
  size_t cap;
  explicit Out(size_t capacity) : cap(capacity) {}
  bool full() const { return text.size() >= cap; }
  void put(char c) {
    if (!full()) text.push_back(c);
  }
  void put(const char* s, size_t n) {
    for (size_t i = 0; i < n && !full(); ++i) text.push_back(s[i]);
  }
};

// One replacement run over a text.
class Replacer {
 public:
  Replacer(CmdBlk* pcb, ImgBlk* ib, const long* Num, long blkno)
      : pcb_(pcb), ib_(ib), num_(Num), blkno_(blkno), debug_(pcb->TestBit) {}

  // Copies text up to one of the stop characters (or its end) into out,
  // replacing the keys in it; returns the position of the stop.
  const char* string(const char* p, const char* stops, Out& out, long npar, int level) {
    if (debug_ >= 2) printf(" -- spstring (level = %d)\n", level);
    if (debug_ > 2) printf("    in = \"%s\"\n", p);
    while (*p && !strchr(stops, *p)) {
      if (out.full() && level == 0) break;
      if (*p == '[' && level < MaxNesting) {
        p = key(p + 1, out, npar, level + 1);
      } else {
        out.put(*p);
        ++p;
      }
    }
    if (debug_ > 2) printf("    next = \"%s\"\n", p);
    return p;
  }

 private:
  // An integer expression of a key (block or parameter); the default stays
  // when it cannot be evaluated.
  const char* number(const char* p, long* value, int level) {
    if (debug_ > 1) printf(" -- spnum\n");
    if (debug_ > 2) printf("    in = \"%s\"\n", p);
    Out text(KeyValueLen - 1);
    p = string(p, ",]", text, 1, level);
    int status = Success;
    const long v = longexpr(text.text.c_str(), &status);
    if (status == Success) *value = v;
    return p;
  }

  // A key after its "[": appends its value, or the key as written.
  const char* key(const char* p, Out& out, long npar, int level) {
    const char* start = p - 1;
    if (debug_ > 1) printf(" -- spkey (level = %d)\n", level);
    if (debug_ > 2) printf("    in = \"%s\"\n", p);
    const long nblocks = pcb_->ImgBlkLen;
    Out name(MaxKeyLen);
    p = string(p, ",]", name, 1, level);

    long isblock = blkno_;
    long ipar = npar;
    if (*p == ',') {
      p = number(p + 1, &isblock, level);
      isblock = clamp(isblock, 0, nblocks - 1);
      if (debug_ > 2)
        printf("    isblock = %ld, ihblock = %ld, next = \"%s\"\n", isblock,
               header_block(isblock), p);
      if (*p == ',') {
        p = number(p + 1, &ipar, level);
        if (debug_ > 2) printf("    ipar = %ld, next = \"%s\"\n", ipar, p);
        while (*p == ',') {
          long ignored = 0;
          p = number(p + 1, &ignored, level);
        }
      }
    }
    isblock = clamp(isblock, 0, nblocks - 1);
    const long ihblock = header_block(isblock);
    if (*p == ']') ++p;
    if (debug_ > 1)
      printf("    in spkey: key = %s, isblock = %ld, ihblock = %ld, ipar = %ld\n",
             name.text.c_str(), isblock, ihblock, ipar);
    if (debug_ > 2) printf("    next = \"%s\"\n", p);

    std::string value;
    if (!lookup(name.text, isblock, ihblock, &value)) {
      out.put(start, static_cast<size_t>(p - start));
      return p;
    }
    select_word(value, ipar, out);
    return p;
  }

  static long clamp(long v, long lo, long hi) {
    if (v > hi) v = hi;
    if (v < lo) v = lo;
    return v;
  }

  // Header values come from an input block; -1 when there is none.
  long header_block(long isblock) const {
    if (pcb_->ImgBlkLen < 2) return -1;
    return clamp(isblock, 1, pcb_->ImgBlkLen - 1);
  }

  // The value of a key; false when it has none.
  bool lookup(const std::string& name, long isblock, long ihblock, std::string* value) {
    const ImgBlk& b = ib_[isblock];
    auto number_text = [value](long n) {
      char buf[64];
      int err = 0;
      if (!num_long2str(buf, sizeof buf, n, &err)) return false;
      *value = buf;
      return true;
    };
    auto is = [&name](const char* builtin) {
      return name.compare(0, strlen(builtin), builtin) == 0;
    };
    if (is("FNUM")) return number_text(b.FileNumber);
    if (is("LNUM")) return number_text(b.LoopNumber);
    if (is("INUM")) return number_text(num_ ? num_[isblock] : 1);
    if (is("MNUM")) return number_text(b.Memory.V);
    if (is("FNAME")) {
      value->assign(b.FileName, strnlen(b.FileName, MaxValueLen));
      return true;
    }
    if (is("FPATH")) {
      char path[IO_len];
      if (!filename_path(path, sizeof path, b.FileName)) return false;
      *value = path;
      return true;
    }
    if (is("CYCLES")) return number_text(pcb_->Cycles);
    return header_value(name, ihblock, value);
  }

  // The value of a header key of the current image of input block ihblock.
  bool header_value(const std::string& name, long ihblock, std::string* value) {
    if (ihblock < 0 || name.empty()) return false;
    const ImgBlk& h = ib_[ihblock];
    if (h.StreamOpenMode & (IO_DontReadWrite | IO_Dummy)) return false;  // KeywordMissing
    const long number = num_ ? num_[ihblock] : 1;
    const int chain = static_cast<int>(h.Memory.V);
    char line[WibMaxLinLen + 1];
    int errval = RoutineSucceeded, status = status_success;
    wib_read_header_line(h.Stream, number, chain, name.c_str(), line, &errval, &status);
    if (status != status_success) {
      if (debug_ > 1) {
        printf("    in spkey: key cannot be read from file (block=%ld)\n", ihblock);
        printf("              stream=%d, DataNumber=%ld, DataChain=%d, key=%s\n", h.Stream,
               number, chain, name.c_str());
      }
      return false;
    }
    *value = line;
    return true;
  }

  // Parameter 0 (or less): the whole value; n: its n-th word, where every
  // delimiter character ends a word.
  static void select_word(const std::string& value, long ipar, Out& out) {
    if (ipar <= 0) {
      out.put(value.data(), value.size());
      return;
    }
    size_t i = 0;
    for (long passed = 0; passed < ipar - 1; ++i) {
      if (i >= value.size()) return;
      if (is_delimiter(value[i])) ++passed;
    }
    size_t end = i;
    while (end < value.size() && !is_delimiter(value[end])) ++end;
    out.put(value.data() + i, end - i);
  }

  CmdBlk* pcb_;
  ImgBlk* ib_;
  const long* num_;
  long blkno_;
  int debug_;
};

}  // namespace

const char* replacekey_version() { return "KeloReplacekey : V1.17 Orrin 2010-11-18"; }

char* replacekey(char* buffer, size_t buflen, const char* string, long npar, CmdBlk* pcb,
                 ImgBlk* ib, const long* Num, long blkno, int* pstatus) {
  *pstatus = Success;
  if (pcb && pcb->TestBit > 1) printf(" -- replacekey\n");
  if (buflen == 0 || !buffer) return nullptr;
  if (!string) string = "";
  if (!pcb || !ib || pcb->ImgBlkLen < 1) {
    snprintf(buffer, buflen, "%s", string);
    return buffer;
  }
  memset(buffer, ' ', buflen - 1);
  buffer[buflen - 1] = '\0';
  Out out(buflen - 1);
  Replacer(pcb, ib, Num, blkno).string(string, "", out, npar, 0);
  memcpy(buffer, out.text.data(), out.text.size());
  buffer[out.text.size()] = '\0';
  if (pcb->TestBit > 2) printf(" -- replacekey: value = %s\n", buffer);
  return buffer;
}

char* linekeyvalue(char* buffer, size_t buflen, const char* string, long npar, CmdBlk* pcb,
                   ImgBlk* ib, const long* Num, long blkno, int* pstatus) {
  *pstatus = Success;
  char* result = replacekey(buffer, buflen, string, npar, pcb, ib, Num, blkno, pstatus);
  if (pcb && pcb->TestBit >= 1)
    printf("linekeyvalue: string=%s, npar=%ld, value=%s\n", string ? string : "", npar,
           result ? result : "");
  return result;
}

namespace {

void print_value(long value) { printf("%ld\n", value); }
void print_value(double value) { printf("%g\n", value); }

// Replaces the keys of string (default parameter 1) into the function's
// text line and evaluates it with eval; the replaced text becomes the error
// message when the evaluation fails.  At debug level 1 and above a
// successful evaluation prints "<routine>: string=..., line=..., value=...".
template <typename T, typename Eval>
T keyvalue(const char* routine, char* line, const char* string, CmdBlk* pcb, ImgBlk* ib,
           const long* Num, long blkno, int* pstatus, Eval eval) {
  *pstatus = Success;
  if (!replacekey(line, KeyValueLen, string, 1, pcb, ib, Num, blkno, pstatus) ||
      *pstatus != Success)
    return 0;
  const T value = eval(line, pstatus);
  if (*pstatus != Success) {
    SetKeloErrorMessage(line);
  } else if (pcb && pcb->TestBit >= 1) {
    printf("%s: string=%s, line=%s, value=", routine, string ? string : "", line);
    print_value(value);
  }
  return value;
}

}  // namespace

long longkeyvalue(const char* string, CmdBlk* pcb, ImgBlk* ib, const long* Num, long blkno,
                  int* pstatus) {
  static char line[KeyValueLen];
  return keyvalue<long>("longkeyvalue", line, string, pcb, ib, Num, blkno, pstatus, longexpr);
}

float floatkeyvalue(const char* string, CmdBlk* pcb, ImgBlk* ib, const long* Num, long blkno,
                    int* pstatus) {
  static char line[KeyValueLen];
  return keyvalue<float>("floatkeyvalue", line, string, pcb, ib, Num, blkno, pstatus,
                         floatexpr);
}

double doublekeyvalue(const char* string, CmdBlk* pcb, ImgBlk* ib, const long* Num, long blkno,
                      int* pstatus) {
  static char line[KeyValueLen];
  return keyvalue<double>("doublekeyvalue", line, string, pcb, ib, Num, blkno, pstatus,
                          doubleexpr);
}
