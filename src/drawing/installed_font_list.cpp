#include "drawing/installed_font_list.h"

namespace {

int CALLBACK AddReport(const LOGFONTA* font, const TEXTMETRICA*, DWORD fontType, LPARAM lParam)
{
    reinterpret_cast<CInstalledFontList*>(lParam)->AddFont(font, fontType);
    return 1;
}

} // namespace

uint32_t CInstalledFontList::EnumInstalledFonts(HDC dc, uint8_t flags, uint8_t charset)
{
    m_fonts.clear();
    m_flags = flags;
    m_charset = charset;
    LOGFONTA all{};
    all.lfCharSet = DEFAULT_CHARSET;
    EnumFontFamiliesExA(dc, &all, AddReport, reinterpret_cast<LPARAM>(this), 0);
    return static_cast<uint32_t>(m_fonts.size());
}

void CInstalledFontList::AddFont(const LOGFONTA* font, uint32_t fontType)
{
    if (font == nullptr)
        return;
    if ((m_flags & kTrueTypeOnly) && !(fontType & TRUETYPE_FONTTYPE))
        return;
    if ((m_flags & kFixedPitchOnly) && !(font->lfPitchAndFamily & FIXED_PITCH))
        return;
    if ((m_flags & kNoVerticalFaces) && font->lfFaceName[0] == '@')
        return;
    if (font->lfFaceName[0] == '$')
        return;
    if ((m_flags & kOneCharset) && font->lfCharSet != m_charset)
        return;
    m_fonts.push_back(*font);
}
