#include "app/output/PngBandCompressor.h"

#include "app/output/PngBandPool.h"
#include "app/output/PngRowFilter.h"

#include <libdeflate.h>
#include <zlib.h>

#include <QtEndian>

#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace vorlith {

namespace {

using Byte = std::uint8_t;

// Raw deflate with zlib's largest window; the window is what a band is primed with.
constexpr int windowBits = 15;
constexpr qsizetype window = qsizetype(1) << windowBits;
constexpr int memoryLevel = 8;
// The zlib header: deflate with a 32 KiB window at the fastest level, its check bits making
// the pair a multiple of 31.
constexpr Byte zlibHeader[2] = {0x78, 0x01};
constexpr qsizetype adlerBytes = 4;
// Rows are filtered and fed to the compressor a few at a time, and the compressed data comes
// out in blocks of the same size: small enough to stay in the cache, and for the allocator to
// hand out again from what earlier encodings freed, where a buffer of a whole band would be
// fresh memory each time.
constexpr qsizetype chunkBytes = 64 * 1024;

struct Band {
    int top = 0;
    int rows = 0;
    size_t filteredBytes = 0;
    uLong adler = 1;
    std::vector<std::unique_ptr<Byte[]>> blocks; // chunkBytes each, the last one filled to `lastBlockBytes`
    qsizetype lastBlockBytes = 0;
    qsizetype size() const { return qsizetype(blocks.size() - 1) * chunkBytes + lastBlockBytes; }
    bool ok = false;
};

// What one thread compresses its bands with, kept from band to band: the compressor and a
// buffer of a few filtered rows.
class BandWorker {
public:
    BandWorker(const QImage& image, bool rgba)
        : m_filter(image, rgba), m_stride(m_filter.rowBytes()),
          m_chunkRows(int(std::max<qsizetype>(1, chunkBytes / m_stride))),
          m_primingRows(int((window + m_stride - 1) / m_stride)),
          m_rows(std::make_unique_for_overwrite<Byte[]>(size_t(std::max(m_chunkRows, m_primingRows) * m_stride)))
    {
        m_ready = deflateInit2(&m_stream, PngBandCompressor::compressionLevel, Z_DEFLATED, -windowBits, memoryLevel,
                               Z_DEFAULT_STRATEGY) == Z_OK;
        if (m_ready)
            m_trialOut = std::make_unique_for_overwrite<Byte[]>(deflateBound(&m_stream, uLong(trialRows() * m_stride)));
    }
    ~BandWorker()
    {
        if (m_ready)
            deflateEnd(&m_stream);
    }
    BandWorker(const BandWorker&) = delete;
    BandWorker& operator=(const BandWorker&) = delete;

    // Compresses the band as part of one stream: flushed to a byte boundary, or finishing
    // the stream when last.
    bool compress(Band& band, bool last)
    {
        band.filteredBytes = size_t(band.rows) * size_t(m_stride);
        if (!m_ready)
            return false;
        const std::optional<int> strategy = strategyFor(band);
        if (!strategy || deflateReset(&m_stream) != Z_OK
            || deflateParams(&m_stream, PngBandCompressor::compressionLevel, *strategy) != Z_OK || !prime(band.top))
            return false;
        m_stream.avail_out = 0;
        const int end = band.top + band.rows;
        for (int top = band.top; top < end; top += m_chunkRows) {
            const int rows = std::min(m_chunkRows, end - top);
            const bool final = top + rows == end;
            if (!feed(band, top, rows, final ? (last ? Z_FINISH : Z_SYNC_FLUSH) : Z_NO_FLUSH))
                return false;
        }
        band.lastBlockBytes = chunkBytes - m_stream.avail_out;
        return true;
    }

private:
    // Rows enough for half a piece: a band's first rows tell how it compresses at a fraction
    // of compressing them twice over.
    int trialRows() const { return int(std::max<qsizetype>(1, chunkBytes / 2 / m_stride)); }

    // How the band is compressed, tried on its first rows: plain matching finds repeats of
    // text, icons and the structure of coarse noise; runs alone (Z_RLE) suit content whose
    // filtered rows are mostly small differences, such as a smooth photograph's soft grain,
    // where short matches of the fastest level cost more than the literals they replace.
    std::optional<int> strategyFor(const Band& band)
    {
        const int rows = std::min(trialRows(), band.rows);
        m_filter.filter(band.top, rows, m_rows.get());
        std::optional<int> best;
        uLong smallest = 0;
        for (const int strategy : {Z_DEFAULT_STRATEGY, Z_RLE}) {
            if (deflateReset(&m_stream) != Z_OK
                || deflateParams(&m_stream, PngBandCompressor::compressionLevel, strategy) != Z_OK)
                return std::nullopt;
            m_stream.next_in = m_rows.get();
            m_stream.avail_in = uInt(rows * m_stride);
            m_stream.next_out = m_trialOut.get();
            m_stream.avail_out = uInt(deflateBound(&m_stream, uLong(rows * m_stride)));
            if (deflate(&m_stream, Z_FINISH) != Z_STREAM_END)
                return std::nullopt;
            if (!best || m_stream.total_out < smallest) {
                best = strategy;
                smallest = m_stream.total_out;
            }
        }
        return best;
    }

