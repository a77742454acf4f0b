#include "platform/cpu_info.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "winapi/clock.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

namespace {

uint32_t Word(const char* s)
{
    return static_cast<uint32_t>(static_cast<uint8_t>(s[0])) |
           static_cast<uint32_t>(static_cast<uint8_t>(s[1])) << 8 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[2])) << 16 |
           static_cast<uint32_t>(static_cast<uint8_t>(s[3])) << 24;
}

// A recorded CPUID dump, built leaf by leaf.
struct Dump {
    std::vector<CpuidRecord> records;
    Dump(const char* vendor, uint32_t highest, uint32_t signature, uint32_t ebx1, uint32_t edx1)
    {
        records.push_back({0, highest, Word(vendor), Word(vendor + 8), Word(vendor + 4)});
        records.push_back({1, signature, ebx1, 0, edx1});
    }
    Dump& Leaf(uint32_t leaf, uint32_t eax, uint32_t ebx, uint32_t ecx, uint32_t edx)
    {
        records.push_back({leaf, eax, ebx, ecx, edx});
        return *this;
    }
    Dump& Brand(const char* text)
    {
        char b[48] = {};
        std::strncpy(b, text, sizeof b);
        for (uint32_t i = 0; i < 3; ++i)
            Leaf(0x80000002u + i, Word(b + 16 * i), Word(b + 16 * i + 4), Word(b + 16 * i + 8),
                 Word(b + 16 * i + 12));
        return *this;
    }
    Dump& Ecx1(uint32_t ecx)
    {
        records[1].ecx = ecx;
        return *this;
    }
    CpuInfo Decode(uint32_t processorType = kProcessorAmdX8664, uint64_t savedState = 0) const
    {
        CpuInfo info;
        DecodeCpuInfo(records.data(), records.size(), processorType, info, savedState);
        return info;
    }
};

constexpr uint32_t kP4Features = 1u | 0x10u | 0x8000u | 0x800000u | 0x2000000u | 0x4000000u | 0x10000000u;

} // namespace

TEST(CpuInfo, IntelPentium4FromRecordedRegisters)
{
    Dump dump("GenuineIntel", 2, 0x00000F29, 0x00020009, kP4Features);
    dump.Leaf(2, 0x70432C01, 0, 0, 0)
        .Leaf(0x80000000u, 0x80000004u, 0, 0, 0)
        .Brand("   Intel(R) Pentium(R) 4 CPU 2.80GHz");
    CpuInfo info = dump.Decode();
    EXPECT_STREQ(info.vendor, "GenuineIntel");
    EXPECT_EQ(info.family, 15);
    EXPECT_EQ(info.model, 2);
    EXPECT_EQ(info.stepping, 9);
    EXPECT_EQ(info.l1DataKb, 32);
    EXPECT_EQ(info.l2Kb, 512);
    EXPECT_EQ(info.l1TraceKuops, 12);
    EXPECT_TRUE(info.mmx && info.sse && info.sse2 && info.htt && info.mmxExtensions);
    EXPECT_FALSE(info.sse3);
    EXPECT_TRUE(info.brandPresent);
    EXPECT_STREQ(info.brand, "Intel(R) Pentium(R) 4 CPU 2.80GHz");
    EXPECT_STREQ(info.modelName, "Intel Pentium 4 HT(Northwood)");
}

TEST(CpuInfo, HyperThreadingNeedsMoreThanOneLogicalProcessor)
{
    CpuInfo info = Dump("GenuineIntel", 1, 0x00000F29, 0x00010009, kP4Features).Decode();
    EXPECT_FALSE(info.htt);
    EXPECT_STREQ(info.modelName, "Intel Pentium 4(Northwood)");
    EXPECT_FALSE(info.brandPresent);
}

