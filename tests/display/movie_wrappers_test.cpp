// The movie wrappers over the built-in libraries: Open's codes by file and holder, the volume
// curve, the sprite's and the primitive's frames drawn into a scene target, the window movie's
// events, loops and stops.
#include <cstring>
#include <fstream>
#include <memory>

#include <gtest/gtest.h>

#include "authoring/kpk_writer.h"
#include "display/movie_object.h"
#include "display/screen.h"
#include "files/file_manager.h"
#include "files/kpk_archive.h"
#include "files/movie_library.h"
#include "files/path_utils.h"
#include "files/pixel_library.h"
#include "files/temp_folder.h"
#include "movie_fixtures.h"
#include "platform/cpu_info.h"
#include "raster/pixel_lib.h"
#include "winapi/clock.h"
#include "winapi/kernel.h"
#include "winapi/user.h"

using namespace movie_test;

namespace {

std::vector<BYTE> ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<BYTE>(std::istreambuf_iterator<char>(in), {});
}

class MovieWrappersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!HaveFfmpeg())
            GTEST_SKIP() << "ffmpeg is missing (scripts/bootstrap installs it)";
        ASSERT_TRUE(RegisterPixelLibraryModule());
        m_pixelLib.reset(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
        SetPixelLibrary(m_pixelLib.get());
        ASSERT_TRUE(RegisterMovieModules());
        for (MovieLibraryKind kind : {MovieLibraryKind::Sprite, MovieLibraryKind::Primitive, MovieLibraryKind::Window}) {
            m_holders.emplace_back(LoadMovieLibrary("Z:\\Game\\", kind));
            PublishMovieLibrary(kind, m_holders.back().get());
        }
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        files.RegisterDecoder(new CKpkDecoder, "KPK\0", "KPK archive", 1, KpkAssistFunc, KpkAssistFunc2, nullptr);
        g_pFileManager = &files;
        ASSERT_TRUE(MakeMovie(dir.Linux("a.mpg"), "mpeg1video", "mp2", "mpeg"));
        std::filesystem::copy_file(dir.Linux("a.mpg"), dir.Linux("movie.bin"));
        std::vector<KpkWriterEntry> entries = {
            {"pack\\MOVIE.MPEG", ReadAll(dir.Linux("a.mpg"))},
            {"pack\\clip.ogg", ReadAll(dir.Linux("a.mpg"))},
            {"pack\\garbage.mpg", std::vector<BYTE>(3000, 0x42)},
        };
        std::string error;
        ASSERT_TRUE(WriteKpkArchive(dir.Windows("MOVIES.KPK"), entries, KpkWriterOptions{}, &error)) << error;
        ASSERT_EQ(files.Mount("MOVIES.KPK", -2, false, true, nullptr), 0);
        winapi::UseVirtualClock(true);
        winapi::SetVirtualTime(500000);
    }
    void TearDown() override
    {
        winapi::UseVirtualClock(false);
        m_holders.clear();
        SetPixelLibrary(nullptr);
        g_pFileManager = nullptr;
    }

    TempFolder dir;
    CFileManager files;
    CScreen screen;

private:
    std::unique_ptr<CPixelLibrary> m_pixelLib;
    std::vector<std::unique_ptr<CMovieLibrary>> m_holders;
};

