// KeloOption: option values and blocks, command-line parsing, help and
// block listings.
//
// Every setting of the framework lives in one of three plain structures:
// the value records (IO_line, IO_long, ...: a value V and a set flag I), the
// CommandBlock (program-wide settings and the slots of program-defined
// parameters) and an array of ImageBlocks (block 0 the output sequence,
// blocks 1, 2, ... the input sequences).  Two option tables map the option
// codes typed on the command line to the fields of these structures.
//
// Use: InitOptions once, then define the program's own parameters
// (KeloParameter), then ReadOptions once.  ReadOptions releases the image
// option table; the command option table stays until ReleaseOptions.
//
// Set flags (I): 0 is the default; an option given with "+" stores +1, with
// "-" stores -1; a positional argument, a prompt answer or program code
// stores 1.
#ifndef KELOPACK_KELOOPTION_H
#define KELOPACK_KELOOPTION_H

#include <cstdio>

// ---------------------------------------------------------------------------
// Constants

// Length of every text value: at most 1023 characters and the terminator.
constexpr int IO_len = 1024;
// Size of an option code: at most 4 characters and the terminator.
constexpr int IO_CodeLen = 5;

// Number of program-defined parameter slots of each kind.
constexpr int IO_MaxFloatOpt = 30;
constexpr int IO_MaxFlexpOpt = 30;
constexpr int IO_MaxIntOpt = 10;
constexpr int IO_MaxLvexpOpt = 10;
constexpr int IO_MaxLineOpt = 10;
constexpr int IO_MaxFlagOpt = 10;

// Lengths of the two option tables (entry 0 is the table header, the last
// entry the end marker).
constexpr int IO_CmdOptLen = 122;
constexpr int IO_ImgOptLen = 32;

// First entry of each range of program-defined slots in the command option
// table; slot k of a range is element k - first of its value array.
constexpr int IO_FirstFloatOpt = 21;  // Arg
constexpr int IO_FirstFlexpOpt = 51;  // Flexp
constexpr int IO_FirstIntOpt = 81;    // Num
constexpr int IO_FirstLvexpOpt = 91;  // Lvexp
constexpr int IO_FirstLineOpt = 101;  // Lin
constexpr int IO_FirstFlagOpt = 111;  // Flg
constexpr int IO_CmdOptEnd = 121;     // end marker

inline constexpr char DefaultExtension[] = ".wib";
inline constexpr char DefaultFilename[] = "datafile.wib";
inline constexpr char DefaultInput[] = "input.wib";
inline constexpr char DefaultOutput[] = "output.wib";

// Parameter types (ptyp of an option descriptor).
constexpr int IO_TypeNone = 0;
constexpr int IO_TypeFlag = 1;        // IO_long, no value word
constexpr int IO_TypeLine = 2;        // IO_line
constexpr int IO_TypeLong = 3;        // IO_long, integer expression evaluated at once
constexpr int IO_TypeLvexp = 4;       // IO_lvexp, kept as text
constexpr int IO_TypeFloat = 5;       // IO_float, float expression evaluated at once
constexpr int IO_TypeFlexp = 6;       // IO_flexp, kept as text
constexpr int IO_TypeMode = 7;        // IO_long, open mode word
constexpr int IO_TypeRSys = 8;        // IO_long, reference system word
constexpr int IO_TypeProjection = 9;  // IO_long, projection type word
constexpr int IO_TypeAxis = 10;       // IO_long, axis type word

// Open mode bits (OpenMode of an image block).
constexpr long IO_New = 0x0001;
constexpr long IO_Old = 0x0002;
constexpr long IO_FileProtect = 0x0004;
constexpr long IO_ImageProtect = 0x0008;
constexpr long IO_DontReadData = 0x0010;
constexpr long IO_DontReadWrite = 0x0020;
constexpr long IO_DontOpen = 0x0040;
constexpr long IO_Dummy = 0x0080;

