// Milestone (headless): the real game on a tool-made folder, MAIN yielding in a loop while a test
// native drives the script text: a message record (assembled with .sjis) set into the script text
// object, a text object with a wait-animation sheet (an ELG file) and a name panel added to the
// text-object list and started. The frames mid-typing, at the wait with its animation and after a
// click equal references the test composes from a plain panel with the same text; a caption shown
// in the same run slides in and out along its path. Both threading modes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/sob_assembler.h"
#include "authoring/sob_module_writer.h"
#include "controls/control_set.h"
#include "controls/text_panel.h"
#include "display/surface_sprite.h"
#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "drawing/glyph_font.h"
#include "drawing/scene.h"
#include "files/temp_folder.h"
#include "game/game_app.h"
#include "game/game_folder.h"
#include "natives/caption.h"
#include "natives/script_host.h"
#include "natives/text_object.h"
#include "platform/timer_resolution.h"
#include "raster/pixel_lib.h"
#include "script/tagged_text.h"
#include "winapi/host.h"
#include "winapi/host_headless.h"
#include "winapi/text.h"
#include "winapi/user.h"

namespace {

std::string Str(const std::vector<uint8_t>& b) { return std::string(b.begin(), b.end()); }

constexpr int kTextX = 40, kTextY = 440, kTextW = 720, kTextH = 120;
constexpr int kNameX = 40, kNameY = 400, kNameW = 200, kNameH = 32;
constexpr int kWaitX = 740, kWaitY = 540;
constexpr uint32_t kRed = 0xFFFF0000u, kGreen = 0xFF00FF00u;

// The body as the text object types it: the name line, a wait, the rest.
const char* const kName = "語り手";
const char* const kFirst = "あいうえおかきくけこ";
const char* const kSecond = "さしすせそ";

struct FrameImageApp : CGameApp {
    CSurfaceSprite canvas;
    int OnDevicesReady() override
    {
        const int code = CGameApp::OnDevicesReady();
        if (canvas.Create(800, 600, 32, 1) == 0)
            ScreenObject().SetFrameImage(&canvas);
        return code;
    }
    void OnExit(int code) override
    {
        CGameApp::OnExit(code);
        ScreenObject().SetFrameImage(nullptr);
    }
};

// What the test native does, one step a frame.
struct Milestone {
    FrameImageApp* app = nullptr;
    std::string sheetFile;
    CGlyphFont font;
    CImage sheetImage, shown;
    CCellSheet sheet;
    CSprite waitSprite;
    CTextObject* object = nullptr;
    CTextPanel* name = nullptr;
    int frame = 0;
    int stage = 0;
    int hold = 0;       // frames left before the frozen state is read back
    std::string typed;  // the body shown in the frozen state
    int waitCell = -1;  // the wait animation's cell in the frozen state
    bool clicked = false;
    bool animHeld = false;
    std::vector<std::string> failures;
    // Caption: the sprite's place and opacity each frame after it was shown.
    std::vector<std::pair<LONG, int>> captionTrack;
    int checks = 0;

