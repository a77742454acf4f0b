// The SDL2 host: one SDL window per top-level window with a renderer and one streaming texture of
// the client size; a present uploads only the changed rectangles and draws the texture scaled
// (linear) with the aspect kept and black borders (HiDPI screens, a maximised window, a full-screen
// window over a virtual display mode). A display's full-screen window goes SDL desktop full screen
// on that display; the machine's mode never changes. SDL events become the window system's input.
// Every SDL call runs on the thread that owns the windows.
#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <functional>
#include <thread>
#include <map>
#include <mutex>

#include "winapi/host_headless.h"
#include "winapi/sdl_devices.h"
#include "winapi/sdl_testing.h"
#include "winapi/host_sdl_x11.h"
#include "winapi/user_internal.h"

// LeakSanitizer's switch, when the program runs under it. SDL's video drivers load system
// libraries (EGL, X11) that keep allocations for the life of the process and unload with them;
// those are not ours to free, so the host hides what they allocate while it starts them.
extern "C" void __lsan_disable() __attribute__((weak));
extern "C" void __lsan_enable() __attribute__((weak));

namespace winapi {

namespace {

// Tests: every wait of the window thread in SDL lasts this long (ms; 0: the caller's timeout).
std::atomic<int> g_waitTimeoutOverride{0};
// Tests: SDL shows no message box (as on a machine without a dialog program).
std::atomic<bool> g_noMessageBoxes{false};

class LibraryAllocations {
public:
    LibraryAllocations()
    {
        if (__lsan_disable != nullptr)
            __lsan_disable();
    }
    ~LibraryAllocations()
    {
        if (__lsan_enable != nullptr)
            __lsan_enable();
    }
    LibraryAllocations(const LibraryAllocations&) = delete;
    LibraryAllocations& operator=(const LibraryAllocations&) = delete;
};

struct Letterbox {
    SDL_Rect target{0, 0, 0, 0};  // where the client pixels go on the surface
    int frameWidth = 0;
    int frameHeight = 0;
    // Window size in points and surface size in pixels (they differ on HiDPI screens).
    int windowWidth = 0;
    int windowHeight = 0;
    int surfaceWidth = 0;
    int surfaceHeight = 0;
};

Letterbox Fit(int frameWidth, int frameHeight, int surfaceWidth, int surfaceHeight)
{
    Letterbox box;
    box.frameWidth = frameWidth;
    box.frameHeight = frameHeight;
    const RECT r = LetterboxRect(frameWidth, frameHeight, surfaceWidth, surfaceHeight);
    box.target = SDL_Rect{r.left, r.top, r.right - r.left, r.bottom - r.top};
    return box;
}

class SdlHost : public Host {
public:
    SdlHost()
    {
        // SDL keeps the screen saver away by default; the machine's own rule holds until the
        // engine asks otherwise.
        SDL_EnableScreenSaver();
        SDL_StartTextInput();
        CacheDisplays();
        // Drivers without a window system (offscreen, dummy) bring input only as pushed events,
        // which the watch announces: their window thread need not poll SDL while it waits.
        const char* driver = SDL_GetCurrentVideoDriver();
        pollVideo_ = driver == nullptr || (std::strcmp(driver, "offscreen") != 0 && std::strcmp(driver, "dummy") != 0);
        // Nor a screen or a graphics card: there each window is drawn by SDL's software renderer
        // into memory of its own. SDL's default, a window surface behind OpenGL, is a software
        // rasteriser there, whose start (a compiler loaded, shaders built) costs more CPU than
        // minutes of frames. A renderer the user names (SDL_RENDER_DRIVER) is still taken.
        memoryCanvas_ = !pollVideo_ && SDL_GetHint(SDL_HINT_RENDER_DRIVER) == nullptr;
        screenless_ = !pollVideo_;
        // X11 and Wayland can sleep on the window system's connection until input comes or
        // another thread pushes an event (the wake-up event below); other drivers are polled.
        waitVideo_ = driver != nullptr && (std::strcmp(driver, "x11") == 0 || std::strcmp(driver, "wayland") == 0);
        wakeType_ = SDL_RegisterEvents(1);
        if (wakeType_ == static_cast<Uint32>(-1))
            waitVideo_ = false;
        SDL_AddEventWatch(&SdlHost::OnEventPushed, this);
    }

    ~SdlHost() override
    {
        SDL_DelEventWatch(&SdlHost::OnEventPushed, this);
        for (auto& [hwnd, window] : windows_) {
            DropRenderer(window);
            SDL_DestroyWindow(window.sdl);
        }
        if (cursor_ != nullptr)
            SDL_FreeCursor(cursor_);
        SDL_QuitSubSystem(SDL_INIT_VIDEO);
    }

    const char* Name() const override { return "sdl"; }

    bool OpenWindow(HWND hwnd, const HostWindowState& state) override
    {
        const int width = std::max<int>(state.client.right - state.client.left, 1);
        const int height = std::max<int>(state.client.bottom - state.client.top, 1);
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_ALLOW_HIGHDPI;
        if (!state.decorated)
            flags |= SDL_WINDOW_BORDERLESS;
        if (state.topmost)
            flags |= SDL_WINDOW_ALWAYS_ON_TOP;
        SDL_Window* sdl;
        {
            LibraryAllocations hidden;
            sdl = SDL_CreateWindow(state.titleUtf8.c_str(), state.client.left, state.client.top, width, height, flags);
        }
        if (sdl == nullptr)
            return false;
        {
            std::lock_guard deferredLock(deferredMutex_);
            if (windowThread_ == std::thread::id{})
                windowThread_ = std::this_thread::get_id();
        }
        std::lock_guard lock(mutex_);
        Window& window = windows_[hwnd];
        window.sdl = sdl;
        window.state = state;
        byId_[SDL_GetWindowID(sdl)] = hwnd;
        Apply(hwnd, window, state, true);
        return true;
    }

    void CloseWindow(HWND hwnd) override
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        if (it == windows_.end())
            return;
        byId_.erase(SDL_GetWindowID(it->second.sdl));
        LibraryAllocations hidden;
        DropRenderer(it->second);
        SDL_DestroyWindow(it->second.sdl);
        windows_.erase(it);
    }

