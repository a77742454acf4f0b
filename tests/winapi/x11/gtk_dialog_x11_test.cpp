// GTK's file chooser through the dialog stand-in on a real X server: the dialog opens, the
// calling thread keeps answering another thread's sends while it is open, and a cancel closes it.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

#include "mapped_library.h"
#include "winapi/sdl_round_trip.h"
#include "winapi/shell.h"
#include "winapi/shell/dialog_backend.h"

// GTK starts font and theme machinery that keeps its allocations for the life of the process, on
// threads of its own; they are the libraries', not ours.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libfontconfig.so\nleak:libgtk-3.so\nleak:libgdk-3.so\nleak:libglib-2.0.so\n"
           "leak:libgobject-2.0.so\nleak:libpango\nleak:libcairo.so\nleak:libgio-2.0.so\n";
}

namespace {

constexpr UINT kPing = WM_USER + 7;

LRESULT CALLBACK Answering(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == kPing)
        return 42;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

TEST(GtkDialogX11, OpenDialogServesSendsAndCancels)
{
    const char* display = std::getenv("TESSARO_TEST_X_DISPLAY");
    if (display == nullptr)
        GTEST_SKIP() << "no test X server (TESSARO_TEST_X_DISPLAY is not set)";
    setenv("DISPLAY", display, 1);
    setenv("NO_AT_BRIDGE", "1", 1);
    setenv("GTK_USE_PORTAL", "0", 1);
    ASSERT_TRUE(StartSdlHost("x11"));
    EXPECT_FALSE(LibraryMapped("libgtk-3.so.")) << "GTK is opened by the first dialog, not before";
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = Answering;
    wc.lpszClassName = "GtkDialogTest";
    RegisterClassExA(&wc);
    HWND hwnd = CreateWindowExA(0, "GtkDialogTest", "owner", WS_POPUP | WS_VISIBLE, 0, 0, 64, 48, nullptr, nullptr,
                                nullptr, nullptr);
    ASSERT_NE(hwnd, nullptr);
    std::atomic<bool> returned{false};
    std::atomic<LRESULT> answer{0};
    std::thread other([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        answer = SendMessageA(hwnd, kPing, 0, 0);  // answered by the dialog's modal loop
        while (!returned) {
            winapi::shell::CancelGtkDialog();
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
    });
    char file[MAX_PATH] = "";
    OPENFILENAMEA ofn{};
    ofn.lStructSize = sizeof(ofn);
    ofn.hwndOwner = hwnd;
    ofn.lpstrFilter = "Text\0*.txt\0\0";
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = file;
    ofn.nMaxFile = sizeof file;
    ofn.lpstrInitialDir = "Z:\\tmp";
    const BOOL chosen = GetOpenFileNameA(&ofn);
    returned = true;
    other.join();
    EXPECT_FALSE(chosen);
    EXPECT_EQ(CommDlgExtendedError(), 0u) << "a cancel, not a failure";
    EXPECT_EQ(answer.load(), 42);
    EXPECT_TRUE(LibraryMapped("libgtk-3.so."));
    DestroyWindow(hwnd);
}

} // namespace
