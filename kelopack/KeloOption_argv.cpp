// KeloOption: positional arguments and prompting.
//
// Every reader consumes exactly one position of the command line, whether a
// word is there or not, and leaves the value record as the rules of the
// module header describe.  Each reader also appends what it took to the
// history line of this run, so that the command line written into the
// output headers repeats the run.
#include <cstdio>
#include <cstring>

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloError.h"
#include "kelopack/KeloExpression.h"
#include "kelopack/KeloInput.h"
#include "kelopack/KeloOption.h"
#include "wibpack/wibio.h"

const char InputSkipped[] = "... skipped";
const char InputValue[] = "Value =";

namespace {

// Where the next positional word is, after the counter has been advanced.
// Null when the counter is missing (no options were read).
int* next_position(CmdBlk* pcb, const char* routine) {
  if (!pcb->parg_no) return nullptr;
  ++*pcb->parg_no;
  if (pcb->TestBit) printf(" %s: argc = %d, arg_no = %d\n", routine, pcb->argc, *pcb->parg_no);
  return pcb->parg_no;
}

// The word at the current position, or null at the end of the command line.
const char* current_word(const CmdBlk* pcb) {
  const int k = *pcb->parg_no;
  return k < pcb->argc && pcb->argv ? pcb->argv[k] : nullptr;
}

void print_skipped() { printf("%s\n", InputSkipped); }

// What a prompt answer means: rc Success sets the value, a skip or an empty
// answer without default leaves it unset; the answered argument is required
// in the history line again.  Any other result (an abort) becomes the
// status and false is returned.
bool take_answer(int rc, bool* given, int* pstatus) {
  if (rc != Success && rc != SkipInput && rc != NoDefault) {
    *pstatus = rc;
    return false;
  }
  *given = rc == Success;
  wib_history_take(KeloHistoryKey);
  return true;
}

// The text readers (line, float and integer expressions).  Expression texts
// may not become empty: an empty result restores the text the record held
// before the call.  A line may be empty, and its prompt always shows the
// default.
void read_text(CmdBlk* pcb, const char* routine, const char* promptline, char* V, int* I,
               const char* defval, bool expression, int* pstatus) {
  SetKeloError(SOName, routine, nullptr);
  *pstatus = Success;
  if (!next_position(pcb, routine)) {
    *pstatus = Failed;
    return;
  }

  char before[IO_len];
  CopyLine(V, before, IO_len, 0);
  if (!*I) CopyLine(defval, V, IO_len, 0);

  bool given;
  if (const char* word = current_word(pcb)) {
    given = strcmp(word, SkipToken) != 0;
    if (given && strcmp(word, WildCard) != 0) CopyLine(word, V, IO_len, 0);
  } else {
    wib_history_skip(KeloHistoryKey);
    given = true;
  }

  if (pcb->Prompt.V) {
    char shown[IO_len];
    CopyLine(V, shown, IO_len, 0);
    const int flag = !expression || shown[0] != '\0';
    if (!take_answer(GetLine(pcb->infile, V, flag, promptline, shown), &given, pstatus)) return;
  }

  if (expression && !V[0]) {
    CopyLine(before, V, IO_len, 0);
    print_skipped();
  } else if (given) {
    *I = 1;
  } else {
    print_skipped();
  }

  if (pcb->TestBit && *I) printf("%s %s\n", InputValue, V);
  wib_history_argv(KeloHistoryKey, *I ? V : SkipToken);
}

// How a numeric reader evaluates a word, asks, prints and records.
template <class T>
struct NumberKind {
  T (*evaluate)(const char* text, int* pstatus);
  int (*ask)(FILE* Fptr, T* Value, int Flag, const char* Prompt, T DefVal);
  const char* echo_format;     // "%s <value>\n"
  const char* history_format;  // the value in the history line
};

long evaluate_long(const char* text, int* pstatus) { return longexpr(text, pstatus); }
float evaluate_float(const char* text, int* pstatus) { return floatexpr(text, pstatus); }

const NumberKind<long> LongKind = {evaluate_long, GetLong, "%s %ld\n", "%ld"};
// Floats are recorded with all their digits so that the history repeats
// the run exactly.
const NumberKind<float> FloatKind = {evaluate_float, GetReal, "%s %g\n", "%.9g"};

// The number readers: a word is evaluated at once; an invalid word becomes
// the error message.  The prompt always shows the default.  normalise turns
// the value into its stored form (flags become 0 or 1).
template <class T, class Record>
void read_number(CmdBlk* pcb, const char* routine, const char* promptline, Record* value,
                 T defval, const NumberKind<T>& kind, T (*normalise)(T), int* pstatus) {
  SetKeloError(SOName, routine, nullptr);
  *pstatus = Success;
  if (!next_position(pcb, routine)) {
    *pstatus = Failed;
    return;
  }

  if (!value->I) value->V = defval;

  bool given;
  if (const char* word = current_word(pcb)) {
    given = strcmp(word, SkipToken) != 0;
    if (given && strcmp(word, WildCard) != 0) {
      const T v = kind.evaluate(word, pstatus);
      if (*pstatus != Success) {
        SetKeloErrorMessage(word);
        return;
      }
      value->V = normalise(v);
    }
  } else {
    wib_history_skip(KeloHistoryKey);
    given = true;
  }

  if (pcb->Prompt.V) {
    // The answer is kept only when it could be evaluated.
    T answer = value->V;
    const int rc = kind.ask(pcb->infile, &answer, 1, promptline, value->V);
    if (!take_answer(rc, &given, pstatus)) return;
    if (rc == Success) value->V = normalise(answer);
  }

  if (given)
    value->I = 1;
  else
    print_skipped();

  if (pcb->TestBit && value->I) printf(kind.echo_format, InputValue, value->V);
  if (value->I) {
    char text[64];
    snprintf(text, sizeof text, kind.history_format, value->V);
    wib_history_argv(KeloHistoryKey, text);
  } else {
    wib_history_argv(KeloHistoryKey, SkipToken);
  }
}

template <class T>
T unchanged(T v) {
  return v;
}
long as_flag(long v) { return v != 0; }

}  // namespace

