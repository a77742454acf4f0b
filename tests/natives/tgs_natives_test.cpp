// Natives 791-794 over a real host: the start values, making and replacing the frame (a missing
// script table accepted, a surface word that is no canvas refused), running a scenario to its end
// with retTgsExp holding the result, the failures and the stop of the game.
#include <gtest/gtest.h>

#include <vector>

#include "authoring/tob_packer.h"
#include "natives/native_table.h"
#include "natives/tgs_natives.h"
#include "script/tgs_frame.h"
#include "script/tgs_host_link.h"
#include "support/native_script.h"
#include "support/pixel_library.h"
#include "winapi/clock.h"
#include "winapi/text.h"

using hosttest::Call;
using hosttest::HostFixture;
using hosttest::Script;

namespace {

struct TgsFixture : HostFixture {
    TestPixelLibrary pixels;
    TgsFixture()
    {
        winapi::UseVirtualClock(true);
        app.onStep = [] {
            winapi::AdvanceVirtualClock(16);
            return 1;
        };
    }
    ~TgsFixture()
    {
        host.reset();
        winapi::UseVirtualClock(false);
    }
    void Scenario(const std::string& name, const std::string& source)
    {
        std::vector<uint8_t> bytes;
        std::vector<std::string> errors;
        TobPackOptions options;
        options.variables = &layout;
        ASSERT_TRUE(PackTob(source, name, options, &bytes, &errors)) << (errors.empty() ? "" : errors[0]);
        dir.Write("SCRIPT/" + name + ".TOB", hosttest::Text(bytes));
    }
    void Init(const std::vector<std::string>& names)
    {
        std::vector<TgsInitRow> rows;
        for (const std::string& n : names)
            rows.push_back(TgsInitRow{n, 8, 8});
        std::vector<uint8_t> bytes;
        std::string error;
        ASSERT_TRUE(WriteTgsInit(rows, &bytes, &error)) << error;
        dir.Write("SCRIPT/TGS_INIT.DAT", hosttest::Text(bytes));
    }
    uint32_t Native(int n, const std::string& args, const std::string& data = "")
    {
        Script s(*host, Call(n, args, data));
        EXPECT_FALSE(s.Faulted());
        return s.Word("out");
    }
    int32_t RetTgsExp()
    {
        uint32_t v = 0;
        host->Memory().Load32(host->RetTgsExpAddress(), &v);
        return static_cast<int32_t>(v);
    }
};

TEST(TgsNatives, RowsAreBuilt)
{
    for (uint32_t n = 791; n <= 794; ++n)
        EXPECT_TRUE(GetNativeRow(n).built) << n;
}

// The frame's link reads the user block's late-frame byte and switches the frame timer's counting,
// leaving the byte as the user set it.
TEST(TgsNatives, LinkPausesLateFramesThroughTheApplication)
{
    HostFixture f;
    CTgsHostLink* link = TgsHostLinkFor(nullptr);
    for (const uint8_t byte : {uint8_t{0}, uint8_t{1}}) {
        f.app.userBlock[5] = byte;
        EXPECT_EQ(link->CountsLateFrames(), byte != 0);
    }
    link->SetLateFrameCounting(false);
    EXPECT_FALSE(f.app.timer.CountsLateFrames());
    link->SetLateFrameCounting(true);
    EXPECT_TRUE(f.app.timer.CountsLateFrames());
    EXPECT_EQ(f.app.userBlock[5], 1);
}

TEST(TgsNatives, StartValuesReachTheNewFrame)
{
    TgsFixture f;
    f.Start();
    for (int s = 0; s <= 7; ++s)
        EXPECT_EQ(f.Native(794, std::to_string(s) + ", " + std::to_string(100 + s)), 0u);
    for (int s = 0; s <= 6; ++s)
        EXPECT_EQ(f.host->SettingsWord(s), 100 + s);
    EXPECT_EQ(f.host->SettingsWord(7), 0);
    // No script table: accepted.
    EXPECT_EQ(f.Native(791, "0, 0, 0"), 0u);
    ASSERT_NE(g_pTgsFrame, nullptr);
    EXPECT_EQ(g_pTgsFrame->StartValue(0), 100);
    EXPECT_EQ(g_pTgsFrame->StartValue(5), 105);
    EXPECT_EQ(g_pTgsFrame->ScriptFolder(), "SCRIPT\\");
    // A second 791 replaces it.
    EXPECT_EQ(f.Native(791, "0, 0, 0"), 0u);
    EXPECT_NE(g_pTgsFrame, nullptr);
    // A surface word that is no canvas: 1 and no frame.
    EXPECT_EQ(f.Native(791, "0, 0, 0x12345678"), 1u);
    EXPECT_EQ(g_pTgsFrame, nullptr);
    EXPECT_EQ(f.Native(791, "0, 0, 0"), 0u);
    EXPECT_EQ(f.Native(792, "0"), 0u);
    EXPECT_EQ(g_pTgsFrame, nullptr);
    EXPECT_EQ(f.Native(792, "0"), 0u);
}

TEST(TgsNatives, RunPlaysAScenarioToItsEnd)
{
    TgsFixture f;
    f.Scenario("MAIN", "@message\nこんにちは\n@wait 100\n@return\n");
    f.Init({"MAIN"});
    f.Start();
    // Without a frame: 1.
    EXPECT_EQ(f.Native(793, "0, name", "name: .sjis \"MAIN\""), 1u);
    ASSERT_EQ(f.Native(791, "0, 0, 0"), 0u);
    EXPECT_EQ(f.Native(793, "0, name", "name: .sjis \"NONE\""), 2u);
    const int steps = f.app.steps;
    EXPECT_EQ(f.Native(793, "0, name", "name: .sjis \"MAIN\""), 0u);
    EXPECT_EQ(f.RetTgsExp(), 0);
    EXPECT_GE(f.app.steps - steps, 6);
    EXPECT_EQ(g_pTgsFrame->MessageWindow(), nullptr); // the scene was cleared
    // The game stops during a wait: the text waits (-1) and the native asks to be called again.
    f.app.onStep = [] { return 0; };
    EXPECT_EQ(f.Native(793, "0, name", "name: .sjis \"MAIN\""), 1u);
    EXPECT_EQ(f.RetTgsExp(), -1);
}

// A state loaded between script steps: MAIN's next 793 resumes it, named or not, at the loaded
// message, and the byte is clear after.
TEST(TgsNatives, RunWithANameAfterALoadResumes)
{
    TgsFixture f;
    f.Scenario("MAIN", "@message 0\n@wait 50\n@message 1\n@wait 50\n@message 2\n@wait 50\n");
    f.Init({"MAIN"});
    f.Start();
    ASSERT_EQ(f.Native(791, "0, 0, 0"), 0u);
    std::vector<uint8_t> saved;
    std::vector<int32_t> messages;
    f.app.onStep = [&] {
        winapi::AdvanceVirtualClock(16);
        CTgsFrame* frame = g_pTgsFrame;
        messages.push_back(frame->CurrentMessage());
        if (frame->CurrentMessage() == 1 && saved.empty()) {
            saved.resize(frame->GetStateSize(true));
            uint8_t* p = saved.data();
            size_t left = saved.size();
            EXPECT_EQ(frame->SaveState(&p, &left, true), 0);
        }
        return 1;
    };
    ASSERT_EQ(f.Native(793, "0, name", "name: .sjis \"MAIN\""), 0u);
    ASSERT_FALSE(saved.empty());
    EXPECT_EQ(messages.front(), 0);
    const uint8_t* p = saved.data();
    size_t left = saved.size();
    ASSERT_EQ(g_pTgsFrame->LoadState(&p, &left, true), 0);
    EXPECT_EQ(g_pTgsFrame->StateReplaced(), 1);
    messages.clear();
    // Named: resumed all the same, at message 1.
    ASSERT_EQ(f.Native(793, "0, name", "name: .sjis \"MAIN\""), 0u);
    EXPECT_EQ(f.RetTgsExp(), 0);
    ASSERT_FALSE(messages.empty());
    EXPECT_EQ(messages.front(), 1);
    EXPECT_EQ(messages.back(), 2);
    EXPECT_EQ(g_pTgsFrame->StateReplaced(), 0);
}

} // namespace
