#include "wibpack/sx.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/raster.h"
#include "wibpack/rot3d.h"

namespace {

void Set(SXD& f, double v) {
  f.V = v;
  f.I = 1;
}

// A Saxs geometry with distinct values on both axes, every value given
// except the beam values and the raster regions.
SXParams Geometry(long ori = 1, long dim1 = 5, long dim2 = 3) {
  SXParams p;
  sx_new(&p);
  p.pro.I = 1;
  p.ori.V = ori;
  p.ori.I = 1;
  p.axis1.V = 2;
  p.axis1.I = 1;
  p.axis2.V = 3;
  p.axis2.I = 1;
  p.dim1.V = dim1;
  p.dim1.I = 1;
  p.dim2.V = dim2;
  p.dim2.I = 1;
  Set(p.off1, 2);
  Set(p.off2, -1);
  Set(p.bis1, 2);
  Set(p.bis2, 1);
  Set(p.pix1, 1e-4);
  Set(p.pix2, 1.5e-4);
  Set(p.cen1, 3.25);
  Set(p.cen2, 1.75);
  Set(p.dis, 0.1);
  Set(p.wvl, 1e-10);
  return p;
}

SXParams Transform(const SXParams& in, long ori, int rot = 1) {
  SXParams out;
  int errval = -1;
  EXPECT_NE(sx_tf_params(&out, &in, ori, rot, &errval), nullptr);
  EXPECT_EQ(errval, SX_SUCCESS);
  return out;
}

void Matrix(const SXParams& p, double R[3][3]) {
  const double rot[3] = {p.rot1.V, p.rot2.V, p.rot3.V};
  rot3d_matrix(rot, R);
}

// ---------------------------------------------------------------------------
// Records, texts and flags

TEST(Sx, NewRecordAndTexts) {
  EXPECT_STREQ(sx_version(), "sx : V1.09 Orrin 2011-12-14");
  SXParams* p = sx_new(nullptr);
  ASSERT_NE(p, nullptr);
  EXPECT_EQ(p->pro.V, 1);
  EXPECT_EQ(p->ori.V, 1);
  EXPECT_EQ(p->dim1.V, 0);
  EXPECT_EQ(p->dim2.V, 1);
  EXPECT_EQ(p->bis1.V, 1.0);
  EXPECT_EQ(p->pix2.V, 1.0);
  EXPECT_EQ(p->dis.V, 1.0);
  EXPECT_EQ(p->wvl.V, 1.0);
  EXPECT_EQ(p->bdis.V, 1.0);
  EXPECT_EQ(p->cen1.V, 0.0);
  EXPECT_EQ(p->tilt3.V, 0.0);
  EXPECT_EQ(p->pro.I + p->ori.I + p->dim1.I + p->bdis.I + p->tilt3.I, 0);
  EXPECT_EQ(sx_cp_params(nullptr, p), nullptr);
  EXPECT_EQ(sx_cp_params(p, nullptr), nullptr);
  free(p);

  char buf[64];
  struct {
    int errval;
    const char* text;
  } cases[] = {{0, "success"}, {1, "NULL pointer"}, {9, "beam center calculation error"},
               {14, "array size too small"}, {15, "raster error"}, {16, "error value"},
               {-1, "error value"}};
  for (const auto& c : cases) EXPECT_STREQ(sx_errval2str(buf, sizeof buf, c.errval), c.text);
  EXPECT_STREQ(sx_errval2str(buf, 6, SX_COPY_ERROR), "copyi");
  EXPECT_EQ(sx_errval2str(buf, 0, 0), nullptr);
  EXPECT_EQ(sx_errval2str(nullptr, 8, 0), nullptr);

  EXPECT_STREQ(sx_usage2str(),
               "verbose:0x1,level:0x6,showdata:0x8,showtemp:0x10,sxdebug:0x20,sxraster:0x40");
}

TEST(Sx, DebugFlags) {
  testutil::Capture out(stdout);
  sx_debug_set(SX_DEBUG | 0x4 | SX_SHOWDATA);
  EXPECT_EQ(sx_debug(), 0x2c);
  EXPECT_EQ(sx_level(), 2);
  SXParams p = Geometry();
  SXParams q;
  int errval;
  sx_tf_params(&q, &p, 17, 0, &errval);
  sx_debug_set(0);
  const std::string text = out.Text();
  EXPECT_EQ(text.substr(0, text.find("sx_tf_params")),
            "debug      = 0x2c\nverbose    = 0\nlevel      = 2\nshowdata   = 1\n"
            "showtemp   = 0\nsxdebug    = 1\nsxraster   = 0\n");
  EXPECT_NE(text.find("sx_tf_params BEGIN\n  Input parameters\n  X pro       =          1 : "
                      "projection type (1,2)\n"),
            std::string::npos);
  EXPECT_NE(text.find("  Output orientation = 17\nsx_tf_params END (error=3)\n"),
            std::string::npos);
}

TEST(Sx, Listings) {
  SXParams p = Geometry();
  Set(p.rot2, 0.5);
  testutil::Capture out(stdout);
  sx_pr_params(stdout, &p);
  sx_pr_params_line(stdout, &p);
  const std::string text = out.Text();
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 28);
  for (const char* line : {
           "  X pro       =          1 : projection type (1,2)\n",
           "  X ori       =          1 : orientation number (1-16)\n",
           "  X axis2     =          3 : type of axis 2 (1,2,3)\n",
           "  X off2      =         -1 : offset 2 of array coordinates\n",
           "    ras1      =          0 : raster region of axis 1\n",
           "  X rot2      =        0.5 : detector rotation 2 [rad] (   28.6479 deg)\n",
           "    bdis      =          1 : distance sample-bcen [m]\n",
           "    tilt1      =          0 : detector tilt 1 [rad] (         0 deg)\n",
           "\n1 1 2 3 5 3 2 -1 2 1 - - 0.0001 0.00015 3.25 1.75 0.1 - 0.5 - 1e-10 - - - - - - \n",
       }) {
    EXPECT_NE(text.find(line), std::string::npos) << line;
  }
}

