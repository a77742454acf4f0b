// The SDL host with SDL's offscreen video driver: a real SDL window, presented and read back.
#include "winapi/sdl_round_trip.h"

#include "winapi/sdl_testing.h"
#include "winapi/text.h"

#include <sys/resource.h>

#include <cstdlib>
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
