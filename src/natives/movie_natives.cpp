// Natives 632-651 (see movie_natives.h).
#include "natives/movie_natives.h"

#include <new>

#include "display/image_object.h"
#include "display/movie_object.h"
#include "display/screen.h"
#include "drawing/draw_list.h"
#include "natives/game_app_link.h"
#include "natives/native_args.h"
#include "platform/lock.h"

CMoviePrimitive* g_pMoviePrimitive = nullptr;
CMovieSprite* g_pMovieSprite = nullptr;

namespace {

// The game's movie lock held for the window movie (none without a game).
class MovieLock {
public:
    MovieLock() : m_lock(g_pGameApp != nullptr ? g_pGameApp->GetMovieLock() : nullptr)
    {
        if (m_lock != nullptr)
            m_lock->Lock();
    }
    ~MovieLock()
    {
        if (m_lock != nullptr)
            m_lock->Unlock();
    }
    MovieLock(const MovieLock&) = delete;
    MovieLock& operator=(const MovieLock&) = delete;

private:
    CLock* m_lock;
};

void SetPlaying(uint8_t value)
{
    if (g_pGameApp != nullptr)
        g_pGameApp->SetMoviePlaying(value);
}

// The primitive or the sprite in use (both are movie drawables), else null.
CMovieDrawable* Drawable()
{
    if (g_pMoviePrimitive != nullptr)
        return g_pMoviePrimitive;
    return g_pMovieSprite;
}

// Runs one of the three: the drawable's form, else the window movie's under the lock, else none.
template <class D, class W>
uint32_t Dispatch(uint32_t none, D onDrawable, W onWindow)
{
    // The settings sheet reaches the movies from the UI thread: each call is made under the lock.
    MovieLock lock;
    if (CMovieDrawable* movie = Drawable())
        return static_cast<uint32_t>(onDrawable(*movie));
    if (g_pMovie != nullptr)
        return static_cast<uint32_t>(onWindow(*g_pMovie));
    return none;
}

// The display's scene, where the sprite and the primitive join at their priority.
CDrawList* DisplayList()
{
    if (g_pDisplay == nullptr || g_pDisplay->GetFrameImage() == nullptr)
        return nullptr;
    CScene* scene = g_pDisplay->GetFrameImage()->GetScene();
    return scene != nullptr ? &scene->GetList() : nullptr;
}

// ms → 100 ns in 64 bits (the 32-bit product wrapped past 214 s); negative positions are 0.
int64_t ToHundredNs(int32_t ms)
{
    return ms < 0 ? 0 : static_cast<int64_t>(ms) * 10000;
}

uint32_t ToMs(int64_t hundredNs)
{
    return static_cast<uint32_t>(hundredNs / 10000);
}

} // namespace

void CloseMovies()
{
    {
        MovieLock lock;
        if (g_pMovie != nullptr) {
            CMovieObject* movie = g_pMovie;
            g_pMovie = nullptr;
            delete movie;
            SetPlaying(0);
        }
    }
    CMoviePrimitive* primitive;
    CMovieSprite* sprite;
    {
        // Taken away under the lock, so that no other thread is using them when they go.
        MovieLock lock;
        primitive = g_pMoviePrimitive;
        sprite = g_pMovieSprite;
        g_pMoviePrimitive = nullptr;
        g_pMovieSprite = nullptr;
    }
    delete primitive;
    delete sprite;
}

int SetOpenMovieVolume(int volume)
{
    MovieLock lock;
    if (g_pMovie != nullptr)
        return g_pMovie->SetVolume(volume);
    if (g_pMoviePrimitive != nullptr)
        return g_pMoviePrimitive->SetVolume(volume);
    if (g_pMovieSprite != nullptr)
        return g_pMovieSprite->SetVolume(volume);
    return -2;
}

