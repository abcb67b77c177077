#pragma once

namespace vorlith {

// What the settings window needs of the updater: a saved automatic-check choice is handed to
// it after each successful save.
class UpdateSettingsProviding {
public:
    virtual ~UpdateSettingsProviding() = default;
    virtual void applyAutomaticUpdateChecks() = 0;
};

} // namespace vorlith
