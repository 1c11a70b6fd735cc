#include "netconnection.h"

#include "application.h"
#include "errors.h"

#include <QCoreApplication>
#include <QLoggingCategory>
#include <QTcpSocket>
#include <QTimer>

Q_LOGGING_CATEGORY(lcNet, "kmb.netconnection")

TNetConnection::TNetConnection(QObject *parent)
    : QObject(parent)
{}

TNetConnection::~TNetConnection()
{
    if (m_socket)
        m_socket->abort();
}

TEventSource::BindResult TNetConnection::bindEvent(const QString &event, const std::any &handler)
{
    if (event == QLatin1String("BeforeConnect"))
        return assign(BeforeConnect, handler);
    return BindResult::NoSuchEvent;
}

bool TNetConnection::isConnecting() const
{
    return m_socket && !m_connected;
}

void TNetConnection::fail(const QString &reason)
{
    m_lastError = reason;
    if (m_socket) {
        m_socket->disconnect(this);
        m_socket->abort();
        m_socket->deleteLater();
        m_socket = nullptr;
    }
    const bool was = m_connected;
    m_connected = false;
    if (was)
        emit connectedChanged(false);
    qCWarning(lcNet).noquote() << reason;
    emit failed(reason);
}

void TNetConnection::SetConnected(bool value)
{
    if (!value) {
        if (m_socket) {
            m_socket->disconnect(this);
            m_socket->abort();
            m_socket->deleteLater();
            m_socket = nullptr;
        }
        if (m_connected) {
            m_connected = false;
            emit connectedChanged(false);
        }
        return;
    }
    if (m_connected || m_socket)
        return;
    if (BeforeConnect)
        BeforeConnect(this);
    m_lastError.clear();
    if (m_port < 1 || m_port > 65535) {
        const QString reason =
            QCoreApplication::translate("TNetConnection",
                                        "Porta inválida para o servidor de aplicação: %1.")
                .arg(m_port);
        fail(reason);
        if (m_throwException)
            throw EAppError(reason);
        return;
    }
    if (m_host.isEmpty()) {
        const QString reason =
            QCoreApplication::translate("TNetConnection", "Servidor de aplicação não configurado.");
        fail(reason);
        if (m_throwException)
            throw EAppError(reason);
        return;
    }

    // Connects without blocking: Connected turns true once the server accepted the handshake.
    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    m_buffer.clear();
    const QString target = QStringLiteral("%1:%2").arg(m_host).arg(m_port);
    auto reportFailure = [this, target](const QString &what) {
        const QString reason =
            QCoreApplication::translate("TNetConnection", "Servidor de aplicação %1 (%2): %3")
                .arg(target, m_serverName, what);
        fail(reason);
        if (m_throwException)
            reportException(std::make_exception_ptr(EAppError(reason)));
    };
    auto *timer = new QTimer(socket);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, this, [reportFailure] {
        reportFailure(QCoreApplication::translate("TNetConnection", "sem resposta."));
    });
    connect(socket, &QTcpSocket::connected, this,
            [this, socket] { socket->write("OPEN " + m_serverName.toUtf8() + '\n'); });
    connect(socket, &QTcpSocket::readyRead, this, [this, socket, timer, reportFailure] {
        m_buffer += socket->readAll();
        const qsizetype nl = m_buffer.indexOf('\n');
        if (nl < 0) {
            if (m_buffer.size() > 4096)
                reportFailure(QCoreApplication::translate("TNetConnection", "resposta inválida."));
            return;
        }
        const QByteArray line = m_buffer.left(nl).trimmed();
        timer->stop();
        if (line == "OK") {
            m_connected = true;
            emit connectedChanged(true);
        } else {
            reportFailure(line.startsWith("ERR") ? QString::fromUtf8(line.mid(3).trimmed())
                                                 : QCoreApplication::translate(
                                                       "TNetConnection", "resposta inválida."));
        }
    });
    connect(socket, &QTcpSocket::errorOccurred, this,
            [socket, reportFailure] { reportFailure(socket->errorString()); });
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (m_connected)
            fail(QCoreApplication::translate("TNetConnection",
                                             "Conexão com o servidor de aplicação encerrada."));
    });
    timer->start(m_timeoutMs);
    socket->connectToHost(m_host, quint16(m_port));
}

namespace {

HostSettings hostSettings()
{
    const TApplication *app = TApplication::instance();
    return app ? app->settings() : HostSettings();
}

} // namespace

QString WebURL()
{
    return hostSettings().appServerHost;
}

int WebPort()
{
    return hostSettings().appServerPort;
}
