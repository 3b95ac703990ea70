#include "help_window/usage_text.h"

#include <gtest/gtest.h>

#include "common/expected_texts.h"

namespace duomira {
namespace {

// The whole text against the copy written out in the tests: a changed
// character (a kana's width, a bracket, an arrow), blank or line break fails.
TEST(UsageTextTest, IsTheWrittenText) { EXPECT_EQ(BuildUsageText(), expected::kUsageText); }

}  // namespace
}  // namespace duomira
