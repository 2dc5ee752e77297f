#include "splashwindow.h"

#include "windows/appearance.h"

frmSplash::frmSplash(QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmSplash"));
    setGeometry(corvalo::twipsRect(3885, 6735, 7380, 4245));
    setFixedSize(size());
}
