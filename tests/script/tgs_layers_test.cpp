// The scenario frame's layers and sprites on pictures made by ImageMagick and `elg encode`:
// background variants, names, reuse by name, colour modes against the raster operations, flips,
// letterbox bands, placing, priorities, shared pictures, the offset table of a picture's
// extension chain, command 24 over a placed picture, and whole scenes against references
// composed by the test.
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstring>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "authoring/effect_data.h"
#include "authoring/file_io.h"
#include "authoring/tob_packer.h"
#include "drawing/scene.h"
#include "effects/effect_rows.h"
#include "effects/bg_anime.h"
#include "effects/layer_effect.h"
#include "files/object_plugin_manager.h"
#include "platform/timer_manager.h"
#include "drawing/sprite.h"
#include "files/file_manager.h"
#include "files/gll_manager.h"
#include "files/path_utils.h"
#include "files/temp_folder.h"
#include "raster/fill_ops.h"
#include "raster/image.h"
#include "raster/pixel_lib_ops.h"
#include "script/tgs_layers.h"
#include "sound/sound_player.h"
#include "support/tgs_engine_host.h"
#include "winapi/text.h"

using tgsengine::Bench;

namespace {

bool HaveConvert()
{
    return std::system("convert -version >/dev/null 2>&1") == 0;
}

// The pictures of the tests, made once: ImageMagick draws them, the tool encodes them.
class Pictures {
public:
    Pictures()
    {
        ok = HaveConvert() && Make("BG01A", "-size 800x600 gradient:'#204080-#f0c020' -alpha off") &&
             Make("BG12B", "-size 800x600 gradient:red-blue -alpha off") &&
             Make("BG02", "-size 640x480 xc:'#336699' -alpha off") &&
             Make("CH1A", "-size 120x300 gradient:'rgba(255,0,0,1)-rgba(0,0,255,0.4)'") &&
             Make("CH2A", "-size 90x240 radial-gradient:'rgba(0,255,0,1)-rgba(255,255,0,0.2)'") &&
             Make("CH3A", "-size 100x200 xc:'rgba(200,40,220,0.7)'") &&
             Make("CH4A", "-size 80x160 gradient:'rgba(9,99,199,1)-rgba(255,255,255,0.5)'") &&
             Make("CH5A", "-size 70x150 xc:'rgba(250,140,20,1)'") &&
             Make("SYS\\PLACED", "-size 40x50 xc:'rgba(20,20,20,1)'", "--pos 10,20") &&
             Make("SYS\\BLOCKS", "-size 40x50 xc:'rgba(20,20,20,1)'", "--ext 3:'" + dir.Linux("table.bin") + "'",
                  {0x30, 0x00, 5, 0, 0xF6, 0xFF, 0x31, 0x00, 0, 0, 0x07, 0x00}) &&
             Make(std::string(31, 'L'), "-size 16x16 xc:'#808080' -alpha off");
        std::string error;
        if (ok)
            ok = effect_data::Write(dir.Linux(""), 3, &error);
        if (ok)
            ok = SetBaseFolder(dir.Windows().c_str()) == 0 && RegisterBuiltinImageLoaders(loaders) == 0;
        g_pFileManager = &manager;
        g_pGllManager = &loaders;
    }
    ~Pictures()
    {
        g_pGllManager = nullptr;
        g_pFileManager = nullptr;
    }
    // The picture as the engine loads it.
    std::unique_ptr<CImage> Load(const std::string& name) const
    {
        auto image = std::make_unique<CImage>();
        EXPECT_EQ(image->Load(name.c_str(), nullptr, 0, 0), 0) << name;
        return image;
    }

    bool ok = false;
    TempFolder dir;

private:
    // NAME.ELG (or NAME without extension) from convert's drawing; a table file when given.
    bool Make(const std::string& name, const std::string& draw, const std::string& options = "",
              const std::vector<BYTE>& table = {})
    {
        std::string linux = name;
        for (char& c : linux)
            if (c == '\\')
                c = '/';
        if (!table.empty() && !WriteWholeFile(dir.Linux("table.bin"), table.data(), table.size()))
            return false;
        std::filesystem::create_directories(std::filesystem::path(dir.Linux(linux)).parent_path());
        const std::string png = dir.Linux("source.png");
        const std::string target = dir.Linux(linux + (name.size() == 31 ? "" : ".ELG"));
        return std::system(("convert " + draw + " '" + png + "' 2>/dev/null").c_str()) == 0 &&
               std::system((std::string(TESSARO_BINARY_DIR) + "/tools/tessaro-tool elg encode '" + png + "' '" +
                            target + "' " + options + " 2>/dev/null")
                               .c_str()) == 0;
    }

