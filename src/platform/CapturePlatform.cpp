#include "platform/CapturePlatform.h"

namespace vorlith {

CapturePlatformError::CapturePlatformError(QString domain, int code)
    : std::runtime_error(QStringLiteral("%1 %2").arg(domain).arg(code).toStdString()),
      m_domain(std::move(domain)),
      m_code(code)
{
}

} // namespace vorlith
