#include "script/message_window.h"

#include <algorithm>
#include <cstring>

#include <immintrin.h>

#include "drawing/draw_list.h"
#include "platform/cpu_info.h"
#include "raster/pixel_simd_avx2.h"
#include "drawing/glyph_font.h"
#include "script/text_log.h"
#include "script/tgs_frame.h"
#include "winapi/simd_level.h"
#include "winapi/text.h"

namespace {

bool IsLead(uint8_t c)
{
    return (c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC);
}

// Bytes of the character at p (inside the page; the page ends with two NULs).
size_t CharLength(const uint8_t* p)
{
    if (IsLead(p[0]) && p[1] != 0)
        return 2;
    if (p[0] == '@' && p[1] == '@')
        return 2;
    if (p[0] == '@') {
        size_t n = 1;
        while (n < 7 && p[n] >= '0' && p[n] <= '9')
            ++n;
        return n;
    }
    return 1;
}

// (page·w + base·(255 − w)) / 255 in each channel, rounded down: two channels a word, each sum
// below 65536, divided exactly by (t + 1 + (t >> 8)) >> 8.
inline uint32_t Mix(uint32_t page, uint32_t base, uint32_t w)
{
    const uint32_t v = 255 - w;
    uint32_t rb = (page & 0x00FF00FFu) * w + (base & 0x00FF00FFu) * v;
    uint32_t ag = ((page >> 8) & 0x00FF00FFu) * w + ((base >> 8) & 0x00FF00FFu) * v;
    rb = ((rb + 0x00010001u + ((rb >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    ag = ((ag + 0x00010001u + ((ag >> 8) & 0x00FF00FFu)) >> 8) & 0x00FF00FFu;
    return rb | ag << 8;
}

// Mix over a row, a weight per pixel; four pixels at a time in 16-bit lanes (the same exact
// arithmetic), the rest one by one.
void MixRow(uint32_t* __restrict d, const uint32_t* __restrict page, const uint32_t* __restrict base,
            const uint8_t* weights, LONG n)
{
    LONG i = 0;
    const __m128i zero = _mm_setzero_si128(), full = _mm_set1_epi16(255), one = _mm_set1_epi16(1);
    for (; i + 4 <= n; i += 4) {
        const __m128i p = _mm_loadu_si128(reinterpret_cast<const __m128i*>(page + i));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(base + i));
        uint32_t w4;
        std::memcpy(&w4, weights + i, 4);
        // Each pixel's weight in its four channel lanes.
        __m128i w = _mm_unpacklo_epi8(_mm_cvtsi32_si128(static_cast<int>(w4)), zero); // w0 w1 w2 w3 (u16)
        w = _mm_unpacklo_epi16(w, w);                                                  // w0 w0 w1 w1 w2 w2 w3 w3
        const __m128i wLo = _mm_unpacklo_epi32(w, w), wHi = _mm_unpackhi_epi32(w, w);
        auto half = [&](__m128i pp, __m128i bb, __m128i ww) {
            __m128i t = _mm_add_epi16(_mm_mullo_epi16(pp, ww), _mm_mullo_epi16(bb, _mm_sub_epi16(full, ww)));
            t = _mm_add_epi16(_mm_add_epi16(t, one), _mm_srli_epi16(t, 8));
            return _mm_srli_epi16(t, 8);
        };
        const __m128i lo = half(_mm_unpacklo_epi8(p, zero), _mm_unpacklo_epi8(b, zero), wLo);
        const __m128i hi = half(_mm_unpackhi_epi8(p, zero), _mm_unpackhi_epi8(b, zero), wHi);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(d + i), _mm_packus_epi16(lo, hi));
    }
    for (; i < n; ++i)
        d[i] = Mix(page[i], base[i], weights[i]);
}

// The same eight pixels at a time; the last few go to the four-pixel rows.
PIXEL_SIMD_AVX2 void MixRowAvx2(uint32_t* __restrict d, const uint32_t* __restrict page,
                                const uint32_t* __restrict base, const uint8_t* weights, LONG n)
{
    using namespace pixel_simd_avx2;
    LONG i = 0;
    const __m256i zero = _mm256_setzero_si256(), full = _mm256_set1_epi16(255), one = _mm256_set1_epi16(1);
    for (; i + 8 <= n; i += 8) {
        const __m256i p = Load8(reinterpret_cast<const uint8_t*>(page + i));
        const __m256i b = Load8(reinterpret_cast<const uint8_t*>(base + i));
        uint64_t w8;
        std::memcpy(&w8, weights + i, 8);
        // Each pixel's weight in its four channel lanes; each 128-bit half holds pixels 0-1 (lo)
        // and 2-3 (hi) of its four.
        const __m256i w = _mm256_cvtepu8_epi32(_mm_cvtsi64_si128(static_cast<long long>(w8)));
        const __m256i w16 = _mm256_or_si256(w, _mm256_slli_epi32(w, 16));
        const __m256i wLo = _mm256_unpacklo_epi32(w16, w16), wHi = _mm256_unpackhi_epi32(w16, w16);
        __m256i lo = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpacklo_epi8(p, zero), wLo),
                                      _mm256_mullo_epi16(_mm256_unpacklo_epi8(b, zero), _mm256_sub_epi16(full, wLo)));
        __m256i hi = _mm256_add_epi16(_mm256_mullo_epi16(_mm256_unpackhi_epi8(p, zero), wHi),
                                      _mm256_mullo_epi16(_mm256_unpackhi_epi8(b, zero), _mm256_sub_epi16(full, wHi)));
        lo = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(lo, one), _mm256_srli_epi16(lo, 8)), 8);
        hi = _mm256_srli_epi16(_mm256_add_epi16(_mm256_add_epi16(hi, one), _mm256_srli_epi16(hi, 8)), 8);
        Store8(reinterpret_cast<uint8_t*>(d + i), _mm256_packus_epi16(lo, hi));
    }
    MixRow(d + i, page + i, base + i, weights + i, n - i);
}

} // namespace

