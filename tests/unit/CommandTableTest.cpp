#include "dispatch/CommandTable.h"
#include <gtest/gtest.h>
TEST(CommandTable, Placeholder) { EXPECT_EQ(CommandTable().lookup(L"config"), 0); }
