#include "app/output/EncodingJob.h"

#include "core/SharedWorkQueues.h"

namespace vorlith {

QCoro::Task<EncodedBytes> encodeOnQueue(std::function<QByteArray(const QImage&, ImageFormat)> encoder, QImage image,
                                        ImageFormat format, std::stop_token stop)
{
    EncodedBytes result;
    try {
        auto job = SharedWorkQueues::outputEncoding().run(
            stop, [encoder = std::move(encoder), image = std::move(image), format] { return encoder(image, format); });
        result.bytes = co_await job;
    } catch (...) {
        result.error = std::current_exception();
    }
    co_return result;
}

} // namespace vorlith
