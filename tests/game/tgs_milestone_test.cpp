// Milestone (headless, both threading modes): a game folder made by the tools (`sob asm --module`,
// `sob vars`, `tob pack`, `tob init`, `tgs skin`). MAIN gives its user variable Choice's address
// to 794, makes the frame over the screen's canvas (791) and calls 793 again with a negative flag
// while it answers 1. The scenario shows two pages of Japanese text (speaker, ruby, hanging
// indent), a choice of two, and branches on Choice. The player takes choice 2 by key, then (a
// second run) by mouse. The presented frames show page 1 (framed window with its text, the
// speaker's name window, the wait icon), page 2 mid-reveal (its first characters, the line's end
// still empty) and the choice (two framed lines); Choice holds 1 and the branch ran.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <deque>
#include <functional>
#include <filesystem>
#include <fstream>
#include <thread>

#include "authoring/file_io.h"
#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "authoring/tgs_skin.h"
#include "authoring/tob_packer.h"
#include "controls/text_layer.h"
#include "drawing/sprite.h"
#include "display/surface_sprite.h"
#include "drawing/scene.h"
#include "raster/image.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "natives/main_form.h"
#include "natives/native_args.h"
#include "natives/script_host.h"
#include "raster/pixel_lib.h"
#include "script/message_window.h"
#include "script/tgs_frame.h"
#include "winapi/clock.h"
#include "winapi/host.h"
#include "winapi/host_headless.h"
#include "winapi/user.h"

namespace {

std::string Str(const std::vector<uint8_t>& b)
{
    return std::string(b.begin(), b.end());
}

struct Watchdog {
    std::atomic<bool> done{false};
    std::thread thread;
    explicit Watchdog(int seconds)
        : thread([this, seconds] {
              for (int i = 0; i < seconds * 20 && !done; ++i)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              if (!done) {
                  std::fprintf(stderr, "watchdog: the game did not end\n");
                  std::abort();
              }
          })
    {
    }
    ~Watchdog()
    {
        done = true;
        thread.join();
    }
};

const char* kVariables = "Choice 0 1 4 = 7\nRoute 0 1 4 = 0\n";

const char* kScenario = "@message\n"
                        "@speaker \"太郎\"\n"
                        "「今日は\n"
                        "@rubybase\n"
                        "世界\n"
                        "@ruby \"せかい\"\n"
                        "の果てまで歩いて行こう。長い文は次の行に折り返されて、鉤括弧の後に揃う。」\n"
                        "@page\n"
                        "@message\n"
                        "二頁目の文章です。ゆっくり現れます。\n"
                        "@choice - \"進む\" \"帰る\" - - - - - - 0\n"
                        "@choicewait\n"
                        "@if {Choice == 1} goto *home\n"
                        "進んだ。\n"
                        "@page\n"
                        "@return\n"
                        "*home\n"
                        "@sob\n"
                        "  inc uservar Route\n"
                        "  ret\n"
                        "@end\n"
                        "帰った。\n"
                        "@page\n";

const char* kMain = "        ncall native 794, sel, r\n"
                    "        ncall native 809, none, mk+8\n"
                    "        ncall native 791, mk, r\n"
                    "        ncall native 793, run, r\n"
                    "loop:   movm r, check.1\n"
                    "check:  eq 0, 1, branch.1\n"
                    "branch: jz 0, done\n"
                    "        yield\n"
                    "        ncall native 793, cont, r\n"
                    "        jmp loop\n"
                    "done:   ncall native 810, vars, r\n"
                    "        ncall native 792, none, r\n"
                    "        ret\n"
                    ".data\n"
                    "sel:    .word 0, uservar Choice\n"
                    "vars:   .word uservar Choice, uservar Route\n"
                    "mk:     .word 0, 0, 0\n"
                    "run:    .word 0, name\n"
                    "cont:   .word -1, 0\n"
                    "none:   .word 0\n"
                    "r:      .word 0\n"
                    "name:   .sjis \"SCENE\"\n";

uint32_t Rgb(const winapi::Frame& f, int x, int y)
{
    return f.At(x, y) & 0xFFFFFF;
}

// Pixels of the frame inside the rectangle that are not the colour c.
int CountOther(const winapi::Frame& f, int left, int top, int right, int bottom, uint32_t c)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x)
            n += Rgb(f, x, y) != c;
    return n;
}

// What the test saw, and how the player answers.
struct Play {
    bool byKey = true;
    int pages = 0;
    bool sawMidReveal = false;
    int revealFrames = 0;
    int settle = 0;
    bool sawChoice = false;
    bool clicked = false;
    std::deque<std::function<void()>> queue;
    winapi::Frame page1, midReveal, choice;
    int iconX = 0, iconY = 0;
    int choiceX = 0, choiceY = 0;
    int32_t choiceVar = -1, routeVar = -1;
    // What the application answers the frame: its threading mode, and the text-display settings
    // applied through the frame (the byte as it was, the backlog's new capacity, the byte after).
    int threaded = -1;
    int applied = -1, capacity = -1, changedAfter = -1;
    int bottomArea = -1, lineArea = -1; // the mouse-area state as the pointer moved
};
Play* g_play = nullptr;
constexpr int kSettleFrames = 4;
CSurfaceSprite* g_canvas = nullptr;

