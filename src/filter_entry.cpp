// filter_entry: the run of kelo_filter from the command line to the final
// status.
#include "src/filter_entry.h"

#include <memory>

#include "kelopack/KeloError.h"
#include "kelopack/KeloParameter.h"

const char MainVersion[] = "kelo_filter V4.63 2012-01-31, Orrin";
const char MainHelp[] =
    "[options] \n"
    "                <i1nam> <onam> <i1fst> <i1lst> <i1inc> \n"
    "                <odum> <odim1> <odim2> <w> <wa> <a> <rmsk> <chi2> <max>";

void DefineFilterParameters(CmdBlk* pcb) {
  option_define(IO_TypeLine, "mnam", "msk.wib", pcb);
  option_define(IO_TypeFlag, "msk", "FALSE", pcb);
  option_define(IO_TypeLvexp, "rmsk", "4", pcb);
  option_define(IO_TypeLvexp, "mode", "0", pcb);
  option_define(IO_TypeFlexp, "chi2", "5.0", pcb);
  option_define(IO_TypeFlexp, "max", "0.0", pcb);
  option_define(IO_TypeFlexp, "w", "4.0", pcb);
  option_define(IO_TypeFlexp, "wa", "4.0", pcb);
  option_define(IO_TypeFlexp, "a", "1.0", pcb);
}

int FilterMain(int argc, char* argv[]) {
  int status = Success;
  // The blocks live for the whole run.
  struct Blocks {
    CmdBlk cb;
    ImgBlk ib[FilterImageBlocks];
  };
  auto blocks = std::make_unique<Blocks>();
  CmdBlk* pcb = &blocks->cb;
  ImgBlk* ib = blocks->ib;

  InitOptions(MainHelp, MainVersion, nullptr, FilterRejectNum, pcb, ib, FilterImageBlocks);
  DefineFilterParameters(pcb);

  int arg_no = 0;
  (void)argc;  // argv ends with its null entry
  ReadOptions(argv, &arg_no, pcb, ib, &status);

  // Positional arguments and prompting (argv_start, user_io, argv_end) and
  // the image loop follow here.

  ReleaseOptions(pcb);
  return ReportKeloStatus(status, 0);
}
