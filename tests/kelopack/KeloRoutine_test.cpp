#include "kelopack/KeloRoutine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "testutil.h"
#include "wibpack/ipol.h"

namespace {

void Set(IO_float& v, float value, int flag = 1) {
  v.V = value;
  v.I = flag;
}

// One output image (block 0) and one input image (block 1), both with
// default headers and the given sizes.
struct Step {
  CmdBlk cb{};
  ImgHeadBlk ihb[2];
  float Off_1[2] = {}, Off_2[2] = {}, Ps_1[2] = {}, Ps_2[2] = {};

  explicit Step(long rsys, long d1 = 100, long d2 = 100) {
    cb.RSys.V = rsys;
    cb.ImgBlkLen = 2;
    for (int i = 0; i < 2; i++) {
      init_header_block(ihb, i);
      ihb[i].Dim[0] = 2;
      ihb[i].Dim[1] = d1;
      ihb[i].Dim[2] = d2;
    }
  }
  // Offset, pixel size and centre of both axes of block b, flags set.
  void Geometry(int b, float off, float pix, float cen) {
    for (int k = 1; k <= 2; k++) {
      Set(ihb[b].Offset[k], off);
      Set(ihb[b].PixSiz[k], pix);
      Set(ihb[b].Center[k], cen);
    }
  }
  int References() {
    int status = Failed;
    GetReferenceParameters(&cb, ihb, 0, 1, Off_1, Off_2, Ps_1, Ps_2, &status);
    return status;
  }
};

// ---------------------------------------------------------------------------
// Reference parameters

TEST(KeloRoutineReference, EverySystemFromItsHeaderValues) {
  // O 10, C 30, B 2, P 1e-4, S 0.5, W 1e-10 on axis 1.
  const float O = 10, C = 30, B = 2, P = 1e-4f, S = 0.5f, W = 1e-10f;
  const float saxs = static_cast<float>(static_cast<double>(P / S) * (1e-9 / W));
  struct Case {
    long rsys;
    float off, ps;
  } cases[] = {
      {IO_Array, 0.5f, 1.0f},         {IO_Image, O + 0.5f, 1.0f},
      {IO_Center, (O - C) + 0.5f, 1}, {IO_Region, O + 0.5f, B},
      {IO_Real, O + 0.5f, P},         {IO_Normal, (O - C) + 0.5f, P},
      {IO_Tangens, (O - C) + 0.5f, P / S}, {IO_Saxs, (O - C) + 0.5f, saxs},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rsys);
    Step s(c.rsys);
    Set(s.ihb[1].Offset[1], O);
    Set(s.ihb[1].Center[1], C);
    Set(s.ihb[1].BinSiz[1], B);
    Set(s.ihb[1].PixSiz[1], P);
    Set(s.ihb[1].SampleDistance, S);
    Set(s.ihb[1].WaveLength, W);
    float off = -7, ps = -7;
    int status = Failed;
    GetReferenceC(c.rsys, s.ihb, 1, 1, &off, &ps, &status);
    EXPECT_EQ(status, Success);
    EXPECT_EQ(off, c.off);
    EXPECT_EQ(ps, c.ps);
  }
}

TEST(KeloRoutineReference, MissingValuesFailWithTheSystemName) {
  // The header values of axis 2 a system needs: O offset, C centre, P pixel
  // size, S distance, W wavelength.  Each value is left out in turn.
  struct Case {
    long rsys;
    const char* name;
    const char* needs;
  } cases[] = {
      {IO_Array, "Array", ""},         {IO_Image, "Image", "O"},
      {IO_Center, "Center", "OC"},     {IO_Region, "Region", "O"},
      {IO_Real, "Real", "OP"},         {IO_Normal, "Normal", "OPC"},
      {IO_Tangens, "Tangens", "OPCS"}, {IO_Saxs, "Saxs", "OPCSW"},
  };
  for (const Case& c : cases) {
    for (char missing : std::string("OCPSW")) {
      SCOPED_TRACE(testing::Message() << c.name << " without " << missing);
      Step s(c.rsys);
      s.Geometry(1, 10, 1e-4f, 30);
      Set(s.ihb[1].SampleDistance, 0.5f);
      Set(s.ihb[1].WaveLength, 1e-10f);
      ImgHeadBlk& h = s.ihb[1];
      IO_float* value = missing == 'O'   ? &h.Offset[2]
                        : missing == 'C' ? &h.Center[2]
                        : missing == 'P' ? &h.PixSiz[2]
                        : missing == 'S' ? &h.SampleDistance
                                         : &h.WaveLength;
      value->I = 0;
      const bool fails = std::string(c.needs).find(missing) != std::string::npos;
      float off = -7, ps = -7;
      int status = Failed;
      testutil::Capture err(stderr);
      GetReferenceC(c.rsys, s.ihb, 2, 1, &off, &ps, &status);
      EXPECT_EQ(err.Text(), fails ? std::string("GetReferenceC : Missing parameters for the "
                                                "chosen reference system (") + c.name + ")\n"
                                  : "");
      EXPECT_EQ(status, fails ? Failed : Success);
      EXPECT_EQ(off == -7, fails);
      EXPECT_EQ(ps == -7, fails);
    }
  }
}

