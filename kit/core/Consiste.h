#pragma once

#include <QString>
#include <QVariant>

#include <exception>
#include <functional>

class QWidget;

// The silent abort: ends the current action without a message. Raised in a
// dataset before-event it refuses the operation. Every entry from the event
// loop catches it (see kvrGuard).
class EAbort : public std::exception
{
public:
    const char *what() const noexcept override { return "silent abort"; }
};

// A failure that must be shown to the user (raised where no message box can
// be shown right away, e.g. bad use of a dataset).
class EKvrError : public std::exception
{
public:
    explicit EKvrError(QString message) : m_message(std::move(message)), m_utf8(m_message.toUtf8()) {}
    const QString &message() const { return m_message; }
    const char *what() const noexcept override { return m_utf8.constData(); }

private:
    QString m_message;
    QByteArray m_utf8;
};

// A failure reported by the application server, as carried in a call's result.
struct TServerError
{
    int code = 0;
    QString message;
};
Q_DECLARE_METATYPE(TServerError)

[[noreturn]] void Abort();

// Left-fills `text` with '0' up to `width`. An empty text gives all zeros;
// a text already as long or longer is returned unchanged.
QString Ajusta(const QString &text, int width);
// True for an empty text or one of blanks only.
bool EmptyString(const QString &text);
// Shows `message` as a modal error; with `abort` it then raises EAbort.
void MensErro(const QString &message, bool abort = true);
// Returns the usable value of a server result. A result carrying a server
// failure is shown to the user and, with `abort`, ends the action (EAbort).
QVariant CheckResultServ(const QVariant &result, bool abort = true, int kind = 0);

// Runs an event handler at the event-loop boundary: the silent abort is
// dropped, any other exception is reported; nothing escapes into Qt.
// Returns false when the handler did not complete.
bool kvrGuard(const std::function<void()> &handler);
