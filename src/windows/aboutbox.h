#pragma once

#include <QWidget>

class QPushButton;

// The About box. "OK" (also Enter and Esc) only hides it, so the next "About" shows the same
// window again; its close box discards it.
class FrmAbout : public QWidget {
    Q_OBJECT
public:
    explicit FrmAbout(QWidget* parent = nullptr);

    QPushButton* okButton() const { return m_cmdOk; }

protected:
    void keyPressEvent(QKeyEvent* event) override;

private:
    void buildControls();

    QPushButton* m_cmdOk = nullptr;
};
