// Whole runs of the built program on files made here: positional words,
// prompting, echo lines, the image loop with the filter, the files written
// (data bit for bit against the straightforward filter), failures.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "src/filter_entry.h"
#include "src/peakfilter.h"
#include "testutil.h"
#include "wibpack/ipol.h"
#include "wibpack/wibio.h"

namespace {

const std::string Exe = KELO_FILTER_EXE;

constexpr float Dummy = -1.0f, DDummy = 0.1f;

// One image of a test file.
struct Image {
  long num, d1, d2;
  std::vector<float> data, var;  // var empty: no variance block
};

// Noise, a slope, a few spikes and a small block of dummies.
Image Make(long num, long d1, long d2, bool variance = false) {
  std::mt19937 gen(static_cast<unsigned>(num * 7919 + d1));
  std::normal_distribution<float> noise(0.0f, 2.0f);
  Image im{num, d1, d2, std::vector<float>(d1 * d2), {}};
  for (long j = 0; j < d2; j++)
    for (long i = 0; i < d1; i++) im.data[i + j * d1] = 50.0f + i + 0.5f * j + noise(gen);
  std::uniform_int_distribution<long> pick(0, d1 * d2 - 1);
  for (int k = 0; k < 6; k++) im.data[pick(gen)] += 400.0f + 10.0f * k;
  for (long j = 2; j < 5; j++)
    for (long i = 3; i < 6; i++) im.data[i + j * d1] = Dummy;
  if (variance) {
    im.var.resize(im.data.size());
    for (size_t k = 0; k < im.var.size(); k++) im.var[k] = 1.0f + 0.01f * (k % 13);
  }
  return im;
}

void Check(int status, int err, const char* what) {
  ASSERT_EQ(status, 0) << what << wib_report_data_error(err);
}

void WriteSeries(const std::string& path, const std::vector<Image>& images) {
  int err = 0, status = 0;
  long stream = wib_open_data_file(path.c_str(), "new", &err, &status);
  Check(status, err, "open");
  for (const Image& im : images) {
    const long dim[3] = {2, im.d1, im.d2};
    wib_write_header_float(stream, im.num, 1, "Dummy", Dummy, &err, &status);
    wib_write_header_float(stream, im.num, 1, "DDummy", DDummy, &err, &status);
    wib_write_header_string(stream, im.num, 1, "Title", "test image", &err, &status);
    wib_write_data(stream, im.num, 1, dim, im.data.data(), MFloat, &err, &status);
    Check(status, err, "write");
    if (!im.var.empty()) {
      wib_write_header_float(stream, im.num, -1, "Dummy", -1.0f, &err, &status);
      wib_write_data(stream, im.num, -1, dim, im.var.data(), MFloat, &err, &status);
      Check(status, err, "write variance");
    }
  }
  wib_close_data_file(stream, &err, &status);
  Check(status, err, "close");
}

// Image num of chain chain of a file, with its sizes; found false when it
// is not there.
struct Read {
  bool found = false;
  long d1 = 0, d2 = 0;
  std::vector<float> data;
  std::string history;  // History-1
  float dummy = 0.0f;
};
Read ReadBack(const std::string& path, long num, int chain = 1) {
  Read r;
  int err = 0, status = 0;
  long stream = wib_open_data_file(path.c_str(), "read", &err, &status);
  if (status != 0) return r;
  long* dim = nullptr;
  size_t size = 0;
  void* data = nullptr;
  wib_read_data(stream, num, chain, &dim, &size, &data, MFloat, &err, &status);
  if (status == 0 && dim && dim[0] == 2) {
    r.found = true;
    r.d1 = dim[1];
    r.d2 = dim[2];
    const float* p = static_cast<const float*>(data);
    r.data.assign(p, p + r.d1 * r.d2);
    const char* text = nullptr;
    if (wib_read_header_string(stream, num, chain, "History-1", &text, &err, &status) && text)
      r.history = text;
    wib_read_header_float(stream, num, chain, "Dummy", &r.dummy, &err, &status);
  }
  wib_close_data_file(stream, &err, &status);
  return r;
}

// The filter's values of a run.
struct Params {
  float w = 4, wa = 4, a = 1, chi2 = 5, max = 0;
  long rmsk = 4;
  int mode = 0;
};

// The straightforward result of one image on an output of od1 x od2 pixels
// with the same origin and pixel size (each output pixel is its input
// pixel): the peak filter of the plain filter, then the marks that writing
// draws into dummy pixels.  *changed receives the filter's count.
std::vector<float> Expected(const Image& in, long od1, long od2, const Params& p,
                            long* changed, float odum = Dummy) {
  std::vector<float> mapped(od1 * od2, odum);
  for (long j = 0; j < std::min(od2, in.d2); j++)
    for (long i = 0; i < std::min(od1, in.d1); i++) {
      const float x = in.data[i + j * in.d1];
      if (std::fabs(x - Dummy) > DDummy) mapped[i + j * od1] = 0.0f + x;
    }
  const long m = 2 * std::labs(p.rmsk) + 1;
  std::vector<float> mask(m * m), out(od1 * od2);
  gen_tring_mask(mask.data(), m, m, p.w, p.a, p.wa);
  peakfilter_reference(out.data(), mapped.data(), od1, od2, odum, DDSET(odum), mask.data(), m,
                       m, p.chi2, p.max, p.mode, 0, changed);
  mark_float_2d(out.data(), od1, od2, odum, DDSET(odum));
  return out;
}

bool SameBits(const std::vector<float>& a, const std::vector<float>& b) {
  return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * sizeof(float)) == 0;
}