TEST(KeloRoutineReference, EdgeCases) {
  {  // Array needs no geometry at all.
    Step s(IO_Array);
    float o1, o2, p1, p2;
    int status = Failed;
    GetReference(IO_Array, 1, s.ihb, &o1, &o2, &p1, &p2, &status);
    EXPECT_EQ(status, Success);
    EXPECT_EQ(o1, 0.5f);
    EXPECT_EQ(o2, 0.5f);
    EXPECT_EQ(p1, 1.0f);
    EXPECT_EQ(p2, 1.0f);
  }
  {  // Tangens needs no wavelength.
    Step s(IO_Tangens);
    s.Geometry(1, 4, 2e-4f, 1);
    Set(s.ihb[1].SampleDistance, 0.25f);
    float off, ps;
    int status = Failed;
    GetReferenceC(IO_Tangens, s.ihb, 2, 1, &off, &ps, &status);
    EXPECT_EQ(status, Success);
    EXPECT_EQ(off, 3.5f);
    EXPECT_EQ(ps, 2e-4f / 0.25f);
  }
  {  // Region uses the stored bin size even when its flag is 0.
    Step s(IO_Region);
    Set(s.ihb[1].Offset[1], 0);
    float off, ps;
    int status = Failed;
    GetReferenceC(IO_Region, s.ihb, 1, 1, &off, &ps, &status);
    EXPECT_EQ(status, Success);
    EXPECT_EQ(ps, 1.0f);
    Set(s.ihb[1].BinSiz[1], 3, 0);
    GetReferenceC(IO_Region, s.ihb, 1, 1, &off, &ps, &status);
    EXPECT_EQ(ps, 3.0f);
  }
  for (long rsys : {0L, 9L, -1L}) {  // unknown systems
    Step s(rsys);
    float off = -7, ps = -7;
    int status = Success;
    testutil::Capture err(stderr);
    GetReferenceC(rsys, s.ihb, 1, 0, &off, &ps, &status);
    EXPECT_EQ(err.Text(), "GetReferenceC : Unknown reference system " + std::to_string(rsys) +
                              "\n");
    EXPECT_EQ(status, Failed);
    EXPECT_EQ(off, -7);
  }
  {  // an axis other than 1 or 2 is refused
    Step s(IO_Array);
    float off = -7, ps = -7;
    int status = Success;
    testutil::Capture err(stderr);
    GetReferenceC(IO_Array, s.ihb, 3, 0, &off, &ps, &status);
    EXPECT_EQ(status, Failed);
    EXPECT_EQ(off, -7);
    EXPECT_NE(err.Text(), "");
  }
}

