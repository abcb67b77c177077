#pragma once

#include "app/settings/ShortcutAction.h"
#include "core/ShortcutSpec.h"

namespace vorlith {

// What a settings save needs of the hot keys: a first phase that proves the new chords and
// can be undone, and a second that makes them the active ones.
class ShortcutRegistration {
public:
    virtual ~ShortcutRegistration() = default;
    // Throws HotKeyError; on failure nothing stays changed.
    virtual void prepareActions(const ShortcutBindings& bindings) = 0;
    // Does nothing unless exactly these bindings (labels included) were prepared.
    virtual void commitPreparedActions(const ShortcutBindings& bindings) = 0;
    virtual void rollbackPrepared() = 0;
};

} // namespace vorlith