// Standard output pieces.
std::string Banner(bool usage) {
  std::string s;
  if (usage) s = "Usage: kelo_filter " + std::string(MainHelp) + "\n";
  return s + "\n   kelo_filter kelo_filter V4.63 2012-01-31, Orrin\n\n";
}
std::string Step(const std::string& in, const std::string& out, long n, long changed) {
  const std::string num = std::to_string(n);
  return "Reading image: " + in + ", Image : " + num + " done\n\n Calculating ihb[0, " + num +
         "] = Function(ihb[ 1, " + num + "] )\n (" + std::to_string(changed) +
         " pixels changed)\nWriting : " + out + ", Image : " + num + "\n\n";
}

class FilterRun : public ::testing::Test {
 protected:
  void SetUp() override {
    series_ = {Make(1, 32, 24), Make(2, 32, 24), Make(3, 32, 24)};
    WriteSeries(dir_.file("in.wib"), series_);
  }
  testutil::RunResult Run(const std::string& words, const std::string& input = "") {
    return testutil::Run(Exe + " " + words, input, dir_.path());
  }
  std::string File(const std::string& name) { return dir_.file(name); }

  testutil::TempDir dir_;
  std::vector<Image> series_;
};

// All fourteen words: nothing asked, every value echoed, a three-image
// series on a larger output grid, each image bit for bit.
TEST_F(FilterRun, AllFourteenWords) {
  auto r = Run("in.wib out.wib 1 3 1 -1 40 30 3 2 0.5 3 4 20");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  Params p;
  p.w = 3, p.wa = 2, p.a = 0.5f, p.rmsk = 3, p.chi2 = 4, p.max = 20;
  std::string steps;
  for (const Image& in : series_) {
    SCOPED_TRACE(in.num);
    long changed = 0;
    std::vector<float> expected = Expected(in, 40, 30, p, &changed);
    EXPECT_GT(changed, 0);
    steps += Step("in.wib", "out.wib", in.num, changed);
    Read out = ReadBack(File("out.wib"), in.num);
    ASSERT_TRUE(out.found);
    EXPECT_EQ(out.d1, 40);
    EXPECT_EQ(out.d2, 30);
    EXPECT_TRUE(SameBits(out.data, expected));
    EXPECT_EQ(out.dummy, -1.0f);
    EXPECT_EQ(out.history, "kelo_filter in.wib out.wib 1 3 1 -1 40 30 3 2 0.5 3 4 20");
    EXPECT_FALSE(ReadBack(File("out.wib"), in.num, -1).found);  // no variances
  }
  EXPECT_EQ(r.out, Banner(false) +
                       "\n"
                       "i/p file                  : in.wib\n"
                       "o/p file                  : out.wib\n"
                       "first image               : 1\n"
                       "last image                : 3\n"
                       "increment                 : 1\n"
                       "output dummy              : -1\n"
                       "output dimension 1        : 40\n"
                       "output dimension 2        : 30\n"
                       "width (w)                 : 3 pixel\n"
                       "dip width (wa)            : 2 pixel\n"
                       "relative deepness (a)     : 0.5\n"
                       "mask radius (rmsk)        : 3 pixels\n"
                       "noise threshold (chi2)    : 4\n"
                       "absolute threshold (max)  : 20\n"
                       "\n" +
                       steps);
}

