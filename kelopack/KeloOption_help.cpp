// KeloOption: the help text, the debug listings of the option tables and
// blocks, and the names of the enumerations stored in the blocks.
#include <cstring>
#include <string>

#include "kelopack/KeloDefinition.h"
#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloInput.h"
#include "kelopack/KeloOption.h"
#include "kelopack/KeloOption_internal.h"
#include "kelopack/KeloRoutine.h"
#include "wibpack/numio.h"
#include "wibpack/reference.h"
#include "wibpack/wibio.h"

using namespace kelo_option;

const char ReferenceArray[] = "Array";
const char ReferenceImage[] = "Image";
const char ReferenceCenter[] = "Center";
const char ReferenceRegion[] = "Region";
const char ReferenceReal[] = "Real";
const char ReferenceNormal[] = "Normal";
const char ReferenceTangens[] = "Tangens";
const char ReferenceSaxs[] = "Saxs";
const char ReferenceUnknown[] = "<unknown>";
const char ProjectionUnknown[] = "<unknown>";
const char AxisTypeUnknown[] = "<unknown>";

namespace {

// Help letters of the parameter types.
const char* type_letter(int ptyp) {
  static const char* const letters[] = {"?", "+", "s", "d", "D", "f", "F", "M", "R", "P", "A"};
  if (ptyp >= 0 && ptyp <= IO_TypeAxis) return letters[ptyp];
  return "?";
}

const char* text(const char* s) { return s ? s : ""; }

}  // namespace

void ShowHelp(const CmdBlk* pcb) {
  printf("\nMain    : %s\n", text(pcb->MainVersion));
  printf("Usage   : %s %s\n", text(pcb->MainName), text(pcb->MainHelp));
  if (pcb->Help.V == 0) return;

  printf("\n%s\n", KELO_DEFINITION_VERSION);
  printf("%s\n", ReferenceVersion);
  printf("%s\n", KeloErrorVersion());
  printf("%s\n", KeloInputVersion());
  printf("%s\n", KeloOptionVersion());
  printf("%s\n", KeloImageVersion());
  printf("%s\n", KeloRoutineVersion());
  printf("%s\n", numio_version());
  printf("%s\n", wibio_version());

  ShowDataTypes();

  printf("\nList of options [<num of parameters>,<type>]\n");
  ShowOptions("-", pcb->co);
  if (pcb->ImgBlkLen > 0) ShowOptions("-o", pcb->io);
  if (pcb->ImgBlkLen > 1) ShowOptions("-i<n>", pcb->io);

  printf("\nNumber of image blocks            : %d\n", pcb->ImgBlkLen);
  if (pcb->ImgBlkLen > 1) printf("Maximum number <n> of input blocks: %d\n", pcb->ImgBlkLen - 1);
  if (pcb->ImgBlkLen > 0) printf("Dummy file name                   : %s\n", DUMMYFILENAME);

  printf("\n");
  if (pcb->ImgBlkLen > 0) ShowModes();
  ShowSys();
}

void ShowOptions(const char* c, const OptDsc* dsc) {
  if (dsc) {
    int shown = 0;
    for (int n = 1; n < dsc[0].npar; n++) {
      const char* code = dsc[n].code;
      if (!code[0] || code[0] == '#') continue;
      if (shown % 4 == 0) printf(" \n ");
      shown++;
      std::string word = std::string(text(c)) + code;
      printf("%10s [% 1d, %s]", word.c_str(), dsc[n].npar, type_letter(dsc[n].ptyp));
    }
  }
  printf("\n");
}

void ShowDataTypes() {
  printf("\nConversion of file data types to internal data types\n");
  wib_showdatatypes(0);
}

void PrintOptions(const char* dname, const OptDsc* dsc, int dscl) {
  printf("%20s\t\t    code      ptyp\t   npar      poff\n", text(dname));
  if (!dsc) return;
  for (int i = 0; i <= dscl - 2; i++) {
    if (!dsc[i].code[0]) continue;
    printf("%20s[% 4d] %9s %9d % 9d\n", text(dname), i, dsc[i].code, dsc[i].ptyp, dsc[i].npar);
  }
}

