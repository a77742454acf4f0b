#include "platform/cpu_names.h"

#include <cstdio>
#include <cstring>

#include "platform/cpu_info.h"

namespace {

struct Query {
    const CpuInfo& cpu;
    const CpuNameFacts& facts;
};

using Condition = bool (*)(const Query&);

// One row: family, model (-1 any), condition (null = always), name. The first row that applies wins.
struct NameRow {
    int family;
    int model;
    Condition when;
    const char* name;
};

bool TypeOverDrive(const Query& q)
{
    return q.cpu.type == 1;
}
bool Type0(const Query& q)
{
    return q.cpu.type == 0;
}
bool Type2(const Query& q)
{
    return q.cpu.type == 2;
}
bool NoL2(const Query& q)
{
    return q.cpu.l2Kb == 0;
}
bool L2Below256(const Query& q)
{
    return q.cpu.l2Kb < 256;
}
bool L2Below512(const Query& q)
{
    return q.cpu.l2Kb < 512;
}
bool L2Is256(const Query& q)
{
    return q.cpu.l2Kb == 256;
}
bool L2Is512(const Query& q)
{
    return q.cpu.l2Kb == 512;
}
bool L2AtMost128(const Query& q)
{
    return q.cpu.l2Kb <= 128;
}
bool L2OverDrive512(const Query& q)
{
    return q.cpu.l2Kb == 512 && q.cpu.type == 1;
}
bool Brand1(const Query& q)
{
    return q.facts.brandIndex == 1;
}
bool Brand3(const Query& q)
{
    return q.facts.brandIndex == 3;
}
bool Brand4(const Query& q)
{
    return q.facts.brandIndex == 4;
}
bool Brand6(const Query& q)
{
    return q.facts.brandIndex == 6;
}
bool Brand7(const Query& q)
{
    return q.facts.brandIndex == 7;
}
bool Brand12h(const Query& q)
{
    return q.facts.brandIndex == 0x12;
}
bool BrandC(const Query& q)
{
    return q.facts.brandIndex == 0x0C;
}
bool BrandE(const Query& q)
{
    return q.facts.brandIndex == 0x0E;
}
bool BrandBNoL3(const Query& q)
{
    return q.facts.brandIndex == 0x0B && q.cpu.l3Kb == 0;
}
bool BrandB(const Query& q)
{
    return q.facts.brandIndex == 0x0B;
}
bool Brand9HttL3(const Query& q)
{
    return q.facts.brandIndex == 0x09 && q.cpu.htt && q.cpu.l3Kb != 0;
}
bool Brand9Htt(const Query& q)
{
    return q.facts.brandIndex == 0x09 && q.cpu.htt;
}
bool Brand9(const Query& q)
{
    return q.facts.brandIndex == 0x09;
}
bool BrandEHtt(const Query& q)
{
    return q.facts.brandIndex == 0x0E && q.cpu.htt;
}
bool BrandFL2512(const Query& q)
{
    return q.facts.brandIndex == 0x0F && q.cpu.l2Kb == 512;
}
bool BrandF(const Query& q)
{
    return q.facts.brandIndex == 0x0F;
}
bool ExtendedFamily1(const Query& q)
{
    return q.facts.extendedFamily == 1;
}
bool ExtendedModel(const Query& q)
{
    return q.facts.extendedModel != 0;
}
bool Mobile(const Query& q)
{
    return q.facts.mobile;
}
bool MobileL2Below256(const Query& q)
{
    return q.facts.mobile && q.cpu.l2Kb < 256;
}
bool Multiprocessor(const Query& q)
{
    return q.facts.multiprocessor;
}
bool MultiprocessorStepBelow3(const Query& q)
{
    return q.facts.multiprocessor && q.cpu.stepping < 3;
}
bool NoLongMode(const Query& q)
{
    return !q.cpu.longMode;
}
bool StepBelow8(const Query& q)
{
    return q.cpu.stepping < 8;
}
bool Step7To9(const Query& q)
{
    return q.cpu.stepping >= 7 && q.cpu.stepping <= 9;
}
bool Step10Up(const Query& q)
{
    return q.cpu.stepping >= 10;
}
bool StepBelow4(const Query& q)
{
    return q.cpu.stepping < 4;
}

// Processors whose numbers outgrew these tables (an extended model) get the family's unknown row:
// their 4-bit model would otherwise match an unrelated processor of the old tables.
const NameRow kIntel[] = {
    {3, 0, Type0, "386DX"},
    {3, 0, Type2, "386SX/CX/EX"},
    {3, 1, nullptr, "386SL"},
    {3, 4, Type0, "RapidCAD coprocessor"},
    {4, 0, nullptr, "486DX"},
    {4, 1, nullptr, "486DX"},
    {4, 2, nullptr, "486SX"},
    {4, 3, nullptr, "486DX2"},
    {4, 4, nullptr, "486SL"},
    {4, 5, nullptr, "SX2"},
    {4, 7, nullptr, "LightbackEnhanced DX2"},
    {4, 8, nullptr, "DX4"},
    {4, 9, nullptr, "486DX4(WB)"},
    {3, -1, nullptr, "486 Family(Unknown)"},
    {4, -1, nullptr, "486 Family(Unknown)"},
    {5, 1, TypeOverDrive, "Pentium(P5 ODP)"},
    {5, 1, nullptr, "Pentium"},
    {5, 2, TypeOverDrive, "Pentium ODP"},
    {5, 2, nullptr, "Pentium"},
    {5, 3, nullptr, "Pentium(DX4 ODP)"},
    {5, 4, TypeOverDrive, "Pentium MMX ODP"},
    {5, 4, nullptr, "Pentium with MMX(P55C)"},
    {5, 7, nullptr, "Mobile Pentium(P54C)"},
    {5, 8, nullptr, "Mobile Pentium MMX(low voltage P55)"},
    {5, -1, nullptr, "Pentium Family(Unknown)"},
    {6, -1, ExtendedModel, "P6 Family(Unknown)"},
    {6, 0, nullptr, "Pentium Pro(A-step sample)"},
    {6, 1, nullptr, "Pentium Pro"},
    {6, 3, TypeOverDrive, "ODP"},
    {6, 3, nullptr, "Pentium II(Klamath)"},
    {6, 5, NoL2, "Celeron(Convington)"},
    {6, 5, L2Below512, "Celeron(Convinton)"},
    {6, 5, L2OverDrive512, "Pentium II OverDrive"},
    {6, 5, L2Is512, "Pentium II(Deschutes)"},
    {6, 5, nullptr, "Pentium II Xeon(Deschutes)"},
    {6, 6, L2Is256, "Mobile Pentium II(Dixon)"},
    {6, 6, Mobile, "Mobile Celeron(Dixon-128K)"},
    {6, 6, nullptr, "Celeron(Mendocino)"},
    {6, 7, Brand3, "Pentium III Xeon(Tanner)"},
    {6, 7, nullptr, "Pentium III(Katmai)"},
    {6, 8, Brand3, "Pentium III Xeon(Cascades)"},
    {6, 8, Brand1, "Celeron(Coppermine-128K)"},
    {6, 8, L2AtMost128, "Celeron(Coppermine-128K)"},
    {6, 8, nullptr, "Pentium III(Coppermine)"},
    {6, 9, Brand12h, "Mobile Celeron(Banias)"},
    {6, 9, nullptr, "Mobile Pentium M(Banias)"},
    {6, 10, nullptr, "Pentium III Xeon(Cascades)"},
    {6, 11, Brand6, "Mobile Pentium III-M(Tualatin)"},
    {6, 11, Brand7, "Mobile Celeron(Tualatin)"},
    {6, 11, Brand3, "Celeron(Tualatin)"},
    {6, 11, Brand4, "Pentium III(Tualatin)"},
    {6, 11, L2Is512, "Pentium III-S(Tualatin)"},
    {6, 11, L2Is256, "Pentium III(Tualatin)"},
    {6, 11, nullptr, "Celeron(Tualatin)"},
    {6, 13, nullptr, "Mobile Pentium M(Dothan)"},
    {6, -1, nullptr, "P6 Family(Unknown)"},
    {7, -1, nullptr, "Itanium(Merced)"},
    {15, -1, ExtendedFamily1, "Itanium 2(McKinley)"},
    {15, 0, BrandC, "Xeon MP(Foster MP)"},
    {15, 0, BrandE, "Xeon(Foster)"},
    {15, 0, L2Is512, "Pentium 4(Willamette)"},
    {15, 0, nullptr, "Celeron(Willamette-128K)"},
    {15, 1, BrandC, "Xeon MP(Foster MP)"},
    {15, 1, BrandE, "Xeon(Foster)"},
    {15, 1, L2Is512, "Pentium 4(Willamette)"},
    {15, 1, nullptr, "Celeron(Willamette-128K)"},
    {15, 2, BrandC, "Xeon MP(Gallatin)"},
    {15, 2, BrandBNoL3, "Xeon(Prestonia)"},
    {15, 2, BrandB, "Xeon(Gallatin)"},
    {15, 2, Brand9HttL3, "Pentium 4 Extreme Edition(Gallatin)"},
    {15, 2, Brand9Htt, "Pentium 4 HT(Northwood)"},
    {15, 2, Brand9, "Pentium 4(Northwood)"},
    {15, 2, BrandEHtt, "Mobile Pentium 4 HT(Northwood)"},
    {15, 2, BrandE, "Mobile Pentium 4-M(Northwood)"},
    {15, 2, L2Is256, "Mobile Celeron(Northwood-256K)"},
    {15, 2, BrandFL2512, "Mobile Pentium 4-M ES(Northwood)"},
    {15, 2, BrandF, "Mobile Celeron(Northwood-128K)"},
    {15, 2, nullptr, "Celeron(Northwood-128K)"},
    {15, 3, nullptr, "Pentium 4 HT(Prescott)"},
    {15, -1, nullptr, "Pentium 4 Family(Unknown)"},
    {-1, -1, nullptr, "P6 Family(Unknown)"},
};

const NameRow kAmd[] = {
    {4, 3, nullptr, "486DX2/DX4 (2xWT)"},
    {4, 7, nullptr, "486DX2/DX2 (2xWB)"},
    {4, 8, nullptr, "486DX4/5x86 (3xWT)"},
    {4, 9, nullptr, "486DX4 SV8B (3xWB)"},
    {4, 14, nullptr, "5x86 (4xWT)"},
    {4, 15, nullptr, "5x86 (4xWB)"},
    {5, 6, nullptr, "K6 Family(Unknown)"},
    {5, 7, nullptr, "K6 Family(Unknown)"},
    {5, 8, nullptr, "K6-2(Chompers)"},
    {5, 9, nullptr, "K6-III(Sharptooth)"},
    {5, 13, L2Below256, "K6-2+"},
    {5, 13, nullptr, "K6-III+"},
    {4, -1, nullptr, "K5/K6 Family(Unknown)"},
    {5, -1, nullptr, "K5/K6 Family(Unknown)"},
    {6, 1, nullptr, "Athlon(K7)"},
    {6, 2, nullptr, "Athlon(K75)"},
    {6, 3, nullptr, "Duron(Spitfire)"},
    {6, 4, nullptr, "Athlon(ThunderBird)"},
    {6, 6, MobileL2Below256, "Mobile Duron(Palomino)"},
    {6, 6, Mobile, "Mobile Athlon 4(Palomino)"},
    {6, 6, L2Below256, "Duron(Palomino)"},
    {6, 6, MultiprocessorStepBelow3, "Athlon XP/MP(Palomino)"},
    {6, 6, Multiprocessor, "Athlon MP(Palomino)"},
    {6, 6, nullptr, "Athlon XP(Palomino)"},
    {6, 7, Mobile, "Mobile Duron(Morgan)"},
    {6, 7, nullptr, "Duron(Morgan)"},
    {6, 8, L2Below256, "Duron(Applebred)"},
    {6, 8, Mobile, "Mobile Athlon XP-M(Thoroughbred)"},
    {6, 8, Multiprocessor, "Athlon MP(Thoroughbred)"},
    {6, 8, nullptr, "Athlon XP(Thoroughbred)"},
    {6, 10, L2Below512, "Athlon XP(Thorton)"},
    {6, 10, Mobile, "Mobile Athlon XP-M(Barton)"},
    {6, 10, Multiprocessor, "Athlon MP(Barton)"},
    {6, 10, nullptr, "Athlon XP(Barton)"},
    {6, -1, nullptr, "Athlon Family(Unknown)"},
    {15, -1, NoLongMode, "Athlon XP(Paris)"},
    {-1, -1, nullptr, "Athlon Family(Unknown)"},
};

const NameRow kUmc[] = {
    {4, 1, nullptr, "U5D (486DX)"},
    {4, 2, nullptr, "U5S (486SX)"},
};

const NameRow kCyrix[] = {
    {4, 4, nullptr, "MediaGX/GXm/GXi"},
    {4, 9, nullptr, "5x86"},
    {4, -1, nullptr, "5x86 Family(Unknown)"},
    {5, 2, nullptr, "6x86 / 6x86L"},
    {5, 4, nullptr, "MediaGX-MMX"},
    {5, -1, nullptr, "6x86 Family(Unknown)"},
    {6, 0, nullptr, "6x86MX / M-II"},
    {6, 5, nullptr, "VIA Cyrix III(Joshua)"},
    {-1, -1, nullptr, "6x86MX / M-II Family(Unknown)"},
};

const NameRow kNexGen[] = {
    {5, 0, nullptr, "Nx586"},
    {6, -1, nullptr, "Nx686"},
};

const NameRow kCentaur[] = {
    {5, 4, nullptr, "WinChip C6"},
    {5, 8, Step7To9, "WinChip 2A"},
    {5, 8, Step10Up, "WinChip 2B"},
    {5, 8, nullptr, "WinChip 2"},
    {5, 9, nullptr, "WinChip 3"},
    {5, -1, nullptr, "IDT C6 Family(Unknown)"},
    {6, 6, nullptr, "VIA Cyrix III(Samuel)"},
    {6, 7, StepBelow8, "VIA C3(Samuel2)"},
    {6, 7, nullptr, "VIA C3(Ezra)"},
    {6, 8, nullptr, "VIA C3(Ezra-T)"},
    {6, 9, nullptr, "VIA C3(Nehemiah)"},
    {-1, -1, nullptr, "VIA C3 Family(Unknown)"},
};

const NameRow kRise[] = {
    {5, 0, nullptr, "mP6(iDragon)"},          {5, 2, nullptr, "mP6(iDragon)"},
    {5, 8, nullptr, "mP6(iDragon II)"},       {5, 9, nullptr, "mP6(iDragon II)"},
    {-1, -1, nullptr, "mP6 Family(Unknown)"},
};

const NameRow kTransmeta[] = {
    {5, -1, NoL2, "Crusoe TM3200"},       {5, -1, L2Is256, "Crusoe TM5400"},
    {5, -1, StepBelow4, "Crusoe TM5600"}, {5, -1, L2Is512, "Crusoe TM5800"},
    {5, -1, nullptr, "Crusoe TM5500"},    {15, -1, nullptr, "Efficeon (Astro, TM8000)"},
};

const NameRow kNsc[] = {
    {5, 4, nullptr, "Geode GXM/GXLV/GX1"},
    {-1, -1, nullptr, "Geode CPU(Unknown)"},
};

struct VendorRow {
    const char* vendor;
    const char* prefix;
    const NameRow* rows;
    size_t count;
};

#define VENDOR(v, p, rows)                                                                                   \
    {                                                                                                        \
        v, p, rows, sizeof(rows) / sizeof(rows[0])                                                           \
    }
const VendorRow kVendors[] = {
    VENDOR("GenuineIntel", "Intel ", kIntel),
    VENDOR("AuthenticAMD", "AMD ", kAmd),
    VENDOR("CyrixInstead", "Cyrix ", kCyrix),
    VENDOR("CentaurHauls", "Centaur ", kCentaur),
    VENDOR("NexGenDriven", "NexGen ", kNexGen),
    VENDOR("RiseRiseRise", "Rise ", kRise),
    VENDOR("GenuineTMx86", "Transmeta ", kTransmeta),
    {"SiS SiS SiS ", "SiS ", nullptr, 0},
    VENDOR("Geode by NSC", "NSC ", kNsc),
    VENDOR("UMC UMC UMC ", "UMC ", kUmc),
};
#undef VENDOR

// Processor types of GetSystemInfo, for vendors the tables do not know.
struct ProcessorTypeRow {
    uint32_t type;
    const char* name;
};
const ProcessorTypeRow kProcessorTypes[] = {
    {386, "Intel 386"},     {486, "Intel 486"},     {2000, "MIPS R2000"},   {3000, "MIPS R3000"},
    {4000, "MIPS R4000"},   {21064, "Alpha 21064"}, {21066, "Alpha 21066"}, {21164, "Alpha 21164"},
    {601, "PowerPC 601"},   {603, "PowerPC 603"},   {604, "PowerPC 604"},   {620, "PowerPC 620"},
    {103, "SH3"},           {104, "SH4"},           {10003, "HITACHI SH3"}, {10004, "HITACHI SH3E"},
    {10005, "HITACHI SH4"}, {2577, "StrongARM"},    {1824, "ARM 720"},      {2080, "ARM 820"},
    {2336, "ARM 920"},      {70001, "ARM 7TDMI"},
};

// The 64-bit AMD names, by brand-id bits 8-11.
std::string Amd64Name(const CpuInfo& cpu, uint32_t brandId)
{
    const unsigned nn = brandId & 0xFF;
    char number[16];
    std::string name;
    switch ((brandId >> 8) & 0xF) {
    case 0:
        name = "Engineering Sample";
        break;
    case 1:
        std::snprintf(number, sizeof number, " %u00+", nn + 22);
        name = std::string("Athlon 64") + number;
        break;
    case 2:
        std::snprintf(number, sizeof number, " %u00+", nn + 22);
        name = std::string("Mobile Athlon 64") + number;
        break;
    case 3:
        std::snprintf(number, sizeof number, "%u", nn * 2 + 38);
        name = std::string("Opteron UP 1") + number;
        break;
    case 4:
        std::snprintf(number, sizeof number, "%u", nn * 2 + 38);
        name = std::string("Opteron DP 2") + number;
        break;
    case 5:
        std::snprintf(number, sizeof number, "%u", nn * 2 + 38);
        name = std::string("Opteron MP 8") + number;
        break;
    case 6:
        std::snprintf(number, sizeof number, "%u", nn + 24);
        name = std::string("Athlon 64 FX-") + number;
        break;
    default:
        name = "Hammer";
        break;
    }
    if (cpu.model < 4)
        name += "(ClawHammer)";
    else if (cpu.model == 5)
        name += "(SledgeHammer)";
    else
        name += "(Unknown)";
    return name;
}

const char* FindRow(const NameRow* rows, size_t count, const Query& q)
{
    for (size_t i = 0; i < count; ++i) {
        const NameRow& r = rows[i];
        if (r.family != -1 && r.family != q.cpu.family)
            continue;
        if (r.model != -1 && r.model != q.cpu.model)
            continue;
        if (r.when && !r.when(q))
            continue;
        return r.name;
    }
    return nullptr;
}

} // namespace

std::string CpuModelName(const CpuInfo& cpu, const CpuNameFacts& facts)
{
    const Query q{cpu, facts};
    if (facts.hasCpuid) {
        if (std::strcmp(cpu.vendor, "Compaq FX!32") == 0)
            return "Alpha";
        if (std::strcmp(cpu.vendor, "ConnectixCPU") == 0)
            return "PowerPC";
        for (const VendorRow& v : kVendors) {
            if (std::strcmp(cpu.vendor, v.vendor) != 0)
                continue;
            if (v.rows == kAmd && cpu.family == 15 && cpu.longMode)
                return std::string(v.prefix) + Amd64Name(cpu, facts.amdBrandId);
            const char* name = FindRow(v.rows, v.count, q);
            return name ? std::string(v.prefix) + name : std::string("Unknown");
        }
    }
    for (const ProcessorTypeRow& row : kProcessorTypes)
        if (row.type == facts.processorType)
            return row.name;
    return "Unknown";
}
