#include "winapi/simd_level.h"

SimdLevel MachineSimdLevel()
{
#if defined(__x86_64__) || defined(__i386__)
    // The compiler's check reads cpuid once at load and counts AVX2 only where the system saves
    // the wide registers.
    static const SimdLevel level = __builtin_cpu_supports("avx2")   ? SimdLevel::Avx2
                                   : __builtin_cpu_supports("sse2") ? SimdLevel::Sse2
                                                                    : SimdLevel::Plain;
    return level;
#else
    return SimdLevel::Plain;
#endif
}

bool MachineHasSsse3()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
#else
    return false;
#endif
}

bool MachineHasAvx512Bw()
{
#if defined(__x86_64__) || defined(__i386__)
    // As for AVX2, the compiler's check counts these only where the system saves the registers.
    static const bool has = __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw")
                            && __builtin_cpu_supports("avx512vl");
    return has;
#else
    return false;
#endif
}

bool MachineHasAvx512Vbmi()
{
#if defined(__x86_64__) || defined(__i386__)
    static const bool has = MachineHasAvx512Bw() && __builtin_cpu_supports("avx512vbmi");
    return has;
#else
    return false;
#endif
}

namespace simd_detail {
uint8_t g_simdLevel = kUnset;
bool g_avx512Allowed = true;

SimdLevel FirstAsk() { return ForceSimdLevel(MachineSimdLevel()); }
}

SimdLevel ForceSimdLevel(SimdLevel level)
{
    const SimdLevel machine = MachineSimdLevel();
    const SimdLevel set = level > machine ? machine : level;
    simd_detail::g_simdLevel = static_cast<uint8_t>(set);
    return set;
}
