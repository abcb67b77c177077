#include "platform/WindowLevel.h"

namespace vorlith::windowLevel {

namespace {

struct Row {
    WindowLevel level;
    int rank;
    std::string_view name;
};

// The registry. A save panel and a toast share a rank: whichever was raised last is on top.
constexpr Row rows[] = {
    {WindowLevel::normal, 0, "normal"},
    {WindowLevel::pin, 3, "pin"},
    {WindowLevel::captureOverlay, 1000, "captureOverlay"},
    {WindowLevel::hintPanel, 1001, "hintPanel"},
    {WindowLevel::toast, 1002, "toast"},
    {WindowLevel::savePanel, 1002, "savePanel"},
    {WindowLevel::reviewAlert, 1003, "reviewAlert"},
};

const Row& row(WindowLevel level)
{
    for (const Row& each : rows)
        if (each.level == level)
            return each;
    return rows[0];
}

} // namespace

int rank(WindowLevel level)
{
    return row(level).rank;
}

std::string_view name(WindowLevel level)
{
    return row(level).name;
}

bool bypassesWindowManager(WindowLevel level)
{
    return rank(level) >= rank(WindowLevel::captureOverlay);
}

bool staysOnTop(WindowLevel level)
{
    return rank(level) > rank(WindowLevel::normal);
}

} // namespace vorlith::windowLevel
