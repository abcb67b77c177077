#pragma once

#include "app/editor/CompositeRenderer.h"
#include "core/SharedWorkQueues.h"
#include "support/HeldJob.h"
#include "support/QueueCall.h"
#include "support/TestSupport.h"

#include <gtest/gtest.h>

namespace vorlith::test {

// Holds the one render slot with a job the test lets go of.
class HeldSlot {
public:
    HeldSlot()
        : m_call([this](std::stop_token stop) {
              return CompositeRenderer::workers().run(QUuid::createUuid(), DocumentRenderQueue::Kind::preview, stop,
                                                      m_job.operation(1));
          })
    {
        EXPECT_TRUE(runUntil([this] { return m_job.started(); }));
    }
    ~HeldSlot()
    {
        m_job.release();
        runUntil([this] { return m_call.finished(); });
    }

private:
    HeldJob m_job;
    QueueCall m_call;
};

// No composite runs or waits and no output is encoded or written.
inline bool outputsIdle()
{
    auto& queue = CompositeRenderer::workers();
    return queue.runningCount() == 0 && queue.waitingOutputCount() == 0 && queue.waitingPreviewCount() == 0
        && SharedWorkQueues::outputEncoding().runningCount() == 0 && SharedWorkQueues::outputFiles().runningCount() == 0;
}

} // namespace vorlith::test
