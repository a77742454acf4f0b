// Natives over the scripts' owned lists: KAG groups, KAD files and cell sheets made from files the
// project's own writers produce, their animations on the object manager's virtual clock, release
// by cell (users ended first, the cell cleared only on success), reloads and the KAD fields.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "authoring/elg_encoder.h"
#include "authoring/image_group_writer.h"
#include "display/display_objects.h"
#include "display/screen.h"
#include "display/surface_sprite.h"
#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "drawing/kad_file.h"
#include "drawing/kag_anim_task.h"
#include "drawing/kag_file.h"
#include "drawing/scene.h"
#include "controls/control.h"
#include "controls/parts_file.h"
#include "controls/parts_file_b.h"
#include "files/gll_manager.h"
#include "natives/main_form.h"
#include "natives/text_object.h"
#include "natives/native_table.h"
#include "natives/owned_list_natives.h"
#include "platform/timer_manager.h"
#include "platform/timer_resolution.h"
#include "raster/image.h"
#include "support/host_fixture.h"
#include "support/native_script.h"
#include "support/pixel_library.h"
#include "winapi/clock.h"

using namespace hosttest;

namespace {

constexpr uint32_t kMinus2 = static_cast<uint32_t>(-2);
constexpr uint32_t kEndless = static_cast<uint32_t>(-1); // loops

// A picture of solid cells: cell i of width w filled with colours[i].
std::string CellPicture(int w, int h, const std::vector<uint32_t>& colours)
{
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * colours.size() * h);
    const int width = w * static_cast<int>(colours.size());
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < width; ++x)
            pixels[static_cast<size_t>(y) * width + x] = colours[static_cast<size_t>(x / w)];
    elg::Picture picture;
    std::string error;
    EXPECT_TRUE(elg::PictureFromPixels(width, h, pixels.data(), 24, picture, &error)) << error;
    std::vector<uint8_t> bytes;
    EXPECT_TRUE(elg::Encode(picture, elg::Options{}, bytes, &error)) << error;
    return Text(bytes);
}

struct ListsHost {
    TestPixelLibrary pixels;
    CGllManager loaders;
    CTimerManager objects;
    HostFixture f;
    CScriptHost& host;

    ListsHost() : host((Publish(), f.UseScreen(), f.Start()))
    {
        f.dir.Write("RED.ELG", CellPicture(8, 8, {0xFF0000}));
        f.dir.Write("CELLS.ELG", CellPicture(8, 8, {0xFF0000, 0x00FF00, 0x0000FF}));
        std::vector<uint8_t> bytes;
        std::string error;
        EXPECT_TRUE(image_groups::BuildKag("header 7 9\npicture RED.ELG\nentry 0 100 1 2\nentry 0 100 3 4\n"
                                           "close\nentry 0 50 0 0\n",
                                           f.dir.Linux(), bytes, &error))
            << error;
        f.dir.Write("ANIM.KAG", Text(bytes));
        bytes.clear();
        EXPECT_TRUE(image_groups::BuildKad("header 11 22 0 2\nblob text abc\nentry 0 0 0 0 0\nclose\n"
                                           "entry 1 0 0 0 1\nrecord 1 2 a.elg\n",
                                           bytes, &error))
            << error;
        f.dir.Write("ANIM.KAD", Text(bytes));
        f.dir.Write("BAD.KAG", "KAG");
    }
    ~ListsHost()
    {
        f.host.reset();
        objects.CancelAll();
        g_pObjectManager = nullptr;
        g_pGllManager = nullptr;
        winapi::UseVirtualClock(false);
    }
    void Publish()
    {
        winapi::UseVirtualClock(true);
        g_pObjectManager = &objects;
        EXPECT_EQ(RegisterBuiltinImageLoaders(loaders), 0);
        g_pGllManager = &loaders;
    }
    void Run(uint32_t ms)
    {
        winapi::AdvanceVirtualClock(ms);
        objects.RunDue(TimerNow());
    }
    uint32_t Call(uint32_t n, std::vector<uint32_t> words, bool* faulted = nullptr)
    {
        return CallNative(host, n, words, faulted);
    }
    uint32_t Str(const std::string& text)
    {
        const uint32_t at = host.Memory().Allocate(static_cast<uint32_t>(text.size() + 1));
        std::memcpy(host.Memory().Span(at, static_cast<uint32_t>(text.size() + 1)), text.c_str(), text.size() + 1);
        return at;
    }
    uint32_t Cell(uint32_t value)
    {
        const uint32_t at = host.Memory().Allocate(4);
        host.Memory().Store32(at, value);
        return at;
    }
    uint32_t Load(uint32_t at)
    {
        uint32_t v = 0;
        host.Memory().Load32(at, &v);
        return v;
    }
    // A kind-9 canvas whose scene shows animations.
    uint32_t Canvas()
    {
        CSurfaceSprite* sprite = nullptr;
        EXPECT_EQ(f.screen->CreateSurfaceSprite(&sprite, 64, 64, 32, 1), 0); // with a scene
        return host.ObjectHandle(static_cast<CSurface*>(sprite));
    }
    uint32_t Image(CImage** out)
    {
        EXPECT_EQ(f.screen->CreateImage(out, 64, 16, 32, 0), 0);
        return host.ObjectHandle(static_cast<CSurface*>(*out));
    }
    uint32_t Sheet(uint32_t direct, uint32_t cells = 3, uint32_t frame = 100)
    {
        return Call(532, {Str("CELLS.ELG"), 8, 8, 0, direct, 4, 2, 0, 0, cells, frame, 0});
    }
};

