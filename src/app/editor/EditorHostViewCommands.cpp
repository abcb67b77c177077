// EditorHostView: the toolbar's commands and outputs, and the feedback label that reports
// them.
#include "app/editor/EditorHostView.h"

#include "app/base/InterfaceFonts.h"

#include <QLabel>

#include <algorithm>

namespace vorlith {

void EditorHostView::performTool(const QString& key)
{
    // The commands (tools, undo and redo, copy, save, pin, exit) are not handled yet.
    Q_UNUSED(key);
}

bool EditorHostView::showFeedback(const QString& message)
{
    QLabel* label = m_chrome.feedback;
    label->setText(message);
    label->show();
    label->raise();
    if (m_isPinned) {
        // Child widgets do not scale with the pin's zoom, so the label keeps its own size.
        const int w = std::max(std::min(width() - 16, 300), 40);
        label->setGeometry(8, 8, w, 48);
    }
    return positionControls();
}

} // namespace vorlith