// Codes of the command options (without the "-" or "+" prefix).
inline constexpr char STestBit[] = "test";
inline constexpr char SHelp[] = "h";
inline constexpr char SPrompt[] = "p";
inline constexpr char SShift[] = "shft";
inline constexpr char SRSys[] = "rsys";
inline constexpr char SUSys[] = "usys";
inline constexpr char SGeneralBlock[] = "gblk";
inline constexpr char SPassHeader[] = "pass";
inline constexpr char SCreateVariance[] = "var";
inline constexpr char SAntiAliased[] = "aa";
inline constexpr char SVarianceWeight[] = "vw";
inline constexpr char SOutputDataType[] = "type";
inline constexpr char SOutputDataValueOffset[] = "dvo";
inline constexpr char SOutputCompression[] = "cmpr";
inline constexpr char SBslInputByteOrder[] = "bibo";
inline constexpr char SAdd[] = "add";
inline constexpr char SIPMin[] = "pmin";
inline constexpr char SMaxLineWidth[] = "mlw";
inline constexpr char SMinHeaderSize[] = "mhs";
inline constexpr char SCommonOrientation[] = "cori";

// Codes of the image options; typed after the block prefix o (output) or
// i1 ... i9 (inputs).
inline constexpr char SOpenMode[] = "mod";
inline constexpr char SName[] = "nam";
inline constexpr char SMemory[] = "mem";
inline constexpr char SFirst[] = "fst";
inline constexpr char SLast[] = "lst";
inline constexpr char SInc[] = "inc";
inline constexpr char SMinClip[] = "min";
inline constexpr char SMaxClip[] = "max";
inline constexpr char SConst[] = "con";
inline constexpr char SFactor[] = "fac";
inline constexpr char SVal[] = "val";
inline constexpr char SErrVal[] = "err";
inline constexpr char SBin[] = "bin";
inline constexpr char SAve[] = "ave";
inline constexpr char SGnaw[] = "gna";
inline constexpr char STitle[] = "tit";
inline constexpr char STime[] = "time";
inline constexpr char SDim[] = "dim";
inline constexpr char SDummy[] = "dum";
inline constexpr char SDDummy[] = "ddum";
inline constexpr char SOffset[] = "off";
inline constexpr char SCen[] = "cen";
inline constexpr char SBinSiz[] = "bis";
inline constexpr char SPixSiz[] = "pix";
inline constexpr char SSampleDistance[] = "dis";
inline constexpr char SWaveLength[] = "wvl";
inline constexpr char SDetRot[] = "rot";
inline constexpr char SOrientation[] = "ori";
inline constexpr char SProjection[] = "pro";
inline constexpr char SAxisType[] = "axis";

// Open mode words.
inline constexpr char SNewFP[] = "n+fp";
inline constexpr char SNewIP[] = "n+ip";
inline constexpr char SNew[] = "n";
inline constexpr char SOldFP[] = "o+fp";
inline constexpr char SOldIP[] = "o+ip";
inline constexpr char SOld[] = "o";
inline constexpr char SAnyIP[] = "a+ip";
inline constexpr char SAnyFP[] = "a+fp";
inline constexpr char SAny[] = "a";

// Reference system words.
inline constexpr char SArray[] = "array";
inline constexpr char SImage[] = "image";
inline constexpr char SCenter[] = "center";
inline constexpr char SRegion[] = "region";
inline constexpr char SReal[] = "real";
inline constexpr char SNormal[] = "normal";
inline constexpr char STangens[] = "tangens";
inline constexpr char SSaxs[] = "saxs";

// Module name of this module in error reports.
inline constexpr char SOName[] = "KeloOption";

// Messages.
extern const char ErrorOptionDuplicated[];  // "ERROR: Option duplicated or reserved: "
extern const char ErrorOptionDefnFailed[];  // "ERROR: Option definition failed: "
extern const char ErrorCmdArrayTooShort[];  // "ERROR: Command option array too short"
extern const char ErrorImgArrayTooShort[];  // "ERROR: Image option array too short"
extern const char ErrorCannotAllcMemory[];  // "ERROR: Cannot allocate memory"

// Names of the enumerations stored in the blocks.
extern const char ReferenceArray[], ReferenceImage[], ReferenceCenter[], ReferenceRegion[],
    ReferenceReal[], ReferenceNormal[], ReferenceTangens[], ReferenceSaxs[], ReferenceUnknown[];
