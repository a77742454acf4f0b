#include "drawing/font.h"

#include "platform/cos_table.h"
#include "winapi/text.h"
#include "platform/object_lifetime.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

CFont* g_pDefaultFont = nullptr;

CFont::CFont()
{
    m_logFont.lfHeight = -16;
    m_logFont.lfWeight = FW_NORMAL;
    m_logFont.lfCharSet = SHIFTJIS_CHARSET;
    m_logFont.lfQuality = NONANTIALIASED_QUALITY;
}

CFont::~CFont()
{
    NotifyObjectDestroyed(this);
    // Deleting the font the default points at leaves no dangling default behind.
    if (g_pDefaultFont == this)
        g_pDefaultFont = nullptr;
}

void CFont::SetTextColor(uint8_t r, uint8_t g, uint8_t b)
{
    m_textColor[0] = r;
    m_textColor[1] = g;
    m_textColor[2] = b;
}

void CFont::SetEffect(uint8_t mode, uint8_t r, uint8_t g, uint8_t b)
{
    m_effectMode = mode;
    m_effectColor[0] = r;
    m_effectColor[1] = g;
    m_effectColor[2] = b;
}

void CFont::SetShadowOffset(int32_t x, int32_t y)
{
    m_shadowX = x;
    m_shadowY = y;
}

bool CFont::EnsureDc(HDC* dc)
{
    if (*dc != nullptr)
        return true;
    HDC screen = GetDC(nullptr);
    *dc = CreateCompatibleDC(screen);
    ReleaseDC(nullptr, screen);
    return *dc != nullptr;
}

void CFont::FreeDcAndFont(HDC* dc, HFONT* font)
{
    if (*dc != nullptr) {
        DeleteDC(*dc);
        *dc = nullptr;
    }
    if (*font != nullptr) {
        DeleteObject(*font);
        *font = nullptr;
    }
}

bool CFont::ReplaceFont(const LOGFONTA& description, HDC* dc, HFONT* font)
{
    HFONT made = CreateFontIndirectA(&description);
    if (made == nullptr || !EnsureDc(dc)) {
        if (made != nullptr)
            DeleteObject(made);
        return false;
    }
    SelectObject(*dc, made);
    if (*font != nullptr)
        DeleteObject(*font);
    *font = made;
    return true;
}

int32_t CFont::NegativeHeight(int32_t height)
{
    return static_cast<int32_t>(-std::min<int64_t>(std::llabs(height), INT32_MAX));
}

void CFont::CopyFaceName(const char* face)
{
    const size_t length = winapi::SjisPrefixLength(face, LF_FACESIZE - 1);
    std::memset(m_logFont.lfFaceName, 0, sizeof m_logFont.lfFaceName);
    std::memcpy(m_logFont.lfFaceName, face, length);
}

bool CFont::SameFaceName(const char* face) const
{
    char current[LF_FACESIZE + 1] = {};
    std::memcpy(current, m_logFont.lfFaceName, LF_FACESIZE);
    return std::strcmp(current, face) == 0;
}

void CFont::AddEffectRoom(int64_t* width, int64_t* height, int32_t* offsetX, int32_t* offsetY,
                          int32_t radius) const
{
    if (offsetX != nullptr)
        *offsetX = 0;
    if (offsetY != nullptr)
        *offsetY = 0;
    if (m_effectMode == 1) {
        *width += std::llabs(m_shadowX);
        *height += std::llabs(m_shadowY);
        if (offsetX != nullptr && m_shadowX < 0)
            *offsetX = m_shadowX;
        if (offsetY != nullptr && m_shadowY < 0)
            *offsetY = m_shadowY;
    } else if (m_effectMode == 2) {
        *width += 2 * radius;
        *height += 2 * radius;
        if (offsetX != nullptr)
            *offsetX = -radius;
        if (offsetY != nullptr)
            *offsetY = -radius;
    }
}

void CFont::StoreSize(SIZE* size, int64_t width, int64_t height)
{
    if (size == nullptr)
        return;
    size->cx = static_cast<LONG>(std::clamp<int64_t>(width, INT32_MIN, INT32_MAX));
    size->cy = static_cast<LONG>(std::clamp<int64_t>(height, INT32_MIN, INT32_MAX));
}

