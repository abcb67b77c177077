#pragma once

#include <memory>
#include <utility>

namespace vorlith {

// An immutable value behind a shared pointer: copying it costs a reference count, not the
// value. Documents keep their history and output records this way, because they are copied
// for every trial commit, recovery and quit snapshot. Nobody can change the value after
// construction, so copies never see each other's edits. Equality compares the values.
template <typename T>
class SharedValue {
public:
    explicit SharedValue(T value) : m_value(std::make_shared<const T>(std::move(value))) {}

    const T& get() const { return *m_value; }
    const T& operator*() const { return *m_value; }
    const T* operator->() const { return m_value.get(); }

    // True when both hold the very same object; equal values in separate objects are not.
    bool sharesValueWith(const SharedValue& other) const { return m_value == other.m_value; }

    friend bool operator==(const SharedValue& a, const SharedValue& b)
    {
        return a.m_value == b.m_value || *a.m_value == *b.m_value;
    }

private:
    std::shared_ptr<const T> m_value;
};

} // namespace vorlith