TEST(Sx, ReadingTheOneLineListing) {
  SXParams p = Geometry(6);
  Set(p.rot3, -0.25);
  testutil::TempDir tmp;
  FILE* f = fopen(tmp.file("line").c_str(), "w+");
  sx_pr_params_line(f, &p);
  rewind(f);
  char line[1024];
  ASSERT_NE(fgets(line, sizeof line, f), nullptr);
  fclose(f);
  std::vector<const char*> words;
  for (char* w = strtok(line, " \n"); w; w = strtok(nullptr, " \n")) words.push_back(w);
  words.push_back(nullptr);
  SXParams q;
  sx_new(&q);
  int errval = -1;
  ASSERT_EQ(sx_rd_params(&q, words.data(), &errval), &q);
  EXPECT_EQ(errval, SX_SUCCESS);
  EXPECT_EQ(memcmp(&p, &q, sizeof p), 0);

  const char* bad[] = {"1", "x", nullptr};
  EXPECT_EQ(sx_rd_params(&q, bad, &errval), nullptr);
  EXPECT_EQ(errval, SX_INVALID_ORIENTATION);
  EXPECT_EQ(sx_rd_params(nullptr, bad, &errval), nullptr);
  EXPECT_EQ(errval, SX_NULL_POINTER);
}

// ---------------------------------------------------------------------------
// Transformation of the geometry record

// Square pixels of 1e-4 m, PONI (500, 400) at 0.1 m, no beam values.
SXParams Detector() {
  SXParams p;
  sx_new(&p);
  Set(p.pix1, 1e-4);
  Set(p.pix2, 1e-4);
  Set(p.dis, 0.1);
  Set(p.cen1, 500);
  Set(p.cen2, 400);
  return p;
}

TEST(SxTransform, BeamCentreOfAnUnrotatedDetector) {
  SXParams q = Transform(Detector(), 0);
  EXPECT_EQ(q.bdis.V, 0.1);
  EXPECT_EQ(q.bcen1.V, 500);
  EXPECT_EQ(q.bcen2.V, 400);
  EXPECT_EQ(q.bdis.I, 0);  // no rotation given: the geometry is not defined
}

