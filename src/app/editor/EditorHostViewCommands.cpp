// EditorHostView: the toolbar's commands and the output pipeline, and the feedback label that
// reports them.
//
// An output takes the application-wide permit and the session's output lock, opens a working
// toast, composes the full image with the marks on the render queue, crops it to the
// selection's pixels and hands it to the editor's output service. Whatever happens, it ends
// exactly once in outputCompleted(), which gives the lock and the permit back.
#include "app/editor/EditorHostView.h"
#include "app/editor/KeyWindow.h"

#include "app/base/InterfaceFonts.h"
#include "app/editor/EditorDocument.h"
#include "app/editor/ImageCrop.h"
#include "app/editor/chrome/ToolProperties.h"
#include "app/output/OutputService.h"
#include "app/output/feedback/FeedbackCoordinator.h"
#include "core/Async.h"
#include "core/CancellationError.h"

#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace vorlith {

const QString EditorHostView::copySuccessMessage = QStringLiteral("已复制截图");
const QString EditorHostView::saveSuccessMessage = QStringLiteral("已保存截图");

void EditorHostView::performTool(const QString& key)
{
    if (m_suspension.inputSuspended || outputBusy() || m_record->session.isOutputLocked())
        return;
    const bool isExit = key == QLatin1String("exit");
    if (hasGesture() && !isExit)
        return;
    m_pointer.hoveredEndpoint.reset();
    if (isExit) {
        exitCapture();
        return;
    }
    if (!m_chrome.properties->flushPendingInputs() || !commitText())
        return;

    EditorDocument& record = *m_record;
    if (const std::optional<CaptureTool> tool = captureTool::fromRawValue(key)) {
        m_chrome.propertiesOpen = record.tool == *tool ? !m_chrome.propertiesOpen : *tool != CaptureTool::select;
        record.tool = *tool;
        record.selectedMarkID.reset();
        m_pointer.hoveredID.reset();
        if (refresh())
            returnToCanvas();
    } else if (key == QLatin1String("undo") || key == QLatin1String("redo")) {
        const QPointer<EditorHostView> self(this);
        applyHistory(key == QLatin1String("redo"));
        if (self)
            returnToCanvas();
    } else if (key == QLatin1String("copy")) {
        beginOutput(false);
    } else if (key == QLatin1String("save")) {
        beginOutput(true);
    } else if (key == QLatin1String("pin")) {
        if (m_isPinned || !prepareForExternalAction() || !onPin)
            return;
        const QPointer<EditorHostView> self(this);
        const bool pinned = onPin(record);
        if (!self || !pinned)
            return;
        m_chrome.returnTimer.stop();
        m_chrome.returnToken.reset();
        orderOutDiscoveryPanel();
    } else if (key == QLatin1String("done")) {
        if (!m_isPinned || !prepareForExternalAction())
            return;
        orderOutDiscoveryPanel();
        notify(onExit);
    }
}

void EditorHostView::applyHistory(bool redo)
{
    EditorDocument& record = *m_record;
    EditorSession trial = record.session;
    if (redo)
        trial.redo();
    else
        trial.undo();
    if (record.canCommitSession) {
        const QPointer<EditorHostView> self(this);
        const bool allowed = record.canCommitSession(trial);
        if (!self)
            return;
        if (!allowed) {
            showFeedback(QStringLiteral("内存预算不足，已有内容及撤销记录已保留。"));
            return;
        }
    }
    record.session = std::move(trial);
    record.selectedMarkID.reset();
    if (renderMarks())
        notify(onContentChanged);
}

