// Beam centre and distance versus the point of normal incidence.
//
// With the cofactors C02, C12, C22 of the third column of R and D = det R,
// the beam (along axis 3) meets the detector plane at
//   bcen = cen - (C02, C12) * dis / (C22 * pix),  bdis = dis * D / C22.
// For a rotation (D = 1) this is bdis = dis / R[2][2].
#include "wibpack/r2t.h"

#include <cmath>
#include <cstdio>

namespace {

struct Cofactors {
  double C02, C12, C22, D;
};

Cofactors ThirdColumn(const double R[3][3]) {
  Cofactors c;
  c.C02 = R[1][0] * R[2][1] - R[1][1] * R[2][0];
  c.C12 = R[0][1] * R[2][0] - R[0][0] * R[2][1];
  c.C22 = R[0][0] * R[1][1] - R[0][1] * R[1][0];
  c.D = R[0][2] * c.C02 + R[1][2] * c.C12 + R[2][2] * c.C22;
  return c;
}

bool Present(const void* out, const double R[3][3], const char* routine) {
  if (out && R) return true;
  std::fprintf(stderr, "ERROR: %s: NULL pointer\n", routine);
  return false;
}

// A divisor that is large enough (not a NaN either).
bool Usable(double x) { return std::fabs(x) >= r2t_eps; }

// The beam centre on one axis from the PONI; C is that axis's cofactor.
int BeamCentre(double* bcen, double pix, double cen, double dis, const double R[3][3],
               double Cofactors::*C, const char* routine) {
  if (!Present(bcen, R, routine)) return -1;
  const Cofactors c = ThirdColumn(R);
  if (!Usable(c.C22) || !Usable(pix)) return -1;
  *bcen = cen - c.*C * dis / (c.C22 * pix);
  return 0;
}

// The PONI on one axis from the beam centre.
int Poni(double* cen, double pix, double bcen, double bdis, const double R[3][3],
         double Cofactors::*C, const char* routine) {
  if (!Present(cen, R, routine)) return -1;
  const Cofactors c = ThirdColumn(R);
  if (!Usable(c.D) || !Usable(pix)) return -1;
  *cen = bcen + c.*C * bdis / (c.D * pix);
  return 0;
}

}  // namespace

const char* r2t_version() { return "r2t : V1.01 Orrin 2012-06-04"; }

int r2t_bdis(double* bdis, double dis, const double R[3][3]) {
  if (!Present(bdis, R, "r2t_bdis")) return -1;
  const Cofactors c = ThirdColumn(R);
  if (!Usable(c.C22)) return -1;
  *bdis = dis * c.D / c.C22;
  return 0;
}

int r2t_bcen1(double* bcen1, double pix1, double cen1, double dis, const double R[3][3]) {
  return BeamCentre(bcen1, pix1, cen1, dis, R, &Cofactors::C02, "r2t_bcen1");
}

int r2t_bcen2(double* bcen2, double pix2, double cen2, double dis, const double R[3][3]) {
  return BeamCentre(bcen2, pix2, cen2, dis, R, &Cofactors::C12, "r2t_bcen2");
}

int r2t_dis(double* dis, double bdis, const double R[3][3]) {
  if (!Present(dis, R, "r2t_dis")) return -1;
  const Cofactors c = ThirdColumn(R);
  if (!Usable(c.D)) return -1;
  *dis = bdis * c.C22 / c.D;
  return 0;
}

int r2t_cen1(double* cen1, double pix1, double bcen1, double bdis, const double R[3][3]) {
  return Poni(cen1, pix1, bcen1, bdis, R, &Cofactors::C02, "r2t_cen1");
}

int r2t_cen2(double* cen2, double pix2, double bcen2, double bdis, const double R[3][3]) {
  return Poni(cen2, pix2, bcen2, bdis, R, &Cofactors::C12, "r2t_cen2");
}
