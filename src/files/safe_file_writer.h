// The one way the engine replaces a file it saves: the bytes go to "NAME.tmp" beside it, are
// flushed, and the temporary file is renamed over the old one, so that a failed or interrupted
// save leaves the previous file whole.
#pragma once

#include <cstddef>

// Writes size bytes as the file name (made full against the base folder) → 0 ok; 1 the path
// cannot be made full (bad or too long); 3 the file cannot be written (the old file stays and
// no temporary file is left behind).
int WriteFileReplacing(const char* name, const void* data, size_t size);
