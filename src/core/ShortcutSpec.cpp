#include "core/ShortcutSpec.h"

#include <algorithm>
#include <array>

namespace vorlith {

bool ShortcutSpec::isFunctionKey() const
{
    // F1 to F20 in the order of the keys.
    static constexpr std::array<quint32, 20> functionKeys{122, 120, 99, 118, 96, 97, 98, 100, 101, 109,
                                                          103, 111, 105, 107, 113, 106, 64, 79, 80, 90};
    return std::find(functionKeys.begin(), functionKeys.end(), keyCode) != functionKeys.end();
}

} // namespace vorlith
