// Windows on the headless host: creation and destruction order, the default window procedure,
// injected input, the IME, the keyboard hook, drawing through GetDC, message boxes, monitors.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "winapi/gdi.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/host_headless.h"
#include "winapi/imm.h"
#include "winapi/kernel_module.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

struct Seen {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

std::vector<Seen> g_seen;
LPVOID g_createParam = nullptr;

LRESULT CALLBACK RecordingProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    g_seen.push_back(Seen{hwnd, message, wParam, lParam});
    if (message == WM_NCCREATE)
        g_createParam = reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams;
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

winapi::HeadlessHost& Host()
{
    auto* host = winapi::CurrentHeadlessHost();
    EXPECT_NE(host, nullptr);
    return *host;
}

class Windows : public ::testing::Test {
protected:
    void SetUp() override
    {
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = RecordingProc;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.hbrBackground = static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH));
        wc.lpszClassName = "WindowTest";
        RegisterClassExA(&wc);
        g_seen.clear();
    }
    void TearDown() override
    {
        for (HWND h : made)
            if (IsWindow(h))
                DestroyWindow(h);
        Pump();
    }
    HWND Make(DWORD style = WS_OVERLAPPEDWINDOW | WS_VISIBLE, HWND parent = nullptr, LPVOID param = nullptr)
    {
        HWND h = CreateWindowExA(0, "WindowTest", "test", style, 10, 20, 300, 200, parent, nullptr, nullptr, param);
        made.push_back(h);
        return h;
    }
    // Dispatches everything waiting; returns the messages taken out of the queue.
    std::vector<MSG> Pump()
    {
        std::vector<MSG> taken;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            taken.push_back(msg);
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
        return taken;
    }
    std::vector<UINT> Messages(HWND h)
    {
        std::vector<UINT> out;
        for (const Seen& s : g_seen)
            if (s.hwnd == h)
                out.push_back(s.message);
        return out;
    }
    std::vector<HWND> made;
};

TEST_F(Windows, CreationSendsNcCreateFirstWithTheParameter)
{
    int marker = 0;
    HWND h = Make(WS_OVERLAPPEDWINDOW, nullptr, &marker);
    ASSERT_NE(h, nullptr);
    const auto seen = Messages(h);
    ASSERT_GE(seen.size(), 2u);
    EXPECT_EQ(seen[0], static_cast<UINT>(WM_NCCREATE));
    EXPECT_EQ(seen[1], static_cast<UINT>(WM_CREATE));
    EXPECT_EQ(g_createParam, &marker);
    EXPECT_FALSE(IsWindowVisible(h));
    EXPECT_TRUE(Host().HasWindow(h));
    EXPECT_FALSE(Host().WindowState(h).visible);
}

TEST_F(Windows, RefusedCreationLeavesNoWindow)
{
    static const struct {
        const char* name;
        UINT message;
        LRESULT answer;
    } cases[] = {{"WM_NCCREATE answers FALSE", WM_NCCREATE, FALSE}, {"WM_CREATE answers -1", WM_CREATE, -1}};
    for (const auto& c : cases) {
        static UINT refuse;
        static LRESULT answer;
        refuse = c.message;
        answer = c.answer;
        WNDCLASSEXA wc{};
        wc.cbSize = sizeof(wc);
        wc.lpfnWndProc = [](HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) -> LRESULT {
            if (message == refuse)
                return answer;
            return DefWindowProcA(hwnd, message, wParam, lParam);
        };
        wc.lpszClassName = "Refusing";
        UnregisterClassA("Refusing", nullptr);
        ASSERT_NE(RegisterClassExA(&wc), 0) << c.name;
        EXPECT_EQ(CreateWindowExA(0, "Refusing", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr), nullptr)
            << c.name;
        EXPECT_EQ(FindWindowA("Refusing", nullptr), nullptr) << c.name;
        EXPECT_TRUE(UnregisterClassA("Refusing", nullptr)) << c.name;
    }
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
    WNDCLASSEXA again{};
    again.cbSize = sizeof(again);
    again.lpfnWndProc = DefWindowProcA;
    again.lpszClassName = "windowtest";  // names compare without case
    EXPECT_EQ(RegisterClassExA(&again), 0);
}

