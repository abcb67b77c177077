#pragma once

#include <QString>

#include <stdexcept>

namespace vorlith {

// A hot key that could not be registered. Code 1 is a chord used twice; any other code is the
// system's status (on X11 its error code, 10 when another client holds the chord).
class HotKeyError : public std::runtime_error {
public:
    static constexpr const char* domain = "Tolvane.Hotkey";
    static constexpr int duplicateChordCode = 1;

    static HotKeyError duplicateChord();
    static HotKeyError systemRefused(int status);

    int code() const { return m_code; }
    QString description() const { return QString::fromUtf8(what()); }

private:
    HotKeyError(int code, const QString& description);
    int m_code;
};

} // namespace vorlith
