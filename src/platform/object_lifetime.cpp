#include "platform/object_lifetime.h"

#include <atomic>

namespace {

struct Listener {
    ObjectDestroyedListener function;
    void* context;
};

std::atomic<const Listener*> g_listener{nullptr};
Listener g_slot{nullptr, nullptr};

} // namespace

void SetObjectDestroyedListener(ObjectDestroyedListener listener, void* context)
{
    g_listener.store(nullptr);
    g_slot = Listener{listener, context};
    if (listener != nullptr)
        g_listener.store(&g_slot);
}

void NotifyObjectDestroyed(const void* object)
{
    if (const Listener* l = g_listener.load())
        l->function(object, l->context);
}