TEST(KeloRoutineReference, ShiftOnlyWhenTheRangeStartsAtTheOutput) {
  Step s(IO_Image);
  s.Geometry(0, 2, 1, 0);
  s.Geometry(1, 2, 1, 0);
  Set(s.ihb[0].Shift[1], 1.5f);
  ASSERT_EQ(s.References(), Success);
  EXPECT_EQ(s.Off_1[0], 1.0f);  // 2 + 0.5 - 1.5
  EXPECT_EQ(s.Off_2[0], 2.5f);  // no shift on axis 2
  EXPECT_EQ(s.Off_1[1], 2.5f);

  float off[2] = {-7, -7}, ps[2] = {-7, -7};
  int status = Failed;
  GetReferenceParametersC(IO_Image, &s.cb, s.ihb, 1, 1, 1, off, ps, &status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(off[0], -7);
  EXPECT_EQ(off[1], 2.5f);
  EXPECT_EQ(KeloErrorBlock().RoutineName.value_or(""), "GetReferenceParametersC");
}

TEST(KeloRoutineReference, StopsAtTheFirstImageThatLacksAValue) {
  Step s(IO_Image);
  Set(s.ihb[0].Offset[1], 3);
  testutil::Capture err(stderr);
  EXPECT_EQ(s.References(), Failed);
  EXPECT_EQ(s.Off_1[0], 3.5f);  // written before the failure
  EXPECT_EQ(s.Off_1[1], 0.0f);  // not reached
  EXPECT_EQ(s.Off_2[0], 0.0f);  // axis 2 not started
}

TEST(KeloRoutineReference, DebugListing) {
  Step s(IO_Image);
  s.cb.TestBit = 1;
  s.Geometry(0, 1, 1, 0);
  s.Geometry(1, 0, 1, 0);
  float off[2], ps[2];
  int status = Failed;
  testutil::Capture out(stdout);
  GetReferenceParametersC(IO_Image, &s.cb, s.ihb, 2, 0, 1, off, ps, &status);
  EXPECT_EQ(out.Text(), "GetReferenceParametersC : Image\n"
                        "Off_2[0] =  1.5, Ps_2[0] =  1\n"
                        "Off_2[1] =  0.5, Ps_2[1] =  1\n");
}

// ---------------------------------------------------------------------------
// Rescaling of the output header

TEST(KeloRoutineUpdate, DependentValuesFollowTheReferencePixelSize) {
  // Output reference pixel size twice that of the input (factor 2).
  struct Case {
    long rsys;
    float bin, pix, cen;  // expected output values of axis 1 (start 1, 1, 100)
  } cases[] = {
      {IO_Real, 2, 1, 50},   {IO_Region, 1, 2, 50}, {IO_Normal, 2, 1, 100},
      {IO_Saxs, 2, 1, 100},  {IO_Image, 2, 1, 100},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.rsys);
    Step s(c.rsys);
    Set(s.ihb[0].Center[1], 100);
    Set(s.ihb[0].Center[2], 100, -1);  // fixed by the user
    Set(s.ihb[0].BinSiz[2], 1, -1);
    Set(s.ihb[0].PixSiz[2], 1, -1);
    s.ihb[0].BinSiz[1].I = 0;  // not present: rescaled all the same
    float Ps_1[2] = {2e-4f, 1e-4f}, Ps_2[2] = {2e-4f, 1e-4f};
    int status = Failed;
    UpdateImageParameters(&s.cb, s.ihb, 1, 1, nullptr, nullptr, Ps_1, Ps_2, &status);
    EXPECT_EQ(status, Success);
    EXPECT_EQ(s.ihb[0].BinSiz[1].V, c.bin);
    EXPECT_EQ(s.ihb[0].PixSiz[1].V, c.pix);
    EXPECT_EQ(s.ihb[0].Center[1].V, c.cen);
    EXPECT_EQ(s.ihb[0].BinSiz[1].I, 0);
    EXPECT_EQ(s.ihb[0].BinSiz[2].V, 1);  // user-fixed values stay
    EXPECT_EQ(s.ihb[0].PixSiz[2].V, 1);
    EXPECT_EQ(s.ihb[0].Center[2].V, 100);
  }
}

TEST(KeloRoutineUpdate, NothingToDoAndDivisionByZero) {
  Step s(IO_Real);
  Set(s.ihb[0].Center[1], 100);
  float Ps[2] = {2, 1};
  int status = Failed;
  // empty range, negative blocks, output equal to the first input: no change
  for (auto [out, min, max] : {std::tuple{0, 1, 0}, {-1, 1, 1}, {0, -1, 1}, {1, 1, 1}}) {
    UpdateLinearParameters(&s.cb, s.ihb, 1, 1, out, min, max, nullptr, nullptr, Ps, Ps,
                           &status);
    EXPECT_EQ(status, Success);
  }
  EXPECT_EQ(s.ihb[0].Center[1].V, 100);

  float zero[2] = {1, 0};
  UpdateLinearParameters(&s.cb, s.ihb, 1, 1, 0, 1, 1, nullptr, nullptr, zero, zero, &status);
  EXPECT_EQ(status, DivByZero);

  float nofactor[2] = {0, 1};  // zero factor while the centre is to be divided
  UpdateLinearParameters(&s.cb, s.ihb, 1, 1, 0, 1, 1, nullptr, nullptr, nofactor, nofactor,
                         &status);
  EXPECT_EQ(status, DivByZero);
  EXPECT_EQ(s.ihb[0].BinSiz[1].V, 0);  // already rescaled
  EXPECT_EQ(s.ihb[0].Center[1].V, 100);
}