TEST(CpuInfo, IntelNamesByCacheSize)
{
    struct Case {
        uint32_t signature;
        uint32_t descriptors;
        const char* name;
    } cases[] = {
        {0x0652, 0x00004001, "Intel Celeron(Convington)"},
        {0x0652, 0x00004101, "Intel Celeron(Convinton)"},
        {0x0652, 0x00004301, "Intel Pentium II(Deschutes)"},
        {0x1652, 0x00004301, "Intel Pentium II OverDrive"},
        {0x0652, 0x00004401, "Intel Pentium II Xeon(Deschutes)"},
        {0x0672, 0x00004301, "Intel Pentium III(Katmai)"},
        {0x906EA, 0x00000001, "Intel P6 Family(Unknown)"}, // a model beyond these tables
        {0x0300, 0x00000001, "Intel 386DX"},
        {0x2300, 0x00000001, "Intel 386SX/CX/EX"},
        {0x0340, 0x00000001, "Intel RapidCAD coprocessor"},
    };
    for (const Case& c : cases) {
        CpuInfo info =
            Dump("GenuineIntel", 2, c.signature, 0, 0x800000).Leaf(2, c.descriptors, 0, 0, 0).Decode();
        EXPECT_STREQ(info.modelName, c.name) << std::hex << c.signature;
    }
    EXPECT_STREQ(Dump("GenuineIntel", 1, 0x0672, 3, 0).Decode().modelName, "Intel Pentium III Xeon(Tanner)");
}

TEST(CpuInfo, DescriptorFortyClearsL3OnFamily15AndL2Otherwise)
{
    CpuInfo p4 = Dump("GenuineIntel", 2, 0x0F29, 0, 0).Leaf(2, 0x40224301, 0, 0, 0).Decode();
    EXPECT_EQ(p4.l2Kb, 512);
    EXPECT_EQ(p4.l3Kb, 0);
    CpuInfo p3 = Dump("GenuineIntel", 2, 0x0683, 0, 0).Leaf(2, 0x00404301, 0, 0, 0).Decode();
    EXPECT_EQ(p3.l2Kb, 0);
}

TEST(CpuInfo, AmdNamesFromExtendedLeaves)
{
    struct Case {
        uint32_t signature;
        uint32_t edx1;    // leaf 0x80000001 EDX
        uint32_t brandId; // leaf 0x80000001 EBX
        uint32_t l2;
        const char* name;
    } cases[] = {
        {0x06A0, 0xC0400000u, 0, 512, "AMD Athlon XP(Barton)"},
        {0x06A0, 0xC0480000u, 0, 512, "AMD Athlon MP(Barton)"},
        {0x06A0, 0xC0400000u, 0, 256, "AMD Athlon XP(Thorton)"},
        {0x0680, 0xC0400000u, 0, 64, "AMD Duron(Applebred)"},
        {0x0F40, 0xC0400000u, 0, 512, "AMD Athlon XP(Paris)"},
        {0x0F30, 0xE0400000u, 0x10A, 512, "AMD Athlon 64 3200+(ClawHammer)"},
        {0x0F50, 0xE0400000u, 0x50A, 1024, "AMD Opteron MP 858(SledgeHammer)"},
    };
    for (const Case& c : cases) {
        Dump dump("AuthenticAMD", 1, c.signature, 0, 0x800000);
        dump.Leaf(0x80000000u, 0x80000008u, 0, 0, 0).Leaf(0x80000001u, 0, c.brandId, 0, c.edx1);
        dump.Leaf(0x80000005u, 0, 0, 64u << 24, 64u << 24).Leaf(0x80000006u, 0, 0, c.l2 << 16, 0);
        CpuInfo info = dump.Decode();
        EXPECT_STREQ(info.modelName, c.name);
        EXPECT_EQ(info.l1DataKb, 64);
        EXPECT_EQ(info.l2Kb, static_cast<int32_t>(c.l2));
        EXPECT_TRUE(info.amd3DNow && info.amd3DNowExtended && info.amdMmxExtensions && info.mmxExtensions);
    }
}

TEST(CpuInfo, OtherVendorsAndNoCpuid)
{
    EXPECT_STREQ(Dump("Compaq FX!32", 1, 0, 0, 0).Decode().modelName, "Alpha");
    EXPECT_STREQ(Dump("CentaurHauls", 1, 0x0690, 0, 0).Decode().modelName, "Centaur VIA C3(Nehemiah)");
    CpuInfo none;
    DecodeCpuInfo(nullptr, 0, kProcessorIntel486, none);
    EXPECT_STREQ(none.modelName, "Intel 486");
    EXPECT_EQ(none.mmx, 0);
    DecodeCpuInfo(nullptr, 0, kProcessorAmdX8664, none);
    EXPECT_STREQ(none.modelName, "Unknown");
    EXPECT_STREQ(Dump("SomeoneElse ", 1, 0, 0, 0).Decode(kProcessorAmdX8664).modelName, "Unknown");
}

