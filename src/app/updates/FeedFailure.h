#pragma once

#include <QString>

namespace vorlith {

// Why a feed check ended without a feed, with the sentence the user reads and the word the
// log records ("update.check.failed=<logCode>").
struct FeedFailure {
    enum class Kind { noConnection, timeout, certificate, insecureRedirect, tooManyRedirects, httpStatus, tooLarge, malformed };

    Kind kind = Kind::noConnection;
    int httpStatus = 0; // for httpStatus

    [[nodiscard]] QString description() const;
    [[nodiscard]] QString logCode() const;

    friend bool operator==(const FeedFailure&, const FeedFailure&) = default;
};

} // namespace vorlith
