#include "ui/single_instance.h"

#include <QtCore/QDir>
#include <QtCore/QStandardPaths>
#include <QtNetwork/QLocalServer>
#include <QtNetwork/QLocalSocket>

namespace {
// A path handed over is one line; anything longer is not ours.
constexpr qint64 kMaxMessage = 64 * 1024;
} // namespace

TSingleInstance::TSingleInstance(QString folder, QObject* parent)
    : QObject(parent), folder_(std::move(folder)) {
    if (folder_.isEmpty())
        folder_ = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder_.isEmpty()) folder_ = QDir::tempPath();
}

TSingleInstance::~TSingleInstance() = default;

QString TSingleInstance::LockPath() const {
    return folder_ + QStringLiteral("/tamblix.lock");
}

QString TSingleInstance::SocketPath() const {
    return folder_ + QStringLiteral("/tamblix.socket");
}

bool TSingleInstance::TryLock() {
    QDir().mkpath(folder_);
    lock_ = std::make_unique<QLockFile>(LockPath());
    // Only a live process holds the lock; one that died leaves a stale file.
    lock_->setStaleLockTime(0);
    if (!lock_->tryLock(0)) {
        lock_.reset();
        return false;
    }
    server_ = new QLocalServer(this);
    QLocalServer::removeServer(SocketPath());
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(SocketPath())) return true; // still the only instance
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* s = server_->nextPendingConnection()) {
            connect(s, &QLocalSocket::disconnected, s, &QObject::deleteLater);
            connect(s, &QLocalSocket::readyRead, s, [this, s] {
                if (!s->canReadLine() && s->bytesAvailable() < kMaxMessage) return;
                QByteArray line = s->readLine(kMaxMessage).trimmed();
                s->disconnectFromServer();
                emit FileReceived(QString::fromUtf8(line));
            });
        }
    });
    return true;
}

bool TSingleInstance::SendToRunning(const QString& path, int timeoutMs) {
    QLocalSocket s;
    s.connectToServer(SocketPath());
    if (!s.waitForConnected(timeoutMs)) return false;
    QByteArray data = path.toUtf8();
    data.replace('\n', ' ');
    s.write(data + '\n');
    if (!s.waitForBytesWritten(timeoutMs)) return false;
    s.waitForDisconnected(timeoutMs);
    return true;
}
