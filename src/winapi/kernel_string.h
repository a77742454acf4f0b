// Shift-JIS aware string calls (CharUpperA, CharNextA, lstrcmpiA, wsprintfA, ...).
#pragma once

#include "winapi/base.h"
