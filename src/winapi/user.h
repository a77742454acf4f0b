// User interface of the Windows stand-in: windows, messages and queues, input, resources, menus,
// message boxes and monitors. Engine code includes this header, never the parts below.
#pragma once

#include "winapi/dialogs/dialogs.h"
#include "winapi/gdi_dc.h"
#include "winapi/user_clipboard.h"
#include "winapi/user_edit.h"
#include "winapi/user_input.h"
#include "winapi/user_message.h"
#include "winapi/user_monitor.h"
#include "winapi/user_resource.h"
#include "winapi/user_window.h"
