// The module's memory as the simulated server counts it: blocks out, calls
// made, allocations made to fail, and the messages the server takes over.
#include "sim_fake_module.h"
#include "sim/heap.h"

#include <gtest/gtest.h>

#include <cstring>
#include <map>

using kestrom::sim::ModuleHeap;
using kestrom::simtest::FakeModule;
using kestrom::simtest::FakeWorld;
using kestrom::simtest::submittedTalk;

namespace {

// Which of `calls` allocation calls succeed.
std::vector<bool> outcomes(ModuleHeap &heap, int calls) {
    std::vector<bool> got;
    std::vector<void *> blocks;
    for (int i = 0; i < calls; ++i) {
        void *p = heap.allocate(8, i % 2 == 0);
        got.push_back(p != nullptr);
        blocks.push_back(p);
    }
    for (void *p : blocks)
        if (p) heap.release(p);
    return got;
}

TEST(SimHeap, CountsBlocksOutAndCallsMade) {
    ModuleHeap heap;
    void *a = heap.allocate(16, false);
    void *b = heap.allocate(0, true);
    ASSERT_TRUE(a && b);
    EXPECT_EQ(heap.outstanding(), 2u);
    EXPECT_EQ(heap.blockSize(a), 16u);
    EXPECT_TRUE(heap.release(a));
    EXPECT_FALSE(heap.release(a)) << "a second release is refused";
    int local = 0;
    EXPECT_FALSE(heap.release(&local));
    EXPECT_EQ(heap.outstanding(), 1u);
    EXPECT_EQ(heap.allocationsMade(), 2);
}

TEST(SimHeap, ClearedBlocksAreZero) {
    ModuleHeap heap;
    auto *p = static_cast<unsigned char *>(heap.allocate(64, true));
    for (int i = 0; i < 64; ++i) ASSERT_EQ(p[i], 0);
}

TEST(SimHeap, FailureInjectionCountsFromWhenItIsArmed) {
    struct Case {
        const char *what;
        int before; // calls made before arming
        bool from;  // failFrom rather than failOnly
        long k;
        std::vector<bool> expected;
    };
    const Case cases[] = {
        {"only the third", 0, false, 3, {true, true, false, true, true}},
        {"only the first", 0, false, 1, {false, true, true}},
        {"from the second", 0, true, 2, {true, false, false, false}},
        {"only the next, after two calls", 2, false, 1, {false, true}},
        {"from the next, after three calls", 3, true, 1, {false, false}},
    };
    for (const Case &c : cases) {
        ModuleHeap heap;
        outcomes(heap, c.before);
        if (c.from) heap.failFrom(c.k);
        else heap.failOnly(c.k);
        EXPECT_EQ(outcomes(heap, static_cast<int>(c.expected.size())), c.expected) << c.what;
        heap.stopFailing();
        EXPECT_EQ(outcomes(heap, 1), std::vector<bool>{true}) << c.what;
    }
}

TEST(SimHeap, ServerCountsTheModulesCallsAndFaultsBadReturns) {
    FakeWorld world;
    auto &heap = world.server.heap();
    const long before = heap.allocationsMade();
    heap.failOnly(2);
    void *a = NewPtr(4);
    void *b = NewPtrClear(4);
    EXPECT_NE(a, nullptr);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(heap.allocationsMade(), before + 2);
    DisposePtr(a);
    DisposePtr(nullptr);
    EXPECT_EQ(world.server.faults(), 0);
    DisposePtr(a);
    EXPECT_EQ(world.server.faults(), 1);
}

TEST(SimHeap, SubmittedMessagesAreReturnedOnceHandled) {
    FakeWorld world;
    kestrom::sim::SimUser *bob = world.addUser("Bob", 1);
    FakeModule::onMessage = [](ServerState *ss, ClientMsg *m) {
        if (std::strcmp(reinterpret_cast<char *>(m + 1), "go") == 0) {
            deliverMessageNormal(1, submittedTalk("normal"), ss->currentUser);
            deliverMessageDirect(1, submittedTalk("direct"), ss->currentUser);
        }
        return m;
    };
    world.server.send(*bob, kestrom::sim::msg::talk("go"));
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
    EXPECT_EQ(world.server.faults(), 0);
}

TEST(SimHeap, ASubmittedMessageLongerThanItsBlockIsRefused) {
    FakeWorld world;
    kestrom::sim::SimUser *bob = world.addUser("Bob", 1);
    FakeModule::onMessage = [](ServerState *ss, ClientMsg *m) {
        ClientMsg *bad = submittedTalk("x");
        bad->length = 1000;
        deliverMessageNormal(1, bad, ss->currentUser);
        return m;
    };
    world.server.send(*bob, kestrom::sim::msg::talk("hi"));
    EXPECT_EQ(world.server.faults(), 1);
    EXPECT_EQ(world.server.heap().outstanding(), 0u);
}

}  // namespace

// The table of blocks out agrees with a plain map through many insertions
// and removals in a mixed order (removal shifts probe chains back).
TEST(SimHeap, LiveBlockTableAgreesWithAMap) {
    kestrom::sim::LiveBlocks table;
    std::map<const void *, size_t> expected;
    static char arena[1 << 14];
    uint32_t seed = 12345;
    for (int step = 0; step < 20000; ++step) {
        seed = seed * 1103515245u + 12345u;
        const void *block = arena + 16 * ((seed >> 8) % 1000);
        if (expected.count(block)) {
            EXPECT_TRUE(table.erase(block));
            expected.erase(block);
        } else {
            table.insert(block, step);
            expected[block] = static_cast<size_t>(step);
        }
    }
    EXPECT_EQ(table.size(), expected.size());
    for (const auto &[block, size] : expected) {
        const size_t *found = table.find(block);
        ASSERT_NE(found, nullptr);
        EXPECT_EQ(*found, size);
    }
    EXPECT_EQ(table.find(arena + 8), nullptr);
    EXPECT_FALSE(table.erase(arena + 8));
}
