#include "aboutbox.h"

#include "appearance.h"

FrmAbout::FrmAbout(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("FrmAbout"));
    setWindowTitle(QStringLiteral("About"));
    setWindowIcon(corvalo::windowIcon());
    setGeometry(corvalo::twipsRect(9690, 660, 5505, 3540));
}
