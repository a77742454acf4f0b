// Cell sheets and the cell-animation task: the sheet's setup and users; the task's cells step by
// step in each play mode, loops and end actions, pauses, MoveTo; drawn pixels against the sheet's
// cell (copies) and BlendAlphaOnAlpha of it, the one-pass restore and blend against the two
// operations; the users' redraws reaching the scene's region.
#include <gtest/gtest.h>

#include <set>
#include <vector>

#include "drawing/anim_task.h"
#include "drawing/cell_sheet.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "drawing_test_util.h"
#include "platform/timer_manager.h"
#include "raster/compose_ops.h"
#include "winapi/simd_level.h"

namespace {

using drawing_test::Px;
using drawing_test::RandomImage;

constexpr int kCellW = 8;
constexpr int kCellH = 6;

// A 64×48 scene; the sprite at (5, 5) shows a 40×30 source image, which the cells are drawn into
// at (3, 2); the sheet picture holds 4 cells of 8×6.
class CellAnimTest : public drawing_test::DrawingEnvironment {
protected:
    void SetUp() override
    {
        DrawingEnvironment::SetUp();
        ASSERT_EQ(target.Create(64, 48, 32, 0), 0);
        ASSERT_EQ(scene.SetTarget(&target, false), 0);
        source = RandomImage(40, 30, 32, 7);
        picture = RandomImage(4 * kCellW, kCellH, 32, 8);
        picture->SetAlphaFlag(true);
        ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 5, 5), 0);
        ASSERT_EQ(scene.GetList().Insert(&sprite, 1, 0), 0);
        background = RandomImage(40, 30, 32, 7); // the source as it was
    }

    // Sets the sheet up on the sprite (mode 2: the background is kept) and plays it.
    void MakeSheet(int32_t cells, uint8_t playMode, uint8_t drawMode, int32_t endAction)
    {
        ASSERT_EQ(sheet.SetImage(picture.get(), kCellW, kCellH, &sprite, nullptr, 3, 2, 0, 2, false), 0);
        sheet.SetAnimation(cells, 100, playMode, drawMode, endAction);
    }

    // The cell shown, read back from the pixels of the source at the sheet's position.
    int ShownCell() const
    {
        for (int c = 0; c < 4; ++c) {
            bool same = true;
            for (int y = 0; y < kCellH && same; ++y)
                for (int x = 0; x < kCellW && same; ++x)
                    same = Px(*source, sheet.GetX() + x, sheet.GetY() + y) == Px(*picture, c * kCellW + x, y);
            if (same)
                return c;
        }
        return -1;
    }
    bool BackgroundShown() const
    {
        for (int y = 0; y < kCellH; ++y)
            for (int x = 0; x < kCellW; ++x)
                if (Px(*source, sheet.GetX() + x, sheet.GetY() + y)
                    != Px(*background, sheet.GetX() + x, sheet.GetY() + y))
                    return false;
        return true;
    }

    drawing_test::VirtualClockAt clock{1000};
    CImage target;
    CScene scene;
    CSprite sprite;
    std::unique_ptr<CImage> source, picture, background;
    CCellSheet sheet;
    CTimerManager timers;
};

