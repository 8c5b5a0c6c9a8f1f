#include "gui/qt/single_instance.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QStandardPaths>
#include <QThread>

namespace zul::gui {
namespace {

constexpr const char* kClassName = "ZUL_487272AE-E8FD-4fae-AB4E-0BE8A8EEA401";
constexpr const char* kActivate = "activate\n";
constexpr int kConnectMs = 500;
constexpr int kLockWaitMs = 5000;
constexpr int kFirstCopyStartMs = 3000;

// Where the lock file lives, and on POSIX the socket too: the user's private
// runtime directory when there is one.
QString InstanceDirectory() {
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) return QDir::tempPath();
    const QString runtime = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    return runtime.isEmpty() ? QDir::tempPath() : runtime;
}

}  // namespace

QString InstanceServerName() {
    QString user = qEnvironmentVariable("USER");
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME");
    // The desktop session: the X display or Wayland socket on POSIX, the
    // terminal-services session on Windows.
    const QString session = qEnvironmentVariable("WAYLAND_DISPLAY") + "|" + qEnvironmentVariable("DISPLAY") + "|" +
                            qEnvironmentVariable("SESSIONNAME") + "|" + qEnvironmentVariable("XDG_SESSION_ID");
    const QByteArray tag =
        QCryptographicHash::hash((user + "|" + session).toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    const QString name = QString(kClassName) + "-" + QString::fromLatin1(tag);
#ifdef _WIN32
    return name;  // a named pipe, private to the session by its name
#else
    return QDir(InstanceDirectory()).filePath(name);
#endif
}

SingleInstance::SingleInstance(QString serverName, QObject* parent)
    : QObject(parent), serverName_(std::move(serverName)) {
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnConnection);
}

SingleInstance::~SingleInstance() { server_.close(); }

bool SingleInstance::AskRunningCopy() {
    QLocalSocket socket;
    socket.connectToServer(serverName_);
    if (!socket.waitForConnected(kConnectMs)) return false;
    socket.write(kActivate);
    socket.waitForBytesWritten(kConnectMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState) socket.waitForDisconnected(kConnectMs);
    return true;
}

SingleInstance::Role SingleInstance::Claim() {
    QString lockPath = serverName_;
    if (!QDir::isAbsolutePath(lockPath)) lockPath = QDir(InstanceDirectory()).filePath(lockPath);
    QLockFile lock(lockPath + ".lock");
    // A lock whose process has died is stale at once; a live holder is only
    // between its check and its listen, which takes milliseconds.
    lock.setStaleLockTime(kLockWaitMs);
    const bool locked = lock.tryLock(kLockWaitMs);

    if (AskRunningCopy()) return Role::kSecond;
    // Nobody answers: whatever is left under the name belongs to a dead copy.
    QLocalServer::removeServer(serverName_);
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    if (server_.listen(serverName_)) return Role::kFirst;

    if (!locked) {
        // The lock could not be had (a hung copy holds it): give a starting
        // copy a moment to listen, and if none does, run without the server
        // rather than not at all.
        QDeadlineTimer deadline(kFirstCopyStartMs);
        while (!deadline.hasExpired()) {
            if (AskRunningCopy()) return Role::kSecond;
            QThread::msleep(50);
        }
    }
    return Role::kFirst;
}

void SingleInstance::OnConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto readRequests = [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == kActivate) emit activationRequested();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, readRequests);
        readRequests();
    }
}

}  // namespace zul::gui
