// A test fixture with a started frame: Init ran on the test thread (which pumps its messages),
// the window is active and focused, and Exit runs at the end.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "frame_test_game.h"
#include "winapi/host_headless.h"

inline winapi::HeadlessHost& Host()
{
    winapi::CurrentHost();
    return *winapi::CurrentHeadlessHost();
}

class FrameFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        Host().SetDisplays({winapi::DisplayInfo{}});
        game = std::make_unique<FrameTestGame>(&screen);
    }
    void TearDown() override
    {
        if (started)
            game->Exit(0);
        game.reset();
        // A WM_QUIT left by the window's end must not end the next test's loop at once.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
    }
    void Start(const std::function<void(AppFrameOptions&)>& configure = nullptr)
    {
        game->configure = configure;
        ASSERT_EQ(game->Init(), 0);
        started = true;
        hwnd = game->GetMainWindow();
        SetActiveWindow(hwnd);
        SetFocus(hwnd);
        game->PumpMessages(true);
    }

    FrameTestScreen screen;
    std::unique_ptr<FrameTestGame> game;
    bool started = false;
    HWND hwnd = nullptr;
};
