// KeloParameter: parameters that a program defines for itself.
//
// A program declares its own parameters by name (at most four lower-case
// characters) between InitOptions and ReadOptions.  Each takes a free slot of
// the command option table and of the value array of its type in the
// command block, so that the command line accepts it as an option (-name
// value, +name for flags) and positional arguments can prompt for it.  While
// images are processed the program reads the values back by name;
// expression parameters are evaluated anew at every read.
//
//   type            slots     value array
//   IO_TypeFloat    21-50     Arg   (IO_float)
//   IO_TypeFlexp    51-80     Flexp (IO_flexp)
//   IO_TypeLong     81-90     Num   (IO_long)
//   IO_TypeLvexp    91-100    Lvexp (IO_lvexp)
//   IO_TypeLine     101-110   Lin   (IO_line)
//   IO_TypeFlag     111-120   Flg   (IO_long)
#ifndef KELOPACK_KELOPARAMETER_H
#define KELOPACK_KELOPARAMETER_H

#include "kelopack/KeloOption.h"

// Module name of this module in error reports.
inline constexpr char SPName[] = "KeloParameter";

// Defines the parameter option of type ptyp with its default value given as
// text (flags and longs: integer expression, so "FALSE", "TRUE", "yes", "no"
// or a number; floats: float expression; texts and expressions: the text).
// A taken or reserved name, a full slot range, an unknown type or a default
// that cannot be evaluated end the program with exit status -1 after a
// message on standard error.
void option_define(int ptyp, const char* option, const char* defval, CmdBlk* pcb);

// Readers.  Status Failed for a null pcb, NoOption for an unknown name,
// OutOfRange for a name of another kind; the record is then all zero.
// num holds the current image number of each block and blkno names the block
// whose header keys the value may refer to; they are handed to the key
// replacement.  option_line replaces keys only when num is given.
IO_long option_flag(const char* option, CmdBlk* pcb, int* pstatus);
IO_line option_line(const char* option, CmdBlk* pcb, ImgBlk* ib, long* num, long blkno,
                    int* pstatus);
// Num slots: the stored value; Lvexp slots: the text evaluated now.
IO_long option_long(const char* option, CmdBlk* pcb, ImgBlk* ib, long* num, long blkno,
                    int* pstatus);
// Arg slots: the stored value; Flexp slots: the text evaluated now.
IO_float option_float(const char* option, CmdBlk* pcb, ImgBlk* ib, long* num, long blkno,
                      int* pstatus);

// Address of the parameter's value record (IO_float*, IO_flexp*, IO_long*,
// IO_lvexp*, IO_line* or the flag's IO_long*, by its type); null with
// NoOption when unknown, with OutOfRange for a built-in option.
void* option_parameter_search(const char* option, CmdBlk* pcb, int* pstatus);

// Name of a parameter type: "none", "flag", "line", "long", "lvexp",
// "float", "flexp", "mode", "rsys"; "none" for any other value.
const char* option_type2string(int ptyp);

// Stores a flag's value and set flag; returns its record (null on failure).
IO_long* option_flag_update(long Value, int I, const char* option, CmdBlk* pcb, int* pstatus);
// Stores a value given as text into any parameter (float slots evaluate it
// as a float expression, long and flag slots as an integer expression, text
// and expression slots keep it); returns the record (null on failure, the
// value then unchanged).
void* option_parameter_update(const char* Value, int I, const char* option, CmdBlk* pcb,
                              int* pstatus);
// The parameter type of a name (IO_TypeNone when unknown).
int option_type(const char* option, CmdBlk* pcb);

// Older interface: defines name in flag, text, long or float slot number n
// (0-based within its range) without a default.  A taken or reserved name or
// slot, or a slot number out of range, ends the program with exit status -1
// after a message on standard output.
void DefFlgOption(CmdBlk* pcb, const char* name, int flgopt_no);
void DefLineOption(CmdBlk* pcb, const char* name, int linopt_no);
void DefIntOption(CmdBlk* pcb, const char* name, int numopt_no);
void DefFloatOption(CmdBlk* pcb, const char* name, int argopt_no);

// Takes the first free slot for a parameter of type ptyp and gives it the
// name; returns the slot number, 0 when none is free or ptyp has no slots.
int new_command_option(CmdBlk* pcb, int ptyp, const char* option);
// The slot number of a name (first four characters compared), 0 when absent;
// an empty name or one beginning with "#" is never found.
int search_command_option(const CmdBlk* pcb, const char* option);

#endif
