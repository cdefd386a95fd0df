#pragma once

#include "git/GitError.h"

#include <optional>
#include <utility>

namespace quillon {

// The outcome of a git operation: a value, or the GitError that ended it.
template <typename T> class GitResult
{
public:
    GitResult(T value)
        : m_value(std::move(value))
    {
    }
    GitResult(GitError error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return m_value.has_value(); }
    explicit operator bool() const { return ok(); }
    const T& value() const { return *m_value; }
    T& value() { return *m_value; }
    const GitError& error() const { return *m_error; }

private:
    std::optional<T> m_value;
    std::optional<GitError> m_error;
};

template <> class GitResult<void>
{
public:
    GitResult() = default;
    GitResult(GitError error)
        : m_error(std::move(error))
    {
    }

    bool ok() const { return !m_error.has_value(); }
    explicit operator bool() const { return ok(); }
    const GitError& error() const { return *m_error; }

private:
    std::optional<GitError> m_error;
};

} // namespace quillon
