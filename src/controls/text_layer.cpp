#include "controls/text_layer.h"

#include "controls/control_container.h"
#include "drawing/draw_list.h"
#include "drawing/glyph_font.h"
#include "platform/bit_array.h"

#include <algorithm>
#include <climits>
#include <mutex>
#include <utility>
#include <vector>

namespace {

bool HasPixels(const CImage* image)
{
    return image && image->GetBits() != nullptr;
}

} // namespace

namespace {

// The layers alive now, for the ends of the fonts they borrow.
std::mutex g_layerLock;
std::vector<CTextLayer*> g_layers;

} // namespace

CTextLayer::CTextLayer()
{
    std::lock_guard lock(g_layerLock);
    g_layers.push_back(this);
}

CTextLayer::~CTextLayer()
{
    {
        std::lock_guard lock(g_layerLock);
        std::erase(g_layers, this);
    }
    ClearLines();
    FreeLineImages();
}

void CTextLayer::FreeGroup(Group& group)
{
    FrameSources& s = group.images;
    if (group.ownsSources) {
        for (CImage* source : {s.decoration, s.maskA, s.maskB})
            if (source != s.frame)
                delete source;
    }
    if (group.ownsFrame)
        delete s.frame;
    group = Group{};
}

void CTextLayer::FreeLineImages()
{
    delete m_headerSprite;
    m_headerSprite = nullptr;
    delete m_footerSprite;
    m_footerSprite = nullptr;
    FreeGroup(m_line);
    FreeGroup(m_header);
    FreeGroup(m_footer);
    delete m_readMark;
    m_readMark = nullptr;
    m_hasHighlighted = m_hasPressed = m_hasLast = 0;
    m_lastOffset = 0;
}

void CTextLayer::ClearLines()
{
    ClearItems();
    for (CSprite* sprite : m_lineSprites)
        delete sprite;
    m_lineSprites.clear();
    for (CImage* image : m_lineImages)
        delete image;
    m_lineImages.clear();
    m_frameWidth = 0;
    if (m_headerSprite)
        m_headerSprite->SetVisible(false);
    if (m_footerSprite)
        m_footerSprite->SetVisible(false);
}

void CTextLayer::SetDrawList(CDrawList* list)
{
    ClearLines();
    m_list = list;
}

int CTextLayer::MoveToDrawList(CDrawList* list)
{
    if (!list || !m_list)
        return 1;
    m_list->MoveGroupTo(*list, static_cast<DWORD>(m_id));
    m_list = list;
    return 0;
}

int CTextLayer::Create(CDrawList* list, int priority, int x, int y, int cellWidth, int cellHeight, int spacing,
                       CGlyphFont* font, int id)
{
    ClearLines();
    if (!font)
        return 1;
    const bool widthChanged = cellWidth != m_cellW;
    m_list = list;
    m_priority = priority;
    m_x = x;
    m_y = y;
    m_spacing = spacing;
    m_font = font;
    m_id = id;
    if (widthChanged && !m_line.Has() && (m_headerH || m_footerH))
        SetCellSize(cellWidth, cellHeight, m_headerH, m_footerH);
    m_cellW = cellWidth;
    m_cellH = cellHeight;
    return 0;
}

int CTextLayer::MakeEdge(Group& group, CSprite*& sprite, int height, int failure)
{
    if (height == 0)
        return 0;
    auto* image = new CImage;
    if (image->Create(m_cellW, height, 32, 0) != 0) {
        delete image;
        return failure;
    }
    image->SetAlphaFlag(true);
    group.images.frame = image;
    group.ownsFrame = true;
    sprite = new CSprite;
    sprite->SetImage(image, nullptr, 0, 0);
    sprite->SetBlendMode(2);
    sprite->SetVisible(false);
    return 0;
}

