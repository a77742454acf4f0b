// Action maps: binding operations and their codes, queries through the bound sources, and maps
// that survive new devices.
#include <gtest/gtest.h>

#include <functional>

#include "input_test_window.h"
#include "platform/input_manager.h"
#include "winapi/joystick.h"

namespace {

class ActionMaps : public ::testing::Test {
protected:
    void SetUp() override
    {
        winapi::DetachAllJoysticks();
        JoystickSlotTable = JoystickSlotTableType{};
        winapi::JoystickInfo pad;
        pad.nameUtf8 = "pad";
        pad.buttons = 4;
        joystickId = winapi::AttachJoystick(pad);
        ASSERT_EQ(manager.CreateDevices(window.hwnd, 2, 2), 0u);
        ASSERT_EQ(manager.CreateJoystick(-1, window.hwnd), 0);
        manager.AcquireAll();
        ASSERT_EQ(manager.CreateActionMap(5, &map), 0u);
    }
    void TearDown() override { winapi::DetachAllJoysticks(); }
    void PressJoystickButton(int button)
    {
        winapi::JoystickState state;
        state.buttons = 1u << button;
        winapi::SetJoystickState(joystickId, state);
    }

    InputTestWindow window;
    CInputManager manager;
    CActionMap* map = nullptr;
    int joystickId = -1;
};

TEST_F(ActionMaps, OperationsAndTheirCodes)
{
    struct Step {
        const char* name;
        std::function<uint32_t(CActionMap&)> call;
        uint32_t expected;
    } steps[] = {
        {"bind keyboard", [](CActionMap& m) { return m.Bind(0, 0, DIK_RETURN); }, 0},
        {"bind the same twice stores two", [](CActionMap& m) { return m.Bind(0, 0, DIK_RETURN); }, 0},
        {"bind joystick button 0", [](CActionMap& m) { return m.Bind(0, 2, 4); }, 0},
        {"bind a missing joystick", [](CActionMap& m) { return m.Bind(0, 3, 4); }, 2},
        {"bind a bad action", [](CActionMap& m) { return m.Bind(5, 0, 1); }, 1},
        {"count keyboard", [](CActionMap& m) { return m.CountBindings(0, 0); }, 2},
        {"count all", [](CActionMap& m) { return m.CountBindings(0, -1); }, 3},
        {"count a missing source", [](CActionMap& m) { return m.CountBindings(0, 9); }, 0},
        {"unbind one of the pair", [](CActionMap& m) { return m.Unbind(0, 0, DIK_RETURN); }, 0},
        {"unbind a missing binding", [](CActionMap& m) { return m.Unbind(0, 0, DIK_A); }, 3},
        {"unbind a missing source", [](CActionMap& m) { return m.Unbind(0, 7, DIK_A); }, 2},
        {"unbind bad action", [](CActionMap& m) { return m.Unbind(9, 0, DIK_A); }, 1},
        {"rebind the first keyboard binding whatever its code", [](CActionMap& m) { return m.Rebind(0, 0, DIK_SPACE, -1); }, 0},
        {"rebind a code not bound", [](CActionMap& m) { return m.Rebind(0, 0, DIK_A, DIK_Z); }, 3},
        {"rebind a missing source", [](CActionMap& m) { return m.Rebind(0, 5, DIK_A, -1); }, 2},
        {"second binding of all (only two)", [](CActionMap& m) { return m.GetBinding(0, -1, 2, nullptr, nullptr); }, 2},
        {"second keyboard binding (only one)", [](CActionMap& m) { return m.GetBinding(0, 0, 1, nullptr, nullptr); }, 4},
        {"binding of a missing source", [](CActionMap& m) { return m.GetBinding(0, 6, 0, nullptr, nullptr); }, 3},
        {"binding of a bad action", [](CActionMap& m) { return m.GetBinding(7, 0, 0, nullptr, nullptr); }, 1},
        {"unbind all of an empty action", [](CActionMap& m) { return m.Unbind(3, -1, 0); }, 0},
        {"unbind all", [](CActionMap& m) { return m.Unbind(1, -1, 0); }, 0},
    };
    for (Step& step : steps)
        EXPECT_EQ(step.call(*map), step.expected) << step.name;
    uint8_t code = 0;
    CInputSource* source = nullptr;
    ASSERT_EQ(map->GetBinding(0, 0, 0, &code, &source), 0u);
    EXPECT_EQ(code, DIK_SPACE);
    EXPECT_EQ(source, manager.GetKeyboard());
    ASSERT_EQ(map->GetBinding(0, -1, 1, &code, &source), 0u);
    EXPECT_EQ(code, 4);
    EXPECT_EQ(source, manager.GetJoystick(0));

    CActionMap* empty = nullptr;
    EXPECT_EQ(manager.CreateActionMap(0, &empty), 2u);
    CActionMap standalone(&manager);
    EXPECT_EQ(standalone.Create(0), 1u);
    EXPECT_FALSE(standalone.IsDown(0));
    EXPECT_EQ(standalone.GetActionCount(), 0u);
}

TEST_F(ActionMaps, EitherBindingPushesTheAction)
{
    ASSERT_EQ(map->Bind(0, 0, DIK_RETURN), 0u);
    ASSERT_EQ(map->Bind(0, 2, 4), 0u);
    ASSERT_EQ(map->Bind(3, 1, 0), 0u);
    manager.Poll();
    EXPECT_FALSE(map->IsPushed(0));
    manager.OnKeyDown(VK_RETURN, 0);
    manager.Poll();
    EXPECT_TRUE(map->IsPushed(0));
    EXPECT_TRUE(map->IsDown(0));
    manager.OnKeyUp(VK_RETURN, 0);
    manager.Poll();
    EXPECT_FALSE(map->IsPushed(0));
    PressJoystickButton(0);
    manager.Poll();
    EXPECT_TRUE(map->IsPushed(0));
    EXPECT_EQ(map->FindFirstPushed(0, 0), 0);
    manager.OnLButtonDown();
    manager.Poll();
    EXPECT_FALSE(map->IsPushed(0)) << "held, not pushed again";
    EXPECT_TRUE(map->IsDown(0));
    EXPECT_EQ(map->FindFirstPushed(0, 0), 3);
    EXPECT_EQ(map->FindFirstDown(0, 0), 0);
    EXPECT_EQ(map->FindFirstDown(2, 0), 3) << "from 2 to the last";
    EXPECT_EQ(map->FindFirstDown(3, 10), 3) << "the range is cut at the count";
    EXPECT_EQ(map->FindFirstDown(4, 10), -1);
    EXPECT_EQ(map->FindFirstDown(1, 2), -1) << "actions 1 and 2";
    EXPECT_FALSE(map->IsDown(99));
}

TEST_F(ActionMaps, MapsSurviveNewDevices)
{
    ASSERT_EQ(map->Bind(1, 0, DIK_ESCAPE), 0u);
    ASSERT_EQ(map->Bind(1, 2, 5), 0u);
    ASSERT_EQ(manager.CreateDevices(window.hwnd, 2, 2), 0u);
    EXPECT_EQ(map->CountBindings(1, -1), 2u);
    uint8_t code = 0;
    CInputSource* source = nullptr;
    ASSERT_EQ(map->GetBinding(1, 0, 0, &code, &source), 0u);
    EXPECT_EQ(source, manager.GetKeyboard()) << "re-pointed to the new keyboard";
    EXPECT_EQ(manager.GetJoystick(0), nullptr);
    manager.AcquireAll();
    manager.Poll();
    EXPECT_FALSE(map->IsDown(1)) << "the joystick binding waits without a device";
    ASSERT_EQ(manager.CreateJoystick(-1, window.hwnd), 0);
    PressJoystickButton(1);
    manager.Poll();
    EXPECT_TRUE(map->IsPushed(1));
    manager.OnKeyDown(VK_ESCAPE, 0);
    manager.Poll();
    EXPECT_TRUE(map->IsDown(1));
    ASSERT_EQ(manager.OpenDirectInput(false, nullptr), 0u);
    EXPECT_EQ(map->GetActionCount(), 5u) << "OpenDirectInput keeps the maps too";
    EXPECT_FALSE(map->IsDown(1));
}

} // namespace
