#pragma once

#include <QPixmap>
#include <QPushButton>

// A push button in the graphical style, drawn the same under every widget style: its face is
// filled with its back colour exactly (the palette's Button colour), an optional picture lies
// unscaled and centred on the face, cut off at the face's edge, and the caption is drawn over it.
// A raised three-dimensional edge, sunken while pressed; a dotted rectangle when it has the
// focus; an etched grey caption when disabled; a dark outline when it is the default button.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    explicit PictureButton(const QString& caption, QWidget* parent = nullptr);
    PictureButton(const QString& caption, const QPixmap& picture, QWidget* parent = nullptr);

    QPixmap picture() const { return m_picture; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap m_picture;
};
