// Internal to the raster operations that hand their work to the pixel library: whether it is
// loaded, and the recording of what it reports as changed.
#pragma once

#include "raster/pixel_lib.h"

namespace pixel_lib {

inline bool Loaded()
{
    return g_pPixelLib != nullptr && g_pPixelLibChangedRect != nullptr;
}
// The rectangle the library's last call changed (empty when there is none).
RECT LastChange();
// A library result (0 = success) as the operation's: 0 with the changed rectangle added to the
// update region and the changed flag set (when something changed), else `failure`.
int Finish(CImage& dst, int result, int failure);

} // namespace pixel_lib