    void UpdateWindow(HWND hwnd, const HostWindowState& state) override
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        if (it != windows_.end())
            Apply(hwnd, it->second, state, false);
    }

    // --- presenter ---
    void Present(HWND hwnd, const FrameView& view, const std::vector<RECT>& rects) override
    {
        Upload(hwnd, view, rects);
        ShowUploaded(hwnd);
    }

    // Only SDL's texture calls run here: none of them sends an event, so no event watch (which
    // takes the window system's queue locks) runs while the caller holds a store's lock.
    bool Upload(HWND hwnd, const FrameView& view, const std::vector<RECT>& rects) override
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || view.width < 1 || view.height < 1)
            return true;
        Window& window = it->second;
        LibraryAllocations hidden;
        if (memoryCanvas_) {
            DrawIntoCanvas(window, view, rects);
            return true;
        }
        bool fresh = false;
        if (!Prepare(window, view.width, view.height, &fresh))
            return true;
        int64_t covered = 0;
        for (const RECT& r : rects)
            covered += static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
        // A new texture, or rectangles covering most of the client: one upload of everything.
        if (fresh || covered * 4 >= static_cast<int64_t>(view.width) * view.height * 3) {
            SDL_UpdateTexture(window.texture, nullptr, view.pixels, view.width * 4);
        } else if (!window.softwareRenderer || !CopyIntoLocked(window.texture, view, rects)) {
            for (const RECT& r : rects) {
                const SDL_Rect area{r.left, r.top, r.right - r.left, r.bottom - r.top};
                SDL_UpdateTexture(window.texture, &area, view.pixels + static_cast<size_t>(r.top) * view.width + r.left,
                                  view.width * 4);
            }
        }
        return true;
    }

    // A software renderer that keeps the texture format as it is (no converted copy behind it).
    static bool HoldsTexturesAsMemory(SDL_Renderer* renderer)
    {
        SDL_RendererInfo info{};
        if (SDL_GetRendererInfo(renderer, &info) != 0 || (info.flags & SDL_RENDERER_SOFTWARE) == 0)
            return false;
        for (Uint32 i = 0; i < info.num_texture_formats; ++i)
            if (info.texture_formats[i] == SDL_PIXELFORMAT_RGB888)
                return true;
        return false;
    }

    // A software renderer's texture is plain memory that locking hands out as it is: one lock of
    // the rectangles' bounds, and their rows copied in. (A GPU renderer would send the whole
    // locked bounds; it is given each rectangle instead.) False when the texture cannot be locked.
    static bool CopyIntoLocked(SDL_Texture* texture, const FrameView& view, const std::vector<RECT>& rects)
    {
        if (rects.empty())
            return true;
        RECT bounds = rects.front();
        for (const RECT& r : rects)
            bounds = RECT{std::min(bounds.left, r.left), std::min(bounds.top, r.top), std::max(bounds.right, r.right),
                          std::max(bounds.bottom, r.bottom)};
        const SDL_Rect area{bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top};
        void* locked = nullptr;
        int pitch = 0;
        if (SDL_LockTexture(texture, &area, &locked, &pitch) != 0)
            return false;
        auto* target = static_cast<uint8_t*>(locked);
        for (const RECT& r : rects) {
            const size_t bytes = static_cast<size_t>(r.right - r.left) * 4;
            for (LONG y = r.top; y < r.bottom; ++y)
                std::memcpy(target + static_cast<ptrdiff_t>(y - bounds.top) * pitch +
                                static_cast<ptrdiff_t>(r.left - bounds.left) * 4,
                            view.pixels + static_cast<size_t>(y) * view.width + r.left, bytes);
        }
        SDL_UnlockTexture(texture);
        return true;
    }

    void ShowUploaded(HWND hwnd) override
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        if (it != windows_.end())
            Show(it->second);
    }

    Frame ReadBack(HWND hwnd) override
    {
        std::lock_guard lock(mutex_);
        Frame out;
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || !HasPicture(it->second))
            return out;
        Window& window = it->second;
        LibraryAllocations hidden;
        // Drawn again without presenting, so that the read does not depend on what a present
        // leaves in the renderer's buffer (a canvas without a texture keeps its picture as is).
        Draw(window);
        const SDL_Rect& target = window.box.target;
        if (target.w < 1 || target.h < 1)
            return out;
        std::vector<uint32_t> shown(static_cast<size_t>(target.w) * target.h);
        if (SDL_RenderReadPixels(window.renderer, &target, SDL_PIXELFORMAT_ARGB8888, shown.data(), target.w * 4) != 0)
            return out;
        // Mapped back to client pixels (the nearest shown pixel of each).
        out.width = window.textureWidth;
        out.height = window.textureHeight;
        out.pixels.resize(static_cast<size_t>(out.width) * out.height);
        for (int y = 0; y < out.height; ++y) {
            const int sy = static_cast<int>(static_cast<int64_t>(y) * target.h / out.height);
            for (int x = 0; x < out.width; ++x) {
                const int sx = static_cast<int>(static_cast<int64_t>(x) * target.w / out.width);
                out.pixels[static_cast<size_t>(y) * out.width + x] = shown[static_cast<size_t>(sy) * target.w + sx];
            }
        }
        return out;
    }

    // Answers true while a source must be polled: the window system's connection (where SDL
    // cannot wait on it), open joysticks, or an event pushed from another thread that may not be
    // queued yet (the watch runs just before SDL queues it).
    bool Pump() override
    {
        const bool pushed = pushed_.exchange(false);
        RunDeferred();
        LibraryAllocations hidden;
        devices_.Refresh();
        SDL_Event event;
        while (SDL_PollEvent(&event))
            if (event.type != wakeType_ && !devices_.Handle(event, [this](Uint32 id) { return Owner(id); }))
                Handle(event);
        devices_.Update();
        if (CanWaitInSdl())
            return false;
        return pollVideo_ || pushed || devices_.HasOpenDevices();
    }

    bool WaitForInput(int timeoutMs) override
    {
        if (!CanWaitInSdl())
            return false;
        LibraryAllocations hidden;
        const int forced = g_waitTimeoutOverride.load();
        // Without an event to fill, SDL leaves what came in its queue for the next Pump.
        SDL_WaitEventTimeout(nullptr, forced > 0 ? forced : std::max(timeoutMs, 1));
        return true;
    }

    void WakeWait() override
    {
        if (!waitVideo_)
            return;
        SDL_Event event{};
        event.type = wakeType_;
        SDL_PushEvent(&event);
    }

    void SetClipboardText(const std::string& textUtf8) override { SDL_SetClipboardText(textUtf8.c_str()); }

    int MessageBox(const std::string& textUtf8, const std::string& captionUtf8, UINT type) override
    {
        struct Layout {
            int count;
            int ids[3];
            const char* labels[3];
        };
        static const Layout kLayouts[] = {
            {1, {IDOK}, {"OK"}},
            {2, {IDOK, IDCANCEL}, {"OK", "Cancel"}},
            {3, {IDABORT, IDRETRY, IDIGNORE}, {"Abort", "Retry", "Ignore"}},
            {3, {IDYES, IDNO, IDCANCEL}, {"Yes", "No", "Cancel"}},
            {2, {IDYES, IDNO}, {"Yes", "No"}},
            {2, {IDRETRY, IDCANCEL}, {"Retry", "Cancel"}},
        };
        // The text goes to stderr too: the box may not show (no dialog program, no screen), and
        // a player who started the game from a terminal reads why it ended there.
        EchoMessageBox(textUtf8);
        const UINT kind = type & 0xF;
        const Layout& layout = kLayouts[kind < 6 ? kind : 0];
        const int defaultId = DefaultMessageBoxButton(type);
        SDL_MessageBoxButtonData buttons[3];
        for (int i = 0; i < layout.count; ++i) {
            buttons[i].flags = 0;
            if (layout.ids[i] == defaultId)
                buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_RETURNKEY_DEFAULT;
            if (i == layout.count - 1)
                buttons[i].flags |= SDL_MESSAGEBOX_BUTTON_ESCAPEKEY_DEFAULT;
            buttons[i].buttonid = layout.ids[i];
            buttons[i].text = layout.labels[i];
        }
        SDL_MessageBoxData data{};
        const UINT icon = type & 0xF0;
        data.flags = icon == MB_ICONSTOP ? SDL_MESSAGEBOX_ERROR
                     : icon == MB_ICONEXCLAMATION ? SDL_MESSAGEBOX_WARNING
                                                  : SDL_MESSAGEBOX_INFORMATION;
        data.title = captionUtf8.c_str();
        data.message = textUtf8.c_str();
        data.numbuttons = layout.count;
        data.buttons = buttons;
        int pressed = 0;
        // On a thread SDL did not make, its error text (set when no box shows) outlives the thread.
        LibraryAllocations hidden;
        // A box that cannot be shown answers its default button, as Windows does: answering 0
        // read as "No" to the quit question, and the window could not be closed.
        if (!CanShowMessageBoxes() || SDL_ShowMessageBox(&data, &pressed) != 0 || pressed < 0)
            return defaultId;
        return pressed;
    }

    // Without a screen no box can be seen. SDL would still try its X11 box, which forks the whole
    // process first (and every page the game writes afterwards then faults once more) only for
    // the child to find no display.
    bool CanShowMessageBoxes() const { return !g_noMessageBoxes.load() && !screenless_; }

    std::vector<DisplayInfo> Displays() override
    {
        std::lock_guard lock(mutex_);
        return displays_;
    }

    std::vector<DisplayInfo> Modes(int display) override
    {
        std::lock_guard lock(mutex_);
        if (display < 0 || static_cast<size_t>(display) >= modes_.size())
            return {};
        return modes_[static_cast<size_t>(display)];
    }

    // Cursor and text calls may come from any thread; SDL takes them on the window thread only,
    // so other threads leave them for the next Pump.
    void SetCursorVisible(bool visible) override
    {
        if (Defer([=, this] { ApplyCursorVisible(visible); }))
            return;
        ApplyCursorVisible(visible);
    }

    void WarpCursor(HWND hwnd, int x, int y) override
    {
        if (Defer([=, this] { ApplyWarp(hwnd, x, y); }))
            return;
        ApplyWarp(hwnd, x, y);
    }

    void SetCursorShape(const uint32_t* pixels, int width, int height, int hotX, int hotY, int standardId) override
    {
        if (Defer([=, this] { ApplyCursorShape(pixels, width, height, hotX, hotY, standardId); }))
            return;
        ApplyCursorShape(pixels, width, height, hotX, hotY, standardId);
    }

    void SetTextInput(bool on) override
    {
        if (Defer([=, this] { ApplyTextInput(on); }))
            return;
        ApplyTextInput(on);
    }

    // --- Application frame: screen saver, keyboard grab, IME candidate window ---
    void SetScreenSaverAllowed(bool allowed) override
    {
        if (Defer([=] { allowed ? SDL_EnableScreenSaver() : SDL_DisableScreenSaver(); }))
            return;
        allowed ? SDL_EnableScreenSaver() : SDL_DisableScreenSaver();
    }

    void SetKeyboardGrab(HWND hwnd, bool grab) override
    {
        auto apply = [=, this] {
            std::lock_guard lock(mutex_);
            auto it = windows_.find(hwnd);
            if (it != windows_.end())
                SDL_SetWindowKeyboardGrab(it->second.sdl, grab ? SDL_TRUE : SDL_FALSE);
        };
        if (Defer(apply))
            return;
        apply();
    }

    void SetTextInputRect(HWND, const RECT& rect) override
    {
        SDL_Rect area{rect.left, rect.top, std::max<int>(rect.right - rect.left, 1), std::max<int>(rect.bottom - rect.top, 1)};
        if (Defer([=]() mutable { SDL_SetTextInputRect(&area); }))
            return;
        SDL_SetTextInputRect(&area);
    }

