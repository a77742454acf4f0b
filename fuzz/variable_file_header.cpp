// Fuzzes CScriptHostBase::ReadVariableFileHeader, the header and comment reader of the variable
// files native 32 lists. The first byte picks the header and comment variables (any variable, or
// none); the second how the file is made: the rest of the input as the file, or a file the host
// writes with the rest as (u16 position, byte) patches. A refused file leaves every variable as
// it was; a read one leaves the other variables alone.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "support/script_host_fixture.h"
#include "winapi/kernel.h"

namespace {

std::vector<uint8_t> LiveBlock(CScriptHost& host)
{
    std::vector<uint8_t> block(host.GetVariablesSaveSize(2, false));
    uint8_t* out = block.data();
    size_t left = block.size();
    host.SaveVariables(&out, &left, 2, false);
    return block;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    CScriptHost& host = fuzzhost::Host();
    host.ResetVariables(0, 0);
    const std::vector<SobVarRecord>& records = host.VariableRecords();
    const size_t choices = records.size() + 1;
    auto pick = [&](uint32_t k) { return k % choices == records.size() ? 0u : records[k % choices].address; };
    const uint32_t header = pick(data[0] & 15);
    const uint32_t comment = pick(data[0] >> 4);
    std::vector<uint8_t> file;
    if ((data[1] & 1) == 0 || host.BuildVariableFile(data[1] >> 1 & 3, header, comment, false, &file) != 0) {
        file.assign(data + 2, data + size);
    } else {
        for (size_t i = 2; i + 3 <= size && !file.empty(); i += 3)
            file[(data[i] | data[i + 1] << 8) % file.size()] = data[i + 2];
    }
    std::string path = "Z:" + fuzzhost::Folder() + "/FUZZ.SAV";
    for (char& c : path)
        c = c == '/' ? '\\' : c;
    HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE)
        return 0;
    DWORD written = 0;
    WriteFile(h, file.data(), static_cast<DWORD>(file.size()), &written, nullptr);
    CloseHandle(h);
    const std::vector<uint8_t> before = LiveBlock(host);
    const int r = host.ReadVariableFileHeader("FUZZ.SAV", header, comment);
    if (r != 0 && LiveBlock(host) != before)
        __builtin_trap();
    return 0;
}
