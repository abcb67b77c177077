#pragma once

#include <QAbstractNativeEventFilter>
#include <QHash>

#include <cstdint>
#include <functional>

namespace vorlith {

// Drops the Expose events that the X server sends when one of our override-redirect windows is
// mapped. Qt exposes the whole window itself on its MapNotify, and its paint flushes the whole
// window after the map, so the server's own exposure of the map only makes Qt send every pixel
// once more: for a full-screen capture overlay, another 33 MB for the server to copy before the
// next window's first frame. Exposures from anything else (a window above ours that goes) carry
// a later request number and pass.
//
// The events of one map carry the number of the map request, so an Expose is the map's when
// its sequence equals that of the window's MapNotify.
class X11MapExposeFilter final : public QAbstractNativeEventFilter {
public:
    // `covers` says whether a mapped window is one of ours that bypasses the window manager
    // (mapped by our own request, viewable at once).
    explicit X11MapExposeFilter(std::function<bool(uint32_t window)> covers);

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

    // How many exposures were dropped.
    int dropped() const { return m_dropped; }

private:
    std::function<bool(uint32_t)> m_covers;
    QHash<uint32_t, uint16_t> m_mapSequence; // window -> sequence of its last MapNotify
    int m_dropped = 0;
};

} // namespace vorlith
