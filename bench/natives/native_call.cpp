// Native calls through the host's table, 10,000,000 calls a run. (a) The no-op native against a
// plain opcode (add): both in a SOB loop whose body repeats the instruction 50 times, so that
// the loop's own three instructions weigh little and the ratio is nearly that of one call to one
// add. (b) A test native that reads a string, resolves a handle and writes an out word, called
// once a pass of a SOB loop, against Lua 5.4 calling a C function registered with lua_register
// that does the same work in the same loop. Counters: ours_ms, peer_ms, ratio (peer time / our
// time), goal and ns_per_call. Goals: the no-op call within 3 × the plain opcode (ratio ≥ 1/3),
// the test native at 1.5 × Lua's speed or more (ratio ≥ 1.5).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "authoring/sob_assembler.h"
#include "contest.h"
#include "drawing/sprite.h"
#include "natives/native_args.h"
#include "natives/script_host.h"

#if TESSARO_HAVE_LUA
extern "C" {
#include <lauxlib.h>
#include <lua.h>
#include <lualib.h>
}
#endif

namespace {

constexpr uint32_t kCalls = 10000000;
constexpr uint32_t kUnrolled = 50; // instructions in the body of the no-op loop

uint32_t g_sink = 0;

// Word 0 a string, word 1 a sprite handle, word 2 an out cell: the out cell gets the string's
// length plus 1 when the handle names a live sprite.
uint32_t TestNative(SobNativeArgs& args)
{
    CScriptHostBase* host = NativeHost(args);
    const std::string_view text = args.Str(0);
    CSprite* sprite = host->Object<CSprite>(args.U32(1));
    if (args.Faulted())
        return 0;
    args.Out32(2, static_cast<uint32_t>(text.size()) + (sprite != nullptr ? 1 : 0));
    return 1;
}

struct HostLoop {
    CScriptHost host{4u << 20};
    CSprite sprite;
    SobAssembly assembly;
    uint32_t code = 0;
    uint32_t testNative = 0;

    // instruction: what the loop runs ("ncall native N, args, r" or "add ..."), times times a
    // pass; TEST stands for the test native's number.
    HostLoop(const std::string& instruction, uint32_t times)
    {
        host.AddNative(TestNative);
        testNative = host.NativeCount() - 1;
        const uint32_t handle = host.ObjectHandle(&sprite);
        std::string text = instruction;
        if (const size_t at = text.find("TEST"); at != std::string::npos)
            text.replace(at, 4, std::to_string(testNative));
        std::string body;
        for (uint32_t i = 0; i < times; ++i)
            body += "       " + text + "\n";
        const std::string source = "loop:\n" + body +
                                   "       inc loop2.1\n"
                                   "loop2: ge 0, " + std::to_string(kCalls / times) + ", again.1\n"
                                   "again: jz 0, loop\n"
                                   "       ret\n"
                                   "args:  .word name, " + std::to_string(handle) + ", out\n"
                                   "r:     .word 0\nout:   .word 0\nname:  .sjis \"voice01\"\n";
        std::vector<std::string> errors;
        if (!AssembleSob(source, "bench", &assembly, &errors))
            std::fprintf(stderr, "%s\n", errors.empty() ? "assembly failed" : errors[0].c_str());
        code = host.Memory().Allocate(static_cast<uint32_t>(assembly.cells.size() * 4));
    }
    void Run()
    {
        std::string error;
        PlaceSob(assembly, host.Memory(), code, &error);
        host.Machine().Call(code);
        uint32_t out = 0;
        host.Memory().Load32(code + assembly.labels["out"], &out);
        g_sink += out;
    }
};

#if TESSARO_HAVE_LUA
std::vector<void*> g_luaObjects;
long long g_luaOut = 0;

int LuaTest(lua_State* lua)
{
    size_t length = 0;
    lua_tolstring(lua, 1, &length);
    const lua_Integer handle = lua_tointeger(lua, 2);
    const bool live = handle >= 0 && static_cast<size_t>(handle) < g_luaObjects.size() && g_luaObjects[handle] != nullptr;
    g_luaOut = static_cast<long long>(length) + (live ? 1 : 0);
    lua_pushinteger(lua, 1);
    return 1;
}

struct LuaLoop {
    lua_State* lua = luaL_newstate();
    LuaLoop()
    {
        luaL_openlibs(lua);
        lua_register(lua, "test", LuaTest);
        luaL_dostring(lua, "return function(n) local i = 0 while i < n do test(\"voice01\", 0); i = i + 1 end end");
        lua_setglobal(lua, "run");
    }
    ~LuaLoop() { lua_close(lua); }
    void Run()
    {
        lua_getglobal(lua, "run");
        lua_pushinteger(lua, kCalls);
        lua_pcall(lua, 1, 0, 0);
    }
};
#endif

void Report(benchmark::State& state, double goal)
{
    bench::ReportGoal(state, {.ratio = goal});
    state.counters["ns_per_call"] = state.counters["ours_ms"] * 1e6 / kCalls;
}

void NoOpAgainstPlainOpcode(benchmark::State& state)
{
    HostLoop call("ncall native 55, args, r", kUnrolled), plain("add 1, 2, r", kUnrolled);
    bench::Contest(state, [&] { call.Run(); }, [&] { plain.Run(); }, 5);
    Report(state, 1.0 / 3);
}

void TestNativeAgainstLua(benchmark::State& state)
{
#if TESSARO_HAVE_LUA
    HostLoop call("ncall native TEST, args, r", 1);
    CSprite object;
    g_luaObjects.assign(1, &object);
    LuaLoop lua;
    bench::Contest(state, [&] { call.Run(); }, [&] { lua.Run(); }, 5);
    Report(state, 1.5);
#else
    state.SkipWithError("Lua 5.4 not found");
#endif
}

} // namespace

BENCHMARK(NoOpAgainstPlainOpcode)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(TestNativeAgainstLua)->Unit(benchmark::kMillisecond)->Iterations(1);