TEST(KeloRoutineUpdateDeathTest, UndefinedInputCoordinateEndsTheProgram) {
  Step s(IO_Real);
  float Ps[2] = {2, 1};
  int status;
  EXPECT_EXIT(UpdateLinearParameters(&s.cb, s.ihb, 1, 3, 0, 1, 1, nullptr, nullptr, Ps, Ps,
                                     &status),
              testing::ExitedWithCode(255),
              "ERROR: Undefined input coordinate 3 in UpdateLinearParameters\n");
}

// ---------------------------------------------------------------------------
// Output range

struct Range {
  float f1_1[2], f3_1[2], Df_1[2], f1_2[2], f3_2[2], Df_2[2];
  int Imin_1, Imax_1, Imin_2, Imax_2;
  float Wmin_1, Wmax_1, DW_1, Wmin_2, Wmax_2, DW_2;
};

Range ImageRange(Step& s, int mode = 1) {
  Range r{};
  GetImageRange(&s.cb, s.ihb, 1, 1, s.Off_1, s.Off_2, s.Ps_1, s.Ps_2, r.f1_1, r.f3_1, r.Df_1,
                r.f1_2, r.f3_2, r.Df_2, &r.Imin_1, &r.Imax_1, &r.Imin_2, &r.Imax_2, &r.Wmin_1,
                &r.Wmax_1, &r.DW_1, &r.Wmin_2, &r.Wmax_2, &r.DW_2, mode);
  return r;
}

TEST(KeloRoutineRange, EqualGeometry) {
  Step s(IO_Image);
  s.Geometry(0, 0, 1, 0);
  s.Geometry(1, 0, 1, 0);
  ASSERT_EQ(s.References(), Success);
  for (int mode : {1, 2}) {
    Range r = ImageRange(s, mode);
    EXPECT_EQ(r.Imin_1, 0);
    EXPECT_EQ(r.Imax_1, 99);
    EXPECT_EQ(r.Imin_2, 0);
    EXPECT_EQ(r.Imax_2, 99);
    for (int i : {0, 1}) {
      EXPECT_EQ(r.f1_1[i], -0.5f);
      EXPECT_EQ(r.f3_1[i], 99.5f);
      EXPECT_EQ(r.Df_1[i], 1.0f);
      EXPECT_EQ(r.Df_2[i], 1.0f);
    }
    EXPECT_EQ(r.Wmin_1, 0.5f);  // centres of pixels 0 and 99
    EXPECT_EQ(r.Wmax_1, 99.5f);
    EXPECT_EQ(r.DW_1, 1.0f);
  }
}

TEST(KeloRoutineRange, InputStartingInsideTheFirstOutputPixel) {
  Step s(IO_Image, 10, 10);
  s.Geometry(0, 0, 1, 0);
  s.Geometry(1, 0.3f, 1, 0);
  ASSERT_EQ(s.References(), Success);
  Range r = ImageRange(s);
  EXPECT_EQ(r.Imin_1, 0);  // the border 0.3 lies in output pixel 0
  EXPECT_EQ(r.Imax_1, 9);
  EXPECT_FLOAT_EQ(r.f1_1[1], -0.8f);  // 0.3 pixels outside the input
  EXPECT_EQ(r.Df_1[1], 1.0f);
}

TEST(KeloRoutineRange, BinnedInputInRegionSystem) {
  // The input has bin size 1, the output bin size 2 on the same raster.
  Step s(IO_Region, 10, 10);
  s.Geometry(0, 0, 1, 0);
  s.Geometry(1, 0, 1, 0);
  Set(s.ihb[0].BinSiz[1], 2);
  Set(s.ihb[0].BinSiz[2], 2);
  s.ihb[0].Dim[1] = s.ihb[0].Dim[2] = 5;
  ASSERT_EQ(s.References(), Success);
  Range r = ImageRange(s);
  EXPECT_EQ(r.Imax_1, 4);
  EXPECT_EQ(r.Df_1[0], 1.0f);
  EXPECT_EQ(r.Df_1[1], 2.0f);  // one output pixel covers two input pixels
  // The other way round: an input binned 2 x 2 relative to the output.
  std::swap(s.ihb[0], s.ihb[1]);
  ASSERT_EQ(s.References(), Success);
  r = ImageRange(s);
  EXPECT_EQ(r.Imax_2, 9);
  EXPECT_EQ(r.Df_2[1], 0.5f);
}

