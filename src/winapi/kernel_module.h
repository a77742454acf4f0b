// Run-time libraries: LoadLibraryA over the table of built-in modules, then shared objects on disk.
#pragma once

#include "winapi/base.h"
