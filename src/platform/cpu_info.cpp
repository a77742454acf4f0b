#include "platform/cpu_info.h"

#include <cstring>
#include <vector>

#if defined(__x86_64__) || defined(__i386__)
#include <cpuid.h>
#include <x86intrin.h>
#endif

#include "platform/cpu_names.h"
#include "platform/timer_resolution.h"
#include "winapi/kernel.h"
#include "winapi/text.h"

CpuInfo g_CpuInfo;
uint8_t& g_bUseMmx = g_CpuInfo.mmx;

namespace {

struct Registers {
    uint32_t eax = 0, ebx = 0, ecx = 0, edx = 0;
};

Registers Find(const CpuidRecord* records, size_t count, uint32_t leaf)
{
    for (size_t i = 0; i < count; ++i)
        if (records[i].leaf == leaf)
            return Registers{records[i].eax, records[i].ebx, records[i].ecx, records[i].edx};
    return Registers{};
}

void PutWord(char* out, uint32_t word)
{
    for (int i = 0; i < 4; ++i)
        out[i] = static_cast<char>((word >> (8 * i)) & 0xFF);
}

// L1 code, L1 data, trace, L2 and L3 sizes of Intel's leaf-2 descriptors: one row per descriptor.
struct DescriptorRow {
    uint8_t descriptor;
    int32_t CpuInfo::*cache;
    int32_t size;
};
const DescriptorRow kDescriptors[] = {
    {0x06, &CpuInfo::l1CodeKb, 8},      {0x08, &CpuInfo::l1CodeKb, 16},
    {0x15, &CpuInfo::l1CodeKb, 16},     {0x77, &CpuInfo::l1CodeKb, 16},
    {0x30, &CpuInfo::l1CodeKb, 32},     {0x0A, &CpuInfo::l1DataKb, 8},
    {0x66, &CpuInfo::l1DataKb, 8},      {0x0C, &CpuInfo::l1DataKb, 16},
    {0x10, &CpuInfo::l1DataKb, 16},     {0x67, &CpuInfo::l1DataKb, 16},
    {0x2C, &CpuInfo::l1DataKb, 32},     {0x68, &CpuInfo::l1DataKb, 32},
    {0x70, &CpuInfo::l1TraceKuops, 12}, {0x71, &CpuInfo::l1TraceKuops, 16},
    {0x72, &CpuInfo::l1TraceKuops, 32}, {0x1A, &CpuInfo::l2Kb, 96},
    {0x39, &CpuInfo::l2Kb, 128},        {0x3B, &CpuInfo::l2Kb, 128},
    {0x41, &CpuInfo::l2Kb, 128},        {0x79, &CpuInfo::l2Kb, 128},
    {0x81, &CpuInfo::l2Kb, 128},        {0x3C, &CpuInfo::l2Kb, 256},
    {0x42, &CpuInfo::l2Kb, 256},        {0x7A, &CpuInfo::l2Kb, 256},
    {0x7E, &CpuInfo::l2Kb, 256},        {0x82, &CpuInfo::l2Kb, 256},
    {0x43, &CpuInfo::l2Kb, 512},        {0x7B, &CpuInfo::l2Kb, 512},
    {0x83, &CpuInfo::l2Kb, 512},        {0x86, &CpuInfo::l2Kb, 512},
    {0x44, &CpuInfo::l2Kb, 1024},       {0x7C, &CpuInfo::l2Kb, 1024},
    {0x84, &CpuInfo::l2Kb, 1024},       {0x87, &CpuInfo::l2Kb, 1024},
    {0x45, &CpuInfo::l2Kb, 2048},       {0x85, &CpuInfo::l2Kb, 2048},
    {0x22, &CpuInfo::l3Kb, 512},        {0x23, &CpuInfo::l3Kb, 1024},
    {0x25, &CpuInfo::l3Kb, 2048},       {0x88, &CpuInfo::l3Kb, 2048},
    {0x29, &CpuInfo::l3Kb, 4096},       {0x89, &CpuInfo::l3Kb, 4096},
    {0x8A, &CpuInfo::l3Kb, 8192},       {0x8D, &CpuInfo::l3Kb, 3072},
};

void IntelDescriptor(CpuInfo& out, uint8_t d)
{
    if (d == 0x40) { // no further cache level
        if (out.family == 15)
            out.l3Kb = 0;
        else
            out.l2Kb = 0;
        return;
    }
    for (const DescriptorRow& row : kDescriptors) {
        if (row.descriptor == d) {
            out.*row.cache = row.size;
            return;
        }
    }
}

} // namespace

