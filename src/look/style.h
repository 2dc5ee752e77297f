#pragma once

class QStyle;

namespace corvalo {

// The look of every widget but the graphical buttons, which draw themselves: Qt's Fusion, whose
// menu bar also shows the item chosen from the keyboard. For QApplication::setStyle().
QStyle* makeStyle();

} // namespace corvalo
