// sx: transformation of a detector geometry, and of its image data, to
// another raster orientation.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <utility>

#include "wibpack/r2t.h"
#include "wibpack/raster.h"
#include "wibpack/reference.h"
#include "wibpack/rot3d.h"
#include "wibpack/sx.h"
#include "wibpack/sx_internal.h"
#include "wibpack/tilt3d.h"

namespace {

using sx_internal::PrintAngles;
using sx_internal::PrintMatrix;

// Highest raster orientation of a detector image: the eight orientations of
// two axes, with and without the third axis reversed.
constexpr long MaxOrientation = 16;

// The orientation a number stands for: 0 none (kept as it is by the
// caller), negative the inverse of its magnitude.  0 for a number out of
// range, whose inverse cannot be formed.
long Orientation(long ori) {
  if (ori >= 0) return ori;
  if (ori < -MaxOrientation) return 0;
  return raster_inversion(-ori);
}

bool ValidOrientation(long ori) { return ori >= 1 && ori <= MaxOrientation; }

// Offset and centre of one axis after reversing it (the raster region, when
// given, fixes the new offset).
void InvertAxis(SXD& off, SXD& cen, const SXD& off_in, const SXD& cen_in, const SXD& ras_in,
                const SXD& bis_in, const SXL& dim_in) {
  const double dim = static_cast<double>(dim_in.V);
  if (ras_in.I) {
    off.V = ras_in.V / bis_in.V - (dim + off_in.V);
    off.I = 1;
  }
  cen.V = off.V + off_in.V + dim - cen_in.V;
  cen.I = cen_in.I;
}

}  // namespace

