#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

namespace vorlith {

// The local socket through which a second start of the program hands its request to the
// running instance: one per user and X display, one JSON object per line each way.
//
// Request: {"request": "<kind>", ...}; the pin request adds "files": [absolute paths]; the
// menu request has nothing more.
// Reply:   {"accepted": true} or {"accepted": false, "message": "<sentence>"}.
namespace InstanceChannel {

constexpr qint64 maxRequestBytes = 1024 * 1024;
constexpr qsizetype maxEntries = 10'000;
constexpr std::chrono::milliseconds requestDeadline{2000};
constexpr std::chrono::milliseconds clientWait{5000};

inline const QString pinRequest = QStringLiteral("pin");
// A start of the program without arguments while an instance runs: open its menu at the pointer.
inline const QString menuRequest = QStringLiteral("menu");

// $XDG_RUNTIME_DIR/vorlith-<display>.socket (the display's screen number left out, so ":1"
// and ":1.0" meet); without a runtime folder, the temporary folder with the user's id.
[[nodiscard]] QString socketPath(const QString& display);
// For the display of $DISPLAY.
[[nodiscard]] QString socketPath();

[[nodiscard]] QByteArray encode(const QJsonObject& message);
// One line's object; absent when it is not a JSON object.
[[nodiscard]] std::optional<QJsonObject> decode(const QByteArray& line);

[[nodiscard]] QJsonObject pinRequestOf(const QStringList& files);
[[nodiscard]] QJsonObject menuRequestOf();
// The files of a pin request; absent when "files" is not a list of strings or holds more
// than maxEntries.
[[nodiscard]] std::optional<QStringList> pinFiles(const QJsonObject& request);

[[nodiscard]] QJsonObject accepted();
[[nodiscard]] QJsonObject refused(const QString& message);

// The user id of the process at the other end of a connected local socket.
[[nodiscard]] std::optional<uint> peerUid(qintptr socketDescriptor);

} // namespace InstanceChannel

} // namespace vorlith