uint32_t NativeMovieOpen(SobNativeArgs& args)
{
    const char* file = NativeOptionalString(args, 0);
    const bool windowed = args.U32(1) != 0;
    const uint32_t priority = args.U32(2);
    if (args.Faulted())
        return 0;
    CloseMovies();
    if (windowed) {
        auto* movie = new (std::nothrow) CMovieObject;
        if (movie == nullptr)
            return 8;
        const HWND window = g_pGameApp != nullptr ? g_pGameApp->GetMainWindow() : nullptr;
        const int code = movie->Open(g_pDisplay, file, nullptr, window);
        if (code != 0) {
            delete movie;
            return static_cast<uint32_t>(code);
        }
        MovieLock lock;
        g_pMovie = movie;
        return 0;
    }
    CMovieDrawable* drawable;
    int code;
    if (g_pGameApp != nullptr && g_pGameApp->IsMovieSpriteOption()) {
        auto* sprite = new (std::nothrow) CMovieSprite;
        if (sprite == nullptr)
            return 8;
        code = sprite->Open(file, 0, 0, nullptr);
        drawable = sprite;
        if (code == 0) {
            MovieLock lock;
            g_pMovieSprite = sprite;
        }
    } else {
        auto* primitive = new (std::nothrow) CMoviePrimitive(g_pDisplay);
        if (primitive == nullptr)
            return 8;
        code = primitive->Open(file, 0, 0, nullptr);
        drawable = primitive;
        if (code == 0) {
            MovieLock lock;
            g_pMoviePrimitive = primitive;
        }
    }
    if (code != 0) {
        delete drawable;
        return static_cast<uint32_t>(code);
    }
    drawable->SetVisible(true);
    if (CDrawList* list = DisplayList())
        list->InsertAfterEqual(drawable, priority, 0);
    return 0;
}

uint32_t NativeMovieClose(SobNativeArgs&)
{
    CloseMovies();
    return 0;
}

uint32_t NativeMovieLoop(SobNativeArgs& args)
{
    const bool loop = args.U32(0) != 0;
    Dispatch(0, [&](CMovieDrawable& m) { return m.SetLoop(loop), 0; }, [&](CMovieObject& m) { return m.SetLoop(loop), 0; });
    return 0;
}

uint32_t NativeMoviePlay(SobNativeArgs&)
{
    return Dispatch(
        static_cast<uint32_t>(-1),
        [](CMovieDrawable& m) {
            m.SetVisible(true);
            return m.Play();
        },
        [](CMovieObject& m) {
            const int result = m.Play();
            if (result == 0)
                SetPlaying(m.PaintsByDC() ? 2 : 1);
            return result;
        });
}

uint32_t NativeMovieStop(SobNativeArgs&)
{
    return Dispatch(
        static_cast<uint32_t>(-1),
        [](CMovieDrawable& m) {
            m.SetVisible(false);
            return m.Stop();
        },
        [](CMovieObject& m) {
            const int result = m.Stop();
            if (result == 0)
                SetPlaying(0);
            return result;
        });
}

uint32_t NativeMovieControlA(SobNativeArgs&)
{
    return Dispatch(static_cast<uint32_t>(-1), [](CMovieDrawable& m) { return m.CallDllSlot4(); },
                    [](CMovieObject& m) { return m.CallDllSlot8(); });
}

uint32_t NativeMovieControlB(SobNativeArgs&)
{
    return Dispatch(static_cast<uint32_t>(-1), [](CMovieDrawable& m) { return m.CallDllSlot5(); },
                    [](CMovieObject& m) { return m.CallSlot9AndShow(); });
}

uint32_t NativeMovieRect(SobNativeArgs& args)
{
    const RECT rect{args.I32(0), args.I32(1), args.I32(2), args.I32(3)};
    if (args.Faulted())
        return 0;
    return Dispatch(
        static_cast<uint32_t>(-1),
        [&](CMovieDrawable& m) {
            m.SetSizeAndPosition(rect.right - rect.left, rect.bottom - rect.top, rect.left, rect.top);
            return 0;
        },
        [&](CMovieObject& m) { return m.SetDestRect(rect); });
}

