// Where scripts may reach files: a name is made full (relative names against the game folder)
// and answered only inside one of the roots — the game's folder as at start-up, the save folder,
// and what the player chose in the file and folder dialogs. Anything else is the native's open
// or create failure.
#pragma once

#include <string>
#include <vector>

class CScriptPathRoots {
public:
    // Adds a folder (made full; "" and null are ignored) → false when it cannot be made full.
    bool AddRoot(const char* folder);
    void Clear() { m_roots.clear(); }
    // The full, normalised path of name when it lies inside a root → true; false for null,
    // empty, unresolvable names and names outside every root ("..", another drive, a symbolic
    // link on the way that leads out).
    bool Resolve(const char* name, std::string* path) const;

private:
    std::vector<std::string> m_roots; // upper-cased, normalised, ending in '\'
};

// The path with "." and ".." parts resolved and '/' made '\' → false when ".." climbs above the
// drive or the path is not full.
bool NormalizeFullPath(const std::string& path, std::string* out);
