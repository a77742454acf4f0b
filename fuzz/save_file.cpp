// Fuzzes loading save files: any bytes through CScriptHost::LoadGameFile over a host with
// variables, a text history and (when the first byte's bit 0 is set) a scenario frame. A load
// answers a code, and every refused load leaves the serialised state as it was. With bit 1 the
// file is the host's own save with one byte changed (the position and value from the input), so
// the fuzzer reaches the state's owners as well as the header checks.
#include <cstddef>
#include <cstdint>
#include <fstream>
#include <memory>
#include <vector>

#include "natives/save_file.h"
#include "platform/app_config.h"
#include "support/fuzz_input.h"
#include "support/script_host_fixture.h"
#include "support/tgs_frame_fixture.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    static AppConfig config{};
    config.historyInSaves = 1;
    g_pAppConfig = &config;
    CScriptHost& host = fuzzhost::Host();
    host.ResetVariables(0, 0);
    std::unique_ptr<fuzztgs::Frame> frame;
    if ((data[0] & 1) != 0) {
        frame = std::make_unique<fuzztgs::Frame>(host);
        g_pTgsFrame = frame.get();
    }
    std::vector<uint8_t> before;
    const int serialised = host.SerializeState(&before, true);
    std::vector<uint8_t> file(data + 1, data + size);
    if ((data[0] & 2) != 0 && serialised == 0) {
        FuzzInput in{data + 1, size - 1};
        const uint32_t at = in.U32();
        const uint8_t value = in.Byte();
        savefile::Contents contents;
        contents.title = "fuzz";
        if (!savefile::Build(contents, before.data(), before.size(), (data[0] & 4) != 0, &file))
            __builtin_trap();
        file[at % file.size()] ^= value;
    }
    const std::string name = fuzzhost::Folder() + "/F.SAV";
    std::ofstream(name, std::ios::binary).write(reinterpret_cast<const char*>(file.data()),
                                                 static_cast<std::streamsize>(file.size()));
    std::string windows = "Z:" + name;
    for (char& c : windows)
        c = c == '/' ? '\\' : c;
    const int r = host.LoadGameFile(windows.c_str());
    if (r < 0 || r > 5)
        __builtin_trap();
    std::vector<uint8_t> after;
    if (r != 0 && serialised == 0 && (host.SerializeState(&after, true) != 0 || after != before))
        __builtin_trap();
    g_pTgsFrame = nullptr;
    return 0;
}
