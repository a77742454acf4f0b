// Milestone (headless, both threading modes): a game folder made by the tools (`sob asm --module`,
// `sob vars`, `tob pack`, `tob init`, `tgs skin`). MAIN gives its user variable Choice's address
// to 794, makes the frame over the screen's canvas (791) and calls 793 again with a negative flag
// while it answers 1. The scenario shows two pages of Japanese text (speaker, ruby, hanging
// indent), a choice of two, and branches on Choice. The player takes choice 2 by key, then (a
// second run) by mouse. The presented frames of page 1 (with the wait icon), of page 2 mid-reveal
// and of the choice equal screens the test composes itself: the windows' frame pictures with the
// characters drawn one by one by the frame's own font, blended over the background where the
// windows stand. Choice holds 1 and the branch ran.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
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
#include "drawing/glyph_font.h"
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
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

std::string Str(const std::vector<uint8_t>& b)
{
    return std::string(b.begin(), b.end());
}

// Says where the play stood, for a watchdog that gives up.
void (*g_describePlay)() = nullptr;

struct Watchdog {
    std::atomic<bool> done{false};
    std::thread thread;
    explicit Watchdog(int seconds)
        : thread([this, seconds] {
              for (int i = 0; i < seconds * 20 && !done; ++i)
                  std::this_thread::sleep_for(std::chrono::milliseconds(50));
              if (!done) {
                  std::fprintf(stderr, "watchdog: the game did not end\n");
                  if (g_describePlay)
                      g_describePlay();
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
                    "        ncall native 811, none, r\n"
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

// A screen as the test composes it, and the pixels a comparison passes over.
struct Reference {
    std::vector<uint32_t> pixels; // 0xAARRGGBB, 800 x 600
    std::vector<uint8_t> skip;
    std::vector<uint8_t> blended; // 1 where a window pixel was blended (its alpha neither 0 nor 255)
    bool Empty() const { return pixels.empty(); }
};

uint32_t PixelOf(const CImage& image, int x, int y)
{
    uint32_t v = 0;
    std::memcpy(&v, image.GetRowPointer(y) + static_cast<size_t>(x) * 4, 4);
    return v;
}

// A window's picture over the screen at (x, y): each channel s × a / 255 + d × (255 − a) / 255.
void BlendOver(Reference* ref, const CImage& image, int x0, int y0, const RECT* part = nullptr)
{
    const RECT all{0, 0, image.GetWidth(), image.GetHeight()};
    const RECT& r = part != nullptr ? *part : all;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const int sx = x0 + x - r.left, sy = y0 + y - r.top;
            if (sx < 0 || sy < 0 || sx >= 800 || sy >= 600)
                continue;
            const uint32_t s = PixelOf(image, x, y), a = s >> 24;
            uint32_t& d = ref->pixels[static_cast<size_t>(sy) * 800 + sx];
            uint32_t out = 0;
            for (int shift = 0; shift < 24; shift += 8) {
                const uint32_t sc = (s >> shift) & 0xFF, dc = (d >> shift) & 0xFF;
                out |= ((sc * a + dc * (255 - a)) / 255) << shift;
            }
            d = out;
            ref->blended[static_cast<size_t>(sy) * 800 + sx] = a != 0 && a != 255;
        }
}

// The screen's background colour everywhere.
Reference Background(uint32_t colour)
{
    Reference ref;
    ref.pixels.assign(800 * 600, colour);
    ref.skip.assign(800 * 600, 0);
    ref.blended.assign(800 * 600, 0);
    return ref;
}

void Skip(Reference* ref, int left, int top, int right, int bottom)
{
    for (int y = std::max(top, 0); y < std::min(bottom, 600); ++y)
        for (int x = std::max(left, 0); x < std::min(right, 800); ++x)
            ref->skip[static_cast<size_t>(y) * 800 + x] = 1;
}

// Pixels where the frame differs from the reference: by more than 1 in a channel where a window
// pixel was blended, at all elsewhere.
int CountDifferent(const winapi::Frame& f, const Reference& ref, int left, int top, int right, int bottom)
{
    int n = 0;
    for (int y = top; y < bottom; ++y)
        for (int x = left; x < right; ++x) {
            const size_t i = static_cast<size_t>(y) * 800 + x;
            if (ref.skip[i])
                continue;
            const uint32_t a = f.At(x, y) & 0xFFFFFF, b = ref.pixels[i] & 0xFFFFFF;
            if (a == b)
                continue;
            bool near = ref.blended[i] != 0;
            for (int shift = 0; shift < 24 && near; shift += 8)
                near = std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) <= 1;
            n += !near;
        }
    return n;
}

// The characters of a Shift-JIS text, one string each.
std::vector<std::string> Characters(const std::string& sjis)
{
    std::vector<std::string> out;
    for (size_t i = 0; i < sjis.size();) {
        const size_t n = winapi::IsSjisLeadByte(static_cast<uint8_t>(sjis[i])) && i + 1 < sjis.size() ? 2 : 1;
        out.push_back(sjis.substr(i, n));
        i += n;
    }
    return out;
}

// The message window as the test composes it: its frame picture, then the page's characters drawn
// one at a time by the frame's own font 0, each at the pen the last one left, standing on the
// foot of its line; a character at a line box's end goes to the next box's start. The pen span of
// the characters [rubyFrom, rubyTo) is returned (the ruby stands over it).
bool ComposeMessageWindow(const CMessageWindow& w, CGlyphFont* font, const char* utf8, int rubyFrom, int rubyTo,
                          CImage* out, RECT* rubyBase)
{
    const CImage* frame = const_cast<CMessageWindow&>(w).GetFrameImage();
    if (frame == nullptr || font == nullptr || out->CopyFrom(frame, 0) != 0 || w.Lines().empty())
        return false;
    const int fontH = std::abs(static_cast<int>(font->m_logFont.lfHeight));
    size_t line = 0;
    int pen = w.Lines()[0].left;
    const std::vector<std::string> chars = Characters(winapi::Utf8ToSjis(utf8));
    for (size_t i = 0; i < chars.size(); ++i) {
        if (pen >= w.Lines()[line].right && line + 1 < w.Lines().size())
            pen = w.Lines()[++line].left;
        const CMessageWindow::LineRecord& box = w.Lines()[line];
        if (static_cast<int>(i) == rubyFrom)
            rubyBase->left = pen, rubyBase->top = box.top;
        POINT end{pen, 0};
        font->DrawString(out, pen, box.bottom - fontH, chars[i].c_str(), nullptr, &end);
        pen = end.x;
        if (static_cast<int>(i) + 1 == rubyTo)
            rubyBase->right = pen, rubyBase->bottom = box.bottom - fontH;
    }
    return true;
}

// The name window likewise: its frame picture and the name from its first pen.
bool ComposeNameWindow(CTextPanel& w, CGlyphFont* font, const char* utf8, CImage* out)
{
    const CImage* frame = w.GetFrameImage();
    if (frame == nullptr || font == nullptr || out->CopyFrom(frame, 0) != 0)
        return false;
    const int fontH = std::abs(static_cast<int>(font->m_logFont.lfHeight));
    const std::string name = winapi::Utf8ToSjis(utf8);
    font->DrawString(out, 13, 13 + w.GetLineHeight() - fontH, name.c_str(), nullptr, nullptr);
    return true;
}

const char* kPage1 = "「今日は世界の果てまで歩いて行こう。長い文は次の行に折り返されて、鉤括弧の後に揃う。」";
const char* kPage2 = "二頁目の文章です。ゆっくり現れます。";
constexpr int kWindowX = 15, kWindowY = 475, kNameX = 15, kNameY = 425;

std::vector<TgsSkinFile> g_skin; // the game folder's skin files

// A picture of the game folder's skin, decoded.
bool LoadSkinPicture(const char* name, CImage* out)
{
    for (const TgsSkinFile& f : g_skin)
        if (f.name == name)
            return out->Load(nullptr, f.bytes.data(), static_cast<uint32_t>(f.bytes.size()), 0) == 0;
    return false;
}

// While the frame shows its system menu: the bar at (0, 577) and the ten buttons from (520, 579),
// 28 pixels apart, each in the state cell the frame gave it (normal, pressed when latched,
// disabled).
bool ComposeMenu(CTgsFrame& frame, Reference* out)
{
    if (frame.MenuItem(0) == nullptr || !frame.MenuItem(0)->IsVisible())
        return true;
    CImage bar;
    if (!LoadSkinPicture("SYS/MS_BAR.ELG", &bar))
        return false;
    BlendOver(out, bar, 0, 577);
    for (int i = 0; i < CTgsFrame::kMenuItems; ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "SYS/MS_BTN%02d.ELG", i);
        CImage button;
        if (!LoadSkinPicture(name, &button))
            return false;
        const int state = frame.MenuControlState(i), cell = state == 0 ? 3 : state >= 2 ? 2 : 0;
        const RECT part{cell * 24, 0, cell * 24 + 24, button.GetHeight()};
        BlendOver(out, button, 520 + 28 * i, 579, &part);
    }
    return true;
}

// A page's screen as the test composes it: the background (the colour the frame shows at
// (400, 100)), the message window with the text's characters [0, upTo) and, with a name, the name
// window above it.
bool ComposePage(const winapi::Frame& shown, CTgsFrame& frame, const char* text, const char* name, Reference* out,
                 RECT* rubyBase = nullptr)
{
    *out = Background(Rgb(shown, 400, 100));
    CMessageWindow* w = frame.MessageWindow();
    CImage window;
    RECT base{0, 0, 0, 0};
    if (w == nullptr || !ComposeMessageWindow(*w, frame.Font(0), text, 4, 6, &window, &base))
        return false;
    BlendOver(out, window, kWindowX, kWindowY);
    if (rubyBase != nullptr)
        *rubyBase = base;
    if (name != nullptr) {
        CImage nameWindow;
        if (frame.NameWindow() == nullptr || !ComposeNameWindow(*frame.NameWindow(), frame.Font(0), name, &nameWindow))
            return false;
        BlendOver(out, nameWindow, kNameX, kNameY);
    }
    // The choice lines, once shown (while the page's text may still be revealed), each as its own
    // picture where its sprite stands.
    if (CTextLayer* layer = frame.ChoiceLayer(); layer != nullptr && layer->IsVisible()) {
        for (int i = 0; i < layer->GetLineCount(); ++i) {
            const CSprite* s = layer->GetLineSprite(i);
            if (s == nullptr || s->GetImage() == nullptr)
                return false;
            BlendOver(out, *s->GetImage(), s->GetX(), s->GetY(), &s->GetSourceRect());
        }
    }
    return ComposeMenu(frame, out);
}

// The first column (window coordinates) of a line where the frame is not yet the composed page.
int RevealedColumns(const winapi::Frame& f, const Reference& page, const CMessageWindow::LineRecord& line)
{
    int x = line.left;
    while (x < line.right &&
           CountDifferent(f, page, kWindowX + x, kWindowY + line.top, kWindowX + x + 1, kWindowY + line.bottom) == 0)
        ++x;
    return x;
}

// How a mid-reveal frame of a line departs from what it must show: pixels past the soft edge
// that are not the window without text, soft-edge channels outside the window's and the page's,
// and pixels off the line that are not the window without text.
struct RevealFaults {
    int pastEdge = 0, edge = 0, offLine = 0;
    bool None() const { return pastEdge == 0 && edge == 0 && offLine == 0; }
};

RevealFaults CheckMidReveal(const winapi::Frame& f, const Reference& page, const Reference& body,
                            const CMessageWindow::LineRecord& line)
{
    RevealFaults faults;
    const int top = kWindowY + line.top, bottom = kWindowY + line.bottom;
    const int revealed = RevealedColumns(f, page, line);
    faults.pastEdge = CountDifferent(f, body, kWindowX + revealed + 72, top, kWindowX + line.right, bottom);
    for (int y = top; y < bottom; ++y)
        for (int x = kWindowX + revealed; x < kWindowX + revealed + 72; ++x) {
            const size_t i = static_cast<size_t>(y) * 800 + x;
            for (int shift = 0; shift < 24; shift += 8) {
                const int v = (f.At(x, y) >> shift) & 0xFF;
                const int p = (page.pixels[i] >> shift) & 0xFF, b = (body.pixels[i] >> shift) & 0xFF;
                faults.edge += v < std::min(p, b) - 1 || v > std::max(p, b) + 1;
            }
        }
    Reference rest = body;
    Skip(&rest, kWindowX + line.left, top, kWindowX + line.right, bottom);
    faults.offLine = CountDifferent(f, rest, 0, 0, 800, 600);
    return faults;
}

// What the test saw, and how the player answers.
struct Play {
    bool byKey = true;
    int pages = 0;
    bool sawMidReveal = false;
    int revealFrames = 0;
    int tornLooks = 0; // mid-reveal frames looked past as torn (threaded only)
    int settle = 0;
    bool sawChoice = false;
    bool clicked = false;
    // One step a frame; a step that answers false is asked again the next frame.
    std::deque<std::function<bool()>> queue;
    winapi::Frame page1, midReveal, choice;
    // The screens as the test composes them: page 1 (its ruby band and the wait icon passed
    // over); page 2 whole and with no text yet; the choice.
    Reference page1Ref, page2Ref, page2Body, choiceRef;
    RECT rubyBase{0, 0, 0, 0}, rubyBand{0, 0, 0, 0};
    std::vector<CMessageWindow::LineRecord> page2Lines;
    bool composed = true;
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

// Read while the game may still run: a picture of a play that hung, nothing more.
void DescribePlay()
{
    const Play* p = g_play;
    if (p == nullptr)
        return;
    std::fprintf(stderr,
                 "play: threaded %d, by key %d, pages %d, mid-reveal %d, choice seen %d, clicked %d, settle %d, "
                 "queued %zu, areas %d/%d, choice (%d, %d)\n",
                 p->threaded, p->byKey, p->pages, p->sawMidReveal, p->sawChoice, p->clicked, p->settle,
                 p->queue.size(), p->bottomArea, p->lineArea, p->choiceX, p->choiceY);
}
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

// Native 811: what the system script's form native does before it makes the frame: the main form
// and the scripts' controls (the system menu's buttons among them) draw into the canvas's scene.
uint32_t FormTargetNative(SobNativeArgs&)
{
    if (g_canvas == nullptr)
        return 1;
    g_MainForm.DetachAndSetTarget(g_canvas->GetScene());
    g_TextObjectList.SetScene(g_canvas->GetScene());
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
        // Page 2 mid-reveal: a presented frame whose first characters (two at least) stand as
        // composed while the line's end is still empty.
        if (g_play->pages == 1 && w->IsRevealing() && !g_play->sawMidReveal && !w->Lines().empty()) {
            winapi::Frame shown = host->ReadBack(window);
            if (shown.width >= 800) {
                if (g_play->page2Ref.Empty()) {
                    g_play->composed &= ComposePage(shown, frame, kPage2, nullptr, &g_play->page2Ref);
                    g_play->composed &= ComposePage(shown, frame, "", nullptr, &g_play->page2Body);
                    g_play->page2Lines.assign(w->Lines().begin(), w->Lines().end());
                }
                const CMessageWindow::LineRecord& line = g_play->page2Lines.front();
                const int revealed = RevealedColumns(shown, g_play->page2Ref, line);
                if (!g_play->page2Ref.Empty() && revealed > line.left + 48 && revealed < line.right - 72 - 24) {
                    // Composed again: the system menu may have come since the reveal began.
                    g_play->composed &= ComposePage(shown, frame, kPage2, nullptr, &g_play->page2Ref);
                    g_play->composed &= ComposePage(shown, frame, "", nullptr, &g_play->page2Body);
                    // A threaded game's window may present while the game thread is still drawing
                    // the frame's pieces, so one present can hold rows of two steps: the player
                    // looks again at the next frames (a few times, to fail below if none holds).
                    const bool holds = CheckMidReveal(shown, g_play->page2Ref, g_play->page2Body, line).None();
                    if (holds || !g_play->threaded || ++g_play->tornLooks >= 8) {
                        g_play->sawMidReveal = true;
                        g_play->midReveal = std::move(shown);
                    }
                }
            }
        }
        if (!g_play->queue.empty() && g_play->queue.front()())
            g_play->queue.pop_front();
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
                g_play->iconX = w->WaitIcon().GetX();
                g_play->iconY = w->WaitIcon().GetY();
                Reference& ref = g_play->page1Ref;
                g_play->composed &= ComposePage(shown, frame, kPage1, "太郎", &ref, &g_play->rubyBase);
                if (!ref.Empty()) {
                    // The ruby band (over the first line's characters) and the icon, whose cell
                    // changes with time, are looked at apart.
                    const CMessageWindow::LineRecord& first = w->Lines().front();
                    g_play->rubyBand = RECT{kWindowX + first.left, kWindowY + first.top, kWindowX + first.right,
                                            kWindowY + g_play->rubyBase.bottom};
                    Skip(&ref, g_play->rubyBand.left, g_play->rubyBand.top, g_play->rubyBand.right, g_play->rubyBand.bottom);
                    Skip(&ref, g_play->iconX, g_play->iconY, g_play->iconX + 20, g_play->iconY + 20);
                }
                g_play->page1 = std::move(shown);
            }
            ++g_play->pages;
            host->Click(window, 400, 300);
        } else if (layer != nullptr && layer->IsVisible() && layer->GetLineCount() == 2 && !w->IsRevealing()) {
            if (!g_play->sawChoice && ++g_play->settle >= kSettleFrames) {
                winapi::Frame shown = host->ReadBack(window);
                if (g_play->choiceRef.Empty())
                    g_play->composed &= ComposePage(shown, frame, kPage2, nullptr, &g_play->choiceRef);
                // A threaded game presents late, and more so on a busy machine: the player looks
                // again until the presented frame has caught up (or after a second, to fail below).
                const bool caughtUp = shown.width >= 800 && !g_play->choiceRef.Empty() &&
                                      CountDifferent(shown, g_play->choiceRef, 0, 0, 800, 600) == 0;
                if (!caughtUp && g_play->settle < 60)
                    return r;
                g_play->settle = 0;
                g_play->sawChoice = true;
                g_play->choice = std::move(shown);
                const CSprite* line = layer->GetLineSprite(1);
                const int x = line != nullptr ? line->GetX() + 40 : 0, y = line != nullptr ? line->GetY() + 20 : 0;
                g_play->choiceX = x;
                g_play->choiceY = y;
                // One input event a frame, as a player's hand gives them. A threaded game's window
                // thread may take several at once on a busy machine, and a frame takes one key or
                // one pointer place: the next input waits until the game has acted on the last.
                auto send = [](std::function<void()> input) {
                    g_play->queue.push_back([input] { return input(), true; });
                };
                auto until = [](std::function<bool()> done) { g_play->queue.push_back(std::move(done)); };
                auto pointerAt = [this](int px, int py) {
                    return [this, px, py] {
                        const CursorPosition at = GetCursorPosition();
                        return at.x == px && at.y == py;
                    };
                };
                auto hovered = [layer] { return layer->GetHoveredLine() == 1; };
                if (g_play->byKey) {
                    send([window] { winapi::HostKey(window, winapi::HostKeyEvent{81, true, false}); });
                    send([window] { winapi::HostKey(window, winapi::HostKeyEvent{81, false, false}); });
                    until(hovered);
                    send([window] { winapi::HostKey(window, winapi::HostKeyEvent{40, true, false}); });
                    send([window] { winapi::HostKey(window, winapi::HostKeyEvent{40, false, false}); });
                } else {
                    // The pointer at the screen's last row, then on the line.
                    send([window, x] { winapi::HostMouseMove(window, x, 599); });
                    until(pointerAt(x, 599));
                    send([this] { g_play->bottomArea = GetMouseAreaState(); });
                    send([window, x, y] { winapi::HostMouseMove(window, x, y); });
                    until(pointerAt(x, y));
                    until(hovered);
                    send([this] { g_play->lineArea = GetMouseAreaState(); });
                    send([window, x, y] { winapi::HostMouseButton(window, 0, true, x, y); });
                    send([window, x, y] { winapi::HostMouseButton(window, 0, false, x, y); });
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
        g_skin = std::move(skin);
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
            g_describePlay = DescribePlay;
            {
                Watchdog watchdog(120);
                MilestoneApp app;
                app.SetExtraNatives({CanvasNative, VariablesNative, FormTargetNative});
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
            ASSERT_TRUE(play.composed);
            ASSERT_GE(play.page1.width, 800);
            ASSERT_FALSE(play.page1Ref.Empty());
            // Page 1: the framed window with its lines and the name window, as composed.
            EXPECT_EQ(CountDifferent(play.page1, play.page1Ref, 0, 0, 800, 600), 0);
            // The ruby stands in the band over its base and nowhere else in it.
            const RECT band = play.rubyBand;
            Reference whole = play.page1Ref;
            whole.skip.assign(whole.skip.size(), 0);
            const int overBase = CountDifferent(play.page1, whole, kWindowX + play.rubyBase.left, band.top,
                                                kWindowX + play.rubyBase.right, band.bottom);
            EXPECT_GT(overBase, 10);
            EXPECT_EQ(CountDifferent(play.page1, whole, band.left, band.top, band.right, band.bottom), overBase);
            // The wait icon shows its white cell.
            EXPECT_GT(CountOther(play.page1, play.iconX, play.iconY, play.iconX + 20, play.iconY + 20,
                                 Rgb(play.page1, play.iconX + 30, play.iconY + 25)),
                      10);
            // Page 2 mid-reveal: its first characters stand as composed; from the first column that
            // is not yet the page's, past the soft edge (72 pixels), the line shows no text; the
            // rest of the screen is the window without text.
            EXPECT_TRUE(play.sawMidReveal);
            ASSERT_FALSE(play.page2Lines.empty());
            const RevealFaults faults =
                CheckMidReveal(play.midReveal, play.page2Ref, play.page2Body, play.page2Lines.front());
            EXPECT_EQ(faults.pastEdge, 0);
            EXPECT_EQ(faults.edge, 0);
            EXPECT_EQ(faults.offLine, 0);
            // The choice: page 2's window and the two framed lines from (46, 200), as composed.
            ASSERT_GE(play.choice.width, 800);
            EXPECT_EQ(CountDifferent(play.choice, play.choiceRef, 0, 0, 800, 600), 0);
            // Choice 2 was taken: index 1; the branch ran.
            EXPECT_EQ(play.choiceVar, 1);
            EXPECT_EQ(play.routeVar, 1);
        }
    }
}