int CTextLayer::SetCellSize(int width, int height, int headerHeight, int footerHeight)
{
    if (width <= 0 || height <= 0)
        return 1;
    FreeLineImages();
    m_cellW = width;
    m_cellH = height;
    m_headerH = headerHeight;
    m_footerH = footerHeight;
    if (const int code = MakeEdge(m_header, m_headerSprite, headerHeight, 2))
        return code;
    if (const int code = MakeEdge(m_footer, m_footerSprite, footerHeight, 3))
        return code;
    RedrawLines(true, true);
    return 0;
}

int CTextLayer::LoadGroup(Group& group, const char* decoration, const char* maskA, const char* maskB, int base)
{
    // base is the code of the group's first failure (the panel's 2).
    group.ownsFrame = group.ownsSources = true;
    FrameSources& s = group.images;
    auto makeFrame = [&s](const CImage* like) {
        s.frame = new CImage;
        if (s.frame->Create(like->GetWidth(), like->GetHeight(), 32, 0) != 0)
            return false;
        s.frame->SetAlphaFlag(true);
        return true;
    };
    if (maskA) {
        s.maskA = new CImage;
        if (s.maskA->LoadWithPalette(maskA, nullptr, 0, 0) != 0)
            return base;
        if (!makeFrame(s.maskA))
            return base + 1;
    }
    if (maskB) {
        s.maskB = new CImage;
        if (s.maskB->LoadWithPalette(maskB, nullptr, 0, 0) != 0)
            return base + 2;
        if (!s.frame && !makeFrame(s.maskB))
            return base + 3;
    }
    if (decoration) {
        if (s.maskA || s.maskB) {
            s.decoration = new CImage;
            if (s.decoration->Load(decoration, nullptr, 0, 0) != 0)
                return base + 4;
            if (!HasPixels(s.frame) && !makeFrame(s.decoration))
                return base + 5;
            s.composite = true;
        } else {
            s.frame = new CImage;
            if (s.frame->Load(decoration, nullptr, 0, 0) != 0)
                return base + 6;
        }
    }
    return 0;
}

int CTextLayer::SetGroup(Group& group, CImage* decoration, CImage* maskA, CImage* maskB, int base)
{
    FrameSources& s = group.images;
    if (!HasPixels(maskA))
        maskA = nullptr;
    if (!HasPixels(maskB))
        maskB = nullptr;
    if (!HasPixels(decoration))
        decoration = nullptr;
    if (!maskA && !maskB) {
        s.frame = decoration; // borrowed
        return 0;
    }
    // The composed picture is ours; the sources stay borrowed.
    CImage* like = maskA ? maskA : maskB;
    auto* frame = new CImage;
    if (frame->Create(like->GetWidth(), like->GetHeight(), 32, 0) != 0) {
        delete frame;
        return base + 1;
    }
    frame->SetAlphaFlag(true);
    s.frame = frame;
    s.maskA = maskA;
    s.maskB = maskB;
    s.decoration = decoration;
    s.composite = decoration != nullptr;
    group.ownsFrame = true;
    return 0;
}

int CTextLayer::FinishImages(int frames, bool pressed, bool last)
{
    if (m_header.Has()) {
        m_headerH = m_header.images.frame->GetHeight();
        m_headerSprite = new CSprite;
        const RECT src{0, 0, m_header.images.frame->GetWidth() / frames, m_headerH};
        m_headerSprite->SetImage(m_header.images.frame, &src, 0, 0);
        m_headerSprite->SetBlendMode(2);
        m_headerSprite->SetVisible(false);
    }
    if (m_footer.Has()) {
        m_footerH = m_footer.images.frame->GetHeight();
        m_footerSprite = new CSprite;
        const RECT src{0, 0, m_footer.images.frame->GetWidth() / frames, m_footerH};
        m_footerSprite->SetImage(m_footer.images.frame, &src, 0, 0);
        m_footerSprite->SetBlendMode(2);
        m_footerSprite->SetVisible(false);
    }
    ComposeLineImages(true, true, true);
    m_hasHighlighted = frames > 1 ? 1 : 0;
    m_hasPressed = pressed ? 1 : 0;
    m_hasLast = last ? 1 : 0;
    m_lastOffset = last && m_line.Has() ? m_line.images.frame->GetWidth() / frames * (frames - 1) : 0;
    return 0;
}