void DecodeCpuInfo(const CpuidRecord* records, size_t count, uint32_t processorType, CpuInfo& out,
                   uint64_t savedState)
{
    out = CpuInfo{};
    CpuNameFacts facts{};
    facts.processorType = processorType;
    facts.hasCpuid = records && count > 0;
    if (!records)
        count = 0;
    if (facts.hasCpuid) {
        Registers leaf0 = Find(records, count, 0);
        PutWord(out.vendor, leaf0.ebx);
        PutWord(out.vendor + 4, leaf0.edx);
        PutWord(out.vendor + 8, leaf0.ecx);
        out.vendor[12] = 0;
        const uint32_t highest = leaf0.eax;
        uint32_t logical = 0;
        if (highest != 0) {
            Registers leaf1 = Find(records, count, 1);
            out.stepping = leaf1.eax & 0xF;
            out.model = (leaf1.eax >> 4) & 0xF;
            out.family = (leaf1.eax >> 8) & 0xF;
            out.type = (leaf1.eax >> 12) & 0x3;
            facts.extendedModel = (leaf1.eax >> 16) & 0xF;
            facts.extendedFamily = (leaf1.eax >> 20) & 0xFF;
            facts.brandIndex = leaf1.ebx & 0xFF;
            logical = (leaf1.ebx >> 16) & 0xFF;
            out.fpu = (leaf1.edx >> 0) & 1;
            out.tsc = (leaf1.edx >> 4) & 1;
            out.cmov = (leaf1.edx >> 15) & 1;
            out.mmx = (leaf1.edx >> 23) & 1;
            out.sse = (leaf1.edx >> 25) & 1;
            out.sse2 = (leaf1.edx >> 26) & 1;
            out.htt = ((leaf1.edx >> 28) & 1) && logical > 1;
            out.ia64 = (leaf1.edx >> 30) & 1;
            out.sse3 = leaf1.ecx & 1;
            // The wide registers are usable only where the system saves them across switches:
            // OSXSAVE, AVX, and both the SSE and the AVX state in the saved set.
            const bool osSaves = ((leaf1.ecx >> 27) & 1) && ((leaf1.ecx >> 28) & 1) && (savedState & 6) == 6;
            out.avx2 = highest >= 7 && osSaves && ((Find(records, count, 7).ebx >> 5) & 1);
        }
        Registers ext0 = Find(records, count, 0x80000000u);
        // Without extended leaves some processors echo a basic leaf here: only 0x8000xxxx counts.
        const uint32_t highestExt = (ext0.eax & 0x80000000u) ? ext0.eax : 0;
        if (highestExt > 0x80000000u) {
            Registers e1 = Find(records, count, 0x80000001u);
            facts.amdBrandId = e1.ebx & 0xFFF;
            facts.multiprocessor = (e1.edx >> 19) & 1;
            out.amdMmxExtensions = (e1.edx >> 22) & 1;
            out.longMode = (e1.edx >> 29) & 1;
            out.amd3DNowExtended = (e1.edx >> 30) & 1;
            out.amd3DNow = (e1.edx >> 31) & 1;
        }
        if (highestExt > 0x80000003u) {
            char brand[49] = {};
            for (uint32_t i = 0; i < 3; ++i) {
                Registers r = Find(records, count, 0x80000002u + i);
                PutWord(brand + 16 * i, r.eax);
                PutWord(brand + 16 * i + 4, r.ebx);
                PutWord(brand + 16 * i + 8, r.ecx);
                PutWord(brand + 16 * i + 12, r.edx);
            }
            const char* p = brand;
            while (*p == ' ')
                ++p;
            std::strncpy(out.brand, p, sizeof out.brand - 1);
            out.brandPresent = 1;
        }
        if (highestExt > 0x80000006u)
            facts.mobile = (Find(records, count, 0x80000007u).edx >> 2) & 1;
        out.mmxExtensions = out.amdMmxExtensions || out.sse;

        if (std::strcmp(out.vendor, "GenuineIntel") == 0) {
            if (highest >= 2) {
                Registers leaf2 = Find(records, count, 2);
                const uint32_t words[4] = {leaf2.eax, leaf2.ebx, leaf2.edx, leaf2.ecx};
                for (int b = 1; b < 16; ++b) {
                    const uint32_t word = words[b / 4];
                    if (word & 0x80000000u) // a register with bit 31 set holds no descriptors
                        continue;
                    IntelDescriptor(out, static_cast<uint8_t>(word >> (8 * (b % 4))));
                }
            }
        } else if (out.family == 5) {
            const int32_t l1 = (out.model == 4 || out.model == 8) ? 16 : 8;
            out.l1CodeKb = l1;
            out.l1DataKb = l1;
        } else {
            if (highestExt >= 0x80000005u) {
                Registers e5 = Find(records, count, 0x80000005u);
                out.l1DataKb = static_cast<int32_t>(e5.ecx >> 24);
                out.l1CodeKb = static_cast<int32_t>(e5.edx >> 24);
            }
            if (highestExt >= 0x80000006u) {
                Registers e6 = Find(records, count, 0x80000006u);
                out.l2Kb = static_cast<int32_t>(e6.ecx >> 16);
                const bool centaur = std::strcmp(out.vendor, "CentaurHauls") == 0;
                const bool amd = std::strcmp(out.vendor, "AuthenticAMD") == 0;
                if (centaur && out.family == 6 && (out.model == 7 || out.model == 8))
                    out.l2Kb = static_cast<int32_t>(e6.ecx >> 24);
                else if (amd && out.family == 6 && out.model == 3 && out.stepping == 0)
                    out.l2Kb = 64;
                else if (amd && out.family == 6 && out.model == 4 && out.stepping <= 1)
                    out.l2Kb = 256;
            }
        }
    }
    std::string name = CpuModelName(out, facts);
    if (name.empty())
        name = "Unknown";
    std::strncpy(out.modelName, name.c_str(), sizeof out.modelName - 1);
    out.identified = 1;
}

