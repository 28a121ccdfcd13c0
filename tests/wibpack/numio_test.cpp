#include "wibpack/numio.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <climits>
#include <cmath>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

struct FloatCase {
  const char* text;
  double value;  // expected value when err is NumSuccess
  int err;
  const char* rest;  // text left unread (null: not checked)
};

TEST(NumioFloat, Expressions) {
  const double pi = 3.141592653589793;
  const FloatCase cases[] = {
      {"1+2*3", 7, NumSuccess, ""},
      {"  2*3", 6, NumSuccess, ""},
      {"10%3", 1, NumSuccess, ""},
      {"(-7)%3", 2, NumSuccess, ""},
      {"7%-3", 0, NumNoFloatNumber, nullptr},
      {"7%(-3)", -2, NumSuccess, ""},
      {"-7%3", -1, NumSuccess, ""},
      {"1/0", 0, NumDivByZero, nullptr},
      {"5%0", 0, NumDivByZero, nullptr},
      {"1<2<3", 1, NumSuccess, "<3"},
      {"1==1==0", 1, NumSuccess, "==0"},
      {"1?2:3", 2, NumSuccess, ""},
      {"0?2:3", 3, NumSuccess, ""},
      {"1?2", 0, NumScanError, nullptr},
      {"0?1:(1?5:6)", 5, NumSuccess, ""},
      {"pow(-8,1/3)", 0, NumDomainError, nullptr},
      {"pow(-2,3)", -8, NumSuccess, ""},
      {"pow(-2,-2)", 0.25, NumSuccess, ""},
      {"pow(0,0)", 1, NumSuccess, ""},
      {"pow(0,2)", 0, NumSuccess, ""},
      {"pow(0,-1)", 0, NumDomainError, nullptr},
      {"pow(2,-1)", 0.5, NumSuccess, ""},
      {"sqrt(-1)", 0, NumDomainError, nullptr},
      {"log(0)", 0, NumDomainError, nullptr},
      {"log10(-1)", 0, NumDomainError, nullptr},
      {"asin(2)", 0, NumDomainError, nullptr},
      {"acos(-1.5)", 0, NumDomainError, nullptr},
      {"sin(1", 0, NumBadParenthesis, nullptr},
      {"sin(", 0, NumNoFloatNumber, nullptr},
      {"sin()", 0, NumNoFloatNumber, nullptr},
      {"foo(1)", 0, NumNoFloatFunction, nullptr},
      {"Sin(1)", 0, NumNoFloatFunction, nullptr},
      {"atan2(1)", 0, NumCommaExpected, nullptr},
      {"(1+2", 0, NumBadParenthesis, nullptr},
      {"1+2)", 0, NumBadParenthesis, nullptr},
      {"(1+2))", 0, NumBadParenthesis, nullptr},
      {"_x", 0, NumNoVariable, nullptr},
      {"2*-3", 0, NumNoFloatNumber, nullptr},
      {"2*(-3)", -6, NumSuccess, ""},
      {"2^3", 2, NumSuccess, "^3"},
      {"1,5", 1, NumSuccess, ",5"},
      {"", 0, NumNoFloatNumber, nullptr},
      {".", 0, NumNoFloatNumber, nullptr},
      {"!0", 1, NumSuccess, ""},
      {"!2", 0, NumSuccess, ""},
      {"1&&0||1", 1, NumSuccess, ""},
      {"1&&0", 0, NumSuccess, ""},
      {"2!=2", 0, NumSuccess, ""},
      {"2<=2", 1, NumSuccess, ""},
      {"3>=4", 0, NumSuccess, ""},
      {"3>2", 1, NumSuccess, ""},
      {"1.5e3", 1500, NumSuccess, ""},
      {"2_m/s", 2, NumSuccess, ""},
      {"2_mm", 0.002, NumSuccess, ""},
      {"10_deg", 0.17453292519943295, NumSuccess, ""},
      {"3_Torr", 399.9672, NumSuccess, ""},
      {"1_KiByte", 1024, NumSuccess, ""},
      {"min", 60, NumSuccess, ""},
      {"min(3,4)", 3, NumSuccess, ""},
      {"max(3,4)", 4, NumSuccess, ""},
      {"mile", 1609.344, NumSuccess, ""},
      {"mi", 1, NumSuccess, "i"},
      {"1_G", 0.0001, NumSuccess, ""},
      {"1_kG", 0.1, NumSuccess, ""},
      {"mm2", 1e-6, NumSuccess, ""},
      {"cm3", 1e-6, NumSuccess, ""},
      {"ms2", 1e-6, NumSuccess, ""},
      {"zm2", 1e-21, NumSuccess, "2"},  // zeptometre, then the text 2
      {"Mm", 1e6, NumSuccess, ""},
      {"mm", 1e-3, NumSuccess, ""},
      {"Pa", 1, NumSuccess, ""},
      {"PA", 1e15, NumSuccess, ""},  // peta-ampere, not pascal
      {"pi", pi, NumSuccess, ""},
      {"pi()", pi, NumSuccess, ""},
      {"pi2", pi, NumSuccess, "2"},
      {"inf", DBL_MAX, NumSuccess, ""},
      {"infinity", DBL_MAX, NumSuccess, "inity"},
      {"gamma", 0.5772156649015329, NumSuccess, ""},
      {"gamma(5)", 24, NumSuccess, ""},
      {"rad(180)", pi, NumSuccess, ""},
      {"deg(pi)", 180, NumSuccess, ""},
      {"atan2(1,0)", pi / 2, NumSuccess, ""},
      {"abs(-2)", 2, NumSuccess, ""},
      {"round(2.5)", 3, NumSuccess, ""},
      {"round(-2.5)", -2, NumSuccess, ""},
      {"floor(-1.5)+ceil(1.2)", 0, NumSuccess, ""},
      {"degC2K(0)", 273.15, NumSuccess, ""},
      {"K2degF(273.15)", 32, NumSuccess, ""},
      {"degF2degC(212)", 100, NumSuccess, ""},
      {"degC2degF(100)", 212, NumSuccess, ""},
      {"degK2K(7)+K2degK(1)", 8, NumSuccess, ""},
      {"(double)7/2", 3.5, NumSuccess, ""},
      {"(double)(long int)2.9", 2, NumSuccess, ""},
      {"(double)(long int)(double)(round)2.5", 3, NumSuccess, ""},
      {"4_(1+1)", 8, NumSuccess, ""},
  };
  for (const auto& c : cases) {
    int err = -1;
    const char* tail = nullptr;
    double v = num_str2double(c.text, &tail, &err);
    EXPECT_EQ(err, c.err) << c.text;
    EXPECT_DOUBLE_EQ(v, c.err == NumSuccess ? c.value : 0.0) << c.text;
    if (c.rest) {
      EXPECT_STREQ(tail, c.rest) << c.text;
    }
  }
}

