#include "controls/parts_file.h"

#include "display/screen.h"
#include "drawing/draw_list.h"
#include "drawing/scene.h"
#include "drawing/sprite.h"
#include "files/file_stream.h"
#include "files/path_utils.h"

#include <cstring>
#include <new>

namespace {

// A bounded little-endian reader: every read checks the bytes left and remembers where it failed.
class Cursor {
public:
    Cursor(const uint8_t* data, size_t size) : m_data(data), m_size(size) {}
    bool Bytes(size_t count, const uint8_t** out)
    {
        if (m_size - m_pos < count) {
            m_ok = false;
            return false;
        }
        *out = m_data + m_pos;
        m_pos += count;
        return true;
    }
    uint8_t U8()
    {
        const uint8_t* p = nullptr;
        return Bytes(1, &p) ? p[0] : 0;
    }
    uint16_t U16()
    {
        const uint8_t* p = nullptr;
        return Bytes(2, &p) ? static_cast<uint16_t>(p[0] | p[1] << 8) : 0;
    }
    int16_t I16() { return static_cast<int16_t>(U16()); }
    std::string Name()
    {
        const size_t length = U8();
        const uint8_t* p = nullptr;
        if (!m_ok || !Bytes(length, &p))
            return std::string();
        return std::string(reinterpret_cast<const char*>(p), length);
    }
    bool Ok() const { return m_ok; }
    size_t Pos() const { return m_pos; }
    size_t Left() const { return m_size - m_pos; }

private:
    const uint8_t* m_data;
    size_t m_size;
    size_t m_pos = 0;
    bool m_ok = true;
};

// The smallest entry: a name length byte and the 7 fixed bytes.
constexpr size_t kSmallestEntry = 8;

} // namespace

int ParsePartsFile(const uint8_t* data, size_t size, EPartsReader reader, PartsLayout* out, size_t* errorOffset)
{
    Cursor in(data, data ? size : 0);
    auto fail = [&in, errorOffset](int code) {
        if (errorOffset)
            *errorOffset = in.Pos();
        return code;
    };
    const uint8_t* magic = nullptr;
    if (!in.Bytes(4, &magic) || std::memcmp(magic, kPartsMagic, 4) != 0)
        return fail(3);
    PartsLayout layout;
    layout.background = in.Name();
    const size_t count = in.U16();
    if (!in.Ok())
        return fail(3);
    // A count past the end is refused before anything is made for it.
    if (count > in.Left() / kSmallestEntry)
        return fail(3);
    layout.parts.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        PartsEntry e;
        e.name = in.Name();
        e.head = in.U8();
        e.x = in.I16();
        e.y = in.I16();
        e.byte5 = in.U8();
        e.byte6 = in.U8();
        e.sized = reader == EPartsReader::B || e.head != 0;
        if (e.sized) {
            e.width = in.I16();
            e.height = in.I16();
            e.c = in.U8();
        }
        if (!in.Ok())
            return fail(3);
        layout.parts.push_back(std::move(e));
    }
    if (out)
        *out = std::move(layout);
    return 0;
}

std::vector<uint8_t> WritePartsFile(const PartsLayout& layout, EPartsReader reader)
{
    std::vector<uint8_t> out(kPartsMagic, kPartsMagic + 4);
    auto u16 = [&out](int value) {
        out.push_back(static_cast<uint8_t>(value));
        out.push_back(static_cast<uint8_t>(value >> 8));
    };
    auto name = [&out](const std::string& text) {
        out.push_back(static_cast<uint8_t>(text.size()));
        out.insert(out.end(), text.begin(), text.end());
    };
    name(layout.background);
    u16(static_cast<int>(layout.parts.size()));
    for (const PartsEntry& e : layout.parts) {
        name(e.name);
        out.push_back(e.head);
        u16(e.x);
        u16(e.y);
        out.push_back(e.byte5);
        out.push_back(e.byte6);
        if (reader == EPartsReader::B || e.head != 0) {
            u16(e.width);
            u16(e.height);
            out.push_back(e.c);
        }
    }
    return out;
}

