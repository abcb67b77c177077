#pragma once

#include "app/base/ApplicationVersionInfo.h"
#include "core/Geometry.h"

#include <QWidget>

#include <functional>
#include <memory>

class QLabel;

namespace vorlith {

// The small fixed About window: icon, name, tagline, version and release date. Made once on
// first use and kept; closing (the close button, Escape) only hides it. Always light.
class AboutWindowController {
public:
    static constexpr int width = 360;
    static constexpr int height = 246;
    static constexpr const char* title = "关于 Vorlith";
    static constexpr const char* tagline = "面向日常办公的轻量屏幕助手";

    // The y-up frames of the content, measured from the window's bottom-left corner.
    static constexpr Rect iconFrame{148, 152, 64, 64};
    static constexpr Rect nameFrame{24, 117, 312, 26};
    static constexpr Rect taglineFrame{24, 89, 312, 26};
    static constexpr Rect versionFrame{24, 50, 312, 26};
    static constexpr Rect releaseFrame{24, 26, 312, 26};

    explicit AboutWindowController(ApplicationVersionInfo info);
    ~AboutWindowController();
    AboutWindowController(const AboutWindowController&) = delete;
    AboutWindowController& operator=(const AboutWindowController&) = delete;

    QWidget* window() const;
    const ApplicationVersionInfo& info() const { return m_info; }
    // Shows the window, brings it to the front and gives it the keyboard.
    void showWindow();

    QLabel* icon() const { return m_icon; }
    QLabel* name() const { return m_name; }
    QLabel* taglineLabel() const { return m_tagline; }
    QLabel* version() const { return m_version; }
    QLabel* release() const { return m_release; }

    // Called when the window closes; the coordinator leaves it unset.
    std::function<void()> onClosed;

private:
    class Window;
    void build();

    ApplicationVersionInfo m_info;
    std::unique_ptr<Window> m_window;
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_tagline = nullptr;
    QLabel* m_version = nullptr;
    QLabel* m_release = nullptr;
};

} // namespace vorlith
