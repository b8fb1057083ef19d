#include "support/ExifTool.h"

#include <cstdio>
#include <sstream>

#include "support/TestSupport.h"

namespace pellora::test {

namespace {

// Adds one line of "-a -G1 -s" output to tags.
void addTagLine(const std::string& line, std::map<std::string, std::string>& tags) {
    // "[Group]         Tag                             : value"
    const auto close = line.find(']');
    const auto colon = line.find(" : ");
    if (line.empty() || line[0] != '[' || close == std::string::npos || colon == std::string::npos) return;
    const std::string group = line.substr(1, close - 1);
    if (group == "ExifTool" || group == "System" || group == "File" || group == "Composite") return;
    std::string tag = line.substr(close + 1, colon - close - 1);
    tag.erase(0, tag.find_first_not_of(' '));
    tag.erase(tag.find_last_not_of(' ') + 1);
    std::string key = group + ":" + tag;
    while (tags.count(key) != 0) key += "+";  // a tag that appears twice in a group
    tags[key] = line.substr(colon + 3);
}

} // namespace

std::map<std::string, std::string> exifToolTags(const std::string& path) { return exifToolTagsOfEach({path}).front(); }

std::vector<std::map<std::string, std::string>> exifToolTagsOfEach(const std::vector<std::string>& paths,
                                                                   const std::string& selection) {
    // -q would also drop the lines that separate the files.
    std::string command = paths.size() == 1 ? "exiftool -a -G1 -s -n -q -q" : "exiftool -a -G1 -s -n";
    if (!selection.empty()) command += " " + selection;
    for (const std::string& path : paths) command.append(" ").append(quoted(path));
    std::string output;
    runCommand(command, &output);
    // With several files, each one's tags follow a "======== path" line.
    std::vector<std::map<std::string, std::string>> tags(paths.size());
    std::size_t file = 0;
    bool started = paths.size() == 1;
    std::istringstream lines(output);
    std::string line;
    while (std::getline(lines, line)) {
        if (line.starts_with("======== ")) {
            file += started ? 1 : 0;
            started = true;
        } else if (file < tags.size()) {
            addTagLine(line, tags[file]);
        }
    }
    return tags;
}

bool exifToolWrite(const std::string& path, const std::string& arguments) {
    return runCommand("exiftool -q -q -overwrite_original " + arguments + " '" + path + "'") == 0;
}

bool exifToolWriteEach(const std::vector<std::pair<std::string, std::vector<std::string>>>& filesAndArguments) {
    if (filesAndArguments.empty()) return true;
    // An argument file holds one argument per line; -execute ends each command.
    std::string commands;
    for (const auto& [path, arguments] : filesAndArguments) {
        commands += "-q\n-q\n-overwrite_original\n";
        for (const std::string& argument : arguments) commands += argument + "\n";
        commands += path + "\n-execute\n";
    }
    const std::string argumentFile = filesAndArguments.front().first + ".exiftool-arguments";
    writeFile(argumentFile, commands);
    std::string output;
    const int status = runCommand(std::string("exiftool -@ ").append(quoted(argumentFile)).append(" 2>&1"), &output);
    std::remove(argumentFile.c_str());
    return status == 0 && output.find("rror") == std::string::npos;
}

} // namespace pellora::test
