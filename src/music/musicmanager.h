#pragma once

#include <QStringList>
#include <QWidget>

class PictureButton;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// Picks a sound file, by typing or browsing, and asks for it to be played through the main
// window's player strip, so that playback outlives this window.
class frmmusic : public QWidget {
    Q_OBJECT
public:
    explicit frmmusic(QWidget* parent = nullptr);

    // The dialog's file types: each description as the user reads it, then its patterns.
    static QStringList nameFilters();

    QLineEdit* fileNameBox() const { return m_txtrun; }
    QFileDialog* fileDialog() const { return m_commonDialog1; } // nullptr until first Browse

signals:
    void storeRequested();
    // "Play" with a readable file: its absolute path, for the main window's player, which
    // outlives this window.
    void playRequested(const QString& location);

private:
    void buildControls();
    void browse();
    void play();
    QFileDialog* dialog();

    QLabel* m_image1 = nullptr;
    QLabel* m_label1 = nullptr;
    PictureButton* m_cmdBrowse = nullptr;
    QLineEdit* m_txtrun = nullptr;
    PictureButton* m_cmdPlay = nullptr;
    QPushButton* m_command1 = nullptr;
    QFileDialog* m_commonDialog1 = nullptr;
};
