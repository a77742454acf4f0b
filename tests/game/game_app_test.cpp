// The application object's small operations: menu item groups, the exit messages and what it
// answers the script host and its natives through the link.
#include <gtest/gtest.h>

#include "game/game_app.h"
#include "winapi/host_headless.h"

TEST(GameApp, EnableMenuItemGroup)
{
    CGameApp app;
    struct Step {
        int group;
        bool enable;
        int result;
        uint8_t flags[5];  // afterwards
    };
    const Step steps[] = {
        {0, false, 0, {0, 0, 0, 0, 1}}, {0, false, 0, {0, 0, 0, 0, 1}}, {1, true, 0, {0, 1, 0, 0, 1}},
        {3, true, 0, {0, 1, 0, 1, 1}},  {4, false, 0, {0, 1, 0, 1, 0}}, {5, true, -1, {0, 1, 0, 1, 0}},
        {-1, true, -1, {0, 1, 0, 1, 0}},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(s.result, app.EnableMenuItemGroup(s.group, s.enable)) << s.group;
        for (int g = 0; g < 5; ++g)
            EXPECT_EQ(s.flags[g], app.GetMenuGroupFlag(g)) << s.group << " flag " << g;
    }
}

TEST(GameApp, ExitMessagesByFailureByte)
{
    auto* host = winapi::CurrentHeadlessHost();
    ASSERT_NE(nullptr, host);
    const char* const expected[] = {nullptr, "描画オブジェクトのリストアに失敗", "画面モード切替に失敗", nullptr};
    for (uint8_t byte = 0; byte < 4; ++byte) {
        CGameApp app;
        app.SetFailureByte(byte);
        const size_t before = host->MessageBoxes().size();
        app.OnExit(0);
        const auto boxes = host->MessageBoxes();
        ASSERT_EQ(before + (expected[byte] ? 1 : 0), boxes.size()) << int(byte);
        if (expected[byte] != nullptr) {
            EXPECT_EQ(expected[byte], boxes.back().text);
            EXPECT_EQ(static_cast<UINT>(MB_ICONHAND), boxes.back().type & 0xF0u);
        }
    }
}

TEST(GameApp, AnswersTheHostFromItsFrameAndSettings)
{
    CGameApp app;
    EXPECT_EQ(g_pGameApp, static_cast<CGameAppLink*>(&app));
    EXPECT_EQ(app.GetFrameImeContext(), &app.GetImeContext());
    EXPECT_EQ(app.GetTaskList(), &app.TaskList());
    app.Config().popupHints = 0;
    app.Config().pad17[1] = 7; // byte 18
    EXPECT_EQ(app.GetSettingsByte(16), 0);
    EXPECT_EQ(app.GetSettingsByte(18), 7);
    EXPECT_EQ(app.GetSettingsByte(195), app.Config().pad194[1]);
    EXPECT_EQ(app.GetSettingsByte(196), 0); // past the block
}

TEST(GameApp, AnswersTheNativesLink)
{
    CGameApp app;
    CGameAppLink& link = app;
    EXPECT_EQ(link.GetUserBlock(), app.UserBlock());
    EXPECT_EQ(link.GetFrameTimer(), &app.Timer());
    EXPECT_EQ(&link.GetSaveFolder(), &app.GetSaveFolder());
    EXPECT_EQ(link.GetMenuGroupFlag(-1), 0);
    EXPECT_EQ(link.GetMenuGroupFlag(5), 0);
    link.SetStopWhenInactive(3);
    EXPECT_EQ(app.Settings().user.stopWhenInactive, 3);
    link.SetScriptFlag(true);
    EXPECT_TRUE(app.GetScriptFlag());
    // The data-input request: null texts keep the caption and label.
    EXPECT_EQ(link.InputTextForScript("Title", "Label", 1, 20, 1, 300, -1, 5), 0);
    EXPECT_EQ(link.InputTextForScript(nullptr, nullptr, 0, 0, 0, 0, 10, 20), 0);
    const CGameApp::DataInputRequest& request = app.GetDataInputRequest();
    EXPECT_EQ(request.caption, "Title");
    EXPECT_EQ(request.label, "Label");
    EXPECT_EQ(request.x, 10);
    EXPECT_EQ(request.y, 20);
    // The text settings read the settings-changed byte and clear it when asked only on change.
    EXPECT_EQ(link.ApplyTextDisplaySettings(true, 0, nullptr, nullptr, nullptr, false, true), 0);
    app.SetSettingsChanged(1);
    EXPECT_EQ(link.ApplyTextDisplaySettings(false, 0, nullptr, nullptr, nullptr, false, true), 1);
    EXPECT_EQ(app.GetSettingsChanged(), 1);
    EXPECT_EQ(link.ApplyTextDisplaySettings(true, 0, nullptr, nullptr, nullptr, false, true), 1);
    EXPECT_EQ(app.GetSettingsChanged(), 0);
}
