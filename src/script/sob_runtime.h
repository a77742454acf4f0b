// CSobRuntime: the host base of SOB programs. It owns the script memory, the handle table, the
// native table, its own machine, the module table of SOB_INIT.DAT with the read and choice bits
// of each module, the user variables of USER_VAR.SOB (live, initial and snapshot copies), the
// function library FUNC_LIB.SOB and the loaded program modules, which it links into script memory.
//
// Every address here is a script address: module images, the library, the variable blocks and
// their pointer cells, host variables. The loaders trust nothing in their files: every count,
// offset and size is checked against the data before anything is kept.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/bit_array.h"
#include "script/read_log.h"
#include "script/script_handle_table.h"
#include "script/script_memory.h"
#include "script/sob_native_args.h"
#include "script/sob_vm.h"

// One user variable of one copy of USER_VAR.SOB.
struct SobVarRecord {
    uint32_t address = 0; // the storage (kinds 0 and 2) or the pointer cell (kind 1)
    uint8_t kind = 0;     // 0 direct, 1 through a pointer cell, 2 cleared and copied but never saved
    uint8_t cls = 0;      // 0, 1 saved with each save slot, 2 persistent
    uint32_t size = 0;    // bytes of the value (for kind 1: of the buffer the cell points at)
};

// One image in the loaded-module list (the library or a program).
struct SobModuleRecord {
    uint32_t image = 0;      // script address of the linked image
    uint32_t size = 0;       // its bytes
    uint32_t codeLength = 0; // C: the code part's bytes
    int tableIndex = -1;     // module-table entry; -1 without a table and for the library
    bool library = false;
};

// Results of LoadSystemFiles.
enum : int {
    kSobSysOk = 0,
    kSobSysAlreadyLoaded = 1,
    kSobSysBadModuleTable = 2, // no memory for the table, or a damaged SOB_INIT.DAT
    kSobSysBadUserVarMagic = 3,
    kSobSysBadUserVars = 4,    // USER_VAR.SOB damaged (also: fix-up list not ended by 0)
    kSobSysBadLibraryMagic = 5,
    kSobSysLibraryLink = 6,    // FUNC_LIB.SOB damaged
    kSobSysNoScriptMemory = 7, // no room in script memory for the variables or the library
};

// Results of LoadModule.
enum : int {
    kSobLoadOk = 0,
    kSobLoadOpenFailed = 1,
    kSobLoadBadModule = 2,     // magic wrong, or the name is in no module-table entry
    kSobLoadLinkFailed = 3,    // the link header, sizes or references are damaged
    kSobLoadNoScriptMemory = 4,
    kSobLoadBadMachine = 5,    // the machine runs over other memory or cannot take the sentinel
};

// The three copies of the user variables.
enum SobVarCopy : int { kSobLiveCopy = 0, kSobInitialCopy = 1, kSobSnapshotCopy = 2 };

class CSobRuntime {
public:
    static constexpr uint32_t kDefaultStackCells = 16384;
    static constexpr uint32_t kMaxNatives = 4096;

    // Script memory of memorySize bytes (clamped as CScriptMemory does); the own machine gets a
    // stack of 16384 cells; `retTgsExp` is a cell of script memory registered as host variable 0.
    explicit CSobRuntime(uint32_t memorySize = CScriptMemory::kDefaultSize);
    // Saves the read log when a read-log file name is set, then frees everything.
    virtual ~CSobRuntime();
    CSobRuntime(const CSobRuntime&) = delete;
    CSobRuntime& operator=(const CSobRuntime&) = delete;

