#include "wibpack/filename.h"

#include <gtest/gtest.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "testutil.h"

namespace {

// Sets (or, with a null value, removes) an environment variable for the
// lifetime of the object.
class EnvVar {
 public:
  EnvVar(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = std::string(old);
    if (value) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~EnvVar() {
    if (old_) {
      setenv(name_.c_str(), old_->c_str(), 1);
    } else {
      unsetenv(name_.c_str());
    }
  }

 private:
  std::string name_;
  std::optional<std::string> old_;
};

// Runs fn(buffer, buflen) with a large buffer; none for a null result.
template <class Fn>
std::optional<std::string> Call(Fn fn, size_t buflen = 8192) {
  std::vector<char> buf(buflen + 1, '\x7f');
  char* r = fn(buf.data(), buflen);
  if (!r) return std::nullopt;
  EXPECT_EQ(r, buf.data());
  EXPECT_EQ(buf[buflen], '\x7f') << "written past buflen";
  return std::string(r);
}

std::optional<std::string> Unix(const char* pattern) {
  return Call([&](char* b, size_t n) { return filename_unix(b, n, pattern); });
}

std::optional<std::string> Subst(const char* pattern, size_t buflen = 8192) {
  return Call([&](char* b, size_t n) { return env_subst(b, n, pattern); }, buflen);
}

std::string UserHome() {
  const struct passwd* pw = getpwuid(getuid());
  return pw ? pw->pw_dir : getenv("HOME");
}

const std::optional<std::string> Null = std::nullopt;

TEST(filename, Version) { EXPECT_STREQ(filename_version(), "filename : V1.10 Orrin 2010-12-18"); }

TEST(filename, UnixNames) {
  EnvVar home("HOME", "/home/tester");
  EnvVar a("KELO_T_A", "va");
  EnvVar b("KELO_T_B", "p,q");
  EnvVar empty("KELO_T_EMPTY", "");
  EnvVar undef("KELO_T_UNDEF", nullptr);
  struct Case { const char* pattern; std::optional<std::string> result; } cases[] = {
      {"${HOME}/data/a.wib,1,10", "/home/tester/data/a.wib"},
      {"$HOME/data/a.wib", "/home/tester/data/a.wib"},
      {"C:\\data\\a.wib", "C:/data/a.wib"},
      {"x}y", Null},
      {"x{y", Null},
      {"{x}y", "xy"},
      {"{a{b}c}d", "abcd"},
      {"{}", ""},
      {"{a/b}", Null},
      {"{a$b}", Null},
      {"$KELO_T_A/x", "va/x"},
      {"$KELO_T_A$KELO_T_A", "vava"},
      {"${KELO_T_A}.wib", "va.wib"},
      {"$KELO_T_A.wib", Null},  // the unbraced name runs to the next "/" or "$"
      {"${KELO_T_UNDEF}/x", Null},
      {"$KELO_T_UNDEF", Null},
      {"${KELO_T_A/x}", Null},
      {"${KELO_T_A", Null},
      {"$KELO_T_EMPTY/x", "/x"},
      {"a$/b", "a$/b"},
      {"a$", "a$"},
      {"$$", "$$"},
      {"${}x", "$x"},
      {"$KELO_T_B/x", "p"},  // a comma in the value starts the fields
      {"a~b", "a~b"},
      {"img%%%.wib,1,10,2", "img%%%.wib"},
      {"", ""},
      {nullptr, Null},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(Unix(c.pattern), c.result) << (c.pattern ? c.pattern : "(null)");
  }
  EXPECT_EQ(Subst("$KELO_T_B/x,1"), "p,q/x,1");
  EXPECT_EQ(Subst("C:\\a"), "C:\\a");
  EnvVar nohome("HOME", nullptr);
  EXPECT_EQ(Unix("${HOME}/data/a.wib,1,10"), Null);
}

TEST(filename, HomeDirectories) {
  std::string home = UserHome();
  EXPECT_EQ(Unix("~"), home);
  EXPECT_EQ(Unix("~/data/a.wib"), home + "/data/a.wib");
  EXPECT_EQ(Unix("~$KELO_NO_SUCH_VARIABLE_Q"), Null);
  const struct passwd* root = getpwnam("root");
  if (root) {
    std::string rootdir = root->pw_dir;
    EXPECT_EQ(Unix("~root/x"), rootdir + "/x");
    EXPECT_EQ(Unix("~{root}/x"), rootdir + "/x");
  }
  EXPECT_EQ(Unix("~kelo_no_such_user_qq/x"), Null);
  EXPECT_EQ(Unix("~{root/x"), Null);
  EXPECT_EQ(Unix("/~root"), "/~root");
}

TEST(filename, BadPatternsFailCleanly) {
  const std::string opens(5000, '{');
  const std::string closes(5000, '}');
  const std::string percents(5000, '%');
  const std::string dollars(5000, '$');
  const std::string open_var = "${" + std::string(5000, 'x');
  const std::string nested = std::string(2000, '{') + "a" + std::string(2000, '}');
  const std::string backslashes(5000, '\\');
  EXPECT_EQ(Unix(opens.c_str()), Null);
  EXPECT_EQ(Unix(closes.c_str()), Null);
  EXPECT_EQ(Unix(open_var.c_str()), Null);
  EXPECT_EQ(Unix(nested.c_str()), "a");
  EXPECT_EQ(Unix(percents.c_str()), std::string(4095, '%'));
  EXPECT_EQ(Unix(dollars.c_str()), std::string(4095, '$'));
  EXPECT_EQ(Unix(backslashes.c_str()), std::string(4095, '/'));
  // Patterns are cut to 4095 characters before they are expanded.
  const std::string longname(10000, 'a');
  EXPECT_EQ(Subst(longname.c_str(), 20000), std::string(4095, 'a'));
  // Expansions stop at the caller's buffer; filename_unix at 4095 characters.
  EnvVar v("KELO_T_LONG", std::string(3000, 'v').c_str());
  std::string many;
  for (int i = 0; i < 800; ++i) many += "${KELO_T_LONG}";
  EXPECT_EQ(Subst(many.c_str(), 100), std::string(99, 'v'));
  EXPECT_EQ(Subst(many.c_str(), 20000), std::string(19999, 'v'));
  EXPECT_EQ(Unix(many.c_str()), std::string(4095, 'v'));
}

TEST(filename, ResultsAreCutToTheBuffer) {
  EXPECT_EQ(Subst("abcdef", 4), "abc");
  EXPECT_EQ(Subst("abcdef", 1), "");
  char b[4];
  EXPECT_EQ(env_subst(b, 0, "abc"), nullptr);
  EXPECT_EQ(env_subst(nullptr, 10, "abc"), nullptr);
  EXPECT_EQ(env_subst(b, sizeof b, nullptr), nullptr);
  EXPECT_EQ(Call([](char* b, size_t n) { return filename_pattern(b, n, "img%%%%.wib", 12); }, 5), "img0");
  EXPECT_EQ(Call([](char* b, size_t n) { return filename_path(b, n, "a.wib"); }, 2), ".");
  EXPECT_EQ(Call([](char* b, size_t n) { return filename_full(b, n, "/dev/null"); }, 6), "/dev/");
}

TEST(filename, Parameters) {
  struct Case { const char* pattern; int parno; std::optional<std::string> result; } cases[] = {
      {"a.wib,,3", 0, "a.wib"},
      {"a.wib,,3", 1, ""},
      {"a.wib,,3", 2, "3"},
      {"a.wib,,3", 3, Null},
      {"a.wib,,3", -1, Null},
      {"a.wib", 0, "a.wib"},
      {"a.wib", 1, Null},
      {"a.wib,", 1, ""},
      {"$HOME/a.wib, 1 , 2*5", 2, " 2*5"},  // as it stands
      {"", 0, ""},
      {nullptr, 0, Null},
  };
  for (const auto& c : cases) {
    auto r = Call([&](char* b, size_t n) { return filename_parameter(b, n, c.pattern, c.parno); });
    EXPECT_EQ(r, c.result) << (c.pattern ? c.pattern : "(null)") << " " << c.parno;
  }
}

TEST(filename, NumberPatterns) {
  struct Case { const char* pattern; long number; const char* result; } cases[] = {
      {"img%%%%.wib", 12, "img0012.wib"},
      {"img%%%%.wib", 123456, "img3456.wib"},
      {"img%%%%.wib", -5, "img-005.wib"},
      {"img%%%%.wib", 0, "img0000.wib"},
      {"a%b%c", 12, "a1b2c"},
      {"img.wib", 12, "img.wib"},
      {"%", -5, "-"},
      {"%%%%%%%%%%%%%%%%%%%%", LONG_MIN, "-9223372036854775808"},
      {"%%%%%%%%%%%%%%%%%%%", LONG_MAX, "9223372036854775807"},
      {"%%%%%%%%%%%%%%%%%%%%%", LONG_MIN, "-09223372036854775808"},
      {"", 7, ""},
  };
  for (const auto& c : cases) {
    auto r = Call([&](char* b, size_t n) { return filename_pattern(b, n, c.pattern, c.number); });
    EXPECT_EQ(r, c.result) << c.pattern << " " << c.number;
  }
  std::string many(5000, '%');
  auto r = Call([&](char* b, size_t n) { return filename_pattern(b, n, many.c_str(), 12); });
  EXPECT_EQ(r, std::string(4093, '0') + "12");
  EXPECT_EQ(Call([](char* b, size_t n) { return filename_pattern(b, n, nullptr, 1); }), Null);
  EXPECT_TRUE(filename_has_pattern("img%%.wib"));
  EXPECT_FALSE(filename_has_pattern("img.wib"));
  EXPECT_FALSE(filename_has_pattern(nullptr));
  EXPECT_TRUE(filename_has_path("d/a.wib"));
  EXPECT_FALSE(filename_has_path("a.wib"));
  EXPECT_FALSE(filename_has_path(nullptr));
}

TEST(filename, Parts) {
  struct Case {
    const char* pattern;
    std::optional<std::string> name, path, body, extension;
  } cases[] = {
      {"a.wib", "a.wib", "./", "a", "wib"},
      {"/tmp/a.wib", "a.wib", "/tmp/", "/tmp/a", "wib"},
      {"run.7.wib", "run.7.wib", "./", "run.7", "wib"},
      {"data.d/file", "file", "data.d/", "data", "d/file"},
      {"noext", "noext", "./", "noext", ""},
      {"a.wib,1,10", "a.wib", "./", "a", "wib"},
      {"dir\\sub\\f.wib,1", "f.wib", "dir/sub/", "dir\\sub\\f", "wib"},
      {".hidden", ".hidden", "./", "", "hidden"},
      {"dir/", "", "dir/", "dir/", ""},
      {"x}y.wib", Null, Null, "x}y", "wib"},  // body and extension do not expand
      {nullptr, Null, Null, Null, Null},
  };
  for (const auto& c : cases) {
    const char* p = c.pattern;
    const char* label = p ? p : "(null)";
    EXPECT_EQ(Call([&](char* b, size_t n) { return filename_name(b, n, p); }), c.name) << label;
    EXPECT_EQ(Call([&](char* b, size_t n) { return filename_path(b, n, p); }), c.path) << label;
    EXPECT_EQ(Call([&](char* b, size_t n) { return filename_body(b, n, p); }), c.body) << label;
    EXPECT_EQ(Call([&](char* b, size_t n) { return filename_extension(b, n, p); }), c.extension) << label;
  }
}

// Changes into dir for the lifetime of the object.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) {
    char* cwd = getcwd(nullptr, 0);
    old_ = cwd;
    free(cwd);
    EXPECT_EQ(chdir(dir.c_str()), 0);
  }
  ~InDirectory() { EXPECT_EQ(chdir(old_.c_str()), 0); }

