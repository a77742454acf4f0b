// A recording stand-in for the screen under the application frame: every call is logged, any call
// can be told to fail, full screen covers the window's monitor with the picture scaled and
// letterboxed in it, and Present draws the frame through GDI so that the host captures it.
#pragma once

#include <atomic>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "display/frame_screen.h"
#include "winapi/gdi.h"
#include "winapi/host.h"
#include "winapi/user.h"

class FrameTestScreen : public IFrameScreen {
public:
    // Names of the calls that fail, and the code they answer.
    std::set<std::string> fail;
    int failCode = 4;

    uint8_t GetMode() override { return mode; }
    ScreenBox GetOutputRect() override { return output; }
    bool IsScaled() override { return scaled; }
    ScreenBox GetPictureRect() override { return picture; }
    bool IsLetterboxed() override { return scaled && (picture.width < output.width || picture.height < output.height); }
    RECT GetBorderRect(int which) override { return borders[which & 1]; }
    ScreenBox GetScaledModeSize() override { return ScreenBox{0, 0, output.width, output.height}; }
    uint8_t GetFullScreenDepth() override { return 32; }
    bool HasDevice() override { return device; }
    bool HasPrimarySurface() override { return mode == 1; }
    bool UsesFlipping() override { return flipping; }
    bool IsDeviceFullScreen() override { return deviceFullScreen; }
    bool IsGdiMode() override { return gdi; }
    bool ShowsMenuInFullScreen() override { return false; }
    bool HasFrameImage() override { return frameImage; }

    int EnumDisplayDevices(CMonitorList*, int w, int h, uint8_t) override
    {
        width = w, height = h;
        return Call("EnumDisplayDevices");
    }
    int SetOutputSize(int w, int h) override
    {
        if (int code = Call("SetOutputSize"))
            return code;
        output = ScreenBox{0, 0, w, h};
        return 0;
    }
    int CreateSurfaceSprite(int w, int h, int, int) override
    {
        if (int code = Call("CreateSurfaceSprite"))
            return code;
        width = w, height = h;
        frameImage = true;
        return 0;
    }
    int SetFrameImage() override
    {
        output = ScreenBox{0, 0, width, height};
        return Call("SetFrameImage");
    }
    int CreateDisplay(HWND hwnd, bool windowed, uint8_t, bool, bool) override
    {
        if (int code = Call(windowed ? "CreateDisplay(window)" : "CreateDisplay(full)"))
            return code;
        window = hwnd;
        device = true;
        if (windowed) {
            mode = 2;
            deviceFullScreen = scaled = false;
            output = ScreenBox{0, 0, width, height};
            return 0;
        }
        // Desktop full screen: the monitor, the picture letterboxed in it.
        MONITORINFO info{};
        info.cbSize = sizeof info;
        GetMonitorInfoA(MonitorFromWindow(hwnd, MONITOR_DEFAULTTOPRIMARY), &info);
        const RECT m = info.rcMonitor;
        mode = 1;
        deviceFullScreen = true;
        output = ScreenBox{m.left, m.top, m.right - m.left, m.bottom - m.top};
        const RECT box = winapi::LetterboxRect(width, height, output.width, output.height);
        picture = ScreenBox{box.left, box.top, box.right - box.left, box.bottom - box.top};
        scaled = picture.width != width || picture.height != height || picture.x != 0 || picture.y != 0;
        if (picture.x > 0) {
            borders[0] = RECT{0, 0, picture.x, output.height};
            borders[1] = RECT{picture.x + picture.width, 0, output.width, output.height};
        } else {
            borders[0] = RECT{0, 0, output.width, picture.y};
            borders[1] = RECT{0, picture.y + picture.height, output.width, output.height};
        }
        return 0;
    }
    void ClearDisplayFlags() override { Call("ClearDisplayFlags"); }
    int RestoreDevice() override { return Call("RestoreDevice"); }
    int FlipToGdi() override
    {
        gdi = true;
        return Call("FlipToGdi");
    }
    int LeaveGdi() override
    {
        gdi = false;
        return Call("LeaveGdi");
    }
    void PaintToDC(HDC dc, const RECT*) override
    {
        Call("PaintToDC");
        Fill(dc, lastColor, false);  // the borders are the frame's to paint
    }
    void ReleaseDevice() override { Call("ReleaseDevice"); }
    void ReleaseSurfaces() override { Call("ReleaseSurfaces"); }
    int SetFullScreenMode(HWND, int, int, uint8_t, uint32_t) override
    {
        if (int code = Call("SetFullScreenMode"))
            return code;
        deviceFullScreen = true;
        return 0;
    }
    void RestoreWindowedMode(int) override
    {
        Call("RestoreWindowedMode");
        deviceFullScreen = false;
    }
    void ReleaseDisplayDevice() override
    {
        Call("Release");
        device = false;
        mode = 0;
    }

    // The game's frame: the picture filled with one colour (0xRRGGBB) through GDI.
    void Present(uint32_t rgb)
    {
        lastColor = rgb;
        HDC dc = GetDC(window);
        if (dc == nullptr)
            return;
        Fill(dc, rgb);
        ReleaseDC(window, dc);
        std::lock_guard lock(mutex);
        ++presents;
    }
    int Presents()
    {
        std::lock_guard lock(mutex);
        return presents;
    }
    std::vector<std::string> Log()
    {
        std::lock_guard lock(mutex);
        return log;
    }
    void ClearLog()
    {
        std::lock_guard lock(mutex);
        log.clear();
    }

    uint8_t mode = 0;
    ScreenBox output{0, 0, 640, 480};
    ScreenBox picture{0, 0, 640, 480};
    bool scaled = false;
    RECT borders[2]{};
    bool device = false;
    bool deviceFullScreen = false;
    bool flipping = false;
    bool gdi = false;
    bool frameImage = false;
    int width = 640;
    int height = 480;
    HWND window = nullptr;
    std::atomic<uint32_t> lastColor{0};  // set by the game's frames, painted by the UI thread

    // Logs a call; → failCode when the name is one of the failing ones.
    int Call(const char* name)
    {
        std::lock_guard lock(mutex);
        log.emplace_back(name);
        return fail.count(name) != 0 ? failCode : 0;
    }

private:
    void Fill(HDC dc, uint32_t rgb, bool borders = true)
    {
        RECT area = mode == 1 ? RECT{picture.x, picture.y, picture.x + picture.width, picture.y + picture.height}
                              : RECT{0, 0, output.width, output.height};
        HBRUSH brush = CreateSolidBrush(RGB((rgb >> 16) & 0xFF, (rgb >> 8) & 0xFF, rgb & 0xFF));
        FillRect(dc, &area, brush);
        DeleteObject(brush);
        if (mode == 1 && borders)
            for (const RECT& border : this->borders)
                FillRect(dc, &border, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    }

    std::mutex mutex;
    std::vector<std::string> log;
    int presents = 0;
};