    // Reads the file whole and loads it as a program: 0 ok, 1 cannot be opened, 2 not "SOB0" or
    // its base name (upper-cased) is in no module-table entry, 3 link failed, 4 no room in script
    // memory, 5 the machine runs over other script memory or its stack is full (nothing is kept
    // after 2-5). The machine (null: the own one) gets ip = the image start and the leave
    // sentinel, and dispatches natives through this runtime's table.
    virtual int LoadModule(const char* fileName, CSobVM* machine);
    // Drops the last loaded program (OnUnloadModule first). 0; nothing happens when no program is
    // loaded (the library stays).
    virtual int UnloadModule();
    // Start of the last loaded program's image, 0 when none is loaded.
    virtual uint32_t GetEntry();
    // Pushes the leave sentinel on the own machine → CSobVM::PushZero's answer.
    virtual int PushZero();
    // CSobVM::Call on the own machine → its answer.
    virtual int CallAddress(uint32_t address);
    // Called first by UnloadModule; empty here.
    virtual void OnUnloadModule() {}

    // The same as LoadModule over the file's bytes; fileName only gives the module name.
    int LoadModuleBytes(const char* fileName, const uint8_t* data, size_t size, CSobVM* machine);

    // Appends a native (its number is its position) → 0; 1 for null or a full table (4096).
    int AddNative(SobNative native);
    uint32_t NativeCount() const { return static_cast<uint32_t>(m_natives.size()); }
    // Points machine at the native table (with this runtime as the natives' context). The own
    // machine is kept bound; a foreign one sees natives added later after it is bound again.
    void BindNatives(CSobVM& machine);
    // Appends a host variable at a script address (only the address is kept) → 0.
    int RegisterVariable(const char* name, uint32_t address);
    uint32_t HostVariableCount() const { return static_cast<uint32_t>(m_hostVariables.size()); }
    uint32_t HostVariable(uint32_t n) const { return n < m_hostVariables.size() ? m_hostVariables[n] : 0; }
    // Resolves one link-table reference as the module linker does (table 1 user variable,
    // 2 native, 3 host variable, 4 library offset, 5 own offset from imageBase, imageSize bytes)
    // → false when the number is beyond its table, no library is loaded, or an offset is beyond
    // its image.
    bool ResolveLink(int table, uint32_t value, uint32_t imageBase, uint32_t imageSize, uint32_t* cell) const;

    // Loads the module table, the user variables (with the initial and the snapshot copy as
    // asked) and the library; a file that cannot be opened (or a null name) is skipped. Results:
    // kSobSys* above (0 ok, 1 already loaded, 2 module table, 3/4 USER_VAR.SOB, 5/6 FUNC_LIB.SOB,
    // 7 no room in script memory).
    int LoadSystemFiles(const char* moduleTableFile, const char* userVarFile, const char* libraryFile,
                        bool withInitial, bool withSnapshot);
    // The loaders of LoadSystemFiles over bytes (tests and tools). Each keeps nothing on failure.
    // Module table → 0 or 2. User variables (replacing any loaded; images linked earlier keep the
    // old addresses, so load them first) → 0, 3, 4, 7. Library ("SOB2" and a linkable image; it
    // links against the user variables) → 0, 5, 6, 7 (6 also when a library is already loaded).
    int LoadModuleTable(const uint8_t* data, size_t size);
    int LoadUserVariables(const uint8_t* data, size_t size, bool withInitial, bool withSnapshot);
    int LoadFunctionLibrary(const uint8_t* data, size_t size);

