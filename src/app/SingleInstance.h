#pragma once

#include <QByteArray>
#include <QHash>
#include <QLocalServer>
#include <QString>
#include <functional>
#include <string>
#include <vector>

class QLocalSocket;

namespace pellora {

// One running Pellora per user. The first launch listens on a per-user local
// socket; a later launch hands its files to it there, waits for the
// acknowledgement and ends. A lock file serialises the connect-or-listen step,
// so that two launches at the same moment cannot both listen, and a socket
// file left by a crashed instance is removed only when nobody answers on it.
//
// The message: a 32-bit big-endian byte count, then the absolute paths (bytes,
// possibly not UTF-8), each ended by a NUL byte. The answer: one byte, 'A'.
class SingleInstance {
public:
    enum class Role {
        Primary,    // this process is the running instance and now listens
        Forwarded,  // the running instance took the files
        Failed,     // neither: the reason has been logged
    };

    SingleInstance();
    ~SingleInstance();
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // Becomes the running instance, or forwards paths to the one that runs.
    Role claim(const std::vector<std::string>& paths);
    // Called on the main thread with the files of each later launch.
    void setFilesHandler(std::function<void(std::vector<std::string>)> handler) { _handler = std::move(handler); }

    // In $XDG_RUNTIME_DIR when it is set, else in the temporary folder; named with the user id.
    static QString serverName();
    static QString lockFilePath();

    static QByteArray encodePaths(const std::vector<std::string>& paths);
    // The paths of one complete message at the start of buffer, which loses it;
    // nothing while the message is incomplete. false when the message is malformed.
    static bool takePaths(QByteArray& buffer, std::vector<std::string>& paths, bool& complete);

private:
    Role forward(QLocalSocket& socket, const std::vector<std::string>& paths);
    void serve(QLocalSocket* socket);

    QLocalServer _server;
    QHash<QLocalSocket*, QByteArray> _buffers;
    std::function<void(std::vector<std::string>)> _handler;
};

} // namespace pellora
