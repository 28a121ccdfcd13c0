// KeloOption: parsing of the options at the front of the command line and
// the readers of their values.
#include <strings.h>

#include <cmath>
#include <cstring>
#include <string>

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloError.h"
#include "kelopack/KeloExpression.h"
#include "kelopack/KeloInput.h"
#include "kelopack/KeloOption.h"
#include "kelopack/KeloOption_internal.h"
#include "wibpack/filename.h"
#include "wibpack/ipol.h"
#include "wibpack/reference.h"
#include "wibpack/wibio.h"

using namespace kelo_option;

namespace {

// A word of a word table and the number it stands for.
struct WordNumber {
  const char* word;
  long number;
};

// Open mode words in the order in which they are compared.
const WordNumber ModeWords[9] = {
    {SNewFP, IO_New | IO_FileProtect}, {SNewIP, IO_New | IO_ImageProtect}, {SNew, IO_New},
    {SOldFP, IO_Old | IO_FileProtect}, {SOldIP, IO_Old | IO_ImageProtect}, {SOld, IO_Old},
    {SAnyIP, IO_ImageProtect},         {SAnyFP, IO_FileProtect},           {SAny, 0},
};

// Reference system words, in the order of their numbers.
const WordNumber SysWords[8] = {
    {SArray, IO_Array}, {SImage, IO_Image},   {SCenter, IO_Center},   {SRegion, IO_Region},
    {SReal, IO_Real},   {SNormal, IO_Normal}, {STangens, IO_Tangens}, {SSaxs, IO_Saxs},
};

// Checks a value word: a missing word gives ScanEmpty, "=" gives Success;
// both return false (nothing to store).  Otherwise true.
bool value_word(const char* s1, int* pstatus) {
  if (!s1) {
    *pstatus = ScanEmpty;
    return false;
  }
  if (strcmp(s1, WildCard) == 0) {
    *pstatus = Success;
    return false;
  }
  return true;
}

// Looks word up in a word table; returns its index or -1.
int find_word(const WordNumber* table, int n, const char* word) {
  for (int k = 0; k < n; k++)
    if (strcmp(table[k].word, word) == 0) return k;
  return -1;
}

void lower_in_place(char* s) { CopyLine(s, s, static_cast<int>(strlen(s)) + 1, -1); }

// The word after index k of argv, or null when argv ends before it: no word
// beyond the terminating null is looked at.
char* word_after(char* argv[], int k) { return argv[k] ? argv[k + 1] : nullptr; }

// Results of reading one value word of an option.
constexpr int kFailed = -1;  // the reader failed: the option stops
constexpr int kKept = 0;     // "=": the value stays as it was
constexpr int kStored = 1;   // a value was stored and its flag set

// Reads the next value word of an option: advances the counter (also when
// the word is missing) and hands the word to the reader.  A stored value
// gets the sign of the option as its flag *pI.
template <typename Reader, typename Value>
int read_value(char* ps[], int* pc, Reader reader, Value* value, int* pI, int opt_onoff,
               int* pstatus) {
  char* word = word_after(ps, *pc);
  ++*pc;
  if (reader(word, value, pstatus)) {
    *pI = opt_onoff;
    return kStored;
  }
  return *pstatus == Success ? kKept : kFailed;
}

int read_text(char* ps[], int* pc, int (*reader)(const char*, char*, int*), char* value, int* pI,
              int opt_onoff, int* pstatus) {
  return read_value(ps, pc, reader, value, pI, opt_onoff, pstatus);
}

int read_long(char* ps[], int* pc, IO_long* v, int opt_onoff, int* pstatus) {
  return read_value(ps, pc, ScanLong, &v->V, &v->I, opt_onoff, pstatus);
}

void set_flag(IO_long* flag, int opt_onoff) {
  flag->V = opt_onoff > 0 ? 1 : 0;
  flag->I = opt_onoff;
}

// Reads the name of a data type or compression into *v with the converter;
// 0 (unknown name) leaves ScanError.  "=" is a name like any other here.
int read_named_number(char* ps[], int* pc, long (*convert)(const char*), IO_long* v, int opt_onoff,
                      int* pstatus) {
  const char* word = word_after(ps, *pc);
  ++*pc;
  if (!word) {
    *pstatus = ScanEmpty;
    return kFailed;
  }
  long number = convert(word);
  if (number == 0) {
    *pstatus = ScanError;
    return kFailed;
  }
  v->V = number;
  v->I = opt_onoff;
  *pstatus = Success;
  return kStored;
}

}  // namespace

