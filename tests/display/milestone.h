// The first picture on the screen: a background ELG (made by tessaro-tool from a picture convert
// drew), a soft-alpha sprite and a half-transparent shape in an 800x600 frame image, shown with
// CreateDisplay and RenderFrameImage in a window whose WM_PAINT calls PaintToDC. The host's
// pixels must equal what convert composes from the same pictures; then the sprite moves.
#pragma once

#include "display/screen.h"
#include "display/surface_sprite.h"
#include "drawing/drawing_test_util.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "files/gll_manager.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>
#include <vector>

namespace milestone {

constexpr int kWidth = 800, kHeight = 600;
constexpr int kSpriteW = 160, kSpriteH = 120;
const RECT kShape{500, 50, 700, 250};

inline std::string Dir()
{
    std::string dir = std::string(TESSARO_BINARY_DIR) + "/tmp_milestone/" + std::to_string(getpid());
    return std::system(("mkdir -p '" + dir + "'").c_str()) == 0 ? dir : "/tmp";
}

inline bool Shell(const std::string& command)
{
    return std::system((command + " >/dev/null 2>&1").c_str()) == 0;
}

inline std::vector<BYTE> Read(const std::string& command)
{
    std::vector<BYTE> out;
    FILE* pipe = popen((command + " 2>/dev/null").c_str(), "r");
    if (!pipe)
        return out;
    BYTE buffer[65536];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof(buffer), pipe)) > 0)
        out.insert(out.end(), buffer, buffer + n);
    pclose(pipe);
    return out;
}

CScreen* g_screen = nullptr;

inline LRESULT CALLBACK PaintProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        if (g_screen)
            g_screen->PaintToDC(dc, &paint.rcPaint);
        EndPaint(hwnd, &paint);
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

inline void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