// No words at all: the usage line, then every value is asked; answers with
// defaults, "...", "$nul" and values.
TEST_F(FilterRun, PromptedAnswers) {
  auto r = Run("", "in.wib\nout.wib\n2\n\n...\n$nul\n\n\n3\n\n\n\n\n\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  Params p;
  p.w = 3;
  long c2 = 0, c3 = 0;
  EXPECT_TRUE(SameBits(ReadBack(File("out.wib"), 2).data, Expected(series_[1], 32, 24, p, &c2)));
  EXPECT_TRUE(SameBits(ReadBack(File("out.wib"), 3).data, Expected(series_[2], 32, 24, p, &c3)));
  EXPECT_FALSE(ReadBack(File("out.wib"), 1).found);
  // Answered values are part of the command line in the history; skipped
  // ones stand as "...".
  EXPECT_EQ(ReadBack(File("out.wib"), 2).history,
            "kelo_filter in.wib out.wib 2 3 ... ... ... ... 3 4.0 1.0 4 5.0 0.0");
  // Values without a word are left out at the end of the line.
  auto w = Run("in.wib w.wib 2 ... ... ... ... ... 3");
  EXPECT_EQ(ReadBack(File("w.wib"), 2).history, "kelo_filter in.wib w.wib 2 ... ... ... ... ... 3");
  EXPECT_EQ(r.out, Banner(true) +
                       "Input sequence 1 [input.wib] : "
                       "Output sequence [output.wib] : "
                       "First image of input sequence 1 [1] : "
                       "Last image of input sequence 1 [3] : "
                       "Increment of input sequence 1 [1] : ... skipped\n"
                       "Output dummy, e.g. -1 : ... skipped\n"
                       "Output dimension 1, e.g. 32 : ... skipped\n"
                       "Output dimension 2, e.g. 24 : ... skipped\n"
                       "Width (w) [pixel] [4.0] : "
                       "Dip width (wa) [pixel] [4.0] : "
                       "Relative deepness (a) (0..1) [1.0] : "
                       "Mask radius in pixels (rmsk) [4] : "
                       "Noise threshold (chi2) [5.0] : "
                       "Absolute threshold (max) [0.0] : \n"
                       "i/p file                  : in.wib\n"
                       "o/p file                  : out.wib\n"
                       "first image               : 2\n"
                       "last image                : 3\n"
                       "width (w)                 : 3 pixel\n"
                       "dip width (wa)            : 4.0 pixel\n"
                       "relative deepness (a)     : 1.0\n"
                       "mask radius (rmsk)        : 4 pixels\n"
                       "noise threshold (chi2)    : 5.0\n"
                       "absolute threshold (max)  : 0.0\n"
                       "\n" +
                       Step("in.wib", "out.wib", 2, c2) + Step("in.wib", "out.wib", 3, c3));
}

// The end of input answers every remaining question with its default; an
// abort word ends the run before anything is processed.
TEST_F(FilterRun, PromptEndAndAbort) {
  auto r = Run("", "in.wib\nout.wib\n");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "");
  for (long n = 1; n <= 3; n++) EXPECT_TRUE(ReadBack(File("out.wib"), n).found) << n;

  for (const char* answers : {"in.wib\n$exit\n", "in.wib\nx.wib\n1\n3\n1\n\n\n\n\\\\\n"}) {
    SCOPED_TRACE(answers);
    auto a = Run("", answers);
    EXPECT_EQ(a.exit_code, Abort);
    EXPECT_EQ(a.err.substr(0, 26), "\nMODULE   : KeloOption\nROU");
    EXPECT_NE(a.err.find("\nStatus = 1 -- Abort: Input aborted\n"), std::string::npos) << a.err;
    EXPECT_EQ(a.out.find("Calculating"), std::string::npos);
    EXPECT_NE(access(File("x.wib").c_str(), F_OK), 0);
  }
}

