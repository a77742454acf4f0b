// Fuzzes CreateProcessA's command-line splitting (script data): every word must come from the
// line's own bytes, and splitting the words again after quoting them gives them back.
#include <cstddef>
#include <cstdint>
#include <string>

#include "winapi/shell.h"

namespace {

// Quotes a word so that the splitter gives it back whole.
std::string Quote(const std::string& word)
{
    std::string out = "\"";
    size_t slashes = 0;
    for (char c : word) {
        if (c == '\\') {
            ++slashes;
            continue;
        }
        out.append(c == '"' ? slashes * 2 + 1 : slashes, '\\');
        slashes = 0;
        out += c;
    }
    out.append(slashes * 2, '\\');
    return out + "\"";
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string line(reinterpret_cast<const char*>(data), size);
    const std::vector<std::string> words = winapi::SplitCommandLine(line);
    size_t total = 0;
    for (const std::string& word : words)
        total += word.size();
    if (total > line.size())
        __builtin_trap();  // words made of more bytes than the line holds
    std::string again;
    for (const std::string& word : words)
        again += Quote(word) + " ";
    const std::vector<std::string> back = winapi::SplitCommandLine(again);
    if (back != words) {
        // A word holding a Shift-JIS lead byte may take the quote after it as its second byte.
        for (const std::string& word : words)
            for (unsigned char c : word)
                if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xFC))
                    return 0;
        __builtin_trap();
    }
    return 0;
}