TEST_F(Windows, DestructionOrderAndChildren)
{
    HWND parent = Make();
    HWND child = Make(WS_CHILD | WS_VISIBLE, parent);
    ASSERT_NE(child, nullptr);
    std::vector<HWND> topLevel;
    EnumWindows([](HWND w, LPARAM data) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(w);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&topLevel));
    EXPECT_EQ(std::count(topLevel.begin(), topLevel.end(), parent), 1);
    EXPECT_EQ(std::count(topLevel.begin(), topLevel.end(), child), 0);
    EXPECT_EQ(GetParent(child), parent);
    EXPECT_EQ(GetWindow(parent, GW_CHILD), child);
    g_seen.clear();
    EXPECT_TRUE(DestroyWindow(parent));
    std::vector<std::pair<HWND, UINT>> order;
    for (const Seen& s : g_seen)
        if (s.message == WM_DESTROY || s.message == WM_NCDESTROY)
            order.push_back({s.hwnd, s.message});
    const std::vector<std::pair<HWND, UINT>> expected = {
        {parent, WM_DESTROY}, {child, WM_DESTROY}, {child, WM_NCDESTROY}, {parent, WM_NCDESTROY}};
    EXPECT_EQ(order, expected);
    EXPECT_FALSE(IsWindow(parent));
    EXPECT_FALSE(IsWindow(child));
    std::vector<HWND> listed;
    EnumWindows([](HWND w, LPARAM data) -> BOOL {
        reinterpret_cast<std::vector<HWND>*>(data)->push_back(w);
        return TRUE;
    }, reinterpret_cast<LPARAM>(&listed));
    EXPECT_EQ(std::count(listed.begin(), listed.end(), parent), 0);
    EXPECT_FALSE(Host().HasWindow(parent));
    EXPECT_FALSE(DestroyWindow(parent));
}

TEST_F(Windows, AltF4ClosesThroughSystemCommand)
{
    HWND h = Make();
    Pump();
    g_seen.clear();
    winapi::HostKey(h, {226, true, false});  // left Alt
    winapi::HostKey(h, {61, true, false});   // F4
    Pump();
    const auto seen = Messages(h);
    auto position = [&](UINT m) { return std::find(seen.begin(), seen.end(), m) - seen.begin(); };
    ASSERT_LT(position(WM_SYSKEYDOWN), static_cast<long>(seen.size()));
    EXPECT_LT(position(WM_SYSKEYDOWN), position(WM_SYSCOMMAND));
    EXPECT_LT(position(WM_SYSCOMMAND), position(WM_CLOSE));
    EXPECT_LT(position(WM_CLOSE), position(WM_DESTROY));
    EXPECT_FALSE(IsWindow(h));
    winapi::HostKey(h, {61, false, false});
    winapi::HostKey(h, {226, false, false});
}

TEST_F(Windows, AltAloneOpensTheMenuLoopOnlyWithAMenu)
{
    HWND h = Make();
    Pump();
    auto press = [&](std::initializer_list<int> keys) {
        for (int key : keys)
            winapi::HostKey(h, {key, true, false});
        for (auto it = std::rbegin(keys); it != std::rend(keys); ++it)
            winapi::HostKey(h, {*it, false, false});
        Pump();
    };
    press({226});  // Alt alone, no menu: nothing
    EXPECT_EQ(std::count_if(g_seen.begin(), g_seen.end(), [](const Seen& s) { return s.message == WM_ENTERMENULOOP; }), 0);
    HMENU menu = CreateMenu();
    AppendMenuA(menu, MF_STRING, 100, "File");
    ASSERT_TRUE(SetMenu(h, menu));
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.bottom, 200 - GetSystemMetrics(SM_CYMENU) - GetSystemMetrics(SM_CYCAPTION) - 2 * GetSystemMetrics(SM_CYFRAME));
    g_seen.clear();
    press({226});  // Alt alone: the menu loop opens and closes
    EXPECT_EQ(std::count_if(g_seen.begin(), g_seen.end(), [](const Seen& s) { return s.message == WM_ENTERMENULOOP; }), 1);
    EXPECT_EQ(std::count_if(g_seen.begin(), g_seen.end(), [](const Seen& s) { return s.message == WM_EXITMENULOOP; }), 1);
    g_seen.clear();
    press({226, 5});  // Alt+B: no menu loop
    EXPECT_EQ(std::count_if(g_seen.begin(), g_seen.end(), [](const Seen& s) { return s.message == WM_ENTERMENULOOP; }), 0);
    SetMenu(h, nullptr);
    DestroyMenu(menu);
}