TEST_F(CellAnimTest, SheetSetupAndUsers)
{
    auto wide = RandomImage(100, 10, 32, 1);
    EXPECT_EQ(sheet.SetImage(wide.get(), 32, 10, nullptr, source.get(), 0, 0, 1, 0, false), 0);
    EXPECT_EQ(sheet.GetColumns(), 3);
    EXPECT_EQ(sheet.GetCellCount(), 3);
    EXPECT_EQ(sheet.GetWorkImage(), nullptr);
    EXPECT_EQ(sheet.GetKeyMode(), 1);
    source->SetColorKeyAt(0, 0);
    EXPECT_EQ(sheet.Setup(32, 10, nullptr, source.get(), 0, 0, 1, 2, false), 0);
    EXPECT_EQ(sheet.GetKeyMode(), 2);
    ASSERT_NE(sheet.GetWorkImage(), nullptr);
    EXPECT_EQ(sheet.GetWorkImage()->GetWidth(), 32);
    EXPECT_EQ(sheet.GetWorkImage()->GetBitsPerPixel(), 32);

    struct Case {
        const char* name;
        int code;
    };
    CSprite empty;
    const Case cases[] = {
        {"null image", sheet.SetImage(nullptr, 8, 6, nullptr, source.get(), 0, 0, 0, 0, false) == 1 ? 1 : -9},
        {"cell height 0", sheet.SetImage(wide.get(), 8, 0, nullptr, source.get(), 0, 0, 0, 0, false)},
        {"cell width 0", sheet.SetImage(wide.get(), 0, 6, nullptr, source.get(), 0, 0, 0, 0, false)},
        {"no direct image", sheet.SetImage(wide.get(), 8, 6, nullptr, nullptr, 0, 0, 0, 0, false)},
        {"record without image", sheet.SetImage(wide.get(), 8, 6, &empty, nullptr, 0, 0, 0, 0, false) == 3 ? 1 : -9},
        {"no file name", sheet.LoadImage(nullptr, 8, 6, nullptr, source.get(), 0, 0, 0, 0, false, false, 0)},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.code, 1) << c.name;

    // The origin from the picture's placement.
    wide->SetUserValue1(11);
    wide->SetUserValue2(12);
    ASSERT_EQ(sheet.SetImage(wide.get(), 32, 10, nullptr, source.get(), kCellSheetOriginFromPicture, 0, 0, 0, false),
              0);
    EXPECT_EQ(sheet.GetX(), 11);
    EXPECT_EQ(sheet.GetY(), 12);

    // Swapping needs the same size and depth.
    auto wider = RandomImage(101, 10, 32, 2);
    auto same = RandomImage(100, 10, 32, 3);
    EXPECT_EQ(sheet.SwapImage(wider.get()), 2);
    EXPECT_EQ(sheet.GetPicture(), wide.get());
    EXPECT_EQ(sheet.SwapImage(same.get()), 0);
    EXPECT_EQ(sheet.GetPicture(), same.get());
    EXPECT_EQ(sheet.SwapImage(nullptr), 1);

    // Users: once each; a record joins them.
    sheet.Clear();
    EXPECT_EQ(sheet.SwapImage(same.get()), 1);
    sheet.AddUser(&sprite);
    sheet.AddUser(&sprite);
    EXPECT_EQ(sheet.GetUsers().size(), 1u);
    sheet.RemoveUser(&sprite);
    EXPECT_TRUE(sheet.GetUsers().empty());
    ASSERT_EQ(sheet.SetImage(wide.get(), 32, 10, &sprite, nullptr, 0, 0, 0, 0, false), 0);
    EXPECT_EQ(sheet.GetSource(), source.get());
    EXPECT_EQ(sheet.GetUsers().size(), 1u);
}

TEST_F(CellAnimTest, SetupCodes)
{
    CCellSheet noSource;
    CCellSheet zeroFrame;
    ASSERT_EQ(zeroFrame.SetImage(picture.get(), kCellW, kCellH, nullptr, source.get(), 0, 0, 0, 0, false), 0);
    zeroFrame.SetAnimation(4, 0, 0, 0, 1);
    CCellSheet noCells; // cells wider than the picture: no columns
    ASSERT_EQ(noCells.SetImage(picture.get(), 100, kCellH, nullptr, source.get(), 0, 0, 0, 0, false), 0);
    noCells.SetAnimation(0, 100, 0, 0, 1);
    MakeSheet(4, 0, 0, 1);
    CSprite empty;
    struct Case {
        const char* name;
        CTimerManager* timers;
        CCellSheet* sheet;
        CSprite* target;
        int code;
    };
    const Case cases[] = {
        {"no timers", nullptr, &sheet, nullptr, 1},      {"no sheet", &timers, nullptr, nullptr, 1},
        {"no source", &timers, &noSource, nullptr, 1},   {"frame time 0", &timers, &zeroFrame, nullptr, 1},
        {"no cells", &timers, &noCells, nullptr, 1},     {"target without image", &timers, &sheet, &empty, 2},
        {"ok", &timers, &sheet, nullptr, 0},
    };
    for (const Case& c : cases) {
        auto* task = new CAnimTask;
        const int code = task->Setup(c.timers, c.sheet, c.target, 0, 0, 0, 0, nullptr);
        EXPECT_EQ(code, c.code) << c.name;
        if (code != 0)
            delete task;
    }
    auto* again = new CAnimTask;
    ASSERT_EQ(again->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, nullptr), 0);
    EXPECT_EQ(again->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, nullptr), 2); // already listed
}

