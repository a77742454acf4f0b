// The SDL host with SDL's offscreen video driver: a real SDL window, presented and read back.
#include "winapi/sdl_round_trip.h"

#include "winapi/pixman_scale.h"
#include "winapi/sdl_testing.h"
#include "winapi/text.h"
#include "winapi/virtual_mode.h"

#include <sys/resource.h>

#include <cstdlib>
#include <random>
#include <string>
#include <vector>

namespace {

TEST(SdlHost, OffscreenWindowShowsWhatGdiDrew)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    DrawAndReadBack();
}

// Small rectangles are uploaded straight from the window's pixels; once a child lies over the
// window they are presented from a composed copy. Either way every present leaves the host
// showing the window as drawn (the child's pixels over it).
TEST(SdlHost, RectanglesPresentedDirectlyAndUnderAChildShowTheWholeWindow)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    constexpr int kWidth = 96, kHeight = 64;
    HWND hwnd = OpenPopup("SdlRectangles", kWidth, kHeight);
    ASSERT_NE(hwnd, nullptr);
    std::vector<uint32_t> expected(static_cast<size_t>(kWidth) * kHeight, 0);
    auto fill = [&](HWND target, const RECT& r, COLORREF colour, POINT at) {
        HDC dc = GetDC(target);
        HBRUSH brush = CreateSolidBrush(colour);
        FillRect(dc, &r, brush);
        DeleteObject(brush);
        ReleaseDC(target, dc);
        PumpMessages();
        const uint32_t rgb = static_cast<uint32_t>(GetRValue(colour)) << 16 | GetGValue(colour) << 8 | GetBValue(colour);
        for (LONG y = r.top; y < r.bottom; ++y)
            for (LONG x = r.left; x < r.right; ++x)
                expected[static_cast<size_t>(y + at.y) * kWidth + x + at.x] = rgb;
    };
    auto shownRight = [&](const char* when) {
        const winapi::Frame frame = winapi::CurrentHost().ReadBack(hwnd);
        ASSERT_EQ(frame.width, kWidth) << when;
        ASSERT_EQ(frame.height, kHeight) << when;
        int wrong = 0;
        for (int y = 0; y < kHeight; ++y)
            for (int x = 0; x < kWidth; ++x)
                wrong += (frame.At(x, y) & 0xFFFFFF) != expected[static_cast<size_t>(y) * kWidth + x];
        EXPECT_EQ(wrong, 0) << when;
    };
    fill(hwnd, RECT{0, 0, kWidth, kHeight}, RGB(10, 20, 30), POINT{0, 0});
    shownRight("the whole window");
    const RECT spots[] = {{3, 4, 20, 12}, {50, 30, 90, 60}, {0, 55, 96, 64}, {40, 0, 41, 64}};
    int shade = 40;
    for (const RECT& r : spots) {
        fill(hwnd, r, RGB(shade, 255 - shade, shade / 2), POINT{0, 0});
        shade += 50;
        shownRight("a rectangle");
    }
    // Rectangles apart drawn in one batch arrive together: they change, what lies between them
    // stays as it was.
    {
        const RECT apart[] = {{2, 2, 9, 7}, {70, 3, 95, 9}, {30, 40, 33, 63}, {5, 50, 20, 52}};
        HDC dc = GetDC(hwnd);
        HBRUSH brush = CreateSolidBrush(RGB(7, 140, 250));
        for (const RECT& r : apart) {
            FillRect(dc, &r, brush);
            for (LONG y = r.top; y < r.bottom; ++y)
                for (LONG x = r.left; x < r.right; ++x)
                    expected[static_cast<size_t>(y) * kWidth + x] = 0x078CFA;
        }
        DeleteObject(brush);
        ReleaseDC(hwnd, dc);
        PumpMessages();
        shownRight("rectangles apart in one batch");
    }
    HWND child = CreateWindowExA(0, "SdlRectangles", "child", WS_CHILD | WS_VISIBLE, 10, 10, 30, 20, hwnd, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    PumpMessages();
    fill(child, RECT{0, 0, 30, 20}, RGB(200, 100, 50), POINT{10, 10});
    fill(hwnd, RECT{60, 5, 80, 25}, RGB(1, 2, 3), POINT{0, 0});
    shownRight("under a child");
    DestroyWindow(child);
    DestroyWindow(hwnd);
}

