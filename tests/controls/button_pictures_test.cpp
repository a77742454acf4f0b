// The push button's pictures, exactly: a drawn button's four columns against a reference composed
// here from the rectangles and shade formulas (the label put in with the same font's DrawString),
// and file buttons from an ImageMagick column strip, each state showing ImageMagick's crop of its
// column, for every pressed/disabled combination. Also the focus pointer modes.
#include "control_test_form.h"

#include "controls/button_control.h"
#include "controls/image_button.h"
#include "drawing/glyph_font.h"
#include "raster/blend_tables.h"
#include "winapi/text.h"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

using namespace controls_test;
using drawing_test::Px;
using drawing_test::SetPx;

class ButtonPictures : public ControlBench {
protected:
    std::unique_ptr<CImage> Render()
    {
        auto out = std::make_unique<CImage>();
        out->Create(320, 200, 32, 0);
        EXPECT_EQ(scene.RenderToImage(out.get(), 0, 0, true), 0);
        return out;
    }
};

// The reference picture of a drawn button: face colour f, highlight h, columns of w x ht.
std::unique_ptr<CImage> Reference(uint32_t f, uint32_t h, int w, int ht, CGlyphFont& font, const char* label, int lx,
                                  int ly)
{
    auto image = std::make_unique<CImage>();
    image->Create(4 * w, ht, 32, 0);
    auto fill = [&](int l, int t, int r, int b, uint32_t v) {
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x)
                SetPx(*image, x, y, v);
    };
    auto glow = [&](int l, int t, int r, int b) {
        const uint32_t a = h >> 24;
        for (int y = t; y < b; ++y)
            for (int x = l; x < r; ++x) {
                const uint32_t d = Px(*image, x, y);
                uint32_t out = d & 0xFF000000u;
                for (int s = 0; s < 24; s += 8)
                    out |= static_cast<uint32_t>(g_MulTable[255 - a][d >> s & 255] + g_MulTable[h >> s & 255][a]) << s;
                SetPx(*image, x, y, out);
            }
    };
    auto shade = [f](auto rule) {
        uint32_t out = 0;
        for (int s = 0; s < 24; s += 8)
            out |= rule(f >> s & 255) << s;
        return out;
    };
    const uint32_t light = shade([](uint32_t c) { return c <= 85 ? c * 3 : c + (255 - c) * 2 / 3; });
    const uint32_t half = shade([](uint32_t c) { return c >> 1; });
    const uint32_t quarter = shade([](uint32_t c) { return c >> 2; });
    fill(1, 1, w - 2, ht - 2, f);
    font.DrawString(image.get(), lx, ly, label, nullptr, nullptr);
    // Hover: the face as drawn, then the glow.
    for (int y = 1; y < ht - 2; ++y)
        for (int x = 1; x < w - 2; ++x)
            SetPx(*image, w + x, y, Px(*image, x, y));
    glow(w + 2, 2, 2 * w - 3, ht - 3);
    // Pressed: the face one pixel right and down, its inner top and left lines, the glow.
    for (int y = 1; y < ht - 3; ++y)
        for (int x = 1; x < w - 3; ++x)
            SetPx(*image, 2 * w + x + 1, y + 1, Px(*image, x, y));
    fill(2 * w + 1, 1, 3 * w - 1, 2, half);
    fill(2 * w + 1, 2, 2 * w + 2, ht - 1, half);
    glow(2 * w + 3, 3, 3 * w - 3, ht - 3);
    // Disabled: the face again and the label in grey with a white shadow.
    fill(3 * w + 1, 1, 4 * w - 2, ht - 2, f);
    font.SetTextColor(0x80, 0x80, 0x80);
    font.SetEffect(1, 255, 255, 255);
    font.SetShadowOffset(1, 1);
    font.DrawString(image.get(), 3 * w + lx, ly, label, nullptr, nullptr);
    for (int i = 0; i < 4; ++i) {
        const int o = i * w;
        const bool pressed = i == 2;
        fill(o, 0, o + w - 1, 1, pressed ? 0 : light);
        fill(o, 1, o + 1, ht - 1, pressed ? 0 : light);
        fill(o, ht - 1, o + w, ht, pressed ? 0 : quarter);
        fill(o + w - 1, 0, o + w, ht - 1, pressed ? 0 : quarter);
        fill(o + 1, ht - 2, o + w - 1, ht - 1, half);
        fill(o + w - 2, 1, o + w - 1, ht - 2, half);
    }
    return image;
}

TEST_F(ButtonPictures, DrawnButtonWithLabelEqualsTheReference)
{
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    font.SetTextColor(0, 0, 0);
    const char* label = winapi::Sjis("決定");
    SIZE extent{0, 0};
    font.MeasureString(label, &extent, nullptr, nullptr, 0, nullptr);
    CButtonControl button;
    button.SetFaceColor(0xD4D0C8);
    button.SetHighlightColor(0x400080FF);
    ASSERT_EQ(button.CreateDrawn(&scene.GetList(), 1, label, &font, 20, 30, 0, 0, true, 1), 0);
    const int w = extent.cx + 8;
    const int h = extent.cy + 8;
    EXPECT_EQ(button.GetWidth(), w) << "sized to the label plus 8";
    EXPECT_EQ(button.GetHeight(), h);
    CGlyphFont referenceFont;
    ASSERT_EQ(referenceFont.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    referenceFont.SetTextColor(0, 0, 0);
    const auto reference = Reference(0xD4D0C8, 0x400080FF, w, h, referenceFont, label, 4, 4);
    const CImage* picture = button.GetPicture();
    int differing = 0;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < 4 * w; ++x)
            differing += (Px(*picture, x, y) & 0xFFFFFF) != (Px(*reference, x, y) & 0xFFFFFF);
    EXPECT_EQ(differing, 0);
    EXPECT_EQ(font.m_textColor[0], 0) << "the font's colours are restored";
    EXPECT_EQ(font.m_effectMode, 0);
    // Each state's column on the scene.
    for (int state : {kButtonNormal, kButtonHover, kButtonPressed, kButtonDisabled}) {
        button.SetState(state);
        const auto shown = Render();
        int wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                wrong += (Px(*shown, 20 + x, 30 + y) & 0xFFFFFF) != (Px(*reference, state * w + x, y) & 0xFFFFFF);
        EXPECT_EQ(wrong, 0) << "state " << state;
    }
}

// A button drawn again draws into its old picture's pixels when the size is unchanged: every
// pixel must be drawn anew, so a picture scribbled over and redrawn equals a fresh button's, at
// the usual sizes and the smallest ones, with and without a label and the disabled column.
TEST_F(ButtonPictures, RedrawnButtonEqualsAFreshOne)
{
    CGlyphFont font;
    ASSERT_EQ(font.SetFont(16, 0, 0, winapi::Sjis("ＭＳ ゴシック")), 0);
    const char* label = winapi::Sjis("決定");
    const struct {
        bool withFont;
        int w, h;
        bool disabledFrame;
    } cases[] = {{false, 8, 8, true},   {false, 9, 13, false}, {false, 160, 40, true}, {true, 0, 0, true},
                 {true, 0, 0, false},   {true, 1, 1, true},    {true, 2, 3, true},     {true, 4, 5, true},
                 {true, 5, 30, true},   {true, 37, 6, false}};
    std::mt19937 random(7);
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.w) + "x" + std::to_string(c.h) + (c.withFont ? " font" : "") +
                     (c.disabledFrame ? " disabled" : ""));
        CGlyphFont* f = c.withFont ? &font : nullptr;
        const char* text = c.withFont ? label : "";
        for (const uint32_t highlight : {0x400080FFu, 0xFF00FF00u, 0x00112233u}) {
            CButtonControl fresh, redrawn;
            fresh.SetHighlightColor(highlight);
            redrawn.SetHighlightColor(highlight);
            ASSERT_EQ(fresh.CreateDrawn(&scene.GetList(), 1, text, f, 0, 0, c.w, c.h, c.disabledFrame, 1), 0);
            ASSERT_EQ(redrawn.CreateDrawn(&scene.GetList(), 1, text, f, 0, 0, c.w, c.h, c.disabledFrame, 1), 0);
            CImage* old = redrawn.GetPicture();
            for (LONG y = 0; y < old->GetHeight(); ++y)
                for (LONG x = 0; x < old->GetWidth(); ++x)
                    SetPx(*old, x, y, static_cast<uint32_t>(random()));
            ASSERT_EQ(redrawn.CreateDrawn(&scene.GetList(), 1, text, f, 0, 0, c.w, c.h, c.disabledFrame, 1), 0);
            const CImage* want = fresh.GetPicture();
            const CImage* got = redrawn.GetPicture();
            ASSERT_EQ(got->GetWidth(), want->GetWidth());
            ASSERT_EQ(got->GetHeight(), want->GetHeight());
            int wrong = 0;
            for (LONG y = 0; y < want->GetHeight(); ++y)
                for (LONG x = 0; x < want->GetWidth(); ++x)
                    wrong += Px(*got, x, y) != Px(*want, x, y);
            EXPECT_EQ(wrong, 0) << std::hex << highlight;
        }
    }
}

