// The shared checks of an edge measurement: robust levels, the "no edge" refusal and the warnings.
#include "edge_checks.h"

#include <gtest/gtest.h>

TEST(PreciseEdgeChecks, Placeholder)
{
    EXPECT_EQ(vantry::robustLevel({1, 2, 3}).median, 2);
}
