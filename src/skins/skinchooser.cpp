#include "skinchooser.h"

#include "windows/appearance.h"

Skins::Skins(QWidget* parent) : QWidget(parent, Qt::Window)
{
    setObjectName(QStringLiteral("Skins"));
    setWindowTitle(QStringLiteral("Skins"));
    setWindowIcon(corvalo::windowIcon());
    resize(corvalo::twips(7305), corvalo::twips(5025));
}