void MixRevealRow(uint32_t* d, const uint32_t* page, const uint32_t* base, const uint8_t* weights, LONG n)
{
    if (!g_bUseMmx || !UseSse2()) {
        for (LONG i = 0; i < n; ++i)
            d[i] = Mix(page[i], base[i], weights[i]);
    } else if (UseAvx2()) {
        MixRowAvx2(d, page, base, weights, n);
    } else {
        MixRow(d, page, base, weights, n);
    }
}

CMessageWindow::CMessageWindow() = default;

CMessageWindow::~CMessageWindow()
{
    ShowWaitIcon(false);
}

void CMessageWindow::SetVisible(bool visible)
{
    CTextPanel::SetVisible(visible);
    if (m_nameWindow != nullptr)
        m_nameWindow->SetVisible(visible && !m_name.empty());
    if (!visible)
        ShowWaitIcon(false);
}

int CMessageWindow::SetPageText(const uint8_t* bytes, uint32_t size)
{
    if (bytes == nullptr || size == 0)
        return 1;
    m_pageText.assign(bytes, bytes + size);
    m_pageText.push_back(0);
    m_pageText.push_back(0);
    return 0;
}

void CMessageWindow::ClearPageText()
{
    m_pageText.clear();
    m_name.clear();
    m_voice.clear();
}

void CMessageWindow::SetNameAndVoice(const char* name, const char* voice)
{
    m_name = CutSjis(name, 16);
    m_voice = CutSjis(voice, 15);
}

void CMessageWindow::SetTextRect(int anchorMode, int x, int y, int left, int top, int right, int bottom)
{
    m_anchorMode = anchorMode;
    m_anchorX = x;
    m_anchorY = y;
    m_anchored = true;
    if (left == -1)
        m_clamp.left = -1;
    else if (left >= 0)
        m_clamp = RECT{left, top, right, bottom};
}

int CMessageWindow::SetEdgeWidth(int n)
{
    if (n < 0) {
        m_ramp.Free();
        m_edgeWidth = -1;
        return 0;
    }
    if (GetImage().GetBits() == nullptr)
        return 1;
    if (n < FontHeight(m_font))
        return 2;
    if (m_ramp.Build(n, 255, 0, 8) != 0)
        return 3;
    m_edgeWidth = n;
    return 0;
}

