#include "app/settings/SettingsSchemaScan.h"

#include "core/Json.h"

#include <string>

namespace vorlith::settingsFile {

namespace {

// Follows the nesting of the document and stops the parser (by answering false) once the
// top-level schema has been seen, or as soon as the document is no object.
class SchemaHandler {
public:
    std::optional<std::int64_t> version;

    bool null() { return scalar(PlainJson()); }
    bool boolean(bool value) { return scalar(PlainJson(value)); }
    bool number_integer(PlainJson::number_integer_t value) { return scalar(PlainJson(value)); }
    bool number_unsigned(PlainJson::number_unsigned_t value) { return scalar(PlainJson(value)); }
    bool number_float(PlainJson::number_float_t value, const std::string&) { return scalar(PlainJson(value)); }
    bool string(std::string&) { return scalar(PlainJson()); }
    bool binary(PlainJson::binary_t&) { return scalar(PlainJson()); }
    bool start_object(std::size_t) { return open(); }
    bool start_array(std::size_t) { return m_depth > 0 && !m_schemaNext && open(); }
    bool end_object() { return close(); }
    bool end_array() { return close(); }
    bool key(std::string& name)
    {
        m_schemaNext = m_depth == 1 && name == "schemaVersion";
        return true;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    bool open()
    {
        if (m_schemaNext) // an object as the schema: no version, and nothing more to learn
            return false;
        ++m_depth;
        return true;
    }
    bool close()
    {
        --m_depth;
        return true;
    }
    bool scalar(const PlainJson& value)
    {
        if (m_depth == 0 || !m_schemaNext)
            return m_depth > 0;
        try {
            version = json::toInteger(value, "schemaVersion");
        } catch (const JsonDecodeError&) {
        }
        return false;
    }

    int m_depth = 0;
    bool m_schemaNext = false;
};

} // namespace

std::optional<std::int64_t> declaredSchemaVersion(std::istream& text)
{
    SchemaHandler handler;
    try {
        PlainJson::sax_parse(text, &handler);
    } catch (const nlohmann::json::exception&) {
        return std::nullopt;
    }
    return handler.version;
}

} // namespace vorlith::settingsFile
