#include "app/base/ImageResourceStore.h"

#include "core/Saturating.h"

#include <QImage>

#include <algorithm>
#include <cmath>

#include <unistd.h>

namespace vorlith {

namespace {

constexpr int maximumImages = 10;


bool isOutputWork(ImageResourceStore::WorkKind kind)
{
    return kind == ImageResourceStore::WorkKind::output || kind == ImageResourceStore::WorkKind::encoding;
}

} // namespace

qint64 ImageResourceStore::outputWorkspaceBytes(qint64 sourceBytes)
{
    return sourceBytes < 1 ? 0 : saturatingAdd(saturatingMultiply(4, sourceBytes), 65'536);
}

const char* ImageResourceStore::Failure::what() const noexcept
{
    switch (m_reason) {
    case imageTooLarge:
        return "图片尺寸过大，请选择不超过6400万像素的图片。";
    case budget:
        return "当前图片占用较多内存，请先处理并关闭部分贴图，再添加图片。";
    case count:
        return "当前已有10张贴图，请先关闭部分贴图。";
    }
    return "";
}

ImageResourceStore::SourceImage ImageResourceStore::SourceImage::of(const QUuid& id, const QImage& image)
{
    return {id, image.bytesPerLine(), image.height()};
}

qint64 ImageResourceStore::SourceImage::bytes() const
{
    return saturatingMultiply(bytesPerRow, height);
}

std::optional<qint64> ImageResourceStore::physicalMemoryBytes()
{
    const long pages = sysconf(_SC_PHYS_PAGES);
    const long pageSize = sysconf(_SC_PAGESIZE);
    if (pages <= 0 || pageSize <= 0)
        return std::nullopt;
    return saturatingMultiply(pages, pageSize);
}

qint64 ImageResourceStore::defaultLimit(std::optional<qint64> physicalMemoryBytes)
{
    if (!physicalMemoryBytes)
        return defaultLimitCap;
    return std::clamp<qint64>(*physicalMemoryBytes / 8, 0, defaultLimitCap);
}

ImageResourceStore::ImageResourceStore(std::optional<qint64> limit)
    : m_limit(std::max<qint64>(0, limit ? *limit : defaultLimit(physicalMemoryBytes())))
{
}

qint64 ImageResourceStore::rgbaBytes(qint64 width, qint64 height)
{
    if (width < 1 || height < 1 || saturatingMultiply(width, height) > maximumPixels)
        throw Failure(Failure::imageTooLarge);
    return 4 * width * height;
}

qint64 ImageResourceStore::persistentBytes() const
{
    qint64 total = saturatingAdd(m_documentBytes, m_cacheBytes);
    for (const qint64 bytes : m_sources)
        total = saturatingAdd(total, bytes);
    return total;
}

qint64 ImageResourceStore::reservedBytes() const
{
    qint64 total = 0;
    for (const auto& reservation : m_reservations)
        total = saturatingAdd(total, reservation.bytes);
    for (const auto& capture : m_captures)
        total = saturatingAdd(total, capture.bytes);
    for (const auto& work : m_work)
        if (!isOutputWork(work.kind))
            total = saturatingAdd(total, work.bytes);
    return total;
}

qint64 ImageResourceStore::outputWorkBytes() const
{
    qint64 total = 0;
    for (const auto& work : m_work)
        if (isOutputWork(work.kind))
            total = saturatingAdd(total, work.bytes);
    return total;
}

qint64 ImageResourceStore::largestSource() const
{
    qint64 largest = 0;
    for (const qint64 bytes : m_sources)
        largest = std::max(largest, bytes);
    for (const auto& reservation : m_reservations)
        largest = std::max(largest, reservation.sourceBytes);
    for (const auto& capture : m_captures)
        largest = std::max(largest, capture.maximumSourceBytes);
    return largest;
}

qint64 ImageResourceStore::outputHeadroom() const
{
    qint64 headroom = std::max(m_configuredOutputWorkspaceBytes, outputWorkspaceBytes(largestSource()));
    for (const auto& work : m_work)
        headroom = std::max(headroom, work.outputWorkspaceBytes);
    return std::max(headroom, outputWorkBytes());
}

bool ImageResourceStore::withinLimit(qint64 extra) const
{
    return saturatingAdd(saturatingAdd(persistentBytes(), reservedBytes()), extra) <= m_limit;
}

bool ImageResourceStore::imageFits(qint64 bytes, qint64 sourceBytes) const
{
    return withinLimit(saturatingAdd(bytes, std::max(outputHeadroom(), outputWorkspaceBytes(sourceBytes))));
}

bool ImageResourceStore::outputFits(qint64 bytes) const
{
    return withinLimit(std::max(outputHeadroom(), saturatingAdd(outputWorkBytes(), bytes)));
}

bool ImageResourceStore::workFits(qint64 bytes, qint64 outputWorkspaceBytes) const
{
    return withinLimit(saturatingAdd(bytes, std::max(outputHeadroom(), outputWorkspaceBytes)));
}

void ImageResourceStore::requireFit(const std::function<bool()>& fits)
{
    if (fits())
        return;
    if (onReclaimCaches)
        onReclaimCaches();
    if (!fits())
        throw Failure(Failure::budget);
}

ImageResourceStore::Reservation ImageResourceStore::reserve(const QUuid& sourceID, qint64 width, qint64 height,
                                                            qint64 transientMultiplier, qint64 encodedBytes)
{
    // Pins and pending image reservations together stay below the pin limit; pending
    // captures do not count.
    if (m_pinCount >= maximumImages || m_pinCount + qint64(m_reservations.size()) >= maximumImages)
        throw Failure(Failure::count);
    const qint64 sourceBytes = rgbaBytes(width, height);
    if (transientMultiplier < 0 || encodedBytes < 0)
        throw Failure(Failure::budget);
    for (const auto& pending : m_reservations)
        if (pending.sourceID == sourceID)
            throw Failure(Failure::budget);

    const qint64 newSourceBytes = m_sources.contains(sourceID) ? 0 : sourceBytes;
    const qint64 bytes = saturatingAdd(saturatingAdd(newSourceBytes, saturatingMultiply(sourceBytes, transientMultiplier)),
                                       encodedBytes);
    requireFit([&] { return imageFits(bytes, sourceBytes); });

    const Reservation reservation{QUuid::createUuid(), sourceID, bytes, sourceBytes};
    m_reservations.insert(reservation.id, reservation);
    return reservation;
}

void ImageResourceStore::cancel(const Reservation& reservation)
{
    m_reservations.remove(reservation.id);
}

void ImageResourceStore::commit(const Reservation& reservation, const SourceImage& source)
{
    const auto stored = m_reservations.constFind(reservation.id);
    if (stored == m_reservations.constEnd() || *stored != reservation || source.id != reservation.sourceID ||
        source.bytes() > reservation.sourceBytes)
        return;
    m_reservations.erase(stored);
    // The real size, not the reserved one.
    m_sources.insert(source.id, source.bytes());
    m_pinCount = saturatingAdd(m_pinCount, 1);
}

ImageResourceStore::CaptureReservation ImageResourceStore::preflightCapture(const QList<Size>& displayPixelSizes)
{
    if (displayPixelSizes.isEmpty())
        throw Failure(Failure::imageTooLarge);
    constexpr double twoTo63 = 9223372036854775808.0;
    qint64 total = 0;
    qint64 largest = 0;
    for (const Size& size : displayPixelSizes) {
        if (!size.isFinite() || !(size.width > 0) || !(size.height > 0))
            throw Failure(Failure::imageTooLarge);
        const double width = std::ceil(size.width);
        const double height = std::ceil(size.height);
        if (!(width < twoTo63) || !(height < twoTo63))
            throw Failure(Failure::imageTooLarge);
        rgbaBytes(qint64(width), qint64(height));
        // Captured rows are padded to 256 bytes.
        const qint64 row = (4 * qint64(width) + 255) / 256 * 256;
        const qint64 bytes = saturatingMultiply(row, qint64(height));
        total = saturatingAdd(total, bytes);
        largest = std::max(largest, bytes);
    }
    const qint64 bytes = saturatingMultiply(3, total);
    requireFit([&] { return imageFits(bytes, largest); });

    const CaptureReservation reservation{QUuid::createUuid(), bytes, largest, total};
    m_captures.insert(reservation.id, reservation);
    return reservation;
}

void ImageResourceStore::commitCapture(const CaptureReservation& reservation, const QList<SourceImage>& sources)
{
    const auto stored = m_captures.constFind(reservation.id);
    if (stored == m_captures.constEnd() || *stored != reservation)
        throw Failure(Failure::budget);
    qint64 total = 0;
    for (const SourceImage& source : sources) {
        if (source.bytes() > reservation.maximumSourceBytes)
            throw Failure(Failure::budget);
        total = saturatingAdd(total, source.bytes());
    }
    if (total > reservation.sourceBytes)
        throw Failure(Failure::budget);
    m_captures.erase(stored);
    for (const SourceImage& source : sources)
        m_sources.insert(source.id, source.bytes());
}

void ImageResourceStore::cancelCapture(const CaptureReservation& reservation)
{
    m_captures.remove(reservation.id);
}

ImageResourceStore::WorkReservation ImageResourceStore::reserveWork(qint64 bytes, WorkKind kind,
                                                                    qint64 outputWorkspaceBytes)
{
    if (bytes < 0 || outputWorkspaceBytes < 0)
        throw Failure(Failure::budget);
    switch (kind) {
    case WorkKind::output:
        // One output at a time, and never larger than the headroom kept for it.
        for (const auto& live : m_work)
            if (live.kind == WorkKind::output)
                throw Failure(Failure::budget);
        if (bytes > outputHeadroom())
            throw Failure(Failure::budget);
        requireFit([&] { return outputFits(bytes); });
        break;
    case WorkKind::encoding:
        requireFit([&] { return outputFits(bytes); });
        break;
    case WorkKind::preview:
    case WorkKind::editing:
    case WorkKind::input:
        requireFit([&] { return workFits(bytes, outputWorkspaceBytes); });
        break;
    }
    const WorkReservation reservation{QUuid::createUuid(), bytes, kind, outputWorkspaceBytes};
    m_work.insert(reservation.id, reservation);
    return reservation;
}

void ImageResourceStore::finishWork(const WorkReservation& reservation)
{
    const auto stored = m_work.constFind(reservation.id);
    if (stored != m_work.constEnd() && *stored == reservation)
        m_work.erase(stored);
}

} // namespace vorlith