uint32_t PixelAt(const CImage& image, int x, int y)
{
    return reinterpret_cast<const uint32_t*>(image.GetRowPointer(y))[x] & 0xFFFFFF;
}

} // namespace

TEST(OwnedListNatives, TheRowsOfThisRoundAreBuilt)
{
    for (uint32_t n = 510; n <= 540; ++n) {
        EXPECT_TRUE(GetNativeRow(n).built) << n;
    }
}

TEST(OwnedListNatives, KagGroupsAnimateAndReleaseByCellEndingTheirAnimations)
{
    ListsHost t;
    EXPECT_EQ(t.Call(510, {t.Str("MISSING.KAG"), 0}), 0u);
    EXPECT_EQ(t.Call(510, {t.Str("BAD.KAG"), 0}), 0u);
    EXPECT_EQ(t.Call(510, {0, 0}), 0u);
    EXPECT_EQ(g_ScriptKagFiles.GetCount(), 0u);
    const uint32_t kag = t.Call(510, {t.Str("ANIM.KAG"), 0});
    ASSERT_NE(kag, 0u);
    auto* file = dynamic_cast<CKagFile*>(t.host.Object<CGroupFile>(kag));
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->GetGroupCount(), 2u);
    EXPECT_EQ(g_ScriptKagFiles.GetCount(), 1u);

    // 514 on a canvas: a task with its handle in the out cell, its sprite at base + offset.
    const uint32_t canvas = t.Canvas();
    const uint32_t out = t.Cell(0x7777);
    EXPECT_EQ(t.Call(514, {kag, 0, 0, kEndless, 5, 10, 20, 0, 0, 0, out}), 0u); // no canvas
    EXPECT_EQ(t.Call(514, {kag, canvas, 9, kEndless, 5, 10, 20, 0, 0, 0, out}), 0u); // no group 9
    const uint32_t anim = t.Call(514, {kag, canvas, 0, kEndless, 5, 10, 20, 0, 0, 0, out});
    ASSERT_NE(anim, 0u);
    EXPECT_EQ(t.Load(out), anim);
    auto* task = dynamic_cast<CKagAnimTask*>(t.host.Object<CTimedTask>(anim));
    ASSERT_NE(task, nullptr);
    EXPECT_EQ(task->GetSprite().GetX(), 11);
    t.Run(0);
    t.Run(100);
    EXPECT_EQ(task->GetSprite().GetX(), 13);

    // 515/516: a value kept with the running animation.
    const struct {
        uint32_t task, zero, expected;
    } values[] = {{0, 0, static_cast<uint32_t>(-1)}, {anim + 0x10000, 0, kMinus2},
                  {canvas, 0, kMinus2},              {anim, 1, static_cast<uint32_t>(-4)},
                  {anim, 0, 0}};
    for (const auto& c : values)
        EXPECT_EQ(t.Call(516, {c.task, c.zero, 42}), c.expected) << c.task << " " << c.zero;
    EXPECT_EQ(t.Call(515, {anim}), 42u);
    EXPECT_EQ(task->GetUserFlag(), 1);
    EXPECT_EQ(t.Call(515, {canvas}), 0u);

    // Release by cell: a null cell 1; a stale handle 2 with the cell kept; the live one ends the
    // animation first, deletes the file and clears the cell (and the task's out cell).
    EXPECT_EQ(t.Call(511, {0}), 1u);
    const uint32_t stale = t.Cell(kag + 0x10000);
    EXPECT_EQ(t.Call(511, {stale}), 2u);
    EXPECT_EQ(t.Load(stale), kag + 0x10000);
    const uint32_t notListed = t.Cell(canvas);
    EXPECT_EQ(t.Call(511, {notListed}), 2u);
    bool faulted = false;
    t.Call(511, {0xFFFFFFF0u}, &faulted);
    EXPECT_TRUE(faulted);
    const uint32_t cell = t.Cell(kag);
    EXPECT_EQ(t.Call(511, {cell}), 0u);
    EXPECT_EQ(t.Load(cell), 0u);
    EXPECT_EQ(g_ScriptKagFiles.GetCount(), 0u);
    EXPECT_EQ(t.host.Object<CGroupFile>(kag), nullptr);
    t.Run(10);
    EXPECT_EQ(t.objects.GetCount(), 0u);
    EXPECT_EQ(t.Load(out), 0u);
    EXPECT_EQ(t.Call(511, {cell}), 1u); // the cleared cell now holds null
}

