// numio compiled programs: the program registry, variables, constant
// folding, compiling (num_str2prog) and running (num_runprog) programs.
#include <cctype>
#include <cstdarg>
#include <cstdlib>
#include <cstring>
#include <new>

#include "wibpack/numio_internal.h"

namespace {

// Registered programs in descending strcmp order of their names.
NumProg* registry_root = nullptr;

inline void set_err(int* perrval, int err) {
  if (perrval) *perrval = err;
}

bool is_registered(const NumProg* program) {
  for (const NumProg* p = registry_root; p; p = p->Next)
    if (p == program) return true;
  return false;
}

void free_variables(NumVar* v) {
  while (v) {
    NumVar* next = v->Next;
    free(v->Key);
    delete v;
    v = next;
  }
}

void free_accumulators(NumAccu* a) {
  while (a) {
    NumAccu* next = a->Next;
    delete a;
    a = next;
  }
}

NumInstr* last_instruction(NumInstr* list) {
  if (list)
    while (list->Next) list = list->Next;
  return list;
}

// One folding step from instruction first (see dpprogram_compile); appends
// to the compiled list after *tail.
NumInstr* optimize_step(NumProg* program, NumInstr* first, NumInstr** tail, int* err) {
  long base = numio::stack_depth(program);
  NumInstr* ins = first;
  for (; ins; ins = ins->Next) {
    int nargs = numio::command_nargs(ins->Command);
    if (ins->Command == NUM_PUSHADDR || nargs > numio::stack_depth(program) - base) break;
    if ((*err = numio::execute(program, ins))) return nullptr;
  }
  // The constants just computed, bottom first.
  long depth = numio::stack_depth(program);
  if (depth > base) {
    NumAccu* a = program->CurrentAccumulator;
    while (a->Number > base + 1) a = a->Previous;
    for (; a && a->Number <= depth; a = a->Next)
      if (!numio::append_instruction(&program->CompiledList, tail, NUM_PUSHVAL, 0, a->Value,
                                     nullptr)) {
        *err = NumMemoryAllocationError;
        return nullptr;
      }
  }
  if (!ins) return nullptr;
  // The instruction that depends on a variable stays, with its stack effect:
  // PUSHADDR pushes a placeholder, k operands leave one register for the
  // future result.
  if (!numio::append_instruction(&program->CompiledList, tail, ins->Command, ins->Nargs,
                                 ins->Value, ins->Address)) {
    *err = NumMemoryAllocationError;
    return nullptr;
  }
  if (ins->Command == NUM_PUSHADDR) {
    *err = numio::push(program, ins->Address ? *ins->Address : 0.0);
  } else {
    int nargs = numio::command_nargs(ins->Command);
    if (nargs < 0) {
      *err = NumNoInstruction;
    } else if (nargs > numio::stack_depth(program)) {
      *err = NumNoAccumulator;
    } else if (nargs == 0) {
      *err = numio::push(program, 0.0);
    } else {
      NumAccu* a = program->CurrentAccumulator;
      for (int i = 1; i < nargs; ++i) a = a->Previous;
      program->CurrentAccumulator = a;
    }
  }
  return *err ? nullptr : ins->Next;
}

// Compiles the text at *pstr into program (variables already defined).
int compile_text(NumProg* program, const char* str, const char** tail) {
  numio::Parser ps;
  ps.p = str;
  ps.prog = program;
  numio::parse_condition(ps, 0);
  if (tail) *tail = ps.p;
  if (!ps.err && dpprogram_compile(program, &ps.err)) return ps.err ? ps.err : NumProgramError;
  return ps.err;
}

}  // namespace

namespace numio {

char* newstr(const char* s) {
  if (!s) return nullptr;
  size_t n = strlen(s) + 1;
  char* copy = static_cast<char*>(malloc(n));
  if (copy) memcpy(copy, s, n);
  return copy;
}

NumProg* new_private_program(const char* name) {
  NumProg* prog = new (std::nothrow) NumProg{};
  if (!prog) return nullptr;
  if (!(prog->Name = newstr(name ? name : ""))) {
    delete prog;
    return nullptr;
  }
  return prog;
}

void free_instructions(NumInstr* list) {
  while (list) {
    NumInstr* next = list->Next;
    delete list;
    list = next;
  }
}

void release_program(NumProg* prog) {
  if (!prog) return;
  free_variables(prog->VariableList);
  free_accumulators(prog->AccumulatorList);
  free_instructions(prog->InstructionList);
  free_instructions(prog->CompiledList);
  free(prog->Name);
  delete prog;
}

NumInstr* append_instruction(NumInstr** head, NumInstr** last, int command, int nargs,
                             double value, double* address) {
  NumInstr* ins = new (std::nothrow) NumInstr{};
  if (!ins) return nullptr;
  ins->Command = command;
  ins->Nargs = nargs;
  ins->Value = value;
  ins->Address = address;
  ins->Previous = *last;
  if (*last) (*last)->Next = ins;
  else *head = ins;
  *last = ins;
  return ins;
}

void debug_listing(const NumProg* prog, int errval) {
  if (errval > NumVariableError) {
    num_prog_print_list(stderr, prog, 2, 0);
  } else if (debug_level() > 2) {
    num_prog_print_list(stdout, prog, 2, 0);
  }
}

}  // namespace numio

