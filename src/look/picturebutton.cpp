#include "picturebutton.h"

#include "appearance.h"

#include <QPainter>

#include <cmath>
#include <limits>

namespace {

constexpr int edgeWidth = 2; // the edge's two lines on each side, in pixels at 100 %

// Sets the painter to draw in the window's device pixels and returns the widget's rectangle
// there, its corners on whole pixels.
QRect toDevicePixels(QPainter& painter, const QRect& logical)
{
    const QTransform toDevice = painter.deviceTransform();
    const QRectF mapped = toDevice.mapRect(QRectF(logical));
    painter.setWorldTransform(toDevice.inverted() * painter.worldTransform());
    return QRect(QPoint(qRound(mapped.left()), qRound(mapped.top())),
                 QPoint(qRound(mapped.right()) - 1, qRound(mapped.bottom()) - 1));
}

// One ring of the edge, `width` device pixels wide: `upper` along the top and left, `lower`
// along the bottom and right, which take the two far corners, as Windows draws it.
void drawRing(QPainter& painter, const QRect& r, int width, const QColor& upper,
              const QColor& lower)
{
    painter.fillRect(r.left(), r.top(), r.width() - width, width, upper);
    painter.fillRect(r.left(), r.top(), width, r.height() - width, upper);
    painter.fillRect(r.left(), r.bottom() - width + 1, r.width(), width, lower);
    painter.fillRect(r.right() - width + 1, r.top(), width, r.height(), lower);
}

// The mean colour of the part of a picture that shows on a face.
QColor meanColour(const QPixmap& picture, const QSize& face)
{
    QImage image = picture.toImage().convertToFormat(QImage::Format_RGB32);
    QRect shown(QPoint(), face * picture.devicePixelRatio());
    shown.moveCenter(image.rect().center());
    shown &= image.rect();
    double sum[3] = {};
    for (int y = shown.top(); y <= shown.bottom(); ++y)
        for (int x = shown.left(); x <= shown.right(); ++x) {
            const QRgb pixel = image.pixel(x, y);
            sum[0] += qRed(pixel);
            sum[1] += qGreen(pixel);
            sum[2] += qBlue(pixel);
        }
    const double count = std::max<qsizetype>(1, qsizetype(shown.width()) * shown.height());
    return QColor::fromRgbF(float(sum[0] / count / 255), float(sum[1] / count / 255),
                            float(sum[2] / count / 255));
}

} // namespace

PictureButton::PictureButton(const QString& caption, QWidget* parent)
    : PictureButton(caption, QString(), parent)
{}

PictureButton::PictureButton(const QString& caption, const QString& pictureFile, QWidget* parent)
    : QPushButton(caption, parent), m_pictureFile(pictureFile)
{
    // The face is painted whole; nothing of the parent needs to show through.
    setAttribute(Qt::WA_OpaquePaintEvent);
}

QPixmap PictureButton::picture() const
{
    return m_pictureFile.isEmpty() ? QPixmap()
                                   : corvalo::picture(m_pictureFile, devicePixelRatioF());
}

QColor PictureButton::captionColour()
{
    if (m_pictureFile.isEmpty())
        return palette().color(QPalette::Active, QPalette::ButtonText);
    if (!m_captionOnPicture.isValid())
        m_captionOnPicture = corvalo::captionColourOn(meanColour(picture(), size()));
    return m_captionOnPicture;
}

