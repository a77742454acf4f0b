// Wipe entries 35 to 67: blinds, slanted dashes, tile spirals, the cross-fade, and the block
// patterns driven by the noise table and the cosine table (scatter, burst, swirl, spin, zoom,
// rotation, dropping cells, jitter). Entry 34 lives with the other growing cells.
#include "raster/pixel_ops.h"
#include "raster/wipe_blocks.h"
#include "raster/wipe_common.h"
#include "raster/wipe_scatter.h"
#include "raster/wipe_turns.h"

using wipe::Cos;
using wipe::ISqrt;

namespace {

// N[k]: byte k AND 255 of the noise table.
inline int64_t Noise(int64_t k)
{
    return g_pNoiseTable[k & 255];
}

// The noise table, built on first use; false when it could not be allocated (the entry then draws
// nothing, as a failed allocation leaves no table to read).
bool NoiseReady()
{
    BuildNoiseTable();
    return g_pNoiseTable != nullptr;
}

// --- blinds ---

void BlindColumns(CWipeCanvas& c, int32_t progress, int64_t n, bool reverse, int shift)
{
    uint8_t* on = c.ColumnMask();
    const int64_t limit = progress >> shift;
    for (int64_t i = 0; i < c.Width(); ++i) {
        const int64_t f = reverse ? (n - 1) - (i & (n - 1)) : (i & (n - 1));
        on[i] = f <= limit ? 1 : 0;
    }
    // Where sixteen columns blend under a lane mask, each group is blended once whatever its runs.
    if (c.BlendsByLanes())
        c.PhasedMaskedRows(0, c.Height(), on, 1, std::max(c.Height(), 1));
    // Blends of runs under sixteen pixels wide cost more than blending every group and keeping
    // what the mask hides (wider runs do better as runs).
    else if (n <= 16 && c.Mode() == kTransitionBlendAlpha && c.DrawsInAnyOrder())
        c.ScatteredMaskedRows(0, c.Height(), on);
    else if (n <= 16 && c.CopiesByLanes()) // likewise plain copies a lane mask at a time
        c.PhasedMaskedRows(0, c.Height(), on, 1, std::max(c.Height(), 1));
    else
        c.MaskedRows(0, c.Height(), on);
}

void BlindRows(CWipeCanvas& c, int32_t progress, int64_t n, bool reverse, int shift)
{
    const int64_t limit = progress >> shift;
    const int64_t w = c.Width(), h = c.Height();
    // Neighbouring rows that show are drawn as one piece.
    for (int64_t i = 0; i < h;) {
        auto shows = [&](int64_t row) {
            const int64_t f = reverse ? (n - 1) - (row & (n - 1)) : (row & (n - 1));
            return f <= limit;
        };
        if (!shows(i)) {
            ++i;
            continue;
        }
        int64_t end = i + 1;
        while (end < h && shows(end))
            ++end;
        c.Piece(0, i, w, end);
        i = end;
    }
}

// --- slanted dashes ---

void SlantedDashes(CWipeCanvas& c, int64_t n, int64_t m, int64_t len)
{
    const int64_t w = c.Width(), h = c.Height();
    if (len <= 0)
        return;
    // Row j's dashes depend only on j mod m: one mask per phase.
    std::vector<uint8_t>& masks = wipe::Scratch<uint8_t, wipe::ScratchUse::PhaseMasks>();
    masks.assign(static_cast<size_t>(m * w), 0);
    for (int64_t phase = 0; phase < std::min(m, h); ++phase) {
        uint8_t* on = masks.data() + phase * w;
        for (int64_t s = -phase; s < w; s += n) {
            int64_t l = s;
            int64_t run = len;
            if (l + run > w)
                run = w - l;
            if (l < 0) {
                run += l;
                l = 0;
            }
            for (int64_t i = l; i < l + std::max<int64_t>(run, 0); ++i)
                on[i] = 1;
        }
    }
    if (c.CopiesByLanes() || c.BlendsByLanes()) {
        c.PhasedMaskedRows(0, h, masks.data(), m, 1);
        return;
    }
    if (n <= 16 && c.Mode() == kTransitionBlendAlpha && c.DrawsInAnyOrder()) {
        // Dashes a few pixels wide: each row blends whole and keeps what its mask hides.
        for (int64_t j = 0; j < h; ++j)
            c.ScatteredMaskedRows(j, j + 1, masks.data() + (j % m) * w);
        return;
    }
    auto& runs = wipe::Scratch<std::vector<CWipeCanvas::ColumnRun>, wipe::ScratchUse::PhaseRuns>();
    runs.resize(std::max<size_t>(runs.size(), static_cast<size_t>(m)));
    for (int64_t phase = 0; phase < std::min(m, h); ++phase)
        c.RunsOf(masks.data() + phase * w, runs[static_cast<size_t>(phase)]);
    for (int64_t j = 0; j < h; ++j)
        c.RunRows(j, j + 1, runs[static_cast<size_t>(j % m)]);
}

// --- tile spirals ---

constexpr uint8_t kSpiralIn[16] = {0, 1, 2, 3, 11, 12, 13, 4, 10, 15, 14, 5, 9, 8, 7, 6};
constexpr uint8_t kSpiralOut[16] = {6, 7, 8, 9, 5, 0, 1, 10, 4, 3, 2, 11, 15, 14, 13, 12};

void TileSpiral(CWipeCanvas& c, int32_t progress, int64_t cell, const uint8_t* pattern)
{
    const int64_t w = c.Width(), h = c.Height();
    const int64_t limit = progress >> 4;
    // The cells that show depend only on the tile row: one mask per tile row.
    std::vector<uint8_t>& masks = wipe::Scratch<uint8_t, wipe::ScratchUse::PhaseMasks>();
    masks.assign(static_cast<size_t>(4 * w), 0);
    for (int64_t row = 0; row < 4; ++row)
        for (int64_t i = 0; i < w; ++i)
            masks[static_cast<size_t>(row * w + i)] = pattern[row * 4 + ((i / cell) & 3)] <= limit ? 1 : 0;
    // Blended cells up to four pixels wide make runs that cost more than one blend of each group
    // under its lane mask (wider cells do better as runs).
    if ((cell <= 2 && c.CopiesByLanes()) || (cell <= 4 && c.BlendsByLanes())) {
        c.PhasedMaskedRows(0, h, masks.data(), 4, cell);
        return;
    }
    if (cell <= 2 && c.DrawsInAnyOrder()) {
        // Runs of one to eight pixels: each row is drawn whole and keeps what its mask hides. A
        // tile row that shows nothing is skipped, and rows that show every column are drawn as one
        // piece, without a mask.
        enum class Shows { None, All, Some };
        Shows shows[4];
        for (int64_t row = 0; row < 4; ++row) {
            const uint8_t* on = masks.data() + row * w;
            const int64_t count = std::count(on, on + w, uint8_t{1});
            shows[row] = count == 0 ? Shows::None : count == w ? Shows::All : Shows::Some;
        }
        const auto phase = [&](int64_t j) { return (j / cell) & 3; };
        for (int64_t j = 0; j < h;) {
            const Shows kind = shows[phase(j)];
            int64_t end = j + 1;
            if (kind == Shows::All) {
                while (end < h && shows[phase(end)] == Shows::All)
                    ++end;
                c.Piece(0, j, w, end);
            } else if (kind == Shows::Some) {
                while (end < h && phase(end) == phase(j))
                    ++end;
                c.ScatteredMaskedRows(j, end, masks.data() + phase(j) * w);
            }
            j = end;
        }
        return;
    }
    auto& runs = wipe::Scratch<std::vector<CWipeCanvas::ColumnRun>, wipe::ScratchUse::PhaseRuns>();
    runs.resize(std::max<size_t>(runs.size(), 4));
    for (int64_t row = 0; row < 4; ++row)
        c.RunsOf(masks.data() + row * w, runs[row]);
    if (cell > 1 || !c.DrawsInAnyOrder()) {
        for (int64_t j = 0; j < h; j += cell)
            c.RunRows(j, std::min(j + cell, h), runs[(j / cell) & 3]);
        return;
    }
    // Single-row tiles: in bands of rows, the rows of each tile row (four apart) go together.
    constexpr int64_t kBand = 64;
    for (int64_t band = 0; band < h; band += kBand)
        for (int64_t row = 0; row < 4; ++row)
            c.RunRows(band + row, std::min(band + kBand, h), runs[row], 4);
}

// --- block grids ---

using Placed = CWipeCanvas::Placed;

using wipe::PieceBatch;

template <typename Out, typename Visit>
void WalkBlocks(const CWipeCanvas& c, int64_t n, int64_t m, Out& out, Visit& visit)
{
    int64_t k = 0;
    for (int64_t j = 0; j < c.Height(); j += m, ++k) {
        for (int64_t i = 0; i < c.Width(); i += n)
            visit(i, j, k, out);
        out.EndRow();
    }
}

template <int Width, typename Visit> void WalkDirect(CWipeCanvas& c, int64_t m, Visit& visit)
{
    if (c.Mode() == kTransitionBlendAlpha) {
        wipe::BlockWriter<Width, true> out(c);
        WalkBlocks(c, Width, m, out, visit);
    } else {
        wipe::BlockWriter<Width, false> out(c);
        WalkBlocks(c, Width, m, out, visit);
    }
}

// Visits the blocks of the n x m grid row by row: visit(i, j, row index k, out) adds what block
// (i, j) draws to out (BlockAt), and the blocks are drawn in that order. Blocks 2, 4 or 8 pixels
// wide on plain memory images are drawn as they come: a list of pieces per grid row costs more
// than the blocks' pixels.
template <typename Visit> void ForBlocks(CWipeCanvas& c, int64_t n, int64_t m, Visit visit)
{
    if (c.WritesBlocks()) {
        switch (n) {
        case 2:
            return WalkDirect<2>(c, m, visit);
        case 4:
            return WalkDirect<4>(c, m, visit);
        case 8:
            return WalkDirect<8>(c, m, visit);
        default:
            break;
        }
    }
    PieceBatch out(c, static_cast<size_t>((c.Width() + n - 1) / n));
    WalkBlocks(c, n, m, out, visit);
}

// Block (i, j) of n x m, clamped, with its top-left at (dx, dy).
template <typename Out>
inline __attribute__((always_inline)) void BlockAt(Out& out, const CWipeCanvas& c, int64_t i, int64_t j,
                                                   int64_t n, int64_t m, int64_t dx, int64_t dy)
{
    out.Add(Placed{i, j, std::min<int64_t>(i + n, c.Width()), std::min<int64_t>(j + m, c.Height()), dx, dy});
}

// The scatter amplitude: w + h at progress 0, towards 0 at 256.
int64_t Amplitude(const CWipeCanvas& c, int32_t progress)
{
    const int64_t sum = int64_t{c.Width()} + c.Height();
    return sum - ((sum * progress) >> 8);
}

// a / d truncated toward zero, for |a| below 2^52 and d non-zero. A double division is several
// times faster than a 64-bit integer one, and exact here: a quotient that is not a whole number
// lies at least 1/|a| (relatively) from one, far more than the rounding of the division.
inline int64_t Quotient(int64_t a, int64_t d)
{
    return static_cast<int64_t>(static_cast<double>(a) / static_cast<double>(d));
}

// Unit direction (length 256) away from the centre, (dx, dy) itself at the centre.
void Direction(int64_t dx, int64_t dy, int64_t* ux, int64_t* uy)
{
    const int64_t d = ISqrt(dx * dx + dy * dy);
    if (d != 0) {
        *ux = Quotient(dx * 256, d);
        *uy = Quotient(dy * 256, d);
    } else {
        *ux = dx;
        *uy = dy;
    }
}

// The directions of the blocks of an n x m grid, away from the centre of a w x h picture, in the
// order ForBlocks visits them. They depend only on the sizes: a wipe works them out at its first
// step and reads them at the others, where a square root and two divisions per block cost more
// than the block's pixels. Grids of more blocks than the table holds are worked out each step. Eight
// zero pairs follow the last block's, for walks that read eight blocks at a time.
class Directions {
public:
    // The directions of the canvas's grid, or null when it has too many blocks for the table.
    static const int16_t* Of(const CWipeCanvas& c, int64_t n, int64_t m)
    {
        static thread_local Directions table;
        return table.For(c.Width(), c.Height(), n, m);
    }

private:
    static constexpr int64_t kMostBlocks = int64_t{1} << 21;