private:
    void ApplyCursorVisible(bool visible)
    {
        cursorVisible_ = visible;
        SDL_ShowCursor(cursorVisible_ && haveShape_ ? SDL_ENABLE : SDL_DISABLE);
    }

    void ApplyWarp(HWND hwnd, int x, int y)
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        if (it == windows_.end())
            return;
        const Letterbox& box = it->second.box;
        if (box.frameWidth < 1 || box.frameHeight < 1)
            return;
        int px = box.target.x + x * box.target.w / box.frameWidth;
        int py = box.target.y + y * box.target.h / box.frameHeight;
        if (box.surfaceWidth > 0 && box.surfaceHeight > 0) {
            px = px * box.windowWidth / box.surfaceWidth;
            py = py * box.windowHeight / box.surfaceHeight;
        }
        SDL_WarpMouseInWindow(it->second.sdl, px, py);
    }

    void ApplyCursorShape(const uint32_t* pixels, int width, int height, int hotX, int hotY, int standardId)
    {
        SDL_Cursor* cursor = nullptr;
        if (pixels != nullptr && width > 0 && height > 0) {
            SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(pixels), width, height, 32,
                                                                      width * 4, SDL_PIXELFORMAT_ARGB8888);
            if (surface != nullptr) {
                cursor = SDL_CreateColorCursor(surface, hotX, hotY);
                SDL_FreeSurface(surface);
            }
        } else if (standardId != 0) {
            SDL_SystemCursor system = SDL_SYSTEM_CURSOR_ARROW;
            switch (standardId) {
            case 32513: system = SDL_SYSTEM_CURSOR_IBEAM; break;
            case 32514: system = SDL_SYSTEM_CURSOR_WAIT; break;
            case 32515: system = SDL_SYSTEM_CURSOR_CROSSHAIR; break;
            case 32649: system = SDL_SYSTEM_CURSOR_HAND; break;
            default: break;
            }
            cursor = SDL_CreateSystemCursor(system);
        }
        haveShape_ = pixels != nullptr || standardId != 0;
        if (cursor != nullptr) {
            SDL_SetCursor(cursor);
            if (cursor_ != nullptr)
                SDL_FreeCursor(cursor_);
            cursor_ = cursor;
        }
        SDL_ShowCursor(cursorVisible_ && haveShape_ ? SDL_ENABLE : SDL_DISABLE);
    }

    void ApplyTextInput(bool on)
    {
        // Text input stays on for plain typing; the IME's own window follows the open status.
        if (on)
            SDL_StartTextInput();
    }

    // Queues a call for the window thread when the caller is another thread; false: run it now.
    bool Defer(std::function<void()> call)
    {
        {
            std::lock_guard lock(deferredMutex_);
            if (windowThread_ == std::thread::id{} || windowThread_ == std::this_thread::get_id())
                return false;
            deferred_.push_back(std::move(call));
        }
        user::WakeAllQueues();  // the window thread may be waiting without polling
        return true;
    }

    // Whether SDL can sleep until input comes (on the window thread): SDL waits on the window
    // system only with a window to send its wake-up to and nothing it must poll (joysticks,
    // sensors); otherwise it would poll every millisecond.
    bool CanWaitInSdl()
    {
        if (!waitVideo_ || devices_.HasOpenDevices() || SDL_NumJoysticks() > 0 ||
            (SDL_WasInit(SDL_INIT_SENSOR) != 0 && SDL_NumSensors() > 0))
            return false;
        std::lock_guard lock(mutex_);
        return !windows_.empty();
    }

    // SDL's event watch, on the pushing thread: an event from another thread wakes the window
    // thread, which would otherwise not look before its wait ends. The host's own wake-up event
    // needs nothing more.
    static int SDLCALL OnEventPushed(void* self, SDL_Event* event)
    {
        auto* host = static_cast<SdlHost*>(self);
        if (event->type == host->wakeType_)
            return 1;
        {
            std::lock_guard lock(host->deferredMutex_);
            if (host->windowThread_ == std::this_thread::get_id())
                return 1;
        }
        host->pushed_ = true;
        user::WakeAllQueues();
        return 1;
    }

    void RunDeferred()
    {
        std::vector<std::function<void()>> calls;
        {
            std::lock_guard lock(deferredMutex_);
            calls.swap(deferred_);
        }
        for (auto& call : calls)
            call();
    }

    struct Window {
        SDL_Window* sdl = nullptr;
        HostWindowState state;
        int fullScreenOn = -1;  // the SDL display it is full screen on
        SDL_Renderer* renderer = nullptr;
        SDL_Texture* texture = nullptr;
        SDL_Surface* canvas = nullptr; // what the renderer draws into, without a screen
        SDL_Surface* source = nullptr; // the client pixels the canvas was last drawn from (a view)
        bool canvasDrawn = false;      // the canvas holds the whole picture of `source`
        bool softwareRenderer = false;  // its textures are memory that a lock hands out as it is
        int textureWidth = 0;
        int textureHeight = 0;
        Letterbox box;
    };

    void CacheDisplays()
    {
        const int count = SDL_GetNumVideoDisplays();
        for (int i = 0; i < count; ++i) {
            DisplayInfo display;
            SDL_Rect bounds, usable;
            if (SDL_GetDisplayBounds(i, &bounds) != 0)
                continue;
            if (SDL_GetDisplayUsableBounds(i, &usable) != 0)
                usable = bounds;
            display.bounds = RECT{bounds.x, bounds.y, bounds.x + bounds.w, bounds.y + bounds.h};
            display.work = RECT{usable.x, usable.y, usable.x + usable.w, usable.y + usable.h};
            SDL_DisplayMode mode;
            if (SDL_GetCurrentDisplayMode(i, &mode) == 0) {
                display.bitsPerPixel = SDL_BITSPERPIXEL(mode.format) >= 24 ? 32 : static_cast<int>(SDL_BITSPERPIXEL(mode.format));
                display.refreshHz = mode.refresh_rate;
            }
            display.deviceName = "\\\\.\\DISPLAY" + std::to_string(i + 1);
            const char* name = SDL_GetDisplayName(i);
            display.adapter = name != nullptr ? name : "Display";
            display.primary = i == 0;
            displays_.push_back(display);
            sdlIndex_.push_back(i);
            std::vector<DisplayInfo> modes{display};
            const int modeCount = SDL_GetNumDisplayModes(i);
            for (int m = 0; m < modeCount; ++m) {
                SDL_DisplayMode each;
                if (SDL_GetDisplayMode(i, m, &each) != 0)
                    continue;
                DisplayInfo entry = display;
                entry.bounds = RECT{0, 0, each.w, each.h};
                entry.bitsPerPixel = SDL_BITSPERPIXEL(each.format) >= 24 ? 32 : static_cast<int>(SDL_BITSPERPIXEL(each.format));
                entry.refreshHz = each.refresh_rate;
                modes.push_back(entry);
            }
            modes_.push_back(modes);
        }
        if (displays_.empty()) {
            displays_.push_back(DisplayInfo{});
            modes_.push_back({DisplayInfo{}});
        }
    }

    void Apply(HWND, Window& window, const HostWindowState& state, bool fresh)
    {
        LibraryAllocations hidden;
        SDL_Window* sdl = window.sdl;
        const HostWindowState old = window.state;
        window.state = state;
        if (fresh || old.titleUtf8 != state.titleUtf8)
            SDL_SetWindowTitle(sdl, state.titleUtf8.c_str());
        if (fresh || old.decorated != state.decorated)
            SDL_SetWindowBordered(sdl, state.decorated ? SDL_TRUE : SDL_FALSE);
        if (fresh || old.topmost != state.topmost)
            SDL_SetWindowAlwaysOnTop(sdl, state.topmost ? SDL_TRUE : SDL_FALSE);
        if (fresh || old.owner != state.owner)
            HoldOverOwner(window);
        // A display's full-screen window: the display keeps its mode and the picture is
        // letterboxed onto it. Full screen is left before the window's own size and place are set
        // again, so that SDL's memory of them cannot win.
        const int display = SdlDisplay(state.fullScreenDisplay);
        bool geometry = fresh;
        if (window.fullScreenOn >= 0 && window.fullScreenOn != display) {
            SDL_SetWindowFullscreen(sdl, 0);
            window.fullScreenOn = -1;
            geometry = true;
        }
        if (display < 0) {
            const int width = std::max<int>(state.client.right - state.client.left, 1);
            const int height = std::max<int>(state.client.bottom - state.client.top, 1);
            const bool sized = geometry || old.client.right - old.client.left != width ||
                               old.client.bottom - old.client.top != height;
            const bool moved = geometry || old.client.left != state.client.left || old.client.top != state.client.top;
            Place(sdl, SDL_Rect{state.client.left, state.client.top, width, height}, sized, moved);
        } else if (window.fullScreenOn < 0) {
            // Over the whole display first: SDL goes full screen on the display that holds the
            // window, and an X server without a window manager does no more than this.
            SDL_Rect bounds;
            if (SDL_GetDisplayBounds(display, &bounds) == 0)
                Place(sdl, bounds, true, true);
            if (SDL_SetWindowFullscreen(sdl, SDL_WINDOW_FULLSCREEN_DESKTOP) == 0)
                window.fullScreenOn = display;
        }
        if (state.visible && (fresh || !old.visible))
            SDL_ShowWindow(sdl);
        if (!state.visible && old.visible)
            SDL_HideWindow(sdl);
        if (state.minimized && !old.minimized)
            SDL_MinimizeWindow(sdl);
        if (!state.minimized && old.minimized)
            SDL_RestoreWindow(sdl);
    }

    // A dialog stays over the window that owns it: SDL says so to the window system where it can
    // (X11: the transient-for hint); elsewhere it is refused and the window is left alone.
    void HoldOverOwner(Window& window)
    {
        if (window.state.owner == nullptr)
            return;
        auto owner = windows_.find(window.state.owner);
        if (owner != windows_.end() && owner->second.sdl != window.sdl)
            SDL_SetWindowModalFor(window.sdl, owner->second.sdl);
    }

    // SDL makes a window's X11 window again for its first renderer, and the hints of the old one
    // are gone: the window is held over its owner again, and the windows it owns over it.
    void RenewOwnership(Window& window)
    {
        HoldOverOwner(window);
        for (auto& [hwnd, other] : windows_) {
            if (&other == &window || other.state.owner == nullptr)
                continue;
            auto owner = windows_.find(other.state.owner);
            if (owner != windows_.end() && &owner->second == &window)
                HoldOverOwner(other);
        }
    }

    // Sizes and moves the window as asked, where it is not so yet (SDL's X11 driver waits up to
    // 100 ms for the server to confirm a move or a size, also one that changes nothing).
    static void Place(SDL_Window* sdl, const SDL_Rect& to, bool size, bool move)
    {
        int x = 0, y = 0, w = 0, h = 0;
        SDL_GetWindowPosition(sdl, &x, &y);
        SDL_GetWindowSize(sdl, &w, &h);
        if (size && (w != to.w || h != to.h))
            SDL_SetWindowSize(sdl, to.w, to.h);
        if (move && (x != to.x || y != to.y))
            SDL_SetWindowPosition(sdl, to.x, to.y);
    }

    // The SDL display of an entry of the window system's display list (the host's list, in the
    // same order); -1 for none.
    int SdlDisplay(int index) const
    {
        if (index < 0 || static_cast<size_t>(index) >= sdlIndex_.size())
            return -1;
        return sdlIndex_[static_cast<size_t>(index)];
    }

    // Without a screen the canvas is the window's picture, kept from present to present, and the
    // caller's pixels are drawn into it straight (under the caller's lock, which a surface's blits
    // do not mind: they send no event): no texture between them, and at the client's own size
    // only the changed rectangles are copied. Scaled, the whole picture is drawn again, as a
    // renderer draws its texture.
    void DrawIntoCanvas(Window& window, const FrameView& view, const std::vector<RECT>& rects)
    {
        if (window.canvas != nullptr && !CanvasFits(window))
            DropRenderer(window); // the window changed size: a canvas of the new one
        if (window.renderer == nullptr) {
            // The renderer stays for those who draw beside the window (benchmarks).
            window.renderer = CanvasRenderer(window);
            if (window.renderer == nullptr)
                return;
            window.softwareRenderer = true;
            RenewOwnership(window);
        }
        if (window.source == nullptr || window.source->pixels != view.pixels ||
            window.source->w != view.width || window.source->h != view.height) {
            // A view of the caller's pixels, made again only when they move (read under their lock).
            SDL_FreeSurface(window.source);
            window.source =
                SDL_CreateRGBSurfaceWithFormatFrom(const_cast<uint32_t*>(view.pixels), view.width,
                                                   view.height, 32, view.width * 4, SDL_PIXELFORMAT_RGB888);
            window.canvasDrawn = false;
            if (window.source == nullptr)
                return;
        }
        SDL_Surface* canvas = window.canvas;
        Letterbox box = Fit(view.width, view.height, canvas->w, canvas->h);
        SDL_GetWindowSize(window.sdl, &box.windowWidth, &box.windowHeight);
        box.surfaceWidth = canvas->w;
        box.surfaceHeight = canvas->h;
        const SDL_Rect& target = box.target;
        if (!SameRect(target, window.box.target))
            window.canvasDrawn = false;
        window.box = box;
        window.textureWidth = view.width;
        window.textureHeight = view.height;
        if (target.w < 1 || target.h < 1)
            return;
        const bool oneToOne = target.w == view.width && target.h == view.height;
        if (window.canvasDrawn && oneToOne) {
            for (const RECT& r : rects) {
                SDL_Rect from{r.left, r.top, r.right - r.left, r.bottom - r.top};
                SDL_Rect to{target.x + r.left, target.y + r.top, from.w, from.h};
                SDL_BlitSurface(window.source, &from, canvas, &to);
            }
            return;
        }
        SDL_FillRect(canvas, nullptr, SDL_MapRGB(canvas->format, 0, 0, 0));
        SDL_Rect to = target;
        window.canvasDrawn = (oneToOne ? SDL_BlitSurface(window.source, nullptr, canvas, &to)
                                       : SDL_SoftStretchLinear(window.source, nullptr, canvas, &to)) == 0;
    }

    static bool SameRect(const SDL_Rect& a, const SDL_Rect& b)
    {
        return a.x == b.x && a.y == b.y && a.w == b.w && a.h == b.h;
    }

    // Whether the window has a picture to show: a texture, or a canvas drawn without one.
    static bool HasPicture(const Window& window) { return window.texture != nullptr || window.canvasDrawn; }

    // The renderer of a window and a streaming texture of the client size (fresh: just made).
    bool Prepare(Window& window, int width, int height, bool* fresh)
    {
        if (window.canvas != nullptr && !CanvasFits(window))
            DropRenderer(window); // the window changed size: a canvas of the new one
        if (window.renderer == nullptr) {
            window.renderer = memoryCanvas_ ? CanvasRenderer(window) : SDL_CreateRenderer(window.sdl, -1, 0);
            if (window.renderer == nullptr)
                return false;
            window.softwareRenderer = HoldsTexturesAsMemory(window.renderer);
            RenewOwnership(window);
        }
        if (window.texture != nullptr && window.textureWidth == width && window.textureHeight == height)
            return true;
        if (window.texture != nullptr)
            SDL_DestroyTexture(window.texture);
        // No alpha channel: the alpha byte of GDI pixels never reaches the screen.
        window.texture = SDL_CreateTexture(window.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                           width, height);
        if (window.texture != nullptr)
            SDL_SetTextureScaleMode(window.texture, SDL_ScaleModeLinear);
        window.textureWidth = window.texture != nullptr ? width : 0;
        window.textureHeight = window.texture != nullptr ? height : 0;
        *fresh = true;
        return window.texture != nullptr;
    }

    // A software renderer over a surface of the window's size → nullptr when none can be made.
    static SDL_Renderer* CanvasRenderer(Window& window)
    {
        int width = 0, height = 0;
        SDL_GetWindowSize(window.sdl, &width, &height);
        window.canvas = SDL_CreateRGBSurfaceWithFormat(0, std::max(width, 1), std::max(height, 1), 32,
                                                       SDL_PIXELFORMAT_RGB888);
        if (window.canvas == nullptr)
            return nullptr;
        SDL_Renderer* renderer = SDL_CreateSoftwareRenderer(window.canvas);
        if (renderer == nullptr) {
            SDL_FreeSurface(window.canvas);
            window.canvas = nullptr;
        }
        return renderer;
    }

    static bool CanvasFits(const Window& window)
    {
        int width = 0, height = 0;
        SDL_GetWindowSize(window.sdl, &width, &height);
        return window.canvas->w == std::max(width, 1) && window.canvas->h == std::max(height, 1);
    }

    void DropRenderer(Window& window)
    {
        if (window.texture != nullptr)
            SDL_DestroyTexture(window.texture);
        if (window.renderer != nullptr)
            SDL_DestroyRenderer(window.renderer);
        if (window.canvas != nullptr)
            SDL_FreeSurface(window.canvas);
        SDL_FreeSurface(window.source);
        window.source = nullptr;
        window.canvasDrawn = false;
        window.texture = nullptr;
        window.renderer = nullptr;
        window.softwareRenderer = false;
        window.canvas = nullptr;
    }

    // Black, then the texture into the letterbox rectangle of the renderer's output.
    void Draw(Window& window)
    {
        if (window.texture == nullptr)
            return;
        int outputWidth = 0, outputHeight = 0;
        if (SDL_GetRendererOutputSize(window.renderer, &outputWidth, &outputHeight) != 0)
            return;
        window.box = Fit(window.textureWidth, window.textureHeight, outputWidth, outputHeight);
        SDL_GetWindowSize(window.sdl, &window.box.windowWidth, &window.box.windowHeight);
        window.box.surfaceWidth = outputWidth;
        window.box.surfaceHeight = outputHeight;
        SDL_SetRenderDrawColor(window.renderer, 0, 0, 0, 255);
        SDL_RenderClear(window.renderer);
        SDL_RenderCopy(window.renderer, window.texture, nullptr, &window.box.target);
    }

    // Shows the texture as it is (a present, or an expose).
    void Show(Window& window)
    {
        if (window.renderer == nullptr || window.texture == nullptr)
            return;
        LibraryAllocations hidden;
        Draw(window);
        SDL_RenderPresent(window.renderer);
    }

    // Surface coordinates → client coordinates of the window's frame.
    bool ToClient(HWND hwnd, int x, int y, int* cx, int* cy)
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        if (it == windows_.end())
            return false;
        const Letterbox& box = it->second.box;
        if (box.target.w < 1 || box.target.h < 1) {
            *cx = x;
            *cy = y;
            return true;
        }
        if (box.windowWidth > 0 && box.windowHeight > 0) {
            x = static_cast<int>(static_cast<int64_t>(x) * box.surfaceWidth / box.windowWidth);
            y = static_cast<int>(static_cast<int64_t>(y) * box.surfaceHeight / box.windowHeight);
        }
        *cx = static_cast<int>(static_cast<int64_t>(x - box.target.x) * box.frameWidth / box.target.w);
        *cy = static_cast<int>(static_cast<int64_t>(y - box.target.y) * box.frameHeight / box.target.h);
        // Full screen, the pointer on a border is at the display's edge: the client is the display.
        if (it->second.fullScreenOn >= 0) {
            *cx = std::clamp(*cx, 0, box.frameWidth - 1);
            *cy = std::clamp(*cy, 0, box.frameHeight - 1);
        }
        return true;
    }

    HWND Owner(Uint32 windowId)
    {
        std::lock_guard lock(mutex_);
        auto it = byId_.find(windowId);
        return it == byId_.end() ? nullptr : it->second;
    }

    void Handle(const SDL_Event& event)
    {
        int x = 0, y = 0;
        switch (event.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP:
            if (HWND hwnd = Owner(event.key.windowID))
                HostKey(hwnd, HostKeyEvent{static_cast<int>(event.key.keysym.scancode), event.type == SDL_KEYDOWN,
                                           event.key.repeat != 0});
            break;
        case SDL_TEXTINPUT:
            if (HWND hwnd = Owner(event.text.windowID))
                HostText(hwnd, event.text.text);
            break;
        case SDL_TEXTEDITING:
            if (HWND hwnd = Owner(event.edit.windowID))
                HostComposition(hwnd, event.edit.text, event.edit.start);
            break;
        case SDL_MOUSEMOTION:
            if (HWND hwnd = Owner(event.motion.windowID); hwnd && ToClient(hwnd, event.motion.x, event.motion.y, &x, &y))
                HostMouseMove(hwnd, x, y);
            break;
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const int button = event.button.button == SDL_BUTTON_LEFT    ? 0
                               : event.button.button == SDL_BUTTON_RIGHT ? 1
                               : event.button.button == SDL_BUTTON_MIDDLE ? 2
                                                                         : -1;
            if (HWND hwnd = Owner(event.button.windowID);
                hwnd && button >= 0 && ToClient(hwnd, event.button.x, event.button.y, &x, &y))
                HostMouseButton(hwnd, button, event.type == SDL_MOUSEBUTTONDOWN, x, y);
            break;
        }
        case SDL_MOUSEWHEEL:
            if (HWND hwnd = Owner(event.wheel.windowID)) {
                int mx = 0, my = 0;
                SDL_GetMouseState(&mx, &my);
                ToClient(hwnd, mx, my, &x, &y);
                const int steps = event.wheel.direction == SDL_MOUSEWHEEL_FLIPPED ? -event.wheel.y : event.wheel.y;
                HostMouseWheel(hwnd, steps * WHEEL_DELTA, x, y);
            }
            break;
        case SDL_WINDOWEVENT: {
            HWND hwnd = Owner(event.window.windowID);
            if (hwnd == nullptr)
                break;
            switch (event.window.event) {
            case SDL_WINDOWEVENT_CLOSE: HostCloseRequest(hwnd); break;
            case SDL_WINDOWEVENT_FOCUS_GAINED: HostFocus(hwnd, true); break;
            case SDL_WINDOWEVENT_FOCUS_LOST: HostFocus(hwnd, false); break;
            case SDL_WINDOWEVENT_MINIMIZED: HostMinimized(hwnd, true); break;
            case SDL_WINDOWEVENT_RESTORED: HostMinimized(hwnd, false); break;
            case SDL_WINDOWEVENT_EXPOSED:
            case SDL_WINDOWEVENT_SIZE_CHANGED: {
                {
                    std::lock_guard lock(mutex_);
                    auto it = windows_.find(hwnd);
                    if (it != windows_.end())
                        Show(it->second);
                }
                HostExposed(hwnd);
                break;
            }
            default: break;
            }
            break;
        }
        case SDL_DISPLAYEVENT: {
            {
                std::lock_guard lock(mutex_);
                displays_.clear();
                modes_.clear();
                sdlIndex_.clear();
                CacheDisplays();
            }
            HostDisplaysChanged();
            break;
        }
        default: break;
        }
    }

    std::recursive_mutex mutex_;
    std::map<HWND, Window> windows_;
    std::map<Uint32, HWND> byId_;
    std::vector<DisplayInfo> displays_;
    std::vector<std::vector<DisplayInfo>> modes_;
    std::vector<int> sdlIndex_;  // the SDL display of each entry of displays_
    std::mutex deferredMutex_;
    std::thread::id windowThread_;
    std::vector<std::function<void()>> deferred_;
    SDL_Cursor* cursor_ = nullptr;
    bool cursorVisible_ = true;
    bool haveShape_ = true;
    SdlDevices devices_;  // joysticks and drops
    bool pollVideo_ = true;           // the video driver's input comes only by polling
    bool memoryCanvas_ = false;       // no screen: windows are drawn into memory
    bool screenless_ = false;         // no screen: no message box can be seen
    bool waitVideo_ = false;          // SDL can sleep on the video driver's connection
    Uint32 wakeType_ = 0;             // the event that ends a WaitForInput
    std::atomic<bool> pushed_{false}; // an event came from another thread since the last pump