SXParams* sx_tf_params(SXParams* params_out, const SXParams* params_in, long ori, int rot,
                       int* perrval) {
  int errval_dummy;
  if (!perrval) perrval = &errval_dummy;
  const int debug = sx_internal::Debug();
  const bool showdata = debug & SX_SHOWDATA;
  const bool showtemp = debug & SX_SHOWTEMP;
  if (debug & SX_DEBUG) printf("sx_tf_params BEGIN\n");

  SXParams* allocated = nullptr;
  auto fail = [&](int errval) -> SXParams* {
    free(allocated);
    *perrval = errval;
    if (debug & SX_DEBUG) printf("sx_tf_params END (error=%d)\n", errval);
    return nullptr;
  };

  if (!params_in) return fail(SX_NULL_POINTER);
  SXParams inp;
  if (!sx_cp_params(&inp, params_in)) return fail(SX_COPY_ERROR);

  // Defaults of the work record.
  if (inp.pro.V == 0) inp.pro.V = IO_ProSaxs;
  inp.ori.V = inp.ori.V == 0 ? 1 : Orientation(inp.ori.V);
  if (inp.axis1.V == 0) inp.axis1.V = IO_AxisTypeDistance;
  if (inp.axis2.V == 0) inp.axis2.V = IO_AxisTypeDistance;
  if (showdata) {
    printf("  Input parameters\n");
    sx_pr_params(stdout, &inp);
  }

  if (inp.pro.V != IO_ProSaxs && inp.pro.V != IO_ProWaxs) return fail(SX_INVALID_PROJECTION);
  if (!ValidOrientation(inp.ori.V)) return fail(SX_INVALID_ORIENTATION);
  for (const SXI* axis : {&inp.axis1, &inp.axis2}) {
    if (axis->V < IO_AxisTypeDistance || axis->V > IO_AxisTypeNumerator) {
      return fail(SX_INVALID_AXISTYPE);
    }
  }

  const long outori = ori ? Orientation(ori) : inp.ori.V;
  if (showdata) printf("  Output orientation = %ld\n", outori);
  if (!ValidOrientation(outori)) return fail(SX_INVALID_ORIENTATION);

  // Rotation matrix of the input: the rotations, with given tilts replacing
  // the tilts they imply, then given rotations replacing theirs.
  double R[3][3];
  double ROT[3] = {inp.rot1.V, inp.rot2.V, inp.rot3.V};
  double TILT[3];
  if (rot3d_matrix(ROT, R)) return fail(SX_MATRIX_CALCULATION_ERROR);
  if (tilt3d_angles(TILT, R)) return fail(SX_ANGLE_CALCULATION_ERROR);
  const SXD* tilts[3] = {&inp.tilt1, &inp.tilt2, &inp.tilt3};
  for (int k = 0; k < 3; k++) {
    if (tilts[k]->I) TILT[k] = tilts[k]->V;
  }
  if (tilt3d_matrix(TILT, R)) return fail(SX_MATRIX_CALCULATION_ERROR);
  if (rot3d_angles(ROT, R)) return fail(SX_ANGLE_CALCULATION_ERROR);
  const SXD* rots[3] = {&inp.rot1, &inp.rot2, &inp.rot3};
  for (int k = 0; k < 3; k++) {
    if (rots[k]->I) ROT[k] = rots[k]->V;
  }
  if (showtemp) PrintAngles(ROT, "Angle[3]");
  if (rot3d_matrix(ROT, R)) return fail(SX_MATRIX_CALCULATION_ERROR);
  int defined = inp.tilt1.I || inp.tilt2.I || inp.tilt3.I || inp.rot1.I || inp.rot2.I ||
                inp.rot3.I;
  if (showtemp) {
    PrintMatrix(R, "R[3][3]");
    printf("R[2][2] = %lg, SxEps = %lg\n", R[2][2], SxEps);
  }

  // Completing the input geometry: beam centre and PONI from one another.
  if (std::fabs(R[2][2]) > SxEps) {
    if (inp.pro.V == IO_ProSaxs) {
      if (!inp.bdis.I) {
        if (r2t_bdis(&inp.bdis.V, inp.dis.V, R)) return fail(SX_BEAMDISTANCE_CALCULATION_ERROR);
        if (showtemp) printf("inp->bdis.V = %lg (updated)\n", inp.bdis.V);
      }
      if (!inp.bcen1.I) {
        if (r2t_bcen1(&inp.bcen1.V, inp.pix1.V, inp.cen1.V, inp.dis.V, R)) {
          return fail(SX_BEAMCENTER_CALCULATION_ERROR);
        }
        if (showtemp) printf("inp->bcen1.V = %lg (updated)\n", inp.bcen1.V);
      }
      if (!inp.bcen2.I) {
        if (r2t_bcen2(&inp.bcen2.V, inp.pix2.V, inp.cen2.V, inp.dis.V, R)) {
          return fail(SX_BEAMCENTER_CALCULATION_ERROR);
        }
        if (showtemp) printf("inp->bcen2.V = %lg (updated)\n", inp.bcen2.V);
      }

      if (rot && inp.bdis.I) defined = 1;
      if (!inp.dis.I) {
        if (r2t_dis(&inp.dis.V, inp.bdis.V, R)) return fail(SX_DISTANCE_CALCULATION_ERROR);
        inp.dis.I = defined && inp.bdis.I;
        if (showtemp) printf("inp->dis.V = %lg (updated)\n", inp.dis.V);
      }

      // The PONI of each axis from its beam centre.
      typedef int (*CenFromBeam)(double*, double, double, double, const double[3][3]);
      struct Axis {
        SXD &bcen, &pix, &cen;
        CenFromBeam from_beam;
        const char* label;
      } axes[2] = {{inp.bcen1, inp.pix1, inp.cen1, r2t_cen1, "inp->cen1.V"},
                   {inp.bcen2, inp.pix2, inp.cen2, r2t_cen2, "inp->cen2.V"}};
      for (Axis& a : axes) {
        if (rot && a.bcen.I && a.pix.I && (inp.bdis.I || inp.dis.I)) defined = 1;
        if (!a.cen.I) {
          if (a.from_beam(&a.cen.V, a.pix.V, a.bcen.V, inp.bdis.V, R)) {
            return fail(SX_CENTER_CALCULATION_ERROR);
          }
          a.cen.I = defined && a.bcen.I && a.pix.I && inp.bdis.I;
          if (showtemp) printf("%s = %lg (updated)\n", a.label, a.cen.V);
        }
      }
    } else {
      // Waxs: beam centre and PONI coincide.  Given values are kept; a
      // missing one is taken from its partner together with its flag.
      if (!inp.bcen1.I) inp.bcen1.V = inp.cen1.V;
      if (!inp.bcen2.I) inp.bcen2.V = inp.cen2.V;
      if (!inp.bdis.I) inp.bdis.V = inp.dis.V;
      if (!inp.dis.I) inp.dis = inp.bdis;
      if (!inp.cen1.I) inp.cen1 = inp.bcen1;
      if (!inp.cen2.I) inp.cen2 = inp.bcen2;
    }
  }

  // The output record.
  SXParams* out = params_out;
  if (!out) out = allocated = sx_new(nullptr);
  if (!out || !sx_new(out)) return fail(SX_MEMORY_ALLOCATION_ERROR);
  if (!sx_cp_params(out, &inp)) return fail(SX_COPY_ERROR);
  out->ori.V = outori;
  out->ori.I = 1;
  if (showtemp) printf("  outp->ori.V = %ld, inp->ori.V = %ld\n", out->ori.V, inp.ori.V);

  // The transformation from the input to the output orientation, as orders
  // of three axes and as matrices (column by column).
  const long t_ori = raster_multiplication(outori, raster_inversion(inp.ori.V));
  if (showtemp) printf("  t_ori = %ld\n", t_ori);
  const long inv_t_ori = raster_inversion(t_ori);
  if (showtemp) printf("  inv_t_ori = %ld\n", inv_t_ori);
  long t_order[4], inv_t_order[4];
  if (!raster_number2order(t_order, 4, 3, t_ori) ||
      !raster_number2order(inv_t_order, 4, 3, inv_t_ori)) {
    return fail(SX_ORDER_CALCULATION_ERROR);
  }
  double T[9], inv_T[9];
  if (!raster_order2matrix(T, 9, t_order) || !raster_order2matrix(inv_T, 9, inv_t_order)) {
    return fail(SX_MATRIX_CALCULATION_ERROR);
  }
  if (showtemp) {
    raster_fprint_matrix(stdout, 3, 3, T, "T[3][3]");
    raster_fprint_matrix(stdout, 3, 3, inv_T, "inv_T[3][3]");
  }

  // Offsets, centres and the axes themselves.
  const long m = t_ori - 1;
  if (m % 2 == 1) {
    if (debug & SX_DEBUG) printf("  invert first coordinate\n");
    InvertAxis(out->off1, out->cen1, inp.off1, inp.cen1, inp.ras1, inp.bis1, inp.dim1);
  }
  if (m % 4 >= 2) {
    if (debug & SX_DEBUG) printf("  invert second coordinate\n");
    InvertAxis(out->off2, out->cen2, inp.off2, inp.cen2, inp.ras2, inp.bis2, inp.dim2);
  }
  if (m % 8 >= 4) {
    if (debug & SX_DEBUG) printf("  swap first and second coordinates\n");
    std::swap(out->axis1, out->axis2);
    std::swap(out->dim1, out->dim2);
    std::swap(out->off1, out->off2);
    std::swap(out->cen1, out->cen2);
    std::swap(out->bis1, out->bis2);
    std::swap(out->pix1, out->pix2);
    std::swap(out->ras1, out->ras2);
  }
  out->dis = inp.dis;
  out->wvl = inp.wvl;

  // The rotation in the output orientation: TRT = T^t R T, with T(r, c) =
  // T[r + 3 c] and inv_T = T^t.  Every sum has a single non-zero term.
  double RT[3][3], TRT[3][3];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      double s = 0.0;
      for (int k = 0; k < 3; k++) s += R[i][k] * T[k + 3 * j];
      RT[i][j] = s;
    }
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) {
      double s = 0.0;
      for (int k = 0; k < 3; k++) s += inv_T[i + 3 * k] * RT[k][j];
      TRT[i][j] = s;
    }
  if (showtemp) {
    PrintMatrix(RT, "RT[3][3]");
    PrintMatrix(TRT, "TRT[3][3]");
  }
  double TROT[3], TTILT[3], work[3][3];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) work[i][j] = TRT[i][j];
  if (rot3d_angles(TROT, work)) return fail(SX_ANGLE_CALCULATION_ERROR);
  if (showtemp) PrintAngles(TROT, "TAngle[3]");
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) work[i][j] = TRT[i][j];
  if (tilt3d_angles(TTILT, work)) return fail(SX_ANGLE_CALCULATION_ERROR);
  if (showtemp) PrintAngles(TTILT, "TTilts[3]");
  SXD* orots[3] = {&out->rot1, &out->rot2, &out->rot3};
  SXD* otilts[3] = {&out->tilt1, &out->tilt2, &out->tilt3};
  for (int k = 0; k < 3; k++) {
    orots[k]->V = TROT[k];
    orots[k]->I = defined;
    otilts[k]->V = TTILT[k];
    otilts[k]->I = defined;
  }
  if (showtemp) printf("TRT[2][2] = %lg, SxEps = %lg\n", TRT[2][2], SxEps);

  // Beam centre and distance in the output orientation.
  if (std::fabs(TRT[2][2]) > SxEps) {
    if (out->pro.V == IO_ProSaxs) {
      if (r2t_bdis(&out->bdis.V, out->dis.V, TRT)) {
        return fail(SX_BEAMDISTANCE_CALCULATION_ERROR);
      }
      out->bdis.I = defined && out->dis.I;
      if (r2t_bcen1(&out->bcen1.V, out->pix1.V, out->cen1.V, out->dis.V, TRT)) {
        return fail(SX_BEAMCENTER_CALCULATION_ERROR);
      }
      out->bcen1.I = out->cen1.I && defined && out->pix1.I;
      if (r2t_bcen2(&out->bcen2.V, out->pix2.V, out->cen2.V, out->dis.V, TRT)) {
        return fail(SX_BEAMCENTER_CALCULATION_ERROR);
      }
      out->bcen2.I = out->cen2.I && defined && out->pix2.I;
    } else {
      out->bdis.V = out->dis.V;
      out->bdis.I = defined && out->dis.I;
      out->bcen1.V = out->cen1.V;
      out->bcen1.I = defined && out->cen1.I;
      out->bcen2.V = out->cen2.V;
      out->bcen2.I = defined && out->cen2.I;
    }
    if (showtemp) {
      printf("outp->bdis.V = %lg (updated)\n", out->bdis.V);
      printf("outp->bcen1.V = %lg (updated)\n", out->bcen1.V);
      printf("outp->bcen2.V = %lg (updated)\n", out->bcen2.V);
    }
  }

  if (showdata) {
    printf("  Output parameters\n");
    sx_pr_params(stdout, out);
  }
  *perrval = SX_SUCCESS;
  if (debug & SX_DEBUG) printf("sx_tf_params END\n");
  return out;
}

