#pragma once

#include <QApplication>

#include <functional>

namespace vorlith {

// The program's QApplication: closing a window never quits it, and Qt's own quit (the
// session manager, QCoreApplication::quit) becomes a request the coordinator answers instead
// of closing every window itself.
class VorlithApplication : public QApplication {
    Q_OBJECT
public:
    VorlithApplication(int& argc, char** argv);

    // A quit request from Qt; absent: Qt's own quit.
    std::function<void()> onQuitRequested;

protected:
    bool event(QEvent* event) override;
};

} // namespace vorlith
