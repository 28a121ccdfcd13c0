// numio: numeric expressions.
//
// Every number a person types, and many header values, are read as
// expressions: '2*pi', '0.5_mm', 'min(3,x)', '(round)2.5'.  Two grammars:
//
//  - floating-point expressions (double), parsed into a small program for a
//    stack machine and run at once (num_str2double), or compiled once into a
//    named program with variables and run many times (num_str2prog,
//    num_runprog);
//  - integer expressions (long), evaluated while parsing (num_str2long);
//    integer factors may hold floating-point parts through casts
//    ("(long int)", "(round)"), functions and constants.
//
// Named constants and units (pi, mm, keV, ...) come from the constant table
// (dpconstant_*).  Errors are reported through an error value (NumErrval);
// nothing is printed except debug listings.  Single-threaded: the constant
// table, the program registry and the debug level are process-wide.
#ifndef WIBPACK_NUMIO_H
#define WIBPACK_NUMIO_H

#include <cstdio>

// Error values of all num_ routines.
enum NumErrval {
  NumSuccess = 0,
  NumMemoryAllocationError = 1,
  NumScanError = 2,
  NumCommaExpected = 3,
  NumBadParenthesis = 4,
  NumNoFloatNumber = 5,
  NumNoFloatFunction = 6,
  NumDomainError = 7,
  NumNoIntegerNumber = 8,
  NumIntegerOverflow = 9,
  NumDivByZero = 10,
  NumWriteError = 11,
  NumNoVariable = 12,
  NumVariableError = 13,
  NumProgramError = 14,
  NumNoInstruction = 15,
  NumNoAccumulator = 16
};

// Operation codes of the stack machine (names in NumCommandStrings).
enum NumCommand {
  NUM_INVALID = 0,
  NUM_PUSHVAL, NUM_PUSHADDR, NUM_NEG, NUM_MUL, NUM_NOT, NUM_EQU, NUM_NEQ,
  NUM_LE, NUM_LT, NUM_GE, NUM_GT, NUM_AND, NUM_OR, NUM_IF, NUM_DIV, NUM_REST,
  NUM_ADD, NUM_SUB, NUM_RAD, NUM_DEG, NUM_PI, NUM_SIN, NUM_COS, NUM_TAN,
  NUM_ASIN, NUM_ACOS, NUM_ATAN, NUM_ATAN2, NUM_SINH, NUM_COSH, NUM_TANH,
  NUM_FLOOR, NUM_CEIL, NUM_FABS, NUM_EXP, NUM_LOG, NUM_LOG10, NUM_POW,
  NUM_SQRT, NUM_ROUND, NUM_GAMMA, NUM_FMIN, NUM_FMAX, NUM_DEGC2K, NUM_K2DEGC,
  NUM_DEGF2K, NUM_K2DEGF, NUM_DEGK2K, NUM_K2DEGK, NUM_DEGF2DEGC, NUM_DEGC2DEGF,
  NUM_COMMANDS  // number of codes (52)
};

// Operation names indexed by code ("Invalid", "PUSHVAL", ...).
extern const char* const NumCommandStrings[NUM_COMMANDS];

// A variable of a compiled program.
typedef struct Num_Var {
  char* Key;     // name (owned copy)
  double Value;  // value pushed by PUSHADDR
  int Used;      // how many times the parser referred to the variable
  struct Num_Var* Previous;
  struct Num_Var* Next;
} NumVar;

// A value register of the stack.
typedef struct Num_Accu {
  long Number;   // 1 for the bottom register, counting up
  double Value;
  struct Num_Accu* Previous;
  struct Num_Accu* Next;
} NumAccu;

// One instruction.
typedef struct Num_Instr {
  int Command;      // NumCommand
  int Nargs;        // stack operands consumed: 0 to 3
  double Value;     // constant pushed by PUSHVAL
  double* Address;  // variable value pushed by PUSHADDR
  struct Num_Instr* Previous;
  struct Num_Instr* Next;
} NumInstr;

// A program: instruction list and register stack, owned by the registry.
typedef struct Num_Prog {
  char* Name;                   // name in the registry (owned copy)
  NumVar* VariableList;         // variables in definition order
  NumAccu* AccumulatorList;     // all registers ever created, bottom first
  NumAccu* CurrentAccumulator;  // top of the stack, null when empty
  NumInstr* InstructionList;    // the program, in execution order
  NumInstr* CompiledList;       // work list while compiling
  struct Num_Prog* Previous;    // neighbours in the registry
  struct Num_Prog* Next;
} NumProg;

// One named constant or unit; the value is in SI base units.
typedef struct Double_Constant {
  char* Key;       // name as typed in expressions (case-sensitive)
  double Value;
  char* Quantity;  // description, kept only when inserted with debug level > 0
  char* Unit;      // SI unit of Value, likewise
  struct Double_Constant* Previous;
  struct Double_Constant* Next;
} DPConstant;

// ---------------------------------------------------------------- evaluator
// In all functions a null perrval or tail is allowed; a null str counts as "".

// "numio : V1.35 Orrin 2012-04-11"
const char* numio_version();
// Sets the debug level (default 0).  Above 2 every floating-point
// evaluation prints its program listing to standard output; 2 or more prints
// the constant table when it is built; above 0 constant lookups are printed.
void numio_debug(int level);

// Floating-point expression; *tail receives the stop position.  0 on error.
double num_str2double(const char* str, const char** tail, int* perrval);
// Integer expression; *tail receives the stop position.  0 on error.
long num_str2long(const char* str, const char** tail, int* perrval);

