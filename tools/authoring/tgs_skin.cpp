#include "authoring/tgs_skin.h"

#include <algorithm>
#include <cstdio>
#include <cstdint>

#include "authoring/elg_encoder.h"
#include "controls/parts_file.h"

namespace {

// The picture over a frame's mask: alpha bodyAlpha inside, borderAlpha on the 3-pixel border, 0
// outside the rounded corners (their edge soft).
std::vector<uint32_t> Decoration(int w, int h, uint32_t body, uint32_t border, int radius, int bodyAlpha, int borderAlpha)
{
    std::vector<uint32_t> px(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int cx = x < radius ? radius - x : (x >= w - radius ? x - (w - radius - 1) : 0);
            const int cy = y < radius ? radius - y : (y >= h - radius ? y - (h - radius - 1) : 0);
            const int d2 = cx * cx + cy * cy;
            const bool edge = x < 3 || y < 3 || x >= w - 3 || y >= h - 3;
            int alpha = edge ? borderAlpha : bodyAlpha;
            if (d2 > radius * radius)
                alpha = 0;
            else if (d2 > (radius - 2) * (radius - 2))
                alpha /= 2; // the soft edge of the corner
            const uint32_t rgb = (edge ? border : body) & 0xFFFFFF;
            px[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] =
                (static_cast<uint32_t>(alpha) << 24) | rgb;
        }
    }
    return px;
}

// A framed panel: a border of 3 pixels and a body, the corners rounded by a soft alpha ramp.
std::vector<uint32_t> Panel(int w, int h, uint32_t body, uint32_t border, int radius)
{
    return Decoration(w, h, body, border, radius, 255, 255);
}

// An 8-bit alpha mask (the index is the alpha, over a grey palette): the body at level, the
// border full, the rounded corners soft as the decoration's.
bool AddMask(std::vector<TgsSkinFile>* files, const std::string& name, int w, int h, uint8_t level, int radius,
             std::string* error)
{
    elg::Picture picture;
    picture.width = w;
    picture.height = h;
    picture.depth = 8;
    picture.palette.resize(1024);
    for (int i = 0; i < 256; ++i) {
        picture.palette[static_cast<size_t>(i) * 4] = static_cast<uint8_t>(i);
        picture.palette[static_cast<size_t>(i) * 4 + 1] = static_cast<uint8_t>(i);
        picture.palette[static_cast<size_t>(i) * 4 + 2] = static_cast<uint8_t>(i);
    }
    picture.indexes.resize(static_cast<size_t>(w) * static_cast<size_t>(h));
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const int cx = x < radius ? radius - x : (x >= w - radius ? x - (w - radius - 1) : 0);
            const int cy = y < radius ? radius - y : (y >= h - radius ? y - (h - radius - 1) : 0);
            const int d2 = cx * cx + cy * cy;
            const bool edge = x < 3 || y < 3 || x >= w - 3 || y >= h - 3;
            int v = edge ? 255 : level;
            if (d2 > radius * radius)
                v = 0;
            else if (d2 > (radius - 2) * (radius - 2))
                v /= 2;
            picture.indexes[static_cast<size_t>(y) * static_cast<size_t>(w) + static_cast<size_t>(x)] = static_cast<uint8_t>(v);
        }
    }
    TgsSkinFile file{name, {}};
    if (!elg::Encode(picture, elg::Options{}, file.bytes, error))
        return false;
    files->push_back(std::move(file));
    return true;
}

// Five cells of a blinking triangle, cell by cell, side by side.
std::vector<uint32_t> Cursor(int cell, int cells, uint32_t colour)
{
    const int w = cell * cells, h = cell;
    std::vector<uint32_t> px(static_cast<size_t>(w) * static_cast<size_t>(h), 0);
    for (int c = 0; c < cells; ++c) {
        const int size = cell / 2 + (c * cell / 2) / std::max(1, cells - 1) / 2;
        for (int y = 0; y < size; ++y) {
            for (int x = 0; x < size - y; ++x) {
                const int px0 = c * cell + (cell - size) / 2 + x + y / 2;
                const int py0 = (cell - size) / 2 + y;
                if (px0 < (c + 1) * cell && py0 < h)
                    px[static_cast<size_t>(py0) * static_cast<size_t>(w) + static_cast<size_t>(px0)] = 0xFF000000u | colour;
            }
        }
    }
    return px;
}

// A button of four states side by side (normal, hover, pressed, disabled).
std::vector<uint32_t> Button(int w, int h, int index)
{
    const uint32_t shades[4] = {0x405080, 0x6070C0, 0x203060, 0x606060};
    std::vector<uint32_t> px(static_cast<size_t>(w * 4) * static_cast<size_t>(h));
    for (int s = 0; s < 4; ++s) {
        for (int y = 0; y < h; ++y) {
            for (int x = 0; x < w; ++x) {
                const bool edge = x == 0 || y == 0 || x == w - 1 || y == h - 1;
                // A mark per button: index + 1 dots.
                const bool dot = y == h / 2 && x >= 4 && x < 4 + 2 * (index + 1) && (x - 4) % 2 == 0;
                const uint32_t rgb = edge ? 0xE0E0E0 : dot ? 0xFFFFFF : shades[s];
                px[static_cast<size_t>(y) * static_cast<size_t>(w * 4) + static_cast<size_t>(s * w + x)] = 0xFF000000u | rgb;
            }
        }
    }
    return px;
}

