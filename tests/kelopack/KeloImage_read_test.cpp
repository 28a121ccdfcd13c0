// Reading input images: header keys, dummy rules, option overrides, bad
// header values, variance blocks, dummy-file images and key replacement
// with header values.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "KeloImage_fixture.h"
#include "kelopack/KeloReplacekey.h"

namespace {

class Reading : public ImageFiles {
 protected:
  // Makes in.wib with one image 1 of the given header keys and reads it
  // into header block 1; returns ReadImage's result.
  int Read(const HeaderText& keys, int* pstatus, long number = 1) {
    FileLayout s;
    s.numbers = {1};
    s.keys = keys;
    MakeFile("in.wib", s);
    return ReadOpen(pstatus, number);
  }
  int ReadOpen(int* pstatus, long number = 1) {
    int status = Success;
    if (ib(1).Stream < 0)
      OpenImageFile(cb(), ibs(), 1, Path("in.wib").c_str(), 1, ib(1).OpenMode.V, &status);
    EXPECT_EQ(status, Success);
    num_[1] = number;
    return ReadImage(cb(), ibs(), 1, num_, ihb_, pstatus);
  }
  void TearDown() override {
    kelo_free_all_images(cb(), ihb_);
    ImageFiles::TearDown();
  }
  ImgHeadBlk& h() { return ihb_[1]; }

