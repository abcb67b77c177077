#pragma once

#include "app/updates/AppcastItem.h"
#include "app/updates/OnceCallback.h"
#include "app/updates/UpdateError.h"
#include "app/updates/UserUpdateState.h"

#include <QByteArray>

#include <cstdint>

namespace vorlith {

// Every user-facing step an update engine reports, in the order a cycle may meet them. Each
// reply, acknowledgement, cancellation and retry is called at most once, on the main thread;
// an engine must also live with one that never comes (a step dropped by the presentation gate).
class UpdateUserDriver {
public:
    virtual ~UpdateUserDriver() = default;

    // The answer says whether automatic checks are wanted.
    virtual void showUpdatePermissionRequest(OnceCallback<bool> reply) = 0;
    virtual void showUserInitiatedUpdateCheck(OnceCallback<> cancellation) = 0;
    virtual void showUpdateFound(const AppcastItem& item, UserUpdateState state,
                                 OnceCallback<UserUpdateChoice> reply) = 0;
    virtual void showUpdateReleaseNotes(const QByteArray& downloadData) = 0;
    virtual void showUpdateReleaseNotesFailedToDownload(const UpdateError& error) = 0;
    virtual void showUpdateNotFound(const UpdateError& error, OnceCallback<> acknowledgement) = 0;
    virtual void showUpdaterError(const UpdateError& error, OnceCallback<> acknowledgement) = 0;
    virtual void showDownloadInitiated(OnceCallback<> cancellation) = 0;
    virtual void showDownloadDidReceiveExpectedContentLength(std::uint64_t expectedContentLength) = 0;
    virtual void showDownloadDidReceiveDataOfLength(std::uint64_t length) = 0;
    virtual void showDownloadDidStartExtractingUpdate() = 0;
    virtual void showExtractionReceivedProgress(double progress) = 0;
    virtual void showReadyToInstallAndRelaunch(OnceCallback<UserUpdateChoice> reply) = 0;
    virtual void showInstallingUpdate(bool applicationTerminated, OnceCallback<> retryTerminatingApplication) = 0;
    virtual void showUpdateInstalledAndRelaunched(bool relaunched, OnceCallback<> acknowledgement) = 0;
    virtual void dismissUpdateInstallation() = 0;
    virtual void showUpdateInFocus() = 0;
};

} // namespace vorlith
