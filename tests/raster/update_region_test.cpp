// The update region: named cases, the invariants after random insertions, Optimize keeping the
// covered pixels, and the node pool growing 256 nodes at a time.
#include "raster/update_region.h"
#include "support/pixel_buffers.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<RECT> Rects(const CUpdateRegion& region)
{
    std::vector<RECT> out;
    RectNode* node = region.Head();
    for (int i = 0; i < region.Count(); ++i, node = node->next) {
        out.push_back(node->rect);
    }
    return out;
}

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Show(const std::vector<RECT>& rects)
{
    std::string s;
    for (const RECT& r : rects) {
        s += "(" + std::to_string(r.left) + "," + std::to_string(r.top) + "," + std::to_string(r.right) + "," +
             std::to_string(r.bottom) + ")";
    }
    return s;
}

constexpr int kGrid = 48;

// Checks the invariants and that the region covers exactly `covered`.
void ExpectValid(const CUpdateRegion& region, const std::vector<bool>& covered)
{
    std::vector<int> count(kGrid * kGrid, 0);
    const std::vector<RECT> rects = Rects(region);
    ASSERT_EQ(static_cast<size_t>(region.Count()), rects.size());
    if (!rects.empty()) {
        // The list closes into a ring of exactly count nodes.
        RectNode* node = region.Head();
        for (int i = 0; i < region.Count(); ++i) {
            ASSERT_EQ(node, node->next->prev);
            node = node->next;
        }
        ASSERT_EQ(region.Head(), node);
    }
    for (size_t i = 0; i < rects.size(); ++i) {
        const RECT& r = rects[i];
        ASSERT_TRUE(r.left < r.right && r.top < r.bottom) << Show(rects);
        if (i > 0) {
            const RECT& p = rects[i - 1];
            ASSERT_TRUE(p.top < r.top || (p.top == r.top && p.left < r.left)) << "order " << Show(rects);
        }
        const RECT& b = region.Bounds();
        ASSERT_TRUE(b.left <= r.left && b.top <= r.top && b.right >= r.right && b.bottom >= r.bottom);
        for (int y = r.top; y < r.bottom; ++y) {
            for (int x = r.left; x < r.right; ++x) {
                ++count[y * kGrid + x];
            }
        }
    }
    for (int i = 0; i < kGrid * kGrid; ++i) {
        ASSERT_LE(count[i], 1) << "overlap at " << i % kGrid << "," << i / kGrid << " " << Show(rects);
        ASSERT_EQ(covered[i], count[i] == 1) << "coverage at " << i % kGrid << "," << i / kGrid << " " << Show(rects);
    }
}

}  // namespace

TEST(UpdateRegion, NamedCases)
{
    struct Case {
        const char* name;
        std::vector<RECT> add;
        std::vector<RECT> want;
    } cases[] = {
        {"side by side join", {{0, 0, 10, 10}, {10, 0, 20, 10}}, {{0, 0, 20, 10}}},
        {"the same twice", {{0, 0, 10, 10}, {0, 0, 10, 10}}, {{0, 0, 10, 10}}},
        {"overlap is cut", {{0, 0, 10, 10}, {5, 5, 15, 15}}, {{0, 0, 10, 5}, {0, 5, 5, 10}, {5, 5, 15, 15}}},
        {"one above the other stays two", {{0, 0, 10, 10}, {0, 10, 10, 20}}, {{0, 0, 10, 10}, {0, 10, 10, 20}}},
        {"empty ignored", {{5, 5, 5, 9}, {3, 3, 1, 4}}, {}},
        {"contained changes nothing", {{0, 0, 10, 10}, {2, 2, 4, 4}}, {{0, 0, 10, 10}}},
    };
    for (const Case& c : cases) {
        CUpdateRegion region;
        for (const RECT& r : c.add) {
            region.AddRect(r);
        }
        EXPECT_EQ(Show(c.want), Show(Rects(region))) << c.name;
    }
}

TEST(UpdateRegion, ContainedRectLeavesBoundsAndResetClears)
{
    CUpdateRegion region;
    region.AddRect({0, 0, 10, 10});
    region.AddRect({2, 2, 4, 4});
    EXPECT_TRUE(Same(region.Bounds(), RECT{0, 0, 10, 10}));
    region.Reset();
    EXPECT_EQ(0, region.Count());
    EXPECT_EQ(nullptr, region.Head());
    region.AddRect({30, 31, 32, 33});
    EXPECT_TRUE(Same(region.Bounds(), RECT{30, 31, 32, 33}));
}

