// Lookup in the packed character trie of an archive index. A node is a u8 child count followed by
// that many entries {character u8, link}; the link is u16 (narrow form) or u32 (wide form), little
// endian. For a character other than NUL the child node begins `link` bytes after the end of the
// entry; for NUL the link is the value stored for the name that ends there.
#pragma once

#include <cstddef>
#include <cstdint>

// The value stored for `name`, or -1 when it is not found, for a null trie or name, for a name of
// 256 bytes or more when a case mode is given, and wherever a count or link would lead outside
// the `size` bytes of the trie. Case mode 0 matches the name as given, 1 upper-cases it
// (CharUpperA), any other value lower-cases it (CharLowerA). Bytes are compared as they are, so a
// Shift-JIS name is matched byte by byte.
int32_t FindInNameTrie(const uint8_t* trie, size_t size, bool wide, const char* name, int32_t caseMode);
