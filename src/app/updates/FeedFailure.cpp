#include "app/updates/FeedFailure.h"

#include <array>

namespace vorlith {

namespace {

struct FailureText {
    const char* description; // an HTTP status takes its number as %1
    const char* logCode;
};

// In the order of FeedFailure::Kind.
constexpr std::array<FailureText, 8> failureTexts{{
    {"无法连接到更新服务器，请检查网络连接后重试。", "connection"},
    {"连接更新服务器超时，请稍后重试。", "timeout"},
    {"无法验证更新服务器的安全证书，已停止检查更新。", "certificate"},
    {"更新服务器将请求转向了不安全的地址，已停止检查更新。", "insecureRedirect"},
    {"更新服务器的转向次数过多，已停止检查更新。", "tooManyRedirects"},
    {"更新服务器返回错误（HTTP %1），请稍后重试。", "http%1"},
    {"更新信息超过 1 MB 上限，已停止检查更新。", "tooLarge"},
    {"更新信息格式无效，暂时无法检查更新。", "malformed"},
}};

const FailureText& textOf(FeedFailure::Kind kind)
{
    return failureTexts.at(static_cast<std::size_t>(kind));
}

QString withStatus(const char* text, FeedFailure::Kind kind, int status)
{
    const QString out = QString::fromUtf8(text);
    return kind == FeedFailure::Kind::httpStatus ? out.arg(status) : out;
}

} // namespace

QString FeedFailure::description() const
{
    return withStatus(textOf(kind).description, kind, httpStatus);
}

QString FeedFailure::logCode() const
{
    return withStatus(textOf(kind).logCode, kind, httpStatus);
}

} // namespace vorlith