// Painted by hand rather than by the style: a style draws gradients and keeps pixmaps per colour,
// while a skin needs its exact colour on the face and may change it any number of times.
void PictureButton::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const QPalette& colours = palette();
    const bool sunken = isDown() || isChecked();
    const QPoint shift = sunken ? QPoint(1, 1) : QPoint();

    painter.fillRect(rect(), colours.color(QPalette::Button));
    // The frame in whole device pixels, each line as many as the pixel ratio, so the edge keeps
    // its depth on a scaled screen; the picture 1:1 in its rendering for this ratio.
    painter.save();
    QRect outer = toDevicePixels(painter, rect());
    const int line = std::max(1, qRound(devicePixelRatioF()));
    if (isDefault()) {
        const QColor shadow = colours.color(QPalette::Shadow);
        drawRing(painter, outer, line, shadow, shadow);
        outer.adjust(line, line, -line, -line);
    }
    if (!m_pictureFile.isEmpty()) {
        const QPixmap shown = picture();
        QRect area(QPoint(), shown.size());
        area.moveCenter(outer.center());
        painter.setClipRect(outer.adjusted(2 * line, 2 * line, -2 * line, -2 * line));
        painter.drawPixmap(area.translated(shift * line), shown);
        painter.setClipping(false);
    }
    if (sunken) {
        drawRing(painter, outer, line, colours.color(QPalette::Shadow),
                 colours.color(QPalette::Light));
        drawRing(painter, outer.adjusted(line, line, -line, -line), line,
                 colours.color(QPalette::Dark), colours.color(QPalette::Button));
    } else {
        drawRing(painter, outer, line, colours.color(QPalette::Light),
                 colours.color(QPalette::Shadow));
        drawRing(painter, outer.adjusted(line, line, -line, -line), line,
                 colours.color(QPalette::Button), colours.color(QPalette::Dark));
    }
    painter.restore();

    const QRect logicalFace = rect().adjusted(edgeWidth, edgeWidth, -edgeWidth, -edgeWidth);
    const QRect caption = logicalFace.translated(shift);
    if (isEnabled()) {
        painter.setPen(captionColour());
    } else {
        // Etched: a light copy one pixel down and right beneath the grey caption.
        painter.setPen(colours.color(QPalette::Light));
        drawCaption(painter, caption.translated(1, 1));
        painter.setPen(colours.color(QPalette::Dark));
    }
    drawCaption(painter, caption);

    if (hasFocus()) {
        painter.setPen(QPen(captionColour(), 0, Qt::DotLine));
        painter.setBrush(Qt::NoBrush);
        painter.drawRect(logicalFace.adjusted(1, 1, -2, -2));
    }
}

// The caption in the pen's colour, centred. Captions with parts thinner than three pixels across
// (the bar of "-", the dot of ".") are drawn from their outlines, moved by less than a pixel so
// that those parts fill whole pixels: a bar one pixel thick then darkens one row instead of
// greying two. The face standing in for Comic Sans carries no hinting that would do this.
void PictureButton::drawCaption(QPainter& painter, const QRect& box)
{
    const QString caption = text();
    const QFontMetricsF metrics(font());
    const QTransform toDevice = painter.deviceTransform();
    const qreal ratio = toDevice.m22();
    const QString key = caption + u'\n' + font().key() + u'\n' + QString::number(ratio);
    if (key != m_captionPathKey) {
        // Reading outlines costs; only a caption with a character about that thin needs them. A
        // mnemonic to underline is left to the text engine.
        bool thin = false;
        for (QChar character : caption) {
            const QRectF ink = metrics.boundingRect(character);
            thin |= !ink.isEmpty() && std::min(ink.width(), ink.height()) * ratio <= 4;
        }
        m_captionPath = QPainterPath();
        if (thin && !caption.contains(u'&'))
            m_captionPath.addText(0, 0, font(), caption);
        m_captionParts.clear();
        for (const QPolygonF& part : m_captionPath.toSubpathPolygons())
            m_captionParts.append(part.boundingRect());
        m_captionPathKey = key;
    }

    const QPointF baseline(box.left() + (box.width() - metrics.horizontalAdvance(caption)) / 2,
                           box.top() + (box.height() - metrics.height()) / 2 + metrics.ascent());
    const QPointF origin = toDevice.map(baseline);
    // Each thin part's centre goes onto a pixel's centre if it spans an odd number of pixels,
    // onto a pixel's edge if an even one; the move that misses least overall wins.
    struct Target {
        qreal centre;
        qreal misses(qreal move) const
        {
            const qreal at = centre + move;
            return std::abs(at - std::round(at));
        }
    };
    auto bestMove = [](const QList<Target>& targets) {
        qreal best = 0;
        qreal bestMiss = std::numeric_limits<qreal>::max();
        for (const Target& candidate : targets) {
            const qreal move = std::round(candidate.centre) - candidate.centre;
            qreal miss = 0;
            for (const Target& t : targets)
                miss += t.misses(move);
            if (miss < bestMiss - 1e-6) {
                best = move;
                bestMiss = miss;
            }
        }
        return best;
    };
    QList<Target> across, down;
    for (const QRectF& part : std::as_const(m_captionParts)) {
        const QRectF shown(origin + part.topLeft() * ratio, part.size() * ratio);
        auto target = [](qreal centre, qreal extent) {
            return Target{centre - (qRound(extent) % 2 ? 0.5 : 0.0)};
        };
        if (shown.width() <= 3)
            across.append(target(shown.center().x(), shown.width()));
        if (shown.height() <= 3)
            down.append(target(shown.center().y(), shown.height()));
    }
    if (across.isEmpty() && down.isEmpty()) {
        painter.drawText(box, Qt::AlignCenter | Qt::TextShowMnemonic, caption);
        return;
    }
    const QPointF move(bestMove(across) / ratio, bestMove(down) / ratio);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(baseline + move);
    painter.fillPath(m_captionPath, painter.pen().color());
    painter.restore();
}