void PrintCommandBlock(const CmdBlk* pcb) {
  const char* nm = "CommandBlock";
  if (pcb->Prompt.I) printf("%s.Prompt.V                = %ld\n", nm, pcb->Prompt.V);
  if (pcb->Help.I) printf("%s.Help.V                  = %ld\n", nm, pcb->Help.V);
  if (pcb->Shift[1].I) printf("%s.Shift[1].V              = %s\n", nm, pcb->Shift[1].V);
  if (pcb->Shift[2].I) printf("%s.Shift[2].V              = %s\n", nm, pcb->Shift[2].V);
  if (pcb->RSys.I) printf("%s.RSys.V                  = %ld\n", nm, pcb->RSys.V);
  if (pcb->USys.I) printf("%s.USys.V                  = %ld\n", nm, pcb->USys.V);
  if (pcb->GeneralBlock.I) printf("%s.GeneralBlock.V          = %ld\n", nm, pcb->GeneralBlock.V);
  if (pcb->PassHeader.I) printf("%s.PassHeader.V            = %ld\n", nm, pcb->PassHeader.V);
  if (pcb->CreateVariance.I)
    printf("%s.CreateVariance.V        = %ld\n", nm, pcb->CreateVariance.V);
  if (pcb->AntiAliased.I) printf("%s.AntiAliased.V           = %ld\n", nm, pcb->AntiAliased.V);
  if (pcb->VarianceWeight.I)
    printf("%s.VarianceWeight.V        = %ld\n", nm, pcb->VarianceWeight.V);
  if (pcb->OutputDataType.I)
    printf("%s.OutputDataType.V        = %s\n", nm, wib_datatype2string(pcb->OutputDataType.V));
  if (pcb->OutputDataValueOffset.I)
    printf("%s.OutputDataValueOffset.V = %ld\n", nm, pcb->OutputDataValueOffset.V);
  if (pcb->OutputCompression.I)
    printf("%s.OutputCompression.V     = %s\n", nm,
           wib_compression2string(pcb->OutputCompression.V));
  if (pcb->BslInputByteOrder.I)
    printf("%s.BslInputByteOrder.V     = %ld\n", nm, pcb->BslInputByteOrder.V);
  if (pcb->MaxLineWidth.I) printf("%s.MaxLineWidth.V          = %ld\n", nm, pcb->MaxLineWidth.V);
  if (pcb->MinHeaderSize.I) printf("%s.MinHeaderSize.V         = %ld\n", nm, pcb->MinHeaderSize.V);
  if (pcb->CommonOrientation.I)
    printf("%s.CommonOrientation.V     = %ld\n", nm, pcb->CommonOrientation.V);
  if (pcb->Add.I) printf("%s.Add.V                   = %ld\n", nm, pcb->Add.V);
  if (pcb->IPMin.I) printf("%s.IPMin.V                 = %g\n", nm, pcb->IPMin.V);
  for (int i = 0; i < IO_MaxFloatOpt; i++)
    if (pcb->Arg[i].I) printf("%s.Arg[%d].V\t         = %e\n", nm, i, pcb->Arg[i].V);
  for (int i = 0; i < IO_MaxFlexpOpt; i++)
    if (pcb->Flexp[i].I) printf("%s.Flexp[%d].V          = %s\n", nm, i, pcb->Flexp[i].V);
  for (int i = 0; i < IO_MaxIntOpt; i++)
    if (pcb->Num[i].I) printf("%s.Num[%d].V\t         = %ld\n", nm, i, pcb->Num[i].V);
  for (int i = 0; i < IO_MaxLvexpOpt; i++)
    if (pcb->Lvexp[i].I) printf("%s.Lvexp[%d].V          = %s\n", nm, i, pcb->Lvexp[i].V);
  for (int i = 0; i < IO_MaxLineOpt; i++)
    if (pcb->Lin[i].I) printf("%s.Lin[%d].V\t         = %s\n", nm, i, pcb->Lin[i].V);
  for (int i = 0; i < IO_MaxFlagOpt; i++)
    if (pcb->Flg[i].I) printf("%s.Flg[%d].V              = %ld\n", nm, i, pcb->Flg[i].V);
}