int CMessageWindow::SetWaitIcon(CImage* image, int x, int y, bool atEnd)
{
    if (image == nullptr || image->GetBits() == nullptr)
        return 1;
    m_iconImage = image;
    m_iconX = x;
    m_iconY = y;
    m_iconAtEnd = atEnd ? 1 : 0;
    // A sheet of square cells shows its first.
    const RECT cell{0, 0, std::min<LONG>(image->GetWidth(), image->GetHeight()), image->GetHeight()};
    if (m_icon.SetImage(image, &cell, 0, 0) != 0)
        return 2;
    return 0;
}

void CMessageWindow::ShowWaitIcon(bool show)
{
    if (m_iconImage == nullptr) {
        m_iconShown = 0;
        return;
    }
    if (!show) {
        if (m_iconShown)
            m_icon.SetVisible(false);
        m_iconShown = 0;
        return;
    }
    int x = GetX() + m_iconX, y = GetY() + m_iconY;
    if (m_iconAtEnd) {
        x = GetX() + m_cursorX;
        y = GetY() + m_cursorY;
    }
    if (!m_iconInList) {
        CDrawList* list = GetDrawList();
        if (list == nullptr || list->Insert(&m_icon, static_cast<uint32_t>(GetPriority() + 1), static_cast<DWORD>(GetId())) != 0)
            return;
        m_iconInList = 1;
    }
    m_icon.SetPosition(x, y);
    m_icon.SetVisible(true);
    m_iconShown = 1;
}

void CMessageWindow::InvalidateAll()
{
    RECT all{0, 0, GetImage().GetWidth(), GetImage().GetHeight()};
    GetSprite().InvalidateLocalRect(&all);
}

void CMessageWindow::CommandNewLine()
{
    if (m_mode == 1) {
        // Measuring: the line just closed is kept, the next one opens.
        NewLine();
        ++m_line;
        return;
    }
    NewLine();
    ++m_line;
}

bool CMessageWindow::MarkRubyBase()
{
    if (m_mode == 0)
        return false;
    m_rubyOpen = 1;
    m_rubyStart = m_vertical ? m_cursorY : m_cursorX;
    return true;
}

int CMessageWindow::DrawRuby(const char* text)
{
    if (m_mode == 0)
        return 1;
    if (m_rubyFont == nullptr || text == nullptr || *text == 0)
        return 2;
    if (m_mode == 1) {
        if (m_line >= 0 && static_cast<size_t>(m_line) < m_lines.size())
            m_lines[static_cast<size_t>(m_line)].hasRuby = 1;
        m_rubyOpen = 0;
        return 0;
    }
    // Count and measure the ruby.
    int32_t n = 0;
    for (const uint8_t* p = reinterpret_cast<const uint8_t*>(text); *p != 0; p += CharLength(p))
        ++n;
    SIZE size{0, 0};
    m_rubyFont->MeasureString(text, &size, nullptr, nullptr, 0, nullptr);
    const int32_t w = m_vertical ? size.cy : size.cx;
    if (n < 1)
        return 5;
    CImage* target = m_target != nullptr ? m_target : &GetImage();
    const int rubyH = FontHeight(m_rubyFont);
    int32_t base = 0, length = 0;
    if (m_rubyOpen) {
        base = m_rubyStart;
        length = (m_vertical ? m_cursorY : m_cursorX) - m_rubyStart;
        m_rubyOpen = 0;
        if (length < 1)
            return m_vertical ? 3 : 4;
    } else {
        base = m_lastCharStart;
        length = m_lastCharEnd - m_lastCharStart;
    }
    const int32_t gap = (length - w) / (n + 1);
    int32_t at = base + gap + ((length - w) - gap * (n + 1)) / 2;
    const int32_t step = w / n + gap;
    // The glyphs stand at the end of the line cell (the panel reserves the ruby's room before
    // them); the ruby goes over them (to their right in vertical writing), the ruby gap apart.
    const int fontH = FontHeight(m_font);
    const int32_t across = m_vertical ? m_cursorX - ((m_lineHeight - fontH) >> 1) + fontH + m_rubyGap
                                      : m_cursorY + (m_lineHeight - fontH) - m_rubyGap - rubyH;
    if (!m_rubyOpen && length > 0 && gap < 0) {
        // Wider than its base: one piece, centred.
        at = base + (length - w) / 2;
        if (m_vertical)
            m_rubyFont->DrawString(target, across, at, text, nullptr, nullptr);
        else
            m_rubyFont->DrawString(target, at, across, text, nullptr, nullptr);
        return 0;
    }
    for (const uint8_t* p = reinterpret_cast<const uint8_t*>(text); *p != 0;) {
        const size_t len = CharLength(p);
        char glyph[8] = {};
        std::memcpy(glyph, p, len);
        if (m_vertical)
            m_rubyFont->DrawString(target, across, at, glyph, nullptr, nullptr);
        else
            m_rubyFont->DrawString(target, at, across, glyph, nullptr, nullptr);
        at += step;
        p += len;
    }
    return 0;
}

