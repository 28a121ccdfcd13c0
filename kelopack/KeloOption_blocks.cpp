// KeloOption: the defaults of the command block and the image blocks, and
// the two option tables.
#include <cstdlib>
#include <cstring>
#include <new>

#include "kelopack/KeloInput.h"
#include "kelopack/KeloOption.h"
#include "kelopack/KeloOption_internal.h"
#include "wibpack/ipol.h"
#include "wibpack/reference.h"

const char ErrorOptionDuplicated[] = "ERROR: Option duplicated or reserved: ";
const char ErrorOptionDefnFailed[] = "ERROR: Option definition failed: ";
const char ErrorCmdArrayTooShort[] = "ERROR: Command option array too short";
const char ErrorImgArrayTooShort[] = "ERROR: Image option array too short";
const char ErrorCannotAllcMemory[] = "ERROR: Cannot allocate memory";

using namespace kelo_option;

namespace {

void set_text(char* dest, const char* text) { CopyLine(text, dest, IO_len, 0); }

// Option codes are stored in lower case; the table header keeps its "Cmd".
void set_entry(OptDsc* dsc, int n, const char* code, int ptyp, int npar) {
  CopyLine(code, dsc[n].code, IO_CodeLen, n == 0 ? 0 : -1);
  dsc[n].ptyp = ptyp;
  dsc[n].npar = npar;
}

// Free slots n0 .. n0+count-1 of the command table.
void set_free_slots(OptDsc* co, int n0, int count, int ptyp, int npar) {
  for (int n = n0; n < n0 + count; n++) set_entry(co, n, "", ptyp, npar);
}

}  // namespace

const char* KeloOptionVersion() { return "KeloOption V6.72 Orrin 2011-07-24"; }

void InitCommandBlock(const char* mhlp, const char* mvers, void* mdat, int rjctnum, ImgBlk* ib,
                      int ib_len, CmdBlk* pcb) {
  *pcb = CmdBlk{};
  pcb->MainName = nullptr;
  pcb->MainVersion = mvers;
  pcb->MainHelp = mhlp;
  pcb->MainData = mdat;
  pcb->infile = stdin;
  pcb->ib = ib;
  pcb->ImgBlkLen = ib_len;
  pcb->RejectNum = rjctnum;
  pcb->Prompt.V = 1;
  pcb->RSys.V = IO_Image;
  pcb->USys.V = IO_Image;
  pcb->OutputCompression.V = 1;
  pcb->Add.V = 1;
  pcb->IPMin.V = Ipolmin(-1.0f);  // the interpolation module's current minimum
  set_text(pcb->Shift[0].V, "2.0");
  set_text(pcb->Shift[1].V, "0.0");
  set_text(pcb->Shift[2].V, "0.0");
  // Program-defined slots: numbers 0, texts "" (zero-initialised above).
}

void InitImageBlock(ImgBlk* ib, int blkno) {
  ImgBlk* b = &ib[blkno];
  *b = ImgBlk{};
  b->blkno = blkno;
  b->Stream = -1;
  b->StreamOpenMode = 0;
  b->FileNumber = 1;
  b->LoopNumber = 1;
  set_text(b->Name.V, DefaultFilename);
  b->FFirst.V = 1;
  b->FLast.V = 1;
  b->FInc.V = 1;
  b->OpenMode.V = IO_ImageProtect;
  b->Memory.V = 1;
  b->First.V = 1;
  b->Last.V = 1;
  b->Inc.V = 1;
  set_text(b->MinClip.V, "-inf");
  set_text(b->MaxClip.V, "inf");
  set_text(b->Const.V, "0.0");
  set_text(b->Factor.V, "1.0");
  set_text(b->Val.V, "1.0");
  set_text(b->ErrVal.V, "0.0");
  const char* bin[3] = {"2", "1", "1"};
  const char* zero2[3] = {"2", "0", "0"};
  for (int k = 0; k < 3; k++) {
    set_text(b->Bin[k].V, bin[k]);
    set_text(b->Gnaw[k].V, zero2[k]);
    set_text(b->Dim[k].V, bin[k]);
    set_text(b->Offset[k].V, zero2[k]);
    set_text(b->Center[k].V, zero2[k]);
    set_text(b->BinSiz[k].V, bin[k]);
    set_text(b->PixSiz[k].V, bin[k]);
  }
  b->Ave.V = 1;
  set_text(b->Dummy.V, "0.0");
  set_text(b->DDummy.V, "0.5");
  set_text(b->SampleDistance.V, "1");
  set_text(b->WaveLength.V, "1e-10");
  set_text(b->DetRot[0].V, "3");
  for (int k = 1; k < 4; k++) set_text(b->DetRot[k].V, "0");
  set_text(b->Orientation.V, "1");
  b->Projection.V = IO_ProSaxs;
  b->AxisType[0].V = 0;
  b->AxisType[1].V = IO_AxisTypeDistance;
  b->AxisType[2].V = IO_AxisTypeDistance;
}

