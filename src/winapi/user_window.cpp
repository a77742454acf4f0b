// Window classes and windows: creation, destruction, procedures, window longs, placement and the
// host windows behind top-level windows.
#include <algorithm>
#include <cstring>
#include <map>

#include "winapi/gdi_pixels.h"
#include "winapi/kernel_string.h"
#include "winapi/text.h"
#include "winapi/dialogs/controls.h"
#include "winapi/user_internal.h"

namespace winapi::user {

namespace {

struct WindowRegistry {
    std::recursive_mutex mutex;
    std::map<HWND, std::shared_ptr<Window>> windows;
    std::vector<HWND> order;  // creation order (z-order of the top-level windows)
    uintptr_t nextHandle = 0x10010;
    std::map<std::string, std::shared_ptr<WindowClass>> classes;  // by lower-case name
    ATOM nextAtom = 0xC000;
    std::shared_ptr<Window> desktop;
};

WindowRegistry& Registry()
{
    static WindowRegistry* registry = new WindowRegistry;
    return *registry;
}

// Class names and titles compare without case, as CharLowerA maps it: the second byte of a
// double-byte character is kept (0x83 0x41 "ア" is not 0x83 0x61 "ヂ").
std::string Lower(const char* text)
{
    std::string out = text != nullptr ? text : "";
    CharLowerA(out.data());
    return out;
}

bool EqualNoCase(const std::string& a, const char* b)
{
    return Lower(a.c_str()) == Lower(b);
}

std::shared_ptr<WindowClass> FindClass(LPCSTR name)
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (name == nullptr)
        return nullptr;
    if (IS_INTRESOURCE(name)) {
        const ATOM atom = static_cast<ATOM>(reinterpret_cast<uintptr_t>(name));
        for (auto& [key, cls] : registry.classes)
            if (cls->atom == atom)
                return cls;
        return nullptr;
    }
    auto it = registry.classes.find(Lower(name));
    return it == registry.classes.end() ? nullptr : it->second;
}

// The standard control classes and the dialog class exist from the start; those the stand-in
// does not draw keep the default procedure.
void RegisterSystemClasses()
{
    static std::once_flag once;
    std::call_once(once, [] {
        struct SystemClass {
            const char* name;
            WNDPROC proc;
            int extra;
            ATOM atom;  // a fixed atom, or 0
        };
        static const SystemClass kClasses[] = {
            {"BUTTON", ButtonWindowProc, sizeof(void*), 0},
            {"COMBOBOX", ComboBoxWindowProc, sizeof(void*), 0},
            {"EDIT", EditWindowProc, sizeof(void*), 0},
            {"LISTBOX", ListBoxWindowProc, sizeof(void*), 0},
            {"MDICLIENT", DefWindowProcA, 0, 0},
            {"SCROLLBAR", DefWindowProcA, 0, 0},
            {"STATIC", StaticWindowProc, sizeof(void*), 0},
            {"#32770", DefDlgProcA, DLGWINDOWEXTRA, 0x8002},
            {"SysTabControl32", TabControlWindowProc, sizeof(void*), 0},
            {"SysListView32", ListViewWindowProc, sizeof(void*), 0},
            {"msctls_trackbar32", TrackbarWindowProc, sizeof(void*), 0},
        };
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        for (const SystemClass& c : kClasses) {
            auto cls = std::make_shared<WindowClass>();
            cls->name = c.name;
            cls->atom = c.atom != 0 ? c.atom : registry.nextAtom++;
            cls->system = true;
            cls->info.cbSize = sizeof(WNDCLASSEXA);
            cls->info.style = CS_DBLCLKS;
            cls->info.lpfnWndProc = c.proc;
            cls->info.cbWndExtra = c.extra;
            registry.classes[Lower(c.name)] = cls;
        }
    });
}

// Window coordinates stay within +-2^30, so that no arithmetic on a window rectangle overflows: a
// position or size near INT_MAX (from a damaged settings file) used to wrap the right edge.
constexpr int64_t kCoordinateLimit = int64_t{1} << 30;

LONG ClampCoordinate(int64_t v)
{
    return static_cast<LONG>(std::clamp(v, -kCoordinateLimit, kCoordinateLimit));
}

// The window rectangle at (x, y) of a size (negative sizes are 0).
RECT PlacedRect(int64_t x, int64_t y, int64_t width, int64_t height)
{
    const LONG left = ClampCoordinate(x), top = ClampCoordinate(y);
    return RECT{left, top, ClampCoordinate(left + std::max<int64_t>(width, 0)),
                ClampCoordinate(top + std::max<int64_t>(height, 0))};
}

RECT ClientRectOf(const Window& window)
{
    const RECT insets = NonClientInsets(window.style, window.exStyle, window.menu != nullptr);
    RECT client{window.rect.left + insets.left, window.rect.top + insets.top, window.rect.right - insets.right,
                window.rect.bottom - insets.bottom};
    if (client.right < client.left)
        client.right = client.left;
    if (client.bottom < client.top)
        client.bottom = client.top;
    return client;
}

void ResizeStore(Window& window)
{
    const RECT client = ClientRectOf(window);
    window.store->Resize(client.right - client.left, client.bottom - client.top);
}

RECT Intersection(const RECT& a, const RECT& b)
{
    RECT r{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right), std::min(a.bottom, b.bottom)};
    if (r.right <= r.left || r.bottom <= r.top)
        return RECT{0, 0, 0, 0};
    return r;
}

