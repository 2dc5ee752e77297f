#pragma once

#include <QWidget>

// Picks a sound file and plays it through the main window's player strip.
class frmmusic : public QWidget {
    Q_OBJECT
public:
    explicit frmmusic(QWidget* parent = nullptr);
};
