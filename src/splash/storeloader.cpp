#include "storeloader.h"

#include <QWidget>

namespace corvalo {

QWidget* createStoreWindow()
{
    auto* window = new QWidget(nullptr, Qt::Window);
    window->setObjectName(QStringLiteral("Form1"));
    window->resize(9585 / 15, 8400 / 15);
    return window;
}

} // namespace corvalo
