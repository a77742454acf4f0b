// Applying the settings block: the sound manager's switches and volumes, the player's keyboard
// and joystick bindings next to the fixed ones, the mouse actions rebound only on change, and the
// text-display settings (only when changed, the font, the history's capacity).
#include "game/apply_settings.h"

#include <gtest/gtest.h>

#include "drawing/gdi_font.h"
#include "platform/input_manager.h"
#include "script/message_store.h"
#include "script/script_memory.h"
#include "platform/input_test_window.h"
#include "sound/sound_manager.h"
#include "winapi/joystick.h"

namespace {

AppConfig Defaults()
{
    AppConfig config{};
    SetAppConfigDefaults(&config);
    return config;
}

TEST(ApplySound, PushesSwitchesAndVolumes)
{
    CSoundManager sound;
    AppConfig config = Defaults();
    config.masterOn = 0;
    config.masterVolume = 200;
    config.seOn = 0;
    config.systemSeOn = 1;
    config.voiceOn = 0;
    config.seVolume = 11;
    config.systemSeVolume = 22;
    config.voiceVolume = 33;

    EXPECT_FALSE(ApplySoundSettings(nullptr, config, true, false));
    EXPECT_FALSE(ApplySoundSettings(&sound, config, false, false));
    EXPECT_EQ(sound.GetMasterVolume(), 256) << "nothing changes without a host";

    ASSERT_TRUE(ApplySoundSettings(&sound, config, true, false));
    EXPECT_EQ(sound.GetMasterMask(), 0);
    EXPECT_EQ(sound.GetMasterVolume(), 200);
    EXPECT_EQ(sound.GetKindEnabled(1), 0);
    EXPECT_EQ(sound.GetKindEnabled(2), 1);
    EXPECT_EQ(sound.GetKindEnabled(4), 0);
    EXPECT_EQ(sound.m_defaultVolume1, 11);
    EXPECT_EQ(sound.m_defaultVolume2, 22);
    EXPECT_EQ(sound.m_defaultVolume4, 33);
    EXPECT_FALSE(sound.IsMusicAudible());

    ASSERT_TRUE(ApplySoundSettings(&sound, config, true, true));
    EXPECT_EQ(sound.m_defaultVolume4, -2) << "a voice table keeps each character's volume";
}

class ApplyInput : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::DetachAllJoysticks();
        JoystickSlotTable = JoystickSlotTableType{};
        winapi::JoystickInfo pad;
        pad.nameUtf8 = "pad";
        pad.buttons = 16;
        winapi::AttachJoystick(pad);
        ASSERT_EQ(input.CreateDevices(window.hwnd, 2, 2), 0u);
        ASSERT_EQ(input.CreateJoystick(-1, window.hwnd), 0);
        ASSERT_EQ(input.CreateActionMap(20, &map), 0u);
        // The key table's fixed entries of actions 4 and 5.
        ASSERT_EQ(map->Bind(4, 0, 0x1C), 0u);
        ASSERT_EQ(map->Bind(4, 0, 0x9C), 0u);
        ASSERT_EQ(map->Bind(5, 0, 0x01), 0u);
    }
    void TearDown() override { winapi::DetachAllJoysticks(); }
    // The player's binding of an action on a source (after the fixed ones), or -1.
    int Player(uint32_t action, int32_t source)
    {
        const uint32_t fixed = source == 0 ? FixedKeyBindings(action) : 0;
        if (map->CountBindings(action, source) != fixed + 1)
            return map->CountBindings(action, source) == fixed ? -1 : -2;
        uint8_t code = 0;
        map->GetBinding(action, source, fixed, &code, nullptr);
        return code;
    }

    InputTestWindow window;
    CInputManager input;
    CActionMap* map = nullptr;
    MouseAssignments mouse;
};

TEST_F(ApplyInput, KeysBindRebindAndUnbindAfterTheFixedOnes)
{
    AppConfig config{};
    struct Step {
        uint8_t code;
        int expected; // the player's code, -1 none
    };
    // Each action runs the same sequence: added, kept, changed, removed, left removed.
    const Step steps[] = {{0x20, 0x20}, {0x20, 0x20}, {0x30, 0x30}, {0, -1}, {0, -1}};
    for (const Step& step : steps) {
        for (uint8_t& key : config.keys)
            key = step.code;
        ApplyKeyAssignments(*map, config);
        for (uint32_t action = 4; action < 20; ++action)
            EXPECT_EQ(Player(action, 0), step.expected) << "action " << action << " code " << int(step.code);
        uint8_t code = 0;
        map->GetBinding(4, 0, 0, &code, nullptr);
        EXPECT_EQ(code, 0x1C);
        map->GetBinding(4, 0, 1, &code, nullptr);
        EXPECT_EQ(code, 0x9C);
        map->GetBinding(5, 0, 0, &code, nullptr);
        EXPECT_EQ(code, 0x01) << "the fixed bindings stay";
    }
    for (uint32_t action = 0; action < 4; ++action)
        EXPECT_EQ(map->CountBindings(action, 0), 0u) << "actions 0-3 are not the player's";
}