public:
    Uint32 WindowId(HWND hwnd)
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        return it == windows_.end() ? 0 : SDL_GetWindowID(it->second.sdl);
    }

    SDL_Renderer* RendererOf(HWND hwnd)
    {
        std::lock_guard lock(mutex_);
        auto it = windows_.find(hwnd);
        return it == windows_.end() ? nullptr : it->second.renderer;
    }

    // The whole of what the window shows now, borders included, in the renderer's pixels.
    Frame ReadShown(HWND hwnd)
    {
        std::lock_guard lock(mutex_);
        Frame out;
        auto it = windows_.find(hwnd);
        if (it == windows_.end() || !HasPicture(it->second))
            return out;
        LibraryAllocations hidden;
        Draw(it->second);
        int width = 0, height = 0;
        if (SDL_GetRendererOutputSize(it->second.renderer, &width, &height) != 0 || width < 1 || height < 1)
            return out;
        out.pixels.resize(static_cast<size_t>(width) * height);
        if (SDL_RenderReadPixels(it->second.renderer, nullptr, SDL_PIXELFORMAT_ARGB8888, out.pixels.data(), width * 4) != 0)
            return Frame{};
        out.width = width;
        out.height = height;
        return out;
    }
};

} // namespace

uint32_t sdl_testing::SdlWindowId(HWND hwnd)
{
    auto* host = dynamic_cast<SdlHost*>(&CurrentHost());
    return host != nullptr ? host->WindowId(hwnd) : 0;
}