SimdLevel SimdLevelOf(const CpuInfo& info)
{
    return info.avx2 ? SimdLevel::Avx2 : info.sse2 ? SimdLevel::Sse2 : SimdLevel::Plain;
}

uint32_t IdentifyCpu()
{
    if (g_CpuInfo.identified)
        return 2;
    std::vector<CpuidRecord> records;
#if defined(__x86_64__) || defined(__i386__)
    auto ask = [&records](uint32_t leaf) {
        CpuidRecord r{leaf, 0, 0, 0, 0};
        __cpuid_count(leaf, 0, r.eax, r.ebx, r.ecx, r.edx);
        records.push_back(r);
        return r;
    };
    const uint32_t highest = ask(0).eax;
    uint32_t leaf1Ecx = 0;
    for (uint32_t leaf = 1; leaf <= highest && leaf <= 2; ++leaf) {
        const CpuidRecord r = ask(leaf);
        if (leaf == 1)
            leaf1Ecx = r.ecx;
    }
    if (highest >= 7)
        ask(7);
    uint64_t savedState = 0;
    if ((leaf1Ecx >> 27) & 1) { // OSXSAVE: XGETBV may be executed
        uint32_t lo = 0, hi = 0;
        __asm__ volatile("xgetbv" : "=a"(lo), "=d"(hi) : "c"(0));
        savedState = static_cast<uint64_t>(hi) << 32 | lo;
    }
    const uint32_t highestExt = ask(0x80000000u).eax;
    if (highestExt & 0x80000000u)
        for (uint32_t leaf = 0x80000001u; leaf <= highestExt && leaf <= 0x80000007u; ++leaf)
            ask(leaf);
#endif
    DecodeCpuInfo(records.data(), records.size(), kProcessorAmdX8664, g_CpuInfo, savedState);
    ForceSimdLevel(SimdLevelOf(g_CpuInfo));
    return 0;
}

double MeasureCpuClock()
{
    if (!g_CpuInfo.identified)
        IdentifyCpu();
    if (g_CpuInfo.measured)
        return g_CpuInfo.clockMhz;
    g_CpuInfo.measured = 1;
    if (!g_CpuInfo.tsc)
        return 0.0;
#if defined(__x86_64__) || defined(__i386__)
    LARGE_INTEGER frequency{};
    const bool counter = QueryPerformanceFrequency(&frequency) && frequency.QuadPart > 0;
    const auto c0 = static_cast<uint32_t>(__rdtsc());
    LARGE_INTEGER q0{};
    if (counter) {
        QueryPerformanceCounter(&q0);
        Sleep(500);
    } else {
        const DWORD start = TimerNow();
        while (TimerNow() - start < 500) {
        }
    }
    const uint32_t cycles = static_cast<uint32_t>(__rdtsc()) - c0;
    double mhz;
    if (!counter) {
        mhz = cycles * 2e-06;
    } else {
        LARGE_INTEGER q1{};
        QueryPerformanceCounter(&q1);
        const double micros = static_cast<double>(q1.QuadPart - q0.QuadPart) * 1000000.0 / frequency.QuadPart;
        // A counter that did not move (a stopped virtual clock) gives no measurement, not a division by 0.
        mhz = micros > 0 ? cycles / micros : 0.0;
    }
    g_CpuInfo.clockMhz = static_cast<float>(mhz);
#endif
    return g_CpuInfo.clockMhz;
}

std::string FormatCpuClock(double mhz)
{
    const auto whole = static_cast<int64_t>(mhz);
    if (whole <= 0)
        return winapi::Sjis("？？MHz");
    char text[32];
    if (whole < 1000)
        std::snprintf(text, sizeof text, "%dMHz", static_cast<int>(whole));
    else
        std::snprintf(text, sizeof text, "%d.%02dGHz", static_cast<int>(whole / 1000),
                      static_cast<int>(whole % 1000 / 10));
    return text;
}
