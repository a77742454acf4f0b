// Fuzzes the parameter tokenizer: every read operation in turn over arbitrary bytes, with small
// token buffers, until the text is used up.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <memory>

#include "platform/param_tokenizer.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    auto text = std::make_unique<char[]>(size + 1);
    std::memcpy(text.get(), data, size);
    text[size] = 0;
    const char* end = text.get() + std::strlen(text.get());
    CParamTokenizer tokenizer(text.get());
    for (size_t step = 0; step <= size + 1; ++step) {
        const char* before = tokenizer.GetPosition();
        if (before < text.get() || before > end)
            __builtin_trap(); // the position left the text
        int32_t i;
        double d;
        const size_t room = step % 7; // sizes 0..6, exactly allocated
        auto token = std::make_unique<char[]>(room ? room : 1);
        switch (step % 5) {
        case 0:
            tokenizer.GetInt(&i);
            break;
        case 1:
            tokenizer.GetFloat(&d);
            break;
        case 2:
            tokenizer.GetToken(token.get(), room);
            break;
        case 3:
            tokenizer.SkipToken();
            break;
        default:
            tokenizer.SkipSeparators();
            break;
        }
        if (*tokenizer.GetPosition() == 0)
            break;
        if (step % 5 == 4 && tokenizer.GetPosition() == before)
            tokenizer.SetText(before + 1); // force progress past what no operation takes
    }
    return 0;
}
