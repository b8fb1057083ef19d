#include "app/SingleInstance.h"

#include <QDir>
#include <QLocalSocket>
#include <QLockFile>
#include <QtEndian>
#include <QFile>
#include <sys/stat.h>
#include <unistd.h>

#include "platform/foundation/Log.h"

namespace pellora {
namespace {

// Long enough for a running instance that is still starting or busy to answer.
constexpr int kAcknowledgementTimeoutMs = 30000;
constexpr int kConnectTimeoutMs = 2000;
constexpr int kLockTimeoutMs = 20000;
// No launch hands over anywhere near this much.
constexpr quint32 kMaxMessageBytes = 16 * 1024 * 1024;
constexpr char kAcknowledgement = 'A';

// $XDG_RUNTIME_DIR, private to the user by definition. Without it, a folder of
// our own in the shared temporary folder, which must be ours and closed to
// others: a socket that another user placed there would receive our paths.
QString runtimeFolder() {
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime)) return runtime;
    const QString folder = QDir::tempPath() + QStringLiteral("/pellora-%1").arg(::getuid());
    const QByteArray path = QFile::encodeName(folder);
    ::mkdir(path.constData(), 0700);
    struct stat info {};
    if (::lstat(path.constData(), &info) != 0 || !S_ISDIR(info.st_mode) || info.st_uid != ::getuid() ||
        (info.st_mode & 077) != 0) {
        Log::line("The runtime folder " + folder.toStdString() + " is not a private folder of this user");
        return {};
    }
    return folder;
}

QString baseName() {
    return QStringLiteral("pellora-%1").arg(::getuid());
}

} // namespace

SingleInstance::SingleInstance() {
    // Only this user may connect.
    _server.setSocketOptions(QLocalServer::UserAccessOption);
    QObject::connect(&_server, &QLocalServer::newConnection, &_server, [this] {
        while (QLocalSocket* socket = _server.nextPendingConnection()) serve(socket);
    });
}

SingleInstance::~SingleInstance() {
    _server.close();
}

QString SingleInstance::serverName() {
    return runtimeFolder() + QLatin1Char('/') + baseName() + QStringLiteral(".socket");
}

QString SingleInstance::lockFilePath() {
    return runtimeFolder() + QLatin1Char('/') + baseName() + QStringLiteral(".lock");
}

SingleInstance::Role SingleInstance::claim(const std::vector<std::string>& paths) {
    if (runtimeFolder().isEmpty()) return Role::Failed;
    QLockFile lock(lockFilePath());
    if (!lock.tryLock(kLockTimeoutMs)) {
        Log::line("Cannot take the single-instance lock " + lockFilePath().toStdString());
        return Role::Failed;
    }
    QLocalSocket socket;
    socket.connectToServer(serverName());
    if (socket.waitForConnected(kConnectTimeoutMs)) return forward(socket, paths);
    // Nobody answers: whatever socket file is there was left by an instance that has gone.
    QLocalServer::removeServer(serverName());
    if (!_server.listen(serverName())) {
        Log::line("Cannot listen on " + serverName().toStdString() + ": " + _server.errorString().toStdString());
        return Role::Failed;
    }
    return Role::Primary;
}

SingleInstance::Role SingleInstance::forward(QLocalSocket& socket, const std::vector<std::string>& paths) {
    socket.write(encodePaths(paths));
    socket.flush();
    char answer = 0;
    while (socket.bytesAvailable() == 0) {
        if (!socket.waitForReadyRead(kAcknowledgementTimeoutMs)) {
            Log::line("The running Pellora did not acknowledge the files: " + socket.errorString().toStdString());
            return Role::Failed;
        }
    }
    if (socket.read(&answer, 1) != 1 || answer != kAcknowledgement) {
        Log::line("The running Pellora gave an unexpected answer");
        return Role::Failed;
    }
    return Role::Forwarded;
}

void SingleInstance::serve(QLocalSocket* socket) {
    QObject::connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    QObject::connect(socket, &QObject::destroyed, &_server, [this, socket] { _buffers.remove(socket); });
    const auto readRequest = [this, socket] {
        QByteArray& buffer = _buffers[socket];
        buffer += socket->readAll();
        std::vector<std::string> paths;
        bool complete = false;
        if (!takePaths(buffer, paths, complete)) {
            Log::line("Ignored a malformed request on " + serverName().toStdString());
            socket->abort();
            return;
        }
        if (!complete) return;
        if (_handler) _handler(std::move(paths));
        socket->write(&kAcknowledgement, 1);
        socket->flush();
        socket->disconnectFromServer();
    };
    QObject::connect(socket, &QLocalSocket::readyRead, socket, readRequest);
    // What arrived with the connection itself.
    if (socket->bytesAvailable() > 0) readRequest();
}

QByteArray SingleInstance::encodePaths(const std::vector<std::string>& paths) {
    QByteArray body;
    for (const std::string& path : paths) {
        body.append(path.data(), static_cast<qsizetype>(path.size()));
        body.append('\0');
    }
    QByteArray message(4, '\0');
    qToBigEndian(static_cast<quint32>(body.size()), message.data());
    return message + body;
}

bool SingleInstance::takePaths(QByteArray& buffer, std::vector<std::string>& paths, bool& complete) {
    complete = false;
    if (buffer.size() < 4) return true;
    const quint32 size = qFromBigEndian<quint32>(buffer.constData());
    if (size > kMaxMessageBytes) return false;
    if (static_cast<quint64>(buffer.size()) < 4 + static_cast<quint64>(size)) return true;
    const QByteArray body = buffer.mid(4, size);
    buffer.remove(0, 4 + size);
    if (!body.isEmpty() && !body.endsWith('\0')) return false;
    for (const QByteArray& path : body.split('\0')) {
        if (!path.isEmpty()) paths.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
    }
    complete = true;
    return true;
}

} // namespace pellora