    void Fail(const std::string& what) { failures.push_back(what); }
    CScene* Scene() { return app->canvas.GetScene(); }
    // A frozen state: typing and the wait animation hold still until the frame shows it (on the
    // game thread the frame is presented after the step that changed it).
    void Freeze()
    {
        if (CTypingTask* t = object->TypingTask())
            t->Pause(TimerNow());
        animHeld = object->WaitAnimation() != nullptr && object->IsWaitShown();
        if (animHeld)
            object->WaitAnimation()->PauseClock();
        hold = 3;
    }
    void Thaw()
    {
        if (CTypingTask* t = object->TypingTask())
            t->Resume(TimerNow());
        if (animHeld && object->WaitAnimation() != nullptr)
            object->WaitAnimation()->ResumeClock();
        animHeld = false;
    }
    std::string Body() const
    {
        const std::string& body = object->Reader()->Body();
        return body.substr(0, std::min(body.size(), object->Reader()->ParseCursor()));
    }
    int Setup(uint32_t record);
    // The frame the window shows against the reference for the frozen state.
    void Compare(const char* what);
    // 1 when the run is over.
    int Step(uint32_t record);
};

Milestone* g_run = nullptr;

int Milestone::Setup(uint32_t record)
{
    if (font.SetFont(20, 0, 0, winapi::Sjis("ＭＳ ゴシック")) != 0)
        return Fail("font"), 1;
    if (shown.Create(16, 16, 32, 0) != 0 ||
        sheet.LoadImage(sheetFile.c_str(), 16, 16, nullptr, &shown, 0, 0, 0, 0, false, false, 0xFFFFFFFFu) != 0)
        return Fail("wait sheet"), 1;
    sheet.SetAnimation(2, 100, 0, 0, 1);
    waitSprite.SetImage(&shown, nullptr, kWaitX, kWaitY);
    if (Scene()->GetList().Insert(&waitSprite, 30, 0) != 0)
        return Fail("wait sprite"), 1;
    waitSprite.SetVisible(false);
    sheet.AddUser(&waitSprite);
    if (g_pScriptTextObject == nullptr || g_pScriptTextObject->SetMessage(record) != 0)
        return Fail("message"), 1;
    g_TextObjectList.SetScene(Scene());
    if (g_TextObjectList.AddTextPanel(&name, kNameX, kNameY, kNameW, kNameH, &font, nullptr, 0, 0, 0, 20) != 0 ||
        g_TextObjectList.AddTextObject(&object, kTextX, kTextY, kTextW, kTextH, &font, nullptr, 20) != 0)
        return Fail("controls"), 1;
    object->SetNamePanel(name, 1);
    object->SetTypingAnimation(&sheet);
    if (object->StartTyping(false) != 0)
        return Fail("start"), 1;
    return 0;
}

void Milestone::Compare(const char* what)
{
    ++checks;
    // The reference: plain panels of the same size and font on a black 800 × 600 scene, the text
    // drawn in one go, the wait cell as a solid square.
    CImage target;
    CScene scene;
    CControlSet set;
    CGlyphFont refFont;
    if (target.Create(800, 600, 32, 0) != 0 || scene.SetTarget(&target, false) != 0 ||
        refFont.SetFont(20, 0, 0, winapi::Sjis("ＭＳ ゴシック")) != 0)
        return Fail("reference set-up");
    set.SetScene(&scene);
    CTextPanel *body = nullptr, *speaker = nullptr;
    if (set.AddTextPanel(&speaker, kNameX, kNameY, kNameW, kNameH, &refFont, nullptr, 0, 0, 0, 20) != 0 ||
        set.AddTextPanel(&body, kTextX, kTextY, kTextW, kTextH, &refFont, nullptr, 0, 0, 0, 20) != 0)
        return Fail("reference panels");
    speaker->DrawTextAt(winapi::Sjis(kName), -1, -1, true);
    speaker->SetVisible(true);
    if (!typed.empty())
        body->DrawTextAt(typed.c_str(), -1, -1, true);
    body->SetVisible(true);
    CImage cell;
    CSprite cellSprite;
    if (waitCell >= 0) {
        if (cell.Create(16, 16, 32, 0) != 0)
            return Fail("reference cell");
        cell.FillRect32(waitCell == 0 ? kRed : kGreen, nullptr);
        cellSprite.SetImage(&cell, nullptr, kWaitX, kWaitY);
        scene.GetList().Insert(&cellSprite, 30, 0);
        cellSprite.SetVisible(true);
    }
    CImage reference;
    if (reference.Create(800, 600, 32, 0) != 0 || scene.RenderToImage(&reference, 0, 0, false) != 0)
        return Fail("reference render");
    const winapi::Frame frame = winapi::CurrentHeadlessHost()->ReadBack(app->GetMainWindow());
    if (frame.width < 800 || frame.height < 600)
        return Fail(std::string(what) + ": no frame");
    int differing = 0, inked = 0;
    for (int y = 0; y < 600; ++y) {
        const uint32_t* row = reinterpret_cast<const uint32_t*>(reference.GetRowPointer(y));
        for (int x = 0; x < 800; ++x) {
            const uint32_t want = row[x] & 0xFFFFFFu;
            differing += (frame.At(x, y) & 0xFFFFFFu) != want;
            inked += want != 0;
        }
    }
    if (differing != 0 || inked == 0)
        Fail(std::string(what) + ": " + std::to_string(differing) + " pixels differ, " + std::to_string(inked) +
             " inked");
    scene.GetList().Remove(&cellSprite);
    set.DeleteAll();
}

int Milestone::Step(uint32_t record)
{
    if (++frame > 3000)
        return Fail("stage " + std::to_string(stage) + " never ended"), 1;
    if (frame == 1)
        return Setup(record);
    if (hold > 0) {
        if (--hold > 0)
            return 0;
        static const char* const names[] = {"mid-typing", "at the wait", "after the click"};
        Compare(names[stage]);
        Thaw();
        ++stage;
        return 0;
    }
    CTypingTask* typing = object->TypingTask();
    if (typing == nullptr)
        return Fail("typing task gone"), 1;
    const size_t firstBytes = std::string(winapi::Sjis(kFirst)).size();
    switch (stage) {
    case 0: // some characters of the first part shown
        if (Body().size() >= 6 && Body().size() < firstBytes) {
            Freeze();
            typed = Body();
            waitCell = -1;
        }
        return 0;
    case 1: // the wait, its animation on its second cell
        if (typing->GetPhase() == CTypingTask::kWaiting && object->IsWaitShown() &&
            object->WaitAnimation()->GetCurrentCell() == 1) {
            Freeze();
            typed = winapi::Sjis(kFirst);
            waitCell = 1;
        }
        return 0;
    case 2: // a click goes on; the text ends
        if (!clicked) {
            HWND window = app->GetMainWindow();
            winapi::HostMouseMove(window, 400, 500);
            winapi::HostMouseButton(window, 0, true, 400, 500);
            clicked = true;
            return 0;
        }
        if (hold == 0 && typing->GetPhase() == CTypingTask::kFinished && !object->IsWaitShown()) {
            winapi::HostMouseButton(app->GetMainWindow(), 0, false, 400, 500);
            Freeze();
            typed = std::string(winapi::Sjis(kFirst)) + winapi::Sjis(kSecond);
            waitCell = -1;
        }
        return 0;
    case 3:
        if (g_pCaption == nullptr || g_pCaption->ShowText(winapi::Sjis("セーブしました"), 0) != 0)
            return Fail("caption"), 1;
        ++stage;
        return 0;
    default:
        captionTrack.emplace_back(g_pCaption->Sprite().GetY(), g_pCaption->Sprite().GetAlpha());
        if (g_pCaption->GetValidHandle() == nullptr) {
            // Gone from view: the text objects go with the host; the sheet's user leaves first.
            sheet.RemoveUser(&waitSprite);
            Scene()->GetList().Remove(&waitSprite);
            g_TextObjectList.DeleteAll();
            g_TextObjectList.SetScene(nullptr);
            return 1;
        }
        return 0;
    }
}

// Native 809: one step of the run; word 0 the message record. → 1 when the run is over.
uint32_t MilestoneNative(SobNativeArgs& args)
{
    const uint32_t record = args.U32(0);
    return g_run != nullptr ? static_cast<uint32_t>(g_run->Step(record)) : 1;
}

void RunMilestone(uint8_t gameThread)
{
    TempFolder dir;
    // The wait-animation sheet: two 16 × 16 cells, red then green.
    std::vector<uint32_t> pixels(32 * 16);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x)
            pixels[size_t(y) * 32 + x] = x < 16 ? kRed : kGreen;
    elg::Picture picture;
    std::string error;
    ASSERT_TRUE(elg::PictureFromPixels(32, 16, pixels.data(), 24, picture, &error)) << error;
    std::vector<uint8_t> elgBytes;
    ASSERT_TRUE(elg::Encode(picture, elg::Options{}, elgBytes, &error)) << error;
    dir.Write("WAIT.ELG", Str(elgBytes));