extern const char ProjectionUnknown[];
extern const char AxisTypeUnknown[];

// ---------------------------------------------------------------------------
// Value records

typedef struct {
  char V[IO_len];
  int I;
} IO_line;
typedef struct {
  char V[IO_len];
  int I;
} IO_flexp;
typedef struct {
  char V[IO_len];
  int I;
} IO_lvexp;
typedef struct {
  long V;
  int I;
} IO_long;
typedef struct {
  float V;
  int I;
} IO_float;
struct Num_Prog;  // compiled expression program of the expression library
typedef struct {
  struct Num_Prog* V;
  int I;
} IO_prog;

// One entry of an option table.  Entry 0 is the table header whose npar is
// the index of the end marker (an entry with an empty code).
typedef struct OptionDescriptor {
  char code[IO_CodeLen];  // lower case; "" free slot or end; "#..." hidden from help
  int ptyp;               // parameter type IO_Type...
  int npar;               // number of value words consumed
} OptDsc;

struct ImageBlock;

typedef struct CommandBlock {
  char* MainName;           // program name (argv[0] unless set before)
  const char* MainVersion;  // version line of the main program
  const char* MainHelp;     // usage text of the positional arguments
  void* MainData;           // carried unchanged for the main program
  int argc;                 // number of command-line words including argv[0]
  char** argv;              // the command-line words
  int* parg_no;             // index of the last word consumed
  FILE* infile;             // stream of the prompt answers
  OptDsc* co;               // command option table (IO_CmdOptLen entries)
  OptDsc* io;               // image option table (IO_ImgOptLen entries)
  struct ImageBlock* ib;    // the image block array
  int ImgBlkLen;            // number of image blocks (1 output + inputs)
  int RejectNum;            // "-digit" and "+digit" are positional arguments
  long Cycles;              // loop cycle count of the image loop
  int TestBit;              // debug level
  IO_long Help;             // help request, V 1 long help
  IO_long Prompt;           // prompt for positional values
  IO_long RSys;             // reference system of the geometry parameters
  IO_long USys;             // reference system of typed coordinates
  IO_long GeneralBlock;     // write a general header block
  IO_long PassHeader;       // pass the input header to the output
  IO_long CreateVariance;   // create and propagate variance arrays
  IO_long AntiAliased;      // anti-aliased interpolation
  IO_long VarianceWeight;   // variance weighting in interpolation
  IO_long OutputDataType;   // data type number of output data, 0 default
  IO_long OutputDataValueOffset;
  IO_long OutputCompression;  // compression number of output data
  IO_long BslInputByteOrder;
  IO_long MaxLineWidth;
  IO_long MinHeaderSize;
  IO_long CommonOrientation;     // bring all images to one raster orientation
  IO_long Add;                   // input images added into one output image
  IO_float IPMin;                // minimum coverage for interpolation
  IO_long Ave;                   // not used
  IO_flexp Shift[3];             // output shift, elements 1 and 2
  IO_float Arg[IO_MaxFloatOpt];  // program-defined parameters
  IO_flexp Flexp[IO_MaxFlexpOpt];
  IO_long Num[IO_MaxIntOpt];
  IO_lvexp Lvexp[IO_MaxLvexpOpt];
  IO_line Lin[IO_MaxLineOpt];
  IO_long Flg[IO_MaxFlagOpt];
} CmdBlk;

typedef struct ImageBlock {
  int blkno;                    // index in the array (0 output, 1.. inputs)
  int Stream;                   // handle of the open file, -1 when closed
  long StreamOpenMode;          // open mode of Stream
  long FileNumber;              // number of the file currently open
  long LoopNumber;              // current loop position
  char FileName[IO_len];        // expanded name of the file currently open
  IO_line Name;                 // file name or file name pattern
  IO_long FFirst, FLast, FInc;  // file numbers
  IO_long OpenMode;             // open mode bits
  IO_long Memory;               // data chain of the file
  IO_long First, Last, Inc;     // image numbers
  IO_flexp MinClip, MaxClip, Const, Factor, Val, ErrVal;
  IO_lvexp Bin[3];
  IO_long Ave;
  IO_lvexp Gnaw[3];
  IO_line Title, Time;
  IO_lvexp Dim[3];
  IO_flexp Dummy, DDummy;
  IO_flexp Offset[3], Center[3], BinSiz[3], PixSiz[3];
  IO_flexp SampleDistance, WaveLength;
  IO_flexp DetRot[4];
  IO_lvexp Orientation;
  IO_long Projection;
  IO_long AxisType[3];
} ImgBlk;