    CFileManager manager;
    CGllManager loaders;
};

class TgsLayers : public ::testing::Test {
protected:
    static void SetUpTestSuite() { s_pictures = new Pictures; }
    static void TearDownTestSuite()
    {
        delete s_pictures;
        s_pictures = nullptr;
    }
    void SetUp() override
    {
        if (!s_pictures->ok)
            GTEST_SKIP() << "convert or the tool is missing";
        b = std::make_unique<Bench>();
        f = b->frame.get();
    }
    void TearDown() override
    {
        if (b)
            b->frame->ClearScene();
        b.reset();
    }
    const Pictures& P() const { return *s_pictures; }
    // A new bench, then source run on it → RunText's result.
    int RunFresh(const std::string& source)
    {
        b->frame->ClearScene();
        b.reset();
        b = std::make_unique<Bench>();
        f = b->frame.get();
        return b->Run(source);
    }
    // The front scene composed into a picture of the screen's size.
    std::unique_ptr<CImage> Render()
    {
        auto out = std::make_unique<CImage>();
        EXPECT_EQ(out->Create(800, 600, 32, 0), 0);
        EXPECT_EQ(f->PageScene(0)->RenderToImage(out.get(), 0, kDrawAny, false), 0);
        return out;
    }
    // The largest difference of two pictures' colour bytes.
    static int Difference(const CImage& a, const CImage& b)
    {
        if (a.GetWidth() != b.GetWidth() || a.GetHeight() != b.GetHeight())
            return 256;
        int worst = 0;
        for (LONG y = 0; y < a.GetHeight(); ++y) {
            const BYTE* p = a.GetRowPointer(y);
            const BYTE* q = b.GetRowPointer(y);
            for (LONG x = 0; x < a.GetWidth() * 4; ++x)
                if (x % 4 != 3)
                    worst = std::max(worst, std::abs(p[x] - q[x]));
        }
        return worst;
    }

    static Pictures* s_pictures;
    std::unique_ptr<Bench> b;
    CTgsFrame* f = nullptr;
};
Pictures* TgsLayers::s_pictures = nullptr;

// ---- helpers that need no frame ----

TEST(TgsLayerNames, BackgroundVariantsFromTheTable)
{
    // Group 1 (A) lists 3 and 7, group 2 (B) lists 12, group 3 (C) is empty.
    const std::vector<int32_t> table = {-1, 3, 7, -2, 12, -3, 0};
    const std::vector<int32_t> emptyB = {-1, 3, -2, -3, 5, 0};
    struct Case {
        const char* name;
        const std::vector<int32_t>* table;
        uint32_t variant;
    };
    const Case cases[] = {
        {"BG12B", &table, 2},         {"bg12b", &table, 2},      {"SYS\\BG12B.ELG", &table, 2},
        {"BG07A", &table, 1},         {"BG3a_x", &table, 1},     {"BG13B", &table, 0}, // not listed
        {"BG99C", &table, 2},         {"BG12A", &table, 0},      // C is empty: every number
        {"BG40B", &emptyB, 2},        {"BG12", &table, 0},       {"BGXB", &table, 0},
        {"BG12D", &table, 0},         {"CG12B", &table, 0},      {"BG99999999999B", &table, 0},
        {"", &table, 0},              {"BG12B", nullptr, 0},
    };
    const std::vector<int32_t> none;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(BackgroundVariant(c.name, c.table != nullptr ? *c.table : none), c.variant);
    }
}

TEST(TgsLayerNames, NamesAreCutToThirtyOneBytesOnACharacterBoundary)
{
    const std::string kanji = winapi::Utf8ToSjis("漢");
    struct Case {
        std::string name, stored;
    };
    const Case cases[] = {
        {std::string(40, 'N'), std::string(31, 'N')},
        {std::string(31, 'N'), std::string(31, 'N')},
        {std::string(30, 'N') + kanji, std::string(30, 'N')},
        {std::string(29, 'N') + kanji + "x", std::string(29, 'N') + kanji},
        {"", ""},
    };
    for (const Case& c : cases) {
        char field[32];
        std::memset(field, 0x55, sizeof field);
        CopyRecordName(field, c.name.c_str());
        EXPECT_EQ(std::string(field), c.stored);
    }
    char field[32] = "old";
    CopyRecordName(field, nullptr);
    EXPECT_EQ(field[0], 0);
}

TEST(TgsLayerNames, OffsetTableOfAnExtensionChain)
{
    // tag, length (counting itself), entries {key, -, offset}.
    const std::vector<uint8_t> chain = {9, 22, 0, 0, 0, 1, 0, 0, 0, 0xF6, 0xFF, 2, 0, 0, 0, 30, 0, 4, 0, 0, 0, 5, 0};
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        int32_t key, offset;
    };
    const Case cases[] = {
        {"first", chain, 1, -10},
        {"second", chain, 2, 30},
        {"last", chain, 4, 5},
        {"missing", chain, 3, 0},
        {"length past the chain: whole entries only", {9, 200, 0, 0, 0, 1, 0, 0, 0, 7, 0, 2, 0, 0}, 1, 7},
        {"entry cut by the chain's end", {9, 200, 0, 0, 0, 1, 0, 0, 0, 7, 0, 2, 0, 0}, 2, 0},
        {"entry cut by the block's length", {9, 12, 0, 0, 0, 1, 0, 0, 0, 7, 0, 2, 0, 0, 0, 8, 0}, 2, 0},
        {"length below four", {9, 3, 0, 0, 0, 1, 0, 0, 0, 7, 0}, 1, 0},
        {"header only", {9, 4, 0, 0}, 1, 0},
        {"empty", {}, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(FindPictureOffset(c.bytes.data(), c.bytes.size(), c.key), c.offset);
    }
}

