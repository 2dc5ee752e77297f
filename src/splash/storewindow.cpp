#include "storewindow.h"

#include "look/appearance.h"
#include "look/product.h"

#include <QUrl>
#include <QWebEngineView>

Form1::Form1(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(corvalo::product::storeName));
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

QWidget* StoreModule::createStoreWindow()
{
    return new Form1;
}

void StoreModule::navigate(QWidget* storeWindow, const QUrl& url)
{
    if (auto* store = qobject_cast<Form1*>(storeWindow))
        store->navigate(url);
}
