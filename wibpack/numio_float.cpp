// numio floating-point grammar: a recursive-descent parser that appends the
// instructions of the stack machine in postfix order, and num_str2double.
//
//   condition    = logicsum [ "?" logicsum ":" logicsum ]
//   logicsum     = logicproduct { "||" logicproduct }
//   logicproduct = equality { "&&" equality }
//   equality     = comparison [ ("==" | "!=") comparison ]
//   comparison   = expression [ ("<" | "<=" | ">" | ">=") expression ]
//   expression   = [ "+" | "-" ] term { ("+" | "-") term }
//   term         = factor0 { ("*" | "/" | "%") factor0 }
//   factor0      = [ "!" ] factor1
//   factor1      = factor2 { "_" factor2 }
//   factor2      = "(double)" integer-factor | "(" condition ")" | number
//                | function "(" arguments ")" | "_" variable | constant
//
// Blanks are not skipped; a character no rule can use ends the innermost
// rule without error and the parse stops there.
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "wibpack/numio_internal.h"

namespace numio {

namespace {

struct Function {
  const char* name;  // including the opening parenthesis
  int command;       // NUM_PUSHVAL for pi()
  int nargs;
};

const Function kFunctions[] = {
    {"rad(", NUM_RAD, 1},           {"deg(", NUM_DEG, 1},
    {"pi(", NUM_PUSHVAL, 0},        {"sin(", NUM_SIN, 1},
    {"cos(", NUM_COS, 1},           {"tan(", NUM_TAN, 1},
    {"asin(", NUM_ASIN, 1},         {"acos(", NUM_ACOS, 1},
    {"atan(", NUM_ATAN, 1},         {"atan2(", NUM_ATAN2, 2},
    {"sinh(", NUM_SINH, 1},         {"cosh(", NUM_COSH, 1},
    {"tanh(", NUM_TANH, 1},         {"floor(", NUM_FLOOR, 1},
    {"ceil(", NUM_CEIL, 1},         {"abs(", NUM_FABS, 1},
    {"exp(", NUM_EXP, 1},           {"log(", NUM_LOG, 1},
    {"log10(", NUM_LOG10, 1},       {"pow(", NUM_POW, 2},
    {"sqrt(", NUM_SQRT, 1},         {"round(", NUM_ROUND, 1},
    {"gamma(", NUM_GAMMA, 1},       {"min(", NUM_FMIN, 2},
    {"max(", NUM_FMAX, 2},          {"degC2K(", NUM_DEGC2K, 1},
    {"K2degC(", NUM_K2DEGC, 1},     {"degF2K(", NUM_DEGF2K, 1},
    {"K2degF(", NUM_K2DEGF, 1},     {"degK2K(", NUM_DEGK2K, 1},
    {"K2degK(", NUM_K2DEGK, 1},     {"degF2degC(", NUM_DEGF2DEGC, 1},
    {"degC2degF(", NUM_DEGC2DEGF, 1},
};

const double kPi = 3.141592653589793;

inline bool is_alpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
inline bool is_digit(char c) { return c >= '0' && c <= '9'; }

void emit(Parser& ps, int command, double value = 0.0, double* address = nullptr) {
  if (ps.err) return;
  if (!append_instruction(&ps.prog->InstructionList, &ps.last, command,
                          command_nargs(command), value, address))
    ps.err = NumMemoryAllocationError;
}

void parse_expression(Parser& ps, int depth);

void parse_term(Parser& ps, int depth) {
  // factor0 = [ "!" ] factor1
  auto factor0 = [&]() {
    bool negate = *ps.p == '!';
    if (negate) ++ps.p;
    parse_factor1(ps, depth);
    if (negate) emit(ps, NUM_NOT);
  };
  factor0();
  while (!ps.err && (*ps.p == '*' || *ps.p == '/' || *ps.p == '%')) {
    char op = *ps.p++;
    factor0();
    emit(ps, op == '*' ? NUM_MUL : op == '/' ? NUM_DIV : NUM_REST);
  }
}

void parse_expression(Parser& ps, int depth) {
  bool negate = skip_sign(ps);
  parse_term(ps, depth);
  if (negate) emit(ps, NUM_NEG);
  while (!ps.err && (*ps.p == '+' || *ps.p == '-')) {
    char op = *ps.p++;
    parse_term(ps, depth);
    emit(ps, op == '+' ? NUM_ADD : NUM_SUB);
  }
  if (!ps.err && *ps.p == ')' && depth == 0) ps.err = NumBadParenthesis;
}

void parse_comparison(Parser& ps, int depth) {
  parse_expression(ps, depth);
  if (ps.err) return;
  int command = NUM_INVALID;
  if (ps.p[0] == '<') command = ps.p[1] == '=' ? NUM_LE : NUM_LT;
  else if (ps.p[0] == '>') command = ps.p[1] == '=' ? NUM_GE : NUM_GT;
  if (command == NUM_INVALID) return;
  ps.p += (command == NUM_LE || command == NUM_GE) ? 2 : 1;
  parse_expression(ps, depth);
  emit(ps, command);
}

void parse_equality(Parser& ps, int depth) {
  parse_comparison(ps, depth);
  if (ps.err || (ps.p[0] != '=' && ps.p[0] != '!') || ps.p[1] != '=') return;
  int command = ps.p[0] == '=' ? NUM_EQU : NUM_NEQ;
  ps.p += 2;
  parse_comparison(ps, depth);
  emit(ps, command);
}

void parse_logicproduct(Parser& ps, int depth) {
  parse_equality(ps, depth);
  while (!ps.err && ps.p[0] == '&' && ps.p[1] == '&') {
    ps.p += 2;
    parse_equality(ps, depth);
    emit(ps, NUM_AND);
  }
}

void parse_logicsum(Parser& ps, int depth) {
  parse_logicproduct(ps, depth);
  while (!ps.err && ps.p[0] == '|' && ps.p[1] == '|') {
    ps.p += 2;
    parse_logicproduct(ps, depth);
    emit(ps, NUM_OR);
  }
}

// A function call at ps.p (is_function_call holds).
void parse_function(Parser& ps, int depth) {
  const char* open = ps.p;
  while (*open != '(') ++open;
  size_t len = static_cast<size_t>(open - ps.p) + 1;  // with the parenthesis
  const Function* f = nullptr;
  for (const Function& candidate : kFunctions)
    if (strlen(candidate.name) == len && strncmp(candidate.name, ps.p, len) == 0) {
      f = &candidate;
      break;
    }
  if (!f) {
    ps.err = NumNoFloatFunction;
    return;
  }
  ps.p += len;
  for (int i = 0; i < f->nargs && !ps.err; ++i) {
    if (i > 0) {
      if (*ps.p != ',') {
        ps.err = NumCommaExpected;
        return;
      }
      ++ps.p;
    }
    parse_condition(ps, depth + 1);
  }
  if (ps.err) return;
  if (*ps.p != ')') {
    ps.err = NumBadParenthesis;
    return;
  }
  ++ps.p;
  emit(ps, f->command, f->command == NUM_PUSHVAL ? kPi : 0.0);
}

void parse_variable(Parser& ps) {
  ++ps.p;  // the underscore
  NumVar* var = nullptr;
  if (numprog_search_variable(ps.prog, ps.p, &var, 1)) {
    ps.err = NumNoVariable;
    return;
  }
  ps.p += strlen(var->Key);
  ++var->Used;
  emit(ps, NUM_PUSHADDR, 0.0, &var->Value);
}

}  // namespace

bool is_function_call(const char* p) {
  if (!is_alpha(*p)) return false;
  while (is_alpha(*p) || is_digit(*p)) ++p;
  return *p == '(';
}

void parse_factor2(Parser& ps, int depth) {
  if (ps.err) return;
  if (depth > kMaxDepth) {
    ps.err = NumBadParenthesis;
    return;
  }
  const char* p = ps.p;
  if (strncmp(p, "(double)", 8) == 0) {
    ps.p += 8;
    long v = parse_lvfactor(ps, depth + 1);
    emit(ps, NUM_PUSHVAL, static_cast<double>(v));
  } else if (*p == '(') {
    ++ps.p;
    parse_condition(ps, depth + 1);
    if (ps.err) return;
    if (*ps.p != ')') ps.err = NumBadParenthesis;
    else ++ps.p;
  } else if (is_digit(*p) || *p == '.') {
    char* end = nullptr;
    double v = strtod(p, &end);
    if (end == p) {
      ps.err = NumNoFloatNumber;
      return;
    }
    ps.p = end;
    emit(ps, NUM_PUSHVAL, v);
  } else if (is_function_call(p)) {
    parse_function(ps, depth);
  } else if (*p == '_') {
    parse_variable(ps);
  } else {
    DPConstant* c = nullptr;
    int err = lookup_constant(p, &c);
    if (err) {
      ps.err = err;
      return;
    }
    ps.p += strlen(c->Key);
    emit(ps, NUM_PUSHVAL, c->Value);
  }
}

void parse_factor1(Parser& ps, int depth) {
  parse_factor2(ps, depth);
  while (!ps.err && *ps.p == '_') {
    ++ps.p;
    parse_factor2(ps, depth);
    emit(ps, NUM_MUL);
  }
}

void parse_condition(Parser& ps, int depth) {
  parse_logicsum(ps, depth);
  if (ps.err || *ps.p != '?') return;
  ++ps.p;
  parse_logicsum(ps, depth);
  if (ps.err) return;
  if (*ps.p != ':') {
    ps.err = NumScanError;
    return;
  }
  ++ps.p;
  parse_logicsum(ps, depth);
  emit(ps, NUM_IF);
}

double evaluate_private(Parser& ps, int depth, Rule rule) {
  NumProg* prog = new_private_program("str2double");
  if (!prog) {
    ps.err = NumProgramError;
    return 0.0;
  }
  Parser inner;
  inner.p = ps.p;
  inner.prog = prog;
  switch (rule) {
    case Rule::Condition: parse_condition(inner, depth); break;
    case Rule::Factor1: parse_factor1(inner, depth); break;
    case Rule::Factor2: parse_factor2(inner, depth); break;
  }
  ps.p = inner.p;
  double value = 0.0;
  if (!inner.err) inner.err = run(prog, &value);
  debug_listing(prog, inner.err);
  release_program(prog);
  ps.err = inner.err;
  return inner.err ? 0.0 : value;
}

}  // namespace numio

double num_str2double(const char* str, const char** tail, int* perrval) {
  numio::Parser ps;
  ps.p = str ? str : "";
  while (isspace(static_cast<unsigned char>(*ps.p))) ++ps.p;
  double value = numio::evaluate_private(ps, 0, numio::Rule::Condition);
  if (tail) *tail = ps.p;
  if (perrval) *perrval = ps.err;
  return value;
}
