// DrawTextA: text laid out in lines within a rectangle, over TextOutA and the DC's font.
#include <algorithm>
#include <string>
#include <vector>

#include "winapi/dialogs/dialogs.h"
#include "winapi/gdi.h"
#include "winapi/text.h"

namespace {

int Width(HDC hdc, const std::string& text)
{
    SIZE size{0, 0};
    if (!text.empty())
        GetTextExtentPoint32A(hdc, text.data(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The lines of the text: broken at line ends and, when a width is given, before a character that
// would pass it (a line keeps at least one character).
std::vector<std::string> Lines(HDC hdc, const std::string& text, bool single, int width)
{
    std::vector<std::string> lines(1);
    for (size_t i = 0; i < text.size();) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (!single && (c == '\r' || c == '\n')) {
            i += (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ? 2 : 1;
            lines.emplace_back();
            continue;
        }
        const size_t length = winapi::IsSjisLeadByte(c) && i + 1 < text.size() ? 2 : 1;
        const std::string piece = text.substr(i, length);
        if (width > 0 && !lines.back().empty() && Width(hdc, lines.back() + piece) > width)
            lines.emplace_back();
        lines.back() += piece;
        i += length;
    }
    return lines;
}

} // namespace

int WINAPI DrawTextA(HDC hdc, LPCSTR text, int count, LPRECT rect, UINT format)
{
    if (text == nullptr || rect == nullptr)
        return 0;
    TEXTMETRICA metrics{};
    if (!GetTextMetricsA(hdc, &metrics))
        return 0;
    const std::string all = count < 0 ? std::string(text) : std::string(text, static_cast<size_t>(count));
    const bool single = (format & DT_SINGLELINE) != 0;
    const int boxWidth = static_cast<int>(rect->right - rect->left);
    const auto lines = Lines(hdc, all, single, (format & DT_WORDBREAK) != 0 && !single ? boxWidth : 0);
    const int lineHeight = metrics.tmHeight;
    const int height = lineHeight * static_cast<int>(lines.size());
    if ((format & DT_CALCRECT) != 0) {
        int widest = 0;
        for (const auto& line : lines)
            widest = std::max(widest, Width(hdc, line));
        rect->right = rect->left + widest;
        rect->bottom = rect->top + height;
        return height;
    }
    int y = rect->top;
    if (single && (format & DT_VCENTER) != 0)
        y = rect->top + (static_cast<int>(rect->bottom - rect->top) - lineHeight) / 2;
    for (const auto& line : lines) {
        const int w = Width(hdc, line);
        int x = rect->left;
        if ((format & DT_CENTER) != 0)
            x = rect->left + (boxWidth - w) / 2;
        else if ((format & DT_RIGHT) != 0)
            x = rect->right - w;
        if (!line.empty())
            TextOutA(hdc, x, y, line.data(), static_cast<int>(line.size()));
        y += lineHeight;
    }
    return height;
}