 private:
  std::string old_;
};

std::string RealPath(const std::string& path) {
  char* r = realpath(path.c_str(), nullptr);
  std::string s = r ? r : "";
  free(r);
  return s;
}

std::string Cwd() {
  char* cwd = getcwd(nullptr, 0);
  std::string s = cwd;
  free(cwd);
  return s;
}

std::optional<std::string> Full(const std::string& pattern) {
  return Call([&](char* b, size_t n) { return filename_full(b, n, pattern.c_str()); });
}

TEST(filename, FullNames) {
  testutil::TempDir tmp;
  std::string dir = RealPath(tmp.path());
  ASSERT_EQ(mkdir(tmp.file("sub").c_str(), 0755), 0);
  testutil::WriteFile(tmp.file("file.txt"), "x");
  EnvVar d("KELO_T_DIR", tmp.path().c_str());
  std::string before = Cwd();
  EXPECT_EQ(Full("/dev/null"), "/dev/null");
  EXPECT_EQ(Full(tmp.file("nosuchdir/a.wib")), Null);
  EXPECT_EQ(Full(tmp.file("file.txt/a.wib")), Null);  // a file is no directory
  EXPECT_EQ(Full(tmp.file("a.wib")), dir + "/a.wib");
  EXPECT_EQ(Full(tmp.file("sub/../sub/img%%%.wib,1,3")), dir + "/sub/img%%%.wib");
  EXPECT_EQ(Full("${KELO_T_DIR}\\sub\\a.wib"), dir + "/sub/a.wib");
  EXPECT_EQ(Full(tmp.file("sub/")), dir + "/sub/");
  EXPECT_EQ(Full("/a.wib"), "/a.wib");
  EXPECT_EQ(Full("x{y"), Null);
  EXPECT_EQ(Cwd(), before);
  {
    InDirectory in(tmp.file("sub"));
    EXPECT_EQ(Full("a.wib"), dir + "/sub/a.wib");
    EXPECT_EQ(Full("../b.wib"), dir + "/b.wib");
    EXPECT_EQ(filename_compare("a.wib", (dir + "/sub/a.wib").c_str()), 0);
    EXPECT_EQ(filename_compare("./a.wib", "../sub/a.wib"), 0);
    EXPECT_LT(filename_compare("a.wib", "b.wib"), 0);
    EXPECT_GT(filename_compare("a.wib", "nosuchdir/a.wib"), 0);  // a failure counts as ""
    EXPECT_EQ(filename_compare("nosuchdir/a.wib", "x{y"), 0);
    EXPECT_EQ(Cwd(), dir + "/sub");
  }
}