    // Variable operations over the records chosen by a class selector (1: class 0, 2: class 1,
    // 3: class 2, any other: all) and a storage selector (0: all kinds, 1: kind 0, 2: kind 1,
    // 3: kind 2, other: none). Kind-1 values are reached through their copy's pointer cell; a
    // record whose cell points outside script memory is skipped.
    // Zero the live values → 0.
    int ClearVariables(int classSelector, int storageSelector);
    // Initial copy to live → 0; 1 without an initial copy.
    int ResetVariables(int classSelector, int storageSelector);
    // Live to snapshot / snapshot to live → 0; 1 without a snapshot copy.
    int SnapshotVariables(int classSelector, int storageSelector);
    int RestoreSnapshot(int classSelector, int storageSelector);
    // Index of the live record whose address field equals address, -1 when none.
    int FindVariable(uint32_t address) const;
    // Copies that variable to the snapshot → 0; 1 no snapshot copy; 2 not found.
    int SnapshotVariable(uint32_t address);
    // Appends the variable's record index to the tracked list → 0; 1 no snapshot copy; 2 not found.
    int AddTrackedVariable(uint32_t address);
    void ClearTrackedVariables() { m_tracked.clear(); }
    const std::vector<int>& TrackedVariables() const { return m_tracked; }
    // The script address of record index's value in a copy (kind 1: where its pointer cell
    // points) → false for a missing copy or record, or a value outside script memory.
    bool VariableValueAddress(SobVarCopy copy, size_t index, uint32_t* address) const;
    // The script address of 4-byte element `element` of live record index: what
    // VariableValueAddress(kSobLiveCopy, index) answers, plus 4 * element, and false also for an
    // element past the record's size. Inline: the text decoder asks it for every variable
    // argument of every record.
    __attribute__((always_inline)) bool LiveElementAddress(size_t index, uint32_t element, uint32_t* address) const
    {
        const VarCopy& live = m_copies[kSobLiveCopy];
        uint32_t a;
        if (index >= live.records.size() || element >= live.records[index].size / 4 || !ValueAddress(live, index, &a))
            return false;
        *address = a + 4 * element;
        return true;
    }
    // The live records (link table 1 numbers them) and whether each copy exists.
    const std::vector<SobVarRecord>& VariableRecords() const { return m_copies[kLive].records; }
    bool HasInitialCopy() const { return m_copies[kInitial].present; }
    bool HasSnapshotCopy() const { return m_copies[kSnapshot].present; }

    // Save blocks over records of kinds 0 and 1 chosen by a save selector (0: class 1, 1: class 2,
    // other: all): u8 selector, then per record u8 kind and its value's bytes.
    // → 1 + the sum of (size + 1); 0 when the snapshot is asked for and absent.
    uint32_t GetVariablesSaveSize(int selector, bool fromSnapshot) const;
    // Writes the block at *cursor (left bytes free) and advances both → 0; 1 null cursor;
    // 2 snapshot asked for and absent; 3 the block does not fit (nothing written). A kind-1 value
    // whose pointer cell points outside script memory is written as zeros.
    int SaveVariables(uint8_t** cursor, size_t* left, int selector, bool fromSnapshot) const;
    // Reads a block into the live values and advances the cursor → 0; 1 null cursor, a kind byte
    // that differs from its record's kind, or a block longer than the bytes left. The whole block
    // is checked before any variable changes.
    int LoadVariables(const uint8_t** cursor, size_t* left);
    // Checks a block as LoadVariables does, advancing the cursor and changing nothing → its code.
    int CheckVariables(const uint8_t** cursor, size_t* left) const;

    // Read and choice bits of the current module's entry, or of the module table's last entry
    // (the common one) with common set. Tests → false, sets → false when there is no module
    // table, no current entry or the bit is past the entry's count.
    bool TestReadBit(uint32_t bit, bool common) const;
    bool SetReadBit(uint32_t bit, bool common);
    bool TestChoiceBit(uint32_t bit, bool common) const;
    bool SetChoiceBit(uint32_t bit, bool common);

    // The folder of the runtime's files (the save folder); null or "" uses names as given.
    void SetReadLogFolder(const char* folder);
    const std::string& ReadLogFolder() const { return m_readLogFolder; }
    // folder + name, as the runtime and its host build every file path.
    std::string MakeFilePath(const char* name) const { return m_readLogFolder + name; }
    // Keeps the read-log file name → false for null.
    bool SetReadLogFile(const char* name);
    const std::string& ReadLogFile() const { return m_readLogFile; }
    // Writes the TLOG file (name null: the kept one) through a temporary file renamed over the
    // old one → 0; 1 no name; 2 no module table; 3 the file cannot be written (the old one stays).
    int SaveReadLog(const char* name);
    // Merges a TLOG file (name null: the kept one) → 0 (also without a module table: nothing is
    // read); 1 no name or the file cannot be opened; 2 damaged (nothing merged).
    int LoadReadLog(const char* name);
    // The TLOG file's bytes, and their merge (→ 0 or 2 as LoadReadLog).
    std::vector<uint8_t> BuildReadLog() const;
    int MergeReadLog(const uint8_t* data, size_t size);