TEST(UpdateRegion, CoveredRectKeepsListBoundsAndLaterAdds)
{
    // A rectangle inside a kept node adds nothing, whether that node was touched last or not, and
    // the adds after it land as they would have without it.
    struct Case {
        const char* name;
        std::vector<RECT> before;
        RECT covered;
        RECT after;
    } cases[] = {
        {"inside the last added", {{0, 0, 10, 10}}, {2, 2, 8, 8}, {10, 0, 20, 10}},
        {"equal to the last added", {{4, 4, 9, 9}}, {4, 4, 9, 9}, {0, 0, 6, 6}},
        {"inside an earlier node", {{0, 0, 10, 10}, {20, 20, 30, 30}}, {1, 1, 3, 3}, {5, 5, 25, 25}},
        {"inside a piece of a cut", {{0, 0, 10, 10}, {5, 5, 15, 15}}, {0, 5, 5, 10}, {0, 10, 5, 12}},
        {"touching the edge from outside", {{0, 0, 10, 10}}, {10, 0, 12, 10}, {0, 10, 12, 11}},
        {"one pixel past the corner", {{0, 0, 10, 10}}, {5, 5, 11, 11}, {20, 0, 21, 1}},
    };
    for (const Case& c : cases) {
        CUpdateRegion with, without;
        std::vector<bool> covered(kGrid * kGrid, false);
        auto add = [&](const RECT& r) {
            for (int y = r.top; y < r.bottom; ++y) {
                for (int x = r.left; x < r.right; ++x) {
                    covered[y * kGrid + x] = true;
                }
            }
        };
        for (const RECT& r : c.before) {
            with.AddRect(r);
            without.AddRect(r);
            add(r);
        }
        with.AddRect(c.covered);
        add(c.covered);
        ASSERT_NO_FATAL_FAILURE(ExpectValid(with, covered)) << c.name;
        with.AddRect(c.after);
        without.AddRect(c.after);
        without.AddRect(c.covered);
        add(c.after);
        ASSERT_NO_FATAL_FAILURE(ExpectValid(with, covered)) << c.name;
        EXPECT_TRUE(Same(with.Bounds(), without.Bounds())) << c.name;
    }
}

TEST(UpdateRegion, OptimizeMergesStackedRects)
{
    CUpdateRegion region;
    region.AddRect({0, 0, 10, 10});
    region.AddRect({0, 10, 10, 20});
    region.Optimize();
    EXPECT_EQ(Show({{0, 0, 10, 20}}), Show(Rects(region)));
}

TEST(UpdateRegion, RandomInsertionsKeepInvariantsAndOptimizeKeepsPixels)
{
    raster_test::Random random(7);
    for (int round = 0; round < 60; ++round) {
        CUpdateRegion region;
        std::vector<bool> covered(kGrid * kGrid, false);
        const int adds = random.Range(1, 25);
        for (int i = 0; i < adds; ++i) {
            const int l = random.Range(0, kGrid - 1), t = random.Range(0, kGrid - 1);
            const RECT r{l, t, random.Range(l, std::min(kGrid, l + 20)), random.Range(t, std::min(kGrid, t + 20))};
            region.AddRect(r);
            for (int y = r.top; y < r.bottom; ++y) {
                for (int x = r.left; x < r.right; ++x) {
                    covered[y * kGrid + x] = true;
                }
            }
            ASSERT_NO_FATAL_FAILURE(ExpectValid(region, covered)) << "round " << round << " add " << i;
        }
        region.Optimize();
        ASSERT_NO_FATAL_FAILURE(ExpectValid(region, covered)) << "optimized, round " << round;
    }
}

TEST(RectNodePool, GrowsBy256AndKeepsItsNodes)
{
    CRectNodePool& pool = GetRectNodePool();
    // Other regions may hold nodes already: count from the current state.
    std::vector<RectNode*> taken;
    taken.push_back(pool.TakeNode());
    const uint32_t total = pool.TotalNodes();
    ASSERT_GE(total, 256u);
    ASSERT_EQ(0u, total % 256);
    const size_t free = pool.FreeNodes();
    for (size_t i = 0; i < free; ++i) {
        taken.push_back(pool.TakeNode());
    }
    EXPECT_EQ(0u, pool.FreeNodes());
    EXPECT_EQ(total, pool.TotalNodes());
    taken.push_back(pool.TakeNode());  // exhausted: one more block
    EXPECT_EQ(total + 256, pool.TotalNodes());
    for (RectNode* node : taken) {
        ASSERT_NE(nullptr, node);
        pool.ReturnNode(node);
    }
    // The reserved node stays out, so the pool keeps its nodes while the process runs.
    EXPECT_EQ(total + 256, pool.TotalNodes());
    EXPECT_EQ(pool.TotalNodes() - 1, pool.FreeNodes());
}

TEST(IntersectRects, CasesAndOptionalOut)
{
    RECT out{};
    EXPECT_TRUE(IntersectRects(&out, {0, 0, 10, 10}, {5, -5, 20, 5}));
    EXPECT_TRUE(Same(out, RECT{5, 0, 10, 5}));
    EXPECT_FALSE(IntersectRects(&out, {0, 0, 10, 10}, {10, 0, 20, 10}));
    EXPECT_TRUE(IntersectRects(nullptr, {0, 0, 10, 10}, {9, 9, 20, 20}));
}