TEST(OwnedListNatives, ReloadAndReleaseAllEndTheUsersFirst)
{
    ListsHost t;
    const uint32_t a = t.Call(510, {t.Str("ANIM.KAG"), 0});
    const uint32_t b = t.Call(510, {t.Str("ANIM.KAG"), 0});
    ASSERT_NE(a, 0u);
    ASSERT_NE(b, 0u);
    const uint32_t canvas = t.Canvas();
    ASSERT_NE(t.Call(514, {a, canvas, 1, kEndless, 0, 0, 0, 0, 0, 0, 0}), 0u);
    ASSERT_NE(t.Call(514, {b, canvas, 0, kEndless, 0, 0, 0, 0, 0, 0, 0}), 0u);
    t.Run(0);
    // A reload ends a's animation only: its entries change under it.
    EXPECT_EQ(t.Call(513, {0, t.Str("ANIM.KAG"), 0}), kMinus2);
    EXPECT_EQ(t.Call(513, {a, t.Str("MISSING.KAG"), 0}), 1u);
    t.Run(10);
    EXPECT_EQ(t.objects.GetCount(), 1u);
    EXPECT_EQ(t.Call(513, {a, t.Str("ANIM.KAG"), 0}), 0u);
    EXPECT_EQ(t.Call(512, {}), 0u);
    t.Run(10);
    EXPECT_EQ(t.objects.GetCount(), 0u);
    EXPECT_EQ(g_ScriptKagFiles.GetCount(), 0u);
}

TEST(OwnedListNatives, KadFilesTheirFieldsAndRelease)
{
    ListsHost t;
    EXPECT_EQ(t.Call(517, {t.Str("MISSING.KAD")}), 0u);
    const uint32_t kad = t.Call(517, {t.Str("ANIM.KAD")});
    ASSERT_NE(kad, 0u);
    const struct {
        uint32_t code, expected;
    } fields[] = {{0, 2}, {1, 4}, {2, 11}, {3, 22}, {4, 0}, {0xFFFFFFFFu, 0}};
    for (const auto& c : fields)
        EXPECT_EQ(t.Call(521, {kad, c.code}), c.expected) << c.code;
    EXPECT_EQ(t.Call(521, {0, 0}), 0u);
    EXPECT_EQ(t.Call(520, {0, t.Str("ANIM.KAD")}), kMinus2);
    EXPECT_EQ(t.Call(520, {kad, t.Str("ANIM.KAD")}), 0u);
    const uint32_t cell = t.Cell(kad);
    EXPECT_EQ(t.Call(518, {cell}), 0u);
    EXPECT_EQ(t.Load(cell), 0u);
    EXPECT_EQ(t.Call(518, {t.Cell(kad)}), 2u); // gone
    ASSERT_NE(t.Call(517, {t.Str("ANIM.KAD")}), 0u);
    EXPECT_EQ(t.Call(519, {}), 0u);
    EXPECT_EQ(g_ScriptKadFiles.GetCount(), 0u);
}