void* sdl_testing::Renderer(HWND hwnd)
{
    auto* host = dynamic_cast<SdlHost*>(&CurrentHost());
    return host != nullptr ? host->RendererOf(hwnd) : nullptr;
}

int sdl_testing::IsModalFor(HWND hwnd, HWND owner)
{
    const Uint32 id = SdlWindowId(hwnd), ownerId = SdlWindowId(owner);
    SDL_Window* window = id != 0 ? SDL_GetWindowFromID(id) : nullptr;
    SDL_Window* ownerWindow = ownerId != 0 ? SDL_GetWindowFromID(ownerId) : nullptr;
    if (window == nullptr || ownerWindow == nullptr)
        return -1;
    return sdl_x11::IsTransientFor(window, ownerWindow);
}

// --- Application frame test hooks ---
uint32_t sdl_testing::WindowFlags(HWND hwnd)
{
    const Uint32 id = SdlWindowId(hwnd);
    SDL_Window* window = id != 0 ? SDL_GetWindowFromID(id) : nullptr;
    return window != nullptr ? SDL_GetWindowFlags(window) : 0;
}

bool sdl_testing::IsDesktopFullScreen(HWND hwnd)
{
    return (WindowFlags(hwnd) & SDL_WINDOW_FULLSCREEN_DESKTOP) == SDL_WINDOW_FULLSCREEN_DESKTOP;
}

