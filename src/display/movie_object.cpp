// The movie wrappers (see movie_object.h).
#include "display/movie_object.h"

#include <cmath>
#include <cstring>
#include <new>
#include <string>

#include "display/display_device.h"
#include "display/screen.h"
#include "files/file_manager.h"
#include "files/movie_library.h"
#include "files/read_stream.h"
#include "raster/pixel_lib.h"
#include "drawing/draw_list.h"
#include "raster/update_region.h"
#include "winapi/kernel.h"
#include "winapi/user.h"

CMovieObject* g_pMovie = nullptr;

LONG MovieVolumeToHundredthsDb(int volume)
{
    if (volume <= 0)
        return -10000;
    if (volume >= 256)
        return 0;
    const double base = 17.2 - volume * 0.0671875;
    return -static_cast<LONG>(std::trunc(base * base * base));
}

// The archive entry as the library reads it.
class MovieStreamAdapter final : public IMovieReadStream {
public:
    explicit MovieStreamAdapter(CReadStream* stream) : m_stream(stream) {}
    LONG ReadMovie(void* buffer, LONG bytes) override
    {
        return bytes <= 0 ? 0 : static_cast<LONG>(m_stream->Read(buffer, static_cast<DWORD>(bytes)));
    }
    bool SeekMovie(int64_t position) override
    {
        if (position < 0 || position > static_cast<int64_t>(m_stream->GetSize()))
            return false;
        return m_stream->SeekSet(static_cast<DWORD>(position)) == 0;
    }
    int64_t MovieSize() override { return m_stream->GetSize(); }

private:
    CReadStream* m_stream;
};

struct MovieInput {
    std::string path;                 // a plain file
    CReadStream* stream = nullptr;    // an archive entry (released with the input)
    MovieStreamAdapter* adapter = nullptr;
    int kind = 0;
    ~MovieInput()
    {
        delete adapter;
        if (stream != nullptr)
            stream->Release();
    }
};

namespace {

struct ExtensionRow {
    const char* extension;
    int kind;
};
// Archived movies are known by their extension only.
constexpr ExtensionRow kExtensions[] = {
    {"mpg", 0}, {"mpeg", 0}, {"mpv", 1}, {"dat", 2}, {"avi", 3}, {"mov", 4}, {"mp4", 4},
    {"wmv", 6}, {"asf", 6},  {"wma", 6},
};

// → 0 with *out filled, or the Open code 3 / 4.
int FindMovie(const char* name, CFileManager* manager, MovieInput** out)
{
    *out = nullptr;
    char path[MAX_PATH] = {};
    WIN32_FIND_DATAA find{};
    const int found = manager->FindFileOrEntry(path, name, &find);
    auto* input = new (std::nothrow) MovieInput;
    if (input == nullptr)
        return 4;
    if (found == 0) {
        input->path = path;
        *out = input;
        return 0;
    }
    if (found != -1) {
        delete input;
        return 4;
    }
    const char* dot = std::strrchr(name, '.');
    const char* slash = std::strrchr(name, '\\');
    int kind = -1;
    if (dot != nullptr && (slash == nullptr || dot > slash)) {
        for (const ExtensionRow& row : kExtensions)
            if (lstrcmpiA(dot + 1, row.extension) == 0)
                kind = row.kind;
    }
    if (kind < 0) {
        delete input;
        return 3;
    }
    int code = 0;
    input->stream = manager->Open(name, path, &code, true);
    if (input->stream == nullptr) {
        delete input;
        return 4;
    }
    input->adapter = new (std::nothrow) MovieStreamAdapter(input->stream);
    if (input->adapter == nullptr) {
        delete input;
        return 4;
    }
    input->kind = kind;
    *out = input;
    return 0;
}

} // namespace

