#pragma once

#include "app/shell/PreparedPinRequest.h"

namespace vorlith {

// One opening of the status menu with the request prepared for it. Only a `tracking`
// invocation can be claimed by the menu's pin item; once the menu has closed it is
// `cancelled` unless it was claimed.
class PinMenuInvocation {
public:
    enum class State { prepared, tracking, claimed, cancelled };

    explicit PinMenuInvocation(PreparedPinRequest request) : request(std::move(request)) {}

    const PreparedPinRequest request;
    State state = State::prepared;
};

} // namespace vorlith
