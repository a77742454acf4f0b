// The settings files: fresh blocks hold the default tables, files round-trip, and damaged files
// never move a byte past a block.
#include <gtest/gtest.h>

#include <cstring>
#include <vector>

#include "game/user_settings.h"
#include "winapi/text.h"

namespace {

// The settings block's defaults as the field table gives them: offset, width, value.
struct Field {
    int offset, width;
    uint32_t value;
};
constexpr Field kConfigDefaults[] = {
    {0, 1, 1},    {4, 1, 1},   {5, 1, 1},    {7, 1, 1},    {8, 1, 1},    {9, 1, 1},    {11, 1, 1},  {13, 1, 1},
    {15, 1, 1},   {16, 1, 1},  {20, 4, 750}, {25, 1, 30},  {26, 1, 1},   {27, 1, 30},  {29, 1, 150}, {30, 1, 1},
    {31, 1, 30},  {32, 4, 1000}, {68, 1, 1}, {70, 1, 2},   {73, 1, 1},   {74, 1, 140}, {76, 4, 0x106EA8},
    {81, 1, 1},   {82, 1, 1},  {83, 1, 1},   {84, 1, 1},   {85, 1, 1},   {88, 4, 256}, {92, 4, 150}, {96, 4, 160},
    {100, 4, 170}, {104, 4, 256}, {109, 1, 1}, {113, 1, 65}, {130, 1, 1}, {149, 1, 1}, {153, 1, 1}, {155, 1, 1},
    {158, 1, 1},  {160, 1, 1}, {162, 1, 1},  {163, 1, 1},  {164, 1, 1},  {165, 1, 1},  {166, 1, 1},  {168, 4, 256},
    {172, 1, 1},  {173, 1, 1}, {174, 1, 2},  {178, 1, 5},  {179, 1, 1},  {180, 1, 1},  {181, 1, 1},  {182, 1, 1},
    {183, 1, 1},  {190, 1, 1}, {191, 1, 1},  {192, 1, 5},
};
constexpr uint8_t kKeyDefaults[16] = {0x2C, 0x2D, 0x1E, 0x41, 0x42, 0x43, 0x44, 0x39,
                                      0x32, 0x2E, 0xD2, 0x1F, 0x0E, 0x14, 0xC9, 0xD1};

std::vector<uint8_t> ExpectedConfig()
{
    std::vector<uint8_t> b(196, 0);
    for (const Field& f : kConfigDefaults)
        for (int i = 0; i < f.width; ++i)
            b[f.offset + i] = static_cast<uint8_t>(f.value >> (8 * i));
    std::memcpy(&b[114], kKeyDefaults, 16);
    const std::string face = winapi::Utf8ToSjis("ＭＳ ゴシック");
    std::memcpy(&b[36], face.data(), face.size());
    return b;
}

AppConfig Defaults()
{
    AppConfig c;
    SetAppConfigDefaults(&c);
    return c;
}

UserCfg DefaultUser()
{
    UserCfg cfg;
    SetUserBlockDefaults(cfg.user);
    return cfg;
}

// One record: u16 length and its bytes.
void Record(std::vector<uint8_t>* out, size_t length, uint8_t fill)
{
    out->push_back(static_cast<uint8_t>(length));
    out->push_back(static_cast<uint8_t>(length >> 8));
    out->insert(out->end(), length, fill);
}

} // namespace

TEST(Settings, FreshBlocksHoldTheDefaultTablesAndRoundTrip)
{
    const AppConfig config = Defaults();
    const std::vector<uint8_t> expected = ExpectedConfig();
    EXPECT_EQ(0, std::memcmp(&config, expected.data(), 196));

    const uint8_t userExpected[17] = {0, 1, 1, 0, 1, 0, 1, 1, 1, 1, 0, 0, 2, 1, 1, 0, 1};
    uint8_t user[17];
    SetUserBlockDefaults(user);
    EXPECT_EQ(0, std::memcmp(user, userExpected, 17));

    const std::vector<uint8_t> app = BuildAppCfg(config);
    ASSERT_EQ(200u, app.size());
    EXPECT_EQ(196, app[0] | app[1] << 8);
    AppConfig back;
    std::memset(&back, 0xEE, sizeof back);
    ASSERT_TRUE(ParseAppCfg(app.data(), app.size(), &back));
    EXPECT_EQ(0, std::memcmp(&back, &config, 196));

    UserCfg cfg = DefaultUser();
    cfg.frame.windowX = -5;
    cfg.frame.windowY = 77;
    cfg.frame.gameThread = 1;
    cfg.frame.menuHoverDelay = 0x1234;
    cfg.stopWhenInactive = 1;
    cfg.monitorChoice = 4;
    cfg.displayFlags = 3;
    cfg.frame.requestedMode = 2;
    cfg.chosenFolder = "Z:\\saves";
    const std::vector<uint8_t> file = BuildUserCfg(cfg);
    ASSERT_EQ(2u + 72 + 2 + 14 + 2 + 17 + 2 + 9, file.size());
    EXPECT_EQ(9, file[file.size() - 11] | file[file.size() - 10] << 8);  // n characters → n + 1
    EXPECT_EQ(0, file.back());
    UserCfg read = DefaultUser();
    ASSERT_EQ(0, ParseUserCfg(file.data(), file.size(), &read));
    EXPECT_EQ(BuildUserCfg(read), file);
    EXPECT_EQ("Z:\\saves", read.chosenFolder);
    EXPECT_EQ(-5, read.frame.windowX);
    EXPECT_EQ(0x1234, read.frame.menuHoverDelay);

    cfg.chosenFolder.clear();  // no folder: record 4 of length 0
    const std::vector<uint8_t> none = BuildUserCfg(cfg);
    EXPECT_EQ(0, none[none.size() - 2] | none[none.size() - 1]);
}

