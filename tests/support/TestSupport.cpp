#include "support/TestSupport.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <sys/stat.h>
#include <sys/wait.h>

#include "platform/foundation/Log.h"

namespace pellora::test {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pellora-test-XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
    _path = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(_path, ignored);
}

ScopedVariable::ScopedVariable(const char* name, const std::string& value) : _name(name) {
    if (const char* old = std::getenv(name)) _old = old;
    ::setenv(name, value.c_str(), 1);
}

ScopedVariable::~ScopedVariable() {
    if (_old) ::setenv(_name.c_str(), _old->c_str(), 1);
    else ::unsetenv(_name.c_str());
}

LogCapture::LogCapture() {
    Log::setCapture([this](const std::string& line) {
        std::lock_guard lock(_mutex);
        _lines.push_back(line);
    });
}

LogCapture::~LogCapture() { Log::setCapture({}); }

std::vector<std::string> LogCapture::lines() const {
    std::lock_guard lock(_mutex);
    return _lines;
}

bool LogCapture::contains(const std::string& fragment) const {
    const auto all = lines();
    return std::any_of(all.begin(), all.end(), [&](const std::string& line) { return line.find(fragment) != std::string::npos; });
}

std::string readFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream contents;
    contents << in.rdbuf();
    return contents.str();
}

void writeFile(const std::string& path, const std::string& contents) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << contents;
}

bool fileExists(const std::string& path) {
    struct stat info {};
    return ::lstat(path.c_str(), &info) == 0;
}

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return result + "'";
}

int runCommand(const std::string& command, std::string* output) {
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) return -1;
    char buffer[4096];
    for (std::size_t got; (got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;) {
        if (output != nullptr) output->append(buffer, got);
    }
    const int status = ::pclose(pipe);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

} // namespace pellora::test
