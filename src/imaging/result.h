#pragma once

#include <QString>

namespace imaging {

// The outcome of one imaging operation. A failure always carries a message
// that names the file (where there is one) and the reason; a success may carry
// a note the user should hear of (a PCD written at its base size).
class Result
{
public:
    static Result success(QString note = {}) { return Result(true, std::move(note)); }
    static Result failure(QString message) { return Result(false, std::move(message)); }

    bool ok() const { return m_ok; }
    explicit operator bool() const { return m_ok; }
    // The failure's reason, or the success's note (often empty).
    const QString &message() const { return m_message; }

private:
    Result(bool ok, QString message) : m_ok(ok), m_message(std::move(message)) {}

    bool m_ok;
    QString m_message;
};

} // namespace imaging
