#pragma once

#include <QString>

#include <memory>

namespace vorlith {

class FolderAccess;

// Access to one file for as long as something holds the lease: started when the lease is
// made, stopped (when it was granted) when the last holder lets go. Shared between the save
// task and the staged file, which may end on another thread.
class FileAccessLease {
public:
    FileAccessLease(std::shared_ptr<FolderAccess> access, QString path);
    ~FileAccessLease();
    FileAccessLease(const FileAccessLease&) = delete;
    FileAccessLease& operator=(const FileAccessLease&) = delete;

    const QString& path() const { return m_path; }
    bool granted() const { return m_granted; }

private:
    std::shared_ptr<FolderAccess> m_access;
    const QString m_path;
    const bool m_granted;
};

} // namespace vorlith
