// filename: file name patterns.
//
// A file name typed by a user is a pattern, not a path.  It may carry
// environment variables ($NAME, ${NAME}), groups in braces ({abc} gives abc),
// a home directory at its start (~, ~user), backslashes from other systems, a
// run of "%" standing for the digits of a file number, and comma-separated
// numbers after the name (name,first,last,increment).  These functions turn
// patterns into real paths and pull their parts apart.
//
// Every function that returns text writes it into the caller's buffer of
// buflen bytes, terminated and cut to buflen - 1 characters, and returns
// buffer, or null on failure (nothing is printed).  Patterns longer than
// 4095 characters are cut to 4095 characters.
#ifndef WIBPACK_FILENAME_H
#define WIBPACK_FILENAME_H

#include <cstddef>

// The name that stands for no file: it reads and writes nothing.
#ifndef DUMMYFILENAME
#define DUMMYFILENAME "/dev/null"
#endif

// "filename : V1.10 Orrin 2010-12-18"
const char* filename_version();

// The pattern with its environment variables, braces and home directory
// expanded; null when a variable is undefined, a home directory unknown or a
// brace unbalanced.
char* env_subst(char* buffer, size_t buflen, const char* filepattern);

// env_subst, then the part before the first ",", with every backslash turned
// into "/".
char* filename_unix(char* buffer, size_t buflen, const char* pattern);

// Field parno (0-based) of the comma-separated pattern, as it stands; null
// when pattern is null, parno negative or the field does not exist.  An
// existing empty field gives "".
char* filename_parameter(char* buffer, size_t buflen, const char* pattern, int parno);

// The pattern with the decimal digits of |number| written into its "%"
// characters from right to left ("0" where the digits run out, leading digits
// dropped where the "%" run out); a negative number puts "-" into the
// leftmost "%".  img%%%%.wib with 12 gives img0012.wib.
char* filename_pattern(char* buffer, size_t buflen, const char* pattern, long number);

// Nonzero when the name contains "%".
int filename_has_pattern(const char* filename);
// Nonzero when the name contains "/".
int filename_has_path(const char* filename);

// filename_unix after its last "/" (all of it when there is none).
char* filename_name(char* buffer, size_t buflen, const char* pattern);
// filename_unix up to and including its last "/"; "./" when there is none.
char* filename_path(char* buffer, size_t buflen, const char* pattern);
// The first comma field up to (not including) its last "."; all of it when
// it has no ".".  The dot of a directory name counts when the file name
// itself has none.
char* filename_body(char* buffer, size_t buflen, const char* pattern);
// The first comma field after its last "."; "" when it has none.
char* filename_extension(char* buffer, size_t buflen, const char* pattern);

// The absolute path of filename_unix: its directory resolved, followed by
// "/" and the file name.  "/dev/null" stays as it is.  Null when the
// directory does not exist.
char* filename_full(char* buffer, size_t buflen, const char* pattern);

// 1 when filename_unix of filename names an existing directory entry (a file
// or a directory; the comparison is case-sensitive), else 0.
int filename_exists(const char* filename);

// strcmp of the filename_full results of both names (a failed one counts as
// "").
int filename_compare(const char* filename1, const char* filename2);

#endif