namespace {

// The refused frame-count combinations.
bool FramesRefused(int frames, bool pressed, bool last)
{
    return frames < 1 || frames > 4 || (frames < 3 && (pressed || last)) || (frames == 3 && pressed && last);
}

} // namespace

int CTextLayer::LoadLineImages(int frames, bool pressed, bool last, const char* line, const char* lineMaskA,
                               const char* lineMaskB, const char* header, const char* headerMaskA,
                               const char* headerMaskB, const char* footer, const char* footerMaskA,
                               const char* footerMaskB)
{
    if (FramesRefused(frames, pressed, last) || (!line && !lineMaskA && !lineMaskB))
        return 1;
    FreeLineImages();
    m_headerH = m_footerH = 0;
    int code = LoadGroup(m_line, line, lineMaskA, lineMaskB, 2);
    if (!code && (header || headerMaskA || headerMaskB))
        code = LoadGroup(m_header, header, headerMaskA, headerMaskB, 9);
    if (!code && (footer || footerMaskA || footerMaskB))
        code = LoadGroup(m_footer, footer, footerMaskA, footerMaskB, 16);
    if (code) {
        FreeLineImages();
        return code;
    }
    return FinishImages(frames, pressed, last);
}

int CTextLayer::SetLineImages(int frames, bool pressed, bool last, CImage* line, CImage* lineMaskA,
                              CImage* lineMaskB, CImage* header, CImage* headerMaskA, CImage* headerMaskB,
                              CImage* footer, CImage* footerMaskA, CImage* footerMaskB)
{
    if (FramesRefused(frames, pressed, last) || (!HasPixels(line) && !HasPixels(lineMaskA) && !HasPixels(lineMaskB)))
        return 1;
    FreeLineImages();
    m_headerH = m_footerH = 0;
    int code = SetGroup(m_line, line, lineMaskA, lineMaskB, 2);
    if (!code)
        code = SetGroup(m_header, header, headerMaskA, headerMaskB, 9);
    if (!code)
        code = SetGroup(m_footer, footer, footerMaskA, footerMaskB, 16);
    if (code) {
        FreeLineImages();
        return code;
    }
    return FinishImages(frames, pressed, last);
}

int CTextLayer::LoadReadMark(const char* file)
{
    delete m_readMark;
    m_readMark = new CImage;
    if (!file || m_readMark->Load(file, nullptr, 0, 0) != 0) {
        delete m_readMark;
        m_readMark = nullptr;
        return 1;
    }
    return 0;
}

int CTextLayer::SetBackgroundColor(uint8_t maskChoice, uint32_t color, uint8_t alpha)
{
    color &= 0xFFFFFF;
    const bool maskChanged = maskChoice != m_maskChoice, colorChanged = color != m_bgColor,
               alphaChanged = alpha != m_bgAlpha;
    if (!maskChanged && !colorChanged && !alphaChanged)
        return -1;
    m_maskChoice = maskChoice;
    m_bgColor = color;
    m_bgAlpha = alpha;
    if (m_line.Has())
        ComposeLineImages(maskChanged, colorChanged, alphaChanged);
    else
        RedrawLines(colorChanged, alphaChanged);
    return 0;
}

void CTextLayer::ComposeLineImages(bool maskChanged, bool colorChanged, bool alphaChanged)
{
    for (Group* group : {&m_line, &m_header, &m_footer})
        ComposeFrameImage(group->images, m_maskChoice, m_bgColor, m_bgAlpha, maskChanged, colorChanged, alphaChanged);
}