TEST_F(ApplyInput, JoystickButtonsAndSwitch)
{
    AppConfig config{};
    config.useJoystick = 0;
    for (uint32_t i = 0; i < kAssignedActionCount; ++i)
        config.joystickButtons[i] = static_cast<uint8_t>(i + 1);
    ApplyJoystickAssignments(input, *map, config, mouse);
    EXPECT_EQ(input.m_joysticksEnabled, 0);
    for (uint32_t action = 4; action < 20; ++action)
        EXPECT_EQ(Player(action, 2), static_cast<int>(action - 3));

    config.useJoystick = 1;
    config.joystickButtons[0] = 9;
    config.joystickButtons[1] = 0;
    ApplyJoystickAssignments(input, *map, config, mouse);
    EXPECT_EQ(input.m_joysticksEnabled, 1);
    EXPECT_EQ(Player(4, 2), 9);
    EXPECT_EQ(Player(5, 2), -1);
    EXPECT_EQ(Player(6, 2), 3);
}

TEST_F(ApplyInput, MouseActionsFollowTheCombosAndRebindOnlyOnChange)
{
    struct Case {
        uint8_t right, wheel, wheelUp, wheelDown;
        uint32_t actions[4]; // of codes 1..4
    };
    const Case cases[] = {
        {0, 0, 0, 0, {0, 0, 14, 0}},   {1, 2, 1, 1, {12, 11, 18, 19}}, {3, 4, 0, 0, {6, 15, 14, 0}},
        {5, 6, 1, 0, {7, 8, 18, 0}},   {5, 6, 1, 0, {7, 8, 18, 0}},    {99, 7, 0, 1, {0, 0, 14, 19}},
        {1, 1, 0, 0, {12, 12, 14, 0}},
    };
    AppConfig config{};
    for (const Case& c : cases) {
        config.rightButtonAction = c.right;
        config.wheelButtonAction = c.wheel;
        config.option150 = c.wheelUp;
        config.wheelDownAdvances = c.wheelDown;
        ApplyJoystickAssignments(input, *map, config, mouse);
        for (uint32_t action = 0; action < 20; ++action) {
            uint32_t expected = 0;
            for (int code = 0; code < 4; ++code)
                expected += action != 0 && c.actions[code] == action ? 1 : 0;
            EXPECT_EQ(map->CountBindings(action, 1), expected) << "action " << action << " right " << int(c.right);
        }
        for (int code = 0; code < 4; ++code)
            EXPECT_EQ(mouse.actions[code], c.actions[code]);
    }
}

} // namespace

namespace {

struct TextSettings : testing::Test {
    CScriptMemory memory{1u << 16};
    CMessageStore log{memory};
    CGdiFont font;
    AppConfig config = Defaults();
    TextDisplayTargets targets;
    void SetUp() override
    {
        targets.font = &font;
        targets.history = &log;
        targets.applyFont = true;
        targets.applyHistory = true;
        font.SetFont(16, 0, 0, config.faceName);
    }
};

} // namespace

TEST_F(TextSettings, OnlyWhenChangedReadsAndClearsTheByte)
{
    config.historyPages = 20;
    uint8_t changed = 0;
    EXPECT_EQ(ApplyTextDisplaySettings(config, &changed, true, targets), 0);
    EXPECT_EQ(log.HistoryCapacity(), 0); // nothing applied
    changed = 1;
    EXPECT_EQ(ApplyTextDisplaySettings(config, &changed, true, targets), 1);
    EXPECT_EQ(changed, 0);
    EXPECT_EQ(log.HistoryCapacity(), 21); // the pages and one more
    // Without only-if-changed the byte is answered and kept.
    changed = 1;
    config.historyPages = 0;
    EXPECT_EQ(ApplyTextDisplaySettings(config, &changed, false, targets), 1);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(log.HistoryCapacity(), 0); // 0 pages stay 0
}

TEST_F(TextSettings, FontTakesEffectAntialiasingBoldAndFace)
{
    config.decoration = 1;
    config.antiAlias = 1;
    config.bold = 1;
    uint8_t changed = 1;
    ApplyTextDisplaySettings(config, &changed, true, targets);
    EXPECT_EQ(font.m_effectMode, 1);
    EXPECT_EQ(font.m_antialias, 2); // passed doubled
    EXPECT_GE(font.m_logFont.lfWeight, 700);
    EXPECT_EQ(font.m_logFont.lfHeight, -16);
    // Without apply-font the font stays as it is.
    config.bold = 0;
    targets.applyFont = false;
    ApplyTextDisplaySettings(config, &changed, false, targets);
    EXPECT_GE(font.m_logFont.lfWeight, 700);
}
