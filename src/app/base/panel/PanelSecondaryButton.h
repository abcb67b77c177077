#pragma once

#include <QImage>
#include <QPushButton>
#include <QRectF>

#include <optional>

namespace vorlith {

// The white, bordered button of every panel action but the main one, with an optional
// leading image (16 × 16, enlarged or reduced to fit) before its title. Owners set the title,
// the font (the 12-pixel interface font by default) and place it by an absolute frame.
// Pressed is `isDown()`; it has no hover look. Keyboard focus comes by Tab only and shows as
// a ring of radius 6.
class PanelSecondaryButton : public QPushButton {
    Q_OBJECT
public:
    enum class ImagePosition { none, leading };

    // Where the content is drawn, in the button's coordinates.
    struct ContentLayout {
        std::optional<QRectF> image; // absent when no leading image is drawn
        QRectF text;                 // the rectangle the title is centred in
    };

    explicit PanelSecondaryButton(const QString& title = {}, QWidget* parent = nullptr);

    // The image is a QImage (its logical size is its pixels over its device pixel ratio): an
    // icon never enlarges a small image, and the button scales it to 16 × 16 either way.
    void setImage(const QImage& image);
    const QImage& image() const { return m_image; }
    void setImagePosition(ImagePosition position);
    ImagePosition imagePosition() const { return m_imagePosition; }

    [[nodiscard]] ContentLayout contentLayout() const;
    // The title as drawn: truncated in the middle to the text rectangle.
    [[nodiscard]] QString displayedTitle() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    bool drawsLeadingImage() const;

    QImage m_image;
    ImagePosition m_imagePosition = ImagePosition::none;
};

} // namespace vorlith
