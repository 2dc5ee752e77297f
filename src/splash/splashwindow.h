#pragma once

#include <QPointer>
#include <QWidget>

class QFrame;
class QLabel;
class QPushButton;

// The card shown under the main window at start-up. A click on its own surface around the frame
// or on "(Click To Close)", or any key that types a character, closes it for good.
class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);

    QFrame* frame() const { return m_frame1; }
    QPushButton* storeButton() const { return m_command1; }

signals:
    void storeRequested();

protected:
    // Sees every key and click on the card and its controls first (the card's key preview).
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildFrame();
    bool filterMouse(QObject* watched, QEvent* event);

    QFrame* m_frame1 = nullptr;
    QLabel* m_label1 = nullptr;
    QPushButton* m_command1 = nullptr;
    QPointer<QObject> m_pressed;
};