TEST(OwnedListNatives, CellSheetsAnimateIntoTheirImageAndReleaseByCell)
{
    ListsHost t;
    CImage* image = nullptr;
    const uint32_t direct = t.Image(&image);
    // Refused: no file, a missing file, a negative cell size.
    EXPECT_EQ(t.Call(532, {0, 8, 8, 0, direct, 0, 0, 0, 0, 3, 100, 0}), 0u);
    EXPECT_EQ(t.Call(532, {t.Str("NONE.ELG"), 8, 8, 0, direct, 0, 0, 0, 0, 3, 100, 0}), 0u);
    EXPECT_EQ(t.Call(532, {t.Str("CELLS.ELG"), 0xFFFFFFF8u, 8, 0, direct, 0, 0, 0, 0, 3, 100, 0}), 0u);
    EXPECT_EQ(g_ScriptCellSheets.GetCount(), 0u);
    const uint32_t sheet = t.Sheet(direct);
    ASSERT_NE(sheet, 0u);
    CCellSheet* made = t.host.Object<CCellSheet>(sheet);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->GetCellCount(), 3);
    EXPECT_EQ(made->GetFrameTime(), 100u);
    // Word 9 = 65535 keeps the sheet's defaults.
    const uint32_t plain = t.Sheet(direct, 65535, 7);
    ASSERT_NE(plain, 0u);
    EXPECT_EQ(t.host.Object<CCellSheet>(plain)->GetFrameTime(), 0u);

    // 538 plays the cells into the image at the sheet's place.
    const uint32_t out = t.Cell(0);
    EXPECT_EQ(t.Call(538, {sheet, 12345, 1, 0, 0, 0, out}), 0u); // a target word that names no sprite
    const uint32_t anim = t.Call(538, {sheet, 0, 1, 0, 0, 0, out});
    ASSERT_NE(anim, 0u);
    EXPECT_EQ(t.Load(out), anim);
    t.Run(0);
    t.Run(150);
    EXPECT_EQ(PixelAt(*image, 5, 3), 0x00FF00u); // the second cell
    EXPECT_EQ(t.Call(534, {sheet, 0}), 0u);
    const uint32_t picture = t.Call(540, {sheet});
    ASSERT_NE(t.host.Object<CImage>(picture), nullptr);
    EXPECT_EQ(t.host.Object<CImage>(picture)->GetWidth(), 24);
    EXPECT_EQ(t.Call(540, {0}), 0u);
    EXPECT_EQ(t.Call(533, {sheet, 0}), 0u);

    // 537 reloads (ending the animation), 535 releases by cell, 536 the rest.
    EXPECT_EQ(t.Call(537, {0, t.Str("CELLS.ELG"), 8, 8, 0, direct, 0, 0, 0, 0, 3, 100, 0}), kMinus2);
    EXPECT_EQ(t.Call(537, {sheet, t.Str("CELLS.ELG"), 8, 8, 0, direct, 0, 0, 0, 0, 2, 50, 0}), 0u);
    EXPECT_EQ(made->GetCellCount(), 2);
    t.Run(10);
    EXPECT_EQ(t.objects.GetCount(), 0u);
    EXPECT_EQ(t.Load(out), 0u);
    ASSERT_NE(t.Call(538, {sheet, 0, 0, 0, 0, 0, 0}), 0u);
    const uint32_t cell = t.Cell(sheet);
    EXPECT_EQ(t.Call(535, {cell}), 0u);
    EXPECT_EQ(t.Load(cell), 0u);
    t.Run(10);
    EXPECT_EQ(t.objects.GetCount(), 0u);
    EXPECT_EQ(g_ScriptCellSheets.GetCount(), 1u);
    EXPECT_EQ(t.Call(536, {}), 0u);
    EXPECT_EQ(g_ScriptCellSheets.GetCount(), 0u);
}