bool PartsPath(const std::string& folder, const std::string& name, std::string* out)
{
    if (folder.size() + name.size() >= MAX_PATH)
        return false;
    *out = folder + name;
    return true;
}

void CPartsFileA::Clear()
{
    m_background = nullptr;
    m_images.clear();
    m_sprites.clear();
    m_records.clear();
}

int ReadPartsLayout(const char* name, EPartsReader reader, PartsLayout* layout, std::string* folder)
{
    CFileStream file;
    if (file.OpenInMemory(name) != 0)
        return 2;
    *folder = name;
    SplitPath(folder->data(), nullptr);
    folder->resize(std::strlen(folder->c_str()));
    // A bare file name has no folder: SplitPath leaves it whole, which is not a folder to join.
    if (*folder == name)
        folder->clear();
    if (ParsePartsFile(static_cast<const uint8_t*>(file.GetBuffer()), file.GetSize(), reader, layout, nullptr) != 0)
        return 3;
    return 0;
}

int CPartsFileA::Load(CScreen* screen, CScene* scene, const char* name, int priority, bool useSceneSubList,
                      bool backgroundWithPalette)
{
    if (!screen || !scene || !name)
        return 1;
    Clear();
    std::string folder;
    PartsLayout layout;
    if (const int code = ReadPartsLayout(name, EPartsReader::A, &layout, &folder))
        return code;

    // Everything made so far is deleted on a failure; the scene is changed only at the end, so a
    // failed load leaves it (and its earlier background) as it was.
    auto undo = [this, screen](int code) {
        for (CSprite*& sprite : m_sprites) {
            CDrawable* drawable = sprite;
            screen->DeleteDrawableAndClear(&drawable);
        }
        for (CImage*& image : m_images) {
            CSurface* surface = image;
            screen->DeleteSurfaceAndClear(&surface);
        }
        if (m_background) {
            CSurface* surface = m_background;
            screen->DeleteSurfaceAndClear(&surface);
        }
        Clear();
        return code;
    };
    try {
        std::string path;
        if (!layout.background.empty()) {
            const int result =
                !PartsPath(folder, layout.background, &path)
                    ? 4
                    : backgroundWithPalette
                          ? screen->CreateImageFromFileWithPalette(&m_background, path.c_str(), nullptr, 0, 0)
                          : screen->CreateImageFromFile(&m_background, path.c_str(), nullptr, 0, 0);
            if (result != 0)
                return undo(4);
        }
        m_images.reserve(layout.parts.size());
        m_sprites.reserve(layout.parts.size());
        m_records.reserve(layout.parts.size());
        CDrawList* list = useSceneSubList ? scene->GetOverlay() : &scene->GetList();
        for (const PartsEntry& e : layout.parts) {
            CImage* image = nullptr;
            if (!PartsPath(folder, e.name, &path) || screen->CreateImageFromFile(&image, path.c_str(), nullptr, 0, 0) != 0)
                return undo(5);
            m_images.push_back(image);
            PartRecord record{e.width, e.height, e.c};
            if (!e.sized)
                record = PartRecord{static_cast<int16_t>(image->GetWidth()), static_cast<int16_t>(image->GetHeight()), 1};
            m_records.push_back(record);
            CSprite* sprite = nullptr;
            if (screen->CreateSprite(&sprite, image, nullptr, e.x, e.y) != 0)
                return undo(-1);
            m_sprites.push_back(sprite);
            sprite->SetAlpha(e.byte5);
            sprite->SetVisible(e.byte6 != 0);
        }
        for (CSprite* sprite : m_sprites)
            if (list)
                list->InsertAfterEqual(sprite, static_cast<uint32_t>(priority), 0);
        if (m_background)
            scene->SetBackgroundImage(m_background, 0, 0, true);
    } catch (...) {
        return undo(-1);
    }
    return 0;
}