TEST(filename, Exists) {
  testutil::TempDir tmp;
  ASSERT_EQ(mkdir(tmp.file("Sub").c_str(), 0755), 0);
  testutil::WriteFile(tmp.file("Data.wib"), "x");
  EnvVar d("KELO_T_DIR", tmp.path().c_str());
  struct Case { std::string name; int exists; } cases[] = {
      {tmp.file("Data.wib"), 1},
      {tmp.file("data.wib"), 0},  // case-sensitive
      {tmp.file("Data.wib,1,10"), 1},
      {"$KELO_T_DIR/Data.wib", 1},
      {tmp.file("Sub"), 1},  // directories count as well
      {tmp.file("Sub/../Data.wib"), 1},
      {tmp.file("missing.wib"), 0},
      {tmp.file("missing/Data.wib"), 0},
      {"$KELO_T_UNDEFINED_Q/Data.wib", 0},
      {"x}y", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(filename_exists(c.name.c_str()), c.exists) << c.name;
  EXPECT_EQ(filename_exists(nullptr), 0);
  InDirectory in(tmp.path());
  EXPECT_EQ(filename_exists("Data.wib"), 1);
  EXPECT_EQ(filename_exists("Sub"), 1);
  EXPECT_EQ(filename_exists("Nothing"), 0);
}

}  // namespace