TEST(NumioFloat, UnitsAndSpecialValues) {
  int err = -1;
  EXPECT_DOUBLE_EQ(num_str2double("1_keV", nullptr, &err), 1.60217653e-16);
  EXPECT_DOUBLE_EQ(num_str2double("2*pi+8.04_keV/1_eV", nullptr, &err), 2 * M_PI + 8040);
  EXPECT_EQ(err, NumSuccess);
  // Overflow gives infinity, NaN propagates, NEG flips the sign bit.
  EXPECT_TRUE(std::isinf(num_str2double("inf*10", nullptr, &err)));
  EXPECT_TRUE(std::isnan(num_str2double("sin(inf*10)", nullptr, &err)));
  EXPECT_EQ(err, NumSuccess);
  EXPECT_TRUE(std::signbit(num_str2double("-0", nullptr, &err)));
  // NaN counts as true in IF, AND and as nonzero in NOT.
  EXPECT_EQ(num_str2double("sin(inf*10)?1:2", nullptr, &err), 1);
  EXPECT_EQ(num_str2double("!sin(inf*10)", nullptr, &err), 0);
  EXPECT_TRUE(std::isnan(num_str2double("pow(sin(inf*10),2)", nullptr, &err)));
  EXPECT_EQ(num_str2double("pow(sin(inf*10),0)", nullptr, &err), 1);
  EXPECT_EQ(err, NumSuccess);
  num_str2double("sqrt(sin(inf*10))", nullptr, &err);
  EXPECT_EQ(err, NumDomainError);
  // Null text, null tail and null error value are allowed.
  EXPECT_EQ(num_str2double(nullptr, nullptr, nullptr), 0.0);
  EXPECT_EQ(num_str2double("3", nullptr, nullptr), 3.0);
}

struct LongCase {
  const char* text;
  long value;
  int err;
  const char* rest;
};

