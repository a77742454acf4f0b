#include "controls/parts_file_b.h"

#include "controls/button_control.h"
#include "controls/control_container.h"
#include "controls/control_set.h"
#include "controls/toggle_button.h"
#include "display/screen.h"
#include "drawing/scene.h"

void CPartsFileB::Clear()
{
    m_background = nullptr;
    m_controls.clear();
    m_records.clear();
}

int CPartsFileB::Load(CControlSet* set, CControlContainer* container, const char* name, int firstId,
                      int factoryArgument, bool paletteVariant, CScreen* screen)
{
    if (!set || !container || !name)
        return 1;
    Clear();
    std::string folder;
    PartsLayout layout;
    if (const int code = ReadPartsLayout(name, EPartsReader::B, &layout, &folder))
        return code;

    CScene* scene = set->GetScene();
    auto undo = [this, set, screen, scene](int code) {
        for (CControl* control : m_controls)
            set->RemoveControl(control);
        if (m_background) {
            if (scene)
                scene->SetBackgroundImage(nullptr, 0, 0, true);
            CSurface* surface = m_background;
            screen->DeleteSurfaceAndClear(&surface);
        }
        Clear();
        return code;
    };
    const int style = paletteVariant ? 0 : 2;
    const int color = paletteVariant ? 0xFF00 : -1;
    try {
        std::string path;
        if (!layout.background.empty()) {
            // Without a scene the background could be shown nowhere.
            if (!screen || !scene)
                return undo(5);
            const int result = !PartsPath(folder, layout.background, &path) ? 4
                               : paletteVariant
                                   ? screen->CreateImageFromFileWithPalette(&m_background, path.c_str(), nullptr, 0, 0)
                                   : screen->CreateImageFromFile(&m_background, path.c_str(), nullptr, 0, 0);
            if (result != 0)
                return undo(4);
            scene->SetBackgroundImage(m_background, 0, 0, true);
        }
        m_controls.reserve(layout.parts.size());
        m_records.reserve(layout.parts.size());
        CToggleButton* runLeader = nullptr;
        int runKind = -1;
        int id = firstId;
        for (const PartsEntry& e : layout.parts) {
            if (!PartsPath(folder, e.name, &path))
                return undo(e.head >= 1 && e.head <= 9 ? 6 : 12);
            CControl* control = nullptr;
            int failure = 0;
            switch (e.head) {
            case 1:
            case 2:
            case 3: {
                CButtonControl* button = nullptr;
                const bool isThree = e.head == 3;
                if (set->AddButtonControlB(&button, e.x, e.y, path.c_str(), e.c == (isThree ? 3 : 4), !isThree,
                                           style, e.byte5, color, -1, factoryArgument) != 0)
                    failure = isThree ? 7 : 6;
                else
                    button->SetRectangularHit(e.byte6);
                control = button;
                runKind = -1;
                break;
            }
            case 4:
            case 5:
            case 6:
            case 7:
            case 8:
            case 9: {
                static const int kModes[10] = {0, 0, 0, 0, 0, 1, 2, 3, 2, 3};
                static const int kFlags[10] = {0, 0, 0, 0, 8, 8, 6, 5, 6, 5};
                static const int kFailures[10] = {0, 0, 0, 0, 8, 9, 10, 11, 10, 11};
                const bool grouped = e.head >= 6;
                CToggleButton* leader = grouped && runKind == e.head ? runLeader : nullptr;
                CToggleButton* toggle = nullptr;
                if (set->AddControlType1(&toggle, e.x, e.y, path.c_str(), kModes[e.head], e.c == kFlags[e.head], leader,
                                         style, e.byte5, color, -1, factoryArgument) != 0) {
                    failure = kFailures[e.head];
                } else {
                    toggle->SetRectangularHit(e.byte6);
                    if (grouped && !leader) {
                        runLeader = toggle;
                        runKind = e.head;
                    } else if (!grouped) {
                        runKind = -1;
                    }
                }
                control = toggle;
                break;
            }
            default:
                return undo(12);
            }
            if (failure)
                return undo(failure);
            m_controls.push_back(control);
            m_records.push_back(PartRecord{e.width, e.height, e.c});
            container->AddControl(control, -1);
            if (firstId >= 0)
                control->SetUserValue(id++);
        }
    } catch (...) {
        return undo(-1);
    }
    return 0;
}