TEST_F(CellAnimTest, ForwardAndBackAndForthCellsStepByStep)
{
    struct Case {
        uint8_t playMode;
        uint32_t cycle;
        std::vector<int> cells; // at 0, 150, 250, ...
    };
    // The step that completes a cycle shows its last cell, and the next cycle starts at that step.
    const Case cases[] = {{0, 400, {0, 1, 2, 3, 3, 1}}, {1, 700, {0, 1, 2, 3, 2, 1, 0, 0, 1}}};
    for (const Case& c : cases) {
        CCellSheet s;
        ASSERT_EQ(s.SetImage(picture.get(), kCellW, kCellH, nullptr, source.get(), 3, 2, 0, 0, false), 0);
        s.SetAnimation(4, 100, c.playMode, 0, 1);
        CTimerManager t;
        auto* task = new CAnimTask;
        ASSERT_EQ(task->Setup(&t, &s, nullptr, 0, 0, 0, 0, nullptr), 0);
        EXPECT_EQ(task->GetCycleLength(), c.cycle);
        for (size_t i = 0; i < c.cells.size(); ++i) {
            t.RunDue(1000 + 100 * static_cast<uint32_t>(i) + 50 * (i > 0));
            EXPECT_EQ(task->GetCurrentCell(), c.cells[i]) << "mode " << int(c.playMode) << " step " << i;
        }
    }
}

TEST_F(CellAnimTest, LoopsFinishWithTheEndAction)
{
    struct Case {
        int32_t action;
        int shown; // -1: the background
    };
    const Case cases[] = {{1, 3}, {0, 0}, {-2, 2}, {2, -1}, {5, -1}};
    for (const Case& c : cases) {
        source = RandomImage(40, 30, 32, 7);
        ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 5, 5), 0);
        MakeSheet(4, 0, 0, c.action);
        CAnimTask* task = new CAnimTask;
        task->SetOwnerSlot(&task);
        ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 3, 50, 0, 0, nullptr), 0);
        // Three cycles of 400 ms with 50 ms waits between them.
        uint32_t now = 1000;
        int steps = 0;
        for (; task && steps < 100; ++steps, now += 25)
            timers.RunDue(now);
        EXPECT_EQ(task, nullptr) << "action " << c.action;
        EXPECT_EQ(now - 25, 1000u + 3 * 400 + 2 * 50) << "action " << c.action;
        if (c.shown >= 0)
            EXPECT_EQ(ShownCell(), c.shown) << "action " << c.action;
        else
            EXPECT_TRUE(BackgroundShown()) << "action " << c.action;
    }
}