RECT Offset(const RECT& r, LONG dx, LONG dy)
{
    return RECT{r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
}

// The top-level host window whose picture shows a child window, and the part of the child's
// client (screen coordinates) its ancestors' clients leave; null for a top-level window, and
// with `visibleOnly` while the child or an ancestor below the top is hidden.
std::shared_ptr<Window> ShowingTopLevel(const Window& window, bool visibleOnly, RECT* visible)
{
    std::lock_guard lock(WindowLock());
    RECT clip = ClientRectOf(window);
    std::shared_ptr<Window> parent;
    for (const Window* at = &window; at->parent != nullptr; at = parent.get()) {
        if (visibleOnly && !IsVisibleStyle(*at))
            return nullptr;
        parent = FindWindowRecord(at->parent);
        if (!parent)
            return nullptr;
        clip = Intersection(clip, ClientRectOf(*parent));
    }
    if (!parent || !parent->hostWindow)
        return nullptr;
    if (visible != nullptr)
        *visible = clip;
    return parent;
}

// A child's pixels changed (client coordinates; null: all of them): the top-level window
// showing them presents that part again, at once when `flush` and it is this thread's.
void ShowChildChange(const Window& window, const RECT* changed, bool flush)
{
    RECT visible;
    auto top = ShowingTopLevel(window, true, &visible);
    if (!top)
        return;
    RECT topClient;
    {
        std::lock_guard lock(WindowLock());
        topClient = ClientRectOf(*top);
        if (changed != nullptr) {
            const RECT client = ClientRectOf(window);
            visible = Intersection(visible, Offset(*changed, client.left, client.top));
        }
    }
    top->store->MarkPending(Offset(visible, -topClient.left, -topClient.top));
    if (flush)
        top->store->Flush();
    else if (top->queue != CurrentQueue())
        RequestPresent(*top->queue);
}

// A visible child's pixels as its top-level window shows them.
struct Layer {
    std::shared_ptr<BackingStore> store;
    POINT origin;  // the child's client in the top-level client
    RECT clip;     // what its ancestors' clients leave of it, top-level client coordinates
};

void CollectLayers(const Window& parent, const RECT& parentClip, const RECT& topClient, std::vector<Layer>& out,
                   int depth)
{
    if (depth > 64)
        return;
    // The first child is the top of the z-order (GW_CHILD): the last is drawn first.
    for (auto it = parent.children.rbegin(); it != parent.children.rend(); ++it) {
        auto child = FindWindowRecord(*it);
        if (!child || !IsVisibleStyle(*child) || (child->style & WS_CHILD) == 0)
            continue;  // owned top-level windows are listed too
        const RECT client = Offset(ClientRectOf(*child), -topClient.left, -topClient.top);
        const RECT clip = Intersection(parentClip, client);
        if (clip.right <= clip.left)
            continue;  // its own children are clipped to it as well
        out.push_back(Layer{child->store, POINT{client.left, client.top}, clip});
        CollectLayers(*child, clip, topClient, out, depth + 1);
    }
}

// The visible descendants of a top-level window, bottom of the z-order first.
std::vector<Layer> ChildLayers(HWND hwnd)
{
    std::vector<Layer> out;
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return out;
    std::lock_guard lock(WindowLock());
    const RECT topClient = ClientRectOf(*window);
    CollectLayers(*window, Offset(topClient, -topClient.left, -topClient.top), topClient, out, 0);
    return out;
}

// Children keep their place in their parent's client when it moves (rectangles are on screen).
void OffsetDescendants(const Window& window, LONG dx, LONG dy, int depth = 0)
{
    if (depth > 64)
        return;
    for (HWND hwnd : window.children)
        if (auto child = FindWindowRecord(hwnd)) {
            child->rect = Offset(child->rect, dx, dy);
            OffsetDescendants(*child, dx, dy, depth + 1);
        }
}

std::shared_ptr<DcTarget> WindowDcTarget(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return nullptr;
    return window->store;
}

struct ProviderInstaller {
    ProviderInstaller()
    {
        SetWindowDcProvider(WindowDcTarget);
        // GdiFlush ends the batch of every window: the owner's presents now, others are woken.
        SetGdiFlushHandler([] {
            for (auto& window : AllWindows())
                window->store->Flush();
        });
    }
} g_providerInstaller;

void SendSizeAndMove(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return;
    RECT client;
    POINT origin;
    UINT kind;
    {
        std::lock_guard lock(WindowLock());
        client = ClientRectOf(*window);
        origin = POINT{client.left, client.top};
        if (window->parent != nullptr) {
            if (auto parent = FindWindowRecord(window->parent)) {
                const RECT parentClient = ClientRectOf(*parent);
                origin.x -= parentClient.left;
                origin.y -= parentClient.top;
            }
        }
        kind = IsMinimizedStyle(*window) ? SIZE_MINIMIZED : (window->style & WS_MAXIMIZE) ? SIZE_MAXIMIZED : SIZE_RESTORED;
    }
    const int width = kind == SIZE_MINIMIZED ? 0 : client.right - client.left;
    const int height = kind == SIZE_MINIMIZED ? 0 : client.bottom - client.top;
    SendMessageA(hwnd, WM_SIZE, kind, MAKELONG(width, height));
    SendMessageA(hwnd, WM_MOVE, 0, MAKELONG(origin.x, origin.y));
}

// An owned window that is hidden or destroyed while active hands activation back to its owner
// (a tool or menu window of the application), as Win32 does; otherwise nothing is active.
HWND OwnerTakingActivation(const Window& window)
{
    HWND owner = window.owner;
    auto record = owner != nullptr ? FindWindowRecord(owner) : nullptr;
    if (record == nullptr || record->destroying || (record->style & WS_VISIBLE) == 0 || (record->style & WS_MINIMIZE) != 0)
        return nullptr;
    return owner;
}

void DestroyTree(HWND hwnd, bool sendDestroy)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return;
    {
        std::lock_guard lock(WindowLock());
        if (window->destroying)
            return;
        window->destroying = true;
    }
    // Owned windows go first, as in Win32.
    std::vector<HWND> owned;
    for (auto& other : AllWindows())
        if (other->owner == hwnd)
            owned.push_back(other->hwnd);
    for (HWND o : owned)
        DestroyWindow(o);
    bool wasVisible;
    {
        std::lock_guard lock(WindowLock());
        wasVisible = IsVisibleStyle(*window);
        window->style &= ~WS_VISIBLE;
    }
    if (wasVisible) {
        UpdateHostWindow(hwnd);
        if (GetActiveWindow() == hwnd)
            Activate(OwnerTakingActivation(*window));
    }
    if (sendDestroy)
        SendMessageA(hwnd, WM_DESTROY, 0, 0);
    std::vector<HWND> children;
    {
        std::lock_guard lock(WindowLock());
        children = window->children;
    }
    for (HWND child : children)
        DestroyTree(child, true);
    SendMessageA(hwnd, WM_NCDESTROY, 0, 0);
    UnlinkWindow(hwnd);
}

struct WindowLongCall {
    HWND hwnd;
    int index;
    LONG_PTR value;
};

} // namespace

