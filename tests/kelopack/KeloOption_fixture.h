// Test fixture shared by the option tests: a command block with one output
// and one input image block, initialised by InitOptions and released after
// the test.
#ifndef TESTS_KELOPACK_KELOOPTION_FIXTURE_H
#define TESTS_KELOPACK_KELOOPTION_FIXTURE_H

#include <gtest/gtest.h>

#include <memory>

#include "kelopack/KeloOption.h"

class OptionBlocks : public ::testing::Test {
 protected:
  struct Blocks {
    CmdBlk cb;
    ImgBlk ib[2];
  };
  void SetUp() override {
    b_ = std::make_unique<Blocks>();
    InitOptions("<usage>", "prog V1.0", nullptr, 1, &cb(), b_->ib, 2);
  }
  void TearDown() override { ReleaseOptions(&cb()); }
  CmdBlk& cb() { return b_->cb; }
  ImgBlk* ib() { return b_->ib; }

  std::unique_ptr<Blocks> b_;
};

#endif