void CTextLayer::RedrawLines(bool colorChanged, bool alphaChanged)
{
    if (!colorChanged && !alphaChanged)
        return;
    for (auto [group, sprite] : {std::pair{&m_header, m_headerSprite}, std::pair{&m_footer, m_footerSprite}}) {
        if (!group->ownsFrame || group->ownsSources || !group->Has() || group->images.maskA || group->images.maskB)
            continue;
        group->images.frame->FillRect32(Fill(), nullptr);
        if (sprite) {
            RECT all{0, 0, sprite->GetWidth(), sprite->GetHeight()};
            sprite->InvalidateLocalRect(&all);
        }
    }
    for (size_t i = 0; i < m_lineImages.size(); ++i) {
        CImage* image = m_lineImages[i];
        image->FillRect32(Fill(), nullptr);
        DrawLine(static_cast<int>(i), image, 2, image->GetWidth() / 2, image->GetHeight());
        RECT all{0, 0, m_lineSprites[i]->GetWidth(), m_lineSprites[i]->GetHeight()};
        m_lineSprites[i]->InvalidateLocalRect(&all);
    }
}

void CTextLayer::DrawLine(int index, CImage* image, int frames, int frameWidth, int height)
{
    const CTextLayerItem* item = GetItem(index);
    const char* text = item ? item->text.c_str() : "";
    const bool disabled = item && item->disabled;
    const int value = item ? item->value : -1;
    uint32_t fill = 0;
    bool filling = true;
    switch (m_fillStyle) {
    case 1: fill = (static_cast<uint32_t>(m_bgAlpha) << 24) | (m_fillColor & 0xFFFFFF); break;
    case 2: fill = m_fillColor; break;
    case 3: fill = (static_cast<uint32_t>(m_bgAlpha) << 24) | (~m_bgColor & 0xFFFFFF); break;
    default: filling = false; break;
    }
    const int lastFrame = m_hasLast && frames > 2 ? frames - 1 : -1;
    if (filling)
        for (int f = 1; f < frames; ++f)
            if (f != lastFrame)
                image->FillRect32XYWH(f * frameWidth + m_marginL, m_marginT, frameWidth - m_marginL - m_marginR,
                                      height - m_marginT - m_marginB, fill);
    bool read = false;
    if (m_readMarks && m_readFlags) {
        const int key = value >= 0 ? value : index;
        read = m_readFlags->GetBit(static_cast<uint32_t>(m_readBase + key));
        if (read && m_readMark)
            image->Copy(m_readMark, 0, 0, nullptr, false);
    }
    if (!m_font)
        return;
    const bool gradient = m_font->m_gradientOn != 0;
    const uint32_t oldTop = m_font->m_gradientTop, oldBottom = m_font->m_gradientBottom;
    const uint8_t oldColor[3] = {m_font->m_textColor[0], m_font->m_textColor[1], m_font->m_textColor[2]};
    // Colour slots: 0 normal, 1 read, 2 highlighted, 3 disabled.
    auto use = [&](int slot) {
        if (gradient) {
            m_font->SetGradient(1, m_gradients[slot * 2], m_gradients[slot * 2 + 1], 1);
        } else {
            const uint32_t c = slot == 0 ? m_normal : slot == 1 ? m_read : slot == 2 ? m_highlighted : m_disabledColor;
            m_font->SetTextColor(static_cast<uint8_t>(c >> 16), static_cast<uint8_t>(c >> 8), static_cast<uint8_t>(c));
        }
    };
    const int firstSlot = disabled ? 3 : read ? 1 : 0;
    const int tx = m_marginL + m_textX, ty = m_marginT + m_textY;
    use(firstSlot);
    m_font->DrawString(image, tx, ty, text, nullptr, nullptr);
    use(disabled ? 3 : 2);
    if (frames > 1)
        m_font->DrawString(image, frameWidth + tx, ty, text, nullptr, nullptr);
    if (m_hasPressed && frames > 2)
        m_font->DrawString(image, 2 * frameWidth + tx + m_pressX, ty + m_pressY, text, nullptr, nullptr);
    if (lastFrame > 0 && !disabled) {
        use(firstSlot);
        m_font->DrawString(image, lastFrame * frameWidth + tx, ty, text, nullptr, nullptr);
    }
    if (gradient)
        m_font->SetGradient(1, oldTop, oldBottom, 1);
    else
        m_font->SetTextColor(oldColor[0], oldColor[1], oldColor[2]);
}

