#include "platform/foundation/RecentlyUsedXbel.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <ctime>
#include <fmt/format.h>
#include <pugixml.hpp>
#include <sstream>
#include <sys/stat.h>
#include <unordered_map>

#include "platform/foundation/FileUtil.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/Paths.h"

namespace pellora {
namespace {

constexpr const char* kBookmarkNamespace = "http://www.freedesktop.org/standards/desktop-bookmarks";
constexpr const char* kMimeNamespace = "http://www.freedesktop.org/standards/shared-mime-info";
constexpr const char* kMetadataOwner = "http://freedesktop.org";
// Larger files are not ours to rewrite; GTK keeps the list far smaller.
constexpr std::size_t kMaxFileBytes = 64 * 1024 * 1024;

// UTC ISO-8601 with microseconds, as GLib writes it.
std::string timestamp(std::chrono::system_clock::time_point when) {
    const auto micros = std::chrono::duration_cast<std::chrono::microseconds>(when.time_since_epoch()).count();
    const std::time_t seconds = static_cast<std::time_t>(micros / 1000000);
    std::tm utc{};
    ::gmtime_r(&seconds, &utc);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S", &utc);
    return fmt::format("{}.{:06d}Z", date, micros % 1000000);
}

std::string mimeTypeForPath(const std::string& path) {
    std::string extension = path::pathExtension(path);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    static const std::unordered_map<std::string, std::string> types = {
        {"jpg", "image/jpeg"},  {"jpeg", "image/jpeg"}, {"jpe", "image/jpeg"},  {"jfif", "image/jpeg"},
        {"png", "image/png"},   {"tif", "image/tiff"},  {"tiff", "image/tiff"}, {"gif", "image/gif"},
        {"bmp", "image/bmp"},   {"dib", "image/bmp"},   {"webp", "image/webp"}, {"heic", "image/heic"},
        {"heif", "image/heif"}, {"hif", "image/heif"},  {"jp2", "image/jp2"},   {"j2k", "image/x-jp2-codestream"},
        {"j2c", "image/x-jp2-codestream"},              {"jpc", "image/x-jp2-codestream"},
    };
    const auto found = types.find(extension);
    return found != types.end() ? found->second : "application/octet-stream";
}

// The file as a document: a fresh one when the file does not exist; false
// when it exists but cannot be read or is not an xbel document.
bool loadDocument(const std::string& filePath, pugi::xml_document& document) {
    struct stat info {};
    if (::stat(filePath.c_str(), &info) != 0 && errno == ENOENT) {
        pugi::xml_node declaration = document.append_child(pugi::node_declaration);
        declaration.append_attribute("version") = "1.0";
        declaration.append_attribute("encoding") = "UTF-8";
        pugi::xml_node root = document.append_child("xbel");
        root.append_attribute("version") = "1.0";
        return true;
    }
    std::string contents;
    if (!readWholeFile(filePath, contents, kMaxFileBytes)) return false;
    const pugi::xml_parse_result parsed =
        document.load_buffer(contents.data(), contents.size(), pugi::parse_default | pugi::parse_declaration);
    if (!parsed) {
        Log::line(fmt::format("Recent files list {} does not parse ({} at byte {}); left unchanged", filePath,
                              parsed.description(), parsed.offset));
        return false;
    }
    if (std::strcmp(document.document_element().name(), "xbel") != 0) {
        Log::line(fmt::format("Recent files list {} is not an xbel document; left unchanged", filePath));
        return false;
    }
    return true;
}

bool saveDocument(const std::string& filePath, const pugi::xml_document& document) {
    std::ostringstream bytes;
    document.save(bytes, "  ", pugi::format_default, pugi::encoding_utf8);
    const std::size_t slash = filePath.rfind('/');
    if (slash != std::string::npos && slash > 0 && !createDirectories(filePath.substr(0, slash))) {
        Log::line(fmt::format("Cannot create the folder of {}", filePath));
        return false;
    }
    return writeFileAtomically(filePath, bytes.str(), 0600);
}

pugi::xml_node childWithAttribute(pugi::xml_node parent, const char* name, const char* attribute,
                                  const std::string& value) {
    for (pugi::xml_node child : parent.children(name)) {
        if (value == child.attribute(attribute).value()) return child;
    }
    return {};
}

pugi::xml_node childOrAppend(pugi::xml_node parent, const char* name) {
    pugi::xml_node child = parent.child(name);
    return child ? child : parent.append_child(name);
}

pugi::xml_node freedesktopMetadata(pugi::xml_node bookmark) {
    return childWithAttribute(bookmark.child("info"), "metadata", "owner", kMetadataOwner);
}

// The bookmark's record of one application, or null.
pugi::xml_node applicationRecord(pugi::xml_node bookmark, const std::string& applicationName) {
    return childWithAttribute(freedesktopMetadata(bookmark).child("bookmark:applications"),
                              "bookmark:application", "name", applicationName);
}

void setAttribute(pugi::xml_node node, const char* name, const std::string& value) {
    pugi::xml_attribute attribute = node.attribute(name);
    if (!attribute) attribute = node.append_attribute(name);
    attribute.set_value(value.c_str());
}

// When this application last used the entry ("timestamp" is the older spelling).
std::string applicationModified(pugi::xml_node record) {
    pugi::xml_attribute modified = record.attribute("modified");
    return modified ? modified.value() : record.attribute("timestamp").value();
}

struct OwnEntry {
    pugi::xml_node bookmark;
    pugi::xml_node record;
    std::string modified;
    std::size_t position;
};

// This application's entries, newest first; entries used at the same moment
// keep the later one in the file first.
std::vector<OwnEntry> ownEntries(const pugi::xml_document& document, const std::string& applicationName) {
    std::vector<OwnEntry> entries;
    std::size_t position = 0;
    for (pugi::xml_node bookmark : document.document_element().children("bookmark")) {
        if (pugi::xml_node record = applicationRecord(bookmark, applicationName)) {
            entries.push_back({bookmark, record, applicationModified(record), position});
        }
        ++position;
    }
    std::sort(entries.begin(), entries.end(), [](const OwnEntry& a, const OwnEntry& b) {
        return a.modified != b.modified ? a.modified > b.modified : a.position > b.position;
    });
    return entries;
}

// Takes this application's record off the entry; the entry itself goes when
// no other application holds it.
void removeOwnRecord(const OwnEntry& entry) {
    pugi::xml_node applications = entry.record.parent();
    applications.remove_child(entry.record);
    if (!applications.child("bookmark:application")) {
        entry.bookmark.parent().remove_child(entry.bookmark);
    }
}

void declareNamespaces(pugi::xml_node root) {
    if (!root.attribute("xmlns:bookmark")) root.append_attribute("xmlns:bookmark") = kBookmarkNamespace;
    if (!root.attribute("xmlns:mime")) root.append_attribute("xmlns:mime") = kMimeNamespace;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

} // namespace

RecentlyUsedXbel::RecentlyUsedXbel(std::string filePath, std::string applicationName, std::string exec)
    : _filePath(std::move(filePath)), _applicationName(std::move(applicationName)), _exec(std::move(exec)) {}

std::string RecentlyUsedXbel::defaultFilePath() {
    return path::stringByAppendingPathComponent(path::dataHome(), "recently-used.xbel");
}

bool RecentlyUsedXbel::addFiles(const std::vector<std::string>& filePaths, std::size_t maxEntries) {
    if (filePaths.empty()) return true;
    pugi::xml_document document;
    if (!loadDocument(_filePath, document)) return false;
    pugi::xml_node root = document.document_element();
    declareNamespaces(root);

    std::unordered_map<std::string, pugi::xml_node> bookmarksByURI;
    for (pugi::xml_node bookmark : root.children("bookmark")) {
        bookmarksByURI.emplace(bookmark.attribute("href").value(), bookmark);
    }
    const auto now = std::chrono::system_clock::now();
    for (std::size_t i = 0; i < filePaths.size(); ++i) {
        // One microsecond apart, so the last path of the batch reads as the newest.
        const std::string when = timestamp(now + std::chrono::microseconds(i));
        const std::string uri = fileURIForPath(filePaths[i]);
        pugi::xml_node& bookmark = bookmarksByURI[uri];
        if (!bookmark) {
            bookmark = root.append_child("bookmark");
            bookmark.append_attribute("href") = uri.c_str();
            bookmark.append_attribute("added") = when.c_str();
        }
        setAttribute(bookmark, "modified", when);
        setAttribute(bookmark, "visited", when);

        pugi::xml_node metadata = freedesktopMetadata(bookmark);
        if (!metadata) {
            metadata = childOrAppend(bookmark, "info").append_child("metadata");
            metadata.append_attribute("owner") = kMetadataOwner;
        }
        if (!metadata.child("mime:mime-type")) {
            metadata.prepend_child("mime:mime-type").append_attribute("type") = mimeTypeForPath(filePaths[i]).c_str();
        }
        pugi::xml_node applications = childOrAppend(metadata, "bookmark:applications");
        pugi::xml_node record = childWithAttribute(applications, "bookmark:application", "name", _applicationName);
        if (!record) {
            record = applications.append_child("bookmark:application");
            record.append_attribute("name") = _applicationName.c_str();
            record.append_attribute("exec") = _exec.c_str();
            record.append_attribute("count") = 0;
        }
        record.remove_attribute("timestamp");
        setAttribute(record, "modified", when);
        record.attribute("count").set_value(record.attribute("count").as_uint() + 1);
    }

    const std::vector<OwnEntry> entries = ownEntries(document, _applicationName);
    for (std::size_t i = maxEntries; i < entries.size(); ++i) removeOwnRecord(entries[i]);
    return saveDocument(_filePath, document);
}

std::vector<std::string> RecentlyUsedXbel::recentFilePaths(std::size_t limit) const {
    std::vector<std::string> paths;
    struct stat info {};
    if (::stat(_filePath.c_str(), &info) != 0) return paths;
    pugi::xml_document document;
    if (!loadDocument(_filePath, document)) return paths;
    for (const OwnEntry& entry : ownEntries(document, _applicationName)) {
        if (paths.size() == limit) break;
        std::string path = pathForFileURI(entry.bookmark.attribute("href").value());
        if (!path.empty()) paths.push_back(std::move(path));
    }
    return paths;
}

bool RecentlyUsedXbel::clear() {
    struct stat info {};
    if (::stat(_filePath.c_str(), &info) != 0 && errno == ENOENT) return true;
    pugi::xml_document document;
    if (!loadDocument(_filePath, document)) return false;
    const std::vector<OwnEntry> entries = ownEntries(document, _applicationName);
    if (entries.empty()) return true;
    for (const OwnEntry& entry : entries) removeOwnRecord(entry);
    return saveDocument(_filePath, document);
}

std::string RecentlyUsedXbel::fileURIForPath(const std::string& path) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
        if (alphanumeric || c == '/' || c == '-' || c == '.' || c == '_' || c == '~') {
            uri += c;
        } else {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        }
    }
    return uri;
}

std::string RecentlyUsedXbel::pathForFileURI(const std::string& uri) {
    std::string rest;
    if (uri.starts_with("file:///")) {
        rest = uri.substr(7);
    } else if (uri.starts_with("file://localhost/")) {
        rest = uri.substr(16);
    } else {
        return {};
    }
    std::string path;
    for (std::size_t i = 0; i < rest.size(); ++i) {
        if (rest[i] != '%') {
            path += rest[i];
            continue;
        }
        const int high = i + 2 < rest.size() ? hexValue(rest[i + 1]) : -1;
        const int low = i + 2 < rest.size() ? hexValue(rest[i + 2]) : -1;
        // A NUL byte cannot be part of a path.
        if (high < 0 || low < 0 || (high == 0 && low == 0)) return {};
        path += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return path;
}

} // namespace pellora