TEST(KeloRoutineRange, ReversedOutputAxis) {
  Step s(IO_Real, 10, 10);
  s.Geometry(1, 0, 1, 0);
  s.Geometry(0, -10, -1, 0);  // pixel size -1: axis runs backwards
  ASSERT_EQ(s.References(), Success);
  Range r = ImageRange(s);
  EXPECT_EQ(r.Imin_1, 0);
  EXPECT_EQ(r.Imax_1, 9);
  EXPECT_EQ(r.f1_1[1], 9.5f);  // first output pixel = last input pixel
  EXPECT_EQ(r.Df_1[1], -1.0f);
  EXPECT_EQ(r.DW_1, -1.0f);
}

TEST(KeloRoutineRange, LimitsAndDoNotScale) {
  Step s(IO_Image, 10, 10);
  s.Geometry(0, 0, 1, 0);
  s.Geometry(1, 5, 1, 0);  // input covers world [5, 15], output [0, 10]
  ASSERT_EQ(s.References(), Success);
  float f1[2], f3[2], Df[2], Wmin, Wmax, DW;
  int Imin, Imax;
  auto range = [&](int mode, int w1i, float w1, int w3i, float w3) {
    GetLinearRange(&s.cb, s.ihb, 1, 1, 0, 1, 1, w1i, w1, w3i, w3, s.Off_1, s.Ps_1, s.Off_2,
                   s.Ps_2, f1, f3, Df, &Imin, &Imax, &Wmin, &Wmax, &DW, mode);
  };
  struct Case {
    int mode, w1i;
    float w1;
    int w3i;
    float w3;
    int imin, imax;
  } cases[] = {
      {1, 0, 0, 0, 0, 5, 9},    // intersection
      {2, 0, 0, 0, 0, 0, 9},    // union, clamped to the output
      {1, 1, 6, 1, 8, 6, 7},    // narrowed by both limits
      {1, 0, 0, 1, 7, 5, 6},    // one limit, the other end from the rectangle
      {1, 1, 8, 1, 6, 6, 7},    // limits in either order
      {2, 1, 6, 1, 8, 0, 9},    // mode 2 only widens
      {1, 1, -50, 1, 50, 5, 9}, // mode 1 never widens
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << c.mode << " " << c.w1 << " " << c.w3);
    range(c.mode, c.w1i, c.w1, c.w3i, c.w3);
    EXPECT_EQ(Imin, c.imin);
    EXPECT_EQ(Imax, c.imax);
  }
  // Without an output image only the inputs' borders are computed.
  Df[1] = -7;
  GetLinearRange(&s.cb, s.ihb, 1, 1, -1, 1, 1, 1, 7, 0, 0, s.Off_1, s.Ps_1, s.Off_2, s.Ps_2,
                 f1, f3, Df, &Imin, &Imax, &Wmin, &Wmax, &DW, 1);
  EXPECT_EQ(Imax, -1);
  EXPECT_EQ(f1[1], 1.5f);  // world 7 in the input
  EXPECT_EQ(f3[1], 9.5f);  // the input's own upper border
  EXPECT_EQ(Df[1], -7);
  s.ihb[1].DoNotScale = 1;  // takes no part: the output alone decides
  f1[1] = -7;
  range(1, 0, 0, 0, 0);
  EXPECT_EQ(Imin, 0);
  EXPECT_EQ(Imax, 9);
  EXPECT_EQ(f1[1], -7);
}

TEST(KeloRoutineRange, NoCoverageGivesAnEmptyRange) {
  Step s(IO_Image, 10, 10);
  s.Geometry(0, 0, 1, 0);
  s.Geometry(1, 30, 1, 0);  // entirely to the right of the output
  ASSERT_EQ(s.References(), Success);
  Range r = ImageRange(s);
  EXPECT_LT(r.Imax_1, r.Imin_1);
  s.Geometry(1, -30, 1, 0);  // entirely to the left
  ASSERT_EQ(s.References(), Success);
  r = ImageRange(s);
  EXPECT_LT(r.Imax_1, r.Imin_1);
  s.Geometry(0, 0, 0, 0);  // a zero output pixel size covers nothing
  Set(s.ihb[0].PixSiz[1], 0);
  s.cb.RSys.V = IO_Real;
  ASSERT_EQ(s.References(), Success);
  r = ImageRange(s);
  EXPECT_LT(r.Imax_1, r.Imin_1);
}

