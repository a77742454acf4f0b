// Natives 791-794: the scenario engine's frame (g_pTgsFrame) made, deleted and run by the system
// script, and the script-settings words it takes over when it is made. The frame reaches the
// application through CTgsScriptHostLink, the link over the script host, the main form, the
// caption and the game application.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

class CScriptHost;
class CTgsHostLink;

// The link the natives give the frame (over the newest script host; null host: it answers the
// application's defaults).
CTgsHostLink* TgsHostLinkFor(CScriptHost* host);

uint32_t NativeTgsCreate(SobNativeArgs& args);
uint32_t NativeTgsDelete(SobNativeArgs& args);
uint32_t NativeTgsRun(SobNativeArgs& args);
uint32_t NativeTgsSetStartValue(SobNativeArgs& args);
