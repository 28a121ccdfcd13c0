#include "src/kelo_filter.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "kelopack/KeloRoutine.h"
#include "src/filter_entry.h"
#include "src/peakfilter.h"
#include "testutil.h"
#include "wibpack/ipol.h"
#include "wibpack/wibio.h"

namespace {

// One image of a test: size, dummy, offsets (pixel sizes in the real
// system), and whether it has a variance array.
struct Image {
  long dim_1, dim_2;
  float dummy = 0.0f, ddummy = 0.1f;
  float off_1 = 0.0f, off_2 = 0.0f;
  float pix_1 = 1.0f, pix_2 = 1.0f;
  bool variance = false;
};

// The command block and image blocks of the program after the given options
// (a program-like command line without positional words), and the two
// header blocks of one image step.
class FilterStep {
 public:
  explicit FilterStep(std::vector<std::string> words) : words_(std::move(words)) {
    b_ = std::make_unique<Blocks>();
    InitOptions(MainHelp, MainVersion, nullptr, FilterRejectNum, &b_->cb, b_->ib,
                FilterImageBlocks);
    DefineFilterParameters(&b_->cb);
    words_.insert(words_.begin(), "kelo_filter");
    for (auto& w : words_) argv_.push_back(w.data());
    argv_.push_back(nullptr);
    int status = -99;
    ReadOptions(argv_.data(), &arg_no_, &b_->cb, b_->ib, &status);
    EXPECT_EQ(status, Success);
    ihb_ = kelo_new_all_images(2);
  }
  ~FilterStep() {
    kelo_free_all_images(&b_->cb, ihb_);
    ReleaseOptions(&b_->cb);
  }

  // Header block blkno with the image; data from values (or the dummy).
  void Set(int blkno, const Image& im, const std::vector<float>& values,
           const std::vector<float>& variances = {}) {
    ImgHeadBlk& h = ihb_[blkno];
    long dim[3] = {2, im.dim_1, im.dim_2};
    int status = -99;
    alloc_image_memory(&b_->cb, dim, &h, im.dummy, 1, im.variance, -1.0f, 1, &status);
    ASSERT_EQ(status, Success);
    if (!values.empty()) std::memcpy(h.Data, values.data(), values.size() * sizeof(float));
    if (im.variance && !variances.empty())
      std::memcpy(h.VarDat, variances.data(), variances.size() * sizeof(float));
    h.I = 1;
    h.ImNum = blkno == 0 ? 7 : 3;
    h.Dummy = {im.dummy, 1};
    h.DDummy = {im.ddummy, 1};
    h.Offset[1] = {im.off_1, 1};
    h.Offset[2] = {im.off_2, 1};
    h.PixSiz[1] = {im.pix_1, 1};
    h.PixSiz[2] = {im.pix_2, 1};
  }

  int Run(std::string* out = nullptr) {
    long num[2] = {ihb_[0].ImNum, ihb_[1].ImNum};
    int status = -99;
    testutil::Capture cap(stdout);
    kelo_filter(&b_->cb, num, ihb_, &status);
    if (out) *out = cap.Text();
    return status;
  }

  CmdBlk* cb() { return &b_->cb; }
  ImgBlk* ib() { return b_->ib; }
  ImgHeadBlk* ihb() { return ihb_; }

