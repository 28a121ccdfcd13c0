#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "testutil.h"
#include "wibpack/cmpr.h"

namespace {

std::string Compressible(size_t n) {
  std::string s(n, '\0');
  for (size_t i = 0; i < n; i++) s[i] = static_cast<char>("kelo wib data "[i % 14] + (i / 5000) % 3);
  return s;
}

std::string Noise(size_t n, uint32_t seed = 1) {
  std::string s(n, '\0');
  for (char& c : s) {
    seed = seed * 1664525u + 1013904223u;
    c = static_cast<char>(seed >> 24);
  }
  return s;
}

std::string Deflate(const std::string& in, int method) {
  std::string out(in.size() + 1024, '\0');
  size_t n = 0;
  int err = 0;
  EXPECT_EQ(cmpr_deflate(&out[0], out.size(), in.data(), in.size(), method, &n, &err), 0);
  EXPECT_EQ(err, 0);
  out.resize(n);
  return out;
}

FILE* Stream(const std::string& bytes) {
  FILE* f = tmpfile();
  fwrite(bytes.data(), 1, bytes.size(), f);
  rewind(f);
  return f;
}

std::string Contents(FILE* f) {
  std::string out;
  rewind(f);
  char buf[4096];
  size_t n;
  while ((n = fread(buf, 1, sizeof buf, f)) > 0) out.append(buf, n);
  return out;
}

TEST(Cmpr, MemoryRoundTripsWithTheFormatHeaders) {
  const std::string data = Compressible(100000);
  for (int method : {CmprGzip, CmprZlib}) {
    SCOPED_TRACE(method);
    std::string z = Deflate(data, method);
    ASSERT_GT(z.size(), 2u);
    EXPECT_LT(z.size(), data.size() / 4);
    if (method == CmprGzip) {
      EXPECT_EQ(static_cast<unsigned char>(z[0]), 0x1f);
      EXPECT_EQ(static_cast<unsigned char>(z[1]), 0x8b);
    } else {
      EXPECT_EQ(static_cast<unsigned char>(z[0]), 0x78);
    }
    std::string back(data.size(), '\0');
    size_t n = 0;
    int err = 1;
    EXPECT_EQ(cmpr_inflate(&back[0], back.size(), z.data(), z.size(), method, &n, &err), 0);
    EXPECT_EQ(n, data.size());
    EXPECT_EQ(back, data);
    // From a stream, with the block's padding after the compressed data.
    FILE* f = Stream(z + std::string(700, ' '));
    std::string fromfile(data.size(), '\0');
    EXPECT_EQ(cmpr_frinflate(&fromfile[0], fromfile.size(), f, z.size() + 700, method, &n, &err), 0);
    EXPECT_EQ(n, data.size());
    EXPECT_EQ(fromfile, data);
    fclose(f);
  }
}

TEST(Cmpr, FilesRoundTripAndTruncatedFilesYieldWhatTheyHold) {
  const std::string data = Compressible(200000) + Noise(50000);
  for (int method : {CmprGzip, CmprZlib}) {
    SCOPED_TRACE(method);
    FILE* in = Stream(data);
    FILE* z = tmpfile();
    size_t n = 0;
    int err = 1;
    ASSERT_EQ(cmpr_deflatefile(z, in, method, &n, &err), 0);
    const std::string compressed = Contents(z);
    EXPECT_EQ(n, compressed.size());
    rewind(z);
    FILE* out = tmpfile();
    ASSERT_EQ(cmpr_inflatefile(out, z, method, &n, &err), 0);
    EXPECT_EQ(n, data.size());
    EXPECT_EQ(Contents(out), data);
    fclose(in);
    fclose(z);
    fclose(out);

    // Truncated: a shorter copy, no error.
    FILE* cut = Stream(compressed.substr(0, compressed.size() / 2));
    out = tmpfile();
    EXPECT_EQ(cmpr_inflatefile(out, cut, method, &n, &err), 0);
    std::string part = Contents(out);
    EXPECT_GT(part.size(), 0u);
    EXPECT_LT(part.size(), data.size());
    EXPECT_EQ(part, data.substr(0, part.size()));
    fclose(cut);
    fclose(out);
  }
  // An empty file compresses to a stream that decompresses to nothing.
  FILE* empty = tmpfile();
  FILE* z = tmpfile();
  size_t n = 1;
  EXPECT_EQ(cmpr_deflatefile(z, empty, CmprGzip, &n, nullptr), 0);
  rewind(z);
  FILE* out = tmpfile();
  EXPECT_EQ(cmpr_inflatefile(out, z, CmprGzip, &n, nullptr), 0);
  EXPECT_EQ(n, 0u);
  fclose(empty);
  fclose(z);
  fclose(out);
}

TEST(Cmpr, AnOutputBufferFilledBeforeTheStreamEndStillFinishes) {
  // Compressed streams whose trailer lies in the chunk after the one that
  // fills the output buffer.
  int tested = 0;
  for (size_t len = 16300; len < 16420; len++) {
    std::string data = Noise(len, static_cast<uint32_t>(len));
    std::string z = Deflate(data, CmprGzip);
    if (z.size() <= CMPR_CHUNK || z.size() > CMPR_CHUNK + 8) continue;
    tested++;
    FILE* f = Stream(z);
    std::string back(len, '\0');
    size_t n = 0;
    int err = 1;
    EXPECT_EQ(cmpr_frinflate(&back[0], len, f, z.size(), CmprGzip, &n, &err), 0) << len;
    EXPECT_EQ(back, data);
    fclose(f);
  }
  EXPECT_GT(tested, 0);
}

TEST(Cmpr, Failures) {
  const std::string version = cmpr_version();
  testutil::Capture capture(stderr);
  size_t n = 99;
  int err = 0;

  // Incompressible data do not fit into a buffer as long as the data.
  const std::string noise = Noise(20000);
  std::string out(noise.size(), '\0');
  EXPECT_EQ(cmpr_deflate(&out[0], out.size(), noise.data(), noise.size(), CmprGzip, &n, &err), -1);
  EXPECT_EQ(err, -1);

  // Corrupt data, data longer than the buffer, an unknown method, an empty
  // input.
  std::string z = Deflate(Compressible(50000), CmprZlib);
  std::string corrupt = z;
  for (size_t i = 10; i < 40; i++) corrupt[i] = 'x';
  std::string back(50000, '\0');
  EXPECT_EQ(cmpr_inflate(&back[0], back.size(), corrupt.data(), corrupt.size(), CmprZlib, &n, &err), -1);
  EXPECT_EQ(err, Z_DATA_ERROR);
  EXPECT_EQ(cmpr_inflate(&back[0], 1000, z.data(), z.size(), CmprZlib, &n, &err), -1);
  EXPECT_EQ(err, -1);
  EXPECT_EQ(cmpr_inflate(&back[0], back.size(), z.data(), z.size(), CmprGzip, &n, &err), -1);
  EXPECT_EQ(err, Z_DATA_ERROR);
  EXPECT_EQ(cmpr_inflate(&back[0], back.size(), z.data(), z.size() / 2, CmprZlib, &n, &err), -1);
  EXPECT_EQ(err, Z_DATA_ERROR);
  EXPECT_EQ(cmpr_deflate(&out[0], out.size(), noise.data(), noise.size(), 7, &n, &err), -1);
  EXPECT_EQ(err, -1);
  EXPECT_EQ(cmpr_deflate(&out[0], out.size(), noise.data(), 0, CmprGzip, &n, &err), 0);
  EXPECT_EQ(n, 0u);
  const std::string text = capture.Text();
  EXPECT_NE(text.find("cmpr_deflate: error reading or writing data buffer (" + version + ")\n"),
            std::string::npos);
  EXPECT_NE(text.find("cmpr_inflate: invalid or incomplete deflate data (" + version + ")\n"),
            std::string::npos);
  EXPECT_NE(text.find("inflate should report Z_STREAM_END\n"), std::string::npos);
}

TEST(Cmpr, NamesTextsAndVersion) {
  struct Case {
    const char* extension;
    int method;
  };
  for (Case c : {Case{"Z", 3}, Case{"z", 3}, Case{"zip", 3}, Case{"gz", 2}, Case{"GZ", 2},
                 Case{"gzip", 2}, Case{"g", 1}, Case{"wib", 1}, Case{"", 1}})
    EXPECT_EQ(cmpr_checkextension(c.extension), c.method) << c.extension;
  EXPECT_EQ(cmpr_checkfiletype("dir.gz/image.wib"), 1);
  EXPECT_EQ(cmpr_checkfiletype("dir/image.wib.gz"), 2);
  EXPECT_EQ(cmpr_checkfiletype("image.Z,1,10"), 3);
  EXPECT_EQ(cmpr_checkfiletype("image"), 1);
  char buf[64];
  EXPECT_STREQ(cmpr_filename(buf, sizeof buf, "a/image.wib.gz", CmprZlib), "a/image.wib.Z");
  EXPECT_STREQ(cmpr_filename(buf, sizeof buf, "image.wib", CmprGzip), "image.wib.gz");
  EXPECT_STREQ(cmpr_filename(buf, sizeof buf, "image.wib.Z", CmprNone), "image.wib");
  EXPECT_STREQ(cmpr_filename(buf, 6, "image.wib", CmprNone), "image");
  EXPECT_STREQ(cmpr_errval2string(-6), "zlib version mismatch!");
  EXPECT_STREQ(cmpr_errval2string(-4), "out of memory");
  EXPECT_STREQ(cmpr_errval2string(-3), "invalid or incomplete deflate data");
  EXPECT_STREQ(cmpr_errval2string(-2), "invalid compression level");
  EXPECT_STREQ(cmpr_errval2string(-1), "error reading or writing data buffer");
  EXPECT_STREQ(cmpr_errval2string(-5), "");
  EXPECT_EQ(std::string(cmpr_version()),
            std::string("cmpr : V1.4 Orrin 2012-06-26 -- zlib : ") + zlibVersion());
}

}  // namespace