int CTextLayer::LineHeight() const
{
    return m_lineImages.empty() ? m_cellH : m_lineImages.front()->GetHeight();
}

int CTextLayer::Pitch() const
{
    // One rule for drawing and hitting: the spacing only without header and footer.
    return LineHeight() + (m_headerSprite || m_footerSprite ? 0 : m_spacing);
}

void CTextLayer::Layout()
{
    const int64_t lineH = LineHeight();
    const int64_t total = lineH + (static_cast<int64_t>(m_lineCount) - 1) * Pitch() + m_headerH + m_footerH;
    m_totalHeight = static_cast<int32_t>(std::min<int64_t>(total, INT32_MAX));
    m_originX = m_x;
    m_originY = static_cast<int32_t>(m_y - total / 2);
    SetPosition(m_originX, m_originY);
}

int CTextLayer::AddLine(const char* text, const char* hint, bool disabled, int value, const char* name, int number,
                        const char* command, int32_t* chosen, int32_t* entered, int32_t* left)
{
    if (!m_list || !m_font || !text)
        return 1;
    const int frames = 1 + m_hasHighlighted + m_hasPressed + m_hasLast;
    auto* image = new CImage;
    int drawFrames = 2, frameWidth = m_cellW, height = m_cellH;
    bool plain = !m_line.Has();
    if (!plain) {
        CImage* bg = m_line.images.frame;
        const int w = bg->GetWidth(), h = bg->GetHeight();
        if (frames < 2) {
            if (image->Create(2 * w, h, 32, 0) != 0) {
                delete image;
                return 2;
            }
            image->Copy(bg, 0, 0, nullptr, false);
            image->Copy(bg, w, 0, nullptr, false);
            frameWidth = w;
        } else if (image->CopyFrom(bg, 0) == 0) {
            frameWidth = w / frames;
            drawFrames = frames;
        } else {
            plain = true;
        }
        height = h;
    }
    if (plain) {
        frameWidth = m_cellW;
        height = m_cellH;
        drawFrames = 2;
        if (frameWidth <= 0 || height <= 0 || frameWidth > INT32_MAX / 2 ||
            image->Create(2 * frameWidth, height, 32, 0) != 0) {
            delete image;
            return 4;
        }
        image->FillRect32(Fill(), nullptr);
    }
    image->SetAlphaFlag(true);
    const int index = m_lineCount;
    if (AddItem(text, disabled, value, name, number, command, hint, chosen, entered, left) != 0) {
        delete image;
        return 5;
    }
    DrawLine(index, image, drawFrames, frameWidth, height);
    auto* sprite = new CSprite;
    const RECT src{0, 0, frameWidth, height};
    sprite->SetImage(image, &src, 0, 0);
    sprite->SetBlendMode(2);
    m_lineImages.push_back(image);
    m_lineSprites.push_back(sprite);
    m_list->Insert(sprite, static_cast<uint32_t>(m_priority), static_cast<DWORD>(m_id));
    m_frameWidth = frameWidth;
    for (CSprite* edge : {m_headerSprite, m_footerSprite})
        if (edge && !edge->GetOwnerList()) {
            m_list->Insert(edge, static_cast<uint32_t>(m_priority), static_cast<DWORD>(m_id));
            edge->SetVisible(true);
        } else if (edge) {
            edge->SetVisible(true);
        }
    Layout();
    return 0;
}

int CTextLayer::SetPosition(int x, int y)
{
    if (m_lineCount == 0 || m_lineSprites.empty())
        return 1;
    m_originX = x;
    m_originY = y;
    int64_t top = y;
    if (m_headerSprite) {
        m_headerSprite->SetPosition(x, static_cast<LONG>(top));
        top += m_headerH;
    }
    for (CSprite* sprite : m_lineSprites) {
        sprite->SetPosition(x, static_cast<LONG>(top));
        top += Pitch();
    }
    if (m_footerSprite)
        m_footerSprite->SetPosition(x, static_cast<LONG>(top - Pitch() + LineHeight()));
    return 0;
}