// value as text ("%.<ndigits>lg", "%lg" for ndigits 0), expressed in unit
// when one is given ("1.5_mm").  Returns buffer, or null on error.
char* num_double2str(char* buffer, unsigned long buflen, double value, const char* unit,
                     int ndigits, int* perrval);
// "%ld" and "0x%lx", cut to buflen - 1 characters.  Null on error.
char* num_long2str(char* buffer, unsigned long buflen, long value, int* perrval);
char* num_long2hex(char* buffer, unsigned long buflen, long value, int* perrval);
// Text of an error value, cut to buflen - 1; null for a null buffer or buflen 0.
char* num_errval2str(char* buffer, unsigned long buflen, int errval);
// strcmp of the lower-case forms of at most n characters.
int num_strncasecmp(const char* s1, const char* s2, unsigned long n);

// ------------------------------------------------------- compiled programs
// Compiles str into a program registered under name (an existing program of
// that name is released first) with nvar variables whose names (const char*)
// follow, folds its constant parts and returns it; null on error.
NumProg* num_str2prog(const char* name, const char* str, const char** tail, int* perrval,
                      int nvar, ...);
// Runs a program: one double argument per variable, in definition order
// (pass doubles: 1.0, not 1).  0 on error.
double num_runprog(NumProg* program, int* perrval, ...);
// Releases a registered program; -1 and NumProgramError when not registered.
int num_rmprog(NumProg* program, int* perrval);
// The registered program of that name, or null.
NumProg* num_searchprog(const char* name, int* perrval);
// How often variable n (1 is the first) is referred to; 0 on error.
int num_chkvar(const NumProg* program, int n, int* perrval);
// Number of variables (0 for null).
long num_prog_variables(const NumProg* program);
// Memory occupied by a program (record, name, variables, registers and the
// instructions of both lists).
long num_prog_size(const NumProg* program);

// Registry primitives.  The registry is kept in descending strcmp order of
// the names; names are unique.
NumProg* numprog_new(const char* Name);  // replace or create; null on failure
// Creates and registers an empty program; -1 when the name exists (then
// *pprogram is the existing program) or on failure.
int numprog_insert(const char* Name, NumProg** pprogram);
int numprog_search(const char* Name, NumProg** pprogram);  // 0 found, -1 not
int numprog_free(NumProg* program);     // unlink and release; -1 if not registered
int numprog_remove(const char* Name);   // one program, or all for a null Name
const NumProg* numprog_root();          // first registered program (or null)

// Variables.  A name starts with a letter and continues with letters or
// digits.  append: 0 for a new variable, -1 for an invalid or existing name
// (*pvariable then points to the existing one).  search mode 1: the first
// variable whose whole name is a prefix of Key; mode 0: exact.
int numprog_append_variable(NumProg* program, const char* Key, double InitValue,
                            NumVar** pvariable);
int numprog_search_variable(const NumProg* program, const char* Key, NumVar** pvariable,
                            int mode);
int numprog_checkvar(const char* string);  // 0 valid, -1 otherwise

// Constant folding.  compile returns 0 or -1.  optimize performs one folding
// step from firstinstruction, appending to CompiledList; it returns the
// instruction where the next step starts (null at the end or on error).
int dpprogram_compile(NumProg* program, int* perrval);
NumInstr* dpprogram_optimize(NumProg* program, NumInstr* firstinstruction, int* perrval);

// Listings.  Level 1 prints the program line, level 2 or more everything;
// verbose adds the list neighbours.  A null program lists all programs.
void num_prog_print_list(FILE* out, const NumProg* program, int level, int verbose);
void num_prog_print_variable_list(FILE* out, const NumProg* program, int level, int verbose);
void num_prog_print_instruction_list(FILE* out, const NumInstr* list, int level,
                                     int verbose);
void num_prog_print_accumulator_list(FILE* out, const NumProg* program, int level,
                                     int verbose);
// One instruction as text ("%10s  %10g", "%10s *%10p", "%10s  %10s (%d args)").
char* numprog_ins2str(char* buffer, unsigned long buflen, const NumInstr* instruction);
// Name of an operation code ("Invalid" outside 0 to 51).
const char* numprog_cmd2str(int command);

// ----------------------------------------------------------- constant table
// Builds the table (0, or -1 when an insertion failed).
int dpconstant_init();
// Inserts Key at its place or overwrites the value of an existing key.
int dpconstant_insert(const char* Quantity, const char* Unit, const char* Key, double Value,
                      DPConstant** pdpconstant);
// A base unit with all decimal prefixes, plain, squared (u2) or cubed (u3).
int dpconstant_insert_unit(const char* Quantity, const char* Unit, const char* Baseunit,
                           double Basevalue);
int dpconstant_insert_unit2(const char* Quantity, const char* Unit, const char* Baseunit,
                            double Basevalue);
int dpconstant_insert_unit3(const char* Quantity, const char* Unit, const char* Baseunit,
                            double Basevalue);
// mode 0: the key equal to Key; mode 1: the longest key that begins Key.
// 0 found, -1 not found (*pdpconstant null).
int dpconstant_search(const char* Key, DPConstant** pdpconstant, int mode);
void dpconstant_print(FILE* out, int level, int verbose);
void dpconstant_free();
const DPConstant* dpconstant_root();  // first entry (largest key), or null

#endif