    SobVariableLayout layout;
    std::vector<std::string> errors;
    ASSERT_TRUE(ParseSobVariables("Score 0 1 4 = 0\n", "vars", &layout, &errors));
    dir.Write("SCRIPT/USER_VAR.SOB", Str(WriteSobUserVarFile(layout)));
    AppDescription sys = DefaultAppDescription(AppFrameOptions{});
    sys.SetU16(kSysWidth, 800);
    sys.SetU16(kSysHeight, 600);
    sys.bytes[kSysSaveMode] = 5;
    sys.bytes[kSysSingleInstance] = 0;
    WriteAppFiles(dir, sys, "TextMilestone", gameThread);
    // The record: read scope 0, message 1, then "#name$" and the body with a wait ("$" alone).
    const std::string source = std::string(R"(
loop:   yield
        ncall native 809, args, r
        movm r, check.1
check:  eq 0, 1, branch.1
branch: jz 0, loop
        ret
args:   .word rec
r:      .word 0
rec:    .word 0x23000100
        .sjis ")") + kName + "$" + kFirst + "$" + kSecond + "\"\n";
    SobAssembly assembly;
    ASSERT_TRUE(AssembleSob(source, "MAIN", &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
    std::vector<uint8_t> bytes;
    ASSERT_TRUE(WriteSobLinkable(assembly, false, &layout, nullptr, &bytes, &error)) << error;
    dir.Write("SCRIPT/MAIN.SOB", Str(bytes));

    RegisterPixelLibraryModule();
    Milestone run;
    run.sheetFile = winapi::Utf8ToSjis(dir.Windows("WAIT.ELG"));
    g_run = &run;
    {
        FrameImageApp app;
        run.app = &app;
        app.SetExtraNatives({MilestoneNative});
        std::string line = "/L" + dir.Windows();
        EXPECT_EQ(app.Run(nullptr, nullptr, line.data(), SW_SHOWNORMAL), 0);
        EXPECT_EQ(app.GetEndCode(), 0);
        run.app = nullptr;
    }
    g_run = nullptr;
    for (const std::string& f : run.failures)
        ADD_FAILURE() << f;
    EXPECT_EQ(run.checks, 3);
    // The caption stood fully shown at y 575 and left the screen again, sliding down.
    ASSERT_FALSE(run.captionTrack.empty());
    const auto stood = std::find(run.captionTrack.begin(), run.captionTrack.end(), std::make_pair(LONG{575}, 255));
    EXPECT_NE(stood, run.captionTrack.end());
    for (auto it = stood; it != run.captionTrack.end() && it + 1 != run.captionTrack.end(); ++it)
        EXPECT_LE(it->first, (it + 1)->first);
    EXPECT_EQ(run.captionTrack.back().first, 600);
    EXPECT_EQ(run.captionTrack.back().second, 0);
}

} // namespace

TEST(TextMilestone, TypingWaitClickAndCaptionOnTheMainThread) { RunMilestone(0); }

TEST(TextMilestone, TypingWaitClickAndCaptionOnTheGameThread) { RunMilestone(1); }
