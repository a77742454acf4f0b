// Reader B of the KGM parts files: each part becomes a button or a check/radio control of a
// control set, linked at the end of a form; consecutive radio entries of one kind form a group led
// by their first control.
#pragma once

#include "controls/parts_file.h"

#include <vector>

class CControl;
class CControlContainer;
class CControlSet;
class CScreen;

class CPartsFileB {
public:
    CPartsFileB() = default;
    CPartsFileB(const CPartsFileB&) = delete;
    CPartsFileB& operator=(const CPartsFileB&) = delete;
    virtual ~CPartsFileB() { Clear(); }

    // 0 loaded; 1 a null set, container or name; 2 the file could not be opened; 3 bad magic or a
    // file that ends early; 4 the background not loaded; 5 a background named without a screen or
    // without a scene in the set; 6-11 a control could not be made (by kind); 12 an unknown kind;
    // -1 any other failure. After a failure nothing the load made remains.
    int Load(CControlSet* set, CControlContainer* container, const char* name, int firstId, int factoryArgument,
             bool paletteVariant, CScreen* screen);
    // Forgets the arrays; the controls belong to the set, the background to the screen.
    void Clear();

    CImage* GetBackground() const { return m_background; }
    size_t GetCount() const { return m_controls.size(); }
    CControl* GetControl(size_t i) const { return i < m_controls.size() ? m_controls[i] : nullptr; }
    const PartRecord* GetRecord(size_t i) const { return i < m_records.size() ? &m_records[i] : nullptr; }

private:
    CImage* m_background = nullptr;
    std::vector<CControl*> m_controls;
    std::vector<PartRecord> m_records;
};
