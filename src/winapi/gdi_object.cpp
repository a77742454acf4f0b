// The GDI object registry: handle → live object.
#include "winapi/gdi_object.h"

#include <unordered_map>

namespace winapi {

namespace {

struct Registry {
    std::mutex mutex;
    std::unordered_map<const void*, std::shared_ptr<GdiObject>> objects;
};

Registry& TheRegistry()
{
    static Registry* registry = new Registry;  // outlives every static destructor that may free a handle
    return *registry;
}

} // namespace

PixelView GdiBitmap::View()
{
    PixelView view;
    view.width = width;
    view.height = height;
    view.bitsPerPixel = bitsPerPixel;
    if (bits == nullptr)
        return view;
    if (bottomUp) {
        view.top = bits + static_cast<std::ptrdiff_t>(pitch) * (height - 1);
        view.stride = -pitch;
    } else {
        view.top = bits;
        view.stride = pitch;
    }
    view.palette = palette.data();
    view.r5g6b5 = bitsPerPixel == 16 && masks[1] == 0x07E0;
    return view;
}

std::mutex& GdiLock()
{
    return TheRegistry().mutex;
}

void GdiRegister(std::shared_ptr<GdiObject> object)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    const void* key = object.get();
    registry.objects.emplace(key, std::move(object));
}

std::shared_ptr<GdiObject> GdiFind(const void* handle)
{
    if (handle == nullptr)
        return nullptr;
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.objects.find(handle);
    return it == registry.objects.end() ? nullptr : it->second;
}

std::shared_ptr<GdiDc> GdiFindDc(HDC hdc)
{
    auto object = GdiFind(hdc);
    if (!object || object->Kind() != GdiKind::Dc)
        return nullptr;
    return std::static_pointer_cast<GdiDc>(object);
}

std::shared_ptr<GdiBitmap> GdiFindBitmap(const void* handle)
{
    auto object = GdiFind(handle);
    if (!object || object->Kind() != GdiKind::Bitmap)
        return nullptr;
    return std::static_pointer_cast<GdiBitmap>(object);
}

void GdiUnregister(const void* handle)
{
    std::shared_ptr<GdiObject> doomed;  // destroyed outside the lock
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    auto it = registry.objects.find(handle);
    if (it != registry.objects.end()) {
        doomed = std::move(it->second);
        registry.objects.erase(it);
    }
}

} // namespace winapi

namespace winapi {

std::shared_ptr<GdiBrush> GdiFindBrush(const void* handle)
{
    auto object = GdiFind(handle);
    if (!object || object->Kind() != GdiKind::Brush)
        return nullptr;
    return std::static_pointer_cast<GdiBrush>(object);
}

GdiSlot GdiWithdraw(const void* handle)
{
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    return registry.objects.extract(handle);
}

void GdiReinstate(GdiSlot slot)
{
    if (slot.empty())
        return;
    Registry& registry = TheRegistry();
    std::lock_guard lock(registry.mutex);
    registry.objects.insert(std::move(slot));
}

} // namespace winapi
