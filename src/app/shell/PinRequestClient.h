#pragma once

#include <QString>
#include <QStringList>

#include <QJsonObject>

#include <chrono>
#include <optional>

namespace vorlith {

// `vorlith --pin FILE…`: hands the files to the running instance and reports its answer.
// Runs under a QCoreApplication, before any QApplication or X connection exists.
class PinRequestClient {
public:
    struct Outcome {
        enum class Kind { accepted, refused, noInstance, noAnswer };
        Kind kind = Kind::noAnswer;
        QString message; // refused: the instance's sentence (possibly empty)
    };

    // The request's entries from the command line: paths made absolute against `workingDirectory`,
    // file: URIs as their paths, other URLs dropped.
    [[nodiscard]] static QStringList entriesFrom(const QStringList& arguments, const QString& workingDirectory);
    // Sends one pin request and waits at most `wait` for the answer.
    [[nodiscard]] static Outcome send(const QString& socketPath, const QStringList& entries,
                                      std::chrono::milliseconds wait);
    // Sends any request of the channel and waits at most `wait` for the answer.
    [[nodiscard]] static Outcome sendRequest(const QString& socketPath, const QJsonObject& request,
                                             std::chrono::milliseconds wait);
    // `PROGRAM --pin ENTRY…` under a QCoreApplication of its own: hands the entries to the
    // running instance. The exit code, or nothing when no instance runs and the entries hold
    // files: then `entries` are for the instance this process becomes.
    [[nodiscard]] static std::optional<int> runFromCommandLine(int argc, char** argv, QStringList& entries);
    // What the user reads on stderr for an outcome that is not `accepted`.
    [[nodiscard]] static QString sentenceFor(const Outcome& outcome);

    static QString noAnswerMessage();   // "Vorlith 没有响应，请稍后再置顶图片。"
    static QString refusedFallback();   // "Vorlith 未能处理置顶请求。"
};

} // namespace vorlith