TEST(SxTransform, BeamCentreOfARotatedDetector) {
  SXParams p = Detector();
  Set(p.rot2, 0.1);
  for (long ori : {0L, 1L}) {
    SXParams q = Transform(p, ori);
    EXPECT_NEAR(q.bdis.V, 0.1 / std::cos(0.1), 1e-15);
    EXPECT_NEAR(q.bcen1.V, 500 + std::tan(0.1) * 0.1 / 1e-4, 1e-9);
    EXPECT_NEAR(q.bcen2.V, 400, 1e-9);
    EXPECT_EQ(q.bdis.I, 1);
    EXPECT_EQ(q.bcen1.I, 1);
    EXPECT_NEAR(q.rot2.V, 0.1, 1e-15);
    EXPECT_EQ(q.rot1.I + q.rot2.I + q.rot3.I + q.tilt1.I + q.tilt2.I + q.tilt3.I, 6);
    EXPECT_NEAR(q.tilt2.V, 0.1, 1e-12);  // tilted by 0.1 rad
  }
}

TEST(SxTransform, PoniFromTheBeamCentre) {
  // Beam values given, PONI not: with rot set they define the geometry.
  SXParams p;
  sx_new(&p);
  Set(p.pix1, 1e-4);
  Set(p.pix2, 1e-4);
  Set(p.rot2, 0.1);
  Set(p.bdis, 0.1 / std::cos(0.1));
  Set(p.bcen1, 500 + std::tan(0.1) * 0.1 / 1e-4);
  Set(p.bcen2, 400);
  SXParams q = Transform(p, 0);
  EXPECT_NEAR(q.dis.V, 0.1, 1e-15);
  EXPECT_NEAR(q.cen1.V, 500, 1e-9);
  EXPECT_NEAR(q.cen2.V, 400, 1e-9);
  EXPECT_EQ(q.dis.I, 1);
  EXPECT_EQ(q.cen1.I, 1);
  p.rot2.I = 0;  // without rotation flags and rot 0 the result stays undefined
  q = Transform(p, 0, 0);
  EXPECT_EQ(q.dis.I, 0);
  EXPECT_EQ(q.cen1.I, 0);
}

TEST(SxTransform, WaxsBeamCentreIsThePoni) {
  SXParams p;
  sx_new(&p);
  p.pro.V = 2;
  Set(p.cen1, 10);
  Set(p.bcen2, 20);
  Set(p.dis, 0.3);
  SXParams q = Transform(p, 0, 0);
  EXPECT_EQ(q.bcen1.V, 10);
  EXPECT_EQ(q.cen2.V, 20);
  EXPECT_EQ(q.cen2.I, 1);
  EXPECT_EQ(q.cen1.I, 1);  // a given PONI keeps its value and its flag
  EXPECT_EQ(q.bdis.V, 0.3);
}

TEST(SxTransform, ReversedFirstAxis) {
  SXParams p;
  sx_new(&p);
  p.dim1.V = 1000;
  p.dim1.I = 1;
  Set(p.off1, 0);
  Set(p.cen1, 300);
  SXParams q = Transform(p, 2);
  EXPECT_EQ(q.ori.V, 2);
  EXPECT_EQ(q.ori.I, 1);
  EXPECT_EQ(q.off1.V, 0);
  EXPECT_EQ(q.cen1.V, 700);
  Set(p.ras1, 2048);
  Set(p.bis1, 2);
  q = Transform(p, 2);
  EXPECT_EQ(q.off1.V, 24);
  EXPECT_EQ(q.off1.I, 1);
  EXPECT_EQ(q.cen1.V, 24 + 1000 - 300);
  p.cen1.I = 0;  // the centre keeps the input's flag
  q = Transform(p, 2);
  EXPECT_EQ(q.cen1.I, 0);
}

