#include "storewindow.h"

#include "look/accessibility.h"
#include "look/appearance.h"
#include "look/product.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineView>

Form1::Form1(QWidget* parent) : QWidget(parent, Qt::Window)
{
    corvalo::exposeWindow(this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(corvalo::product::storeName));
    resize(corvalo::twips(9585), corvalo::twips(8400));

    // Deliberately larger than the window: it is not resized with it.
    m_webBrowser1 = new QWebEngineView(this);
    m_webBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    m_webBrowser1->setAccessibleName(QStringLiteral("Store page"));
    m_webBrowser1->setGeometry(corvalo::twipsRect(0, 0, 15135, 11055));
    // Off the record: no cookies, cache or history on disk. Made after the view, so that it is
    // discarded after the view and the page it holds.
    auto* profile = new QWebEngineProfile(this);
    m_webBrowser1->setPage(new QWebEnginePage(profile, m_webBrowser1));
    // The keyboard scrolls the page and reaches its links from the start.
    m_webBrowser1->setFocus();
    // A screen reader names the window by the page it shows.
    connect(m_webBrowser1, &QWebEngineView::titleChanged, this,
            [this](const QString& title) { setAccessibleName(title); });
}

void Form1::navigate(const QUrl& url)
{
    m_webBrowser1->load(url);
}