TEST_F(CellAnimTest, DrawnPixelsAndRedraws)
{
    // Copy of a picture with alpha, copy keeping alpha without it, and the blend over the
    // restored background.
    for (int mode = 0; mode < 3; ++mode) {
        SCOPED_TRACE("mode " + std::to_string(mode));
        source = RandomImage(40, 30, 32, 7);
        ASSERT_EQ(sprite.SetImage(source.get(), nullptr, 5, 5), 0);
        picture->SetAlphaFlag(mode == 0);
        MakeSheet(4, 0, mode == 2 ? 1 : 0, 1);
        auto* task = new CAnimTask;
        ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, nullptr), 0);
        scene.ClearDirtyState();
        timers.RunDue(1000);
        timers.RunDue(1150); // cell 1
        ASSERT_EQ(task->GetCurrentCell(), 1);
        // The expected pixels, made from the background.
        auto want = RandomImage(40, 30, 32, 7);
        const RECT cell{kCellW, 0, 2 * kCellW, kCellH};
        if (mode == 0)
            want->Copy(picture.get(), 3, 2, &cell, false);
        else if (mode == 1)
            want->CopyColorKeepAlpha(picture.get(), 3, 2, &cell);
        else
            BlendAlphaOnAlpha(*want, picture.get(), 255, 3, 2, &cell);
        for (int y = 0; y < 30; ++y)
            for (int x = 0; x < 40; ++x)
                ASSERT_EQ(Px(*source, x, y), Px(*want, x, y)) << x << "," << y;
        // The sprite (the sheet's user) had the cell's rectangle redrawn in the scene.
        ASSERT_GT(scene.GetRegion().Count(), 0);
        const RECT& bounds = scene.GetRegion().Bounds();
        EXPECT_EQ(bounds.left, 5 + 3);
        EXPECT_EQ(bounds.top, 5 + 2);
        EXPECT_EQ(bounds.right, 5 + 3 + kCellW);
        EXPECT_EQ(bounds.bottom, 5 + 2 + kCellH);
        timers.CancelAll();
    }
    picture->SetAlphaFlag(true);

    // A target sprite: drawn into its image and redrawn through it.
    auto other = RandomImage(20, 20, 32, 9);
    CSprite targetSprite;
    ASSERT_EQ(targetSprite.SetImage(other.get(), nullptr, 30, 30), 0);
    ASSERT_EQ(scene.GetList().Insert(&targetSprite, 2, 0), 0);
    MakeSheet(4, 0, 0, 1);
    auto* task = new CAnimTask;
    ASSERT_EQ(task->Setup(&timers, &sheet, &targetSprite, 0, 0, 0, 0, nullptr), 0);
    scene.ClearDirtyState();
    timers.RunDue(1000);
    EXPECT_EQ(Px(*other, 3, 2), Px(*picture, 0, 0));
    EXPECT_EQ(scene.GetRegion().Bounds().left, 33);
    EXPECT_EQ(scene.GetRegion().Bounds().top, 32);
}

TEST_F(CellAnimTest, PausesKeepTheCell)
{
    MakeSheet(4, 0, 0, 1);
    auto* task = new CAnimTask;
    ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, nullptr), 0);
    timers.RunDue(1000);
    timers.RunDue(1250);
    ASSERT_EQ(task->GetCurrentCell(), 2);
    // The owner's pause: held for 5 s, then on at the same place in the cycle.
    task->RequestPause();
    timers.RunDue(1260);
    timers.RunDue(6000);
    EXPECT_EQ(task->GetCurrentCell(), 2);
    task->RequestResume();
    timers.RunDue(6260);
    EXPECT_EQ(task->GetCurrentCell(), 2);
    timers.RunDue(6300);
    EXPECT_EQ(task->GetCurrentCell(), 3);
    // The timed pause: the cycle moves by the paused time and the cell is drawn again.
    task->Pause(6310);
    timers.RunDue(9000);
    EXPECT_EQ(task->GetCurrentCell(), 3);
    task->Resume(11310);
    EXPECT_EQ(task->GetCurrentCell(), -1);
    timers.RunDue(11330);
    EXPECT_EQ(task->GetCurrentCell(), 3);
    timers.RunDue(11520); // the cycle completes here
    EXPECT_EQ(task->GetCurrentCell(), 3);
    timers.RunDue(11530);
    EXPECT_EQ(task->GetCurrentCell(), 0);
}

