// numio internals shared by the module's source files: the parser state of
// both grammars, the stack machine's primitives and the private programs
// used by single evaluations.
#ifndef WIBPACK_NUMIO_INTERNAL_H
#define WIBPACK_NUMIO_INTERNAL_H

#include "wibpack/numio.h"

namespace numio {

// Nesting guard: parentheses, function arguments and casts deeper than this
// end the parse with NumBadParenthesis instead of exhausting the call stack.
constexpr int kMaxDepth = 400;

// Current debug level (numio_debug), read on every program run.
extern int debug;
inline int debug_level() { return debug; }

// Parser state.  Both grammars read from p and stop at the first error;
// the floating-point grammar appends instructions to prog.
struct Parser {
  const char* p = "";
  int err = NumSuccess;
  NumProg* prog = nullptr;    // program receiving the instructions
  NumInstr* last = nullptr;   // its last instruction (append point)
};

// Skips the optional sign that may start an expression of either grammar;
// true for "-".
inline bool skip_sign(Parser& ps) {
  if (*ps.p != '+' && *ps.p != '-') return false;
  return *ps.p++ == '-';
}

// Floating-point grammar (numio_float.cpp).
void parse_condition(Parser& ps, int depth);
void parse_factor1(Parser& ps, int depth);
void parse_factor2(Parser& ps, int depth);
// True when p starts with a function call: letters and digits, not starting
// with a digit, directly followed by "(".
bool is_function_call(const char* p);
// The rule a private evaluation parses.
enum class Rule { Condition, Factor1, Factor2 };
// Parses one rule at ps.p into a private program, runs it and releases it;
// ps.p moves past the text read and ps.err receives the error value.
double evaluate_private(Parser& ps, int depth, Rule rule);

// Integer grammar (numio_integer.cpp): one integer factor.
long parse_lvfactor(Parser& ps, int depth);

// Stack machine (numio_machine.cpp).
// Operands taken from the stack by an operation code (-1 for invalid codes).
int command_nargs(int command);
// Current stack depth.
inline long stack_depth(const NumProg* prog) {
  return prog->CurrentAccumulator ? prog->CurrentAccumulator->Number : 0;
}
// Pushes a value, reusing the next register or appending a new one.
int push(NumProg* prog, double value);
// Executes one instruction on the program's stack.
int execute(NumProg* prog, const NumInstr* instruction);
// Empties the stack and runs the instruction list; *result is the top register.
int run(NumProg* prog, double* result);

// Programs (numio_program.cpp).
// An empty program outside the registry (for single evaluations).
NumProg* new_private_program(const char* name);
// Releases a program's lists, name and record (does not unlink it).
void release_program(NumProg* prog);
// Frees an instruction list.
void free_instructions(NumInstr* list);
// Appends an instruction after *last (or as the first of *head).
NumInstr* append_instruction(NumInstr** head, NumInstr** last, int command, int nargs,
                             double value, double* address);
// Prints a program listing to stderr for error values above
// NumVariableError, otherwise to stdout when the debug level is above 2.
void debug_listing(const NumProg* prog, int errval);

// Constant table (numio_constant.cpp): builds it on first need.  Longest
// prefix lookup; 0 and the entry when found.
int lookup_constant(const char* text, DPConstant** entry);

// Heap copy made with malloc (release with free), null on failure.
char* newstr(const char* s);

}  // namespace numio

#endif