 private:
  struct Blocks {
    CmdBlk cb;
    ImgBlk ib[2];
  };
  std::unique_ptr<Blocks> b_;
  std::vector<std::string> words_;
  std::vector<char*> argv_;
  int arg_no_ = 0;
  ImgHeadBlk* ihb_ = nullptr;
};

// A smooth background with noise, single-pixel spikes and optionally a block
// of dummies.
std::vector<float> Picture(long d1, long d2, unsigned seed, float dummy = 0.0f,
                           bool dummies = false) {
  std::mt19937 gen(seed);
  std::normal_distribution<float> noise(0.0f, 3.0f);
  std::vector<float> v(d1 * d2);
  for (long j = 0; j < d2; j++)
    for (long i = 0; i < d1; i++) v[i + j * d1] = 100.0f + 0.5f * i + 0.25f * j + noise(gen);
  std::uniform_int_distribution<long> pick(0, d1 * d2 - 1);
  for (int k = 0; k < 12; k++) v[pick(gen)] += 500.0f;
  if (dummies)
    for (long j = d2 / 3; j < d2 / 2; j++)
      for (long i = 2; i < d1 / 4; i++) v[i + j * d1] = dummy;
  return v;
}

// The straightforward step: every output pixel integrated on its own, the
// variances by the rule of the output, then the plain peak filter.  Returns
// the expected output data (and variances in *var), and the count.
struct Expected {
  std::vector<float> data, var;
  long changed = 0;
};
Expected Straightforward(FilterStep& s, float w, float wa, float a, long rmsk, float chi2,
                         float max, int mode) {
  CmdBlk* pcb = s.cb();
  ImgHeadBlk* ihb = s.ihb();
  float Off_1[2], Off_2[2], Ps_1[2], Ps_2[2];
  int status = Success;
  GetReferenceParameters(pcb, ihb, 0, 1, Off_1, Off_2, Ps_1, Ps_2, &status);
  UpdateImageParameters(pcb, ihb, 1, 1, Off_1, Off_2, Ps_1, Ps_2, &status);
  float f1_1[2], f3_1[2], Df_1[2], f1_2[2], f3_2[2], Df_2[2], w1, w2, w3, w4, w5, w6;
  int Imin_1, Imax_1, Imin_2, Imax_2;
  GetImageRange(pcb, ihb, 1, 1, Off_1, Off_2, Ps_1, Ps_2, f1_1, f3_1, Df_1, f1_2, f3_2, Df_2,
                &Imin_1, &Imax_1, &Imin_2, &Imax_2, &w1, &w2, &w3, &w4, &w5, &w6, 1);
  const ImgHeadBlk& in = ihb[1];
  const ImgHeadBlk& out = ihb[0];
  const long d1 = out.Dim[1], d2 = out.Dim[2];
  Expected e;
  std::vector<float> I0(d1 * d2, out.Dummy.V);
  if (out.VarDat) e.var.assign(out.VarDat, out.VarDat + d1 * d2);
  const bool ave = s.ib()[1].Ave.V != 0;
  float f_2 = f1_2[1];
  for (int i_2 = Imin_2; i_2 <= Imax_2; i_2++) {
    float f_1 = f1_1[1];
    for (int i_1 = Imin_1; i_1 <= Imax_1; i_1++) {
      float sum, weight, varsum = -1.0f, varweight = 0.0f;
      int found = out.VarDat ? Isum2ldwE(in.Data, in.VarDat, in.Dim[1], in.Dim[2], in.Dummy.V,
                                         in.DDummy.V, f_1, f_2, f_1 + Df_1[1], f_2 + Df_2[1],
                                         &sum, &weight, &varsum, &varweight)
                             : Isum2ldw(in.Data, in.Dim[1], in.Dim[2], in.Dummy.V, in.DDummy.V,
                                        f_1, f_2, f_1 + Df_1[1], f_2 + Df_2[1], &sum, &weight);
      if (found) {
        float value = ave ? sum / weight : sum;
        UPDATE(I0[i_1 + i_2 * d1], value, out.Dummy.V, out.DDummy.V);
        if (out.VarDat && varsum >= 0.0f) {
          float v = ave ? varsum / (varweight * varweight) : varsum;
          float& o = e.var[i_1 + i_2 * d1];
          if (std::fabs(o + 1.0) <= 0.1f)
            o = v;
          else
            o += v;
        }
      }
      f_1 += Df_1[1];
    }
    f_2 += Df_2[1];
  }
  const long m = 2 * std::labs(rmsk) + 1;
  std::vector<float> mask(m * m);
  gen_tring_mask(mask.data(), m, m, w, a, wa);
  e.data.assign(d1 * d2, 0.0f);
  peakfilter_reference(e.data.data(), I0.data(), d1, d2, out.Dummy.V, out.DDummy.V, mask.data(),
                       m, m, chi2, max, mode, 0, &e.changed);
  return e;
}

bool SameBits(const float* a, const std::vector<float>& b) {
  return std::memcmp(a, b.data(), b.size() * sizeof(float)) == 0;
}

std::string ChangedLine(long n) {
  return " (" + std::to_string(n) + " pixels changed)\n";
}

// The filter step against its straightforward formulation, bit for bit, on
// grids that map pixel for pixel (the row fast path), shifted by whole
// pixels, shifted by half a pixel, and coarser; with and without dummies and
// variances.
TEST(KeloFilter, EqualsStraightforwardStep) {
  struct Case {
    const char* name;
    std::vector<std::string> options;
    Image in, out;
    bool dummies;
    float w = 4, wa = 4, a = 1, chi2 = 5, max = 0;
    long rmsk = 4;
    int mode = 0;
  } cases[] = {
      {"same grid", {}, {64, 48}, {64, 48}, false},
      {"same grid, mode 1, dummy -1",
       {"-mode", "1"},
       {64, 48, -1.0f, 0.1f},
       {64, 48, -1.0f, 0.1f},
       true, 4, 4, 1, 5, 0, 4, 1},
      {"whole-pixel shift, uncovered dummies",
       {"-rmsk", "2", "-chi2", "3", "-max", "10"},
       {50, 40, -1.0f, 0.1f, 3.0f, -2.0f},
       {60, 45, -1.0f, 0.1f},
       true, 4, 4, 1, 3, 10, 2},
      {"whole-pixel shift, no dummy", {}, {50, 40, 0.0f, 0.1f, 0.0f, 5.0f}, {40, 50}, false},
      {"same grid, output dummy too small to count: added",
       {},
       {30, 20, -1.0f, 0.1f},
       {30, 20, 0.05f, 0.1f},
       true},
      {"half-pixel shift", {"-w", "3", "-wa", "2", "-a", "0.5"},
       {50, 40, -1.0f, 0.1f, 0.5f, 0.0f}, {50, 40, -1.0f, 0.1f}, true, 3, 2, 0.5f},
      {"coarser output, summed", {"-rsys", "real", "-i1ave"},
       {64, 48, -1.0f, 0.1f, 0, 0, 1, 1}, {32, 24, -1.0f, 0.1f, 0, 0, 2, 2}, true},
      {"variances, same grid", {}, {40, 30, 0, 0.1f, 0, 0, 1, 1, true},
       {40, 30, 0, 0.1f, 0, 0, 1, 1, true}, false},
      {"variances, coarser, unknown input variance", {"-rsys", "real"},
       {40, 30, -1.0f, 0.1f, 0, 0, 1, 1, false}, {20, 15, -1.0f, 0.1f, 0, 0, 2, 2, true}, true},
  };
  unsigned seed = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    FilterStep s(c.options);
    std::vector<float> vin = Picture(c.in.dim_1, c.in.dim_2, seed++, c.in.dummy, c.dummies);
    std::vector<float> var(vin.size());
    for (size_t k = 0; k < var.size(); k++) var[k] = 0.5f + 0.001f * (k % 97);
    s.Set(1, c.in, vin, var);
    s.Set(0, c.out, {});
    Expected e = Straightforward(s, c.w, c.wa, c.a, c.rmsk, c.chi2, c.max, c.mode);
    // Whatever the output held before is replaced.
    for (long k = 0; k < c.out.dim_1 * c.out.dim_2; k++) s.ihb()[0].Data[k] = 12345.0f;
    std::string out;
    ASSERT_EQ(s.Run(&out), Success);
    EXPECT_EQ(out, "\n Calculating ihb[0, 7] = Function(ihb[ 1, 3] )\n" + ChangedLine(e.changed));
    EXPECT_GT(e.changed, 0);
    EXPECT_TRUE(SameBits(s.ihb()[0].Data, e.data));
    if (c.out.variance) {
      EXPECT_TRUE(SameBits(s.ihb()[0].VarDat, e.var));
    }
  }
}

