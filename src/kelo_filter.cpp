// kelo_filter: the per-image function of the program kelo_filter.
#include "src/kelo_filter.h"

#include <cmath>
#include <cstdint>
#include <cstring>
#include <cstdio>
#include <memory>
#include <new>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloParameter.h"
#include "kelopack/KeloRoutine.h"
#include "src/peakfilter.h"
#include "wibpack/filename.h"
#include "wibpack/ipol.h"
#include "wibpack/wibio.h"

namespace {

// Module and routine name of this function in error reports.
constexpr char SFName[] = "kelo_filter";

// The filter's parameters for one image.
struct FilterParameters {
  IO_long msk;   // write the mask file
  IO_line mnam;  // its name
  long rmsk;     // mask radius
  long mode;     // replacement mode
  float chi2, max, w, wa, a;
};

// The text of a parameter as it was given (for messages).
std::string parameter_text(CmdBlk* pcb, const char* name) {
  int status = Success;
  const auto* record = static_cast<const IO_flexp*>(option_parameter_search(name, pcb, &status));
  return record ? record->V : "";
}

// Reads the parameters for the image numbers num, with the header keys of
// input block 1, and rejects a width or dip width of 0, for which the mask
// has no value.  Stops at the first failure.
void read_parameters(CmdBlk* pcb, long* num, FilterParameters* p, int* pstatus) {
  ImgBlk* ib = pcb->ib;
  p->msk = option_flag("msk", pcb, pstatus);
  if (*pstatus != Success) return;
  p->mnam = option_line("mnam", pcb, ib, num, 1, pstatus);
  if (*pstatus != Success) return;
  p->rmsk = option_long("rmsk", pcb, ib, num, 1, pstatus).V;
  if (*pstatus != Success) return;
  p->mode = option_long("mode", pcb, ib, num, 1, pstatus).V;
  if (*pstatus != Success) return;
  struct {
    const char* name;
    float* value;
  } floats[] = {{"chi2", &p->chi2}, {"max", &p->max}, {"w", &p->w}, {"wa", &p->wa}, {"a", &p->a}};
  for (const auto& f : floats) {
    *f.value = option_float(f.name, pcb, ib, num, 1, pstatus).V;
    if (*pstatus != Success) return;
  }
  for (const char* name : {"w", "wa"}) {
    const float v = name[1] ? p->wa : p->w;
    if (v == 0.0f) {
      std::string message = std::string("The ") + (name[1] ? "dip width" : "width") + " (" +
                            name + ") must not be 0: " + name + " = " +
                            parameter_text(pcb, name);
      SetKeloError(SFName, SFName, message.c_str());
      *pstatus = OutOfRange;
      return;
    }
  }
}

// Largest mask side accepted (a bigger mask could never be allocated).
constexpr double MaxMaskSide = 32767.0;

// The mapping of the input onto the output grid: output pixels Imin..Imax of
// each axis, the input rectangle of the first one and the step per pixel.
struct Mapping {
  float f1_1, f1_2, Df_1, Df_2;
  int Imin_1, Imax_1, Imin_2, Imax_2;
};

// Input pixel of a one-pixel area [f, f + df] when the integration takes it
// whole (the area's centre on a pixel centre inside 0 .. dim - 1), else -1.
// Mirrors the test of the integration's one-pixel case exactly.
long whole_pixel(float f, float df, long dim) {
  if (!((f + df) - f == 1.0f)) return -1;
  const float c = f + 0.5f;
  if (!(c >= 0.0f && c < 2e9f)) return -1;
  const long i = static_cast<long>(c);
  if (i >= dim || !(c - static_cast<float>(i) < IPOLEPS)) return -1;
  return i;
}

// The first input column of a row when every output column of the mapping
// takes whole consecutive input pixels, else -1.  The columns are the same
// in every row, since each row starts again at f1_1.
long identity_columns(const Mapping& m, long in_dim_1) {
  float f_1 = m.f1_1;
  long first = -1;
  for (int i_1 = m.Imin_1; i_1 <= m.Imax_1; i_1++) {
    const long i = whole_pixel(f_1, m.Df_1, in_dim_1);
    if (i < 0) return -1;
    if (i_1 == m.Imin_1)
      first = i;
    else if (i != first + (i_1 - m.Imin_1))
      return -1;
    f_1 += m.Df_1;
  }
  return first;
}

// Fills n pixels with the dummy.
void fill(float* dst, long n, float value) {
  for (long k = 0; k < n; k++) dst[k] = value;
}

// One row of whole input pixels onto pixels that hold the output dummy oD:
// a pixel x that carries data gives add + (0 + x), add being 0 when the
// dummy rule replaces the dummy (the sum then equals 0 + x bit for bit)
// and oD when it adds to it; any other pixel leaves oD.  Branch-free, so
// that the compiler vectorises it.
void whole_pixel_row(const float* src, float* dst, long n, float iD, float iDD, bool no_dummies,
                     float add, float oD) {
  if (no_dummies) {
    for (long k = 0; k < n; k++) dst[k] = add + (0.0f + src[k]);
    return;
  }
  // The choice is made on the bits, so that both values are formed for
  // every pixel and no branch remains.
  uint32_t dummy_bits;
  std::memcpy(&dummy_bits, &oD, sizeof dummy_bits);
  for (long k = 0; k < n; k++) {
    const float x = src[k];
    const float v = add + (0.0f + x);
    uint32_t bits;
    std::memcpy(&bits, &v, sizeof bits);
    const uint32_t keep = 0u - static_cast<uint32_t>(std::fabs(x - iD) > iDD);
    bits = (bits & keep) | (dummy_bits & ~keep);
    std::memcpy(&dst[k], &bits, sizeof bits);
  }
}

// Maps the input data onto the work array I0 of the output's size: each
// covered output pixel receives the integral of its input area (divided by
// its weight when ave is set), by the dummy rule of the output; every other
// pixel holds the output dummy.
//
// Where the areas are whole input pixels (the same grid, shifted by whole
// pixels) a row is taken directly: the integration of such an area gives
// 0 + x with weight 1 for a pixel x that carries data and nothing for a
// dummy, which whole_pixel_row reproduces bit for bit.  The minimum weight
// fraction must not exceed 1 for that, else every area is rejected.
void map_data(const ImgHeadBlk& in, const ImgHeadBlk& out, const Mapping& m, int ave,
              float* I0) {
  const long od_1 = out.Dim[1], od_2 = out.Dim[2];
  const long id_1 = in.Dim[1], id_2 = in.Dim[2];
  const float oD = out.Dummy.V, oDD = out.DDummy.V;
  const float iD = in.Dummy.V, iDD = in.DDummy.V;

  const long col0 = in.Data && Ipolmin(-1.0f) <= 1.0f ? identity_columns(m, id_1) : -1;
  // The dummy rule applied to a pixel that still holds the output dummy.
  const float add = DUMMY(oD, oD, oDD) ? 0.0f : oD;
  const bool no_dummies = !DUMMYDEFINED(iD, iDD);
  const long n_1 = m.Imax_1 - m.Imin_1 + 1;

  // Rows the input does not reach.
  const long rows_before = m.Imin_2 < od_2 ? m.Imin_2 : od_2;
  fill(I0, rows_before * od_1, oD);
  const long rows_end = m.Imax_2 >= m.Imin_2 ? m.Imax_2 + 1 : rows_before;
  fill(I0 + rows_end * od_1, (od_2 - rows_end) * od_1, oD);

  float f_2 = m.f1_2;
  for (int i_2 = m.Imin_2; i_2 <= m.Imax_2; i_2++) {
    float* line = I0 + i_2 * od_1;
    fill(line, m.Imin_1, oD);
    fill(line + m.Imax_1 + 1, od_1 - m.Imax_1 - 1, oD);
    float* dst = line + m.Imin_1;
    const long row = col0 >= 0 ? whole_pixel(f_2, m.Df_2, id_2) : -1;
    if (row >= 0) {
      whole_pixel_row(in.Data + col0 + row * id_1, dst, n_1, iD, iDD, no_dummies, add, oD);
    } else {
      fill(dst, n_1, oD);
      float f_1 = m.f1_1;
      for (long k = 0; k < n_1; k++) {
        float sum, weight;
        if (Isum2ldw(in.Data, static_cast<int>(id_1), static_cast<int>(id_2), iD, iDD, f_1, f_2,
                     f_1 + m.Df_1, f_2 + m.Df_2, &sum, &weight)) {
          const float value = ave ? sum / weight : sum;
          UPDATE(dst[k], value, oD, oDD);
        }
        f_1 += m.Df_1;
      }
    }
    f_2 += m.Df_2;
  }
}

// True when a variance holds the unknown mark -1.
inline bool unknown_variance(float v) {
  return std::fabs(static_cast<double>(v) + 1.0) <= static_cast<double>(0.1f);
}

// map_data with variances: the output's variance pixels receive the variance
// of their value (divided by the square of the weight when ave is set),
// replacing the unknown mark or added to what they hold.  A pixel for which
// no data are found keeps its variance.
void map_data_and_variances(const ImgHeadBlk& in, ImgHeadBlk& out, const Mapping& m, int ave,
                            float* I0) {
  const long od_1 = out.Dim[1];
  const int id_1 = static_cast<int>(in.Dim[1]), id_2 = static_cast<int>(in.Dim[2]);
  const float oD = out.Dummy.V, oDD = out.DDummy.V;
  const float iD = in.Dummy.V, iDD = in.DDummy.V;

  float f_2 = m.f1_2;
  for (int i_2 = m.Imin_2; i_2 <= m.Imax_2; i_2++) {
    float f_1 = m.f1_1;
    for (int i_1 = m.Imin_1; i_1 <= m.Imax_1; i_1++) {
      float sum, weight, varsum, varweight;
      if (Isum2ldwE(in.Data, in.VarDat, id_1, id_2, iD, iDD, f_1, f_2, f_1 + m.Df_1,
                    f_2 + m.Df_2, &sum, &weight, &varsum, &varweight)) {
        const long k = i_1 + i_2 * od_1;
        const float value = ave ? sum / weight : sum;
        UPDATE(I0[k], value, oD, oDD);
        if (varsum >= 0.0f) {
          const float var = ave ? varsum / (varweight * varweight) : varsum;
          float& v = out.VarDat[k];
          if (unknown_variance(v))
            v = var;
          else
            v += var;
        }
      }
      f_1 += m.Df_1;
    }
    f_2 += m.Df_2;
  }
}

// Writes the mask as image number imnum into a new file name.  The error
// value of each library call is recorded; a failing write still closes the
// file.  A name that is the open file of an image block is refused: opening
// it as a new file would empty it.
void write_mask_file(const CmdBlk* pcb, const char* name, long imnum, const long* mdim,
                     const float* mask, int* pstatus) {
  for (int k = 0; k < pcb->ImgBlkLen; k++) {
    const ImgBlk& b = pcb->ib[k];
    if (b.Stream >= 0 && filename_compare(name, b.FileName) == 0) {
      const std::string message = "The mask file " + std::string(name) +
                                  " is the open file of image block " + std::to_string(k);
      SetKeloError(SFName, "write_mask_file", message.c_str());
      *pstatus = FileAlreadyOpened;
      return;
    }
  }
  SetKeloError(SFName, "write_mask_file", name);
  int err = 0;
  long stream = wib_open_data_file(name, "new", &err, pstatus);
  SetKeloErrorExternal(err, ReportKeloImageError);
  if (*pstatus != Success) return;
  wib_write_data(stream, imnum, 1, mdim, mask, MFloat, &err, pstatus);
  SetKeloErrorExternal(err, ReportKeloImageError);
  if (*pstatus != Success) {
    int close_err = 0, close_status = Success;
    wib_close_data_file(stream, &close_err, &close_status);
    return;
  }
  wib_close_data_file(stream, &err, pstatus);
  SetKeloErrorExternal(err, ReportKeloImageError);
}

}  // namespace

