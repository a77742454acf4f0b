// Shared DirectInput device steps; see direct_input_device.h.
#include "platform/direct_input_device.h"

void AcquireDevice(IDirectInputDeviceA* device)
{
    if (device != nullptr)
        device->Acquire();
}

void UnacquireDevice(IDirectInputDeviceA* device)
{
    if (device != nullptr)
        device->Unacquire();
}

void ReleaseDevice(IDirectInputDeviceA*& device)
{
    if (device != nullptr) {
        device->Unacquire();
        device->Release();
        device = nullptr;
    }
}

uint32_t ReadDeviceState(IDirectInputDeviceA* device, DWORD size, void* data)
{
    if (device == nullptr)
        return 1;
    const HRESULT result = device->GetDeviceState(size, data);
    if (SUCCEEDED(result))
        return 0;
    if (result == DIERR_INPUTLOST || result == DIERR_NOTACQUIRED)
        device->Acquire();
    return 2;
}
