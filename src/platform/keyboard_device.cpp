// The keyboard back-ends; see keyboard_device.h.
#include "platform/keyboard_device.h"

#include <cstring>

#include "platform/direct_input_device.h"
#include "platform/key_code_table.h"

CKeyboardDevice::CKeyboardDevice()
{
    RefreshToggleKeys();
}

bool CKeyboardDevice::IsDown(int code)
{
    return (Latest()[code & 0xFF] & 0x80) != 0;
}

bool CKeyboardDevice::IsPushed(int code)
{
    return (Latest()[code & 0xFF] & 0x80) != 0 && (Previous()[code & 0xFF] & 0x80) == 0;
}

int CKeyboardDevice::FindFirstDown()
{
    for (int code = 0; code < 256; ++code)
        if (IsDown(code))
            return code;
    return -1;
}

int CKeyboardDevice::FindFirstPushed()
{
    for (int code = 0; code < 256; ++code)
        if (IsPushed(code))
            return code;
    return -1;
}

void CKeyboardDevice::Clear()
{
    std::memset(m_state, 0, sizeof(m_state));
}

bool CKeyboardDevice::IsRepeated(int)
{
    return false;
}

void CKeyboardDevice::RefreshToggleKey(int virtualKey)
{
    if (virtualKey == 0 || virtualKey == VK_CAPITAL)
        m_capsLock = GetKeyState(VK_CAPITAL) & 1;
    if (virtualKey == 0 || virtualKey == VK_NUMLOCK)
        m_numLock = GetKeyState(VK_NUMLOCK) & 1;
    if (virtualKey == 0 || virtualKey == VK_SCROLL)
        m_scrollLock = GetKeyState(VK_SCROLL) & 1;
}

// DirectInput.

CDirectInputKeyboard::~CDirectInputKeyboard()
{
    Release();
}

void CDirectInputKeyboard::Release()
{
    ReleaseDevice(m_device);
    Clear();
}

uint32_t CDirectInputKeyboard::Create(IDirectInputA* input, HWND hwnd)
{
    Release();
    if (input == nullptr)
        return 1;
    if (FAILED(input->CreateDevice(GUID_SysKeyboard, &m_device, nullptr)) || m_device == nullptr) {
        m_device = nullptr;
        return 2;
    }
    if (FAILED(m_device->SetDataFormat(&c_dfDIKeyboard))) {
        Release();
        return 3;
    }
    if (FAILED(m_device->SetCooperativeLevel(hwnd, DISCL_NONEXCLUSIVE | DISCL_FOREGROUND))) {
        Release();
        return 4;
    }
    DIDEVCAPS caps{};
    caps.dwSize = sizeof(caps);
    if (SUCCEEDED(m_device->GetCapabilities(&caps)))
        m_keyCount = caps.dwButtons;
    Acquire();
    return 0;
}

void CDirectInputKeyboard::Acquire()
{
    AcquireDevice(m_device);
}

void CDirectInputKeyboard::Unacquire()
{
    UnacquireDevice(m_device);
    Clear();
}

uint32_t CDirectInputKeyboard::Poll()
{
    const uint32_t result = ReadDeviceState(m_device, 256, m_state[m_index]);
    if (result == 0)
        m_index ^= 1;
    else if (result == 2)
        Clear();
    return result;
}

// Polling.

namespace {

void PollRows(uint8_t* sample, const uint8_t* rows, size_t count)
{
    for (size_t i = 0; i < count; ++i) {
        const KeyCodeRow& row = KeyCodeTable[rows != nullptr ? rows[i] : i];
        sample[row.code] = static_cast<uint8_t>(static_cast<uint16_t>(GetAsyncKeyState(row.virtualKey)) >> 8);
    }
}

} // namespace

uint32_t CPollingKeyboard::Poll()
{
    PollRows(m_state[m_index], nullptr, std::size(KeyCodeTable));
    m_index ^= 1;
    return 0;
}

uint32_t CPollingKeyboardSubset::Poll()
{
    PollRows(m_state[m_index], KeyCodeSubset, std::size(KeyCodeSubset));
    m_index ^= 1;
    return 0;
}

// Window messages.

CMessageKeyboard::CMessageKeyboard()
{
    for (const KeyCodeRow& row : KeyCodeTable)
        m_map[row.virtualKey] = row.code;
}

void CMessageKeyboard::OnKeyDown(int virtualKey, LPARAM lParam)
{
    const uint8_t code = m_map[virtualKey & 0xFF];
    m_held[code].store(0x80);
    const bool repeat = (lParam & (LPARAM{1} << 30)) != 0;
    uint8_t flags;
    if (m_keyRepeat)
        flags = repeat ? 3 : 1;
    else if (!repeat)
        flags = 1;
    else
        return;
    // Only the first key-down of a frame counts.
    uint8_t empty = 0;
    m_pending[code].compare_exchange_strong(empty, flags);
}

void CMessageKeyboard::OnKeyUp(int virtualKey)
{
    m_held[m_map[virtualKey & 0xFF]].store(0);
}

uint32_t CMessageKeyboard::Poll()
{
    for (int code = 0; code < 256; ++code)
        m_frame[code] = m_pending[code].exchange(0);
    return 0;
}

bool CMessageKeyboard::IsDown(int code)
{
    return (m_held[code & 0xFF].load() & 0x80) != 0;
}

bool CMessageKeyboard::IsPushed(int code)
{
    return (m_frame[code & 0xFF] & 1) != 0;
}

bool CMessageKeyboard::IsRepeated(int code)
{
    return (m_frame[code & 0xFF] & 2) != 0;
}

int CMessageKeyboard::FindFirstDown()
{
    for (int code = 0; code < 256; ++code)
        if (IsDown(code))
            return code;
    return -1;
}

int CMessageKeyboard::FindFirstPushed()
{
    for (int code = 0; code < 256; ++code)
        if (IsPushed(code))
            return code;
    return -1;
}

void CMessageKeyboard::Clear()
{
    CKeyboardDevice::Clear();
    for (int code = 0; code < 256; ++code) {
        m_pending[code].store(0);
        m_held[code].store(0);
        m_frame[code] = 0;
    }
}
