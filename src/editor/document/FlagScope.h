#pragma once

namespace quillon {

// Sets a flag for the duration of a scope and restores its old value after.
class FlagScope
{
public:
    explicit FlagScope(bool& flag)
        : m_flag(flag)
        , m_old(flag)
    {
        m_flag = true;
    }
    ~FlagScope() { m_flag = m_old; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
    bool m_old;
};

} // namespace quillon