    const int16_t* For(int64_t w, int64_t h, int64_t n, int64_t m)
    {
        if (w == m_w && h == m_h && n == m_n && m == m_m)
            return m_pairs.data();
        const int64_t blocks = ((w + n - 1) / n) * ((h + m - 1) / m);
        if (w < 1 || h < 1 || blocks > kMostBlocks)
            return nullptr;
        m_pairs.assign(static_cast<size_t>(blocks) * 2 + 16, 0);
        int16_t* out = m_pairs.data();
        const int64_t hw = w / 2, hh = h / 2;
        for (int64_t j = 0; j < h; j += m)
            for (int64_t i = 0; i < w; i += n) {
                int64_t ux, uy;
                Direction(i - hw, j - hh, &ux, &uy); // |ux|, |uy| <= 256: the root is at least |dx|
                *out++ = static_cast<int16_t>(ux);
                *out++ = static_cast<int16_t>(uy);
            }
        m_w = w;
        m_h = h;
        m_n = n;
        m_m = m;
        return m_pairs.data();
    }

    int64_t m_w = 0, m_h = 0, m_n = 0, m_m = 0;
    std::vector<int16_t> m_pairs;
};

// The direction of the next block: from the table while there is one, else worked out.
inline void NextDirection(const int16_t*& table, int64_t dx, int64_t dy, int64_t* ux, int64_t* uy)
{
    if (table != nullptr) {
        *ux = table[0];
        *uy = table[1];
        table += 2;
        return;
    }
    Direction(dx, dy, ux, uy);
}

// Draws nothing when the noise table could not be made.
void Burst(CWipeCanvas& c, int32_t progress, int64_t n, int64_t m)
{
    if (!NoiseReady())
        return;
    const int64_t a = Amplitude(c, progress);
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    const int16_t* directions = Directions::Of(c, n, m);
    if (m == 2 && (n == 2 || n == 4) && directions != nullptr && wipe::ScatterFits(c))
        return wipe::BurstLanes(c, static_cast<int>(n), a, directions);
    ForBlocks(c, n, m, [&](int64_t i, int64_t j, int64_t k, auto& batch) {
        int64_t ux, uy;
        NextDirection(directions, i - hw, j - hh, &ux, &uy);
        const int64_t na = 26 * k, nb = 1 + 38 * k;
        BlockAt(batch, c, i, j, n, m, int64_t{c.X()} + i + ((Noise(na + i) * ux * a) >> 16),
                int64_t{c.Y()} + j + ((Noise(nb + i) * uy * a) >> 16));
    });
}

// The block's corner turned about the centre by the angle of C0 and S0.
void Rotate(int64_t c0, int64_t s0, int64_t dx, int64_t dy, int64_t* rx, int64_t* ry)
{
    *rx = ((c0 * dx) >> 16) - ((s0 * dy) >> 16);
    *ry = ((c0 * dy) >> 16) + ((s0 * dx) >> 16);
}

int32_t RotateBlocks(CWipeCanvas& c, int32_t progress, int64_t n)
{
    if (g_pCosTable == nullptr)
        return 1;
    const int64_t t = (256 - int64_t{progress}) * 2;
    const int64_t c0 = Cos(t), s0 = Cos(t - 128);
    if (wipe::TurnedGrid(c, n, c0, s0))
        return 0;
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    ForBlocks(c, n, n, [&](int64_t i, int64_t j, int64_t, auto& batch) {
        int64_t rx, ry;
        Rotate(c0, s0, i - hw, j - hh, &rx, &ry);
        BlockAt(batch, c, i, j, n, n, int64_t{c.X()} + hw + rx, int64_t{c.Y()} + hh + ry);
    });
    return 0;
}

// Draws nothing when the noise table could not be made.
void DropCells(CWipeCanvas& c, int32_t progress, int64_t n, int s)
{
    if (!NoiseReady() || wipe::DroppedGrid(c, n, s, progress, g_pNoiseTable))
        return;
    ForBlocks(c, n, n, [&](int64_t i, int64_t j, int64_t, auto& batch) {
        const int64_t v = Noise((i >> 3) + 13 * j);
        int64_t k = (((v >> 1) + progress) >> s) - n;
        if (k <= 0)
            return;
        k = std::min(k, n);
        BlockAt(batch, c, i, j, n, k, int64_t{c.X()} + i, int64_t{c.Y()} + j + n - k);
    });
}

} // namespace