TEST_F(MovieWrappersTest, OpenCodes)
{
    struct Row {
        const char* name;
        int sprite;
    } const rows[] = {
        {"pack\\MOVIE.MPEG", 0},   // archived, extension in capitals: kind 0
        {"pack\\clip.ogg", 3},     // archived, not a movie extension
        {"movie.bin", 0},          // a plain file of any extension, by path
        {"a.mpg", 0},
        {"pack\\garbage.mpg", 6},  // refused by the library (the stream released)
        {"missing.mpg", 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        CMovieSprite sprite;
        EXPECT_EQ(sprite.Open(row.name, 0, 0, nullptr), row.sprite);
        CMoviePrimitive primitive(&screen);
        EXPECT_EQ(primitive.Open(row.name, 0, 0, nullptr), row.sprite);
        CMovieObject window;
        EXPECT_EQ(window.Open(nullptr, row.name, nullptr, nullptr), row.sprite);
    }
    CMovieSprite sprite;
    EXPECT_EQ(sprite.Open(nullptr, 0, 0, nullptr), 2);
    CMoviePrimitive noScreen(nullptr);
    EXPECT_EQ(noScreen.Open("a.mpg", 0, 0, nullptr), 2);
    SetPixelLibrary(nullptr);
    EXPECT_EQ(sprite.Open("a.mpg", 0, 0, nullptr), 2); // the sprite draws through the pixel library
    g_pMovieSpriteLibrary = nullptr;
    g_pMoviePrimitiveLibrary = nullptr;
    g_pMovieWindowLibrary = nullptr;
    EXPECT_EQ(sprite.Open("a.mpg", 0, 0, nullptr), 1);
    CMoviePrimitive primitive(&screen);
    EXPECT_EQ(primitive.Open("a.mpg", 0, 0, nullptr), 1);
    CMovieObject window;
    EXPECT_EQ(window.Open(nullptr, "a.mpg", nullptr, nullptr), 1);
}

TEST(MovieVolume, Curve)
{
    const std::pair<int, LONG> rows[] = {{256, 0}, {300, 0}, {128, -636}, {64, -2146}, {1, -5029}, {0, -10000}, {-5, -10000}};
    for (auto [volume, db] : rows)
        EXPECT_EQ(MovieVolumeToHundredthsDb(volume), db) << volume;
}

TEST_F(MovieWrappersTest, TransportWithoutControlAnswersItsDefaults)
{
    CMovieSprite sprite;
    int64_t value = 5;
    DWORD state = 0;
    EXPECT_EQ(sprite.Play(), -1);
    EXPECT_EQ(sprite.CallDllSlot4(), -1);
    EXPECT_EQ(sprite.CallDllSlot7(&value), 0);
    EXPECT_EQ(sprite.CallDllSlot9(&value), 0);
    EXPECT_EQ(sprite.CallDllSlot10(&state), -1);
    EXPECT_EQ(sprite.SetVolume(300), -1);
    EXPECT_EQ(sprite.GetVolume(), 256);
    CMovieObject window;
    EXPECT_EQ(window.Play(), -1);
    EXPECT_EQ(window.CallDllSlot11(&value), 0);
    EXPECT_EQ(window.CallSlot9AndShow(), -1);
}

TEST_F(MovieWrappersTest, SpriteAndPrimitiveDrawTheDueFrame)
{
    for (bool primitive : {false, true}) {
        SCOPED_TRACE(primitive ? "primitive" : "sprite");
        std::unique_ptr<CMovieDrawable> movie;
        if (primitive)
            movie = std::make_unique<CMoviePrimitive>(&screen);
        else
            movie = std::make_unique<CMovieSprite>();
        ASSERT_EQ(primitive ? static_cast<CMoviePrimitive*>(movie.get())->Open("pack\\MOVIE.MPEG", 10, 20, nullptr)
                            : static_cast<CMovieSprite*>(movie.get())->Open("pack\\MOVIE.MPEG", 10, 20, nullptr),
                  0);
        EXPECT_EQ(movie->GetKind(), primitive ? 3 : 2);
        EXPECT_EQ(movie->GetWidth(), 320);
        EXPECT_EQ(movie->GetHeight(), 240);
        CImage target;
        ASSERT_EQ(target.Create(400, 300, 32, kImageWithTracker), 0);
        movie->Play();
        winapi::AdvanceVirtualClock(520);
        RECT drawn;
        ASSERT_EQ(movie->Draw(&target, &drawn), 0);
        EXPECT_EQ(drawn.left, 10);
        EXPECT_EQ(drawn.bottom, 260);
        const auto expected = ReferenceFrameAt(dir.Linux("a.mpg"), FrameIndexAt(0.52));
        const BYTE* at = target.GetBits() + 20 * target.GetPitch() + 10 * 4;
        EXPECT_LE(MaxDifference(expected, at, target.GetPitch(), 320, 240), 2);
        EXPECT_TRUE(target.IsChanged());

        // The end: stop, or with the loop flag play again from the start.
        movie->SetLoop(!primitive);
        winapi::AdvanceVirtualClock(3000);
        movie->Draw(&target, nullptr);
        DWORD state = 9;
        movie->CallDllSlot10(&state);
        int64_t position = -1;
        movie->CallDllSlot7(&position);
        if (primitive) {
            EXPECT_EQ(state, kMovieStopped);
            EXPECT_EQ(position, 20000000);
        } else {
            EXPECT_EQ(state, kMoviePlaying);
            EXPECT_EQ(position, 0);
        }
    }
}

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kMovieEventMessage && g_pMovie != nullptr) {
        g_pMovie->HandleEvents();
        return 0;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST_F(MovieWrappersTest, WindowMovieChildEventsAndPaint)
{
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = RecordingProc;
    wc.lpszClassName = "MovieOwner";
    RegisterClassExA(&wc);
    HWND owner = CreateWindowExA(0, "MovieOwner", "owner", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                 nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    ShowWindow(owner, SW_SHOW);
    auto movie = std::make_unique<CMovieObject>();
    ASSERT_EQ(movie->Open(nullptr, "a.mpg", nullptr, owner), 0);
    EXPECT_TRUE(movie->IsWindowMode());
    EXPECT_FALSE(movie->PaintsByDC());
    HWND child = GetTopWindow(owner);
    ASSERT_NE(child, nullptr);
    EXPECT_EQ(movie->SetDestRect(RECT{8, 6, 168, 126}), 0);
    EXPECT_EQ(movie->Play(), 0);
    EXPECT_TRUE(IsWindowVisible(child));
    winapi::AdvanceVirtualClock(520);
    // Entry 27: the frame scaled to the destination, as ffmpeg's scale filter makes it.
    CImage canvas;
    ASSERT_EQ(canvas.Create(200, 150, 32, kImageWithDc), 0);
    EXPECT_EQ(movie->PaintToDC(canvas.GetDc()), 0);
    const auto expected = ReferenceFrameAt(dir.Linux("a.mpg"), FrameIndexAt(0.52), 160, 120);
    const BYTE* at = canvas.GetBits() + 6 * canvas.GetPitch() + 8 * 4;
    EXPECT_LE(MaxDifference(expected, at, canvas.GetPitch(), 160, 120, false), 2); // GDI leaves alpha alone
    // The end posts 0x9006; handling it loops (back to 0) or stops.
    g_pMovie = movie.get();
    movie->SetLoop(true);
    winapi::AdvanceVirtualClock(2000);
    MSG msg;
    bool got = false;
    for (int i = 0; i < 500 && !got; ++i) {
        winapi::WaitMovieThreadsIdle(1000);
        got = PeekMessageA(&msg, owner, kMovieEventMessage, kMovieEventMessage, PM_REMOVE) != 0;
        if (!got)
            Sleep(0);
    }
    ASSERT_TRUE(got);
    DispatchMessageA(&msg);
    int64_t position = -1;
    movie->CallDllSlot11(&position);
    EXPECT_EQ(position, 0);
    DWORD state = 0;
    movie->CallDllSlot14(&state);
    EXPECT_EQ(state, kMoviePlaying);
    movie->SetLoop(false);
    winapi::AdvanceVirtualClock(2500);
    winapi::WaitMovieThreadsIdle(1000);
    movie->CallDllSlot11(&position);
    movie->CallDllSlot14(&state);
    EXPECT_EQ(position, 20000000);
    EXPECT_EQ(state, kMoviePaused);
    got = false;
    for (int i = 0; i < 500 && !got; ++i) {
        winapi::WaitMovieThreadsIdle(1000);
        got = PeekMessageA(&msg, owner, kMovieEventMessage, kMovieEventMessage, PM_REMOVE) != 0;
    }
    ASSERT_TRUE(got);
    DispatchMessageA(&msg);
    movie->CallDllSlot14(&state);
    EXPECT_EQ(state, kMovieStopped);
    EXPECT_EQ(movie->Stop(), 0);
    EXPECT_FALSE(IsWindowVisible(child));
    g_pMovie = nullptr;
    // Reopen, then destroy while decoding.
    EXPECT_EQ(movie->Open(nullptr, "pack\\MOVIE.MPEG", nullptr, owner), 0);
    movie->Play();
    winapi::AdvanceVirtualClock(100);
    movie.reset();
    DestroyWindow(owner);
}

} // namespace
