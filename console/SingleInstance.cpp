#include "SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace ostrel {

namespace {

constexpr QByteArrayView kShow = "show\n";
constexpr QByteArrayView kShown = "shown\n";

}  // namespace

QString SingleInstance::ServerName()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime + QLatin1Char('/') + QLatin1String(kMutexName);
    return QDir::tempPath() + QLatin1Char('/') + QLatin1String(kMutexName) + QLatin1Char('-') +
           QString::number(getuid());
}

SingleInstance::SingleInstance(QObject* parent) : QObject(parent) {}

SingleInstance::~SingleInstance() = default;

bool SingleInstance::Claim()
{
    const QString name = ServerName();
    lock_ = std::make_unique<QLockFile>(name + QStringLiteral(".lock"));
    // Only a dead owner makes a lock stale, however long the first copy runs.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    // A socket left by a killed copy is ours to replace.
    QLocalServer::removeServer(name);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    connect(server_.get(), &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
    server_->listen(name);
    return true;
}

void SingleInstance::OnConnection()
{
    while (QLocalSocket* socket = server_->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
            if (!socket->canReadLine())
                return;
            if (socket->readLine(64) == kShow) {
                emit ShowRequested();
                socket->write(kShown.data(), kShown.size());
                socket->flush();
            }
            socket->disconnectFromServer();
        });
    }
}

bool SingleInstance::AskFirstToShow(int patienceMs)
{
    const QDeadlineTimer deadline(patienceMs);
    QLocalSocket socket;
    while (true) {
        socket.connectToServer(ServerName());
        if (socket.waitForConnected(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        if (deadline.hasExpired())
            return false;
        // The first copy holds the lock but may not listen yet.
        QThread::msleep(100);
    }
    socket.write(kShow.data(), kShow.size());
    if (!socket.waitForBytesWritten(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
        return false;
    while (!socket.canReadLine()) {
        if (deadline.hasExpired() ||
            !socket.waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            return false;
    }
    return socket.readLine(64) == kShown;
}

}  // namespace ostrel
