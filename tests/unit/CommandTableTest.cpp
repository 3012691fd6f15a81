#include "config/CommandTable.h"

#include <gtest/gtest.h>


TEST(CommandTable, NamesAreFoundOnlyAsWrittenAtTheirCodes) {
    const CommandTable table;
    EXPECT_EQ(table.lookup(L"config"), 0);
    EXPECT_EQ(table.lookup(L"getDirectoriesAndFilesRecursively"), 13);
    EXPECT_EQ(table.lookup(L"getUser"), 16);
    EXPECT_EQ(table.lookup(L"getFilesRecursively"), 18);
    for (const wchar_t* name : {L"registry", L"REGISTRY", L"Registry ", L"", L"getfile"}) {
        EXPECT_EQ(table.lookup(name), CommandTable::notFound) << name;
    }
    for (int code = 0; code < CommandTable::size; ++code) EXPECT_EQ(table.lookup(table.name(code)), code);
}

TEST(CommandTable, FunctionsBelongToTheirCategoriesOnly) {
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::getUser), CommandTable::system);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::getFiles), CommandTable::directory);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::getDirectoriesAndFilesRecursively), CommandTable::directory);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::config), CommandTable::notFound);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::registry), CommandTable::notFound);
    EXPECT_EQ(CommandTable::categoryOf(CommandTable::notFound), CommandTable::notFound);
    EXPECT_TRUE(CommandTable().isGroupingName(L"Service"));
    EXPECT_FALSE(CommandTable().isGroupingName(L"getKey"));
}
