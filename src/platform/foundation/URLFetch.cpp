#include "platform/foundation/URLFetch.h"

#include <curl/curl.h>
#include <fmt/format.h>
#include <memory>
#include <mutex>

#include "platform/foundation/Log.h"
#include "platform/foundation/PlistXml.h"

namespace pellora {
namespace {

constexpr const char* kWebSchemes = "http,https";
constexpr long kMaxRedirects = 5;

// curl_global_init is not thread-safe itself: the first fetch of the run does it, once.
bool curlReady() {
    static const bool ready = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
    return ready;
}

struct Transfer {
    std::string body;
    std::size_t maxBytes;
    bool overCap = false;
};

std::size_t appendBody(char* data, std::size_t size, std::size_t count, void* context) {
    auto* transfer = static_cast<Transfer*>(context);
    const std::size_t bytes = size * count;
    if (bytes > transfer->maxBytes - transfer->body.size()) {
        transfer->overCap = true;
        return 0;  // a short count makes libcurl abort the transfer
    }
    transfer->body.append(data, bytes);
    return bytes;
}

// libcurl calls this about once a second, and more often while data flows; non-zero aborts the transfer.
int abortWhenCancelled(void* context, curl_off_t, curl_off_t, curl_off_t, curl_off_t) {
    const auto* cancel = static_cast<const std::atomic<bool>*>(context);
    return cancel->load() ? 1 : 0;
}

void report(std::string reason, std::string* error) {
    if (error) {
        *error = std::move(reason);
    } else {
        Log::line(reason);
    }
}

void noteFailure(URLFetchFailure* failure, URLFetchFailure::Kind kind, long status = 0) {
    if (failure) *failure = URLFetchFailure{kind, status};
}

// libcurl's results that mean the server was not reached or did not answer.
bool isConnectionFailure(CURLcode result) {
    switch (result) {
    case CURLE_COULDNT_RESOLVE_PROXY:
    case CURLE_COULDNT_RESOLVE_HOST:
    case CURLE_COULDNT_CONNECT:
    case CURLE_OPERATION_TIMEDOUT:
    case CURLE_SSL_CONNECT_ERROR:
    case CURLE_PEER_FAILED_VERIFICATION:
    case CURLE_GOT_NOTHING:
    case CURLE_SEND_ERROR:
    case CURLE_RECV_ERROR:
    case CURLE_PARTIAL_FILE:
        return true;
    default:
        return false;
    }
}

using CurlHandle = std::unique_ptr<CURL, decltype(&curl_easy_cleanup)>;
using CurlURLHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

std::string curlURLPart(CURLU* handle, CURLUPart part) {
    char* text = nullptr;
    if (curl_url_get(handle, part, &text, 0) != CURLUE_OK || !text) return {};
    std::string result(text);
    curl_free(text);
    return result;
}

} // namespace

std::optional<std::string> contentsOfURL(const std::string& url, const URLFetchLimits& limits, std::string* error,
                                         URLFetchFailure* failure) {
    if (!curlReady()) {
        report("URLFetch: libcurl could not be initialised", error);
        noteFailure(failure, URLFetchFailure::Kind::NoConnection);
        return std::nullopt;
    }
    CurlHandle curl(curl_easy_init(), &curl_easy_cleanup);
    if (!curl) {
        report("URLFetch: no libcurl handle", error);
        noteFailure(failure, URLFetchFailure::Kind::NoConnection);
        return std::nullopt;
    }
    Transfer transfer{{}, limits.maxBytes};
    char curlError[CURL_ERROR_SIZE] = {};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
    curl_easy_setopt(handle, CURLOPT_HTTPGET, 1L);
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, kWebSchemes);
    curl_easy_setopt(handle, CURLOPT_REDIR_PROTOCOLS_STR, kWebSchemes);
    curl_easy_setopt(handle, CURLOPT_FOLLOWLOCATION, 1L);
    curl_easy_setopt(handle, CURLOPT_MAXREDIRS, kMaxRedirects);
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, static_cast<long>(limits.connectTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, static_cast<long>(limits.totalTimeout.count()));
    curl_easy_setopt(handle, CURLOPT_MAXFILESIZE_LARGE, static_cast<curl_off_t>(limits.maxBytes));
    curl_easy_setopt(handle, CURLOPT_FAILONERROR, 1L);
    // Signals for time-outs would reach whichever thread the process picks.
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_USERAGENT, "Pellora/" PELLORA_VERSION);
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, &appendBody);
    curl_easy_setopt(handle, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, curlError);
    if (limits.cancel) {
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, &abortWhenCancelled);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, limits.cancel);
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    }

    const CURLcode result = curl_easy_perform(handle);
    if (transfer.overCap || result == CURLE_FILESIZE_EXCEEDED) {
        report(fmt::format("URLFetch: {}: answer larger than {} bytes", url, limits.maxBytes), error);
        noteFailure(failure, URLFetchFailure::Kind::NotUnderstood);
        return std::nullopt;
    }
    if (result == CURLE_ABORTED_BY_CALLBACK) {
        report(fmt::format("URLFetch: {}: cancelled", url), error);
        noteFailure(failure, URLFetchFailure::Kind::Cancelled);
        return std::nullopt;
    }
    if (result != CURLE_OK) {
        report(fmt::format("URLFetch: {}: {}", url, curlError[0] ? curlError : curl_easy_strerror(result)), error);
        if (result == CURLE_HTTP_RETURNED_ERROR) {
            long status = 0;
            curl_easy_getinfo(handle, CURLINFO_RESPONSE_CODE, &status);
            noteFailure(failure, URLFetchFailure::Kind::ErrorStatus, status);
        } else {
            noteFailure(failure, isConnectionFailure(result) ? URLFetchFailure::Kind::NoConnection
                                                             : URLFetchFailure::Kind::NotUnderstood);
        }
        return std::nullopt;
    }
    return std::move(transfer.body);
}

