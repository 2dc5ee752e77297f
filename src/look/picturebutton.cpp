#include "picturebutton.h"

#include <qdrawutil.h>
#include <QPainter>

namespace {

constexpr int edgeWidth = 2; // qDrawWinButton's two lines on each side

} // namespace

PictureButton::PictureButton(const QString& caption, QWidget* parent)
    : PictureButton(caption, QPixmap(), parent)
{}

PictureButton::PictureButton(const QString& caption, const QPixmap& picture, QWidget* parent)
    : QPushButton(caption, parent), m_picture(picture)
{
    // The face is painted whole; nothing of the parent needs to show through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

// Painted by hand rather than by the style: a style draws gradients and keeps pixmaps per colour,
// while a skin needs its exact colour on the face and may change it any number of times.
void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    QRect outer = rect();
    if (isDefault()) {
        painter.setPen(colours.color(QPalette::Shadow));
        painter.drawRect(outer.adjusted(0, 0, -1, -1));
        outer.adjust(1, 1, -1, -1);
    }
    painter.fillRect(outer, colours.color(QPalette::Button));

    const bool sunken = isDown() || isChecked();
    const QRect face = outer.adjusted(edgeWidth, edgeWidth, -edgeWidth, -edgeWidth);
    const QPoint shift = sunken ? QPoint(1, 1) : QPoint();
    if (!m_picture.isNull()) {
        QRect picture(QPoint(), m_picture.deviceIndependentSize().toSize());
        picture.moveCenter(face.center());
        painter.save();
        painter.setClipRect(face);
        painter.drawPixmap(picture.topLeft() + shift, m_picture);
        painter.restore();
    }
    qDrawWinButton(&painter, outer, colours, sunken, nullptr);

    const QRect caption = face.translated(shift);
    const int flags = Qt::AlignCenter | Qt::TextShowMnemonic;
    if (isEnabled()) {
        painter.setPen(colours.color(QPalette::Active, QPalette::ButtonText));
    } else {
        // Etched: a light copy one pixel down and right beneath the grey caption.
        painter.setPen(colours.color(QPalette::Light));
        painter.drawText(caption.translated(1, 1), flags, text());
        painter.setPen(colours.color(QPalette::Dark));
    }
    painter.drawText(caption, flags, text());

    if (hasFocus()) {
        painter.setPen(QPen(colours.color(QPalette::Active, QPalette::ButtonText), 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(face.adjusted(1, 1, -2, -2));
    }
}
