// KeloParameter: definition, lookup, reading and updating of the parameters
// that a program defines for itself.
#include "kelopack/KeloParameter.h"

#include <cstdlib>
#include <cstring>

#include "kelopack/KeloError.h"
#include "kelopack/KeloExpression.h"
#include "kelopack/KeloInput.h"
#include "kelopack/KeloReplacekey.h"

namespace {

// The slot range of one parameter type and its value array.
struct SlotRange {
  int ptyp;
  int first;  // first slot number
  int count;  // number of slots
};

const SlotRange Ranges[] = {
    {IO_TypeFloat, IO_FirstFloatOpt, IO_MaxFloatOpt},
    {IO_TypeFlexp, IO_FirstFlexpOpt, IO_MaxFlexpOpt},
    {IO_TypeLong, IO_FirstIntOpt, IO_MaxIntOpt},
    {IO_TypeLvexp, IO_FirstLvexpOpt, IO_MaxLvexpOpt},
    {IO_TypeLine, IO_FirstLineOpt, IO_MaxLineOpt},
    {IO_TypeFlag, IO_FirstFlagOpt, IO_MaxFlagOpt},
};

const SlotRange* range_of_type(int ptyp) {
  for (const SlotRange& r : Ranges)
    if (r.ptyp == ptyp) return &r;
  return nullptr;
}

// The range that slot n lies in, null for built-in options.
const SlotRange* range_of_slot(int n) {
  for (const SlotRange& r : Ranges)
    if (n >= r.first && n < r.first + r.count) return &r;
  return nullptr;
}

// The value record of slot n (which must lie in a range).
void* record_of_slot(CmdBlk* pcb, int n) {
  const SlotRange* r = range_of_slot(n);
  if (!r) return nullptr;
  int k = n - r->first;
  switch (r->ptyp) {
    case IO_TypeFloat:
      return &pcb->Arg[k];
    case IO_TypeFlexp:
      return &pcb->Flexp[k];
    case IO_TypeLong:
      return &pcb->Num[k];
    case IO_TypeLvexp:
      return &pcb->Lvexp[k];
    case IO_TypeLine:
      return &pcb->Lin[k];
    case IO_TypeFlag:
      return &pcb->Flg[k];
  }
  return nullptr;
}

const char* text(const char* s) { return s ? s : ""; }

// Ends the program after a failed definition; the default text is shown
// when its evaluation failed.
[[noreturn]] void define_failed(const char* option, const char* defval) {
  if (defval)
    fprintf(stderr, "%s%s: %s\n", ErrorOptionDefnFailed, text(option), defval);
  else
    fprintf(stderr, "%s%s\n", ErrorOptionDefnFailed, text(option));
  exit(-1);
}

// Name the slot: lower case, at most four characters.
void name_slot(CmdBlk* pcb, int n, int ptyp, const char* option) {
  CopyLine(option, pcb->co[n].code, IO_CodeLen, -1);
  pcb->co[n].ptyp = ptyp;
}

// Common start of the readers: checks the block, records the routine and
// looks the name up.  Returns the slot number when it lies in the range of
// one of the given types, else 0 with the status set.
int find_slot(const char* routine, const char* option, CmdBlk* pcb, int type1, int type2,
              int* pstatus) {
  if (!pcb) {
    *pstatus = Failed;
    return 0;
  }
  SetKeloError(SPName, routine, option);
  *pstatus = Success;
  int n = search_command_option(pcb, option);
  if (!n) {
    *pstatus = NoOption;
    return 0;
  }
  const SlotRange* r = range_of_slot(n);
  if (!r || (r->ptyp != type1 && r->ptyp != type2)) {
    *pstatus = OutOfRange;
    return 0;
  }
  return n;
}

// The older interface: puts name into slot n of the range of ptyp.
void define_in_slot(CmdBlk* pcb, const char* name, int ptyp, int n, const char* slot_word) {
  const SlotRange* r = range_of_type(ptyp);
  char lower[IO_CodeLen];
  CopyLine(name, lower, IO_CodeLen, -1);
  if (!name || CheckOptionDuplication(pcb, lower)) {
    printf("%s-%s\n", ErrorOptionDuplicated, text(name));
    exit(-1);
  }
  if (n < 0 || n >= r->count) {
    printf("%s%s, %s = %d \n", ErrorOptionDefnFailed, name, slot_word, n);
    exit(-1);
  }
  int slot = r->first + n;
  // A slot holds one name: a second definition in it would lose the first.
  if (pcb->co[slot].code[0]) {
    printf("%s-%s\n", ErrorOptionDuplicated, name);
    exit(-1);
  }
  name_slot(pcb, slot, ptyp, name);
  pcb->co[slot].npar = ptyp == IO_TypeFlag ? 0 : 1;
}

}  // namespace