TEST(NumioLong, Expressions) {
  const LongCase cases[] = {
      {"7/2", 3, NumSuccess, ""},
      {"-7/2", -3, NumSuccess, ""},
      {"-7%3", -1, NumSuccess, ""},
      {"7%(-3)", 1, NumSuccess, ""},
      {"2*3+4", 10, NumSuccess, ""},
      {"  12", 12, NumSuccess, ""},
      {"(round)2.5", 3, NumSuccess, ""},
      {"(round)(-2.5)", -2, NumSuccess, ""},
      {"(long int)2.9", 2, NumSuccess, ""},
      {"(long int)(-2.9)", -2, NumSuccess, ""},
      {"(longint)2.9", 2, NumSuccess, ""},
      {"(long int)-2.9", 0, NumNoFloatNumber, nullptr},
      {"(long int)1.5_mm/1_um", 0, NumScanError, nullptr},
      {"(round)(1.5_mm/1_um)", 1500, NumSuccess, ""},
      {"TRUE", 1, NumSuccess, ""},
      {"false", 0, NumSuccess, ""},
      {"Yes", 1, NumSuccess, ""},
      {"No", 0, NumSuccess, ""},
      {"2.5", 0, NumScanError, nullptr},
      {"(round)1e30", 0, NumIntegerOverflow, nullptr},
      {"(round)(0-1e19)", 0, NumIntegerOverflow, nullptr},
      {"(round)(sin(inf*10))", 0, NumNoIntegerNumber, nullptr},
      {"(round)9223372036854775807", LONG_MAX, NumSuccess, ""},
      {"2*-3", 0, NumNoFloatNumber, nullptr},
      {"2*(-3)", -6, NumSuccess, ""},
      {"1/0", 0, NumDivByZero, nullptr},
      {"1%0", 0, NumDivByZero, nullptr},
      {"(1+2", 0, NumBadParenthesis, nullptr},
      {"1+2)", 0, NumBadParenthesis, nullptr},
      {"1,2", 1, NumSuccess, ",2"},
      {"1;2", 1, NumSuccess, ";2"},
      {"1 2", 1, NumSuccess, " 2"},
      {"1<2", 0, NumScanError, nullptr},
      {"km", 1000, NumSuccess, ""},
      {"pi", 3, NumSuccess, ""},
      {"min(2,3)", 2, NumSuccess, ""},
      {"pow(2,10)", 1024, NumSuccess, ""},
      {"foo(2)", 0, NumNoFloatFunction, nullptr},
      {"x", 0, NumNoFloatNumber, nullptr},
      {"", 0, NumNoFloatNumber, nullptr},
      {"_x", 0, NumNoFloatNumber, nullptr},
      // Beyond the long range: an error, never a silently clamped value.
      {"9223372036854775807", LONG_MAX, NumSuccess, ""},
      {"9223372036854775808", 0, NumIntegerOverflow, nullptr},
      {"99999999999999999999999", 0, NumIntegerOverflow, nullptr},
      {"-9223372036854775807-1", LONG_MIN, NumSuccess, ""},
      // Arithmetic wraps around instead of trapping.
      {"9223372036854775807+1", LONG_MIN, NumSuccess, ""},
      {"(-9223372036854775807-1)/(-1)", LONG_MIN, NumSuccess, ""},
      {"(-9223372036854775807-1)%(-1)", 0, NumSuccess, ""},
  };
  for (const auto& c : cases) {
    int err = -1;
    const char* tail = nullptr;
    long v = num_str2long(c.text, &tail, &err);
    EXPECT_EQ(err, c.err) << c.text;
    EXPECT_EQ(v, c.err == NumSuccess ? c.value : 0) << c.text;
    if (c.rest) {
      EXPECT_STREQ(tail, c.rest) << c.text;
    }
  }
}

TEST(NumioConstants, TableHasAllDistinctKeysInDescendingOrder) {
  num_str2double("pi", nullptr, nullptr);  // builds the table
  std::set<std::string> keys;
  const DPConstant* previous = nullptr;
  for (const DPConstant* c = dpconstant_root(); c; c = c->Next) {
    if (previous) {
      EXPECT_GT(strcmp(previous->Key, c->Key), 0) << c->Key;
    }
    EXPECT_EQ(c->Previous, previous);
    keys.insert(c->Key);
    previous = c;
  }
  EXPECT_EQ(keys.size(), 595u);
  for (const char* k : {"YByte", "yHz", "zm3", "Ohm", "kcal", "GeV", "hPa", "mbar", "ul", "kg"})
    EXPECT_EQ(keys.count(k), 1u) << k;
  for (const char* k : {"zm2", "zs2", "mi", "dam"}) EXPECT_EQ(keys.count(k), 0u) << k;
}

