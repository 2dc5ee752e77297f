#pragma once

#include <QString>

class QObject;

namespace corvalo {

// The heavy Qt modules (the web engine, the media stack) live in plugins of Corvalo's own, loaded
// the first time they are needed so that start-up never pays for them. A plugin is looked for
// only relative to the program: beside it (the build tree) and in the private plugin folder of
// an installed program. Returns the plugin's root object (owned by Qt, never unloaded), or
// nullptr with *why set to a sentence for the user.
QObject* loadPlugin(const QString& baseName, QString* why);

// For tests: the folder to load plugins from instead (empty restores the search), or one file
// to load in place of a given plugin.
void setPluginDirForTesting(const QString& dir);
void setPluginFileForTesting(const QString& baseName, const QString& file);

} // namespace corvalo