TEST(SxTransform, ExchangedAxes) {
  SXParams p = Geometry();
  Set(p.ras1, 30);
  p.off2.I = 0;
  SXParams q = Transform(p, 5);
  EXPECT_EQ(q.axis1.V, p.axis2.V);
  EXPECT_EQ(q.axis2.V, p.axis1.V);
  EXPECT_EQ(q.dim1.V, p.dim2.V);
  EXPECT_EQ(q.dim2.V, p.dim1.V);
  EXPECT_EQ(q.off1.V, p.off2.V);
  EXPECT_EQ(q.off1.I, 0);
  EXPECT_EQ(q.off2.I, 1);
  EXPECT_EQ(q.bis1.V, p.bis2.V);
  EXPECT_EQ(q.pix1.V, p.pix2.V);
  EXPECT_EQ(q.pix2.V, p.pix1.V);
  EXPECT_EQ(q.cen1.V, p.cen2.V);
  EXPECT_EQ(q.ras2.V, 30);
  EXPECT_EQ(q.ras2.I, 1);
  EXPECT_EQ(q.ras1.I, 0);
  EXPECT_EQ(q.bcen1.V, p.cen2.V);  // unrotated: beam centre = PONI
}

TEST(SxTransform, OwnOrientationKeepsTheValues) {
  SXParams p = Geometry(7);
  Set(p.rot1, 0.1);
  Set(p.rot2, -0.2);
  Set(p.rot3, 0.3);
  for (long ori : {0L, 7L, -6L}) {  // -6: the inverse of 6 is 7
    SXParams q = Transform(p, ori);
    EXPECT_EQ(q.ori.V, 7);
    EXPECT_EQ(q.dim1.V, p.dim1.V);
    EXPECT_EQ(q.off1.V, p.off1.V);
    EXPECT_EQ(q.cen2.V, p.cen2.V);
    EXPECT_EQ(q.pix1.V, p.pix1.V);
    EXPECT_NEAR(q.rot1.V, 0.1, 1e-14);
    EXPECT_NEAR(q.rot2.V, -0.2, 1e-14);
    EXPECT_NEAR(q.rot3.V, 0.3, 1e-14);
  }
}

TEST(SxTransform, Errors) {
  SXParams p = Geometry();
  SXParams q;
  struct Case {
    const char* what;
    long ori_in;
    int pro, axis;
    long ori;
    int errval;
  } cases[] = {
      {"input orientation 17", 17, 1, 1, 1, SX_INVALID_ORIENTATION},
      {"target orientation 17", 1, 1, 1, 17, SX_INVALID_ORIENTATION},
      {"target orientation -17", 1, 1, 1, -17, SX_INVALID_ORIENTATION},
      {"projection 3", 1, 3, 1, 1, SX_INVALID_PROJECTION},
      {"axis type 4", 1, 1, 4, 1, SX_INVALID_AXISTYPE},
      {"defaults", 0, 0, 0, 0, SX_SUCCESS},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    p.ori.V = c.ori_in;
    p.pro.V = c.pro;
    p.axis2.V = c.axis;
    int errval = -1;
    SXParams* r = sx_tf_params(&q, &p, c.ori, 0, &errval);
    EXPECT_EQ(errval, c.errval);
    EXPECT_EQ(r != nullptr, c.errval == SX_SUCCESS);
  }
  EXPECT_EQ(q.ori.V, 1);
  EXPECT_EQ(q.pro.V, 1);
  EXPECT_EQ(q.axis2.V, 1);
  int errval = -1;
  EXPECT_EQ(sx_tf_params(&q, nullptr, 1, 0, &errval), nullptr);
  EXPECT_EQ(errval, SX_NULL_POINTER);

  SXParams* fresh = sx_tf_params(nullptr, &p, 3, 0, &errval);  // allocated here
  ASSERT_NE(fresh, nullptr);
  EXPECT_EQ(fresh->ori.V, 3);
  free(fresh);
}