// The printed count is the number of pixels that differ from the mapped
// input, and a mask of one pixel changes nothing.
TEST(KeloFilter, CountAndSinglePixelMask) {
  for (const char* rmsk : {"0", "-3", "3"}) {
    SCOPED_TRACE(rmsk);
    FilterStep s({"-rmsk", rmsk, "-chi2", "2"});
    Image im{30, 30, -1.0f, 0.1f};
    std::vector<float> v = Picture(30, 30, 9);
    s.Set(1, im, v);
    s.Set(0, im, {});
    std::string out;
    ASSERT_EQ(s.Run(&out), Success);
    long differ = 0;
    for (long k = 0; k < 900; k++) differ += s.ihb()[0].Data[k] != v[k];
    EXPECT_EQ(out.substr(out.find(" (")), ChangedLine(differ));
    if (std::string(rmsk) == "0")
      EXPECT_EQ(differ, 0);
    else
      EXPECT_GT(differ, 0);
  }
}

// Parameters read for the image: a width or dip width of 0 and a mask
// that cannot be formed are refused; failing expressions keep their status.
TEST(KeloFilter, BadParameters) {
  struct {
    std::vector<std::string> options;
    int status;
    const char* message;
  } cases[] = {
      {{"-w", "0"}, OutOfRange, "The width (w) must not be 0: w = 0"},
      {{"-wa", "2-2"}, OutOfRange, "The dip width (wa) must not be 0: wa = 2-2"},
      {{"-a", "inf"}, OutOfRange, "No weighting mask for w = 4.0, wa = 4.0, a = inf"},
      {{"-rmsk", "100000"}, NotEnoughMemoryAvailable, "Mask radius too large: rmsk = 100000"},
      {{"-chi2", "1/0"}, DivByZero, nullptr},
      {{"-max", "nokey"}, -99, nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.options[1]);
    FilterStep s(c.options);
    Image im{10, 10};
    s.Set(1, im, Picture(10, 10, 3));
    s.Set(0, im, {});
    const float before = s.ihb()[0].Data[0];
    std::string out;
    const int status = s.Run(&out);
    if (c.status == -99)
      EXPECT_NE(status, Success);
    else
      EXPECT_EQ(status, c.status);
    if (c.message) {
      EXPECT_EQ(KeloErrorBlock().ModuleName.value_or(""), "kelo_filter");
      EXPECT_EQ(KeloErrorBlock().Message.value_or(""), c.message);
    }
    EXPECT_EQ(out, "\n Calculating ihb[0, 7] = Function(ihb[ 1, 3] )\n");
    EXPECT_EQ(s.ihb()[0].Data[0], before);  // the output is untouched
    KeloError_init();
  }
}

