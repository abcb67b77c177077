#include "app/editor/TextMarkCommit.h"

#include "rendering/AnnotationRenderer.h"

#include <algorithm>

namespace vorlith {

Point TextMarkCommit::commitOrigin(const Input& input)
{
    if (!input.editingID && input.shownOrigin)
        return *input.shownOrigin;
    return input.textOrigin;
}

std::vector<Point> TextMarkCommit::boxPoints(const QString& text, Point origin, double fontSize)
{
    const Rect box = AnnotationRenderer::textBounds(text, origin, fontSize);
    return {box.origin, {box.maxX(), box.maxY()}};
}

TextMarkCommit::Result TextMarkCommit::apply(Input input)
{
    const QString text = AnnotationRenderer::normalizedNewlines(input.text);
    Result result{std::move(input.marks), input.selectedMarkID};
    const auto isEdited = [&](const Annotation& mark) { return input.editingID && mark.id == *input.editingID; };

    if (text.trimmed().isEmpty()) {
        if (input.editingID) {
            std::erase_if(result.marks, isEdited);
            result.selectedMarkID.reset();
        }
        return result;
    }

    Annotation mark;
    mark.id = input.editingID.value_or(QUuid::createUuid());
    mark.kind = Annotation::Kind::text;
    mark.points = boxPoints(text, commitOrigin(input), input.style.fontSize);
    mark.style = input.style;
    mark.text = text;
    mark.number = 1;

    const auto existing = std::find_if(result.marks.begin(), result.marks.end(), isEdited);
    if (existing != result.marks.end())
        *existing = mark;
    else
        result.marks.push_back(mark);
    result.selectedMarkID = mark.id;
    return result;
}

} // namespace vorlith
