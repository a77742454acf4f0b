// The settings sheet's ウィンドウ page: full-screen behaviour, the target monitor, the drawing
// method and its options (written into the block and the screen when the page is left, put back
// by Cancel), start-up in a window, and the movie options.
#include <algorithm>
#include <memory>

#include "game/game_app.h"
#include "game/settings_page.h"
#include "natives/movie_natives.h"
#include "winapi/text.h"

namespace {

const SheetCheck kChecks[] = {
    {1181, offsetof(AppConfig, changeResolution)},   {1182, offsetof(AppConfig, topMostFullScreen)},
    {1184, offsetof(AppConfig, drawingAlways)},      {1185, offsetof(AppConfig, powerOfTwoTextures)},
    {1186, offsetof(AppConfig, bilinear)},           {1187, offsetof(AppConfig, copyThroughDc)},
    {1188, offsetof(AppConfig, startInWindow)},      {1189, offsetof(AppConfig, keepWindowPosition)},
    {1190, offsetof(AppConfig, playMovies)},         {1191, offsetof(AppConfig, movieWindow)},
};
const SheetSlider kSliders[] = {{1051, 1056, offsetof(AppConfig, movieVolume), 4, 0, 256, 1, 16, 16, 1, true}};
const SheetCombo kCombos[] = {
    {1082, offsetof(AppConfig, targetMonitor), 0},
    {1083, offsetof(AppConfig, enlargedDrawing), 1},
};
const char* const kMethods[] = {"自動設定", "DirectDraw", "Direct3D"};

// The display fields the page writes when it is left.
struct DisplayFields {
    uint8_t changeResolution, topMost, resolutionMethod, targetMonitor;
    uint8_t enlargedDrawing, drawingAlways, powerOfTwo, bilinear, copyThroughDc;
};

DisplayFields Take(const AppConfig& c)
{
    return {c.changeResolution, c.topMostFullScreen, c.resolutionMethod, c.targetMonitor, c.enlargedDrawing,
            c.drawingAlways,    c.powerOfTwoTextures, c.bilinear,       c.copyThroughDc};
}

void Put(AppConfig* c, const DisplayFields& f)
{
    c->changeResolution = f.changeResolution;
    c->topMostFullScreen = f.topMost;
    c->resolutionMethod = f.resolutionMethod;
    c->targetMonitor = f.targetMonitor;
    c->enlargedDrawing = f.enlargedDrawing;
    c->drawingAlways = f.drawingAlways;
    c->powerOfTwoTextures = f.powerOfTwo;
    c->bilinear = f.bilinear;
    c->copyThroughDc = f.copyThroughDc;
}

CGameApp* App()
{
    SheetSession* session = CurrentSheet();
    return session != nullptr ? session->app : nullptr;
}

// The block's display fields into the screen and the frame.
void UseDisplayFields(const AppConfig& config)
{
    if (CGameApp* app = App()) {
        app->ApplyScreenOptions();
        app->FrameOptions().topMostInFullScreen = config.topMostFullScreen != 0 ? 1 : 0;
    }
}

class CWindowPage final : public CSettingsPage {
public:
    int Index() const override { return 6; }
    SheetTables Tables() const override { return {kChecks, kSliders, kCombos}; }
    void Init(HWND page) override
    {
        SendDlgItemMessageA(page, 1082, CB_RESETCONTENT, 0, 0);
        SendDlgItemMessageA(page, 1082, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(winapi::Sjis("ウィンドウがあるモニタ")));
        if (CGameApp* app = App())
            for (const CMonitorRecord& monitor : app->GetMonitorList().Records())
                SendDlgItemMessageA(page, 1082, CB_ADDSTRING, 0,
                                    reinterpret_cast<LPARAM>(monitor.description[0] != '\0' ? monitor.description
                                                                                            : monitor.deviceName));
        FillCombo(page, 1083, kMethods);
        CGameApp* app = App();
        m_moviesAvailable = app == nullptr || app->FrameOptions().gameBytes[kGameByteMoviesAvailable] != 0;
    }
    void Fill(HWND page, const AppConfig& config) override
    {
        CheckDlgButton(page, 1183, config.resolutionMethod == 2 ? BST_CHECKED : BST_UNCHECKED);
        EnableMovie(page);
        // From now on a change of the slider is heard (not the first fill's).
        m_filled = true;
    }
    void Command(HWND page, int id, int code) override
    {
        if (id == 1190 && code == BN_CLICKED)
            EnableMovie(page);
        if (id == kSliders[0].edit && code == EN_CHANGE)
            HearMovieVolume(page);
    }
    void Scrolled(HWND page, int id) override
    {
        if (id == kSliders[0].slider)
            HearMovieVolume(page);
    }
    bool KillActive(HWND page) override
    {
        AppConfig& config = SheetConfig();
        if (!m_saved) {
            m_saved = true;
            m_copy = Take(config);
        }
        WriteDisplayFields(page, &config);
        return false;
    }
    void Store(HWND page, AppConfig* config, const AppConfig&) override
    {
        WriteDisplayFields(page, config);
    }
    void Reset(HWND) override
    {
        AppConfig& config = SheetConfig();
        if (m_heard)
            SetOpenMovieVolume(std::clamp(config.movieVolume, 0, 256));
        if (!m_saved)
            return;
        Put(&config, m_copy);
        UseDisplayFields(config);
    }
    void Destroy(HWND) override { m_saved = false; }

private:
    void WriteDisplayFields(HWND page, AppConfig* config)
    {
        AppConfig shown = *config;
        StoreTables(page, Tables(), &shown);
        shown.resolutionMethod = IsDlgButtonChecked(page, 1183) == BST_CHECKED ? 2 : 1;
        Put(config, Take(shown));
        UseDisplayFields(*config);
    }
    // The movie that plays now is heard at the slider's volume.
    void HearMovieVolume(HWND page)
    {
        if (!m_filled)
            return;
        m_heard = true;
        SetOpenMovieVolume(SliderValue(page, kSliders[0]));
    }
    void EnableMovie(HWND page)
    {
        EnableWindow(GetDlgItem(page, 1190), m_moviesAvailable ? TRUE : FALSE);
        const bool on = m_moviesAvailable && IsDlgButtonChecked(page, 1190) == BST_CHECKED;
        for (int id : {1191, 1051, 1056})
            EnableWindow(GetDlgItem(page, id), on ? TRUE : FALSE);
    }

    bool m_moviesAvailable = true;
    bool m_saved = false;
    bool m_filled = false;
    bool m_heard = false;  // the slider's volume was given to the movie: Cancel gives back b168
    DisplayFields m_copy{};
};

std::unique_ptr<CSettingsPage> MakeWindowPage()
{
    return std::make_unique<CWindowPage>();
}

} // namespace

INT_PTR CALLBACK WindowPageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    return RunSettingsPage(MakeWindowPage, page, message, wParam, lParam);
}