TEST(KeloRoutineRangeDeathTest, UndefinedModeOrAxisEndsTheProgram) {
  Step s(IO_Array);
  ASSERT_EQ(s.References(), Success);
  float f1[2], f3[2], Df[2], Wmin, Wmax, DW, W1, W3;
  int Imin, Imax;
  EXPECT_EXIT(GetLinearRange(&s.cb, s.ihb, 1, 1, 0, 1, 1, 0, 0, 0, 0, s.Off_1, s.Ps_1,
                             s.Off_2, s.Ps_2, f1, f3, Df, &Imin, &Imax, &Wmin, &Wmax, &DW, 3),
              testing::ExitedWithCode(255), "GetLinearRange : undefined mode 3\n");
  EXPECT_EXIT(GetSmallRectangle(&s.cb, s.ihb, 1, 0, 0, 1, 1, s.Off_1, s.Ps_1, s.Off_2,
                                s.Ps_2, &W1, &W3),
              testing::ExitedWithCode(255),
              "ERROR: Undefined input coordinate 0 in GetSmallRectangle\n");
  EXPECT_EXIT(GetLargeRectangle(&s.cb, s.ihb, 5, 1, 0, 1, 1, s.Off_1, s.Ps_1, s.Off_2,
                                s.Ps_2, &W1, &W3),
              testing::ExitedWithCode(255),
              "ERROR: Undefined output coordinate 5 in GetLargeRectangle\n");
}

// ---------------------------------------------------------------------------
// Resampling whole images as the filter function does: reference parameters,
// update, range, then one averaged area integral per output pixel added into
// an output initialised with its dummy.

std::vector<float> Resample(Step& s, float dummy = -1.0f) {
  EXPECT_EQ(s.References(), Success);
  int status = Failed;
  UpdateImageParameters(&s.cb, s.ihb, 1, 1, s.Off_1, s.Off_2, s.Ps_1, s.Ps_2, &status);
  EXPECT_EQ(status, Success);
  Range r = ImageRange(s);
  const ImgHeadBlk& in = s.ihb[1];
  const long d1 = s.ihb[0].Dim[1], d2 = s.ihb[0].Dim[2];
  std::vector<float> out(d1 * d2, dummy);
  const float dd = DDSET(dummy);
  float f_2 = r.f1_2[1];
  for (int i_2 = r.Imin_2; i_2 <= r.Imax_2; i_2++) {
    float f_1 = r.f1_1[1];
    for (int i_1 = r.Imin_1; i_1 <= r.Imax_1; i_1++) {
      float sum, weight;
      if (Isum2ldw(in.Data, in.Dim[1], in.Dim[2], in.Dummy.V, in.DDummy.V, f_1, f_2,
                   f_1 + r.Df_1[1], f_2 + r.Df_2[1], &sum, &weight)) {
        UPDATE(out[i_1 + i_2 * d1], sum / weight, dummy, dd);
      }
      f_1 += r.Df_1[1];
    }
    f_2 += r.Df_2[1];
  }
  return out;
}

std::vector<float> Ramp(long d1, long d2) {
  std::vector<float> v(d1 * d2);
  for (long j = 0; j < d2; j++)
    for (long i = 0; i < d1; i++) v[i + j * d1] = static_cast<float>(1 + i + 100 * j);
  return v;
}

TEST(KeloRoutineResample, IdenticalGeometryReproducesTheImage) {
  for (long rsys : {IO_Array, IO_Image, IO_Real, IO_Saxs}) {
    SCOPED_TRACE(rsys);
    Step s(rsys, 13, 7);
    s.Geometry(0, 3, 7.5e-5f, 6);
    s.Geometry(1, 3, 7.5e-5f, 6);
    for (ImgHeadBlk& h : s.ihb) {
      Set(h.SampleDistance, 0.3f);
      Set(h.WaveLength, 1.2e-10f);
    }
    std::vector<float> in = Ramp(13, 7);
    s.ihb[1].Data = in.data();
    EXPECT_EQ(Resample(s), in);
  }
}