// Copies between records take the listed fields and leave the pictures, sprites and effects.
TEST(TgsLayerRecords, CopiesTakeTheFieldsBeforeThePicture)
{
    TgsPageRecord from;
    std::strcpy(from.name, "BG12B.ELG");
    std::strcpy(from.layerName, "ANIME/BG.KAD");
    from.variant = 2, from.colour = 0x102030, from.colourMode = 3, from.flipX = 1, from.letterbox = 1;
    from.x = -4, from.y = 9, from.viewLeft = 10, from.viewTop = 20, from.viewRight = 110, from.viewBottom = 70;
    from.angle = 64, from.frame = 5, from.zoom = 1.25, from.shown = 1;
    from.image = reinterpret_cast<CImage*>(0x10);
    TgsPageRecord to;
    to.shown = 0;
    to.CopyFieldsFrom(from);
    EXPECT_STREQ(to.name, from.name);
    EXPECT_STREQ(to.layerName, from.layerName);
    EXPECT_EQ(to.LogWords(), from.LogWords());
    EXPECT_EQ(to.LogWords(), (std::array<int32_t, 11>{-4, 9, 10, 20, 100, 50, 0x102030, 3, 5, 5, 1250}));
    EXPECT_EQ(to.variant, 2u);
    EXPECT_EQ(to.angle, 64);
    EXPECT_EQ(to.image, nullptr);
    EXPECT_EQ(to.shown, 0);

    TgsSpriteRecord sprite;
    std::strcpy(sprite.name, "CH1A.ELG");
    sprite.character = 3, sprite.x = 400, sprite.y = 600, sprite.originX = 60, sprite.originY = 300;
    sprite.priority = 20300, sprite.positionMode = 2, sprite.colourMode = 5, sprite.flipY = 1, sprite.offScreen = 1;
    sprite.reload = 1;
    sprite.sprite = reinterpret_cast<CSprite*>(0x10);
    TgsSpriteRecord copy;
    copy.CopyFieldsFrom(sprite);
    EXPECT_STREQ(copy.name, "CH1A.ELG");
    EXPECT_EQ(copy.LogWords(), (std::array<int32_t, 7>{2, 5, 2, 1, 3, 60, 300}));
    EXPECT_EQ(copy.priority, 20300);
    EXPECT_EQ(copy.x, 400);
    EXPECT_EQ(copy.reload, 1);
    EXPECT_EQ(copy.sprite, nullptr);
}

// ---- background pages ----

TEST_F(TgsLayers, BackgroundByNameVariantAndReuse)
{
    EXPECT_EQ(f->LoadLayerImage("BG12B.ELG", 0), 0);
    TgsPageRecord& front = f->Page(0);
    ASSERT_NE(front.image, nullptr);
    EXPECT_STREQ(front.name, "BG12B.ELG");
    const CImage* first = front.image;
    // Another case: the same picture is kept.
    EXPECT_EQ(f->LoadLayerImage("bg12b.ELG", 0), 0);
    EXPECT_EQ(front.image, first);
    // With an offset the name loads again, offsets cleared.
    EXPECT_EQ(f->SetLayerOffset(5, 6, 0), 0);
    EXPECT_EQ(f->LoadLayerImage("BG12B.ELG", 0), 0);
    EXPECT_EQ(front.x, 0);
    EXPECT_EQ(front.frame, -1);
    // A name of 40 characters is stored as its first 31 (a file of that name exists).
    EXPECT_EQ(f->LoadLayerImage((std::string(31, 'L') + "123456789").c_str(), 1), 0);
    EXPECT_EQ(std::string(f->Page(1).name), std::string(31, 'L'));
    ASSERT_NE(f->Page(1).image, nullptr);
    EXPECT_EQ(f->Page(1).image->GetWidth(), 16);
    // A missing picture: no image, no name, the page's colour.
    EXPECT_EQ(f->SetLayerColor(0x123456, 1), 0);
    EXPECT_EQ(f->LoadLayerImage("NOSUCH", 1), 1);
    EXPECT_EQ(f->Page(1).image, nullptr);
    EXPECT_EQ(f->Page(1).name[0], 0);
    EXPECT_EQ(f->PageScene(1)->GetBackgroundColor(), 0x123456u);
    // Null clears to the colour.
    EXPECT_EQ(f->LoadLayerImage(nullptr, 0), 0);
    EXPECT_EQ(front.image, nullptr);
}

