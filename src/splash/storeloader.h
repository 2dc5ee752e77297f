#pragma once

class QWidget;

namespace corvalo {

// Builds the store window. Its web engine is loaded only now, on first use.
QWidget* createStoreWindow();

} // namespace corvalo
