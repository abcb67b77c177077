#pragma once

#include "app/shell/CoordinatorPins.h"

#include <memory>

namespace vorlith {

class EditorHostView;
class PinWorkspace;

// The pin workspace as the coordinator sees it.
class WorkspacePins final : public CoordinatorPins {
public:
    using MakeHost = std::function<EditorHostView*(std::shared_ptr<EditorDocument> document)>;

    // `makeHost` makes each pin's editor (the coordinator's output collaborators).
    WorkspacePins(std::shared_ptr<PinWorkspace> workspace, MakeHost makeHost);
    ~WorkspacePins() override;

    PinWorkspace& workspace() const { return *m_workspace; }

    void connect(Callbacks callbacks) override;
    bool add(std::shared_ptr<EditorDocument> document, const Point& near) override;
    int limit() const override;
    std::vector<PinState> pins() const override;
    std::optional<QUuid> activeEditor() const override;
    bool hasGesture() const override;
    bool settleForCapture() override;
    void toggleVisibility() override;
    void constrainToAvailableScreens() override;
    QSet<quint32> contentWindowIDs() const override;
    std::unique_ptr<CaptureLease> beginCaptureLease() override;
    void setTerminationSuspended(bool suspended) override;
    void remove(const QUuid& documentID) override;
    bool locate(const QUuid& documentID) override;

    // The editor's states in which the pin hot key must not act.
    [[nodiscard]] static bool holdsKeyboardWork(const EditorHostView& host);

private:
    std::shared_ptr<PinWorkspace> m_workspace;
    MakeHost m_makeHost;
};

} // namespace vorlith
