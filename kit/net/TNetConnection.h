#pragma once

#include "kit/KvrKitExport.h"

#include "kit/net/TConnectionSecurity.h"

#include <QObject>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>

class TNetConnection;

// Late-bound access to the remote data module named by the connection's
// ServerName: Call("getImposto", {code, filter}) sends
// "<ServerName>.getImposto" with positional params and waits for the reply.
class KVRKIT_EXPORT TServerObject final
{
public:
    explicit TServerObject(TNetConnection *connection) : m_connection(connection) {}
    QVariant Call(const QString &method, const QVariantList &args = {}) const;

private:
    TNetConnection *m_connection;
};

// One socket connection to the application server. Calls are synchronous:
// while one waits, user input is held back but painting (the busy animation)
// goes on. A result is the reply's value as a QVariant (an object is a
// QJsonObject, an array a QVariantList; a data packet of over 1,000 rows is
// a parsed kvr::protocol::PacketData, which TClientDataSet::SetData reads in
// one pass and value<QJsonObject>() or toMap() convert). A failure (server error, no
// connection, bad reply) comes back as a QVariant holding TServerError when
// ThrowException is false, and is raised as EKvrError when it is true.
// With a token the connection sends kvr.auth first on every (re)connect, and
// kvr.login with the session's user once a server asked for one (see
// TSessionLogin: a refused login asks again); with
// TLS it verifies the server's certificate and host name before any call.
class KVRKIT_EXPORT TNetConnection : public QObject
{
    Q_OBJECT
public:
    explicit TNetConnection(QObject *parent = nullptr);
    ~TNetConnection() override;

    QString ServerName() const;
    void SetServerName(const QString &name);
    QString Host() const;
    void SetHost(const QString &host);
    int Port() const;
    void SetPort(int port);
    bool ThrowException() const;
    void SetThrowException(bool on);
    int TimeoutMs() const;
    void SetTimeoutMs(int ms);

    bool Connected() const;
    // Runs BeforeConnect, then connects. Failing to connect is not raised
    // here: the next call reports it (and tries again).
    void SetConnected(bool connected);
    void Open() { SetConnected(true); }
    void Close() { SetConnected(false); }

    // The server object; a closed connection is reopened on the next call.
    TServerObject AppServer() { return TServerObject(this); }
    QVariant Call(const QString &method, const QVariantList &args = {});

    std::function<void(TNetConnection *connection)> BeforeConnect;

    // The security of the next connect: TConnectionSecurity::Default() as it
    // is then, unless this connection was given its own.
    TConnectionSecurity Security() const;
    void SetSecurity(const TConnectionSecurity &security);

private:
    void connectSocket();
    QVariant authenticate();
    QVariant loginAndCall(QVariant result, const QString &fullName, const QString &method,
                          const QVariantList &args);
    QVariant exchange(const QString &fullName, const QString &method, const QVariantList &args);

    struct Private;
    std::unique_ptr<Private> d;
};
