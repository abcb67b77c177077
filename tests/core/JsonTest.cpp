#include "core/Json.h"

#include <gtest/gtest.h>

#include <optional>

using namespace vorlith;

TEST(Json, IntegersAreReadWithinTheSigned64BitRangeOnly)
{
    const struct {
        const char* text;
        std::optional<std::int64_t> value; // absent: refused
    } cases[] = {
        {"0", 0},
        {"-1", -1},
        {"42.0", 42},
        {"9223372036854775807", INT64_MAX},
        {"-9223372036854775808", INT64_MIN},
        {"9223372036854775808", std::nullopt},
        {"18446744073709551615", std::nullopt},
        {"1.5", std::nullopt},
        {"1e300", std::nullopt},
        {"\"7\"", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const Json value = json::parse(c.text);
        if (c.value)
            EXPECT_EQ(json::toInteger(value, "n"), *c.value);
        else
            EXPECT_THROW((void)json::toInteger(value, "n"), JsonDecodeError);
    }
}
