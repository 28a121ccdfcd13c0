// KeloInput: line input and editing.
//
// The small text tools on which command-line parsing and prompting rest: a
// bounded copy with optional case conversion (CopyLine), an in-place line
// editor (EditLine), the recognisers of the special answer words, the prompt
// readers that show a question with its default, read one line and turn it
// into a value (GetLine, GetLong, ...), and string splitters (LeftFL, ...).
//
// The prompt readers share one module-wide line buffer and are therefore not
// reentrant.
#ifndef KELOPACK_KELOINPUT_H
#define KELOPACK_KELOINPUT_H

#include <cstdio>

// Length of every line buffer (1023 characters and the terminator).
constexpr int InputLineLength = 1024;
// Size of the module's input buffer.
constexpr int BufLen = 1024;
// Start of a comment.
constexpr char CommentChar = '#';
// Use-the-default marker of command-line words.
constexpr const char* WildCard = "=";
// Skip-this-value marker.
constexpr const char* SkipToken = "...";
// Abort words (compared case-insensitively within the first four characters).
constexpr const char* Terminator1 = "$exi";
constexpr const char* Terminator2 = "$eod";
constexpr const char* Terminator3 = "\\\\";
// Empty-value words.
constexpr const char* NullToken1 = "$nul";
constexpr const char* NullToken2 = "$nix";
// The end-of-transmission character: anywhere in an answer it aborts.
constexpr char EOD = 4;
// Separators of file names.
constexpr const char* DevSeparator = ":";
constexpr const char* DirSeparator = "/";
constexpr const char* ExtSeparator = ".";

// Flags of EditLine (bits, combinable).
constexpr int EditRemoveBlanks = 0x01;  // remove every white-space character (implies EditTrim)
constexpr int EditTrim = 0x02;          // remove leading and trailing white space
constexpr int EditUpper = 0x04;         // convert to upper case
constexpr int EditLower = 0x08;         // convert to lower case (wins over EditUpper)
constexpr int EditUncomment = 0x10;     // cut the line at the first CommentChar

// "KeloInput V4.40 Orrin 2007-04-19"
const char* KeloInputVersion();

// Copies at most len - 1 characters of s1 into sout and terminates it; len
// below 2 gives "" (len below 1 writes nothing), a null s1 gives "".
// conversion -1 converts to lower case, 1 to upper case, anything else copies
// unchanged.  s1 may equal sout.  Returns sout.
char* CopyLine(const char* s1, char* sout, int len, int conversion);

// Edits str in place according to EditFlag (see the Edit* flags): tabs become
// spaces, the comment is cut, white space is removed or collapsed to single
// blanks, the ends are trimmed and the case converted.  A null str is ignored.
// Returns str.
char* EditLine(int EditFlag, char* str);

// Nonzero when s is empty (the user asked for the default).
int DefaultCheck(const char* s);
// Nonzero when s contains EOD, or when its first four characters, in lower
// case, contain "$exi", "$eod" or two backslashes.
int AbortCheck(const char* s);
// Nonzero when s is exactly "..." (one final character below code 16, the
// newline of an answer, is ignored).
int SkipCheck(const char* s);
// Nonzero when the first four characters of s, in lower case, contain "$nul"
// or "$nix".
int NullCheck(const char* s);

// Prompt readers.  Each prints "Prompt " (and "[default] " when Flag is
// nonzero) and ": " to standard output, reads one line from Fptr (at most
// 1023 characters are kept; the rest of a longer line is skipped) and returns
// a status: Abort, SkipInput, NoDefault, Success or the status of the number
// evaluation.  End of input counts as an empty answer.

// Value must hold InputLineLength characters.
int GetLine(FILE* Fptr, char* Value, int Flag, const char* Prompt, const char* DefVal);
// Like GetLine; on Success *Value receives a newly allocated copy that the
// caller releases with free().
int GetString(FILE* Fptr, char** Value, int Flag, const char* Prompt, const char* DefVal);
// Number readers: the answer is evaluated as an expression; the value is
// stored whatever the status.
int GetLong(FILE* Fptr, long* Value, int Flag, const char* Prompt, long DefVal);
int GetInteger(FILE* Fptr, int* Value, int Flag, const char* Prompt, int DefVal);
int GetDouble(FILE* Fptr, double* Value, int Flag, const char* Prompt, double DefVal);
int GetReal(FILE* Fptr, float* Value, int Flag, const char* Prompt, float DefVal);

// String splitters: the part of s1 left or right of the first (FL) or last
// (FR) occurrence of s2, copied into sout with at most len - 1 characters.
// They return a pointer to that occurrence in s1.  When s2 does not occur,
// all of s1 is copied and null is returned (RightFR with "/" therefore gives
// the last path component).  Null s1 or s2 give "" and null.
const char* LeftFL(const char* s1, const char* s2, char* sout, int len);
const char* RightFL(const char* s1, const char* s2, char* sout, int len);
const char* LeftFR(const char* s1, const char* s2, char* sout, int len);
const char* RightFR(const char* s1, const char* s2, char* sout, int len);

#endif
