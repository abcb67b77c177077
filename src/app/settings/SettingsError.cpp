#include "app/settings/SettingsError.h"

#include "app/output/FileWriteError.h"
#include "app/settings/AppSettings.h"
#include "app/settings/HotKeyError.h"
#include "core/Json.h"

namespace vorlith {

SettingsError::SettingsError(Code code, const QString& description)
    : std::runtime_error(description.toStdString()), m_code(code)
{
}

SettingsError SettingsError::folderUnavailableError()
{
    return SettingsError(folderUnavailable, QStringLiteral("保存位置已不可用，请重新选择文件夹。"));
}

SettingsError SettingsError::readOnlyError(const QString& loadError)
{
    return SettingsError(readOnly, loadError.isEmpty() ? QStringLiteral("无法修改较新版本的设置。") : loadError);
}

SettingsError SettingsError::loginItemRestoreError(LoginItemStatus status, const QString& innerDescription)
{
    return SettingsError(loginItemRestore, QStringLiteral("设置未保存，登录项恢复失败。") +
                                               loginItemStatusDescription(status) + QLatin1Char(' ') +
                                               innerDescription);
}

SettingsError SettingsError::loginItemMismatchError()
{
    return SettingsError(loginItemMismatch, QStringLiteral("登录项实际状态与保存前不同。"));
}

SettingsError SettingsError::backupMismatchError()
{
    return SettingsError(backupMismatch,
                         QStringLiteral("迁移前设置备份与当前旧设置不一致，设置未保存。请先保留两份设置后重试。"));
}

QString loginItemStatusDescription(LoginItemStatus status)
{
    switch (status) {
    case LoginItemStatus::enabled:
        return QStringLiteral("已开启，登录电脑后驻留系统托盘。");
    case LoginItemStatus::requiresApproval:
        return QStringLiteral("需要在桌面的自动启动设置中允许 Vorlith；当前尚未开启。");
    case LoginItemStatus::notRegistered:
        return QStringLiteral("未开启；系统中关闭的登录项不会被自动重新开启。");
    case LoginItemStatus::unavailable:
        return QStringLiteral("当前应用位置无法使用登录项，请将应用安装后重试。");
    }
    return {};
}

QString settingsErrorDescription(const std::exception& error)
{
    if (const auto* e = dynamic_cast<const SettingsError*>(&error))
        return e->description();
    if (const auto* e = dynamic_cast<const HotKeyError*>(&error))
        return e->description();
    if (const auto* e = dynamic_cast<const FileWriteError*>(&error))
        return e->description();
    if (const auto* e = dynamic_cast<const LoginItemError*>(&error)) {
        if (e->reason == LoginItemError::Reason::unavailable)
            return loginItemStatusDescription(LoginItemStatus::unavailable);
        return FileWriteError::describe(e->errorNumber);
    }
    if (dynamic_cast<const AppSettings::MigrationError*>(&error) || dynamic_cast<const JsonDecodeError*>(&error) ||
        dynamic_cast<const JsonEncodeError*>(&error))
        return QStringLiteral("设置内容无效，未能保存。");
    return QStringLiteral("发生未知错误。");
}

QString settingsErrorDescription(const std::exception_ptr& error)
{
    try {
        std::rethrow_exception(error);
    } catch (const std::exception& e) {
        return settingsErrorDescription(e);
    } catch (...) {
        return QStringLiteral("发生未知错误。");
    }
}

} // namespace vorlith
