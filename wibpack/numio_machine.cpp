// numio stack machine: the operations and the run loop.  The register stack
// never shrinks: popping moves CurrentAccumulator down, pushing reuses the
// next register, so repeated runs of a program allocate nothing.
#include <cmath>
#include <new>

#include "wibpack/gamma.h"
#include "wibpack/numio_internal.h"

const char* const NumCommandStrings[NUM_COMMANDS] = {
    "Invalid", "PUSHVAL", "PUSHADDR", "NEG",    "MUL",     "NOT",       "EQU",
    "NEQ",     "LE",      "LT",       "GE",     "GT",      "AND",       "OR",
    "IF",      "DIV",     "REST",     "ADD",    "SUB",     "RAD",       "DEG",
    "PI",      "SIN",     "COS",      "TAN",    "ASIN",    "ACOS",      "ATAN",
    "ATAN2",   "SINH",    "COSH",     "TANH",   "FLOOR",   "CEIL",      "FABS",
    "EXP",     "LOG",     "LOG10",    "POW",    "SQRT",    "ROUND",     "GAMMA",
    "FMIN",    "FMAX",    "DEGC2K",   "K2DEGC", "DEGF2K",  "K2DEGF",    "DEGK2K",
    "K2DEGK",  "DEGF2DEGC", "DEGC2DEGF",
};

namespace {

const signed char kNargs[NUM_COMMANDS] = {
    -1, 0, 0, 1, 2, 1, 2,  // Invalid PUSHVAL PUSHADDR NEG MUL NOT EQU
    2, 2, 2, 2, 2, 2, 2,   // NEQ LE LT GE GT AND OR
    3, 2, 2, 2, 2, 1, 1,   // IF DIV REST ADD SUB RAD DEG
    0, 1, 1, 1, 1, 1, 1,   // PI SIN COS TAN ASIN ACOS ATAN
    2, 1, 1, 1, 1, 1, 1,   // ATAN2 SINH COSH TANH FLOOR CEIL FABS
    1, 1, 1, 2, 1, 1, 1,   // EXP LOG LOG10 POW SQRT ROUND GAMMA
    2, 2, 1, 1, 1, 1, 1,   // FMIN FMAX DEGC2K K2DEGC DEGF2K K2DEGF DEGK2K
    1, 1, 1,               // K2DEGK DEGF2DEGC DEGC2DEGF
};

const double kPi = 3.141592653589793;
const double kFiveNinths = 0.5555555555555556;

// a to the power b with the rules for zero and negative bases.
int power(double a, double b, double* result) {
  if (b == 0.0) {
    *result = 1.0;
  } else if (a > 0.0) {
    *result = b > 0.0 ? std::pow(a, b) : 1.0 / std::pow(a, -b);
  } else if (a == 0.0) {
    if (!(b > 0.0)) return NumDomainError;
    *result = 0.0;
  } else {
    if (!(std::floor(b + 0.5) == b)) return NumDomainError;
    *result = b > 0.0 ? std::pow(a, b) : 1.0 / std::pow(a, -b);
  }
  return NumSuccess;
}

// One operation on its operands: x for one, a (deeper) and b (top) for two,
// c, a, b for three.
inline int operate(int command, double c, double a, double b, double* r) {
  double x = b;
  switch (command) {
    case NUM_NEG: *r = -x; break;
    case NUM_MUL: *r = a * b; break;
    case NUM_NOT: *r = x == 0.0 ? 1.0 : 0.0; break;
    case NUM_EQU: *r = a == b ? 1.0 : 0.0; break;
    case NUM_NEQ: *r = a == b ? 0.0 : 1.0; break;
    case NUM_LE: *r = a <= b ? 1.0 : 0.0; break;
    case NUM_LT: *r = a < b ? 1.0 : 0.0; break;
    case NUM_GE: *r = a >= b ? 1.0 : 0.0; break;
    case NUM_GT: *r = a > b ? 1.0 : 0.0; break;
    case NUM_AND: *r = (a != 0.0 && b != 0.0) ? 1.0 : 0.0; break;
    case NUM_OR: *r = (a != 0.0 || b != 0.0) ? 1.0 : 0.0; break;
    case NUM_IF: *r = c != 0.0 ? a : b; break;
    case NUM_DIV:
      if (b == 0.0) return NumDivByZero;
      *r = a / b;
      break;
    case NUM_REST:
      if (b == 0.0) return NumDivByZero;
      *r = a - std::floor(a / b) * b;
      break;
    case NUM_ADD: *r = a + b; break;
    case NUM_SUB: *r = a - b; break;
    case NUM_RAD: *r = x * 0.017453292519943295; break;
    case NUM_DEG: *r = x * 57.29577951308232; break;
    case NUM_SIN: *r = std::sin(x); break;
    case NUM_COS: *r = std::cos(x); break;
    case NUM_TAN: *r = std::tan(x); break;
    case NUM_ASIN:
      if (!(std::fabs(x) <= 1.0)) return NumDomainError;
      *r = std::asin(x);
      break;
    case NUM_ACOS:
      if (!(std::fabs(x) <= 1.0)) return NumDomainError;
      *r = std::acos(x);
      break;
    case NUM_ATAN: *r = std::atan(x); break;
    case NUM_ATAN2: *r = std::atan2(a, b); break;
    case NUM_SINH: *r = std::sinh(x); break;
    case NUM_COSH: *r = std::cosh(x); break;
    case NUM_TANH: *r = std::tanh(x); break;
    case NUM_FLOOR: *r = std::floor(x); break;
    case NUM_CEIL: *r = std::ceil(x); break;
    case NUM_FABS: *r = std::fabs(x); break;
    case NUM_EXP: *r = std::exp(x); break;
    case NUM_LOG:
      if (!(x > 0.0)) return NumDomainError;
      *r = std::log(x);
      break;
    case NUM_LOG10:
      if (!(x > 0.0)) return NumDomainError;
      *r = std::log10(x);
      break;
    case NUM_POW: return power(a, b, r);
    case NUM_SQRT:
      if (!(x >= 0.0)) return NumDomainError;
      *r = std::sqrt(x);
      break;
    case NUM_ROUND: *r = std::floor(x + 0.5); break;
    case NUM_GAMMA: *r = wibpack::gamma(x); break;
    case NUM_FMIN: *r = a < b ? a : b; break;
    case NUM_FMAX: *r = b < a ? a : b; break;
    case NUM_DEGC2K: *r = x + 273.15; break;
    case NUM_K2DEGC: *r = x - 273.15; break;
    case NUM_DEGF2K: *r = (x - 32.0) * kFiveNinths + 273.15; break;
    case NUM_K2DEGF: *r = (x - 273.15) * 1.8 + 32.0; break;
    case NUM_DEGK2K:
    case NUM_K2DEGK: *r = x; break;
    case NUM_DEGF2DEGC: *r = (x - 32.0) * kFiveNinths; break;
    case NUM_DEGC2DEGF: *r = 1.8 * x + 32.0; break;
    default: return NumNoInstruction;
  }
  return NumSuccess;
}

// Appends a new register above the top; null on memory failure.
NumAccu* grow(NumProg* prog) {
  NumAccu* top = prog->CurrentAccumulator;
  NumAccu* a = new (std::nothrow) NumAccu{};
  if (!a) return nullptr;
  a->Number = top ? top->Number + 1 : 1;
  a->Previous = top;
  if (top) top->Next = a;
  else prog->AccumulatorList = a;
  return a;
}

inline int push_value(NumProg* prog, double value) {
  NumAccu* top = prog->CurrentAccumulator;
  NumAccu* next = top ? top->Next : prog->AccumulatorList;
  if (!next && !(next = grow(prog))) return NumMemoryAllocationError;
  next->Value = value;
  prog->CurrentAccumulator = next;
  return NumSuccess;
}

inline int execute_one(NumProg* prog, const NumInstr* ins) {
  int command = ins->Command;
  if (command <= NUM_INVALID || command >= NUM_COMMANDS) return NumNoInstruction;
  switch (command) {
    case NUM_PUSHVAL: return push_value(prog, ins->Value);
    case NUM_PUSHADDR:
      if (!ins->Address) return NumNoVariable;
      return push_value(prog, *ins->Address);
    case NUM_PI: return push_value(prog, kPi);
    default: break;
  }
  int nargs = kNargs[command];
  NumAccu* top = prog->CurrentAccumulator;
  if (!top || top->Number < nargs) return NumNoAccumulator;
  double c = 0.0, a = 0.0, b = top->Value;
  NumAccu* result = top;
  if (nargs >= 2) {
    result = top->Previous;
    a = result->Value;
  }
  if (nargs == 3) {
    result = result->Previous;
    c = result->Value;
  }
  int err = operate(command, c, a, b, &result->Value);
  prog->CurrentAccumulator = result;
  return err;
}

}  // namespace