TEST_F(TgsLayers, ColourModesAreTheRasterOperations)
{
    struct Case {
        uint8_t mode;
        void (*reference)(CImage&);
    };
    const Case cases[] = {
        {1, [](CImage& i) { Grayscale(i, nullptr); }},
        {2, [](CImage& i) { Grayscale(i, nullptr), Colorize(i, 152, 128, 107, 24, 0, -4, nullptr); }},
        {3, [](CImage& i) { Invert(i, 0, nullptr); }},
        {4, [](CImage& i) { i.AdjustBrightness(150, nullptr); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.mode));
        ASSERT_EQ(f->LoadLayerImage("BG01A.ELG", 0), 0);
        ASSERT_EQ(f->SetLayerColorMode(c.mode, 0, 0, 0, 0), 0);
        EXPECT_EQ(f->Page(0).colourMode, c.mode);
        auto expected = P().Load("BG01A.ELG");
        c.reference(*expected);
        EXPECT_EQ(Difference(*f->Page(0).image, *expected), 0);
        // Another mode on top is refused; 3 on 3 restores.
        const uint8_t other = c.mode == 1 ? 2 : 1;
        EXPECT_EQ(f->SetLayerColorMode(other, 0, 0, 0, 0), 2);
        if (c.mode == 3) {
            EXPECT_EQ(f->SetLayerColorMode(3, 0, 0, 0, 0), 0);
            EXPECT_EQ(f->Page(0).colourMode, 0);
            EXPECT_EQ(Difference(*f->Page(0).image, *P().Load("BG01A.ELG")), 0);
        }
        ASSERT_EQ(f->ClearLayer(0, 0), 0);
    }
    EXPECT_EQ(f->SetLayerColorMode(1, 0, 0, 0, 0), 1) << "no image";
}

TEST_F(TgsLayers, FlipsLetterboxAndPixelOperation)
{
    ASSERT_EQ(f->LoadLayerImage("BG01A.ELG", 0), 0);
    ASSERT_EQ(f->SetLayerColorMode(0, 1, 1, 1, 0), 0);
    auto expected = P().Load("BG01A.ELG");
    ASSERT_EQ(PixelLibOp14(*expected, nullptr), 0);
    ASSERT_EQ(PixelLibOp16(*expected, nullptr), 0);
    expected->FillRect32XYWH(0, 0, 800, 75, 0xFF000000);
    expected->FillRect32XYWH(0, 525, 800, 75, 0xFF000000);
    EXPECT_EQ(Difference(*f->Page(0).image, *expected), 0);
    EXPECT_EQ(f->Page(0).image->GetRowPointer(74)[0], 0);
    EXPECT_NE(f->Page(0).image->GetRowPointer(75)[2], 0);
    EXPECT_EQ(f->Page(0).flipX + f->Page(0).flipY + f->Page(0).letterbox, 3);
    // The scene shows it.
    EXPECT_EQ(Difference(*Render(), *expected), 0);
    // A flipped page refuses the pixel operation.
    EXPECT_EQ(f->ApplyLayerPixelOp(8, 0), 2);
    ASSERT_EQ(f->SetLayerColorMode(0, 1, 1, 0, 0), 0);
    EXPECT_EQ(f->ApplyLayerPixelOp(8, 0), 0);
    // Blocks of 8 anchored top-left.
    const CImage& image = *f->Page(0).image;
    EXPECT_EQ(std::memcmp(image.GetRowPointer(8) + 4 * 8, image.GetRowPointer(15) + 4 * 15, 4), 0);
    EXPECT_EQ(f->ApplyLayerPixelOp(8, 1), 1) << "no image";
}

TEST_F(TgsLayers, SharedPicturesAreFreedOnceAndCopiedOnWrite)
{
    ASSERT_EQ(f->LoadLayerImage("BG01A.ELG", 0), 0);
    TgsPageRecord& front = f->Page(0);
    TgsPageRecord& back = f->Page(1);
    // Both pages show one picture, as a finished transition leaves them.
    back.image = front.image;
    f->HoldImage(back.image);
    std::memcpy(back.name, front.name, sizeof back.name);
    EXPECT_TRUE(f->IsImageShared(front.image));
    // A colour mode on the back page works on a copy of its own.
    ASSERT_EQ(f->SetLayerColorMode(3, 0, 0, 0, 1), 0);
    EXPECT_NE(back.image, front.image);
    EXPECT_EQ(Difference(*front.image, *P().Load("BG01A.ELG")), 0);
    EXPECT_FALSE(f->UnshareLayerImage(1));
    // Shared again: clearing one page leaves the other's picture whole (ASan watches).
    f->DropImage(back.image);
    back.image = front.image;
    f->HoldImage(back.image);
    ASSERT_EQ(f->ClearLayer(0, 0), 0);
    EXPECT_FALSE(f->IsImageShared(back.image));
    EXPECT_EQ(Difference(*back.image, *P().Load("BG01A.ELG")), 0);
    ASSERT_EQ(f->ClearLayer(0, 1), 0);
    // A sprite slot shared by both pages.
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1A.ELG", 0, 1, false), 0);
    TgsSpriteRecord* a = f->FindSpriteSlot(0, 0, 1);
    TgsSpriteRecord* z = f->FindSpriteSlot(0, 1, 1);
    z->image = a->image;
    f->HoldImage(z->image);
    EXPECT_TRUE(f->UnshareSpriteImage(0, 1));
    EXPECT_NE(z->image, a->image);
    ASSERT_NE(z->sprite, nullptr);
    EXPECT_EQ(z->sprite->GetImage(), z->image);
    EXPECT_FALSE(f->UnshareSpriteImage(0, 1));
    // Taking a picture out: a shared one gives a copy, the last holder its own.
    f->HoldImage(z->image);
    std::unique_ptr<CImage> taken(f->TakeImage(z->image));
    ASSERT_NE(taken, nullptr);
    EXPECT_NE(taken.get(), z->image);
    EXPECT_FALSE(f->IsImageShared(z->image));
    auto* alone = new CImage;
    ASSERT_EQ(alone->Create(4, 4, 32, 0), 0);
    f->HoldImage(alone);
    std::unique_ptr<CImage> own(f->TakeImage(alone));
    EXPECT_EQ(own.get(), alone);
    // The scene is cleared twice (test and teardown): every picture is freed once.
    ASSERT_EQ(f->ClearScene(), 0);
}