// The SDL host as it starts without a screen: no renderer named, so each window is drawn into a
// canvas in memory of its own.
bool StartSdlHostWithoutScreen()
{
    setenv("SDL_VIDEODRIVER", "offscreen", 1);
    unsetenv("SDL_RENDER_DRIVER");
    auto host = winapi::MakeSdlHost();
    if (!host)
        return false;
    winapi::SetHost(std::move(host));
    return true;
}

// A top-down 32-bit DIB section of random pixels (alpha bytes random too: the screen ignores them).
struct RandomPicture {
    RandomPicture(int width, int height, std::mt19937& random) : width(width), height(height)
    {
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = -height;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        void* bits = nullptr;
        dib = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        pixels = static_cast<uint32_t*>(bits);
        for (int i = 0; i < width * height; ++i)
            pixels[i] = random();
        dc = CreateCompatibleDC(nullptr);
        old = SelectObject(dc, dib);
    }
    ~RandomPicture()
    {
        SelectObject(dc, old);
        DeleteObject(dib);
        DeleteDC(dc);
    }
    int width, height;
    HBITMAP dib = nullptr;
    uint32_t* pixels = nullptr;
    HDC dc = nullptr;
    HGDIOBJ old = nullptr;
};

// Without a screen the window's canvas keeps its picture from present to present and takes only
// what changed: after every batch it shows the window exactly as drawn, whether the rectangles
// were copied straight from the window's pixels, composed under a child, or the window changed
// size.
TEST(SdlHost, WithoutAScreenEveryBatchLeavesTheCanvasAsDrawn)
{
    if (!StartSdlHostWithoutScreen())
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    int width = 120, height = 80;
    HWND hwnd = OpenPopup("SdlCanvas", width, height);
    ASSERT_NE(hwnd, nullptr);
    std::mt19937 random(11);
    RandomPicture picture(200, 150, random);
    std::vector<uint32_t> expected;
    auto drawWhole = [&] {
        expected.assign(static_cast<size_t>(width) * height, 0);
        HDC dc = GetDC(hwnd);
        BitBlt(dc, 0, 0, width, height, picture.dc, 0, 0, SRCCOPY);
        ReleaseDC(hwnd, dc);
        PumpMessages();
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                expected[static_cast<size_t>(y) * width + x] =
                    picture.pixels[y * picture.width + x] & 0xFFFFFF;
    };
    // One batch: each rectangle copied from the picture at an offset (clipped to the window).
    auto batch = [&](std::initializer_list<RECT> rects, HWND child, RECT childPlace) {
        HDC dc = GetDC(hwnd);
        for (const RECT& r : rects) {
            BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, picture.dc, r.left + 37, r.top + 29,
                   SRCCOPY);
            for (LONG y = std::max<LONG>(r.top, 0); y < std::min<LONG>(r.bottom, height); ++y)
                for (LONG x = std::max<LONG>(r.left, 0); x < std::min<LONG>(r.right, width); ++x)
                    if (!child || x < childPlace.left || x >= childPlace.right || y < childPlace.top ||
                        y >= childPlace.bottom)
                        expected[static_cast<size_t>(y) * width + x] =
                            picture.pixels[(y + 29) * picture.width + x + 37] & 0xFFFFFF;
        }
        ReleaseDC(hwnd, dc);
        PumpMessages();
    };
    auto shownRight = [&](const char* when) {
        const winapi::Frame frame = winapi::CurrentHost().ReadBack(hwnd);
        ASSERT_EQ(frame.width, width) << when;
        ASSERT_EQ(frame.height, height) << when;
        int wrong = 0;
        for (int y = 0; y < height; ++y)
            for (int x = 0; x < width; ++x)
                wrong += (frame.At(x, y) & 0xFFFFFF) != expected[static_cast<size_t>(y) * width + x];
        EXPECT_EQ(wrong, 0) << when;
    };
    drawWhole();
    shownRight("the whole window");
    struct Case {
        const char* name;
        std::initializer_list<RECT> rects;
    } cases[] = {
        {"one rectangle", {{10, 12, 30, 40}}},
        {"rectangles apart", {{0, 0, 7, 5}, {60, 30, 100, 33}, {113, 70, 120, 80}, {40, 79, 80, 80}}},
        {"one pixel wide and tall", {{55, 0, 56, 80}, {0, 44, 120, 45}}},
        {"overlapping and across the edges", {{-5, -3, 20, 10}, {15, 5, 30, 25}, {110, 60, 140, 95}}},
        {"most of the window", {{1, 1, 119, 79}}},
    };
    for (const Case& c : cases) {
        batch(c.rects, nullptr, {});
        shownRight(c.name);
    }
    // A child over the window: the batches are composed from a copy, then again straight.
    const RECT place{20, 20, 60, 50};
    HWND child =
        CreateWindowExA(0, "SdlCanvas", "child", WS_CHILD | WS_VISIBLE, place.left, place.top,
                        place.right - place.left, place.bottom - place.top, hwnd, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    PumpMessages();
    {
        HDC dc = GetDC(child);
        HBRUSH brush = CreateSolidBrush(RGB(200, 100, 50));
        const RECT all{0, 0, place.right - place.left, place.bottom - place.top};
        FillRect(dc, &all, brush);
        DeleteObject(brush);
        ReleaseDC(child, dc);
        PumpMessages();
        for (LONG y = place.top; y < place.bottom; ++y)
            for (LONG x = place.left; x < place.right; ++x)
                expected[static_cast<size_t>(y) * width + x] = 0xC86432;
    }
    batch({{10, 10, 30, 30}, {70, 5, 90, 60}}, child, place);
    shownRight("under a child");
    DestroyWindow(child);
    PumpMessages();
    drawWhole();
    batch({{5, 5, 25, 25}}, nullptr, {});
    shownRight("the child gone");
    // Another size: a canvas of that size, drawn whole.
    width = 150;
    height = 90;
    MoveWindow(hwnd, 40, 40, width, height, TRUE);
    PumpMessages();
    drawWhole();
    shownRight("after a size change");
    batch({{140, 80, 150, 90}}, nullptr, {});
    shownRight("a rectangle after the size change");
    DestroyWindow(hwnd);
    PumpMessages();
}

