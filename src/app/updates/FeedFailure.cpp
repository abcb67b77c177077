#include "app/updates/FeedFailure.h"

namespace vorlith {

QString FeedFailure::description() const
{
    switch (kind) {
    case Kind::noConnection:
        return QStringLiteral("无法连接到更新服务器，请检查网络连接后重试。");
    case Kind::timeout:
        return QStringLiteral("连接更新服务器超时，请稍后重试。");
    case Kind::certificate:
        return QStringLiteral("无法验证更新服务器的安全证书，已停止检查更新。");
    case Kind::insecureRedirect:
        return QStringLiteral("更新服务器将请求转向了不安全的地址，已停止检查更新。");
    case Kind::tooManyRedirects:
        return QStringLiteral("更新服务器的转向次数过多，已停止检查更新。");
    case Kind::httpStatus:
        return QStringLiteral("更新服务器返回错误（HTTP %1），请稍后重试。").arg(httpStatus);
    case Kind::tooLarge:
        return QStringLiteral("更新信息超过 1 MB 上限，已停止检查更新。");
    case Kind::malformed:
        return QStringLiteral("更新信息格式无效，暂时无法检查更新。");
    }
    return {};
}

QString FeedFailure::logCode() const
{
    switch (kind) {
    case Kind::noConnection:
        return QStringLiteral("connection");
    case Kind::timeout:
        return QStringLiteral("timeout");
    case Kind::certificate:
        return QStringLiteral("certificate");
    case Kind::insecureRedirect:
        return QStringLiteral("insecureRedirect");
    case Kind::tooManyRedirects:
        return QStringLiteral("tooManyRedirects");
    case Kind::httpStatus:
        return QStringLiteral("http%1").arg(httpStatus);
    case Kind::tooLarge:
        return QStringLiteral("tooLarge");
    case Kind::malformed:
        return QStringLiteral("malformed");
    }
    return {};
}

} // namespace vorlith
