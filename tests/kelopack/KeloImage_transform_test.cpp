#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "testutil.h"

namespace {

void Set(IO_float& v, float value, int flag = 1) {
  v.V = value;
  v.I = flag;
}

// A header block with an image of d1 x d2 pixels (values 0, 1, 2, ...,
// variances their negatives) and a complete geometry.
struct Block {
  ImgHeadBlk h;
  std::vector<float> data, var;

  Block(long d1, long d2) : data(d1 * d2), var(d1 * d2) {
    init_header_block(&h, 0);  // element 0 of a one-block "array"
    for (size_t k = 0; k < data.size(); k++) {
      data[k] = static_cast<float>(k);
      var[k] = -static_cast<float>(k);
    }
    h.I = 1;
    h.Dim[0] = 2;
    h.Dim[1] = d1;
    h.Dim[2] = d2;
    h.Data = data.data();
    h.VarDat = var.data();
    h.Projection = {IO_ProSaxs, 1};
    h.Orientation = {1, 1};
    h.AxisType[1] = {IO_AxisTypeAngle, 1};
    h.AxisType[2] = {IO_AxisTypeDistance, -1};
    Set(h.Offset[1], 2);
    Set(h.Offset[2], 0, -1);
    Set(h.BinSiz[1], 2);
    Set(h.BinSiz[2], 1);
    Set(h.PixSiz[1], 1e-4f);
    Set(h.PixSiz[2], 2e-4f);
    Set(h.Center[1], 3.5f);
    Set(h.Center[2], 1.5f);
    Set(h.SampleDistance, 0.25f);
    Set(h.WaveLength, 1e-10f);
    Set(h.DetRot[1], 0.0f);
    Set(h.DetRot[2], 0.0f);
    Set(h.DetRot[3], 0.0f);
  }
};

TEST(KeloImageTransform, HeaderToRecordAndBack) {
  Block b(4, 3);
  SXParams p;
  int status = Failed;
  kelo_header2params(&b.h, &p, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(p.pro.V, IO_ProSaxs);
  EXPECT_EQ(p.ori.V, 1);
  EXPECT_EQ(p.axis1.V, IO_AxisTypeAngle);
  EXPECT_EQ(p.axis2.I, -1);
  EXPECT_EQ(p.dim1.V, 4);
  EXPECT_EQ(p.dim1.I, 1);
  EXPECT_EQ(p.dim2.V, 3);
  EXPECT_EQ(p.off1.V, 2.0);
  EXPECT_EQ(p.off2.I, -1);
  EXPECT_EQ(p.bis1.V, 2.0);
  EXPECT_EQ(p.ras1.V, 0.0);
  EXPECT_EQ(p.ras2.I, 0);
  EXPECT_EQ(p.pix2.V, static_cast<double>(2e-4f));
  EXPECT_EQ(p.cen1.V, 3.5);
  EXPECT_EQ(p.dis.V, static_cast<double>(0.25f));
  EXPECT_EQ(p.wvl.V, static_cast<double>(1e-10f));
  EXPECT_EQ(p.rot3.I, 1);
  EXPECT_EQ(p.bdis.V, 1.0);  // left as sx_new sets it
  EXPECT_EQ(p.bdis.I, 0);

  // Back: dimensions only with their flags, all else with the flags.
  p.dim1.V = 9;
  p.dim1.I = 0;
  p.dim2.V = 7;
  p.cen2.V = 0.25;
  p.cen2.I = 0;
  p.rot1.V = 0.5;
  kelo_params2header(&b.h, &p, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(b.h.Dim[1], 4);
  EXPECT_EQ(b.h.Dim[2], 7);
  EXPECT_EQ(b.h.Center[2].V, 0.25f);
  EXPECT_EQ(b.h.Center[2].I, 0);  // unknown in the record: unknown here
  EXPECT_EQ(b.h.DetRot[1].V, 0.5f);
  EXPECT_EQ(b.h.Offset[2].I, -1);

  kelo_header2params(nullptr, &p, &status);
  EXPECT_EQ(status, Failed);
  kelo_header2params(&b.h, nullptr, &status);
  EXPECT_EQ(status, Failed);
  kelo_params2header(&b.h, nullptr, &status);
  EXPECT_EQ(status, Failed);
}

TEST(KeloImageTransform, AllImagesIntoOneOrientation) {
  CmdBlk cb{};
  cb.ImgBlkLen = 3;
  ImgHeadBlk ihb[3];
  init_header_block(ihb, 0);  // block 0 holds no image: skipped
  init_header_block(ihb, 2);
  Block b(4, 3);
  ihb[1] = b.h;
  ihb[2] = b.h;
  ihb[2].Orientation.V = 5;  // already stored transposed: 3 x 4
  ihb[2].Dim[1] = 3;
  ihb[2].Dim[2] = 4;
  std::swap(ihb[2].PixSiz[1], ihb[2].PixSiz[2]);
  std::swap(ihb[2].Offset[1], ihb[2].Offset[2]);
  std::swap(ihb[2].Center[1], ihb[2].Center[2]);
  std::swap(ihb[2].BinSiz[1], ihb[2].BinSiz[2]);
  std::swap(ihb[2].AxisType[1], ihb[2].AxisType[2]);
  std::vector<float> data2(12), var2(12);
  for (int j = 0; j < 3; j++)
    for (int i = 0; i < 4; i++) {
      data2[j + 3 * i] = b.data[i + 4 * j];
      var2[j + 3 * i] = b.var[i + 4 * j];
    }
  ihb[2].Data = data2.data();
  ihb[2].VarDat = var2.data();

  int status = Failed;
  kelo_tf_all_images(&cb, nullptr, ihb, 5, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(ihb[0].I, 0);
  EXPECT_EQ(ihb[0].Orientation.V, 1);
  for (int blk : {1, 2}) {
    SCOPED_TRACE(blk);
    const ImgHeadBlk& h = ihb[blk];
    EXPECT_EQ(h.Orientation.V, 5);
    EXPECT_EQ(h.Dim[1], 3);
    EXPECT_EQ(h.Dim[2], 4);
    EXPECT_EQ(h.PixSiz[1].V, 2e-4f);
    EXPECT_EQ(h.Offset[1].I, -1);
    EXPECT_EQ(h.Center[2].V, 3.5f);
    EXPECT_EQ(h.AxisType[2].V, IO_AxisTypeAngle);
    EXPECT_EQ(std::vector<float>(h.Data, h.Data + 12), data2);
    EXPECT_EQ(std::vector<float>(h.VarDat, h.VarDat + 12), var2);
  }
}

TEST(KeloImageTransform, ThereAndBackRestoresTheHeader) {
  for (long t = 1; t <= 8; t++) {
    SCOPED_TRACE(t);
    Block b(5, 3);
    Set(b.h.DetRot[1], 0.02f);
    Set(b.h.DetRot[2], -0.03f);
    const ImgHeadBlk start = b.h;
    const std::vector<float> data0 = b.data;
    CmdBlk cb{};
    cb.ImgBlkLen = 1;
    int status = Failed;
    kelo_tf_all_images(&cb, nullptr, &b.h, t, &status);
    ASSERT_EQ(status, Success);
    kelo_tf_all_images(&cb, nullptr, &b.h, 1, &status);
    ASSERT_EQ(status, Success);
    EXPECT_EQ(b.data, data0);
    EXPECT_EQ(b.h.Dim[1], 5);
    for (int k = 1; k <= 2; k++) {
      EXPECT_FLOAT_EQ(b.h.Offset[k].V, start.Offset[k].V);
      EXPECT_EQ(b.h.Offset[k].I, start.Offset[k].I);
      EXPECT_FLOAT_EQ(b.h.Center[k].V, start.Center[k].V);
      EXPECT_EQ(b.h.PixSiz[k].V, start.PixSiz[k].V);
      EXPECT_EQ(b.h.BinSiz[k].V, start.BinSiz[k].V);
      EXPECT_EQ(b.h.AxisType[k].V, start.AxisType[k].V);
    }
    for (int k = 1; k <= 3; k++) EXPECT_NEAR(b.h.DetRot[k].V, start.DetRot[k].V, 1e-6);
    EXPECT_EQ(b.h.SampleDistance.V, start.SampleDistance.V);
  }
}

TEST(KeloImageTransform, DebugLinesAndFailure) {
  CmdBlk cb{};
  cb.TestBit = 1;
  cb.ImgBlkLen = 1;
  ImgHeadBlk none;
  init_header_block(&none, 0);
  int status = Failed;
  {
    testutil::Capture out(stdout);
    kelo_tf_all_images(&cb, nullptr, &none, 2, &status);
    EXPECT_EQ(out.Text(), "kelo_tf_all_images BEGIN\nkelo_tf_all_images END\n");
  }
  EXPECT_EQ(status, Success);

  Block b(4, 3);
  const std::vector<float> data0 = b.data;
  testutil::Capture out(stdout);
  kelo_tf_all_images(&cb, nullptr, &b.h, 17, &status);
  EXPECT_EQ(out.Text(), "kelo_tf_all_images BEGIN\n  kelo_header2params\n  sx_tf_img\n"
                        "kelo_tf_all_images END (status=-1)\n");
  EXPECT_EQ(status, Failed);
  EXPECT_EQ(KeloErrorBlock().Message.value_or(""), "invalid orientation");
  EXPECT_EQ(KeloErrorBlock().RoutineName.value_or(""), "kelo_tf_all_images");
  EXPECT_EQ(b.data, data0);
  EXPECT_EQ(b.h.Orientation.V, 1);
}

}  // namespace