// ------------------------------------------------------------------ registry

int numprog_insert(const char* Name, NumProg** pprogram) {
  if (pprogram) *pprogram = nullptr;
  if (!Name) return -1;
  NumProg* before = nullptr;  // the last program with a larger name
  NumProg* p = registry_root;
  for (; p; p = p->Next) {
    int cmp = strcmp(p->Name, Name);
    if (cmp == 0) {
      if (pprogram) *pprogram = p;
      return -1;
    }
    if (cmp < 0) break;
    before = p;
  }
  NumProg* prog = numio::new_private_program(Name);
  if (!prog) return -1;
  prog->Previous = before;
  prog->Next = p;
  if (p) p->Previous = prog;
  if (before) before->Next = prog;
  else registry_root = prog;
  if (pprogram) *pprogram = prog;
  return 0;
}

int numprog_search(const char* Name, NumProg** pprogram) {
  if (pprogram) *pprogram = nullptr;
  if (!Name) return -1;
  for (NumProg* p = registry_root; p; p = p->Next) {
    int cmp = strcmp(p->Name, Name);
    if (cmp == 0) {
      if (pprogram) *pprogram = p;
      return 0;
    }
    if (cmp < 0) break;
  }
  return -1;
}

int numprog_free(NumProg* program) {
  if (!program || !is_registered(program)) return -1;
  if (program->Previous) program->Previous->Next = program->Next;
  else registry_root = program->Next;
  if (program->Next) program->Next->Previous = program->Previous;
  numio::release_program(program);
  return 0;
}

int numprog_remove(const char* Name) {
  if (!Name) {
    while (registry_root) numprog_free(registry_root);
    return 0;
  }
  NumProg* prog = nullptr;
  if (numprog_search(Name, &prog)) return -1;
  return numprog_free(prog);
}

NumProg* numprog_new(const char* Name) {
  NumProg* prog = nullptr;
  if (!Name) return nullptr;
  if (!numprog_search(Name, &prog)) numprog_free(prog);
  if (numprog_insert(Name, &prog)) return nullptr;
  return prog;
}

const NumProg* numprog_root() { return registry_root; }

// ----------------------------------------------------------------- variables

int numprog_checkvar(const char* string) {
  if (!string) return -1;
  if (!*string) return 0;
  if (!isalpha(static_cast<unsigned char>(*string)) || static_cast<unsigned char>(*string) > 127)
    return -1;
  for (const char* p = string + 1; *p; ++p)
    if (!isalnum(static_cast<unsigned char>(*p)) || static_cast<unsigned char>(*p) > 127)
      return -1;
  return 0;
}

int numprog_search_variable(const NumProg* program, const char* Key, NumVar** pvariable,
                            int mode) {
  if (pvariable) *pvariable = nullptr;
  if (!program || !Key) return -1;
  for (NumVar* v = program->VariableList; v; v = v->Next) {
    bool match;
    if (mode == 0) {
      match = strcmp(v->Key, Key) == 0;
    } else {
      size_t n = strlen(v->Key);
      match = n > 0 && strncmp(v->Key, Key, n) == 0;
    }
    if (match) {
      if (pvariable) *pvariable = v;
      return 0;
    }
  }
  return -1;
}

int numprog_append_variable(NumProg* program, const char* Key, double InitValue,
                            NumVar** pvariable) {
  if (pvariable) *pvariable = nullptr;
  if (!program || numprog_checkvar(Key)) return -1;
  NumVar* last = nullptr;
  for (NumVar* v = program->VariableList; v; v = v->Next) {
    if (strcmp(v->Key, Key) == 0) {
      if (pvariable) *pvariable = v;
      return -1;
    }
    last = v;
  }
  NumVar* var = new (std::nothrow) NumVar{};
  if (!var) return -1;
  if (!(var->Key = numio::newstr(Key))) {
    delete var;
    return -1;
  }
  var->Value = InitValue;
  var->Previous = last;
  if (last) last->Next = var;
  else program->VariableList = var;
  if (pvariable) *pvariable = var;
  return 0;
}

// ------------------------------------------------------------------- folding

