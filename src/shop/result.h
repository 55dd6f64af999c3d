#pragma once

#include <QString>

#include <utility>
#include <variant>

// Why something the shop was asked to do failed, as the user is to read it:
// `why` is the reason (often the database's own words), `what` the work it
// stopped, when the caller is to say so in front of it.
struct Error
{
    QString why;
    QString what = {};

    QString text() const { return what.isEmpty() ? why : what + QStringLiteral("：") + why; }
};

// What a call gives back: its value, or the Error that kept it from one.
// Nothing that gives one may be called and its answer dropped.
template <typename T> class [[nodiscard]] Result
{
public:
    Result(T value) : m_state(std::in_place_index<0>, std::move(value)) { }
    Result(Error error) : m_state(std::in_place_index<1>, std::move(error)) { }

    bool ok() const { return m_state.index() == 0; }
    explicit operator bool() const { return ok(); }

    T &value() & { return std::get<0>(m_state); }
    const T &value() const & { return std::get<0>(m_state); }
    T &&value() && { return std::get<0>(std::move(m_state)); }
    T &operator*() & { return value(); }
    const T &operator*() const & { return value(); }
    T &&operator*() && { return std::move(*this).value(); }
    T *operator->() { return &value(); }
    const T *operator->() const { return &value(); }
    // The value, or `fallback` when the call failed.
    T valueOr(T fallback) const { return ok() ? value() : std::move(fallback); }

    const Error &error() const { return std::get<1>(m_state); }
    // The error's words; empty when the call succeeded.
    QString errorText() const { return ok() ? QString() : error().text(); }

private:
    std::variant<T, Error> m_state;
};

// A call that gives nothing back but may fail.
template <> class [[nodiscard]] Result<void>
{
public:
    Result() = default;
    Result(Error error) : m_error(std::move(error)), m_failed(true) { }

    bool ok() const { return !m_failed; }
    explicit operator bool() const { return ok(); }
    const Error &error() const { return m_error; }
    QString errorText() const { return ok() ? QString() : m_error.text(); }

private:
    Error m_error;
    bool m_failed = false;
};

using Done = Result<void>;
