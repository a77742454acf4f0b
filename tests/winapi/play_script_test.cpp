// The headless host's play script: the reader (every event form, times absolute and relative, each
// kind of bad line named by its line), the frame writer, and the host carrying events out as the
// virtual clock passes their times.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <stdlib.h>

#include "winapi/clock.h"
#include "winapi/host_headless.h"
#include "winapi/play_script.h"
#include "winapi/user.h"

namespace {

using winapi::PlayEvent;

// A folder of the test's own, removed at its end.
struct TempFolder {
    std::filesystem::path path;
    TempFolder()
    {
        char pattern[] = "/tmp/tessaro-play-XXXXXX";
        path = mkdtemp(pattern);
    }
    ~TempFolder() { std::filesystem::remove_all(path); }
    std::string Path() const { return path.string(); }
};

std::vector<PlayEvent> Read(const std::string& text, std::string* error = nullptr)
{
    std::vector<PlayEvent> events;
    std::string e;
    EXPECT_TRUE(winapi::ParsePlayScript(text, "p.txt", &events, &e)) << e;
    if (error != nullptr)
        *error = e;
    return events;
}

TEST(PlayScript, ReadsEveryEventWithItsTime)
{
    const std::vector<PlayEvent> events = Read("# a comment line\n"
                                               "\n"
                                               "500 click 10 20\n"
                                               "+250 click 30 40 right   # a comment after\n"
                                               "+0 key f9\n"
                                               "1000 hold ctrl down\n"
                                               "+5 answer no\n"
                                               "+5 frame out.bmp\n"
                                               "+5 dialog 1200 tab 1100 2; row 1201 3; type 1300 名前 です; key return; "
                                               "check 1400 1; dclick 7; advance 50; page 3; click 1\n"
                                               "+5 close\r\n");
    ASSERT_EQ(events.size(), 8u);
    EXPECT_EQ(events[0].kind, PlayEvent::Click);
    EXPECT_EQ(events[0].at, 500u);
    EXPECT_EQ(events[0].line, 3);
    EXPECT_EQ(events[0].x, 10);
    EXPECT_EQ(events[0].y, 20);
    EXPECT_EQ(events[0].button, 0);
    EXPECT_EQ(events[1].at, 750u);
    EXPECT_EQ(events[1].button, 1);
    EXPECT_EQ(events[2].kind, PlayEvent::Key);
    EXPECT_EQ(events[2].at, 750u);
    EXPECT_EQ(events[2].scancode, 66);
    EXPECT_EQ(events[3].kind, PlayEvent::Hold);
    EXPECT_EQ(events[3].at, 1000u);
    EXPECT_EQ(events[3].scancode, 224);
    EXPECT_TRUE(events[3].down);
    EXPECT_EQ(events[4].answer, IDNO);
    EXPECT_EQ(events[5].file, "out.bmp");
    const PlayEvent& d = events[6];
    EXPECT_EQ(d.kind, PlayEvent::Dialog);
    EXPECT_EQ(d.templateId, 1200);
    ASSERT_EQ(d.steps.size(), 9u);
    using Step = winapi::dialogs::DialogStep;
    EXPECT_EQ(d.steps[0].kind, Step::PickTab);
    EXPECT_EQ(d.steps[0].id, 1100);
    EXPECT_EQ(d.steps[0].index, 2);
    EXPECT_EQ(d.steps[1].kind, Step::PickRow);
    EXPECT_EQ(d.steps[2].kind, Step::Type);
    EXPECT_EQ(d.steps[2].textUtf8, "名前 です");
    EXPECT_EQ(d.steps[3].kind, Step::Key);
    EXPECT_EQ(d.steps[3].scancode, 40);
    EXPECT_EQ(d.steps[4].kind, Step::Check);
    EXPECT_EQ(d.steps[5].kind, Step::DoubleClick);
    EXPECT_EQ(d.steps[6].kind, Step::Advance);
    EXPECT_EQ(d.steps[6].ms, 50u);
    EXPECT_EQ(d.steps[7].kind, Step::SwitchPage);
    EXPECT_EQ(d.steps[7].index, 3);
    EXPECT_EQ(d.steps[8].kind, Step::Click);
    EXPECT_EQ(events[7].kind, PlayEvent::Close);
    EXPECT_EQ(events[7].at, 1020u);
}

TEST(PlayScript, KeyNames)
{
    const struct {
        const char* name;
        int scancode;
    } kCases[] = {{"a", 4}, {"z", 29}, {"1", 30}, {"9", 38}, {"0", 39}, {"return", 40}, {"escape", 41},
                  {"space", 44}, {"f1", 58}, {"f12", 69}, {"up", 82}, {"shift", 225}, {"A", 0}, {"f13", 0}, {"", 0}};
    for (const auto& c : kCases)
        EXPECT_EQ(winapi::PlayKeyScancode(c.name), c.scancode) << c.name;
}

TEST(PlayScript, BadLinesAreNamed)
{
    const struct {
        const char* text;
        const char* message;
    } kCases[] = {
        {"click 1 2\n", "p.txt:1: bad time 'click'"},
        {"100 key a\n50 key b\n", "p.txt:2: time 50 is before the event above (100)"},
        {"+x key a\n", "p.txt:1: bad delay '+x'"},
        {"-5 key a\n", "p.txt:1: bad time '-5'"},
        {"99999999999 key a\n", "p.txt:1: bad time"},
        {"2147483647 key a\n+1 key a\n", "p.txt:2: time past"},
        {"10\n", "p.txt:1: a time without an event"},
        {"10 jump\n", "p.txt:1: unknown event 'jump'"},
        {"10 click 1\n", "p.txt:1: click takes X Y"},
        {"10 click 1 -2\n", "p.txt:1: bad position '1 -2'"},
        {"10 click 1 2 up\n", "p.txt:1: unknown button 'up'"},
        {"10 key\n", "p.txt:1: 'key' takes 1 argument, not 0"},
        {"10 key nosuch\n", "p.txt:1: unknown key 'nosuch'"},
        {"10 hold ctrl sideways\n", "p.txt:1: hold takes a key and 'down' or 'up'"},
        {"10 answer maybe\n", "p.txt:1: unknown answer 'maybe'"},
        {"10 frame\n", "p.txt:1: 'frame' takes 1 argument, not 0"},
        {"10 close now\n", "p.txt:1: 'close' takes 0 arguments, not 1"},
        {"10 dialog 12\n", "p.txt:1: dialog takes a template number and its steps"},
        {"10 dialog x click 1\n", "p.txt:1: bad dialog template 'x'"},
        {"10 dialog 12 click 1;; click 2\n", "p.txt:1: an empty dialog step"},
        {"10 dialog 12 click 1;\n", "p.txt:1: an empty dialog step"},
        {"10 dialog 12 press 1\n", "p.txt:1: unknown dialog step 'press'"},
        {"10 dialog 12 click\n", "p.txt:1: dialog step 'click' takes 1 argument"},
        {"10 dialog 12 type 5\n", "p.txt:1: dialog step 'type' takes a control id and a text"},
        {"10 dialog 12 type x hello\n", "p.txt:1: bad control id 'x'"},
        {"10 dialog 12 check 5 2\n", "p.txt:1: bad check value '2'"},
        {"10 dialog 12 advance soon\n", "p.txt:1: bad advance 'soon'"},
        {"10 dialog 12 page x\n", "p.txt:1: bad page 'x'"},
        {"\n\n10 key a\0\n", "p.txt:3: a NUL byte in the line"},
    };
    for (const auto& c : kCases) {
        const std::string text(c.text, std::char_traits<char>::length(c.text) +
                                            (std::string(c.message).find("NUL") != std::string::npos ? 2 : 0));
        std::vector<PlayEvent> events;
        std::string error;
        EXPECT_FALSE(winapi::ParsePlayScript(text, "p.txt", &events, &error)) << c.text;
        EXPECT_EQ(error.rfind(c.message, 0), 0u) << c.text << " gave: " << error;
    }
}

std::string ReadFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

uint32_t U32At(const std::string& s, size_t at)
{
    return static_cast<uint8_t>(s[at]) | static_cast<uint8_t>(s[at + 1]) << 8 | static_cast<uint8_t>(s[at + 2]) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[at + 3])) << 24;
}

