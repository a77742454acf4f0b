// RegisterScreenEffects: the end of the script host's construction. It registers the host's
// screen filters and its layer and sprite effects by name in the game's two registries (when
// published) and points the effects' random sources at the host's shared generator.
#pragma once

class CScriptHost;

void RegisterScreenEffects(CScriptHost& host);