// Native 809: the canvas's handle.
uint32_t CanvasNative(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr && g_canvas != nullptr ? host->ObjectHandle(static_cast<CSurface*>(g_canvas)) : 0;
}

// Native 810: the values of the two variables whose addresses are words 0 and 1.
uint32_t VariablesNative(SobNativeArgs& args)
{
    if (g_play != nullptr) {
        uint32_t v = 0;
        args.Memory().Load32(args.U32(0), &v);
        g_play->choiceVar = static_cast<int32_t>(v);
        args.Memory().Load32(args.U32(1), &v);
        g_play->routeVar = static_cast<int32_t>(v);
    }
    return 0;
}

struct MilestoneApp : CGameApp {
    CSurfaceSprite canvas;
    int OnDevicesReady() override
    {
        const int code = CGameApp::OnDevicesReady();
        if (canvas.Create(800, 600, 32, 2) == 0)
            ScreenObject().SetFrameImage(&canvas);
        g_canvas = &canvas;
        return code;
    }
    void OnExit(int code) override
    {
        CGameApp::OnExit(code);
        ScreenObject().SetFrameImage(nullptr);
        g_canvas = nullptr;
    }
    // The player: looks at the frame after each step and answers.
    int StepFrame() override
    {
        const int r = CGameApp::StepFrame();
        if (r == 0 || g_pTgsFrame == nullptr || g_play == nullptr)
            return r;
        CTgsFrame& frame = *g_pTgsFrame;
        if (g_play->threaded < 0 && frame.IsSetUp()) {
            g_play->threaded = IsThreaded() ? 1 : 0;
            const uint8_t pages = Config().historyPages;
            Config().historyPages = 7;
            SetSettingsChanged(1);
            g_play->applied = ApplyTextDisplaySettings(true, 1, nullptr, nullptr, nullptr, true, true);
            g_play->capacity = frame.TextLog().Capacity();
            g_play->changedAfter = GetSettingsChanged();
            Config().historyPages = pages;
        }
        auto* host = winapi::CurrentHeadlessHost();
        HWND window = GetMainWindow();
        CMessageWindow* w = frame.MessageWindow();
        CTextLayer* layer = frame.ChoiceLayer();
        if (w == nullptr)
            return r;
        // Page 2 mid-reveal: a presented frame whose first characters stand while the line's end
        // is still empty.
        if (g_play->pages == 1 && w->IsRevealing() && !g_play->sawMidReveal) {
            winapi::Frame shown = host->ReadBack(window);
            if (shown.width >= 800) {
                const uint32_t body = Rgb(shown, 20, 540);
                if (CountOther(shown, 28, 488, 100, 530, body) > 20 && CountOther(shown, 500, 488, 760, 530, body) == 0) {
                    g_play->sawMidReveal = true;
                    g_play->midReveal = std::move(shown);
                }
            }
        }
        if (!g_play->queue.empty()) {
            g_play->queue.front()();
            g_play->queue.pop_front();
        }
        if (!frame.PageWaitByte())
            g_play->clicked = false;
        // The player looks a few frames after a state shows (a threaded game presents a frame late).
        if (frame.PageWaitByte() && !w->IsRevealing() && w->IsWaitIconShown() && !g_play->clicked &&
            ++g_play->settle >= kSettleFrames) {
            // The first page is looked at once the presented frame shows the icon (or after a
            // second, to fail below).
            winapi::Frame shown = host->ReadBack(window);
            const int ix = w->WaitIcon().GetX(), iy = w->WaitIcon().GetY();
            bool iconShown = false;
            for (int y = iy; y < iy + 10 && !iconShown && shown.width >= 800; ++y)
                for (int x = ix; x < ix + 20 && !iconShown; ++x)
                    iconShown = (shown.At(x, y) & 0xFFFFFF) == 0xFFFFFF;
            if (g_play->pages == 0 && !iconShown && g_play->settle < 60)
                return r;
            g_play->settle = 0;
            g_play->clicked = true;
            if (g_play->pages == 0) {
                g_play->page1 = std::move(shown);
                g_play->iconX = w->WaitIcon().GetX();
                g_play->iconY = w->WaitIcon().GetY();
            }
            ++g_play->pages;
            host->Click(window, 400, 300);
        } else if (layer != nullptr && layer->IsVisible() && layer->GetLineCount() == 2 && !w->IsRevealing()) {
            if (!g_play->sawChoice && ++g_play->settle >= kSettleFrames) {
                g_play->settle = 0;
                g_play->sawChoice = true;
                g_play->choice = host->ReadBack(window);
                const CSprite* line = layer->GetLineSprite(1);
                const int x = line != nullptr ? line->GetX() + 40 : 0, y = line != nullptr ? line->GetY() + 20 : 0;
                g_play->choiceX = x;
                g_play->choiceY = y;
                // One input event a frame, as a player's hand gives them.
                if (g_play->byKey) {
                    for (auto [key, down] : {std::pair{81, true}, {81, false}, {40, true}, {40, false}})
                        g_play->queue.push_back([window, key, down] { winapi::HostKey(window, winapi::HostKeyEvent{key, down, false}); });
                } else {
                    // The pointer at the screen's last row, then on the line.
                    g_play->queue.push_back([window, x] { winapi::HostMouseMove(window, x, 599); });
                    g_play->queue.push_back([this] { g_play->bottomArea = GetMouseAreaState(); });
                    g_play->queue.push_back([window, x, y] { winapi::HostMouseMove(window, x, y); });
                    g_play->queue.push_back([this] { g_play->lineArea = GetMouseAreaState(); });
                    g_play->queue.push_back([window, x, y] { winapi::HostMouseButton(window, 0, true, x, y); });
                    g_play->queue.push_back([window, x, y] { winapi::HostMouseButton(window, 0, false, x, y); });
                }
            }
        }
        return r;
    }
};

