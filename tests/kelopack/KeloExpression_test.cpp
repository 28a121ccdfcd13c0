#include "kelopack/KeloExpression.h"

#include <gtest/gtest.h>

#include <climits>
#include <cmath>

#include "kelopack/KeloError.h"
#include "wibpack/numio.h"

namespace {

TEST(KeloExpression, DoubleExpressions) {
  const struct {
    const char* text;
    double value;
    int status;
  } cases[] = {
      {"1 + 2 * 3", 7, Success},
      {"\t2 *\tpi # a comment, 5", 2 * M_PI, Success},
      {"2^3", 2, Failed},  // no power operator: the text goes on after 2
      {"1,5", 1, Success},
      {"1<2<3", 1, Failed},
      {"1/0", 0, DivByZero},
      {"sqrt(-1)", 0, DomainError},
      {"foo(1)", 0, UnknownFloatFunction},
      {"atan2(1)", 0, CommaExpected},
      {"(1", 0, BadParenthesis},
      {"x", 0, NoFloatNumber},
      {"1?2", 0, ScanError},
      {"_v", 0, NoVariable},
      {"", 0, NoFloatNumber},
      {"# only a comment", 0, NoFloatNumber},
      {"5 _ mm", 0.005, Success},
  };
  for (const auto& c : cases) {
    int status = 99;
    EXPECT_DOUBLE_EQ(doubleexpr(c.text, &status), c.value) << c.text;
    EXPECT_EQ(status, c.status) << c.text;
  }
  int status = 99;
  EXPECT_EQ(doubleexpr(nullptr, &status), 0.0);
  EXPECT_EQ(status, NoFloatNumber);
  EXPECT_EQ(doubleexpr("4", nullptr), 4.0);
}

TEST(KeloExpression, FloatAndLongExpressions) {
  int status = 99;
  EXPECT_EQ(floatexpr("0.1", &status), 0.1f);
  EXPECT_EQ(status, Success);
  EXPECT_TRUE(std::isinf(floatexpr("1e300", &status)));
  EXPECT_EQ(status, Success);

  const struct {
    const char* text;
    long value;
    int status;
  } cases[] = {
      {"7/2", 3, Success},
      {"-7 / 2", -3, Success},
      {"(round)2.5", 3, Success},
      {"(long int)2.9", 2, Success},
      {"(long int)(-2.9)", -2, Success},
      {"(long int)-2.9", 0, NoFloatNumber},
      {"TRUE", 1, Success},
      {"No", 0, Success},
      {"2.5", 0, ScanError},
      {"(round)1e30", 0, IntegerOverflow},
      {"99999999999999999999", 0, IntegerOverflow},
      {"1 2", 12, Success},  // blanks go before evaluation
      {"3,4", 3, Success},
      {"3;4", 3, Failed},
      {"1+2)", 0, BadParenthesis},
  };
  for (const auto& c : cases) {
    status = 99;
    EXPECT_EQ(longexpr(c.text, &status), c.value) << c.text;
    EXPECT_EQ(status, c.status) << c.text;
  }
}

TEST(KeloExpression, ErrorValuesToStatus) {
  const int expected[] = {Success, NotEnoughMemoryAvailable, ScanError, CommaExpected,
                          BadParenthesis, NoFloatNumber, UnknownFloatFunction, DomainError,
                          NoIntegerNumber, IntegerOverflow, DivByZero, ExpressionWriteError,
                          NoVariable, VariableError, ProgramError, NoInstruction, NoAccumulator};
  for (int e = 0; e <= NumNoAccumulator; ++e) EXPECT_EQ(errval2status(e), expected[e]) << e;
  EXPECT_EQ(errval2status(17), Failed);
  EXPECT_EQ(errval2status(-1), Failed);
  EXPECT_EQ(errval2status(INT_MAX), Failed);
}

}  // namespace
