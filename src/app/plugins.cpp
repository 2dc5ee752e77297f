#include "plugins.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QPluginLoader>
#include <QStringList>

namespace corvalo {

namespace {

QString g_dirOverride;
QHash<QString, QString> g_fileOverrides;

QStringList candidates(const QString& baseName)
{
    if (const auto file = g_fileOverrides.constFind(baseName); file != g_fileOverrides.cend())
        return {*file};
    const QString fileName = QStringLiteral("lib%1.so").arg(baseName);
    if (!g_dirOverride.isEmpty())
        return {QDir(g_dirOverride).filePath(fileName)};
    const QDir programDir(QCoreApplication::applicationDirPath());
    return {
        programDir.filePath(fileName),
        QDir::cleanPath(
            programDir.filePath(QStringLiteral(CORVALO_PLUGIN_DIR_FROM_BIN "/") + fileName)),
    };
}

} // namespace

QObject* loadPlugin(const QString& baseName, QString* why)
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

void setPluginDirForTesting(const QString& dir)
{
    g_dirOverride = dir;
}

void setPluginFileForTesting(const QString& baseName, const QString& file)
{
    if (file.isEmpty())
        g_fileOverrides.remove(baseName);
    else
        g_fileOverrides.insert(baseName, file);
}

} // namespace corvalo
