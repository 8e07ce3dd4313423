#include "platform/CaseFold.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <unordered_map>

#include "engine/Wildcard.h"
#include "platform/CaseTables.h"
#include "platform/Text.h"
#include "support/NonAsciiNames.h"

namespace stowaway {
namespace {

TEST(CaseFold, SharedNamePairsCompareAsTheTableSays) {
    for (const test::NamePair& p : test::NonAsciiNamePairs()) {
        SCOPED_TRACE(p.name + " / " + p.other + ": " + p.why);
        EXPECT_EQ(EqualsIgnoreCase(p.name, p.other), p.same);
        EXPECT_EQ(CompareIgnoreCase(p.name, p.other) == 0, p.same);
        EXPECT_EQ(CompareIgnoreCase(p.name, p.other), -CompareIgnoreCase(p.other, p.name));
        EXPECT_EQ(FoldCase(p.name) == FoldCase(p.other), p.same);
        EXPECT_EQ(FoldedCharacters(p.name) == FoldedCharacters(p.other), p.same);
        // A name matches itself as a wildcard in the other spelling.
        EXPECT_EQ(MatchesWildcard(p.name, p.other), p.same);
        EXPECT_TRUE(MatchesWildcard(p.name, "*"));
    }
}

// ASCII keeps the answers it always had, byte for byte: A-Z fold to a-z and
// nothing else changes, and the order is that of the lowered bytes.
TEST(CaseFold, AsciiIsUnchanged) {
    std::string all;
    for (int c = 1; c < 128; ++c) all += static_cast<char>(c);
    std::string lowered = all;
    for (char& c : lowered)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    EXPECT_EQ(FoldCase(all), lowered);
    EXPECT_EQ(ToLower(all), lowered);
    std::string upper = all;
    for (char& c : upper)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    EXPECT_EQ(ToUpper(all), upper);
    EXPECT_EQ(CompareIgnoreCase("_", "a"), -1);  // '_' below 'a', though above 'A'
    EXPECT_EQ(CompareIgnoreCase("ab", "AB"), 0);
    EXPECT_EQ(CompareIgnoreCase("ab", "ABC"), -1);
    EXPECT_EQ(CompareIgnoreCase("Zebra", "Ärger"), -1);  // characters' order after A-Z
}

// Changing case is the simple lower and upper case, one character for one; bytes
// that are not UTF-8 stay as they are.
TEST(CaseFold, LowerAndUpperAreSimpleCase) {
    EXPECT_EQ(ToLower("ΣΟΦΟΣ"), "σοφοσ");
    EXPECT_EQ(ToUpper("σοφος"), "ΣΟΦΟΣ");
    EXPECT_EQ(ToUpper("straße"), "STRAßE");
    EXPECT_EQ(ToLower("İ"), "i");
    EXPECT_EQ(FoldCase("İ"), "İ");
    EXPECT_EQ(ToLower("Bad \xff Cut \xe2\x82"), "bad \xff cut \xe2\x82");
    EXPECT_EQ(FoldedCharacters("a\xff\xe2\x82"),
              (std::u32string{U'a', kStrayByte + 0xff, kStrayByte + 0xe2, kStrayByte + 0x82}));
}

// Wildcards ignore case in any script, the brackets' ranges included.
TEST(CaseFold, WildcardsMatchFoldedCharacters) {
    EXPECT_TRUE(MatchesWildcard("ΣΟΦΟΣ.TXT", "σοφος.*"));
    EXPECT_TRUE(MatchesWildcard("Ärger.doc", "[ä-ö]rger.DOC"));
    EXPECT_TRUE(MatchesWildcard("Дача 2024", "дача ####"));
    EXPECT_FALSE(MatchesWildcard("Straße", "strasse"));
    EXPECT_TRUE(MatchesWildcard("bad\xff.txt", "BAD?.txt"));
}

// Parses "XXXX; C; YYYY" lines and UnicodeData's simple case columns.
std::unordered_map<char32_t, char32_t> ReadPairs(std::istream& in, int field) {
    std::unordered_map<char32_t, char32_t> out;
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        std::vector<std::string> fields;
        std::istringstream split(line);
        for (std::string f; std::getline(split, f, ';');) {
            const std::size_t a = f.find_first_not_of(' '), b = f.find_last_not_of(' ');
            fields.push_back(a == std::string::npos ? "" : f.substr(a, b - a + 1));
        }
        if (field < 0) {  // CaseFolding.txt
            if (fields.size() >= 3 && (fields[1] == "C" || fields[1] == "S"))
                out[static_cast<char32_t>(std::stoul(fields[0], nullptr, 16))] =
                    static_cast<char32_t>(std::stoul(fields[2], nullptr, 16));
        } else if (fields.size() > static_cast<std::size_t>(field) && !fields[field].empty()) {
            out[static_cast<char32_t>(std::stoul(fields[0], nullptr, 16))] =
                static_cast<char32_t>(std::stoul(fields[field], nullptr, 16));
        }
    }
    return out;
}

// The committed table is the Unicode data Debian ships (unicode-data), character
// for character; regenerate it with scripts/case_table.py when this fails.
TEST(CaseTable, AgreesWithTheUnicodeData) {
    std::ifstream folding("/usr/share/unicode/CaseFolding.txt");
    std::ifstream data("/usr/share/unicode/UnicodeData.txt");
    if (!folding || !data) GTEST_SKIP() << "unicode-data is not installed";
    std::string first;
    std::getline(folding, first);
    EXPECT_EQ(first, std::string("# CaseFolding-") + kCaseTablesUnicodeVersion + ".txt");
    const auto fold = ReadPairs(folding, -1);
    const auto upper = ReadPairs(data, 12);
    data.clear();
    data.seekg(0);
    const auto lower = ReadPairs(data, 13);
    ASSERT_GT(fold.size(), 1000u);
    const auto expected = [](const auto& map, char32_t c) {
        const auto it = map.find(c);
        return it == map.end() ? c : it->second;
    };
    int wrong = 0;
    for (char32_t c = 0; c < 0x110000 && wrong < 10; ++c) {
        const bool right = FoldChar(c) == expected(fold, c) && LowerChar(c) == expected(lower, c) &&
                           UpperChar(c) == expected(upper, c);
        if (!right) ++wrong;
        EXPECT_TRUE(right) << "U+" << std::hex << static_cast<unsigned long>(c);
    }
}

}  // namespace
}  // namespace stowaway