void EditorHostView::beginOutput(bool save)
{
    EditorDocument& record = *m_record;
    EditorSession& session = record.session;
    if (m_suspension.inputSuspended || !mayInteract() || !(m_isEditingEnabled || m_isPinned))
        return;
    if (!session.document())
        return;
    // The draft is what the session holds on screen (hasDraft() would ask for unsaved edits).
    const std::optional<Rect> selection = session.selection();
    if (outputBusy() || session.isOutputLocked() || hasGesture() || isDraggingToolbar() || !selection)
        return;
    const std::optional<Rect> pixelRect = record.source().geometry.pixels(*selection);
    if (!pixelRect)
        return;
    if (!m_chrome.properties->flushPendingInputs() || !commitText())
        return;
    m_lastOutputSave = save;

    const std::optional<OutputCoordinator::Permit> permit = m_outputs->acquire(record.id());
    if (!permit) {
        showFeedback(QStringLiteral("请先完成或取消当前输出。"));
        return;
    }
    const std::optional<QUuid> token = session.beginOutput();
    if (!token) {
        m_outputs->release(*permit);
        return;
    }
    m_outputPermit = permit;
    m_sessionOutputToken = token;
    const Rect shownSelection = session.selection().value_or(*selection);
    const QPointF center = documentToView().map(toQPointF(shownSelection.center()));
    m_outputAnchor = window() ? toPoint(QPointF(mapToGlobal(center))) : toPoint(m_environment.globalPointer());
    if (!refresh())
        return;

    const QUuid id = permit->requestID;
    const auto cancel = [self = QPointer<EditorHostView>(this)] {
        if (self)
            self->cancelOutput();
    };
    const QString working = save ? QStringLiteral("正在准备保存…") : QStringLiteral("正在复制…");
    if (!m_outputToast.coordinator->begin(id, m_outputToast.owner, m_outputAnchor, working, cancel)) {
        finishSessionOutput(false);
        if (refresh())
            showFeedback(QStringLiteral("请先关闭或处理已有错误提示，再重试。当前内容已保留。"));
        return;
    }
    m_outputToast.current = id;
    m_chrome.cancelOutputButton->hide();
    m_chrome.retryButton->hide();
    // Pixel rectangles from the geometry are whole numbers already.
    const QRect pixels(int(pixelRect->minX()), int(pixelRect->minY()), int(pixelRect->width()),
                       int(pixelRect->height()));
    startComposition(session.annotations(), *token, *permit, pixels, save);
}

void EditorHostView::startComposition(std::vector<Annotation> marks, QUuid token, OutputCoordinator::Permit permit,
                                      QRect pixels, bool save)
{
    Q_UNUSED(permit);
    m_compositionTask = TaskHandle::spawn(
        [self = QPointer<EditorHostView>(this), marks = std::move(marks), token, pixels,
         save](std::stop_token stop) -> QCoro::Task<> {
            // The handle must be stored before anything can complete.
            auto turn = nextTurn();
            co_await turn;
            if (!self || stop.stop_requested())
                co_return;
            QImage composite;
            std::optional<QString> failure;
            bool cancelled = false;
            try {
                auto composing = self->m_record->compositor().output(marks, stop);
                composite = co_await composing;
            } catch (const CancellationError&) {
                cancelled = true;
            } catch (...) {
                failure = QStringLiteral("图片处理失败，截图与标注已保留。");
            }
            // A result for an output that was cancelled or replaced meanwhile is dropped.
            if (!self || self->m_sessionOutputToken != token)
                co_return;
            if (!cancelled && !failure && stop.stop_requested())
                co_return;
            self->m_compositionTask = {};
            if (cancelled) {
                self->outputCompleted(OutputResult::cancelled(), save);
                co_return;
            }
            if (failure) {
                self->outputCompleted(OutputResult::failure(*failure), save);
                co_return;
            }
            self->composedOutput(composite, pixels, save);
        });
}

void EditorHostView::composedOutput(const QImage& composite, const QRect& pixels, bool save)
{
    Q_ASSERT(m_outputPermit);
    // The crop shares the composite's pixels: a 4K selection is not copied on the main thread.
    const QImage cropped = ImageCrop::shared(composite, pixels);
    if (cropped.isNull()) {
        outputCompleted(OutputResult::failure(QStringLiteral("截图范围无效，请调整后重试。")), save);
        return;
    }
    m_chrome.feedback->hide();
    m_chrome.cancelOutputButton->hide();
    const qint64 retained = qint64(cropped.bytesPerLine()) * cropped.height();
    const QUuid id = m_outputPermit->requestID;
    const QPointer<EditorHostView> self(this);
    if (save) {
        m_outputToast.coordinator->suspend(id);
        const auto onWriting = [self, id] {
            if (!self)
                return;
            const auto cancel = [self] {
                if (self)
                    self->cancelOutput();
            };
            if (self->m_outputToast.coordinator->begin(id, self->m_outputToast.owner, self->m_outputAnchor,
                                                       QStringLiteral("正在保存…"), cancel))
                self->m_outputToast.current = id;
        };
        m_output->save(cropped, m_record->saveDraft, retained, this, onWriting,
                       [self](const OutputResult& result, const SaveDraft& draft) {
                           if (!self)
                               return;
                           // The panel's name, folder and format are kept, also after a cancel.
                           self->m_record->saveDraft = draft;
                           self->outputCompleted(result, true);
                       });
    } else {
        m_outputToast.progress(id, QStringLiteral("正在复制…"));
        m_output->copy(cropped, retained, [self](const OutputResult& result) {
            if (self)
                self->outputCompleted(result, false);
        });
    }
    if (self)
        refresh();
}

