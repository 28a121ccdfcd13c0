// Line input and editing: bounded copies, the line editor, the answer words,
// the prompt readers and the string splitters.
#include "kelopack/KeloInput.h"

#include <cctype>
#include <climits>
#include <cstdlib>
#include <cstring>

#include "kelopack/KeloError.h"
#include "kelopack/KeloExpression.h"

namespace {

// The line buffer shared by all prompt readers.
char InputBuffer[BufLen];

// White space of the editor (tabs are turned into blanks before).
inline bool is_blank(char c) {
  return c == ' ' || c == '\n' || c == '\v' || c == '\f' || c == '\r' || c == '\t';
}

// Copies the first four characters of s into low in lower case.
void first_four_lower(const char* s, char low[5]) {
  int i = 0;
  for (; i < 4 && s[i]; ++i) low[i] = static_cast<char>(tolower(static_cast<unsigned char>(s[i])));
  low[i] = '\0';
}

// Shows "Prompt [default] : " on standard output.
void show_prompt(int Flag, const char* Prompt, const char* DefText) {
  printf("%s ", Prompt ? Prompt : "");
  if (Flag) printf("[%-s] ", DefText ? DefText : "");
  printf(": ");
  fflush(stdout);
}

// Reads one answer line into the shared buffer: at most BufLen - 1
// characters, the newline included.  The rest of a longer line is skipped so
// that it cannot become the answer to the next question.  At end of input
// (or without a stream) the buffer stays empty.
void read_answer(FILE* Fptr) {
  memset(InputBuffer, 0, sizeof InputBuffer);
  if (!Fptr) return;
  if (!fgets(InputBuffer, BufLen, Fptr)) {
    InputBuffer[0] = '\0';
    return;
  }
  if (!memchr(InputBuffer, '\n', BufLen - 1)) {
    int c;
    while ((c = fgetc(Fptr)) != EOF && c != '\n') {
    }
  }
}

// Steps shared by all prompt readers: prompt, read, abort and skip words.
// Returns Success when the answer in InputBuffer is to be used.
int prompt_and_read(FILE* Fptr, int Flag, const char* Prompt, const char* DefText) {
  show_prompt(Flag, Prompt, DefText);
  read_answer(Fptr);
  if (AbortCheck(InputBuffer)) return Abort;
  if (SkipCheck(InputBuffer)) return SkipInput;
  return Success;
}

// The edit of prompt answers: comment cut, white space collapsed and trimmed.
constexpr int AnswerEdit = EditUncomment | EditTrim;

// Common part of the splitters: copies [begin, end) of s1 into sout.
void copy_part(const char* begin, const char* end, char* sout, int len) {
  if (!sout || len < 1) return;
  size_t n = static_cast<size_t>(end - begin);
  size_t room = static_cast<size_t>(len - 1);
  if (n > room) n = room;
  memmove(sout, begin, n);
  sout[n] = '\0';
}

// Last occurrence of s2 in s1, or null.
const char* find_last(const char* s1, const char* s2) {
  const char* last = nullptr;
  size_t n2 = strlen(s2);
  if (n2 == 0) return s1 + strlen(s1);
  for (const char* p = strstr(s1, s2); p; p = strstr(p + 1, s2)) last = p;
  return last;
}

// The splitters: left or right of the occurrence found by 'find'; all of s1
// and null when s2 does not occur.
template <class Find>
const char* split(const char* s1, const char* s2, char* sout, int len, bool right, Find find) {
  if (!s1 || !s2) {
    CopyLine(nullptr, sout, len, 0);
    return nullptr;
  }
  const char* at = find(s1, s2);
  if (!at) {
    CopyLine(s1, sout, len, 0);
    return nullptr;
  }
  if (right) {
    const char* from = at + strlen(s2);
    copy_part(from, from + strlen(from), sout, len);
  } else {
    copy_part(s1, at, sout, len);
  }
  return at;
}

const char* find_first(const char* s1, const char* s2) { return strstr(s1, s2); }

// The defaults of the number readers as the prompts show them.
struct DefaultText {
  char text[64];
  explicit DefaultText(long v) { snprintf(text, sizeof text, "%-ld", v); }
  explicit DefaultText(int v) { snprintf(text, sizeof text, "%-d", v); }
  explicit DefaultText(double v) { snprintf(text, sizeof text, "%-g", v); }
  explicit DefaultText(float v) : DefaultText(static_cast<double>(v)) {}
};

// Common part of the number readers: prompt with the default, read, edit;
// an empty answer gives the default (NoDefault without Flag), any other is
// evaluated by 'evaluate', whose value is stored whatever the status.
template <class T, class Evaluate>
int get_number(FILE* Fptr, T* Value, int Flag, const char* Prompt, T DefVal, Evaluate evaluate) {
  int status = prompt_and_read(Fptr, Flag, Prompt, DefaultText(DefVal).text);
  if (status != Success) return status;
  EditLine(AnswerEdit, InputBuffer);
  if (DefaultCheck(InputBuffer)) {
    if (!Flag) return NoDefault;
    if (Value) *Value = DefVal;
    return Success;
  }
  T value = evaluate(InputBuffer, &status);
  if (Value) *Value = value;
  return status;
}

}  // namespace

const char* KeloInputVersion() { return "KeloInput V4.40 Orrin 2007-04-19"; }

char* CopyLine(const char* s1, char* sout, int len, int conversion) {
  if (!sout || len < 1) return sout;
  if (!s1 || len < 2) {
    sout[0] = '\0';
    return sout;
  }
  size_t n = strnlen(s1, static_cast<size_t>(len - 1));
  memmove(sout, s1, n);
  sout[n] = '\0';
  if (conversion == -1) {
    for (size_t i = 0; i < n; ++i) sout[i] = static_cast<char>(tolower(static_cast<unsigned char>(sout[i])));
  } else if (conversion == 1) {
    for (size_t i = 0; i < n; ++i) sout[i] = static_cast<char>(toupper(static_cast<unsigned char>(sout[i])));
  }
  return sout;
}

