#pragma once

#include <QWidget>

// The card shown under the main window at start-up.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);
};
