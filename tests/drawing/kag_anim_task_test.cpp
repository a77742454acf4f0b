// The KAG animation task: entries step by step with loops, holding, end-when-done, catch-up,
// start delays, next groups, pauses, zero-time groups that must not hang, the result codes and
// the file's reference released at the end.
#include <gtest/gtest.h>

#include <array>
#include <string>
#include <vector>

#include "authoring/picture_io.h"
#include "authoring/sample_pictures.h"
#include "drawing/kag_anim_task.h"
#include "drawing/kag_file.h"
#include "drawing/scene.h"
#include "drawing_test_util.h"
#include "files/gll_manager.h"
#include "platform/timer_manager.h"

namespace {

using Bytes = std::vector<uint8_t>;

void Put16(Bytes& b, uint32_t v)
{
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void Put32(Bytes& b, uint32_t v)
{
    Put16(b, v & 0xFFFF);
    Put16(b, v >> 16);
}

// A KAG of `pictures` small BMPs (picture i is i + 2 pixels wide) and the entries given as
// (picture, time, x, y).
Bytes MakeKag(uint16_t groups, const std::vector<std::array<int32_t, 4>>& entries, int pictures)
{
    std::vector<Bytes> data;
    for (int i = 0; i < pictures; ++i) {
        pictures::Decoded d;
        d.width = i + 2;
        d.height = 3;
        d.pixels = samples::PhotoLike(d.width, d.height, static_cast<uint32_t>(i));
        Bytes bmp;
        std::string error;
        EXPECT_TRUE(pictures::EncodeBmp32(d, bmp, &error)) << error;
        data.push_back(bmp);
    }
    Bytes b = {'K', 'A', 'G', 0, 0, 0, 0, 0, 0, 0};
    Put16(b, groups);
    Put32(b, 0);
    Put32(b, 0);
    Put32(b, static_cast<uint32_t>(entries.size()));
    for (const auto& e : entries) {
        Put32(b, static_cast<uint32_t>(e[0]));
        Put32(b, static_cast<uint32_t>(e[1]));
        Put16(b, static_cast<uint32_t>(e[2]));
        Put16(b, static_cast<uint32_t>(e[3]));
        Put32(b, 0);
    }
    Put32(b, static_cast<uint32_t>(pictures));
    size_t at = b.size() + 12 * data.size();
    for (const Bytes& d : data) {
        Put32(b, static_cast<uint32_t>(d.size()));
        Put32(b, static_cast<uint32_t>(at));
        Put32(b, 0xFFFF);
        at += d.size();
    }
    for (const Bytes& d : data)
        b.insert(b.end(), d.begin(), d.end());
    return b;
}

class KagAnimTaskTest : public drawing_test::DrawingEnvironment {
protected:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
        ASSERT_EQ(target.Create(64, 48, 32, 0), 0);
        ASSERT_EQ(scene.SetTarget(&target, false), 0);
    }
    void TearDown() override
    {
        g_pGllManager = nullptr;
        DrawingEnvironment::TearDown();
    }

    void Load(CKagFile& file, uint16_t groups, const std::vector<std::array<int32_t, 4>>& entries)
    {
        const Bytes bytes = MakeKag(groups, entries, 3);
        ASSERT_EQ(file.LoadFromMemory(bytes.data(), static_cast<uint32_t>(bytes.size()), false), 0);
    }

    // Which picture the sprite shows (-1 none).
    static int Shown(CKagAnimTask* task, const CKagFile& file)
    {
        for (int i = 0; i < 3; ++i)
            if (task->GetSprite().GetImage() == file.GetPicture(i))
                return i;
        return -1;
    }

    drawing_test::VirtualClockAt clock{1000};
    CGllManager manager;
    CImage target;
    CScene scene;
    CTimerManager timers;
};

const std::vector<std::array<int32_t, 4>> kThree = {{0, 100, 1, 2}, {1, 100, 3, 4}, {2, 100, 5, 6}};

TEST_F(KagAnimTaskTest, LoopsShowTheGroupAgainAndFinish)
{
    CKagFile file;
    Load(file, 1, kThree);
    CKagAnimTask* task = new CKagAnimTask;
    task->SetOwnerSlot(&task);
    task->SetBase(10, 20);
    ASSERT_EQ(task->Setup(&timers, &scene, &file, 0, 2, 5, 0, 0, 0, 0), 0);
    EXPECT_EQ(scene.GetList().FindNode(&task->GetSprite())->priority, 5u);
    EXPECT_EQ(task->GetSprite().GetX(), 11);
    EXPECT_EQ(task->GetSprite().GetY(), 22);
    std::vector<int> shown;
    timers.RunDue(1000);
    for (uint32_t now = 1050; task && now < 2000; now += 100) {
        timers.RunDue(now);
        if (task)
            shown.push_back(Shown(task, file));
    }
    EXPECT_EQ(shown, (std::vector<int>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(task, nullptr);
    EXPECT_EQ(scene.GetList().Head(), nullptr); // the sprite went with the task
}

TEST_F(KagAnimTaskTest, HoldsTheLastEntryAndEndsWhenDone)
{
    CKagFile file;
    Load(file, 1, kThree);
    for (const uint8_t endWhenDone : {0, 1}) {
        CKagAnimTask* task = new CKagAnimTask;
        task->SetOwnerSlot(&task);
        ASSERT_EQ(task->Setup(&timers, &scene, &file, 0, 0, 0, 1, endWhenDone, 0, 0), 0);
        timers.RunDue(1000);
        timers.RunDue(1350);
        ASSERT_NE(task, nullptr);
        EXPECT_EQ(task->GetState(), 2);
        EXPECT_EQ(Shown(task, file), 2);
        timers.RunDue(5000);
        EXPECT_EQ(task == nullptr, endWhenDone == 1);
        timers.CancelAll();
        timers.RunDue(5001);
    }
}

TEST_F(KagAnimTaskTest, CatchUpAdvancesByTheElapsedTime)
{
    CKagFile file;
    Load(file, 1, kThree);
    for (const uint8_t catchUp : {1, 0}) {
        auto* task = new CKagAnimTask;
        ASSERT_EQ(task->Setup(&timers, &scene, &file, 0, -1, 0, catchUp, 0, 0, 0), 0);
        timers.RunDue(1000);
        timers.RunDue(1250);
        EXPECT_EQ(Shown(task, file), catchUp ? 2 : 1);
        timers.CancelAll();
        timers.RunDue(1251);
    }
}

TEST_F(KagAnimTaskTest, StartDelayHidesTheSpriteUntilItPasses)
{
    CKagFile file;
    Load(file, 1, kThree);
    auto* task = new CKagAnimTask;
    ASSERT_EQ(task->Setup(&timers, &scene, &file, 0, -1, 0, 1, 0, 0, 500), 0);
    EXPECT_FALSE(task->GetSprite().IsVisible());
    timers.RunDue(1000);
    timers.RunDue(1499);
    EXPECT_FALSE(task->GetSprite().IsVisible());
    timers.RunDue(1500);
    EXPECT_TRUE(task->GetSprite().IsVisible());
    EXPECT_EQ(Shown(task, file), 0);
    timers.RunDue(1600);
    EXPECT_EQ(Shown(task, file), 1);
}

TEST_F(KagAnimTaskTest, NextGroupContinuesOnceOrEnds)
{
    CKagFile file;
    Load(file, 3, {{0, 100, 0, 0}, {-1, 0, 0, 0}, {2, 100, 0, 0}, {1, 100, 0, 0}, {-1, 0, 0, 0}, {-1, 0, 0, 0}});
    CKagAnimTask* task = new CKagAnimTask;
    task->SetOwnerSlot(&task);
    task->SetNextGroup(true);
    ASSERT_EQ(task->Setup(&timers, &scene, &file, 0, -1, 0, 1, 0, 0, 0), 0);
    timers.RunDue(1000);
    timers.RunDue(1100);
    EXPECT_EQ(task->GetGroup(), 1);
    EXPECT_EQ(Shown(task, file), 2);
    timers.RunDue(1200);
    EXPECT_EQ(Shown(task, file), 1);
    timers.RunDue(1300); // endless: group 1 again
    EXPECT_EQ(Shown(task, file), 2);
    // Group 2 is empty: the step at its end answers 2 and the task goes.
    task->SetNextGroup(true);
    EXPECT_EQ(task->Step(1500), 2);
    timers.CancelAll();
}

TEST_F(KagAnimTaskTest, ZeroTimeGroupsDoNotHang)
{
    CKagFile file;
    Load(file, 1, {{0, 0, 0, 0}, {1, 0, 0, 0}});
    auto* task = new CKagAnimTask;
    ASSERT_EQ(task->Setup(&timers, &scene, &file, 0, -1, 0, 1, 0, 0, 0), 0);
    timers.RunDue(1000);
    timers.RunDue(1001);
    timers.RunDue(5000);
    EXPECT_NE(Shown(task, file), -1);
    timers.CancelAll();
}

TEST_F(KagAnimTaskTest, PauseMovesTheFrameStart)
{
    CKagFile file;
    Load(file, 1, kThree);
    auto* task = new CKagAnimTask;
    ASSERT_EQ(task->Setup(&timers, &scene, &file, 0, -1, 0, 1, 0, 0, 0), 0);
    timers.RunDue(1000);
    timers.RunDue(1050);
    task->Pause(1050);
    task->Resume(6050);
    timers.RunDue(6090);
    EXPECT_EQ(Shown(task, file), 0);
    timers.RunDue(6100);
    EXPECT_EQ(Shown(task, file), 1);
}

TEST_F(KagAnimTaskTest, SetupCodesAndTheFileReference)
{
    CKagFile file;
    Load(file, 2, {{0, 100, 0, 0}, {-1, 0, 0, 0}, {-1, 0, 0, 0}});
    struct Case {
        const char* name;
        CTimerManager* timers;
        CScene* scene;
        CKagFile* file;
        int32_t group;
        int code;
    };
    const Case cases[] = {
        {"no timers", nullptr, &scene, &file, 0, 1}, {"no scene", &timers, nullptr, &file, 0, 1},
        {"no file", &timers, &scene, nullptr, 0, 1}, {"group past the count", &timers, &scene, &file, 2, 2},
        {"negative group", &timers, &scene, &file, -1, 2}, {"empty group", &timers, &scene, &file, 1, 3},
    };
    for (const Case& c : cases) {
        CKagAnimTask task;
        EXPECT_EQ(task.Setup(c.timers, c.scene, c.file, c.group, 0, 0, 0, 0, 0, 0), c.code) << c.name;
    }
    // An owned file loses one reference when the task ends; the last holder deletes it.
    auto* shared = new CKagFile;
    Load(*shared, 1, kThree);
    shared->AddRef(); // the test holds one too
    CKagAnimTask* task = new CKagAnimTask;
    task->SetOwnerSlot(&task);
    ASSERT_EQ(task->Setup(&timers, &scene, shared, 0, 1, 0, 1, 0, 1, 0), 0);
    timers.RunDue(1000);
    timers.RunDue(1300);
    EXPECT_EQ(task, nullptr);
    EXPECT_EQ(shared->GetRefCount(), 0u);
    // Finish releases the file and takes the sprite out of the scene.
    auto* finishing = new CKagAnimTask;
    ASSERT_EQ(finishing->Setup(&timers, &scene, shared, 0, -1, 0, 1, 0, 1, 0), 0);
    EXPECT_NE(scene.GetList().Head(), nullptr);
    finishing->Finish(); // deletes the file (ASan checks)
    EXPECT_EQ(scene.GetList().Head(), nullptr);
    timers.CancelAll();
}

} // namespace
