// numio program listings: programs with their variables, instructions and
// registers, as printed by the debug output and on errors.
#include <cstdio>

#include "wibpack/numio_internal.h"

namespace {

const char* kSeparator = "  ------------------------------------------------";

}  // namespace

const char* numprog_cmd2str(int command) {
  if (command < 0 || command >= NUM_COMMANDS) return NumCommandStrings[NUM_INVALID];
  return NumCommandStrings[command];
}

char* numprog_ins2str(char* buffer, unsigned long buflen, const NumInstr* instruction) {
  if (!buffer || buflen == 0) return nullptr;
  if (!instruction) {
    buffer[0] = '\0';
    return buffer;
  }
  const char* name = numprog_cmd2str(instruction->Command);
  if (instruction->Command == NUM_PUSHVAL)
    snprintf(buffer, buflen, "%10s  %10g", name, instruction->Value);
  else if (instruction->Command == NUM_PUSHADDR)
    snprintf(buffer, buflen, "%10s *%10p", name, static_cast<void*>(instruction->Address));
  else
    snprintf(buffer, buflen, "%10s  %10s (%d args)", name, "", instruction->Nargs);
  return buffer;
}

void num_prog_print_variable_list(FILE* out, const NumProg* program, int level, int verbose) {
  if (!out || !program || level < 2) return;
  for (const NumVar* v = program->VariableList; v; v = v->Next) {
    fprintf(out, "  '%s' = %lg = *%p\n", v->Key, v->Value,
            static_cast<const void*>(&v->Value));
    if (verbose) {
      fprintf(out, "    Used = %d, Previous = %s, Next = %s\n", v->Used,
              v->Previous ? v->Previous->Key : "(none)", v->Next ? v->Next->Key : "(none)");
    }
  }
}

void num_prog_print_instruction_list(FILE* out, const NumInstr* list, int level, int verbose) {
  if (!out || level < 2) return;
  char line[128];
  for (const NumInstr* i = list; i; i = i->Next) {
    fprintf(out, "  %s\n", numprog_ins2str(line, sizeof line, i));
    if (verbose)
      fprintf(out, "    at %p, Previous = %p, Next = %p\n", static_cast<const void*>(i),
              static_cast<const void*>(i->Previous), static_cast<const void*>(i->Next));
  }
}

void num_prog_print_accumulator_list(FILE* out, const NumProg* program, int level,
                                     int verbose) {
  if (!out || !program || level < 2) return;
  for (const NumAccu* a = program->AccumulatorList; a; a = a->Next) {
    fprintf(out, "  Accumulator #%ld =", a->Number);
    fprintf(out, " %lg\n", a->Value);
    if (verbose && a == program->CurrentAccumulator) fprintf(out, "    (top of stack)\n");
  }
}

void num_prog_print_list(FILE* out, const NumProg* program, int level, int verbose) {
  if (!out || level < 1) return;
  if (!program) {
    for (const NumProg* p = numprog_root(); p; p = p->Next)
      num_prog_print_list(out, p, level, verbose);
    return;
  }
  if (verbose) fprintf(out, "%s\n", kSeparator);
  fprintf(out, " Program             = '%s'\n", program->Name ? program->Name : "");
  if (verbose) {
    fprintf(out, "  Previous = '%s', Next = '%s'\n",
            program->Previous && program->Previous->Name ? program->Previous->Name : "",
            program->Next && program->Next->Name ? program->Next->Name : "");
  }
  if (level < 2) return;
  num_prog_print_variable_list(out, program, level, verbose);
  fprintf(out, "  %s\n", "InstructionList");
  num_prog_print_instruction_list(out, program->InstructionList, level, verbose);
  if (verbose && program->CompiledList) {
    fprintf(out, "  %s\n", "CompiledList");
    num_prog_print_instruction_list(out, program->CompiledList, level, verbose);
  }
  num_prog_print_accumulator_list(out, program, level, verbose);
  if (verbose) fprintf(out, "%s\n", kSeparator);
}