void InitCommandOptions(OptDsc* co, int cl) {
  if (cl < IO_CmdOptLen) {
    fprintf(stderr, "%s\n", ErrorCmdArrayTooShort);
    exit(0);
  }
  set_entry(co, 0, "Cmd", IO_TypeFlag, IO_CmdOptEnd);
  set_entry(co, NTestBit, STestBit, IO_TypeFlag, 0);
  set_entry(co, NHelp, SHelp, IO_TypeFlag, 0);
  set_entry(co, NPrompt, SPrompt, IO_TypeFlag, 0);
  set_entry(co, NShift, SShift, IO_TypeFlexp, 2);
  set_entry(co, NRSys, SRSys, IO_TypeRSys, 1);
  set_entry(co, NUSys, SUSys, IO_TypeRSys, 1);
  set_entry(co, NGeneralBlock, SGeneralBlock, IO_TypeFlag, 0);
  set_entry(co, NPassHeader, SPassHeader, IO_TypeFlag, 0);
  set_entry(co, NCreateVariance, SCreateVariance, IO_TypeFlag, 0);
  set_entry(co, NAntiAliased, SAntiAliased, IO_TypeFlag, 0);
  set_entry(co, NVarianceWeight, SVarianceWeight, IO_TypeFlag, 0);
  set_entry(co, NOutputDataType, SOutputDataType, IO_TypeLong, 1);
  set_entry(co, NOutputDataValueOffset, SOutputDataValueOffset, IO_TypeLong, 1);
  set_entry(co, NOutputCompression, SOutputCompression, IO_TypeLong, 1);
  set_entry(co, NBslInputByteOrder, SBslInputByteOrder, IO_TypeLong, 1);
  set_entry(co, NAdd, SAdd, IO_TypeLong, 1);
  set_entry(co, NIPMin, SIPMin, IO_TypeFloat, 1);
  set_entry(co, NMaxLineWidth, SMaxLineWidth, IO_TypeLong, 1);
  set_entry(co, NMinHeaderSize, SMinHeaderSize, IO_TypeLong, 1);
  set_entry(co, NCommonOrientation, SCommonOrientation, IO_TypeFlag, 0);
  set_free_slots(co, IO_FirstFloatOpt, IO_MaxFloatOpt, IO_TypeFloat, 1);
  set_free_slots(co, IO_FirstFlexpOpt, IO_MaxFlexpOpt, IO_TypeFlexp, 1);
  set_free_slots(co, IO_FirstIntOpt, IO_MaxIntOpt, IO_TypeLong, 1);
  set_free_slots(co, IO_FirstLvexpOpt, IO_MaxLvexpOpt, IO_TypeLvexp, 1);
  set_free_slots(co, IO_FirstLineOpt, IO_MaxLineOpt, IO_TypeLine, 1);
  set_free_slots(co, IO_FirstFlagOpt, IO_MaxFlagOpt, IO_TypeFlag, 0);
  // The end marker: only its code is set.
  co[IO_CmdOptEnd].code[0] = '\0';
}

