#pragma once

#include <QString>

namespace vorlith {

// The outcome of one copy or save, delivered exactly once per started request.
struct OutputResult {
    enum class Kind { failure, success, cancelled };

    Kind kind = Kind::cancelled;
    // For a failure: a complete Chinese sentence that the caller shows unchanged.
    QString message;

    static OutputResult failure(QString message) { return {Kind::failure, std::move(message)}; }
    static OutputResult success() { return {Kind::success, {}}; }
    static OutputResult cancelled() { return {Kind::cancelled, {}}; }

    bool isFailure() const { return kind == Kind::failure; }
    bool isSuccess() const { return kind == Kind::success; }
    bool isCancelled() const { return kind == Kind::cancelled; }

    friend bool operator==(const OutputResult&, const OutputResult&) = default;
};

} // namespace vorlith