// A menu cannot become its own sub-menu, directly or through others: every search for a
// command in it used to recurse without end.
TEST_F(Windows, AMenuInsideItselfIsRefused)
{
    HMENU top = CreateMenu();
    HMENU sub = CreatePopupMenu();
    HMENU leaf = CreatePopupMenu();
    EXPECT_FALSE(AppendMenuA(top, MF_POPUP, reinterpret_cast<UINT_PTR>(top), "Self"));
    ASSERT_TRUE(AppendMenuA(top, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Sub"));
    ASSERT_TRUE(AppendMenuA(sub, MF_POPUP, reinterpret_cast<UINT_PTR>(leaf), "Leaf"));
    EXPECT_FALSE(AppendMenuA(leaf, MF_POPUP, reinterpret_cast<UINT_PTR>(top), "Loop"));
    EXPECT_FALSE(AppendMenuA(leaf, MF_POPUP, reinterpret_cast<UINT_PTR>(sub), "Loop"));
    ASSERT_TRUE(AppendMenuA(leaf, MF_STRING, 7, "Item"));
    EXPECT_EQ(GetMenuItemCount(leaf), 1);
    EXPECT_EQ(CheckMenuItem(top, 7, MF_CHECKED), 0u);  // found, was unchecked
    EXPECT_EQ(CheckMenuItem(top, 8, MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_TRUE(DestroyMenu(top));
}

TEST_F(Windows, MinimiseAndRestoreBySystemCommand)
{
    HWND h = Make();
    Pump();
    EXPECT_EQ(GetActiveWindow(), h);
    SendMessageA(h, WM_SYSCOMMAND, SC_MINIMIZE, 0);
    EXPECT_TRUE(IsIconic(h));
    EXPECT_TRUE(Host().WindowState(h).minimized);
    EXPECT_NE(GetActiveWindow(), h);
    SendMessageA(h, WM_SYSCOMMAND, SC_RESTORE, 0);
    EXPECT_FALSE(IsIconic(h));
    EXPECT_EQ(GetActiveWindow(), h);
    const auto seen = Messages(h);
    EXPECT_NE(std::find(seen.begin(), seen.end(), static_cast<UINT>(WM_ACTIVATEAPP)), seen.end());
}

TEST_F(Windows, InjectedInputArrivesAsWindowMessages)
{
    HWND h = Make();
    Pump();
    Host().PressKey(h, 4, "a");  // the A key typing "a"
    Host().Click(h, 12, 34);
    winapi::HostMouseWheel(h, -WHEEL_DELTA, 1, 1);
    const auto taken = Pump();
    struct Expect {
        UINT message;
        WPARAM wParam;
    } expected[] = {{WM_KEYDOWN, 'A'},      {WM_CHAR, 'a'},         {WM_KEYUP, 'A'},   {WM_MOUSEMOVE, 0},
                    {WM_LBUTTONDOWN, MK_LBUTTON}, {WM_LBUTTONUP, 0}, {WM_MOUSEWHEEL, 0}};
    ASSERT_EQ(taken.size(), std::size(expected));
    for (size_t i = 0; i < taken.size(); ++i) {
        EXPECT_EQ(taken[i].message, expected[i].message) << i;
        if (expected[i].message != WM_MOUSEWHEEL) {
            EXPECT_EQ(taken[i].wParam, expected[i].wParam) << i;
        }
        EXPECT_EQ(taken[i].hwnd, h);
    }
    EXPECT_EQ(taken[0].lParam & 0x00FF0000, 0x1E << 16);  // the scan code of A
    EXPECT_TRUE(taken[2].lParam & (LPARAM{1} << 31));    // released
    EXPECT_EQ(GET_X_LPARAM(taken[4].lParam), 12);
    EXPECT_EQ(GET_Y_LPARAM(taken[4].lParam), 34);
    EXPECT_EQ(GET_WHEEL_DELTA_WPARAM(taken[6].wParam), -WHEEL_DELTA);
    POINT screen{12, 34};
    ClientToScreen(h, &screen);
    EXPECT_EQ(taken[4].pt.x, screen.x);
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, screen.x);
    // WM_SETCURSOR came before each mouse message and set the class cursor.
    EXPECT_EQ(Host().CursorStandardId(), 32512);
}

TEST_F(Windows, KeyStateFollowsRetrievedMessages)
{
    HWND h = Make();
    Pump();
    winapi::HostKey(h, {225, true, false});  // left Shift down
    EXPECT_TRUE(GetAsyncKeyState(VK_SHIFT) & 0x8000);
    EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);  // not yet taken out of the queue
    Pump();
    EXPECT_TRUE(GetKeyState(VK_SHIFT) & 0x8000);
    winapi::HostKey(h, {225, false, false});
    Pump();
    EXPECT_FALSE(GetKeyState(VK_SHIFT) & 0x8000);
    EXPECT_EQ(GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
    EXPECT_EQ(winapi::VirtualKeyFromScancode(40), VK_RETURN);
}

TEST_F(Windows, TranslateMessageGivesCharactersForControlKeys)
{
    HWND h = Make();
    Pump();
    Host().PressKey(h, 40);  // Enter: the host types no text for it
    const auto taken = Pump();
    std::vector<UINT> messages;
    for (const MSG& m : taken)
        messages.push_back(m.message);
    const std::vector<UINT> expected = {WM_KEYDOWN, WM_CHAR, WM_KEYUP};
    EXPECT_EQ(messages, expected);
    EXPECT_EQ(taken[1].wParam, static_cast<WPARAM>('\r'));
}

TEST_F(Windows, ImeResultsArriveAsImeCharThenCharBytePairs)
{
    HWND h = Make();
    Pump();
    HIMC context = ImmGetContext(h);
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(ImmGetOpenStatus(context));
    // Closed: Japanese text arrives as plain WM_CHAR bytes.
    winapi::HostText(h, "あ");
    auto taken = Pump();
    ASSERT_EQ(taken.size(), 2u);
    EXPECT_EQ(taken[0].wParam, 0x82u);
    EXPECT_EQ(taken[1].wParam, 0xA0u);
    ASSERT_TRUE(ImmSetOpenStatus(context, TRUE));
    EXPECT_TRUE(Host().TextInput());
    g_seen.clear();
    winapi::HostComposition(h, "かん", 1);
    taken = Pump();
    char composition[16] = {};
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_COMPSTR, composition, sizeof(composition)), 4);
    EXPECT_STREQ(composition, winapi::Sjis("かん"));
    EXPECT_EQ(ImmGetCompositionStringA(context, GCS_CURSORPOS, nullptr, 0), 2);
    winapi::HostText(h, "漢a");
    Pump();
    std::vector<std::pair<UINT, WPARAM>> chars;
    for (const Seen& s : g_seen)
        if (s.message == WM_IME_CHAR || s.message == WM_CHAR)
            chars.push_back({s.message, s.wParam});
    const std::string sjis = winapi::Sjis("漢");
    const auto lead = static_cast<unsigned char>(sjis[0]), trail = static_cast<unsigned char>(sjis[1]);
    const std::vector<std::pair<UINT, WPARAM>> expected = {
        {WM_IME_CHAR, static_cast<WPARAM>((lead << 8) | trail)}, {WM_IME_CHAR, 'a'}, {WM_CHAR, lead},
        {WM_CHAR, trail}, {WM_CHAR, 'a'}};
    EXPECT_EQ(chars, expected);
    // Without a context the IME is off for the window.
    ImmAssociateContext(h, nullptr);
    EXPECT_EQ(ImmGetContext(h), nullptr);
    EXPECT_TRUE(ImmAssociateContextEx(h, nullptr, IACE_DEFAULT));
    EXPECT_EQ(ImmGetContext(h), context);
    ImmSetOpenStatus(context, FALSE);
    // The frame finds ImmAssociateContextEx at run time in "imm32.dll".
    HMODULE imm = LoadLibraryA("imm32.dll");
    ASSERT_NE(imm, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(GetProcAddress(imm, "ImmAssociateContextEx")),
              reinterpret_cast<void*>(&ImmAssociateContextEx));
    FreeLibrary(imm);
    // The IME window takes the status-window requests.
    SendMessageA(ImmGetDefaultIMEWnd(h), WM_IME_CONTROL, IMC_CLOSESTATUSWINDOW, 0);
    EXPECT_FALSE(winapi::ImeStatusWindowShown());
    SendMessageA(ImmGetDefaultIMEWnd(h), WM_IME_CONTROL, IMC_OPENSTATUSWINDOW, 0);
    EXPECT_TRUE(winapi::ImeStatusWindowShown());
}

TEST_F(Windows, LowLevelKeyboardHookCanSwallowKeys)
{
    HWND h = Make();
    Pump();
    static std::vector<DWORD> hooked;
    static HHOOK hook;
    hooked.clear();
    hook = SetWindowsHookExA(
        WH_KEYBOARD_LL,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* info = reinterpret_cast<KBDLLHOOKSTRUCT*>(lParam);
            hooked.push_back(info->vkCode);
            if (code == HC_ACTION && info->vkCode == VK_LWIN)
                return 1;
            return CallNextHookEx(hook, code, wParam, lParam);
        },
        nullptr, 0);
    ASSERT_NE(hook, nullptr);
    winapi::HostKey(h, {227, true, false});  // left Windows key: swallowed
    winapi::HostKey(h, {227, false, false});
    winapi::HostKey(h, {41, true, false});   // Escape: passes
    const auto taken = Pump();
    ASSERT_EQ(taken.size(), 2u);  // WM_KEYDOWN and its WM_CHAR
    EXPECT_EQ(taken[0].wParam, static_cast<WPARAM>(VK_ESCAPE));
    EXPECT_EQ(hooked.size(), 3u);
    EXPECT_TRUE(UnhookWindowsHookEx(hook));
    EXPECT_FALSE(UnhookWindowsHookEx(hook));
    winapi::HostKey(h, {41, false, false});
    EXPECT_EQ(SetWindowsHookExA(2, nullptr, nullptr, 0), nullptr);
}