char* EditLine(int EditFlag, char* str) {
  if (!str) return str;
  size_t n = strlen(str);
  for (size_t i = 0; i < n; ++i)
    if (str[i] == '\t') str[i] = ' ';
  if (EditFlag & EditUncomment) {
    char* c = static_cast<char*>(memchr(str, CommentChar, n));
    if (c) {
      *c = '\0';
      n = static_cast<size_t>(c - str);
    }
  }
  // Remove or collapse white space (the write position never passes the
  // read position, so this works in place).
  size_t w = 0;
  if (EditFlag & EditRemoveBlanks) {
    for (size_t r = 0; r < n; ++r)
      if (!is_blank(str[r])) str[w++] = str[r];
  } else {
    size_t r = 0;
    while (r < n) {
      if (is_blank(str[r])) {
        while (r < n && is_blank(str[r])) ++r;
        str[w++] = ' ';
      } else {
        str[w++] = str[r++];
      }
    }
  }
  str[w] = '\0';
  n = w;
  size_t start = 0;
  if (EditFlag & (EditRemoveBlanks | EditTrim)) {
    while (start < n && is_blank(str[start])) ++start;
    while (n > start && is_blank(str[n - 1])) --n;
  }
  if (EditFlag & (EditUpper | EditLower)) {
    bool lower = (EditFlag & EditLower) != 0;
    for (size_t i = start; i < n; ++i) {
      unsigned char c = static_cast<unsigned char>(str[i]);
      str[i] = static_cast<char>(lower ? tolower(c) : toupper(c));
    }
  }
  memmove(str, str + start, n - start);
  str[n - start] = '\0';
  return str;
}

int DefaultCheck(const char* s) { return !s || s[0] == '\0'; }

int AbortCheck(const char* s) {
  if (!s) return 0;
  if (strchr(s, EOD)) return 1;
  char low[5];
  first_four_lower(s, low);
  return strstr(low, Terminator1) || strstr(low, Terminator2) || strstr(low, Terminator3);
}

int SkipCheck(const char* s) {
  if (!s) return 0;
  size_t n = strlen(s);
  if (n == 4 && static_cast<unsigned char>(s[3]) < 16) n = 3;
  return n == 3 && strncmp(s, SkipToken, 3) == 0;
}

int NullCheck(const char* s) {
  if (!s) return 0;
  char low[5];
  first_four_lower(s, low);
  return strstr(low, NullToken1) || strstr(low, NullToken2);
}

int GetLine(FILE* Fptr, char* Value, int Flag, const char* Prompt, const char* DefVal) {
  int status = prompt_and_read(Fptr, Flag, Prompt, DefVal);
  if (status != Success) return status;
  if (NullCheck(InputBuffer)) {
    CopyLine("", Value, InputLineLength, 0);
    return Success;
  }
  EditLine(AnswerEdit, InputBuffer);
  if (DefaultCheck(InputBuffer)) {
    if (!Flag) return NoDefault;
    if (DefVal && strcmp(DefVal, SkipToken) == 0) return SkipInput;
    CopyLine(DefVal, Value, InputLineLength, 0);
    return Success;
  }
  CopyLine(InputBuffer, Value, InputLineLength, 0);
  return Success;
}

int GetString(FILE* Fptr, char** Value, int Flag, const char* Prompt, const char* DefVal) {
  char line[InputLineLength];
  int status = GetLine(Fptr, line, Flag, Prompt, DefVal);
  if (status != Success || !Value) return status;
  char* copy = strdup(line);
  if (!copy) return NotEnoughMemoryAvailable;
  *Value = copy;
  return Success;
}

int GetLong(FILE* Fptr, long* Value, int Flag, const char* Prompt, long DefVal) {
  return get_number(Fptr, Value, Flag, Prompt, DefVal, longexpr);
}

int GetInteger(FILE* Fptr, int* Value, int Flag, const char* Prompt, int DefVal) {
  // The answer is a long expression; a value beyond the int range is not
  // wrapped around but clamped and reported.
  return get_number(Fptr, Value, Flag, Prompt, DefVal, [](const char* text, int* pstatus) {
    long value = longexpr(text, pstatus);
    if (value > INT_MAX || value < INT_MIN) {
      if (*pstatus == Success) *pstatus = IntegerOverflow;
      return value > INT_MAX ? INT_MAX : INT_MIN;
    }
    return static_cast<int>(value);
  });
}

int GetDouble(FILE* Fptr, double* Value, int Flag, const char* Prompt, double DefVal) {
  return get_number(Fptr, Value, Flag, Prompt, DefVal, doubleexpr);
}

int GetReal(FILE* Fptr, float* Value, int Flag, const char* Prompt, float DefVal) {
  return get_number(Fptr, Value, Flag, Prompt, DefVal, floatexpr);
}

const char* LeftFL(const char* s1, const char* s2, char* sout, int len) {
  return split(s1, s2, sout, len, false, find_first);
}

const char* RightFL(const char* s1, const char* s2, char* sout, int len) {
  return split(s1, s2, sout, len, true, find_first);
}

const char* LeftFR(const char* s1, const char* s2, char* sout, int len) {
  return split(s1, s2, sout, len, false, find_last);
}

const char* RightFR(const char* s1, const char* s2, char* sout, int len) {
  return split(s1, s2, sout, len, true, find_last);
}
