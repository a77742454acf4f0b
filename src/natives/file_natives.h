// Natives 94-123 (files and folders): the base folder, the file manager's search folders and
// mounts, file look-ups and the path helpers. Every folder or file a script names for a change
// (94, 96, 107, 123) must lie in the host's roots; paths written back stay in their block.
#pragma once

#include "script/sob_native_args.h"

uint32_t NativeSetBaseFolder(SobNativeArgs& args);       // 94 folder → 0
uint32_t NativeGetBaseFolder(SobNativeArgs& args);       // 95 → address of the base folder
uint32_t NativeAddSearchFolder(SobNativeArgs& args);     // 96 folder, at front
uint32_t NativeRemoveSearchFolder(SobNativeArgs& args);  // 97 folder or 0, index
uint32_t NativeGetSearchFolder(SobNativeArgs& args);     // 98 index (below -1: the count)
uint32_t NativeClearSearchFolders(SobNativeArgs& args);  // 99
uint32_t NativeFindFile(SobNativeArgs& args);            // 100 name, out find data
uint32_t NativeFindFileOnCd(SobNativeArgs& args);        // 101 name, out root → 1 (no drives)
uint32_t NativeGetFileSize(SobNativeArgs& args);         // 102 name, out size
uint32_t NativeMount(SobNativeArgs& args);               // 107 name, id, as folder, append
uint32_t NativeUnmount(SobNativeArgs& args);             // 108 id, index
uint32_t NativeGetMountCount(SobNativeArgs& args);       // 109
uint32_t NativeUnmountAll(SobNativeArgs& args);          // 110
uint32_t NativeGetMountEntryCount(SobNativeArgs& args);  // 111 id
uint32_t NativeGetMountEntryName(SobNativeArgs& args);   // 112 id, index
uint32_t NativeFindFileOrEntry(SobNativeArgs& args);     // 115 name, out path
uint32_t NativeCutLastPathComponent(SobNativeArgs& args); // 118 path (in place)
uint32_t NativeGetFileName(SobNativeArgs& args);         // 119 path, dst
uint32_t NativeSplitPath(SobNativeArgs& args);           // 120 path (in place), dst
uint32_t NativeGetFileExtension(SobNativeArgs& args);    // 121 name, dst
uint32_t NativeStripExtension(SobNativeArgs& args);      // 122 path (in place), dst
uint32_t NativeSetCurrentFolder(SobNativeArgs& args);    // 123 folder

// Folder listing, dropped files and file system operations (149-165).
uint32_t NativeListFolder(SobNativeArgs& args);          // 149 folder, pattern, mode, recurse
uint32_t NativeListName(SobNativeArgs& args);            // 150 i → name or 0
uint32_t NativeListSecondName(SobNativeArgs& args);     // 151 i → the entry's second string or 0
uint32_t NativeListAttributes(SobNativeArgs& args);      // 152 i → attribute byte
uint32_t NativeListTime(SobNativeArgs& args);            // 153 i, seven out addresses
uint32_t NativeListClear(SobNativeArgs& args);           // 154
uint32_t NativeEnableDrops(SobNativeArgs& args);         // 155 flag
uint32_t NativeDroppedFile(SobNativeArgs& args);         // 156 i (below 0: the count)
uint32_t NativeClearDrops(SobNativeArgs& args);          // 157
uint32_t NativeRunProcess(SobNativeArgs& args);          // 161 → 1: scripts run no programs
uint32_t NativeMakeFolder(SobNativeArgs& args);          // 162 folder
uint32_t NativeMoveFile(SobNativeArgs& args);            // 163 from, to
uint32_t NativeCopyFile(SobNativeArgs& args);            // 164 destination, source, mode
uint32_t NativeFileDateTime(SobNativeArgs& args);        // 165 name, seven out addresses

uint32_t NativeMountEntryInfo(SobNativeArgs& args);     // 113 id, index, five out addresses
// A Unix time as local MS-DOS date and time (year - 1980 in bits 25-31 ... seconds / 2 in bits
// 0-4) → 0 for no time (0) and for times outside 1980-2107, which the layout cannot hold.
uint32_t PackDosTime(int64_t unixTime);