uint32_t NativeMoviePosition(SobNativeArgs&)
{
    int64_t position = 0;
    Dispatch(0, [&](CMovieDrawable& m) { return m.CallDllSlot7(&position); },
             [&](CMovieObject& m) { return m.CallDllSlot11(&position); });
    return ToMs(position);
}

uint32_t NativeMovieWidth(SobNativeArgs&)
{
    return Dispatch(0, [](CMovieDrawable& m) { return m.GetNaturalWidth(); },
                    [](CMovieObject& m) { return m.GetNaturalWidth(); });
}

uint32_t NativeMovieHeight(SobNativeArgs&)
{
    return Dispatch(0, [](CMovieDrawable& m) { return m.GetNaturalHeight(); },
                    [](CMovieObject& m) { return m.GetNaturalHeight(); });
}

uint32_t NativeMovieSeek(SobNativeArgs& args)
{
    const int64_t position = ToHundredNs(args.I32(0));
    if (args.Faulted())
        return 0;
    return Dispatch(static_cast<uint32_t>(-1), [&](CMovieDrawable& m) { return m.SetMoviePosition(position); },
                    [&](CMovieObject& m) { return m.SetPosition(position); });
}

uint32_t NativeMovieDuration(SobNativeArgs&)
{
    int64_t duration = 0;
    Dispatch(0, [&](CMovieDrawable& m) { return m.CallDllSlot9(&duration); },
             [&](CMovieObject& m) { return m.CallDllSlot13(&duration); });
    return ToMs(duration);
}

uint32_t NativeMovieState(SobNativeArgs&)
{
    // The word starts at 3: a library that does not set it answers that.
    DWORD state = 3;
    const uint32_t none = Dispatch(1, [&](CMovieDrawable& m) { return m.CallDllSlot10(&state), 0; },
                                   [&](CMovieObject& m) { return m.CallDllSlot14(&state), 0; });
    return none != 0 ? 0 : state;
}

uint32_t NativeMovieVolume(SobNativeArgs& args)
{
    const int volume = args.I32(0);
    if (args.Faulted())
        return 0;
    return Dispatch(static_cast<uint32_t>(-1), [&](CMovieDrawable& m) { return m.SetVolume(volume); },
                    [&](CMovieObject& m) { return m.SetVolume(volume); });
}

uint32_t NativeMovieQuery(SobNativeArgs&)
{
    MovieLock lock;
    return g_pMovie != nullptr ? static_cast<uint32_t>(g_pMovie->CallDllSlot18()) : 2;
}

uint32_t NativeMovieSet(SobNativeArgs& args)
{
    const LONG value = args.I32(0);
    if (args.Faulted())
        return 0;
    MovieLock lock;
    return g_pMovie != nullptr ? static_cast<uint32_t>(g_pMovie->CallDllSlot19(value)) : 2;
}

uint32_t NativeMovieDoubleA(SobNativeArgs& args)
{
    const double value = args.I32(0) / 65536.0;
    if (args.Faulted())
        return 0;
    return Dispatch(static_cast<uint32_t>(-1), [&](CMovieDrawable& m) { return m.CallDllSlot12(value); },
                    [&](CMovieObject& m) { return m.CallDllSlot20(value); });
}

uint32_t NativeMovieDoubleB(SobNativeArgs& args)
{
    const double value = args.U32(0) / 65536.0;
    if (args.Faulted())
        return 0;
    return Dispatch(static_cast<uint32_t>(-1), [&](CMovieDrawable& m) { return m.CallDllSlot13(value); },
                    [&](CMovieObject& m) { return m.CallDllSlot21(value); });
}

uint32_t NativeMovieSprite(SobNativeArgs& args)
{
    if (g_pMovieSprite == nullptr)
        return 0;
    CScriptHostBase* host = NativeHost(args);
    return host != nullptr ? host->ObjectHandle(static_cast<CDrawable*>(g_pMovieSprite)) : 0;
}