// Entries that draw one shared pattern with fixed arguments, a row each.
#define WIPE_PATTERN(name, call)                                                                             \
    TESSARO_WIPE(name)                                                                                       \
    {                                                                                                        \
        WIPE_BEGIN(c);                                                                                       \
        call;                                                                                                \
        return 0;                                                                                            \
    }

WIPE_PATTERN(WipeBlindsColumns8,          BlindColumns(c, progress, 8, false, 5))
WIPE_PATTERN(WipeBlindsColumns8Reverse,   BlindColumns(c, progress, 8, true, 5))
WIPE_PATTERN(WipeBlindsColumns16,         BlindColumns(c, progress, 16, false, 4))
WIPE_PATTERN(WipeBlindsColumns16Reverse,  BlindColumns(c, progress, 16, true, 4))
WIPE_PATTERN(WipeBlindsRows8,             BlindRows(c, progress, 8, false, 5))
WIPE_PATTERN(WipeBlindsRows8Reverse,      BlindRows(c, progress, 8, true, 5))
WIPE_PATTERN(WipeBlindsRows16,            BlindRows(c, progress, 16, false, 4))
WIPE_PATTERN(WipeBlindsRows16Reverse,     BlindRows(c, progress, 16, true, 4))
WIPE_PATTERN(WipeSlantedDashes8,          SlantedDashes(c, 8, 7, progress >> 5))
WIPE_PATTERN(WipeSlantedDashes16,         SlantedDashes(c, 16, 15, progress >> 4))
WIPE_PATTERN(WipeTileSpiralIn1,           TileSpiral(c, progress, 1, kSpiralIn))
WIPE_PATTERN(WipeTileSpiralOut1,          TileSpiral(c, progress, 1, kSpiralOut))
WIPE_PATTERN(WipeTileSpiralIn2,           TileSpiral(c, progress, 2, kSpiralIn))
WIPE_PATTERN(WipeTileSpiralOut2,          TileSpiral(c, progress, 2, kSpiralOut))
WIPE_PATTERN(WipeTileSpiralIn4,           TileSpiral(c, progress, 4, kSpiralIn))
WIPE_PATTERN(WipeTileSpiralOut4,          TileSpiral(c, progress, 4, kSpiralOut))
WIPE_PATTERN(WipeTileSpiralIn8,           TileSpiral(c, progress, 8, kSpiralIn))
WIPE_PATTERN(WipeTileSpiralOut8,          TileSpiral(c, progress, 8, kSpiralOut))

