// The forced fast-forward key: Shift or Ctrl, as the settings choose.
#pragma once

class CInputSource;

// Setting 0 Shift, 1 (the default, also without settings) Ctrl; either side. False for null.
bool IsSkipKeyDown(CInputSource* keyboard);
// The same keys, pushed since the last poll.
bool IsSkipKeyPushed(CInputSource* keyboard);
