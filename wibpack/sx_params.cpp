// sx: the geometry record, its listings, error texts and debug flags.
#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "wibpack/raster.h"
#include "wibpack/sx.h"
#include "wibpack/sx_internal.h"

namespace {

int SxDebug = 0;   // debug flags
int SxLevel = 0;   // (SxDebug & SX_LEVEL) >> 1
char SX_Usage[SXBUFLEN];

constexpr double RadToDeg = 57.29577951308232;

const char* Mark(int flag) { return flag ? "X" : " "; }

}  // namespace

namespace sx_internal {

int Debug() { return SxDebug; }

void PrintMatrix(const double R[3][3], const char* label) {
  // The raster module prints matrices stored column by column.
  double M[9];
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) M[i + 3 * j] = R[i][j];
  raster_fprint_matrix(stdout, 3, 3, M, label);
}

void PrintAngles(const double A[3], const char* label) {
  raster_fprint_matrix(stdout, 1, 3, A, label);
}

}  // namespace sx_internal

const char* sx_version() { return "sx : V1.09 Orrin 2011-12-14"; }

SXParams* sx_init_params(SXParams* params) {
  if (!params) return nullptr;
  *params = SXParams{};  // every value 0, every flag 0
  params->pro.V = 1;
  params->ori.V = 1;
  params->axis1.V = 1;
  params->axis2.V = 1;
  params->dim1.V = 0;
  params->dim2.V = 1;
  params->bis1.V = params->bis2.V = 1.0;
  params->pix1.V = params->pix2.V = 1.0;
  params->dis.V = 1.0;
  params->wvl.V = 1.0;
  params->bdis.V = 1.0;
  return params;
}

SXParams* sx_new(SXParams* params) {
  if (!params) {
    params = static_cast<SXParams*>(malloc(sizeof(SXParams)));
    if (!params) return nullptr;
  }
  return sx_init_params(params);
}

SXParams* sx_cp_params(SXParams* params_out, const SXParams* params_in) {
  if (!params_out || !params_in) return nullptr;
  if (params_out != params_in) *params_out = *params_in;
  return params_out;
}

char* sx_errval2str(char* buffer, size_t buflen, int errval) {
  if (!buffer || buflen == 0) return nullptr;
  static const char* const texts[] = {
      "success",
      "NULL pointer",
      "invalid projection",
      "invalid orientation",
      "invalid axis type",
      "memory allocation error",
      "order calculation error",
      "matrix calculation error",
      "angle calculation error",
      "beam center calculation error",
      "beam distance calculation error",
      "center calculation error",
      "distance calculation error",
      "copying error",
      "array size too small",
      "raster error",
  };
  constexpr int n = sizeof texts / sizeof texts[0];
  const char* text = errval >= 0 && errval < n ? texts[errval] : "error value";
  strncpy(buffer, text, buflen - 1);
  buffer[buflen - 1] = '\0';
  return buffer;
}

