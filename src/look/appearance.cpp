#include "appearance.h"

#include <QAbstractButton>
#include <QApplication>
#include <QEvent>
#include <QFontDatabase>
#include <QHash>
#include <QIconEngine>
#include <QImage>
#include <QLineEdit>
#include <QPainter>
#include <QPalette>
#include <QPixmapCache>
#include <QStyle>
#include <QStyleOption>
#include <QWidget>

#include <algorithm>
#include <cmath>

namespace corvalo {

namespace {

constexpr const char* backProperty = "corvaloBackColour";
constexpr const char* foreProperty = "corvaloForeColour";

QPalette::ColorRole backRole(const QWidget* widget)
{
    if (qobject_cast<const QAbstractButton*>(widget))
        return QPalette::Button;
    if (qobject_cast<const QLineEdit*>(widget))
        return QPalette::Base;
    return QPalette::Window;
}

QPalette::ColorRole foreRole(const QWidget* widget)
{
    if (qobject_cast<const QAbstractButton*>(widget))
        return QPalette::ButtonText;
    if (qobject_cast<const QLineEdit*>(widget))
        return QPalette::Text;
    return QPalette::WindowText;
}

void paintColours(QWidget* widget)
{
    const QPalette desktop = QApplication::palette();
    QPalette palette = widget->palette();
    const QVariant back = widget->property(backProperty);
    const QVariant fore = widget->property(foreProperty);
    if (back.isValid()) {
        const QColor colour = Colour{back.toUInt()}.resolve(desktop);
        for (auto group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
            palette.setColor(group, backRole(widget), colour);
    }
    if (fore.isValid()) {
        const Colour text{fore.toUInt()};
        QColor colour = text.resolve(desktop);
        // A text that follows the desktop on a face the design fixes keeps the desktop's colour
        // only where it stands out from the face; else the colour the design was drawn with.
        if (const Colour face{back.toUInt()}; text.isSystem() && back.isValid() &&
                                              !face.isSystem() &&
                                              contrastRatio(colour, face.resolve(desktop)) < 3)
            colour = text.standardColour();
        for (auto group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, foreRole(widget), colour);
    } else if (back.isValid() && foreRole(widget) == QPalette::ButtonText) {
        // A caption on a fixed face is chosen against that face, so it reads alike under light
        // and dark desktop schemes; on the desktop's own face it takes the desktop's text colour.
        const Colour face{back.toUInt()};
        for (auto group : {QPalette::Active, QPalette::Inactive})
            palette.setColor(group, QPalette::ButtonText,
                             face.isSystem() ? desktop.color(group, QPalette::ButtonText)
                                             : captionColourOn(face.resolve(desktop)));
    }
    widget->setPalette(palette);
}

bool holdsDesktopColour(const QWidget* widget)
{
    for (const char* property : {backProperty, foreProperty}) {
        const QVariant stored = widget->property(property);
        if (stored.isValid() && Colour{stored.toUInt()}.isSystem())
            return true;
    }
    return false;
}

// Re-reads desktop colours when the desktop palette changes. Only the application and the
// top-level windows are told of that change, so it is watched on the application.
class DesktopColourFollower : public QObject {
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::ApplicationPaletteChange && watched == qApp)
            for (QWidget* widget : QApplication::allWidgets())
                if (holdsDesktopColour(widget))
                    paintColours(widget);
        return false;
    }
};

void setColour(QWidget* widget, const char* property, Colour colour)
{
    widget->setProperty(property, QVariant::fromValue(colour.value));
    if (property == backProperty && backRole(widget) == QPalette::Window)
        widget->setAutoFillBackground(true);
    paintColours(widget);
}

Colour readColour(const QWidget* widget, const char* property, QPalette::ColorRole role)
{
    const QVariant stored = widget->property(property);
    if (stored.isValid())
        return Colour{stored.toUInt()};
    const QColor shown = widget->palette().color(role);
    return Colour{
        static_cast<std::uint32_t>(shown.red() | shown.green() << 8 | shown.blue() << 16)};
}

} // namespace

QColor Colour::resolve(const QPalette& desktop) const
{
    if (!isSystem())
        return QColor(value & 0xFF, (value >> 8) & 0xFF, (value >> 16) & 0xFF);
    switch (value & 0xFF) {
    case 0x05:
        return desktop.color(QPalette::Base);
    case 0x07:
        return desktop.color(QPalette::WindowText);
    case 0x09:
    case 0x0E:
        return desktop.color(QPalette::HighlightedText);
    case 0x0F:
        return desktop.color(QPalette::Button);
    default:
        return desktop.color(QPalette::Window);
    }
}

QColor Colour::standardColour() const
{
    if (!isSystem())
        return resolve(QPalette());
    switch (value & 0xFF) {
    case 0x05:
    case 0x09:
    case 0x0E:
        return Qt::white;
    case 0x07:
        return Qt::black;
    default:
        return QColor(0xC0, 0xC0, 0xC0);
    }
}

void setBackColour(QWidget* widget, Colour colour)
{
    setColour(widget, backProperty, colour);
}
void setForeColour(QWidget* widget, Colour colour)
{
    setColour(widget, foreProperty, colour);
}
Colour backColour(const QWidget* widget)
{
    return readColour(widget, backProperty, backRole(widget));
}
Colour foreColour(const QWidget* widget)
{
    return readColour(widget, foreProperty, foreRole(widget));
}

void followDesktopColours()
{
    auto* watcher = new DesktopColourFollower;
    watcher->setParent(qApp); // freed with the application, not leaked at exit
    qApp->installEventFilter(watcher);
}

