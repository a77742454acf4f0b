// The built-in modules "DS_SPRITE.DLL", "DS_PRIM.DLL" and "DS_MOVIE.DLL": their controls over
// MoviePlayer and their factories (see winapi/movie.h).
#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

#include "winapi/gdi.h"
#include "winapi/kernel_module.h"
#include "winapi/movie.h"
#include "winapi/movie/movie_player.h"
#include "winapi/user.h"

namespace winapi::movie {

namespace {

int64_t Join(DWORD low, DWORD high)
{
    return static_cast<int64_t>(static_cast<uint64_t>(high) << 32 | low);
}

// DS_SPRITE.DLL and DS_PRIM.DLL: frames go into the caller's two frame images.
class SpriteCtrl final : public IMovieSpriteCtrl {
public:
    explicit SpriteCtrl(std::unique_ptr<MoviePlayer> player) : m_player(std::move(player)) {}

    HRESULT QueryInterface(const IID&, void** out) override
    {
        if (out != nullptr)
            *out = nullptr;
        return E_NOTIMPL;
    }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    ULONG AddRef() override { return ++m_refs; }
    HRESULT Play() override { return m_player->Play(), S_OK; }
    HRESULT Pause() override { return m_player->Pause(), S_OK; }
    HRESULT Resume() override { return m_player->Resume(), S_OK; }
    HRESULT Stop() override { return m_player->Stop(), S_OK; }
    HRESULT GetPosition(int64_t* position) override
    {
        if (position == nullptr)
            return E_POINTER;
        *position = m_player->Position();
        return S_OK;
    }
    HRESULT SetPosition(DWORD low, DWORD high) override { return m_player->SetPosition(Join(low, high)), S_OK; }
    HRESULT GetDuration(int64_t* duration) override
    {
        if (duration == nullptr)
            return E_POINTER;
        *duration = m_player->Duration();
        return S_OK;
    }
    HRESULT GetPlayState(DWORD* state) override
    {
        if (state == nullptr)
            return E_POINTER;
        *state = m_player->PlayState();
        return S_OK;
    }
    HRESULT SetVolume(LONG volume) override { return m_player->SetVolume(volume), S_OK; }
    HRESULT SetBalance(double balance) override { return m_player->SetBalance(balance), S_OK; }
    HRESULT SetRate(double rate) override { return m_player->SetRate(rate), S_OK; }
    LONG GetNaturalWidth() override { return m_player->Width(); }
    LONG GetNaturalHeight() override { return m_player->Height(); }
    HRESULT Slot16() override { return E_NOTIMPL; }
    int PrepareFrame(RECT* sizedOut, LONG, LONG, const RECT*, DWORD, DWORD) override
    {
        if (sizedOut != nullptr)
            *sizedOut = RECT{0, 0, m_player->Width(), m_player->Height()};
        return m_player->Prepare();
    }
    BOOL IsAtEnd() override { return m_player->IsAtEnd() ? TRUE : FALSE; }

private:
    ~SpriteCtrl() = default;
    std::unique_ptr<MoviePlayer> m_player;
    std::atomic<ULONG> m_refs{1};
};

// A frame image of the window movie's own.
class BufferTarget final : public IMovieFrameTarget {
public:
    void LockFrame() override { m_mutex.lock(); }
    void UnlockFrame() override { m_mutex.unlock(); }
    bool ResizeFrame(int width, int height) override
    {
        if (width <= 0 || height <= 0 || width > kMovieMaxSide || height > kMovieMaxSide)
            return false;
        if (width != m_width || height != m_height) {
            m_pixels.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
            m_width = width;
            m_height = height;
        }
        return true;
    }
    BYTE* FramePixels() override { return m_pixels.empty() ? nullptr : m_pixels.data(); }
    LONG FramePitch() override { return m_width * 4; }
    int Width() const { return m_width; }
    int Height() const { return m_height; }

private:
    std::mutex m_mutex;
    std::vector<BYTE> m_pixels;
    int m_width = 0;
    int m_height = 0;
};

constexpr const char* kMovieWindowClass = "TessaroMovieWindow";

class WindowObject;
LRESULT CALLBACK MovieWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// DS_MOVIE.DLL: a child window of the owner at the destination rectangle.
class WindowObject final : public IMovieWindowObject {
public:
    explicit WindowObject(std::unique_ptr<MoviePlayer> player) : m_player(std::move(player))
    {
        m_dest = RECT{0, 0, m_player->Width(), m_player->Height()};
        m_player->onFrame = [this] {
            const HWND child = m_child.load();
            if (child != nullptr)
                InvalidateRect(child, nullptr, FALSE);
        };
        m_player->onEvent = [this](int code) {
            {
                std::lock_guard lock(m_eventMutex);
                m_events.push_back(code);
            }
            const HWND target = m_eventWindow.load();
            if (target != nullptr)
                PostMessageA(target, kMovieEventMessage, 0, 0);
        };
        m_player->Start(&m_frames[0], &m_frames[1]);
    }

