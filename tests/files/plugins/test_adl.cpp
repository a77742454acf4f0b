// An archive-decoder plug-in for the loading tests, built in several kinds (one define each):
// GOOD (all seven exports), NO_CONFIG (no configuration export), NO_ASSIST2 (a required export
// missing), NULL_OBJECT (the decode-object getter answers null), THROWS (a getter throws).
#include <stdexcept>

#include "files/archive.h"

namespace {

class TestDecoder : public CArchiveDecoder {
public:
    CArchive* Open(const char*, HANDLE, int* outCode) override
    {
        *outCode = 1;
        return nullptr;
    }
    DWORD Assist(void*) override { return 77; }
};

} // namespace

extern "C" {

__attribute__((visibility("default"))) DWORD GetAdlType()
{
#ifdef TEST_ADL_THROWS
    throw std::runtime_error("broken plug-in");
#else
    return 9;
#endif
}

__attribute__((visibility("default"))) const char* GetAdlTypeString()
{
    return "Test archive";
}

__attribute__((visibility("default"))) const char* GetAdlSupportExt()
{
    return "TST\0TS2\0";
}

__attribute__((visibility("default"))) DWORD AdlAssistFunc(void*)
{
    return 1;
}

#ifndef TEST_ADL_NO_ASSIST2
__attribute__((visibility("default"))) DWORD AdlAssistFunc2(void*)
{
    return 2;
}
#endif

__attribute__((visibility("default"))) CPluginObject* GetAdlDecodeObject()
{
#ifdef TEST_ADL_NULL_OBJECT
    return nullptr;
#else
    return new TestDecoder;
#endif
}

#ifndef TEST_ADL_NO_CONFIG
__attribute__((visibility("default"))) void AdlConfigDlg() {}
#endif
}
