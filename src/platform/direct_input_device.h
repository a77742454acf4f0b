// What the DirectInput keyboard, mouse and joystick back-ends do alike with their device: acquire,
// unacquire, release, and read a state with the recovery of a lost device.
#pragma once

#include <cstdint>

#include "winapi/dinput.h"

// Nothing without a device.
void AcquireDevice(IDirectInputDeviceA* device);
void UnacquireDevice(IDirectInputDeviceA* device);
// Unacquires and releases the device; null afterwards.
void ReleaseDevice(IDirectInputDeviceA*& device);
// GetDeviceState into data → 0, 1 no device, 2 read failed (a lost or unacquired device is
// acquired again for the next frame).
uint32_t ReadDeviceState(IDirectInputDeviceA* device, DWORD size, void* data);
