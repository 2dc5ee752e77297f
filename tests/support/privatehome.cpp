// Linked into every test that starts Qt: before anything else runs, the test gets a home of its
// own, so nothing it does (nor Qt, nor GStreamer) writes under the user's home.
#include <QFile>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

struct PrivateHome {
    QTemporaryDir dir;
    PrivateHome()
    {
        qputenv("HOME", QFile::encodeName(dir.path()));
        for (const char* variable :
             {"XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_CACHE_HOME", "XDG_STATE_HOME"})
            qunsetenv(variable);
        QStandardPaths::setTestModeEnabled(true);
        // GStreamer's plugin registry, kept in the build tree so that each test need not scan
        // every plugin again.
        if (!qEnvironmentVariableIsSet("GST_REGISTRY"))
            qputenv("GST_REGISTRY", CORVALO_TEST_GST_REGISTRY);
    }
};

const PrivateHome home;

} // namespace