namespace numio {

int command_nargs(int command) {
  return command < 0 || command >= NUM_COMMANDS ? -1 : kNargs[command];
}

int push(NumProg* prog, double value) { return push_value(prog, value); }

int execute(NumProg* prog, const NumInstr* instruction) {
  return execute_one(prog, instruction);
}

int run(NumProg* prog, double* result) {
  *result = 0.0;
  if (!prog) return NumProgramError;
  if (!prog->InstructionList) return NumNoInstruction;
  // The common operations run on a local top-of-stack pointer; all others go
  // through execute_one.
  NumAccu* top = nullptr;
  int err = NumSuccess;
  for (const NumInstr* ins = prog->InstructionList; ins; ins = ins->Next) {
    double value;
    switch (ins->Command) {
      case NUM_PUSHVAL: value = ins->Value; break;
      case NUM_PUSHADDR:
        if (!ins->Address) return NumNoVariable;
        value = *ins->Address;
        break;
      case NUM_MUL:
      case NUM_ADD:
      case NUM_SUB: {
        if (!top || !top->Previous) return NumNoAccumulator;
        NumAccu* a = top->Previous;
        if (ins->Command == NUM_MUL) a->Value = a->Value * top->Value;
        else if (ins->Command == NUM_ADD) a->Value = a->Value + top->Value;
        else a->Value = a->Value - top->Value;
        top = a;
        continue;
      }
      default:
        prog->CurrentAccumulator = top;
        if ((err = execute_one(prog, ins))) return err;
        top = prog->CurrentAccumulator;
        continue;
    }
    NumAccu* next = top ? top->Next : prog->AccumulatorList;
    if (!next) {
      prog->CurrentAccumulator = top;
      if (!(next = grow(prog))) return NumMemoryAllocationError;
    }
    next->Value = value;
    top = next;
  }
  prog->CurrentAccumulator = top;
  if (!top) return NumNoAccumulator;
  *result = top->Value;
  return NumSuccess;
}

}  // namespace numio
