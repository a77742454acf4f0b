// Decoding scenario text, as the engine does for every page: a 1 MB scenario from the packer,
// mostly Shift-JIS text with a command about every 100 bytes (constant, string and variable
// arguments; one command in twenty with an expression; every tenth a page end that empties the
// text buffer). The peer is the floor of that walk: memchr finds each record, its skip field steps
// over it, and each run of text is copied into a text buffer, with nothing decoded or run.
// Goals: RunText from start to end well under 10 ms on one core (aim 3 ms), and at least a
// quarter of the floor's speed.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "authoring/sob_module_writer.h"
#include "authoring/tob_packer.h"
#include "contest.h"
#include "script/tgs_frame.h"

namespace {

const char* kVariables = "Score 0 1 4 = 7\nFlags 0 2 16 = 1, 2, 3, 4\n";

class BenchFrame : public CTgsFrame {
public:
    explicit BenchFrame(CSobRuntime& host) : CTgsFrame(host)
    {
        for (uint32_t i = 0; i < kCommandCount; ++i)
            AddCommand(i < 12 ? nullptr : &Handle);
    }
    std::vector<uint8_t> file; // served as MAIN.TOB

protected:
    bool ReadScriptFile(const std::string&, std::vector<uint8_t>* bytes) override
    {
        *bytes = file;
        return true;
    }

private:
    static int32_t Handle(CTgsFrame& frame, const TgsArgPair* pairs)
    {
        if (frame.LastCommandResult() == 16)
            frame.ClearText();
        return static_cast<int32_t>(pairs[0].value & 0); // reads its first pair, continues
    }
};

struct Fixture {
    CSobRuntime rt{64u << 20};
    std::unique_ptr<BenchFrame> frame;
    std::vector<uint8_t> text; // the text area with its closing NUL, for the peer
    std::vector<char> buffer = std::vector<char>(CTgsFrame::kTextBufferSize);

    Fixture()
    {
        SobVariableLayout layout;
        std::vector<std::string> errors;
        if (!ParseSobVariables(kVariables, "vars", &layout, &errors))
            std::abort();
        const std::vector<uint8_t> vars = WriteSobUserVarFile(layout);
        if (rt.LoadUserVariables(vars.data(), vars.size(), false, false) != 0)
            std::abort();
        std::string line;
        for (int i = 0; i < 20; ++i)
            line += i % 2 ? "かな" : "文字"; // 80 bytes of Shift-JIS
        std::string source;
        size_t bytes = 0;
        for (int i = 0; bytes < (1u << 20); ++i) {
            source += line + "\n";
            bytes += 80;
            if (i % 10 == 9)
                source += "@page\n";
            else if (i % 20 == 4)
                source += "@wait {Score * 2 + Flags[1]} 1\n";
            else
                source += "@wait 100 \"se01\" Score Flags[2]\n";
            bytes += 49; // the average record
        }
        TobPackOptions options;
        options.variables = &layout;
        frame = std::make_unique<BenchFrame>(rt);
        if (!PackTob(source, "bench.txt", options, &frame->file, &errors) || frame->StartScript("MAIN") != 0)
            std::abort();
        const TobScript* script = frame->ScriptStack().back();
        const uint8_t* image = rt.Memory().Span(script->TextAddress(), script->textSize + 1);
        text.assign(image, image + script->textSize + 1);
    }
};

// The peer's walk → the records passed, or 0 when a record is not one this walk knows (every
// record of the fixture is "[ ", a command word, condition kind 1 and the skip word, which counts
// from its own field).
size_t CopyTextRuns(const std::vector<uint8_t>& text, std::vector<char>& buffer)
{
    const uint8_t* data = text.data();
    const size_t end = text.size() - 1;
    size_t at = 0, length = 0, records = 0;
    while (true) {
        const void* found = std::memchr(data + at, '[', end - at);
        const size_t next = found != nullptr ? static_cast<size_t>(static_cast<const uint8_t*>(found) - data) : end;
        const size_t n = std::min(next - at, buffer.size() - 1);
        if (length + n >= buffer.size())
            length = 0; // as a page end empties the text buffer
        std::memcpy(buffer.data() + length, data + at, n);
        length += n;
        if (next == end)
            return records;
        if (end - next < 11 || data[next + 1] != ' ' || data[next + 6] != 1)
            return 0;
        uint32_t skip;
        std::memcpy(&skip, data + next + 7, 4);
        if (skip < 5 || skip > end - (next + 7))
            return 0;
        at = next + 7 + skip;
        ++records;
    }
}

void TobDecode(benchmark::State& state)
{
    static Fixture f;
    CTgsFrame& frame = *f.frame;
    int result = 0;
    size_t records = 0;
    bench::Contest(
        state,
        [&] {
            frame.SetCursor(0);
            frame.ClearText();
            result |= frame.RunText();
        },
        [&] {
            records = CopyTextRuns(f.text, f.buffer);
            benchmark::DoNotOptimize(f.buffer.data());
        },
        bench::Goal{.ratio = 0.25, .ms = 10});
    if (result != 0)
        state.SkipWithError("RunText did not reach the end");
    else if (records == 0)
        state.SkipWithError("the peer's walk met a record it does not know");
    state.counters["text_bytes"] = static_cast<double>(f.text.size());
    state.counters["records"] = static_cast<double>(records);
}

} // namespace

BENCHMARK(TobDecode)->Unit(benchmark::kMillisecond)->Iterations(3);
