#include "ui/FileUriList.h"

#include <QMimeData>

namespace pellora {

namespace {

// The path of a file URI ("file:///a", "file://localhost/a", "file:/a"), still escaped; empty for others.
QByteArray escapedPathOfFileUri(const QByteArray& uri) {
    if (uri.size() < 6 || uri.left(5).toLower() != "file:") {
        return {};
    }
    QByteArray rest = uri.mid(5);
    if (rest.startsWith("//")) {
        const qsizetype slash = rest.indexOf('/', 2);
        if (slash < 0) {
            return {};
        }
        const QByteArray host = rest.mid(2, slash - 2).toLower();
        if (!host.isEmpty() && host != "localhost") {
            return {};
        }
        rest = rest.mid(slash);
    }
    if (!rest.startsWith('/')) {
        return {};
    }
    const qsizetype end = rest.indexOf('#') >= 0 ? rest.indexOf('#') : rest.indexOf('?');
    return end >= 0 ? rest.left(end) : rest;
}

} // namespace

std::vector<std::string> localPathsFromUriList(const QByteArray& uriList) {
    std::vector<std::string> paths;
    for (QByteArray line : uriList.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#')) {
            continue;
        }
        const QByteArray escaped = escapedPathOfFileUri(line);
        if (escaped.isEmpty()) {
            continue;
        }
        const QByteArray path = QByteArray::fromPercentEncoding(escaped);
        if (!path.isEmpty() && !path.contains('\0')) {
            paths.emplace_back(path.constData(), static_cast<std::size_t>(path.size()));
        }
    }
    return paths;
}

std::vector<std::string> localPathsOfMimeData(const QMimeData& data) {
    if (!data.hasFormat(QString::fromLatin1(uriListMimeType))) {
        return {};
    }
    return localPathsFromUriList(data.data(QString::fromLatin1(uriListMimeType)));
}

} // namespace pellora