TEST_F(Windows, DrawingThroughGetDcReachesTheHost)
{
    HWND h = Make(WS_POPUP | WS_VISIBLE);
    Pump();
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, 300);
    EXPECT_EQ(client.bottom, 200);
    std::vector<uint32_t> picture(300 * 200);
    for (int y = 0; y < 200; ++y)
        for (int x = 0; x < 300; ++x)
            picture[static_cast<size_t>(y) * 300 + x] = static_cast<uint32_t>((x << 8) ^ y);
    HDC source = winapi::CreateMemoryDC(picture.data(), 300, 200, 300 * 4, 32);
    HDC window = GetDC(h);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(DeleteDC(window));  // given back with ReleaseDC
    ASSERT_TRUE(BitBlt(window, 0, 0, 300, 200, source, 0, 0, SRCCOPY));
    EXPECT_EQ(ReleaseDC(h, window), 1);
    DeleteDC(source);
    const winapi::Frame frame = Host().ReadBack(h);
    ASSERT_EQ(frame.width, 300);
    ASSERT_EQ(frame.height, 200);
    EXPECT_EQ(frame.pixels, picture);
    EXPECT_EQ(GetDC(reinterpret_cast<HWND>(0x4321)), nullptr);
}

TEST_F(Windows, AWindowDcGotAgainStartsFromTheDefaultsAndDrawsIntoItsOwnWindow)
{
    // Released window DCs are kept for the next GetDC: the next one must not carry the last one's
    // state, window or handle rights.
    HWND first = Make(WS_POPUP | WS_VISIBLE), second = Make(WS_POPUP | WS_VISIBLE);
    Pump();
    for (int round = 0; round < 3; ++round) {
        HDC dc = GetDC(first);
        ASSERT_NE(dc, nullptr);
        EXPECT_EQ(SetTextColor(dc, RGB(1, 2, 3)), 0u) << round;
        EXPECT_EQ(SetBkMode(dc, TRANSPARENT), OPAQUE) << round;
        EXPECT_EQ(ReleaseDC(first, dc), 1);
        EXPECT_EQ(ReleaseDC(first, dc), 0); // released once only
        HDC other = GetDC(second);
        ASSERT_NE(other, nullptr);
        EXPECT_EQ(SetTextColor(other, 0), 0u) << round;
        EXPECT_EQ(SetBkMode(other, OPAQUE), OPAQUE) << round;
        EXPECT_EQ(ReleaseDC(first, other), 0); // not the first window's
        const RECT spot{0, 0, 4, 4};
        HBRUSH brush = CreateSolidBrush(RGB(0, 0, 200 + round));
        FillRect(other, &spot, brush);
        DeleteObject(brush);
        EXPECT_EQ(ReleaseDC(second, other), 1);
        Pump();
        const winapi::Frame shown = Host().ReadBack(second), untouched = Host().ReadBack(first);
        ASSERT_FALSE(shown.pixels.empty());
        EXPECT_EQ(shown.At(1, 1) & 0xFFFFFF, static_cast<uint32_t>(200 + round)) << round;
        if (!untouched.pixels.empty()) {
            EXPECT_NE(untouched.At(1, 1) & 0xFFFFFF, static_cast<uint32_t>(200 + round)) << round;
        }
    }
}

