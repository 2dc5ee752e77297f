#include "musicmanager.h"

#include "windows/appearance.h"

frmmusic::frmmusic(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("frmmusic"));
    setWindowTitle(QStringLiteral("Music selection"));
    setWindowIcon(corvalo::windowIcon());
    resize(corvalo::twips(4680), corvalo::twips(2460));
}
