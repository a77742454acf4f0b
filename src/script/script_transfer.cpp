#include "script/script_transfer.h"

#include <cstddef>
#include <cstring>

uint32_t g_ScriptTransferState = kTransferNone;
char g_ScriptTransferTarget[kTransferTargetSize] = {};
uint32_t g_ScriptCallDepth = 0;

void SetScriptTransfer(uint32_t state, const char* name, size_t length)
{
    g_ScriptTransferState = state;
    if (name == nullptr)
        length = 0;
    if (length > kTransferTargetSize - 1)
        length = kTransferTargetSize - 1;
    if (length != 0)
        std::memcpy(g_ScriptTransferTarget, name, length);
    g_ScriptTransferTarget[length] = '\0';
}
