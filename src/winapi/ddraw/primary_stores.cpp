// Gathering and scattering the primary's blocks through the windows' backing stores.
#include "winapi/ddraw/primary_stores.h"

#include <algorithm>
#include <cstring>

#include "winapi/ddraw/row_kernels.h"
#include "winapi/gdi_memory_dc.h"
#include "winapi/user_internal.h"

namespace winapi::ddraw {

namespace {

uint32_t ToXrgb(const BYTE* p, int bytes)
{
    if (bytes == 2) {
        const uint32_t v = static_cast<uint32_t>(p[0] | (p[1] << 8));
        const uint32_t r = (v >> 11) & 31, g = (v >> 5) & 63, b = v & 31;
        return ((r << 3 | r >> 2) << 16) | ((g << 2 | g >> 4) << 8) | (b << 3 | b >> 2);
    }
    return static_cast<uint32_t>(p[0] | (p[1] << 8) | (p[2] << 16));
}

void FromXrgb(uint32_t v, BYTE* p, int bytes)
{
    if (bytes == 2) {
        const uint32_t packed = ((v >> 8) & 0xF800) | ((v >> 5) & 0x07E0) | ((v >> 3) & 0x001F);
        p[0] = static_cast<BYTE>(packed);
        p[1] = static_cast<BYTE>(packed >> 8);
        return;
    }
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
    p[2] = static_cast<BYTE>(v >> 16);
    if (bytes == 4)
        p[3] = 0;
}

struct Target {
    std::shared_ptr<user::BackingStore> store;
    RECT client;  // screen coordinates
};

// Fills targets (cleared first) with the windows the area meets.
void FindTargets(const RECT& area, HWND clipWindow, std::vector<Target>& targets)
{
    targets.clear();
    std::lock_guard lock(user::WindowLock());
    for (const auto& window : user::AllWindows()) {
        if (!user::IsTopLevel(*window) || !user::IsVisibleStyle(*window) || user::IsMinimizedStyle(*window) ||
            !window->store || window->messageOnly)
            continue;
        if (clipWindow != nullptr && window->hwnd != clipWindow)
            continue;
        const RECT client = user::ClientRectOnScreen(*window);
        if (std::max(client.left, area.left) < std::min(client.right, area.right) &&
            std::max(client.top, area.top) < std::min(client.bottom, area.bottom))
            targets.push_back({window->store, client});
    }
}

// Runs rows(store row at left, y, left, right) for each row of the area that a store holds.
template <typename Rows> void Walk(const RECT& area, HWND clipWindow, bool write, Rows rows)
{
    // The list's memory is kept from blit to blit on each thread (taken while in use, so that a
    // walk within a walk makes its own).
    thread_local std::vector<Target> kept;
    std::vector<Target> targets;
    targets.swap(kept);
    FindTargets(area, clipWindow, targets);
    for (const Target& target : targets) {
        PixelView view;
        if (!target.store->Lock(&view))
            continue;
        RECT changed{0, 0, 0, 0};
        const LONG left = std::max(area.left, target.client.left);
        const LONG top = std::max(area.top, target.client.top);
        const LONG right = std::min({area.right, target.client.right, target.client.left + view.width});
        const LONG bottom = std::min({area.bottom, target.client.bottom, target.client.top + view.height});
        if (left < right && top < bottom) {
            for (LONG y = top; y < bottom; ++y)
                rows(reinterpret_cast<uint32_t*>(view.top + (y - target.client.top) * view.stride) +
                         (left - target.client.left),
                     y, left, right);
            changed = RECT{left - target.client.left, top - target.client.top, right - target.client.left,
                           bottom - target.client.top};
        }
        target.store->Unlock(write && changed.right > changed.left ? &changed : nullptr);
        if (write)
            target.store->Flush();
    }
    targets.clear();
    if (targets.capacity() > kept.capacity())
        targets.swap(kept);
}

} // namespace

void GatherFromWindows(const PrimaryBlock& block, HWND clipWindow)
{
    const LONG width = block.area.right - block.area.left;
    for (LONG y = 0; y < block.area.bottom - block.area.top; ++y)
        std::memset(block.pixels + y * block.pitch, 0, static_cast<size_t>(width) * block.bytes);
    Walk(block.area, clipWindow, false, [&block](uint32_t* store, LONG y, LONG left, LONG right) {
        BYTE* p = block.pixels + (y - block.area.top) * block.pitch + (left - block.area.left) * block.bytes;
        for (LONG x = left; x < right; ++x, p += block.bytes)
            FromXrgb(store[x - left], p, block.bytes);
    });
}

void ScatterToWindows(const PrimaryBlock& block, HWND clipWindow)
{
    Walk(block.area, clipWindow, true, [&block](uint32_t* store, LONG y, LONG left, LONG right) {
        const BYTE* p = block.pixels + (y - block.area.top) * block.pitch + (left - block.area.left) * block.bytes;
        if (block.bytes == 4) {
            // x888 rows go in as they are.
            CopyRow(p, reinterpret_cast<BYTE*>(store), static_cast<size_t>(right - left) * 4);
            return;
        }
        for (LONG x = left; x < right; ++x, p += block.bytes)
            store[x - left] = ToXrgb(p, block.bytes);
    });
}

void MakeInWindows(const RECT& area, HWND clipWindow, const RowMaker& make)
{
    Walk(area, clipWindow, true,
         [&make](uint32_t* store, LONG y, LONG left, LONG right) { make(y, left, right, store); });
}

} // namespace winapi::ddraw
