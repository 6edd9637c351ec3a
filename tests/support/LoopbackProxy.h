#pragma once

#include <QString>
#include <memory>

class QThread;
class QObject;

// A TCP relay on the loopback address in front of a server, run on a thread
// of its own (the program's side blocks in libpq while it relays). cut()
// plays a server that has gone away: every relayed connection is dropped and
// new ones are refused until restore().
class LoopbackProxy {
public:
    LoopbackProxy(const QString &targetHost, quint16 targetPort);
    ~LoopbackProxy();
    LoopbackProxy(const LoopbackProxy &) = delete;
    LoopbackProxy &operator=(const LoopbackProxy &) = delete;

    // The port it listens on, at 127.0.0.1; 0 when it could not listen.
    quint16 port() const { return m_port; }
    void cut();
    void restore();

private:
    struct Relay;
    std::unique_ptr<QThread> m_thread;
    Relay *m_relay = nullptr;   // lives on m_thread
    quint16 m_port = 0;
};