void UnlinkWindow(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return;
    bool host;
    std::shared_ptr<ThreadQueue> queue;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        window->destroyed = true;
        host = window->hostWindow;
        queue = window->queue;
        if (window->parent != nullptr) {
            auto it = registry.windows.find(window->parent);
            if (it != registry.windows.end())
                std::erase(it->second->children, hwnd);
        }
        registry.windows.erase(hwnd);
        std::erase(registry.order, hwnd);
        if (window->cls)
            --window->cls->windows;
    }
    ForgetWindowInQueue(*queue, hwnd);
    ForgetWindowInput(hwnd);
    ImeForgetWindow(hwnd);
    if (host)
        CurrentHost().CloseWindow(hwnd);
}

std::recursive_mutex& WindowLock()
{
    return Registry().mutex;
}

std::shared_ptr<Window> FindWindowRecord(HWND hwnd)
{
    if (hwnd == nullptr)
        return nullptr;
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.windows.find(hwnd);
    if (it != registry.windows.end())
        return it->second->destroyed ? nullptr : it->second;
    if (registry.desktop && registry.desktop->hwnd == hwnd)
        return registry.desktop;
    return nullptr;
}

std::vector<std::shared_ptr<Window>> AllWindows()
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    std::vector<std::shared_ptr<Window>> out;
    for (HWND hwnd : registry.order) {
        auto it = registry.windows.find(hwnd);
        if (it != registry.windows.end() && !it->second->destroyed)
            out.push_back(it->second);
    }
    return out;
}

bool IsTopLevel(const Window& window)
{
    return window.parent == nullptr && (window.style & WS_CHILD) == 0 && !window.messageOnly;
}

RECT ClientRectOnScreen(const Window& window)
{
    std::lock_guard lock(WindowLock());
    return ClientRectOf(window);
}

RECT NonClientInsets(DWORD style, DWORD exStyle, bool menu)
{
    int border = 0;
    if (style & WS_THICKFRAME)
        border = 4;
    else if (style & WS_DLGFRAME)
        border = 3;
    else if (style & WS_BORDER)
        border = 1;
    if (exStyle & WS_EX_CLIENTEDGE)
        border += 2;
    RECT insets{border, border, border, border};
    if ((style & WS_CAPTION) == WS_CAPTION)
        insets.top += 19;
    if (menu && (style & WS_CHILD) == 0)
        insets.top += 19;
    return insets;
}

LRESULT CallProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return 0;
    WNDPROC proc;
    {
        std::lock_guard lock(WindowLock());
        proc = window->proc;
    }
    return proc != nullptr ? proc(hwnd, message, wParam, lParam) : 0;
}

LRESULT RunOnOwner(HWND hwnd, LRESULT (*call)(void*), void* context)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return 0;
    if (window->queue == CurrentQueue() || window == Registry().desktop)
        return call(context);
    return CallOnOwnerThread(*window->queue, hwnd, call, context);
}

// The window record as the host sees it (read under the window lock).
static HostWindowState RecordedHostState(const Window& window)
{
    HostWindowState state;
    const auto displays = CurrentDisplays();  // read before the window lock: the host may start
    std::lock_guard lock(WindowLock());
    state.titleUtf8 = SjisToUtf8(window.text);
    state.owner = (window.style & WS_CHILD) == 0 ? window.owner : nullptr;
    state.client = ClientRectOf(window);
    state.visible = IsVisibleStyle(window);
    state.minimized = IsMinimizedStyle(window);
    state.topmost = (window.exStyle & WS_EX_TOPMOST) != 0;
    state.decorated = (window.style & WS_POPUP) == 0 && (window.style & WS_CAPTION) == WS_CAPTION;
    const RECT& c = state.client;
    for (size_t i = 0; i < displays.size() && !state.decorated; ++i) {
        const RECT& d = displays[i].bounds;
        if (c.left == d.left && c.top == d.top && c.right == d.right && c.bottom == d.bottom) {
            state.fullScreenDisplay = static_cast<int>(i);
            break;
        }
    }
    return state;
}

HostWindowState HostState(const Window& window)
{
    HostWindowState state = RecordedHostState(window);
    // An owned window belongs to its owner's top-level window, as in Win32.
    while (state.owner != nullptr && (GetWindowLongPtrA(state.owner, GWL_STYLE) & WS_CHILD) != 0)
        state.owner = GetParent(state.owner);
    return state;
}

void UpdateHostWindows()
{
    for (auto& window : AllWindows())
        if (IsTopLevel(*window))
            UpdateHostWindow(window->hwnd);
}

void UpdateHostWindow(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return;
    if (!window->hostWindow) {
        // A child shown, hidden or moved: the top-level window's picture is composed again.
        if (auto top = ShowingTopLevel(*window, false, nullptr)) {
            top->store->MarkDirty();
            top->store->Flush();
        }
        return;
    }
    // The host is driven by the owner thread; another thread leaves the change for it.
    if (window->queue != CurrentQueue()) {
        {
            std::lock_guard lock(WindowLock());
            window->hostDirty = true;
        }
        RequestPresent(*window->queue);
        return;
    }
    {
        std::lock_guard lock(WindowLock());
        window->hostDirty = false;
    }
    CurrentHost().UpdateWindow(hwnd, HostState(*window));
}

void PresentDirtyWindows()
{
    auto queue = CurrentQueue();
    ClearPresentPending(*queue);
    for (auto& window : AllWindows()) {
        if (window->queue != queue || !window->hostWindow)
            continue;
        bool hostDirty;
        {
            std::lock_guard lock(WindowLock());
            hostDirty = window->hostDirty;
        }
        if (hostDirty)
            UpdateHostWindow(window->hwnd);
        window->store->PresentPending();
    }
}

bool BackingStore::Lock(PixelView* view)
{
    mutex_.lock();
    if (width_ < 1 || height_ < 1) {
        mutex_.unlock();
        return false;
    }
    view->top = reinterpret_cast<BYTE*>(pixels_.data());
    view->stride = static_cast<std::ptrdiff_t>(width_) * 4;
    view->width = width_;
    view->height = height_;
    view->bitsPerPixel = 32;
    view->palette = nullptr;
    view->r5g6b5 = false;
    return true;
}

void BackingStore::Unlock(const RECT* changed)
{
    if (changed != nullptr)
        AddPending(*changed);
    mutex_.unlock();
    if (changed == nullptr)
        return;
    // Another thread drew: the owner is woken to present (it presents at the end of its own
    // batches by itself).
    auto window = FindWindowRecord(hwnd_);
    if (!window)
        return;
    if (!window->hostWindow)
        ShowChildChange(*window, changed, false);
    else if (window->queue != CurrentQueue())
        RequestPresent(*window->queue);
}

