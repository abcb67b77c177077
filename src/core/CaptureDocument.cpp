#include "core/CaptureDocument.h"

#include "core/Saturating.h"

#include <QtGlobal>

#include <algorithm>

namespace vorlith {

namespace {

CaptureDocument::HistoryBudget checkedBudget(CaptureDocument::HistoryBudget budget)
{
    Q_ASSERT_X(budget.steps >= 0 && budget.bytes >= 0, "CaptureDocument", "negative history budget");
    return {std::max(budget.steps, 0), std::max<std::int64_t>(budget.bytes, 0)};
}

std::int64_t stepBytes(const std::vector<CaptureDocument::Step>& steps)
{
    std::int64_t bytes = 0;
    for (const CaptureDocument::Step& step : steps)
        bytes = saturatingAdd(bytes, step->estimatedBytes());
    return bytes;
}

} // namespace

CaptureDocument::CaptureDocument(const QUuid& id, const Rect& selection, DocumentOrigin origin,
                                 HistoryBudget historyBudget)
    : m_id(id)
    , m_origin(origin)
    , m_historyBudget(checkedBudget(historyBudget))
    , m_content{selection, {}, 1}
{
    if (m_origin == DocumentOrigin::localFile && m_content.isValid())
        m_outputContents.emplace_back(m_content);
}

void CaptureDocument::commit(const CaptureContent& content)
{
    if (!content.isValid() || content == m_content)
        return;
    Step step(ContentChange(m_content, content));
    if (step->changesMarks())
        ++m_annotationEditCount;
    m_undoStack.push_back(std::move(step));
    m_content = content;
    m_redoStack.clear();
    trimHistory();
}

void CaptureDocument::trimHistory()
{
    // The redo stack is empty here, so the history is the undo stack alone.
    std::int64_t bytes = estimatedHistoryBytes();
    std::size_t drop = 0;
    while (drop < m_undoStack.size()
           && (m_undoStack.size() - drop > static_cast<std::size_t>(m_historyBudget.steps)
               || bytes > m_historyBudget.bytes)) {
        bytes -= m_undoStack[drop]->estimatedBytes();
        ++drop;
    }
    m_undoStack.erase(m_undoStack.begin(), m_undoStack.begin() + static_cast<std::ptrdiff_t>(drop));
}

void CaptureDocument::undo()
{
    if (m_undoStack.empty())
        return;
    Step step = std::move(m_undoStack.back());
    m_undoStack.pop_back();
    if (step->changesMarks())
        --m_annotationEditCount;
    m_content = step->applying(m_content, false);
    m_redoStack.push_back(std::move(step));
}

void CaptureDocument::redo()
{
    if (m_redoStack.empty())
        return;
    Step step = std::move(m_redoStack.back());
    m_redoStack.pop_back();
    if (step->changesMarks())
        ++m_annotationEditCount;
    m_content = step->applying(m_content, true);
    m_undoStack.push_back(std::move(step));
}

void CaptureDocument::recordOutput()
{
    if (m_content.isValid() && !isOutputRecorded())
        m_outputContents.emplace_back(m_content);
}

bool CaptureDocument::isOutputRecorded() const
{
    return std::any_of(m_outputContents.begin(), m_outputContents.end(),
                       [&](const SharedValue<CaptureContent>& output) { return output->isSameImage(m_content); });
}

bool CaptureDocument::hasValidArea() const
{
    return m_content.isValid() && !m_content.selection.isEmpty();
}

bool CaptureDocument::isPendingOutput() const
{
    return hasValidArea() && !isOutputRecorded();
}

bool CaptureDocument::canRecover() const
{
    return m_origin == DocumentOrigin::screenCapture && hasValidArea() && m_annotationEditCount > 0;
}

std::int64_t CaptureDocument::estimatedHistoryBytes() const
{
    return saturatingAdd(stepBytes(m_undoStack), stepBytes(m_redoStack));
}

std::int64_t CaptureDocument::estimatedRetainedBytes() const
{
    std::int64_t bytes = saturatingAdd(m_content.estimatedBytes(), 256);
    bytes = saturatingAdd(bytes, estimatedHistoryBytes());
    for (const SharedValue<CaptureContent>& output : m_outputContents)
        bytes = saturatingAdd(bytes, output->estimatedBytes());
    return bytes;
}

} // namespace vorlith
