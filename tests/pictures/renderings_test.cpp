// The pictures as drawn for each pixel ratio, and the captions of the graphical buttons, through
// the program's own classes, off screen.
#include "look/appearance.h"
#include "look/picturebutton.h"
#include "music/musicmanager.h"
#include "skins/skincatalogue.h"
#include "testsupport.h"
#include "windows/aboutbox.h"
#include "windows/keypad.h"

#include <QApplication>
#include <QDir>
#include <QImageReader>
#include <QStyle>
#include <QTest>

#include <memory>

namespace {

// The share of pixels where two same-sized pictures differ by more than 8 grey or alpha levels.
double differing(const QImage& one, const QImage& other)
{
    const QImage a = one.convertToFormat(QImage::Format_ARGB32);
    const QImage b = other.convertToFormat(QImage::Format_ARGB32);
    int count = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            count += std::max(std::abs(qGray(p) - qGray(q)), std::abs(qAlpha(p) - qAlpha(q))) > 8;
        }
    return count / (double(a.width()) * a.height());
}

// A Plasma-like dark scheme.
QPalette darkPalette()
{
    QPalette dark(QColor(49, 54, 59), QColor(42, 46, 50));
    for (auto role : {QPalette::WindowText, QPalette::ButtonText, QPalette::Text})
        dark.setColor(role, QColor(239, 240, 241));
    dark.setColor(QPalette::Base, QColor(27, 30, 32));
    return dark;
}

// How far each pixel of a caption is from its face towards the caption colour, 0 to 1.
QList<double> rowInk(PictureButton& button)
{
    const QImage shown = button.grab().toImage();
    const double face = qGray(button.palette().color(QPalette::Button).rgb());
    const double text = qGray(button.captionColour().rgb());
    QList<double> rows;
    for (int y = 0; y < shown.height(); ++y) {
        double row = 0;
        for (int x = 4; x < shown.width() - 4; ++x)
            row = std::max(row, (face - qGray(shown.pixel(x, y))) / (face - text));
        rows.append(y < 4 || y >= shown.height() - 4 ? 0 : row); // not the edge
    }
    return rows;
}

std::unique_ptr<PictureButton> key(const char* caption)
{
    for (const corvalo::KeyDesign& d : corvalo::keypad)
        if (QLatin1String(d.caption) == QLatin1String(caption)) {
            auto button = std::make_unique<PictureButton>(QString::fromLatin1(caption));
            button->resize(corvalo::twips(d.width), corvalo::twips(d.height));
            button->setFont(corvalo::layoutFont(QStringLiteral("Comic Sans MS"), d.points, d.bold));
            return button;
        }
    return nullptr;
}

} // namespace

class RenderingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::prepareApplication(); }

    // Every embedded picture, at every ratio, has the device size that ratio asks for; at 2 and 3
    // it is a rendering of its own, which also serves the ratios between. The player's icons and
    // the window icon give the same through QIcon, greyed when disabled.
    void pictureForRatio_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qreal>("ratio");
        for (const QString& file : QDir(QStringLiteral(":/pictures")).entryList(QDir::Files))
            if (!file.contains(u'@'))
                for (qreal ratio : {1.0, 1.25, 1.5, 2.0, 3.0})
                    QTest::addRow("%s at %g", qPrintable(file), ratio) << file << ratio;
    }
    void pictureForRatio()
    {
        QFETCH(QString, file);
        QFETCH(qreal, ratio);
        QImageReader reader(QStringLiteral(":/pictures/") + file);
        const QSize own = reader.size();
        QVERIFY(own.isValid());
        const bool isIcon = file.endsWith(QLatin1String(".ico")) || file.startsWith("player-");
        const QIcon icon = file.endsWith(QLatin1String(".ico")) ? corvalo::windowIcon()
                                                                : corvalo::pictureIcon(file);
        const QPixmap shown = isIcon ? icon.pixmap(own, ratio) : corvalo::picture(file, ratio);
        QCOMPARE(shown.size(), own * ratio);
        QCOMPARE(shown.devicePixelRatio(), ratio);
        if (isIcon) {
            const QImage disabled = icon.pixmap(own, ratio, QIcon::Disabled).toImage();
            QCOMPARE(disabled.size(), own * ratio);
            QVERIFY(disabled != shown.toImage());
        }
        if (ratio >= 2) { // a rendering of its own, not the picture itself enlarged
            const QImage enlarged =
                reader.read().scaled(own * ratio, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
            QVERIFY(differing(shown.toImage(), enlarged) > 0.01);
        }
    }

    // A caption on a fixed face reads under a light and a dark desktop scheme alike: where it is
    // drawn it stands out from the face beneath by 3:1 or more.
    void captionReads_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dark");
        for (bool dark : {false, true}) {
            const char* scheme = dark ? "dark" : "light";
            for (const char* caption : {"OK", "Browse", "Play"})
                QTest::addRow("%s, %s", caption, scheme) << QString::fromLatin1(caption) << dark;
            for (const corvalo::Skin& skin : corvalo::skinCatalogue())
                if (!skin.keyColour.isSystem())
                    QTest::addRow("%s key, %s", skin.caption, scheme)
                        << QString::fromLatin1(skin.caption) << dark;
        }
    }
    void captionReads()
    {
        QFETCH(QString, name);
        QFETCH(bool, dark);
        QApplication::setPalette(dark ? darkPalette() : QApplication::style()->standardPalette());
        FrmAbout about;
        frmmusic music;
        auto button = key("5");
        PictureButton* shown = name == "OK"       ? about.findChild<PictureButton*>("cmdOK")
                               : name == "Browse" ? music.findChild<PictureButton*>("cmdBrowse")
                               : name == "Play"   ? music.findChild<PictureButton*>("CmdPlay")
                                                  : button.get();
        for (const corvalo::Skin& skin : corvalo::skinCatalogue())
            if (name == QLatin1String(skin.caption))
                corvalo::setBackColour(button.get(), skin.keyColour);
        QVERIFY(shown);

        const QImage withCaption = shown->grab().toImage();
        const QString text = shown->text();
        shown->setText(QString());
        const QImage face = shown->grab().toImage();
        shown->setText(text);
        // The face: its mean colour around the caption.
        QRect ink;
        for (int y = 0; y < face.height(); ++y)
            for (int x = 0; x < face.width(); ++x)
                if (withCaption.pixel(x, y) != face.pixel(x, y))
                    ink |= QRect(x, y, 1, 1);
        QVERIFY(!ink.isEmpty());
        double sum[3] = {};
        for (int y = ink.top(); y <= ink.bottom(); ++y)
            for (int x = ink.left(); x <= ink.right(); ++x) {
                const QColor c = face.pixelColor(x, y);
                sum[0] += c.redF(), sum[1] += c.greenF(), sum[2] += c.blueF();
            }
        const double count = double(ink.width()) * ink.height();
        const QColor mean = QColor::fromRgbF(sum[0] / count, sum[1] / count, sum[2] / count);
        // The caption's colour: where drawing it changed the face most.
        QColor caption;
        int most = 0;
        for (int y = ink.top(); y <= ink.bottom(); ++y)
            for (int x = ink.left(); x <= ink.right(); ++x) {
                const QRgb p = withCaption.pixel(x, y);
                const QRgb q = face.pixel(x, y);
                const int change = std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                                   std::abs(qBlue(p) - qBlue(q));
                if (change > most)
                    most = change, caption = QColor(p);
            }
        const double best = corvalo::contrastRatio(caption, mean);
        QVERIFY2(best >= 3, qPrintable(QStringLiteral("contrast %1").arg(best)));
    }

    // The thin captions fill whole rows of pixels, as dark as the "+" caption's darkest pixel:
    // no row is left half inked.
    void thinCaptionsOnWholePixels_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("minus") << "-";
        QTest::newRow("decimal point") << ".";
    }
    void thinCaptionsOnWholePixels()
    {
        QFETCH(QString, caption);
        QApplication::setPalette(QApplication::style()->standardPalette());
        auto thin = key(qPrintable(caption));
        auto plus = key("+");
        const QList<double> rows = rowInk(*thin);
        const QList<double> plusRows = rowInk(*plus);
        const double darkest = *std::max_element(rows.begin(), rows.end());
        QVERIFY2(darkest >= *std::max_element(plusRows.begin(), plusRows.end()) - 0.05,
                 qPrintable(QStringLiteral("darkest %1").arg(darkest)));
        for (double row : rows)
            QVERIFY2(row < 0.3 || row > 0.8, qPrintable(QStringLiteral("a row %1 inked").arg(row)));
    }

    // The key's raised edge is as many device pixels thick as the screen's ratio, rounded.
    void edgeFollowsRatio()
    {
        auto five = key("5");
        const QImage shown = five->grab().toImage();
        const QColor light = five->palette().color(QPalette::Light);
        int thickness = 0;
        while (shown.pixelColor(shown.width() / 2, thickness) == light)
            ++thickness;
        QCOMPARE(thickness, std::max(1, qRound(five->devicePixelRatioF())));
    }
};

QTEST_MAIN(RenderingsTest)
#include "renderings_test.moc"
