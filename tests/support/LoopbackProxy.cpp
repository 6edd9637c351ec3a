#include "LoopbackProxy.h"

#include <QHostAddress>
#include <QList>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>

struct LoopbackProxy::Relay : QObject {
    QString host;
    quint16 targetPort = 0;
    quint16 port = 0;
    QTcpServer *server = nullptr;
    QList<QPointer<QTcpSocket>> sockets;

    bool listen()
    {
        if (!server) {
            server = new QTcpServer(this);
            connect(server, &QTcpServer::newConnection, this, [this] { accept(); });
        }
        if (!server->listen(QHostAddress::LocalHost, port))
            return false;
        port = server->serverPort();
        return true;
    }

    void accept()
    {
        while (QTcpSocket *client = server->nextPendingConnection()) {
            auto *upstream = new QTcpSocket(this);
            client->setParent(this);
            sockets << client << upstream;
            // Bytes from the client wait until the server's side is connected.
            const auto pass = [](QTcpSocket *from, QTcpSocket *to) {
                if (to->state() == QAbstractSocket::ConnectedState)
                    to->write(from->readAll());
            };
            connect(client, &QTcpSocket::readyRead, this, [=] { pass(client, upstream); });
            connect(upstream, &QTcpSocket::readyRead, this, [=] { pass(upstream, client); });
            connect(upstream, &QTcpSocket::connected, this, [=] { pass(client, upstream); });
            const auto end = [=] {
                client->abort();
                upstream->abort();
                client->deleteLater();
                upstream->deleteLater();
            };
            connect(client, &QTcpSocket::disconnected, this, end);
            connect(upstream, &QTcpSocket::disconnected, this, end);
            connect(upstream, &QTcpSocket::errorOccurred, this, end);
            upstream->connectToHost(host, targetPort);
        }
    }

    void cut()
    {
        server->close();
        for (const QPointer<QTcpSocket> &s : std::as_const(sockets))
            if (s)
                s->abort();
        sockets.clear();
    }
};

LoopbackProxy::LoopbackProxy(const QString &targetHost, quint16 targetPort) : m_thread(std::make_unique<QThread>())
{
    m_relay = new Relay;
    m_relay->host = targetHost;
    m_relay->targetPort = targetPort;
    m_relay->moveToThread(m_thread.get());
    m_thread->start();
    QMetaObject::invokeMethod(
        m_relay, [this] { m_relay->listen(); }, Qt::BlockingQueuedConnection);
    m_port = m_relay->port;
}

LoopbackProxy::~LoopbackProxy()
{
    QMetaObject::invokeMethod(
        m_relay,
        [this] {
            m_relay->cut();
            delete m_relay;
        },
        Qt::BlockingQueuedConnection);
    m_thread->quit();
    m_thread->wait();
}

void LoopbackProxy::cut()
{
    QMetaObject::invokeMethod(
        m_relay, [this] { m_relay->cut(); }, Qt::BlockingQueuedConnection);
}

void LoopbackProxy::restore()
{
    QMetaObject::invokeMethod(
        m_relay, [this] { m_relay->listen(); }, Qt::BlockingQueuedConnection);
}
