#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QObject;

namespace corvalo {

// The heavy Qt modules (the web engine, the media stack) live in plugins of Corvalo's own, loaded
// the first time they are needed so that start-up never pays for them. A plugin is looked for
// only relative to the program: beside it (the build tree) and in the private plugin folder of
// an installed program.
class PluginFinder {
public:
    // The plugin's root object (owned by Qt, never unloaded), or nullptr with *why set to a
    // sentence for the user.
    QObject* load(const QString& baseName, QString* why) const;

    // Another folder to look in instead (empty restores the search), or one file to load in place
    // of a given plugin (empty restores it): a test's build tree, a broken plugin.
    void setFolder(const QString& folder) { m_folder = folder; }
    void setFile(const QString& baseName, const QString& file);

private:
    QStringList candidates(const QString& baseName) const;

    QString m_folder;
    QHash<QString, QString> m_files;
};

} // namespace corvalo
