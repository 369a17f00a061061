// SPDX-License-Identifier: MIT
#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <utility>
#include <variant>

namespace skerrin {

enum class AppLanguage { english, chinese };

// Raw values are what the settings store holds; only the two exact strings decode.
QString rawValue(AppLanguage language);
std::optional<AppLanguage> appLanguageFromRaw(const QString& raw);

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

struct SetupCheck {
    QString id;
    QString title;
    QString detail;
    bool isReady = false;

    bool operator==(const SetupCheck&) const = default;
};

struct PairingSessionState {
    QString setupCode;
    std::optional<QDateTime> expiresAt;
    QString qrPath;
};

// Trims white space and line breaks at both ends, never inside.
QString trimmed(const QString& text);

} // namespace skerrin
