#pragma once

// Typing through an input method, as a real one talks to a text widget, and finding where a
// text's red ink landed in a picture.

#include <QApplication>
#include <QImage>
#include <QInputMethodEvent>
#include <QTextCharFormat>

#include <gtest/gtest.h>

#include <cstdlib>

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

// The red ink of two pictures in one region starts and ends within 1 pixel on each side.
inline void expectSameInk(const QImage& typed, const QImage& drawn, const QRect& region)
{
    const QRect a = inkBox(typed, region), b = inkBox(drawn, region);
    ASSERT_FALSE(a.isEmpty());
    EXPECT_LE(std::abs(a.left() - b.left()), 1);
    EXPECT_LE(std::abs(a.right() - b.right()), 1);
    EXPECT_LE(std::abs(a.top() - b.top()), 1);
    EXPECT_LE(std::abs(a.bottom() - b.bottom()), 1);
}

} // namespace vorlith::test