// ---------------------------------------------------------------------------
// Blocks, tables and initialisation

// "KeloOption V6.72 Orrin 2011-07-24"
const char* KeloOptionVersion();

// Fills the command block and the ib_len image blocks with their defaults
// and allocates and fills both option tables.  Ends the program with exit
// status -1 when the tables cannot be allocated.
void InitOptions(const char* mainhelp, const char* mainvers, void* maindata, int rjctnum,
                 CmdBlk* pcb, ImgBlk* ib, int ib_len);
void InitCommandBlock(const char* mhlp, const char* mvers, void* mdat, int rjctnum, ImgBlk* ib,
                      int ib_len, CmdBlk* pcb);
void InitImageBlock(ImgBlk* ib, int blkno);
// Fill a table of at least IO_CmdOptLen (IO_ImgOptLen) entries; a shorter
// table ends the program with exit status 0 after a message.
void InitCommandOptions(OptDsc* co, int cl);
void InitImageOptions(OptDsc* io, int il);
// Releases whatever option tables the command block still holds.
void ReleaseOptions(CmdBlk* pcb);

// ---------------------------------------------------------------------------
// Parsing

// Parses the options at the front of argv (null-terminated) into the blocks;
// *parg_no (0 before the call) becomes the index of the last word consumed.
// On failure the message "    <word> <word> ... " is stored in the error
// block and both option tables are released.
void ReadOptions(char* argv[], int* parg_no, CmdBlk* pcb, ImgBlk* ib, int* pstatus);
// 0: the next word is no option (nothing consumed); 1: it was consumed as an
// option word and the status tells whether it was understood.
int FindOption(char* argv[], int* parg_no, CmdBlk* pcb, int* pblk_no, int* popt_no, int* popt_onoff,
               int* pstatus);
void GetOption(const char* ps, const OptDsc* dsc, int* popt_no, int* pstatus);
void DoOption(char* argv[], int* parg_no, int blk_no, int opt_no, int opt_onoff, CmdBlk* pcb,
              ImgBlk* ib, int ib_len, int* pstatus);
void DoCmdOption(char* ps[], int* pc, int opt_no, int opt_onoff, CmdBlk* pcb, int* pstatus);
void DoImgOption(char* ps[], int* pc, int opt_no, int opt_onoff, ImgBlk* pib, int* pstatus);

// Value readers: s1 is the value word (null when the command line ended).
// They return 1 when a value was stored, 0 when not: a missing word gives
// ScanEmpty, the word "=" Success (nothing stored).
int ScanLine(const char* s1, char* pvalue, int* pstatus);  // pvalue: IO_len chars
int ScanFlExp(const char* s1, char* pvalue, int* pstatus);
int ScanLvExp(const char* s1, char* pvalue, int* pstatus);
int ScanLong(const char* s1, long* pvalue, int* pstatus);
int ScanFloat(const char* s1, float* pvalue, int* pstatus);
// ScanMode and ScanSys lower-case the word in place.
int ScanMode(char* s1, long* pvalue, int* pstatus);
int ScanSys(char* s1, long* pvalue, int* pstatus);
int ScanPro(const char* s1, long* pvalue, int* pstatus);
int ScanAxis(const char* s1, long* pvalue, int* pstatus);

// Projection and axis type numbers of a word (any case), 0 when unknown.
long strtopro(const char* str);
long strtoaxis(const char* str);

// Reads the numbers appended to a file name (name,first,last,increment) into
// the file numbers (names with "%") or the image numbers of the block; their
// set flags become opt_onoff.  Returns 0 when the name is not set, else 1.
int extract_filenumbers(ImgBlk* pib, const IO_line* pName, int opt_onoff, int* pstatus);
// Field parno of fname into *pNumber (rounded half up); returns 0 when the
// field does not exist, else 1; an empty field leaves *pNumber alone.
int scan_for_filenumber(IO_long* pNumber, const char* fname, int parno, int opt_onoff,
                        int* pstatus);
