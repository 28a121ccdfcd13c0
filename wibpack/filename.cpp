// File name patterns: expansion of environment variables, braces and home
// directories, comma fields, number patterns, and the parts of a path.
#include "wibpack/filename.h"

#include <dirent.h>
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>

namespace {

// Working buffers hold this many characters including the terminator: the
// system's path length limit.
constexpr size_t BUFLEN = 4096;
constexpr size_t MaxPatternLength = BUFLEN - 1;

using OptString = std::optional<std::string>;

// The pattern as the functions see it: cut to MaxPatternLength characters.
std::string cut_pattern(const char* pattern) {
  return std::string(pattern, strnlen(pattern, MaxPatternLength));
}

// Copies text into the caller's buffer, cut to buflen - 1 characters.
char* put(char* buffer, size_t buflen, const std::string& text) {
  if (!buffer || buflen == 0) return nullptr;
  size_t n = text.size() < buflen - 1 ? text.size() : buflen - 1;
  memcpy(buffer, text.data(), n);
  buffer[n] = '\0';
  return buffer;
}

char* put(char* buffer, size_t buflen, const OptString& text) {
  return text ? put(buffer, buflen, *text) : nullptr;
}

// Reads a name that starts at p: either a group in braces, which ends at its
// matching "}" (inner braces disappear), or a run of characters up to the
// next "/", "$" or the end.  A group that meets "/", "$" or the end before
// it is closed is unbalanced: false.  On return p points behind the name.
bool read_name(const char*& p, std::string& name) {
  name.clear();
  if (*p != '{') {
    while (*p && *p != '/' && *p != '$') name += *p++;
    return true;
  }
  int depth = 0;
  do {
    char c = *p;
    if (c == '\0' || c == '/' || c == '$') return false;
    if (c == '{') {
      ++depth;
    } else if (c == '}') {
      --depth;
    } else {
      name += c;
    }
    ++p;
  } while (depth > 0);
  return true;
}

// Home directory of the current user (name empty) or of the named user.
OptString home_directory(const std::string& user) {
  const struct passwd* pw = user.empty() ? getpwuid(getuid()) : getpwnam(user.c_str());
  if (pw && pw->pw_dir && pw->pw_dir[0]) return std::string(pw->pw_dir);
  if (user.empty()) {
    // No entry in the user database: the environment still knows the home.
    const char* home = getenv("HOME");
    if (home && home[0]) return std::string(home);
  }
  return std::nullopt;
}

// Expands environment variables, brace groups and a leading home directory.
// The result holds at most limit characters: copying stops there.
OptString expand(const std::string& pattern, size_t limit) {
  std::string out;
  std::string name;
  auto append = [&](const std::string& text) {
    out.append(text, 0, limit - out.size());
  };
  const char* p = pattern.c_str();
  while (*p && out.size() < limit) {
    char c = *p;
    if (c == '$') {
      ++p;
      if (!read_name(p, name)) return std::nullopt;
      if (name.empty()) {
        out += '$';
        continue;
      }
      const char* value = getenv(name.c_str());
      if (!value) return std::nullopt;
      append(value);
    } else if (c == '{') {
      if (!read_name(p, name)) return std::nullopt;
      append(name);
    } else if (c == '}') {
      return std::nullopt;
    } else if (c == '~' && out.empty()) {
      ++p;
      if (!read_name(p, name)) return std::nullopt;
      OptString home = home_directory(name);
      if (!home) return std::nullopt;
      append(*home);
    } else {
      out += c;
      ++p;
    }
  }
  return out;
}

// Field parno of the comma-separated text, or none.
OptString comma_field(const std::string& text, int parno) {
  if (parno < 0) return std::nullopt;
  size_t start = 0;
  for (int i = 0; i < parno; ++i) {
    size_t comma = text.find(',', start);
    if (comma == std::string::npos) return std::nullopt;
    start = comma + 1;
  }
  size_t end = text.find(',', start);
  return text.substr(start, end == std::string::npos ? std::string::npos : end - start);
}

// Expanded name: field 0 after expansion, with backslashes turned into "/".
OptString unix_name(const char* pattern) {
  if (!pattern) return std::nullopt;
  OptString expanded = expand(cut_pattern(pattern), MaxPatternLength);
  if (!expanded) return std::nullopt;
  std::string name = *comma_field(*expanded, 0);
  for (char& c : name)
    if (c == '\\') c = '/';
  return name;
}

// Splits field 0 of the pattern at its last occurrence of separator: mode 0
// gives the part before it (all of the field without separator), mode 1 the
// part after it ("" without separator).
OptString ext_split(const char* pattern, const char* separator, int mode) {
  if (!pattern) return std::nullopt;
  std::string field = *comma_field(cut_pattern(pattern), 0);
  size_t at = field.rfind(separator);
  if (mode == 0) return at == std::string::npos ? field : field.substr(0, at);
  return at == std::string::npos ? std::string() : field.substr(at + strlen(separator));
}

// The absolute form of an existing directory, or none.
OptString absolute_directory(const std::string& dir) {
  char* resolved = realpath(dir.c_str(), nullptr);
  if (!resolved) return std::nullopt;
  std::string result(resolved);
  free(resolved);
  return result;
}

OptString current_directory() {
  char* cwd = getcwd(nullptr, 0);
  if (!cwd) return std::nullopt;
  std::string result(cwd);
  free(cwd);
  return result;
}

OptString full_name(const char* pattern) {
  OptString p = unix_name(pattern);
  if (!p) return std::nullopt;
  if (*p == DUMMYFILENAME) return p;
  size_t slash = p->rfind('/');
  OptString dir;
  std::string name;
  if (slash == std::string::npos) {
    dir = current_directory();
    name = *p;
  } else {
    // The trailing "/" makes the resolution fail unless it is a directory.
    dir = absolute_directory(p->substr(0, slash + 1));
    name = p->substr(slash + 1);
  }
  if (!dir) return std::nullopt;
  if (!dir->empty() && dir->back() == '/') dir->pop_back();
  return *dir + "/" + name;
}

}  // namespace

