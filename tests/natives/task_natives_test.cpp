// Natives over timed tasks: path tasks made by 315, 316, 446-450 run as the same tasks made in
// C++; the object manager's task operations 214-217; the wipe-runner functions 386-389.
#include <gtest/gtest.h>

#include <bit>
#include <cstring>
#include <string>
#include <vector>

#include "display/color_rect_object.h"
#include "display/path_move_task.h"
#include "display/path_rotate_task.h"
#include "display/path_size_task.h"
#include "display/screen.h"
#include "display/task.h"
#include "drawing/sprite.h"
#include "effects/layer_effect.h"
#include "effects/wipe_task.h"
#include "natives/native_table.h"
#include "natives/task_natives.h"
#include "platform/cos_table.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/pixel_library.h"
#include "winapi/clock.h"

using namespace hosttest;

namespace {

constexpr uint32_t A = 65535;

uint32_t FloatWord(float f) { return std::bit_cast<uint32_t>(f); }

struct TaskHost {
    HostFixture f;
    CScriptHost& host;
    TestPixelLibrary pixels; // after the fixture, which points the program's folder at the game
    CCosTable cosines;
    CTimerManager objects;
    std::vector<uint32_t> blocks;
    TaskHost() : host((f.UseScreen(), f.Start()))
    {
        g_pCosTable = &cosines;
        winapi::UseVirtualClock(true);
        g_pObjectManager = &objects;
    }
    ~TaskHost()
    {
        objects.CancelAll();
        objects.RunDue(TimerNow());
        g_pObjectManager = nullptr;
        winapi::UseVirtualClock(false);
        g_pCosTable = nullptr;
    }
    uint32_t Words(const std::vector<uint32_t>& words)
    {
        const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(4 * (words.size() + 1)));
        for (size_t i = 0; i < words.size(); ++i)
            host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
        blocks.push_back(block);
        return block;
    }
    uint32_t String(const std::string& s)
    {
        const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(s.size() + 1));
        std::memcpy(host.Memory().Span(block, static_cast<uint32_t>(s.size() + 1)), s.c_str(), s.size() + 1);
        blocks.push_back(block);
        return block;
    }
    uint32_t N(uint32_t n, const std::vector<uint32_t>& w)
    {
        const uint32_t block = Words(w);
        SobNativeArgs args(host.Memory(), nullptr, block, &host);
        return GetNativeRow(n).function(args);
    }
    void Run(uint32_t ms)
    {
        winapi::AdvanceVirtualClock(ms);
        objects.RunDue(TimerNow());
    }
    // A plain sprite of a 32x32 image at (x, y).
    uint32_t Sprite(int32_t x, int32_t y)
    {
        const uint32_t image = N(231, {32, 32, 32, 0});
        return N(402, {image, A, 0, 0, 0, static_cast<uint32_t>(x), static_cast<uint32_t>(y)});
    }
};

constexpr char kPath[] = "(40, 10, 255)(80, 30, 128)";
const std::vector<uint32_t> kTriples = {40, 10, 255, 80, 30, 128};
const int32_t kTriplesC[] = {40, 10, 255, 80, 30, 128};

} // namespace

