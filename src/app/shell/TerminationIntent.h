#pragma once

#include <QtGlobal>

namespace vorlith {

// Why the process is about to end: the user quits, or the update engine wants to install an
// update (and will end the process itself once allowed).
enum class TerminationIntent : quint8 {
    quit = 0,
    installUpdate = 1,
};

} // namespace vorlith
