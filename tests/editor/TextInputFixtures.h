#pragma once

// Typing through an input method, as a real one talks to a text widget, and finding where a
// text's red ink landed in a picture.

#include <QApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QTextCharFormat>

namespace vorlith::test {

// A composition in progress (preedit), underlined as input methods show it.
inline void compose(QWidget* view, const QString& preedit)
{
    QTextCharFormat underline;
    underline.setFontUnderline(true);
    QInputMethodEvent event(preedit, {QInputMethodEvent::Attribute(QInputMethodEvent::TextFormat, 0,
                                                                   int(preedit.size()), underline)});
    QApplication::sendEvent(view, &event);
}

// The composition ends and its text is committed.
inline void commitComposition(QWidget* view, const QString& text)
{
    QInputMethodEvent event;
    event.setCommitString(text);
    QApplication::sendEvent(view, &event);
}

// Pixels of a strong red (the default text colour) in the region: their bounding box.
inline QRect inkBox(const QImage& image, const QRect& region)
{
    QRect box;
    const QRect within = region & image.rect();
    for (int y = within.top(); y <= within.bottom(); ++y)
        for (int x = within.left(); x <= within.right(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (c.red() - c.green() > 90)
                box |= QRect(x, y, 1, 1);
        }
    return box;
}

} // namespace vorlith::test
