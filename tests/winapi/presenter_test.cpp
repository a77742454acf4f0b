// The presenter: what a window's drawing sends to the host. Bands of one rectangle leave as one
// rectangle, scattered ones past the limit as their bounding box, one present per batch
// (ReleaseDC, EndPaint, GdiFlush, or the owner woken after another thread drew), nothing for an
// unchanged window, the whole client after an expose; with frame capture off the headless host
// counts presents without copying them.
#include <gtest/gtest.h>

#include <thread>

#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace {

winapi::HeadlessHost& Host()
{
    return *winapi::CurrentHeadlessHost();
}

void Pump()
{
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
}

bool Same(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

class Presenter : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(winapi::CurrentHeadlessHost(), nullptr);
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = DefWindowProcA;
        wc.lpszClassName = "PresenterTest";
        RegisterClassExA(&wc);
        window = CreateWindowExA(0, "PresenterTest", "p", WS_POPUP | WS_VISIBLE, 0, 0, 200, 150, nullptr, nullptr,
                                 nullptr, nullptr);
        ASSERT_NE(window, nullptr);
        Pump();
        Host().TakePresentedRects(window);
        source = winapi::CreateMemoryDC(pixels.data(), 200, 150, 800, 32);
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
    }
    void TearDown() override
    {
        DeleteDC(source);
        DestroyWindow(window);
        Pump();
    }
    void Blit(HDC dc, const RECT& r)
    {
        BitBlt(dc, r.left, r.top, r.right - r.left, r.bottom - r.top, source, r.left, r.top, SRCCOPY);
    }

    HWND window = nullptr;
    std::vector<uint32_t> pixels = std::vector<uint32_t>(200 * 150);
    HDC source = nullptr;
};

TEST_F(Presenter, BandsOfOneRectangleLeaveAsOneAtReleaseDC)
{
    HDC dc = GetDC(window);
    for (LONG y = 10; y < 70; y += 8)
        Blit(dc, RECT{20, y, 120, std::min<LONG>(y + 8, 70)});
    EXPECT_TRUE(Host().TakePresentedRects(window).empty()); // nothing before the batch ends
    ReleaseDC(window, dc);
    const auto presents = Host().TakePresentedRects(window);
    ASSERT_EQ(presents.size(), 1u);
    ASSERT_EQ(presents[0].size(), 1u);
    EXPECT_TRUE(Same(presents[0][0], RECT{20, 10, 120, 70}));
    const winapi::Frame frame = Host().ReadBack(window);
    EXPECT_EQ(frame.At(119, 69), pixels[69 * 200 + 119]);

    // An unchanged window sends nothing.
    dc = GetDC(window);
    ReleaseDC(window, dc);
    Pump();
    EXPECT_TRUE(Host().TakePresentedRects(window).empty());
}

TEST_F(Presenter, ManyScatteredRectanglesBecomeTheirBoundingBox)
{
    HDC dc = GetDC(window);
    for (LONG i = 0; i < 49; ++i) // one past the store's limit of 48
        Blit(dc, RECT{i * 3, i * 2, i * 3 + 1, i * 2 + 1});
    EXPECT_TRUE(GdiFlush()); // ends the batch as ReleaseDC would
    auto presents = Host().TakePresentedRects(window);
    ASSERT_EQ(presents.size(), 1u);
    ASSERT_EQ(presents[0].size(), 1u);
    EXPECT_TRUE(Same(presents[0][0], RECT{0, 0, 145, 97}));
    // A few separate ones stay separate.
    Blit(dc, RECT{0, 0, 4, 4});
    Blit(dc, RECT{100, 100, 104, 104});
    ReleaseDC(window, dc);
    presents = Host().TakePresentedRects(window);
    ASSERT_EQ(presents.size(), 1u);
    EXPECT_EQ(presents[0].size(), 2u);
}

TEST_F(Presenter, AnotherThreadMarksAndTheOwnerPresents)
{
    std::thread game([this] {
        HDC dc = GetDC(window);
        Blit(dc, RECT{0, 0, 50, 50});
        ReleaseDC(window, dc);
    });
    game.join();
    EXPECT_TRUE(Host().TakePresentedRects(window).empty());
    Pump();
    const auto presents = Host().TakePresentedRects(window);
    ASSERT_EQ(presents.size(), 1u);
    ASSERT_EQ(presents[0].size(), 1u);
    EXPECT_TRUE(Same(presents[0][0], RECT{0, 0, 50, 50}));
}

TEST_F(Presenter, AnExposeSendsTheWholeClient)
{
    winapi::HostExposed(window);
    Pump();
    const auto presents = Host().TakePresentedRects(window);
    ASSERT_FALSE(presents.empty());
    EXPECT_TRUE(Same(presents.front()[0], RECT{0, 0, 200, 150}));
}

TEST_F(Presenter, WithoutFrameCaptureTheHostCountsPresentsAndKeepsTheLastFrame)
{
    HDC dc = GetDC(window);
    Blit(dc, RECT{0, 0, 10, 10});
    ReleaseDC(window, dc);
    const uint32_t before = Host().ReadBack(window).At(5, 5);
    EXPECT_EQ(before, pixels[5 * 200 + 5]);
    Host().TakePresentedRects(window);
    const int presents = Host().PresentCount(window);

    Host().SetFrameCapture(false);
    for (uint32_t& p : pixels)
        p ^= 0xFFFFFF;
    dc = GetDC(window);
    Blit(dc, RECT{0, 0, 10, 10});
    ReleaseDC(window, dc);
    Host().SetFrameCapture(true);
    EXPECT_EQ(Host().PresentCount(window), presents + 1);
    const auto rects = Host().TakePresentedRects(window);
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_TRUE(Same(rects[0][0], RECT{0, 0, 10, 10}));
    EXPECT_EQ(Host().ReadBack(window).At(5, 5), before);
}

} // namespace
