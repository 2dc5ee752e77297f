#include "plugins.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPluginLoader>

namespace corvalo {

QStringList PluginFinder::candidates(const QString& name, const QString& fileName) const
{
    if (const auto file = m_files.constFind(name); file != m_files.cend())
        return {*file};
    if (!m_folder.isEmpty())
        return {QDir(m_folder).filePath(fileName)};
    // The installed program's private folder first: beside an installed program lies the public
    // bin folder, where Corvalo puts nothing else.
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {
        QDir::cleanPath(
            programDir.filePath(QStringLiteral(CORVALO_PLUGIN_DIR_FROM_BIN "/") + fileName)),
        programDir.filePath(fileName),
    };
}

QObject* PluginFinder::load(const QString& baseName, QString* why) const
{
    const QStringList paths = candidates(baseName, QStringLiteral("lib%1.so").arg(baseName));
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

QString PluginFinder::program(const QString& name, QString* why) const
{
    const QStringList paths = candidates(name, name);
    for (const QString& path : paths)
        if (QFileInfo::exists(path))
            return path;
    *why = QStringLiteral("The file was not found in:\n") + paths.join(QLatin1Char('\n'));
    return {};
}

void PluginFinder::setFile(const QString& baseName, const QString& file)
{
    if (file.isEmpty())
        m_files.remove(baseName);
    else
        m_files.insert(baseName, file);
}

} // namespace corvalo
