// Device contexts, GDI objects and blits.
#pragma once

#include "winapi/base.h"