void PrintImageBlock(const ImgBlk* pib) {
  const char* nm = "ImageBlock";
  int b = pib->blkno;
  printf("Image Block (blkno = %d)\n", b);
  // One line per set value: its format (with the block name and number
  // before the value) and the value.
  auto line = [&](int set, const char* format, const char* value) {
    if (set) printf(format, nm, b, value);
  };
  auto number = [&](int set, const char* format, long value) {
    if (set) printf(format, nm, b, value);
  };
  line(pib->Name.I, "%s[%d].Name.V      = %s\n", pib->Name.V);
  number(pib->FFirst.I, "%s[%d].FFirst.V    = %ld\n", pib->FFirst.V);
  number(pib->FLast.I, "%s[%d].FLast.V     = %ld\n", pib->FLast.V);
  number(pib->FInc.I, "%s[%d].FInc.V      = %ld\n", pib->FInc.V);
  number(pib->OpenMode.I, "%s[%d].OpenMode.V  = %#lx\n", pib->OpenMode.V);
  number(pib->Memory.I, "%s[%d].Memory.V    = %ld\n", pib->Memory.V);
  number(pib->First.I, "%s[%d].First.V     = %ld\n", pib->First.V);
  number(pib->Last.I, "%s[%d].Last.V      = %ld\n", pib->Last.V);
  number(pib->Inc.I, "%s[%d].Inc.V       = %ld\n", pib->Inc.V);
  line(pib->MinClip.I, "%s[%d].MinClip.V   = %s\n", pib->MinClip.V);
  line(pib->MaxClip.I, "%s[%d].MaxClip.V   = %s\n", pib->MaxClip.V);
  line(pib->Const.I, "%s[%d].Const.V     = %s\n", pib->Const.V);
  line(pib->Factor.I, "%s[%d] Factor.V    = %s\n", pib->Factor.V);
  line(pib->Val.I, "%s[%d] Val.V       = %s\n", pib->Val.V);
  line(pib->ErrVal.I, "%s[%d] ErrVal.V    = %s\n", pib->ErrVal.V);
  line(pib->Bin[1].I, "%s[%d].Bin[1].V    = %s\n", pib->Bin[1].V);
  line(pib->Bin[2].I, "%s[%d].Bin[2].V    = %s\n", pib->Bin[2].V);
  number(pib->Ave.I, "%s[%d].Ave.V       = %ld\n", pib->Ave.V);
  line(pib->Gnaw[1].I, "%s[%d].Gnaw[1].V   = %s\n", pib->Gnaw[1].V);
  line(pib->Gnaw[2].I, "%s[%d].Gnaw[2].V   = %s\n", pib->Gnaw[2].V);
  line(pib->Title.I, "%s[%d].Title.V     = %s\n", pib->Title.V);
  line(pib->Time.I, "%s[%d].Time.V      = %s\n", pib->Time.V);
  line(pib->Dim[1].I, "%s[%d].Dim[1].V    = %s\n", pib->Dim[1].V);
  line(pib->Dim[2].I, "%s[%d].Dim[2].V    = %s\n", pib->Dim[2].V);
  line(pib->Dummy.I, "%s[%d].Dummy.V     = %s\n", pib->Dummy.V);
  line(pib->DDummy.I, "%s[%d].DDummy.V    = %s\n", pib->DDummy.V);
  line(pib->Offset[1].I, "%s[%d].Offset[1].V = %s\n", pib->Offset[1].V);
  line(pib->Offset[2].I, "%s[%d].Offset[2].V = %s\n", pib->Offset[2].V);
  line(pib->Center[1].I, "%s[%d].Center[1].V = %s\n", pib->Center[1].V);
  line(pib->Center[2].I, "%s[%d].Center[2].V = %s\n", pib->Center[2].V);
  line(pib->BinSiz[1].I, "%s[%d].BinSiz[1].V = %s\n", pib->BinSiz[1].V);
  line(pib->BinSiz[2].I, "%s[%d].BinSiz[2].V = %s\n", pib->BinSiz[2].V);
  line(pib->PixSiz[1].I, "%s[%d].PixSiz[1].V = %s\n", pib->PixSiz[1].V);
  line(pib->PixSiz[2].I, "%s[%d].PixSiz[2].V = %s\n", pib->PixSiz[2].V);
  line(pib->SampleDistance.I, "%s[%d].SampleDistance.V = %s\n", pib->SampleDistance.V);
  line(pib->WaveLength.I, "%s[%d].WaveLength.V = %s\n", pib->WaveLength.V);
  line(pib->DetRot[1].I, "%s[%d].DetRot[1].V = %s\n", pib->DetRot[1].V);
  line(pib->DetRot[2].I, "%s[%d].DetRot[2].V = %s\n", pib->DetRot[2].V);
  line(pib->DetRot[3].I, "%s[%d].DetRot[3].V = %s\n", pib->DetRot[3].V);
  line(pib->Orientation.I, "%s[%d].Orientation.V    = %s\n", pib->Orientation.V);
  number(pib->Projection.I, "%s[%d].Projection.V     = %ld\n", pib->Projection.V);
  number(pib->AxisType[1].I, "%s[%d].AxisType[1].V    = %ld\n", pib->AxisType[1].V);
  number(pib->AxisType[2].I, "%s[%d].AxisType[2].V    = %ld\n", pib->AxisType[2].V);
}

