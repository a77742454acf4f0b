// The descriptive model names of processors: the vendors' tables of their time, chosen by family,
// model and a few telling conditions (OverDrive type, stepping, L2 size, brand index, ...).
#pragma once

#include <cstdint>
#include <string>

struct CpuInfo;

// What the name tables look at besides the record itself.
struct CpuNameFacts {
    uint32_t brandIndex;     // leaf 1 EBX bits 0-7
    uint32_t extendedFamily; // leaf 1 EAX bits 20-27
    uint32_t extendedModel;  // leaf 1 EAX bits 16-19
    uint32_t amdBrandId;     // leaf 0x80000001 EBX bits 0-11
    bool multiprocessor;     // leaf 0x80000001 EDX bit 19
    bool mobile;             // leaf 0x80000007 EDX bit 2
    bool hasCpuid;
    uint32_t processorType; // GetSystemInfo's processor type
};

// The model name for `info` (vendor, family, model, stepping, type, caches and flags filled);
// never empty ("Unknown" when no row applies).
std::string CpuModelName(const CpuInfo& info, const CpuNameFacts& facts);
