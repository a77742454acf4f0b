// The game's window movie: 0x9006 runs HandleEvents under the movie lock (the end loops or
// stops), deactivation in full screen and the exit delete g_pMovie and clear the playing byte.
#include <gtest/gtest.h>

#include <memory>

#include "display/movie_object.h"
#include "files/file_manager.h"
#include "files/movie_library.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "movie_fixtures.h"
#include "winapi/clock.h"
#include "winapi/user.h"

namespace {

struct MovieGame : ::testing::Test {
    void SetUp() override
    {
        if (!movie_test::HaveFfmpeg())
            GTEST_SKIP() << "ffmpeg is missing";
        ASSERT_TRUE(movie_test::MakeMovie(dir.Linux("a.mpg"), "mpeg1video", "", "mpeg", 1.0));
        ASSERT_TRUE(RegisterMovieModules());
        holder.reset(LoadMovieLibrary("Z:\\Game\\", MovieLibraryKind::Window));
        PublishMovieLibrary(MovieLibraryKind::Window, holder.get());
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "MovieGameOwner";
        RegisterClassExA(&wc);
        owner = CreateWindowExA(0, "MovieGameOwner", "", WS_POPUP | WS_VISIBLE, 0, 0, 640, 480, nullptr, nullptr,
                                nullptr, nullptr);
        winapi::UseVirtualClock(true);
    }
    void TearDown() override
    {
        winapi::UseVirtualClock(false);
        if (owner != nullptr)
            DestroyWindow(owner);
        g_pFileManager = nullptr;
        holder.reset();
    }
    // A window movie on the owner, playing, published as g_pMovie.
    void OpenMovie(CGameApp& app)
    {
        // The application's constructor points the base folder at the program: back to the movie's.
        ASSERT_EQ(SetBaseFolder(dir.Windows().c_str()), 0);
        g_pFileManager = &files;
        auto* movie = new CMovieObject;
        ASSERT_EQ(movie->Open(nullptr, "a.mpg", nullptr, owner), 0);
        g_pMovie = movie;
        ASSERT_EQ(movie->Play(), 0);
        app.SetMoviePlaying(1);
    }
    TempFolder dir;
    CFileManager files;
    std::unique_ptr<CMovieLibrary> holder;
    HWND owner = nullptr;
};

TEST_F(MovieGame, EventsLoopOrStopTheMovie)
{
    CGameApp app;
    OpenMovie(app);
    g_pMovie->SetLoop(true);
    winapi::AdvanceVirtualClock(1500);
    ASSERT_TRUE(winapi::WaitMovieThreadsIdle(30000));
    CWindowMessage m;
    m.message = 0x9006;
    EXPECT_EQ(app.OnMovieNotify(&m), 0u);
    int64_t position = -1;
    g_pMovie->CallDllSlot11(&position);
    EXPECT_EQ(position, 0);
    g_pMovie->SetLoop(false);
    winapi::AdvanceVirtualClock(1500);
    ASSERT_TRUE(winapi::WaitMovieThreadsIdle(30000));
    EXPECT_EQ(app.OnMovieNotify(&m), 0u);
    DWORD state = 9;
    g_pMovie->CallDllSlot14(&state);
    EXPECT_EQ(state, 0u);
    app.DeleteMovieObject();
}

TEST_F(MovieGame, DeactivationAndExitDeleteTheMovie)
{
    CGameApp app;
    OpenMovie(app);
    app.OnDeactivateFullScreen();
    EXPECT_EQ(g_pMovie, nullptr);
    EXPECT_EQ(app.GetMoviePlaying(), 0);
    OpenMovie(app);
    app.OnExit(0);
    EXPECT_EQ(g_pMovie, nullptr);
    EXPECT_EQ(app.GetMoviePlaying(), 0);
}

} // namespace