// Positional words against options: a word overrides the option, "=" and
// "..." keep it; only one first image processes that image; numbers after
// the name give the range; -p without words asks nothing.
TEST_F(FilterRun, WordsAndOptions) {
  struct {
    const char* words;
    const char* out;
    std::vector<const char*> echo;  // parameter echo lines expected
    std::vector<long> images;
  } cases[] = {
      {"-w 7 -rmsk 2 in.wib o1.wib",
       "o1.wib",
       {"width (w)                 : 7 pixel\n", "mask radius (rmsk)        : 2 pixels\n"},
       {1, 2, 3}},
      {"-w 7 in.wib o2.wib 2 ... ... ... ... ... 5",
       "o2.wib",
       {"width (w)                 : 5 pixel\n"},
       {2, 3}},
      {"-w 7 in.wib o3.wib 2", "o3.wib", {"width (w)                 : 7 pixel\n"}, {2}},
      {"-w 7 in.wib o4.wib = = = = = = =", "o4.wib", {"width (w)                 : 7 pixel\n"},
       {1, 2, 3}},
      {"in.wib,2,3 o5.wib ... ... ... ... ... ... ...", "o5.wib", {}, {2, 3}},
      {"-p -i1nam in.wib -onam o6.wib -i1fst 3", "o6.wib", {}, {3}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    auto r = Run(c.words);
    EXPECT_EQ(r.exit_code, 0);
    EXPECT_EQ(r.err, "");
    for (const char* line : c.echo) EXPECT_NE(r.out.find(line), std::string::npos) << r.out;
    for (long n = 1; n <= 3; n++) {
      const bool wanted = std::find(c.images.begin(), c.images.end(), n) != c.images.end();
      EXPECT_EQ(ReadBack(File(c.out), n).found, wanted) << n;
    }
    EXPECT_EQ(r.out.find("Input sequence"), std::string::npos);  // nothing was asked
  }
}

// Surplus words: a warning with the usage line, and the run goes on.
TEST_F(FilterRun, TooManyWords) {
  auto r = Run("in.wib out.wib 1 1 1 ... ... ... 4 4 1 4 5 0 x y z");
  EXPECT_EQ(r.exit_code, 0);
  EXPECT_EQ(r.err, "WARNING : " + Exe + " : Too many arguments\nUsage: " + Exe + " " + MainHelp +
                       "\n");
  EXPECT_TRUE(ReadBack(File("out.wib"), 1).found);
}

// With +var the output gets a variance block (0 for mapped pixels without
// input variances); an input with variances hands them on by itself; a
// smaller output grid is cut from the input.
TEST_F(FilterRun, Variances) {
  auto r = Run("+var in.wib out.wib 2 2");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  Read var = ReadBack(File("out.wib"), 2, -1);
  ASSERT_TRUE(var.found);
  std::vector<float> expected(32 * 24, -1.0f);
  for (size_t k = 0; k < expected.size(); k++)
    if (std::fabs(series_[1].data[k] - Dummy) > DDummy) expected[k] = 0.0f;
  mark_float_2d(expected.data(), 32, 24, -1.0f, 0.1f);
  EXPECT_TRUE(SameBits(var.data, expected));

  WriteSeries(File("vin.wib"), {Make(1, 32, 24, true)});
  auto v = Run("vin.wib vout.wib 1 1 1 ... 20 16");
  EXPECT_EQ(v.exit_code, 0) << v.err;
  const Image in = Make(1, 32, 24, true);
  std::vector<float> ev(20 * 16, -1.0f);
  for (long j = 0; j < 16; j++)
    for (long i = 0; i < 20; i++)
      if (std::fabs(in.data[i + j * 32] - Dummy) > DDummy) ev[i + j * 20] = in.var[i + j * 32];
  mark_float_2d(ev.data(), 20, 16, -1.0f, 0.1f);
  Read vout = ReadBack(File("vout.wib"), 1, -1);
  EXPECT_TRUE(SameBits(vout.data, ev));
  long changed = 0;
  EXPECT_TRUE(SameBits(ReadBack(File("vout.wib"), 1).data, Expected(in, 20, 16, Params{}, &changed)));
}

// +msk writes the weighting mask under the output image number; each step
// writes the file anew.  mode 1 replaces by the mean of the neighbours.
TEST_F(FilterRun, MaskFileAndMode) {
  auto r = Run("+msk -mnam m.wib -mode 1 -rmsk 2 -w 3 in.wib out.wib");
  EXPECT_EQ(r.exit_code, 0) << r.err;
  Read m = ReadBack(File("m.wib"), 3);
  ASSERT_TRUE(m.found);
  std::vector<float> mask(25);
  gen_tring_mask(mask.data(), 5, 5, 3.0f, 1.0f, 4.0f);
  EXPECT_TRUE(SameBits(m.data, mask));
  EXPECT_FALSE(ReadBack(File("m.wib"), 1).found);
  Params p;
  p.mode = 1, p.rmsk = 2, p.w = 3;
  long changed = 0;
  std::vector<float> expected = Expected(series_[0], 32, 24, p, &changed);
  EXPECT_TRUE(SameBits(ReadBack(File("out.wib"), 1).data, expected));
  EXPECT_NE(r.out.find(" (" + std::to_string(changed) + " pixels changed)\n"), std::string::npos);
}

// Failures: the status and message of the routine that failed, nothing
// already written lost, no partial image.
TEST_F(FilterRun, Failures) {
  testutil::WriteFile(File("text.wib"), "this is not an image file\n");
  struct {
    const char* words;
    int status;
    const char* err;  // the start of standard error
  } cases[] = {
      {"missing.wib out.wib", FileNotFound,
       "\nMODULE   : KeloImage\nROUTINE  : OpenImageFile\nmissing.wib\nStatus = 22 -- "
       "FileNotFound\n"},
      {"text.wib out.wib", ExternalErrorReport, nullptr},
      {"-w 0 in.wib out.wib", OutOfRange,
       "\nMODULE   : kelo_filter\nROUTINE  : kelo_filter\nThe width (w) must not be 0: w = "
       "0\nStatus = 38 -- OutOfRange\n"},
      {"in.wib out.wib 1 3 1 ... ... ... 4 0", OutOfRange,
       "\nMODULE   : kelo_filter\nROUTINE  : kelo_filter\nThe dip width (wa) must not be 0: wa = "
       "0\nStatus = 38 -- OutOfRange\n"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.words);
    auto r = Run(c.words);
    EXPECT_EQ(r.exit_code, c.status);
    if (c.err) {
      EXPECT_EQ(r.err, c.err);
    }
    EXPECT_EQ(r.err.find("WARNING"), std::string::npos);
    EXPECT_EQ(r.out.find("Writing"), std::string::npos);
    EXPECT_FALSE(ReadBack(File("out.wib"), 1).found);
  }

  // An expression that fails for image 2 only: image 1 stays complete.
  auto e = Run("-w '4/([INUM]-2)' in.wib out.wib");
  EXPECT_EQ(e.exit_code, DivByZero);
  EXPECT_EQ(e.err,
            "\nMODULE   : KeloParameter\nROUTINE  : option_float\n4/(2-2)\nStatus = 11 -- "
            "DivByZero: Division by zero\n");
  Read one = ReadBack(File("out.wib"), 1);
  EXPECT_TRUE(one.found);
  EXPECT_EQ(one.data.size(), 32u * 24u);
  EXPECT_FALSE(ReadBack(File("out.wib"), 2).found);

  // An output image that exists is protected; the file is left as it was.
  const std::string before = testutil::ReadFile(File("out.wib"));
  auto p = Run("in.wib out.wib");
  EXPECT_EQ(p.exit_code, ImageProtected);
  EXPECT_EQ(p.err, "\nMODULE   : KeloImage\nROUTINE  : NewImage\n" + File("out.wib") +
                       "\nStatus = 23 -- ImageProtected\n");
  EXPECT_EQ(testutil::ReadFile(File("out.wib")), before);
  auto z = Run("-w 0 in.wib out.wib 2");
  EXPECT_EQ(z.exit_code, OutOfRange);
  EXPECT_EQ(testutil::ReadFile(File("out.wib")), before);
}

}  // namespace