TEST_F(CellAnimTest, MoveToCarriesTheBackground)
{
    MakeSheet(4, 0, 0, 1);
    auto* task = new CAnimTask;
    ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, nullptr), 0);
    timers.RunDue(1000);
    ASSERT_EQ(ShownCell(), 0);
    EXPECT_EQ(task->MoveTo(20, 15, true), 0);
    // The old place shows the background again; the new place's background was saved.
    for (int y = 0; y < kCellH; ++y)
        for (int x = 0; x < kCellW; ++x) {
            ASSERT_EQ(Px(*source, 3 + x, 2 + y), Px(*background, 3 + x, 2 + y));
            ASSERT_EQ(Px(*sheet.GetWorkImage(), x, y), Px(*background, 20 + x, 15 + y));
        }
    timers.RunDue(1010);
    EXPECT_EQ(task->GetCurrentCell(), 0);
    EXPECT_EQ(sheet.GetX(), 20);
    CAnimTask unset;
    EXPECT_EQ(unset.MoveTo(1, 1, true), 1);
}

TEST_F(CellAnimTest, RandomCellsStayOnTheSheetAndChange)
{
    MakeSheet(3, 2, 0, 1); // 3 cells: an AND of the random value would name cell 3
    SubtractiveRandomState state;
    SeedSubtractiveRandom(state, 12345);
    auto* task = new CAnimTask;
    ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, &state), 0);
    EXPECT_EQ(task->GetCycleLength(), 0u);
    int previous = -1;
    std::set<int> seen;
    for (uint32_t now = 1000; now < 1000 + 100 * 200; now += 100) {
        timers.RunDue(now);
        const int cell = task->GetCurrentCell();
        if (now == 1000)
            continue;
        ASSERT_GE(cell, 0);
        ASSERT_LT(cell, 3);
        ASSERT_NE(cell, previous);
        previous = cell;
        seen.insert(cell);
    }
    EXPECT_EQ(seen.size(), 3u);
}

TEST_F(CellAnimTest, WaitsBetweenCycles)
{
    MakeSheet(4, 0, 0, 1);
    auto* task = new CAnimTask;
    // A random first wait with range 0 is the loop wait alone.
    ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 0, 300, 0, 1, nullptr), 0);
    EXPECT_EQ(task->GetWait(), 300u);
    timers.RunDue(1000);
    timers.RunDue(1299);
    EXPECT_EQ(task->GetCurrentCell(), -1);
    timers.RunDue(1300);
    EXPECT_EQ(task->GetCurrentCell(), 0);
    // With a range, each wait lies in loop wait .. loop wait + range - 1.
    timers.CancelAll();
    task = new CAnimTask;
    SubtractiveRandomState state;
    SeedSubtractiveRandom(state, 99);
    ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 0, 300, 50, 1, &state), 0);
    EXPECT_GE(task->GetWait(), 300u);
    EXPECT_LT(task->GetWait(), 350u);
}

} // namespace