void installFontSubstitutes()
{
    QFont::insertSubstitution(QStringLiteral("Comic Sans MS"), QStringLiteral("Comic Neue"));
    QFont::insertSubstitution(QStringLiteral("MS Sans Serif"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Arial"), QStringLiteral("Liberation Sans"));
    QFont::insertSubstitution(QStringLiteral("Roman"), QStringLiteral("Liberation Serif"));
    // Modern is a narrow stroke face; the narrow sans keeps its captions within their boxes.
    QFont::insertSubstitution(QStringLiteral("Modern"), QStringLiteral("Liberation Sans Narrow"));
}

// A face the desktop lacks sends Qt through fontconfig's whole fallback search, for every size
// and style, before it tries the look-alike: a sixth of start-up. The look-alike is asked for at
// once instead; a desktop that has the named face keeps it. The installed faces are listed once,
// since QFontDatabase::hasFamily() asks fontconfig anew on every call.
namespace {
QString installedFace(const QString& family)
{
    static const QStringList installed = QFontDatabase::families();
    return installed.contains(family, Qt::CaseInsensitive) ? family : QFont::substitute(family);
}
} // namespace

QFont layoutFont(const QString& family, double points, bool bold, bool italic)
{
    QFont font(installedFace(family));
    font.setPixelSize(static_cast<int>(std::lround(points * 96.0 / 72.0)));
    font.setWeight(bold ? QFont::Bold : QFont::Normal);
    font.setItalic(italic);
    return font;
}

QFont defaultLayoutFont()
{
    return layoutFont(QStringLiteral("MS Sans Serif"), 8.25);
}

double contrastRatio(const QColor& one, const QColor& other)
{
    // Relative luminance of sRGB colours, as the web's accessibility guidelines define it.
    auto luminance = [](const QColor& colour) {
        auto linear = [](float v) {
            return v <= 0.04045f ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) +
               0.0722 * linear(colour.blueF());
    };
    const double first = luminance(one);
    const double second = luminance(other);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

QColor captionColourOn(const QColor& face)
{
    return contrastRatio(Qt::black, face) >= 3 ? QColor(Qt::black) : QColor(Qt::white);
}

QIcon windowIcon()
{
    // Building the icon decodes the file, so every window shares one; it goes with the
    // application, as pixmaps must.
    static QIcon icon;
    if (icon.isNull()) {
        icon = QIcon(QStringLiteral(":/pictures/icon.ico"));
        qAddPostRoutine([] { icon = QIcon(); });
    }
    return icon;
}

namespace {

// The file each picture handed out was drawn from, by the pixmap's key, which its copies share.
QHash<qint64, QString>& pictureNames()
{
    static QHash<qint64, QString> names;
    return names;
}

QPixmap named(const QPixmap& pixmap, const QString& fileName)
{
    pictureNames().insert(pixmap.cacheKey(), fileName);
    return pixmap;
}

} // namespace

QString pictureName(const QPixmap& pixmap)
{
    return pictureNames().value(pixmap.cacheKey());
}

QPixmap picture(const QString& fileName, qreal ratio)
{
    const QString path = QStringLiteral(":/pictures/") + fileName;
    ratio = std::round(ratio * 100) / 100; // a computed 1.2500001 is 1.25
    QPixmap pixmap;
    if (ratio <= 1) {
        if (!QPixmapCache::find(path, &pixmap)) {
            pixmap.load(path);
            QPixmapCache::insert(path, pixmap);
        }
        return named(pixmap, fileName);
    }
    const QString key = path + QStringLiteral("@%1").arg(ratio);
    if (QPixmapCache::find(key, &pixmap))
        return named(pixmap, fileName);

    const int drawnFor = ratio <= 2 ? 2 : 3;
    const QString stem = path.section(u'.', 0, -2) +
                         QStringLiteral("@%1x.").arg(drawnFor); // ":/pictures/winter@2x."
    QImage image(stem + QStringLiteral("png"));
    if (image.isNull())
        image.load(stem + QStringLiteral("jpg"));
    QSize size;
    if (image.isNull()) { // no rendering for this ratio: the picture itself, enlarged
        image = picture(fileName).toImage();
        size = image.size() * ratio;
    } else {
        size = image.size() * (ratio / drawnFor);
    }
    if (image.size() != size) // Qt 6.4's smooth scaling crashes on palette images: convert first
        image = image
                    .convertToFormat(image.hasAlphaChannel() ? QImage::Format_ARGB32_Premultiplied
                                                             : QImage::Format_RGB32)
                    .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.setDevicePixelRatio(ratio);
    pixmap = QPixmap::fromImage(std::move(image));
    QPixmapCache::insert(key, pixmap);
    return named(pixmap, fileName);
}

namespace {

// Only the rendering asked for is decoded, when it is first painted.
class PictureIconEngine : public QIconEngine {
public:
    explicit PictureIconEngine(QString fileName) : m_fileName(std::move(fileName)) {}

    // In Qt 6.4 both sizes are in device pixels; the picture brings its own size.
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return scaledPixmap(size, mode, state, 1);
    }
    QPixmap scaledPixmap(const QSize&, QIcon::Mode mode, QIcon::State, qreal scale) override
    {
        const QPixmap shown = picture(m_fileName, scale);
        if (mode == QIcon::Normal || mode == QIcon::Active)
            return shown;
        QStyleOption option;
        option.palette = QGuiApplication::palette();
        return QApplication::style()->generatedIconPixmap(mode, shown, &option);
    }
    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        const qreal ratio = painter->device()->devicePixelRatioF();
        painter->drawPixmap(rect, scaledPixmap(rect.size() * ratio, mode, state, ratio));
    }
    QIconEngine* clone() const override { return new PictureIconEngine(m_fileName); }

private:
    QString m_fileName;
};

} // namespace

QIcon pictureIcon(const QString& fileName)
{
    return QIcon(new PictureIconEngine(fileName));
}

} // namespace corvalo