void BackingStore::Flush()
{
    auto window = FindWindowRecord(hwnd_);
    if (!window)
        return;
    if (!window->hostWindow) {
        if (auto top = ShowingTopLevel(*window, true, nullptr))
            top->store->Flush();
        return;
    }
    if (window->queue == CurrentQueue())
        PresentPending();
    else
        RequestPresent(*window->queue);
}

namespace {

bool Contains(const RECT& outer, const RECT& inner)
{
    return inner.left >= outer.left && inner.top >= outer.top && inner.right <= outer.right &&
           inner.bottom <= outer.bottom;
}

// Two rectangles whose union is exactly their area: one column span touching or overlapping
// vertically, or one row span touching or overlapping horizontally.
bool Joinable(const RECT& a, const RECT& b)
{
    if (a.left == b.left && a.right == b.right)
        return a.top <= b.bottom && b.top <= a.bottom;
    if (a.top == b.top && a.bottom == b.bottom)
        return a.left <= b.right && b.left <= a.right;
    return false;
}

RECT Bounding(const RECT& a, const RECT& b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

int64_t Area(const RECT& r)
{
    return static_cast<int64_t>(r.right - r.left) * (r.bottom - r.top);
}

} // namespace

void BackingStore::AddPending(const RECT& changed)
{
    RECT rect{std::max<LONG>(changed.left, 0), std::max<LONG>(changed.top, 0), std::min<LONG>(changed.right, width_),
              std::min<LONG>(changed.bottom, height_)};
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return;
    for (const RECT& r : pending_)
        if (Contains(r, rect))
            return;
    // Join with every pending rectangle it completes or covers, as often as that goes on.
    for (bool joined = true; joined;) {
        joined = false;
        for (size_t i = 0; i < pending_.size(); ++i) {
            if (Contains(rect, pending_[i]) || Joinable(rect, pending_[i])) {
                rect = Bounding(rect, pending_[i]);
                pending_.erase(pending_.begin() + static_cast<std::ptrdiff_t>(i));
                joined = true;
                break;
            }
        }
    }
    pending_.push_back(rect);
    int64_t area = 0;
    for (const RECT& r : pending_)
        area += Area(r);
    if (pending_.size() > kMaxPending || area * 2 > static_cast<int64_t>(width_) * height_) {
        RECT box = pending_.front();
        for (const RECT& r : pending_)
            box = Bounding(box, r);
        pending_.assign(1, box);
    }
}

void BackingStore::Resize(int width, int height)
{
    // The pixels cover at most 16384 x 16384 of the client area (1 GiB): a client of 2^30 pixels
    // a side asked for more memory than any machine has.
    constexpr int kMaxSide = 16384;
    std::lock_guard lock(mutex_);
    width = std::clamp(width, 0, kMaxSide);
    height = std::clamp(height, 0, kMaxSide);
    if (width == width_ && height == height_)
        return;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < std::min(height, height_); ++y)
        std::memcpy(&pixels[static_cast<size_t>(y) * width], &pixels_[static_cast<size_t>(y) * width_],
                    static_cast<size_t>(std::min(width, width_)) * 4);
    pixels_.swap(pixels);
    width_ = width;
    height_ = height;
    pending_.clear();
    if (width > 0 && height > 0)
        pending_.push_back(RECT{0, 0, width, height});
}

void BackingStore::PresentPending()
{
    // SDL's present takes SDL's locks, under which SDL's event watch takes queue mutexes, while
    // drawing threads take the store's lock holding those: the host shows without the store's
    // lock. Its upload, which sends no event, may read the store under it; a host that cannot
    // upload so, or a window with children laid over its pixels, presents from a copy.
    std::lock_guard present(presentMutex_);
    const std::vector<Layer> layers = ChildLayers(hwnd_);
    // The rectangle lists are kept from present to present: a frame allocates nothing.
    std::vector<RECT>& rects = presentRects_;
    std::vector<RECT>& composed = composedRects_;
    Host& host = CurrentHost();
    {
        std::lock_guard lock(mutex_);
        if (pending_.empty())
            return;
        rects.assign(pending_.begin(), pending_.end());
        pending_.clear();
        if (layers.empty() && host.Upload(hwnd_, FrameView{width_, height_, pixels_.data()}, rects)) {
            // The copy is behind now: the next present from it starts from the whole store.
            presentedWidth_ = presentedHeight_ = 0;
            composed.clear();
        } else {
            composed.assign(rects.begin(), rects.end());
            if (presentedWidth_ != width_ || presentedHeight_ != height_) {
                composed.assign(1, RECT{0, 0, width_, height_});
                presented_ = pixels_;
                presentedWidth_ = width_;
                presentedHeight_ = height_;
            } else {
                for (const RECT& r : rects)
                    for (LONG y = r.top; y < r.bottom; ++y) {
                        const size_t at = static_cast<size_t>(y) * width_ + r.left;
                        std::copy(pixels_.begin() + at, pixels_.begin() + at + (r.right - r.left),
                                  presented_.begin() + at);
                    }
            }
        }
    }
    if (composed.empty()) {
        host.ShowUploaded(hwnd_);
        return;
    }
    // Visible children over the window's own pixels, each under its own lock only (a drawing
    // thread may hold a child's lock while it takes this store's).
    for (const Layer& layer : layers)
        for (const RECT& r : composed)
            layer.store->CopyShown(Intersection(r, layer.clip), layer.origin, presented_.data(), presentedWidth_,
                                   presentedHeight_);
    const FrameView view{presentedWidth_, presentedHeight_, presented_.data()};
    host.Present(hwnd_, view, rects);
}

void BackingStore::CopyShown(const RECT& area, POINT origin, uint32_t* target, int width, int height)
{
    std::lock_guard lock(mutex_);
    // The area is in the target's coordinates; what lies outside this store or the target stays.
    RECT r = Intersection(area, RECT{origin.x, origin.y, origin.x + width_, origin.y + height_});
    r = Intersection(r, RECT{0, 0, width, height});
    for (LONG y = r.top; y < r.bottom; ++y) {
        const size_t from = static_cast<size_t>(y - origin.y) * width_ + (r.left - origin.x);
        std::copy_n(pixels_.begin() + static_cast<std::ptrdiff_t>(from), r.right - r.left,
                    target + static_cast<size_t>(y) * width + r.left);
    }
}

void BackingStore::MarkPending(const RECT& rect)
{
    std::lock_guard lock(mutex_);
    AddPending(rect);
}

void BackingStore::MarkDirty()
{
    std::lock_guard lock(mutex_);
    if (width_ > 0 && height_ > 0)
        pending_.assign(1, RECT{0, 0, width_, height_});
}

std::vector<RECT> BackingStore::Pending()
{
    std::lock_guard lock(mutex_);
    return pending_;
}

} // namespace winapi::user

using namespace winapi;
using namespace winapi::user;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc)
{
    RegisterSystemClasses();
    if (wc == nullptr || wc->cbSize != sizeof(WNDCLASSEXA) || wc->lpszClassName == nullptr ||
        IS_INTRESOURCE(wc->lpszClassName) || wc->lpfnWndProc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    const std::string key = Lower(wc->lpszClassName);
    if (auto it = registry.classes.find(key); it != registry.classes.end() && !it->second->system) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<WindowClass>();
    cls->name = wc->lpszClassName;
    cls->atom = registry.nextAtom++;
    cls->info = *wc;
    if (wc->lpszMenuName != nullptr && !IS_INTRESOURCE(wc->lpszMenuName)) {
        cls->menuName = wc->lpszMenuName;
        cls->info.lpszMenuName = cls->menuName.c_str();
    }
    cls->info.lpszClassName = cls->name.c_str();
    registry.classes[key] = cls;
    return cls->atom;
}

BOOL WINAPI UnregisterClassA(LPCSTR className, HINSTANCE)
{
    auto cls = FindClass(className);
    if (!cls || cls->system) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (cls->windows > 0) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    registry.classes.erase(Lower(cls->name.c_str()));
    return TRUE;
}

BOOL WINAPI GetClassInfoExA(HINSTANCE, LPCSTR className, WNDCLASSEXA* out)
{
    RegisterSystemClasses();
    auto cls = FindClass(className);
    if (!cls || out == nullptr)
        return FALSE;
    *out = cls->info;
    return TRUE;
}

HWND WINAPI CreateWindowExA(DWORD exStyle, LPCSTR className, LPCSTR title, DWORD style, int x, int y, int width,
                            int height, HWND parent, HMENU menu, HINSTANCE instance, LPVOID param)
{
    RegisterSystemClasses();
    auto cls = FindClass(className);
    if (!cls) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return nullptr;
    }
    const bool messageOnly = parent == HWND_MESSAGE;
    if (messageOnly)
        parent = nullptr;
    std::shared_ptr<Window> parentWindow;
    if (parent != nullptr) {
        parentWindow = FindWindowRecord(parent);
        if (!parentWindow || parent == GetDesktopWindow()) {
            if (parent != GetDesktopWindow()) {
                SetLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
            parentWindow.reset();
            parent = nullptr;
        }
    }
    if ((style & WS_CHILD) && !parentWindow) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto queue = CurrentQueue();
    auto window = std::make_shared<Window>();
    window->cls = cls;
    window->queue = queue;
    window->proc = cls->info.lpfnWndProc;
    window->extra.assign(static_cast<size_t>(std::clamp(cls->info.cbWndExtra, 0, 4096)), 0);
    window->style = style & ~WS_VISIBLE;
    window->exStyle = exStyle;
    window->text = title != nullptr ? title : "";
    window->instance = instance;
    window->messageOnly = messageOnly;
    const bool child = (style & WS_CHILD) != 0;
    if (child) {
        window->parent = parent;
        window->id = reinterpret_cast<LONG_PTR>(menu);
    } else {
        window->owner = parentWindow ? parent : nullptr;
        window->menu = menu;
        if (menu == nullptr && cls->info.lpszMenuName != nullptr)
            window->menu = LoadMenuA(instance, cls->info.lpszMenuName);
    }
    // Default placement: a 640 x 480 window near the work area's top-left corner.
    RECT work{0, 0, 0, 0};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &work, 0);
    if (x == CW_USEDEFAULT) {
        x = child ? 0 : work.left + 32;
        y = child ? 0 : work.top + 32;
    }
    if (width == CW_USEDEFAULT) {
        width = 640;
        height = 480;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    int64_t originX = x, originY = y;
    if (child) {
        const RECT parentClient = ClientRectOnScreen(*parentWindow);
        originX += parentClient.left;
        originY += parentClient.top;
    }
    window->rect = PlacedRect(originX, originY, width, height);
    HWND hwnd;
    {
        auto& registry = Registry();
        std::lock_guard lock(registry.mutex);
        hwnd = reinterpret_cast<HWND>(registry.nextHandle);
        registry.nextHandle += 4;
        window->hwnd = hwnd;
        window->store = std::make_shared<BackingStore>(hwnd);
        ResizeStore(*window);
        registry.windows[hwnd] = window;
        registry.order.push_back(hwnd);
        ++cls->windows;
        if (parentWindow && child)
            parentWindow->children.insert(parentWindow->children.begin(), hwnd);  // the top of the z-order
        else if (parentWindow)
            parentWindow->children.push_back(hwnd);
    }
    if (!child && !messageOnly) {
        if (CurrentHost().OpenWindow(hwnd, HostState(*window))) {
            window->hostWindow = true;
            NoteHostWindowThread(queue);
        }
    }
    CREATESTRUCTA create{};
    create.lpCreateParams = param;
    create.hInstance = instance;
    create.hMenu = menu;
    create.hwndParent = parent;
    create.cx = width;
    create.cy = height;
    create.x = x;
    create.y = y;
    create.style = static_cast<LONG>(style);
    create.lpszName = title;
    create.lpszClass = className;
    create.dwExStyle = exStyle;
    if (!SendMessageA(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create))) {
        DestroyTree(hwnd, false);
        return nullptr;
    }
    if (!FindWindowRecord(hwnd))
        return nullptr;
    if (SendMessageA(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    if (!FindWindowRecord(hwnd))
        return nullptr;
    SendSizeAndMove(hwnd);
    if (style & WS_VISIBLE)
        ShowWindow(hwnd, (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : SW_SHOW);
    return FindWindowRecord(hwnd) ? hwnd : nullptr;
}

BOOL WINAPI DestroyWindow(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || hwnd == GetDesktopWindow()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (window->queue != CurrentQueue()) {
        SetLastError(ERROR_ACCESS_DENIED);
        return FALSE;
    }
    DestroyTree(hwnd, true);
    return TRUE;
}

BOOL WINAPI IsWindow(HWND hwnd)
{
    return FindWindowRecord(hwnd) != nullptr;
}

BOOL WINAPI IsWindowVisible(HWND hwnd)
{
    std::lock_guard lock(WindowLock());
    for (auto window = FindWindowRecord(hwnd); window; window = FindWindowRecord(window->parent)) {
        if (!IsVisibleStyle(*window))
            return FALSE;
        if (window->parent == nullptr)
            return TRUE;
    }
    return FALSE;
}

BOOL WINAPI IsIconic(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    std::lock_guard lock(WindowLock());
    return window && IsMinimizedStyle(*window);
}

BOOL WINAPI IsZoomed(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    std::lock_guard lock(WindowLock());
    return window && (window->style & WS_MAXIMIZE) != 0;
}

BOOL WINAPI IsWindowEnabled(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    std::lock_guard lock(WindowLock());
    return window && (window->style & WS_DISABLED) == 0;
}

BOOL WINAPI EnableWindow(HWND hwnd, BOOL enable)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return FALSE;
    bool wasDisabled;
    {
        std::lock_guard lock(WindowLock());
        wasDisabled = (window->style & WS_DISABLED) != 0;
        if (enable)
            window->style &= ~WS_DISABLED;
        else
            window->style |= WS_DISABLED;
    }
    if (wasDisabled == !enable)
        return wasDisabled;
    SendMessageA(hwnd, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

LRESULT WINAPI CallWindowProcA(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return proc != nullptr ? proc(hwnd, message, wParam, lParam) : 0;
}

LONG_PTR WINAPI GetWindowLongPtrA(HWND hwnd, int index)
{
    auto window = FindWindowRecord(hwnd);
    if (!window) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    std::lock_guard lock(WindowLock());
    switch (index) {
    case GWLP_WNDPROC: return reinterpret_cast<LONG_PTR>(window->proc);
    case GWLP_HINSTANCE: return reinterpret_cast<LONG_PTR>(window->instance);
    case GWLP_HWNDPARENT: return reinterpret_cast<LONG_PTR>(window->parent ? window->parent : window->owner);
    case GWL_STYLE: return static_cast<LONG_PTR>(static_cast<LONG>(window->style));
    case GWL_EXSTYLE: return static_cast<LONG_PTR>(static_cast<LONG>(window->exStyle));
    case GWLP_USERDATA: return window->userData;
    case GWLP_ID: return window->id;
    default:
        if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= window->extra.size()) {
            LONG_PTR value;
            std::memcpy(&value, window->extra.data() + index, sizeof value);
            return value;
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrA(HWND hwnd, int index, LONG_PTR value)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || hwnd == GetDesktopWindow()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    bool hostChange = false, frameChange = false;
    {
        std::lock_guard lock(WindowLock());
        switch (index) {
        case GWLP_WNDPROC:
            previous = reinterpret_cast<LONG_PTR>(window->proc);
            window->proc = reinterpret_cast<WNDPROC>(value);
            break;
        case GWLP_HINSTANCE:
            previous = reinterpret_cast<LONG_PTR>(window->instance);
            window->instance = reinterpret_cast<HINSTANCE>(value);
            break;
        case GWLP_HWNDPARENT:
            previous = reinterpret_cast<LONG_PTR>(window->owner);
            window->owner = reinterpret_cast<HWND>(value);
            break;
        case GWL_STYLE:
            previous = static_cast<LONG>(window->style);
            window->style = static_cast<DWORD>(value);
            hostChange = true;
            frameChange = true;
            break;
        case GWL_EXSTYLE:
            previous = static_cast<LONG>(window->exStyle);
            window->exStyle = static_cast<DWORD>(value);
            hostChange = true;
            frameChange = true;
            break;
        case GWLP_USERDATA:
            previous = window->userData;
            window->userData = value;
            break;
        case GWLP_ID:
            previous = window->id;
            window->id = value;
            break;
        default:
            if (index >= 0 && static_cast<size_t>(index) + sizeof(LONG_PTR) <= window->extra.size()) {
                std::memcpy(&previous, window->extra.data() + index, sizeof previous);
                std::memcpy(window->extra.data() + index, &value, sizeof value);
                break;
            }
            SetLastError(ERROR_INVALID_PARAMETER);
            return 0;
        }
        // As in Win32, a new style changes the frame only after SetWindowPos(SWP_FRAMECHANGED);
        // the client size is kept in step here at once because the store follows it.
        if (frameChange)
            ResizeStore(*window);
    }
    if (hostChange)
        UpdateHostWindow(hwnd);
    return previous;
}

LONG WINAPI GetWindowLongA(HWND hwnd, int index)
{
    return static_cast<LONG>(GetWindowLongPtrA(hwnd, index));
}

LONG WINAPI SetWindowLongA(HWND hwnd, int index, LONG value)
{
    return static_cast<LONG>(SetWindowLongPtrA(hwnd, index, value));
}

namespace {

struct ShowCall {
    HWND hwnd;
    int command;
};

LRESULT ShowOnOwner(void* context)
{
    const auto& call = *static_cast<ShowCall*>(context);
    HWND hwnd = call.hwnd;
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return FALSE;
    bool wasVisible, wasMinimized, wasMaximized;
    {
        std::lock_guard lock(WindowLock());
        wasVisible = IsVisibleStyle(*window);
        wasMinimized = IsMinimizedStyle(*window);
        wasMaximized = (window->style & WS_MAXIMIZE) != 0;
    }
    const bool topLevel = IsTopLevel(*window);
    int command = call.command;
    if (command == SW_SHOWDEFAULT)
        command = SW_SHOWNORMAL;
    switch (command) {
    case SW_HIDE: {
        if (!wasVisible)
            return FALSE;
        SendMessageA(hwnd, WM_SHOWWINDOW, FALSE, 0);
        {
            std::lock_guard lock(WindowLock());
            window->style &= ~WS_VISIBLE;
        }
        UpdateHostWindow(hwnd);
        if (GetActiveWindow() == hwnd)
            Activate(OwnerTakingActivation(*window));
        return TRUE;
    }
    case SW_MINIMIZE:
    case SW_SHOWMINIMIZED:
    case SW_SHOWMINNOACTIVE: {
        if (!wasVisible)
            SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
        {
            std::lock_guard lock(WindowLock());
            window->style |= WS_VISIBLE | WS_MINIMIZE;
        }
        UpdateHostWindow(hwnd);
        if (!wasMinimized)
            SendSizeAndMove(hwnd);
        // A minimised window gives up activation (the application goes inactive).
        if (GetActiveWindow() == hwnd)
            Activate(nullptr);
        return wasVisible;
    }
    default: {
        const bool restore = command == SW_RESTORE || command == SW_SHOWNORMAL;
        const bool maximize = command == SW_MAXIMIZE;
        if (!wasVisible)
            SendMessageA(hwnd, WM_SHOWWINDOW, TRUE, 0);
        bool sizeChanged = false;
        {
            std::lock_guard lock(WindowLock());
            window->style |= WS_VISIBLE;
            if ((restore || maximize) && wasMinimized) {
                window->style &= ~WS_MINIMIZE;
                sizeChanged = true;
            }
            if (maximize && !wasMaximized) {
                window->style |= WS_MAXIMIZE;
                sizeChanged = true;
            }
            if (restore && wasMaximized && !wasMinimized) {
                window->style &= ~WS_MAXIMIZE;
                sizeChanged = true;
            }
        }
        UpdateHostWindow(hwnd);
        if (sizeChanged)
            SendSizeAndMove(hwnd);
        if (!wasVisible || sizeChanged)
            InvalidateRect(hwnd, nullptr, TRUE);
        const bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE;
        if (topLevel && activate && !IsIconic(hwnd))
            Activate(hwnd);
        return wasVisible;
    }
    }
}

struct PosCall {
    HWND hwnd;
    HWND insertAfter;
    int x, y, cx, cy;
    UINT flags;
};

LRESULT SetPosOnOwner(void* context)
{
    const auto& call = *static_cast<PosCall*>(context);
    auto window = FindWindowRecord(call.hwnd);
    if (!window)
        return FALSE;
    bool moved = false, sized = false, hostChange = false;
    {
        std::lock_guard lock(WindowLock());
        RECT rect = window->rect;
        int64_t originX = call.x, originY = call.y;
        if (window->parent != nullptr) {
            if (auto parent = FindWindowRecord(window->parent)) {
                const RECT parentClient = ClientRectOf(*parent);
                originX += parentClient.left;
                originY += parentClient.top;
            }
        }
        const RECT oldClient = ClientRectOf(*window);
        if (!(call.flags & SWP_NOMOVE))
            rect = PlacedRect(originX, originY, rect.right - rect.left, rect.bottom - rect.top);
        if (!(call.flags & SWP_NOSIZE))
            rect = PlacedRect(rect.left, rect.top, call.cx, call.cy);
        window->rect = rect;
        const RECT newClient = ClientRectOf(*window);
        moved = newClient.left != oldClient.left || newClient.top != oldClient.top;
        if (moved)
            OffsetDescendants(*window, newClient.left - oldClient.left, newClient.top - oldClient.top);
        sized = newClient.right - newClient.left != oldClient.right - oldClient.left ||
                newClient.bottom - newClient.top != oldClient.bottom - oldClient.top;
        auto parent = window->parent != nullptr ? FindWindowRecord(window->parent) : nullptr;
        if (!(call.flags & SWP_NOZORDER) && parent && call.insertAfter != HWND_NOTOPMOST &&
            call.insertAfter != call.hwnd) {
            // Siblings are listed top first.
            auto& siblings = parent->children;
            std::erase(siblings, call.hwnd);
            auto at = siblings.begin();
            if (call.insertAfter == HWND_BOTTOM)
                at = siblings.end();
            else if (call.insertAfter != HWND_TOP && call.insertAfter != HWND_TOPMOST)
                if (auto after = std::find(siblings.begin(), siblings.end(), call.insertAfter); after != siblings.end())
                    at = after + 1;
            siblings.insert(at, call.hwnd);
        } else if (!(call.flags & SWP_NOZORDER)) {
            if (call.insertAfter == HWND_TOPMOST)
                window->exStyle |= WS_EX_TOPMOST;
            else if (call.insertAfter == HWND_NOTOPMOST)
                window->exStyle &= ~WS_EX_TOPMOST;
        }
        hostChange = true;
        if (sized)
            ResizeStore(*window);
    }
    if (call.flags & SWP_SHOWWINDOW)
        ShowWindow(call.hwnd, (call.flags & SWP_NOACTIVATE) ? SW_SHOWNA : SW_SHOW);
    if (call.flags & SWP_HIDEWINDOW)
        ShowWindow(call.hwnd, SW_HIDE);
    if (hostChange)
        UpdateHostWindow(call.hwnd);
    if (moved || sized || (call.flags & SWP_FRAMECHANGED))
        SendSizeAndMove(call.hwnd);
    if (sized && !(call.flags & SWP_NOREDRAW))
        InvalidateRect(call.hwnd, nullptr, TRUE);
    return TRUE;
}

} // namespace

BOOL WINAPI ShowWindow(HWND hwnd, int command)
{
    ShowCall call{hwnd, command};
    if (!IsWindow(hwnd))
        return FALSE;
    return static_cast<BOOL>(RunOnOwner(hwnd, ShowOnOwner, &call));
}

BOOL WINAPI MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint)
{
    return SetWindowPos(hwnd, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0 : SWP_NOREDRAW));
}

BOOL WINAPI SetWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int cx, int cy, UINT flags)
{
    if (!IsWindow(hwnd) || hwnd == GetDesktopWindow()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    PosCall call{hwnd, insertAfter, x, y, cx, cy, flags};
    return static_cast<BOOL>(RunOnOwner(hwnd, SetPosOnOwner, &call));
}

BOOL WINAPI GetWindowRect(HWND hwnd, LPRECT rect)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || rect == nullptr)
        return FALSE;
    std::lock_guard lock(WindowLock());
    *rect = window->rect;
    return TRUE;
}

BOOL WINAPI GetClientRect(HWND hwnd, LPRECT rect)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || rect == nullptr)
        return FALSE;
    const RECT client = ClientRectOnScreen(*window);
    *rect = RECT{0, 0, client.right - client.left, client.bottom - client.top};
    return TRUE;
}

