// Expression wrappers: blanks and comments removed, evaluation by numio,
// error values turned into status values.
#include "kelopack/KeloExpression.h"

#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloInput.h"
#include "wibpack/numio.h"

namespace {

inline void set_status(int* pstatus, int status) {
  if (pstatus) *pstatus = status;
}

// Evaluates a cleaned copy of s with the given numio evaluator.
template <typename T>
T evaluate(const char* s, int* pstatus, T (*evaluator)(const char*, const char**, int*)) {
  std::string copy;
  try {
    copy = s ? s : "";
  } catch (...) {
    set_status(pstatus, NotEnoughMemoryAvailable);
    return 0;
  }
  EditLine(EditRemoveBlanks | EditUncomment, copy.data());
  const char* text = copy.c_str();
  const char* tail = text;
  int errval = NumSuccess;
  T value = evaluator(text, &tail, &errval);
  int status = errval2status(errval);
  if (status == Success && *tail && *tail != ',') status = Failed;
  set_status(pstatus, status);
  return value;
}

}  // namespace

int errval2status(int errval) {
  switch (errval) {
    case NumSuccess: return Success;
    case NumMemoryAllocationError: return NotEnoughMemoryAvailable;
    case NumScanError: return ScanError;
    case NumCommaExpected: return CommaExpected;
    case NumBadParenthesis: return BadParenthesis;
    case NumNoFloatNumber: return NoFloatNumber;
    case NumNoFloatFunction: return UnknownFloatFunction;
    case NumDomainError: return DomainError;
    case NumNoIntegerNumber: return NoIntegerNumber;
    case NumIntegerOverflow: return IntegerOverflow;
    case NumDivByZero: return DivByZero;
    case NumWriteError: return ExpressionWriteError;
    case NumNoVariable: return NoVariable;
    case NumVariableError: return VariableError;
    case NumProgramError: return ProgramError;
    case NumNoInstruction: return NoInstruction;
    case NumNoAccumulator: return NoAccumulator;
    default: return Failed;
  }
}

double doubleexpr(const char* s, int* pstatus) { return evaluate<double>(s, pstatus, num_str2double); }

float floatexpr(const char* s, int* pstatus) { return static_cast<float>(doubleexpr(s, pstatus)); }

long longexpr(const char* s, int* pstatus) { return evaluate<long>(s, pstatus, num_str2long); }
