#pragma once

#include <QHash>
#include <QString>
#include <QStringList>

class QObject;

namespace corvalo {

// The heavy Qt modules live apart from the program so that start-up never pays for them: the media
// stack in a plugin of Corvalo's own, loaded the first time a sound plays, and the web engine in
// the store program, started the first time a store button is pressed. Both are looked for only
// relative to the program: beside it (the build tree) and in the private folder of an installed
// program, never on PATH.
class PluginFinder {
public:
    // The plugin's root object (owned by Qt, never unloaded), or nullptr with *why set to a
    // sentence for the user.
    QObject* load(const QString& baseName, QString* why) const;
    // The path of one of Corvalo's helper programs, or empty with *why set.
    QString program(const QString& name, QString* why) const;

    // Another folder to look in instead (empty restores the search), or one file to use in place
    // of a given plugin or program (empty restores it): a test's build tree, a broken plugin.
    void setFolder(const QString& folder) { m_folder = folder; }
    void setFile(const QString& baseName, const QString& file);

private:
    QStringList candidates(const QString& name, const QString& fileName) const;

    QString m_folder;
    QHash<QString, QString> m_files;
};

} // namespace corvalo