TEST(TaskNatives, RowsAreBuilt)
{
    for (uint32_t n : {214u, 215u, 216u, 217u, 219u, 220u, 221u, 315u, 316u, 386u, 387u, 388u, 389u, 446u, 447u, 448u, 449u, 450u})
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

// Each path row gives a task handle whose task is the C++ task made with the same words: the same
// kind and points, and after the same steps its target stands where the C++ task's target stands.
TEST(TaskNatives, PathTasksRunAsTheirCppTwins)
{
    TaskHost h;
    const uint32_t text = h.String(kPath);
    const uint32_t list = h.Words(kTriples);
    const uint32_t ease = FloatWord(0.5f);
    struct Case {
        const char* name;
        uint32_t native;
        bool scene;
        bool points;
        std::vector<uint32_t> tail; // the words after the timing
        int32_t kind;
    };
    const Case cases[] = {
        {"315 scene move by text", 315, true, false, {1, 0, 0, 0}, 12000},
        {"316 scene move by points", 316, true, true, {1, 1, 0, 0}, 12000},
        {"446 sprite move by text", 446, false, false, {1, 1, 0, 0}, 12003},
        {"447 sprite move by points", 447, false, true, {1, 0, 0, 0}, 12003},
        {"448 sprite size by text", 448, false, false, {1, 1, 0, 1, 0, 0}, 12005},
        {"449 sprite size by points", 449, false, true, {2, 2, 1, 0, 0, 0}, 12005},
        {"450 sprite rotate by text", 450, false, false, {1, 1, 0, 0}, 12007},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t target = c.scene ? h.N(263, {20, 10, 0x80FF0000, 5, 6}) : h.Sprite(5, 6);
        const uint32_t twin = c.scene ? h.N(263, {20, 10, 0x80FF0000, 5, 6}) : h.Sprite(5, 6);
        ASSERT_NE(target, 0u);
        std::vector<uint32_t> words = {target};
        if (c.points) {
            words.push_back(2);
            words.push_back(list);
        } else {
            words.push_back(text);
        }
        for (uint32_t w : {100u, 0u, 0u, ease})
            words.push_back(w);
        words.insert(words.end(), c.tail.begin(), c.tail.end());
        const uint32_t handle = h.N(c.native, words);
        ASSERT_NE(handle, 0u);
        CTimedTask* made = h.host.Object<CTimedTask>(handle);
        ASSERT_NE(made, nullptr);
        EXPECT_EQ(made->GetKind(), c.kind);
        EXPECT_TRUE(h.objects.Contains(made));

        // The twin, made in C++ from the same words.
        const auto t = c.tail;
        int code = 0;
        CPathTask* cpp = nullptr;
        if (c.native == 448 || c.native == 449) {
            auto* s = new CPathSizeTask(100, 0, 0, 0.5, static_cast<uint8_t>(t[0]), static_cast<uint8_t>(t[1]),
                                        static_cast<uint8_t>(t[2]), static_cast<uint8_t>(t[3]), 0, 0);
            EXPECT_EQ(c.points ? s->SetPoints(2, kTriplesC) : s->SetPathText(kPath), 0);
            code = s->SetTarget(&h.objects, h.host.Object<CDrawable>(twin));
            cpp = s;
        } else if (c.native == 450) {
            auto* r = new CPathRotateTask(100, 0, 0, 0.5, static_cast<uint8_t>(t[0]), static_cast<uint8_t>(t[1]), 0, 0);
            EXPECT_EQ(r->SetPathText(kPath), 0);
            code = r->SetTarget(&h.objects, h.host.Object<CDrawable>(twin));
            cpp = r;
        } else {
            auto* m = new CPathMoveTask(100, 0, 0, 0.5, static_cast<uint8_t>(t[0]), static_cast<uint8_t>(t[1]), 0, 0);
            EXPECT_EQ(c.points ? m->SetPoints(2, kTriplesC) : m->SetPathText(kPath), 0);
            code = c.scene ? m->SetSceneTarget(&h.objects, h.host.Object<CTask>(twin))
                           : m->SetTarget(&h.objects, h.host.Object<CDrawable>(twin));
            cpp = m;
        }
        ASSERT_EQ(code, 0);
        const auto* path = dynamic_cast<CPathTask*>(made);
        ASSERT_NE(path, nullptr);
        ASSERT_EQ(path->GetPointCount(), cpp->GetPointCount());
        for (uint32_t i = 1; i < path->GetPointCount(); ++i) {
            EXPECT_EQ(path->GetPoints()[i].a, cpp->GetPoints()[i].a);
            EXPECT_EQ(path->GetPoints()[i].b, cpp->GetPoints()[i].b);
            EXPECT_EQ(path->GetValues()[i], cpp->GetValues()[i]);
        }
        for (int step = 0; step < 3; ++step) {
            h.Run(70);
            if (c.scene) {
                const CTask* a = h.host.Object<CTask>(target);
                const CTask* b = h.host.Object<CTask>(twin);
                EXPECT_EQ(a->GetX(), b->GetX());
                EXPECT_EQ(a->GetY(), b->GetY());
            } else {
                CSprite* a = h.host.Object<CSprite>(target);
                CSprite* b = h.host.Object<CSprite>(twin);
                RECT ra{}, rb{};
                a->GetScreenRect(&ra);
                b->GetScreenRect(&rb);
                EXPECT_EQ(std::memcmp(&ra, &rb, sizeof ra), 0) << step;
                EXPECT_EQ(a->GetAlpha(), b->GetAlpha());
            }
        }
        // Finished: the manager deleted the task and its handle is stale.
        h.Run(200);
        EXPECT_EQ(h.host.Object<CTimedTask>(handle), nullptr);
    }
}

// Lists below 2 points, past their block or absurdly long, null texts, stale targets, NaN easing
// and a segment time of 0 make nothing: the failure result 0 and no task left.
TEST(TaskNatives, PathTasksRefuseBadWords)
{
    TaskHost h;
    const uint32_t sprite = h.Sprite(0, 0);
    const uint32_t rect = h.N(263, {20, 10, 0x80FF0000, 5, 6});
    const uint32_t text = h.String(kPath);
    const uint32_t one = h.Words({1, 2, 3});
    const uint32_t two = h.Words(kTriples);
    const uint32_t gone = h.Sprite(0, 0);
    ASSERT_EQ(h.N(408, {gone}), 0u);
    const uint32_t nan = FloatWord(std::bit_cast<float>(0x7FC00000u));
    struct Case {
        const char* name;
        uint32_t native;
        std::vector<uint32_t> words;
    };
    const Case cases[] = {
        {"one point", 447, {sprite, 1, one, 100, 0, 0, 0, 1, 0, 0, 0}},
        {"no points", 449, {sprite, 0, two, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"count past the list's block", 316, {rect, 3, two, 100, 0, 0, 0, 1, 0, 0, 0}},
        {"huge count", 447, {sprite, 0x40000000, two, 100, 0, 0, 0, 1, 0, 0, 0}},
        {"list outside memory", 449, {sprite, 2, 0xFFFFFFF0, 100, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
        {"null text", 446, {sprite, 0, 100, 0, 0, 0, 1, 0, 0, 0}},
        {"stale sprite", 450, {gone, text, 100, 0, 0, 0, 0, 0, 0, 0}},
        {"null scene object", 315, {0, text, 100, 0, 0, 0, 1, 0, 0, 0}},
        {"sprite word for a scene object", 315, {sprite, text, 100, 0, 0, 0, 1, 0, 0, 0}},
        {"NaN easing", 448, {sprite, text, 100, 0, 0, nan, 0, 0, 0, 0, 0, 0}},
        {"segment time 0", 446, {sprite, text, 0, 0, 0, 0, 1, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(h.N(c.native, c.words), 0u) << c.name;
        EXPECT_EQ(h.objects.GetCount(), 0u) << c.name;
    }
}

TEST(TaskNatives, ObjectManagerTaskOperations)
{
    TaskHost h;
    const uint32_t sprite = h.Sprite(0, 0);
    const uint32_t task = h.N(446, {sprite, h.String(kPath), 100, 0, 0, 0, 1, 0, 0, 0});
    ASSERT_NE(task, 0u);
    EXPECT_EQ(h.N(215, {task}), 1u);
    EXPECT_EQ(h.N(216, {task}), 1u);
    EXPECT_TRUE(h.host.Object<CTimedTask>(task)->IsPaused());
    EXPECT_EQ(h.N(217, {task}), 1u);
    EXPECT_FALSE(h.host.Object<CTimedTask>(task)->IsPaused());
    EXPECT_EQ(h.N(214, {task}), 1u);
    h.Run(1);
    // Cancelled and deleted: the handle is stale for every operation.
    for (uint32_t n : {214u, 215u, 216u, 217u}) {
        EXPECT_EQ(h.N(n, {task}), 0u) << n;
        EXPECT_EQ(h.N(n, {sprite}), 0u) << n; // a drawable is no task
        EXPECT_EQ(h.N(n, {0}), 0u) << n;
    }
}

namespace {

// An effect that keeps what it is given: SetParamsV's words, and QueryV answers word 0 + 1 at out
// index 1 and a half at out index 3.
class KeepingEffect : public CLayerEffect {
public:
    const char* GetName() override { return "keeping"; }
    uint8_t GetObjectType() override { return 1; }
    int32_t Step(uint32_t) override { return 0; }
    int SetUpV(CTimerManager*, CImageObject*, const CEffectArgs&) override { return 0; }
    int SetParamsV(const CEffectArgs& args) override
    {
        params = args;
        return 4;
    }
    int QueryV(const CEffectArgs& in, CEffectArgs* out) override
    {
        out->SetInt(1, in.IntAt(0) + 1);
        out->SetDouble(3, 0.5);
        return 6;
    }
    CEffectArgs params;
};

} // namespace

// 219 and 220: a running effect's parameter and query operations with the words after its handle;
// out values go only where the effect wrote one and the word is not 0.
TEST(TaskNatives, EffectParametersAndQueries)
{
    TaskHost h;
    auto* effect = new KeepingEffect;
    ASSERT_EQ(h.objects.Add(effect, 0, 0, 0), 0u);
    const uint32_t handle = h.host.ObjectHandle(static_cast<CTimedTask*>(effect));
    ASSERT_NE(handle, 0u);
    std::vector<uint32_t> words = {handle};
    for (uint32_t k = 1; k <= 16; ++k)
        words.push_back(k * 10);
    EXPECT_EQ(h.N(219, words), 4u);
    ASSERT_EQ(effect->params.GetCount(), 16u);
    for (uint32_t k = 0; k < 16; ++k)
        EXPECT_EQ(effect->params.IntAt(k), static_cast<int32_t>((k + 1) * 10));

    const uint32_t outs = h.Words({0x1111, 0x2222, 0x3333, 0x4444});
    // Word 1 is an input (41 is no address): nothing is written through it.
    EXPECT_EQ(h.N(220, {handle, 41, outs, outs + 4, outs + 8, outs + 12}), 6u);
    uint32_t v[4] = {};
    for (uint32_t i = 0; i < 4; ++i)
        h.host.Memory().Load32(outs + 4 * i, &v[i]);
    EXPECT_EQ(v[0], 42u);
    EXPECT_EQ(v[1], 0x2222u);
    EXPECT_EQ(std::bit_cast<float>(v[2]), 0.5f);
    EXPECT_EQ(v[3], 0x4444u);

    // Words naming no running effect: -1, nothing called.
    const uint32_t sprite = h.Sprite(0, 0);
    const uint32_t path = h.N(446, {sprite, h.String(kPath), 100, 0, 0, 0, 1, 0, 0, 0});
    for (uint32_t word : {0u, sprite, path}) {
        EXPECT_EQ(h.N(219, {word, 1}), static_cast<uint32_t>(-1)) << word;
        EXPECT_EQ(h.N(220, {word, 1}), static_cast<uint32_t>(-1)) << word;
    }
    h.objects.Cancel(effect);
    h.Run(1);
    EXPECT_EQ(h.N(219, {handle, 1}), static_cast<uint32_t>(-1));
}

namespace {

struct StartCall {
    int calls = 0;
    int32_t kind = 0;
    uint32_t duration = 0;
    CImage* destination = nullptr;
    CImage* source = nullptr;
    int32_t words[8] = {};
};
StartCall g_start;

CWipeTask* RecordStart(CWipeRunner*, int32_t kind, uint32_t duration, CImage* destination, CImage* source,
                       const int32_t words[8])
{
    ++g_start.calls;
    g_start.kind = kind;
    g_start.duration = duration;
    g_start.destination = destination;
    g_start.source = source;
    std::memcpy(g_start.words, words, sizeof g_start.words);
    return nullptr;
}

} // namespace

// 386 hands the runner a1-a8 from words 4-11: 65535 in word 4 gives a1 = a4 = 65535 and zeros;
// 65535 in word 7 keeps words 4-6 and gives a4 = 65535 and zeros; else the words, word 7 as 16 bits.
TEST(TaskNatives, StartWipeHandsTheRunnerItsEightWords)
{
    TaskHost h;
    const uint32_t dst = h.N(231, {64, 64, 32, 0});
    const uint32_t src = h.N(231, {64, 64, 32, 0});
    g_pfnNativeStartWipe = RecordStart;
    struct Case {
        const char* name;
        std::vector<uint32_t> words; // 4-11
        std::vector<int32_t> expected;
    };
    const Case cases[] = {
        {"first word absent", {A, 7, 8, 9, 10, 11, 12, 13}, {65535, 0, 0, 65535, 0, 0, 0, 0}},
        {"source rectangle absent", {1, 2, 3, A, 10, 11, 12, 13}, {1, 2, 3, 65535, 0, 0, 0, 0}},
        {"all given", {1, 2, 3, 0x12340005, 6, 7, 8, 9}, {1, 2, 3, 5, 6, 7, 8, 9}},
        {"negative position", {static_cast<uint32_t>(-4), 2, 0, 0, 0, 0, 0, 0}, {-4, 2, 0, 0, 0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        g_start = {};
        std::vector<uint32_t> words = {3, 500, dst, src};
        words.insert(words.end(), c.words.begin(), c.words.end());
        EXPECT_EQ(h.N(386, words), 0u) << c.name;
        ASSERT_EQ(g_start.calls, 1) << c.name;
        EXPECT_EQ(g_start.kind, 3);
        EXPECT_EQ(g_start.duration, 500u);
        EXPECT_EQ(g_start.destination, h.host.Object<CImage>(dst));
        EXPECT_EQ(g_start.source, h.host.Object<CImage>(src));
        EXPECT_EQ(std::vector<int32_t>(g_start.words, g_start.words + 8), c.expected) << c.name;
    }
    // No source (0) goes on as null; a source word naming nothing stops the call; a destination
    // word naming nothing goes on as null (the runner refuses it).
    g_start = {};
    h.N(386, {8, 500, dst, 0, A, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(g_start.calls, 1);
    EXPECT_EQ(g_start.source, nullptr);
    EXPECT_EQ(h.N(386, {8, 500, dst, 12345, A, 0, 0, 0, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(g_start.calls, 1);
    h.N(386, {8, 500, 0, 0, A, 0, 0, 0, 0, 0, 0, 0});
    EXPECT_EQ(g_start.calls, 2);
    EXPECT_EQ(g_start.destination, nullptr);
    g_pfnNativeStartWipe = StartWipeTask;
}

// The shipped runner has no scheduler: 386 gives 0, 387 and 388 answer 1, 389 answers 0. A runner
// with one hands out the task's handle and finishes, cancels and reports it.
TEST(TaskNatives, WipeRunnerFunctions)
{
    TaskHost h;
    const uint32_t dst = h.N(231, {64, 64, 32, 0});
    const std::vector<uint32_t> start = {0, 500, dst, 0, A, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(h.N(386, start), 0u);
    EXPECT_EQ(h.N(387, {0}), 1u);
    EXPECT_EQ(h.N(388, {0}), 1u);
    EXPECT_EQ(h.N(389, {0}), 0u);

    CTimerManager manager;
    CWipeRunner* shipped = g_pWipeRunner;
    CWipeRunner runner{&manager};
    g_pWipeRunner = &runner;
    const uint32_t task = h.N(386, start);
    ASSERT_NE(task, 0u);
    EXPECT_EQ(h.N(389, {task}), 1u);
    EXPECT_EQ(h.N(387, {task}), 0u); // drawn to the end at once
    const uint32_t other = h.N(386, start);
    ASSERT_NE(other, 0u);
    EXPECT_EQ(h.N(388, {other}), 0u);
    manager.RunDue(TimerNow());
    EXPECT_EQ(h.host.Object<CTimedTask>(other), nullptr);
    EXPECT_EQ(h.N(389, {other}), 0u);
    EXPECT_EQ(h.N(389, {dst}), 0u); // an image is no wipe
    EXPECT_EQ(h.N(386, {0, 500, 0, 0, A, 0, 0, 0, 0, 0, 0, 0}), 0u); // no destination
    manager.CancelAll();
    g_pWipeRunner = shipped;
}

// A sprite deleted by a native while its path task runs: the task ends without touching it (it
// used to move the sprite after its end).
TEST(TaskNatives, DeletingTheSpriteEndsItsPathTask)
{
    TaskHost h;
    const uint32_t text = h.String(kPath);
    struct Case {
        const char* name;
        uint32_t native;
        std::vector<uint32_t> tail;
        uint32_t deleter; // 408 the drawable, 405 all drawables
    };
    const Case cases[] = {
        {"446 move, 408", 446, {1, 0, 1, 0}, 408},
        {"448 size, 405", 448, {1, 1, 0, 1, 1, 0}, 405},
        {"450 rotate, 408", 450, {1, 1, 1, 0}, 408},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const uint32_t sprite = h.Sprite(3, 4);
        std::vector<uint32_t> words = {sprite, text, 100, 0, 0, 0};
        words.insert(words.end(), c.tail.begin(), c.tail.end());
        const uint32_t task = h.N(c.native, words);
        ASSERT_NE(task, 0u);
        h.Run(30);
        EXPECT_EQ(c.deleter == 408 ? h.N(408, {sprite}) : h.N(405, {}), 0u);
        EXPECT_EQ(h.host.Object<CDrawable>(sprite), nullptr);
        h.Run(30);
        h.Run(30);
        EXPECT_EQ(h.host.Object<CTimedTask>(task), nullptr);
        EXPECT_EQ(h.objects.GetCount(), 0u);
    }
}