// Without a screen a window over a virtual mode is scaled into the canvas (linear, aspect kept,
// black borders) at every present, also one of a single small rectangle.
TEST(SdlHost, WithoutAScreenAVirtualModeIsScaledIntoTheCanvas)
{
    if (!StartSdlHostWithoutScreen())
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    int realW = 0, realH = 0;
    ASSERT_TRUE(winapi::sdl_testing::CurrentDisplayMode(0, &realW, &realH));
    if (realW <= 640 || realH < 480)
        GTEST_SKIP() << "the offscreen display is too small for a scaled mode";
    HWND hwnd = OpenPopup("SdlCanvasScaled", 320, 200);
    ASSERT_NE(hwnd, nullptr);
    ASSERT_EQ(SetVirtualMode(640, 480), DISP_CHANGE_SUCCESSFUL);
    MoveWindow(hwnd, 0, 0, 640, 480, TRUE);
    PumpMessages();
    if (!winapi::sdl_testing::IsDesktopFullScreen(hwnd)) {
        RestoreDesktopMode();
        DestroyWindow(hwnd);
        GTEST_SKIP() << "the offscreen driver keeps windows out of full screen";
    }
    std::mt19937 random(3);
    RandomPicture picture(640, 480, random);
    std::vector<uint32_t> shownPicture(picture.pixels, picture.pixels + 640 * 480);
    auto shownRight = [&](const char* when) {
        const winapi::Frame shown = winapi::sdl_testing::ReadShown(hwnd);
        ASSERT_EQ(shown.width, realW) << when;
        ASSERT_EQ(shown.height, realH) << when;
        const pixman_test::LetterboxDifference d = pixman_test::CompareLetterboxed(shown, shownPicture.data(), 640, 480);
        EXPECT_EQ(d.far, 0) << when << d.firstFar;
        EXPECT_EQ(d.border, 0) << when;
    };
    HDC dc = GetDC(hwnd);
    BitBlt(dc, 0, 0, 640, 480, picture.dc, 0, 0, SRCCOPY);
    ReleaseDC(hwnd, dc);
    PumpMessages();
    shownRight("the whole picture");
    // A small change: the rest of the scaled picture is still there around it.
    const RECT spot{300, 200, 340, 230};
    dc = GetDC(hwnd);
    HBRUSH brush = CreateSolidBrush(RGB(0, 255, 0));
    FillRect(dc, &spot, brush);
    DeleteObject(brush);
    ReleaseDC(hwnd, dc);
    PumpMessages();
    for (LONG y = spot.top; y < spot.bottom; ++y)
        for (LONG x = spot.left; x < spot.right; ++x)
            shownPicture[static_cast<size_t>(y) * 640 + x] = 0x00FF00;
    shownRight("a small rectangle");
    RestoreDesktopMode();
    DestroyWindow(hwnd);
    PumpMessages();
}

} // namespace