// One frame image as the library writes it: the image and its lock.
class CMovieDrawable::FrameTarget final : public IMovieFrameTarget {
public:
    explicit FrameTarget(CImage* image) : m_image(image) {}
    void LockFrame() override { m_lock.Lock(); }
    void UnlockFrame() override { m_lock.Unlock(); }
    bool ResizeFrame(int width, int height) override
    {
        if (m_image->GetBits() != nullptr && m_image->GetWidth() == width && m_image->GetHeight() == height &&
            m_image->GetBitsPerPixel() == 32)
            return true;
        return m_image->Create(width, height, 32, 0) == 0;
    }
    BYTE* FramePixels() override { return m_image->GetBits(); }
    LONG FramePitch() override { return m_image->GetPitch(); }
    CLock& Lock() { return m_lock; }
    CImage* Image() { return m_image; }

private:
    CImage* m_image;
    CLock m_lock;
};

CMovieDrawable::~CMovieDrawable()
{
    // Reset is virtual; derived destructors call it before the images go.
}

void CMovieDrawable::ReleaseImages()
{
    for (int i = 0; i < 2; ++i) {
        delete m_frames[i];
        m_frames[i] = nullptr;
        if (m_images[i] != nullptr) {
            if (m_screen != nullptr)
                m_screen->DeleteSurface(m_images[i]);
            else
                delete m_images[i];
            m_images[i] = nullptr;
        }
    }
}

void CMovieDrawable::Reset()
{
    // The control goes first: its thread writes into the frame images.
    if (m_ctrl != nullptr) {
        m_ctrl->Release();
        m_ctrl = nullptr;
    }
    delete m_input;
    m_input = nullptr;
    ReleaseImages();
    m_naturalWidth = m_naturalHeight = 0;
    m_srcRect = RECT{};
    m_endSeen = false;
    UpdateRect();
}

LONG CMovieDrawable::GetWidth() const
{
    return m_requestedWidth > 0 ? m_requestedWidth : m_naturalWidth;
}

LONG CMovieDrawable::GetHeight() const
{
    return m_requestedHeight > 0 ? m_requestedHeight : m_naturalHeight;
}

void CMovieDrawable::UpdateRect()
{
    m_screenRect = RECT{m_x, m_y, AddClamped(m_x, GetWidth()), AddClamped(m_y, GetHeight())};
}

int CMovieDrawable::SetBlendMode(BYTE mode)
{
    if (mode != m_blendMode) {
        m_blendMode = mode;
        SetDirty(true);
    }
    return 0;
}

int CMovieDrawable::SetAlpha(BYTE alpha)
{
    if (alpha != m_alpha) {
        m_alpha = alpha;
        SetDirty(true);
    }
    return 0;
}

bool CMovieDrawable::SetPosition(LONG x, LONG y)
{
    if (x == m_x && y == m_y)
        return false;
    m_x = x;
    m_y = y;
    UpdateRect();
    SetDirty(true);
    return true;
}

bool CMovieDrawable::MoveBy(LONG dx, LONG dy)
{
    if (dx == 0 && dy == 0)
        return false;
    return SetPosition(AddClamped(m_x, dx), AddClamped(m_y, dy));
}

bool CMovieDrawable::SetSize(LONG width, LONG height)
{
    width = width < 0 ? 0 : width;
    height = height < 0 ? 0 : height;
    if (width == m_requestedWidth && height == m_requestedHeight)
        return false;
    m_requestedWidth = width;
    m_requestedHeight = height;
    UpdateRect();
    SetDirty(true);
    return true;
}

bool CMovieDrawable::SetSizeAndPosition(LONG width, LONG height, LONG x, LONG y)
{
    const bool sized = SetSize(width, height);
    const bool moved = SetPosition(x, y);
    return sized || moved;
}

bool CMovieDrawable::InvalidateLocalRect(RECT* rect)
{
    if (rect == nullptr || GetOwnerList() == nullptr)
        return false;
    const RECT shown{0, 0, GetWidth(), GetHeight()};
    if (!IntersectRects(rect, *rect, shown))
        return false;
    *rect = MovedRect(*rect, m_x, m_y);
    GetOwnerList()->InvalidateRect(rect);
    return true;
}

