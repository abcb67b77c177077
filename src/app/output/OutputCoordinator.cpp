#include "app/output/OutputCoordinator.h"

namespace vorlith {

std::optional<OutputCoordinator::Permit> OutputCoordinator::acquire(const QUuid& documentID)
{
    if (m_active)
        return std::nullopt;
    m_active = Permit{documentID, QUuid::createUuid()};
    return m_active;
}

bool OutputCoordinator::release(const Permit& permit)
{
    if (!m_active || *m_active != permit)
        return false;
    m_active.reset();
    return true;
}

} // namespace vorlith