// The game's effect rows and a scheduler, published for one test.
struct Effects {
    Effects()
    {
        EXPECT_EQ(RegisterRows(registry, GameEffectRows()), 0);
        g_pObjectPluginManager = &registry;
        g_pObjectManager = &scheduler;
    }
    ~Effects()
    {
        scheduler.CancelAll();
        scheduler.RunDue(0);
        g_pObjectManager = nullptr;
        g_pObjectPluginManager = nullptr;
    }
    CObjectPluginManager registry;
    CTimerManager scheduler;
};

TEST_F(TgsLayers, AnimationOfAPage)
{
    Effects effects;
    EXPECT_EQ(f->ControlLayerAnimation(1, 0, 0, 0), 2) << "no animation";
    EXPECT_EQ(f->LoadLayerAnimation("ANIME/NOSUCH.KAD", 0, 0, 0), 1);
    ASSERT_EQ(f->LoadLayerImage("BG01A.ELG", 0), 0);
    ASSERT_EQ(f->LoadLayerAnimation("ANIME/BG.KAD", 0, 0, 0), 0);
    TgsPageRecord& p = f->Page(0);
    ASSERT_NE(p.animation, nullptr);
    EXPECT_STREQ(p.layerName, "ANIME/BG.KAD");
    EXPECT_EQ(p.animationState, 1);
    CSurface* shown = nullptr;
    f->PageScene(0)->GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_NE(shown, p.image) << "the frames show";
    for (const int mode : {6, -1})
        EXPECT_EQ(f->ControlLayerAnimation(mode, 0, 0, 0), 1);
    EXPECT_EQ(f->ControlLayerAnimation(2, 0, 0, 0), 0);
    EXPECT_EQ(p.animationState, 2);
    EXPECT_EQ(f->ControlLayerAnimation(2, 0, 0, 0), 3) << "paused already";
    EXPECT_EQ(f->ControlLayerAnimation(4, 0, 0, 0), 0);
    EXPECT_EQ(p.animationState, 0);
    // Select, then play: the page's own picture goes.
    EXPECT_EQ(f->ControlLayerAnimation(0, 1, 0, 0), 0);
    EXPECT_EQ(f->ControlLayerAnimation(1, 0, 0, 0), 0);
    EXPECT_EQ(p.image, nullptr);
    effects.scheduler.RunDue(0);
    // Clearing the page ends the animation.
    ASSERT_EQ(f->ClearLayer(0x000010, 0), 0);
    EXPECT_EQ(p.animation, nullptr);
    EXPECT_EQ(p.layerName[0], 0);
    effects.scheduler.RunDue(0);
    EXPECT_EQ(effects.scheduler.FindKind(kBgAnimeKind), nullptr);
}

