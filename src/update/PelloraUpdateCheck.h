#pragma once

#include <string>
#include <thread>

#include "update/QVXUpdate.h"

namespace pellora {

// Where Pellora's update database is published.
inline constexpr const char* QVXUpdateDefaultsKey_versionsDictURL =
    "http://updates.pellora.invalid/QVXUpdateDatabase.xml";
// An environment variable that, when set and not empty, replaces that URL (tests, packagers).
inline constexpr const char* PelloraUpdateURLVariable = "PELLORA_UPDATE_URL";

std::string updateDatabaseURL();

// The version of this build, as the update database spells it.
std::string runningAppVersion();

// One check of Pellora's update database: userAsked for the menu command,
// false for the automatic check at launch. It switches the automatic check off
// under "QVXUpdate: Check at launch" and records "QVXUpdate: Last checked".
void checkForUpdates(bool userAsked, const QVXUpdateEnvironment& environment);

// The check at launch. When "QVXUpdate: Check at launch" is on, starts the
// automatic check on a thread of its own and hands that thread back (join or
// detach it; the environment's objects must outlive it). When it is off,
// starts no thread, makes no network access and hands back an empty thread.
std::thread checkForUpdatesAtLaunch(const QVXUpdateEnvironment& environment);

} // namespace pellora
