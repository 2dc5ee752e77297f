#pragma once

#include <QStringList>
#include <QWidget>

#include <functional>

class MusicPlayer;
class PictureButton;
class QFileDialog;
class QLabel;
class QLineEdit;
class QPushButton;

// Picks a sound file, by typing or browsing, and plays it through the main window's player
// strip, so that playback outlives this window.
class frmmusic : public QWidget {
    Q_OBJECT
public:
    explicit frmmusic(QWidget* parent = nullptr);

    // The player that "Play" hands the file to: the main window's, which outlives this window.
    void setPlayer(std::function<MusicPlayer*()> player) { m_player = std::move(player); }

    // The dialog's file types: each description as the user reads it, then its patterns.
    static QStringList nameFilters();

    QLineEdit* fileNameBox() const { return m_txtrun; }
    QFileDialog* fileDialog() const { return m_commonDialog1; } // nullptr until first Browse

signals:
    void storeRequested();

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
    std::function<MusicPlayer*()> m_player;
};
