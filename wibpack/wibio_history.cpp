// wibio history: the history blocks of the module.  Each holds the command
// line of this run, built argument by argument, and the history lines
// "History-1", "History-2", ... read from an input header; both go into an
// output header, the command line under the next free number.
#include <algorithm>
#include <cstring>
#include <new>
#include <string>
#include <vector>

#include "wibpack/wibio_internal.h"

namespace {

const char* const argv_key = "_argv_key";
const char* const default_history_line_key = HISTORY_KEY_PREFIX "1";
// Arguments with one of these characters (or white space) are quoted.
const char* const tobequoted = "()[]{}*";

// One line: the command line or a history line read from a header.
typedef struct History_Symbol_List {
  std::string key;
  std::string line;
  size_t size = 0;       // capacity including the terminating NUL
  int required = 1;      // the next argument added counts for shortlen
  size_t shortlen = 0;   // length of the line that is written
} HSymb;

typedef struct History_Block {
  std::string key;
  std::vector<HSymb> history_line_root;  // lines read from a header
  HSymb history_argv_root;               // the command line
  std::string current_history_line_key;  // key of the command line when written
} HBlock;

// History blocks in descending key order.
std::vector<HBlock>& history_blocks() {
  static std::vector<HBlock> blocks;
  return blocks;
}

HBlock* find_history(const char* history_key) {
  if (!history_key) return nullptr;
  for (HBlock& b : history_blocks())
    if (compare_keys(b.key.c_str(), history_key, 1) == 0) return &b;
  return nullptr;
}

// Appends text to a line: a space first when the line is not empty, then
// the text cut to the room left.
void history_line_add(HSymb& l, const std::string& text) {
  size_t room = l.size > l.line.size() + 1 ? l.size - 1 - l.line.size() : 0;
  if (!l.line.empty() && room > 0) {
    l.line += ' ';
    room--;
  }
  l.line.append(text, 0, std::min(text.size(), room));
  if (l.required) l.shortlen = l.line.size();
  l.required = 1;
}

bool needs_quotes(const char* argument) {
  if (argument[0] == '"') return false;
  if (!argument[0]) return true;
  for (const char* p = argument; *p; p++)
    if (strchr(" \t\r\n\f\v", *p) || strchr(tobequoted, *p)) return true;
  return false;
}

int set_required(const char* history_key, int required) {
  HBlock* b = find_history(history_key);
  if (!b) return 0;
  b->history_argv_root.required = required;
  return 1;
}

}  // namespace

int wib_history_new(const char* history_key) {
  if (!history_key) return 0;
  try {
    HBlock* b = find_history(history_key);
    if (!b) {
      std::vector<HBlock>& blocks = history_blocks();
      auto pos = std::find_if(blocks.begin(), blocks.end(), [&](const HBlock& x) {
        return compare_keys(x.key.c_str(), history_key, 1) < 0;
      });
      HBlock fresh;
      fresh.key = history_key;
      b = &*blocks.insert(pos, std::move(fresh));
    }
    b->history_line_root.clear();
    b->history_argv_root = HSymb();
    b->history_argv_root.key = argv_key;
    b->history_argv_root.size = MaxHistoryLineSize;
    b->current_history_line_key = default_history_line_key;
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int wib_history_argv(const char* history_key, const char* argument) {
  HBlock* b = find_history(history_key);
  if (!b) return 0;
  if (!argument) argument = "";
  try {
    std::string text = needs_quotes(argument) ? "\"" + std::string(argument) + "\"" : argument;
    history_line_add(b->history_argv_root, text);
  } catch (const std::bad_alloc&) {
    return 0;
  }
  return 1;
}

int wib_history_take(const char* history_key) { return set_required(history_key, 1); }

int wib_history_skip(const char* history_key) { return set_required(history_key, 0); }

int wib_read_header_history(long stream, long DataNumber, int DataChain,
                            const char* history_key, int* pErrorValue, int* pstatus) {
  HBlock* b = find_history(history_key);
  if (!b) {
    set_result(pErrorValue, pstatus, CouldNotFindHeaderKey);
    return 0;
  }
  b->history_line_root.clear();
  b->current_history_line_key.clear();
  try {
    for (unsigned long n = 1;; n++) {
      const std::string key = HISTORY_KEY_PREFIX + std::to_string(n);
      const char* value = nullptr;
      int errval, status;
      int found = wib_read_header_string(stream, DataNumber, DataChain, key.c_str(), &value,
                                         &errval, &status);
      if (!found && (errval == CouldNotFindSymbol || errval == CouldNotFindHeader)) {
        b->current_history_line_key = key;
        break;
      }
      if (status != status_success) {
        set_result(pErrorValue, pstatus, errval);
        return 0;
      }
      HSymb line;
      line.key = key;
      line.line.assign(value, strnlen(value, MaxHistoryLineSize - 1));
      line.size = line.line.size() + 1;
      b->history_line_root.push_back(std::move(line));
    }
  } catch (const std::bad_alloc&) {
    set_result(pErrorValue, pstatus, CouldNotMallocMemory);
    return 0;
  }
  set_result(pErrorValue, pstatus, RoutineSucceeded);
  return 1;
}

int wib_write_header_history(long stream, long DataNumber, int DataChain,
                             const char* history_key, int* pErrorValue, int* pstatus) {
  HBlock* b = find_history(history_key);
  if (!b) {
    set_result(pErrorValue, pstatus, CouldNotFindHeaderKey);
    return 0;
  }
  HSymb& argv = b->history_argv_root;
  if (!argv.line.empty() && !b->current_history_line_key.empty()) {
    argv.line.resize(std::min(argv.shortlen, argv.line.size()));
    if (!wib_write_header_string(stream, DataNumber, DataChain,
                                 b->current_history_line_key.c_str(), argv.line.c_str(),
                                 pErrorValue, pstatus))
      return 0;
  }
  for (const HSymb& line : b->history_line_root)
    if (!wib_write_header_string(stream, DataNumber, DataChain, line.key.c_str(),
                                 line.line.c_str(), pErrorValue, pstatus))
      return 0;
  set_result(pErrorValue, pstatus, RoutineSucceeded);
  return 1;
}