int sx_pr_params(FILE* out, const SXParams* p) {
  if (!out || !p) return 0;
  fprintf(out, "  %s pro       = %10d : projection type (%d,%d)\n", Mark(p->pro.I), p->pro.V, 1,
          2);
  fprintf(out, "  %s ori       = %10ld : orientation number (1-16)\n", Mark(p->ori.I),
          p->ori.V);
  fprintf(out, "  %s axis1     = %10d : type of axis 1 (%d,%d,%d)\n", Mark(p->axis1.I),
          p->axis1.V, 1, 2, 3);
  fprintf(out, "  %s axis2     = %10d : type of axis 2 (%d,%d,%d)\n", Mark(p->axis2.I),
          p->axis2.V, 1, 2, 3);
  fprintf(out, "  %s dim1      = %10ld : dimension 1 of 2d array\n", Mark(p->dim1.I), p->dim1.V);
  fprintf(out, "  %s dim2      = %10ld : dimension 2 of 2d array\n", Mark(p->dim2.I), p->dim2.V);
  fprintf(out, "  %s off1      = %10lg : offset 1 of array coordinates\n", Mark(p->off1.I),
          p->off1.V);
  fprintf(out, "  %s off2      = %10lg : offset 2 of array coordinates\n", Mark(p->off2.I),
          p->off2.V);
  fprintf(out, "  %s bis1      = %10lg : binning size 1\n", Mark(p->bis1.I), p->bis1.V);
  fprintf(out, "  %s bis2      = %10lg : binning size 2\n", Mark(p->bis2.I), p->bis2.V);
  fprintf(out, "  %s ras1      = %10lg : raster region of axis 1\n", Mark(p->ras1.I), p->ras1.V);
  fprintf(out, "  %s ras2      = %10lg : raster region of axis 2\n", Mark(p->ras2.I), p->ras2.V);
  fprintf(out, "  %s pix1      = %10lg : pixel size 1 [m]\n", Mark(p->pix1.I), p->pix1.V);
  fprintf(out, "  %s pix2      = %10lg : pixel size 2 [m]\n", Mark(p->pix2.I), p->pix2.V);
  fprintf(out, "  %s cen1      = %10lg : PONI 1 (point of normal incidence)\n", Mark(p->cen1.I),
          p->cen1.V);
  fprintf(out, "  %s cen2      = %10lg : PONI 2 (point of normal incidence)\n", Mark(p->cen2.I),
          p->cen2.V);
  fprintf(out, "  %s dis       = %10lg : distance sample-PONI [m]\n", Mark(p->dis.I), p->dis.V);
  const SXD* rot[3] = {&p->rot1, &p->rot2, &p->rot3};
  for (int k = 0; k < 3; k++) {
    fprintf(out, "  %s rot%d      = %10lg : detector rotation %d [rad] (%10lg deg)\n",
            Mark(rot[k]->I), k + 1, rot[k]->V, k + 1, rot[k]->V * RadToDeg);
  }
  fprintf(out, "  %s wvl       = %10lg : wavelength [m]\n", Mark(p->wvl.I), p->wvl.V);
  fprintf(out, "  %s bcen1     = %10lg : beam center 1\n", Mark(p->bcen1.I), p->bcen1.V);
  fprintf(out, "  %s bcen2     = %10lg : beam center 2\n", Mark(p->bcen2.I), p->bcen2.V);
  fprintf(out, "  %s bdis      = %10lg : distance sample-bcen [m]\n", Mark(p->bdis.I),
          p->bdis.V);
  const SXD* tilt[3] = {&p->tilt1, &p->tilt2, &p->tilt3};
  for (int k = 0; k < 3; k++) {
    fprintf(out, "  %s tilt%d      = %10lg : detector tilt %d [rad] (%10lg deg)\n",
            Mark(tilt[k]->I), k + 1, tilt[k]->V, k + 1, tilt[k]->V * RadToDeg);
  }
  return 0;
}

// ---------------------------------------------------------------------------
// One-line listing and reading, both in the order of SXPARAMS

namespace {

// The fields in listing order: integer fields (int or long) and doubles.
struct Field {
  SXI* i = nullptr;
  SXL* l = nullptr;
  SXD* d = nullptr;
  int error;  // error value of a word that is no number
};

// Calls f for each field until it returns false.  The listing only reads
// through the pointers.
template <class F>
void ForEachField(const SXParams* p, F&& f) {
  SXParams& q = const_cast<SXParams&>(*p);
  const Field fields[] = {
      {&q.pro, nullptr, nullptr, SX_INVALID_PROJECTION},
      {nullptr, &q.ori, nullptr, SX_INVALID_ORIENTATION},
      {&q.axis1, nullptr, nullptr, SX_INVALID_AXISTYPE},
      {&q.axis2, nullptr, nullptr, SX_INVALID_AXISTYPE},
      {nullptr, &q.dim1, nullptr, SX_COPY_ERROR},
      {nullptr, &q.dim2, nullptr, SX_COPY_ERROR},
      {nullptr, nullptr, &q.off1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.off2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.bis1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.bis2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.ras1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.ras2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.pix1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.pix2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.cen1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.cen2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.dis, SX_COPY_ERROR},
      {nullptr, nullptr, &q.rot1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.rot2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.rot3, SX_COPY_ERROR},
      {nullptr, nullptr, &q.wvl, SX_COPY_ERROR},
      {nullptr, nullptr, &q.bcen1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.bcen2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.bdis, SX_COPY_ERROR},
      {nullptr, nullptr, &q.tilt1, SX_COPY_ERROR},
      {nullptr, nullptr, &q.tilt2, SX_COPY_ERROR},
      {nullptr, nullptr, &q.tilt3, SX_COPY_ERROR},
  };
  for (const Field& field : fields) {
    if (!f(field)) return;
  }
}

// The shortest of 15 or 17 significant digits that reads back exactly.
void PrintDouble(FILE* out, double v) {
  char text[40];
  snprintf(text, sizeof text, "%.15lg", v);
  if (strtod(text, nullptr) != v) snprintf(text, sizeof text, "%.17lg", v);
  fprintf(out, "%s ", text);
}

}  // namespace

