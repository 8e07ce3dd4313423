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

// Commas and every kind of line end split; a quoted item keeps its commas and
// skips to the delimiter; blanks go at the start, spaces at the end; an empty
// line is one empty item.
TEST(ItemReader, SplitsQuotesTrimsAndKeepsEmptyLines) {
    const std::pair<const char*, std::vector<std::string>> cases[] = {
        {"a,b\r\nc\nd\re", {"a", "b", "c", "d", "e"}},
        {"\"a,b\" junk,c\r\n\"MAX=1\"\r\n", {"a,b", "c", "MAX=1"}},
        {"  \t  Name: x   \r\n", {"Name: x"}},
        {"\r\nStowaway\r\n\r\n   \r\nx", {"", "Stowaway", "", "", "x"}},
    };
    for (const auto& [text, items] : cases) EXPECT_EQ(ReadAll(text), items) << text;
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