TEST_F(TgsLayers, ViewZoomOffsetAndRender)
{
    Effects effects;
    ASSERT_EQ(f->LoadLayerImage("BG01A.ELG", 0), 0);
    TgsPageRecord& p = f->Page(0);
    CScene& scene = *f->PageScene(0);
    // The bg_zoom end rectangle at once: zoom 2 about (400, 300).
    ASSERT_EQ(f->StartLayerZoom(400, 300, "2", 0), 0);
    EXPECT_EQ((std::vector<int32_t>{p.viewLeft, p.viewTop, p.viewRight, p.viewBottom}),
              (std::vector<int32_t>{200, 150, 600, 450}));
    EXPECT_NE(scene.GetBackgroundWork(), nullptr);
    // Rotate and zoom; a zero zoom is refused.
    EXPECT_EQ(f->SetLayerZoom(128, "1.5", 400, 300, 0), 0);
    EXPECT_DOUBLE_EQ(p.zoom, 1.5);
    EXPECT_EQ(p.angle, 128);
    EXPECT_EQ(p.viewLeft, -1);
    EXPECT_EQ(f->SetLayerZoom(0, "0", 400, 300, 0), 1);
    // An offset drops the zoom and shows the picture there.
    EXPECT_EQ(f->SetLayerOffset(-30, 12, 0), 0);
    EXPECT_EQ(p.zoom, 0);
    EXPECT_EQ(scene.GetBackgroundWork(), nullptr);
    LONG x = 0, y = 0;
    scene.GetBackground(nullptr, &x, &y, nullptr, nullptr, nullptr);
    EXPECT_EQ(x, -30);
    EXPECT_EQ(y, 12);
    // A view rectangle of the picture over the whole screen; an empty one drops it.
    EXPECT_EQ(f->SetLayerViewRect(100, 50, 400, 300, 0), 0);
    EXPECT_EQ(p.viewRight, 500);
    EXPECT_NE(scene.GetBackgroundWork(), nullptr);
    EXPECT_EQ(f->SetLayerViewRect(0, 0, 0, 10, 0), 0);
    EXPECT_EQ(p.viewLeft, -1);
    // Rendered: the scene with its sprites becomes one picture, until switched off.
    ASSERT_EQ(f->SetLayerOffset(0, 0, 0), 0);
    ASSERT_EQ(f->LoadSpriteImage(0, "CH5A.ELG", 0, 0, false), 0);
    ASSERT_EQ(f->PlaceSprite(0, 0, 0, 0, 0), 0);
    auto before = Render();
    ASSERT_EQ(f->RenderLayer(true, 0, false), 0);
    ASSERT_NE(p.renderImage, nullptr);
    EXPECT_EQ(Difference(*p.renderImage, *before), 0);
    CSurface* shown = nullptr;
    scene.GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(shown, p.renderImage);
    ASSERT_EQ(f->RenderLayer(false, 0, false), 0);
    scene.GetBackground(&shown, nullptr, nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(shown, p.image);
}

// ---- sprites ----

TEST_F(TgsLayers, SlotsOutsideTheirGroupAreNoRecord)
{
    struct Case {
        int slot, group;
    };
    for (const Case& c : {Case{3, 0}, Case{5, 1}, Case{3, 2}, Case{0, 3}, Case{0, -1}, Case{-1, 1}}) {
        SCOPED_TRACE(testing::Message() << c.slot << " " << c.group);
        EXPECT_EQ(f->FindSpriteSlot(c.slot, 0, c.group), nullptr);
        EXPECT_EQ(f->LoadSpriteImage(c.slot, "CH1A.ELG", 0, c.group, false), 1);
        EXPECT_EQ(f->SetSpriteColorMode(c.slot, 1, 0, 0, 0, c.group), 1);
        EXPECT_EQ(f->ApplySpritePixelOp(c.slot, 4, 0, c.group), 1);
        EXPECT_EQ(f->PlaceSprite(c.slot, 0, 0, 0, c.group), 1);
        EXPECT_EQ(f->MoveSprite(c.slot, 1, 1, 0, c.group), 1);
        EXPECT_EQ(f->MoveSpriteToTop(c.slot, 0, c.group, true), 1);
        EXPECT_EQ(f->MoveSpriteToBottom(c.slot, 0, c.group, true), 1);
    }
    EXPECT_EQ(f->PlaceSprite(0, 0, 0, 0, 0), 2) << "no image";
    EXPECT_EQ(f->MoveSprite(0, 0, 0, 0, 0), 2) << "no sprite";
    EXPECT_EQ(f->LoadSpriteImage(0, "NOSUCH", 0, 0, false), 2);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->image, nullptr);
    // Any page byte other than 0 is the back page.
    EXPECT_EQ(f->FindSpriteSlot(1, 7, 1), f->FindSpriteSlot(1, 1, 1));
}

TEST_F(TgsLayers, PlacingModesOnAndOffScreen)
{
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1A.ELG", 0, 0, false), 0); // 120 x 300
    struct Case {
        int32_t mode;
        uint8_t off;
        LONG left, top;
    };
    const Case cases[] = {
        {0, 0, 400 - 60, 300}, {1, 0, 200 - 60, 300},       {2, 0, 600 - 60, 300},
        {0, 1, 400 - 60, 600}, {1, 1, -120 - 60, 300},      {2, 1, 920 - 60, 300},
    };
    const TgsSpriteRecord* r = f->FindSpriteSlot(0, 0, 0);
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.mode << (c.off ? " off" : ""));
        EXPECT_EQ(f->PlaceSprite(0, c.mode, c.off, 0, 0), 0);
        EXPECT_EQ(r->sprite->GetX(), c.left);
        EXPECT_EQ(r->sprite->GetY(), c.top);
        EXPECT_EQ(r->positionMode, c.mode);
        EXPECT_EQ(r->offScreen, c.off);
    }
    EXPECT_EQ(f->PlaceSprite(0, 3, 0, 0, 0), 1);
    EXPECT_EQ(f->MoveSprite(0, 7, -9, 0, 0), 0);
    EXPECT_EQ(r->sprite->GetX(), 7);
    EXPECT_EQ(r->sprite->GetY(), -9);
}

