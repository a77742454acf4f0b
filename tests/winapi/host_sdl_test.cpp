// The SDL host with SDL's offscreen video driver: a real SDL window, presented and read back.
#include "winapi/sdl_round_trip.h"

#include "winapi/sdl_testing.h"
#include "winapi/text.h"

namespace {

TEST(SdlHost, OffscreenWindowShowsWhatGdiDrew)
{
    if (!StartSdlHost("offscreen"))
        GTEST_SKIP() << "SDL has no offscreen video driver here";
    DrawAndReadBack();
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

} // namespace