TESSARO_WIPE(WipeScatterNoise)
{
    WIPE_BEGIN(c);
    if (!NoiseReady())
        return 0;
    const int64_t a = Amplitude(c, progress);
    if (wipe::ScatterFits(c)) {
        wipe::ScatterNoiseLanes(c, a);
        return 0;
    }
    ForBlocks(c, 4, 2, [&](int64_t i, int64_t j, int64_t, auto& batch) {
        BlockAt(batch, c, i, j, 4, 2, int64_t{x} + i + ((Noise(i + j) * a) >> 8),
                int64_t{y} + j + ((Noise(i + j + 1) * a) >> 8));
    });
    return 0;
}

WIPE_PATTERN(WipeBurstBlocks,             Burst(c, progress, 4, 2))
WIPE_PATTERN(WipeBurstBlocks2,            Burst(c, progress, 2, 2))

TESSARO_WIPE(WipeBurstSwirl)
{
    WIPE_BEGIN(c);
    const bool noise = NoiseReady();
    if (g_pCosTable == nullptr)
        return 1;
    if (!noise)
        return 0;
    const int64_t a = Amplitude(c, progress);
    const int64_t t = (256 - int64_t{progress}) * 2;
    const int64_t ct = Cos(t), st = Cos(t - 128);
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    const int16_t* directions = Directions::Of(c, 4, 2);
    if (directions != nullptr && wipe::ScatterFits(c)) {
        wipe::BurstSwirlLanes(c, a, ct, st, directions);
        return 0;
    }
    ForBlocks(c, 4, 2, [&](int64_t i, int64_t j, int64_t k, auto& batch) {
        int64_t ux, uy;
        NextDirection(directions, i - hw, j - hh, &ux, &uy);
        const int64_t na = 26 * k, nb = 1 + 38 * k;
        const int64_t ox = (((Noise(na + i) * ux * a) >> 16) * ct) >> 16;
        const int64_t oy = (((Noise(nb + i) * uy * a) >> 16) * st) >> 16;
        BlockAt(batch, c, i, j, 4, 2, int64_t{x} + i + ox, int64_t{y} + j + oy);
    });
    return 0;
}