TEST_F(Windows, DrawingFromAnotherThreadIsPresentedByTheOwner)
{
    HWND h = Make(WS_POPUP | WS_VISIBLE);
    Pump();
    const int before = Host().PresentCount(h);
    std::thread game([h] {
        uint32_t red = 0x00FF0000;
        HDC source = winapi::CreateMemoryDC(&red, 1, 1, 4, 32);
        HDC window = GetDC(h);
        StretchBlt(window, 0, 0, 300, 200, source, 0, 0, 1, 1, SRCCOPY);
        ReleaseDC(h, window);
        DeleteDC(source);
    });
    game.join();
    EXPECT_EQ(Host().PresentCount(h), before);  // the host is driven by the window's thread
    Pump();
    EXPECT_EQ(Host().PresentCount(h), before + 1);
    const winapi::Frame frame = Host().ReadBack(h);
    ASSERT_EQ(frame.width, 300);
    EXPECT_EQ(frame.At(299, 199), 0x00FF0000u);
}

// Fills a window's client with one colour through its DC.
void Fill(HWND h, uint32_t colour)
{
    HDC source = winapi::CreateMemoryDC(&colour, 1, 1, 4, 32);
    HDC dc = GetDC(h);
    RECT client;
    GetClientRect(h, &client);
    StretchBlt(dc, 0, 0, client.right, client.bottom, source, 0, 0, 1, 1, SRCCOPY);
    ReleaseDC(h, dc);
    DeleteDC(source);
}

