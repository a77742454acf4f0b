// Natives 124-142: script-made file streams, listed in g_ScriptFileStreams and reached by their
// handles. Names are in the roots; reads and writes stay in script memory, writes into the
// destination's block.
#pragma once

#include "script/sob_native_args.h"

uint32_t NativeStreamNew(SobNativeArgs& args);          // 124 → the stream
uint32_t NativeStreamRelease(SobNativeArgs& args);      // 125 cell holding a stream
uint32_t NativeStreamReleaseAll(SobNativeArgs& args);   // 126
uint32_t NativeStreamOpenInMemory(SobNativeArgs& args); // 127 stream, name
uint32_t NativeStreamOpenEntry(SobNativeArgs& args);    // 128 stream, mount id, index, name
uint32_t NativeStreamOpen(SobNativeArgs& args);         // 129 stream, name
uint32_t NativeStreamCreate(SobNativeArgs& args);       // 130 stream, name, replace
uint32_t NativeStreamOpenReadWrite(SobNativeArgs& args); // 131 stream, name
uint32_t NativeStreamClose(SobNativeArgs& args);        // 132
uint32_t NativeStreamBuffer(SobNativeArgs& args);       // 133 → the contents' address
uint32_t NativeStreamSize(SobNativeArgs& args);         // 134
uint32_t NativeStreamPath(SobNativeArgs& args);         // 135 → the path's address
uint32_t NativeStreamTell(SobNativeArgs& args);         // 136
uint32_t NativeStreamSeekSet(SobNativeArgs& args);      // 137 stream, position
uint32_t NativeStreamSeekCurrent(SobNativeArgs& args);  // 138 stream, delta
uint32_t NativeStreamRead(SobNativeArgs& args);         // 139 stream, buffer, n
uint32_t NativeStreamReadLine(SobNativeArgs& args);     // 140 stream, buffer, size (0: 256)
uint32_t NativeStreamWrite(SobNativeArgs& args);        // 141 stream, buffer, n
uint32_t NativeStreamPrintf(SobNativeArgs& args);       // 142 stream, format, words...

// The background loader (143-148).
uint32_t NativeLoaderAlloc(SobNativeArgs& args);        // 143 n (u16)
uint32_t NativeLoaderStart(SobNativeArgs& args);        // 144 first (u16), count, names
uint32_t NativeLoaderWait(SobNativeArgs& args);         // 145 → 1 waited, 0 none running
uint32_t NativeLoaderClose(SobNativeArgs& args);        // 146 first (u16), count (0: free all)
uint32_t NativeLoaderBuffer(SobNativeArgs& args);       // 147 slot (u16) → contents' address
uint32_t NativeLoaderSize(SobNativeArgs& args);         // 148 slot (u16)
