#pragma once

#include <QWidget>

// Previews the four skins and applies one to the main window.
class Skins : public QWidget {
    Q_OBJECT
public:
    explicit Skins(QWidget* parent = nullptr);
};