BOOL WINAPI ClientToScreen(HWND hwnd, LPPOINT point)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || point == nullptr)
        return FALSE;
    const RECT client = ClientRectOnScreen(*window);
    point->x += client.left;
    point->y += client.top;
    return TRUE;
}

BOOL WINAPI ScreenToClient(HWND hwnd, LPPOINT point)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || point == nullptr)
        return FALSE;
    const RECT client = ClientRectOnScreen(*window);
    point->x -= client.left;
    point->y -= client.top;
    return TRUE;
}

BOOL WINAPI AdjustWindowRectEx(LPRECT rect, DWORD style, BOOL menu, DWORD exStyle)
{
    if (rect == nullptr)
        return FALSE;
    const RECT insets = NonClientInsets(style, exStyle, menu != FALSE);
    rect->left -= insets.left;
    rect->top -= insets.top;
    rect->right += insets.right;
    rect->bottom += insets.bottom;
    return TRUE;
}

HWND WINAPI FindWindowA(LPCSTR className, LPCSTR title)
{
    std::shared_ptr<WindowClass> cls;
    if (className != nullptr) {
        cls = FindClass(className);
        if (!cls)
            return nullptr;
    }
    for (auto& window : AllWindows()) {
        if (!IsTopLevel(*window))
            continue;
        if (cls && window->cls != cls)
            continue;
        std::lock_guard lock(WindowLock());
        if (title != nullptr && !EqualNoCase(window->text, title))
            continue;
        return window->hwnd;
    }
    return nullptr;
}