    // Fills the window with the filtered rows that end the band above, so that matches reach
    // back across the seam as within a single stream.
    bool prime(int top)
    {
        if (top == 0)
            return true;
        const int rows = std::min(top, m_primingRows);
        m_filter.filter(top - rows, rows, m_rows.get());
        const qsizetype dictionary = std::min(window, rows * m_stride);
        return deflateSetDictionary(&m_stream, m_rows.get() + rows * m_stride - dictionary, uInt(dictionary)) == Z_OK;
    }

    // Filters the rows and compresses them into the band's blocks, a new one whenever the last
    // is full: output that filled a block may not be all, only room to spare proves it done.
    bool feed(Band& band, int top, int rows, int flush)
    {
        const qsizetype bytes = rows * m_stride;
        m_filter.filter(top, rows, m_rows.get());
        band.adler = libdeflate_adler32(quint32(band.adler), m_rows.get(), size_t(bytes));
        m_stream.next_in = m_rows.get();
        m_stream.avail_in = uInt(bytes);
        int result = Z_OK;
        do {
            if (m_stream.avail_out == 0) {
                band.blocks.push_back(std::make_unique_for_overwrite<Byte[]>(size_t(chunkBytes)));
                m_stream.next_out = band.blocks.back().get();
                m_stream.avail_out = uInt(chunkBytes);
            }
            result = deflate(&m_stream, flush);
            // Called again after a block that ended exactly on the flush, zlib has nothing to do.
            if (result != Z_OK && result != Z_BUF_ERROR && result != Z_STREAM_END)
                return false;
        } while (m_stream.avail_out == 0);
        return m_stream.avail_in == 0 && (flush != Z_FINISH || result == Z_STREAM_END);
    }

    PngRowFilter m_filter;
    const qsizetype m_stride;
    const int m_chunkRows;
    const int m_primingRows;
    const std::unique_ptr<Byte[]> m_rows;
    std::unique_ptr<Byte[]> m_trialOut;
    z_stream m_stream{};
    bool m_ready = false;
};

std::vector<Band> cutIntoBands(int height, int count)
{
    std::vector<Band> bands(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const PngBandPool::Rows rows = PngBandPool::part(height, i, count);
        bands[size_t(i)].top = rows.top;
        bands[size_t(i)].rows = rows.count;
    }
    return bands;
}

// The bands joined: the zlib header, each band's deflate data, the Adler-32 of the whole.
std::optional<QByteArray> join(const std::vector<Band>& bands, qsizetype before, qsizetype after)
{
    qsizetype streamBytes = qsizetype(sizeof zlibHeader) + adlerBytes;
    uLong adler = 1;
    for (const Band& band : bands) {
        if (!band.ok)
            return std::nullopt;
        streamBytes += band.size();
        adler = adler32_combine(adler, band.adler, z_off_t(band.filteredBytes));
    }
    QByteArray out(before + streamBytes + after, Qt::Uninitialized);
    auto* at = reinterpret_cast<Byte*>(out.data()) + before;
    at = std::copy(std::begin(zlibHeader), std::end(zlibHeader), at);
    for (const Band& band : bands)
        for (size_t i = 0; i < band.blocks.size(); ++i)
            at = std::copy_n(band.blocks[i].get(), i + 1 < band.blocks.size() ? chunkBytes : band.lastBlockBytes, at);
    qToBigEndian(quint32(adler), at);
    return out;
}

} // namespace

std::optional<QByteArray> PngBandCompressor::compress(const QImage& image, bool rgba, int bands, qsizetype before,
                                                      qsizetype after)
{
    const int count = std::clamp(bands, 1, image.height());
    std::vector<Band> cut = cutIntoBands(image.height(), count);
    const bool compressed = PngBandPool::forEach(count, [&image, rgba, &cut, count] {
        return [worker = std::make_shared<BandWorker>(image, rgba), &cut, count](int i) {
            Band& band = cut[size_t(i)];
            band.ok = worker->compress(band, i == count - 1);
        };
    });
    if (!compressed)
        return std::nullopt;
    return join(cut, before, after);
}

} // namespace vorlith