void PrintBlocks(const CmdBlk* pcb, const ImgBlk* ib) {
  PrintCommandBlock(pcb);
  for (int blkno = 0; blkno < pcb->ImgBlkLen; blkno++) PrintImageBlock(&ib[blkno]);
}

void ShowModes() {
  printf("Use -o%s with one of the following modes : \n", SOpenMode);
  printf(" %8s, %8s, %8s\n %8s, %8s, %8s\n %8s, %8s, %8s\n", SNewFP, SNewIP, SNew, SOldFP, SOldIP,
         SOld, SAnyFP, SAnyIP, SAny);
}

void ShowSys() {
  printf("\n");
  printf("Use -%s and -%s with one of the following reference systems : \n", SRSys, SUSys);
  printf(" %8s, %8s, %8s, %8s, %8s, %8s, %8s, %8s\n", SArray, SImage, SCenter, SRegion, SReal,
         SNormal, STangens, SSaxs);
}

void ShowPro() {
  printf("\n");
  printf("Use -%s with one of the following projection types : \n", SProjection);
  printf(" %8s, %8s\n", "Saxs", "Waxs");
}

void ShowAxis() {
  printf("\n");
  printf("Use -%s with one of the following axis types : \n", SAxisType);
  printf(" %8s, %8s, %8s\n", "Distance", "Angle", "Numerator");
}

const char* reftostr(long refsys) {
  static const char* const names[] = {ReferenceArray,   ReferenceImage, ReferenceCenter,
                                      ReferenceRegion,  ReferenceReal,  ReferenceNormal,
                                      ReferenceTangens, ReferenceSaxs};
  if (refsys >= IO_Array && refsys <= IO_Saxs) return names[refsys - IO_Array];
  return ReferenceUnknown;
}

const char* protostr(long protyp) {
  if (protyp == IO_ProSaxs) return "Saxs";
  if (protyp == IO_ProWaxs) return "Waxs";
  return ProjectionUnknown;
}

const char* axistostr(long axistyp) {
  if (axistyp == IO_AxisTypeDistance) return "Distance";
  if (axistyp == IO_AxisTypeAngle) return "Angle";
  if (axistyp == IO_AxisTypeNumerator) return "Numerator";
  return AxisTypeUnknown;
}