PlistValue dictionaryWithContentsOfURL(const std::string& url, const URLFetchLimits& limits, std::string* error,
                                       URLFetchFailure* failure) {
    const std::optional<std::string> body = contentsOfURL(url, limits, error, failure);
    if (!body) return {};
    PlistReadLimits readLimits;
    readLimits.maxBytes = limits.maxBytes;
    std::string reason;
    PlistValue root = readPlistXml(*body, url, readLimits, &reason);
    if (root.isNull()) {
        report(fmt::format("URLFetch: {}: {}", url, reason.empty() ? "no property list" : reason), error);
        noteFailure(failure, URLFetchFailure::Kind::NotUnderstood);
        return {};
    }
    if (!root.isDictionary()) {
        report(fmt::format("URLFetch: {}: the property list's root is no dictionary", url), error);
        noteFailure(failure, URLFetchFailure::Kind::NotUnderstood);
        return {};
    }
    return root;
}

std::optional<std::string> normalizedWebURL(const std::string& url) {
    // libcurl reads "https:///path" as the host "path", as some browsers do, and
    // others as no host: only an authority written out after "//" counts.
    const std::size_t authority =
        url.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+.-");
    if (authority == std::string::npos || url.compare(authority, 3, "://") != 0 || authority + 3 >= url.size() ||
        url[authority + 3] == '/' || url[authority + 3] == '\\') {
        return std::nullopt;
    }
    CurlURLHandle handle(curl_url(), &curl_url_cleanup);
    if (!handle || curl_url_set(handle.get(), CURLUPART_URL, url.c_str(), 0) != CURLUE_OK) return std::nullopt;
    const std::string scheme = curlURLPart(handle.get(), CURLUPART_SCHEME);
    if (scheme != "http" && scheme != "https") return std::nullopt;
    if (curlURLPart(handle.get(), CURLUPART_HOST).empty()) return std::nullopt;
    std::string normalized = curlURLPart(handle.get(), CURLUPART_URL);
    if (normalized.empty()) return std::nullopt;
    return normalized;
}

} // namespace pellora
