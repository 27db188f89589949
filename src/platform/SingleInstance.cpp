#include "platform/SingleInstance.h"

#include <unistd.h>

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>

namespace kova {

namespace {
// A running copy answers at once; a hung one must not hold up the start for long.
constexpr int kAnswerTimeoutMs = 3000;
constexpr char kAnswer = '1';
}  // namespace

SingleInstance::SingleInstance(QString key, QObject* parent)
    : QObject(parent), key_(std::move(key)) {}

SingleInstance::~SingleInstance() = default;

QString SingleInstance::defaultKey() {
    QString display = qEnvironmentVariable("DISPLAY");
    if (display.isEmpty()) {
        display = qEnvironmentVariable("WAYLAND_DISPLAY");
    }
    QString key = kMessageName + u'-' + QString::number(::getuid()) + u'-' + display;
    key.replace(u'/', u'_').replace(u':', u'_');
    return key;
}

bool SingleInstance::askRunning() {
    QLocalSocket socket;
    socket.connectToServer(key_);
    if (!socket.waitForConnected(kAnswerTimeoutMs)) {
        return false;
    }
    socket.write(kMessageName.toUtf8() + '\n');
    socket.flush();
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(kAnswerTimeoutMs)) {
            return false;
        }
    }
    char answer = 0;
    return socket.getChar(&answer) && answer == kAnswer;
}

SingleInstance::Result SingleInstance::claim() {
    // Two copies started together must not both become the first.
    QLockFile lock(QDir::temp().filePath(key_ + QStringLiteral(".lock")));
    lock.setStaleLockTime(0);
    if (!lock.tryLock(kAnswerTimeoutMs)) {
        return askRunning() ? Result::OtherActivated : Result::Unavailable;
    }
    if (askRunning()) {
        return Result::OtherActivated;
    }
    // Nobody answered: a socket file left by a crashed copy is stale.
    QLocalServer::removeServer(key_);
    server_ = std::make_unique<QLocalServer>();
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    if (!server_->listen(key_)) {
        server_.reset();
        return Result::Unavailable;
    }
    connect(server_.get(), &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* peer = server_->nextPendingConnection()) {
            connect(peer, &QLocalSocket::disconnected, peer, &QObject::deleteLater);
            connect(peer, &QLocalSocket::readyRead, this, [this, peer] {
                if (!peer->canReadLine()) {
                    return;
                }
                const QByteArray line = peer->readLine().trimmed();
                if (line == kMessageName.toUtf8()) {
                    emit activationRequested();
                    peer->putChar(kAnswer);
                    peer->flush();
                }
                peer->disconnectFromServer();
            });
        }
    });
    return Result::First;
}

}  // namespace kova
