#pragma once

#include <QString>
#include <QStringList>

#include <chrono>

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
    // What the user reads on stderr for an outcome that is not `accepted`.
    [[nodiscard]] static QString sentenceFor(const Outcome& outcome);

    static QString noAnswerMessage();   // "Vorlith 没有响应，请稍后再置顶图片。"
    static QString refusedFallback();   // "Vorlith 未能处理置顶请求。"
};

} // namespace vorlith
