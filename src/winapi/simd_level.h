// The widest SIMD level the pixel kernels may use. The processor's own level is asked once; the
// level in use starts there, start-up sets it again from the CPU facts it gathers, and tests lower
// it (`ForceSimdLevel`) so every twin of a kernel runs against the plain one. Kernels read the level
// once a call (a byte load), never the processor.
#pragma once

#include <cstdint>

enum class SimdLevel : uint8_t {
    Plain = 0, // scalar C++ only
    Sse2 = 1,  // SSE2 (always there on x86-64) and SSSE3 where the processor has it
    Avx2 = 2,
};

// What this processor and its operating system run (cpuid and the saved register state), asked once.
SimdLevel MachineSimdLevel();
// Whether the processor has SSSE3: a few SSE-level kernels use its byte shuffles.
bool MachineHasSsse3();
// Whether the processor runs the 512-bit registers with byte and word lanes (AVX-512 F, BW and VL)
// and the system saves them: a few AVX2-level kernels have a wider twin.
bool MachineHasAvx512Bw();
// Whether it also has the 512-bit byte permutes (AVX-512 VBMI): a few kernels look bytes up in
// tables of 256 with them.
bool MachineHasAvx512Vbmi();

namespace simd_detail {
// Unset until the first ask, so kernels used by static initialisers see the machine's level too.
inline constexpr uint8_t kUnset = 0xFF;
extern uint8_t g_simdLevel;
extern bool g_avx512Allowed;
SimdLevel FirstAsk();
}

// The level the kernels use now.
inline SimdLevel ActiveSimdLevel()
{
    const uint8_t level = simd_detail::g_simdLevel;
    return level == simd_detail::kUnset ? simd_detail::FirstAsk() : static_cast<SimdLevel>(level);
}
inline bool UseAvx2() { return ActiveSimdLevel() >= SimdLevel::Avx2; }
inline bool UseSse2() { return ActiveSimdLevel() >= SimdLevel::Sse2; }
// The SSE level's byte shuffles, where the processor has them.
inline bool UseSsse3() { return UseSse2() && MachineHasSsse3(); }
// The AVX2 level's 512-bit twins, where the processor has them and tests have not turned them off.
inline bool UseAvx512Bw() { return UseAvx2() && simd_detail::g_avx512Allowed && MachineHasAvx512Bw(); }
// The 512-bit twins that look bytes up in tables, where the processor has them.
inline bool UseAvx512Vbmi() { return UseAvx512Bw() && MachineHasAvx512Vbmi(); }

// Sets the level in use, never above the machine's; answers the level set. Start-up calls it once;
// tests call it between kernels, never while another thread draws.
SimdLevel ForceSimdLevel(SimdLevel level);

// Scope guard for tests: forces a level and puts the previous one back.
class ScopedSimdLevel {
public:
    explicit ScopedSimdLevel(SimdLevel level) : m_previous(ActiveSimdLevel()) { ForceSimdLevel(level); }
    ~ScopedSimdLevel() { ForceSimdLevel(m_previous); }
    ScopedSimdLevel(const ScopedSimdLevel&) = delete;
    ScopedSimdLevel& operator=(const ScopedSimdLevel&) = delete;

private:
    SimdLevel m_previous;
};

// Scope guard for tests: allows or forbids the 512-bit twins, so that the AVX2 kernels they stand
// in for still run on a machine that has them; puts the previous setting back.
class ScopedAvx512 {
public:
    explicit ScopedAvx512(bool allow) : m_previous(simd_detail::g_avx512Allowed) { simd_detail::g_avx512Allowed = allow; }
    ~ScopedAvx512() { simd_detail::g_avx512Allowed = m_previous; }
    ScopedAvx512(const ScopedAvx512&) = delete;
    ScopedAvx512& operator=(const ScopedAvx512&) = delete;

private:
    bool m_previous;
};

// The levels this machine can run, lowest first, for tests that run a kernel at each.
inline constexpr SimdLevel kAllSimdLevels[] = {SimdLevel::Plain, SimdLevel::Sse2, SimdLevel::Avx2};