bool CMovieDrawable::HitTest(LONG x, LONG y, bool)
{
    return x >= m_screenRect.left && x < m_screenRect.right && y >= m_screenRect.top && y < m_screenRect.bottom;
}

bool CMovieDrawable::Intersects(CDrawable* other)
{
    if (other == nullptr)
        return false;
    RECT o;
    other->GetScreenRect(&o);
    return o.left < m_screenRect.right && m_screenRect.left < o.right && o.top < m_screenRect.bottom &&
           m_screenRect.top < o.bottom;
}

RECT* CMovieDrawable::GetScreenRect(RECT* out) const
{
    if (out != nullptr)
        *out = m_screenRect;
    return out;
}

int CMovieDrawable::DrawPart(CImage* target, const RECT& area, RECT* outRect)
{
    if (target == nullptr || m_ctrl == nullptr)
        return 1;
    const bool sized = m_requestedWidth > 0 && m_requestedHeight > 0;
    int index;
    if (sized) {
        RECT natural;
        index = m_ctrl->PrepareFrame(&natural, m_x, m_y, &m_screenRect, 0, 255);
    } else {
        index = m_ctrl->PrepareFrame(nullptr, m_x, m_y, &m_screenRect, m_blendMode, m_alpha);
    }
    int result = 0;
    if (index == 0 || index == 1) {
        FrameTarget* frame = m_frames[index];
        CScopedLock lock(frame->Lock());
        CImage* image = frame->Image();
        if (image->GetBits() != nullptr && g_pPixelLib != nullptr) {
            int drawn;
            if (sized) {
                const SIZE size{m_requestedWidth, m_requestedHeight};
                const RECT src{0, 0, image->GetWidth(), image->GetHeight()};
                drawn = g_PixelLibFuncs.stretchBlend != nullptr
                            ? g_PixelLibFuncs.stretchBlend(target, image, &size, m_x, m_y, &src, 0, 1, 255, 0)
                            : 1;
            } else {
                // Only the part inside the area: the source is cut to it.
                RECT src{area.left - m_x, area.top - m_y, area.right - m_x, area.bottom - m_y};
                RECT bounds{0, 0, image->GetWidth(), image->GetHeight()};
                if (!IntersectRects(&src, src, bounds))
                    return 0;
                const BYTE mode = GetKind() == kDrawableMoviePrimitive ? 0 : m_blendMode;
                const BYTE alpha = GetKind() == kDrawableMoviePrimitive ? 255 : m_alpha;
                drawn = g_PixelLibFuncs.blend != nullptr
                            ? g_PixelLibFuncs.blend(target, image, m_x + src.left, m_y + src.top, &src, mode, alpha, 0)
                            : 1;
            }
            if (drawn != 0) {
                result = 3;
            } else if (g_pPixelLibChangedRect != nullptr) {
                if (CUpdateRegion* region = target->GetUpdateRegion())
                    region->AddRect(*g_pPixelLibChangedRect);
                target->SetChanged(true);
            }
        }
    }
    ReportDrawn(target, area, outRect);
    // The end: loop or stop, once per arrival.
    if (m_ctrl->IsAtEnd()) {
        if (!m_endSeen) {
            m_endSeen = true;
            if (m_loop)
                m_ctrl->Play();
            else
                m_ctrl->Stop();
        }
    } else {
        m_endSeen = false;
    }
    return result;
}

int CMovieDrawable::Draw(CImage* target, RECT* outRect)
{
    if (!IsVisible() || m_alpha == 0) {
        if (outRect != nullptr)
            outRect->left = -1;
        return 0;
    }
    return DrawPart(target, m_screenRect, outRect);
}

void CMovieDrawable::DrawRegion(CImage* target, const RECT& rect)
{
    if (!IsVisible() || m_alpha == 0)
        return;
    RECT area;
    if (!IntersectRects(&area, m_screenRect, rect))
        return;
    const bool sized = m_requestedWidth > 0 && m_requestedHeight > 0;
    if (sized && !SameRect(area, m_screenRect)) {
        // A scaled frame cannot be drawn in pieces: the whole sprite is redrawn.
        SetDirty(true);
        area = m_screenRect;
    }
    DrawPart(target, area, nullptr);
}