// ---------------------------------------------------------------------------
// Value readers

int ScanLine(const char* s1, char* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  CopyLine(s1, pvalue, IO_len, 0);
  *pstatus = Success;
  return 1;
}

int ScanFlExp(const char* s1, char* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  if (!*s1) {
    *pstatus = ScanError;
    return 0;
  }
  CopyLine(s1, pvalue, IO_len, 0);
  *pstatus = Success;
  return 1;
}

int ScanLvExp(const char* s1, char* pvalue, int* pstatus) { return ScanFlExp(s1, pvalue, pstatus); }

int ScanLong(const char* s1, long* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  long value = longexpr(s1, pstatus);
  if (*pstatus != Success) return 0;
  *pvalue = value;
  return 1;
}

int ScanFloat(const char* s1, float* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  float value = floatexpr(s1, pstatus);
  if (*pstatus != Success) return 0;
  *pvalue = value;
  return 1;
}

int ScanMode(char* s1, long* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  lower_in_place(s1);
  int k = find_word(ModeWords, 9, s1);
  if (k < 0) {
    *pstatus = ScanError;
    ShowModes();
    return 0;
  }
  *pvalue = ModeWords[k].number;
  *pstatus = Success;
  return 1;
}

int ScanSys(char* s1, long* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  lower_in_place(s1);
  int k = find_word(SysWords, 8, s1);
  if (k < 0) {
    *pstatus = ScanError;
    ShowSys();
    return 0;
  }
  *pvalue = SysWords[k].number;
  *pstatus = Success;
  return 1;
}

int ScanPro(const char* s1, long* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  long value = strtopro(s1);
  if (!value) {
    *pstatus = ScanError;
    ShowPro();
    return 0;
  }
  *pvalue = value;
  *pstatus = Success;
  return 1;
}

int ScanAxis(const char* s1, long* pvalue, int* pstatus) {
  if (!value_word(s1, pstatus)) return 0;
  long value = strtoaxis(s1);
  if (!value) {
    *pstatus = ScanError;
    ShowAxis();
    return 0;
  }
  *pvalue = value;
  *pstatus = Success;
  return 1;
}

long strtopro(const char* str) {
  if (!str) return IO_NoPro;
  if (strcasecmp(str, "Saxs") == 0) return IO_ProSaxs;
  if (strcasecmp(str, "Waxs") == 0) return IO_ProWaxs;
  return IO_NoPro;
}

long strtoaxis(const char* str) {
  if (!str) return IO_NoAxisType;
  if (strcasecmp(str, "Distance") == 0) return IO_AxisTypeDistance;
  if (strcasecmp(str, "Angle") == 0) return IO_AxisTypeAngle;
  if (strcasecmp(str, "Numerator") == 0) return IO_AxisTypeNumerator;
  return IO_NoAxisType;
}

// ---------------------------------------------------------------------------
// Numbers appended to file names

int scan_for_filenumber(IO_long* pNumber, const char* fname, int parno, int opt_onoff,
                        int* pstatus) {
  *pstatus = Success;
  char field[IO_len];
  if (!filename_parameter(field, IO_len, fname, parno)) return 0;
  if (!field[0]) return 1;
  double value = doubleexpr(field, pstatus);
  if (*pstatus != Success) return 1;
  double rounded = floor(value + 0.5);
  // A value that does not fit into a long (or is not a number) cannot be a
  // file or image number.
  if (!(rounded >= -9223372036854775808.0 && rounded < 9223372036854775808.0)) {
    *pstatus = IntegerOverflow;
    return 1;
  }
  pNumber->V = static_cast<long>(rounded);
  pNumber->I = opt_onoff;
  return 1;
}

