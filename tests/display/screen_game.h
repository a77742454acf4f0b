// A small game over the application frame on the real screen (CScreen through its frame link),
// and a way to paint its display canvas one colour.
#pragma once

#include <functional>

#include "display/app_frame.h"
#include "display/screen_frame_link.h"
#include "display/surface_sprite.h"
#include "winapi/gdi.h"

class ScreenGame : public CAppFrame {
public:
    explicit ScreenGame(CScreenFrameLink* link) { SetScreen(link); }
    int SetAppInfo() override
    {
        SetAppStrings("ScreenGame", "Screen game", "", "", "");
        m_options.singleInstance = 0;
        if (configure)
            configure(m_options);
        return 0;
    }
    // Set before Init: options on top of the defaults.
    std::function<void(AppFrameOptions&)> configure;
};

// The whole canvas in one colour, marked changed.
inline bool FillCanvas(CSurfaceSprite* canvas, COLORREF colour)
{
    HDC dc = canvas->GetDrawDC();
    if (dc == nullptr)
        return false;
    RECT all{0, 0, canvas->GetWidth(), canvas->GetHeight()};
    HBRUSH brush = CreateSolidBrush(colour);
    FillRect(dc, &all, brush);
    DeleteObject(brush);
    canvas->InvalidateRect(nullptr);
    return true;
}
