#include "game/user_settings.h"

#include <algorithm>
#include <cstring>

namespace {

void PutU16(uint8_t* p, uint16_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void PutI32(uint8_t* p, int32_t value)
{
    const uint32_t v = static_cast<uint32_t>(value);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

uint16_t GetU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }

uint32_t GetU32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
           (static_cast<uint32_t>(p[3]) << 24);
}

void AppendRecord(std::vector<uint8_t>* out, const uint8_t* data, size_t size)
{
    uint8_t length[2];
    PutU16(length, static_cast<uint16_t>(size));
    out->insert(out->end(), length, length + 2);
    out->insert(out->end(), data, data + size);
}

}  // namespace

void SetUserBlockDefaults(uint8_t b[kUserBlockSize])
{
    static const uint8_t kDefaults[kUserBlockSize] = {0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 0, 0x00, 0x02, 1, 1, 0, 1};
    std::memcpy(b, kDefaults, kUserBlockSize);
}

// Record 1: 0 window x, 4 window y (i32), 8 game thread, 9 input mode, 10 cursor auto-move,
// 11 cursor option word (u16), 13 stop when inactive, 14 top-most, 15 monitor choice,
// 16-20 the game bytes. Record 2: 0 screen-mode option, 1 colour depth, 2 display flags.
void PackFrameRecord1(const UserCfg& cfg, uint8_t out[kFrameRecord1Size])
{
    std::memset(out, 0, kFrameRecord1Size);
    PutI32(out, cfg.frame.windowX);
    PutI32(out + 4, cfg.frame.windowY);
    out[8] = cfg.frame.gameThread;
    out[9] = cfg.frame.inputMode;
    out[10] = cfg.frame.cursorPlacement;
    PutU16(out + 11, cfg.frame.menuHoverDelay);
    out[13] = cfg.stopWhenInactive;
    out[14] = cfg.frame.topMostInFullScreen;
    out[15] = cfg.monitorChoice;
    std::memcpy(out + 16, cfg.frame.gameBytes, 5);
}

void PackFrameRecord2(const UserCfg& cfg, uint8_t out[kFrameRecord2Size])
{
    std::memset(out, 0, kFrameRecord2Size);
    out[0] = cfg.frame.requestedMode;
    out[1] = cfg.frame.requestedDepth;
    out[2] = cfg.displayFlags;
}

void UnpackFrameRecord1(const uint8_t in[kFrameRecord1Size], UserCfg* cfg)
{
    cfg->frame.windowX = static_cast<int32_t>(GetU32(in));
    cfg->frame.windowY = static_cast<int32_t>(GetU32(in + 4));
    cfg->frame.gameThread = in[8];
    cfg->frame.inputMode = in[9];
    cfg->frame.cursorPlacement = in[10];
    cfg->frame.menuHoverDelay = GetU16(in + 11);
    cfg->stopWhenInactive = in[13];
    cfg->frame.topMostInFullScreen = in[14];
    cfg->monitorChoice = in[15];
    std::memcpy(cfg->frame.gameBytes, in + 16, 5);
}

void UnpackFrameRecord2(const uint8_t in[kFrameRecord2Size], UserCfg* cfg)
{
    cfg->frame.requestedMode = in[0];
    cfg->frame.requestedDepth = in[1];
    cfg->displayFlags = in[2];
}

std::vector<uint8_t> BuildUserCfg(const UserCfg& cfg)
{
    std::vector<uint8_t> out;
    uint8_t record1[kFrameRecord1Size], record2[kFrameRecord2Size];
    PackFrameRecord1(cfg, record1);
    PackFrameRecord2(cfg, record2);
    AppendRecord(&out, record1, sizeof record1);
    AppendRecord(&out, record2, sizeof record2);
    AppendRecord(&out, cfg.user, kUserBlockSize);
    const std::string& folder = cfg.chosenFolder;
    if (folder.empty() || folder.size() >= 0xFFFF)
        AppendRecord(&out, nullptr, 0);
    else
        AppendRecord(&out, reinterpret_cast<const uint8_t*>(folder.c_str()), folder.size() + 1);
    return out;
}

int ParseUserCfg(const uint8_t* data, size_t size, UserCfg* cfg)
{
    // The blocks are read whole first, so that a damaged file changes nothing.
    uint8_t record1[kFrameRecord1Size], record2[kFrameRecord2Size];
    UserCfg next = *cfg;
    PackFrameRecord1(next, record1);
    PackFrameRecord2(next, record2);
    uint8_t* blocks[3] = {record1, record2, next.user};
    const size_t blockSizes[3] = {kFrameRecord1Size, kFrameRecord2Size, kUserBlockSize};
    size_t at = 0;
    for (int record = 0; record < 4; ++record) {
        if (size - at < 2)
            return 3;
        const size_t length = GetU16(data + at);
        at += 2;
        if (size - at < length)
            return 3;
        if (record < 3) {
            std::memcpy(blocks[record], data + at, std::min(length, blockSizes[record]));
        } else if (length != 0) {
            const char* text = reinterpret_cast<const char*>(data + at);
            next.chosenFolder.assign(text, strnlen(text, length));
        }
        at += length;
    }
    UnpackFrameRecord1(record1, &next);
    UnpackFrameRecord2(record2, &next);
    *cfg = next;
    return 0;
}

std::vector<uint8_t> BuildAppCfg(const AppConfig& config)
{
    std::vector<uint8_t> out(4 + sizeof config);
    PutI32(out.data(), static_cast<int32_t>(kAppConfigSize));
    std::memcpy(out.data() + 4, &config, sizeof config);
    return out;
}

bool ParseAppCfg(const uint8_t* data, size_t size, AppConfig* config)
{
    if (size < 4)
        return false;
    const size_t take = std::min<size_t>(GetU32(data), kAppConfigSize);
    if (size - 4 < take)
        return false;
    std::memcpy(config, data + 4, take);
    return true;
}
