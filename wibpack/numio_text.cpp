// numio texts and conversions: numbers to text (with units), error texts,
// case-insensitive comparison, the version string and the debug level.
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "wibpack/numio_internal.h"

namespace numio {

int debug = 0;

}  // namespace numio

namespace {

inline void set_err(int* perrval, int err) {
  if (perrval) *perrval = err;
}

const char* const kErrorTexts[] = {
    "success",
    "memory allocation failed",
    "error scanning expression",
    "missing comma in expression",
    "bad parenthesis in expression",
    "expression is not a float number",
    "unknown float function in expression",
    "domain error",
    "expression is not an integer number",
    "integer overflow",
    "division by zero",
    "error writing value",
    "undefined variable",
    "unknown error value",  // NumVariableError has no text of its own
    "error creating program",
    "unknown program instruction",
    "not enough program registers",
};

// Copies src into buffer, cut to buflen - 1 characters.
char* copy_cut(char* buffer, unsigned long buflen, const char* src) {
  size_t n = strlen(src);
  if (n > buflen - 1) n = buflen - 1;
  memcpy(buffer, src, n);
  buffer[n] = '\0';
  return buffer;
}

// The number text of value with ndigits significant digits ("%lg" for 0).
std::string number_text(double value, int ndigits) {
  char format[16];
  if (ndigits == 0) {
    snprintf(format, sizeof format, "%%lg");
  } else {
    long n = ndigits < 0 ? -static_cast<long>(ndigits) : ndigits;
    if (n > 80) n = 80;
    snprintf(format, sizeof format, "%%.%ldlg", n);
  }
  char text[512];
  int len = snprintf(text, sizeof text, format, value);
  if (len < 0) return std::string();
  return std::string(text);
}

// Copies a formatted integer (len from snprintf) into buffer.
char* integer_text(char* buffer, unsigned long buflen, const char* text, int len,
                   int* perrval) {
  if (!buffer || buflen == 0 || len < 0) {
    set_err(perrval, NumWriteError);
    return nullptr;
  }
  set_err(perrval, NumSuccess);
  return copy_cut(buffer, buflen, text);
}

}  // namespace

const char* numio_version() { return "numio : V1.35 Orrin 2012-04-11"; }

void numio_debug(int level) { numio::debug = level; }

char* num_double2str(char* buffer, unsigned long buflen, double value, const char* unit,
                     int ndigits, int* perrval) {
  if (!buffer || buflen == 0) {
    set_err(perrval, NumWriteError);
    return nullptr;
  }
  try {
    if (!unit || !*unit) {
      std::string text = number_text(value, ndigits);
      if (text.empty()) {
        set_err(perrval, NumWriteError);
        return nullptr;
      }
      set_err(perrval, NumSuccess);
      return copy_cut(buffer, buflen, text.c_str());
    }
    int err = NumSuccess;
    double u = num_str2double(unit, nullptr, &err);
    if (!err && u == 0.0) err = NumDivByZero;
    if (err) {
      set_err(perrval, err);
      return nullptr;
    }
    std::string zero_text = std::string("0_") + unit;
    double z = num_str2double(zero_text.c_str(), nullptr, &err);
    if (err) {
      set_err(perrval, err);
      return nullptr;
    }
    std::string text = number_text(value / u, ndigits);
    if (text.empty()) {
      set_err(perrval, NumWriteError);
      return nullptr;
    }
    text += z == 0.0 ? std::string("_") + unit : std::string("_(") + unit + ")";
    if (text.size() + 1 > buflen) {
      set_err(perrval, NumWriteError);
      return nullptr;
    }
    memcpy(buffer, text.c_str(), text.size() + 1);
    set_err(perrval, NumSuccess);
    return buffer;
  } catch (...) {
    set_err(perrval, NumMemoryAllocationError);
    return nullptr;
  }
}

char* num_long2str(char* buffer, unsigned long buflen, long value, int* perrval) {
  char text[32];
  int len = snprintf(text, sizeof text, "%ld", value);
  return integer_text(buffer, buflen, text, len, perrval);
}

char* num_long2hex(char* buffer, unsigned long buflen, long value, int* perrval) {
  char text[32];
  int len = snprintf(text, sizeof text, "0x%lx", static_cast<unsigned long>(value));
  return integer_text(buffer, buflen, text, len, perrval);
}

char* num_errval2str(char* buffer, unsigned long buflen, int errval) {
  if (!buffer || buflen == 0) return nullptr;
  const int count = static_cast<int>(sizeof kErrorTexts / sizeof kErrorTexts[0]);
  const char* text = errval >= 0 && errval < count ? kErrorTexts[errval] : "unknown error value";
  return copy_cut(buffer, buflen, text);
}

int num_strncasecmp(const char* s1, const char* s2, unsigned long n) {
  if (!s1) s1 = "";
  if (!s2) s2 = "";
  for (unsigned long i = 0; i < n; ++i) {
    int c1 = tolower(static_cast<unsigned char>(s1[i]));
    int c2 = tolower(static_cast<unsigned char>(s2[i]));
    if (c1 != c2) return c1 - c2;
    if (c1 == 0) break;
  }
  return 0;
}
