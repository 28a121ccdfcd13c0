// Interpolation settings, bilinear interpolation and area integration.
#include "wibpack/ipol.h"

namespace {

// Process-wide settings; the framework sets mode and weighting again each
// time it reads or creates an image.
int IPolMode = IPOL_NORMAL;
int IPolWeight = IPOL_EQUAL;
float IPolMin = 0.5f;

}  // namespace

int Ipolmode(int mode) {
  if (mode == IPOL_NORMAL || mode == IPOL_ANTIALIASED) IPolMode = mode;
  return IPolMode;
}

const char* Ipolmode2str(int mode) {
  switch (mode) {
    case IPOL_NORMAL: return "normal";
    case IPOL_ANTIALIASED: return "antialiased";
    default: return "undefined";
  }
}

int Ipolweight(int method) {
  if (method == IPOL_EQUAL || method == IPOL_WEIGHTED) IPolWeight = method;
  return IPolWeight;
}

const char* Ipolweight2str(int method) {
  switch (method) {
    case IPOL_EQUAL: return "equal";
    case IPOL_WEIGHTED: return "weighted";
    default: return "undefined";
  }
}

float Ipolmin(float minimum) {
  if (minimum >= 0.0f) IPolMin = minimum;  // a NaN is not taken either
  return IPolMin;
}