struct Folder {
    TempFolder dir;
    SobVariableLayout layout;
    explicit Folder(uint8_t thread)
    {
        std::vector<std::string> errors;
        EXPECT_TRUE(ParseSobVariables(kVariables, "vars", &layout, &errors));
        dir.Write("SCRIPT/USER_VAR.SOB", Str(WriteSobUserVarFile(layout)));
        AppDescription sys = DefaultAppDescription(AppFrameOptions{});
        sys.SetU16(kSysWidth, 800);
        sys.SetU16(kSysHeight, 600);
        sys.bytes[kSysSaveMode] = 5;
        sys.bytes[kSysSingleInstance] = 0;
        WriteAppFiles(dir, sys, "TgsMilestone", thread);
        SobAssembly assembly;
        EXPECT_TRUE(AssembleSob(kMain, "MAIN", &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(WriteSobLinkable(assembly, false, &layout, nullptr, &bytes, &error)) << error;
        dir.Write("SCRIPT/MAIN.SOB", Str(bytes));
        TobPackOptions options;
        options.variables = &layout;
        std::vector<uint8_t> tob;
        EXPECT_TRUE(PackTob(kScenario, "scene.txt", options, &tob, &errors)) << (errors.empty() ? "" : errors[0]);
        dir.Write("SCRIPT/SCENE.TOB", Str(tob));
        std::vector<uint8_t> init;
        EXPECT_TRUE(WriteTgsInit({TgsInitRow{"SCENE", 8, 8}}, &init, &error)) << error;
        dir.Write("SCRIPT/TGS_INIT.DAT", Str(init));
        std::vector<TgsSkinFile> skin;
        EXPECT_TRUE(MakeTgsSkin(&skin, &error)) << error;
        for (const TgsSkinFile& f : skin)
            dir.Write(f.name, std::string(f.bytes.begin(), f.bytes.end()));
    }
};

} // namespace

TEST(TgsMilestone, AScenarioPlaysToItsChoiceAndBranches)
{
    RegisterPixelLibraryModule();
    for (uint8_t thread : {0, 1}) {
        for (bool byKey : {false, true}) {
            SCOPED_TRACE(testing::Message() << (thread ? "threaded" : "single-threaded") << (byKey ? " key" : " mouse"));
            Folder folder(thread);
            Play play;
            play.byKey = byKey;
            g_play = &play;
            {
                Watchdog watchdog(120);
                MilestoneApp app;
                app.SetExtraNatives({CanvasNative, VariablesNative});
                std::string line = "/L" + folder.dir.Windows();
                EXPECT_EQ(app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL), 0);
                EXPECT_EQ(app.GetEndCode(), 0);
            }
            g_play = nullptr;
            EXPECT_EQ(play.threaded, thread);
            // While the frame exists the application's settings go through it.
            EXPECT_EQ(play.applied, 1);
            EXPECT_EQ(play.capacity, 8);
            EXPECT_EQ(play.changedAfter, 0);
            if (!byKey) {
                EXPECT_EQ(play.bottomArea, 2);
                EXPECT_EQ(play.lineArea, 1);
            }
            EXPECT_EQ(play.pages, 2); // page 1 and the branch's page; page 2 ends in the choice
            ASSERT_GE(play.page1.width, 800);
            // Page 1: the framed window with text, the name window, the wait icon.
            EXPECT_GT(CountOther(play.page1, 30, 490, 770, 580, Rgb(play.page1, 20, 540)), 500);
            EXPECT_GT(CountOther(play.page1, 20, 430, 200, 470, 0), 100);
            EXPECT_GT(CountOther(play.page1, play.iconX, play.iconY, play.iconX + 20, play.iconY + 20,
                                 Rgb(play.page1, play.iconX + 30, play.iconY + 25)),
                      10);
            // A frame of page 2 mid-reveal was presented (the player looked for it).
            EXPECT_TRUE(play.sawMidReveal);
            // The choice: two framed lines from (46, 200).
            ASSERT_GE(play.choice.width, 800);
            EXPECT_GT(CountOther(play.choice, 46, 200, 754, 240, 0), 1000);
            // Choice 2 was taken: index 1; the branch ran.
            EXPECT_EQ(play.choiceVar, 1);
            EXPECT_EQ(play.routeVar, 1);
        }
    }
}
