#pragma once

#include "app/settings/AppSettings.h"
#include "app/settings/UpdateSettingsProviding.h"
#include "core/Geometry.h"
#include "core/ShortcutSpec.h"
#include "platform/FolderAccess.h"
#include "platform/LoginItemManaging.h"

#include <QFileDialog>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QLabel;
class QScrollArea;

namespace vorlith {

class BrandSwitch;
class PanelFooterView;
class PanelPopUpButton;
class PanelPrimaryButton;
class PanelSecondaryButton;
class PlainTextButton;
class SettingsBody;
class SettingsStore;
class ShortcutRecorder;
class ShortcutService;

// The one settings window: it edits a draft copy of the store's settings (the two hot keys,
// the default format and folder, launch at login, automatic update checks) and saves it
// through the store's transactional commit. The window is built once, not shown, and kept for
// the life of the process; closing it only hides it and drops the draft.
//
// It is an ordinary managed top-level window (title, close button, fixed size, light
// palette), laid out from the y-up frames of its design with UnflippedFrame: items of the
// header keep their distance to the top edge, those of the footer to the bottom edge.
//
// Platform words: the window "stops being key" is an ActivationChange that leaves it
// inactive; "closing" is closeEvent; the "first responder" is focusWidget(); the "sheet" is a
// window-modal, non-native QFileDialog.
class SettingsWindowController : public QWidget {
    Q_OBJECT
public:
    static constexpr int contentWidth = 540;
    static constexpr int fullHeight = 748;

    SettingsWindowController(SettingsStore& store, ShortcutService& shortcutService,
                             LoginItemManaging* loginItemService, UpdateSettingsProviding* updateService,
                             std::shared_ptr<FolderAccess> folderAccess);
    ~SettingsWindowController() override;

    // Shows the window: brings an open session to the front, else starts one from the
    // store's current settings.
    void present();
    // True while a session is open and its draft differs from the stored settings, or a
    // switch was touched.
    bool hasUnsavedChanges() const;
    // A pressed global hot key's chord, offered first to a recording recorder that has the
    // keyboard in the active window; true when one took it.
    bool consumeRegisteredShortcut(const ShortcutSpec& spec);
    // The folder chooser is open over the window.
    bool hasAttachedSheet() const;

    std::function<void()> onSaved;
    std::function<void()> onClosed;

    // The controls, for the coordinator and the tests.
    ShortcutRecorder* recorder() const { return m_recorder; }
    ShortcutRecorder* pinRecorder() const { return m_pinRecorder; }
    QScrollArea* scrollView() const { return m_scrollView; }
    SettingsBody* scrollBody() const { return m_scrollBody; }
    PanelPopUpButton* format() const { return m_format; }
    PanelSecondaryButton* directory() const { return m_directory; }
    QLabel* feedback() const { return m_feedback; }
    BrandSwitch* loginSwitch() const { return m_loginSwitch; }
    BrandSwitch* updateSwitch() const { return m_updateSwitch; }
    QLabel* loginStatus() const { return m_loginStatus; }
    PanelSecondaryButton* loginRetry() const { return m_loginRetry; }
    PlainTextButton* resetButton() const { return m_reset; }
    PanelSecondaryButton* cancelButton() const { return m_cancel; }
    PanelPrimaryButton* saveButton() const { return m_save; }
    PanelFooterView* footer() const { return m_footer; }
    QFileDialog* folderDialog() const { return m_folderDialog; }
    const AppSettings& draft() const { return m_draft; }
    bool sessionOpen() const { return m_sessionOpen; }
    bool loginNoticeExpanded() const { return m_loginNoticeExpanded; }
    bool feedbackExpanded() const { return m_feedbackExpanded; }
    // The y-up frame of the "通用" box in the body.
    Rect generalGroup() const;

    // The actions of the controls.
    void changeLogin();
    void retryLogin();
    void changeUpdates();
    void changeFormat();
    void resetKey();
    void chooseFolder();
    void saveSettings();
    void cancelSettings();

    // The content height for a screen's available height (none: no screen).
    [[nodiscard]] static int contentHeight(std::optional<int> availableHeight);
    // Gives the window a content height and lays it out for it (done for the window's screen
    // when built; tests choose one).
    void setContentHeight(int height);

protected:
    void closeEvent(QCloseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // SettingsWindowLayout.cpp: the build and the layout rules.
    void buildWindow();
    void buildHeaderAndFooter();
    void buildShortcutGroup();
    void buildSaveGroup();
    void buildGeneralGroup();
    void buildKeyboard();
    void fitToScreen();
    void layoutLoginNotice(bool visible);
    void resizeForNotices();
    void alignLoginStatus();
    void placeFixedParts();

    // SettingsWindowController.cpp: the session.
    void openSession();
    void refreshLoginStatus();
    void refreshDirectoryLabel();
    void setFeedback(const QString& text, bool isError);
    void cancelRecorders();
    void showLoginNote(const QString& text);
    void folderChosen(const QUrl& url);

    SettingsStore& m_store;
    ShortcutService& m_shortcutService;
    AppSettings m_draft;
    ShortcutRecorder* m_recorder = nullptr;
    ShortcutRecorder* m_pinRecorder = nullptr;
    QScrollArea* m_scrollView = nullptr;
    SettingsBody* m_scrollBody = nullptr;
    PanelPopUpButton* m_format = nullptr;
    PanelSecondaryButton* m_directory = nullptr;
    QLabel* m_feedback = nullptr;
    BrandSwitch* m_loginSwitch = nullptr;
    BrandSwitch* m_updateSwitch = nullptr;
    QLabel* m_loginStatus = nullptr;
    PanelSecondaryButton* m_loginRetry = nullptr;
    LoginItemManaging* m_loginService = nullptr;
    UpdateSettingsProviding* m_updateService = nullptr;
    std::shared_ptr<FolderAccess> m_folderAccess;
    bool m_loginNoticeExpanded = false;
    bool m_feedbackExpanded = false;
    std::size_t m_generalGroup = 0; // index into the body's boxes
    bool m_sessionOpen = false;
    bool m_loginChanged = false;
    bool m_updatesChanged = false;

    // The fixed parts of the content.
    QLabel* m_icon = nullptr;
    QLabel* m_name = nullptr;
    QLabel* m_tagline = nullptr;
    PanelFooterView* m_footer = nullptr;
    PanelSecondaryButton* m_cancel = nullptr;
    PanelPrimaryButton* m_save = nullptr;
    PlainTextButton* m_reset = nullptr;
    QPointer<QFileDialog> m_folderDialog;
};

} // namespace vorlith