const char* option_type2string(int ptyp) {
  static const char* const names[] = {"none",  "flag",  "line", "long", "lvexp",
                                      "float", "flexp", "mode", "rsys"};
  if (ptyp >= 0 && ptyp < static_cast<int>(sizeof(names) / sizeof(names[0]))) return names[ptyp];
  return "none";
}

int search_command_option(const CmdBlk* pcb, const char* option) {
  if (!pcb || !pcb->co || !option || !option[0] || option[0] == '#') return 0;
  const OptDsc* co = pcb->co;
  for (int n = 1; n < co[0].npar && n < IO_CmdOptLen; n++)
    if (strncmp(co[n].code, option, IO_CodeLen - 1) == 0) return n;
  return 0;
}

int new_command_option(CmdBlk* pcb, int ptyp, const char* option) {
  const SlotRange* r = range_of_type(ptyp);
  if (!r || !pcb || !pcb->co) return 0;
  for (int n = r->first; n < r->first + r->count; n++) {
    if (pcb->co[n].code[0]) continue;
    name_slot(pcb, n, ptyp, option);
    return n;
  }
  return 0;
}

void option_define(int ptyp, const char* option, const char* defval, CmdBlk* pcb) {
  if (pcb->TestBit)
    printf("option_define: type=%s, default %s.V=%s\n", option_type2string(ptyp), text(option),
           text(defval));

  // Codes are stored in lower case, so the name is checked in lower case:
  // "W" would otherwise pass beside an existing "w", and "I1x" beside the
  // block prefix i1.
  char lower[IO_CodeLen];
  CopyLine(option, lower, IO_CodeLen, -1);
  if (!option || CheckOptionDuplication(pcb, lower)) {
    fprintf(stderr, "%s-%s\n", ErrorOptionDuplicated, text(option));
    exit(-1);
  }

  int n = new_command_option(pcb, ptyp, option);
  if (!n) define_failed(option, nullptr);
  pcb->co[n].npar = ptyp == IO_TypeFlag ? 0 : 1;

  int status = Success;
  void* record = record_of_slot(pcb, n);
  switch (ptyp) {
    case IO_TypeFlag:
    case IO_TypeLong:
      static_cast<IO_long*>(record)->V = longexpr(text(defval), &status);
      break;
    case IO_TypeFloat:
      static_cast<IO_float*>(record)->V = floatexpr(text(defval), &status);
      break;
    default:  // line, lvexp and flexp records all hold text of IO_len
      CopyLine(defval, static_cast<IO_line*>(record)->V, IO_len, 0);
      break;
  }
  if (status != Success) define_failed(option, text(defval));
}

IO_long option_flag(const char* option, CmdBlk* pcb, int* pstatus) {
  IO_long result{};
  int n = find_slot("option_flag", option, pcb, IO_TypeFlag, IO_TypeFlag, pstatus);
  if (!n) return result;
  result = pcb->Flg[n - IO_FirstFlagOpt];
  if (pcb->TestBit) printf("option_flag: %s.I=%d, %s.V=%ld\n", option, result.I, option, result.V);
  return result;
}

IO_line option_line(const char* option, CmdBlk* pcb, ImgBlk* ib, long* num, long blkno,
                    int* pstatus) {
  IO_line result{};
  int n = find_slot("option_line", option, pcb, IO_TypeLine, IO_TypeLine, pstatus);
  if (!n) return result;
  const IO_line& stored = pcb->Lin[n - IO_FirstLineOpt];
  if (num) {
    // Keys are replaced for the current images; a header key gives its
    // whole value (parameter 0).
    linekeyvalue(result.V, IO_len, stored.V, 0, pcb, ib, num, blkno, pstatus);
    if (*pstatus != Success) return IO_line{};
  } else {
    CopyLine(stored.V, result.V, IO_len, 0);
  }
  result.I = stored.I;
  if (pcb->TestBit)
    printf("option_line: %s.I=%d, %s.V=\"%s\"\n", option, result.I, option, result.V);
  return result;
}

