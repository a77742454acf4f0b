// Checks, when the natives are built, that the kinds' table of bases and the classes agree: each
// kind's class derives publicly and unambiguously from its base kind's class, so a handle that
// serves a base can be converted to that base.
#include "natives/script_object_types.h"

#include <utility>

#include "controls/button_control.h"
#include "controls/control.h"
#include "controls/image_button.h"
#include "controls/image_map.h"
#include "controls/list_layer.h"
#include "controls/rectangle_control.h"
#include "controls/scroll_control.h"
#include "controls/text_input.h"
#include "controls/text_layer.h"
#include "controls/text_panel.h"
#include "controls/toggle_button.h"
#include "display/task.h"
#include "drawing/cell_sheet.h"
#include "drawing/drawable.h"
#include "drawing/font.h"
#include "drawing/group_file.h"
#include "drawing/primitive_object.h"
#include "drawing/sprite.h"
#include "files/file_stream.h"
#include "platform/timed_task.h"
#include "raster/image.h"
#include "raster/surface.h"
#include "sound/loaded_sound.h"
#include "sound/sound_buffer.h"
#include "sound/stream_sound.h"

namespace {

template <ScriptObjectType Kind>
constexpr bool HasClass()
{
    return requires { typename ScriptObjectClass<Kind>::type; };
}

template <ScriptObjectType Kind>
constexpr bool RowAgrees()
{
    if constexpr (!HasClass<Kind>()) {
        return true; // a kind whose class is not built yet
    } else {
        constexpr ScriptObjectType base = ScriptObjectBaseOf(Kind);
        using Class = typename ScriptObjectClass<Kind>::type;
        if constexpr (base == ScriptObjectType::Any) {
            return std::has_virtual_destructor_v<Class>;
        } else if constexpr (!HasClass<base>()) {
            return false;
        } else {
            using Base = typename ScriptObjectClass<base>::type;
            return std::is_base_of_v<Base, Class> && std::is_convertible_v<Class*, Base*> &&
                   ScriptObjectTypeOf(static_cast<const Class*>(nullptr)) == Kind;
        }
    }
}

template <size_t... K>
constexpr bool AllRowsAgree(std::index_sequence<K...>)
{
    return (RowAgrees<static_cast<ScriptObjectType>(K)>() && ...);
}

static_assert(AllRowsAgree(std::make_index_sequence<kScriptObjectTypeCount>{}),
              "each kind's class derives from its base kind's class; roots are polymorphic");

} // namespace
