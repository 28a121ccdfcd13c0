// KeloRoutine: the standard positional arguments of the image blocks.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloInput.h"
#include "kelopack/KeloOption.h"
#include "kelopack/KeloRoutine.h"
#include "wibpack/filename.h"

namespace {

// Default name of the output sequence: with an extension, the name of input
// sequence 1 without its directory and with its extension replaced.
std::string default_output_name(const ImgBlk* ib, int ib_len, const char* Extension) {
  if (!Extension || ib_len < 2) return DefaultOutput;
  char name[IO_len], body[IO_len];
  filename_name(name, IO_len, ib[1].Name.V);
  filename_body(body, IO_len, name);
  return std::string(body) + Extension;
}


}  // namespace

void ArgvBlocks(CmdBlk* pcb, ImgBlk* ib, ImgHeadBlk* ihb, KeloImageFunction InitFunction,
                const char* Extension, int block_1st, int block_lst, int* pstatus) {
  SetKeloError(KeloRoutineVersion(), "ArgvBlocks", nullptr);
  *pstatus = Success;
  if (block_lst >= pcb->ImgBlkLen) {
    *pstatus = NotEnoughBlocks;
    return;
  }
  const int first_input = block_1st > 1 ? block_1st : 1;
  const size_t num_len = block_lst >= 0 ? static_cast<size_t>(block_lst) + 1 : 1;
  long* num = new (std::nothrow) long[num_len]();
  if (!num) {
    fprintf(stderr, "ERROR: Failed to allocate %zu | %lu bytes\n", num_len * sizeof(long),
            static_cast<unsigned long>(num_len * sizeof(long)));
    exit(-1);
  }
  std::unique_ptr<long[]> num_owner(num);
  long min_image = 1, max_image = 1;

  // The input sequences: name, file, image numbers found in it.
  for (int b = first_input; b <= block_lst; b++) {
    ImgBlk* pib = &ib[b];
    if (!pib->OpenMode.I) {
      pib->OpenMode.V = IO_Old | IO_FileProtect;
      pib->OpenMode.I = 1;
    }
    char prompt[IO_len];
    snprintf(prompt, sizeof prompt, "Input sequence %d", b);
    argv_filename(pcb, prompt, ib, b, b == 1 ? DefaultInput : ib[b - 1].Name.V, pstatus);
    if (*pstatus != Success) return;
    OpenImageFile(pcb, ib, b, pib->Name.V, pib->FFirst.V, IO_Old | IO_FileProtect, pstatus);
    if (*pstatus != Success) return;
    SearchMinMaxImage(pcb, ib, b, &min_image, &max_image, pstatus);
    if (*pstatus != Success) return;
    if (!pib->First.I) pib->First.V = min_image;
    if (!pib->Last.I) pib->Last.V = max_image;
    num[b] = pib->First.V;
  }

  // The output sequence.
  if (block_1st <= 0) {
    ImgBlk* pob = &ib[0];
    if (!pob->OpenMode.I) {
      pob->OpenMode.V = IO_ImageProtect;
      pob->OpenMode.I = 1;
    }
    const std::string defname =
        pob->Name.I ? pob->Name.V : default_output_name(ib, pcb->ImgBlkLen, Extension);
    argv_filename(pcb, "Output sequence", ib, 0, defname.c_str(), pstatus);
    if (*pstatus != Success) return;
  }

  // The image numbers of input sequence 1; its first header gives the
  // defaults of the output.
  if (first_input == 1 && pcb->ImgBlkLen > 1) {
    ImgBlk* pib = &ib[1];
    argv_long(pcb, "First image of input sequence 1", &pib->First, pib->First.V, pstatus);
    if (*pstatus != Success) return;
    // Naming only the first image processes just that image.
    const long last_default = pcb->argc == *pcb->parg_no + 1 ? pib->First.V : pib->Last.V;
    argv_long(pcb, "Last image of input sequence 1", &pib->Last, last_default, pstatus);
    if (*pstatus != Success) return;
    argv_long(pcb, "Increment of input sequence 1", &pib->Inc, 1, pstatus);
    if (*pstatus != Success) return;
    num[1] = pib->First.V;
    ReadImageHeader(pcb, ib, 1, num, ihb, pstatus);
    if (*pstatus != Success) return;
    if (pcb->TestBit) PrintImageHeaderBlock(&ihb[1]);
  }

  for (int b = first_input > 2 ? first_input : 2; b <= block_lst; b++) {
    char prompt[IO_len];
    snprintf(prompt, sizeof prompt, "First image of input sequence %d", b);
    argv_long(pcb, prompt, &ib[b].First, ib[b].First.V, pstatus);
    if (*pstatus != Success) return;
  }

  // Output dummy and dimensions: shown as found, taken from the input
  // unless given.
  if (block_1st <= 0) {
    ImgBlk* pob = &ib[0];
    num[0] = pob->First.I ? pob->First.V : min_image;
    ImgHeadBlk* templ = pcb->ImgBlkLen >= 2 && ihb[1].I ? &ihb[1] : nullptr;
    NewImageHeader(pcb, ib, 0, num, ihb, templ, InitFunction, pstatus);
    if (*pstatus != Success) return;

    char prompt[IO_len];
    snprintf(prompt, sizeof prompt, "Output dummy, e.g. %g", static_cast<double>(ihb[0].Dummy.V));
    argv_flexp(pcb, prompt, &pob->Dummy, "", pstatus);
    if (*pstatus != Success) return;
    for (int k = 1; k <= 2; k++) {
      snprintf(prompt, sizeof prompt, "Output dimension %d, e.g. %ld", k, ihb[0].Dim[k]);
      const std::string defval = pob->Dim[k].I ? pob->Dim[k].V : "";
      argv_lvexp(pcb, prompt, &pob->Dim[k], defval.c_str(), pstatus);
      if (*pstatus != Success) return;
    }
  }

  // The image loop opens the files anew.  (After a failure they stay open,
  // so that the error block still describes the failure.)
  for (int b = first_input; b <= block_lst; b++) {
    CloseImageFile(pcb, ib, b, pstatus);
    if (*pstatus != Success) return;
  }
}

void ArgvFilenames(CmdBlk* pcb, ImgBlk* ib, ImgHeadBlk* ihb, int block_1st, int block_lst,
                   int* pstatus) {
  ArgvBlocks(pcb, ib, ihb, nullptr, nullptr, block_1st, block_lst, pstatus);
}
