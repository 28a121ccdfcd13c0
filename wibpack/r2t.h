// r2t: beam centre and sample-beam-centre distance versus the point of
// normal incidence (PONI) and the sample-PONI distance of a detector whose
// orientation is the rotation matrix R (double[3][3], as in rot3d).
//
// Centres are pixel coordinates, pixel sizes and distances metres.  Every
// function writes its first argument and returns 0, or returns -1 without
// writing it: silently for degenerate geometry (a detector plane containing
// the beam, a zero pixel size), with a message on standard error for an
// absent output or matrix.
#ifndef WIBPACK_R2T_H
#define WIBPACK_R2T_H

// Smallest magnitude of a divisor.
constexpr double r2t_eps = 1e-12;

// "r2t : V1.01 Orrin 2012-06-04"
const char* r2t_version();

// From the PONI: the sample-beam-centre distance and the beam centre.
int r2t_bdis(double* bdis, double dis, const double R[3][3]);
int r2t_bcen1(double* bcen1, double pix1, double cen1, double dis, const double R[3][3]);
int r2t_bcen2(double* bcen2, double pix2, double cen2, double dis, const double R[3][3]);

// From the beam centre: the sample-PONI distance and the PONI.
int r2t_dis(double* dis, double bdis, const double R[3][3]);
int r2t_cen1(double* cen1, double pix1, double bcen1, double bdis, const double R[3][3]);
int r2t_cen2(double* cen2, double pix2, double bcen2, double bdis, const double R[3][3]);

#endif  // WIBPACK_R2T_H