void InitImageOptions(OptDsc* io, int il) {
  if (il < IO_ImgOptLen) {
    fprintf(stderr, "%s\n", ErrorImgArrayTooShort);
    exit(0);
  }
  set_entry(io, 0, "Cmd", IO_TypeFlag, NImgOptEnd);
  set_entry(io, NOpenMode, SOpenMode, IO_TypeMode, 1);
  set_entry(io, NName, SName, IO_TypeLine, 1);
  set_entry(io, NMemory, SMemory, IO_TypeLong, 1);
  set_entry(io, NFirst, SFirst, IO_TypeLong, 1);
  set_entry(io, NLast, SLast, IO_TypeLong, 1);
  set_entry(io, NInc, SInc, IO_TypeLong, 1);
  set_entry(io, NMinClip, SMinClip, IO_TypeFlexp, 1);
  set_entry(io, NMaxClip, SMaxClip, IO_TypeFlexp, 1);
  set_entry(io, NConst, SConst, IO_TypeFlexp, 1);
  set_entry(io, NFactor, SFactor, IO_TypeFlexp, 1);
  set_entry(io, NVal, SVal, IO_TypeFlexp, 1);
  set_entry(io, NErrVal, SErrVal, IO_TypeFlexp, 1);
  set_entry(io, NBin, SBin, IO_TypeLvexp, 2);
  set_entry(io, NAve, SAve, IO_TypeFlag, 0);
  set_entry(io, NGnaw, SGnaw, IO_TypeLvexp, 2);
  set_entry(io, NTitle, STitle, IO_TypeLine, 1);
  set_entry(io, NTime, STime, IO_TypeLine, 1);
  set_entry(io, NDim, SDim, IO_TypeLvexp, 2);
  set_entry(io, NDummy, SDummy, IO_TypeFlexp, 1);
  set_entry(io, NDDummy, SDDummy, IO_TypeFlexp, 1);
  set_entry(io, NOffset, SOffset, IO_TypeFlexp, 2);
  set_entry(io, NCen, SCen, IO_TypeFlexp, 2);
  set_entry(io, NBinSiz, SBinSiz, IO_TypeFlexp, 2);
  set_entry(io, NPixSiz, SPixSiz, IO_TypeFlexp, 2);
  set_entry(io, NSampleDistance, SSampleDistance, IO_TypeFlexp, 1);
  set_entry(io, NWaveLength, SWaveLength, IO_TypeFlexp, 1);
  set_entry(io, NDetRot, SDetRot, IO_TypeFlexp, 3);
  set_entry(io, NOrientation, SOrientation, IO_TypeLvexp, 1);
  set_entry(io, NProjection, SProjection, IO_TypeProjection, 1);
  set_entry(io, NAxisType, SAxisType, IO_TypeAxis, 2);
  io[NImgOptEnd].code[0] = '\0';
}

void InitOptions(const char* mainhelp, const char* mainvers, void* maindata, int rjctnum,
                 CmdBlk* pcb, ImgBlk* ib, int ib_len) {
  InitCommandBlock(mainhelp, mainvers, maindata, rjctnum, ib, ib_len, pcb);
  for (int blkno = 0; blkno < ib_len; blkno++) InitImageBlock(ib, blkno);

  pcb->co = new (std::nothrow) OptDsc[IO_CmdOptLen]();
  if (!pcb->co) {
    fprintf(stderr, "%s for command options\n", ErrorCannotAllcMemory);
    exit(-1);
  }
  pcb->io = new (std::nothrow) OptDsc[IO_ImgOptLen]();
  if (!pcb->io) {
    fprintf(stderr, "%s for image options\n", ErrorCannotAllcMemory);
    exit(-1);
  }
  InitCommandOptions(pcb->co, IO_CmdOptLen);
  InitImageOptions(pcb->io, IO_ImgOptLen);
}

void ReleaseOptions(CmdBlk* pcb) {
  if (!pcb) return;
  delete[] pcb->io;
  pcb->io = nullptr;
  delete[] pcb->co;
  pcb->co = nullptr;
}

// A name that begins with o or i would read as a block prefix; a name
// whose first four characters equal a command code would hide or be hidden.
int CheckOptionDuplication(const CmdBlk* pcb, const char* name) {
  if (!name) return 1;
  if (name[0] == 'o' || name[0] == 'i') return 1;
  const OptDsc* co = pcb->co;
  if (!co) return 0;
  int end = co[0].npar;
  for (int n = 1; n < end && n < IO_CmdOptLen; n++)
    if (strncmp(co[n].code, name, IO_CodeLen - 1) == 0) return 1;
  return 0;
}
