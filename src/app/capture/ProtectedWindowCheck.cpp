#include "app/capture/ProtectedWindowCheck.h"

#include <cmath>

namespace vorlith {

bool ProtectedWindowCheck::isUsable(const Rect& rect)
{
    return rect.isFinite() && rect.size.width > 0 && rect.size.height > 0;
}

namespace {

// The visible part of a window that may hide or be hidden: absent when the window is skipped.
std::optional<Rect> visiblePart(const WindowListEntry& window, const Rect& display, qint32 excludingPID)
{
    if (!window.ownerPID || *window.ownerPID == excludingPID)
        return std::nullopt;
    if (!window.layer || *window.layer != 0)
        return std::nullopt;
    if (!window.alpha || !std::isfinite(*window.alpha) || *window.alpha <= 0)
        return std::nullopt;
    if (!window.bounds || !ProtectedWindowCheck::isUsable(*window.bounds))
        return std::nullopt;
    if (window.isOnscreen && !*window.isOnscreen)
        return std::nullopt;
    const std::optional<Rect> part = window.bounds->intersected(display);
    if (!part || !ProtectedWindowCheck::isUsable(*part))
        return std::nullopt;
    if (!window.sharingState)
        return std::nullopt;
    return part;
}

} // namespace

bool ProtectedWindowCheck::hasVisibleProtectedWindow(const std::vector<WindowListEntry>& windows,
                                                     const Rect& displayBounds, qint32 excludingPID,
                                                     const QSet<quint32>& readableWindowIDs)
{
    if (!isUsable(displayBounds) || windows.empty())
        return false;
    std::vector<Rect> readableCovers;
    for (const WindowListEntry& window : windows) {
        const std::optional<Rect> part = visiblePart(window, displayBounds, excludingPID);
        if (!part)
            continue;
        const int sharing = *window.sharingState;
        if (sharing == sharingNone) {
            if (isCovered(*part, readableCovers))
                continue;
            return true;
        }
        const bool readable = sharing == sharingReadOnly || sharing == sharingReadWrite;
        if (readable && *window.alpha == 1 && window.number && readableWindowIDs.contains(*window.number))
            readableCovers.push_back(*part);
    }
    return false;
}

void ProtectedWindowCheck::subtract(const Rect& piece, const Rect& cover, std::vector<Rect>& out)
{
    const std::optional<Rect> h = piece.intersected(cover);
    if (!h || !isUsable(*h)) {
        out.push_back(piece);
        return;
    }
    const Rect bands[] = {
        Rect(piece.minX(), piece.minY(), piece.width(), h->minY() - piece.minY()), // above
        Rect(piece.minX(), h->maxY(), piece.width(), piece.maxY() - h->maxY()),    // below
        Rect(piece.minX(), h->minY(), h->minX() - piece.minX(), h->height()),      // left
        Rect(h->maxX(), h->minY(), piece.maxX() - h->maxX(), h->height()),         // right
    };
    for (const Rect& band : bands)
        if (isUsable(band))
            out.push_back(band);
}

bool ProtectedWindowCheck::isCovered(const Rect& target, const std::vector<Rect>& covers)
{
    if (covers.empty())
        return false;
    std::vector<Rect> pieces{target};
    std::vector<Rect> next;
    for (const Rect& cover : covers) {
        next.clear();
        for (const Rect& piece : pieces)
            subtract(piece, cover, next);
        pieces.swap(next);
        if (pieces.empty())
            return true;
        if (pieces.size() > maximumPieces)
            return false;
    }
    return false;
}

} // namespace vorlith
