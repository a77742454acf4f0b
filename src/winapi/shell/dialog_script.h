// The headless host's dialogs: each dialog takes the next scripted answer (a cancel when none is
// left) and is recorded.
#pragma once

#include "winapi/shell/dialog_backend.h"

namespace winapi::shell {

void QueueDialogAnswer(const DialogAnswer& answer);
std::vector<DialogRequest> DialogRequests();
void ClearDialogScript();

} // namespace winapi::shell