TEST_F(TgsLayers, PrioritiesWithinAGroup)
{
    const char* names[] = {"CH1A.ELG", "CH2A.ELG", "CH3A.ELG", "CH4A.ELG", "CH5A.ELG"};
    for (int i = 0; i < 5; ++i)
        ASSERT_EQ(f->LoadSpriteImage(i, names[i], 0, 1, false), 0);
    auto priorities = [&] {
        std::vector<int32_t> out;
        for (int i = 0; i < 5; ++i)
            out.push_back(f->FindSpriteSlot(i, 0, 1)->priority);
        return out;
    };
    EXPECT_EQ(priorities(), (std::vector<int32_t>{20000, 20100, 20200, 20300, 20400}));
    ASSERT_EQ(f->MoveSpriteToTop(2, 0, 1, true), 0);
    EXPECT_EQ(priorities(), (std::vector<int32_t>{20000, 20100, 20400, 20200, 20300}));
    ASSERT_EQ(f->MoveSpriteToBottom(4, 0, 1, true), 0);
    EXPECT_EQ(priorities(), (std::vector<int32_t>{20100, 20200, 20400, 20300, 20000}));
    // The display list follows: drawn from the greatest priority to the least.
    std::vector<uint32_t> listed;
    for (int i = 0; i < 5; ++i) {
        const CDrawable* d = f->FindSpriteSlot(i, 0, 1)->sprite;
        for (const DrawNode* n = f->PageScene(0)->GetList().Head(); n != nullptr; n = n->next)
            if (n->drawable == d)
                listed.push_back(n->priority);
    }
    EXPECT_EQ(listed, (std::vector<uint32_t>{20100, 20200, 20400, 20300, 20000}));
    EXPECT_EQ(f->ResetSpriteGroups(0, 1), 0);
    EXPECT_EQ(f->FindSpriteSlot(2, 0, 1)->sprite, nullptr);
    EXPECT_EQ(f->PageScene(0)->GetList().Head(), nullptr);
}

TEST_F(TgsLayers, SpriteColourModesAndTheAutomaticTint)
{
    struct Case {
        uint8_t mode;
        void (*reference)(CImage&);
    };
    const Case cases[] = {
        {1, [](CImage& i) { Grayscale(i, nullptr); }},
        {5, [](CImage& i) { Colorize(i, 132, 132, 126, 8, 8, -9, nullptr); }},
        {6, [](CImage& i) { Colorize(i, 125, 120, 131, -13, 2, 0, nullptr); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(int(c.mode));
        ASSERT_EQ(f->LoadSpriteImage(1, "CH2A.ELG", 0, 2, true), 0);
        ASSERT_EQ(f->SetSpriteColorMode(1, c.mode, 1, 0, 0, 2), 0);
        auto expected = P().Load("CH2A.ELG");
        c.reference(*expected);
        ASSERT_EQ(PixelLibOp14(*expected, nullptr), 0);
        EXPECT_EQ(Difference(*f->FindSpriteSlot(1, 0, 2)->image, *expected), 0);
        EXPECT_EQ(f->SetSpriteColorMode(1, 3, 0, 0, 0, 2), 2);
        EXPECT_EQ(f->ApplySpritePixelOp(1, 4, 0, 2), 2) << "flipped";
    }
    // With the tint on, a sprite over a B variant takes mode 6; over no variant none.
    f->AutoTint() = 1;
    ASSERT_EQ(f->LoadLayerImage("BG12B.ELG", 0), 0);
    ASSERT_EQ(f->Page(0).variant, 0u) << "DATA/BG.TXT is missing: no table";
    ASSERT_EQ(f->LoadSpriteImage(0, "CH3A.ELG", 0, 0, false), 0);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->colourMode, 0);
    f->Page(0).variant = 2;
    ASSERT_EQ(f->LoadSpriteImage(1, "CH3A.ELG", 0, 0, false), 0);
    EXPECT_EQ(f->FindSpriteSlot(1, 0, 0)->colourMode, 6);
}

TEST_F(TgsLayers, CharacterNumberFromTheVoiceTable)
{
    VoiceTable table;
    table.prefixes = {{"CH2", 3}, {"CH1", 1}};
    table.characters.resize(4);
    CSoundPlayer player;
    player.SetVoiceTable(&table);
    g_pSoundManager = &player;
    ASSERT_EQ(f->LoadSpriteImage(0, "CH1A.ELG", 0, 1, false), 0);
    ASSERT_EQ(f->LoadSpriteImage(1, "CH2A.ELG", 0, 1, false), 0);
    ASSERT_EQ(f->LoadSpriteImage(2, "CH3A.ELG", 0, 1, false), 0);
    g_pSoundManager = nullptr;
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 1)->character, 1);
    EXPECT_EQ(f->FindSpriteSlot(1, 0, 1)->character, 3);
    EXPECT_EQ(f->FindSpriteSlot(2, 0, 1)->character, INT32_MAX);
    EXPECT_EQ(f->FindSpriteSlot(3, 0, 1)->character, -1);
}

// ---- the commands ----

