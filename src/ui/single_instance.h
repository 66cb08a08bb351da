#pragma once

#include <QtCore/QLockFile>
#include <QtCore/QObject>
#include <QtCore/QString>
#include <memory>

class QLocalServer;

// The single-instance rule: a lock file in the user's runtime folder, and a
// local socket beside it through which a second start hands its catalog to
// the first.
class TSingleInstance : public QObject {
    Q_OBJECT
public:
    // `folder`: where the lock and the socket live (empty: the runtime folder).
    explicit TSingleInstance(QString folder = {}, QObject* parent = nullptr);
    ~TSingleInstance() override;

    // Takes the lock and starts listening; false when another instance holds it.
    bool TryLock();
    // Hands `path` (may be empty: just come to the front) to the running
    // instance; false when none answered.
    bool SendToRunning(const QString& path, int timeoutMs = 2000);

    QString LockPath() const;
    QString SocketPath() const;

signals:
    void FileReceived(const QString& path);

private:
    QString folder_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};
