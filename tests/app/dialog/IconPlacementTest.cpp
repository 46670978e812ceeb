#include <gtest/gtest.h>

#include "IconPlacement.h"

namespace {

TEST(IconPlacementTest, CentresWithTruncationTowardZero) {
  const struct {
    int client;
    int icon;
    int origin;
  } cases[] = {{36, 32, 2}, {32, 32, 0}, {37, 32, 3}, {0, 32, -15}, {1, 32, -15}, {-2, 32, -16}};
  for (const auto& c : cases) EXPECT_EQ(IconOrigin(c.client, c.icon), c.origin) << c.client;
}

}  // namespace
