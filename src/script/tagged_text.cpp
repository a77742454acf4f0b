#include "script/tagged_text.h"

#include <cstdlib>

#include "drawing/font.h"
#include "drawing/glyph_font.h"
#include "raster/image.h"
#include "raster/update_region.h"
#include "script/sob_runtime.h"

namespace {

bool IsLead(uint8_t c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

bool IsDigit(uint8_t c)
{
    return c >= '0' && c <= '9';
}

// The "@" run at body[i]: what it draws ("@", "@" with up to six digits) and its length.
size_t InlineGlyph(const std::string& body, size_t i, std::string* piece)
{
    if (i + 1 < body.size() && body[i + 1] == '@') {
        *piece = "@";
        return 2;
    }
    size_t n = 0;
    while (n < 6 && i + 1 + n < body.size() && IsDigit(static_cast<uint8_t>(body[i + 1 + n])))
        ++n;
    *piece = body.substr(i, 1 + n);
    return 1 + n;
}

// The end of a tag that starts at body[i] ("<" up to ">", double-byte aware), plus one "\" after it.
size_t SkipTag(const std::string& body, size_t i, size_t end)
{
    ++i;
    while (i < end && body[i] != '>' && body[i] != '\0')
        i += IsLead(static_cast<uint8_t>(body[i])) && i + 1 < end ? 2 : 1;
    if (i < end && body[i] == '>')
        ++i;
    if (i < end && body[i] == '\\')
        ++i;
    return i;
}

// The end of an embedded block at body[i] ("[", 0x00, 4 bytes, u16 L, L bytes).
size_t SkipBlock(const std::string& body, size_t i)
{
    if (i + 8 > body.size())
        return body.size();
    const size_t length = static_cast<uint8_t>(body[i + 6]) | (static_cast<uint8_t>(body[i + 7]) << 8);
    return i + 8 + length < body.size() ? i + 8 + length : body.size();
}

void MarkDrawn(CImage* surface, const RECT& rect)
{
    if (CUpdateRegion* region = surface->GetUpdateRegion())
        region->AddRect(rect);
    surface->SetChanged(true);
}

} // namespace

CTaggedText* g_pScriptTextObject = nullptr;

CTaggedText::CTaggedText(CSobRuntime& runtime) : CMessageStore(runtime.Memory()), m_runtime(runtime) {}

bool CTaggedText::IsMessageRead(uint8_t scope, uint16_t number)
{
    return m_runtime.TestReadBit(number, scope != 0);
}

void CTaggedText::MarkMessageRead(uint8_t scope, uint16_t number)
{
    m_runtime.SetReadBit(number, scope != 0);
}

void CTaggedText::ResetDrawPosition()
{
    m_drawX = m_originX;
    m_drawY = m_originY;
}

int CTaggedText::SetTarget(CImage* surface, CTaggedTextOwner* owner, int32_t x, int32_t y, CFont* font,
                           bool effect, bool centred, int32_t spacing)
{
    if (surface == nullptr || font == nullptr)
        return 1;
    m_target = surface;
    m_owner = owner;
    m_font = font;
    m_effect = effect;
    m_centred = centred;
    m_spacing = spacing;
    m_originX = m_drawX = x;
    m_originY = m_drawY = y;
    return 0;
}

int32_t CTaggedText::FontHeight() const
{
    return m_font != nullptr ? std::abs(m_font->m_logFont.lfHeight) : 0;
}

int CTaggedText::StepText(bool skipPlain)
{
    if (m_target == nullptr || !HasBody())
        return 1;
    const size_t from = ParseCursor();
    int code = ParseNextToken();
    if (code == 0) {
        if (skipPlain) {
            code = SkipToNextToken();
        } else if (Body()[from] == '@') {
            // An inline glyph ("@" and its digits, or "@@") is one element, not one per byte.
            std::string piece;
            SetParseCursor(from + InlineGlyph(Body(), from, &piece));
        }
        DrawRange(from, ParseCursor());
    }
    if (code == 4 || code == 5)
        ResetDrawPosition();
    return code;
}

int CTaggedText::SeekTag(int32_t n, bool draw)
{
    if (!HasBody() || (draw && m_target == nullptr))
        return -1;
    SetParseCursor(0);
    ResetDrawPosition();
    const int code = CMessageStore::SeekTag(n);
    if (code >= 0 && draw)
        DrawRange(0, ParseCursor());
    return code;
}

bool CTaggedText::Redraw()
{
    if (m_target == nullptr || !HasBody())
        return false;
    ResetDrawPosition();
    DrawRange(0, ParseCursor());
    return true;
}

int32_t CTaggedText::DrawPiece(const std::string& piece, int32_t x, int32_t y, bool doubleByte)
{
    const int32_t height = FontHeight();
    int32_t at = x;
    if (doubleByte && m_centred) {
        SIZE size{0, 0};
        m_font->MeasureString(piece.c_str(), &size, nullptr, nullptr, 0, nullptr);
        at = x + ((height - size.cx) >> 1);
    }
    RECT drawn{0, 0, 0, 0};
    const int r = m_effect && m_font->IsGlyphFont()
                      ? static_cast<CGlyphFont*>(m_font)->DrawString(m_target, at, y, piece.c_str(), &drawn, nullptr)
                      : m_font->DrawText(m_target, at, y, piece.c_str(), &drawn, nullptr);
    if (r != 0)
        return -1;
    MarkDrawn(m_target, drawn);
    if (m_owner != nullptr)
        m_owner->OnCharacterDrawn(drawn);
    return (doubleByte && m_centred ? height : drawn.right - drawn.left) + m_spacing;
}

void CTaggedText::DrawRange(size_t from, size_t to)
{
    const std::string& body = Body();
    if (to > body.size())
        to = body.size();
    int32_t x = m_drawX, y = m_drawY;
    size_t i = from;
    while (i < to) {
        const uint8_t c = static_cast<uint8_t>(body[i]);
        std::string piece;
        bool doubleByte = false;
        if (c == '$' || c == '&' || c == '\0') {
            ++i;
            continue;
        }
        if (c == '<') {
            i = SkipTag(body, i, to);
            continue;
        }
        if (c == '\\') {
            x = m_originX;
            y += m_font->m_lineSpacing + FontHeight();
            ++i;
            continue;
        }
        if (c == '[' && i + 1 < body.size()) {
            // An escape pair shows its second byte; an embedded block shows nothing.
            if (body[i + 1] == '\0') {
                i = SkipBlock(body, i);
                continue;
            }
            piece = body.substr(i + 1, 1);
            i += 2;
        } else if (IsLead(c) && i + 1 < body.size()) {
            piece = body.substr(i, 2);
            doubleByte = true;
            i += 2;
        } else if (c == '@') {
            i += InlineGlyph(body, i, &piece);
        } else {
            piece = body.substr(i, 1);
            ++i;
        }
        const int32_t advance = DrawPiece(piece, x, y, doubleByte);
        if (advance >= 0)
            x += advance;
    }
    m_drawX = x;
    m_drawY = y;
}

int CTaggedText::DrawString(const char* text, int32_t x, int32_t y, CImage* surface, CFont* font, uint8_t effect)
{
    const bool useEffect = (effect == 255 ? m_effect : effect != 0) && font->IsGlyphFont();
    RECT drawn{0, 0, 0, 0};
    const int r = useEffect ? static_cast<CGlyphFont*>(font)->DrawString(surface, x, y, text, &drawn, nullptr)
                            : font->DrawText(surface, x, y, text, &drawn, nullptr);
    if (r != 0)
        return 3;
    if (surface->ClipRectToBounds(&drawn) && drawn.right > drawn.left && drawn.bottom > drawn.top) {
        if (CUpdateRegion* region = surface->GetUpdateRegion())
            region->AddRect(drawn);
    }
    surface->SetChanged(true);
    return 0;
}

bool CTaggedText::DefaultTarget(CImage** surface, CFont** font) const
{
    if (*surface == nullptr)
        *surface = m_target;
    if (*font == nullptr)
        *font = m_font;
    return *surface != nullptr && *font != nullptr;
}

int CTaggedText::DrawLine(int32_t x, int32_t y, uint32_t n, CImage* surface, CFont* font, uint8_t effect)
{
    if (!DefaultTarget(&surface, &font))
        return 1;
    const uint32_t whole = CopyLine(nullptr, 0, n);
    if (whole == 0)
        return 2;
    // A line of more than 255 bytes overran the line buffer: it is cut on a character boundary.
    std::string line(n == 0 ? whole : kMaxLine + 1, '\0');
    CopyLine(line.data(), line.size(), n);
    return DrawString(line.c_str(), x, y, surface, font, effect);
}

int CTaggedText::DrawChoice(int32_t i, int32_t x, int32_t y, CImage* surface, CFont* font, uint8_t effect)
{
    if (!DefaultTarget(&surface, &font))
        return 1;
    const char* text = GetChoice(i);
    if (text == nullptr)
        return 2;
    return DrawString(text, x, y, surface, font, effect);
}

uint32_t CTaggedText::ExtractPlainText(std::string* out, bool crlf) const
{
    const std::string& body = Body();
    std::string text;
    size_t i = 0;
    while (i < body.size()) {
        const uint8_t c = static_cast<uint8_t>(body[i]);
        if (c == '\0' || c == '$' || c == '&')
            break;
        if (c == '<') {
            i = SkipTag(body, i, body.size());
        } else if (c == '[' && i + 1 < body.size()) {
            if (body[i + 1] == '\0') {
                i = SkipBlock(body, i);
            } else {
                text.push_back(body[i + 1]);
                i += 2;
            }
        } else if (c == '\\') {
            if (crlf)
                text += "\r\n";
            ++i;
        } else if (IsLead(c) && i + 1 < body.size()) {
            text.append(body, i, 2);
            i += 2;
        } else if (c == '@') {
            // "@@" is an "@"; an inline glyph ("@" and its digits) shows no text.
            std::string piece;
            const size_t length = InlineGlyph(body, i, &piece);
            if (length == 2 && piece == "@")
                text.push_back('@');
            i += length;
        } else {
            text.push_back(static_cast<char>(c));
            ++i;
        }
    }
    if (out != nullptr)
        *out = text;
    return static_cast<uint32_t>(text.size() + 1);
}

bool CTaggedText::SelectChoice(uint8_t i)
{
    SetSelectedChoice(i);
    if (HasChoiceBlock() && ChoiceKind() != 2 && i < GivenChoiceCount())
        m_runtime.SetChoiceBit(static_cast<uint32_t>(SeenFlagBase()) + i, ChoiceKind() != 0);
    return true;
}

uint8_t CTaggedText::GetSelectedChoice() const
{
    return HasChoiceBlock() ? SelectedChoice() : 255;
}

bool CTaggedText::IsChoiceSeen(int32_t i) const
{
    if (!HasChoiceBlock() || ChoiceKind() == 2 || i < 0 || i >= GivenChoiceCount())
        return false;
    return m_runtime.TestChoiceBit(static_cast<uint32_t>(SeenFlagBase()) + static_cast<uint32_t>(i), ChoiceKind() != 0);
}

bool CTaggedText::SavePosition()
{
    if (!HasBody())
        return false;
    m_saved = true;
    m_savedBody = Body();
    m_savedOffset = ParseCursor();
    return true;
}

bool CTaggedText::RestorePosition()
{
    // The original compared the body pointer: a text shown since makes the offset meaningless.
    if (!m_saved || !HasBody() || Body() != m_savedBody)
        return false;
    SetParseCursor(m_savedOffset);
    return true;
}