void CTextLayer::SetVisible(bool visible)
{
    if (!visible)
        DropFocusAndCapture();
    else if (CControlContainer* form = GetContainer(); form && form->IsCapture(this))
        form->ReleaseCapture();
    if (m_headerSprite)
        m_headerSprite->SetVisible(visible);
    for (CSprite* sprite : m_lineSprites)
        sprite->SetVisible(visible);
    if (m_footerSprite)
        m_footerSprite->SetVisible(visible);
}

bool CTextLayer::IsVisible() const
{
    return !m_lineSprites.empty() && m_lineSprites.front()->IsVisible();
}

int CTextLayer::SetPriority(int priority, int group, bool keep)
{
    if (!m_list)
        return 1;
    auto apply = [&](CSprite* sprite) {
        if (!sprite)
            return;
        if (!sprite->GetOwnerList())
            m_list->Insert(sprite, static_cast<uint32_t>(priority), static_cast<DWORD>(m_id));
        else
            m_list->SetPriority(sprite, static_cast<uint32_t>(priority), keep);
    };
    (void)group;
    apply(m_headerSprite);
    for (CSprite* sprite : m_lineSprites)
        apply(sprite);
    apply(m_footerSprite);
    m_priority = priority;
    return 0;
}

int CTextLayer::SetAlpha(int alpha)
{
    const BYTE a = static_cast<BYTE>(alpha);
    if (m_headerSprite)
        m_headerSprite->SetAlpha(a);
    for (CSprite* sprite : m_lineSprites)
        sprite->SetAlpha(a);
    if (m_footerSprite)
        m_footerSprite->SetAlpha(a);
    return 0;
}

int CTextLayer::GetAlpha() const
{
    return m_lineSprites.empty() ? 0 : m_lineSprites.front()->GetAlpha();
}

int CTextLayer::SetLineState(int line, int state)
{
    if (line < 0 || line >= static_cast<int>(m_lineSprites.size()))
        return 1;
    CSprite* sprite = m_lineSprites[line];
    if (!m_hasPressed) {
        if (!m_headerSprite && !m_footerSprite && (m_pressX || m_pressY)) {
            const int dx = state == 2 ? m_pressX : 0, dy = state == 2 ? m_pressY : 0;
            sprite->SetPosition(m_originX + dx, static_cast<LONG>(m_originY + static_cast<int64_t>(line) * Pitch() + dy));
        }
        if (state > 1)
            --state;
    }
    sprite->SetSourceOrigin(sprite->GetWidth() * state, 0);
    return 0;
}

bool CTextLayer::GetLinePointerPos(int line, int* x, int* y)
{
    if (line < 0 || line >= static_cast<int>(m_lineSprites.size()))
        return false;
    const CSprite* sprite = m_lineSprites[line];
    *y = sprite->GetY() + sprite->GetHeight() / 2;
    if (m_bgAlpha == 0 && m_maskChoice == 0)
        *x = sprite->GetX() + m_marginL - 8;
    else
        *x = sprite->GetX() + m_frameWidth - m_marginR + m_marginR / 4 + 1;
    return true;
}

bool CTextLayer::IsOnFrame(int x, int y)
{
    if (!m_line.Has() || m_lineCount == 0 || x < 0 || y < 0 || x >= m_frameWidth || y >= m_totalHeight)
        return false;
    if (x >= m_marginL && x < m_frameWidth - m_marginR && y >= m_marginT + m_headerH &&
        y < m_totalHeight - m_marginB - m_footerH)
        return false;
    const CSprite* sprite = nullptr;
    int sy = y;
    if (m_headerSprite && y < m_headerH) {
        sprite = m_headerSprite;
    } else if (m_footerSprite && y >= m_totalHeight - m_footerH) {
        sprite = m_footerSprite;
        sy = y - (m_totalHeight - m_footerH);
    } else {
        const int inLines = y - m_headerH;
        const int line = std::min<int>(inLines / std::max(1, Pitch()), m_lineCount - 1);
        sprite = m_lineSprites[line];
        sy = inLines - line * Pitch();
    }
    const CImage* image = sprite ? sprite->GetImage() : nullptr;
    if (!image)
        return false;
    const LONG pixel = image->GetPixel(sprite->GetSourceOriginX() + x, sprite->GetSourceOriginY() + sy);
    return pixel != -1 && ((static_cast<uint32_t>(pixel) >> 24) & 0xFF) >= m_dragThreshold;
}

