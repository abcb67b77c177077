#pragma once

#include <QPointer>
#include <QRect>
#include <QWindow>

#include <memory>
#include <optional>
#include <vector>

class QWidget;

namespace vorlith {

// A grab of the root window sees every mapped window, our own included. This hides our
// visible top-level windows over an area, except the ones to keep, for as long as it lives,
// and shows them again, without taking the keyboard, when it ends. A widget window that its
// owner hides or closes meanwhile stays hidden.
class OwnWindowConcealment {
public:
    // area: logical coordinates; absent means everywhere. kept: native window ids (winId()).
    OwnWindowConcealment(const std::optional<QRect>& area, const std::vector<quint32>& kept);
    ~OwnWindowConcealment();
    OwnWindowConcealment(const OwnWindowConcealment&) = delete;
    OwnWindowConcealment& operator=(const OwnWindowConcealment&) = delete;

    bool isEmpty() const { return m_hidden.empty(); }

private:
    class OwnerWatch;

    struct Hidden {
        QPointer<QWindow> window;
        QPointer<QWidget> widget; // null for a window without a widget
    };
    std::vector<Hidden> m_hidden;
    std::unique_ptr<OwnerWatch> m_watch;
};

} // namespace vorlith
