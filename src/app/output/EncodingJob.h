#pragma once

#include "app/output/ImageFormat.h"

#include <QByteArray>
#include <QImage>

#include <QCoro/QCoroTask>

#include <exception>
#include <functional>
#include <optional>
#include <stop_token>

namespace vorlith {

// The bytes of one encoding on the shared encoding queue, or why there are none.
struct EncodedBytes {
    std::optional<QByteArray> bytes;
    std::exception_ptr error;
};

// Encodes on the shared encoding queue. Never throws: a failure, a refusal or a cancellation
// comes back as `error`.
[[nodiscard]] QCoro::Task<EncodedBytes> encodeOnQueue(std::function<QByteArray(const QImage&, ImageFormat)> encoder,
                                                     QImage image, ImageFormat format, std::stop_token stop);

} // namespace vorlith
