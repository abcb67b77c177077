#include "core/CaptureContent.h"

#include "core/JsonValues.h"

#include <algorithm>

namespace vorlith {

namespace {

constexpr std::array<std::string_view, 3> originNames{"screenCapture", "clipboardImage", "localFile"};
static_assert(originNames.size() == allDocumentOrigins.size());

} // namespace

std::string_view documentOriginName(DocumentOrigin origin)
{
    return originNames[size_t(origin)];
}

std::optional<DocumentOrigin> documentOriginFromName(std::string_view name)
{
    for (const DocumentOrigin origin : allDocumentOrigins)
        if (documentOriginName(origin) == name)
            return origin;
    return std::nullopt;
}

bool CaptureContent::isValid() const
{
    // Any finite selection passes, a zero-size one too: output and commit refuse those later.
    return selection.isFinite() && (!nextNumber || isMarkerNumber(*nextNumber))
        && std::all_of(annotations.begin(), annotations.end(), [](const Annotation& a) { return a.isValid(); });
}

bool CaptureContent::isSameImage(const CaptureContent& other) const
{
    return selection == other.selection && annotations == other.annotations;
}

QByteArray CaptureContent::signature() const
{
    CaptureContent image = *this;
    image.nextNumber = 1;
    try {
        // The plain json type keeps its keys sorted, so the conversion does the sorting.
        const nlohmann::json sorted = image.toJson();
        const std::string text = sorted.dump();
        return QByteArray(text.data(), qsizetype(text.size()));
    } catch (const JsonEncodeError&) {
        return {};
    }
}

std::int64_t CaptureContent::estimatedBytes() const
{
    std::int64_t bytes = 128;
    for (const Annotation& mark : annotations)
        bytes += mark.estimatedBytes();
    return bytes;
}

Json CaptureContent::toJson() const
{
    Json marks = Json::array();
    for (const Annotation& mark : annotations)
        marks.push_back(mark.toJson());

    Json out = Json::object();
    out["selection"] = Json::array({json::pair(selection.origin.x, selection.origin.y, "selection"),
                                    json::pair(selection.size.width, selection.size.height, "selection")});
    out["annotations"] = std::move(marks);
    out["nextNumber"] = nextNumber ? Json(*nextNumber) : Json(nullptr);
    return out;
}

CaptureContent CaptureContent::fromJson(const Json& value)
{
    json::requireObject(value, "content");
    CaptureContent content;

    const Json& selection = json::requireArray(json::requireKey(value, "selection"), "selection");
    if (selection.size() != 2)
        throw JsonDecodeError("selection: expected origin and size");
    const auto [x, y] = json::toPair(selection[0], "selection");
    const auto [w, h] = json::toPair(selection[1], "selection");
    content.selection = Rect(x, y, w, h);

    for (const Json& mark : json::requireArray(json::requireKey(value, "annotations"), "annotations"))
        content.annotations.push_back(Annotation::fromJson(mark));

    // A missing counter starts at 1; null is the counter that already passed 999.
    const auto next = value.find("nextNumber");
    if (next == value.end())
        content.nextNumber = 1;
    else if (!next->is_null())
        content.nextNumber = json::toInt(*next, "nextNumber");
    return content;
}

} // namespace vorlith
