#include "app/output/FileAccessLease.h"

#include "platform/FolderAccess.h"

namespace vorlith {

FileAccessLease::FileAccessLease(std::shared_ptr<FolderAccess> access, QString path)
    : m_access(std::move(access)), m_path(std::move(path)), m_granted(m_access && m_access->startAccess(m_path))
{
}

FileAccessLease::~FileAccessLease()
{
    if (m_granted)
        m_access->stopAccess(m_path);
}

} // namespace vorlith
