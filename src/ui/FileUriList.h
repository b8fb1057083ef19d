#pragma once

#include <QByteArray>
#include <string>
#include <vector>

class QMimeData;

namespace pellora {

inline constexpr const char* uriListMimeType = "text/uri-list";

// The local file paths of a text/uri-list, in order, as the file system's
// bytes: percent escapes are decoded byte for byte, so a name that is not
// UTF-8 survives (Qt's URL type would replace its bytes). Comment lines,
// non-file URIs and file URIs of another host are left out.
std::vector<std::string> localPathsFromUriList(const QByteArray& uriList);
// The same for a drag's data; empty when it carries no uri-list.
std::vector<std::string> localPathsOfMimeData(const QMimeData& data);

} // namespace pellora
