// The test host of the scenario decoder: a runtime of a few MiB with variables from a `sob vars`
// list and one native, a frame whose scripts come from memory, handlers 12-129 that record their
// pairs and answer what the test sets (command 16, the page end, takes the text buffer), and a
// RunScriptLoop that runs the machine to its end.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

#include "authoring/sob_module_writer.h"
#include "authoring/tob_packer.h"
#include "script/tgs_frame.h"

namespace tgstest {

inline const char* kVariables = "Score 0 1 4 = 7\n"
                                "Flags 0 2 16 = 1, 2, 3, 4\n"
                                "Name  1 1 16 = \"abc\"\n";

inline SobVariableLayout Layout()
{
    SobVariableLayout layout;
    std::vector<std::string> errors;
    EXPECT_TRUE(ParseSobVariables(kVariables, "vars.txt", &layout, &errors));
    return layout;
}

// Packs source with the test's variables → the file's bytes (a failed pack fails the test).
inline std::vector<uint8_t> Pack(const std::string& source, bool tob1 = false)
{
    static const SobVariableLayout layout = Layout();
    TobPackOptions options;
    options.tob1 = tob1;
    options.variables = &layout;
    std::vector<uint8_t> out;
    std::vector<std::string> errors;
    EXPECT_TRUE(PackTob(source, "t.txt", options, &out, &errors)) << (errors.empty() ? "" : errors[0]);
    return out;
}

struct Call {
    uint32_t command;
    uint32_t count;
    std::vector<TgsArgPair> pairs;
    std::vector<std::string> strings; // PairString of each pair
};

// Native 0: the sum of its two words.
inline uint32_t SumNative(SobNativeArgs& args)
{
    return args.U32(0) + args.U32(1);
}

class TestFrame : public CTgsFrame {
public:
    explicit TestFrame(CSobRuntime& host) : CTgsFrame(host)
    {
        for (uint32_t i = 0; i < kCommandCount; ++i)
            AddCommand(i < 12 ? nullptr : &Record);
    }

    int RunScriptLoop(bool /*jumpAllowed*/, bool alreadyYielded) override
    {
        ++loops;
        int r = alreadyYielded ? kSobYield : Machine().Run();
        while (r == kSobYield)
            r = Machine().Run();
        return r == kSobLeave ? 0 : -1;
    }

    // Adds a file served to the store's reads (names as the store builds them: "NAME.TOB").
    void AddFile(const std::string& name, const std::vector<uint8_t>& bytes) { files[name] = bytes; }

    std::map<std::string, std::vector<uint8_t>> files;
    std::vector<Call> calls;
    std::vector<std::string> pages;
    std::map<uint32_t, int32_t> results; // what a command answers (default 0)
    int loops = 0;

protected:
    bool ReadScriptFile(const std::string& path, std::vector<uint8_t>* bytes) override
    {
        auto it = files.find(path);
        if (it == files.end())
            return CTgsFrame::ReadScriptFile(path, bytes);
        *bytes = it->second;
        return true;
    }

private:
    static int32_t Record(CTgsFrame& frame, const TgsArgPair* pairs)
    {
        TestFrame& self = static_cast<TestFrame&>(frame);
        const uint32_t command = static_cast<uint32_t>(frame.LastCommandResult());
        Call call{command, frame.ArgumentCount(), {}, {}};
        for (uint32_t i = 0; i < call.count; ++i) {
            call.pairs.push_back(pairs[i]);
            call.strings.emplace_back(frame.PairString(pairs[i]));
        }
        self.calls.push_back(call);
        if (command == 16) {
            self.pages.emplace_back(frame.Text());
            frame.ClearText();
        }
        auto it = self.results.find(command);
        return it != self.results.end() ? it->second : 0;
    }
};

// A runtime with the test's variables and native 0, and a frame over it.
struct Host {
    CSobRuntime rt{4u << 20};
    std::unique_ptr<TestFrame> frame;

    Host()
    {
        EXPECT_EQ(rt.AddNative(SumNative), 0);
        const std::vector<uint8_t> vars = WriteSobUserVarFile(Layout());
        EXPECT_EQ(rt.LoadUserVariables(vars.data(), vars.size(), true, true), 0);
        frame = std::make_unique<TestFrame>(rt);
    }
    // Value word k of variable v.
    uint32_t Var(size_t v, uint32_t k = 0)
    {
        uint32_t a = 0, value = 0xDEADBEEF;
        EXPECT_TRUE(rt.VariableValueAddress(kSobLiveCopy, v, &a));
        rt.Memory().Load32(a + 4 * k, &value);
        return value;
    }
    void SetVar(size_t v, uint32_t k, uint32_t value)
    {
        uint32_t a = 0;
        EXPECT_TRUE(rt.VariableValueAddress(kSobLiveCopy, v, &a));
        rt.Memory().Store32(a + 4 * k, value);
    }
    // Starts a script made of source (as "MAIN") and runs it → RunText's result.
    int Run(const std::string& source, bool tob1 = false)
    {
        frame->AddFile("MAIN.TOB", Pack(source, tob1));
        EXPECT_EQ(frame->StartScript("MAIN"), 0);
        return frame->RunText();
    }
};

} // namespace tgstest
