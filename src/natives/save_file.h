// The save file: a fixed header (magic "DJN1", version 0, a 120 × 90 thumbnail of three bytes a
// pixel, title, comment, protect flag) and the script state behind it, LZSS-packed or raw. This
// file builds and reads the bytes; the script host's members (script_host_saves.cpp) and the
// slot helpers (save_slots.h) put them on disk.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CImage;

namespace savefile {

constexpr uint8_t kMagic[4] = {'D', 'J', 'N', '1'};
constexpr int kThumbWidth = 120;
constexpr int kThumbHeight = 90;
constexpr size_t kThumbOffset = 8;
constexpr size_t kThumbBytes = kThumbWidth * kThumbHeight * 3;
constexpr size_t kTitleOffset = 32408;
constexpr size_t kTitleSize = 44;
constexpr size_t kTitleMax = 40;
constexpr size_t kCommentOffset = 32452;
constexpr size_t kCommentSize = 253;
constexpr size_t kCommentMax = 248;
constexpr size_t kProtectOffset = 32705;
constexpr size_t kStoredLengthOffset = 32706;
constexpr size_t kUnpackedOffset = 32710;
constexpr size_t kChecksumOffset = 32714;
constexpr size_t kHeaderSize = 32715;
// A larger unpacked length is damage: no state comes near it, and a few bytes must not claim
// gigabytes.
constexpr uint32_t kMaxUnpacked = 64u << 20;

// What a save file holds, as it is written.
struct Contents {
    std::vector<uint8_t> thumbnail; // kThumbBytes: rows of blue, green, red (empty: black)
    std::string title;              // cut to kTitleMax bytes
    std::string comment;            // cut to kCommentMax bytes, a double-byte character kept whole
    uint8_t protect = 0;
};

// A read view over the bytes of a file; pointers into them.
struct View {
    const uint8_t* thumbnail = nullptr;
    std::string title, comment; // up to their NUL, or the whole field without one
    uint8_t protect = 0;
    uint32_t stored = 0, unpacked = 0;
    uint8_t checksum = 0;
    const uint8_t* data = nullptr; // the stored bytes
};

// text cut to at most max bytes without splitting a double-byte character.
std::string CutText(const std::string& text, size_t max);
// The byte sum modulo 256.
uint8_t Checksum(const uint8_t* data, size_t size);

// The whole file: header and the state, packed when that makes it smaller (else raw, unpacked
// length 0, or always raw when packing is off) → false for no memory.
bool Build(const Contents& contents, const uint8_t* state, size_t stateSize, bool pack, std::vector<uint8_t>* out);

// Reads the header and finds the stored bytes → 0; 3 bad magic, a header cut short, stored bytes
// past the end, an unpacked length above kMaxUnpacked or a wrong checksum; 5 version not 0.
int Parse(const uint8_t* bytes, size_t size, View* view);
// As Parse for the stored-length block alone, found at offset (the header not looked at).
int ParseFrom(const uint8_t* bytes, size_t size, size_t offset, View* view);
// The script state of a parsed file → 0; 2 no memory; 3 the packed bytes do not expand to the
// unpacked length.
int Unpack(const View& view, std::vector<uint8_t>* state);

// The thumbnail rows from a 32-bit 120 × 90 image (its first row first) and back.
void ThumbnailFromImage(const CImage& image, std::vector<uint8_t>* rows);
void ThumbnailToImage(const uint8_t* rows, CImage* image);

} // namespace savefile
