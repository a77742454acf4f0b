#include <gtest/gtest.h>

#include "authoring/image_group_writer.h"
#include "drawing/kad_file.h"
#include "drawing/scene.h"
#include "effect_test_world.h"
#include "effects/bg_anime.h"

namespace {

using effects_test::EffectWorld;
using effects_test::PixelAt;

// ANIME/BG.KAD of effect-data: group 0 = entries 0 F0, 1 F1, 2 F0, 3 end; group 1 = 4 mark, 5 F2,
// 6 F3, 7 loop back, 8 end; group 2 = 9 F4, 10 F5 (50 ms, 16 × 16 at (8, 4)), 11 end. Frames
// last 100 ms; each frame's pixels carry its number in blue.
struct Anime {
    EffectWorld world{32, 24};
    CKadFile kad;
    CLayerEffect* holder = nullptr;

    explicit Anime(int wrap, int group = 0, int play = 1)
    {
        RegisterRows(world.registry, GameEffectRows());
        EXPECT_EQ(kad.Load(world.dir.Windows("ANIME\\BG.KAD").c_str()), 0);
        EXPECT_EQ(CreateLayerEffect("bg_anime", &world.front,
                                    CEffectArgs::Of(static_cast<CGroupFile*>(&kad),
                                                    world.dir.Windows("ANIME").c_str(), group, 0, wrap, play),
                                    &holder),
                  0);
    }
    ~Anime()
    {
        world.scheduler.CancelAll();
        g_bBgAnimeKeepTime = 0;
    }
    CBgAnimeEffect& Effect() { return *static_cast<CBgAnimeEffect*>(holder); }
    int Frame(LONG x = 0, LONG y = 0) { return int(PixelAt(*Effect().GetFrameImage(), x, y) & 0xFF); }
    CSurface* Background()
    {
        CSurface* shown = nullptr;
        world.front.GetScene()->GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
        return shown;
    }
    int Ask(int question) { return holder->Query(nullptr, question); }
};

TEST(BgAnime, PlaysGroupsLoopsAndWrapsOnTheClock)
{
    Anime anime(1);
    CBgAnimeEffect& effect = anime.Effect();
    EXPECT_EQ(effect.GetKind(), kBgAnimeKind);
    EXPECT_EQ(anime.Background(), effect.GetFrameImage());
    EXPECT_EQ(anime.Ask(0), CBgAnimeEffect::kPlaying);
    EXPECT_EQ(anime.Frame(), 0);
    EXPECT_EQ(effect.GetFilesQueued(), 4u); // group 0 reads F0 once though two entries show it
    EXPECT_EQ(anime.Ask(5), 1);             // the next group with a mark
    EXPECT_EQ(anime.Ask(4), -1);            // no mark before group 0's end
    anime.world.Tick(0);                    // the reference
    struct Expect {
        uint32_t ms;
        int frame, group, entry, inLoop;
    } const steps[] = {
        {99, 0, 0, 0, 0},  {1, 1, 0, 1, 0},   {100, 0, 0, 2, 0},
        {100, 2, 1, 5, 1}, {100, 3, 1, 6, 1}, {100, 2, 1, 5, 1}, // looped back to after the mark
    };
    for (const Expect& s : steps) {
        anime.world.Tick(s.ms);
        EXPECT_EQ(anime.Frame(), s.frame) << s.entry;
        EXPECT_EQ(anime.Ask(2), s.group) << s.entry;
        EXPECT_EQ(anime.Ask(3), s.entry);
        EXPECT_EQ(anime.Ask(1), s.inLoop) << s.entry;
    }
    EXPECT_EQ(anime.Ask(5), -1);
    // Breaking the loop: the next loop-back is passed over once and the mark forgotten.
    EXPECT_EQ(anime.holder->SetParams(5), 0);
    EXPECT_EQ(anime.Ask(1), 0);
    anime.world.Tick(100);
    EXPECT_EQ(anime.Frame(), 3);
    anime.world.Tick(100);
    EXPECT_EQ(anime.Frame(), 4);
    EXPECT_EQ(anime.Ask(2), 2);
    EXPECT_EQ(anime.holder->SetParams(5), 3); // no mark now
    anime.world.Tick(100);
    EXPECT_EQ(anime.Frame(8, 4), 5); // drawn at its offset over the frame before
    EXPECT_EQ(anime.Frame(0, 0), 4);
    anime.world.Tick(50); // past the list's end: wrap to entry 0
    EXPECT_EQ(anime.Frame(8, 4), 0);
    EXPECT_EQ(anime.Ask(2), 0);
    EXPECT_EQ(anime.Ask(3), 0);
    EXPECT_EQ(effect.GetFilesQueued(), 10u); // each group's two files, once per group

    // Pause, resume (timing restarts), stop.
    EXPECT_EQ(anime.holder->SetParams(2), 0);
    anime.world.Tick(500);
    EXPECT_EQ(anime.Ask(3), 0);
    EXPECT_EQ(anime.holder->SetParams(3), 0);
    anime.world.Tick(90); // the reference
    anime.world.Tick(90);
    EXPECT_EQ(anime.Ask(3), 0);
    anime.world.Tick(10);
    EXPECT_EQ(anime.Ask(3), 1);
    EXPECT_EQ(anime.holder->SetParams(3), 3); // not paused
    EXPECT_EQ(anime.holder->SetParams(6), 2);
    EXPECT_EQ(anime.holder->SetParams(4), 0);
    EXPECT_EQ(anime.Ask(0), CBgAnimeEffect::kStopped);
    EXPECT_EQ(anime.Background(), nullptr);
    EXPECT_EQ(anime.Ask(9), -1);
}

TEST(BgAnime, WithoutWrapItStopsAtTheEndAndStaysUntilCancelled)
{
    Anime anime(0, 2);
    EXPECT_EQ(anime.Frame(), 4);
    anime.world.Tick(0);
    anime.world.Tick(100);
    anime.world.Tick(50);
    EXPECT_EQ(anime.Ask(0), CBgAnimeEffect::kStopped);
    anime.world.Tick(1000);
    ASSERT_NE(anime.holder, nullptr);
    EXPECT_EQ(anime.Background(), anime.Effect().GetFrameImage());
    anime.world.scheduler.Cancel(anime.holder);
    EXPECT_EQ(anime.Background(), nullptr);
}

TEST(BgAnime, KeepingTimeSkipsFramesAndCutsLongStalls)
{
    Anime anime(1);
    EXPECT_EQ(SetBgAnimeFlag(CEffectArgs::Of(1), nullptr), 0);
    anime.world.Tick(0);
    anime.world.Tick(350); // F0, F1, F0 passed; the end and the mark run on the way
    EXPECT_EQ(anime.Ask(3), 5);
    EXPECT_EQ(anime.Frame(), 2);
    anime.world.Tick(40); // 90 of F2's 100 ms
    EXPECT_EQ(anime.Ask(3), 5);
    anime.world.Tick(5000); // cut to one frame's time
    EXPECT_EQ(anime.Ask(3), 6);
    EXPECT_EQ(anime.Frame(), 3);
}

std::vector<uint8_t> Kad(const std::string& layout)
{
    std::vector<uint8_t> bytes;
    std::string error;
    EXPECT_TRUE(image_groups::BuildKad(layout, bytes, &error)) << error;
    return bytes;
}

TEST(BgAnime, ALoopWithoutFramesStopsInsteadOfHanging)
{
    EffectWorld world(32, 24);
    const std::vector<uint8_t> bytes =
        Kad("header 32 24 0 1\nrecord 0 0 F0.ELG\nentry 0 100 0 0 0\nentry -1 1 0 0 0\nentry -1 2 0 0 0\n");
    CKadFile kad;
    ASSERT_EQ(kad.LoadFromMemory(bytes.data(), uint32_t(bytes.size())), 0);
    CLayerEffect* holder = nullptr;
    ASSERT_EQ(CreateLayerEffect("bg_anime", &world.front,
                                CEffectArgs::Of(static_cast<CGroupFile*>(&kad),
                                                world.dir.Windows("ANIME").c_str(), 0, 0, 1, 1),
                                &holder),
              1)
        << "bg_anime is a game row: the host registry lacks it";
    RegisterRows(world.registry, GameEffectRows());
    ASSERT_EQ(CreateLayerEffect("bg_anime", &world.front,
                                CEffectArgs::Of(static_cast<CGroupFile*>(&kad),
                                                world.dir.Windows("ANIME").c_str(), 0, 0, 1, 1),
                                &holder),
              0);
    world.Tick(0);
    world.Tick(100); // mark, loop back, mark again: refused, the play ends
    EXPECT_EQ(holder, nullptr);
    CSurface* shown = nullptr;
    world.front.GetScene()->GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(shown, nullptr);
}

TEST(BgAnime, SetUpCodes)
{
    EffectWorld world(32, 24);
    const std::string folder = world.dir.Windows("ANIME");
    CKadFile good;
    ASSERT_EQ(good.Load(world.dir.Windows("ANIME\\BG.KAD").c_str()), 0);
    const std::vector<uint8_t> farBytes = Kad("header 32 24 0 1\nrecord 0 0 F0.ELG\nentry 3 100 0 0 0\n");
    CKadFile far;
    ASSERT_EQ(far.LoadFromMemory(farBytes.data(), uint32_t(farBytes.size())), 0);
    const std::vector<uint8_t> flatBytes = Kad("header 0 24 0 1\nrecord 0 0 F0.ELG\nentry 0 100 0 0 0\n");
    CKadFile flat;
    ASSERT_EQ(flat.LoadFromMemory(flatBytes.data(), uint32_t(flatBytes.size())), 0);
    const std::vector<uint8_t> hugeBytes = Kad("header 65500 65511 0 1\nrecord 0 0 F0.ELG\nentry 0 100 0 0 0\n");
    CKadFile huge;
    ASSERT_EQ(huge.LoadFromMemory(hugeBytes.data(), uint32_t(hugeBytes.size())), 0);
    CKadFile empty;
    struct RefusingManager : CTimerManager {
        uint32_t Add(CTimedTask*, uint32_t, uint32_t, uint32_t) override { return 1; }
    } refusing;
    struct Case {
        const char* what;
        CTimerManager* manager;
        CKadFile* kad;
        const char* folder;
        int code;
    } const cases[] = {
        {"no manager", nullptr, &good, folder.c_str(), 1},
        {"no animation", &world.scheduler, nullptr, folder.c_str(), 1},
        {"an unloaded animation", &world.scheduler, &empty, folder.c_str(), 1},
        {"no folder", &world.scheduler, &good, nullptr, 1},
        {"an entry past the records", &world.scheduler, &far, folder.c_str(), 1},
        {"no frame image", &world.scheduler, &flat, folder.c_str(), 2},
        {"a frame past the picture limit", &world.scheduler, &huge, folder.c_str(), 2},
        {"manager refuses", &refusing, &good, folder.c_str(), 4},
    };
    for (const Case& c : cases) {
        CBgAnimeEffect effect;
        CEffectArgs args;
        args.AddObject(static_cast<CGroupFile*>(c.kad));
        if (c.folder != nullptr)
            args.AddText(c.folder);
        else
            args.AddInt(0);
        for (int word : {0, 0, 0, 1})
            args.AddInt(word);
        EXPECT_EQ(effect.SetUpV(c.manager, &world.front, args), c.code) << c.what;
    }
    auto* twice = new CBgAnimeEffect; // the scheduler owns it once added
    EXPECT_EQ(twice->SetUp(&world.scheduler, &world.front, static_cast<CGroupFile*>(&good), folder.c_str(),
                           -1, 0, 0, 0),
              0);
    EXPECT_EQ(twice->SetUp(&world.scheduler, &world.front, static_cast<CGroupFile*>(&good), folder.c_str(),
                           -1, 0, 0, 0),
              2);
    EXPECT_EQ(twice->SetParams(1), 3); // not selected
    EXPECT_EQ(twice->Query(nullptr, 0), CBgAnimeEffect::kStopped);
    CBgAnimeEffect none;
    EXPECT_EQ(none.SetParams(0), 1);
}

} // namespace
