#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "platform/NativeText.h"
#include "platform/Utf8.h"
#include "support/TestPlatforms.h"

namespace stowaway {
namespace {

namespace fs = std::filesystem;

// Every plane of UTF-8 and UTF-16, both ways, exactly.
TEST(NativeText, ValidTextRoundTripsThroughUtf16) {
    for (const std::string& text : std::vector<std::string>{
             "", "plain.txt", "Ärger ß", "Σίσυφος", "Дача", "日本語の名前", "e\xcc\x81",
             "\xf0\x9f\x98\x80 emoji", "\xef\xbf\xbf\xf4\x8f\xbf\xbf", std::string("a\0b", 3)}) {
        EXPECT_TRUE(IsValidUtf8(text)) << text;
        EXPECT_EQ(Utf16ToUtf8(Utf8ToUtf16(text)), text) << text;
    }
    EXPECT_EQ(Utf8ToUtf16("\xc3\x84"), u"\u00c4");
    EXPECT_EQ(Utf8ToUtf16("\xf0\x9f\x98\x80"), u"\xd83d\xde00");
}

// Each maximal ill-formed subpart becomes one U+FFFD and decoding goes on after
// it; nothing is read past the end.
TEST(NativeText, IllFormedUtf8BecomesReplacementCharacters) {
    struct Case {
        std::string utf8;
        std::u16string utf16;
    };
    for (const Case& c : std::initializer_list<Case>{
             {"a\xff"
              "b",
              u"a\ufffdb"},
             {"\x80\xbf", u"\ufffd\ufffd"},                      // stray continuation bytes
             {"\xc0\xaf", u"\ufffd\ufffd"},                      // overlong '/'
             {"\xe0\x80\xaf", u"\ufffd\ufffd\ufffd"},            // overlong, three bytes
             {"\xed\xa0\x80", u"\ufffd\ufffd\ufffd"},            // an encoded surrogate
             {"\xf4\x90\x80\x80", u"\ufffd\ufffd\ufffd\ufffd"},  // past U+10FFFF
             {"\xe2\x82", u"\ufffd"},                            // cut off at the end
             {"\xe2\x82x", u"\ufffdx"},                          // cut off inside
             {"\xf0\x9f\x98", u"\ufffd"},
             {"\xc3(", u"\ufffd("}}) {
        EXPECT_FALSE(IsValidUtf8(c.utf8));
        EXPECT_EQ(Utf8ToUtf16(c.utf8), c.utf16);
    }
    const std::string cut = "\xf0\x9f";
    EXPECT_EQ(DecodeUtf8(std::string_view(cut.data(), 1), 0).size, 1u);
}

TEST(NativeText, UnpairedSurrogatesBecomeReplacementCharacters) {
    EXPECT_EQ(Utf16ToUtf8(u"a\xd83d"), "a\xef\xbf\xbd");
    EXPECT_EQ(Utf16ToUtf8(u"\xde00z"), "\xef\xbf\xbdz");
    EXPECT_EQ(Utf16ToUtf8(u"\xd83d\xd83d\xde00"), "\xef\xbf\xbd\xf0\x9f\x98\x80");
}

// A long absolute path gets the prefix that lifts MAX_PATH, normalised the way
// Windows would have done without it; short and relative ones stay as given.
TEST(NativeText, LongAbsolutePathsGetTheDevicePrefix) {
    const std::u16string deep(300, u'd');
    EXPECT_EQ(LongPathForm(u"C:\\short\\name.txt"), u"C:\\short\\name.txt");
    EXPECT_EQ(LongPathForm(u"C:/x/./y/../" + deep + u"/f"), u"\\\\?\\C:\\x\\" + deep + u"\\f");
    EXPECT_EQ(LongPathForm(u"C:\\..\\..\\" + deep), u"\\\\?\\C:\\" + deep);
    EXPECT_EQ(LongPathForm(u"C:\\" + deep + u"\\"), u"\\\\?\\C:\\" + deep + u"\\");
    EXPECT_EQ(LongPathForm(u"\\\\server\\share\\..\\" + deep),
              u"\\\\?\\UNC\\server\\share\\" + deep);
    EXPECT_EQ(LongPathForm(u"//server/share/" + deep), u"\\\\?\\UNC\\server\\share\\" + deep);
    EXPECT_EQ(LongPathForm(u"\\\\?\\C:\\" + deep), u"\\\\?\\C:\\" + deep);
    EXPECT_EQ(LongPathForm(u"relative\\" + deep), u"relative\\" + deep);
    EXPECT_EQ(LongPathForm(u"\\\\server" + deep), u"\\\\server" + deep);  // no share
    // The first length that needs it: CreateDirectoryW stops at MAX_PATH - 12.
    const std::u16string edge = u"C:\\" + std::u16string(kLongPathFrom - 3, u'e');
    EXPECT_EQ(LongPathForm(edge.substr(0, edge.size() - 1)), edge.substr(0, edge.size() - 1));
    EXPECT_EQ(LongPathForm(edge), u"\\\\?\\" + edge);

    EXPECT_EQ(WithoutLongPathPrefix(u"\\\\?\\C:\\" + deep), u"C:\\" + deep);
    EXPECT_EQ(WithoutLongPathPrefix(u"\\\\?\\UNC\\srv\\sh\\x"), u"\\\\srv\\sh\\x");
    EXPECT_EQ(WithoutLongPathPrefix(u"\\\\?\\Volume{1}\\x"), u"\\\\?\\Volume{1}\\x");
    EXPECT_EQ(WithoutLongPathPrefix(u"C:\\x"), u"C:\\x");
}

// Names of any script reach the disk as the program spells them and come back
// the same when the folder is listed.
TEST(NativeText, NamesRoundTripThroughTheFileSystem) {
    test::TempDir dir;
    const std::vector<std::string> names = {"\xc3\x84rger.txt", "\xe6\x97\xa5\xe6\x9c\xac",
                                            "\xce\xa3\xcf\x83\xcf\x82", "e\xcc\x81.doc"};
    for (const std::string& name : names) {
        const fs::path path = toPath(dir / name);
        std::ofstream(path) << name;
        EXPECT_TRUE(fs::exists(path)) << name;
        EXPECT_EQ(fromPath(path.filename()), name);
    }
    std::vector<std::string> listed;
    for (const fs::directory_entry& entry : fs::directory_iterator(toPath(dir.path()))) {
        std::ifstream in(entry.path());
        std::string content;
        std::getline(in, content);
        EXPECT_EQ(fromPath(entry.path().filename()), content);
        listed.push_back(content);
    }
    EXPECT_EQ(listed.size(), names.size());
}

#ifndef _WIN32
// On POSIX a name is its bytes, UTF-8 or not: such a file is found by the name
// the program holds and listed back the same.
TEST(NativeText, PosixNamesKeepBytesThatAreNotUtf8) {
    test::TempDir dir;
    for (const std::string name : {"bad\xff\xfe.txt", "cut\xe2\x82"}) {
        const fs::path path = toPath(dir / name);
        std::ofstream(path) << name;
        EXPECT_TRUE(fs::exists(dir / name)) << name;
        EXPECT_EQ(fromPath(path), dir / name);
    }
}
#endif

}  // namespace
}  // namespace stowaway