bool Add(std::vector<TgsSkinFile>* files, const std::string& name, int w, int h, const std::vector<uint32_t>& px,
         std::string* error)
{
    elg::Picture picture;
    if (!elg::PictureFromPixels(w, h, px.data(), 32, picture, error))
        return false;
    TgsSkinFile file{name, {}};
    if (!elg::Encode(picture, elg::Options{}, file.bytes, error))
        return false;
    files->push_back(std::move(file));
    return true;
}

} // namespace

bool MakeTgsSkin(std::vector<TgsSkinFile>* files, std::string* error)
{
    files->clear();
    struct Frame {
        const char* prefix;
        int w, h;
    };
    const Frame frames[] = {{"SYS/MS_FRM_", 770, 110}, {"SYS/NM_FRM_", 200, 50}, {"SYS/MS_SEL_", 708, 40}};
    for (const Frame& f : frames) {
        // The masks in the frame colour make the window; the decoration draws its light border
        // over them and leaves the body to the frame colour.
        if (!Add(files, std::string(f.prefix) + "B.ELG", f.w, f.h, Decoration(f.w, f.h, 0, 0xC8D0E8, 10, 0, 255),
                 error) ||
            !AddMask(files, std::string(f.prefix) + "A.ELG", f.w, f.h, 220, 10, error) ||
            !AddMask(files, std::string(f.prefix) + "G.ELG", f.w, f.h, 160, 10, error))
            return false;
    }
    if (!Add(files, "SYS/MS_CUR0.ELG", 100, 20, Cursor(20, 5, 0xFFFFFF), error) ||
        !Add(files, "SYS/MS_CUR1.ELG", 100, 20, Cursor(20, 5, 0xFFE060), error) ||
        !Add(files, "SYS/MS_BAR.ELG", 800, 23, Panel(800, 23, 0x202030, 0x8080A0, 0), error))
        return false;
    PartsLayout layout;
    for (int i = 0; i < 10; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "MS_BTN%02d.ELG", i);
        if (!Add(files, std::string("SYS/") + name, 96, 19, Button(24, 19, i), error))
            return false;
        PartsEntry e;
        e.name = name;
        e.head = 1; // a push button
        e.x = static_cast<int16_t>(520 + 28 * i);
        e.y = 579;
        e.byte5 = 255;
        e.byte6 = 1;
        e.sized = true;
        e.width = 24;
        e.height = 19;
        e.c = 4; // with its disabled state
        layout.parts.push_back(e);
    }
    const std::vector<uint8_t> gmp = WritePartsFile(layout, EPartsReader::B);
    files->push_back(TgsSkinFile{"SYS/MS_FRAME.GMP", std::vector<unsigned char>(gmp.begin(), gmp.end())});

    // The system menu: its background and twelve items, 22 pixels apart, the first centred 19
    // pixels below the top (the engine moves them to where the menu opens).
    if (!Add(files, "SYS/SM_BASE.ELG", 133, 280, Panel(133, 280, 0x182038, 0x8080A0, 6), error))
        return false;
    PartsLayout menu;
    for (int i = 0; i < 12; ++i) {
        char name[16];
        std::snprintf(name, sizeof name, "SM_BTN%02d.ELG", i);
        if (!Add(files, std::string("SYS/") + name, 117 * 4, 20, Button(117, 20, i), error))
            return false;
        PartsEntry e;
        e.name = name;
        e.head = 1;
        e.x = 8;
        e.y = static_cast<int16_t>(9 + 22 * i);
        e.byte5 = 255;
        e.byte6 = 1;
        e.sized = true;
        e.width = 117;
        e.height = 20;
        e.c = 4;
        menu.parts.push_back(e);
    }
    const std::vector<uint8_t> smg = WritePartsFile(menu, EPartsReader::B);
    files->push_back(TgsSkinFile{"SYS/SM_BG.GMP", std::vector<unsigned char>(smg.begin(), smg.end())});

    // The backlog's scroll bar at x 768: the buttons above and below the track, the thumb.
    if (!Add(files, "SYS/TH_UP.ELG", 32, 32, Panel(32, 32, 0x405080, 0xE0E0E0, 0), error) ||
        !Add(files, "SYS/TH_DOWN.ELG", 32, 32, Panel(32, 32, 0x405080, 0xE0E0E0, 0), error) ||
        !Add(files, "SYS/TH_BARFR.ELG", 32, 536, Panel(32, 536, 0x101018, 0x606070, 0), error) ||
        !Add(files, "SYS/TH_BAR.ELG", 32, 64, Panel(32, 64, 0x6070C0, 0xE0E0E0, 4), error))
        return false;
    return true;
}
