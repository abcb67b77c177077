#include "app/base/InterfaceColors.h"

#include <array>

namespace vorlith {

namespace {

#define VORLITH_COLOR_ROW(name, rgb, alpha) InterfaceColors::Entry{#name, rgb, alpha, std::nullopt},
#define VORLITH_ALIAS_ROW(name, target) \
    InterfaceColors::Entry{#name, 0, 1, InterfaceColors::Name::target},
constexpr std::array kEntries{VORLITH_INTERFACE_COLORS(VORLITH_COLOR_ROW, VORLITH_ALIAS_ROW)};
#undef VORLITH_COLOR_ROW
#undef VORLITH_ALIAS_ROW

constexpr size_t kCount = kEntries.size();

constexpr bool aliasesNameLiterals()
{
    for (const InterfaceColors::Entry& e : kEntries) {
        if (e.aliasOf && kEntries[size_t(*e.aliasOf)].aliasOf)
            return false;
    }
    return true;
}
static_assert(aliasesNameLiterals(), "an alias must name a literal entry");

// At 16 bits per channel an n/255 alpha is exact (n × 257); a decimal alpha is the nearest step.
QColor makeColor(const InterfaceColors::Entry& e)
{
    const auto wide = [](int channel) { return quint16(channel * 257); };
    return QColor::fromRgba64(wide(qRed(e.rgb)), wide(qGreen(e.rgb)), wide(qBlue(e.rgb)),
                              quint16(qRound(e.alpha * 65535.0)));
}

// Built once, under the thread-safe initialisation of a function-local static.
const std::array<QColor, kCount>& colors()
{
    static const std::array<QColor, kCount> all = [] {
        std::array<QColor, kCount> made;
        for (size_t i = 0; i < kCount; ++i) {
            if (!kEntries[i].aliasOf)
                made[i] = makeColor(kEntries[i]);
        }
        return made;
    }();
    return all;
}

} // namespace

const InterfaceColors::Entry& InterfaceColors::entry(Name name)
{
    return kEntries[size_t(name)];
}

InterfaceColors::Name InterfaceColors::source(Name name)
{
    return entry(name).aliasOf.value_or(name);
}

const QColor& InterfaceColors::color(Name name)
{
    return colors()[size_t(source(name))];
}

double InterfaceColors::alpha(Name name)
{
    return entry(source(name)).alpha;
}

std::span<const InterfaceColors::Entry> InterfaceColors::entries()
{
    return kEntries;
}

} // namespace vorlith
