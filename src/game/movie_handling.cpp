// The game's side of the window movie: g_pMovie under the movie lock, its events (0x9006), the
// repaint while it plays and its end at deactivation and exit.
#include "display/movie_object.h"
#include "game/game_app.h"
#include "winapi/user.h"

void CGameApp::DeleteMovieObject()
{
    CScopedLock lock(&m_movieLock);
    if (g_pMovie != nullptr) {
        CMovieObject* movie = g_pMovie;
        g_pMovie = nullptr;
        delete movie;
        m_moviePlaying = 0;
    }
}

uint32_t CGameApp::OnMovieNotify(CWindowMessage*)
{
    CScopedLock lock(&m_movieLock);
    if (g_pMovie != nullptr)
        g_pMovie->HandleEvents();
    return 0;
}

uint32_t CGameApp::OnDisplayChange(CWindowMessage* m)
{
    {
        CScopedLock lock(&m_movieLock);
        if (g_pMovie != nullptr)
            g_pMovie->OnDisplayChange();
    }
    return CAppFrame::OnDisplayChange(m);
}

uint32_t CGameApp::OnPaint(CWindowMessage* m)
{
    const uint8_t movie = m_moviePlaying.load();
    IFrameScreen* screen = GetScreen();
    if (movie == 0 || screen == nullptr)
        return CAppFrame::OnPaint(m);
    HWND hwnd = m->GetWindowHandle();
    PAINTSTRUCT ps;
    HDC dc = BeginPaint(hwnd, &ps);
    // While a window movie plays the frame is repainted only where the movie cannot cover it.
    if (screen->IsGdiMode() || (screen->HasFrameImage() && !screen->HasPrimarySurface()))
        screen->PaintToDC(dc, &ps.rcPaint);
    if (movie == 2) {
        CScopedLock lock(&m_movieLock);
        if (g_pMovie != nullptr && g_pMovie->HasControl() && dc != nullptr)
            g_pMovie->PaintToDC(dc);
    } else if (!m_screenObject.HasNoHardware()) {
        if (HWND top = GetTopWindow(hwnd))
            InvalidateRect(top, nullptr, TRUE);
    }
    EndPaint(hwnd, &ps);
    return 0;
}
