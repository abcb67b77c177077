#include "app/settings/HotKeyError.h"

namespace vorlith {

HotKeyError::HotKeyError(int code, const QString& description)
    : std::runtime_error(description.toStdString()), m_code(code)
{
}

HotKeyError HotKeyError::duplicateChord()
{
    return HotKeyError(duplicateChordCode, QStringLiteral("截图和图片置顶不能使用相同快捷键，请修改其中一项。"));
}

HotKeyError HotKeyError::systemRefused(int status)
{
    return HotKeyError(status, QStringLiteral("无法注册该快捷键，可能已被系统或其他应用占用。请换一个按键。"));
}

} // namespace vorlith