int extract_filenumbers(ImgBlk* pib, const IO_line* pName, int opt_onoff, int* pstatus) {
  *pstatus = Success;
  if (!pName->I) return 0;
  bool file_numbers = strchr(pName->V, '%') != nullptr;
  IO_long* target[3] = {&pib->First, &pib->Last, &pib->Inc};
  if (file_numbers) {
    target[0] = &pib->FFirst;
    target[1] = &pib->FLast;
    target[2] = &pib->FInc;
  }
  for (int parno = 1; parno <= 3; parno++) {
    if (!scan_for_filenumber(target[parno - 1], pName->V, parno, opt_onoff, pstatus)) break;
    if (*pstatus != Success) break;
  }
  return 1;
}

// ---------------------------------------------------------------------------
// Options

void DoCmdOption(char* ps[], int* pc, int opt_no, int opt_onoff, CmdBlk* pcb, int* pstatus) {
  *pstatus = ScanError;
  switch (opt_no) {
    case NTestBit:
      pcb->TestBit = opt_onoff > 0 ? pcb->TestBit + 1 : 0;
      break;
    case NHelp:
      set_flag(&pcb->Help, opt_onoff);
      ShowHelp(pcb);
      *pstatus = StoppedAfterHelp;
      return;
    case NPrompt:
      set_flag(&pcb->Prompt, opt_onoff);
      break;
    case NShift:
      for (int k = 1; k <= 2; k++)
        if (read_text(ps, pc, ScanFlExp, pcb->Shift[k].V, &pcb->Shift[k].I, opt_onoff, pstatus) < 0)
          return;
      break;
    case NRSys: {
      int r = read_value(ps, pc, ScanSys, &pcb->RSys.V, &pcb->RSys.I, opt_onoff, pstatus);
      if (r == kFailed) return;
      // The coordinate system follows the reference system unless it was set.
      if (r == kStored && !pcb->USys.I) pcb->USys.V = pcb->RSys.V;
      break;
    }
    case NUSys:
      if (read_value(ps, pc, ScanSys, &pcb->USys.V, &pcb->USys.I, opt_onoff, pstatus) < 0) return;
      break;
    case NGeneralBlock:
      set_flag(&pcb->GeneralBlock, opt_onoff);
      break;
    case NPassHeader:
      set_flag(&pcb->PassHeader, opt_onoff);
      break;
    case NCreateVariance:
      set_flag(&pcb->CreateVariance, opt_onoff);
      break;
    case NAntiAliased:
      set_flag(&pcb->AntiAliased, opt_onoff);
      break;
    case NVarianceWeight:
      set_flag(&pcb->VarianceWeight, opt_onoff);
      break;
    case NOutputDataType:
      if (read_named_number(ps, pc, wib_string2datatype, &pcb->OutputDataType, opt_onoff, pstatus) <
          0)
        return;
      break;
    case NOutputDataValueOffset:
      if (read_long(ps, pc, &pcb->OutputDataValueOffset, opt_onoff, pstatus) < 0) return;
      break;
    case NOutputCompression:
      if (read_named_number(ps, pc, wib_string2compression, &pcb->OutputCompression, opt_onoff,
                            pstatus) < 0)
        return;
      break;
    case NBslInputByteOrder:
      if (read_long(ps, pc, &pcb->BslInputByteOrder, opt_onoff, pstatus) < 0) return;
      break;
    case NAdd:
      if (read_long(ps, pc, &pcb->Add, opt_onoff, pstatus) < 0) return;
      break;
    case NIPMin: {
      int r = read_value(ps, pc, ScanFloat, &pcb->IPMin.V, &pcb->IPMin.I, opt_onoff, pstatus);
      if (r == kFailed) return;
      // The interpolation module takes the new minimum (it ignores negative
      // values, which stay in the block only).
      if (r == kStored) Ipolmin(pcb->IPMin.V);
      break;
    }
    case NMaxLineWidth:
      if (read_long(ps, pc, &pcb->MaxLineWidth, opt_onoff, pstatus) < 0) return;
      break;
    case NMinHeaderSize:
      if (read_long(ps, pc, &pcb->MinHeaderSize, opt_onoff, pstatus) < 0) return;
      break;
    case NCommonOrientation:
      set_flag(&pcb->CommonOrientation, opt_onoff);
      break;
    default:
      if (opt_no >= IO_FirstFloatOpt && opt_no < IO_FirstFlexpOpt) {
        IO_float* v = &pcb->Arg[opt_no - IO_FirstFloatOpt];
        if (read_value(ps, pc, ScanFloat, &v->V, &v->I, opt_onoff, pstatus) < 0) return;
      } else if (opt_no >= IO_FirstFlexpOpt && opt_no < IO_FirstIntOpt) {
        IO_flexp* v = &pcb->Flexp[opt_no - IO_FirstFlexpOpt];
        if (read_text(ps, pc, ScanLine, v->V, &v->I, opt_onoff, pstatus) < 0) return;
      } else if (opt_no >= IO_FirstIntOpt && opt_no < IO_FirstLvexpOpt) {
        if (read_long(ps, pc, &pcb->Num[opt_no - IO_FirstIntOpt], opt_onoff, pstatus) < 0) return;
      } else if (opt_no >= IO_FirstLvexpOpt && opt_no < IO_FirstLineOpt) {
        IO_lvexp* v = &pcb->Lvexp[opt_no - IO_FirstLvexpOpt];
        if (read_text(ps, pc, ScanLine, v->V, &v->I, opt_onoff, pstatus) < 0) return;
      } else if (opt_no >= IO_FirstLineOpt && opt_no < IO_FirstFlagOpt) {
        IO_line* v = &pcb->Lin[opt_no - IO_FirstLineOpt];
        if (read_text(ps, pc, ScanLine, v->V, &v->I, opt_onoff, pstatus) < 0) return;
      } else if (opt_no >= IO_FirstFlagOpt && opt_no < IO_CmdOptEnd) {
        set_flag(&pcb->Flg[opt_no - IO_FirstFlagOpt], opt_onoff);
      } else {
        *pstatus = NoOption;
        return;
      }
  }
  *pstatus = Success;
}

