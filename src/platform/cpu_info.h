// Processor identification at start-up: vendor, signature, instruction-set extensions, caches, the
// vendor's brand string and a descriptive model name from built-in tables, and the clock measured
// with the time-stamp counter. g_bUseMmx picks the raster's SIMD row kernels while it is set.
// The decoding works on register values, so tests feed it recorded CPUID dumps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "winapi/simd_level.h"

struct CpuInfo {
    char vendor[13];    // leaf 0: EBX, EDX, ECX
    char brand[49];     // leaves 0x80000002..4, leading blanks removed
    char modelName[49]; // from the name tables; "Unknown" when nothing matched
    float clockMhz;     // 0 = unknown
    int32_t l1CodeKb;   // caches: 0 = none or unknown
    int32_t l1TraceKuops;
    int32_t l1DataKb;
    int32_t l2Kb;
    int32_t l3Kb;
    uint8_t type; // leaf 1 EAX bits 12-13, 8-11, 4-7, 0-3
    uint8_t family;
    uint8_t model;
    uint8_t stepping;
    uint8_t fpu;
    uint8_t tsc;
    uint8_t cmov;
    uint8_t mmx; // g_bUseMmx
    uint8_t mmxExtensions;
    uint8_t sse;
    uint8_t sse2;
    uint8_t sse3;
    uint8_t avx2; // leaf 7 says so and the system saves the wide registers (OSXSAVE, XGETBV)
    uint8_t amdMmxExtensions;
    uint8_t amd3DNow;
    uint8_t amd3DNowExtended;
    uint8_t htt;
    uint8_t ia64;
    uint8_t longMode;
    uint8_t identified;
    uint8_t measured;
    uint8_t brandPresent;
};

extern CpuInfo g_CpuInfo;
// The MMX flag of g_CpuInfo: non-zero = use the SIMD twins of the row kernels. The frame clears it
// when the application turns MMX off; tests set it to exercise both kernels.
extern uint8_t& g_bUseMmx;

// One recorded CPUID answer.
struct CpuidRecord {
    uint32_t leaf;
    uint32_t eax, ebx, ecx, edx;
};

// Processor types of GetSystemInfo, used to name processors of unknown vendors.
enum : uint32_t {
    kProcessorIntel386 = 386,
    kProcessorIntel486 = 486,
    kProcessorAmdX8664 = 8664,
};

// Fills `out` from CPUID answers (a leaf missing from `records` answers zeros; null/0 records mean
// a processor without CPUID), the processor type of GetSystemInfo and the register state the
// system saves (XGETBV 0; 0 where OSXSAVE is clear). Clock fields stay 0.
void DecodeCpuInfo(const CpuidRecord* records, size_t count, uint32_t processorType, CpuInfo& out,
                   uint64_t savedState = 0);

// The SIMD level the pixel kernels may use on a processor of these facts.
SimdLevel SimdLevelOf(const CpuInfo& info);

// Identifies this machine's processor into g_CpuInfo and sets the kernels' SIMD level from it
// (once): 0 identified now, 2 already identified.
uint32_t IdentifyCpu();

// Measures the clock over half a second, once (later calls return the stored value); 0 without a
// time-stamp counter. Identifies the processor first when that was not done.
double MeasureCpuClock();

// "？？MHz" (Shift-JIS) for 0, "%dMHz" below 1000, "%d.%02dGHz" otherwise (MHz truncated first).
std::string FormatCpuClock(double mhz);