IO_long option_long(const char* option, CmdBlk* pcb, ImgBlk* ib, long* num, long blkno,
                    int* pstatus) {
  IO_long result{};
  int n = find_slot("option_long", option, pcb, IO_TypeLong, IO_TypeLvexp, pstatus);
  if (!n) return result;
  if (n < IO_FirstLvexpOpt) {
    result = pcb->Num[n - IO_FirstIntOpt];
  } else {
    const IO_lvexp& stored = pcb->Lvexp[n - IO_FirstLvexpOpt];
    // Evaluated for the current images, after key replacement.
    long value = longkeyvalue(stored.V, pcb, ib, num, blkno, pstatus);
    if (*pstatus != Success) return result;
    result.V = value;
    result.I = stored.I;
  }
  if (pcb->TestBit) printf("option_long: %s.I=%d, %s.V=%ld\n", option, result.I, option, result.V);
  return result;
}

IO_float option_float(const char* option, CmdBlk* pcb, ImgBlk* ib, long* num, long blkno,
                      int* pstatus) {
  IO_float result{};
  int n = find_slot("option_float", option, pcb, IO_TypeFloat, IO_TypeFlexp, pstatus);
  if (!n) return result;
  if (n < IO_FirstFlexpOpt) {
    result = pcb->Arg[n - IO_FirstFloatOpt];
  } else {
    const IO_flexp& stored = pcb->Flexp[n - IO_FirstFlexpOpt];
    // Evaluated for the current images, after key replacement.
    float value = floatkeyvalue(stored.V, pcb, ib, num, blkno, pstatus);
    if (*pstatus != Success) return result;
    result.V = value;
    result.I = stored.I;
  }
  if (pcb->TestBit) printf("option_float: %s.I=%d, %s.V=%g\n", option, result.I, option, result.V);
  return result;
}

void* option_parameter_search(const char* option, CmdBlk* pcb, int* pstatus) {
  if (!pcb) {
    *pstatus = Failed;
    return nullptr;
  }
  SetKeloError(SPName, "option_parameter_search", option);
  *pstatus = Success;
  if (pcb->TestBit) printf("option_parameter_search: option=%s\n", text(option));
  int n = search_command_option(pcb, option);
  if (!n) {
    *pstatus = NoOption;
    return nullptr;
  }
  void* record = record_of_slot(pcb, n);
  if (!record) *pstatus = OutOfRange;
  return record;
}

int option_type(const char* option, CmdBlk* pcb) {
  int n = search_command_option(pcb, option);
  return n ? pcb->co[n].ptyp : IO_TypeNone;
}

IO_long* option_flag_update(long Value, int I, const char* option, CmdBlk* pcb, int* pstatus) {
  int n = find_slot("option_flag_update", option, pcb, IO_TypeFlag, IO_TypeFlag, pstatus);
  if (!n) return nullptr;
  IO_long* flag = &pcb->Flg[n - IO_FirstFlagOpt];
  flag->V = Value;
  flag->I = I;
  return flag;
}

void* option_parameter_update(const char* Value, int I, const char* option, CmdBlk* pcb,
                              int* pstatus) {
  void* record = option_parameter_search(option, pcb, pstatus);
  if (!record) return nullptr;
  SetKeloError(SPName, "option_parameter_update", option);
  switch (option_type(option, pcb)) {
    case IO_TypeFloat: {
      float value = floatexpr(text(Value), pstatus);
      if (*pstatus != Success) return nullptr;
      static_cast<IO_float*>(record)->V = value;
      static_cast<IO_float*>(record)->I = I;
      break;
    }
    case IO_TypeLong:
    case IO_TypeFlag: {
      long value = longexpr(text(Value), pstatus);
      if (*pstatus != Success) return nullptr;
      static_cast<IO_long*>(record)->V = value;
      static_cast<IO_long*>(record)->I = I;
      break;
    }
    default:  // line, lvexp and flexp records all hold text of IO_len
      CopyLine(Value, static_cast<IO_line*>(record)->V, IO_len, 0);
      static_cast<IO_line*>(record)->I = I;
      break;
  }
  return record;
}

void DefFlgOption(CmdBlk* pcb, const char* name, int flgopt_no) {
  define_in_slot(pcb, name, IO_TypeFlag, flgopt_no, "flgopt_no");
}

void DefLineOption(CmdBlk* pcb, const char* name, int linopt_no) {
  define_in_slot(pcb, name, IO_TypeLine, linopt_no, "linopt_no");
}

void DefIntOption(CmdBlk* pcb, const char* name, int numopt_no) {
  define_in_slot(pcb, name, IO_TypeLong, numopt_no, "numopt_no");
}

void DefFloatOption(CmdBlk* pcb, const char* name, int argopt_no) {
  define_in_slot(pcb, name, IO_TypeFloat, argopt_no, "argopt_no");
}