// Nonzero when name may not become a new command option: it begins with o
// or i, or its first four characters equal an existing command code.
int CheckOptionDuplication(const CmdBlk* pcb, const char* name);

// ---------------------------------------------------------------------------
// Help and listings (standard output)

void ShowHelp(const CmdBlk* pcb);
void ShowOptions(const char* c, const OptDsc* dsc);
void ShowDataTypes();
void PrintOptions(const char* dname, const OptDsc* dsc, int dscl);
void PrintBlocks(const CmdBlk* pcb, const ImgBlk* ib);
void PrintCommandBlock(const CmdBlk* pcb);
void PrintImageBlock(const ImgBlk* pib);
void ShowModes();
void ShowSys();
void ShowPro();
void ShowAxis();

const char* reftostr(long refsys);
const char* protostr(long protyp);
const char* axistostr(long axistyp);

// ---------------------------------------------------------------------------
// Positional arguments and prompting
//
// After ReadOptions a program reads its remaining settings in a fixed order:
// argv_start, one reader per value (each consumes exactly one position of
// the command line, whether a word is there or not), argv_end.  For each
// value:
//   - if no option set it (I == 0), V becomes the default defval;
//   - a word "..." skips the value (V stays, I is not set), a word "=" keeps
//     V and marks it set, any other word replaces V and marks it set; at the
//     end of the command line the default is taken and marked set;
//   - in prompt mode (Prompt.V) the reader then asks on infile, offering V
//     as default: an answer sets the value; "..." or an empty answer without
//     default leaves it unset; an abort word ends with status Abort;
//   - a value that stays unset prints "... skipped".
// An expression text (flexp, lvexp) never becomes empty: an empty result
// restores the text the record held before the call and prints "...
// skipped".  A line may be empty; its prompt always shows the default.
// Number readers evaluate a word at once; an invalid word becomes the error
// message and its status is returned.  With TestBit the readers print their
// position and the value taken.  Every reader appends the value (or "...")
// to the history line of the run.

// Words printed by the readers.
extern const char InputSkipped[];  // "... skipped"
extern const char InputValue[];    // "Value ="

// Prompt mode, unless the option "p" chose it: on exactly when fewer than
// narg words follow the options.
void argv_start(CmdBlk* pcb, int narg);
// Consumes the rest of the command line; surplus words give a warning and
// the usage line on standard error (the status is not changed).
void argv_end(CmdBlk* pcb);

void argv_line(CmdBlk* pcb, const char* promptline, IO_line* value, const char* defval,
               int* pstatus);
void argv_flexp(CmdBlk* pcb, const char* promptline, IO_flexp* value, const char* defval,
                int* pstatus);
void argv_lvexp(CmdBlk* pcb, const char* promptline, IO_lvexp* value, const char* defval,
                int* pstatus);
// Integer expression.
void argv_long(CmdBlk* pcb, const char* promptline, IO_long* value, long defval,
               int* pstatus);
// Integer expression (TRUE, FALSE, yes, no or a number) stored as 0 or 1.
void argv_flag(CmdBlk* pcb, const char* promptline, IO_long* value, long defval,
               int* pstatus);
// Float expression; argv_coord and argv_dist read a coordinate and a
// distance the same way (units allowed, no conversion between reference
// systems).
void argv_float(CmdBlk* pcb, const char* promptline, IO_float* value, float defval,
                int* pstatus);
void argv_coord(CmdBlk* pcb, const char* promptline, IO_float* value, float defval,
                int* pstatus);
void argv_dist(CmdBlk* pcb, const char* promptline, IO_float* value, float defval,
               int* pstatus);
// Reads Name of image block blkno with argv_line; numbers appended to the
// name (name,first,last,increment) then set its image or file numbers.
void argv_filename(CmdBlk* pcb, const char* promptline, ImgBlk* ib, int blkno,
                   const char* defval, int* pstatus);

#endif
