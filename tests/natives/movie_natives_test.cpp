// Natives 632-651: their answers with no movie, and a movie opened by path as a primitive or a
// sprite driven through them.
#include <gtest/gtest.h>

#include "display/movie_object.h"
#include "display/screen.h"
#include "files/movie_library.h"
#include "files/pixel_library.h"
#include "movie_fixtures.h"
#include "natives/movie_natives.h"
#include "natives/native_table.h"
#include "platform/cpu_info.h"
#include "raster/pixel_lib.h"
#include "support/host_fixture.h"
#include "winapi/clock.h"

using namespace hosttest;

namespace {

// Calls native n with the given argument words.
uint32_t Call(CScriptHost& host, uint32_t n, std::vector<uint32_t> words)
{
    const uint32_t block = host.Memory().Allocate(static_cast<uint32_t>(4 * (words.size() + 1)));
    for (size_t i = 0; i < words.size(); ++i)
        host.Memory().Store32(block + static_cast<uint32_t>(4 * i), words[i]);
    SobNativeArgs args(host.Memory(), nullptr, block, &host);
    return GetNativeRow(n).function(args);
}

TEST(MovieNatives, WithoutAMovie)
{
    HostFixture f;
    CScriptHost& host = f.Start();
    const uint32_t minus1 = static_cast<uint32_t>(-1);
    const std::pair<uint32_t, uint32_t> rows[] = {
        {633, 0}, {634, 0}, {635, minus1}, {636, minus1}, {637, minus1}, {638, minus1}, {639, minus1},
        {640, 0}, {641, 0}, {642, 0}, {643, minus1}, {644, 0}, {645, 0}, {646, minus1}, {647, 2},
        {648, 2}, {649, minus1}, {650, minus1}, {651, 0},
    };
    for (auto [n, expected] : rows) {
        EXPECT_TRUE(GetNativeRow(n).built) << n;
        EXPECT_EQ(Call(host, n, {0, 0, 0, 0}), expected) << n;
    }
}

TEST(MovieNatives, PrimitiveAndSpriteThroughTheNatives)
{
    if (!movie_test::HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is missing";
    HostFixture f;
    CScriptHost& host = f.Start();
    ASSERT_TRUE(movie_test::MakeMovie(f.dir.Linux("a.mpg"), "mpeg1video", "mp2", "mpeg"));
    ASSERT_TRUE(RegisterPixelLibraryModule());
    std::unique_ptr<CPixelLibrary> pixels(LoadPixelLibrary("Z:\\Game\\tvpgl.dll", &g_CpuInfo));
    SetPixelLibrary(pixels.get());
    ASSERT_TRUE(RegisterMovieModules());
    std::unique_ptr<CMovieLibrary> sprites(LoadMovieLibrary("Z:\\Game\\", MovieLibraryKind::Sprite));
    PublishMovieLibrary(MovieLibraryKind::Sprite, sprites.get());
    winapi::UseVirtualClock(true);
    const uint32_t name = host.Memory().Allocate(16);
    std::memcpy(host.Memory().Span(name, 6), "a.mpg", 6);
    // The test application has no movie-sprite option: a primitive, whose library is not loaded.
    EXPECT_EQ(Call(host, 632, {name, 0, 10}), 1u);
    EXPECT_EQ(Call(host, 632, {name, 1, 10}), 1u); // nor the window movie's
    // A sprite made directly, as 632 makes it with the option on.
    g_pMovieSprite = new CMovieSprite;
    ASSERT_EQ(g_pMovieSprite->Open("a.mpg", 0, 0, nullptr), 0);
    EXPECT_EQ(Call(host, 641, {}), 320u);
    EXPECT_EQ(Call(host, 642, {}), 240u);
    EXPECT_NEAR(Call(host, 644, {}), 2000.0, 40.0);
    EXPECT_EQ(Call(host, 635, {}), 0u);
    EXPECT_EQ(Call(host, 645, {}), 2u);
    winapi::AdvanceVirtualClock(300);
    EXPECT_EQ(Call(host, 640, {}), 300u);
    EXPECT_EQ(Call(host, 637, {}), 0u); // pause
    EXPECT_EQ(Call(host, 645, {}), 1u);
    EXPECT_EQ(Call(host, 638, {}), 0u); // resume
    // Positions past 214 s keep their 64 bits; a negative one is 0.
    EXPECT_EQ(Call(host, 643, {static_cast<uint32_t>(-50)}), 0u);
    EXPECT_EQ(Call(host, 640, {}), 0u);
    EXPECT_EQ(Call(host, 646, {128}), 0u);
    EXPECT_EQ(g_pMovieSprite->GetVolume(), 128);
    EXPECT_EQ(Call(host, 650, {2u << 16}), 0u);
    EXPECT_EQ(Call(host, 639, {5, 6, 165, 126}), 0u);
    EXPECT_EQ(g_pMovieSprite->GetWidth(), 160);
    EXPECT_NE(Call(host, 651, {}), 0u);
    EXPECT_EQ(Call(host, 636, {}), 0u);
    EXPECT_EQ(Call(host, 645, {}), 0u);
    EXPECT_EQ(Call(host, 633, {}), 0u);
    EXPECT_EQ(g_pMovieSprite, nullptr);
    EXPECT_EQ(Call(host, 651, {}), 0u);
    winapi::UseVirtualClock(false);
    sprites.reset();
    SetPixelLibrary(nullptr);
}

} // namespace

namespace {

TEST(MovieNatives, PrimitiveAndWindowMovieKinds)
{
    if (!movie_test::HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is missing";
    HostFixture f;
    CScriptHost& host = f.Start();
    ASSERT_TRUE(movie_test::MakeMovie(f.dir.Linux("a.mpg"), "mpeg1video", "", "mpeg", 1.0));
    ASSERT_TRUE(RegisterMovieModules());
    std::unique_ptr<CMovieLibrary> prims(LoadMovieLibrary("Z:\\Game\\", MovieLibraryKind::Primitive));
    std::unique_ptr<CMovieLibrary> windows(LoadMovieLibrary("Z:\\Game\\", MovieLibraryKind::Window));
    PublishMovieLibrary(MovieLibraryKind::Primitive, prims.get());
    PublishMovieLibrary(MovieLibraryKind::Window, windows.get());
    CScreen screen;
    CScreen* savedDisplay = g_pDisplay;
    g_pDisplay = &screen;
    winapi::UseVirtualClock(true);
    const uint32_t name = host.Memory().Allocate(16);
    std::memcpy(host.Memory().Span(name, 6), "a.mpg", 6);
    const uint32_t missing = host.Memory().Allocate(16);
    std::memcpy(host.Memory().Span(missing, 6), "b.mpg", 6);

    // The primitive (the test application has no movie-sprite option).
    EXPECT_EQ(Call(host, 632, {missing, 0, 10}), 4u);
    EXPECT_EQ(g_pMoviePrimitive, nullptr);
    EXPECT_EQ(Call(host, 632, {name, 0, 10}), 0u);
    ASSERT_NE(g_pMoviePrimitive, nullptr);
    EXPECT_EQ(Call(host, 641, {}), 320u);
    EXPECT_EQ(Call(host, 635, {}), 0u);
    winapi::AdvanceVirtualClock(200);
    EXPECT_EQ(Call(host, 640, {}), 200u);
    EXPECT_EQ(Call(host, 647, {}), 2u); // window movie only
    EXPECT_EQ(Call(host, 651, {}), 0u); // a primitive is no sprite

    // The window movie replaces it; 647 and 648 reach its unlisted entries.
    EXPECT_EQ(Call(host, 632, {name, 1, 0}), 0u);
    EXPECT_EQ(g_pMoviePrimitive, nullptr);
    ASSERT_NE(g_pMovie, nullptr);
    EXPECT_EQ(Call(host, 635, {}), 0u);
    winapi::AdvanceVirtualClock(300);
    EXPECT_EQ(Call(host, 640, {}), 300u);
    EXPECT_EQ(Call(host, 645, {}), 2u);
    EXPECT_EQ(Call(host, 647, {}), static_cast<uint32_t>(E_NOTIMPL));
    EXPECT_EQ(Call(host, 648, {5}), static_cast<uint32_t>(E_NOTIMPL));
    EXPECT_EQ(Call(host, 639, {0, 0, 160, 120}), 0u);
    EXPECT_EQ(g_pMovie->GetDestRect().right, 160);
    EXPECT_EQ(Call(host, 636, {}), 0u);
    EXPECT_EQ(Call(host, 633, {}), 0u);
    EXPECT_EQ(g_pMovie, nullptr);
    EXPECT_EQ(Call(host, 640, {}), 0u);

    winapi::UseVirtualClock(false);
    g_pDisplay = savedDisplay;
}

} // namespace
