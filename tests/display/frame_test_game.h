// A small game over the application frame for the tests: it logs the frame's call-backs into the
// screen double's log, can fail any of its overrides, runs frames that present a colour and poll
// input, keeps an action map and a text-input control, and ends after a number of frames or when
// asked.
#pragma once

#include <atomic>
#include <functional>
#include <string>

#include "display/app_frame.h"
#include "frame_test_screen.h"

class FrameTestText : public ITextInputTarget {
public:
    uint8_t OnKeyDown(int virtualKey) override
    {
        keys.push_back(virtualKey);
        return 1;
    }
    uint8_t OnTextInput(const char* bytes, int count) override
    {
        text.append(bytes, static_cast<size_t>(count));
        return 2;
    }
    std::vector<int> keys;
    std::string text;
};

class FrameTestGame : public CAppFrame {
public:
    explicit FrameTestGame(FrameTestScreen* screen, std::string name = "FrameTestGame") : m_name(std::move(name))
    {
        SetScreen(screen);
        m_test = screen;
    }

    // Set before Run: the options SetAppInfo applies, and the overrides that fail.
    std::function<void(AppFrameOptions&)> configure;
    std::set<std::string> failing;
    const char* logFolder = nullptr;
    // Frames to run before the game ends by itself (0: until stopped).
    int frameLimit = 0;
    // Called once a frame (on the game's thread), under the frame lock: change it with SetOnFrame
    // while the game runs.
    std::function<void(FrameTestGame&)> onFrame;
    std::atomic<int> frames{0};
    CActionMap* actions = nullptr;
    FrameTestText textControl;

    int SetAppInfo() override
    {
        m_test->Call("SetAppInfo");
        SetAppStrings(m_name.c_str(), "Test title", "", "", "");
        // Test programs run side by side: one copy only where a test asks for it.
        m_options.singleInstance = 0;
        if (configure)
            configure(m_options);
        return failing.count("SetAppInfo") ? 1 : 0;
    }
    const char* GetLogFolder() override { return logFolder; }
    int OnBeforeCreateWindow() override { return Step("OnBeforeCreateWindow"); }
    int OnDevicesReady() override
    {
        if (int code = Step("OnDevicesReady"))
            return code;
        // Actions 0 up, 4 decide (Enter), 6 the left button.
        if (GetInput().CreateActionMap(8, &actions) != 0)
            actions = nullptr;
        return 0;
    }
    void OnExit(int) override { m_test->Call("OnExit"); }
    void OnExitDone(int) override { m_test->Call("OnExitDone"); }
    int OnThreadStart() override { return Step("OnThreadStart"); }
    int OnThreadFrame() override { return Frame() ? 0 : 1; }
    void OnThreadEnd() override { m_test->Call("OnThreadEnd"); }
    void RunNoMessageLoop() override
    {
        for (;;) {
            if (PumpMessages(false) || !GetMainWindowObject().IsValid())
                return;
            if (!Frame())
                return;
        }
    }

    void SetOnFrame(std::function<void(FrameTestGame&)> call)
    {
        CScopedLock lock(GetFrameLock());
        onFrame = std::move(call);
    }

    // One frame: input, the game's step, a present. false when the game ends.
    bool Frame()
    {
        {
            CScopedLock lock(GetFrameLock());
            UpdateCursor();
            GetInput().Poll();
            if (onFrame)
                onFrame(*this);
            m_test->Present(0x3366CC);
        }
        ++frames;
        if (!HasMessageLoop())
            Sleep(1);
        else
            Sleep(2);
        return frameLimit == 0 || frames < frameLimit;
    }

private:
    int Step(const char* name)
    {
        m_test->Call(name);
        return failing.count(name) ? 1 : 0;
    }
    std::string m_name;
    FrameTestScreen* m_test;
};
