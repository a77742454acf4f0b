// The SOB machine against Lua 5.4 on the same loop, s = s + i; i = i + 1 while i < n, for
// n = 50,000,000. SOB keeps its counters in the operand cells they feed, as self-patching code
// does (an add, two increments, a compare and a conditional jump per iteration); Lua runs a
// while loop over locals. A second contest hands the counter to a native each iteration, against
// Lua calling a C function registered with lua_register. Counters: ours_ms, peer_ms, ratio (Lua
// time / SOB time: above 1 means SOB is faster) and sob_mips (SOB instructions per second, in
// millions). Goals: ratio >= 1.0 for the plain loop, >= 1.5 with the native.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <string>
#include <vector>

#include "authoring/sob_assembler.h"
#include "contest.h"
#include "script/script_memory.h"
#include "script/sob_vm.h"

#if TESSARO_HAVE_LUA
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}
#endif

namespace {

constexpr uint32_t kIterations = 50000000;

double Median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The SOB side: the loop assembled once and placed afresh for each run.
struct SobLoop {
    CScriptMemory memory{1u << 20};
    CSobVM vm{memory};
    SobAssembly assembly;
    uint32_t code = 0;

    explicit SobLoop(bool withNative)
    {
        const std::string source = std::string("loop:  add 0, 0, loop.1      ; s = s + i\n") +
                                   (withNative ? "       ncall native 0, loop.2, r\n" : "") +
                                   "       inc loop.2            ; i = i + 1\n"
                                   "       inc test.1\n"
                                   "test:  ge 0, " + std::to_string(kIterations) + ", again.1\n"
                                   "again: jz 0, loop\n"
                                   "       ret\n"
                                   "r:     .word 0\n";
        std::vector<std::string> errors;
        if (!AssembleSob(source, "bench", &assembly, &errors))
            std::fprintf(stderr, "%s\n", errors.empty() ? "assembly failed" : errors[0].c_str());
        code = memory.Allocate(static_cast<uint32_t>(assembly.cells.size() * 4));
        vm.AllocateStack(64);
    }
    // → s mod 2^32.
    uint32_t Run()
    {
        std::string error;
        PlaceSob(assembly, memory, code, &error);
        vm.Call(code);
        uint32_t s = 0;
        memory.Load32(code + 4, &s);
        return s;
    }
};

uint32_t g_nativeTotal = 0;

uint32_t TakeCounter(SobNativeArgs& args)
{
    g_nativeTotal += args.U32(0);
    return 0;
}
const SobNative kNatives[] = {TakeCounter};

#if TESSARO_HAVE_LUA
long long g_luaTotal = 0;

int LuaTakeCounter(lua_State* lua)
{
    g_luaTotal += lua_tointeger(lua, 1);
    return 0;
}

struct LuaLoop {
    lua_State* lua = luaL_newstate();
    explicit LuaLoop(bool withNative)
    {
        luaL_openlibs(lua);
        lua_register(lua, "take", LuaTakeCounter);
        const char* source = withNative ? "return function(n) local s, i = 0, 0 while i < n do s = s + i; take(i); i = i + 1 end return s end"
                                        : "return function(n) local s, i = 0, 0 while i < n do s = s + i; i = i + 1 end return s end";
        luaL_dostring(lua, source);
        lua_setglobal(lua, "run");
    }
    ~LuaLoop() { lua_close(lua); }
    uint32_t Run()
    {
        lua_getglobal(lua, "run");
        lua_pushinteger(lua, kIterations);
        lua_pcall(lua, 1, 1, 0);
        const uint32_t s = static_cast<uint32_t>(lua_tointeger(lua, -1));
        lua_pop(lua, 1);
        return s;
    }
};
#endif

void Loop(benchmark::State& state, bool withNative)
{
#if TESSARO_HAVE_LUA
    SobLoop sob(withNative);
    sob.vm.SetNatives(kNatives, 1);
    LuaLoop lua(withNative);
    uint32_t sobSum = 0, luaSum = 0;
    const uint64_t before = sob.vm.InstructionCount();
    std::vector<double> sobSeconds;
    bench::Contest(
        state,
        [&] {
            const auto start = std::chrono::steady_clock::now();
            sobSum = sob.Run();
            sobSeconds.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
        },
        [&] { luaSum = lua.Run(); },
        bench::Goal{.ratio = withNative ? 1.5 : 1.0}, 3);
    if (sobSum != luaSum || (withNative && g_nativeTotal != static_cast<uint32_t>(g_luaTotal)))
        state.SkipWithError("the two sums differ");
    const double instructionsPerRun = double(sob.vm.InstructionCount() - before) / double(sobSeconds.size());
    state.counters["sob_mips"] = instructionsPerRun / Median(sobSeconds) / 1e6;
#else
    (void)withNative;
    state.SkipWithError("Lua 5.4 (pkg-config lua5.4) was not found");
#endif
}

void PlainLoop(benchmark::State& state)
{
    Loop(state, false);
}
void LoopWithNative(benchmark::State& state)
{
    Loop(state, true);
}

BENCHMARK(PlainLoop)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(LoopWithNative)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace
