#include "FuzzCheck.h"
#include "FuzzTargets.h"

#include "app/settings/SettingsFile.h"
#include "app/settings/SettingsSchemaScan.h"

#include <QByteArray>

#include <sstream>
#include <string>

namespace vorlith::fuzz {

void settingsRead(const std::uint8_t* data, std::size_t size)
{
    const QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    const SettingsFileRead read = settingsFile::decode(bytes);
    using Outcome = SettingsFileRead::Outcome;
    VORLITH_FUZZ_CHECK(read.outcome != Outcome::noFile);
    if (read.outcome == Outcome::newer || read.outcome == Outcome::unreadable)
        VORLITH_FUZZ_CHECK(read.settings == AppSettings{});
    if (read.outcome == Outcome::older)
        VORLITH_FUZZ_CHECK(read.bytes == bytes && read.sourceSchema <= AppSettings::schemaVersion);
    if (read.outcome == Outcome::current || read.outcome == Outcome::older) {
        // What was read writes back and reads again as the same record. A folder URL that is
        // no plain local file ("file:#…") may come back spelt otherwise; no save uses it.
        const SettingsFileRead again = settingsFile::decode(read.settings.encoded());
        VORLITH_FUZZ_CHECK(again.outcome == Outcome::current);
        AppSettings written = again.settings, original = read.settings;
        const QUrl& folder = original.directory;
        if (!folder.isLocalFile() || folder.hasFragment() || folder.hasQuery())
            written.directory = original.directory = QUrl();
        VORLITH_FUZZ_CHECK(written == original);
    }
    // The scan for files too large to read whole never takes a newer file for ours.
    std::istringstream text(std::string(bytes.constData(), size_t(bytes.size())));
    const bool newer = settingsFile::declaresNewerSchema(text, AppSettings::schemaVersion);
    if (read.outcome == Outcome::newer)
        VORLITH_FUZZ_CHECK(newer);
}

} // namespace vorlith::fuzz
