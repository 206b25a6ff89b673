#pragma once

#include <QString>

#include <exception>

// An error that carries a French message for the user. It travels up unchanged to the
// handler that the event loop called, which shows it in the error box.
class AdrelioError : public std::exception
{
public:
    explicit AdrelioError(const QString &message)
        : m_message(message), m_utf8(message.toUtf8())
    {
    }

    QString message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};