namespace {

// DrawFrameTo puts the task's current cell into another sprite's image at the sheet's position
// and has that sprite redraw it; RedrawUsers has every user of the sheet redraw the cell's
// rectangle.
TEST_F(CellAnimTest, DrawFrameToAndRedrawUsers)
{
    MakeSheet(4, 0, 0, 1);
    auto* task = new CAnimTask;
    ASSERT_EQ(task->Setup(&timers, &sheet, nullptr, 0, 0, 0, 0, nullptr), 0);
    auto other = RandomImage(20, 20, 32, 9);
    CSprite copy;
    ASSERT_EQ(copy.SetImage(other.get(), nullptr, 40, 30), 0);
    ASSERT_EQ(scene.GetList().Insert(&copy, 2, 0), 0);
    EXPECT_EQ(task->DrawFrameTo(&copy), 1) << "no cell shown yet";
    timers.RunDue(1000);
    timers.RunDue(1250); // cell 2
    ASSERT_EQ(task->GetCurrentCell(), 2);
    scene.ClearDirtyState();
    EXPECT_EQ(task->DrawFrameTo(&copy), 0);
    for (int y = 0; y < kCellH; ++y)
        for (int x = 0; x < kCellW; ++x)
            ASSERT_EQ(Px(*other, 3 + x, 2 + y), Px(*picture, 2 * kCellW + x, y)) << x << "," << y;
    EXPECT_EQ(scene.GetRegion().Bounds().left, 40 + 3);
    EXPECT_EQ(scene.GetRegion().Bounds().top, 30 + 2);
    CSprite bare;
    EXPECT_EQ(task->DrawFrameTo(&bare), 1);
    EXPECT_EQ(task->DrawFrameTo(nullptr), 1);

    // Both users (the sprite the sheet was set on, and a second one) redraw the rectangle.
    sheet.AddUser(&copy);
    scene.ClearDirtyState();
    CAnimTask::RedrawUsers(sheet);
    ASSERT_EQ(scene.GetRegion().Count(), 2);
    const RECT& bounds = scene.GetRegion().Bounds();
    EXPECT_EQ(bounds.left, 5 + 3);
    EXPECT_EQ(bounds.top, 5 + 2);
    EXPECT_EQ(bounds.right, 40 + 3 + kCellW);
    EXPECT_EQ(bounds.bottom, 30 + 2 + kCellH);
    sheet.RemoveUser(&copy);
    timers.CancelAll();
}

} // namespace

