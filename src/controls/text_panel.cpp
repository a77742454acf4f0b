#include "controls/text_panel.h"

#include "controls/control_container.h"
#include "controls/frame_compose.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_blit.h"
#include "drawing/glyph_font.h"
#include "raster/fill_ops.h"
#include "winapi/text.h"

#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

namespace {

bool HasPixels(const CImage* image)
{
    return image && image != reinterpret_cast<CImage*>(-1) && image->GetBits() != nullptr;
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

namespace {

// The panels alive now, for the ends of the frame images they borrow.
std::recursive_mutex g_panelLock; // an end may report further ends
std::vector<CTextPanel*> g_panels;

} // namespace

CTextPanel::CTextPanel()
{
    std::lock_guard lock(g_panelLock);
    g_panels.push_back(this);
}

CTextPanel::~CTextPanel()
{
    {
        std::lock_guard lock(g_panelLock);
        std::erase(g_panels, this);
    }
    Release();
    FreeFrameImages(false);
    ClearItems();
}

void CTextPanel::DeleteHighlights()
{
    for (CPrimitiveObject* object : m_highlights)
        delete object;
    m_highlights.clear();
    m_shown = 0;
}

void CTextPanel::Release()
{
    m_sprite.DetachFromList();
    m_sprite.Reset();
    m_image.Destroy();
    delete m_hitMap;
    m_hitMap = nullptr;
    DeleteHighlights();
    m_width = m_height = 0;
    m_font = m_rubyFont = nullptr;
}

int CTextPanel::CreateHitMap(int width, int height)
{
    delete m_hitMap;
    m_hitMap = new CImage;
    if (m_hitMap->Create(width, height, 8, 0) != 0) {
        delete m_hitMap;
        m_hitMap = nullptr;
        return 1;
    }
    std::memset(m_hitMap->GetBits(), 0, static_cast<size_t>(m_hitMap->GetPitch()) * height);
    return 0;
}

int CTextPanel::Create(CDrawList* list, int priority, int width, int height, int x, int y, CGlyphFont* font,
                       CGlyphFont* ruby, int id)
{
    if (!list || !font || (!HasPixels(m_frame) && (width <= 0 || height <= 0)))
        return 1;
    if (list == m_list)
        m_list = nullptr;
    Release();
    if (HasPixels(m_frame) && m_tileW == 0) {
        width = m_frame->GetWidth();
        height = m_frame->GetHeight();
    }
    if (width <= 0 || height <= 0 || m_image.Create(width, height, 32, 0) != 0)
        return 2;
    m_image.SetAlphaFlag(true);
    m_sprite.SetImage(&m_image, nullptr, x, y);
    m_sprite.SetBlendMode(2);
    m_width = width;
    m_height = height;
    if (m_itemsEnabled && CreateHitMap(width, height) != 0)
        return 3;
    m_list = list;
    SetPriority(priority, id, true);
    m_font = font;
    m_rubyFont = ruby;
    UpdateLayout();
    ResetTextCursor(true);
    return 0;
}

int CTextPanel::SetFonts(CGlyphFont* font, CGlyphFont* ruby, bool redraw)
{
    if (!font)
        return 1;
    if (!Created())
        return -1;
    m_font = font;
    m_rubyFont = ruby;
    UpdateLayout();
    if (redraw)
        ResetTextCursor(true);
    return 0;
}

int CTextPanel::SetPosition(int x, int y)
{
    if (!Created())
        return 1;
    const int dx = x - m_sprite.GetX(), dy = y - m_sprite.GetY();
    m_sprite.SetPosition(x, y);
    if (m_itemsEnabled)
        for (CPrimitiveObject* object : m_highlights)
            object->MoveBy(dx, dy);
    return 0;
}

void CTextPanel::SetVisible(bool visible)
{
    CControlContainer* form = GetContainer();
    if (form) {
        if (!visible && form->IsFocus(this))
            form->SetFocus(nullptr);
        if (form->IsCapture(this))
            form->ReleaseCapture();
    }
    m_sprite.SetVisible(visible);
    if (m_locked)
        for (size_t i = 0; i < m_shown && i < m_highlights.size(); ++i)
            m_highlights[i]->SetVisible(visible);
}

int CTextPanel::SetPriority(int priority, int group, bool keep)
{
    if (!m_list)
        return 1;
    if (!m_sprite.GetOwnerList()) {
        m_list->Insert(&m_sprite, static_cast<uint32_t>(priority), static_cast<DWORD>(group));
        m_id = group;
    } else {
        m_list->SetPriority(&m_sprite, static_cast<uint32_t>(priority), keep);
    }
    if (m_itemsEnabled)
        for (CPrimitiveObject* object : m_highlights)
            m_list->SetPriority(object, static_cast<uint32_t>(priority), keep);
    m_priority = priority;
    return 0;
}

int CTextPanel::MoveToDrawList(CDrawList* list)
{
    if (!list || !m_list)
        return 1;
    m_list->MoveGroupTo(*list, static_cast<DWORD>(m_id));
    m_list = list;
    return 0;
}

int CTextPanel::SetAlpha(int alpha)
{
    if (!Created())
        return 1;
    m_sprite.SetAlpha(static_cast<BYTE>(alpha));
    for (CPrimitiveObject* object : m_highlights)
        object->SetAlpha(static_cast<BYTE>(alpha));
    return 0;
}

int CTextPanel::GetAlpha() const
{
    return Created() ? m_sprite.GetAlpha() : 0;
}

int CTextPanel::SetBackgroundColor(uint8_t maskChoice, uint32_t color, uint8_t alpha, bool redraw)
{
    color &= 0xFFFFFF;
    const bool maskChanged = maskChoice != m_maskChoice, colorChanged = color != m_bgColor,
               alphaChanged = alpha != m_bgAlpha;
    if (!maskChanged && !colorChanged && !alphaChanged)
        return -1;
    m_maskChoice = maskChoice;
    m_bgColor = color;
    m_bgAlpha = alpha;
    ComposeFrame(maskChanged, colorChanged, alphaChanged);
    if (!Created())
        return -2;
    if (redraw)
        ResetTextCursor(true);
    return 0;
}

void CTextPanel::SetMargins(int left, int top, int right, int bottom, bool redraw)
{
    m_marginL = left;
    m_marginT = top;
    m_marginR = right;
    m_marginB = bottom;
    ComputeWrapLimit();
    if (redraw && Created())
        ResetTextCursor(true);
}

void CTextPanel::SetItemMargins(int left, int top, int right, int bottom, bool redraw)
{
    m_itemL = left;
    m_itemT = top;
    m_itemR = right;
    m_itemB = bottom;
    if (redraw && Created())
        ResetTextCursor(true);
}

int CTextPanel::SetItemsEnabled(bool enabled, bool redraw)
{
    m_itemsEnabled = enabled ? 1 : 0;
    if (Created()) {
        delete m_hitMap;
        m_hitMap = nullptr;
        if (enabled && CreateHitMap(m_width, m_height) != 0)
            return 1;
        if (redraw)
            ResetTextCursor(true);
    }
    return 0;
}

int CTextPanel::SetVertical(bool vertical, bool redraw)
{
    if (redraw && Created())
        ResetTextCursor(true);
    m_vertical = vertical ? 1 : 0;
    CGlyphFont* fonts[2] = {m_font, m_rubyFont};
    for (int i = 0; i < 2; ++i) {
        CGlyphFont* font = fonts[i];
        if (!font)
            continue;
        const char* face = font->m_logFont.lfFaceName;
        if (vertical) {
            if (face[0] != '@') {
                const std::string at = std::string("@") + face;
                if (font->SetFaceName(at.c_str()) != 0)
                    return i == 0 ? 1 : 3;
            }
            font->SetAngle(2700);
        } else {
            if (face[0] == '@') {
                const std::string plain = face + 1;
                if (font->SetFaceName(plain.c_str()) != 0)
                    return i == 0 ? 2 : 4;
            }
            font->SetAngle(0);
        }
    }
    UpdateLineMetrics();
    UpdateLayout();
    return 0;
}

int CTextPanel::SetFrameSlices(int left, int top, int tileWidth, int tileHeight)
{
    if (m_frame)
        return 0;
    m_borderL = left;
    m_borderT = top;
    m_tileW = tileWidth;
    m_tileH = tileHeight;
    return 1;
}

void CTextPanel::ForgetEverywhere(const void* object)
{
    std::lock_guard lock(g_panelLock);
    for (CTextPanel* panel : g_panels) {
        for (CGlyphFont** font : {&panel->m_font, &panel->m_rubyFont})
            if (*font != nullptr && static_cast<const void*>(static_cast<const CFont*>(*font)) == object)
                *font = nullptr;
        const CImage* borrowed[4] = {panel->m_ownsFrame ? nullptr : panel->m_frame,
                                     panel->m_ownsSources ? nullptr : panel->m_decoration,
                                     panel->m_ownsSources ? nullptr : panel->m_maskA,
                                     panel->m_ownsSources ? nullptr : panel->m_maskB};
        for (const CImage* image : borrowed)
            if (image != nullptr && image != reinterpret_cast<CImage*>(-1) &&
                static_cast<const void*>(static_cast<const CSurface*>(image)) == object) {
                panel->FreeFrameImages(false);
                break;
            }
    }
}

void CTextPanel::FreeFrameImages(bool redraw)
{
    CImage* images[4] = {m_frame, m_decoration, m_maskA, m_maskB};
    for (int i = 0; i < 4; ++i) {
        CImage* image = images[i];
        if (!image || image == reinterpret_cast<CImage*>(-1))
            continue;
        const bool owned = i == 0 ? m_ownsFrame != 0 : m_ownsSources != 0;
        bool seen = false;
        for (int j = 0; j < i; ++j)
            seen = seen || images[j] == image;
        if (owned && !seen)
            delete image;
    }
    m_frame = m_decoration = m_maskA = m_maskB = nullptr;
    m_ownsFrame = m_ownsSources = m_composite = 0;
    m_decorationName.clear();
    m_maskAName.clear();
    m_maskBName.clear();
    if (redraw && Created())
        ResetTextCursor(true);
}

bool CTextPanel::CheckSlices()
{
    if (m_tileW == 0)
        return true;
    const int64_t w = m_frame->GetWidth(), h = m_frame->GetHeight();
    const int64_t right = w - m_borderL - m_tileW, bottom = h - m_borderT - m_tileH;
    if (m_borderL < 0 || m_borderT < 0 || m_tileW < 1 || m_tileH < 1 || right < 0 || bottom < 0)
        return false;
    m_borderR = static_cast<int32_t>(right);
    m_borderB = static_cast<int32_t>(bottom);
    return true;
}

int CTextPanel::FinishFrame(bool redraw)
{
    if (!CheckSlices()) {
        FreeFrameImages(false);
        return 10;
    }
    ComposeFrame(true, true, true);
    if (Created() && redraw) {
        CGlyphFont* font = m_font;
        CGlyphFont* ruby = m_rubyFont;
        // A tiled frame keeps the panel's size; an untiled one gives its own.
        const int w = m_tileW ? m_width : 0, h = m_tileW ? m_height : 0;
        if (Create(m_list, m_priority, w, h, m_sprite.GetX(), m_sprite.GetY(), font, ruby, m_id) != 0)
            return 9;
    }
    return 0;
}

int CTextPanel::LoadFrameImages(const char* decoration, const char* maskA, const char* maskB, bool redraw)
{
    FreeFrameImages(false);
    if (maskA == reinterpret_cast<const char*>(-1))
        maskA = nullptr;
    if (!decoration && !maskA && !maskB)
        return 1;
    m_ownsFrame = m_ownsSources = 1;
    auto fail = [this](int code) {
        FreeFrameImages(false);
        return code;
    };
    auto makeFrame = [this](const CImage* like) {
        m_frame = new CImage;
        if (m_frame->Create(like->GetWidth(), like->GetHeight(), 32, 0) != 0)
            return false;
        m_frame->SetAlphaFlag(true);
        return true;
    };
    if (maskA) {
        m_maskA = new CImage;
        if (m_maskA->LoadWithPalette(maskA, nullptr, 0, 0) != 0)
            return fail(2);
        if (!makeFrame(m_maskA))
            return fail(3);
        m_maskAName = maskA;
    }
    if (maskB) {
        m_maskB = new CImage;
        if (m_maskB->LoadWithPalette(maskB, nullptr, 0, 0) != 0)
            return fail(4);
        if (!m_frame && !makeFrame(m_maskB))
            return fail(5);
        m_maskBName = maskB;
    }
    if (decoration) {
        if (m_maskA || m_maskB) {
            m_decoration = new CImage;
            if (m_decoration->Load(decoration, nullptr, 0, 0) != 0)
                return fail(6);
            if (!HasPixels(m_frame) && !makeFrame(m_decoration))
                return fail(7);
            m_composite = 1;
        } else {
            m_frame = new CImage;
            if (m_frame->Load(decoration, nullptr, 0, 0) != 0)
                return fail(8);
        }
        m_decorationName = decoration;
    }
    return FinishFrame(redraw);
}

int CTextPanel::SetFrameImages(CImage* decoration, CImage* maskA, CImage* maskB, bool redraw)
{
    FreeFrameImages(false);
    if (maskA == reinterpret_cast<CImage*>(-1))
        maskA = nullptr;
    if (!HasPixels(decoration) && !HasPixels(maskA) && !HasPixels(maskB))
        return 1;
    auto makeFrame = [this](const CImage* like) {
        m_frame = new CImage;
        m_ownsFrame = 1;
        if (m_frame->Create(like->GetWidth(), like->GetHeight(), 32, 0) != 0)
            return false;
        m_frame->SetAlphaFlag(true);
        return true;
    };
    auto fail = [this](int code) {
        FreeFrameImages(false);
        return code;
    };
    if (HasPixels(maskA)) {
        m_maskA = maskA;
        if (!makeFrame(maskA))
            return fail(5);
    }
    if (HasPixels(maskB)) {
        m_maskB = maskB;
        if (!m_frame && !makeFrame(maskB))
            return fail(3);
    }
    if (HasPixels(decoration)) {
        if (m_maskA || m_maskB) {
            m_decoration = decoration;
            if (!m_frame && !makeFrame(decoration))
                return fail(7);
            m_composite = 1;
        } else {
            m_frame = decoration; // a lone decoration is the frame itself
        }
    }
    return FinishFrame(redraw);
}

void CTextPanel::ComposeFrame(bool maskChanged, bool colorChanged, bool alphaChanged)
{
    FrameSources sources;
    sources.frame = m_frame;
    sources.decoration = m_decoration;
    sources.maskA = m_maskA;
    sources.maskB = m_maskB;
    sources.composite = m_composite != 0;
    ComposeFrameImage(sources, m_maskChoice, m_bgColor, m_bgAlpha, maskChanged, colorChanged, alphaChanged);
}

int CTextPanel::Rebuild(int width, int height)
{
    if (!Created())
        return 1;
    FreeFrameImages(false);
    CGlyphFont* font = m_font;
    CGlyphFont* ruby = m_rubyFont;
    return Create(m_list, m_priority, width, height, m_sprite.GetX(), m_sprite.GetY(), font, ruby, m_id) == 0 ? 0 : 3;
}

int CTextPanel::Resize(int width, int height)
{
    if (width <= 0 || height <= 0 || !m_frame || m_tileW == 0)
        return 1;
    DeleteHighlights();
    auto snap = [](int64_t size, int64_t before, int64_t after, int64_t tile) {
        if (tile <= 1)
            return size;
        const int64_t inner = size - before - after;
        if (inner % tile == 0 && inner >= 0)
            return size;
        return (std::max<int64_t>(inner, 0) / tile + 1) * tile + before + after;
    };
    const int64_t w = snap(width, m_borderL, m_borderR, m_tileW), h = snap(height, m_borderT, m_borderB, m_tileH);
    if (w > INT32_MAX / 8 || h > INT32_MAX / 8)
        return 2;
    const int x = m_sprite.GetX(), y = m_sprite.GetY();
    const BYTE alpha = m_sprite.GetAlpha();
    if (m_image.Create(static_cast<LONG>(w), static_cast<LONG>(h), 32, 0) != 0)
        return 2;
    m_image.SetAlphaFlag(true);
    m_sprite.SetImage(&m_image, nullptr, x, y);
    m_sprite.SetBlendMode(2);
    m_sprite.SetAlpha(alpha);
    m_width = static_cast<int32_t>(w);
    m_height = static_cast<int32_t>(h);
    if (m_hitMap && CreateHitMap(m_width, m_height) != 0)
        return 4;
    UpdateLayout();
    ResetTextCursor(true);
    return 0;
}

void CTextPanel::SetTextCursor(int x, int y)
{
    if (!m_vertical && y < 0) {
        if (x >= 0)
            m_cursorX = m_marginL + x;
        return;
    }
    if (m_vertical && x < 0) {
        if (y >= 0)
            m_cursorY = m_marginT + y;
        return;
    }
    CloseItemCellRun();
    if (x >= 0)
        m_cursorX = m_marginL + x;
    if (y >= 0)
        m_cursorY = m_marginT + y;
    UpdateLineMetrics();
}

void CTextPanel::GetTextCursorPoint(int* x, int* y, int width, int height) const
{
    if (m_vertical) {
        *x = m_cursorX - ((m_lineHeight - width) >> 1) - width;
        *y = m_cursorY;
    } else {
        *x = m_cursorX;
        *y = m_cursorY + m_lineHeight - height;
    }
}

void CTextPanel::ResetTextCursor(bool redraw)
{
    m_cursorY = m_marginT;
    m_cursorX = m_vertical ? m_width - m_marginR + 1 : m_marginL;
    m_indent = 0;
    if (redraw)
        Clear();
    m_ruby = nullptr;
}

void CTextPanel::HomeTextCursor(bool redraw)
{
    const int indent = m_indent;
    const char* ruby = m_ruby;
    ResetTextCursor(redraw);
    m_indent = indent;
    m_ruby = ruby;
    if (m_vertical)
        m_cursorY += indent;
    else
        m_cursorX += indent;
}

void CTextPanel::DrawNineSlice(bool lone)
{
    const int fw = m_frame->GetWidth(), fh = m_frame->GetHeight();
    const int w = m_width, h = m_height;
    if (lone)
        m_image.FillRect32(0xFF000000u, nullptr);
    // Each piece is clipped to the area it belongs to.
    auto piece = [&](int sx, int sy, int sw, int sh, int dx, int dy, const RECT& area) {
        RECT src{sx, sy, sx + sw, sy + sh};
        RECT dst{dx, dy, dx + sw, dy + sh};
        RECT cut{std::max(dst.left, area.left), std::max(dst.top, area.top), std::min(dst.right, area.right),
                 std::min(dst.bottom, area.bottom)};
        if (cut.left >= cut.right || cut.top >= cut.bottom)
            return;
        src.left += cut.left - dst.left;
        src.top += cut.top - dst.top;
        src.right = src.left + (cut.right - cut.left);
        src.bottom = src.top + (cut.bottom - cut.top);
        m_image.Copy(m_frame, cut.left, cut.top, &src, false);
    };
    const int bl = m_borderL, bt = m_borderT, br = m_borderR, bb = m_borderB, tw = m_tileW, th = m_tileH;
    const int innerR = std::max(bl, w - br), innerB = std::max(bt, h - bb);
    const RECT topEdge{bl, 0, innerR, bt}, bottomEdge{bl, innerB, innerR, h};
    const RECT leftEdge{0, bt, bl, innerB}, rightEdge{innerR, bt, w, innerB};
    const RECT inner{bl, bt, innerR, innerB};
    // The first tile of a band is copied from the frame, the rest of the band from what is already
    // drawn, doubling the span each time: a few large copies instead of one per tile.
    auto band = [&](int sx, int sy, int pw, int ph, const RECT& area) {
        const int aw = area.right - area.left, ah = area.bottom - area.top;
        if (aw <= 0 || ah <= 0 || pw <= 0 || ph <= 0)
            return;
        piece(sx, sy, pw, ph, area.left, area.top, area);
        for (int done = std::min(pw, aw); done < aw;) {
            const int n = std::min(done, aw - done);
            const RECT src{area.left, area.top, area.left + n, area.top + std::min(ph, ah)};
            m_image.Copy(&m_image, area.left + done, area.top, &src, false);
            done += n;
        }
        for (int done = std::min(ph, ah); done < ah;) {
            const int n = std::min(done, ah - done);
            const RECT src{area.left, area.top, area.right, area.top + n};
            m_image.Copy(&m_image, area.left, area.top + done, &src, false);
            done += n;
        }
    };
    piece(0, 0, bl, bt, 0, 0, RECT{0, 0, bl, bt});
    band(bl, 0, tw, bt, topEdge);
    band(bl, fh - bb, tw, bb, bottomEdge);
    piece(fw - br, 0, br, bt, w - br, 0, RECT{innerR, 0, w, bt});
    piece(0, fh - bb, bl, bb, 0, h - bb, RECT{0, innerB, bl, h});
    piece(fw - br, fh - bb, br, bb, w - br, h - bb, RECT{innerR, innerB, w, h});
    band(0, bt, bl, th, leftEdge);
    band(fw - br, bt, br, th, rightEdge);
    if (tw == 1 && th == 1) {
        const LONG pixel = m_frame->GetPixel(bl, bt);
        m_image.FillRect32(static_cast<DWORD>(pixel), &inner);
    } else {
        band(bl, bt, tw, th, inner);
    }
    if (lone)
        Invert(m_image, 2, nullptr);
}

void CTextPanel::Clear()
{
    RememberPointer();
    m_prevChar = 0;
    m_pageEmpty = 1;
    if (Created()) {
        const bool lone = m_frame && !m_maskA && !m_maskB && !m_composite;
        if (!HasPixels(m_frame)) {
            m_image.FillRect32(m_bgAlpha ? (static_cast<uint32_t>(m_bgAlpha) << 24 | m_bgColor) : 0, nullptr);
        } else if (m_tileW == 0) {
            if (lone)
                m_image.FillRect32(0xFF000000u, nullptr);
            m_image.Copy(m_frame, 0, 0, nullptr, false);
            if (lone)
                Invert(m_image, 2, nullptr);
        } else {
            DrawNineSlice(lone);
        }
    }
    if (m_hitMap && !m_items.empty())
        std::memset(m_hitMap->GetBits(), 0, static_cast<size_t>(m_hitMap->GetPitch()) * m_hitMap->GetHeight());
    if (!m_items.empty()) {
        m_locked = 0;
        ShowItemHighlight(m_hovered, false);
        ClearItems();
    }
    m_hovered = -1;
    m_suppressed = 1;
    m_pageFull = 0;
    UpdateLineMetrics();
    if (Created()) {
        RECT all{0, 0, m_width, m_height};
        m_sprite.InvalidateLocalRect(&all);
    }
}

bool CTextPanel::NewLine()
{
    const int h0 = m_lineHeight, p0 = m_linePitch;
    UpdateLineMetrics();
    const int64_t h1 = m_lineHeight, p1 = m_linePitch;
    bool noRoom;
    if (!m_vertical)
        noRoom = static_cast<int64_t>(m_cursorY) + p0 + m_lineSpacing + h1 > m_height - m_marginB;
    else
        noRoom = static_cast<int64_t>(m_cursorX) - m_lineSpacing - h1 - p0 <= m_marginL;
    if (noRoom) {
        m_lineHeight = h0;
        m_linePitch = p0;
        return true;
    }
    CloseItemCellRun();
    if (!m_vertical) {
        m_cursorY = static_cast<int32_t>(m_cursorY + m_lineSpacing + p1);
        m_cursorX = m_marginL + m_indent;
        m_pageFull = static_cast<int64_t>(m_cursorY) + m_lineSpacing + p1 + h1 > m_height - m_marginB;
    } else {
        m_cursorX = static_cast<int32_t>(m_cursorX - m_lineSpacing - p1);
        m_cursorY = m_marginT + m_indent;
        m_pageFull = static_cast<int64_t>(m_cursorX) - h1 - m_lineSpacing - p1 <= m_marginL;
    }
    return false;
}

void CTextPanel::MarkDirty(RECT r)
{
    if (m_holdMarks) {
        UniteRect(&m_heldMarks, r);
        return;
    }
    m_sprite.InvalidateLocalRect(&r);
}

void CTextPanel::HoldChangeMarks()
{
    m_holdMarks = true;
}

void CTextPanel::ReleaseChangeMarks()
{
    m_holdMarks = false;
    if (m_heldMarks.right > m_heldMarks.left && m_heldMarks.bottom > m_heldMarks.top)
        MarkDirty(m_heldMarks);
    m_heldMarks = RECT{0, 0, 0, 0};
}

int CTextPanel::DrawChar(const char** text, CImage* target)
{
    if (!m_font || !text || !*text || !**text)
        return 0;
    const bool own = target == nullptr;
    if (own)
        target = &m_image;
    const char* p = *text;
    const uint8_t first = static_cast<uint8_t>(p[0]);
    char glyph[8] = {0};
    int used = 1;
    uint16_t code = first;
    bool twoByte = false;
    if (winapi::IsSjisLeadByte(first)) {
        if (p[1] == 0) {
            // A lead byte before the terminator is consumed alone and draws nothing.
            *text = p + 1;
            return 0;
        }
        twoByte = true;
        glyph[0] = p[0];
        glyph[1] = p[1];
        used = 2;
        code = static_cast<uint16_t>(first | (static_cast<uint8_t>(p[1]) << 8));
    } else if (first == '@') {
        if (p[1] == '@') {
            std::memcpy(glyph, "@@", 2);
            used = 2;
        } else if (IsDigit(p[1])) {
            int n = 0;
            glyph[0] = '@';
            while (n < 6 && IsDigit(p[1 + n])) {
                glyph[1 + n] = p[1 + n];
                ++n;
            }
            used = 1 + n;
        } else {
            // A bare "@" would read as picture 0.
            std::memcpy(glyph, "@@", 2);
        }
    } else {
        glyph[0] = p[0];
    }
    const int fontH = FontHeight(m_font);
    int result = 0;
    if (m_autoWrap) {
        const int along = m_vertical ? m_cursorY : m_cursorX;
        if (along > m_wrapLimit) {
            const bool holds = twoByte ? HoldsLineDouble(m_prevChar, code) : HoldsLineSingle(m_prevChar, first);
            const int64_t end = static_cast<int64_t>(along) + fontH;
            const bool fits = m_vertical ? end <= m_height - m_marginB : end <= m_width - m_marginR;
            if (!(holds && fits)) {
                if (NewLine())
                    return 1;
                result = -1;
            }
        }
    }
    *text = p + used;
    m_prevChar = (first == '@') ? static_cast<uint16_t>('@') : code;
    if (m_itemOpen)
        AddItemCell();
    int x = m_cursorX, y = m_cursorY;
    int advance;
    RECT drawn{0, 0, 0, 0};
    if (m_upright && twoByte) {
        SIZE size{0, 0};
        m_font->MeasureString(glyph, &size, nullptr, nullptr, 0, nullptr);
        if (!m_vertical) {
            x += (fontH - size.cx) >> 1;
            y += m_lineHeight - fontH;
        } else {
            x -= (m_lineHeight - fontH) >> 1;
            y += (fontH - size.cy) >> 1;
        }
        m_font->DrawString(target, x, y, glyph, &drawn, nullptr);
        advance = fontH;
    } else {
        if (!m_vertical)
            y += m_lineHeight - fontH;
        else
            x -= (m_lineHeight - fontH) >> 1;
        // The pen's advance, not the ink box: the ink of "あ" is narrower than its cell.
        POINT end{x, y};
        m_font->DrawString(target, x, y, glyph, &drawn, &end);
        advance = m_vertical ? end.y - y : end.x - x;
    }
    if (own && drawn.right > drawn.left)
        MarkDirty(drawn);
    if (m_ruby && m_rubyFont) {
        SIZE ruby{0, 0};
        m_rubyFont->MeasureString(m_ruby, &ruby, nullptr, nullptr, 0, nullptr);
        RECT box;
        RotateRectToQuad(m_rubyFont, &box, 0, 0, ruby.cx, ruby.cy);
        const int rubyH = FontHeight(m_rubyFont);
        int rx, ry;
        if (!m_vertical) {
            rx = x + (advance >> 1) - ((box.right - box.left) >> 1);
            ry = y - m_rubyGap - rubyH;
        } else {
            rx = x + m_rubyGap + rubyH;
            ry = y + (advance >> 1) - ((box.bottom - box.top) >> 1);
        }
        RECT rubyDrawn{0, 0, 0, 0};
        m_rubyFont->DrawString(target, rx, ry, m_ruby, &rubyDrawn, nullptr);
        if (own && rubyDrawn.right > rubyDrawn.left)
            MarkDirty(rubyDrawn);
        m_ruby = nullptr;
    }
    if (m_vertical) {
        m_prevCursor = m_cursorY;
        m_cursorY += m_charSpacing + advance;
    } else {
        m_prevCursor = m_cursorX;
        m_cursorX += m_charSpacing + advance;
    }
    m_pageEmpty = 0;
    return result;
}

void CTextPanel::DrawTextAt(const char* text, int x, int y, bool viaCursor)
{
    if (!m_font || !text)
        return;
    if (viaCursor) {
        SetTextCursor(x, y);
    } else {
        m_cursorX = m_marginL + x;
        m_cursorY = m_marginT + y;
    }
    if (m_itemOpen)
        AddItemCell();
    m_prevChar = 0;
    const int fontH = FontHeight(m_font);
    int dx = m_cursorX, dy = m_cursorY;
    if (!m_vertical)
        dy += m_lineHeight - fontH;
    else
        dx -= (m_lineHeight - fontH) >> 1;
    RECT drawn{0, 0, 0, 0};
    POINT end{dx, dy};
    m_font->DrawString(&m_image, dx, dy, text, &drawn, &end);
    if (drawn.right > drawn.left)
        MarkDirty(drawn);
    if (m_vertical)
        m_cursorY += m_charSpacing + (end.y - dy);
    else
        m_cursorX += m_charSpacing + (end.x - dx);
}

int CTextPanel::DrawImageChar(const char* file, int keyX, int keyY)
{
    CImage picture;
    if (!file || picture.Load(file, nullptr, 0, 0) != 0)
        return 2;
    if (keyY >= 0)
        picture.SetColorKeyAt(keyX, keyY);
    else if (keyX != -1)
        picture.SetColorKeyRgb(static_cast<BYTE>(keyX >> 16), static_cast<BYTE>(keyX >> 8), static_cast<BYTE>(keyX));
    int result = 0;
    if (m_autoWrap && (m_vertical ? m_cursorY : m_cursorX) > m_wrapLimit) {
        if (NewLine())
            return 1;
        result = -1;
    }
    if (m_itemOpen)
        AddItemCell();
    m_prevChar = 0;
    const int w = picture.GetWidth(), h = picture.GetHeight();
    int x, y;
    if (!m_vertical) {
        x = m_cursorX;
        y = m_cursorY + m_lineHeight - h;
    } else {
        x = m_cursorX - 1 - ((w - m_lineHeight) >> 1) - m_lineHeight;
        y = m_cursorY;
    }
    if (picture.HasAlpha())
        m_image.BlendAlpha(&picture, x, y, nullptr, false);
    else
        m_image.CopyColorKeepAlpha(&picture, x, y, nullptr);
    MarkDirty(RECT{x, y, x + w, y + h});
    if (m_vertical)
        m_cursorY += m_charSpacing + h;
    else
        m_cursorX += m_charSpacing + w;
    m_pageEmpty = 0;
    return result;
}

int CTextPanel::DrawUprightRun(const char* text)
{
    if (!m_vertical)
        return 2;
    if (!m_font || !text || !*text)
        return 3;
    int result = 0;
    if (m_autoWrap && m_cursorY > m_wrapLimit) {
        if (NewLine())
            return 1;
        result = -1;
    }
    const std::string face = m_font->m_logFont.lfFaceName;
    if (face.empty() || face[0] != '@' || m_font->SetFaceName(face.c_str() + 1) != 0)
        return 3;
    m_font->SetAngle(0);
    SIZE size{0, 0};
    m_font->MeasureString(text, &size, nullptr, nullptr, 0, nullptr);
    if (m_itemOpen)
        AddItemCell();
    m_prevChar = 0;
    RECT drawn{0, 0, 0, 0};
    m_font->DrawString(&m_image, m_cursorX - ((size.cx - m_lineHeight) >> 1) - m_lineHeight + 1, m_cursorY, text,
                       &drawn, nullptr);
    if (drawn.right > drawn.left)
        MarkDirty(drawn);
    m_font->SetFaceName(face.c_str());
    m_font->SetAngle(2700);
    m_cursorY += m_charSpacing + FontHeight(m_font);
    m_pageEmpty = 0;
    return result;
}

bool CTextPanel::IsOnFrame(int x, int y)
{
    if (!HasPixels(m_frame) || x < 0 || y < 0 || x >= m_width || y >= m_height)
        return false;
    if (x >= m_marginL && x < m_width - m_marginR && y >= m_marginT && y < m_height - m_marginB)
        return false;
    const LONG pixel = m_image.GetPixel(x, y);
    return pixel != -1 && ((static_cast<uint32_t>(pixel) >> 24) & 0xFF) >= m_dragThreshold;
}

void CTextPanel::MarkItemArea(int x, int y, int width, int height)
{
    if (!m_hitMap)
        return;
    const int64_t left = std::max<int64_t>(x, 0), top = std::max<int64_t>(y, 0);
    const int64_t right = std::min<int64_t>(static_cast<int64_t>(x) + width, m_hitMap->GetWidth());
    const int64_t bottom = std::min<int64_t>(static_cast<int64_t>(y) + height, m_hitMap->GetHeight());
    for (int64_t row = top; row < bottom; ++row)
        if (right > left)
            std::memset(m_hitMap->GetRowAddress(static_cast<LONG>(row)) + left, m_itemCount,
                        static_cast<size_t>(right - left));
}

int CTextPanel::ItemAt(int x, int y)
{
    if (m_suppressed || !m_hitMap)
        return -1;
    const LONG v = m_hitMap->GetPixel(x, y);
    return v <= 0 ? -1 : static_cast<int>(v) - 1;
}

void CTextPanel::ShowItemHighlight(int index, bool show)
{
    if (m_locked)
        return;
    if (!show) {
        for (size_t i = 0; i < m_shown && i < m_highlights.size(); ++i)
            m_highlights[i]->SetVisible(false);
        m_shown = 0;
        return;
    }
    const CTextPanelItem* item = GetItem(index);
    if (!item)
        return;
    while (m_highlights.size() < item->cells.size()) {
        auto* object = new CPrimitiveObject;
        object->SetVisible(false);
        if (m_list)
            m_list->Insert(object, static_cast<uint32_t>(m_priority), static_cast<DWORD>(m_id));
        m_highlights.push_back(object);
    }
    for (size_t i = 0; i < item->cells.size(); ++i) {
        const CTextPanelItem::Cell& c = item->cells[i];
        CPrimitiveObject* object = m_highlights[i];
        object->Setup(c.width, c.height, item->highlight, m_sprite.GetX() + c.x, m_sprite.GetY() + c.y);
        object->SetVisible(true);
    }
    m_shown = item->cells.size();
}
