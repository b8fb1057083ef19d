#pragma once

#include <QIcon>
#include <QString>

namespace pellora {

// The toolbar's pictures, looked up by name ("addIcon32", "viewIcon32",
// "removeIcon32", "clearIcon32"; for the preferences window "prefIcon_general",
// "prefIcon_update"). They are drawn as vector shapes at every
// pixel size asked for, so they stay sharp at any screen scale. An unknown
// name gives a null icon.
QIcon imageNamed(const QString& name);

} // namespace pellora