namespace {

// A cell blended over the restored background in one pass gives what RestoreBackground and then
// BlendAlphaOnAlpha give, and a cell copy what CImage::Copy gives (plain kernels, no library), with
// the library loaded or not, the SIMD kernels on or off, at every SIMD level: odd widths, clipping
// on every side or by any clip rectangle, an opaque background, and the layouts left to the general operations (a shorter
// background, a keyed background or picture, a picture that is the image drawn into).
TEST_F(CellAnimTest, CellDrawsMatchTheGeneralOperations)
{
    struct Case {
        const char* name;
        int cellW, cellH, pictureH;
        LONG x, y;
        bool keyedWork, keyedPicture, intoPicture;
        bool opaqueBackground = false; // all but every fourth row of the image opaque
        bool clipPicture = false;      // the picture's clip cuts the cell's first row
        bool clipImage = false;        // the image's clip cuts the drawn cell's last column
        bool clipWork = false;         // the saved background's clip cuts its first column
    };
    const Case cases[] = {
        {"inside, 13 wide", 13, 7, 7, 3, 2, false, false, false},
        {"one pixel wide", 1, 9, 9, 20, 4, false, false, false},
        {"33 wide, rows of 16, 8 and 1", 33, 5, 5, 2, 20, false, false, false},
        {"cut on the left and top", 17, 11, 11, -6, -4, false, false, false},
        {"cut on the right and bottom", 24, 12, 12, 30, 25, false, false, false},
        {"wholly outside", 8, 6, 6, 50, 2, false, false, false},
        {"background shorter than the cell", 16, 4, 9, 5, 5, false, false, false},
        {"keyed background", 16, 9, 9, 5, 5, true, false, false},
        {"keyed picture", 16, 9, 9, 5, 5, false, true, false},
        {"drawn into the picture", 12, 6, 6, 2, 0, false, false, true},
        {"over an opaque background, 37 wide", 37, 9, 9, 1, 3, false, false, false, true},
        {"picture clipped", 16, 9, 9, 5, 5, false, false, false, false, true},
        {"image clipped", 16, 9, 9, 5, 5, false, false, false, false, false, true},
        {"background clipped", 16, 9, 9, 5, 5, false, false, false, false, false, false, true},
    };
    enum Way { kRestoreThenBlend, kOnePassBlend, kCopy, kCellCopy };
    CPixelLibrary* const library = g_pPixelLib;
    const uint8_t savedMmx = g_bUseMmx;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Pictures with runs wholly clear and wholly opaque (the kernels' skipped groups) among
        // random alpha.
        auto cells = RandomImage(3 * c.cellW, c.pictureH, 32, 21);
        for (int y = 0; y < c.pictureH; ++y)
            for (int x = 0; x < 3 * c.cellW; ++x)
                if (y % 3 != 2)
                    drawing_test::SetPx(*cells, x, y, (Px(*cells, x, y) & 0xFFFFFF) | (y % 3 == 0 ? 0xFF000000u : 0));
        if (c.keyedPicture)
            cells->SetColorKeyValue(Px(*cells, c.cellW, 0) & 0xFFFFFF);
        if (c.clipPicture)
            *cells->GetClipRectPtr() = RECT{0, 1, cells->GetWidth(), c.pictureH};
        const RECT cell{c.cellW, 0, 2 * c.cellW, c.pictureH};
        const auto run = [&](bool useLibrary, bool mmx, Way way) {
            SetPixelLibrary(useLibrary ? library : nullptr);
            g_bUseMmx = mmx ? 1 : 0;
            auto image = RandomImage(40, 30, 32, 22);
            if (c.opaqueBackground)
                for (int y = 0; y < image->GetHeight(); ++y)
                    for (int x = 0; y % 4 != 3 && x < image->GetWidth(); ++x)
                        drawing_test::SetPx(*image, x, y, Px(*image, x, y) | 0xFF000000u);
            CImage* picture = c.intoPicture ? image.get() : cells.get();
            if (c.clipImage)
                *image->GetClipRectPtr() = RECT{0, 0, c.x + c.cellW - 1, image->GetHeight()};
            CCellSheet cellSheet;
            EXPECT_EQ(cellSheet.SetImage(picture, c.cellW, c.cellH, nullptr, image.get(), c.x, c.y, 0, 2, false), 0);
            if (c.keyedWork)
                cellSheet.GetWorkImage()->SetColorKeyValue(Px(*image, 0, 0) & 0xFFFFFF);
            cellSheet.SaveBackground(image.get());
            if (c.clipWork)
                *cellSheet.GetWorkImage()->GetClipRectPtr() = RECT{1, 0, c.cellW, c.cellH};
            if (way == kRestoreThenBlend || way == kOnePassBlend)
                image->FillRect32(0x80402010u, nullptr); // what the last cell left
            image->SetChanged(false);
            switch (way) {
            case kRestoreThenBlend:
                cellSheet.RestoreBackground(image.get());
                BlendAlphaOnAlpha(*image, picture, 255, c.x, c.y, &cell);
                break;
            case kOnePassBlend: cellSheet.RestoreAndBlendCell(image.get(), cell); break;
            case kCopy: image->Copy(picture, c.x, c.y, &cell, false); break;
            case kCellCopy: cellSheet.CopyCell(image.get(), cell); break;
            }
            return image;
        };
        for (const auto& [reference, tried] : {std::pair{kRestoreThenBlend, kOnePassBlend}, std::pair{kCopy, kCellCopy}}) {
            const auto want = run(false, false, reference);
            for (const bool useLibrary : {false, true})
                for (const bool mmx : {false, true})
                    for (SimdLevel level : kAllSimdLevels) {
                        SCOPED_TRACE(testing::Message() << (tried == kCellCopy ? "copy" : "blend") << ", library "
                                                        << useLibrary << ", SIMD kernels " << mmx << ", level "
                                                        << static_cast<int>(level));
                        ScopedSimdLevel scoped(level);
                        const auto got = run(useLibrary, mmx, tried);
                        EXPECT_EQ(drawing_test::FirstDifference(*got, *want), -1);
                        EXPECT_EQ(got->IsChanged(), want->IsChanged());
                    }
        }
    }
    g_bUseMmx = savedMmx;
    SetPixelLibrary(library);
}

} // namespace
