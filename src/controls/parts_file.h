// KGM parts files (".GMP"): an optional background picture and a list of parts placed at fixed
// positions, the pictures named relative to the file's own folder. One parser reads the layout
// for both readers (and for the authoring tool); CPartsFileA turns each part into a sprite of a
// scene. Reader B (parts as controls of a control set) lives with the control set.
#pragma once

#include "winapi/base.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

class CImage;
class CScene;
class CScreen;
class CSprite;

enum class EPartsReader { A, B };

// One part entry. Reader A: head = sized, byte5 = alpha, byte6 = visible; the size fields only
// when sized != 0. Reader B: head = control kind; always sized.
struct PartsEntry {
    std::string name;  // Shift-JIS, as stored
    uint8_t head = 0;
    int16_t x = 0;
    int16_t y = 0;
    uint8_t byte5 = 0;
    uint8_t byte6 = 0;
    bool sized = false;
    int16_t width = 0;
    int16_t height = 0;
    uint8_t c = 0;
};

struct PartsLayout {
    std::string background;  // empty: none
    std::vector<PartsEntry> parts;
};

// The file's magic word.
constexpr char kPartsMagic[4] = {'K', 'G', 'M', '\0'};

// 0 parsed; 3 bad magic, or a name, count or entry that runs past the end (errorOffset, when
// given, receives where the missing bytes were to start).
int ParsePartsFile(const uint8_t* data, size_t size, EPartsReader reader, PartsLayout* out, size_t* errorOffset);
// The file bytes of a layout (the tool's writer); names longer than 255 bytes and more than
// 65535 parts are the caller's to refuse.
std::vector<uint8_t> WritePartsFile(const PartsLayout& layout, EPartsReader reader);
// Reads and parses a parts file and gives the folder its pictures are named in. 0; 2 the file
// could not be opened; 3 bad magic or a file that ends early.
int ReadPartsLayout(const char* name, EPartsReader reader, PartsLayout* layout, std::string* folder);
// folder + name; false when that path would not fit MAX_PATH.
bool PartsPath(const std::string& folder, const std::string& name, std::string* out);

// The record kept per part: the entry's size and kind byte (or the picture's own size and 1).
struct PartRecord {
    int16_t width = 0;
    int16_t height = 0;
    uint8_t c = 0;
};

class CPartsFileA {
public:
    CPartsFileA() = default;
    CPartsFileA(const CPartsFileA&) = delete;
    CPartsFileA& operator=(const CPartsFileA&) = delete;
    virtual ~CPartsFileA() { Clear(); }

    // 0 loaded; 1 a null screen, scene or name; 2 the file could not be opened; 3 bad magic or a
    // file that ends early; 4 the background not loaded; 5 a part picture not loaded; -1 any other
    // failure. After a failure nothing the load made remains, and the scene is as it was.
    int Load(CScreen* screen, CScene* scene, const char* name, int priority, bool useSceneSubList,
             bool backgroundWithPalette);
    // Forgets the arrays; the objects belong to the scene and the screen.
    void Clear();

    CImage* GetBackground() const { return m_background; }
    size_t GetCount() const { return m_sprites.size(); }
    CImage* GetImage(size_t i) const { return i < m_images.size() ? m_images[i] : nullptr; }
    CSprite* GetSprite(size_t i) const { return i < m_sprites.size() ? m_sprites[i] : nullptr; }
    const PartRecord* GetRecord(size_t i) const { return i < m_records.size() ? &m_records[i] : nullptr; }

private:
    CImage* m_background = nullptr;
    std::vector<CImage*> m_images;
    std::vector<CSprite*> m_sprites;
    std::vector<PartRecord> m_records;
};
