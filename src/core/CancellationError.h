#pragma once

#include <exception>

namespace vorlith {

// Thrown when a piece of asynchronous work was given up: its stop token was triggered, or a
// job queue evicted or dropped the request. Callers treat it as "nothing happened", never
// as a failure to report.
class CancellationError : public std::exception {
public:
    const char* what() const noexcept override { return "cancelled"; }
};

} // namespace vorlith