TEST(PlayScript, FrameBmpRowsBottomFirstPadded)
{
    TempFolder dir;
    const std::string path = dir.Path() + "/f.bmp";
    // 3 x 2: the top row red, green, blue; the bottom row white, black, grey.
    const std::vector<uint32_t> pixels = {0xFF0000, 0x00FF00, 0x0000FF, 0xFFFFFF, 0x000000, 0x808080};
    ASSERT_TRUE(winapi::WriteFrameBmp(path, 3, 2, pixels));
    const std::string bmp = ReadFile(path);
    ASSERT_EQ(bmp.size(), 54u + 2 * 12);
    EXPECT_EQ(bmp.substr(0, 2), "BM");
    EXPECT_EQ(U32At(bmp, 2), bmp.size());
    EXPECT_EQ(U32At(bmp, 10), 54u);
    EXPECT_EQ(U32At(bmp, 18), 3u);
    EXPECT_EQ(U32At(bmp, 22), 2u);
    // The first row in the file is the bottom one (white, black, grey), blue-green-red each, padded to 12.
    EXPECT_EQ(bmp.substr(54, 12), std::string("\xFF\xFF\xFF\x00\x00\x00\x80\x80\x80\x00\x00\x00", 12));
    EXPECT_EQ(bmp.substr(66, 9), std::string("\x00\x00\xFF\x00\xFF\x00\xFF\x00\x00", 9));
    EXPECT_FALSE(winapi::WriteFrameBmp(path, 0, 2, pixels));
    EXPECT_FALSE(winapi::WriteFrameBmp(path, 3, 3, pixels)); // fewer pixels than the size
    EXPECT_FALSE(winapi::WriteFrameBmp(dir.Path() + "/no/such/folder/f.bmp", 3, 2, pixels));
}

