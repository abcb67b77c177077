#pragma once

#include <QString>
#include <QWidget>

namespace vorlith {

// The small dark panel beside the editor's toolbar that teaches the secondary-click summon:
// one line of white text on a rounded dark body. A window of its own (it may stand beside a
// toolbar that lives in a pin's chrome), never focused and transparent for the pointer.
class DiscoveryHintPanel : public QWidget {
    Q_OBJECT
public:
    explicit DiscoveryHintPanel(QString text, QWidget* parent = nullptr);

    static constexpr double cornerRadius = 7;
    static constexpr double height = 24;

    const QString& text() const { return m_text; }
    // The text's width plus 10 on each side.
    [[nodiscard]] double preferredWidth() const;
    // Without a compositor the window is cut to its rounded body (the corners would be black).
    void setComposited(bool composited);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void applyMask();

    QString m_text;
    bool m_composited = true;
};

} // namespace vorlith