int CMovieDrawable::OpenMovie(const char* name, LONG x, LONG y, CFileManager* fileManager, bool primitive,
                              CScreen* screen)
{
    CMovieLibrary* library = primitive ? g_pMoviePrimitiveLibrary : g_pMovieSpriteLibrary;
    if (library == nullptr || library->factory == nullptr)
        return 1;
    if (fileManager == nullptr)
        fileManager = g_pFileManager;
    if (name == nullptr || fileManager == nullptr || (!primitive && g_pPixelLib == nullptr) ||
        (primitive && screen == nullptr))
        return 2;
    MovieInput* input = nullptr;
    if (const int code = FindMovie(name, fileManager, &input); code != 0)
        return code;
    Reset();
    m_input = input;
    for (int i = 0; i < 2; ++i) {
        if (primitive) {
            if (screen->CreateImage(&m_images[i], 1, 1, 32, 0) != 0 || m_images[i] == nullptr) {
                Reset();
                return 5;
            }
        } else {
            m_images[i] = new (std::nothrow) CImage;
            if (m_images[i] == nullptr) {
                Reset();
                return 2;
            }
        }
        m_frames[i] = new FrameTarget(m_images[i]);
    }
    const char* path = input->adapter != nullptr ? nullptr : input->path.c_str();
    int refused;
    if (primitive)
        refused = reinterpret_cast<GetDShowPrimCtrlProc>(library->factory)(&m_ctrl, m_frames[0], m_frames[1],
                                                                           input->adapter, input->kind, path, 0, 0, 1);
    else
        refused = reinterpret_cast<GetDShowGdiSpriteCtrlProc>(library->factory)(
            &m_ctrl, m_frames[0], m_frames[1], this, input->adapter, input->kind, path, 0, 0, 1);
    if (refused != 0 || m_ctrl == nullptr) {
        // Mended: the archive stream used to stay open when the library refused the movie.
        m_ctrl = nullptr;
        Reset();
        return 6;
    }
    m_naturalWidth = m_ctrl->GetNaturalWidth();
    m_naturalHeight = m_ctrl->GetNaturalHeight();
    m_srcRect = RECT{0, 0, m_naturalWidth, m_naturalHeight};
    m_x = x;
    m_y = y;
    UpdateRect();
    if (m_volume != 256)
        m_ctrl->SetVolume(MovieVolumeToHundredthsDb(m_volume));
    SetDirty(true);
    return 0;
}

int CMovieDrawable::Play()
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->Play());
}
int CMovieDrawable::CallDllSlot4()
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->Pause());
}
int CMovieDrawable::CallDllSlot5()
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->Resume());
}
int CMovieDrawable::Stop()
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->Stop());
}
int CMovieDrawable::CallDllSlot7(int64_t* position)
{
    return m_ctrl == nullptr ? 0 : static_cast<int>(m_ctrl->GetPosition(position));
}
int CMovieDrawable::SetMoviePosition(int64_t position)
{
    if (m_ctrl == nullptr)
        return -1;
    const auto value = static_cast<uint64_t>(position);
    return static_cast<int>(m_ctrl->SetPosition(static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)));
}
int CMovieDrawable::CallDllSlot9(int64_t* duration)
{
    return m_ctrl == nullptr ? 0 : static_cast<int>(m_ctrl->GetDuration(duration));
}
int CMovieDrawable::CallDllSlot10(DWORD* state)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->GetPlayState(state));
}
int CMovieDrawable::SetVolume(int volume)
{
    m_volume = volume <= 0 ? 0 : volume > 256 ? 256 : volume;
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->SetVolume(MovieVolumeToHundredthsDb(volume)));
}
int CMovieDrawable::CallDllSlot12(double value)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->SetBalance(value));
}
int CMovieDrawable::CallDllSlot13(double value)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->SetRate(value));
}

