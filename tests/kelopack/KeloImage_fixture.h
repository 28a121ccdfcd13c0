// Test fixture shared by the image file, reading, writing and loop tests: a
// command block with up to four image blocks, a scratch directory, Wib
// files made in the test and read back from disk.
#ifndef TESTS_KELOPACK_KELOIMAGE_FIXTURE_H
#define TESTS_KELOPACK_KELOIMAGE_FIXTURE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "kelopack/KeloError.h"
#include "kelopack/KeloImage.h"
#include "testutil.h"
#include "wibpack/wibio.h"

// One header as it stands in a file: its keys and values in file order.
using HeaderText = std::vector<std::pair<std::string, std::string>>;

// The headers of all blocks of a Wib file, parsed from its bytes.
inline std::vector<HeaderText> FileHeaders(const std::string& path) {
  const std::string bytes = testutil::ReadFile(path);
  std::vector<HeaderText> headers;
  size_t pos = 0;
  while ((pos = bytes.find("{\r\n", pos)) != std::string::npos) {
    const size_t end = bytes.find("\r\n}\n", pos);
    if (end == std::string::npos) break;
    HeaderText h;
    size_t line = pos + 3;
    while (line < end) {
      size_t eol = bytes.find("\r\n", line);
      if (eol == std::string::npos || eol > end) eol = end;
      const std::string text = bytes.substr(line, eol - line);
      const size_t eq = text.find(" = ");
      if (eq != std::string::npos && text.size() >= 2 && text.compare(text.size() - 2, 2, " ;") == 0)
        h.emplace_back(text.substr(0, eq), text.substr(eq + 3, text.size() - eq - 5));
      line = eol + 2;
    }
    headers.push_back(h);
    // Skip the binary section: continue after the end marker.
    pos = end + 4;
    const auto size = std::find_if(h.begin(), h.end(),
                                   [](const auto& kv) { return kv.first == "WIB_BinarySize"; });
    if (size != h.end()) pos += std::stoul(size->second);
  }
  return headers;
}

// The value of key in a header, or "(none)".
inline std::string Value(const HeaderText& h, const std::string& key) {
  for (const auto& kv : h)
    if (kv.first == key) return kv.second;
  return "(none)";
}

class ImageFiles : public ::testing::Test {
 protected:
  struct Blocks {
    CmdBlk cb;
    ImgBlk ib[4];
  };

  // A command block with n image blocks (block 0 the output); every block
  // gets an explicit open mode, inputs "o+fp" and the output "n".
  void Init(int n) {
    if (b_) ReleaseOptions(&b_->cb);
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &b_->cb, b_->ib, n);
    wib_history_new(KeloHistoryKey);
    wib_history_argv(KeloHistoryKey, "prog");
    for (int i = 0; i < n; ++i) {
      ib(i).OpenMode.V = i == 0 ? IO_New : IO_Old | IO_FileProtect;
      ib(i).OpenMode.I = 1;
    }
  }
  void SetUp() override { Init(2); }
  void TearDown() override {
    ReleaseOptions(&b_->cb);
    wib_free_data_file();
    wib_free_header(nullptr);
    wib_set_datatype(0);
    wib_set_datacompression(0);
    wib_set_datavalueoffset(0);
    wib_general_block(0);
    wib_set_minimumheadersize(MINIMUM_HEADERSIZE_OUT);
    KeloError_init();
  }

  CmdBlk* cb() { return &b_->cb; }
  ImgBlk& ib(int i) { return b_->ib[i]; }
  ImgBlk* ibs() { return b_->ib; }
  std::string Path(const std::string& name) const { return dir_.file(name); }

  static void SetText(IO_line& v, const std::string& text) {
    snprintf(v.V, sizeof v.V, "%s", text.c_str());
    v.I = 1;
  }
  static void SetText(IO_flexp& v, const std::string& text) {
    snprintf(v.V, sizeof v.V, "%s", text.c_str());
    v.I = 1;
  }
  static void SetText(IO_lvexp& v, const std::string& text) {
    snprintf(v.V, sizeof v.V, "%s", text.c_str());
    v.I = 1;
  }
  static void SetLong(IO_long& v, long value) {
    v.V = value;
    v.I = 1;
  }

  // Writes images of d1 x d2 pixels into the file name (created anew), with
  // the pixel values value(image number, pixel index) and the header keys
  // given for every image.
  struct FileLayout {
    std::vector<long> numbers;
    long d1 = 4, d2 = 3;
    std::function<float(long, long)> value = [](long n, long i) {
      return static_cast<float>(100 * n + i);
    };
    HeaderText keys;
    int memory = 1;
  };
  void MakeFile(const std::string& name, const FileLayout& s) {
    int err = 0, status = 0;
    const long stream = wib_open_data_file(Path(name).c_str(), "new", &err, &status);
    ASSERT_GE(stream, 0) << wib_report_data_error(err);
    for (long n : s.numbers) {
      for (const auto& kv : s.keys)
        wib_write_header_string(stream, n, s.memory, kv.first.c_str(), kv.second.c_str(), &err,
                                &status);
      std::vector<float> data(static_cast<size_t>(s.d1 * s.d2));
      for (long i = 0; i < s.d1 * s.d2; ++i) data[static_cast<size_t>(i)] = s.value(n, i);
      const long dim[3] = {2, s.d1, s.d2};
      wib_write_data(stream, n, s.memory, dim, data.data(), MFloat, &err, &status);
      ASSERT_EQ(status, status_success) << wib_report_data_error(err);
    }
    wib_close_data_file(stream, &err, &status);
    ASSERT_EQ(status, status_success);
  }

  // The pixels of image number of memory in a file, read with a stream of
  // its own (empty when the image cannot be read).
  static std::vector<float> Pixels(const std::string& path, long number, int memory = 1,
                                   std::vector<long>* pdim = nullptr) {
    int err = 0, status = 0;
    const long stream = wib_open_data_file(path.c_str(), "read", &err, &status);
    std::vector<float> out;
    if (stream < 0) return out;
    long* dim = nullptr;
    size_t size = 0;
    void* data = nullptr;
    wib_read_data(stream, number, memory, &dim, &size, &data, MFloat, &err, &status);
    if (status == status_success) {
      const float* f = static_cast<const float*>(data);
      out.assign(f, f + wib_dim_product(dim));
      if (pdim) pdim->assign(dim, dim + dim[0] + 1);
    }
    wib_close_data_file(stream, &err, &status);
    return out;
  }

  // The image numbers of memory in a file.
  static std::vector<long> Numbers(const std::string& path, int memory = 1) {
    std::vector<long> numbers;
    for (const HeaderText& h : FileHeaders(path)) {
      const std::string id = Value(h, "WIB_DataBlockID");
      const size_t dot = id.find('.');
      if (dot == std::string::npos) continue;
      const std::string chain = id.substr(dot + 1);
      const bool variance = chain.find("Error") != std::string::npos;
      if ((memory > 0) == !variance) numbers.push_back(std::stol(id.substr(0, dot)));
    }
    return numbers;
  }

  std::unique_ptr<Blocks> b_;
  testutil::TempDir dir_;
};

#endif
