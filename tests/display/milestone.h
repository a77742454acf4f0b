// The first picture on the screen: a background ELG (made by tessaro-tool from a picture convert
// drew), a soft-alpha sprite and a half-transparent shape in an 800x600 frame image, shown with
// CreateDisplay and RenderFrameImage in a window whose WM_PAINT calls PaintToDC. The host's
// pixels must equal what convert composes from the same pictures; then the sprite moves. The same
// scene in each of the screen's modes (a table): without a frame image a render task blits a
// DirectDraw image of the canvas; 1:1 pictures equal convert's, scaled ones are within 2 of
// pixman's bilinear scaling of the canvas's 1:1 picture, and the host shows the window's pixels
// (scaled onto the real display when a virtual mode is smaller).
#pragma once

#include "display/dd_image.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "display/display_test_util.h"
#include "display/task.h"
#include "drawing/drawing_test_util.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "files/gll_manager.h"
#include "platform/monitor_list.h"
#include "winapi/ddraw_testing.h"
#include "winapi/host_headless.h"
#include "winapi/pixman_scale.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/sdl_testing.h"
#include "winapi/user.h"

#include <cstdio>
#include <cstdlib>
#include <map>
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

// The screen's modes the scene is shown in.
struct Mode {
    const char* name;
    bool frameImage;   // the canvas is the frame image; else a render task blits an image of it
    bool windowed;
    bool exclusive;    // full screen: DirectDraw's own modes and the exclusive level
    bool gameSizeMode; // full screen: a mode of the game's size; else the desktop's, scaled
    bool noHardware;   // a driver without hardware: the back buffer goes by GDI
    bool flipChain;    // what the screen must have built
};
inline const Mode kModes[] = {
    {"window by GDI", true, true, false, false, false, false},
    {"window with DirectDraw", false, true, false, false, false, false},
    {"flip chain", false, false, true, true, false, true},
    {"separate back buffer", false, false, false, true, false, false},
    {"frame image scaled with black borders", true, false, false, false, false, false},
    {"desktop resolution", false, false, true, false, false, false},
    {"present without hardware", false, true, false, false, true, false},
};

// The render task of the modes without a frame image: the image onto the back buffer at (0, 0).
class ImageTask : public display_test::StillTask {
public:
    explicit ImageTask(CDDImage* image) : m_image(image) {}
    uint8_t GetType() const override { return kSceneImageRegion; }
    bool GetBounds(RECT* out) override
    {
        *out = RECT{0, 0, kWidth, kHeight};
        return true;
    }
    int Draw(IDirectDrawSurface7* target, const RECT*, CScreen*) override
    {
        return target->BltFast(0, 0, m_image->GetDirectDrawSurface(), nullptr, DDBLTFAST_WAIT) == DD_OK ? 0 : 1;
    }
    int OnDeviceRestore() override { return 0; }

private:
    CDDImage* m_image;
};

// A window's client pixels as the window system holds them (read through GDI).
inline winapi::Frame ClientPixels(HWND window)
{
    winapi::Frame out;
    RECT client;
    GetClientRect(window, &client);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = client.right;
    info.bmiHeader.biHeight = -client.bottom;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    void* bits = nullptr;
    HBITMAP dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (dib == nullptr)
        return out;
    HDC memory = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(memory, dib);
    HDC dc = GetDC(window);
    if (BitBlt(memory, 0, 0, client.right, client.bottom, dc, 0, 0, SRCCOPY)) {
        out.width = client.right;
        out.height = client.bottom;
        const auto* pixels = static_cast<const uint32_t*>(bits);
        out.pixels.assign(pixels, pixels + static_cast<size_t>(out.width) * out.height);
    }
    ReleaseDC(window, dc);
    SelectObject(memory, old);
    DeleteDC(memory);
    DeleteObject(dib);
    return out;
}

// Counts the pixels of a and b (same size) whose channels differ by more than `tolerance`.
inline int Mismatches(const winapi::Frame& a, const winapi::Frame& b, int tolerance)
{
    if (a.width != b.width || a.height != b.height)
        return -1;
    int wrong = 0;
    for (size_t i = 0; i < a.pixels.size(); ++i)
        wrong += pixman_test::ChannelDistance(a.pixels[i], b.pixels[i]) > tolerance;
    return wrong;
}