TEST(NumioConstants, SearchInsertAndReplace) {
  num_str2double("pi", nullptr, nullptr);
  DPConstant* c = nullptr;
  EXPECT_EQ(dpconstant_search("mmx", &c, 1), 0);
  EXPECT_STREQ(c->Key, "mm");
  EXPECT_EQ(dpconstant_search("mmx", &c, 0), -1);
  EXPECT_EQ(c, nullptr);
  EXPECT_EQ(dpconstant_search("keV", &c, 0), 0);
  EXPECT_DOUBLE_EQ(c->Value, 1.60217653e-16);
  EXPECT_EQ(dpconstant_search("", &c, 1), -1);
  EXPECT_EQ(dpconstant_search(nullptr, &c, 1), -1);

  // Inserting an existing key replaces its value and keeps one entry.
  auto count = [] {
    int n = 0;
    for (const DPConstant* e = dpconstant_root(); e; e = e->Next) ++n;
    return n;
  };
  int before = count();
  EXPECT_EQ(dpconstant_insert("length", "m", "mile", 2.0, &c), 0);
  EXPECT_EQ(count(), before);
  EXPECT_EQ(num_str2double("mile", nullptr, nullptr), 2.0);
  EXPECT_EQ(dpconstant_insert("length", "m", "zzNew", 5.0, nullptr), 0);
  EXPECT_EQ(count(), before + 1);
  EXPECT_STREQ(dpconstant_root()->Key, "zzNew");
  EXPECT_EQ(num_str2double("zzNew", nullptr, nullptr), 5.0);
  // A base unit name longer than 64 (63) characters is refused.
  std::string long_base(65, 'q');
  EXPECT_EQ(dpconstant_insert_unit("x", "x", long_base.c_str(), 1), -1);
  EXPECT_EQ(dpconstant_insert_unit2("x", "x", long_base.substr(1).c_str(), 1), -1);

  // Released and rebuilt on the next use, with the values of the table.
  dpconstant_free();
  EXPECT_EQ(dpconstant_root(), nullptr);
  EXPECT_EQ(num_str2double("mile", nullptr, nullptr), 1609.344);
  EXPECT_EQ(count(), 595);
}

TEST(NumioConstants, DebugLevelsPrintLookupsAndTable) {
  dpconstant_free();
  numio_debug(2);
  testutil::Capture out(stdout);
  EXPECT_DOUBLE_EQ(num_str2double("2_mm", nullptr, nullptr), 0.002);
  std::string text = out.Text();
  numio_debug(0);
  EXPECT_NE(text.find("  mm = 0.001 m (length)\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Torr"), std::string::npos);  // the table printed once built
  dpconstant_free();  // drop the descriptions again
}

std::vector<std::string> Listing(const NumProg* prog) {
  std::vector<std::string> lines;
  char buf[128];
  for (const NumInstr* i = prog->InstructionList; i; i = i->Next)
    lines.push_back(numprog_ins2str(buf, sizeof buf, i));
  return lines;
}

std::string Ins(const char* name, double v) {
  char buf[64];
  snprintf(buf, sizeof buf, "%10s  %10g", name, v);
  return buf;
}
std::string Op(const char* name, int nargs) {
  char buf[64];
  snprintf(buf, sizeof buf, "%10s  %10s (%d args)", name, "", nargs);
  return buf;
}

TEST(NumioProgram, FoldsConstantParts) {
  int err = -1;
  NumProg* prog = num_str2prog("fold", "_x*2+3*4", nullptr, &err, 1, "x");
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(err, NumSuccess);
  char addr[64];
  snprintf(addr, sizeof addr, "%10s *%10p", "PUSHADDR", static_cast<void*>(&prog->VariableList->Value));
  std::vector<std::string> expected = {addr, Ins("PUSHVAL", 2), Op("MUL", 2), Ins("PUSHVAL", 12),
                                       Op("ADD", 2)};
  EXPECT_EQ(Listing(prog), expected);
  EXPECT_EQ(num_runprog(prog, &err, 5.0), 22.0);

  prog = num_str2prog("fold", "2*3+1", nullptr, &err, 0);
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(Listing(prog), std::vector<std::string>{Ins("PUSHVAL", 7)});
  EXPECT_EQ(num_runprog(prog, &err), 7.0);

  prog = num_str2prog("fold", "_c?sqrt(4):-pow(2,3)", nullptr, &err, 1, "c");
  ASSERT_NE(prog, nullptr);
  expected = {Listing(prog)[0], Ins("PUSHVAL", 2), Ins("PUSHVAL", -8), Op("IF", 3)};
  EXPECT_EQ(Listing(prog), expected);
  EXPECT_EQ(num_runprog(prog, &err, 1.0), 2.0);
  EXPECT_EQ(num_runprog(prog, &err, 0.0), -8.0);
  EXPECT_EQ(num_rmprog(prog, &err), 0);
}

