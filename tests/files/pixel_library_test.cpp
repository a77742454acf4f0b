// The pixel-library loader: our built-in module is found in any folder and case, a recording mock
// module sees the kernels chosen by the MMX flag, and every unusable library (not registered, an
// export missing, no table, an entry missing) leaves the raster without one.
#include "files/pixel_library.h"

#include "platform/cpu_info.h"
#include "winapi/kernel_module.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

// What the mock module saw, and how it answers.
struct MockState {
    int configCalls = 0;
    PixelLibCopyKernel kernels[3] = {};
    const CpuInfo* record = nullptr;
    bool nullTable = false;
    bool dropBlend = false;
    int tablesAlive = 0;
};
MockState g_mock;
RECT g_mockChanged{};

class MockTable : public CPixelLibTable {
public:
    MockTable() { ++g_mock.tablesAlive; }
    ~MockTable() override { --g_mock.tablesAlive; }
};

void MockConfig(int, PixelLibCopyKernel a, PixelLibCopyKernel b, PixelLibCopyKernel c)
{
    ++g_mock.configCalls;
    g_mock.kernels[0] = a;
    g_mock.kernels[1] = b;
    g_mock.kernels[2] = c;
}
CPixelLibTable* MockGetLibrary(const CpuInfo* record)
{
    g_mock.record = record;
    if (g_mock.nullTable) {
        return nullptr;
    }
    // Our own entries stand in; the mock only records and may drop one.
    std::unique_ptr<CPixelLibTable> real(PixelLibGetLibrary(record));
    auto* table = new MockTable;
    table->changedRect = &g_mockChanged;
    table->entries = real->entries;
    if (g_mock.dropBlend) {
        table->entries.blend = nullptr;
    }
    return table;
}

const winapi::BuiltinProc kMockProcs[] = {
    {"tvpglConfig", winapi::ToFarProc(&MockConfig)},
    {"GetLibrary", winapi::ToFarProc(&MockGetLibrary)},
};
const winapi::BuiltinProc kNoConfigProcs[] = {
    {"GetLibrary", winapi::ToFarProc(&MockGetLibrary)},
};

class PixelLibraryLoader : public testing::Test {
protected:
    void SetUp() override { g_mock = MockState{}; }
    void TearDown() override
    {
        SetPixelLibrary(nullptr);
        RegisterPixelLibraryModule();
    }
    // Loads, publishes and answers whether the raster now sees a library.
    bool Publishes(const char* path, const CpuInfo* record = nullptr)
    {
        m_library.reset(LoadPixelLibrary(path, record));
        if (!m_library) {
            return false;
        }
        SetPixelLibrary(m_library.get());
        return g_pPixelLib != nullptr;
    }
    std::unique_ptr<CPixelLibrary> m_library;
};

TEST_F(PixelLibraryLoader, OurModuleLoadsFromAnyFolderAndCase)
{
    ASSERT_TRUE(RegisterPixelLibraryModule());
    ASSERT_TRUE(RegisterPixelLibraryModule()); // idempotent
    for (const char* path : {"Z:\\nowhere\\tvpgl.dll", "Z:\\Game\\TVPGL.DLL", "C:\\x\\TvpGl.Dll"}) {
        SCOPED_TRACE(path);
        EXPECT_TRUE(Publishes(path));
        EXPECT_EQ(g_pPixelLib, m_library.get());
        EXPECT_EQ(g_pPixelLibChangedRect, m_library->table->changedRect);
        EXPECT_NE(g_PixelLibFuncs.blend, nullptr);
        EXPECT_NE(g_PixelLibFuncs.drawQuad, nullptr);
        m_library.reset();
        // The destructor of the published library clears what the raster sees.
        EXPECT_EQ(g_pPixelLib, nullptr);
        EXPECT_EQ(g_pPixelLibChangedRect, nullptr);
        EXPECT_EQ(g_PixelLibFuncs.blend, nullptr);
    }
}

TEST_F(PixelLibraryLoader, UnusableLibrariesLeaveTheRasterOnItsOwnPaths)
{
    winapi::UnregisterBuiltinModule("tvpgl.dll");
    EXPECT_FALSE(Publishes("Z:\\Game\\tvpgl.dll"));
    EXPECT_EQ(m_library->module, nullptr);
    EXPECT_FALSE(Publishes(nullptr));

    ASSERT_TRUE(winapi::RegisterBuiltinModule("tvpgl.dll", kNoConfigProcs, std::size(kNoConfigProcs)));
    EXPECT_FALSE(Publishes("Z:\\Game\\tvpgl.dll"));
    EXPECT_EQ(g_mock.configCalls, 0);

    ASSERT_TRUE(winapi::RegisterBuiltinModule("tvpgl.dll", kMockProcs, std::size(kMockProcs)));
    g_mock.nullTable = true;
    EXPECT_FALSE(Publishes("Z:\\Game\\tvpgl.dll"));
    g_mock.nullTable = false;
    g_mock.dropBlend = true;
    EXPECT_FALSE(Publishes("Z:\\Game\\tvpgl.dll"));
    EXPECT_EQ(g_mock.tablesAlive, 0); // the refused table was deleted
    EXPECT_EQ(g_PixelLibFuncs.fill32, nullptr);
}

TEST_F(PixelLibraryLoader, MockSeesTheKernelsOfTheMmxFlagAndIsDeleted)
{
    ASSERT_TRUE(winapi::RegisterBuiltinModule("tvpgl.dll", kMockProcs, std::size(kMockProcs)));
    CpuInfo record{};
    record.mmx = 0;
    ASSERT_TRUE(Publishes("Z:\\Game\\tvpgl.dll", &record));
    EXPECT_EQ(g_mock.configCalls, 1);
    EXPECT_EQ(g_mock.kernels[0], &CopyRows32);
    EXPECT_EQ(g_mock.kernels[1], &CopyColorRows32);
    EXPECT_EQ(g_mock.kernels[2], &CopyAlphaRows32);
    EXPECT_EQ(g_mock.record, &record);
    EXPECT_EQ(g_pPixelLibChangedRect, &g_mockChanged);
    EXPECT_EQ(g_mock.tablesAlive, 1);

    record.mmx = 1;
    ASSERT_TRUE(Publishes("Z:\\Game\\tvpgl.dll", &record));
    EXPECT_EQ(g_mock.kernels[0], &CopyRows32Mmx);
    EXPECT_EQ(g_mock.kernels[1], &CopyColorRows32Mmx);
    EXPECT_EQ(g_mock.kernels[2], &CopyAlphaRows32Mmx);
    EXPECT_EQ(g_mock.tablesAlive, 1); // the first library's table went with it

    // No record: the plain kernels.
    ASSERT_TRUE(Publishes("Z:\\Game\\tvpgl.dll", nullptr));
    EXPECT_EQ(g_mock.kernels[0], &CopyRows32);

    // The module is freed with the library: once unregistered, nothing of it stays loadable.
    m_library.reset();
    EXPECT_EQ(g_mock.tablesAlive, 0);
    winapi::UnregisterBuiltinModule("tvpgl.dll");
    EXPECT_EQ(LoadLibraryA("tvpgl.dll"), nullptr);
}

} // namespace