void DoImgOption(char* ps[], int* pc, int opt_no, int opt_onoff, ImgBlk* pib, int* pstatus) {
  *pstatus = ScanError;
  // Options that read one expression text, and those that read two (three
  // for the rotations) into elements 1, 2 (,3) of an array.
  IO_flexp* flexp = nullptr;
  IO_lvexp* lvexp_pair = nullptr;
  IO_flexp* flexp_array = nullptr;
  int count = 2;
  switch (opt_no) {
    case NOpenMode:
      if (read_value(ps, pc, ScanMode, &pib->OpenMode.V, &pib->OpenMode.I, opt_onoff, pstatus) < 0)
        return;
      break;
    case NName: {
      int r = read_text(ps, pc, ScanLine, pib->Name.V, &pib->Name.I, opt_onoff, pstatus);
      if (r == kFailed) return;
      if (r == kStored) {
        extract_filenumbers(pib, &pib->Name, opt_onoff, pstatus);
        if (*pstatus != Success) return;
      }
      break;
    }
    case NMemory:
      if (read_long(ps, pc, &pib->Memory, opt_onoff, pstatus) < 0) return;
      break;
    case NFirst:
      if (read_long(ps, pc, &pib->First, opt_onoff, pstatus) < 0) return;
      break;
    case NLast:
      if (read_long(ps, pc, &pib->Last, opt_onoff, pstatus) < 0) return;
      break;
    case NInc:
      if (read_long(ps, pc, &pib->Inc, opt_onoff, pstatus) < 0) return;
      break;
    case NMinClip:
      flexp = &pib->MinClip;
      break;
    case NMaxClip:
      flexp = &pib->MaxClip;
      break;
    case NConst:
      flexp = &pib->Const;
      break;
    case NFactor:
      flexp = &pib->Factor;
      break;
    case NVal:
      flexp = &pib->Val;
      break;
    case NErrVal:
      flexp = &pib->ErrVal;
      break;
    case NDummy:
      flexp = &pib->Dummy;
      break;
    case NDDummy:
      flexp = &pib->DDummy;
      break;
    case NSampleDistance:
      flexp = &pib->SampleDistance;
      break;
    case NWaveLength:
      flexp = &pib->WaveLength;
      break;
    case NBin:
      lvexp_pair = pib->Bin;
      break;
    case NGnaw:
      lvexp_pair = pib->Gnaw;
      break;
    case NDim:
      lvexp_pair = pib->Dim;
      break;
    case NOffset:
      flexp_array = pib->Offset;
      break;
    case NCen:
      flexp_array = pib->Center;
      break;
    case NBinSiz:
      flexp_array = pib->BinSiz;
      break;
    case NPixSiz:
      flexp_array = pib->PixSiz;
      break;
    case NDetRot:
      flexp_array = pib->DetRot;
      count = 3;
      break;
    case NAve:
      set_flag(&pib->Ave, opt_onoff);
      break;
    case NTitle:
      if (read_text(ps, pc, ScanLine, pib->Title.V, &pib->Title.I, opt_onoff, pstatus) < 0) return;
      break;
    case NTime:
      if (read_text(ps, pc, ScanLine, pib->Time.V, &pib->Time.I, opt_onoff, pstatus) < 0) return;
      break;
    case NOrientation:
      if (read_text(ps, pc, ScanLvExp, pib->Orientation.V, &pib->Orientation.I, opt_onoff,
                    pstatus) < 0)
        return;
      break;
    case NProjection:
      if (read_value(ps, pc, ScanPro, &pib->Projection.V, &pib->Projection.I, opt_onoff, pstatus) <
          0)
        return;
      break;
    case NAxisType:
      for (int k = 1; k <= 2; k++)
        if (read_value(ps, pc, ScanAxis, &pib->AxisType[k].V, &pib->AxisType[k].I, opt_onoff,
                       pstatus) < 0)
          return;
      break;
    default:
      *pstatus = NoOption;
      return;
  }
  if (flexp && read_text(ps, pc, ScanFlExp, flexp->V, &flexp->I, opt_onoff, pstatus) < 0) return;
  if (lvexp_pair)
    for (int k = 1; k <= 2; k++)
      if (read_text(ps, pc, ScanLvExp, lvexp_pair[k].V, &lvexp_pair[k].I, opt_onoff, pstatus) < 0)
        return;
  if (flexp_array)
    for (int k = 1; k <= count; k++)
      if (read_text(ps, pc, ScanFlExp, flexp_array[k].V, &flexp_array[k].I, opt_onoff, pstatus) < 0)
        return;
  *pstatus = Success;
}