TEST(CpuInfo, IdentifiesThisMachineOnce)
{
    uint32_t first = IdentifyCpu();
    EXPECT_TRUE(first == 0 || first == 2);
    EXPECT_TRUE(g_CpuInfo.identified);
    EXPECT_NE(g_CpuInfo.vendor[0], 0);
    EXPECT_EQ(&g_bUseMmx, &g_CpuInfo.mmx);
#if defined(__x86_64__)
    EXPECT_TRUE(g_CpuInfo.mmx && g_CpuInfo.sse2 && g_CpuInfo.tsc);
#endif
    const std::string name = g_CpuInfo.modelName;
    EXPECT_EQ(IdentifyCpu(), 2u);
    EXPECT_EQ(name, g_CpuInfo.modelName);
}

TEST(CpuInfo, Avx2NeedsLeafSevenAndTheSystemSavingTheWideRegisters)
{
    constexpr uint32_t kOsxsaveAvx = 1u << 27 | 1u << 28, kAvx2 = 1u << 5;
    constexpr uint64_t kSseAvxState = 6, kWithMore = 0xE7;
    struct Case {
        const char* name;
        uint32_t highest, ecx1, ebx7;
        uint64_t savedState;
        bool avx2;
    } cases[] = {
        {"everything there", 7, kOsxsaveAvx, kAvx2, kSseAvxState, true},
        {"more state saved", 0xD, kOsxsaveAvx | 1, kAvx2 | 1, kWithMore, true},
        {"no leaf 7 reported", 6, kOsxsaveAvx, kAvx2, kSseAvxState, false},
        {"no AVX2 bit", 7, kOsxsaveAvx, 0, kSseAvxState, false},
        {"system does not save", 7, 1u << 28, kAvx2, kSseAvxState, false},
        {"no AVX bit", 7, 1u << 27, kAvx2, kSseAvxState, false},
        {"wide state not saved", 7, kOsxsaveAvx, kAvx2, 2, false},
        {"only wide state saved", 7, kOsxsaveAvx, kAvx2, 4, false},
    };
    for (const Case& c : cases) {
        Dump dump("GenuineIntel", c.highest, 0x906EA, 0, kP4Features);
        dump.Ecx1(c.ecx1).Leaf(7, 0, c.ebx7, 0, 0);
        const CpuInfo info = dump.Decode(kProcessorAmdX8664, c.savedState);
        EXPECT_EQ(info.avx2, c.avx2) << c.name;
        EXPECT_EQ(SimdLevelOf(info), c.avx2 ? SimdLevel::Avx2 : SimdLevel::Sse2) << c.name;
    }
    EXPECT_EQ(SimdLevelOf(Dump("GenuineIntel", 1, 0x0652, 0, 0x800000).Decode()), SimdLevel::Plain);
}

TEST(CpuInfo, IdentifyingSetsTheKernelsLevelFromTheFacts)
{
    IdentifyCpu();
    // Our reading of cpuid and the saved state agrees with the compiler's own check.
    EXPECT_EQ(SimdLevelOf(g_CpuInfo), MachineSimdLevel());
    EXPECT_EQ(ActiveSimdLevel(), SimdLevelOf(g_CpuInfo));
}

TEST(CpuInfo, ClockText)
{
    EXPECT_EQ(FormatCpuClock(2394.7), "2.39GHz");
    EXPECT_EQ(FormatCpuClock(999.9), "999MHz");
    EXPECT_EQ(FormatCpuClock(1000), "1.00GHz");
    EXPECT_EQ(FormatCpuClock(0), winapi::Sjis("？？MHz"));
}

TEST(CpuInfo, ClockMeasuredOnceOverHalfASecond)
{
    // On the virtual clock the half-second sleep passes at once; the cycles counted are real, so
    // only the bookkeeping is checked here.
    const bool measuredBefore = g_CpuInfo.measured; // once per process
    winapi::UseVirtualClock(true);
    const DWORD before = timeGetTime();
    const double first = MeasureCpuClock();
    const DWORD slept = timeGetTime() - before;
    winapi::UseVirtualClock(false);
    EXPECT_GE(first, 0.0);
    EXPECT_TRUE(g_CpuInfo.measured);
    EXPECT_EQ(slept, measuredBefore ? 0u : 500u);
    EXPECT_EQ(MeasureCpuClock(), first);
    EXPECT_FLOAT_EQ(g_CpuInfo.clockMhz, static_cast<float>(first));
}
