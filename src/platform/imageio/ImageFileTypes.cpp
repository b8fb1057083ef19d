#include "platform/imageio/ImageFileTypes.h"

#include <cctype>
#include <set>

#include "platform/imageio/CodecRegistry.h"

namespace pellora {
namespace {

// Every mix of upper and lower case of an ASCII extension: 2^letters forms.
std::vector<std::string> caseForms(const std::string& extension) {
    std::vector<std::string> forms{""};
    for (const char ch : extension) {
        const auto byte = static_cast<unsigned char>(ch);
        const char lower = static_cast<char>(std::tolower(byte));
        const char upper = static_cast<char>(std::toupper(byte));
        std::vector<std::string> next;
        next.reserve(forms.size() * 2);
        for (const auto& form : forms) {
            next.push_back(form + lower);
            if (upper != lower) next.push_back(form + upper);
        }
        forms = std::move(next);
    }
    return forms;
}

std::vector<std::string> buildImageFileTypes() {
    std::vector<std::string> types;
    std::set<std::string> seen;
    for (const auto& codec : CodecRegistry::shared().codecs()) {
        for (const auto& extension : codec->extensions()) {
            for (auto& form : caseForms(extension)) {
                if (seen.insert(form).second) types.push_back(std::move(form));
            }
        }
    }
    return types;
}

} // namespace

const std::vector<std::string>& imageFileTypes() {
    static const std::vector<std::string> types = buildImageFileTypes();
    return types;
}

} // namespace pellora
