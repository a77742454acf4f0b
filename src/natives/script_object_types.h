// The engine class behind each kind of script object (ScriptObjectType), a row a kind. A handle
// holds the pointer of its kind's root class, the one whose destructor reports the object's end;
// a lookup converts it to the asked class, so bases at any offset are reached exactly.
#pragma once

#include <type_traits>

#include "script/script_handle_table.h"

class CSurface;
class CImage;
class CDrawable;
class CSprite;
class CPrimitiveObject;
class CTask;
class CFont;
class CControl;
class CButtonControl;
class CToggleButton;
class CControlType2;
class CTextInput;
class CScrollControl;
class CTextPanelBase;
class CTextLayerBase;
class CButton;
class CListBase;
class CListLayer;
class CImageMap;
class CSoundBuffer;
class CLoadedSound;
class CStreamSound;
class CGroupFile;
class CCellSheet;
class CFileStream;
class CTimedTask;

// ScriptObjectClass<kind>::type is the kind's class; ScriptObjectTypeOf(pointer) the kind of the
// nearest class with a row (a CTextPanel is a TextPanel through CTextPanelBase).
template <ScriptObjectType Kind>
struct ScriptObjectClass;

#define TESSARO_SCRIPT_OBJECT(KIND, CLASS)                                        \
    template <>                                                                   \
    struct ScriptObjectClass<ScriptObjectType::KIND> {                            \
        using type = CLASS;                                                       \
    };                                                                            \
    constexpr ScriptObjectType ScriptObjectTypeOf(const CLASS*)                   \
    {                                                                             \
        return ScriptObjectType::KIND;                                            \
    }

TESSARO_SCRIPT_OBJECT(Surface, CSurface)
TESSARO_SCRIPT_OBJECT(Image, CImage)
TESSARO_SCRIPT_OBJECT(Drawable, CDrawable)
TESSARO_SCRIPT_OBJECT(Sprite, CSprite)
TESSARO_SCRIPT_OBJECT(Primitive, CPrimitiveObject)
TESSARO_SCRIPT_OBJECT(Task, CTask)
TESSARO_SCRIPT_OBJECT(Font, CFont)
TESSARO_SCRIPT_OBJECT(Control, CControl)
TESSARO_SCRIPT_OBJECT(Button, CButtonControl)
TESSARO_SCRIPT_OBJECT(Toggle, CToggleButton)
TESSARO_SCRIPT_OBJECT(RectControl, CControlType2)
TESSARO_SCRIPT_OBJECT(TextInput, CTextInput)
TESSARO_SCRIPT_OBJECT(Scroll, CScrollControl)
TESSARO_SCRIPT_OBJECT(TextPanel, CTextPanelBase)
TESSARO_SCRIPT_OBJECT(TextLayer, CTextLayerBase)
TESSARO_SCRIPT_OBJECT(ImageButton, CButton)
TESSARO_SCRIPT_OBJECT(ListBase, CListBase)
TESSARO_SCRIPT_OBJECT(ListLayer, CListLayer)
TESSARO_SCRIPT_OBJECT(ImageMap, CImageMap)
TESSARO_SCRIPT_OBJECT(SoundBuffer, CSoundBuffer)
TESSARO_SCRIPT_OBJECT(LoadedSound, CLoadedSound)
TESSARO_SCRIPT_OBJECT(StreamSound, CStreamSound)
TESSARO_SCRIPT_OBJECT(GroupFile, CGroupFile)
TESSARO_SCRIPT_OBJECT(CellSheet, CCellSheet)
TESSARO_SCRIPT_OBJECT(FileStream, CFileStream)
TESSARO_SCRIPT_OBJECT(TimedTask, CTimedTask)

#undef TESSARO_SCRIPT_OBJECT

// The kind of T's nearest class with a row (what an object of class T is handed out as).
template <class T>
constexpr ScriptObjectType ScriptObjectNearestKind()
{
    return ScriptObjectTypeOf(static_cast<const T*>(nullptr));
}

// The kind of class T, which must have a row of its own (lookups name exactly a kind's class).
template <class T>
constexpr ScriptObjectType ScriptObjectKind()
{
    constexpr ScriptObjectType kind = ScriptObjectNearestKind<T>();
    static_assert(std::is_same_v<std::remove_cv_t<T>, typename ScriptObjectClass<kind>::type>,
                  "ask for an object by the class of its kind's row");
    return kind;
}

// The root class of a kind's group: what handles hold and what the object's end is reported as.
template <ScriptObjectType Kind>
using ScriptObjectRoot = typename ScriptObjectClass<ScriptObjectRootOf(Kind)>::type;

// T's object as its root class's pointer (null stays null).
template <class T>
void* ScriptObjectRootPointer(T* object)
{
    return static_cast<ScriptObjectRoot<ScriptObjectNearestKind<T>()>*>(object);
}