// Command 24 over a sprite whose picture carries a placement, one without, and an empty slot.
TEST_F(TgsLayers, TextPositionOverAPlacedPicture)
{
    struct Case {
        const char* picture;
        int32_t x, y;
    };
    // Placed at mode 1 (x 200, y 600): the sprite's corner is (200 - 20, 600 - 50).
    const Case cases[] = {
        {"SYS/PLACED.ELG", 5 + 180 + 10 + 100, 6 + 550 + 20},
        {"SYS/BLOCKS.ELG", 5 + 180, 6 + 550},
        {nullptr, 5, 6},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture != nullptr ? c.picture : "empty");
        std::string text = "@spreset 0 -1\n";
        if (c.picture != nullptr)
            text += std::string("@sprite 0 \"") + c.picture + "\" 1 0 0 2\n";
        text += "@textpos 0 5 6 2\n";
        ASSERT_EQ(RunFresh(text), 0);
        EXPECT_EQ(f->WindowRecord().textX, c.x);
        EXPECT_EQ(f->WindowRecord().textY, c.y);
    }
}

// A scene made by the commands equals the one the test composes from the pictures.
TEST_F(TgsLayers, CommandsComposeTheScene)
{
    ASSERT_EQ(b->Run("@layerimage \"BG01A.ELG\" 0\n"
                     "@layercolormode 3 0 0 0 0\n"
                     "@sprite 0 \"CH1A.ELG\" 1 0 0 0\n"
                     "@sprite 1 \"CH2A.ELG\" 2 0 0 0\n"
                     "@sprite 2 \"CH3A.ELG\" 0 0 0 1\n"
                     "@spcolormode 1 1 0 0 0 0\n"
                     "@sptop 0 0 0\n"
                     "@spplace 2 0 1 0 1\n"
                     "@spplace 2 2 0 0 1\n"
                     "@sprite 2 \"ch3a.ELG\" -1 0 0 1\n"),
              0);
    auto expected = P().Load("BG01A.ELG");
    Invert(*expected, 0, nullptr);
    // Drawn from the back: group B's sprite, then A's slot 0 (moved to A's top), then slot 1.
    auto ch3 = P().Load("CH3A.ELG");
    auto ch1 = P().Load("CH1A.ELG");
    auto ch2 = P().Load("CH2A.ELG");
    Grayscale(*ch2, nullptr);
    ASSERT_EQ(expected->BlendAlpha(ch3.get(), 600 - 50, 600 - 200, nullptr, false), 0);
    ASSERT_EQ(expected->BlendAlpha(ch1.get(), 200 - 60, 600 - 300, nullptr, false), 0);
    ASSERT_EQ(expected->BlendAlpha(ch2.get(), 600 - 45, 600 - 240, nullptr, false), 0);
    EXPECT_LE(Difference(*Render(), *expected), 1);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 0)->priority, 10200);
    EXPECT_EQ(f->FindSpriteSlot(1, 0, 0)->priority, 10000);
}

// Commands 104 and 107 prepare the back page, which the cross-fade then shows (the pages swap as
// it begins); a picture that does not load changes nothing and starts no fade.
TEST_F(TgsLayers, BackgroundAndSpriteChangesPrepareTheBackPage)
{
    ASSERT_EQ(b->Run("@sprite 0 \"CH1A.ELG\" 0 1 0 1\n"
                     "@bgcf \"BG02.ELG\" 500 1 0 0 0\n"),
              0);
    EXPECT_STREQ(f->Page(0).name, "BG02.ELG");
    EXPECT_EQ(f->Page(0).colourMode, 1);
    EXPECT_EQ(f->FindSpriteSlot(0, 0, 1)->sprite, nullptr) << "back sprites reset before the swap";
    ASSERT_EQ(RunFresh("@sprite 0 \"CH1A.ELG\" 0 1 0 1\n"
                     "@bgcf \"NOSUCH\" 500 1 0 0 0\n"),
              0);
    EXPECT_EQ(f->Page(1).image, nullptr);
    EXPECT_NE(f->FindSpriteSlot(0, 1, 1)->sprite, nullptr) << "kept";
    ASSERT_EQ(RunFresh("@spcf 1 \"CH2A.ELG\" 2 300 0 1\n"), 0);
    const TgsSpriteRecord* r = f->FindSpriteSlot(1, 0, 1);
    ASSERT_NE(r->sprite, nullptr);
    EXPECT_EQ(r->sprite->GetX(), 600 - 45);
    ASSERT_EQ(RunFresh("@sprite 1 \"CH2A.ELG\" 2 1 0 1\n@layerimage \"BG02.ELG\" 1\n@black 100\n"), 0);
    EXPECT_EQ(f->Page(0).image, nullptr);
    EXPECT_EQ(f->Page(0).colour, 0u);
    EXPECT_EQ(f->FindSpriteSlot(1, 0, 1)->sprite, nullptr);
    ASSERT_EQ(RunFresh("@sprite 1 \"CH2A.ELG\" 2 1 0 1\n@white 100\n"), 0);
    EXPECT_EQ(f->Page(0).colour, 0xFFFFFFu);
    EXPECT_EQ(f->FindSpriteSlot(1, 0, 1)->sprite, nullptr);
}

} // namespace
