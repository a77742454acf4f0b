// A small machine for the script tests: 64 KiB of script memory with code at 0x10000, data cells
// at 0x10400 and a stack block at 0x10500, and helpers to load cells or assembled source.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "authoring/sob_assembler.h"
#include "script/script_memory.h"
#include "script/sob_vm.h"

namespace sobtest {

constexpr uint32_t kCode = 0x10000;
constexpr uint32_t kData = 0x10400;
constexpr uint32_t kStack = 0x10500;
constexpr uint32_t kEnd = 0x20000; // first address past the 64 KiB of memory

struct Machine {
    CScriptMemory memory{0x10000};
    CSobVM vm{memory};

    explicit Machine(uint32_t stackCells = 8)
    {
        EXPECT_EQ(memory.Allocate(0x400), kCode);
        EXPECT_EQ(memory.Allocate(0x100), kData);
        EXPECT_EQ(vm.AllocateStack(stackCells), 0);
        EXPECT_EQ(vm.StackBase(), kStack);
        vm.SetIp(kCode);
    }
    void Cells(const std::vector<uint32_t>& cells, uint32_t at = kCode)
    {
        for (size_t i = 0; i < cells.size(); ++i)
            ASSERT_TRUE(memory.Store32(at + static_cast<uint32_t>(i) * 4, cells[i]));
    }
    // Assembles source and places it at kCode; the assembly's labels are kept for Label().
    void Source(const std::string& source)
    {
        std::vector<std::string> errors;
        ASSERT_TRUE(AssembleSob(source, "test.sob", &assembly, &errors)) << (errors.empty() ? "" : errors[0]);
        std::string error;
        ASSERT_TRUE(PlaceSob(assembly, memory, kCode, &error)) << error;
    }
    uint32_t Label(const std::string& name) const { return kCode + assembly.labels.at(name); }
    uint32_t Cell(uint32_t address) const
    {
        uint32_t v = 0xDEADBEEF;
        EXPECT_TRUE(memory.Load32(address, &v));
        return v;
    }
    // Pushes a value as the host would (through ip), keeping ip.
    void Push(uint32_t value)
    {
        const uint32_t ip = vm.Ip();
        vm.SetIp(value);
        ASSERT_EQ(vm.PushIp(), 0);
        vm.SetIp(ip);
    }
    std::vector<uint32_t> Stack() const
    {
        std::vector<uint32_t> cells;
        for (uint32_t a = vm.StackBase(); a < vm.Sp(); a += 4)
            cells.push_back(Cell(a));
        return cells;
    }
    std::vector<uint8_t> Snapshot() const
    {
        const uint8_t* bytes = memory.Span(memory.Begin(), memory.Size());
        return std::vector<uint8_t>(bytes, bytes + memory.Size());
    }

    SobAssembly assembly;
};

} // namespace sobtest
