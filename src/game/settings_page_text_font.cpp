// The settings sheet's テキスト２ page: the text face among the installed Japanese faces, its
// effects, and the text frame's colour and transparency.
#include <algorithm>
#include <cstring>
#include <memory>

#include "drawing/installed_font_list.h"
#include "game/font_sample.h"
#include "game/game_app.h"
#include "game/settings_page.h"

namespace {

const SheetCheck kChecks[] = {
    {1122, offsetof(AppConfig, antiAlias)}, {1123, offsetof(AppConfig, gradient)},
    {1126, offsetof(AppConfig, bold)},      {1127, offsetof(AppConfig, boldRuby)},
    {1070, offsetof(AppConfig, drawTextFrame)},
};
const SheetSlider kSliders[] = {
    {1054, 1059, offsetof(AppConfig, frameTransparency), 1, 0, 255, 1, 0, 16, 1},
};
// The frame colour's three channels share one field: they are filled and stored by the page.
const SheetSlider kColour[] = {
    {1051, 1056, 0, 1, 0, 255, 1, 0, 16, 1},
    {1052, 1057, 0, 1, 0, 255, 1, 0, 16, 1},
    {1053, 1058, 0, 1, 0, 255, 1, 0, 16, 1},
};
constexpr int kColourShift[3] = {16, 8, 0};
constexpr int kSampleStatic = 1084;
constexpr UINT_PTR kSampleTimer = 1;

// The installed faces, enumerated once for the whole run.
CInstalledFontList& Faces()
{
    static CInstalledFontList list;
    return list;
}

class CTextFontPage final : public CSettingsPage {
public:
    int Index() const override { return 2; }
    SheetTables Tables() const override { return {kChecks, kSliders, {}}; }
    void Init(HWND page) override
    {
        CInstalledFontList& faces = Faces();
        if (faces.Fonts().empty()) {
            SheetSession* session = CurrentSheet();
            HWND main = session != nullptr && session->app != nullptr ? session->app->GetMainWindow() : nullptr;
            HDC dc = GetDC(main);
            faces.EnumInstalledFonts(dc, CInstalledFontList::kNoVerticalFaces | CInstalledFontList::kOneCharset,
                                     SHIFTJIS_CHARSET);
            ReleaseDC(main, dc);
        }
        for (const LOGFONTA& font : faces.Fonts())
            if (font.lfFaceName[0] != '@' &&
                SendDlgItemMessageA(page, 1121, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                    reinterpret_cast<LPARAM>(font.lfFaceName)) == LB_ERR)
                SendDlgItemMessageA(page, 1121, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(font.lfFaceName));
        for (const SheetSlider& row : kColour) {
            SendDlgItemMessageA(page, row.slider, TBM_SETRANGE, FALSE, MAKELONG(0, 255));
            SendDlgItemMessageA(page, row.slider, TBM_SETPAGESIZE, 0, 16);
            SendDlgItemMessageA(page, row.slider, TBM_SETLINESIZE, 0, 1);
        }
        m_sampleShown = m_sample.Attach(GetDlgItem(page, kSampleStatic)) == 0;
        SetTimer(page, kSampleTimer, 16, nullptr);
    }
    void Fill(HWND page, const AppConfig& config) override
    {
        char face[sizeof config.faceName + 1] = {};
        std::memcpy(face, config.faceName, sizeof config.faceName);
        const LRESULT at = SendDlgItemMessageA(page, 1121, LB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                               reinterpret_cast<LPARAM>(face));
        SendDlgItemMessageA(page, 1121, LB_SETCURSEL, at == LB_ERR ? 0 : static_cast<WPARAM>(at), 0);
        // A stored face that is not installed is kept unless the player picks one.
        m_faceShown = at != LB_ERR;
        CheckDlgButton(page, 1124, config.decoration == 1 ? BST_CHECKED : BST_UNCHECKED);
        CheckDlgButton(page, 1125, config.decoration == 2 ? BST_CHECKED : BST_UNCHECKED);
        for (int i = 0; i < 3; ++i)
            SetSliderValue(page, kColour[i], static_cast<int>((config.frameColour >> kColourShift[i]) & 0xFF));
        std::memcpy(m_storedFace, config.faceName, sizeof config.faceName);
        ShowSample(page);
    }
    void Command(HWND page, int id, int code) override
    {
        if (id == 1121 && code == LBN_SELCHANGE)
            m_faceShown = true;
        // Shadow and outline exclude each other.
        if (code == BN_CLICKED && (id == 1124 || id == 1125) && IsDlgButtonChecked(page, id) == BST_CHECKED)
            CheckDlgButton(page, id == 1124 ? 1125 : 1124, BST_UNCHECKED);
        m_sampleDue = true;
    }
    void Scrolled(HWND, int) override { m_sampleDue = true; }
    void Activate(HWND page, bool active) override
    {
        if (active)
            SetTimer(page, kSampleTimer, 16, nullptr);
        else
            KillTimer(page, kSampleTimer);
    }
    void Timer(HWND page, UINT_PTR id) override
    {
        if (id == kSampleTimer && m_sampleDue)
            ShowSample(page);
    }
    void Destroy(HWND page) override { KillTimer(page, kSampleTimer); }
    void Store(HWND page, AppConfig* config, const AppConfig&) override
    {
        const LRESULT at = SendDlgItemMessageA(page, 1121, LB_GETCURSEL, 0, 0);
        char face[256] = {};
        if (m_faceShown && at != LB_ERR && SendDlgItemMessageA(page, 1121, LB_GETTEXTLEN, static_cast<WPARAM>(at), 0) <
                                static_cast<LRESULT>(sizeof config->faceName)) {
            SendDlgItemMessageA(page, 1121, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(face));
            std::memset(config->faceName, 0, sizeof config->faceName);
            std::memcpy(config->faceName, face, std::strlen(face));
        }
        config->decoration = IsDlgButtonChecked(page, 1124) == BST_CHECKED   ? 1
                             : IsDlgButtonChecked(page, 1125) == BST_CHECKED ? 2
                                                                             : 0;
        uint32_t colour = 0;
        for (int i = 0; i < 3; ++i)
            colour |= static_cast<uint32_t>(SliderValue(page, kColour[i])) << kColourShift[i];
        config->frameColour = colour;
    }

private:
    // The sample as the controls say now; the sample itself redoes only what changed.
    void ShowSample(HWND page)
    {
        m_sampleDue = false;
        if (!m_sampleShown)
            return;
        FontSampleLook look;
        const LRESULT at = SendDlgItemMessageA(page, 1121, LB_GETCURSEL, 0, 0);
        const LRESULT length =
            at == LB_ERR ? LB_ERR : SendDlgItemMessageA(page, 1121, LB_GETTEXTLEN, static_cast<WPARAM>(at), 0);
        if (length != LB_ERR && length < 256) {
            char face[256] = {};
            SendDlgItemMessageA(page, 1121, LB_GETTEXT, static_cast<WPARAM>(at), reinterpret_cast<LPARAM>(face));
            look.faceSjis = face;
        } else {
            look.faceSjis.assign(m_storedFace, strnlen(m_storedFace, sizeof m_storedFace));
        }
        auto on = [page](int id) { return IsDlgButtonChecked(page, id) == BST_CHECKED; };
        look.bold = on(1126);
        look.antiAlias = on(1122);
        look.gradient = on(1123);
        look.decoration = on(1124) ? 1 : on(1125) ? 2 : 0;
        for (int i = 0; i < 3; ++i)
            look.frameColour |= static_cast<uint32_t>(SliderValue(page, kColour[i]) & 0xFF) << kColourShift[i];
        look.frameOpacity = static_cast<uint8_t>(std::clamp(SliderValue(page, kSliders[0]), 0, 255));
        m_sample.Show(look);
        if (SheetSession* session = CurrentSheet(); session != nullptr && session->fontSampleCopy != nullptr) {
            CImage& shown = m_sample.Image();
            if (session->fontSampleCopy->Create(shown.GetWidth(), shown.GetHeight(), 32, 0) == 0)
                session->fontSampleCopy->Copy(&shown, 0, 0, nullptr, false);
        }
    }

    bool m_faceShown = false;
    CFontSample m_sample;
    bool m_sampleShown = false;
    bool m_sampleDue = false;
    char m_storedFace[sizeof AppConfig::faceName] = {};
};

std::unique_ptr<CSettingsPage> MakeTextFontPage()
{
    return std::make_unique<CTextFontPage>();
}

} // namespace

INT_PTR CALLBACK TextFontPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    // The colour edits pair with their sliders like the table's; their fill and store are the page's.
    if (message == WM_HSCROLL || message == WM_COMMAND) {
        const SheetTables colour{{}, kColour, {}};
        HandleSliderMessage(page, colour, message, wParam, lParam);
    }
    return RunSettingsPage(MakeTextFontPage, page, message, wParam, lParam);
}
