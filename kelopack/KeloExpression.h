// KeloExpression: expression text to number for the image framework.
//
// The wrappers remove all blanks from a copy of the text, cut it at the
// first '#', evaluate it with num_str2double or num_str2long (wibpack/numio)
// and report a status of kelopack/KeloError.h: the status of the evaluation's
// error value, or Failed when the text does not end after the expression
// (a ',' may follow it).
#ifndef KELOPACK_KELOEXPRESSION_H
#define KELOPACK_KELOEXPRESSION_H

// Floating-point expression; 0 on error.  A null pstatus is allowed.
double doubleexpr(const char* s, int* pstatus);
// doubleexpr converted to float (beyond the float range: infinite).
float floatexpr(const char* s, int* pstatus);
// Integer expression; 0 on error.
long longexpr(const char* s, int* pstatus);
// Status (KeloStatus) of a numio error value; Failed for unknown values.
int errval2status(int errval);

#endif
