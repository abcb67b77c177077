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

    class Failure : public std::exception {
    public:
        enum Reason { imageTooLarge, budget, count };
        explicit Failure(Reason reason) : reason_(reason) {}
        Reason reason() const { return reason_; }
        // The user-facing message.
        QString description() const { return QString::fromUtf8(what()); }
        const char* what() const noexcept override;
        friend bool operator==(const Failure& a, const Failure& b) { return a.reason_ == b.reason_; }
        friend size_t qHash(const Failure& failure, size_t seed = 0) { return ::qHash(int(failure.reason_), seed); }

    private:
        Reason reason_;
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

    qint64 limit() const { return limit_; }
    qint64 persistentBytes() const;
    qint64 reservedBytes() const;
    qint64 outputHeadroom() const;

    // Figures only the owner knows, replaced after every change.
    const QHash<QUuid, qint64>& sources() const { return sources_; }
    void setSources(QHash<QUuid, qint64> sources) { sources_ = std::move(sources); }
    qint64 configuredOutputWorkspaceBytes() const { return configuredOutputWorkspaceBytes_; }
    void setConfiguredOutputWorkspaceBytes(qint64 bytes) { configuredOutputWorkspaceBytes_ = bytes; }
    qint64 documentBytes() const { return documentBytes_; }
    void setDocumentBytes(qint64 bytes) { documentBytes_ = bytes; }
    qint64 cacheBytes() const { return cacheBytes_; }
    void setCacheBytes(qint64 bytes) { cacheBytes_ = bytes; }
    qint64 pinCount() const { return pinCount_; }
    void setPinCount(qint64 count) { pinCount_ = count; }
    // Frees what caches it can and pushes the new figures before it returns.
    void setOnReclaimCaches(std::function<void()> reclaim) { onReclaimCaches_ = std::move(reclaim); }

    const QHash<QUuid, Reservation>& reservations() const { return reservations_; }
    const QHash<QUuid, CaptureReservation>& captures() const { return captures_; }
    const QHash<QUuid, WorkReservation>& work() const { return work_; }

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

    qint64 limit_;
    QHash<QUuid, qint64> sources_;
    QHash<QUuid, Reservation> reservations_;
    QHash<QUuid, CaptureReservation> captures_;
    QHash<QUuid, WorkReservation> work_;
    qint64 configuredOutputWorkspaceBytes_ = 0;
    qint64 documentBytes_ = 0;
    qint64 cacheBytes_ = 0;
    qint64 pinCount_ = 0;
    std::function<void()> onReclaimCaches_;
};

} // namespace vorlith
