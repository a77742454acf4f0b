// Fuzzes the scenario decoder: u16 n, then n bytes as the text area of a loaded script, run with
// the fixture's handlers (records, arguments, expressions, link tables, inline code, calls), loaded
// as a file or, when the load refuses it, written over a loaded text;
// the tail as a packed command, a saved store state and a TSLG log. Seeds: text areas of files
// made by `tessaro-tool tob pack`.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "support/tgs_frame_fixture.h"

namespace {

// A TOB0 file around a text area, with no labels and no messages.
std::vector<uint8_t> Wrap(const uint8_t* text, size_t size)
{
    std::vector<uint8_t> file = {'T', 'O', 'B', '0', 8, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0};
    file.insert(file.end(), text, text + size);
    return file;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t n = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
    const uint8_t* tail = data + 2 + n;
    const size_t tailSize = size - 2 - n;
    fuzztgs::Host host;
    fuzztgs::Frame& frame = *host.frame;
    const std::vector<uint8_t> file = Wrap(data + 2, n);
    frame.files.push_back({"MAIN.TOB", file});
    frame.files.push_back({"SUB.TOB", file});
    if (frame.StartScript("MAIN") != 0) {
        // Text the load refuses still reaches the decoder, as code run by a script could write
        // it over a loaded text: a text of NULs is loaded and overwritten in script memory.
        const std::vector<uint8_t> blank = Wrap(nullptr, 0);
        frame.files[0].second = blank;
        frame.files[0].second.resize(file.size(), 0);
        if (frame.StartScript("MAIN") != 0)
            return 0;
        const TobScript* script = frame.CurrentScript();
        uint8_t* text = host.rt.Memory().Span(script->TextAddress(), script->textSize);
        if (text == nullptr)
            __builtin_trap();
        std::memcpy(text, data + 2, n);
    }
    const uint64_t allocated = host.rt.Memory().AllocatedBytes();
    for (int i = 0; i < 32; ++i) {
        const int r = frame.RunText();
        if (r <= 0 || frame.CurrentScript() == nullptr)
            break;
    }
    if (frame.TextLength() >= CTgsFrame::kTextBufferSize)
        __builtin_trap();
    (void)allocated;

    // The tail: a packed command dispatched, then a store state and a text log.
    const uint8_t* cursor = tail;
    uint32_t command, count;
    TgsArgPair pairs[64];
    if (frame.UnpackCommand(&cursor, tail + tailSize, &command, pairs, 64, &count) == 0 && command < 130)
        frame.DispatchDeferred(command, pairs);
    const uint8_t* state = tail;
    size_t left = tailSize;
    frame.LoadState(&state, &left);
    frame.MergeTextLog(tail, tailSize);
    std::vector<uint8_t> saved(frame.GetStateSize());
    uint8_t* out = saved.data();
    size_t room = saved.size();
    if (frame.SaveState(&out, &room) != 0 || room != 0)
        __builtin_trap();
    return 0;
}
