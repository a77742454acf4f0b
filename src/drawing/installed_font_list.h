// The installed font families that GDI reports for a device context, kept as LOGFONTA records
// when they pass the list's filters. The game holds one list for the whole run.
#pragma once

#include "winapi/gdi.h"

#include <cstdint>
#include <vector>

class CInstalledFontList {
public:
    // Filter flags.
    enum : uint8_t {
        kTrueTypeOnly = 1,
        kFixedPitchOnly = 2,
        kNoVerticalFaces = 4,
        kOneCharset = 8,
    };

    // Empties the list, stores the filters, enumerates every face in every character set; the
    // number of fonts kept.
    uint32_t EnumInstalledFonts(HDC dc, uint8_t flags, uint8_t charset);
    // Appends a copy of the record unless a filter drops it (faces beginning with "$" always).
    void AddFont(const LOGFONTA* font, uint32_t fontType);

    const std::vector<LOGFONTA>& Fonts() const { return m_fonts; }
    uint8_t Flags() const { return m_flags; }
    uint8_t Charset() const { return m_charset; }

private:
    std::vector<LOGFONTA> m_fonts;
    uint8_t m_flags = 0;
    uint8_t m_charset = 0;
};