// The host shows the window's pixels: the same pixels where it shows them 1:1 (the headless host,
// SDL windows), else scaled onto the real display within 2 of pixman's scaling, black around.
inline void ExpectHostShows(HWND window, const winapi::Frame& client)
{
    if (winapi::CurrentHeadlessHost() == nullptr) {
        const winapi::Frame shown = winapi::sdl_testing::ReadShown(window);
        ASSERT_GT(shown.width, 0);
        if (shown.width != client.width || shown.height != client.height) {
            const RECT box = winapi::LetterboxRect(client.width, client.height, shown.width, shown.height);
            const int w = box.right - box.left, h = box.bottom - box.top;
            const std::vector<uint32_t> want = pixman_test::Scale(client.pixels.data(), client.width, client.height, w, h);
            int wrong = 0;
            for (int y = 0; y < shown.height; ++y)
                for (int x = 0; x < shown.width; ++x) {
                    const bool inside = x >= box.left && x < box.right && y >= box.top && y < box.bottom;
                    const uint32_t expected = inside ? want[static_cast<size_t>(y - box.top) * w + x - box.left] : 0;
                    wrong += pixman_test::ChannelDistance(shown.At(x, y), expected) > (inside ? 2 : 0);
                }
            EXPECT_EQ(wrong, 0) << "scaled by the host into " << w << "x" << h;
            return;
        }
    }
    EXPECT_EQ(Mismatches(winapi::CurrentHost().ReadBack(window), client, 0), 0);
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

    // convert's composition: the sprite over the background at (x, y), then the shape at half
    // (made once for each place).
    std::vector<BYTE> Reference(int x, int y)
    {
        std::vector<BYTE>& made = references[std::make_pair(x, y)];
        if (made.empty())
            made = Compose(x, y);
        return made;
    }
    std::vector<BYTE> Compose(int x, int y)
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

    // The scene on a canvas of the screen's factory: background, sprite at (100, 80), shape.
    void BuildScene(CScreen& screen, CSurfaceSprite** canvas, CSprite** shown)
    {
        ASSERT_EQ(screen.CreateSurfaceSprite(canvas, kWidth, kHeight, 32, 2), 0);
        (*canvas)->GetScene()->SetBackgroundImage(&background, 0, 0, true);
        ASSERT_EQ(screen.CreateSprite(shown, &sprite, nullptr, 100, 80), 0);
        CPrimitiveObject* shape = nullptr;
        ASSERT_EQ(screen.CreatePrimitive(&shape, kShape.right - kShape.left, kShape.bottom - kShape.top, 0x80FF00FF,
                                         kShape.left, kShape.top),
                  0);
        (*canvas)->GetScene()->GetList().Insert(*shown, 1, 0);
        (*canvas)->GetScene()->GetList().Insert(shape, 2, 0);
    }

    // The game's window at (0, 0), its WM_PAINT through the screen.
    static HWND MakeWindow()
    {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = PaintProc;
        wc.lpszClassName = "MilestoneWindow";
        RegisterClassExA(&wc);
        HWND window = CreateWindowExA(0, "MilestoneWindow", "milestone", WS_POPUP | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                      nullptr, nullptr, nullptr, nullptr);
        Pump();
        return window;
    }

    // The whole road: frame image, window, display, two frames. readBack reads the host's
    // pixels on this (the window's) thread.
    void RunFrames(bool checkRectangles)
    {
        CScreen screen;
        CSurfaceSprite* frame = nullptr;
        CSprite* shown = nullptr;
        BuildScene(screen, &frame, &shown);
        if (HasFatalFailure())
            return;
        g_screen = &screen;
        screen.SetFrameImage(frame);
        HWND window = MakeWindow();
        ASSERT_NE(window, nullptr);
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

    // Scaled: the client is black but for the picture scaled into `scaled`, within 2 of pixman's
    // bilinear scaling of it. The picture is the canvas's own, which the 1:1 modes hold against
    // convert's.
    void CompareScaled(const winapi::Frame& frame, const CScaledOutput& scaled, CImage* picture)
    {
        std::vector<uint32_t> reference(static_cast<size_t>(kWidth) * kHeight);
        for (LONG y = 0; y < kHeight; ++y)
            for (LONG x = 0; x < kWidth; ++x)
                reference[static_cast<size_t>(y) * kWidth + x] =
                    reinterpret_cast<const uint32_t*>(picture->GetRowAddress(y))[x] & 0xFFFFFF;
        const std::vector<uint32_t> want =
            pixman_test::Scale(reference.data(), kWidth, kHeight, scaled.width, scaled.height);
        int wrong = 0;
        for (int y = 0; y < frame.height; ++y)
            for (int x = 0; x < frame.width; ++x) {
                const bool inside =
                    x >= scaled.x && x < scaled.x + scaled.width && y >= scaled.y && y < scaled.y + scaled.height;
                const uint32_t expected =
                    inside ? want[static_cast<size_t>(y - scaled.y) * scaled.width + x - scaled.x] : 0;
                if (pixman_test::ChannelDistance(frame.At(x, y), expected) > (inside ? 2 : 0) && wrong++ < 5)
                    ADD_FAILURE() << "(" << x << ", " << y << "): " << std::hex << (frame.At(x, y) & 0xFFFFFF)
                                  << " against " << expected;
            }
        EXPECT_EQ(wrong, 0);
    }

    // The scene in one of the screen's modes: four frames (the sprite moves between them).
    void RunMode(const Mode& mode)
    {
        SCOPED_TRACE(mode.name);
        winapi::ddraw_testing::Reset();
        winapi::ddraw_testing::Current().noHardware = mode.noHardware;
        CDisplayDevice::ExclusiveNeeded() = false;
        const int desktopWidth = GetSystemMetrics(SM_CXSCREEN);
        {
            CScreen screen;
            CSurfaceSprite* canvas = nullptr;
            CSprite* shown = nullptr;
            BuildScene(screen, &canvas, &shown);
            if (HasFatalFailure())
                return;
            g_screen = &screen;
            ASSERT_EQ(screen.SetOutputSize(kWidth, kHeight), 0);
            if (mode.frameImage)
                screen.SetFrameImage(canvas);

            HWND window = MakeWindow();
            ASSERT_NE(window, nullptr);
            // Whatever fails below, the window goes before the screen does.
            struct Closing {
                HWND window;
                ~Closing()
                {
                    g_screen = nullptr;
                    DestroyWindow(window);
                    Pump();
                }
            } closing{window};
            CMonitorList monitors;
            if (!mode.windowed) {
                ASSERT_EQ(screen.EnumDisplayDevices(&monitors, kWidth, kHeight, mode.exclusive), 0);
                // The desktop's depth where no mode of the game's size is chosen.
                ASSERT_EQ(screen.SelectDisplayMode(mode.gameSizeMode, nullptr, 0, mode.gameSizeMode ? 32 : 0, &monitors),
                          0);
            }
            ASSERT_EQ(screen.CreateDisplay(window, mode.windowed, false, false), 0);
            EXPECT_EQ(screen.IsBackBufferInFlipChain(), mode.flipChain);
            const CScaledOutput& scaled = screen.GetScaledOutput();
            EXPECT_EQ(scaled.active, !mode.windowed && !mode.gameSizeMode);
            if (!mode.windowed)  // the window covers the display, as the frame makes it
                MoveWindow(window, 0, 0, scaled.active ? scaled.targetWidth : kWidth,
                           scaled.active ? scaled.targetHeight : kHeight, TRUE);
            Pump();

            CDDImage* picture = nullptr;
            std::unique_ptr<ImageTask> task;
            if (!mode.frameImage) {
                ASSERT_EQ(screen.CreateDDImage(&picture, kWidth, kHeight, false), 0);
                task = std::make_unique<ImageTask>(picture);
                ASSERT_EQ(screen.Insert(task.get(), 0, 0), 0);
            }
            auto frame = [&] {
                if (picture != nullptr)
                    canvas->Present(nullptr, nullptr, picture->GetDirectDrawSurface(), picture->GetPixelFormatCode(),
                                    true);
                screen.ClearBackBuffer();
                screen.RenderAll(screen.GetBackBuffer(), &screen.GetOutputRect(), &screen);
                return screen.RenderFrameImage();
            };
            // The sprite moves between frames; the wait modes present at once (0), after the
            // vertical blank (1) and by flipping where there is a chain (2), which blits instead
            // while GDI is shown (a dialog).
            struct Step {
                POINT at;
                uint8_t wait;
                bool gdi;
            } steps[] = {{{100, 80}, 0, false}, {{420, 330}, 2, false}, {{100, 80}, 1, false}, {{420, 330}, 2, true}};
            for (const Step& step : steps) {
                SCOPED_TRACE(std::to_string(step.wait) + (step.gdi ? " with GDI shown" : ""));
                shown->SetPosition(step.at.x, step.at.y);
                screen.SetWaitMode(step.wait);
                // Without a primary there is nothing to hand over (1), but for a driver without
                // hardware, which answers 0 at once.
                const int handOver = screen.GetPrimary() == nullptr && !mode.noHardware ? 1 : 0;
                if (step.gdi) {
                    ASSERT_EQ(screen.FlipToGdi(), handOver);
                }
                ASSERT_EQ(frame(), 0);
                if (step.gdi) {
                    ASSERT_EQ(screen.LeaveGdi(), handOver);
                }
                Pump();
                const winapi::Frame client = ClientPixels(window);
                if (scaled.active)
                    CompareScaled(client, scaled, canvas->GetImage());
                else
                    Compare(client, step.at.x, step.at.y);
                ExpectHostShows(window, client);
            }
        }
        EXPECT_EQ(GetSystemMetrics(SM_CXSCREEN), desktopWidth);
        winapi::ddraw_testing::Reset();
        CDisplayDevice::ExclusiveNeeded() = false;
    }

    std::string dir;
    std::map<std::pair<int, int>, std::vector<BYTE>> references;
    CGllManager manager;
    CImage background;
    CImage sprite;
};


} // namespace milestone