TEST(NumioProgram, VariablesAndRuns) {
  int err = -1;
  const char* tail = nullptr;
  NumProg* prog = num_str2prog("val", "_v*2", &tail, &err, 1, "v");
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(num_runprog(prog, &err, 5.0), 10.0);
  EXPECT_EQ(num_runprog(prog, &err, 1.5), 3.0);
  EXPECT_EQ(num_prog_variables(prog), 1);
  EXPECT_EQ(num_chkvar(prog, 1, &err), 1);
  num_chkvar(prog, 2, &err);
  EXPECT_EQ(err, NumNoVariable);

  // Two variables: arguments in definition order.  In _v_e the underscore
  // multiplies v with the constant e; _v__e multiplies both variables.
  prog = num_str2prog("err", "_v__e+_e+_v_e", nullptr, &err, 2, "v", "e");
  ASSERT_NE(prog, nullptr);
  EXPECT_DOUBLE_EQ(num_runprog(prog, &err, 3.0, 4.0), 16.0 + 3 * M_E);
  EXPECT_EQ(num_chkvar(prog, 1, &err), 2);
  EXPECT_EQ(num_chkvar(prog, 2, &err), 2);

  // xy is not a prefix of x.
  EXPECT_EQ(num_str2prog("p", "_x+1", nullptr, &err, 1, "xy"), nullptr);
  EXPECT_EQ(err, NumNoVariable);
  // x is taken for _xy when it is defined first; the text y is left over.
  prog = num_str2prog("p", "_xy", &tail, &err, 2, "x", "xy");
  ASSERT_NE(prog, nullptr);
  EXPECT_STREQ(tail, "y");
  EXPECT_EQ(num_runprog(prog, &err, 2.0, 3.0), 2.0);
  // Invalid and repeated variable names.
  EXPECT_EQ(num_str2prog("p", "1", nullptr, &err, 2, "v", "v"), nullptr);
  EXPECT_EQ(err, NumVariableError);
  EXPECT_EQ(num_str2prog("p", "1", nullptr, &err, 1, "1v"), nullptr);
  EXPECT_EQ(err, NumVariableError);
  EXPECT_EQ(numprog_checkvar(""), 0);
  EXPECT_EQ(numprog_checkvar("a1B"), 0);
  EXPECT_EQ(numprog_checkvar("a_b"), -1);

  // Constant errors fail at compile time, variable ones at run time.
  EXPECT_EQ(num_str2prog("p", "1/0", nullptr, &err, 0), nullptr);
  EXPECT_EQ(err, NumDivByZero);
  EXPECT_EQ(num_str2prog("p", "_v+sqrt(-1)", nullptr, &err, 1, "v"), nullptr);
  EXPECT_EQ(err, NumDomainError);
  prog = num_str2prog("p", "_v/0", nullptr, &err, 1, "v");
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(num_runprog(prog, &err, 1.0), 0.0);
  EXPECT_EQ(err, NumDivByZero);

  // A program that does not refer to its variable.
  prog = num_str2prog("p", "5", nullptr, &err, 1, "v");
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(num_chkvar(prog, 1, &err), 0);
  EXPECT_EQ(err, NumSuccess);
  EXPECT_EQ(num_chkvar(nullptr, 1, &err), 0);
  EXPECT_EQ(err, NumProgramError);
  EXPECT_EQ(num_runprog(nullptr, &err), 0.0);
  EXPECT_EQ(err, NumProgramError);
  numprog_remove(nullptr);
}

