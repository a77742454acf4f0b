// The scenario frame's saved state. Not written yet: every call refuses, so a save made in a
// scenario fails cleanly instead of storing a block nothing can read back.
#include "script/tgs_frame.h"

uint32_t CTgsFrame::GetStateSize(bool)
{
    return 0;
}

int CTgsFrame::SaveState(uint8_t** cursor, size_t* left, bool)
{
    return cursor == nullptr || left == nullptr ? 1 : 2;
}

int CTgsFrame::CheckState(const uint8_t**, size_t*, bool)
{
    return 4;
}

int CTgsFrame::LoadState(const uint8_t**, size_t*, bool)
{
    return 4;
}
