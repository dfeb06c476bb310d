// Tests that start from a fresh configuration (the default preferences, one language) and leave none
// behind for the next test.
#pragma once

#include <gtest/gtest.h>

#include "engine/ConcConfig.h"

class TFreshConfigTest : public ::testing::Test {
protected:
    void SetUp() override {
        ResetGlobalsForTest();
        InitConfigUnit();
    }
    void TearDown() override { ResetGlobalsForTest(); }
};