HWND WINAPI GetDesktopWindow()
{
    auto& registry = Registry();
    std::lock_guard lock(registry.mutex);
    if (!registry.desktop) {
        auto desktop = std::make_shared<Window>();
        desktop->hwnd = reinterpret_cast<HWND>(uintptr_t{0x10000});
        desktop->style = WS_POPUP | WS_VISIBLE | WS_CLIPCHILDREN;
        desktop->queue = std::make_shared<ThreadQueue>();
        desktop->queue->alive = false;  // nobody pumps it: sends to it answer 0
        desktop->proc = DefWindowProcA;
        desktop->store = std::make_shared<BackingStore>(desktop->hwnd);
        registry.desktop = desktop;
    }
    // The desktop spans the virtual screen.
    int left = INT32_MAX, top = INT32_MAX, right = INT32_MIN, bottom = INT32_MIN;
    for (const DisplayInfo& display : CurrentDisplays()) {
        left = std::min<int>(left, display.bounds.left);
        top = std::min<int>(top, display.bounds.top);
        right = std::max<int>(right, display.bounds.right);
        bottom = std::max<int>(bottom, display.bounds.bottom);
    }
    registry.desktop->rect = RECT{left, top, right, bottom};
    return registry.desktop->hwnd;
}

BOOL WINAPI EnumWindows(WNDENUMPROC callback, LPARAM data)
{
    if (callback == nullptr)
        return FALSE;
    for (auto& window : AllWindows()) {
        if (!IsTopLevel(*window) || !IsWindow(window->hwnd))
            continue;
        if (!callback(window->hwnd, data))
            return FALSE;
    }
    return TRUE;
}

