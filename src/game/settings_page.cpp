// The settings pages' common procedure; see settings_page.h.
#include "game/settings_page.h"

#include "game/game_app.h"

namespace {

CSettingsPage* PageOf(HWND page)
{
    return reinterpret_cast<CSettingsPage*>(GetWindowLongPtrA(page, DWLP_USER));
}

void FillPage(HWND hwnd, CSettingsPage& page, const AppConfig& config)
{
    FillTables(hwnd, page.Tables(), config);
    page.Fill(hwnd, config);
}

} // namespace

AppConfig& SheetConfig()
{
    if (SheetSession* session = CurrentSheet(); session != nullptr && session->config != nullptr)
        return *session->config;
    static AppConfig fallback = [] {
        AppConfig c{};
        SetAppConfigDefaults(&c);
        return c;
    }();
    return fallback;
}

INT_PTR RunSettingsPage(std::unique_ptr<CSettingsPage> (*make)(), HWND hwnd, UINT message, WPARAM wParam,
                        LPARAM lParam)
{
    if (message == WM_INITDIALOG) {
        CSettingsPage* page = make().release();
        SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(page));
        AddRestoreDefaultsButton(GetParent(hwnd));
        page->Init(hwnd);
        FillPage(hwnd, *page, SheetConfig());
        return TRUE;
    }
    CSettingsPage* page = PageOf(hwnd);
    if (page == nullptr)
        return FALSE;
    switch (message) {
    case WM_HSCROLL:
        HandleSliderMessage(hwnd, page->Tables(), message, wParam, lParam);
        page->Scrolled(hwnd, GetDlgCtrlID(reinterpret_cast<HWND>(lParam)));
        return TRUE;
    case WM_COMMAND:
        HandleSliderMessage(hwnd, page->Tables(), message, wParam, lParam);
        page->Command(hwnd, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
    case WM_TIMER:
        page->Timer(hwnd, wParam);
        return TRUE;
    case kMsgRestoreDefaults: {
        AppConfig defaults{};
        SetAppConfigDefaults(&defaults);
        FillPage(hwnd, *page, defaults);
        page->Restored(hwnd);
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header == nullptr)
            return FALSE;
        switch (header->code) {
        case PSN_SETACTIVE:
            NotePageActive(page->Index());
            page->Activate(hwnd, true);
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, 0);
            return TRUE;
        case PSN_KILLACTIVE: {
            page->Activate(hwnd, false);
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, page->KillActive(hwnd) ? TRUE : FALSE);
            return TRUE;
        }
        case PSN_APPLY: {
            AppConfig& config = SheetConfig();
            const AppConfig before = config;
            StoreTables(hwnd, page->Tables(), &config);
            page->Store(hwnd, &config, before);
            if (SheetSession* session = CurrentSheet(); session != nullptr && session->app != nullptr)
                session->app->SetSettingsChanged(1);
            SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, PSNRET_NOERROR);
            return TRUE;
        }
        case PSN_RESET:
            page->Reset(hwnd);
            return TRUE;
        default: return FALSE;
        }
    }
    case WM_DESTROY:
        page->Destroy(hwnd);
        SetWindowLongPtrA(hwnd, DWLP_USER, 0);
        delete page;
        return FALSE;
    default: return FALSE;
    }
}