int CMessageWindow::RunPass(const uint8_t* text, uint32_t size, CImage* target, bool runCommands, bool record)
{
    const uint8_t* p = text;
    const uint8_t* end = text + size; // two NULs follow
    m_target = target;
    m_line = 0;
    if (record) {
        m_lines.clear();
        m_lines.push_back(LineRecord{m_cursorX, m_cursorY, m_cursorX, m_cursorY, 0});
    }
    bool first = true;
    int32_t count = 0;
    while (p < end) {
        if (*p == 0) {
            if (p[1] != '[')
                break;
            if (m_frame == nullptr) {
                // Without a frame the command is passed over.
                uint32_t length = 0;
                if (end - p < 6)
                    break;
                std::memcpy(&length, p + 2, 4);
                if (length < 4 || length > static_cast<uint64_t>(end - (p + 2)))
                    break;
                p += 2 + length;
                continue;
            }
            const uint8_t* cursor = p;
            const int32_t r = m_frame->RunEmbeddedCommand(&cursor, end, runCommands);
            if (r < 0)
                break; // damaged: the page ends
            if (r > 0) {
                m_target = nullptr;
                return -2;
            }
            p = cursor;
            continue;
        }
        const size_t len = CharLength(p);
        char glyph[8] = {};
        std::memcpy(glyph, p, len);
        const int32_t lineBefore = m_line;
        const int32_t startAlong = m_vertical ? m_cursorY : m_cursorX;
        const char* g = glyph;
        const int r = DrawChar(&g, target);
        if (r == 1)
            break; // the page is full
        if (r == -1)
            ++m_line;
        const int32_t endAlong = m_vertical ? m_cursorY : m_cursorX;
        m_lastCharEnd = endAlong;
        m_lastCharStart = r == -1 ? (m_vertical ? m_marginT : m_marginL) + m_indent : startAlong;
        if (record) {
            while (m_lines.size() <= static_cast<size_t>(m_line))
                m_lines.push_back(LineRecord{m_cursorX, m_cursorY, m_cursorX, m_cursorY, 0});
            LineRecord& rec = m_lines[static_cast<size_t>(m_line)];
            RECT box;
            if (!m_vertical)
                box = RECT{m_lastCharStart, m_cursorY, endAlong, m_cursorY + m_lineHeight};
            else
                box = RECT{m_cursorX - m_lineHeight, m_lastCharStart, m_cursorX, endAlong};
            if (rec.right <= rec.left || rec.bottom <= rec.top) {
                rec.left = box.left;
                rec.top = box.top;
                rec.right = box.right;
                rec.bottom = box.bottom;
            } else {
                rec.left = std::min<int32_t>(rec.left, box.left);
                rec.top = std::min<int32_t>(rec.top, box.top);
                rec.right = std::max<int32_t>(rec.right, box.right);
                rec.bottom = std::max<int32_t>(rec.bottom, box.bottom);
            }
        }
        (void)lineBefore;
        if (first && !m_indentChars.empty()) {
            // A page opening with an indent character hangs its later lines after it.
            const std::string_view opener(glyph, len);
            for (size_t i = 0; i < m_indentChars.size();) {
                const size_t n = CharLength(reinterpret_cast<const uint8_t*>(m_indentChars.data() + i));
                if (m_indentChars.compare(i, n, opener) == 0) {
                    SetIndentHere();
                    break;
                }
                i += n;
            }
        }
        first = false;
        ++count;
        p += len;
    }
    m_charCount = count;
    m_target = nullptr;
    return 0;
}

