// The dialog stand-in on the headless host: templates, controls and their notifications, the
// modal loop, scripts and records.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "dialog_cases.h"
#include "headless_util.h"

using namespace dialog_cases;

TEST(Dialogs, ActionsNotifyInWin32Order) { CheckActions(); }

TEST(Dialogs, ControlsKeepTheirLastState) { CheckStates(); }

TEST(Dialogs, SubclassedControlSeesKeysFirst) { CheckSubclass(); }

TEST(Dialogs, ModalDialogsNest) { CheckNesting(); }

// The host is told which window each dialog belongs to.
TEST(Dialogs, DialogsStayOverTheirOwners)
{
    CheckDialogsStayOverTheirOwners([](HWND window, HWND owner) {
        return winapi::CurrentHeadlessHost()->WindowState(window).owner == owner ? 1 : 0;
    });
}

TEST(Dialogs, MissingTemplateFails)
{
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(4321), nullptr, nullptr, 0), -1);
    EXPECT_EQ(CreateDialogParamA(nullptr, MAKEINTRESOURCEA(4321), nullptr, nullptr, 0), nullptr);
}

// While the dialog runs, a send from another thread and the owner's paint are served.
namespace {
std::atomic<int> g_ownerPaints{0};
std::atomic<int> g_ownerSends{0};

LRESULT CALLBACK OwnerProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_PAINT) {
        PAINTSTRUCT ps;
        BeginPaint(hwnd, &ps);
        EndPaint(hwnd, &ps);
        ++g_ownerPaints;
        return 0;
    }
    if (message == WM_USER + 5) {
        ++g_ownerSends;
        return 42;
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}
} // namespace

TEST(Dialogs, ModalLoopServesSendsAndOwnerPaint)
{
    RegisterTemplates();
    ClearDialogScripts();
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = OwnerProc;
    wc.lpszClassName = "DialogOwnerServed";
    RegisterClassExA(&wc);
    static HWND s_owner;
    s_owner = CreateWindowExA(0, "DialogOwnerServed", "owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 200, 100,
                              nullptr, nullptr, nullptr, nullptr);
    headless_test::Pump();
    g_ownerPaints = 0;
    g_ownerSends = 0;
    std::atomic<bool> sending{false};
    std::atomic<LRESULT> answer{0};
    std::thread sender([&] {
        sending = true;
        answer = SendMessageA(s_owner, WM_USER + 5, 0, 0);
    });
    while (!sending)
        std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(50));  // the send waits in the queue
    static int s_paintsInside, s_sendsInside;
    QueueDialogScript(kInner, {AdvanceClock(10), ClickOn(IDOK)});
    const INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kInner), s_owner,
                                           [](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
                                               if (m == WM_INITDIALOG) {
                                                   InvalidateRect(s_owner, nullptr, FALSE);
                                                   return TRUE;
                                               }
                                               if (m == WM_COMMAND && LOWORD(w) == IDOK) {
                                                   s_paintsInside = g_ownerPaints;
                                                   s_sendsInside = g_ownerSends;
                                                   EndDialog(d, 5);
                                                   return TRUE;
                                               }
                                               return FALSE;
                                           },
                                           0);
    sender.join();
    EXPECT_EQ(result, 5);
    EXPECT_EQ(answer.load(), 42);
    EXPECT_EQ(s_sendsInside, 1);
    EXPECT_GE(s_paintsInside, 1);
    DestroyWindow(s_owner);
}

TEST(Dialogs, QuitEndsTheDialogAndIsPostedAgain)
{
    RegisterTemplates();
    ClearDialogScripts();
    QueueDialogScript(kInner, {ClickOn(IDOK)});
    const INT_PTR result = DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kInner), nullptr,
                                           [](HWND, UINT m, WPARAM w, LPARAM) -> INT_PTR {
                                               if (m == WM_COMMAND && LOWORD(w) == IDOK) {
                                                   PostQuitMessage(3);
                                                   return TRUE;
                                               }
                                               return m == WM_INITDIALOG;
                                           },
                                           0);
    EXPECT_EQ(result, 0);
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(msg.message, static_cast<UINT>(WM_QUIT));
    EXPECT_EQ(msg.wParam, 3u);
}

// A message template without a script takes the host's message-box answers.
TEST(Dialogs, MessageTemplateTakesMessageBoxAnswers)
{
    RegisterTemplates();
    ClearDialogScripts();
    auto& host = headless_test::Host();
    const size_t before = host.MessageBoxes().size();
    host.QueueMessageBoxAnswers({IDYES, IDNO, IDCANCEL});
    auto proc = [](HWND d, UINT m, WPARAM w, LPARAM) -> INT_PTR {
        if (m == WM_INITDIALOG) {
            SetDlgItemTextA(d, 1012, winapi::Sjis("終了しますか？"));
            return TRUE;
        }
        if (m == WM_COMMAND && (LOWORD(w) == 1 || LOWORD(w) == 2)) {
            EndDialog(d, LOWORD(w) == 1 ? 1 : 0);
            return TRUE;
        }
        return FALSE;
    };
    const INT_PTR expected[] = {1, 0, 0};  // yes, no, and a cancel is button 2 (IDCANCEL)
    for (INT_PTR want : expected)
        EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kMessage), nullptr, proc, 0), want);
    const auto boxes = host.MessageBoxes();
    ASSERT_EQ(boxes.size(), before + 3);
    EXPECT_EQ(boxes.back().text, "終了しますか？");
    EXPECT_EQ(boxes.back().caption, "question");
    EXPECT_EQ(boxes.back().type, static_cast<UINT>(MB_YESNO));
}

TEST(Dialogs, DialogUnitsFollowTheFont)
{
    RegisterTemplates();
    ClearDialogScripts();
    HWND dialog = CreateDialogParamA(nullptr, MAKEINTRESOURCEA(kInner), nullptr, nullptr, 0);
    ASSERT_NE(dialog, nullptr);
    RECT units{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(dialog, &units));
    EXPECT_GT(units.right, 2);
    EXPECT_GT(units.bottom, 8);
    RECT button;
    GetWindowRect(GetDlgItem(dialog, IDOK), &button);
    RECT expected{4, 4, 44, 18};
    MapDialogRect(dialog, &expected);
    EXPECT_EQ(button.right - button.left, expected.right - expected.left);
    EXPECT_EQ(button.bottom - button.top, expected.bottom - expected.top);
    DestroyWindow(dialog);
    ASSERT_FALSE(DialogRecords().empty());
    EXPECT_FALSE(DialogRecords().back().scriptRanOut);
}
