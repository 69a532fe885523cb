// Several instances coming up at once on different threads share one build of the tube
// tables.
#include "core/TubeTables.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

TEST(TubeTablesThreads, ConcurrentFirstUseBuildsOnce)
{
    constexpr int kThreads = 4;
    std::atomic<int> ready{0};
    std::vector<const TubeTables*> seen(kThreads, nullptr);
    std::vector<float> probe(kThreads, 0.0f);
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            ready.fetch_add(1);
            while (ready.load() < kThreads) {
            }
            seen[t] = &TubeTables::instance();
            probe[t] = seen[t]->at(0, 0, 44100);
        });
    }
    for (std::thread& th : threads)
        th.join();
    for (int t = 0; t < kThreads; ++t) {
        EXPECT_EQ(seen[t], seen[0]);
        EXPECT_EQ(probe[t], seen[0]->at(0, 0, 44099));
    }
    EXPECT_EQ(TubeTables::buildCount(), 1);
}