void DoOption(char* argv[], int* parg_no, int blk_no, int opt_no, int opt_onoff, CmdBlk* pcb,
              ImgBlk* ib, int ib_len, int* pstatus) {
  if (pcb->TestBit) printf("blk_no = %d, opt_no = %d, opt_onoff = %d\n", blk_no, opt_no, opt_onoff);
  if (blk_no >= 0 && blk_no < ib_len)
    DoImgOption(argv, parg_no, opt_no, opt_onoff, &ib[blk_no], pstatus);
  else if (blk_no == -1)
    DoCmdOption(argv, parg_no, opt_no, opt_onoff, pcb, pstatus);
  else
    *pstatus = NoOption;
}

void GetOption(const char* ps, const OptDsc* dsc, int* popt_no, int* pstatus) {
  *popt_no = 0;
  if (!dsc) return;
  int end = dsc[0].npar;
  int n = 1;
  while (n < end && strcmp(dsc[n].code, ps) != 0) n++;
  if (dsc[n].code[0]) {
    *popt_no = n;
    *pstatus = Success;
  }
}

int FindOption(char* argv[], int* parg_no, CmdBlk* pcb, int* pblk_no, int* popt_no, int* popt_onoff,
               int* pstatus) {
  *pstatus = Success;
  *popt_no = 0;
  *popt_onoff = 0;
  *pblk_no = -2;

  char word[IO_len];
  CopyLine(word_after(argv, *parg_no), word, IO_len, -1);

  if (word[0] == '-')
    *popt_onoff = -1;
  else if (word[0] == '+')
    *popt_onoff = 1;
  else
    return 0;
  if (pcb->RejectNum && word[1] >= '0' && word[1] <= '9') return 0;

  ++*parg_no;
  *pstatus = ScanError;

  const char* code;
  if (word[1] == 'i') {
    if (word[2] < '1' || word[2] > '9') return 1;
    *pblk_no = word[2] - '0';
    code = word + 3;
  } else if (word[1] == 'o') {
    *pblk_no = 0;
    if (pcb->ImgBlkLen <= 0) return 1;
    code = word + 2;
  } else {
    *pblk_no = -1;
    code = word + 1;
  }
  if (!code[0]) return 1;

  *pstatus = NoOption;
  GetOption(code, *pblk_no < 0 ? pcb->co : pcb->io, popt_no, pstatus);
  return 1;
}

