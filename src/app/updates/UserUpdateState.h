#pragma once

namespace vorlith {

// How far an offered update has come when the engine shows it.
struct UserUpdateState {
    enum class Stage { notDownloaded = 0, downloaded = 1, installing = 2 };
    Stage stage = Stage::notDownloaded;
};

// The user's answer to an offered or ready update.
enum class UserUpdateChoice { skip = 0, install = 1, dismiss = 2 };

} // namespace vorlith