TEST(OwnedListNatives, SheetFramesDrawIntoASpriteUntilTheAnimationEnds)
{
    ListsHost t;
    CImage* image = nullptr;
    const uint32_t direct = t.Image(&image);
    const uint32_t sheet = t.Sheet(direct);
    const uint32_t anim = t.Call(538, {sheet, 0, 0, 0, 0, 0, 0});
    ASSERT_NE(anim, 0u);
    CImage* other = nullptr;
    ASSERT_EQ(t.f.screen->CreateImage(&other, 64, 16, 32, 0), 0);
    CSprite* sprite = nullptr;
    ASSERT_EQ(t.f.screen->CreateSprite(&sprite, other, nullptr, 0, 0), 0);
    const uint32_t spriteHandle = t.host.ObjectHandle(sprite);
    EXPECT_EQ(t.Call(539, {sheet, spriteHandle, 0}), 0u); // not an animation
    EXPECT_EQ(t.Call(539, {anim, 0, 0}), 0u);
    const uint32_t out = t.Cell(0);
    const uint32_t frames = t.Call(539, {anim, spriteHandle, out});
    ASSERT_NE(frames, 0u);
    EXPECT_EQ(t.Load(out), frames);
    EXPECT_EQ(t.host.Object<CTimedTask>(frames)->GetKind(), 13002);
    t.Run(0);
    t.Run(150);
    t.Run(0);
    EXPECT_EQ(PixelAt(*other, 5, 3), 0x00FF00u);
    // Releasing the sheet ends both of its users; the out cells are cleared.
    EXPECT_EQ(t.Call(535, {t.Cell(sheet)}), 0u);
    t.Run(10);
    EXPECT_EQ(t.objects.GetCount(), 0u);
    EXPECT_EQ(t.Load(out), 0u);
}

TEST(OwnedListNatives, PartsFilesAsSpritesAndAsControls)
{
    ListsHost t;
    PartsLayout layout;
    PartsEntry part;
    part.name = "RED.ELG";
    part.x = 5;
    part.y = 6;
    part.byte5 = 255;
    part.byte6 = 1;
    layout.parts = {part, part};
    layout.parts[1].x = 30;
    t.f.dir.Write("A.GMP", Text(WritePartsFile(layout, EPartsReader::A)));
    const uint32_t canvas = t.Canvas();

    EXPECT_EQ(t.Call(522, {canvas, t.Str("NONE.GMP"), 10, 0, 0, 0}), 2u);
    EXPECT_EQ(t.Call(522, {0, t.Str("A.GMP"), 10, 0, 0, 0}), 1u); // no scene
    ASSERT_EQ(t.Call(522, {canvas, t.Str("A.GMP"), 10, 0, 0, 0}), 0u);
    EXPECT_EQ(t.Call(524, {}), 2u);
    const uint32_t outs = t.host.Memory().Allocate(20);
    ASSERT_EQ(t.Call(525, {1, outs, outs + 4, outs + 8, outs + 12, outs + 16}), 0u);
    EXPECT_EQ(t.host.Object<CImage>(t.Load(outs)), g_ScriptPartsA.GetImage(1));
    EXPECT_EQ(t.host.Object<CSprite>(t.Load(outs + 4)), g_ScriptPartsA.GetSprite(1));
    EXPECT_EQ(t.Load(outs + 8), 30u);
    EXPECT_EQ(t.Load(outs + 12), 6u);
    // An index outside the list: -1, nothing written; null cells are skipped.
    const uint32_t kept = t.Cell(0x5555);
    EXPECT_EQ(t.Call(525, {2, kept, 0, 0, 0, 0}), static_cast<uint32_t>(-1));
    EXPECT_EQ(t.Load(kept), 0x5555u);
    EXPECT_EQ(t.Call(525, {0, 0, 0, kept, 0, 0}), 0u);
    EXPECT_EQ(t.Load(kept), 5u);

    // 526: every array checked whole for the clamped range before any is written.
    const uint32_t xs = t.host.Memory().Allocate(16), ys = t.host.Memory().Allocate(16);
    t.host.Memory().Store32(xs, 0x5555);
    ASSERT_EQ(t.Call(526, {0, 0, 0, xs, ys, 0}), 0u);
    EXPECT_EQ(t.Load(xs), 5u);
    EXPECT_EQ(t.Load(xs + 4), 30u);
    EXPECT_EQ(t.Load(ys + 4), 6u);
    EXPECT_EQ(t.Call(526, {1, 9, 0, xs + 8, 0, 0}), 0u); // clamped to one
    EXPECT_EQ(t.Load(xs + 8), 30u);
    t.host.Memory().Store32(xs, 0x5555);
    bool faulted = false;
    t.Call(526, {0, 0, 0, xs, ys + 12, 0}, &faulted); // ys's block holds one cell there, not two
    EXPECT_TRUE(faulted);
    EXPECT_EQ(t.Load(xs), 0x5555u);
    EXPECT_EQ(t.Call(526, {7, 0, 0, xs, 0, 0}), 0u);
    EXPECT_EQ(t.Load(xs), 0x5555u);
    // A sprite the screen deleted since reads as none.
    ASSERT_EQ(t.f.screen->DeleteDrawable(g_ScriptPartsA.GetSprite(0)), 0);
    ASSERT_EQ(t.Call(525, {0, 0, outs, 0, 0, 0}), 0u);
    EXPECT_EQ(t.Load(outs), 0u);
    EXPECT_EQ(t.Call(523, {}), 0u);
    EXPECT_EQ(t.Call(524, {}), 0u);

    // Reader B: buttons in the main form.
    layout.parts[0].head = layout.parts[1].head = 1;
    layout.parts[0].width = layout.parts[1].width = 8;
    layout.parts[0].height = layout.parts[1].height = 8;
    layout.parts[0].c = layout.parts[1].c = 0;
    t.f.dir.Write("B.GMP", Text(WritePartsFile(layout, EPartsReader::B)));
    g_TextObjectList.SetScene(GetSurfaceScene(t.host.Object<CSurface>(canvas)));
    ASSERT_EQ(t.Call(527, {t.Str("B.GMP"), 300, 0, 0}), 0u);
    EXPECT_EQ(t.Call(529, {}), 2u);
    ASSERT_EQ(t.Call(530, {1, outs, outs + 4, outs + 8, outs + 12}), 0u);
    CControl* control = t.host.Object<CControl>(t.Load(outs));
    ASSERT_NE(control, nullptr);
    EXPECT_EQ(control, g_ScriptPartsB.GetControl(1));
    EXPECT_EQ(t.Load(outs + 4), 30u);
    EXPECT_EQ(t.Call(530, {2, outs, 0, 0, 0}), static_cast<uint32_t>(-1));
    ASSERT_EQ(t.Call(531, {0, 2, xs, ys, 0, 0}), 0u);
    EXPECT_EQ(t.host.Object<CControl>(t.Load(xs)), g_ScriptPartsB.GetControl(0));
    EXPECT_EQ(t.Load(ys + 4), 30u);
    // Controls deleted since read as none.
    g_MainForm.RemoveAllControls();
    g_TextObjectList.DeleteAll();
    ASSERT_EQ(t.Call(530, {0, outs, 0, 0, 0}), 0u);
    EXPECT_EQ(t.Load(outs), 0u);
    EXPECT_EQ(t.Call(528, {}), 0u);
    EXPECT_EQ(t.Call(529, {}), 0u);
    g_TextObjectList.SetScene(nullptr);
}

