// The DirectInput probe; see direct_input_probe.h.
#include "platform/direct_input_probe.h"

#include "platform/com_init.h"
#include "winapi/kernel.h"

CDirectInputProbe::CDirectInputProbe()
{
    m_comInitialised = ComInitForThread() == 0 ? 1 : 0;
}

CDirectInputProbe::~CDirectInputProbe()
{
    Release();
    if (m_comInitialised)
        ComUninitForThread();
}

void CDirectInputProbe::Release()
{
    if (m_input != nullptr) {
        m_input->Release();
        m_input = nullptr;
    }
    if (m_module != nullptr) {
        FreeLibrary(m_module);
        m_module = nullptr;
    }
    m_version = 0;
}

uint32_t CDirectInputProbe::Create(HINSTANCE instance)
{
    if (!m_comInitialised)
        return 1;
    Release();
    void* object = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_DirectInput, nullptr, CLSCTX_INPROC_SERVER, IID_IDirectInputA, &object))) {
        m_input = static_cast<IDirectInputA*>(object);
        for (uint32_t version : {0x0500u, 0x0300u})
            if (SUCCEEDED(m_input->Initialize(instance, version))) {
                m_version = version;
                return 0;
            }
        Release();
        return 3;
    }
    m_module = LoadLibraryA("dinput.dll");
    using CreateProc = HRESULT(WINAPI*)(HINSTANCE, DWORD, IDirectInputA**, IUnknown*);
    auto create = m_module != nullptr ? reinterpret_cast<CreateProc>(GetProcAddress(m_module, "DirectInputCreateA")) : nullptr;
    if (create == nullptr) {
        Release();
        return 2;
    }
    if (SUCCEEDED(create(instance, 0x0300, &m_input, nullptr)) && m_input != nullptr) {
        m_version = 0x0300;
        return 0;
    }
    m_input = nullptr;
    return 3;
}
