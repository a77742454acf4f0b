// Builds KAG and KAD image-group files from a layout text (docs/image-groups.md): header words,
// group count, skip bytes, pictures (encoded as ELG or taken byte for byte), entries, closing
// entries, the KAD blob and records. Used by `tessaro-tool kag|kad pack` and by tests.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace image_groups {

// layout: the layout's text; folder: where picture names are read from (a Linux path).
// False with a message naming the line.
bool BuildKag(const std::string& layout, const std::string& folder, std::vector<uint8_t>& out, std::string* error);
bool BuildKad(const std::string& layout, std::vector<uint8_t>& out, std::string* error);

// Reads a layout file and writes the result next to nothing else: the folder of the layout
// resolves picture names.
bool PackFile(bool kad, const std::string& layoutPath, const std::string& outPath, std::string* error);

} // namespace image_groups
