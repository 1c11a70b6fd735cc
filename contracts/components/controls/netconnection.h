#pragma once

#include "controls.h"

#include <QObject>
#include <QPointer>

class QTcpSocket;

// Socket connection to a remote data module of the application server. Setting Connected true
// fires BeforeConnect, then connects to Host:Port without blocking the window and names
// ServerName in the handshake; Connected turns true when the server accepted it.
//
// Handshake (one line each way, UTF-8): the client sends "OPEN <ServerName>\n", the server
// answers "OK\n" to accept or "ERR <reason>\n" to refuse.
//
// With ThrowException false a failure (refusal, timeout, invalid port) leaves Connected false
// and only logs a warning; with it true, setting Connected raises for an invalid port at once,
// and a later failure is reported through the error handler.
class COMPONENTS_EXPORT TNetConnection : public QObject, public TComponent
{
    Q_OBJECT
    Q_PROPERTY(QString ServerName READ ServerName WRITE setServerName)
    Q_PROPERTY(QString Host READ Host WRITE setHost)
    Q_PROPERTY(int Port READ Port WRITE setPort)
    Q_PROPERTY(bool ThrowException READ ThrowException WRITE setThrowException)
    Q_PROPERTY(int TimeoutMs READ timeoutMs WRITE setTimeoutMs)
public:
    explicit TNetConnection(QObject *parent = nullptr);
    ~TNetConnection() override;

    TNotifyEvent BeforeConnect;
    QStringList eventNames() const override { return {QStringLiteral("BeforeConnect")}; }
    BindResult bindEvent(const QString &event, const std::any &handler) override;

    QString ServerName() const { return m_serverName; }
    void setServerName(const QString &n) { m_serverName = n; }
    QString Host() const { return m_host; }
    void setHost(const QString &h) { m_host = h; }
    int Port() const { return m_port; }
    void setPort(int p) { m_port = p; }
    bool ThrowException() const { return m_throwException; }
    void setThrowException(bool t) { m_throwException = t; }
    int timeoutMs() const { return m_timeoutMs; }
    void setTimeoutMs(int ms) { m_timeoutMs = ms; }

    // True once the handshake completed; false while connecting, after a failure or a close.
    bool Connected() const { return m_connected; }
    void SetConnected(bool value);
    // True between SetConnected(true) and the end of the handshake.
    bool isConnecting() const;
    // The reason of the last failure, empty after a success.
    QString lastError() const { return m_lastError; }

signals:
    void connectedChanged(bool connected);
    void failed(const QString &reason);

private:
    void fail(const QString &reason);
    QString m_serverName;
    QString m_host;
    int m_port = 0;
    bool m_throwException = true;
    int m_timeoutMs = 1000;
    bool m_connected = false;
    QString m_lastError;
    QPointer<QTcpSocket> m_socket;
    QByteArray m_buffer;
};

// Host and port of the application server, from the host's settings.
COMPONENTS_EXPORT QString WebURL();
COMPONENTS_EXPORT int WebPort();
