// Fuzzes the message store: u16 n, n bytes placed in script memory as a message record, the rest
// as a choice record; the parse operations run to the end; the history is saved and loaded again
// (the same bytes); then the whole input is loaded as a history blob.
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "script/message_store.h"

namespace {

uint32_t Place(CScriptMemory& memory, const uint8_t* bytes, size_t size)
{
    const uint32_t at = memory.Allocate(static_cast<uint32_t>(size));
    if (at != 0 && size != 0)
        std::memcpy(memory.Span(at, static_cast<uint32_t>(size)), bytes, size);
    return at;
}

std::vector<uint8_t> SaveAll(CMessageStore& store)
{
    std::vector<uint8_t> blob(store.GetSaveSize());
    uint8_t* out = blob.data();
    size_t left = blob.size();
    if (store.Save(&out, &left) != 0 || left != 0)
        __builtin_trap();
    return blob;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2)
        return 0;
    const size_t n = std::min<size_t>(data[0] | (data[1] << 8), size - 2);
    CScriptMemory memory(1u << 20);
    CMessageStore store(memory);
    store.SetHistoryCapacity(3);
    store.SetHistoryEnabled(true);
    const uint32_t message = Place(memory, data + 2, n);
    const uint32_t choices = Place(memory, data + 2 + n, size - 2 - n);
    for (int round = 0; round < 2; ++round) {
        store.SetMessage(message);
        store.SetChoices(choices);
        store.AddChoice("extra");
        for (int i = 0; i < 4096; ++i) {
            const int code = store.ParseNextToken();
            if (code == 5 || code < 0)
                break;
        }
        for (int32_t k = 0; k < 4; ++k) {
            store.ShowLastEntry();
            for (int i = 0; i < 4096; ++i) {
                const int code = store.SkipToNextToken();
                if (code == 5 || code < 0)
                    break;
            }
            store.ShowLastEntry();
            store.SeekTag(k);
        }
        for (int32_t i = 0; i < store.ChoiceCount(); ++i) {
            char buffer[300];
            store.CopyChoice(i, buffer, sizeof buffer);
        }
        char line[64];
        store.CopyLine(line, sizeof line, 1);
        store.SetSelectedChoice(1);
    }
    const std::vector<uint8_t> blob = SaveAll(store);
    CMessageStore again(memory);
    again.SetHistoryCapacity(3);
    const uint8_t* in = blob.data();
    size_t left = blob.size();
    if (again.Load(&in, &left, true) != 0 || left != 0 || SaveAll(again) != blob)
        __builtin_trap();
    in = data;
    left = size;
    again.Load(&in, &left, true);
    SaveAll(again);
    return 0;
}
