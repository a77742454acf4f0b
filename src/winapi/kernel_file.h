// Files over the Linux file system, seen as Windows paths on drive Z:.
#pragma once

#include "winapi/base.h"