class Milestone : public drawing_test::DrawingEnvironment {
protected:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        if (!Shell("convert -version"))
            GTEST_SKIP() << "convert is not installed";
        dir = Dir();
        ASSERT_TRUE(Shell("convert -size 800x600 gradient:'#2040c0-#f0d020' -fill '#c03020' -draw 'circle 300,300 "
                        "300,420' -type TrueColor BMP3:'" + dir + "/bg.bmp'"));
        ASSERT_TRUE(Shell(std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool elg encode '" + dir + "/bg.bmp' '" +
                        dir + "/bg.elg' --depth 24"));
        // The sprite: a white-to-green gradient whose alpha falls from 255 at the top to 0 at the bottom.
        ASSERT_TRUE(Shell("convert -size 160x120 gradient:white-'#00a000' \\( -size 160x120 gradient:white-black \\) "
                        "-alpha off -compose CopyOpacity -composite PNG32:'" + dir + "/sprite.png'"));
        const std::vector<BYTE> elg = Read("cat '" + dir + "/bg.elg'");
        ASSERT_FALSE(elg.empty());
        ASSERT_EQ(RegisterBuiltinImageLoaders(manager), 0);
        g_pGllManager = &manager;
        ASSERT_EQ(background.Load(nullptr, elg.data(), static_cast<uint32_t>(elg.size()), 0), 0);
        ASSERT_EQ(background.GetWidth(), kWidth);
        const std::vector<BYTE> rgba = Read("convert '" + dir + "/sprite.png' -depth 8 rgba:-");
        ASSERT_EQ(rgba.size(), static_cast<size_t>(kSpriteW * kSpriteH * 4));
        ASSERT_EQ(sprite.Create(kSpriteW, kSpriteH, 32, 0), 0);
        for (int y = 0; y < kSpriteH; ++y)
            for (int x = 0; x < kSpriteW; ++x) {
                const BYTE* p = &rgba[static_cast<size_t>(y * kSpriteW + x) * 4];
                drawing_test::SetPx(sprite, x, y, uint32_t{p[3]} << 24 | uint32_t{p[0]} << 16 | p[1] << 8 | p[2]);
            }
        sprite.SetAlphaFlag(true);
    }
    void TearDown() override
    {
        g_pGllManager = nullptr;
        DrawingEnvironment::TearDown();
    }

    // convert's composition: the sprite over the background at (x, y), then the shape at half.
    std::vector<BYTE> Reference(int x, int y)
    {
        return Read("convert '" + dir + "/bg.bmp' '" + dir + "/sprite.png' -geometry +" + std::to_string(x) + "+" +
                    std::to_string(y) + " -compose over -composite -fill 'rgba(255,0,255,0.50196)' -draw "
                    "'rectangle 500,50 699,249' -depth 8 rgb:-");
    }

    // Host pixels against the reference: exact where nothing blends, within 1 where alpha does.
    void Compare(const winapi::Frame& frame, int sx, int sy)
    {
        const std::vector<BYTE> expected = Reference(sx, sy);
        ASSERT_EQ(expected.size(), static_cast<size_t>(kWidth * kHeight * 3));
        ASSERT_EQ(frame.width, kWidth);
        ASSERT_EQ(frame.height, kHeight);
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x) {
                const bool blended = (x >= sx && x < sx + kSpriteW && y >= sy && y < sy + kSpriteH) ||
                                     (x >= kShape.left && x < kShape.right && y >= kShape.top && y < kShape.bottom);
                const uint32_t got = frame.At(x, y);
                const BYTE* want = &expected[static_cast<size_t>(y * kWidth + x) * 3];
                const int channels[3] = {static_cast<int>(got >> 16 & 255), static_cast<int>(got >> 8 & 255),
                                         static_cast<int>(got & 255)};
                for (int c = 0; c < 3; ++c)
                    if (std::abs(channels[c] - want[c]) > (blended ? 1 : 0)) {
                        if (wrong++ < 5)
                            ADD_FAILURE() << "(" << x << ", " << y << ") channel " << c << ": " << channels[c]
                                          << " against " << int{want[c]};
                    }
            }
        EXPECT_EQ(wrong, 0);
    }

    // The whole road: frame image, window, display, two frames. readBack reads the host's
    // pixels on this (the window's) thread.
    void RunFrames(bool checkRectangles)
    {
        CScreen screen;
        g_screen = &screen;
        CSurfaceSprite* frame = nullptr;
        ASSERT_EQ(screen.CreateSurfaceSprite(&frame, kWidth, kHeight, 32, 2), 0);
        frame->GetScene()->SetBackgroundImage(&background, 0, 0, true);
        CSprite* shown = nullptr;
        ASSERT_EQ(screen.CreateSprite(&shown, &sprite, nullptr, 100, 80), 0);
        CPrimitiveObject* shape = nullptr;
        ASSERT_EQ(screen.CreatePrimitive(&shape, kShape.right - kShape.left, kShape.bottom - kShape.top, 0x80FF00FF,
                                         kShape.left, kShape.top),
                  0);
        frame->GetScene()->GetList().Insert(shown, 1, 0);
        frame->GetScene()->GetList().Insert(shape, 2, 0);
        screen.SetFrameImage(frame);

        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = "MilestoneWindow";
        RegisterClassExA(&wc);
        HWND window = CreateWindowExA(0, "MilestoneWindow", "milestone", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                      nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
        ASSERT_EQ(screen.CreateDisplay(window, true, false, false), 0);
        ASSERT_EQ(screen.RenderFrameImage(), 0);
        Pump();
        Compare(winapi::CurrentHost().ReadBack(window), 100, 80);

        if (checkRectangles)
            winapi::CurrentHeadlessHost()->TakePresentedRects(window);
        shown->SetPosition(420, 330);
        ASSERT_EQ(screen.RenderFrameImage(), 0);
        Pump();
        if (checkRectangles) {
            const auto presents = winapi::CurrentHeadlessHost()->TakePresentedRects(window);
            ASSERT_EQ(presents.size(), 1u);
            ASSERT_EQ(presents[0].size(), 2u);
            int64_t area = 0;
            for (const RECT& r : presents[0])
                area += static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
            EXPECT_EQ(area, 2 * kSpriteW * kSpriteH);
        }
        Compare(winapi::CurrentHost().ReadBack(window), 420, 330);

        // A repaint of the whole window gives the same picture.
        InvalidateRect(window, nullptr, FALSE);
        Pump();
        Compare(winapi::CurrentHost().ReadBack(window), 420, 330);
        g_screen = nullptr;
        DestroyWindow(window);
        Pump();
    }

    std::string dir;
    CGllManager manager;
    CImage background;
    CImage sprite;
};

// Starts the SDL host with the video driver named (software renderer); false when SDL cannot.
inline bool StartSdl(const char* driver)
{
    setenv("SDL_VIDEODRIVER", driver, 1);
    setenv("SDL_RENDER_DRIVER", "software", 1);
    auto host = winapi::MakeSdlHost();
    if (!host)
        return false;
    winapi::SetHost(std::move(host));
    return true;
}

} // namespace milestone
