// filter_entry: the run of kelo_filter from the command line to the final
// status.
#include "src/filter_entry.h"

#include <malloc.h>
#include <sys/mman.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iterator>
#include <memory>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloInput.h"
#include "kelopack/KeloParameter.h"
#include "kelopack/KeloRoutine.h"
#include "src/kelo_filter.h"

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

namespace {

// The filter's positional parameters in the order of the usage text: their
// prompts and echo lines.
struct PositionalParameter {
  const char* name;
  const char* prompt;
  const char* echo;
  bool integer;  // an integer expression (else a float expression)
};
const PositionalParameter Positional[] = {
    {"w", "Width (w) [pixel]", "width (w)                 : %s pixel\n", false},
    {"wa", "Dip width (wa) [pixel]", "dip width (wa)            : %s pixel\n", false},
    {"a", "Relative deepness (a) (0..1)", "relative deepness (a)     : %s\n", false},
    {"rmsk", "Mask radius in pixels (rmsk)", "mask radius (rmsk)        : %s pixels\n", true},
    {"chi2", "Noise threshold (chi2)", "noise threshold (chi2)    : %s\n", false},
    {"max", "Absolute threshold (max)", "absolute threshold (max)  : %s\n", false},
};

// The echo lines of the image blocks: every value that was set.
void echo_image_blocks(const ImgBlk* ib) {
  if (ib[1].Name.I) printf("i/p file                  : %s\n", ib[1].Name.V);
  if (ib[0].Name.I) printf("o/p file                  : %s\n", ib[0].Name.V);
  if (ib[1].First.I) printf("first image               : %ld\n", ib[1].First.V);
  if (ib[1].Last.I) printf("last image                : %ld\n", ib[1].Last.V);
  if (ib[1].Inc.I) printf("increment                 : %ld\n", ib[1].Inc.V);
  if (ib[0].Dummy.I) printf("output dummy              : %s\n", ib[0].Dummy.V);
  if (ib[0].Dim[1].I) printf("output dimension 1        : %s\n", ib[0].Dim[1].V);
  if (ib[0].Dim[2].I) printf("output dimension 2        : %s\n", ib[0].Dim[2].V);
}

template <class Record>
void echo_parameter(const PositionalParameter& p, const Record& record) {
  if (record.I) printf(p.echo, record.V);
}

// The heap prepared for the image arrays: its first HeapReserve bytes use
// transparent huge pages.
constexpr size_t HeapReserve = size_t{256} << 20;
constexpr size_t HugePage = size_t{2} << 20;

}  // namespace

// Each image step allocates and releases arrays of the image size (input,
// output, work array, variances).  Fresh memory costs a page fault per
// 4 KiB page on first use, which for a 2048 x 2048 float array costs more
// than filtering it.  So the arrays are kept in the heap (no separate
// mappings, nothing given back), where the next image step finds the pages
// present, and the start of the heap is advised to use transparent huge
// pages (a fault per 2 MiB).  This only changes where memory comes from,
// never its contents.
void prepare_image_heap() {
  mallopt(M_MMAP_MAX, 0);
  mallopt(M_TRIM_THRESHOLD, INT32_MAX);
  void* block = malloc(HeapReserve);
  if (!block) return;
  const uintptr_t start = (reinterpret_cast<uintptr_t>(block) + HugePage - 1) & ~(HugePage - 1);
  const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + HeapReserve) & ~(HugePage - 1);
  if (end > start) madvise(reinterpret_cast<void*>(start), end - start, MADV_HUGEPAGE);
  free(block);
}

void user_io(CmdBlk* pcb, ImgBlk* ib, int* pstatus) {
  *pstatus = Success;
  char progfn[IO_len];
  RightFR(pcb->argv && pcb->argv[0] ? pcb->argv[0] : "", DirSeparator, progfn, IO_len);

  if (pcb->argc <= 1) printf("Usage: %s %s\n", progfn, pcb->MainHelp);
  printf("\n   %s %s\n\n", progfn, pcb->MainVersion);

  // The header blocks only serve the defaults shown in the prompts.
  auto ihb = std::make_unique<ImgHeadBlk[]>(FilterImageBlocks);
  for (int k = 0; k < FilterImageBlocks; k++) init_header_block(ihb.get(), k);
  ArgvFilenames(pcb, ib, ihb.get(), 0, 1, pstatus);
  for (int k = 0; k < FilterImageBlocks; k++) free_image_memory(&ihb[k]);
  if (*pstatus != Success) return;

  void* records[std::size(Positional)];
  for (size_t k = 0; k < std::size(Positional); k++) {
    const PositionalParameter& p = Positional[k];
    records[k] = option_parameter_search(p.name, pcb, pstatus);
    if (*pstatus != Success) return;
    if (p.integer) {
      auto* record = static_cast<IO_lvexp*>(records[k]);
      argv_lvexp(pcb, p.prompt, record, record->V, pstatus);
    } else {
      auto* record = static_cast<IO_flexp*>(records[k]);
      argv_flexp(pcb, p.prompt, record, record->V, pstatus);
    }
    if (*pstatus != Success) return;
  }

  printf("\n");
  echo_image_blocks(ib);
  for (size_t k = 0; k < std::size(Positional); k++) {
    if (Positional[k].integer)
      echo_parameter(Positional[k], *static_cast<const IO_lvexp*>(records[k]));
    else
      echo_parameter(Positional[k], *static_cast<const IO_flexp*>(records[k]));
  }
  printf("\n");

  if (pcb->TestBit) {
    PrintBlocks(pcb, ib);
    printf("\n");
  }
}

int FilterMain(int argc, char* argv[]) {
  int status = Success;
  prepare_image_heap();
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

  if (status == Success) {
    // Prompting starts by itself when no positional word follows.
    argv_start(pcb, 1);
    user_io(pcb, ib, &status);
    // After a failure the words not read yet are not surplus words.
    if (status != Success && pcb->parg_no) *pcb->parg_no = pcb->argc;
    argv_end(pcb);
  }
  if (status == Success) ImageLoop(pcb, ib, kelo_filter, nullptr, nullptr, 1, &status);

  ReleaseOptions(pcb);
  return ReportKeloStatus(status, 0);
}
