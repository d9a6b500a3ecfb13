// The help key every window shares.
#include <gtest/gtest.h>

#include "openers/openers.h"

namespace tav {
namespace {

TEST(HelpKeyTest, ConsumesOnlyF5) {
  WORD key = VK_F5;
  EXPECT_TRUE(HandleHelpKey(key, 17));
  EXPECT_EQ(key, 0);
  key = VK_F1;
  EXPECT_FALSE(HandleHelpKey(key, 17));
  EXPECT_EQ(key, VK_F1);
}

}  // namespace
}  // namespace tav