  ImgHeadBlk* ihb_ = kelo_new_all_images(4);
  long num_[4] = {1, 1, 1, 1};
};

TEST_F(Reading, DummyRules) {
  struct Case {
    const char* dummy;   // header values, null for none
    const char* ddummy;
    const char* odummy;  // options
    const char* oddummy;
    float want_dummy, want_ddummy;
    int want_flag;
  } cases[] = {
      {nullptr, nullptr, nullptr, nullptr, 0.0f, 0.1f, 1},
      {"-1", nullptr, nullptr, nullptr, -1.0f, 0.1f, 1},
      {"1e7", nullptr, nullptr, nullptr, 1e7f, 100.0f, 1},
      {"-1", "0.01", nullptr, nullptr, -1.0f, 0.1f, 1},    // raised to the least
      {"-1", "0.5", nullptr, nullptr, -1.0f, 0.5f, 1},
      {"-1", "0.5", "1e6", nullptr, 1e6f, 10.0f, -1},      // option replaces both
      {"-1", "0.5", "1e6", "3", 1e6f, 3.0f, -1},
  };
  for (const Case& c : cases) {
    HeaderText keys;
    if (c.dummy) keys.emplace_back("Dummy", c.dummy);
    if (c.ddummy) keys.emplace_back("DDummy", c.ddummy);
    ib(1).Dummy.I = ib(1).DDummy.I = 0;
    if (c.odummy) SetText(ib(1).Dummy, c.odummy);
    if (c.oddummy) SetText(ib(1).DDummy, c.oddummy);
    int status = -7;
    CloseImageFile(cb(), ibs(), 1, &status);
    EXPECT_EQ(Read(keys, &status), 1);
    ASSERT_EQ(status, Success);
    EXPECT_EQ(h().Dummy.V, c.want_dummy) << c.dummy << " " << c.odummy;
    EXPECT_EQ(h().DDummy.V, c.want_ddummy) << c.dummy << " " << c.ddummy << " " << c.odummy;
    EXPECT_EQ(h().Dummy.I, c.want_flag);
    EXPECT_EQ(h().I, 1);
  }
}

TEST_F(Reading, HeaderKeysOptionsAndWords) {
  int status = -7;
  SetText(ib(1).Center[2], "7+1");
  const int r = Read({{"Offset_1", "12"},
                      {"Center_1", "3.5"},
                      {"Center_2", "99"},
                      {"PSize_1", "100_um"},
                      {"DetectorRotation_2", "90_deg"},
                      {"Title", "two  words"},
                      {"RasterOrientation", "3"},
                      {"ProjectionType", "waxs"},
                      {"AxisType_1", "angle"},
                      {"AxisType_2", "junk"}},
                     &status);
  EXPECT_EQ(r, 1);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(h().Offset[1].V, 12.0f);
  EXPECT_EQ(h().Offset[1].I, 1);
  EXPECT_EQ(h().Offset[2].V, 0.0f);  // always known
  EXPECT_EQ(h().Offset[2].I, 1);
  EXPECT_EQ(h().Center[1].V, 3.5f);
  EXPECT_EQ(h().Center[2].V, 8.0f);  // the option wins
  EXPECT_EQ(h().Center[2].I, -1);
  EXPECT_FLOAT_EQ(h().PixSiz[1].V, 1e-4f);
  EXPECT_FLOAT_EQ(h().DetRot[2].V, static_cast<float>(M_PI / 2));
  EXPECT_EQ(h().DetRot[1].I, 0);
  EXPECT_STREQ(h().Title.V, "two  words");
  EXPECT_EQ(h().Orientation.V, 3);
  EXPECT_EQ(h().Projection.V, IO_ProWaxs);
  EXPECT_EQ(h().AxisType[1].V, IO_AxisTypeAngle);
  EXPECT_EQ(h().AxisType[2].V, IO_NoAxisType);
  EXPECT_EQ(h().AxisType[2].I, 1);
  EXPECT_EQ(h().Dim[1], 4);
  EXPECT_EQ(h().Dim[2], 3);
  EXPECT_EQ(h().Data[11], 111.0f);
  EXPECT_EQ(h().ImNum, 1);
}

TEST_F(Reading, AHeaderValueThatIsNoNumberNamesTheKey) {
  int status = -7;
  EXPECT_EQ(Read({{"Dummy", "-1"}, {"SampleDistance", "far away"}}, &status), 1);
  EXPECT_EQ(status, ExternalErrorReport);
  EXPECT_EQ(h().I, 0);
  testutil::Capture err(stderr);
  ReportKeloStatus(status, 0);
  EXPECT_EQ(err.Text(),
            "\nMODULE   : KeloImage\nROUTINE  : ReadImage\nSampleDistance\n"
            "\nNumberConversionFailed\n\nStatus = 100 -- ExternalErrorReport\n");
}

TEST_F(Reading, MissingImagesAndClosedFiles) {
  int status = -7;
  EXPECT_EQ(ReadImage(cb(), ibs(), 1, num_, ihb_, &status), 0);
  EXPECT_EQ(status, FileMustBeOpened);
  EXPECT_EQ(Read({}, &status, 2), 0);  // image 2 does not exist
  EXPECT_EQ(status, ExternalErrorReport);
  EXPECT_EQ(KeloErrorBlock().ExternalError, CouldNotFindHeader);
  EXPECT_EQ(h().I, 0);
  // An orientation out of range.
  SetText(ib(1).Orientation, "17");
  EXPECT_EQ(ReadOpen(&status), 1);
  EXPECT_EQ(status, InvalidOrientation);
}

TEST_F(Reading, DummyFileImagesHaveTheOptionDimensions) {
  SetText(ib(1).Name, "/dev/null");
  SetText(ib(1).Dim[1], "5");
  SetText(ib(1).Dim[2], "2*3");
  SetText(ib(1).Dummy, "-7");
  int status = -7;
  OpenImageFile(cb(), ibs(), 1, "/dev/null", 1, IO_Old, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(ReadImage(cb(), ibs(), 1, num_, ihb_, &status), 1);
  ASSERT_EQ(status, Success);
  ASSERT_EQ(h().Dim[1], 5);
  ASSERT_EQ(h().Dim[2], 6);
  for (int i = 0; i < 30; ++i) ASSERT_EQ(h().Data[i], -7.0f);
  EXPECT_EQ(h().VarDat, nullptr);
  // With variances: zeros.
  cb()->CreateVariance.V = 1;
  EXPECT_EQ(ReadImage(cb(), ibs(), 1, num_, ihb_, &status), 1);
  ASSERT_NE(h().VarDat, nullptr);
  EXPECT_EQ(h().VarDat[29], 0.0f);
}

TEST_F(Reading, VarianceBlocks) {
  FileLayout s;
  s.numbers = {1, 2};
  MakeFile("in.wib", s);
  // Append variances for image 1 (same size) and image 2 (other size).
  int err = 0, wst = 0;
  const long stream = wib_open_data_file(Path("in.wib").c_str(), "old", &err, &wst);
  const std::vector<float> var(12, 4.0f);
  const long dim1[3] = {2, 4, 3}, dim2[3] = {2, 3, 4};
  wib_write_data(stream, 1, -1, dim1, var.data(), MFloat, &err, &wst);
  wib_write_data(stream, 2, -1, dim2, var.data(), MFloat, &err, &wst);
  wib_close_data_file(stream, &err, &wst);

  int status = -7;
  cb()->CreateVariance.V = 1;
  EXPECT_EQ(ReadOpen(&status, 1), 1);
  ASSERT_EQ(status, Success);
  ASSERT_NE(h().VarDat, nullptr);
  EXPECT_EQ(h().VarDat[11], 4.0f);
  EXPECT_EQ(h().Data[11], 111.0f);

  testutil::Capture errout(stderr);
  EXPECT_EQ(ReadOpen(&status, 2), 1);
  EXPECT_EQ(status, Failed);
  EXPECT_EQ(errout.Text(),
            "ERROR: Dimensions of data array and variance array are different\n"
            "           2d data array[ 4, 3]\n"
            "       2d variance array[ 3, 4]\n");
}

TEST_F(Reading, FileDataKeepTheirDimensionsAndHeadersOnlyAreSimulated) {
  SetText(ib(1).Dim[1], "40");  // ignored for data read from the file
  SetText(ib(1).Bin[1], "2");
  int status = -7;
  EXPECT_EQ(Read({{"Offset_1", "10"}}, &status), 1);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(h().Dim[1], 2);  // 4 binned by 2
  EXPECT_EQ(h().Dim[2], 3);
  EXPECT_EQ(h().Offset[1].V, 5.0f);
  EXPECT_EQ(h().Data[0], 100.5f);  // (100 + 101) / 2, averaged by default
  // Headers only: the conditioning changes only the header.
  EXPECT_EQ(ReadImageHeader(cb(), ibs(), 1, num_, ihb_, &status), 1);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(h().Data, nullptr);
  EXPECT_EQ(h().Dim[1], 20);
  EXPECT_EQ(h().Offset[1].V, 5.0f);
  EXPECT_EQ(h().I, 1);
}

TEST_F(Reading, HeaderValuesInKeys) {
  int status = -7;
  ASSERT_EQ(Read({{"Title", "first second  fourth"}, {"SampleDistance", "0.25"}}, &status), 1);
  struct Case {
    const char* text;
    long npar, blkno;
    const char* want;
  } cases[] = {
      {"[Title,1,0]", 1, 0, "first second  fourth"},  // block 0 reads from block 1
      {"[Title,1,2]", 1, 0, "second"},
      {"[Title,1,4]", 1, 0, "fourth"},
      {"[Title]", 1, 1, "first"},
      {"d=[SampleDistance]", 1, 1, "d=0.25"},
      {"[NoSuchKey,1]", 1, 1, "[NoSuchKey,1]"},
  };
  for (const Case& c : cases) {
    char buffer[256];
    replacekey(buffer, sizeof buffer, c.text, c.npar, cb(), ibs(), num_, c.blkno, &status);
    EXPECT_EQ(status, Success);
    EXPECT_STREQ(buffer, c.want) << c.text;
  }
  EXPECT_FLOAT_EQ(floatkeyvalue("[SampleDistance]*4", cb(), ibs(), num_, 1, &status), 1.0f);
  // The current image number selects the header: image 2 does not exist.
  num_[1] = 2;
  char buffer[64];
  replacekey(buffer, sizeof buffer, "[Title]", 1, cb(), ibs(), num_, 1, &status);
  EXPECT_STREQ(buffer, "[Title]");
  // The dummy file has no keys.
  ib(1).StreamOpenMode |= IO_Dummy;
  num_[1] = 1;
  replacekey(buffer, sizeof buffer, "[Title]", 1, cb(), ibs(), num_, 1, &status);
  EXPECT_STREQ(buffer, "[Title]");
}

}  // namespace