CMovieSprite::CMovieSprite() = default;

CMovieSprite::~CMovieSprite()
{
    Reset();
}

int CMovieSprite::Open(const char* name, LONG x, LONG y, CFileManager* fileManager)
{
    return OpenMovie(name, x, y, fileManager, false, nullptr);
}

CMoviePrimitive::CMoviePrimitive(CScreen* screen)
{
    m_screen = screen;
}

CMoviePrimitive::~CMoviePrimitive()
{
    Reset();
}

int CMoviePrimitive::Open(const char* name, LONG x, LONG y, CFileManager* fileManager)
{
    return OpenMovie(name, x, y, fileManager, true, m_screen);
}

// --- the window movie ---

CMovieObject::CMovieObject() = default;

CMovieObject::~CMovieObject()
{
    Close();
}

void CMovieObject::Close()
{
    if (m_ctrl != nullptr) {
        m_ctrl->Release();
        m_ctrl = nullptr;
    }
    delete m_input;
    m_input = nullptr;
    // Mended: only the reference taken when passing the primary is released, never the display's own.
    if (m_primary != nullptr) {
        m_primary->Release();
        m_primary = nullptr;
    }
    m_naturalWidth = m_naturalHeight = 0;
    m_windowMode = false;
}

int CMovieObject::Open(CScreen* display, const char* name, CFileManager* fileManager, HWND window)
{
    if (g_pMovieWindowLibrary == nullptr || g_pMovieWindowLibrary->factory == nullptr)
        return 1;
    if (fileManager == nullptr)
        fileManager = g_pFileManager;
    if (name == nullptr || fileManager == nullptr)
        return 2;
    MovieInput* input = nullptr;
    if (const int code = FindMovie(name, fileManager, &input); code != 0)
        return code;
    Close();
    m_input = input;
    IDirectDraw7* directDraw = nullptr;
    if (display != nullptr && display->DirectDraw() != nullptr) {
        directDraw = display->DirectDraw();
        IDirectDrawSurface7* primary = display->GetPrimary();
        if (primary != nullptr) {
            primary->AddRef();
        } else {
            DDSURFACEDESC2 desc{};
            desc.dwSize = sizeof desc;
            desc.dwFlags = DDSD_CAPS;
            desc.ddsCaps.dwCaps = DDSCAPS_PRIMARYSURFACE;
            if (directDraw->CreateSurface(&desc, &primary, nullptr) != DD_OK)
                primary = nullptr;
        }
        m_primary = primary;
    }
    const char* path = input->adapter != nullptr ? nullptr : input->path.c_str();
    const int refused = reinterpret_cast<GetMovieObjectProc>(g_pMovieWindowLibrary->factory)(
        &m_ctrl, input->adapter, input->kind, path, directDraw, m_primary, directDraw != nullptr ? 1 : 0);
    if (refused != 0 || m_ctrl == nullptr) {
        m_ctrl = nullptr;
        Close();
        return 6;
    }
    m_window = window;
    if (window != nullptr) {
        m_ctrl->SetOwner(window);
        m_ctrl->SetEventWindow(window);
    }
    m_naturalWidth = m_ctrl->GetNaturalWidth();
    m_naturalHeight = m_ctrl->GetNaturalHeight();
    const RECT dest{0, 0, m_naturalWidth, m_naturalHeight};
    if (m_ctrl->SetDestRect(dest.left, dest.top, dest.right, dest.bottom) == S_OK)
        m_dest = dest;
    m_windowMode = m_ctrl->GetWindowMode() == 1;
    if (m_volume != 256)
        m_ctrl->SetVolume(MovieVolumeToHundredthsDb(m_volume));
    return 0;
}

