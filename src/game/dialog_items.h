// Dialog template rows written with UTF-8 texts, turned into the stand-in's Shift-JIS items once.
#pragma once

#include <iterator>

#include "winapi/text.h"
#include "winapi/user.h"

struct ItemText {
    const char* className;
    const char* utf8;
    WORD id;
    DWORD style;
    short x, y, cx, cy;
};

template <const auto& rows>
const winapi::DialogItemResource* Items()
{
    constexpr size_t N = std::size(rows);
    static winapi::DialogItemResource items[N];
    static const bool made = [] {
        for (size_t i = 0; i < N; ++i)
            items[i] = {rows[i].className, rows[i].utf8 != nullptr ? winapi::Sjis(rows[i].utf8) : nullptr, rows[i].id,
                        rows[i].style, rows[i].x, rows[i].y, rows[i].cx, rows[i].cy};
        return true;
    }();
    (void)made;
    return items;
}
