#include "platform/FloatingWindowsFactory.h"

#include "platform/x11/X11FloatingWindows.h"

namespace vorlith {

std::shared_ptr<FloatingWindows> FloatingWindowsFactory::make()
{
    // X11 is the only windowing system served (Wayland sessions are refused at capture); on
    // Qt's offscreen platform the X11 service simply finds no compositor.
    return std::make_shared<X11FloatingWindows>();
}

} // namespace vorlith