// Each case on a heap copy exactly as long as the file, so a read past it is caught.
TEST(Settings, DamagedUserCfgNeverGoesPastABlock)
{
    const std::vector<uint8_t> whole = BuildUserCfg(DefaultUser());
    for (size_t cut = 0; cut < whole.size(); ++cut) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + static_cast<long>(cut));
        UserCfg cfg = DefaultUser();
        cfg.frame.windowX = 99;
        EXPECT_EQ(3, ParseUserCfg(part.data(), part.size(), &cfg)) << cut;
        EXPECT_EQ(99, cfg.frame.windowX) << "a damaged file changes nothing";
    }

    struct Case {
        size_t lengths[4];
        uint8_t fill;
    };
    const Case cases[] = {
        {{100, 40, 30, 600}, 7},  // every record longer than its block
        {{0, 0, 0, 0}, 7},         // every record empty: the blocks keep what they held
        {{4, 1, 2, 3}, 9},         // short records fill the start of their blocks
        {{65535, 14, 17, 0}, 3},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file;
        for (size_t length : c.lengths)
            Record(&file, length, c.fill);
        UserCfg cfg = DefaultUser();
        ASSERT_EQ(0, ParseUserCfg(file.data(), file.size(), &cfg));
        uint8_t record1[72];
        PackFrameRecord1(cfg, record1);
        uint8_t defaults1[72];
        PackFrameRecord1(DefaultUser(), defaults1);
        for (size_t i = 0; i < 21; ++i)  // the stored fields of record 1
            EXPECT_EQ(i < c.lengths[0] ? c.fill : defaults1[i], record1[i]) << i;
        uint8_t userDefaults[17];
        SetUserBlockDefaults(userDefaults);
        for (size_t i = 0; i < 17; ++i)
            EXPECT_EQ(i < c.lengths[2] ? c.fill : userDefaults[i], cfg.user[i]) << i;
        EXPECT_EQ(c.lengths[3] == 0 ? 0u : std::min<size_t>(c.lengths[3], 600), cfg.chosenFolder.size());
    }
}

TEST(Settings, AppCfgLengthsTakeAtMostTheBlock)
{
    const AppConfig defaults = Defaults();
    struct Case {
        uint32_t length;
        size_t dataBytes;
        bool taken;
        size_t changed;  // bytes of the block that change
    };
    const Case cases[] = {
        {0, 0, true, 0},           {195, 195, true, 195}, {196, 195, false, 0},  {197, 197, true, 196},
        {197, 196, true, 196},     {0xFFFFFFFFu, 196, true, 196}, {0xFFFFFFFFu, 100, false, 0}, {196, 0, false, 0},
    };
    for (const Case& c : cases) {
        std::vector<uint8_t> file(4 + c.dataBytes, 0xA5);
        for (int i = 0; i < 4; ++i)
            file[i] = static_cast<uint8_t>(c.length >> (8 * i));
        AppConfig config = defaults;
        EXPECT_EQ(c.taken, ParseAppCfg(file.data(), file.size(), &config)) << c.length << " " << c.dataBytes;
        const auto* bytes = reinterpret_cast<const uint8_t*>(&config);
        const auto* before = reinterpret_cast<const uint8_t*>(&defaults);
        for (size_t i = 0; i < 196; ++i)
            EXPECT_EQ(i < c.changed ? 0xA5 : before[i], bytes[i]) << c.length << " at " << i;
    }
    AppConfig config = defaults;
    const uint8_t tiny[3] = {196, 0, 0};
    EXPECT_FALSE(ParseAppCfg(tiny, 3, &config));
}
