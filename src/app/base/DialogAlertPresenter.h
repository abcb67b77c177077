#pragma once

#include "platform/AlertPresenter.h"

#include <memory>

namespace vorlith {

class FloatingWindows;

// Runs each alert as an AlertDialog at the review alert's level: above capture overlays and
// toasts, holding the keyboard while it is up.
class DialogAlertPresenter final : public AlertPresenter {
public:
    explicit DialogAlertPresenter(std::shared_ptr<FloatingWindows> windows);

    int run(const Alert& alert) override;

private:
    std::shared_ptr<FloatingWindows> m_windows;
};

} // namespace vorlith