TEST_F(Windows, ChildWindowsShowOverTheirParentClippedAndInZOrder)
{
    constexpr uint32_t kRed = 0xFF0000, kBlue = 0xFF, kGreen = 0xFF00, kGrey = 0x808080, kYellow = 0xFFFF00;
    HWND parent = Make(WS_POPUP | WS_VISIBLE);  // a 300 x 200 client
    auto child = [&](int x, int y, int w, int h, HWND in) {
        HWND c = CreateWindowExA(0, "WindowTest", "", WS_CHILD | WS_VISIBLE, x, y, w, h, in, nullptr, nullptr, nullptr);
        made.push_back(c);
        return c;
    };
    HWND low = child(20, 30, 100, 50, parent);
    HWND high = child(60, 40, 100, 50, parent);     // made later: above `low`
    HWND edge = child(250, 150, 100, 100, parent);  // past the parent's corner
    HWND inner = child(30, 20, 40, 40, edge);       // 280..320 x 170..210 in the parent
    HWND hidden = CreateWindowExA(0, "WindowTest", "", WS_CHILD, 0, 0, 10, 10, parent, nullptr, nullptr, nullptr);
    made.push_back(hidden);
    Pump();
    Fill(parent, kRed);
    Fill(low, kBlue);
    Fill(high, kGreen);
    Fill(edge, kGrey);
    Fill(inner, kYellow);
    Fill(hidden, kBlue);
    Pump();
    struct Probe {
        int x, y;
        uint32_t colour;
    };
    auto check = [&](const char* when, std::initializer_list<Probe> probes) {
        SCOPED_TRACE(when);
        const winapi::Frame frame = Host().ReadBack(parent);
        ASSERT_EQ(frame.width, 300);
        ASSERT_EQ(frame.height, 200);
        for (const Probe& p : probes)
            EXPECT_EQ(frame.At(p.x, p.y) & 0xFFFFFF, p.colour) << p.x << "," << p.y;
    };
    check("composed", {{5, 5, kRed}, {2, 2, kRed}, {25, 35, kBlue}, {70, 45, kGreen}, {119, 79, kGreen},
                       {30, 75, kBlue}, {150, 85, kGreen}, {165, 95, kRed}, {255, 155, kGrey}, {279, 169, kGrey},
                       {285, 185, kYellow}, {299, 199, kYellow}});
    // Raised to the top, hidden, destroyed.
    EXPECT_TRUE(SetWindowPos(low, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE));
    Pump();
    check("low raised", {{70, 45, kBlue}, {150, 85, kGreen}});
    ShowWindow(high, SW_HIDE);
    Pump();
    check("high hidden", {{70, 45, kBlue}, {150, 85, kRed}});
    DestroyWindow(edge);
    Pump();
    check("edge destroyed", {{255, 155, kRed}, {285, 185, kRed}});
    // The parent moves: its children with it.
    EXPECT_TRUE(SetWindowPos(parent, nullptr, 200, 100, 0, 0, SWP_NOSIZE | SWP_NOZORDER));
    Pump();
    check("parent moved", {{25, 35, kBlue}, {5, 5, kRed}});
    // Another thread draws into a child: the owner presents it over the parent.
    const int before = Host().PresentCount(parent);
    std::thread game([low] { Fill(low, kYellow); });
    game.join();
    Pump();
    EXPECT_GT(Host().PresentCount(parent), before);
    check("drawn elsewhere", {{25, 35, kYellow}, {119, 79, kYellow}, {120, 79, kRed}});
}

