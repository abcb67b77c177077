#pragma once

#include "platform/AlertPresenter.h"

#include <deque>
#include <functional>
#include <vector>

namespace vorlith::test {

// Alerts answered from a script (the first button when it runs out), every alert recorded;
// `whileShown` runs while one is up, as the nested loop would let other work run.
class FakeAlertPresenter final : public AlertPresenter {
public:
    int run(const Alert& alert) override
    {
        shown.push_back(alert);
        if (whileShown)
            whileShown(alert);
        if (answers.empty())
            return Alert::firstButton;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    }

    std::vector<Alert> shown;
    std::deque<int> answers;
    std::function<void(const Alert&)> whileShown;
};

} // namespace vorlith::test