int CMovieObject::Play()
{
    if (m_ctrl == nullptr)
        return -1;
    m_ctrl->Show(TRUE);
    const int result = static_cast<int>(m_ctrl->Run());
    if (m_window != nullptr) {
        if (m_ctrl->PaintsByDC()) {
            if (HDC dc = GetDC(m_window)) {
                m_ctrl->PaintDC(dc);
                ReleaseDC(m_window, dc);
            }
        } else if (HWND child = GetTopWindow(m_window)) {
            InvalidateRect(child, nullptr, TRUE);
        }
    }
    return result;
}

int CMovieObject::CallDllSlot8()
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->Pause());
}

int CMovieObject::CallSlot9AndShow()
{
    if (m_ctrl == nullptr)
        return -1;
    const int result = static_cast<int>(m_ctrl->Resume());
    if (result == 0)
        m_ctrl->Show(TRUE);
    return result;
}

int CMovieObject::Stop()
{
    if (m_ctrl == nullptr)
        return -1;
    m_ctrl->Show(FALSE);
    return static_cast<int>(m_ctrl->Stop());
}

int CMovieObject::SetDestRect(const RECT& rect)
{
    if (m_ctrl == nullptr)
        return -1;
    const int result = static_cast<int>(m_ctrl->SetDestRect(rect.left, rect.top, rect.right, rect.bottom));
    if (result == 0)
        m_dest = rect;
    return result;
}

int CMovieObject::CallDllSlot11(int64_t* position)
{
    return m_ctrl == nullptr ? 0 : static_cast<int>(m_ctrl->GetPosition(position));
}

int CMovieObject::SetPosition(int64_t position)
{
    if (m_ctrl == nullptr)
        return -1;
    const auto value = static_cast<uint64_t>(position);
    return static_cast<int>(m_ctrl->SetPosition(static_cast<DWORD>(value), static_cast<DWORD>(value >> 32)));
}

int CMovieObject::CallDllSlot13(int64_t* duration)
{
    return m_ctrl == nullptr ? 0 : static_cast<int>(m_ctrl->GetDuration(duration));
}

int CMovieObject::CallDllSlot14(DWORD* state)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->GetPlayState(state));
}

int CMovieObject::SetVolume(int volume)
{
    m_volume = volume <= 0 ? 0 : volume > 256 ? 256 : volume;
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->SetVolume(MovieVolumeToHundredthsDb(volume)));
}

int CMovieObject::CallDllSlot18()
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->Query());
}

int CMovieObject::CallDllSlot19(LONG value)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->Set(value));
}

int CMovieObject::CallDllSlot20(double value)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->SetBalance(value));
}

int CMovieObject::CallDllSlot21(double value)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->SetRate(value));
}

bool CMovieObject::PaintsByDC()
{
    return m_ctrl != nullptr && m_ctrl->PaintsByDC() != FALSE;
}

int CMovieObject::PaintToDC(HDC dc)
{
    return m_ctrl == nullptr ? -1 : static_cast<int>(m_ctrl->PaintDC(dc));
}

void CMovieObject::OnDisplayChange()
{
    m_needsRepaint = true;
    if (m_ctrl != nullptr && m_window != nullptr)
        if (HWND child = GetTopWindow(m_window))
            InvalidateRect(child, nullptr, TRUE);
}

void CMovieObject::HandleEvents()
{
    if (m_ctrl == nullptr)
        return;
    // Bounded: a library that keeps answering events cannot hold the caller forever.
    for (int guard = 0; guard < 256; ++guard) {
        BOOL present = FALSE;
        LONG code = 0;
        LONG_PTR p1 = 0, p2 = 0;
        if (m_ctrl->NextEvent(&present, &code, &p1, &p2) != S_OK || !present)
            return;
        if (code == 1) {
            DWORD state = 0;
            m_ctrl->GetPlayState(&state);
            if (state != 1)
                continue;
            if (m_loop) {
                if (m_ctrl->SetPosition(0, 0) == S_OK) {
                    m_ctrl->Run();
                } else if (m_ctrl->Stop() == S_OK) {
                    m_ctrl->Run();
                }
            } else {
                m_ctrl->Stop();
            }
        } else if (code == 2) {
            m_ctrl->Stop();
        }
    }
}