int CTextLayer::LineAt(int x, int y)
{
    if (m_suppressed || m_lineCount == 0 || m_lineSprites.empty() || x < m_marginL || x > m_frameWidth - m_marginR)
        return -1;
    if (m_headerSprite) {
        if (y < m_headerH)
            return -1;
        y -= m_headerH;
    }
    if (y < 0)
        return -1;
    const int pitch = std::max(1, Pitch());
    const int line = y / pitch, within = y % pitch;
    if (line >= static_cast<int>(m_lineSprites.size()))
        return -1;
    if (within < m_marginT || within >= LineHeight() - m_marginB)
        return -1;
    if (!IsLineEnabled(line))
        return -1;
    if (m_hasLast && m_lastOffset && m_lineSprites[line]->GetSourceOriginX() == m_lastOffset)
        return -1;
    return line;
}

void CTextLayer::ForgetFontEverywhere(const void* font)
{
    std::lock_guard lock(g_layerLock);
    for (CTextLayer* layer : g_layers)
        if (layer->m_font != nullptr && static_cast<const void*>(static_cast<const CFont*>(layer->m_font)) == font)
            layer->m_font = nullptr;
}

int CTextLayer::SetLineDisabled(int line, bool disabled)
{
    if (line < 0 || line >= m_lineCount || static_cast<size_t>(line) >= m_items.size())
        return 1;
    CTextLayerItem*& item = m_items[static_cast<size_t>(line)];
    if (item == nullptr)
        item = new CTextLayerItem;
    item->disabled = disabled ? 1 : 0;
    if (static_cast<size_t>(line) >= m_lineImages.size())
        return 0;
    // The line's looks start again from its background, as when it was added.
    CImage* image = m_lineImages[static_cast<size_t>(line)];
    const int frames = 1 + m_hasHighlighted + m_hasPressed + m_hasLast;
    int drawFrames = 2;
    if (m_line.Has()) {
        CImage* bg = m_line.images.frame;
        const int w = bg->GetWidth();
        if (frames < 2) {
            image->Copy(bg, 0, 0, nullptr, false);
            image->Copy(bg, w, 0, nullptr, false);
        } else if (image->GetWidth() == w && image->GetHeight() == bg->GetHeight()) {
            image->Copy(bg, 0, 0, nullptr, false);
            drawFrames = frames;
        } else {
            image->FillRect32(Fill(), nullptr);
        }
    } else {
        image->FillRect32(Fill(), nullptr);
    }
    DrawLine(line, image, drawFrames, image->GetWidth() / drawFrames, image->GetHeight());
    CSprite* sprite = m_lineSprites[static_cast<size_t>(line)];
    RECT all{0, 0, sprite->GetWidth(), sprite->GetHeight()};
    sprite->InvalidateLocalRect(&all);
    return 0;
}

CImage* CTextLayer::GetLineImage(int index) const
{
    if (index < 0)
        return m_headerSprite ? m_headerSprite->GetImage() : nullptr;
    if (index >= static_cast<int>(m_lineImages.size()))
        return m_footerSprite ? m_footerSprite->GetImage() : nullptr;
    return m_lineImages[index];
}

CSprite* CTextLayer::GetLineSprite(int index) const
{
    if (index < 0)
        return m_headerSprite;
    if (index >= static_cast<int>(m_lineSprites.size()))
        return m_footerSprite;
    return m_lineSprites[index];
}
