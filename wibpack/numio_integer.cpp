// numio integer grammar, evaluated while parsing, and num_str2long.
//
//   lvexpression = [ "+" | "-" ] lvterm { ("+" | "-") lvterm }
//   lvterm       = lvfactor { ("*" | "/" | "%") lvfactor }
//   lvfactor     = "(long int)" float-factor1 | "(round)" float-factor1
//                  (also "(longint)", as the cast reads without its blank)
//                | "(" lvexpression ")" | integer | true | false | yes | no
//                | constant | function "(" arguments ")"
//
// An lvexpression ends at the end of the text, at ",", ";" or a blank, and
// at ")" inside parentheses; any other character is a scan error.  The sum,
// product and quotient wrap around on overflow like two's complement
// arithmetic instead of invoking undefined behaviour.
#include <cctype>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <cstring>

#include "wibpack/numio_internal.h"

namespace numio {

namespace {

// Two's complement arithmetic without signed overflow.
inline long wrap(unsigned long v) {
  long r;
  memcpy(&r, &v, sizeof r);
  return r;
}
inline long add(long a, long b) { return wrap(static_cast<unsigned long>(a) + static_cast<unsigned long>(b)); }
inline long sub(long a, long b) { return wrap(static_cast<unsigned long>(a) - static_cast<unsigned long>(b)); }
inline long mul(long a, long b) { return wrap(static_cast<unsigned long>(a) * static_cast<unsigned long>(b)); }
inline long neg(long a) { return wrap(0UL - static_cast<unsigned long>(a)); }

inline bool is_blank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f'; }

// A whole-number double as long.  The range is -2^63 to 2^63; 2^63 itself,
// the double nearest to LONG_MAX, gives LONG_MAX.
long to_long(Parser& ps, double v) {
  const double limit = 9223372036854775808.0;  // 2^63
  if (std::isnan(v)) {
    ps.err = NumNoIntegerNumber;
    return 1;
  }
  if (v < -limit || v > limit) {
    ps.err = NumIntegerOverflow;
    return 1;
  }
  if (v >= limit) return LONG_MAX;
  return static_cast<long>(v);
}

bool starts_with_word(const char* p, const char* word) {
  return num_strncasecmp(p, word, strlen(word)) == 0;
}

long parse_lvexpression(Parser& ps, int depth);

long parse_lvterm(Parser& ps, int depth) {
  long value = parse_lvfactor(ps, depth);
  while (!ps.err && (*ps.p == '*' || *ps.p == '/' || *ps.p == '%')) {
    char op = *ps.p++;
    long f = parse_lvfactor(ps, depth);
    if (ps.err) break;
    if (op == '*') {
      value = mul(value, f);
    } else if (f == 0) {
      ps.err = NumDivByZero;
    } else if (f == -1) {  // LONG_MIN / -1 would trap
      value = op == '/' ? neg(value) : 0;
    } else {
      value = op == '/' ? value / f : value % f;
    }
  }
  return value;
}

long parse_lvexpression(Parser& ps, int depth) {
  bool negate = skip_sign(ps);
  long sum = parse_lvterm(ps, depth);
  if (negate) sum = neg(sum);
  while (!ps.err && (*ps.p == '+' || *ps.p == '-')) {
    char op = *ps.p++;
    long t = parse_lvterm(ps, depth);
    sum = op == '+' ? add(sum, t) : sub(sum, t);
  }
  if (ps.err) return sum;
  char c = *ps.p;
  if (c == '\0' || c == ',' || c == ';' || is_blank(c)) return sum;
  if (c == ')') {
    if (depth == 0) ps.err = NumBadParenthesis;
    return sum;
  }
  ps.err = NumScanError;
  return sum;
}

}  // namespace

long parse_lvfactor(Parser& ps, int depth) {
  if (ps.err) return 1;
  if (depth > kMaxDepth) {
    ps.err = NumBadParenthesis;
    return 1;
  }
  const char* p = ps.p;
  // "(longint)" is the same cast after blanks were removed from the text.
  size_t cast = strncmp(p, "(long int)", 10) == 0 ? 10 : strncmp(p, "(longint)", 9) == 0 ? 9 : 0;
  if (cast) {
    ps.p += cast;
    double v = evaluate_private(ps, depth + 1, Rule::Factor1);
    return ps.err ? 1 : to_long(ps, std::trunc(v));
  }
  if (strncmp(p, "(round)", 7) == 0) {
    ps.p += 7;
    double v = evaluate_private(ps, depth + 1, Rule::Factor1);
    return ps.err ? 1 : to_long(ps, std::floor(v + 0.5));
  }
  if (*p == '(') {
    ++ps.p;
    long v = parse_lvexpression(ps, depth + 1);
    if (ps.err) return 1;
    if (*ps.p != ')') {
      ps.err = NumBadParenthesis;
      return 1;
    }
    ++ps.p;
    return v;
  }
  if (*p >= '0' && *p <= '9') {
    char* end = nullptr;
    errno = 0;
    long v = strtol(p, &end, 10);
    ps.p = end;
    if (errno == ERANGE) {
      ps.err = NumIntegerOverflow;
      return 1;
    }
    return v;
  }
  if (!is_function_call(p)) {
    static const struct {
      const char* word;
      long value;
    } kWords[] = {{"true", 1}, {"false", 0}, {"yes", 1}, {"no", 0}};
    for (const auto& w : kWords)
      if (starts_with_word(p, w.word)) {
        ps.p += strlen(w.word);
        return w.value;
      }
    DPConstant* c = nullptr;
    int err = lookup_constant(p, &c);
    if (err) {
      ps.err = err;
      return 1;
    }
    ps.p += strlen(c->Key);
    return to_long(ps, std::floor(c->Value + 0.5));
  }
  double v = evaluate_private(ps, depth, Rule::Factor2);
  return ps.err ? 1 : to_long(ps, std::floor(v + 0.5));
}

}  // namespace numio

long num_str2long(const char* str, const char** tail, int* perrval) {
  numio::Parser ps;
  ps.p = str ? str : "";
  while (isspace(static_cast<unsigned char>(*ps.p))) ++ps.p;
  long value = numio::parse_lvexpression(ps, 0);
  if (tail) *tail = ps.p;
  if (perrval) *perrval = ps.err;
  return ps.err ? 0 : value;
}
