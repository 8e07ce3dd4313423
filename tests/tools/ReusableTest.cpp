// What a thread borrows for an entry: its own while it holds it, kept for the
// next one after, never more kept than were borrowed at once.
#include <gtest/gtest.h>

#include <set>

#include "Reusable.h"

namespace {

using pkzip::Reusable;

struct Counted {
    static inline int made = 0;
    Counted() { ++made; }
    int uses = 0;
};

TEST(Reusable, LendsOneToEachHolderAndKeepsThemForTheNext) {
    Reusable<Counted> pool;
    Counted::made = 0;
    {
        const Reusable<Counted>::Lease a(pool), b(pool), c(pool);
        EXPECT_EQ(std::set<Counted*>({&*a, &*b, &*c}).size(), 3u);
        a->uses = 1, b->uses = 2, c->uses = 3;
    }
    EXPECT_EQ(pool.Kept(), 3u);
    for (int round = 0; round < 100; ++round) {
        const Reusable<Counted>::Lease again(pool);
        EXPECT_GT(again->uses, 0) << "a kept one, not a new one";
    }
    EXPECT_EQ(Counted::made, 3);
    EXPECT_EQ(pool.Kept(), 3u);
}

}  // namespace
