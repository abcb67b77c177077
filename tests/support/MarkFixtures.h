#pragma once

// Small marks and contents for the document and session tests.

#include "core/Annotation.h"
#include "core/CaptureContent.h"

#include <QUuid>

#include <optional>
#include <vector>

namespace vorlith::test {

inline const AnnotationStyle plainStyle{RGBA::Red, 4, 1, 20, std::nullopt, 12};

// A two-point pen stroke from (x, y): 192 + 32 estimated bytes, fresh id.
inline Annotation penMark(double x, double y = 0)
{
    return {QUuid::createUuid(), Annotation::Kind::pen, {{x, y}, {x + 10, y + 10}}, plainStyle, QString(), 1};
}

inline Annotation numberMark(int number, Point center = {50, 50}, double diameter = 20)
{
    return Annotation::numbered(number, center, diameter, plainStyle);
}

inline CaptureContent contentWith(std::vector<Annotation> marks, std::optional<int> nextNumber = 1,
                                  Rect selection = Rect(0, 0, 200, 100))
{
    return {selection, std::move(marks), nextNumber};
}

// The mark list with every mark shifted right by dx.
inline std::vector<Annotation> shifted(std::vector<Annotation> marks, double dx)
{
    for (Annotation& mark : marks)
        mark = mark.moved(Size{dx, 0});
    return marks;
}

} // namespace vorlith::test