// Every orientation and back: the record is restored; the rotation matrix
// up to rounding.
TEST(SxTransform, ThereAndBackRestoresTheRecord) {
  std::mt19937 rng(11);
  std::uniform_real_distribution<double> angle(-0.4, 0.4);
  for (int trial = 0; trial < 20; trial++) {
    SXParams p = Geometry(1 + trial % 8, 40 + trial, 30 - trial);
    Set(p.rot1, angle(rng));
    Set(p.rot2, angle(rng));
    Set(p.rot3, angle(rng));
    Set(p.ras1, 200);
    Set(p.ras2, 100);
    // Complete the record first, so that the back transformation has
    // nothing left to derive.
    const SXParams start = Transform(p, 0);
    for (long t = 1; t <= 16; t++) {
      SCOPED_TRACE(testing::Message() << "trial " << trial << " via " << t);
      const SXParams there = Transform(start, t);
      const SXParams back = Transform(there, start.ori.V);
      for (auto f : {&SXParams::off1, &SXParams::off2, &SXParams::cen1, &SXParams::cen2,
                     &SXParams::bis1, &SXParams::pix2, &SXParams::ras1, &SXParams::dis,
                     &SXParams::bdis, &SXParams::bcen1, &SXParams::bcen2}) {
        EXPECT_NEAR((back.*f).V, (start.*f).V, 1e-9 * (1 + std::fabs((start.*f).V)));
        EXPECT_EQ((back.*f).I, (start.*f).I);
      }
      EXPECT_EQ(back.dim1.V, start.dim1.V);
      EXPECT_EQ(back.dim2.V, start.dim2.V);
      EXPECT_EQ(back.axis1.V, start.axis1.V);
      double A[3][3], B[3][3];
      Matrix(start, A);
      Matrix(back, B);
      for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_NEAR(A[i][j], B[i][j], 1e-12);
    }
  }
}

// ---------------------------------------------------------------------------
// Data and geometry together, for every pair of two-dimensional orientations

// The standard layout of an array of dims (d1, d2) stored in orientation ori.
std::vector<int> Normalized(const std::vector<int>& a, long d1, long d2, long ori) {
  long order[3];
  raster_number2order(order, 3, 2, ori);
  long dim[3] = {2, 0, 0};
  dim[std::labs(order[1])] = d1;
  dim[std::labs(order[2])] = d2;
  std::vector<int> out(a.size());
  int errval = -1;
  EXPECT_EQ(raster_normalization(out.data(), a.data(), dim, ori, sizeof(int), &errval), 0);
  return out;
}

TEST(SxImage, DataAndGeometryAgreeForAllPairs) {
  const long d1 = 5, d2 = 3;
  std::vector<int> in(d1 * d2);
  for (size_t k = 0; k < in.size(); k++) in[k] = static_cast<int>(100 + k);
  std::vector<int> var(in.size());
  for (size_t k = 0; k < in.size(); k++) var[k] = -static_cast<int>(k);

  for (long a = 1; a <= 8; a++) {
    for (long b = 1; b <= 8; b++) {
      SCOPED_TRACE(testing::Message() << a << " -> " << b);
      SXParams p = Geometry(a, d1, d2);
      Set(p.ras1, 20);
      Set(p.ras2, 9);
      Set(p.rot1, 0.05);
      Set(p.rot2, -0.1);
      Set(p.rot3, 0.2);
      const long i1 = 3, i2 = 1;  // the PONI lies on this pixel
      p.cen1.V = i1 + p.off1.V + 0.5;
      p.cen2.V = i2 + p.off2.V + 0.5;

      SXParams q;
      std::vector<int> out(in.size(), 0), vout(in.size(), 0);
      int errval = -1;
      ASSERT_EQ(sx_tf_img(&q, out.data(), vout.data(), out.size(), &p, in.data(), var.data(),
                          sizeof(int), b, 1, &errval),
                0);
      ASSERT_EQ(errval, SX_SUCCESS);
      EXPECT_EQ(q.ori.V, b);

      // The same standard image before and after.
      EXPECT_EQ(Normalized(out, q.dim1.V, q.dim2.V, b), Normalized(in, d1, d2, a));
      EXPECT_EQ(Normalized(vout, q.dim1.V, q.dim2.V, b), Normalized(var, d1, d2, a));

      // The transformed PONI lies on the same pixel.
      const double o1 = q.cen1.V - q.off1.V - 0.5, o2 = q.cen2.V - q.off2.V - 0.5;
      ASSERT_EQ(o1, std::floor(o1));
      ASSERT_EQ(o2, std::floor(o2));
      ASSERT_TRUE(o1 >= 0 && o1 < q.dim1.V && o2 >= 0 && o2 < q.dim2.V);
      EXPECT_EQ(out[static_cast<long>(o1) + static_cast<long>(o2) * q.dim1.V],
                in[i1 + i2 * d1]);

      // The beam centre follows the same coordinate transformation: that of
      // a PONI placed on the input's beam centre.
      SXParams input = Transform(p, 0);
      SXParams onbeam = p;
      onbeam.cen1.V = input.bcen1.V;
      onbeam.cen2.V = input.bcen2.V;
      onbeam.rot1.V = onbeam.rot2.V = onbeam.rot3.V = 0;
      SXParams moved = Transform(onbeam, b);
      EXPECT_NEAR(q.bcen1.V, moved.cen1.V, 1e-9);
      EXPECT_NEAR(q.bcen2.V, moved.cen2.V, 1e-9);
      EXPECT_NEAR(q.bdis.V, input.bdis.V, 1e-15);
    }
  }
}

