#include "app/output/FileWriteError.h"

#include <cerrno>

namespace vorlith {

FileWriteError::FileWriteError(const QString& description) : std::runtime_error(description.toStdString()) {}

FileWriteError FileWriteError::fromErrno(int error)
{
    return FileWriteError(describe(error));
}

QString FileWriteError::describe(int error)
{
    switch (error) {
    case EACCES:
    case EPERM:
        return QStringLiteral("没有写入该位置的权限。");
    case ENOSPC:
    case EDQUOT:
        return QStringLiteral("磁盘空间不足。");
    case EROFS:
        return QStringLiteral("该位置是只读的。");
    case ENOENT:
    case ENOTDIR:
        return QStringLiteral("目标文件夹不存在。");
    case EISDIR:
        return QStringLiteral("已有同名的文件夹。");
    case ENAMETOOLONG:
        return QStringLiteral("文件名太长。");
    case EIO:
        return QStringLiteral("读写磁盘时出错。");
    case EXDEV:
        return QStringLiteral("无法在不同的磁盘之间替换文件。");
    case EBUSY:
    case ETXTBSY:
        return QStringLiteral("文件正被占用。");
    default:
        return QStringLiteral("无法写入文件（错误代码 %1）。").arg(error);
    }
}

} // namespace vorlith
