// Creating and writing output images: the output header, the rules for
// bin sizes, orientation, projection and axis types, passed-through
// headers, variance blocks, protected files and images.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "KeloImage_fixture.h"

namespace {

class Writing : public ImageFiles {
 protected:
  void TearDown() override {
    kelo_free_all_images(cb(), ihb_);
    ImageFiles::TearDown();
  }
  // Reads image 1 of in.wib (made with keys) as template into header
  // block 1.
  void ReadTemplate(const HeaderText& keys) {
    FileLayout s;
    s.numbers = {1};
    s.keys = keys;
    MakeFile("in.wib", s);
    int status = -7;
    OpenImageFile(cb(), ibs(), 1, Path("in.wib").c_str(), 1, ib(1).OpenMode.V, &status);
    ASSERT_EQ(status, Success);
    ASSERT_EQ(ReadImage(cb(), ibs(), 1, num_, ihb_, &status), 1);
    ASSERT_EQ(status, Success);
  }
  // Opens out.wib for block 0 with mode and creates image num_[0] from the
  // template (none with templ 0).
  void New(long mode, int templ, int* pstatus, const char* name = "out.wib") {
    if (ib(0).Stream < 0) {
      const std::string path = name[0] == '/' ? name : Path(name);
      OpenImageFile(cb(), ibs(), 0, path.c_str(), 1, mode, pstatus);
      ASSERT_EQ(*pstatus, Success);
    }
    NewImage(cb(), ibs(), 0, num_, ihb_, templ ? &ihb_[templ] : nullptr, nullptr, pstatus);
  }
  // Writes header block 0 and closes all files.
  void WriteAndClose(int* pstatus) {
    WriteImage(cb(), ibs(), 0, ihb_, pstatus);
    int status = -7;
    kelo_close_all_images(cb(), ibs(), &status);
    EXPECT_EQ(status, Success);
  }
  // The framework's keys of the first header of out.wib (the format keys
  // of the library left out), as "key=value" lines in file order.
  std::vector<std::string> OutputKeys(size_t block = 0) {
    static const char* const format[] = {"HeaderID", "Size",  "ByteOrder",  "DataType",
                                         "Dim_1",    "Dim_2", "Compression", "Image",
                                         "Image.Error"};
    std::vector<std::string> keys;
    const std::vector<HeaderText> headers = FileHeaders(Path("out.wib"));
    if (block >= headers.size()) return keys;
    for (const auto& kv : headers[block]) {
      bool skip = kv.first.rfind("WIB_", 0) == 0;
      for (const char* f : format) skip = skip || kv.first == f;
      if (!skip) keys.push_back(kv.first + "=" + kv.second);
    }
    return keys;
  }