void ReadOptions(char* argv[], int* parg_no, CmdBlk* pcb, ImgBlk* ib, int* pstatus) {
  if (pcb->TestBit) printf(" %s \n", "ReadOptions");

  if (!pcb->MainName) pcb->MainName = argv[0];
  if (!pcb->argc)
    while (argv[pcb->argc]) pcb->argc++;
  if (!pcb->argv) pcb->argv = argv;
  if (!pcb->parg_no) pcb->parg_no = parg_no;

  SetKeloError(SOName, "ReadOptions", nullptr);
  *pstatus = Success;

  // The history line of this run: the program and the words consumed.
  wib_history_new(KeloHistoryKey);

  int blk_no, opt_no, opt_onoff;
  while (FindOption(argv, parg_no, pcb, &blk_no, &opt_no, &opt_onoff, pstatus)) {
    DoOption(argv, parg_no, blk_no, opt_no, opt_onoff, pcb, ib, pcb->ImgBlkLen, pstatus);
    if (*pstatus != Success) {
      // Show the word before the failure and the failing word.
      int k = *parg_no;
      if (k >= 1 && argv[k - 1]) {
        try {
          std::string message = "    ";
          message += argv[k - 1];
          if (argv[k]) {
            message += " ";
            message += argv[k];
          }
          message += " ... ";
          SetKeloErrorMessage(message.c_str());
        } catch (...) {
          SetKeloErrorMessage(nullptr);  // no memory left for the message
        }
      }
      ReleaseOptions(pcb);
      return;
    }
  }

  if (argv[0]) {
    char program[IO_len];
    RightFR(argv[0], "/", program, IO_len);
    wib_history_argv(KeloHistoryKey, program);
    for (int k = 1; k <= *parg_no; k++) wib_history_argv(KeloHistoryKey, argv[k]);
  }

  if (pcb->TestBit) {
    printf("List :");
    for (int k = 1; k < pcb->argc && argv[k]; k++) printf(" %s", argv[k]);
    printf("\n");
    PrintOptions("CommandOption", pcb->co, IO_CmdOptLen);
    PrintOptions("ImageOption", pcb->io, IO_ImgOptLen);
    PrintBlocks(pcb, ib);
  }

  delete[] pcb->io;
  pcb->io = nullptr;
}
