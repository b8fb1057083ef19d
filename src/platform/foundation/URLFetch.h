#pragma once

#include <atomic>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "platform/foundation/PlistValue.h"

namespace pellora {

struct URLFetchLimits {
    std::chrono::milliseconds connectTimeout{10'000};
    // The whole transfer, connection included.
    std::chrono::milliseconds totalTimeout{30'000};
    // A larger answer, declared or not, aborts the transfer.
    std::size_t maxBytes = 1u << 20;
    // When given, setting it ends the transfer within about a second, as a
    // failure: lets the application quit without waiting for a time-out.
    const std::atomic<bool>* cancel = nullptr;
};

// Why a fetch failed, in the terms a user can be told.
struct URLFetchFailure {
    enum class Kind {
        NoConnection,   // the server could not be reached, or did not answer in time
        ErrorStatus,    // the server answered with an error status (status)
        NotUnderstood,  // the answer could not be used: too large, no property list, a bad redirect...
        Cancelled,      // the caller's cancel flag ended it
    };
    Kind kind = Kind::NotUnderstood;
    long status = 0;
};

// One synchronous HTTP or HTTPS GET, following redirects to http and https
// addresses only. The body of a 2xx answer, or nullopt for any failure (no
// connection, time-out, an error status, an answer over the cap, another
// scheme). When `error` is given the reason is stored there; otherwise it is
// logged as one line. When `failure` is given, the kind of failure goes there.
// Safe from any thread.
std::optional<std::string> contentsOfURL(const std::string& url, const URLFetchLimits& limits = {},
                                         std::string* error = nullptr, URLFetchFailure* failure = nullptr);

// Fetches an XML property list whose root is a dictionary; a null value for a
// failed fetch, data that is no property list (hostile XML included) or
// another root. `error` and `failure` as for contentsOfURL.
PlistValue dictionaryWithContentsOfURL(const std::string& url, const URLFetchLimits& limits = {},
                                       std::string* error = nullptr, URLFetchFailure* failure = nullptr);

// The URL as libcurl normalises it when it is absolute, its scheme is http or
// https and it names a host; nullopt for anything else.
std::optional<std::string> normalizedWebURL(const std::string& url);

} // namespace pellora