TEST(NumioProgram, RegistryKeepsUniqueNamesInDescendingOrder) {
  numprog_remove(nullptr);
  int err = -1;
  NumProg* b = num_str2prog("b", "1", nullptr, &err, 0);
  NumProg* a = num_str2prog("a", "2", nullptr, &err, 0);
  NumProg* c = num_str2prog("c", "3", nullptr, &err, 0);
  ASSERT_TRUE(a && b && c);
  std::vector<std::string> names;
  for (const NumProg* p = numprog_root(); p; p = p->Next) names.push_back(p->Name);
  EXPECT_EQ(names, (std::vector<std::string>{"c", "b", "a"}));
  // Creating a program under an existing name replaces it.
  NumProg* b2 = num_str2prog("b", "4", nullptr, &err, 0);
  EXPECT_EQ(num_searchprog("b", &err), b2);
  EXPECT_EQ(num_runprog(b2, &err), 4.0);
  names.clear();
  for (const NumProg* p = numprog_root(); p; p = p->Next) names.push_back(p->Name);
  EXPECT_EQ(names.size(), 3u);
  // A failed compilation leaves no program behind.
  EXPECT_EQ(num_str2prog("d", "1+", nullptr, &err, 0), nullptr);
  EXPECT_EQ(num_searchprog("d", &err), nullptr);
  EXPECT_EQ(err, NumSuccess);
  EXPECT_EQ(num_searchprog(nullptr, &err), nullptr);
  EXPECT_EQ(err, NumProgramError);
  // Evaluations never touch a program a caller created, whatever its name.
  NumProg* user = num_str2prog("str2double", "_v+1", nullptr, &err, 1, "v");
  EXPECT_EQ(num_str2double("(double)(long int)(2.5*3)", nullptr, &err), 7.0);
  EXPECT_EQ(num_searchprog("str2double", &err), user);
  EXPECT_EQ(num_runprog(user, &err, 1.0), 2.0);

  EXPECT_EQ(num_rmprog(a, &err), 0);
  NumProg unregistered{};
  EXPECT_EQ(num_rmprog(&unregistered, &err), -1);
  EXPECT_EQ(err, NumProgramError);
  EXPECT_EQ(num_rmprog(nullptr, &err), -1);
  EXPECT_EQ(numprog_remove("c"), 0);
  EXPECT_EQ(numprog_remove("c"), -1);
  numprog_remove(nullptr);
  EXPECT_EQ(numprog_root(), nullptr);
}

TEST(NumioProgram, RunsReuseRegistersAndSizeCountsRecords) {
  int err = -1;
  NumProg* prog = num_str2prog("size", "_v*(_v+1)*(_v+2)", nullptr, &err, 1, "v");
  ASSERT_NE(prog, nullptr);
  num_runprog(prog, &err, 1.0);
  long size = num_prog_size(prog);
  long registers = 0;
  for (const NumAccu* a = prog->AccumulatorList; a; a = a->Next) ++registers;
  long instructions = 0;
  for (const NumInstr* i = prog->InstructionList; i; i = i->Next) ++instructions;
  EXPECT_EQ(size, static_cast<long>(sizeof(NumProg)) + 5 + 40 + 32 * registers + 40 * instructions);
  for (int i = 0; i < 100; ++i) EXPECT_EQ(num_runprog(prog, &err, i * 1.0), i * (i + 1.0) * (i + 2.0));
  EXPECT_EQ(num_prog_size(prog), size);
  EXPECT_EQ(num_prog_size(nullptr), 0);
  num_rmprog(prog, &err);
}

TEST(NumioProgram, ListingAndDebugOutput) {
  int err = -1;
  NumProg* prog = num_str2prog("list", "_v*2", nullptr, &err, 1, "v");
  ASSERT_NE(prog, nullptr);
  num_runprog(prog, &err, 3.0);
  char addr[32];
  snprintf(addr, sizeof addr, "%p", static_cast<void*>(&prog->VariableList->Value));
  char pushaddr[64];
  snprintf(pushaddr, sizeof pushaddr, "%10s *%10p", "PUSHADDR", static_cast<void*>(&prog->VariableList->Value));
  std::string expected = std::string(" Program             = 'list'\n") + "  'v' = 3 = *" + addr +
                         "\n  InstructionList\n  " + pushaddr + "\n  " + Ins("PUSHVAL", 2) + "\n  " +
                         Op("MUL", 2) + "\n  Accumulator #1 = 6\n  Accumulator #2 = 2\n";
  {
    testutil::Capture out(stdout);
    num_prog_print_list(stdout, prog, 2, 0);
    EXPECT_EQ(out.Text(), expected);
  }
  {
    // Verbose listings of all programs do not fail.
    testutil::Capture out(stdout);
    num_prog_print_list(stdout, nullptr, 3, 1);
    EXPECT_NE(out.Text().find("'list'"), std::string::npos);
  }
  // Debug level 3 lists every evaluation on standard output.
  {
    numio_debug(3);
    testutil::Capture out(stdout);
    num_str2double("1+1", nullptr, &err);
    std::string text = out.Text();
    numio_debug(0);
    EXPECT_NE(text.find(" Program             = 'str2double'\n"), std::string::npos) << text;
  }
  // Errors above NumVariableError list the program on standard error.
  NumProg* empty = numprog_new("empty");
  ASSERT_NE(empty, nullptr);
  {
    testutil::Capture errout(stderr);
    num_runprog(empty, &err);
    EXPECT_EQ(err, NumNoInstruction);
    EXPECT_EQ(errout.Text(), " Program             = 'empty'\n  InstructionList\n");
  }
  EXPECT_STREQ(numprog_cmd2str(51), "DEGC2DEGF");
  EXPECT_STREQ(numprog_cmd2str(52), "Invalid");
  EXPECT_STREQ(numprog_cmd2str(-1), "Invalid");
  numprog_remove(nullptr);
}

