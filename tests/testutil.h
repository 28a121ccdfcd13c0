// Small helpers shared by the tests: capturing a standard stream, scratch
// directories, running a program and reading files.
#ifndef TESTS_TESTUTIL_H
#define TESTS_TESTUTIL_H

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

namespace testutil {

// Redirects a standard stream (stdout or stderr) into a scratch file while
// alive; Text() ends the capture and returns what was written.
class Capture {
 public:
  explicit Capture(FILE* stream) : stream_(stream), fd_(fileno(stream)) {
    fflush(stream_);
    saved_ = dup(fd_);
    tmp_ = tmpfile();
    dup2(fileno(tmp_), fd_);
  }
  ~Capture() { Stop(); if (tmp_) fclose(tmp_); }
  std::string Text() {
    Stop();
    std::string out;
    rewind(tmp_);
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, tmp_)) > 0) out.append(buf, n);
    return out;
  }

 private:
  void Stop() {
    if (saved_ < 0) return;
    fflush(stream_);
    dup2(saved_, fd_);
    close(saved_);
    saved_ = -1;
  }
  FILE* stream_;
  int fd_;
  int saved_ = -1;
  FILE* tmp_ = nullptr;
};

// A fresh scratch directory, removed with its contents at the end.
class TempDir {
 public:
  TempDir() {
    char tmpl[] = "/tmp/kelo_test_XXXXXX";
    path_ = mkdtemp(tmpl);
  }
  ~TempDir() { std::system(("rm -rf '" + path_ + "'").c_str()); }
  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

inline std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

struct RunResult {
  std::string out;   // standard output
  std::string err;   // standard error
  int exit_code = -1;
};

// Runs a shell command line in directory dir with the given standard input
// and returns both output streams and the exit code.
inline RunResult Run(const std::string& command, const std::string& input = "",
                     const std::string& dir = ".") {
  TempDir tmp;
  WriteFile(tmp.file("in"), input);
  std::string cmd = "cd '" + dir + "' && " + command + " <'" + tmp.file("in") + "' >'" +
                    tmp.file("out") + "' 2>'" + tmp.file("err") + "'";
  int rc = std::system(cmd.c_str());
  RunResult r;
  r.out = ReadFile(tmp.file("out"));
  r.err = ReadFile(tmp.file("err"));
  r.exit_code = WIFEXITED(rc) ? WEXITSTATUS(rc) : -1;
  return r;
}

}  // namespace testutil

#endif
