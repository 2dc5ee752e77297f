#pragma once

#include <QPixmap>
#include <QPushButton>

// A button in the graphical style: its picture, unscaled and centred, lies on the face behind
// the caption and is cut off at the face's edge.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    PictureButton(const QString& caption, const QPixmap& picture, QWidget* parent = nullptr);

    QPixmap picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};
