#include "picturebutton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

PictureButton::PictureButton(const QString& caption, const QPixmap& picture, QWidget* parent)
    : QPushButton(caption, parent), m_picture(picture)
{}

void PictureButton::paintEvent(QPaintEvent*)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    painter.drawControl(QStyle::CE_PushButtonBevel, option);

    const QRect face = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    QRect picture(QPoint(), m_picture.deviceIndependentSize().toSize());
    picture.moveCenter(face.center());
    if (isDown())
        picture.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                          style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    painter.save();
    painter.setClipRect(face);
    painter.drawPixmap(picture.topLeft(), m_picture);
    painter.restore();

    painter.drawControl(QStyle::CE_PushButtonLabel, option);
}
