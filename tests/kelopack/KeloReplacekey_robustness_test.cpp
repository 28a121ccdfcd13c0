// Key replacement of hostile texts: nesting of any depth ends with a defined
// result instead of exhausting the call stack.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "kelopack/KeloError.h"
#include "kelopack/KeloReplacekey.h"

namespace {

struct Blocks {
  CmdBlk cb;
  ImgBlk ib[2];
};

}  // namespace

TEST(ReplacekeyRobustness, DeepNestingIsCopiedAsWritten) {
  auto b = std::make_unique<Blocks>();
  InitOptions("<usage>", "prog V1.0", nullptr, 1, &b->cb, b->ib, 2);
  b->ib[1].FileNumber = 5;
  const long num[2] = {1, 1};
  const std::string texts[] = {
      std::string(1023, '['),
      std::string(500, '[') + "FNUM,1" + std::string(500, ']'),
      std::string(100000, '[') + std::string(100000, ']'),
  };
  for (const std::string& text : texts) {
    char buffer[1024];
    int status = -7;
    ASSERT_EQ(replacekey(buffer, sizeof buffer, text.c_str(), 0, &b->cb, b->ib, num, 1, &status),
              buffer);
    EXPECT_EQ(status, Success);
    // Nothing can be replaced so deep: the text stays as written.
    EXPECT_EQ(std::string(buffer), text.substr(0, sizeof buffer - 1));
    status = Success;
    longkeyvalue(text.c_str(), &b->cb, b->ib, num, 1, &status);
    EXPECT_NE(status, Success);
  }
  // Moderate nesting still works.
  char buffer[64];
  int status = -7;
  replacekey(buffer, sizeof buffer, "[FNUM,[FNUM,[FNUM,1]-4]-4]", 0, &b->cb, b->ib, num, 0, &status);
  EXPECT_EQ(std::string(buffer), "5");
  ReleaseOptions(&b->cb);
}