    // The module table (empty when none) and the index of the current entry (-1 when none).
    bool HasModuleTable() const { return m_hasModuleTable; }
    uint32_t ModuleTableCount() const { return m_moduleCount; }
    SobModuleEntry* ModuleTableEntry(uint32_t i) { return i < m_moduleCount ? &m_moduleTable[i] : nullptr; }
    int CurrentEntryIndex() const { return m_current; }
    const std::vector<SobModuleRecord>& LoadedModules() const { return m_modules; }
    uint32_t LibraryBase() const { return m_libraryBase; }
    bool SystemFilesLoaded() const { return m_loaded; }

    // Stack of the own machine in cells → CSobVM::AllocateStack's answer.
    int SetStackSize(uint32_t cells);
    uint32_t StackSize() const { return m_stackCells; }
    CSobVM& Machine() { return m_machine; }
    CScriptMemory& Memory() { return m_memory; }
    CScriptHandleTable& Handles() { return m_handles; }
    // The host variable the scenario engine reads expression results from.
    uint32_t RetTgsExpAddress() const { return m_retTgsExp; }
    int32_t RetTgsExp() const;
    void SetRetTgsExp(int32_t value);

protected:
    // Frees the images of every loaded record from index keep on (the library, at index 0, is
    // kept by passing 1) and updates the current entry.
    void TruncateModules(size_t keep);

private:
    using Copy = SobVarCopy;
    static constexpr Copy kLive = kSobLiveCopy, kInitial = kSobInitialCopy, kSnapshot = kSobSnapshotCopy;
    struct VarCopy {
        bool present = false;
        uint32_t block = 0; // the data block
        uint32_t cells = 0; // the pointer-cell array (one cell per kind-1 record)
        std::vector<SobVarRecord> records;
    };

    // Links a linkable image (the bytes after the magic) → 0, 3 damaged, 4 no room.
    int Link(const uint8_t* data, size_t size, int tableIndex, bool library);
    // The script address of a record's value in a copy (through the pointer cell for kind 1), or
    // false when it lies outside script memory.
    bool ValueAddress(const VarCopy& copy, size_t index, uint32_t* address) const;
    int CopyVariables(Copy from, Copy to, int classSelector, int storageSelector);
    void FreeCopy(VarCopy& copy);
    CBitArray* Bits(bool common, bool choice);
    const CBitArray* Bits(bool common, bool choice) const;
    void UpdateCurrentEntry();

    CScriptMemory m_memory; // first: outlives the machine and everything that points into it
    CScriptHandleTable m_handles;
    CSobVM m_machine;
    std::vector<SobModuleRecord> m_modules;
    uint32_t m_stackCells = 0;
    std::vector<SobNative> m_natives;
    std::vector<uint32_t> m_hostVariables;
    VarCopy m_copies[3];
    std::vector<uint32_t> m_varAddresses; // the live records' address fields, for the linker
    std::vector<int> m_tracked;
    bool m_loaded = false;
    uint32_t m_libraryBase = 0;
    uint32_t m_librarySize = 0;
    uint32_t m_retTgsExp = 0;
    bool m_hasModuleTable = false;
    uint32_t m_moduleCount = 0;
    std::unique_ptr<SobModuleEntry[]> m_moduleTable;
    int m_current = -1;
    std::string m_readLogFolder;
    std::string m_readLogFile;
};

// Where record index of a copy keeps its value (kind 1: where its pointer cell points) → false for a
// value outside script memory. Inline: the text decoder reaches it for every variable argument.
inline bool CSobRuntime::ValueAddress(const VarCopy& copy, size_t index, uint32_t* address) const
{
    const SobVarRecord& r = copy.records[index];
    uint32_t a = r.address;
    if (r.kind == 1 && !m_memory.Load32(r.address, &a))
        return false;
    if (!m_memory.Contains(a, r.size))
        return false;
    *address = a;
    return true;
}
