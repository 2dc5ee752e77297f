#include "storewindow.h"

#include "look/appearance.h"
#include "storeinfo.h"

#include <QGuiApplication>
#include <QOpenGLContext>
#include <QUrl>
#include <QWebEngineView>

QT_BEGIN_NAMESPACE
Q_GUI_EXPORT void qt_gl_set_global_share_context(QOpenGLContext* context);
Q_GUI_EXPORT QOpenGLContext* qt_gl_global_share_context();
QT_END_NAMESPACE

namespace {

// The web engine composes its pages through a GL context shared with Qt. Programs that link it
// get one at start-up; the calculator loads it late and makes the shared context here, so that
// starting the calculator never pays for OpenGL.
void provideSharedGlContext()
{
    if (qt_gl_global_share_context())
        return;
    auto* context = new QOpenGLContext(qApp);
    context->create();
    qt_gl_set_global_share_context(context);
}

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(corvalo::storeinfo::storeName));
    resize(corvalo::twips(9585), corvalo::twips(8400));

    // Deliberately larger than the window: it is not resized with it.
    m_webBrowser1 = new QWebEngineView(this);
    m_webBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    m_webBrowser1->setGeometry(corvalo::twipsRect(0, 0, 15135, 11055));
}

void Form1::navigate(const QUrl& url)
{
    m_webBrowser1->load(url);
}

QWidget* corvalo_create_store_window()
{
    provideSharedGlContext();
    return new Form1;
}
