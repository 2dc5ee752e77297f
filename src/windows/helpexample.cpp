#include "helpexample.h"

#include "appearance.h"

FrmExp1::FrmExp1(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmExp1"));
    setWindowTitle(QStringLiteral("Help-Example"));
    setWindowIcon(corvalo::windowIcon());
    setGeometry(corvalo::twipsRect(9480, 3180, 4230, 3390));
}
