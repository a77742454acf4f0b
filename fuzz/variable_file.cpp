// Fuzzes the variable files and the persistent-variable file: a file that does not apply leaves
// every variable as it was; one that applies round-trips. The first byte picks the reader.
// Seeds: files written by the host's own writers.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/script_host_fixture.h"

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
    if (size == 0)
        return 0;
    CScriptHost& host = fuzzhost::Host();
    host.ResetVariables(0, 0);
    const std::vector<uint8_t> before = LiveBlock(host);
    const int r = data[0] & 1 ? host.ApplyPersistentFile(data + 1, size - 1) : host.ApplyVariableFile(data + 1, size - 1);
    if (r != 0 && LiveBlock(host) != before)
        __builtin_trap();
    if (r == 0 && (data[0] & 1) == 0) {
        std::vector<uint8_t> again;
        if (host.BuildVariableFile(data[0] >> 1 & 3, 0, 0, false, &again) == 0 &&
            host.ApplyVariableFile(again.data(), again.size()) != 0)
            __builtin_trap();
    }
    return 0;
}