namespace {

TEST(Letterbox, KeepsTheAspectAndCentres)
{
    struct Case {
        const char* name;
        int frameWidth, frameHeight, surfaceWidth, surfaceHeight;
        RECT expected;
    } cases[] = {
        {"same size", 640, 480, 640, 480, {0, 0, 640, 480}},
        {"HiDPI double", 640, 480, 1280, 960, {0, 0, 1280, 960}},
        {"wide surface: borders left and right", 640, 480, 1920, 1080, {240, 0, 1680, 1080}},
        {"tall surface: borders top and bottom", 640, 480, 640, 1000, {0, 260, 640, 740}},
        {"no frame", 0, 480, 640, 480, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        const RECT r = winapi::LetterboxRect(c.frameWidth, c.frameHeight, c.surfaceWidth, c.surfaceHeight);
        EXPECT_EQ(r.left, c.expected.left) << c.name;
        EXPECT_EQ(r.top, c.expected.top) << c.name;
        EXPECT_EQ(r.right, c.expected.right) << c.name;
        EXPECT_EQ(r.bottom, c.expected.bottom) << c.name;
    }
}

} // namespace

namespace {

// A machine where SDL cannot show a box (no dialog program): the box answers its default button,
// as Windows does, and its text reaches stderr. It answered 0 before, which the quit question read
// as "No", so the window could not be closed.
TEST(SdlHost, BoxThatCannotShowAnswersItsDefaultButtonAndPrintsItsText)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    winapi::sdl_testing::SetNoMessageBoxes(true);
    struct Case {
        UINT type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNO | MB_DEFBUTTON2, IDNO},
        {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
        {MB_YESNOCANCEL | MB_DEFBUTTON2, IDNO},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        const int answer = MessageBoxA(GetDesktopWindow(), winapi::Sjis("ゲームを\n終了しますか？"), "Tessaro", c.type);
        const std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(answer, c.answer) << "type " << c.type;
        EXPECT_NE(err.find("ゲームを 終了しますか？\n"), std::string::npos) << err;
    }
    winapi::sdl_testing::SetNoMessageBoxes(false);
}

// Without a screen no box is tried: SDL's X11 box forked the whole game (every page it wrote
// afterwards faulted again) for a child that found no display. No child runs, and the box still
// answers its default button.
TEST(SdlHost, ScreenlessDriverTriesNoBox)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    // Were a box tried, it must fail rather than wait for a click on some display.
    const char* display = std::getenv("DISPLAY");
    const std::string saved = display != nullptr ? display : "";
    unsetenv("DISPLAY");
    rusage before{};
    getrusage(RUSAGE_CHILDREN, &before);
    testing::internal::CaptureStderr();
    const int answer = MessageBoxA(GetDesktopWindow(), "no sound", "Tessaro", MB_YESNO | MB_DEFBUTTON2);
    const std::string err = testing::internal::GetCapturedStderr();
    rusage after{};
    getrusage(RUSAGE_CHILDREN, &after);
    if (display != nullptr)
        setenv("DISPLAY", saved.c_str(), 1);
    EXPECT_EQ(answer, IDNO);
    EXPECT_NE(err.find("no sound"), std::string::npos) << err;
    EXPECT_EQ(after.ru_minflt, before.ru_minflt) << "a child process ran for the box";
}

} // namespace