TEST(KeloRoutineResample, BinningTwoByTwoAveragesBlocks) {
  Step s(IO_Real, 8, 6);
  s.Geometry(1, 0, 0.5f, 0);
  s.Geometry(0, 0, 1.0f, 0);  // doubled pixel size
  s.ihb[0].Dim[1] = 4;
  s.ihb[0].Dim[2] = 3;
  std::vector<float> in = Ramp(8, 6);
  s.ihb[1].Data = in.data();
  std::vector<float> out = Resample(s);
  for (int j = 0; j < 3; j++)
    for (int i = 0; i < 4; i++) {
      const float mean = (in[2 * i + 2 * j * 8] + in[2 * i + 1 + 2 * j * 8] +
                          in[2 * i + (2 * j + 1) * 8] + in[2 * i + 1 + (2 * j + 1) * 8]) / 4;
      EXPECT_EQ(out[i + j * 4], mean) << i << "," << j;
    }
  EXPECT_EQ(s.ihb[0].BinSiz[1].V, 2.0f);  // the output header follows
}

TEST(KeloRoutineResample, ShiftOfOneOutputPixelMovesTheImage) {
  Step s(IO_Image, 6, 5);
  s.Geometry(0, 0, 1, 0);
  s.Geometry(1, 0, 1, 0);
  Set(s.ihb[0].Shift[1], 1);
  Set(s.ihb[0].Shift[2], -1);
  std::vector<float> in = Ramp(6, 5);
  s.ihb[1].Data = in.data();
  std::vector<float> out = Resample(s);
  for (int j = 0; j < 5; j++)
    for (int i = 0; i < 6; i++) {
      const bool covered = i >= 1 && j <= 3;
      EXPECT_EQ(out[i + j * 6], covered ? in[(i - 1) + (j + 1) * 6] : -1.0f) << i << "," << j;
    }
}

TEST(KeloRoutineResample, ReversedAxisMirrorsTheImage) {
  Step s(IO_Real, 6, 5);
  s.Geometry(1, 0, 1, 0);
  s.Geometry(0, 0, 1, 0);
  Set(s.ihb[0].Offset[1], -6);
  Set(s.ihb[0].PixSiz[1], -1);  // axis 1 of the output runs backwards
  std::vector<float> in = Ramp(6, 5);
  s.ihb[1].Data = in.data();
  std::vector<float> out = Resample(s);
  for (int j = 0; j < 5; j++)
    for (int i = 0; i < 6; i++) EXPECT_EQ(out[i + j * 6], in[(5 - i) + j * 6]);
}

TEST(KeloRoutineRange, DebugListing) {
  Step s(IO_Image, 4, 4);
  s.Geometry(0, 0, 1, 0);
  s.Geometry(1, 1, 1, 0);
  ASSERT_EQ(s.References(), Success);
  s.cb.TestBit = 2;
  float f1[2], f3[2], Df[2], Wmin, Wmax, DW;
  int Imin, Imax;
  testutil::Capture out(stdout);
  GetLinearRange(&s.cb, s.ihb, 1, 1, 0, 1, 1, 0, 0, 1, 3.5f, s.Off_1, s.Ps_1, s.Off_2, s.Ps_2,
                 f1, f3, Df, &Imin, &Imax, &Wmin, &Wmax, &DW, 1);
  EXPECT_EQ(out.Text(),
            "GetLinearRange : mode=1 (OutCoordinate 1, InCoordinate 1)\n"
            "W1In = (none), W3In = 3.5, \n"
            " Begin intermediate results\n"
            "       W1 = 1,      W3 = 3.5\n"
            "  f1[  0] = 0.5, f3[  0] = 3\n"
            " End intermediate results\n"
            " Output image\n"
            "         W1 = 1,      W3 = 4\n"
            "    f1[  0] = 0.5, f3[  0] = 3.5, Df[  0] = 1\n"
            "  fmin      = 1, fmax    = 3\n"
            "  Imin      = 1, Imax    = 3\n"
            "       Wmin = 1.5,    Wmax = 3.5 ,   DW = 1\n"
            " Input images\n"
            "         W1 = 1,      W3 = 4\n"
            "    f1[  1] = -0.5, f3[  1] = 2.5, Df[  1] = 1\n");
}

}  // namespace