bool sdl_testing::IsKeyboardGrabbed(HWND hwnd)
{
    const Uint32 id = SdlWindowId(hwnd);
    SDL_Window* window = id != 0 ? SDL_GetWindowFromID(id) : nullptr;
    return window != nullptr && SDL_GetWindowKeyboardGrab(window) == SDL_TRUE;
}

bool sdl_testing::IsScreenSaverAllowed()
{
    return SDL_IsScreenSaverEnabled() == SDL_TRUE;
}

Frame sdl_testing::ReadShown(HWND hwnd)
{
    auto* host = dynamic_cast<SdlHost*>(&CurrentHost());
    return host != nullptr ? host->ReadShown(hwnd) : Frame{};
}

bool sdl_testing::WindowBounds(HWND hwnd, RECT* bounds)
{
    const Uint32 id = SdlWindowId(hwnd);
    SDL_Window* window = id != 0 ? SDL_GetWindowFromID(id) : nullptr;
    if (window == nullptr)
        return false;
    int x = 0, y = 0, w = 0, h = 0;
    SDL_GetWindowPosition(window, &x, &y);
    SDL_GetWindowSize(window, &w, &h);
    *bounds = RECT{x, y, x + w, y + h};
    return true;
}

void sdl_testing::PushMouseMotion(HWND hwnd, int x, int y)
{
    SDL_Event event{};
    event.type = SDL_MOUSEMOTION;
    event.motion.windowID = SdlWindowId(hwnd);
    event.motion.x = x;
    event.motion.y = y;
    SDL_PushEvent(&event);
}