void CMessageWindow::RestoreCursor(int x, int y)
{
    m_cursorX = x;
    m_cursorY = y;
    m_prevChar = 0;
    m_pageFull = 0;
    m_pageEmpty = 1;
    ClearIndent();
}

int CMessageWindow::DrawText(const uint8_t* text, uint32_t size, CImage* target, int x, int y)
{
    if (text == nullptr || target == nullptr)
        return 1;
    // The copy ends with the two NULs a pass reads up to; a command is copied whole (its length
    // checked) so that no space is taken out of its bytes.
    std::vector<uint8_t>& page = m_drawnText;
    page.clear();
    page.reserve(size + 2);
    const uint8_t* p = text;
    const uint8_t* end = text + size;
    while (p < end) {
        if (*p == 0) {
            uint32_t length = 0;
            if (end - p < 6 || p[1] != '[')
                break;
            std::memcpy(&length, p + 2, 4);
            if (length < 4 || length > static_cast<uint64_t>(end - (p + 2)))
                break;
            page.insert(page.end(), p, p + 2 + length);
            p += 2 + length;
            continue;
        }
        const size_t len = IsLead(p[0]) && end - p >= 2 ? 2 : 1;
        if (!(len == 2 && p[0] == 0x81 && p[1] == 0x40))
            page.insert(page.end(), p, p + len);
        p += len;
    }
    const auto length = static_cast<uint32_t>(page.size());
    page.push_back(0);
    page.push_back(0);
    const int savedX = m_cursorX, savedY = m_cursorY;
    SetTextCursor(x, y);
    RunPass(page.data(), length, target, false, false);
    m_target = nullptr;
    RestoreCursor(savedX, savedY);
    return 0;
}

int CMessageWindow::MeasureText(const uint8_t* text, uint32_t size, RECT* out, bool runCommands)
{
    if (text == nullptr)
        return -1;
    std::vector<uint8_t> page(text, text + size);
    page.push_back(0);
    page.push_back(0);
    if (m_scratch.GetBits() == nullptr && m_scratch.Create(1, 1, 32, 0) != 0)
        return 0;
    const int savedX = m_cursorX, savedY = m_cursorY;
    m_mode = 1;
    const int r = RunPass(page.data(), size, &m_scratch, runCommands, true);
    m_mode = 0;
    RestoreCursor(savedX, savedY);
    if (r < 0)
        return -2;
    if (m_charCount == 0)
        return 0;
    if (out != nullptr) {
        RECT u = {m_lines[0].left, m_lines[0].top, m_lines[0].right, m_lines[0].bottom};
        for (const LineRecord& l : m_lines) {
            u.left = std::min<LONG>(u.left, l.left);
            u.top = std::min<LONG>(u.top, l.top);
            u.right = std::max<LONG>(u.right, l.right);
            u.bottom = std::max<LONG>(u.bottom, l.bottom);
        }
        *out = u;
    }
    return m_line + 1;
}