TEST(NumioText, DoubleToText) {
  char buf[64];
  int err = -1;
  EXPECT_STREQ(num_double2str(buf, sizeof buf, 0.0015, "mm", 0, &err), "1.5_mm");
  EXPECT_EQ(err, NumSuccess);
  EXPECT_EQ(num_double2str(buf, 6, 0.0015, "mm", 0, &err), nullptr);
  EXPECT_EQ(err, NumWriteError);
  EXPECT_STREQ(num_double2str(buf, 7, 0.0015, "mm", 0, &err), "1.5_mm");
  EXPECT_STREQ(num_double2str(buf, sizeof buf, 2.0, "1+1", 0, &err), "1_(1+1)");
  EXPECT_STREQ(num_double2str(buf, sizeof buf, 1.0 / 3, nullptr, 3, &err), "0.333");
  EXPECT_STREQ(num_double2str(buf, sizeof buf, 1.0 / 3, "", -4, &err), "0.3333");
  EXPECT_STREQ(num_double2str(buf, sizeof buf, 1234567.0, nullptr, 0, &err), "1.23457e+06");
  EXPECT_STREQ(num_double2str(buf, 4, 1234567.0, nullptr, 0, &err), "1.2");  // cut, no error
  EXPECT_EQ(err, NumSuccess);
  EXPECT_NE(num_double2str(buf, sizeof buf, 0.1, nullptr, INT_MIN, &err), nullptr);  // 80 digits
  EXPECT_EQ(num_double2str(buf, sizeof buf, 1.0, "0", 0, &err), nullptr);
  EXPECT_EQ(err, NumDivByZero);
  EXPECT_EQ(num_double2str(buf, sizeof buf, 1.0, "foo", 0, &err), nullptr);
  EXPECT_EQ(err, NumNoFloatNumber);
  EXPECT_EQ(num_double2str(nullptr, 10, 1.0, nullptr, 0, &err), nullptr);
  // Written text reads back as the value.
  const double value = 0.000123456789;
  num_double2str(buf, sizeof buf, value, "um", 15, &err);
  EXPECT_DOUBLE_EQ(num_str2double(buf, nullptr, &err), value);
}

TEST(NumioText, IntegersErrorsAndComparison) {
  char buf[64];
  int err = -1;
  EXPECT_STREQ(num_long2str(buf, sizeof buf, -42, &err), "-42");
  EXPECT_STREQ(num_long2str(buf, 3, 12345, &err), "12");
  EXPECT_STREQ(num_long2hex(buf, sizeof buf, 255, &err), "0xff");
  EXPECT_STREQ(num_long2hex(buf, sizeof buf, -1, &err), "0xffffffffffffffff");
  EXPECT_EQ(num_long2str(nullptr, 5, 1, &err), nullptr);
  EXPECT_EQ(err, NumWriteError);

  const struct {
    int errval;
    const char* text;
  } texts[] = {{0, "success"},
               {1, "memory allocation failed"},
               {2, "error scanning expression"},
               {3, "missing comma in expression"},
               {4, "bad parenthesis in expression"},
               {5, "expression is not a float number"},
               {6, "unknown float function in expression"},
               {7, "domain error"},
               {8, "expression is not an integer number"},
               {9, "integer overflow"},
               {10, "division by zero"},
               {11, "error writing value"},
               {12, "undefined variable"},
               {13, "unknown error value"},
               {14, "error creating program"},
               {15, "unknown program instruction"},
               {16, "not enough program registers"},
               {17, "unknown error value"},
               {-1, "unknown error value"}};
  for (const auto& t : texts) EXPECT_STREQ(num_errval2str(buf, sizeof buf, t.errval), t.text);
  EXPECT_STREQ(num_errval2str(buf, 5, 2), "erro");
  EXPECT_EQ(num_errval2str(buf, 0, 2), nullptr);
  EXPECT_EQ(num_errval2str(nullptr, 5, 2), nullptr);

  EXPECT_EQ(num_strncasecmp("TRUEx", "true", 4), 0);
  EXPECT_LT(num_strncasecmp("abc", "ABD", 3), 0);
  EXPECT_GT(num_strncasecmp("b", "A", 5), 0);
  EXPECT_EQ(num_strncasecmp("ab", "AB", 10), 0);
  EXPECT_STREQ(numio_version(), "numio : V1.35 Orrin 2012-04-11");
}

