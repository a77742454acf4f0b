// GDI of the Windows stand-in: bitmap records, device contexts, DIB sections and blits.
// Engine code includes this header, never the parts below.
#pragma once

#include "winapi/gdi_bitmap.h"
#include "winapi/gdi_dc.h"
#include "winapi/fonts/fonts.h"
