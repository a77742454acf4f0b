// The DirectSound object (CoCreateInstance), its buffer creation and cooperative level, the device
// enumeration and "dsound.dll" as a built-in module.
#include <SDL.h>

#include <cstring>
#include <new>
#include <string>

#include "winapi/dsound/device.h"
#include "winapi/kernel_module.h"
#include "winapi/text.h"

const CLSID CLSID_DirectSound = {0x47d4d946, 0x62e8, 0x11cf, {0x93, 0xbc, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const IID IID_IDirectSound = {0x279afa83, 0x4981, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};
const IID IID_IDirectSoundBuffer = {0x279afa85, 0x4981, 0x11ce, {0xa5, 0x21, 0x00, 0x20, 0xaf, 0x0b, 0xe5, 0x60}};
const IID IID_IDirectSoundNotify = {0xb0210783, 0x89cd, 0x11d0, {0xaf, 0x08, 0x00, 0xa0, 0xc9, 0x25, 0xcd, 0x16}};

namespace winapi::ds {

namespace {


struct Output {
    GUID guid;
    std::string description; // Shift-JIS
    std::string sdlName;     // UTF-8, for SDL_OpenAudioDevice
};

// A GUID derived from an output's name (two FNV-1a hashes), so it stays the same between runs.
GUID GuidFromName(const std::string& name)
{
    uint64_t a = 0xcbf29ce484222325ull;
    uint64_t b = 0x84222325cbf29ce4ull;
    for (unsigned char c : name) {
        a = (a ^ c) * 0x100000001b3ull;
        b = (b ^ c) * 0x100000001b3ull + 0x9e3779b97f4a7c15ull;
    }
    GUID g{};
    g.Data1 = static_cast<uint32_t>(a);
    g.Data2 = static_cast<uint16_t>(a >> 32);
    g.Data3 = static_cast<uint16_t>(a >> 48);
    for (int i = 0; i < 8; ++i)
        g.Data4[i] = static_cast<uint8_t>(b >> (8 * i));
    return g;
}

std::vector<Output> Outputs()
{
    std::vector<Output> outputs;
    if (UseRecordedOutput()) {
        const std::string name = "Headless audio output";
        outputs.push_back(Output{GuidFromName(name), name, std::string()});
        return outputs;
    }
    if (!StartSdlAudio())
        return outputs;
    const int count = SDL_GetNumAudioDevices(0);
    for (int i = 0; i < count; ++i) {
        const char* name = SDL_GetAudioDeviceName(i, 0);
        if (!name)
            continue;
        // A name Shift-JIS cannot hold is left out rather than shown with '?' in it.
        const std::string sjis = Utf8ToSjis(name);
        if (SjisToUtf8(sjis) != name)
            continue;
        outputs.push_back(Output{GuidFromName(name), sjis, name});
    }
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
    return outputs;
}

class DirectSound final : public IDirectSound {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override
    {
        if (!out)
            return E_POINTER;
        *out = nullptr;
        if (!(iid == IID_IDirectSound))
            return E_NOINTERFACE;
        AddRef();
        *out = static_cast<IDirectSound*>(this);
        return S_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override
    {
        const ULONG n = --refs_;
        if (n == 0)
            delete this;
        return n;
    }

    HRESULT Initialize(const GUID* guid) override
    {
        if (device_)
            return DSERR_INVALIDCALL;
        if (Dsound().failInitialize)
            return DSERR_NODRIVER;
        std::string sdlName;
        if (guid) {
            bool found = false;
            for (const Output& o : Outputs()) {
                if (o.guid == *guid) {
                    sdlName = o.sdlName;
                    found = true;
                }
            }
            if (!found)
                return DSERR_NODRIVER;
        }
        if (auto shared = FindOpenDevice(sdlName)) {
            device_ = shared;
            return DS_OK;
        }
        auto device = std::make_shared<Device>();
        if (!device->Open(sdlName))
            return DSERR_NODRIVER;
        device->outputName = sdlName;
        device->users = 1;
        device_ = device;
        RegisterDevice(device_);
        return DS_OK;
    }

    HRESULT SetCooperativeLevel(HWND hwnd, DWORD level) override
    {
        if (!device_)
            return DSERR_INVALIDCALL;
        if (!hwnd || (level != DSSCL_NORMAL && level != DSSCL_PRIORITY))
            return DSERR_INVALIDPARAM;
        if (level == DSSCL_PRIORITY && Dsound().normalOnly)
            return DSERR_INVALIDCALL;
        std::lock_guard<std::recursive_mutex> lock(device_->mutex);
        // On a shared device a second program's normal level leaves the first one's priority.
        if (device_->window == nullptr || device_->users <= 1 || level >= device_->level) {
            device_->window = hwnd;
            device_->level = level;
        }
        return DS_OK;
    }

    HRESULT CreateSoundBuffer(LPCDSBUFFERDESC desc, IDirectSoundBuffer** out, LPUNKNOWN outer) override
    {
        if (!out || !desc || outer)
            return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (!device_)
            return DSERR_INVALIDCALL;
        if (Dsound().refuseCreateBuffer)
            return DSERR_OUTOFMEMORY;
        if (Dsound().refuseControls && (desc->dwFlags & (DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY)))
            return DSERR_CONTROLUNAVAIL;
        if (desc->dwFlags & DSBCAPS_PRIMARYBUFFER) {
            if (desc->dwBufferBytes != 0 || desc->lpwfxFormat)
                return DSERR_INVALIDPARAM;
            WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 44100 * 4, 4, 16, 0};
            *out = new (std::nothrow) Buffer(device_, desc->dwFlags, f, nullptr, true);
            return *out ? DS_OK : DSERR_OUTOFMEMORY;
        }
        if (desc->dwBufferBytes < DSBSIZE_MIN || desc->dwBufferBytes > DSBSIZE_MAX || !desc->lpwfxFormat)
            return DSERR_INVALIDPARAM;
        WAVEFORMATEX f = *desc->lpwfxFormat;
        if (!ValidPcm(f) || desc->dwBufferBytes < f.nBlockAlign)
            return DSERR_BADFORMAT;
        f.cbSize = 0;
        std::shared_ptr<std::vector<uint8_t>> data;
        try {
            data = std::make_shared<std::vector<uint8_t>>(desc->dwBufferBytes, uint8_t(f.wBitsPerSample == 8 ? 0x80 : 0));
        } catch (const std::bad_alloc&) {
            return DSERR_OUTOFMEMORY;
        }
        *out = new (std::nothrow) Buffer(device_, desc->dwFlags, f, data, false);
        return *out ? DS_OK : DSERR_OUTOFMEMORY;
    }

    HRESULT DuplicateSoundBuffer(IDirectSoundBuffer* source, IDirectSoundBuffer** out) override
    {
        if (!source || !out)
            return DSERR_INVALIDPARAM;
        *out = nullptr;
        if (!device_)
            return DSERR_INVALIDCALL;
        auto* b = static_cast<Buffer*>(source);
        if (b->IsPrimary())
            return DSERR_INVALIDCALL;
        *out = b->Duplicate();
        return DS_OK;
    }

private:
    ~DirectSound()
    {
        if (device_ && --device_->users <= 0) {
            UnregisterDevice(device_.get());
            device_->Close();
        }
    }

    std::atomic<ULONG> refs_{1};
    std::shared_ptr<Device> device_;
};

HRESULT WINAPI EnumerateA(LPDSENUMCALLBACKA callback, LPVOID context)
{
    return DirectSoundEnumerateA(callback, context);
}

const BuiltinProc kDsoundProcs[] = {
    {"DirectSoundEnumerateA", ToFarProc(&EnumerateA)},
};

// "dsound.dll" is there from the start, as on Windows.
const bool kRegistered = RegisterBuiltinModule("dsound.dll", kDsoundProcs, std::size(kDsoundProcs));

} // namespace

} // namespace winapi::ds

namespace winapi {

void RegisterDirectSoundClass()
{
    static const bool registered = [] {
        RegisterComClass(CLSID_DirectSound, [](REFIID iid, void** out) -> HRESULT {
            if (!(iid == IID_IDirectSound))
                return E_NOINTERFACE;
            if (Dsound().failCoCreate)
                return E_FAIL;
            *out = static_cast<IDirectSound*>(new (std::nothrow) ds::DirectSound);
            return *out ? S_OK : E_OUTOFMEMORY;
        });
        return ds::kRegistered;
    }();
    (void)registered;
}

} // namespace winapi

HRESULT WINAPI DirectSoundEnumerateA(LPDSENUMCALLBACKA callback, LPVOID context)
{
    if (!callback)
        return DSERR_INVALIDPARAM;
    if (!callback(nullptr, "Primary Sound Driver", "", context))
        return DS_OK;
    for (auto& o : winapi::ds::Outputs()) {
        GUID g = o.guid;
        if (!callback(&g, o.description.c_str(), o.sdlName.empty() ? "headless" : "sdl", context))
            break;
    }
    return DS_OK;
}
