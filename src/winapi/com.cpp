// CoCreateInstance over the registered classes; see com.h.
#include "winapi/com.h"

#include <mutex>
#include <vector>

#include "winapi/kernel_sync.h"

const IID IID_IUnknown = {0x00000000, 0x0000, 0x0000, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

namespace winapi {

void RegisterDirectInputClass();
void RegisterDirectSoundClass();
void RegisterDirectDrawClass();

namespace {

struct ComClass {
    CLSID clsid;
    ComFactory factory;
};

std::mutex g_classMutex;
std::vector<ComClass>& Classes()
{
    static auto* classes = new std::vector<ComClass>;
    return *classes;
}

} // namespace

void RegisterComClass(const CLSID& clsid, ComFactory factory)
{
    std::lock_guard lock(g_classMutex);
    for (ComClass& entry : Classes())
        if (entry.clsid == clsid) {
            entry.factory = factory;
            return;
        }
    Classes().push_back(ComClass{clsid, factory});
}

} // namespace winapi

HRESULT WINAPI CoCreateInstance(REFCLSID clsid, LPUNKNOWN outer, DWORD, REFIID iid, LPVOID* out)
{
    if (out == nullptr)
        return E_POINTER;
    *out = nullptr;
    if (outer != nullptr)
        return CLASS_E_NOAGGREGATION;
    if (winapi::ComInitCount() == 0)
        return CO_E_NOTINITIALIZED;
    winapi::RegisterDirectInputClass();
    winapi::RegisterDirectSoundClass();
    winapi::RegisterDirectDrawClass();
    winapi::ComFactory factory = nullptr;
    {
        std::lock_guard lock(winapi::g_classMutex);
        for (const auto& entry : winapi::Classes())
            if (entry.clsid == clsid)
                factory = entry.factory;
    }
    return factory == nullptr ? REGDB_E_CLASSNOTREG : factory(iid, out);
}
