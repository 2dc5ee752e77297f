#include "plugins.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace corvalo {

QStringList PluginFinder::candidates(const QString& baseName) const
{
    if (const auto file = m_files.constFind(baseName); file != m_files.cend())
        return {*file};
    const QString fileName = QStringLiteral("lib%1.so").arg(baseName);
    if (!m_folder.isEmpty())
        return {QDir(m_folder).filePath(fileName)};
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {
        programDir.filePath(fileName),
        QDir::cleanPath(
            programDir.filePath(QStringLiteral(CORVALO_PLUGIN_DIR_FROM_BIN "/") + fileName)),
    };
}

QObject* PluginFinder::load(const QString& baseName, QString* why) const
{
    const QStringList paths = candidates(baseName);
    QStringList problems;
    for (const QString& path : paths) {
        if (!QFileInfo::exists(path))
            continue;
        QPluginLoader loader(path);
        if (QObject* root = loader.instance())
            return root;
        problems << loader.errorString();
    }
    *why = problems.isEmpty()
               ? QStringLiteral("The file was not found in:\n") + paths.join(QLatin1Char('\n'))
               : problems.join(QLatin1Char('\n'));
    return nullptr;
}

void PluginFinder::setFile(const QString& baseName, const QString& file)
{
    if (file.isEmpty())
        m_files.remove(baseName);
    else
        m_files.insert(baseName, file);
}

} // namespace corvalo
