// Key replacement with the built-in keys, block and parameter selection,
// nesting, limits and the numeric variants.
#include "kelopack/KeloReplacekey.h"

#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <string>

#include "kelopack/KeloError.h"
#include "testutil.h"

namespace {

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[3];
};

class Replacekey : public ::testing::Test {
 protected:
  void SetUp() override {
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &b_->cb, b_->ib, 3);
    ImgBlk* ib = b_->ib;
    strcpy(ib[0].FileName, "/data/out/result.wib");
    strcpy(ib[1].FileName, "in put.wib");
    strcpy(ib[2].FileName, "INUM  two words");
    for (int i = 0; i < 3; ++i) {
      ib[i].FileNumber = 10 + i;
      ib[i].LoopNumber = 20 + i;
      ib[i].Memory.V = i == 2 ? -1 : 1;
    }
    b_->cb.Cycles = 4;
  }
  void TearDown() override { ReleaseOptions(&b_->cb); }
  std::string Replace(const char* text, long npar, long blkno, size_t buflen = 1024) {
    char buffer[1024];
    int status = -7;
    char* r = replacekey(buffer, buflen, text, npar, &b_->cb, b_->ib, num_, blkno, &status);
    EXPECT_EQ(status, Success);
    return r ? std::string(r) : std::string("(null)");
  }
  std::unique_ptr<Blocks> b_;
  long num_[3] = {7, 8, 9};
};

TEST_F(Replacekey, BuiltInKeysBlocksAndWords) {
  struct Case {
    const char* text;
    long npar, blkno;
    const char* want;
  } cases[] = {
      {"out[INUM].wib", 1, 0, "out7.wib"},
      {"[FNAME,1]", 1, 0, "in"},                   // first word of block 1's name
      {"[FNAME,1,0]", 1, 0, "in put.wib"},         // whole value
      {"[FNAME,1,2]", 0, 0, "put.wib"},
      {"[FNAME]", 0, 1, "in put.wib"},             // caller's block and parameter
      {"[FNUMBER]", 1, 2, "12"},                   // a name beginning with FNUM
      {"[FNUM,0]/[LNUM,0]/[MNUM,2]", 1, 1, "10/20/-1"},
      {"[INUM,2]", 1, 0, "9"},
      {"[INUM,7]", 1, 0, "9"},                     // block clamped to the last
      {"[INUM,-3]", 1, 1, "7"},                    // ... and to 0
      {"[INUM,1+1]", 1, 0, "9"},                   // block as an expression
      {"[INUM,junk]", 1, 1, "8"},                  // unreadable block: default
      {"[FPATH,0]", 1, 1, "/data/out/"},
      {"[CYCLES]", 1, 0, "4"},
      {"[FNAME,2,2]", 0, 0, ""},                    // two blanks: empty second word
      {"[FNAME,2,3]", 0, 0, "two"},
      {"[FNAME,2,9]", 0, 0, ""},                    // beyond the last word
      {"[FNUM,1,0,5,6]", 1, 0, "11"},               // further expressions ignored
      {"[[FNAME,2],1]", 0, 0, "8"},                 // nested key in the name: INUM
      {"[FNUM,[LNUM,2]-20]", 1, 0, "12"},           // nested key in the block
      {"a[nosuchkey,1,2]b", 1, 0, "a[nosuchkey,1,2]b"},
      {"x[FNUM", 1, 0, "x10"},                      // the input ends the key
      {"x[nokey", 1, 0, "x[nokey"},
      {"no keys at all", 1, 0, "no keys at all"},
      {"", 1, 0, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(Replace(c.text, c.npar, c.blkno), c.want) << c.text;
}

TEST_F(Replacekey, LimitsAndMissingBlocks) {
  EXPECT_EQ(Replace("abcdefgh", 1, 0, 5), "abcd");
  EXPECT_EQ(Replace("ab[FNAME,1,0]", 1, 0, 6), "abin ");
  EXPECT_EQ(Replace("abc", 1, 0, 0), "(null)");
  // Key names are cut at 64 characters.
  const std::string longname = "[FNUM" + std::string(100, 'x') + "]";
  EXPECT_EQ(Replace(longname.c_str(), 1, 0), "10");
  // Without blocks the text is copied as it is.
  char buffer[16];
  int status = -7;
  EXPECT_STREQ(replacekey(buffer, sizeof buffer, "[INUM]", 1, nullptr, nullptr, nullptr, 0,
                          &status),
               "[INUM]");
  EXPECT_EQ(status, Success);
  // Without image numbers INUM is 1.
  EXPECT_STREQ(replacekey(buffer, sizeof buffer, "[INUM]", 1, &b_->cb, b_->ib, nullptr, 0,
                          &status),
               "1");
}

TEST_F(Replacekey, NumericVariants) {
  int status = -7;
  EXPECT_EQ(longkeyvalue("[INUM]*2", &b_->cb, b_->ib, num_, 1, &status), 16);
  EXPECT_EQ(status, Success);
  EXPECT_EQ(floatkeyvalue("[FNUM,2]/4", &b_->cb, b_->ib, num_, 1, &status), 3.0f);
  EXPECT_EQ(doublekeyvalue("[LNUM]+0.5", &b_->cb, b_->ib, num_, 2, &status), 22.5);
  // A text that is no number: the status of the evaluation, the replaced
  // text as message.
  SetKeloError("KeloImage", "test", nullptr);
  EXPECT_EQ(longkeyvalue("abc[INUM]", &b_->cb, b_->ib, num_, 1, &status), 0);
  EXPECT_NE(status, Success);
  ASSERT_TRUE(KeloErrorBlock().Message.has_value());
  EXPECT_EQ(*KeloErrorBlock().Message, "abc8");
  KeloError_init();
}

TEST_F(Replacekey, DebugLines) {
  b_->cb.TestBit = 1;
  char buffer[64];
  int status = -7;
  testutil::Capture out(stdout);
  linekeyvalue(buffer, sizeof buffer, "f[INUM]", 1, &b_->cb, b_->ib, num_, 0, &status);
  longkeyvalue("[INUM]", &b_->cb, b_->ib, num_, 2, &status);
  EXPECT_EQ(out.Text(),
            "linekeyvalue: string=f[INUM], npar=1, value=f7\n"
            "longkeyvalue: string=[INUM], line=9, value=9\n");
  b_->cb.TestBit = 0;
}

}  // namespace
