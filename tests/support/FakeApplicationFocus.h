#pragma once

#include "platform/ApplicationFocus.h"

#include <mutex>
#include <vector>

namespace vorlith::test {

// The front application as the test sets it; changeable from any thread (a scripted file
// manager may switch applications while it is being read).
class FakeApplicationFocus final : public ApplicationFocus {
public:
    explicit FakeApplicationFocus(std::optional<FrontApplication> front = std::nullopt) : m_front(std::move(front)) {}

    std::optional<FrontApplication> frontApplication() override
    {
        std::lock_guard lock(m_mutex);
        ++m_asked;
        return m_front;
    }
    void restore(const FrontApplication& application) override
    {
        std::lock_guard lock(m_mutex);
        restored.push_back(application);
    }
    void watchChanges() override { watching = true; }
    void setFront(std::optional<FrontApplication> front)
    {
        std::lock_guard lock(m_mutex);
        m_front = std::move(front);
    }
    // The window manager says another window is active (main thread).
    void change(std::optional<FrontApplication> front)
    {
        setFront(front);
        if (watching && onChanged)
            onChanged(front);
    }

    std::vector<FrontApplication> restored;
    bool watching = false;
    int asked() const
    {
        std::lock_guard lock(m_mutex);
        return m_asked;
    }

private:
    mutable std::mutex m_mutex;
    std::optional<FrontApplication> m_front;
    int m_asked = 0;
};

} // namespace vorlith::test