TEST_F(Windows, WindowLongsSubclassingAndPlacement)
{
    HWND h = Make(WS_OVERLAPPEDWINDOW);
    static WNDPROC previous;
    static int subclassCalls;
    subclassCalls = 0;
    previous = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND hwnd, UINT m, WPARAM w, LPARAM l) -> LRESULT {
            ++subclassCalls;
            return CallWindowProcA(previous, hwnd, m, w, l);
        })));
    EXPECT_EQ(previous, RecordingProc);
    SendMessageA(h, WM_USER, 0, 0);
    EXPECT_EQ(subclassCalls, 1);
    EXPECT_EQ(Messages(h).back(), static_cast<UINT>(WM_USER));
    SetWindowLongPtrA(h, GWLP_USERDATA, 0x1234);
    EXPECT_EQ(GetWindowLongPtrA(h, GWLP_USERDATA), 0x1234);
    EXPECT_EQ(static_cast<DWORD>(GetWindowLongPtrA(h, GWL_STYLE)), WS_OVERLAPPEDWINDOW);

    RECT adjusted{0, 0, 640, 480};
    ASSERT_TRUE(AdjustWindowRectEx(&adjusted, WS_OVERLAPPEDWINDOW, FALSE, 0));
    EXPECT_EQ(adjusted.right - adjusted.left, 640 + 2 * GetSystemMetrics(SM_CXFRAME));
    EXPECT_EQ(adjusted.bottom - adjusted.top, 480 + 2 * GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION));
    ASSERT_TRUE(MoveWindow(h, 50, 60, adjusted.right - adjusted.left, adjusted.bottom - adjusted.top, TRUE));
    RECT client;
    GetClientRect(h, &client);
    EXPECT_EQ(client.right, 640);
    EXPECT_EQ(client.bottom, 480);
    POINT origin{0, 0};
    ClientToScreen(h, &origin);
    EXPECT_EQ(origin.x, 50 + GetSystemMetrics(SM_CXFRAME));
    ScreenToClient(h, &origin);
    EXPECT_EQ(origin.x, 0);
    EXPECT_EQ(FindWindowA("windowtest", "TEST"), made.front());
    EXPECT_TRUE(SetWindowTextA(h, "renamed"));
    char text[16];
    EXPECT_EQ(GetWindowTextA(h, text, sizeof(text)), 7);
    EXPECT_EQ(Host().WindowState(h).titleUtf8, "renamed");
}

// A title cut short by a small buffer never ends in the first half of a double-byte character.
TEST_F(Windows, TruncatedTitlesKeepDoubleByteCharactersWhole)
{
    HWND h = Make();
    ASSERT_TRUE(SetWindowTextA(h, "a\x83\x41\x83\x42"));  // "aアイ"
    struct Case {
        int size;
        int length;
    } cases[] = {{2, 1}, {3, 1}, {4, 3}, {5, 3}, {6, 5}};
    for (const Case& c : cases) {
        char text[8];
        std::memset(text, 'x', sizeof text);
        EXPECT_EQ(GetWindowTextA(h, text, c.size), c.length) << c.size;
        EXPECT_EQ(std::string(text), std::string("a\x83\x41\x83\x42", static_cast<size_t>(c.length))) << c.size;
    }
}

// Titles compare without case, but the second byte of a double-byte character is no letter:
// "ア" (0x83 0x41) and "ヂ" (0x83 0x61) used to match each other.
TEST_F(Windows, FindWindowKeepsShiftJisTrailBytesAsTheyAre)
{
    HWND h = CreateWindowExA(0, "WindowTest", winapi::Sjis("ア"), WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr,
                             nullptr);
    ASSERT_NE(h, nullptr);
    made.push_back(h);
    EXPECT_EQ(FindWindowA("WindowTest", winapi::Sjis("ア")), h);
    EXPECT_EQ(FindWindowA("WindowTest", winapi::Sjis("ヂ")), nullptr);
}