int CMessageWindow::ShowPage(bool /*resize*/)
{
    if (m_pageText.empty() || m_frame == nullptr)
        return 1;
    if (m_revealState != 0)
        return 2;
    ShowWaitIcon(false);
    ResetTextCursor(true);
    if (m_nameWindow != nullptr) {
        m_nameWindow->ResetTextCursor(true);
        if (!m_name.empty()) {
            const char* n = m_name.c_str();
            while (*n != 0 && m_nameWindow->DrawChar(&n, nullptr) != 1) {
            }
        }
        m_nameWindow->SetVisible(IsVisible() && !m_name.empty());
    }
    const uint32_t size = static_cast<uint32_t>(m_pageText.size() - 2);
    // Measuring pass: the line boxes, commands run. Its glyphs go to a one-pixel image, where the
    // drawing is clipped away: the layout is the panel's own, at little cost.
    if (m_scratch.GetBits() == nullptr && m_scratch.Create(1, 1, 32, 0) != 0)
        return 1;
    const int savedX = m_cursorX, savedY = m_cursorY;
    m_mode = 1;
    int r = RunPass(m_pageText.data(), size, &m_scratch, true, true);
    RestoreCursor(savedX, savedY);
    if (r < 0) {
        m_mode = 0;
        return 0;
    }
    if (m_anchored) {
        int x = m_anchorX;
        if (m_anchorMode == 0)
            x -= GetWidth() / 2;
        else if (m_anchorMode == 2)
            x -= GetWidth();
        int y = m_anchorY;
        if (m_clamp.left >= 0) {
            x = std::max<int>(static_cast<int>(m_clamp.left), std::min<int>(x, static_cast<int>(m_clamp.right) - GetWidth()));
            y = std::max<int>(static_cast<int>(m_clamp.top), std::min<int>(y, static_cast<int>(m_clamp.bottom) - GetHeight()));
        }
        SetPosition(x, y);
    }
    // Drawing pass.
    const bool reveal = m_charTime != 0;
    CImage* target = nullptr;
    if (reveal) {
        if (m_baseImage.CopyFrom(&GetImage(), 0) != 0 || m_pageImage.CopyFrom(&GetImage(), 0) != 0) {
            m_mode = 0;
            return 1;
        }
        target = &m_pageImage;
    }
    m_mode = reveal ? 2 : 3;
    r = RunPass(m_pageText.data(), size, target, true, false);
    ClearIndent();
    m_mode = 0;
    if (reveal) {
        m_revealTime = static_cast<uint32_t>(std::min<uint64_t>(
            static_cast<uint64_t>(m_charTime) * static_cast<uint64_t>(std::max(0, m_charCount)), UINT32_MAX));
        m_revealState = 1;
        if (m_revealTime == 0)
            FinishReveal();
    } else {
        m_revealTime = 0;
        InvalidateAll();
        if (m_iconAfterReveal && (m_frame == nullptr || !m_frame->IsChoiceWaiting()))
            ShowWaitIcon(true);
    }
    return 0;
}

void CMessageWindow::CopyRun(int32_t line, int32_t from, int32_t to, bool edge, int32_t edgeEnd)
{
    const LineRecord& l = m_lines[static_cast<size_t>(line)];
    RECT r;
    if (!m_vertical)
        r = RECT{l.left + from, l.top, l.left + to, l.bottom};
    else
        r = RECT{l.left, l.top + from, l.right, l.top + to};
    CImage& dst = GetImage();
    const LONG w = dst.GetWidth(), h = dst.GetHeight();
    r.left = std::max<LONG>(r.left, 0);
    r.top = std::max<LONG>(r.top, 0);
    r.right = std::min<LONG>(r.right, w);
    r.bottom = std::min<LONG>(r.bottom, h);
    if (r.right <= r.left || r.bottom <= r.top)
        return;
    const uint8_t* ramp = m_ramp.Bytes();
    const int32_t edgeStart = edgeEnd - m_edgeWidth;
    const size_t rowBytes = static_cast<size_t>(r.right - r.left) * 4;
    // The ramp's weight at a distance along the line (0 outside the edge).
    auto Weight = [&](int32_t along) -> uint8_t {
        const int32_t i = along - edgeStart;
        return ramp != nullptr && i >= 0 && i < m_ramp.Count() ? ramp[i] : 0;
    };
    const bool vertical = m_vertical != 0;
    uint8_t weights[512];
    const bool perColumn = edge && !vertical && r.right - r.left <= 512;
    if (edge && !m_vertical && !perColumn)
        edge = false; // an edge wider than any ramp: copied whole
    if (perColumn) {
        for (LONG x = r.left; x < r.right; ++x)
            weights[x - r.left] = Weight(x - l.left);
    }
    for (LONG y = r.top; y < r.bottom; ++y) {
        uint8_t* d = dst.GetRowPointer(y) + r.left * 4;
        const uint8_t* s = m_pageImage.GetRowPointer(y) + r.left * 4;
        if (!edge || ramp == nullptr) {
            std::memcpy(d, s, rowBytes);
            continue;
        }
        uint32_t* __restrict dp = reinterpret_cast<uint32_t*>(d);
        const uint32_t* __restrict sp = reinterpret_cast<const uint32_t*>(s);
        const uint32_t* __restrict bp = reinterpret_cast<const uint32_t*>(m_baseImage.GetRowPointer(y) + r.left * 4);
        const LONG n = r.right - r.left;
        if (vertical) {
            const uint32_t wt = Weight(y - l.top);
            for (LONG i = 0; i < n; ++i)
                dp[i] = Mix(sp[i], bp[i], wt);
        } else {
            MixRevealRow(dp, sp, bp, weights, n);
        }
    }
    GetSprite().InvalidateLocalRect(&r);
}