TESSARO_WIPE(WipeSpinOut)
{
    WIPE_BEGIN(c);
    if (g_pCosTable == nullptr)
        return 1;
    const int64_t a = Amplitude(c, progress);
    const int64_t t = (256 - int64_t{progress}) * 2;
    const int64_t ct = Cos(t), st = Cos(t - 128);
    if (wipe::SpunGrid(c, ct, st, a))
        return 0;
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    ForBlocks(c, 4, 2, [&](int64_t i, int64_t j, int64_t, auto& batch) {
        const int64_t dx = i - hw, dy = j - hh;
        const int64_t d = ISqrt(dx * dx + dy * dy);
        int64_t ux = dx, uy = dy;
        if (d != 0) {
            ux = Quotient((st * dx * 256) >> 16, d);
            uy = Quotient((ct * dy * 256) >> 16, d);
        }
        BlockAt(batch, c, i, j, 4, 2, int64_t{x} + i + ((ux * a) >> 8), int64_t{y} + j + ((uy * a) >> 8));
    });
    return 0;
}

TESSARO_WIPE(WipeZoomOut)
{
    WIPE_BEGIN(c);
    if (g_pCosTable == nullptr)
        return 1;
    const int64_t a = Amplitude(c, progress);
    const int64_t t = (256 - int64_t{progress}) * 2;
    const int64_t cx = Cos(t >> 2), sy = Cos(t - 128);
    if (wipe::ZoomedGrid(c, cx, sy, a))
        return 0;
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    // 64-bit products throughout: the 32-bit product of a far corner and the cosine would wrap for
    // pictures wider than 32767 pixels.
    ForBlocks(c, 4, 2, [&](int64_t i, int64_t j, int64_t, auto& batch) {
        const int64_t dx = i - hw, dy = j - hh;
        BlockAt(batch, c, i, j, 4, 2, int64_t{x} + i + ((dx * cx * a) >> 24),
                int64_t{y} + j + ((dy * sy * a) >> 24));
    });
    return 0;
}

