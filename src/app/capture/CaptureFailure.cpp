#include "app/capture/CaptureFailure.h"

namespace vorlith {

namespace {
QString describe(CaptureFailure::Case value)
{
    switch (value) {
    case CaptureFailure::permission:
        return QStringLiteral("需要允许 Vorlith 录制屏幕，才能截取屏幕中的内容。");
    case CaptureFailure::noDisplay:
        return QStringLiteral("未找到可截取的显示器，请稍后重试。");
    case CaptureFailure::configuration:
        return QStringLiteral("当前应用的屏幕捕获配置不完整，请更新验证版本。");
    case CaptureFailure::unavailable:
        return QStringLiteral("屏幕捕获暂时未完成，请稍后重试。");
    case CaptureFailure::restrictedContent:
        return QStringLiteral("当前屏幕中有不允许截取的窗口。为避免截到它背后的错误画面，请关闭或遮住该窗口后重试。");
    }
    return {};
}
} // namespace

CaptureFailure::CaptureFailure(Case value) : m_value(value), m_utf8(describe(value).toUtf8()) {}

QString CaptureFailure::description() const
{
    return describe(m_value);
}

} // namespace vorlith
