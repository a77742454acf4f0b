#include "game/app_files.h"

#include <algorithm>
#include <cstring>

#include "game/resources.h"

void AppDescription::SetU16(int offset, uint16_t v)
{
    bytes[offset] = static_cast<uint8_t>(v);
    bytes[offset + 1] = static_cast<uint8_t>(v >> 8);
}

void AppDescription::SetU32(int offset, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        bytes[offset + i] = static_cast<uint8_t>(v >> (8 * i));
}

AppDescription DefaultAppDescription(const AppFrameOptions& options)
{
    AppDescription block;
    block.SetU16(kSysWidth, options.screenWidth);
    block.SetU16(kSysHeight, options.screenHeight);
    block.SetU32(kSysStyle, options.windowStyle);
    block.SetU32(kSysExStyle, options.windowExStyle);
    block.SetU16(kSysIcon, options.iconId);
    block.SetU16(kSysMenu, options.menuId);
    block.SetU16(kSysAccelerators, options.acceleratorId);
    block.bytes[kSysSingleInstance] = options.singleInstance;
    block.bytes[kSysSwitchAllowed] = 1;
    return block;
}

bool ParseAppSys(const uint8_t* data, size_t size, AppDescription* block)
{
    if (size < 2)
        return false;
    const size_t length = static_cast<size_t>(data[0] | (data[1] << 8));
    if (size - 2 < length)
        return false;
    std::memcpy(block->bytes, data + 2, std::min<size_t>(length, kAppDescriptionSize));
    return true;
}

std::vector<uint8_t> BuildAppSys(const AppDescription& block)
{
    std::vector<uint8_t> out{static_cast<uint8_t>(kAppDescriptionSize), 0};
    out.insert(out.end(), block.bytes, block.bytes + kAppDescriptionSize);
    return out;
}

void ApplyAppDescription(AppDescription* block, AppFrameOptions* options)
{
    block->SetU32(kSysStyle, kGameWindowStyle);
    block->SetU16(kSysIcon, kIconId);
    if (block->U16(kSysMenu) != 0)
        block->SetU16(kSysMenu, kMenuId);
    if (block->U16(kSysAccelerators) != 0)
        block->SetU16(kSysAccelerators, kAcceleratorsId);
    options->screenWidth = block->U16(kSysWidth);
    options->screenHeight = block->U16(kSysHeight);
    options->windowStyle = kGameWindowStyle;
    options->windowExStyle = block->U32(kSysExStyle);
    options->iconId = kIconId;
    options->menuId = block->U16(kSysMenu);
    options->acceleratorId = block->U16(kSysAccelerators);
    options->singleInstance = block->bytes[kSysSingleInstance];
}

namespace {

// One string: u8 length n, n bytes counting the zero → false when it does not fit.
bool ReadString(const uint8_t* data, size_t size, size_t* at, std::string* out)
{
    if (*at >= size)
        return false;
    const size_t n = data[(*at)++];
    if (size - *at < n)
        return false;
    const char* text = reinterpret_cast<const char*>(data + *at);
    out->assign(text, strnlen(text, n));
    *at += n;
    return true;
}

}  // namespace

bool ParseAppInf(const uint8_t* data, size_t size, AppInfo* info)
{
    if (size < 3)
        return false;
    AppInfo next;
    std::memcpy(next.version, data, 3);
    size_t at = 3;
    std::string* fields[5] = {&next.name, &next.title, &next.notice, &next.web, &next.saveName};
    for (std::string* field : fields)
        if (!ReadString(data, size, &at, field))
            return false;
    *info = std::move(next);
    return true;
}

bool BuildAppInf(const AppInfo& info, std::vector<uint8_t>* out)
{
    out->assign(info.version, info.version + 3);
    for (const std::string* field : {&info.name, &info.title, &info.notice, &info.web, &info.saveName}) {
        if (field->size() > 254)
            return false;
        // Every string but an empty save-folder name keeps its zero.
        const bool none = field == &info.saveName && field->empty();
        out->push_back(none ? 0 : static_cast<uint8_t>(field->size() + 1));
        if (!none) {
            out->insert(out->end(), field->begin(), field->end());
            out->push_back(0);
        }
    }
    return true;
}

bool ParseSetupIfg(const uint8_t* data, size_t size, std::string* keyName, uint8_t* perUser)
{
    if (size < 5 || std::memcmp(data, "IFG1", 4) != 0)
        return false;
    const size_t n = data[4];
    if (n == 0 || size - 5 < n + 1)
        return false;
    keyName->assign(reinterpret_cast<const char*>(data + 5), n);
    *perUser = data[5 + n];
    return true;
}
