#include "engine/schedule/CronBlock.h"

#include <gtest/gtest.h>

namespace stowaway {
namespace {

const std::string Begin = std::string(CronBeginMarker) + "\n";
const std::string End = std::string(CronEndMarker) + "\n";

TEST(CronBlock, TheUsersLinesStayWhereAndAsTheyAre) {
    const std::string mine = "MAILTO=me\n# my own\n0 5 * * * backup.sh   # keep   spacing\n";
    const std::string after = "@reboot echo hi\n";
    const std::vector<CronEntry> one = {{"Docs", "/opt/stowaway", "30 2 * * *"}};
    const std::string added = WithCronBlock(mine, one);
    EXPECT_EQ(added, mine + Begin + "30 2 * * * '/opt/stowaway' -abu 'Docs'\n" + End);

    // A block in the middle is replaced in place.
    const std::string middle = mine + Begin + "old line\n" + End + after;
    const std::vector<CronEntry> two = {{"Docs", "/opt/stowaway", "30 2 * * *"},
                                        {"Mail", "/opt/stowaway", "0 9 * * 1,4"}};
    EXPECT_EQ(WithCronBlock(middle, two), mine + Begin +
                                              "30 2 * * * '/opt/stowaway' -abu 'Docs'\n"
                                              "0 9 * * 1,4 '/opt/stowaway' -abu 'Mail'\n" +
                                              End + after);
    // No entries: the block goes, the user's lines stay.
    EXPECT_EQ(WithCronBlock(middle, {}), mine + after);
    EXPECT_EQ(WithCronBlock("", {}), "");
    EXPECT_FALSE(ReadCronBlock(middle).damaged);
    EXPECT_TRUE(ReadCronBlock(mine + Begin + "x\n").damaged);
}

}  // namespace
}  // namespace stowaway