int sx_pr_params_line(FILE* out, const SXParams* params) {
  if (!out || !params) return 0;
  ForEachField(params, [&](const Field& f) {
    if (f.i) {
      if (f.i->I) fprintf(out, "%d ", f.i->V); else fputs("- ", out);
    } else if (f.l) {
      if (f.l->I) fprintf(out, "%ld ", f.l->V); else fputs("- ", out);
    } else {
      if (f.d->I) PrintDouble(out, f.d->V); else fputs("- ", out);
    }
    return true;
  });
  fputc('\n', out);
  return 0;
}

SXParams* sx_rd_params(SXParams* params, const char* const argv[], int* perrval) {
  int dummy;
  if (!perrval) perrval = &dummy;
  if (!params || !argv) {
    *perrval = SX_NULL_POINTER;
    return nullptr;
  }
  *perrval = SX_SUCCESS;
  const char* const* word = argv;
  ForEachField(params, [&](const Field& f) {
    if (!*word) return false;
    const char* s = *word++;
    if (strcmp(s, "-") == 0) return true;
    char* end = nullptr;
    errno = 0;
    if (f.d) {
      const double v = strtod(s, &end);
      if (end == s || *end != '\0' || errno == ERANGE) {
        *perrval = f.error;
        return false;
      }
      f.d->V = v;
      f.d->I = 1;
    } else {
      const long v = strtol(s, &end, 10);
      if (end == s || *end != '\0' || errno == ERANGE ||
          (f.i && (v < -2147483647L - 1 || v > 2147483647L))) {
        *perrval = f.error;
        return false;
      }
      if (f.i) {
        f.i->V = static_cast<int>(v);
        f.i->I = 1;
      } else {
        f.l->V = v;
        f.l->I = 1;
      }
    }
    return true;
  });
  return *perrval == SX_SUCCESS ? params : nullptr;
}

// ---------------------------------------------------------------------------
// Debug flags

int sx_debug_set(int debug) {
  SxDebug = debug;
  SxLevel = (debug & SX_LEVEL) >> 1;
  raster_debug(debug & SX_RASTER_DEBUG ? 1 : 0);
  if (debug & SX_DEBUG) {
    printf("debug      = 0x%x\n", static_cast<unsigned>(debug));
    printf("verbose    = %d\n", debug & SX_VERBOSE ? 1 : 0);
    printf("level      = %d\n", SxLevel);
    printf("showdata   = %d\n", debug & SX_SHOWDATA ? 1 : 0);
    printf("showtemp   = %d\n", debug & SX_SHOWTEMP ? 1 : 0);
    printf("sxdebug    = %d\n", debug & SX_DEBUG ? 1 : 0);
    printf("sxraster   = %d\n", debug & SX_RASTER_DEBUG ? 1 : 0);
  }
  return 0;
}

int sx_debug() { return SxDebug; }

int sx_level() { return SxLevel; }

const char* sx_usage2str() {
  snprintf(SX_Usage, SXBUFLEN,
           "verbose:0x%x,level:0x%x,showdata:0x%x,showtemp:0x%x,sxdebug:0x%x,sxraster:0x%x",
           SX_VERBOSE, SX_LEVEL, SX_SHOWDATA, SX_SHOWTEMP, SX_DEBUG, SX_RASTER_DEBUG);
  return SX_Usage;
}