void EditorHostView::finishSessionOutput(bool succeeded)
{
    if (m_sessionOutputToken) {
        m_record->session.finishOutput(*m_sessionOutputToken, succeeded);
        m_sessionOutputToken.reset();
    }
    if (m_outputPermit) {
        m_outputs->release(*m_outputPermit);
        m_outputPermit.reset();
    }
}

void EditorHostView::rerenderAfterOutput()
{
    const QPointer<EditorHostView> self(this);
    m_record->compositor().requestPreview(visibleMarks(), previewCompletion());
    if (!self || !setNeedsDisplay())
        return;
    m_chrome.feedback->hide();
}

void EditorHostView::outputCompleted(const OutputResult& result, bool save)
{
    m_chrome.cancelOutputButton->hide();
    const std::optional<QUuid> id =
        m_outputPermit ? std::optional<QUuid>(m_outputPermit->requestID) : std::nullopt;
    FeedbackCoordinator& toasts = *m_outputToast.coordinator;
    const QPointer<EditorHostView> self(this);

    switch (result.kind) {
    case OutputResult::Kind::success: {
        const QString message = save ? saveSuccessMessage : copySuccessMessage;
        if (id)
            toasts.success(*id, message, false);
        // The output is recorded on the document before the owner sees it.
        finishSessionOutput(true);
        if (!refresh())
            return;
        const std::optional<CaptureDocument>& document = m_record->session.document();
        if (id && document) {
            const EditorOutputSuccess success{*id, *document, m_isPinned, m_outputAnchor, message};
            if (!notify(onOutputCompleted, success))
                return;
        }
        notify(onOutputSuccess, message);
        return;
    }
    case OutputResult::Kind::cancelled:
        if (id)
            toasts.remove(*id);
        if (!self)
            return;
        finishSessionOutput(false);
        rerenderAfterOutput();
        if (!self || !refresh())
            return;
        break;
    case OutputResult::Kind::failure:
        if (id) {
            const auto retry = [self, save] {
                if (self)
                    self->beginOutput(save);
            };
            const auto canRetry = [self] { return self && self->canRetryOutput(); };
            toasts.failure(*id, result.message, std::nullopt, retry, canRetry);
        }
        finishSessionOutput(false);
        rerenderAfterOutput();
        if (!self)
            return;
        m_chrome.retryButton->hide();
        if (!refresh())
            return;
        break;
    }
    restoreOutputFocusIfAllowed();
}

bool EditorHostView::canRetryOutput() const
{
    return !m_suspension.inputSuspended && mayInteract() && (m_isEditingEnabled || m_isPinned) && !outputBusy()
        && !m_record->session.isOutputLocked() && !hasGesture() && !isDraggingToolbar() && !hasActiveTextInput()
        && !m_chrome.properties->hasInvalidInput();
}

void EditorHostView::restoreOutputFocusIfAllowed()
{
    if (m_suspension.inputSuspended || !m_isEditingEnabled || !mayInteract())
        return;
    makeKeyWindow(this);
    setFocus(Qt::OtherFocusReason);
}

void EditorHostView::cancelOutput()
{
    if (m_compositionTask.isRunning()) {
        // Cancelled at once: the compositor's late result finds the token gone and is dropped.
        m_compositionTask.cancel();
        m_compositionTask = {};
        outputCompleted(OutputResult::cancelled(), m_lastOutputSave);
        return;
    }
    m_output->cancel();
}

void EditorHostView::retryOutput()
{
    beginOutput(m_lastOutputSave);
}

bool EditorHostView::showFeedback(const QString& message)
{
    QLabel* label = m_chrome.feedback;
    label->setText(message);
    label->show();
    label->raise();
    if (m_isPinned) {
        // Child widgets do not scale with the pin's zoom, so the label keeps its own size.
        const int w = std::max(std::min(width() - 16, 300), 40);
        label->setGeometry(8, 8, w, 48);
    }
    return positionControls();
}

} // namespace vorlith