void kelo_filter(CmdBlk* pcb, long* num, ImgHeadBlk* ihb, int* pstatus) {
  *pstatus = Success;
  const int imax = pcb->ImgBlkLen;

  printf("\n Calculating ihb[0,% ld] = Function(", ihb[0].ImNum);
  for (int i = 1; i < imax; i++) printf("ihb[% d,% ld] ", i, ihb[i].ImNum);
  printf(")\n");

  if (imax != 2) {
    fprintf(stderr, "%d images found, 1 input and 1 output image required\n", imax);
    *pstatus = Failed;
    return;
  }

  // Reference parameters and the output range covered by the input.
  float Off_1[2], Off_2[2], Ps_1[2], Ps_2[2];
  GetReferenceParameters(pcb, ihb, 0, imax - 1, Off_1, Off_2, Ps_1, Ps_2, pstatus);
  if (*pstatus != Success) return;
  UpdateImageParameters(pcb, ihb, 1, imax - 1, Off_1, Off_2, Ps_1, Ps_2, pstatus);
  if (*pstatus != Success) return;
  float f1_1[2], f3_1[2], Df_1[2], f1_2[2], f3_2[2], Df_2[2];
  float Wmin_1, Wmax_1, DW_1, Wmin_2, Wmax_2, DW_2;
  Mapping m{};
  GetImageRange(pcb, ihb, 1, imax - 1, Off_1, Off_2, Ps_1, Ps_2, f1_1, f3_1, Df_1, f1_2, f3_2,
                Df_2, &m.Imin_1, &m.Imax_1, &m.Imin_2, &m.Imax_2, &Wmin_1, &Wmax_1, &DW_1,
                &Wmin_2, &Wmax_2, &DW_2, 1);
  m.f1_1 = f1_1[1];
  m.f1_2 = f1_2[1];
  m.Df_1 = Df_1[1];
  m.Df_2 = Df_2[1];

  FilterParameters p;
  read_parameters(pcb, num, &p, pstatus);
  if (*pstatus != Success) return;

  // The mask.
  const double side = 2.0 * std::fabs(static_cast<double>(p.rmsk)) + 1.0;
  if (side > MaxMaskSide) {
    SetKeloError(SFName, SFName, ("Mask radius too large: rmsk = " + std::to_string(p.rmsk)).c_str());
    *pstatus = NotEnoughMemoryAvailable;
    return;
  }
  const long mdim_1 = static_cast<long>(side), mdim_2 = mdim_1;
  const long mdim[3] = {2, mdim_1, mdim_2};
  std::unique_ptr<float[]> mask(new (std::nothrow) float[mdim_1 * mdim_2]);
  if (!mask) {
    SetKeloError(SFName, SFName, "mask");
    *pstatus = NotEnoughMemoryAvailable;
    return;
  }
  if (!gen_tring_mask(mask.get(), mdim_1, mdim_2, p.w, p.a, p.wa)) {
    std::string message = "No weighting mask for w = " + parameter_text(pcb, "w") +
                          ", wa = " + parameter_text(pcb, "wa") +
                          ", a = " + parameter_text(pcb, "a");
    SetKeloError(SFName, SFName, message.c_str());
    *pstatus = OutOfRange;
    return;
  }

  if (p.msk.V) {
    write_mask_file(pcb, p.mnam.V, ihb[0].ImNum, mdim, mask.get(), pstatus);
    if (*pstatus != Success) return;
  }

  // The input mapped onto the output grid.
  ImgHeadBlk& out = ihb[0];
  const ImgHeadBlk& in = ihb[1];
  const long od_1 = out.Dim[1], od_2 = out.Dim[2];
  const long npix = od_1 > 0 && od_2 > 0 ? od_1 * od_2 : 0;
  std::unique_ptr<float[]> I0(new (std::nothrow) float[npix > 0 ? npix : 1]);
  if (!I0) {
    SetKeloError(SFName, SFName, "work array");
    *pstatus = NotEnoughMemoryAvailable;
    return;
  }
  // The range lies inside the output image; kept there for safety.
  if (m.Imin_1 < 0) m.Imin_1 = 0;
  if (m.Imin_2 < 0) m.Imin_2 = 0;
  if (m.Imax_1 > od_1 - 1) m.Imax_1 = static_cast<int>(od_1 - 1);
  if (m.Imax_2 > od_2 - 1) m.Imax_2 = static_cast<int>(od_2 - 1);

  const int ave = pcb->ib[1].Ave.V != 0;
  if (out.VarDat) {
    fill(I0.get(), npix, out.Dummy.V);
    map_data_and_variances(in, out, m, ave, I0.get());
  } else {
    map_data(in, out, m, ave, I0.get());
  }

  long changed = 0;
  peakfilter(out.Data, I0.get(), od_1, od_2, out.Dummy.V, out.DDummy.V, mask.get(), mdim_1,
             mdim_2, p.chi2, p.max, p.mode == 1 ? 1 : 0, pcb->TestBit, &changed);

  printf(" (%ld pixels changed)\n", changed);
}