TEST(PlayScript, HostCarriesEventsAsTheClockPasses)
{
    TempFolder dir;
    winapi::HeadlessHost host;
    const HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x1000));
    winapi::HostWindowState state;
    ASSERT_TRUE(host.OpenWindow(window, state));
    const std::vector<uint32_t> pixels(4 * 4, 0x336699);
    host.Present(window, winapi::FrameView{4, 4, pixels.data()}, {RECT{0, 0, 4, 4}});
    const std::string frame = dir.Path() + "/shot.bmp";
    const std::string script = dir.Path() + "/play.txt";
    std::ofstream(script) << "100 answer no\n+100 frame " << frame << "\n";
    std::string error;
    ASSERT_TRUE(host.StartPlayScript(script, &error)) << error;
    EXPECT_EQ(host.PendingPlayEvents(), 2u);
    EXPECT_FALSE(host.StartPlayScript(script, &error)); // one play at a time
    winapi::AdvanceVirtualClock(99);
    EXPECT_EQ(host.PendingPlayEvents(), 2u);
    winapi::AdvanceVirtualClock(1);
    EXPECT_EQ(host.PendingPlayEvents(), 1u);
    EXPECT_EQ(host.MessageBox("?", "t", MB_YESNO), IDNO);
    EXPECT_FALSE(std::ifstream(frame).good());
    winapi::AdvanceVirtualClock(150);
    EXPECT_EQ(host.PendingPlayEvents(), 0u);
    const std::string bmp = ReadFile(frame);
    ASSERT_EQ(bmp.size(), 54u + 4 * 12);
    EXPECT_EQ(bmp.substr(54, 3), "\x99\x66\x33");
    host.CloseWindow(window);
}

// The play waits for the game: an event's delay counts from when the window has handled the input
// before it, however far the clock ran while the input waited.
TEST(PlayScript, HostWaitsUntilTheWindowHandledItsInput)
{
    TempFolder dir;
    winapi::HeadlessHost host;
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "PlayWaits";
    RegisterClassExA(&wc);
    const HWND window = CreateWindowExA(0, "PlayWaits", "", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    winapi::HostWindowState state;
    ASSERT_TRUE(host.OpenWindow(window, state));
    const std::string script = dir.Path() + "/play.txt";
    std::ofstream(script) << "100 key a\n+100 answer no\n";
    std::string error;
    ASSERT_TRUE(host.StartPlayScript(script, &error)) << error;
    winapi::AdvanceVirtualClock(100);
    EXPECT_EQ(host.PendingPlayEvents(), 1u);
    winapi::AdvanceVirtualClock(500);  // the key is still in the window's queue
    EXPECT_EQ(host.PendingPlayEvents(), 1u);
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
        DispatchMessageA(&msg);
    winapi::AdvanceVirtualClock(50);  // handled: from here the answer is 100 ms away
    EXPECT_EQ(host.PendingPlayEvents(), 1u);
    winapi::AdvanceVirtualClock(99);
    EXPECT_EQ(host.PendingPlayEvents(), 1u);
    winapi::AdvanceVirtualClock(1);
    EXPECT_EQ(host.PendingPlayEvents(), 0u);
    EXPECT_EQ(host.MessageBox("?", "t", MB_YESNO), IDNO);
    host.CloseWindow(window);
    DestroyWindow(window);
}

TEST(PlayScript, HostRefusesBadScripts)
{
    TempFolder dir;
    winapi::HeadlessHost host;
    std::string error;
    EXPECT_FALSE(host.StartPlayScript(dir.Path() + "/missing.txt", &error));
    EXPECT_NE(error.find("cannot be opened"), std::string::npos) << error;
    const std::string bad = dir.Path() + "/bad.txt";
    std::ofstream(bad) << "10 key a\n20 wave\n";
    EXPECT_FALSE(host.StartPlayScript(bad, &error));
    EXPECT_EQ(error, bad + ":2: unknown event 'wave' (click, key, hold, dialog, answer, frame, close)");
    EXPECT_EQ(host.PendingPlayEvents(), 0u);
}

} // namespace