HWND WINAPI GetParent(HWND hwnd)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return nullptr;
    std::lock_guard lock(WindowLock());
    return (window->style & WS_CHILD) ? window->parent : window->owner;
}

HWND WINAPI GetWindow(HWND hwnd, UINT relation)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return nullptr;
    if (relation == GW_OWNER)
        return window->owner;
    if (relation == GW_CHILD) {
        std::lock_guard lock(WindowLock());
        return window->children.empty() ? nullptr : window->children.front();
    }
    std::vector<HWND> siblings;
    if (auto parent = FindWindowRecord(window->parent)) {
        std::lock_guard lock(WindowLock());
        siblings = parent->children;
    } else {
        for (auto& other : AllWindows())
            if (IsTopLevel(*other))
                siblings.push_back(other->hwnd);
    }
    auto it = std::find(siblings.begin(), siblings.end(), hwnd);
    switch (relation) {
    case GW_HWNDFIRST: return siblings.empty() ? nullptr : siblings.front();
    case GW_HWNDLAST: return siblings.empty() ? nullptr : siblings.back();
    case GW_HWNDNEXT: return it == siblings.end() || it + 1 == siblings.end() ? nullptr : *(it + 1);
    case GW_HWNDPREV: return it == siblings.end() || it == siblings.begin() ? nullptr : *(it - 1);
    default: return nullptr;
    }
}

HWND WINAPI GetTopWindow(HWND hwnd)
{
    if (hwnd == nullptr) {
        for (auto& window : AllWindows())
            if (IsTopLevel(*window))
                return window->hwnd;
        return nullptr;
    }
    return GetWindow(hwnd, GW_CHILD);
}

namespace {

struct TextCall {
    HWND hwnd;
    const char* text;
};

LRESULT SetTextOnOwner(void* context)
{
    const auto& call = *static_cast<TextCall*>(context);
    return SendMessageA(call.hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(call.text));
}

} // namespace

BOOL WINAPI SetWindowTextA(HWND hwnd, LPCSTR text)
{
    TextCall call{hwnd, text != nullptr ? text : ""};
    if (!IsWindow(hwnd))
        return FALSE;
    return static_cast<BOOL>(RunOnOwner(hwnd, SetTextOnOwner, &call));
}

int WINAPI GetWindowTextLengthA(HWND hwnd)
{
    return IsWindow(hwnd) ? static_cast<int>(SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0)) : 0;
}

int WINAPI GetWindowTextA(HWND hwnd, LPSTR buffer, int size)
{
    auto window = FindWindowRecord(hwnd);
    if (!window || buffer == nullptr || size < 1)
        return 0;
    std::lock_guard lock(WindowLock());
    // Cut before a double-byte character that does not fit whole, as Windows does.
    const int n = static_cast<int>(SjisPrefixLength(window->text, static_cast<size_t>(size - 1)));
    std::memcpy(buffer, window->text.data(), static_cast<size_t>(n));
    buffer[n] = '\0';
    return n;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hwnd, LPDWORD processId)
{
    auto window = FindWindowRecord(hwnd);
    if (!window)
        return 0;
    if (processId != nullptr)
        *processId = 1;
    return window->queue->threadId;
}