void argv_start(CmdBlk* pcb, int narg) {
  if (pcb->Prompt.I) return;
  const int consumed = pcb->parg_no ? *pcb->parg_no : 0;
  pcb->Prompt.V = pcb->argc < consumed + narg + 1 ? 1 : 0;
}

void argv_end(CmdBlk* pcb) {
  if (!pcb->parg_no) return;
  ++*pcb->parg_no;
  if (*pcb->parg_no < pcb->argc) {
    const char* name = pcb->MainName ? pcb->MainName : "";
    fprintf(stderr, "WARNING : %s : Too many arguments\n", name);
    fprintf(stderr, "Usage: %s %s\n", name, pcb->MainHelp ? pcb->MainHelp : "");
  }
  *pcb->parg_no = pcb->argc;
}

void argv_line(CmdBlk* pcb, const char* promptline, IO_line* value, const char* defval,
               int* pstatus) {
  read_text(pcb, "argv_line", promptline, value->V, &value->I, defval, false, pstatus);
}

void argv_flexp(CmdBlk* pcb, const char* promptline, IO_flexp* value, const char* defval,
                int* pstatus) {
  read_text(pcb, "argv_flexp", promptline, value->V, &value->I, defval, true, pstatus);
}

void argv_lvexp(CmdBlk* pcb, const char* promptline, IO_lvexp* value, const char* defval,
                int* pstatus) {
  read_text(pcb, "argv_lvexp", promptline, value->V, &value->I, defval, true, pstatus);
}

void argv_long(CmdBlk* pcb, const char* promptline, IO_long* value, long defval,
               int* pstatus) {
  read_number(pcb, "argv_long", promptline, value, defval, LongKind, unchanged<long>, pstatus);
}

void argv_flag(CmdBlk* pcb, const char* promptline, IO_long* value, long defval,
               int* pstatus) {
  read_number(pcb, "argv_flag", promptline, value, as_flag(defval), LongKind, as_flag, pstatus);
}

void argv_float(CmdBlk* pcb, const char* promptline, IO_float* value, float defval,
                int* pstatus) {
  read_number(pcb, "argv_float", promptline, value, defval, FloatKind, unchanged<float>,
              pstatus);
}

void argv_coord(CmdBlk* pcb, const char* promptline, IO_float* value, float defval,
                int* pstatus) {
  read_number(pcb, "argv_coord", promptline, value, defval, FloatKind, unchanged<float>,
              pstatus);
}

void argv_dist(CmdBlk* pcb, const char* promptline, IO_float* value, float defval,
               int* pstatus) {
  read_number(pcb, "argv_dist", promptline, value, defval, FloatKind, unchanged<float>,
              pstatus);
}

void argv_filename(CmdBlk* pcb, const char* promptline, ImgBlk* ib, int blkno,
                   const char* defval, int* pstatus) {
  ImgBlk* pib = &ib[blkno];
  argv_line(pcb, promptline, &pib->Name, defval, pstatus);
  if (*pstatus != Success) return;
  SetKeloError(SOName, "argv_filename", nullptr);
  extract_filenumbers(pib, &pib->Name, 1, pstatus);
  if (*pstatus != Success) SetKeloErrorMessage(pib->Name.V);
}
