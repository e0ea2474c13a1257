#include <gtest/gtest.h>

#include <atomic>
#include <cstdio>
#include <thread>
#include <vector>

#include "core/singleton.h"

namespace {

std::atomic<int> constructed{0};

struct First {
    First() { ++constructed; }
    ~First() { std::fprintf(stderr, "~First\n"); }
};
struct Second {
    // A singleton whose constructor uses another one: the lock must allow it.
    Second() { qn::Singleton<First>::Instance(); }
    ~Second() { std::fprintf(stderr, "~Second "); }
};
struct Failing {
    static int attempts;
    Failing() {
        if (++attempts == 1) throw 1;
    }
};
int Failing::attempts = 0;

TEST(Singleton, ConcurrentFirstUseCreatesOnce) {
    std::vector<std::thread> threads;
    std::vector<First*> seen(8);
    for (int i = 0; i < 8; ++i) threads.emplace_back([&, i] { seen[i] = &qn::Singleton<First>::Instance(); });
    for (auto& t : threads) t.join();
    EXPECT_EQ(constructed, 1);
    for (First* p : seen) EXPECT_EQ(p, seen[0]);
}

TEST(Singleton, FailedConstructionIsRetriedOnNextUse) {
    EXPECT_ANY_THROW(qn::Singleton<Failing>::Instance());
    EXPECT_FALSE(qn::Singleton<Failing>::Exists());
    qn::Singleton<Failing>::Instance();
    EXPECT_EQ(Failing::attempts, 2);
}

TEST(SingletonDeathTest, DestroyedInReverseOrderOfCreationAtExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    // Second is created first but finishes after First, which it creates inside.
    EXPECT_EXIT(
        {
            qn::Singleton<Second>::Instance();
            std::exit(0);
        },
        testing::ExitedWithCode(0), "~Second ~First");
}

}  // namespace
