// The lip-sync task on the headless host: a voice of a silent, a quiet and a loud half second
// (made by sox, encoded by oggenc) opened with its level envelope; the cells follow the parts; a
// stopped sound shows the sheet's end cell and ends the task; Setup's refusals.
#include "sound/lip_sync_task.h"

#include "drawing/cell_sheet.h"
#include "drawing/drawing_test_util.h"
#include "files/ogg_decoder.h"
#include "files/sound_fixtures.h"
#include "sound/loaded_sound.h"
#include "sound_support.h"

using soundtest::SoundTest;

namespace {

class LipSync : public SoundTest {
protected:
    static void SetUpTestSuite()
    {
        s_dir = new TempFolder;
        const auto part = [](const std::string& name, const std::string& synth) {
            return sound_test::Run("sox -n -r 22050 -c 1 -b 16 '" + s_dir->Linux(name) + "' " + synth);
        };
        s_made = part("silent.wav", "trim 0 0.5") && part("quiet.wav", "synth 0.5 sine 440 vol 0.1")
                 && part("loud.wav", "synth 0.5 sine 440 vol 0.9")
                 && sound_test::Run("sox '" + s_dir->Linux("silent.wav") + "' '" + s_dir->Linux("quiet.wav") + "' '"
                                    + s_dir->Linux("loud.wav") + "' '" + s_dir->Linux("voice.wav") + "'")
                 && sound_test::Run("oggenc -Q -q 3 '" + s_dir->Linux("voice.wav") + "' -o '"
                                    + s_dir->Linux("voice.ogg") + "'");
    }
    static void TearDownTestSuite()
    {
        delete s_dir;
        s_dir = nullptr;
    }
    void SetUp() override
    {
        SoundTest::SetUp();
        ASSERT_TRUE(s_made) << "sox or oggenc failed";
        ASSERT_EQ(SetBaseFolder(s_dir->Windows().c_str()), 0);
        ASSERT_EQ(RegisterOggDecoder(sll), 0);
        source = drawing_test::RandomImage(40, 30, 32, 3);
        picture = drawing_test::RandomImage(3 * 8, 6, 32, 4);
        picture->SetAlphaFlag(true);
        ASSERT_EQ(sheet.SetImage(picture.get(), 8, 6, nullptr, source.get(), 2, 3, 0, 2, false), 0);
        sheet.SetAnimation(3, 100, 0, 0, 0);
    }

    // The cell the source shows at the sheet's position; -1 none of them.
    int Shown() const
    {
        for (int c = 0; c < 3; ++c) {
            bool same = true;
            for (int y = 0; y < 6 && same; ++y)
                for (int x = 0; x < 8 && same; ++x)
                    same = drawing_test::Px(*source, 2 + x, 3 + y) == drawing_test::Px(*picture, 8 * c + x, y);
            if (same)
                return c;
        }
        return -1;
    }

    static inline TempFolder* s_dir = nullptr;
    static inline bool s_made = false;
    std::unique_ptr<CImage> source, picture;
    CCellSheet sheet;
    CTimerManager timers;
};

TEST_F(LipSync, CellsFollowTheLoudnessAndTheEndCellShows)
{
    CLoadedSound voice;
    ASSERT_EQ(voice.Open("voice.ogg", 2), 0);
    ASSERT_EQ(voice.Play(), 0);
    CLipSyncTask* task = new CLipSyncTask;
    task->SetOwnerSlot(&task);
    ASSERT_EQ(task->Setup(&timers, &sheet, &voice), 0);
    std::vector<int> cells;
    // The middles of the silent, quiet and loud parts: 250, 750 and 1250 ms into the sound.
    for (const uint32_t advance : {250u, 500u, 500u}) {
        Run(advance, 50);
        timers.RunDue(TimerNow());
        ASSERT_NE(task, nullptr);
        cells.push_back(task->GetCurrentCell());
        EXPECT_EQ(Shown(), task->GetCurrentCell());
    }
    EXPECT_EQ(cells, (std::vector<int>{0, 1, 2}));
    // After the end the sound stops: the end action (cell 0) shows and the task is gone.
    Run(600, 50);
    timers.RunDue(TimerNow());
    EXPECT_EQ(task, nullptr);
    EXPECT_EQ(Shown(), 0);
}

TEST_F(LipSync, SetupRefusals)
{
    CLoadedSound voice;
    CLipSyncTask task;
    EXPECT_EQ(task.Setup(&timers, &sheet, &voice), 1); // not loaded
    ASSERT_EQ(voice.Open("voice.ogg", 2), 0);
    EXPECT_EQ(task.Setup(nullptr, &sheet, &voice), 1);
    EXPECT_EQ(task.Setup(&timers, nullptr, &voice), 1);
    EXPECT_EQ(task.Setup(&timers, &sheet, nullptr), 1);
    EXPECT_EQ(task.Setup(&timers, &sheet, &voice), 2); // not playing
    EXPECT_EQ(timers.GetCount(), 0u);
}

} // namespace
