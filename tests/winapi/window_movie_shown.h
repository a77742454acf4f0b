// Shared by the host tests: a window movie playing in a child of a top-level window shows on the
// host, its picture composed over the parent's, clipped to it.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "files/temp_folder.h"
#include "movie_fixtures.h"
#include "winapi/clock.h"
#include "winapi/gdi.h"
#include "winapi/host.h"
#include "winapi/kernel.h"
#include "winapi/movie.h"
#include "winapi/user.h"

// Plays a 320×240 MPEG-1 movie in a window movie whose destination is 160×120 at (8, 6) of a
// 320×240 client filled with one colour; what the host shows of the child equals ffmpeg's frame
// scaled to 160×120 at 0.52 s within 2, the rest is the parent's. Then a destination past the
// client's corner: only the part inside shows.
inline void CheckWindowMovieShown()
{
    using namespace movie_test;
    if (!HaveFfmpeg())
        GTEST_SKIP() << "ffmpeg is missing (scripts/bootstrap installs it)";
    TempFolder folder;
    ASSERT_TRUE(MakeMovie(folder.Linux("a.mpg"), "mpeg1video", "", "mpeg"));
    ASSERT_TRUE(RegisterMovieModules());
    HMODULE module = LoadLibraryA("Z:\\anywhere\\DS_MOVIE.DLL");
    auto factory = reinterpret_cast<GetMovieObjectProc>(GetProcAddress(module, "GetMovieObject"));
    ASSERT_NE(factory, nullptr);
    winapi::UseVirtualClock(true);
    winapi::SetVirtualTime(700000);

    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "WindowMovieShown";
    RegisterClassExA(&wc);
    constexpr int kW = 320, kH = 240;
    HWND owner = CreateWindowExA(0, "WindowMovieShown", "movie", WS_POPUP | WS_VISIBLE, 40, 40, kW, kH, nullptr,
                                 nullptr, nullptr, nullptr);
    ASSERT_NE(owner, nullptr);
    const uint32_t kBack = 0x00336699;
    HDC dc = GetDC(owner);
    HBRUSH brush = CreateSolidBrush(RGB(0x33, 0x66, 0x99));
    RECT all{0, 0, kW, kH};
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    ReleaseDC(owner, dc);
    auto pump = [] {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageA(&msg);
    };
    pump();

    IMovieWindowObject* movie = nullptr;
    ASSERT_EQ(factory(&movie, nullptr, 0, folder.Windows("a.mpg").c_str(), nullptr, nullptr, 0), 0);
    ASSERT_EQ(movie->SetOwner(owner), S_OK);
    ASSERT_EQ(movie->SetDestRect(8, 6, 168, 126), S_OK);
    movie->Show(TRUE);
    movie->Run();
    winapi::AdvanceVirtualClock(520);
    ASSERT_TRUE(winapi::WaitMovieThreadsIdle(5000));
    pump();
    winapi::Frame frame = winapi::CurrentHost().ReadBack(owner);
    ASSERT_EQ(frame.width, kW);
    ASSERT_EQ(frame.height, kH);
    const auto expected = ReferenceFrameAt(folder.Linux("a.mpg"), FrameIndexAt(0.52), 160, 120);
    const auto* at = reinterpret_cast<const uint8_t*>(&frame.pixels[6 * kW + 8]);
    EXPECT_LE(MaxDifference(expected, at, kW * 4, 160, 120, false), 2);
    EXPECT_EQ(frame.At(7, 6) & 0xFFFFFF, kBack);
    EXPECT_EQ(frame.At(168, 125) & 0xFFFFFF, kBack);
    EXPECT_EQ(frame.At(8, 126) & 0xFFFFFF, kBack);

    // Past the corner: the top-left 80×60 of the 160×120 picture shows at (240, 180).
    ASSERT_EQ(movie->SetDestRect(240, 180, 400, 300), S_OK);
    winapi::AdvanceVirtualClock(60);
    ASSERT_TRUE(winapi::WaitMovieThreadsIdle(5000));
    pump();
    frame = winapi::CurrentHost().ReadBack(owner);
    ASSERT_EQ(frame.width, kW);
    const auto later = ReferenceFrameAt(folder.Linux("a.mpg"), FrameIndexAt(0.58), 160, 120);
    std::vector<uint8_t> corner;
    for (int y = 0; y < 60; ++y)
        corner.insert(corner.end(), later.begin() + y * 160 * 4, later.begin() + y * 160 * 4 + 80 * 4);
    at = reinterpret_cast<const uint8_t*>(&frame.pixels[180 * kW + 240]);
    EXPECT_LE(MaxDifference(corner, at, kW * 4, 80, 60, false), 2);
    EXPECT_EQ(frame.At(100, 100) & 0xFFFFFF, kBack);  // where the movie was

    movie->Release();
    pump();
    EXPECT_EQ(winapi::CurrentHost().ReadBack(owner).At(300, 200) & 0xFFFFFF, kBack);  // its child went with it
    DestroyWindow(owner);
    winapi::UseVirtualClock(false);
}