    HRESULT QueryInterface(const IID&, void** out) override
    {
        if (out != nullptr)
            *out = nullptr;
        return E_NOTIMPL;
    }
    ULONG Release() override
    {
        const ULONG left = --m_refs;
        if (left == 0)
            delete this;
        return left;
    }
    ULONG AddRef() override { return ++m_refs; }
    HRESULT SetOwner(HWND owner) override
    {
        if (owner == nullptr || !IsWindow(owner))
            return E_INVALIDARG;
        if (m_child.load() != nullptr)
            return S_OK;
        RegisterWindowClass();
        HWND child = CreateWindowExA(0, kMovieWindowClass, "", WS_CHILD | WS_CLIPSIBLINGS, m_dest.left, m_dest.top,
                                     m_dest.right - m_dest.left, m_dest.bottom - m_dest.top, owner, nullptr, nullptr,
                                     nullptr);
        if (child == nullptr)
            return E_FAIL;
        SetWindowLongPtrA(child, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        m_child = child;
        return S_OK;
    }
    HRESULT SetEventWindow(HWND window) override
    {
        m_eventWindow = window;
        return S_OK;
    }
    HRESULT SetDestRect(LONG left, LONG top, LONG right, LONG bottom) override
    {
        if (right <= left || bottom <= top || right - left > kMovieMaxSide || bottom - top > kMovieMaxSide)
            return E_INVALIDARG;
        m_dest = RECT{left, top, right, bottom};
        m_player->SetOutputSize(right - left, bottom - top);
        if (const HWND child = m_child.load())
            MoveWindow(child, left, top, right - left, bottom - top, TRUE);
        return S_OK;
    }
    HRESULT Show(BOOL show) override
    {
        if (const HWND child = m_child.load())
            ShowWindow(child, show ? SW_SHOW : SW_HIDE);
        return S_OK;
    }
    HRESULT Run() override { return m_player->Play(), S_OK; }
    HRESULT Pause() override { return m_player->Pause(), S_OK; }
    HRESULT Resume() override { return m_player->Resume(), S_OK; }
    HRESULT Stop() override { return m_player->Stop(), S_OK; }
    HRESULT GetPosition(int64_t* position) override
    {
        if (position == nullptr)
            return E_POINTER;
        *position = m_player->Position();
        return S_OK;
    }
    HRESULT SetPosition(DWORD low, DWORD high) override { return m_player->SetPosition(Join(low, high)), S_OK; }
    HRESULT GetDuration(int64_t* duration) override
    {
        if (duration == nullptr)
            return E_POINTER;
        *duration = m_player->Duration();
        return S_OK;
    }
    HRESULT GetPlayState(DWORD* state) override
    {
        if (state == nullptr)
            return E_POINTER;
        *state = m_player->PlayState();
        return S_OK;
    }
    HRESULT NextEvent(BOOL* present, LONG* code, LONG_PTR* param1, LONG_PTR* param2) override
    {
        if (present == nullptr)
            return E_POINTER;
        std::lock_guard lock(m_eventMutex);
        *present = m_events.empty() ? FALSE : TRUE;
        if (!m_events.empty()) {
            if (code != nullptr)
                *code = m_events.front();
            m_events.pop_front();
        }
        if (param1 != nullptr)
            *param1 = 0;
        if (param2 != nullptr)
            *param2 = 0;
        return S_OK;
    }
    HRESULT SetVolume(LONG volume) override { return m_player->SetVolume(volume), S_OK; }
    HRESULT Slot17() override { return E_NOTIMPL; }
    HRESULT Query() override { return E_NOTIMPL; }
    HRESULT Set(LONG) override { return E_NOTIMPL; }
    HRESULT SetBalance(double balance) override { return m_player->SetBalance(balance), S_OK; }
    HRESULT SetRate(double rate) override { return m_player->SetRate(rate), S_OK; }
    LONG GetWindowMode() override { return 1; }
    BOOL PaintsByDC() override { return FALSE; }
    LONG GetNaturalWidth() override { return m_player->Width(); }
    LONG GetNaturalHeight() override { return m_player->Height(); }
    HRESULT Slot26() override { return E_NOTIMPL; }
    HRESULT PaintDC(HDC dc) override
    {
        if (dc == nullptr)
            return E_INVALIDARG;
        return Paint(dc, m_dest.left, m_dest.top) ? S_OK : E_FAIL;
    }

    // Draws the frame on show with its top-left corner at (x, y) of dc.
    bool Paint(HDC dc, int x, int y)
    {
        const int index = m_player->Prepare();
        if (index < 0)
            return false;
        BufferTarget& frame = m_frames[index];
        frame.LockFrame();
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = frame.Width();
        info.bmiHeader.biHeight = -frame.Height();
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        const BYTE* pixels = frame.FramePixels();
        const bool ok = pixels != nullptr &&
                        SetDIBitsToDevice(dc, x, y, static_cast<DWORD>(frame.Width()), static_cast<DWORD>(frame.Height()),
                                          0, 0, 0, static_cast<UINT>(frame.Height()), pixels, &info,
                                          DIB_RGB_COLORS) != 0;
        frame.UnlockFrame();
        return ok;
    }

private:
    ~WindowObject()
    {
        // The player's thread stops first, so no frame or event reaches a dead window.
        m_player.reset();
        if (const HWND child = m_child.exchange(nullptr)) {
            SetWindowLongPtrA(child, GWLP_USERDATA, 0);
            DestroyWindow(child);
        }
    }

    static void RegisterWindowClass()
    {
        static const bool registered = [] {
            WNDCLASSEXA wc{};
            wc.cbSize = sizeof wc;
            wc.lpfnWndProc = MovieWindowProc;
            wc.lpszClassName = kMovieWindowClass;
            RegisterClassExA(&wc);
            return true;
        }();
        (void)registered;
    }

    std::unique_ptr<MoviePlayer> m_player;
    BufferTarget m_frames[2];
    std::atomic<ULONG> m_refs{1};
    std::atomic<HWND> m_child{nullptr};
    std::atomic<HWND> m_eventWindow{nullptr};
    RECT m_dest{};
    std::mutex m_eventMutex;
    std::deque<int> m_events;
};

LRESULT CALLBACK MovieWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_ERASEBKGND:
        return 1;
    case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        auto* object = reinterpret_cast<WindowObject*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (dc != nullptr && object != nullptr)
            object->Paint(dc, 0, 0);
        EndPaint(hwnd, &paint);
        return 0;
    }
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

uint32_t GetDllVersion()
{
    return kMovieDllVersion;
}

int GetDShowGdiSpriteCtrl(IMovieSpriteCtrl** out, IMovieFrameTarget* frame0, IMovieFrameTarget* frame1, void*,
                          IMovieReadStream* stream, int, const char* path, int, int, int)
{
    if (out == nullptr)
        return 1;
    *out = nullptr;
    if (frame0 == nullptr || frame1 == nullptr)
        return 1;
    auto player = MoviePlayer::Open(path, stream);
    if (player == nullptr)
        return 2;
    player->Start(frame0, frame1);
    *out = new SpriteCtrl(std::move(player));
    return 0;
}

int GetDShowPrimCtrl(IMovieSpriteCtrl** out, IMovieFrameTarget* frame0, IMovieFrameTarget* frame1,
                     IMovieReadStream* stream, int kind, const char* path, int a, int b, int c)
{
    return GetDShowGdiSpriteCtrl(out, frame0, frame1, nullptr, stream, kind, path, a, b, c);
}

int GetMovieObject(IMovieWindowObject** out, IMovieReadStream* stream, int, const char* path, IDirectDraw7*,
                   IDirectDrawSurface7*, BYTE)
{
    if (out == nullptr)
        return 1;
    *out = nullptr;
    auto player = MoviePlayer::Open(path, stream);
    if (player == nullptr)
        return 2;
    *out = new WindowObject(std::move(player));
    return 0;
}

const BuiltinProc kSpriteProcs[] = {
    {"GetDllVersion", ToFarProc(&GetDllVersion)},
    {"GetDShowGdiSpriteCtrl", ToFarProc(&GetDShowGdiSpriteCtrl)},
};
const BuiltinProc kPrimProcs[] = {
    {"GetDllVersion", ToFarProc(&GetDllVersion)},
    {"GetDShowPrimCtrl", ToFarProc(&GetDShowPrimCtrl)},
};
const BuiltinProc kMovieProcs[] = {
    {"GetDllVersion", ToFarProc(&GetDllVersion)},
    {"GetMovieObject", ToFarProc(&GetMovieObject)},
};

} // namespace

} // namespace winapi::movie

bool RegisterMovieModules()
{
    using namespace winapi::movie;
    return winapi::RegisterBuiltinModule("DS_SPRITE.DLL", kSpriteProcs, std::size(kSpriteProcs)) &&
           winapi::RegisterBuiltinModule("DS_PRIM.DLL", kPrimProcs, std::size(kPrimProcs)) &&
           winapi::RegisterBuiltinModule("DS_MOVIE.DLL", kMovieProcs, std::size(kMovieProcs));
}