TESSARO_WIPE(WipeRotateBlocks2)
{
    WIPE_BEGIN(c);
    return RotateBlocks(c, progress, 2);
}

TESSARO_WIPE(WipeRotateBlocks4)
{
    WIPE_BEGIN(c);
    return RotateBlocks(c, progress, 4);
}

TESSARO_WIPE(WipeRotateBlocks8)
{
    WIPE_BEGIN(c);
    return RotateBlocks(c, progress, 8);
}

TESSARO_WIPE(WipeRotateBurst)
{
    WIPE_BEGIN(c);
    const bool noise = NoiseReady();
    if (g_pCosTable == nullptr)
        return 1;
    if (!noise)
        return 0;
    const int64_t a = Amplitude(c, progress);
    const int64_t t = (256 - int64_t{progress}) * 2;
    const int64_t c0 = Cos(t), s0 = Cos(t - 128);
    const int64_t hw = c.Width() / 2, hh = c.Height() / 2;
    const int16_t* directions = Directions::Of(c, 4, 4);
    if (directions != nullptr && wipe::ScatterFits(c)) {
        wipe::RotateBurstLanes(c, a, c0, s0, directions);
        return 0;
    }
    ForBlocks(c, 4, 4, [&](int64_t i, int64_t j, int64_t k, auto& batch) {
        const int64_t dx = i - hw, dy = j - hh;
        int64_t ux, uy, rx, ry;
        NextDirection(directions, dx, dy, &ux, &uy);
        Rotate(c0, s0, dx, dy, &rx, &ry);
        const int64_t na = 52 * k, nb = 1 + 76 * k;
        const int64_t X = int64_t{x} + i + rx - ux + ((((Noise(na + i) * ux * a) >> 16) * c0) >> 16);
        const int64_t Y = int64_t{y} + j + ry - uy + ((((Noise(nb + i) * uy * a) >> 16) * s0) >> 16);
        BlockAt(batch, c, i, j, 4, 4, X, Y);
    });
    return 0;
}