TEST(NumioBadInput, NeverCrashes) {
  int err = -1;
  const char* tail = nullptr;
  // Thousands of nested parentheses, balanced or not.
  for (int n : {5000, 20000}) {
    std::string open(n, '('), close(n, ')');
    num_str2double((open + "1" + close).c_str(), &tail, &err);
    EXPECT_EQ(err, NumBadParenthesis);
    num_str2double(open.c_str(), &tail, &err);
    EXPECT_EQ(err, NumBadParenthesis);
    num_str2long((open + "1" + close).c_str(), &tail, &err);
    EXPECT_EQ(err, NumBadParenthesis);
    std::string calls;
    for (int i = 0; i < n; ++i) calls += "sin(";
    num_str2double(calls.c_str(), &tail, &err);
    EXPECT_EQ(err, NumBadParenthesis);
    std::string casts;
    for (int i = 0; i < n; ++i) casts += "(double)(long int)";
    num_str2double(casts.c_str(), &tail, &err);
    EXPECT_EQ(err, NumBadParenthesis);
    num_str2long(casts.c_str() + 8, &tail, &err);
    EXPECT_EQ(err, NumBadParenthesis);
  }
  // Moderate nesting still works.
  std::string open(100, '('), close(100, ')');
  EXPECT_EQ(num_str2double((open + "2" + close).c_str(), nullptr, &err), 2.0);
  EXPECT_EQ(num_str2long((open + "2" + close).c_str(), nullptr, &err), 2);

  // 100 000-character texts.
  std::string sum = "1";
  while (sum.size() < 100000) sum += "+1";  // 50 001 ones
  EXPECT_EQ(num_str2double(sum.c_str(), nullptr, &err), 50001.0);
  EXPECT_EQ(num_str2long(sum.c_str(), nullptr, &err), 50001);
  NumProg* prog = num_str2prog("big", ("_v*" + sum).c_str(), nullptr, &err, 1, "v");
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(num_runprog(prog, &err, 2.0), 50002.0);  // _v*1 + 50000
  num_rmprog(prog, &err);
  std::string vars = "_v";
  while (vars.size() < 100000) vars += "+_v";
  prog = num_str2prog("big", vars.c_str(), nullptr, &err, 1, "v");
  ASSERT_NE(prog, nullptr);
  EXPECT_EQ(num_runprog(prog, &err, 1.0), 33334.0);
  num_rmprog(prog, &err);
  std::string letters(100000, 'q');
  num_str2double(letters.c_str(), &tail, &err);
  EXPECT_EQ(err, NumNoFloatNumber);
  num_str2double((letters + "(1)").c_str(), &tail, &err);
  EXPECT_EQ(err, NumNoFloatFunction);
  std::string digits(100000, '9');
  num_str2long(digits.c_str(), &tail, &err);
  EXPECT_EQ(err, NumIntegerOverflow);
  EXPECT_TRUE(std::isinf(num_str2double(digits.c_str(), &tail, &err)));
  EXPECT_EQ(*tail, '\0');

  // Every short text over the grammar's characters ends with some error value.
  const char alphabet[] = "(1)_+-*/%!?:<=>&|,.e5mx";
  const int n = sizeof alphabet - 1;
  char text[5] = {};
  for (int i = 0; i < n * n * n * n; ++i) {
    int k = i;
    for (int j = 0; j < 4; ++j, k /= n) text[j] = alphabet[k % n];
    err = -1;
    num_str2double(text, &tail, &err);
    EXPECT_TRUE(err >= 0 && err <= NumNoAccumulator && tail >= text && tail <= text + 4);
    err = -1;
    num_str2long(text, &tail, &err);
    EXPECT_TRUE(err >= 0 && err <= NumNoAccumulator && tail >= text && tail <= text + 4);
  }
}

}  // namespace
