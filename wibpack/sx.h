// sx: the geometry of a two-dimensional detector image and its
// transformation to another raster orientation.
//
// One record, SXParams, describes the geometry: projection type, raster
// orientation (wibpack/raster.h), axis types, array dimensions, offsets,
// binning, raster region, pixel sizes, the point of normal incidence (PONI)
// with the sample-PONI distance, the detector rotations, the wavelength, the
// beam centre with the sample-beam-centre distance and the detector tilts.
// Every field is a value V with a flag I: non-zero when the value is given
// (or derived as defined), 0 when it is not.
//
// sx_tf_params expresses a record in another raster orientation while the
// physical geometry stays the same, completing PONI, beam centre and
// distances from one another where only some of them are known;
// sx_tf_img does the same and reorders the image data and variances with it.
// Both report failures through an error value (SX_...).  Records that the
// module allocates are released by the caller with free().
#ifndef WIBPACK_SX_H
#define WIBPACK_SX_H

#include <cstddef>
#include <cstdio>

// Value-and-flag pairs.
typedef struct sx_int { int V; int I; } SXI;
typedef struct sx_long { long V; int I; } SXL;
typedef struct sx_double { double V; int I; } SXD;

// The geometry record; sx_init_params sets the initial values noted.
typedef struct sx_params {
  SXI pro;      // projection type, IO_ProSaxs 1 or IO_ProWaxs 2 (1)
  SXL ori;      // raster orientation 1..16; 9..16 are 1..8 with axis 3 reversed (1)
  SXI axis1;    // axis type of axis 1: 1 Distance, 2 Angle, 3 Numerator (1)
  SXI axis2;    // axis type of axis 2 (1)
  SXL dim1;     // dimension 1 of the 2-D array (0)
  SXL dim2;     // dimension 2 of the 2-D array (1)
  SXD off1;     // offsets of the array coordinates [pixels] (0)
  SXD off2;
  SXD bis1;     // binning sizes (1)
  SXD bis2;
  SXD ras1;     // raster region of the axis [unbinned raster pixels] (0)
  SXD ras2;
  SXD pix1;     // pixel sizes [m] (1)
  SXD pix2;
  SXD cen1;     // PONI (point of normal incidence) [pixel coordinates] (0)
  SXD cen2;
  SXD dis;      // distance sample-PONI [m] (1)
  SXD rot1;     // detector rotations [rad] (0)
  SXD rot2;
  SXD rot3;
  SXD wvl;      // wavelength [m] (1)
  SXD bcen1;    // beam centre [pixel coordinates] (0)
  SXD bcen2;
  SXD bdis;     // distance sample-beam centre [m] (1)
  SXD tilt1;    // detector tilts [rad] (0)
  SXD tilt2;
  SXD tilt3;
} SXParams;

// Column names of the one-line listing, in field order.
#define SXPARAMS \
  "#pro ori axis1 axis2 dim1 dim2 off1 off2 bis1 bis2 ras1 ras2 pix1 pix2 cen1 cen2 dis " \
  "rot1 rot2 rot3 wvl bcen1 bcen2 bdis tilt1 tilt2 tilt3"

// Error values.
enum SXErrorValue {
  SX_SUCCESS = 0,
  SX_NULL_POINTER = 1,
  SX_INVALID_PROJECTION = 2,
  SX_INVALID_ORIENTATION = 3,
  SX_INVALID_AXISTYPE = 4,
  SX_MEMORY_ALLOCATION_ERROR = 5,
  SX_ORDER_CALCULATION_ERROR = 6,
  SX_MATRIX_CALCULATION_ERROR = 7,
  SX_ANGLE_CALCULATION_ERROR = 8,
  SX_BEAMCENTER_CALCULATION_ERROR = 9,
  SX_BEAMDISTANCE_CALCULATION_ERROR = 10,
  SX_CENTER_CALCULATION_ERROR = 11,
  SX_DISTANCE_CALCULATION_ERROR = 12,
  SX_COPY_ERROR = 13,
  SX_ARRAY_TOOSMALL = 14,
  // A failed data reordering reports SX_RASTER_ERROR plus the error value of
  // the raster normalization.
  SX_RASTER_ERROR = 15
};

// Debug flags (sx_debug_set).
#define SX_VERBOSE 0x1
#define SX_LEVEL 0x6          // level = (debug & SX_LEVEL) >> 1
#define SX_SHOWDATA 0x8       // print input and output records
#define SX_SHOWTEMP 0x10      // print intermediate matrices and derived values
#define SX_DEBUG 0x20         // print BEGIN/END lines
#define SX_RASTER_DEBUG 0x40  // switch on the debug output of the raster module

// Size of the usage text buffer.
#define SXBUFLEN 1024

// Smallest |R[2][2]| for which beam centre and PONI are related.
constexpr double SxEps = 1e-8;

// "sx : V1.09 Orrin 2011-12-14"
const char* sx_version();

// Initialises params, or with null a record allocated here (null when out of
// memory).
SXParams* sx_new(SXParams* params);
// Sets the initial values, all flags 0; returns params.
SXParams* sx_init_params(SXParams* params);
// Copies the whole record; null if either is null.
SXParams* sx_cp_params(SXParams* params_out, const SXParams* params_in);

// params_in expressed in raster orientation ori (0: keep the input's,
// negative: the inverse of |ori|), into params_out or, with null, into a
// record allocated here.  rot non-zero lets given beam-centre values count
// as a defined geometry.  Returns the record, or null with *perrval set.
SXParams* sx_tf_params(SXParams* params_out, const SXParams* params_in, long ori, int rot,
                       int* perrval);
// sx_tf_params, and the data and variance arrays (item_number elements of
// item_size bytes each, at least dim1 * dim2 of the output) reordered into
// the output orientation.  params_out may be params_in and the output
// arrays the input arrays.  Arrays are reordered only where both the input
// and the output array are given.  Returns 0, or -1 with *perrval set.
int sx_tf_img(SXParams* params_out, void* data_out, void* variance_out, size_t item_number,
              const SXParams* params_in, const void* data_in, const void* variance_in,
              size_t item_size, long ori, int rot, int* perrval);

// The text of an error value into buffer (at most buflen - 1 characters,
// always terminated); null for a null buffer or buflen 0.
char* sx_errval2str(char* buffer, size_t buflen, int errval);

// Prints every field on a line of its own, "X" marking a set flag; returns 0.
int sx_pr_params(FILE* out, const SXParams* params);
// Prints the values on one line in the order of SXPARAMS, "-" for a value
// whose flag is 0; returns 0.
int sx_pr_params_line(FILE* out, const SXParams* params);
// Fills params from the null-terminated word list argv, one word per field
// in the order of SXPARAMS: a number sets the value and its flag, "-" (or
// the end of the list) leaves the field alone.  Returns params, or null with
// *perrval set for a null argument or a word that is no number.
SXParams* sx_rd_params(SXParams* params, const char* const argv[], int* perrval);

// Sets the debug flags; returns 0.
int sx_debug_set(int debug);
int sx_debug();
int sx_level();
// The meaning of the debug bits, "verbose:0x1,level:0x6,...".
const char* sx_usage2str();

#endif