TEST_F(ButtonPictures, FileButtonsShowImageMagickCrops)
{
    if (std::system("convert -version >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "convert is not installed";
    PictureFolder pictures;
    const std::string folder = pictures.dir.Linux();
    ASSERT_EQ(std::system(("cd '" + folder + "' && convert -size 12x9 xc:'#c02010' xc:'#10c020' xc:'#2010c0' "
                           "xc:'#808000' +append BMP3:strip4.bmp && convert -size 12x9 xc:'#c02010' xc:'#10c020' "
                           "xc:'#2010c0' +append BMP3:strip3.bmp && convert -size 12x9 xc:'#c02010' xc:'#10c020' "
                           "+append BMP3:strip2.bmp")
                              .c_str()),
              0);
    const struct {
        bool disabledFrame, pressedFrame;
        const char* file;
        int columns[4];  // per state 0..3
    } cases[] = {
        {true, true, "strip4.bmp", {0, 1, 2, 3}},
        {false, true, "strip3.bmp", {0, 1, 2, 0}},
        {true, false, "strip3.bmp", {0, 1, 1, 2}},
        {false, false, "strip2.bmp", {0, 1, 1, 0}},
    };
    for (const auto& c : cases) {
        CButtonControl button;
        ASSERT_EQ(button.CreateFromFile(&scene.GetList(), 1, pictures.dir.Windows(c.file).c_str(), c.disabledFrame,
                                        c.pressedFrame, 40, 50, 0, 255, -1, -1, 1),
                  0)
            << c.file;
        EXPECT_EQ(button.GetWidth(), 12);
        for (int state = 0; state < 4; ++state) {
            button.SetState(state);
            const auto shown = Render();
            char crop[64];
            std::snprintf(crop, sizeof crop, "12x9+%d+0", 12 * c.columns[state]);
            FILE* pipe = popen(("convert '" + folder + "/" + c.file + "' -crop " + crop + " -depth 8 rgb:-").c_str(), "r");
            ASSERT_NE(pipe, nullptr);
            unsigned char rgb[12 * 9 * 3];
            const size_t got = fread(rgb, 1, sizeof rgb, pipe);
            pclose(pipe);
            ASSERT_EQ(got, sizeof rgb);
            int wrong = 0;
            for (int y = 0; y < 9; ++y)
                for (int x = 0; x < 12; ++x) {
                    const unsigned char* p = rgb + 3 * (y * 12 + x);
                    const uint32_t want = static_cast<uint32_t>(p[0]) << 16 | p[1] << 8 | p[2];
                    if ((Px(*shown, 40 + x, 50 + y) & 0xFFFFFF) != want && wrong++ == 0)
                        ADD_FAILURE() << std::hex << Px(*shown, 40 + x, 50 + y) << " " << want;
                }
            EXPECT_EQ(wrong, 0) << c.file << " disabled " << c.disabledFrame << " pressed " << c.pressedFrame
                                << " state " << state;
        }
    }
    CButtonControl missing;
    EXPECT_EQ(missing.CreateFromFile(&scene.GetList(), 1, pictures.dir.Windows("none.bmp").c_str(), false, true, 0, 0, 2,
                                     255, -1, -1, 1),
              2);
    EXPECT_EQ(missing.CreateFromFile(nullptr, 1, "x", false, true, 0, 0, 2, 255, -1, -1, 1), 1);
}

TEST_F(ButtonPictures, FocusPointerModes)
{
    CButton button;
    ASSERT_EQ(button.Create(100, 100, 20, 10, -1, -1, true, true, 1), 0);
    ASSERT_EQ(form->AddControl(&button, -1), 0);
    form->pointerMode = 1;
    ASSERT_EQ(form->SetFocus(&button), 0);
    EXPECT_EQ(form->Take(), std::vector<std::string>{"cursor 110,105"}) << "mode 1: the pointer goes to the hot point";
    EXPECT_FALSE(button.IsHighlighted());
    form->SetFocus(nullptr);
    form->pointerMode = 2;
    ASSERT_EQ(form->SetFocus(&button), 0);
    EXPECT_EQ(form->Take(), (std::vector<std::string>{"sound - -3", "cursor 641,480"})) << "mode 2: highlight, then park";
    EXPECT_TRUE(button.IsHighlighted());
    form->SetFocus(nullptr);
    EXPECT_FALSE(button.IsHighlighted());
    EXPECT_TRUE(form->Take().empty()) << "losing the focus is silent";
}

} // namespace
