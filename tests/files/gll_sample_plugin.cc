// A GLL plug-in as a third party would build it: its own copy of the loader layout, no engine
// headers. The tests compile it into a Linux shared object and load it through the manager. It
// reads "TST" pictures: "TST", width, height (one byte each), then width x height 0xAARRGGBB words.
#include <cstdint>
#include <cstring>

namespace {

using AllocateFunc = void* (*)(int, int, int, int, int*, uint8_t**, void*);

class SampleLoader {
public:
    virtual ~SampleLoader() = default;
    virtual bool IsSupported(const uint8_t* h, uint32_t size, const char*)
    {
        return h != nullptr && size >= 5 && std::memcmp(h, "TST", 3) == 0;
    }
    virtual int Load(const uint8_t* data, uint32_t size, AllocateFunc allocate, void* user, int eightBit, void*, void*)
    {
        if (!IsSupported(data, size, nullptr) || eightBit)
            return 3;
        const int w = data[3];
        const int h = data[4];
        if (size < 5u + static_cast<uint32_t>(w * h * 4))
            return 3;
        int pitch = 0;
        auto* out = static_cast<uint8_t*>(allocate(w, h, 32, 1, &pitch, nullptr, user));
        if (out == nullptr)
            return 6;
        for (int y = 0; y < h; ++y)
            std::memcpy(out + pitch * y, data + 5 + y * w * 4, static_cast<size_t>(w) * 4);
        m_x = 21;
        m_y = 22;
        return 0;
    }
    virtual int LoadPicture(const uint8_t*, uint32_t, void**, void**, void*, void*) { return 3; }
    virtual int Save(int, const void*, int, int, int, int, void*, void*, const uint8_t*, void*, void*) { return -2; }
    virtual void FreePicture() {}
    virtual void SetOffset(int x, int y)
    {
        m_x = x;
        m_y = y;
    }
    virtual int GetX() { return m_x; }
    virtual int GetY() { return m_y; }
    virtual int Reserved10() { return -2; }
    virtual int Reserved11() { return -2; }
    virtual void* GetExtraData(int) { return nullptr; }
    virtual uint32_t GetExtraSize() { return 0; }
    virtual bool CanSave() { return false; }
    virtual int Reserved15() { return -2; }
    virtual int Reserved16() { return -2; }

    uint32_t m_refCount = 0;
    void* m_info = nullptr;
    void* m_bits = nullptr;
    uint32_t m_pictureSize = 0;
    uint32_t m_stride = 0;
    int m_x = 0;
    int m_y = 0;
    uint32_t m_extraSize = 0;
    void* m_extraData = nullptr;
};

}  // namespace

extern "C" {
uint32_t GetGllType() { return 77; }
const char* GetGllTypeString() { return "Test pictures"; }
const char* GetGllSupportExt() { return "TST\0ELG\0"; }
uint32_t GllAssistFunc(void*) { return 1; }
#ifndef WITHOUT_ASSIST2
uint32_t GllAssistFunc2(void*) { return 2; }
#endif
void* GetGllLoadObject()
{
#ifdef NULL_OBJECT
    return nullptr;
#else
    return new SampleLoader;
#endif
}
}
