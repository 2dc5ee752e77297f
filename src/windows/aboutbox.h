#pragma once

#include <QWidget>

// The About box. "OK" only hides it, so the next "About" shows the same window again.
class FrmAbout : public QWidget {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);
};
