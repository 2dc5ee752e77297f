#pragma once

#include <QWidget>

// The worked example behind the "?" key: how to chain a calculation with "=".
class FrmExp1 : public QWidget {
    Q_OBJECT
public:
    explicit FrmExp1(QWidget* parent = nullptr);

private:
    void buildControls();
};
