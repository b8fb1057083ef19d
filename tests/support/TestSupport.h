#pragma once

#include <mutex>
#include <optional>
#include <string>
#include <unistd.h>
#include <vector>

namespace pellora::test {

// A fresh folder under the system's temporary folder, removed with its contents.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return _path; }
    std::string file(const std::string& name) const { return _path + "/" + name; }

private:
    std::string _path;
};

// Ends the test process (SIGALRM) when the scope lasts longer than the given
// seconds, so that a call that would block forever fails its test instead.
class Deadline {
public:
    explicit Deadline(unsigned seconds) { ::alarm(seconds); }
    ~Deadline() { ::alarm(0); }
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;
};

// Sets an environment variable while alive and restores (or unsets) it afterwards.
class ScopedVariable {
public:
    ScopedVariable(const char* name, const std::string& value);
    ~ScopedVariable();
    ScopedVariable(const ScopedVariable&) = delete;
    ScopedVariable& operator=(const ScopedVariable&) = delete;

private:
    std::string _name;
    std::optional<std::string> _old;
};

// Points HOME, XDG_CONFIG_HOME and XDG_DATA_HOME at a temporary home for the
// test's lifetime and restores them afterwards.
class TempHome {
public:
    const std::string& home() const { return _dir.path(); }
    std::string configHome() const { return _dir.path() + "/.config"; }

private:
    TempDir _dir;
    ScopedVariable _home{"HOME", _dir.path()};
    ScopedVariable _configHome{"XDG_CONFIG_HOME", configHome()};
    ScopedVariable _dataHome{"XDG_DATA_HOME", _dir.path() + "/.local/share"};
};

// Collects log lines while alive instead of printing them.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    std::vector<std::string> lines() const;
    bool contains(const std::string& fragment) const;

private:
    mutable std::mutex _mutex;
    std::vector<std::string> _lines;
};

std::string readFile(const std::string& path);
void writeFile(const std::string& path, const std::string& contents);
bool fileExists(const std::string& path);
// The text in single quotes for the shell, quotes inside it escaped.
std::string quoted(const std::string& text);
// Runs a shell command; returns its exit status and fills output with stdout.
int runCommand(const std::string& command, std::string* output = nullptr);

} // namespace pellora::test
