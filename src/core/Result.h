// SPDX-License-Identifier: MIT
#pragma once

#include <QString>

#include <utility>
#include <variant>

namespace skerrin {

// An error value: the program's own use domain "SkerrinMenuBar"; platform errors keep theirs.
struct Error {
    QString domain;
    int code = 0;
    QString message;

    const QString& description() const { return message; }
};

inline const QString kErrorDomain = QStringLiteral("SkerrinMenuBar");

// The program's own error value with code 1.
Error error(const QString& message);

// Either a value or an Error; every fallible operation returns one instead of throwing.
template <typename T> class Result {
public:
    Result(T value) : m_state(std::move(value)) {}
    Result(Error failure) : m_state(std::move(failure)) {}

    bool ok() const { return m_state.index() == 0; }
    const T& value() const { return std::get<0>(m_state); }
    T& value() { return std::get<0>(m_state); }
    const Error& failure() const { return std::get<1>(m_state); }

private:
    std::variant<T, Error> m_state;
};

} // namespace skerrin