int sx_tf_img(SXParams* params_out, void* data_out, void* variance_out, size_t item_number,
              const SXParams* params_in, const void* data_in, const void* variance_in,
              size_t item_size, long ori, int rot, int* perrval) {
  int errval_dummy;
  if (!perrval) perrval = &errval_dummy;
  const int debug = sx_internal::Debug();
  const bool showtemp = debug & SX_SHOWTEMP;
  if (debug & SX_DEBUG) printf("sx_tf_img BEGIN\n");
  auto fail = [&](int errval) {
    *perrval = errval;
    if (debug & SX_DEBUG) printf("sx_tf_img END (error=%d)\n", errval);
    return -1;
  };

  if (!params_out) return fail(SX_NULL_POINTER);
  // A copy, so that params_out may be the input record.
  SXParams inp;
  if (!sx_cp_params(&inp, params_in)) return fail(SX_COPY_ERROR);

  int errval = SX_SUCCESS;
  if (!sx_tf_params(params_out, &inp, ori, rot, &errval)) return fail(errval);

  const bool data = data_out && data_in;
  const bool variance = variance_out && variance_in;
  if (data || variance) {
    // Orientation numbers as sx_tf_params reads them (0 is the standard
    // orientation; the order of a negative number is the inverse one).
    const long in_ori = inp.ori.V ? inp.ori.V : 1;
    const long out_ori = params_out->ori.V;
    if (debug & SX_DEBUG) printf("  reorder arrays: orientation %ld -> %ld\n", in_ori, out_ori);

    // The data are reordered by the input order followed by the inverse of
    // the output order: normalizing the result in the output orientation
    // gives the same standard array as normalizing the input in the input
    // orientation, consistent with the transformed geometry.
    long order_in[4], order_out[4], order_out_inv[4], order_tf[4];
    if (in_ori < -MaxOrientation || !raster_number2order(order_in, 4, 3, in_ori) ||
        !raster_number2order(order_out, 4, 3, out_ori) ||
        !raster_order_inversion(order_out_inv, 4, order_out) ||
        !raster_order_multiplication(order_tf, 4, order_in, order_out_inv)) {
      return fail(SX_INVALID_ORIENTATION);
    }
    if (showtemp) {
      printf("    order_in=%ld\n", raster_order2number(order_in));
      printf("    order_out=%ld\n", raster_order2number(order_out));
      printf("    order_out_inv=%ld\n", raster_order2number(order_out_inv));
      printf("    order_tf=%ld\n", raster_order2number(order_tf));
    }

    const long dim1 = params_out->dim1.V, dim2 = params_out->dim2.V;
    if (dim1 < 0 || dim2 < 0 ||
        (dim1 > 0 && static_cast<unsigned long>(dim2) > item_number / dim1)) {
      return fail(SX_ARRAY_TOOSMALL);
    }
    const long data_dim[4] = {3, dim1, dim2, 1};
    int rerr = 0;
    if (data) {
      if (debug & SX_DEBUG) printf("  raster_order_normalization\n");
      if (raster_order_normalization(data_out, data_in, data_dim, order_tf, item_size, &rerr)) {
        return fail(SX_RASTER_ERROR + rerr);
      }
    }
    if (variance) {
      if (debug & SX_DEBUG) printf("  raster_order_normalization\n");
      if (raster_order_normalization(variance_out, variance_in, data_dim, order_tf, item_size,
                                     &rerr)) {
        return fail(SX_RASTER_ERROR + rerr);
      }
    }
  }

  *perrval = SX_SUCCESS;
  if (debug & SX_DEBUG) printf("sx_tf_img END\n");
  return 0;
}
