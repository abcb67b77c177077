#pragma once

#include "core/Geometry.h"

#include <QImage>
#include <QList>
#include <QPixmap>
#include <QRect>
#include <QScrollArea>
#include <QString>
#include <QUuid>

#include <optional>

class QToolButton;

namespace vorlith {

// The thumbnails of the quit review alert: one flat button per image not yet copied or saved,
// its thumbnail beside its title, first at the top. A click remembers the image and ends the
// alert with `abortedResponse` (neither of its buttons), so the coordinator brings that image
// back instead of quitting. Transparent: it shows on the alert's own ground.
class TerminationReviewView : public QScrollArea {
    Q_OBJECT
public:
    struct Entry {
        QUuid id;
        // "当前未完成截图", "未输出置顶图片" or "上次未完成截图".
        QString title;
        // The whole image: a document's composite or a frozen screenshot.
        QImage image;
        // The part to show, in the image's logical points (y down).
        Rect selection;
        // The image's size in logical points.
        Size logicalSize;
    };

    static constexpr const char* currentCaptureTitle = "当前未完成截图";
    static constexpr const char* pinnedImageTitle = "未输出置顶图片";
    static constexpr const char* lastCaptureTitle = "上次未完成截图";
    static constexpr const char* rowToolTip = "返回并定位这张图片";
    static constexpr const char* accessibleSuffix = "，返回处理";

    static constexpr int viewWidth = 340;
    static constexpr int contentWidth = 320;
    static constexpr int rowHeight = 72;
    static constexpr int buttonHeight = 64;
    static constexpr int maxHeight = 224;
    // More rows than this scroll.
    static constexpr int rowsWithoutScrollBar = 3;
    static constexpr QSize thumbnailSize{100, 60};
    // What the alert answers when a thumbnail ended it.
    static constexpr int abortedResponse = -1001;

    // The thumbnails are drawn for the primary screen's pixel ratio (where the alert shows).
    explicit TerminationReviewView(QList<Entry> entries, QWidget* parent = nullptr);
    TerminationReviewView(QList<Entry> entries, double devicePixelRatio, QWidget* parent = nullptr);

    const QList<Entry>& entries() const { return m_entries; }
    // The entry whose button was clicked; none until a click.
    const std::optional<QUuid>& selectedID() const { return m_selectedID; }
    // The row buttons, in entry order.
    const QList<QToolButton*>& buttons() const { return m_buttons; }

    // The rows' action: the sender's "tag" names its entry. A valid tag records the entry's id
    // and ends the dialog the view is in; any other sender does nothing.
    void locate(const QObject* sender);

    // The 100 × 60-point thumbnail of an entry at `devicePixelRatio`: the selection's pixels
    // fitted and centred, the rest transparent.
    [[nodiscard]] static QPixmap thumbnail(const Entry& entry, double devicePixelRatio);
    // The pixels a thumbnail shows: the selection scaled to the image's pixels, rounded
    // outward and cut to the image; the whole image when that leaves nothing.
    [[nodiscard]] static QRect cutRect(const Entry& entry);

private:
    void build(double devicePixelRatio);

    QList<Entry> m_entries;
    QList<QToolButton*> m_buttons;
    std::optional<QUuid> m_selectedID;
};

} // namespace vorlith
