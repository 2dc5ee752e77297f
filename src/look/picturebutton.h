#pragma once

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPixmap>
#include <QPushButton>

// A push button in the graphical style, drawn the same under every widget style: its face is
// filled with its back colour exactly (the palette's Button colour), an optional picture lies
// unscaled and centred on the face, cut off at the face's edge, and the caption is drawn over it.
// A raised three-dimensional edge, sunken while pressed; a dotted rectangle when it has the
// focus; an etched grey caption when disabled; a dark outline when it is the default button.
// The edge and the picture follow the screen's pixel ratio; the caption lands on whole pixels.
class PictureButton : public QPushButton {
    Q_OBJECT
public:
    explicit PictureButton(const QString& caption, QWidget* parent = nullptr);
    // pictureFile names one of the embedded pictures (see corvalo::picture()).
    PictureButton(const QString& caption, const QString& pictureFile, QWidget* parent = nullptr);

    // The picture as drawn at the button's pixel ratio; null if it has none.
    QPixmap picture() const;
    // What the caption is drawn in while enabled: chosen against the picture if there is one,
    // otherwise the palette's button text.
    QColor captionColour();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void drawCaption(QPainter& painter, const QRect& box);

    QString m_pictureFile;
    QColor m_captionOnPicture;
    QPainterPath m_captionPath;   // the caption's outline from the start of its baseline
    QList<QRectF> m_captionParts; // the bounds of each closed part of that outline
    QString m_captionPathKey;
};