TEST(SxImage, InPlaceAndSharedRecord) {
  std::vector<float> data(12), var(12);
  for (int k = 0; k < 12; k++) {
    data[k] = static_cast<float>(k);
    var[k] = static_cast<float>(k) * 0.5f;
  }
  const std::vector<float> data0 = data, var0 = var;
  SXParams p = Geometry(1, 4, 3);
  int errval = -1;
  ASSERT_EQ(sx_tf_img(&p, data.data(), var.data(), 12, &p, data.data(), var.data(),
                      sizeof(float), 6, 1, &errval),
            0);
  EXPECT_EQ(p.ori.V, 6);
  EXPECT_EQ(p.dim1.V, 3);
  EXPECT_EQ(p.dim2.V, 4);
  EXPECT_NE(data, data0);
  ASSERT_EQ(sx_tf_img(&p, data.data(), var.data(), 12, &p, data.data(), var.data(),
                      sizeof(float), 1, 1, &errval),
            0);
  EXPECT_EQ(data, data0);
  EXPECT_EQ(var, var0);
  EXPECT_EQ(p.dim1.V, 4);
}

TEST(SxImage, Errors) {
  std::vector<float> data(12);
  SXParams p = Geometry(1, 4, 3);
  SXParams q;
  int errval = -1;
  // Too few elements: reported after the parameters were transformed.
  EXPECT_EQ(sx_tf_img(&q, data.data(), nullptr, 11, &p, data.data(), nullptr, 4, 5, 1, &errval),
            -1);
  EXPECT_EQ(errval, SX_ARRAY_TOOSMALL);
  EXPECT_EQ(q.ori.V, 5);
  // Without arrays nothing is checked.
  EXPECT_EQ(sx_tf_img(&q, nullptr, nullptr, 0, &p, data.data(), nullptr, 4, 5, 1, &errval), 0);
  EXPECT_EQ(errval, SX_SUCCESS);
  EXPECT_EQ(sx_tf_img(nullptr, nullptr, nullptr, 0, &p, nullptr, nullptr, 4, 5, 1, &errval),
            -1);
  EXPECT_EQ(errval, SX_NULL_POINTER);
  EXPECT_EQ(sx_tf_img(&q, nullptr, nullptr, 0, nullptr, nullptr, nullptr, 4, 5, 1, &errval),
            -1);
  EXPECT_EQ(errval, SX_COPY_ERROR);
  p.pro.V = 3;
  EXPECT_EQ(sx_tf_img(&q, nullptr, nullptr, 0, &p, nullptr, nullptr, 4, 5, 1, &errval), -1);
  EXPECT_EQ(errval, SX_INVALID_PROJECTION);
}

// The reordering composes the input order with the inverse output order;
// the other composition differs for 24 of the 64 pairs.
TEST(SxImage, OrderOfTheReorderingMatters) {
  int differ = 0;
  for (long a = 1; a <= 8; a++) {
    for (long b = 1; b <= 8; b++) {
      const long inv = raster_inversion(b);
      const bool same = raster_multiplication(a, inv) == raster_multiplication(inv, a);
      if (!same) differ++;
      if (a == 1 || a == 4 || b == 1 || b == 4) {
        EXPECT_TRUE(same) << a << " " << b;
      }
    }
  }
  EXPECT_EQ(differ, 24);
}

}  // namespace