const char* filename_version() { return "filename : V1.10 Orrin 2010-12-18"; }

char* env_subst(char* buffer, size_t buflen, const char* filepattern) {
  if (!buffer || buflen == 0 || !filepattern) return nullptr;
  return put(buffer, buflen, expand(cut_pattern(filepattern), buflen - 1));
}

char* filename_unix(char* buffer, size_t buflen, const char* pattern) {
  return put(buffer, buflen, unix_name(pattern));
}

char* filename_parameter(char* buffer, size_t buflen, const char* pattern, int parno) {
  if (!pattern) return nullptr;
  return put(buffer, buflen, comma_field(cut_pattern(pattern), parno));
}

char* filename_pattern(char* buffer, size_t buflen, const char* pattern, long number) {
  if (!pattern) return nullptr;
  std::string text = cut_pattern(pattern);
  unsigned long magnitude =
      number < 0 ? 0UL - static_cast<unsigned long>(number) : static_cast<unsigned long>(number);
  std::string digits = std::to_string(magnitude);
  size_t next = digits.size();  // digits are used from the last one backwards
  size_t leftmost = std::string::npos;
  for (size_t i = text.size(); i-- > 0;) {
    if (text[i] != '%') continue;
    text[i] = next > 0 ? digits[--next] : '0';
    leftmost = i;
  }
  if (number < 0 && leftmost != std::string::npos) text[leftmost] = '-';
  return put(buffer, buflen, text);
}

int filename_has_pattern(const char* filename) { return filename && strchr(filename, '%') != nullptr; }

int filename_has_path(const char* filename) { return filename && strchr(filename, '/') != nullptr; }

char* filename_name(char* buffer, size_t buflen, const char* pattern) {
  OptString p = unix_name(pattern);
  if (!p) return nullptr;
  size_t slash = p->rfind('/');
  return put(buffer, buflen, slash == std::string::npos ? *p : p->substr(slash + 1));
}

char* filename_path(char* buffer, size_t buflen, const char* pattern) {
  OptString p = unix_name(pattern);
  if (!p) return nullptr;
  size_t slash = p->rfind('/');
  return put(buffer, buflen, slash == std::string::npos ? std::string("./") : p->substr(0, slash + 1));
}

char* filename_body(char* buffer, size_t buflen, const char* pattern) {
  return put(buffer, buflen, ext_split(pattern, ".", 0));
}

char* filename_extension(char* buffer, size_t buflen, const char* pattern) {
  return put(buffer, buflen, ext_split(pattern, ".", 1));
}

char* filename_full(char* buffer, size_t buflen, const char* pattern) {
  return put(buffer, buflen, full_name(pattern));
}

int filename_exists(const char* filename) {
  OptString p = unix_name(filename);
  if (!p) return 0;
  size_t slash = p->rfind('/');
  std::string dir = slash == std::string::npos ? std::string(".") : p->substr(0, slash + 1);
  std::string name = slash == std::string::npos ? *p : p->substr(slash + 1);
  DIR* d = opendir(dir.c_str());
  if (!d) return 0;
  int found = 0;
  while (const struct dirent* entry = readdir(d)) {
    if (name == entry->d_name) {
      found = 1;
      break;
    }
  }
  closedir(d);
  return found;
}

int filename_compare(const char* filename1, const char* filename2) {
  OptString f1 = full_name(filename1);
  OptString f2 = full_name(filename2);
  return strcmp(f1 ? f1->c_str() : "", f2 ? f2->c_str() : "");
}
