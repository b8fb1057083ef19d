#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "model/ImageRep.h"

namespace pellora {

// An image that refers to a file and loads lazily: creating it opens nothing;
// the first question about its representations reads the file's header (never
// its pixels). Safe to use from several threads.
class ReferencedImage {
public:
    explicit ReferencedImage(std::string path) : _path(std::move(path)) {}

    const std::string& path() const { return _path; }

    // Copies of the representations: one for the file's first image, or none
    // when the file cannot be read as an image.
    std::vector<ImageRep> representations();
    // The logical size: that of the first representation, 0 x 0 without one.
    Size size();
    // Sets every representation's logical size to its pixel size.
    void measureInPixels();

private:
    void loadIfNeeded();  // with _mutex held

    const std::string _path;
    std::mutex _mutex;
    bool _loaded = false;
    std::vector<ImageRep> _representations;
};

} // namespace pellora