TextTurn GetTextTurn(int32_t tenths)
{
    if (tenths == 0 || g_pCosTable == nullptr)
        return TextTurn{false, 65536, 0};
    // Signed, so that negative angles turn the other way; the table index is taken mod 512.
    const auto k = static_cast<int32_t>(static_cast<int64_t>(tenths) * 512 / 3600);
    return TextTurn{true, g_pCosTable->Cos(k), g_pCosTable->Cos(k - 128)};
}

int32_t MulFixed(int64_t a, int64_t b)
{
    return static_cast<int32_t>((a * b) >> 16);
}

void TurnLineStep(const CFont& font, int64_t lineStep, POINT* step, POINT* shadow)
{
    *step = POINT{0, static_cast<LONG>(std::clamp<int64_t>(lineStep, INT32_MIN, INT32_MAX))};
    *shadow = POINT{font.m_shadowX, font.m_shadowY};
    if (font.m_logFont.lfEscapement == 0) // level text, drawn a character at a time while typing
        return;
    const TextTurn turn = GetTextTurn(font.m_logFont.lfEscapement);
    if (!turn.turned)
        return;
    step->x = MulFixed(-turn.s, lineStep);
    step->y = MulFixed(turn.c, lineStep);
    if (font.m_logFont.lfEscapement != 2700) {
        shadow->x =
            static_cast<LONG>((int64_t{font.m_shadowX} * turn.c - int64_t{font.m_shadowY} * turn.s) >> 16);
        shadow->y =
            static_cast<LONG>((int64_t{font.m_shadowY} * turn.c + int64_t{font.m_shadowX} * turn.s) >> 16);
    }
}

void MoveRect(RECT* r, int32_t dx, int32_t dy)
{
    r->left += dx;
    r->right += dx;
    r->top += dy;
    r->bottom += dy;
}

int32_t AddClamped(int64_t a, int64_t b)
{
    return static_cast<int32_t>(std::clamp<int64_t>(a + b, -(int64_t{1} << 30), int64_t{1} << 30));
}

void RotateRectToQuad(CFont* font, RECT* out, int32_t x, int32_t y, int32_t width, int32_t height)
{
    if (out == nullptr)
        return;
    const TextTurn turn = GetTextTurn(font != nullptr ? font->m_logFont.lfEscapement : 0);
    if (!turn.turned) {
        *out = RECT{x, y, x + width, y + height};
        return;
    }
    const int64_t c = turn.c, s = turn.s;
    const int32_t ox = static_cast<int32_t>((c * x - s * y) >> 16);
    const int32_t oy = static_cast<int32_t>((c * y + s * x) >> 16);
    const int32_t px[4] = {0, MulFixed(c, width), MulFixed(-s, height),
                           static_cast<int32_t>((c * width - s * height) >> 16)};
    const int32_t py[4] = {0, MulFixed(s, width), MulFixed(c, height),
                           static_cast<int32_t>((c * height + s * width) >> 16)};
    RECT r{ox, oy, ox, oy};
    for (int i = 1; i < 4; ++i) {
        r.left = std::min(r.left, ox + px[i]);
        r.right = std::max(r.right, ox + px[i]);
        r.top = std::min(r.top, oy + py[i]);
        r.bottom = std::max(r.bottom, oy + py[i]);
    }
    *out = r;
}

int NextTextChar(const char* text, TextChar* out)
{
    const auto c = static_cast<unsigned char>(text[0]);
    if (c == '\n') {
        *out = TextChar{TextChar::LineFeed, 10};
        return 1;
    }
    if (winapi::IsSjisLeadByte(c) && text[1] != '\0') {
        *out = TextChar{TextChar::Char, c * 256u + static_cast<unsigned char>(text[1])};
        return 2;
    }
    if (c != '@') {
        *out = TextChar{TextChar::Char, c};
        return 1;
    }
    if (text[1] == '@') {
        *out = TextChar{TextChar::Char, '@'};
        return 2;
    }
    uint32_t index = 0;
    int n = 1;
    while (n < 8 && text[n] >= '0' && text[n] <= '9') {
        index = index * 10 + static_cast<uint32_t>(text[n] - '0');
        ++n;
    }
    *out = TextChar{TextChar::Picture, index};
    return n;
}

uint32_t CountChars(const char* text)
{
    if (text == nullptr)
        return 0;
    uint32_t count = 0;
    TextChar ch;
    for (const char* p = text; *p != '\0'; p += NextTextChar(p, &ch))
        ++count;
    return count;
}