void sdl_testing::PushMouseButton(HWND hwnd, int x, int y, int button, bool down)
{
    SDL_Event event{};
    event.type = down ? SDL_MOUSEBUTTONDOWN : SDL_MOUSEBUTTONUP;
    event.button.windowID = SdlWindowId(hwnd);
    event.button.button = button == 1 ? SDL_BUTTON_RIGHT : button == 2 ? SDL_BUTTON_MIDDLE : SDL_BUTTON_LEFT;
    event.button.state = down ? SDL_PRESSED : SDL_RELEASED;
    event.button.clicks = 1;
    event.button.x = x;
    event.button.y = y;
    SDL_PushEvent(&event);
}

bool sdl_testing::ClickCloseBox(HWND hwnd)
{
    const Uint32 id = SdlWindowId(hwnd);
    SDL_Window* window = id != 0 ? SDL_GetWindowFromID(id) : nullptr;
    if (window == nullptr)
        return false;
    if (sdl_x11::SendDeleteWindow(window))
        return true;
    SDL_Event event{};
    event.type = SDL_WINDOWEVENT;
    event.window.windowID = id;
    event.window.event = SDL_WINDOWEVENT_CLOSE;
    return SDL_PushEvent(&event) == 1;
}

void sdl_testing::SetNoMessageBoxes(bool none)
{
    g_noMessageBoxes = none;
}

void sdl_testing::SetWaitTimeout(int ms)
{
    g_waitTimeoutOverride = ms;
}

bool sdl_testing::CurrentDisplayMode(int display, int* width, int* height)
{
    SDL_DisplayMode mode;
    if (SDL_GetCurrentDisplayMode(display, &mode) != 0)
        return false;
    *width = mode.w;
    *height = mode.h;
    return true;
}

std::unique_ptr<Host> MakeSdlHost()
{
    LibraryAllocations hidden;
    // SIGTERM and SIGINT end the session through the window system (end_session.h); SDL's own
    // handlers turned them into an SDL_QUIT that nothing answered.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_VIDEO) != 0)
        return nullptr;
    return std::make_unique<SdlHost>();
}

} // namespace winapi
