#include "app/settings/SettingsSchemaScan.h"

#include "core/Json.h"

#include <string>

namespace vorlith::settingsFile {

namespace {

// Follows the nesting of the document and notes every top-level schema; it stops the parser
// (by answering false) as soon as the document turns out to be no object.
class SchemaHandler {
public:
    explicit SchemaHandler(std::int64_t current) : m_current(current) {}
    bool newer = false;

    bool null() { return scalar(PlainJson()); }
    bool boolean(bool value) { return scalar(PlainJson(value)); }
    bool number_integer(PlainJson::number_integer_t value) { return scalar(PlainJson(value)); }
    bool number_unsigned(PlainJson::number_unsigned_t value) { return scalar(PlainJson(value)); }
    bool number_float(PlainJson::number_float_t value, const std::string&) { return scalar(PlainJson(value)); }
    bool string(std::string&) { return scalar(PlainJson()); }
    bool binary(PlainJson::binary_t&) { return scalar(PlainJson()); }
    bool start_object(std::size_t) { return open(); }
    bool start_array(std::size_t) { return m_depth > 0 && open(); }
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
        m_schemaNext = false; // a container as the schema: no version
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
        if (m_depth == 0)
            return false;
        if (!m_schemaNext)
            return true;
        m_schemaNext = false;
        try {
            const std::int64_t version = json::toInteger(value, "schemaVersion");
            newer = newer || std::uint64_t(version) > std::uint64_t(m_current);
        } catch (const JsonDecodeError&) {
        }
        return true;
    }

    std::int64_t m_current;
    int m_depth = 0;
    bool m_schemaNext = false;
};

} // namespace

bool declaresNewerSchema(std::istream& text, std::int64_t current)
{
    SchemaHandler handler(current);
    try {
        PlainJson::sax_parse(text, &handler);
    } catch (const nlohmann::json::exception&) {
    }
    return handler.newer;
}

} // namespace vorlith::settingsFile
