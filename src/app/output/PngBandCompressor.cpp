#include "app/output/PngBandCompressor.h"

#include "app/output/PngRowFilter.h"

#include <libdeflate.h>
#include <zlib.h>

#include <QScopeGuard>
#include <QThread>
#include <QThreadPool>
#include <QtEndian>

#include <algorithm>
#include <atomic>
#include <cstdint>
#include <cstring>
#include <functional>
#include <latch>
#include <limits>
#include <memory>
#include <vector>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

// Raw deflate with zlib's largest window; the window is what a band is primed with.
constexpr int windowBits = 15;
constexpr size_t window = size_t(1) << windowBits;
constexpr int memoryLevel = 8;
// The zlib header: deflate with a 32 KiB window at the fastest level, its check bits making
// the pair a multiple of 31.
constexpr Byte zlibHeader[2] = {0x78, 0x01};
constexpr qsizetype adlerBytes = 4;
// A flushed band ends with an empty stored block, which zlib's bound leaves out.
constexpr size_t flushBytes = 16;

struct Band {
    int top = 0;
    int rows = 0;
    size_t filteredBytes = 0;
    quint32 adler = 1;
    std::unique_ptr<Byte[]> compressed;
    size_t size = 0;
    bool ok = false;
};

// The pool for bands of every encoding in the process. Its threads and the caller's make one
// per core; an encoding started while another holds the pool compresses on its own thread
// what the pool has no thread for.
QThreadPool& bandPool()
{
    struct Pool {
        Pool()
        {
            threads.setMaxThreadCount(std::max(1, PngBandCompressor::threads() - 1));
            threads.setObjectName(QStringLiteral("vorlith-png-bands"));
        }
        QThreadPool threads;
    };
    static Pool pool;
    return pool.threads;
}

// Runs work(i) for each i below `count` on the pool and the calling thread, and returns once
// all have run. A helper that starts only after every item was taken takes none and touches
// nothing but the shared counter, so the caller need not wait for it.
void forEach(int count, const std::function<void(int)>& work)
{
    struct Progress {
        explicit Progress(int count, const std::function<void(int)>& work) : count(count), finished(count), work(&work) {}
        void drain()
        {
            for (int i; (i = next.fetch_add(1)) < count;) {
                (*work)(i);
                finished.count_down();
            }
        }
        const int count;
        std::atomic<int> next{0};
        std::latch finished;
        const std::function<void(int)>* work;
    };
    const auto progress = std::make_shared<Progress>(count, work);
    QThreadPool& pool = bandPool();
    const int helpers = std::min(count - 1, pool.maxThreadCount());
    for (int i = 0; i < helpers; ++i)
        pool.start([progress] { progress->drain(); });
    progress->drain();
    progress->finished.wait();
}

// Filters the band's rows after those that end the band above (the priming) and compresses
// them as part of one stream: flushed to a byte boundary, or finishing the stream when last.
bool compressBand(const QImage& image, bool rgba, bool last, Band& band)
{
    const qsizetype stride = PngRowFilter::rowBytes(image.width(), rgba);
    const int primingRows = int(std::min<qsizetype>(band.top, (qsizetype(window) + stride - 1) / stride));
    const size_t primingBytes = size_t(primingRows) * size_t(stride);
    band.filteredBytes = size_t(band.rows) * size_t(stride);
    if (primingBytes + band.filteredBytes > std::numeric_limits<uInt>::max() / 2)
        return false;
    const auto filtered = std::make_unique_for_overwrite<Byte[]>(primingBytes + band.filteredBytes);
    PngRowFilter::filter(image, rgba, band.top - primingRows, primingRows + band.rows, filtered.get());
    const Byte* own = filtered.get() + primingBytes;
    band.adler = quint32(libdeflate_adler32(1, own, band.filteredBytes));

    z_stream stream{};
    if (deflateInit2(&stream, PngBandCompressor::compressionLevel, Z_DEFLATED, -windowBits, memoryLevel,
                     Z_DEFAULT_STRATEGY) != Z_OK)
        return false;
    const auto end = qScopeGuard([&stream] { deflateEnd(&stream); });
    const size_t dictionary = std::min(primingBytes, window);
    if (dictionary > 0 && deflateSetDictionary(&stream, own - dictionary, uInt(dictionary)) != Z_OK)
        return false;

    const size_t bound = deflateBound(&stream, uLong(band.filteredBytes)) + flushBytes;
    band.compressed = std::make_unique_for_overwrite<Byte[]>(bound);
    stream.next_in = const_cast<Byte*>(own);
    stream.avail_in = uInt(band.filteredBytes);
    stream.next_out = band.compressed.get();
    stream.avail_out = uInt(bound);
    const int result = deflate(&stream, last ? Z_FINISH : Z_SYNC_FLUSH);
    band.size = bound - stream.avail_out;
    // A flush that filled the output may have more to write: only room to spare proves it done.
    return last ? result == Z_STREAM_END : result == Z_OK && stream.avail_in == 0 && stream.avail_out > 0;
}

std::vector<Band> cutIntoBands(int height, int count)
{
    std::vector<Band> bands(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        Band& band = bands[size_t(i)];
        band.top = int(qint64(height) * i / count);
        band.rows = int(qint64(height) * (i + 1) / count) - band.top;
    }
    return bands;
}

} // namespace

int PngBandCompressor::threads()
{
    return std::max(1, QThread::idealThreadCount());
}

std::optional<QByteArray> PngBandCompressor::compress(const QImage& image, bool rgba, int bands, qsizetype before,
                                                      qsizetype after)
{
    const int count = std::clamp(bands, 1, image.height());
    std::vector<Band> cut = cutIntoBands(image.height(), count);
    forEach(count, [&](int i) {
        try {
            cut[size_t(i)].ok = compressBand(image, rgba, i == count - 1, cut[size_t(i)]);
        } catch (const std::bad_alloc&) {
            cut[size_t(i)].ok = false;
        }
    });

    qsizetype streamBytes = qsizetype(sizeof zlibHeader) + adlerBytes;
    uLong adler = 1;
    for (const Band& band : cut) {
        if (!band.ok)
            return std::nullopt;
        streamBytes += qsizetype(band.size);
        adler = adler32_combine(adler, band.adler, z_off_t(band.filteredBytes));
    }

    QByteArray out(before + streamBytes + after, Qt::Uninitialized);
    auto* at = reinterpret_cast<Byte*>(out.data()) + before;
    at = std::copy(std::begin(zlibHeader), std::end(zlibHeader), at);
    for (const Band& band : cut)
        at = std::copy_n(band.compressed.get(), band.size, at);
    qToBigEndian(quint32(adler), at);
    return out;
}

} // namespace vorlith
