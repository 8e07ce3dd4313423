#include "store/ItemReader.h"

#include <gtest/gtest.h>

#include <sstream>

namespace stowaway {
namespace {

std::vector<std::string> ReadAll(const std::string& text) {
    std::istringstream in(text);
    ItemReader reader(in);
    std::vector<std::string> items;
    while (!reader.atEnd()) items.push_back(reader.ReadItem());
    return items;
}

TEST(ItemReader, SplitsAtCommasAndLineEnds) {
    EXPECT_EQ(ReadAll("a,b\r\nc\nd\re"), (std::vector<std::string>{"a", "b", "c", "d", "e"}));
}

TEST(ItemReader, QuotedItemKeepsCommasAndSkipsToTheDelimiter) {
    EXPECT_EQ(ReadAll("\"a,b\" junk,c\r\n\"MAX=1\"\r\n"),
              (std::vector<std::string>{"a,b", "c", "MAX=1"}));
}

TEST(ItemReader, SkipsLeadingBlanksAndDropsTrailingSpaces) {
    EXPECT_EQ(ReadAll("  \t  Name: x   \r\n"), (std::vector<std::string>{"Name: x"}));
}

TEST(ItemReader, EmptyLineIsOneEmptyItem) {
    EXPECT_EQ(ReadAll("\r\nStowaway\r\n\r\n   \r\nx"),
              (std::vector<std::string>{"", "Stowaway", "", "", "x"}));
}

TEST(ItemReader, ReadingAtTheEndIsAnError) {
    std::istringstream in("only");
    ItemReader reader(in);
    EXPECT_EQ(reader.ReadItem(), "only");
    EXPECT_TRUE(reader.atEnd());
    EXPECT_THROW(reader.ReadItem(), ReadPastEnd);
}

}  // namespace
}  // namespace stowaway