WIPE_PATTERN(WipeDropCells8,              DropCells(c, progress, 8, 4))
WIPE_PATTERN(WipeDropCells16,             DropCells(c, progress, 16, 3))

TESSARO_WIPE(WipeJitterBlocks)
{
    WIPE_BEGIN(c);
    if (!NoiseReady())
        return 0;
    const int64_t q = (progress >> 1) + 1;
    // The offset of each noise value, worked out once a step rather than twice a block.
    int32_t offset[256];
    for (int64_t u = 0; u < 256; ++u)
        offset[u] = static_cast<int32_t>(Quotient(u - 128, q));
    if (wipe::JitteredGrid(c, g_pNoiseTable, offset, offset))
        return 0;
    ForBlocks(c, 4, 4, [&](int64_t i, int64_t j, int64_t, auto& batch) {
        const int64_t u = Noise((i >> 2) + 13 * (j >> 2)), v = Noise((i >> 2) + 19 * (j >> 2));
        BlockAt(batch, c, i, j, 4, 4, int64_t{x} + i + offset[u], int64_t{y} + j + offset[v]);
    });
    return 0;
}

TESSARO_WIPE(WipeJitterBlocksLinear)
{
    WIPE_BEGIN(c);
    if (!NoiseReady())
        return 0;
    const int64_t m = 256 - progress;
    int32_t ox[256], oy[256];
    for (int64_t u = 0; u < 256; ++u) {
        ox[u] = static_cast<int32_t>(((u - 128) * m) >> 11);
        oy[u] = static_cast<int32_t>((u * m) >> 11);
    }
    if (wipe::JitteredGrid(c, g_pNoiseTable, ox, oy))
        return 0;
    ForBlocks(c, 4, 4, [&](int64_t i, int64_t j, int64_t, auto& batch) {
        const int64_t u = Noise((i >> 2) + 13 * (j >> 2)), v = Noise((i >> 2) + 19 * (j >> 2));
        BlockAt(batch, c, i, j, 4, 4, int64_t{x} + i + (((u - 128) * m) >> 11),
                int64_t{y} + j + ((v * m) >> 11));
    });
    return 0;
}