TEST(OwnedListNatives, AnEndedImageOrCanvasEndsWhatDrawsIntoIt)
{
    ListsHost t;
    CImage* image = nullptr;
    const uint32_t direct = t.Image(&image);
    const uint32_t sheet = t.Sheet(direct);
    ASSERT_NE(t.Call(538, {sheet, 0, 0, 0, 0, 0, 0}), 0u);
    t.Run(0);
    // The script deletes the image the sheet draws into: its animation ends, the sheet forgets it.
    ASSERT_EQ(t.f.screen->DeleteSurface(image), 0);
    t.Run(150);
    EXPECT_EQ(t.objects.GetCount(), 0u);
    EXPECT_EQ(t.host.Object<CCellSheet>(sheet)->GetSource(), nullptr);
    EXPECT_EQ(t.Call(538, {sheet, 0, 0, 0, 0, 0, 0}), 0u); // nothing to draw into now

    const uint32_t kag = t.Call(510, {t.Str("ANIM.KAG"), 0});
    const uint32_t canvas = t.Canvas();
    ASSERT_NE(t.Call(514, {kag, canvas, 0, kEndless, 0, 0, 0, 0, 0, 0, 0}), 0u);
    t.Run(0);
    ASSERT_EQ(t.f.screen->DeleteSurface(t.host.Object<CSurface>(canvas)), 0);
    t.Run(150);
    EXPECT_EQ(t.objects.GetCount(), 0u);
}