void CMessageWindow::RevealRange(uint64_t from, uint64_t to)
{
    // Pixels before from − edge stand already; [from − edge, to − edge) become the page's, and
    // the edge [to − edge, to) is blended anew.
    const uint64_t edge = m_edgeWidth > 0 ? static_cast<uint64_t>(m_edgeWidth) : 0;
    const uint64_t solidFrom = from > edge ? from - edge : 0;
    const uint64_t solidTo = to > edge ? to - edge : 0;
    uint64_t at = 0;
    for (size_t i = 0; i < m_lines.size() && at < to; ++i) {
        const LineRecord& l = m_lines[i];
        const int32_t extent = m_vertical ? l.bottom - l.top : l.right - l.left;
        if (extent <= 0)
            continue;
        const uint64_t start = at, end = at + static_cast<uint64_t>(extent);
        at = end;
        auto local = [&](uint64_t v) { return static_cast<int32_t>(std::clamp(v, start, end) - start); };
        if (solidTo > solidFrom && solidFrom < end && solidTo > start)
            CopyRun(static_cast<int32_t>(i), local(solidFrom), local(solidTo), false, 0);
        if (to > solidTo && solidTo < end && to > start)
            CopyRun(static_cast<int32_t>(i), local(solidTo), local(to), true, static_cast<int32_t>(to - start));
    }
}

int CMessageWindow::Update(uint32_t /*time*/)
{
    if (m_revealState == 0)
        return 0;
    const uint32_t now = Now();
    if (m_revealState == 1) {
        m_total = 0;
        for (const LineRecord& l : m_lines)
            m_total += static_cast<uint64_t>(std::max(0, m_vertical ? l.bottom - l.top : l.right - l.left));
        m_revealed = 0;
        m_revealStart = now;
        m_revealState = 2;
    }
    const uint32_t elapsed = now - m_revealStart;
    if (m_revealState == 2 && elapsed < m_revealTime) {
        const uint64_t length = static_cast<uint64_t>(elapsed) * m_total / m_revealTime;
        if (length > m_revealed)
            RevealRange(m_revealed, length);
        m_revealed = std::max(m_revealed, length);
        return 0;
    }
    // Everything left, ink outside the line boxes included.
    GetImage().Copy(&m_pageImage, 0, 0, nullptr, false);
    InvalidateAll();
    m_revealState = 0;
    if (m_iconAfterReveal && (m_frame == nullptr || !m_frame->IsChoiceWaiting()))
        ShowWaitIcon(true);
    return 0;
}

bool CMessageWindow::FinishReveal()
{
    if (m_revealState == 0)
        return false;
    if (m_revealState == 1) {
        m_total = 0;
        for (const LineRecord& l : m_lines)
            m_total += static_cast<uint64_t>(std::max(0, m_vertical ? l.bottom - l.top : l.right - l.left));
    }
    m_revealState = 3;
    Update(0);
    return true;
}
