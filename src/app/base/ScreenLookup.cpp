#include "app/base/ScreenLookup.h"

#include "platform/CapturePlatform.h"

#include <QGuiApplication>
#include <QScreen>

namespace vorlith {

ScreenLookup::ScreenLookup(Source source) : m_source(std::move(source)) {}

ScreenLookup ScreenLookup::system(std::shared_ptr<CapturePlatform> platform)
{
    return ScreenLookup([platform] {
        std::vector<ScreenInfo> displays;
        if (platform)
            displays = platform->screens();
        std::vector<DisplayScreen> out;
        const QList<QScreen*> screens = QGuiApplication::screens();
        for (QScreen* screen : screens) {
            DisplayScreen each;
            each.frame = toRect(QRectF(screen->geometry()));
            each.visibleFrame = toRect(QRectF(screen->availableGeometry()));
            for (const ScreenInfo& display : displays)
                if (display.frame == each.frame && display.displayID) {
                    each.displayNumber = display.displayID;
                    break;
                }
            out.push_back(each);
        }
        // Qt lists the primary screen first, as the rest of the system expects.
        return out;
    });
}

std::vector<DisplayScreen> ScreenLookup::screens() const
{
    return m_source ? m_source() : std::vector<DisplayScreen>{};
}

std::optional<DisplayScreen> ScreenLookup::screenAt(const Point& point) const
{
    for (const DisplayScreen& screen : screens())
        if (screen.frame.contains(point))
            return screen;
    return std::nullopt;
}

std::optional<DisplayScreen> ScreenLookup::screenNumbered(std::optional<quint32> number) const
{
    for (const DisplayScreen& screen : screens())
        if (screen.displayNumber == number)
            return screen;
    return std::nullopt;
}

} // namespace vorlith
