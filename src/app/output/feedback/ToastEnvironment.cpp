#include "app/output/feedback/ToastEnvironment.h"

#include "platform/CapturePlatformFactory.h"
#include "platform/FloatingWindowsFactory.h"

namespace vorlith {

ToastEnvironment ToastEnvironment::standard()
{
    return {FloatingWindowsFactory::make(), ScreenLookup::system(CapturePlatformFactory::make()), {}};
}

} // namespace vorlith
