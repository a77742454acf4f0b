// Natives 103-106, 114, 116 and 117: the archive-decoder and SPI plug-ins (Linux shared objects,
// loaded only from the host's roots), a decoder's assist call and an archive's query. The words
// from word 1 on go to the plug-in as a block of at most kPluginWords words, each checked.
#pragma once

#include <cstdint>

#include "script/sob_native_args.h"

constexpr uint32_t kPluginWords = 16;

uint32_t NativeLoadDecoderPlugin(SobNativeArgs& args);  // 103 file → loading code (1 bad path)
uint32_t NativeLoadDecoderFolder(SobNativeArgs& args);  // 104 folder → files that failed, -1 bad folder
uint32_t NativeUnloadDecoders(SobNativeArgs& args);     // 105 type id (-1: all) → 0
uint32_t NativeCallDecoder(SobNativeArgs& args);        // 106 type id, words... → answer, -2 no decoder
uint32_t NativeQueryArchive(SobNativeArgs& args);       // 114 mount id, words... → answer, -3 no mount
uint32_t NativeLoadSpiPlugin(SobNativeArgs& args);      // 116 file → LoadSPIPlugin's code (1 bad path)
uint32_t NativeLoadSpiFolder(SobNativeArgs& args);      // 117 folder → files that failed, -1 bad folder
