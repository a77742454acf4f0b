// The end of objects that scripts may hold: the destructors of their bases (surfaces, drawables,
// tasks, fonts, controls, sound buffers, image groups, cell sheets) report it here, and the one
// listener (the system-script host) retires the object's handle and clears the script cells that
// pointed at it.
#pragma once

using ObjectDestroyedListener = void (*)(const void* object, void* context);

// Replaces the listener (null: none).
void SetObjectDestroyedListener(ObjectDestroyedListener listener, void* context);
// Tells the listener, if any, that object is being destroyed.
void NotifyObjectDestroyed(const void* object);
