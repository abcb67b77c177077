#pragma once

namespace vorlith {

// Loads Qt's own Simplified Chinese texts (file dialogs, standard buttons) once per process.
// Every window that shows Qt's stock widgets calls it, so no text there stays in English
// whichever way the application was started.
void installQtChineseTranslations();

} // namespace vorlith
