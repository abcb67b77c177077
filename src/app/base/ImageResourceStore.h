#pragma once

#include "core/Geometry.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QUuid>
#include <QtGlobal>

#include <exception>
#include <functional>
#include <optional>

class QImage;

namespace vorlith {

// The one admission control for image bytes held in memory. Every new image, committed
// edit, live preview, output or encoding job and transient input buffer first asks here and
// gets a reservation or a Failure. The store only keeps accounts against one fixed limit;
// before it refuses it asks its owner once to reclaim caches.
//
// All byte figures saturate instead of overflowing. Main thread only.
class ImageResourceStore {
public:
    static constexpr qint64 defaultLimitCap = qint64(1) << 30;
    static constexpr qint64 maximumPixels = 64'000'000;

    // Transient work. `output` and `encoding` live inside the output headroom; the others
    // add to the reserved total.
    enum class WorkKind { preview, editing, output, encoding, input };

    // What an output of an image of `sourceBytes` needs while it is flattened and encoded:
    // four bitmaps of its size and 64 KiB, saturating; 0 for an empty image.
    [[nodiscard]] static qint64 outputWorkspaceBytes(qint64 sourceBytes);

    class Failure : public std::exception {
    public:
        enum Reason { imageTooLarge, budget, count };
        explicit Failure(Reason reason) : m_reason(reason) {}
        Reason reason() const { return m_reason; }
        // The user-facing message.
        QString description() const { return QString::fromUtf8(what()); }
        const char* what() const noexcept override;
        friend bool operator==(const Failure& a, const Failure& b) { return a.m_reason == b.m_reason; }
        friend size_t qHash(const Failure& failure, size_t seed = 0) { return ::qHash(int(failure.m_reason), seed); }

    private:
        Reason m_reason;
    };

    // Budget held for one new image from `reserve` until `commit` or `cancel`.
    struct Reservation {
        QUuid id;
        QUuid sourceID;
        qint64 bytes = 0;       // added to the reserved total
        qint64 sourceBytes = 0; // the bitmap size of the image it admits
        friend bool operator==(const Reservation&, const Reservation&) = default;
    };

    // Budget held for one capture (all displays) from `preflightCapture` until
    // `commitCapture` or `cancelCapture`.
    struct CaptureReservation {
        QUuid id;
        qint64 bytes = 0;              // 3 x sourceBytes
        qint64 maximumSourceBytes = 0; // the largest single display
        qint64 sourceBytes = 0;
        friend bool operator==(const CaptureReservation&, const CaptureReservation&) = default;
    };

    // Transient work from `reserveWork` until `finishWork`.
    struct WorkReservation {
        QUuid id;
        qint64 bytes = 0;
        WorkKind kind = WorkKind::preview;
        qint64 outputWorkspaceBytes = 0;
        friend bool operator==(const WorkReservation&, const WorkReservation&) = default;
    };

    // What the store reads of a built image source: its id and the bitmap's bytes per row
    // and height.
    struct SourceImage {
        QUuid id;
        qint64 bytesPerRow = 0;
        qint64 height = 0;
        static SourceImage of(const QUuid& id, const QImage& image);
        qint64 bytes() const;
    };

    // One eighth of the physical memory, at most 1 GiB. An unknown memory size gives the cap.
    static qint64 defaultLimit(std::optional<qint64> physicalMemoryBytes);
    static std::optional<qint64> physicalMemoryBytes();

    // Absent: the default limit for this machine. A negative limit becomes 0.
    explicit ImageResourceStore(std::optional<qint64> limit = std::nullopt);
    ImageResourceStore(const ImageResourceStore&) = delete;
    ImageResourceStore& operator=(const ImageResourceStore&) = delete;

    // Admits one new image of width x height pixels whose source will carry `sourceID`;
    // `transientMultiplier` extra bitmaps of that size and `encodedBytes` of encoded data
    // are held meanwhile. Throws Failure.
    Reservation reserve(const QUuid& sourceID, qint64 width, qint64 height, qint64 transientMultiplier,
                        qint64 encodedBytes);
    void cancel(const Reservation& reservation);
    // Does nothing unless the reservation is still stored as given, the source carries its
    // source id and the bitmap is no larger than reserved. Counts one more pin.
    void commit(const Reservation& reservation, const SourceImage& source);

    // One pixel size per display to be captured. Throws Failure.
    CaptureReservation preflightCapture(const QList<Size>& displayPixelSizes);
    // Throws Failure::budget (and changes nothing) when the frozen images exceed what was
    // preflighted or the reservation is not stored as given.
    void commitCapture(const CaptureReservation& reservation, const QList<SourceImage>& sources);
    void cancelCapture(const CaptureReservation& reservation);

    // `outputWorkspaceBytes`: the output workspace the document concerned would need
    // afterwards (0 when none). Throws Failure::budget.
    WorkReservation reserveWork(qint64 bytes, WorkKind kind, qint64 outputWorkspaceBytes);
    // Ends the reservation only when it is stored under its id exactly as given.
    void finishWork(const WorkReservation& reservation);

    qint64 limit() const { return m_limit; }
    qint64 persistentBytes() const;
    qint64 reservedBytes() const;
    qint64 outputHeadroom() const;

    // Figures only the owner knows, replaced after every change.
    const QHash<QUuid, qint64>& sources() const { return m_sources; }
    void setSources(QHash<QUuid, qint64> sources) { m_sources = std::move(sources); }
    qint64 configuredOutputWorkspaceBytes() const { return m_configuredOutputWorkspaceBytes; }
    void setConfiguredOutputWorkspaceBytes(qint64 bytes) { m_configuredOutputWorkspaceBytes = bytes; }
    qint64 documentBytes() const { return m_documentBytes; }
    void setDocumentBytes(qint64 bytes) { m_documentBytes = bytes; }
    qint64 cacheBytes() const { return m_cacheBytes; }
    void setCacheBytes(qint64 bytes) { m_cacheBytes = bytes; }
    qint64 pinCount() const { return m_pinCount; }
    void setPinCount(qint64 count) { m_pinCount = count; }
    // Called when a reservation does not fit: frees what caches it can and pushes the new
    // figures before it returns. Absent: nothing is reclaimed.
    std::function<void()> onReclaimCaches;

    const QHash<QUuid, Reservation>& reservations() const { return m_reservations; }
    const QHash<QUuid, CaptureReservation>& captures() const { return m_captures; }
    const QHash<QUuid, WorkReservation>& work() const { return m_work; }

private:
    static qint64 rgbaBytes(qint64 width, qint64 height);
    qint64 outputWorkBytes() const;
    qint64 largestSource() const;
    bool imageFits(qint64 bytes, qint64 sourceBytes) const;
    bool outputFits(qint64 bytes) const;
    bool workFits(qint64 bytes, qint64 outputWorkspaceBytes) const;
    bool withinLimit(qint64 extra) const;
    // Runs the fit test; if it fails, asks once to reclaim caches and runs it again.
    void requireFit(const std::function<bool()>& fits);

    qint64 m_limit;
    QHash<QUuid, qint64> m_sources;
    QHash<QUuid, Reservation> m_reservations;
    QHash<QUuid, CaptureReservation> m_captures;
    QHash<QUuid, WorkReservation> m_work;
    qint64 m_configuredOutputWorkspaceBytes = 0;
    qint64 m_documentBytes = 0;
    qint64 m_cacheBytes = 0;
    qint64 m_pinCount = 0;
};

} // namespace vorlith
