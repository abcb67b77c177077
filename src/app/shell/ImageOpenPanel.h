#pragma once

#include <QList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class QFileDialog;
class QWidget;

namespace vorlith {

class FloatingWindows;

// The panel of "打开图片并置顶…": Qt's own (non-native) file dialog choosing several existing
// PNG or JPEG files, stacked by the window kit at the pins' level so it never opens beneath
// a pin. Shown without blocking; `finished` gets the chosen files, or nothing when cancelled.
class ImageOpenPanel {
public:
    static constexpr const char* title = "打开图片并置顶";

    // The dialog deletes itself when it closes. `parent` (a pin, or none) keeps it above.
    static QFileDialog* open(const std::shared_ptr<FloatingWindows>& windows, QWidget* parent,
                             std::function<void(std::optional<QList<QUrl>>)> finished);
};

} // namespace vorlith
