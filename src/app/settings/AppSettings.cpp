#include "app/settings/AppSettings.h"

#include <QStandardPaths>

#include <limits>
#include <string>

namespace vorlith {

namespace {

constexpr const char* schemaKey = "schemaVersion";

[[noreturn]] void fail(const std::string& message)
{
    throw JsonDecodeError(message);
}

// An integer from 0 to 4294967295.
quint32 toUInt32(const PlainJson& value, const char* what)
{
    const std::int64_t number = json::toInteger(value, what);
    if (number < 0 || number > std::int64_t(std::numeric_limits<quint32>::max()))
        fail(std::string(what) + ": out of range");
    return quint32(number);
}

bool toBool(const PlainJson& value, const char* what)
{
    if (!value.is_boolean())
        fail(std::string(what) + ": expected true or false");
    return value.get<bool>();
}

// All three keys are required: a chord without its label is no chord.
ShortcutSpec shortcutFromJson(const PlainJson& value, const char* what)
{
    json::requireObject(value, what);
    ShortcutSpec spec;
    spec.keyCode = toUInt32(json::requireKey(value, "keyCode"), "keyCode");
    spec.modifiers = toUInt32(json::requireKey(value, "modifiers"), "modifiers");
    spec.label = QString::fromStdString(json::requireString(value, "label"));
    return spec;
}

PlainJson shortcutToJson(const ShortcutSpec& spec)
{
    return PlainJson{{"keyCode", spec.keyCode}, {"modifiers", spec.modifiers}, {"label", spec.label.toStdString()}};
}

QUrl directoryFromJson(const PlainJson& value)
{
    const QString text = QString::fromStdString(json::toString(value, "directory"));
    const QUrl url(text);
    if (text.isEmpty() || !url.isValid())
        fail("directory: not a URL");
    return url;
}

QByteArray bookmarkFromJson(const PlainJson& value)
{
    const QByteArray text = QByteArray::fromStdString(json::toString(value, "directoryBookmark"));
    const auto decoded = QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded)
        fail("directoryBookmark: not Base64");
    return *decoded;
}

// The value of a key that is present and not null, else nothing.
const PlainJson* present(const PlainJson& object, const char* key)
{
    return json::isAbsent(object, key) ? nullptr : &object.at(key);
}

} // namespace

AppSettings::MigrationError::MigrationError(std::int64_t version)
    : std::runtime_error("settings schema " + std::to_string(version) + " is newer than 3"),
      unsupportedVersion(version)
{
}

QUrl AppSettings::defaultDirectory()
{
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QStandardPaths::writableLocation(QStandardPaths::HomeLocation);
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    return QUrl::fromLocalFile(folder);
}

AppSettings AppSettings::fromJson(const PlainJson& object)
{
    json::requireObject(object, "settings");
    // The schema is judged first: a newer file is left alone whatever else it holds.
    if (const PlainJson* version = present(object, schemaKey)) {
        const std::int64_t number = json::toInteger(*version, schemaKey);
        if (std::uint64_t(number) > std::uint64_t(schemaVersion))
            throw MigrationError(number);
    }

    AppSettings settings;
    if (const PlainJson* v = present(object, "shortcut"))
        settings.shortcut = shortcutFromJson(*v, "shortcut");
    if (const PlainJson* v = present(object, "pinShortcut"))
        settings.pinShortcut = shortcutFromJson(*v, "pinShortcut");
    if (const PlainJson* v = present(object, "format")) {
        const auto format = imageFormatFromRawValue(QString::fromStdString(json::toString(*v, "format")));
        if (!format)
            fail("format: neither PNG nor JPEG");
        settings.format = *format;
    }
    if (const PlainJson* v = present(object, "directory"))
        settings.directory = directoryFromJson(*v);
    if (const PlainJson* v = present(object, "directoryBookmark"))
        settings.directoryBookmark = bookmarkFromJson(*v);
    if (const PlainJson* v = present(object, "launchAtLogin"))
        settings.launchAtLogin = toBool(*v, "launchAtLogin");
    if (const PlainJson* v = present(object, "loginItemInitialized"))
        settings.loginItemInitialized = toBool(*v, "loginItemInitialized");
    if (const PlainJson* v = present(object, "automaticUpdateChecks"))
        settings.automaticUpdateChecks = toBool(*v, "automaticUpdateChecks");
    return settings;
}

PlainJson AppSettings::toJson() const
{
    PlainJson object{
        {schemaKey, schemaVersion},
        {"shortcut", shortcutToJson(shortcut)},
        {"pinShortcut", shortcutToJson(pinShortcut)},
        {"format", rawValue(format).toStdString()},
        {"directory", directory.toString(QUrl::FullyEncoded).toStdString()},
        {"launchAtLogin", launchAtLogin},
        {"loginItemInitialized", loginItemInitialized},
    };
    if (directoryBookmark)
        object["directoryBookmark"] = directoryBookmark->toBase64().toStdString();
    if (automaticUpdateChecks)
        object["automaticUpdateChecks"] = *automaticUpdateChecks;
    return object;
}

QByteArray AppSettings::encoded() const
{
    // Labels come from QString, so they are valid UTF-8; replace rather than throw regardless.
    return QByteArray::fromStdString(toJson().dump(-1, ' ', false, PlainJson::error_handler_t::replace));
}

AppSettings AppSettings::decoded(const QByteArray& bytes)
{
    return fromJson(json::parsePlain(bytes.toStdString()));
}

} // namespace vorlith