  ImgHeadBlk* ihb_ = kelo_new_all_images(4);
  long num_[4] = {1, 1, 1, 1};
};

TEST_F(Writing, OutputHeaderOfAPlainImage) {
  int status = -7;
  num_[0] = 3;
  SetText(ib(0).Dim[1], "2");
  SetText(ib(0).Dim[2], "2");
  New(IO_New, 0, &status);
  ASSERT_EQ(status, Success);
  ASSERT_EQ(ihb_[0].I, 1);
  EXPECT_EQ(ihb_[0].Data[3], 0.0f);  // filled with the dummy
  WriteAndClose(&status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(OutputKeys(), (std::vector<std::string>{
                              "Dummy=0", "DDummy=0.1", "Offset_1=0", "Offset_2=0",
                              "History-1=prog", "KeloDataVersion=2.40"}));
  EXPECT_EQ(Numbers(Path("out.wib")), std::vector<long>{3});
}

TEST_F(Writing, OutputHeaderFromATemplate) {
  ReadTemplate({{"Dummy", "-1"},
                {"Center_1", "1.5"},
                {"PSize_1", "1e-4"},
                {"PSize_2", "2e-4"},
                {"SampleDistance", "0.1"},
                {"WaveLength", "1e-10"},
                {"DetectorRotation_1", "0.5_rad"},
                {"Title", "a title"},
                {"Time", "now"},
                {"History-1", "make input"}});
  SetText(ib(0).Title, "out of [Title,1,0]");
  int status = -7;
  New(IO_New, 1, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(ihb_[0].Dim[1], 4);
  EXPECT_EQ(ihb_[0].Data[11], -1.0f);
  for (int i = 0; i < 12; ++i) ihb_[0].Data[i] = static_cast<float>(i);
  WriteAndClose(&status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(OutputKeys(),
            (std::vector<std::string>{
                "Title=out of a title", "Time=now", "Dummy=-1", "DDummy=0.1", "Offset_1=0",
                "Offset_2=0", "Center_1=1.5", "PSize_1=0.0001", "PSize_2=0.0002",
                "SampleDistance=0.1", "WaveLength=1e-10", "DetectorRotation_1=28.64789_deg",
                "History-1=make input", "History-2=prog", "KeloDataVersion=2.40"}));
  EXPECT_EQ(Pixels(Path("out.wib"), 1)[11], 11.0f);
}

TEST_F(Writing, BinSizeAndDefaultOneRules) {
  struct Case {
    HeaderText in;
    std::vector<std::string> want;  // the keys of the rules
  } cases[] = {
      {{}, {}},
      {{{"BSize_1", "1"}}, {"BSize_1=1"}},
      {{{"BSize_2", "2"}}, {"BSize_1=1", "BSize_2=2"}},
      {{{"RasterOrientation", "1"}, {"ProjectionType", "Saxs"}, {"AxisType_1", "Distance"}}, {}},
      {{{"RasterOrientation", "2"}, {"ProjectionType", "Waxs"}, {"AxisType_2", "Numerator"}},
       {"ProjectionType=Waxs", "RasterOrientation=2", "AxisType_2=Numerator"}},
  };
  for (const Case& c : cases) {
    ReadTemplate(c.in);
    int status = -7;
    New(IO_New, 1, &status);
    ASSERT_EQ(status, Success);
    WriteAndClose(&status);
    ASSERT_EQ(status, Success);
    std::vector<std::string> got;
    for (const std::string& k : OutputKeys())
      if (k.rfind("BSize", 0) == 0 || k.rfind("Raster", 0) == 0 ||
          k.rfind("Projection", 0) == 0 || k.rfind("AxisType", 0) == 0)
        got.push_back(k);
    EXPECT_EQ(got, c.want) << (c.in.empty() ? "" : c.in[0].first);
  }
}

TEST_F(Writing, PassedHeadersCarryEverythingAndTheDefaults) {
  cb()->PassHeader.V = cb()->PassHeader.I = 1;
  // Values of 1 are written over the passed header, which says otherwise.
  ReadTemplate({{"Extra", "kept"},
                {"RasterOrientation", "3"},
                {"ProjectionType", "Waxs"},
                {"AxisType_1", "Angle"},
                {"History-1", "make input"}});
  SetText(ib(0).Orientation, "1");
  SetLong(ib(0).Projection, IO_ProSaxs);
  SetLong(ib(0).AxisType[1], IO_AxisTypeDistance);
  int status = -7;
  New(IO_New, 1, &status);
  ASSERT_EQ(status, Success);
  WriteAndClose(&status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(OutputKeys(),
            (std::vector<std::string>{"Dummy=0", "DDummy=0.1", "Offset_1=0", "Offset_2=0",
                                      "ProjectionType=Saxs", "RasterOrientation=1",
                                      "AxisType_1=Distance", "History-1=make input",
                                      "History-2=prog", "Extra=kept", "KeloDataVersion=2.40"}));
}

TEST_F(Writing, VarianceBlocksGoToTheNegativeMemory) {
  cb()->CreateVariance.V = cb()->CreateVariance.I = 1;
  SetText(ib(0).Dim[1], "2");
  SetText(ib(0).Dim[2], "1");
  int status = -7;
  New(IO_New, 0, &status);
  ASSERT_EQ(status, Success);
  ASSERT_NE(ihb_[0].VarDat, nullptr);
  EXPECT_EQ(ihb_[0].VarDat[1], -1.0f);
  ihb_[0].VarDat[0] = 2.5f;
  WriteAndClose(&status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(Pixels(Path("out.wib"), 1, -1), (std::vector<float>{2.5f, -1.0f}));
  EXPECT_EQ(OutputKeys(1), std::vector<std::string>{"Dummy=-1"});

  // Memory 0 or less: no variance block.
  ib(0).Memory.V = 0;
  New(IO_New, 0, &status);
  ASSERT_EQ(status, Success);
  EXPECT_EQ(ihb_[0].VarDat, nullptr);
  ihb_[0].VarDat = new float[2]{1.0f, 1.0f};  // even when an array is held
  ib(0).Memory.V = -2;
  WriteAndClose(&status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(Numbers(Path("out.wib"), 1), std::vector<long>{});
  EXPECT_EQ(Numbers(Path("out.wib"), -1), std::vector<long>{1});  // the data themselves
}

// Written images carry the mark in their dummy pixels exactly when the
// dummy is defined (|Dummy| > max(DDummy, 0.1), compared in double
// precision like every other dummy test).
TEST_F(Writing, DummiesAreMarkedWhenTheDummyIsDefined) {
  struct Case {
    float dummy, ddummy;
    bool marked;
  } cases[] = {{-1.0f, 0.1f, true}, {0.0f, 0.1f, false}, {0.1f, 0.05f, true}};
  SetText(ib(0).Dim[1], "8");
  SetText(ib(0).Dim[2], "2");
  for (const Case& c : cases) {
    int status = -7;
    New(IO_New, 0, &status);
    ASSERT_EQ(status, Success);
    ihb_[0].Dummy.V = c.dummy;
    ihb_[0].DDummy.V = c.ddummy;
    for (int i = 0; i < 16; ++i) ihb_[0].Data[i] = c.dummy;
    WriteAndClose(&status);
    ASSERT_EQ(status, Success);
    const std::vector<float> px = Pixels(Path("out.wib"), 1);
    ASSERT_EQ(px.size(), 16u);
    long changed = 0;
    for (float v : px) changed += v != c.dummy;
    EXPECT_EQ(changed > 0, c.marked) << c.dummy << " " << c.ddummy;
  }
}

TEST_F(Writing, ProtectionDummyFileAndUncreatedImages) {
  int status = -7;
  // Nothing created: HeaderNotInitialized.
  WriteImage(cb(), ibs(), 0, ihb_, &status);
  EXPECT_EQ(status, HeaderNotInitialized);

  // The dummy file: created, never written.
  SetText(ib(0).Dim[1], "2");
  SetText(ib(0).Dim[2], "2");
  New(IO_New, 0, &status, "/dev/null");
  EXPECT_EQ(status, Success);
  EXPECT_EQ(ihb_[0].I, 1);
  WriteAndClose(&status);
  EXPECT_EQ(status, Success);

  // An existing image protected by the open mode is never overwritten.
  FileLayout s;
  s.numbers = {1, 2};
  MakeFile("out.wib", s);
  const std::string before = testutil::ReadFile(Path("out.wib"));
  num_[0] = 2;
  New(IO_ImageProtect, 0, &status);
  EXPECT_EQ(status, ImageProtected);
  EXPECT_EQ(ihb_[0].I, 0);
  int closed = -7;
  kelo_close_all_images(cb(), ibs(), &closed);
  EXPECT_EQ(testutil::ReadFile(Path("out.wib")), before);
  // A new image number is fine.
  num_[0] = 3;
  New(IO_ImageProtect, 0, &status);
  EXPECT_EQ(status, Success);
  WriteAndClose(&status);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(Numbers(Path("out.wib")), (std::vector<long>{1, 2, 3}));
  EXPECT_EQ(Pixels(Path("out.wib"), 2)[5], 205.0f);

  // A file opened read-only cannot take an image.
  New(IO_FileProtect, 0, &status);
  EXPECT_EQ(status, FileProtected);
}

}  // namespace