TEST(KeloFilter, WrongNumberOfBlocks) {
  FilterStep s({});
  Image im{4, 4};
  s.Set(1, im, {});
  s.Set(0, im, {});
  s.cb()->ImgBlkLen = 1;
  testutil::Capture err(stderr);
  EXPECT_EQ(s.Run(), Failed);
  EXPECT_EQ(err.Text(), "1 images found, 1 input and 1 output image required\n");
  s.cb()->ImgBlkLen = 2;
}

// With msk the mask is written to mnam under the output image number; the
// open file of an image block is never taken for it.
TEST(KeloFilter, MaskFile) {
  testutil::TempDir dir;
  const std::string name = dir.file("mask.wib");
  FilterStep s({"+msk", "-mnam", name, "-rmsk", "2", "-w", "3", "-a", "0.5"});
  Image im{12, 12};
  s.Set(1, im, Picture(12, 12, 4));
  s.Set(0, im, {});
  ASSERT_EQ(s.Run(), Success);

  int err = 0, status = -99;
  long stream = wib_open_data_file(name.c_str(), "read", &err, &status);
  ASSERT_EQ(status, 0);
  long* dim = nullptr;
  size_t size = 0;
  void* data = nullptr;
  wib_read_data(stream, 7, 1, &dim, &size, &data, MFloat, &err, &status);
  ASSERT_EQ(status, 0);
  ASSERT_EQ(dim[0], 2);
  EXPECT_EQ(dim[1], 5);
  EXPECT_EQ(dim[2], 5);
  std::vector<float> mask(25);
  gen_tring_mask(mask.data(), 5, 5, 3.0f, 0.5f, 4.0f);
  EXPECT_EQ(std::memcmp(data, mask.data(), sizeof(float) * 25), 0);
  wib_close_data_file(stream, &err, &status);

  // The output block's open file.
  testutil::WriteFile(dir.file("out.wib"), "precious");
  FilterStep t({"+msk", "-mnam", dir.file("./out.wib")});
  t.Set(1, im, Picture(12, 12, 4));
  t.Set(0, im, {});
  t.ib()[0].Stream = 3;
  strcpy(t.ib()[0].FileName, dir.file("out.wib").c_str());
  EXPECT_EQ(t.Run(), FileAlreadyOpened);
  EXPECT_EQ(testutil::ReadFile(dir.file("out.wib")), "precious");
  t.ib()[0].Stream = -1;

  // A mask file that cannot be created.
  FilterStep u({"+msk", "-mnam", dir.file("no/such/dir/m.wib")});
  u.Set(1, im, Picture(12, 12, 4));
  u.Set(0, im, {});
  EXPECT_EQ(u.Run(), ExternalErrorReport);
  KeloError_init();
}

}  // namespace