NumInstr* dpprogram_optimize(NumProg* program, NumInstr* firstinstruction, int* perrval) {
  int err = NumSuccess;
  NumInstr* next = nullptr;
  if (!program) {
    err = NumProgramError;
  } else {
    NumInstr* tail = last_instruction(program->CompiledList);
    next = optimize_step(program, firstinstruction, &tail, &err);
  }
  set_err(perrval, err);
  return next;
}

// Rewrites the instruction list so that every part that does not depend on
// a variable is computed once: instructions are executed on the real stack
// until one needs a variable's value or an operand computed from one; the
// registers computed so far become PUSHVAL instructions, the stopping
// instruction is kept, and folding continues after it.
int dpprogram_compile(NumProg* program, int* perrval) {
  if (!program) {
    set_err(perrval, NumProgramError);
    return -1;
  }
  numio::free_instructions(program->CompiledList);
  program->CompiledList = nullptr;
  program->CurrentAccumulator = nullptr;
  NumInstr* tail = nullptr;
  int err = NumSuccess;
  NumInstr* next = program->InstructionList;
  while (next && !err) next = optimize_step(program, next, &tail, &err);
  if (err) {
    numio::free_instructions(program->CompiledList);
  } else {
    numio::free_instructions(program->InstructionList);
    program->InstructionList = program->CompiledList;
  }
  program->CompiledList = nullptr;
  program->CurrentAccumulator = nullptr;
  set_err(perrval, err);
  return err ? -1 : 0;
}

// ------------------------------------------------------------------ programs

NumProg* num_str2prog(const char* name, const char* str, const char** tail, int* perrval,
                      int nvar, ...) {
  const char* s = str ? str : "";
  while (isspace(static_cast<unsigned char>(*s))) ++s;
  if (tail) *tail = s;
  NumProg* program = numprog_new(name);
  if (!program) {
    set_err(perrval, NumProgramError);
    return nullptr;
  }
  int err = NumSuccess;
  va_list ap;
  va_start(ap, nvar);
  for (int i = 0; i < nvar; ++i) {
    const char* key = va_arg(ap, const char*);
    if (!err && numprog_append_variable(program, key, 1.0, nullptr)) err = NumVariableError;
  }
  va_end(ap);
  if (!err) err = compile_text(program, s, tail);
  numio::debug_listing(program, err);
  if (err) {
    if (numprog_free(program)) err = NumProgramError;
    program = nullptr;
  }
  set_err(perrval, err);
  return program;
}

double num_runprog(NumProg* program, int* perrval, ...) {
  if (!program) {
    set_err(perrval, NumProgramError);
    return 0.0;
  }
  va_list ap;
  va_start(ap, perrval);
  for (NumVar* v = program->VariableList; v; v = v->Next) v->Value = va_arg(ap, double);
  va_end(ap);
  double result;
  int err = numio::run(program, &result);
  if (err > NumVariableError || numio::debug_level() > 2) numio::debug_listing(program, err);
  set_err(perrval, err);
  return result;
}

int num_rmprog(NumProg* program, int* perrval) {
  if (numprog_free(program)) {
    set_err(perrval, NumProgramError);
    return -1;
  }
  set_err(perrval, NumSuccess);
  return 0;
}

NumProg* num_searchprog(const char* name, int* perrval) {
  if (!name) {
    set_err(perrval, NumProgramError);
    return nullptr;
  }
  NumProg* prog = nullptr;
  numprog_search(name, &prog);
  set_err(perrval, NumSuccess);
  return prog;
}

int num_chkvar(const NumProg* program, int n, int* perrval) {
  if (!program) {
    set_err(perrval, NumProgramError);
    return 0;
  }
  const NumVar* v = program->VariableList;
  for (int i = 1; v && i < n; ++i) v = v->Next;
  if (n < 1 || !v) {
    set_err(perrval, NumNoVariable);
    return 0;
  }
  set_err(perrval, NumSuccess);
  return v->Used;
}

long num_prog_variables(const NumProg* program) {
  long n = 0;
  if (program)
    for (const NumVar* v = program->VariableList; v; v = v->Next) ++n;
  return n;
}

long num_prog_size(const NumProg* program) {
  if (!program) return 0;
  long size = static_cast<long>(sizeof(NumProg));
  if (program->Name) size += static_cast<long>(strlen(program->Name)) + 1;
  for (const NumVar* v = program->VariableList; v; v = v->Next) size += sizeof(NumVar);
  for (const NumAccu* a = program->AccumulatorList; a; a = a->Next) size += sizeof(NumAccu);
  for (const NumInstr* i = program->InstructionList; i; i = i->Next) size += sizeof(NumInstr);
  for (const NumInstr* i = program->CompiledList; i; i = i->Next) size += sizeof(NumInstr);
  return size;
}