// Positions and sizes far out of range (a damaged settings file) give a window, not an overflow
// of its right edge or a backing store of gigabytes.
TEST_F(Windows, PositionsAndSizesNearTheIntegerLimitsStayUsable)
{
    HWND h = CreateWindowExA(0, "WindowTest", "", WS_POPUP, INT32_MAX - 5, INT32_MAX - 5, INT32_MAX, INT32_MAX,
                             nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(h, nullptr);
    made.push_back(h);
    RECT rect;
    ASSERT_TRUE(GetWindowRect(h, &rect));
    EXPECT_GT(rect.left, 0);
    EXPECT_GE(rect.right, rect.left);
    ASSERT_TRUE(SetWindowPos(h, nullptr, INT32_MIN + 5, INT32_MIN + 5, INT32_MAX, 100, SWP_NOZORDER));
    ASSERT_TRUE(GetWindowRect(h, &rect));
    EXPECT_LT(rect.left, 0);
    EXPECT_EQ(rect.bottom - rect.top, 100);
    RECT client;
    ASSERT_TRUE(GetClientRect(h, &client));
    EXPECT_GT(client.right, 0);
}

TEST_F(Windows, MessageBoxesAreRecordedAndAnsweredFromTheScript)
{
    HWND h = Make();
    Host().QueueMessageBoxAnswers({IDNO});
    EXPECT_EQ(MessageBoxA(h, winapi::Sjis("終了しますか"), "Tessaro", MB_YESNO | MB_ICONQUESTION), IDNO);
    EXPECT_EQ(MessageBoxA(GetDesktopWindow(), "second", nullptr, MB_OKCANCEL), IDOK);
    const auto boxes = Host().MessageBoxes();
    ASSERT_GE(boxes.size(), 2u);
    EXPECT_EQ(boxes[boxes.size() - 2].text, "終了しますか");
    EXPECT_EQ(boxes[boxes.size() - 2].type, MB_YESNO | MB_ICONQUESTION);
    EXPECT_EQ(boxes.back().caption, "Error");
    EXPECT_TRUE(IsWindowEnabled(h));  // enabled again after the box
}

TEST_F(Windows, MonitorsComeFromTheHostsDisplays)
{
    winapi::DisplayInfo left, right;
    left.bounds = RECT{0, 0, 1280, 1024};
    left.work = RECT{0, 0, 1280, 984};
    right.bounds = RECT{1280, 0, 3200, 1080};
    right.work = right.bounds;
    right.deviceName = "\\\\.\\DISPLAY2";
    right.primary = false;
    right.bitsPerPixel = 16;
    Host().SetDisplays({left, right});
    std::vector<HMONITOR> monitors;
    EnumDisplayMonitors(nullptr, nullptr,
                        [](HMONITOR m, HDC, LPRECT, LPARAM data) -> BOOL {
                            reinterpret_cast<std::vector<HMONITOR>*>(data)->push_back(m);
                            return TRUE;
                        },
                        reinterpret_cast<LPARAM>(&monitors));
    ASSERT_EQ(monitors.size(), 2u);
    MONITORINFOEXA info{};
    info.cbSize = sizeof(info);
    ASSERT_TRUE(GetMonitorInfoA(monitors[1], reinterpret_cast<MONITORINFO*>(&info)));
    EXPECT_STREQ(info.szDevice, "\\\\.\\DISPLAY2");
    EXPECT_EQ(info.rcMonitor.left, 1280);
    EXPECT_EQ(info.dwFlags, 0u);
    EXPECT_EQ(MonitorFromPoint(POINT{2000, 10}, MONITOR_DEFAULTTONULL), monitors[1]);
    EXPECT_EQ(MonitorFromPoint(POINT{-50, 10}, MONITOR_DEFAULTTONULL), nullptr);
    EXPECT_EQ(MonitorFromPoint(POINT{-50, 10}, MONITOR_DEFAULTTONEAREST), monitors[0]);
    EXPECT_EQ(GetSystemMetrics(SM_CMONITORS), 2);
    EXPECT_EQ(GetSystemMetrics(SM_CXVIRTUALSCREEN), 3200);
    RECT work;
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    EXPECT_EQ(work.bottom, 984);
    DEVMODEA mode{};
    mode.dmSize = sizeof(mode);
    ASSERT_TRUE(EnumDisplaySettingsA("\\\\.\\DISPLAY2", ENUM_CURRENT_SETTINGS, &mode));
    EXPECT_EQ(mode.dmPelsWidth, 1920u);
    EXPECT_EQ(mode.dmBitsPerPel, 16u);
    DISPLAY_DEVICEA device{};
    device.cb = sizeof(device);
    ASSERT_TRUE(EnumDisplayDevicesA(nullptr, 0, &device, 0));
    EXPECT_TRUE(device.StateFlags & DISPLAY_DEVICE_PRIMARY_DEVICE);
    EXPECT_FALSE(EnumDisplayDevicesA(nullptr, 2, &device, 0));
    HDC second = CreateDCA(nullptr, "\\\\.\\DISPLAY2", nullptr, nullptr);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetDeviceCaps(second, BITSPIXEL), 16);
    DeleteDC(second);
}

TEST_F(Windows, AcceleratorsSendCommands)
{
    HWND h = Make();
    Pump();
    const ACCEL entries[] = {{FVIRTKEY | FCONTROL, 'S', 40001}, {FVIRTKEY, VK_F1, 40002}};
    const winapi::ResourceRow row{winapi::ResourceKind::Accelerators, 102, nullptr, 0, 0, 0, 0, entries, 2};
    winapi::RegisterResources(&row, 1);
    HACCEL table = LoadAcceleratorsA(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEA(102));
    ASSERT_NE(table, nullptr);
    EXPECT_EQ(LoadAcceleratorsA(reinterpret_cast<HINSTANCE>(1), MAKEINTRESOURCEA(999)), nullptr);
    g_seen.clear();
    winapi::HostKey(h, {224, true, false});  // Ctrl
    winapi::HostKey(h, {22, true, false});   // S
    MSG msg;
    int translated = 0;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        translated += TranslateAcceleratorA(h, table, &msg);
    EXPECT_EQ(translated, 1);
    bool command = false;
    for (const Seen& s : g_seen)
        command = command || (s.message == WM_COMMAND && s.wParam == MAKELONG(40001, 1));
    EXPECT_TRUE(command);
    winapi::HostKey(h, {22, false, false});
    winapi::HostKey(h, {224, false, false});
    Pump();
    EXPECT_TRUE(DestroyAcceleratorTable(table));
}

} // namespace
