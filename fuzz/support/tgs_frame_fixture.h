// The scenario frame the TOB harnesses fuzz against: 4 MiB of script memory with three user
// variables, native 0, handlers that answer by command number (16 empties the text, 40 stops
// with 5, 41 fails) and a RunScriptLoop that runs the machine to its end within a budget.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "authoring/sob_module_writer.h"
#include "script/tgs_frame.h"

namespace fuzztgs {

// The variables of the seeds' source (`sob vars` format).
inline const char* kVariables = "Score 0 1 4 = 7\nFlags 0 2 16 = 1, 2, 3, 4\nName 1 1 16 = \"abc\"\n";

inline uint32_t Sum(SobNativeArgs& args)
{
    return args.U32(0) + args.U32(1);
}

class Frame : public CTgsFrame {
public:
    explicit Frame(CSobRuntime& host) : CTgsFrame(host)
    {
        for (uint32_t i = 0; i < kCommandCount; ++i)
            AddCommand(i < 12 ? nullptr : &Handle);
    }
    int RunScriptLoop(bool, bool alreadyYielded) override
    {
        int r = alreadyYielded ? kSobYield : Machine().Run();
        for (int i = 0; i < 16 && r == kSobYield; ++i)
            r = Machine().Run();
        return r == kSobLeave ? 0 : -1;
    }
    std::vector<std::pair<std::string, std::vector<uint8_t>>> files;

protected:
    bool ReadScriptFile(const std::string& path, std::vector<uint8_t>* bytes) override
    {
        for (const auto& [name, data] : files) {
            if (name == path) {
                *bytes = data;
                return true;
            }
        }
        return false;
    }

private:
    static int32_t Handle(CTgsFrame& frame, const TgsArgPair* pairs)
    {
        const int32_t command = frame.LastCommandResult();
        // Read every pair and string a handler may read.
        for (uint32_t i = 0; i < frame.ArgumentCount() + kPaddingPairs; ++i)
            frame.PairString(pairs[i]);
        if (command == 16)
            frame.ClearText();
        if (command == 14)
            frame.PackIntoText(14, pairs, frame.ArgumentCount());
        return command == 40 ? 5 : command == 41 ? -1 : 0;
    }
};

struct Host {
    CSobRuntime rt{4u << 20};
    std::unique_ptr<Frame> frame;
    Host()
    {
        rt.AddNative(Sum);
        SobVariableLayout layout;
        std::vector<std::string> errors;
        if (!ParseSobVariables(kVariables, "vars", &layout, &errors))
            __builtin_trap();
        const std::vector<uint8_t> vars = WriteSobUserVarFile(layout);
        if (rt.LoadUserVariables(vars.data(), vars.size(), true, true) != 0)
            __builtin_trap();
        frame = std::make_unique<Frame>(rt);
    }
};

} // namespace fuzztgs
