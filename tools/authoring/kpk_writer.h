// Writes KPK archives with the project's cipher profile (docs/kpk-format.md): entries in the
// order given, optionally with a name trie, 2048-byte units, LZSS where it saves, the per-byte and
// word-wise scrambling and a common prefix. Used by `tessaro-tool kpk pack` and by tests.
#pragma once

#include <string>
#include <vector>

#include "winapi/base.h"

struct KpkWriterOptions {
    bool names = true;     // index holds a name trie
    bool units = false;    // offsets and index length in 2048-byte units
    bool compress = false; // LZSS where the compressor accepts (never for .ogg / .wav)
    bool scramble = false; // per-byte transform on every entry
    bool words = false;    // archive flag bit 2: word-wise transform of each entry's first bytes
    bool prefix = false;   // the longest common prefix of all entries becomes the index prefix
    DWORD keyWords[2] = {0, 0}; // run-time key words the archive is meant for
};

struct KpkWriterEntry {
    std::string name; // Shift-JIS; lower-cased and given '\' separators when written
    std::vector<BYTE> data;
};

// Builds the archive bytes for an archive that will be named archivePath (its base name is part
// of the key) → true, or false with the reason in *error (names that collide, too many
// children in one trie node, sizes beyond the format).
bool BuildKpkArchive(const std::string& archivePath, const std::vector<KpkWriterEntry>& entries,
                     const KpkWriterOptions& options, std::vector<BYTE>* out, std::string* error);

// The same, written to the file at archivePath (a Windows or Linux path).
bool WriteKpkArchive(const std::string& archivePath, const std::vector<KpkWriterEntry>& entries,
                     const KpkWriterOptions& options, std::string* error);

// Every file below folder (a Linux path), named relative to it with '\' separators, lower-cased,
// UTF-8 names turned into Shift-JIS, sorted by their lower-cased names.
bool CollectKpkEntries(const std::string& folder, std::vector<KpkWriterEntry>* entries, std::string* error);
