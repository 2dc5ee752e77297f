// Pictures for each pixel ratio and the graphical buttons' captions, drawn by the program's
// classes.
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

namespace {

// A key as the main window's table draws it, with no colour of its own.
std::unique_ptr<PictureButton> key(const QString& caption)
{
    const auto& d =
        corvalo::keypad[corvalo::keypadRow(*corvalo::keyWithCaption(caption.toStdString()))];
    auto button = std::make_unique<PictureButton>(caption);
    button->resize(corvalo::twips(d.width), corvalo::twips(d.height));
    button->setFont(corvalo::layoutFont(QStringLiteral("Comic Sans MS"), d.points, d.bold));
    return button;
}

// Per row of a key inside its edge: its darkest pixel's way from the face to the caption, 0 to 1.
QList<double> rowInk(PictureButton& button)
{
    const QImage shown = button.grab().toImage().convertToFormat(QImage::Format_Grayscale8);
    const double face = qGray(button.palette().color(QPalette::Button).rgb());
    const double text = qGray(button.captionColour().rgb());
    QList<double> rows;
    for (int y = 4; y < shown.height() - 4; ++y) {
        const uchar* line = shown.constScanLine(y);
        rows.append((face - *std::min_element(line + 4, line + shown.width() - 4)) / (face - text));
    }
    return rows;
}

} // namespace

class RenderingsTest : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { testsupport::prepareApplication(); }
    void init() { QApplication::setPalette(QApplication::style()->standardPalette()); }

    // Each picture has the device size the ratio asks for: at 1 the file itself, at 2 and 3 a
    // rendering of its own, not the file enlarged. Icons give the same, and greyed when disabled.
    void pictureForRatio_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<qreal>("ratio");
        for (const QString& file : QDir(QStringLiteral(":/pictures")).entryList(QDir::Files))
            for (qreal ratio : {1.0, 1.25, 1.5, 2.0, 3.0})
                if (!file.contains(u'@'))
                    QTest::addRow("%s at %g", qPrintable(file), ratio) << file << ratio;
    }
    void pictureForRatio()
    {
        QFETCH(QString, file);
        QFETCH(qreal, ratio);
        QImageReader reader(QStringLiteral(":/pictures/") + file);
        const QSize own = reader.size();
        const bool isIcon = file.endsWith(QLatin1String(".ico")) || file.startsWith("player-");
        const QIcon icon = file.endsWith(QLatin1String(".ico")) ? corvalo::windowIcon()
                                                                : corvalo::pictureIcon(file);
        const QPixmap shown = isIcon ? icon.pixmap(own, ratio) : corvalo::picture(file, ratio);
        QCOMPARE(shown.size(), own * ratio);
        QCOMPARE(shown.devicePixelRatio(), ratio);
        if (isIcon)
            QVERIFY(icon.pixmap(own, ratio, QIcon::Disabled).toImage() != shown.toImage());
        const QImage drawn = shown.toImage().convertToFormat(QImage::Format_ARGB32);
        const QImage file1x = reader.read().convertToFormat(QImage::Format_ARGB32);
        const QImage enlarged =
            file1x.scaled(drawn.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        auto level = [](QRgb p) { return qGray(p) + qAlpha(p); };
        int differing = 0; // by more than a trace
        for (int y = 0; y < drawn.height(); ++y)
            for (int x = 0; x < drawn.width(); ++x)
                differing += std::abs(level(drawn.pixel(x, y)) - level(enlarged.pixel(x, y))) > 16;
        QVERIFY(ratio != 1 || differing == 0);
        QVERIFY(ratio < 2 || differing > drawn.width() * drawn.height() / 100);
    }

    // "OK", "Browse", "Play" and keys in a skin's colour stand out 3:1 in light and dark schemes.
    void captionReads_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("dark");
        QStringList names{"OK", "Browse", "Play"};
        for (const corvalo::Skin& skin : corvalo::skinCatalogue())
            if (!skin.keyColour.isSystem())
                names.append(QString::fromLatin1(skin.caption));
        for (bool dark : {false, true})
            for (const QString& name : names)
                QTest::addRow("%s, %s", qPrintable(name), dark ? "dark" : "light") << name << dark;
    }
    void captionReads()
    {
        QFETCH(QString, name);
        QFETCH(bool, dark);
        if (dark) // as Plasma's
            QApplication::setPalette(QPalette(QColor(239, 240, 241), QColor(49, 54, 59)));
        FrmAbout about;
        frmmusic music;
        auto five = key(QStringLiteral("5"));
        PictureButton* shown = five.get();
        for (const corvalo::Skin& skin : corvalo::skinCatalogue())
            if (name == QLatin1String(skin.caption))
                corvalo::setBackColour(shown, skin.keyColour);
        for (auto* own :
             about.findChildren<PictureButton*>() + music.findChildren<PictureButton*>())
            if (own->text() == name)
                shown = own;

        // The face's colour: its mean inside the edge, drawn without the caption.
        shown->setText(QString());
        const QColor mean = shown->grab(shown->rect().adjusted(4, 4, -4, -4))
                                .toImage()
                                .scaled(1, 1, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)
                                .pixelColor(0, 0);
        const double contrast = corvalo::contrastRatio(shown->captionColour(), mean);
        QVERIFY2(contrast >= 3, qPrintable(QStringLiteral("contrast %1").arg(contrast)));
    }

    // "-" and "." fill whole rows, none half inked, as dark as "+"; the edge is ratio pixels thick.
    void keysCrisp_data()
    {
        QTest::addColumn<QString>("caption");
        QTest::newRow("minus") << "-";
        QTest::newRow("decimal point") << ".";
    }
    void keysCrisp()
    {
        QFETCH(QString, caption);
        auto thin = key(caption);
        const QList<double> rows = rowInk(*thin), plus = rowInk(*key(QStringLiteral("+")));
        QVERIFY(*std::max_element(rows.begin(), rows.end()) >=
                *std::max_element(plus.begin(), plus.end()) - 0.05);
        for (double row : rows)
            QVERIFY2(row < 0.3 || row > 0.8, qPrintable(QStringLiteral("a row %1 inked").arg(row)));

        const QImage shown = thin->grab().toImage();
        int edge = 0;
        while (shown.pixelColor(shown.width() / 2, edge) == thin->palette().color(QPalette::Light))
            ++edge;
        QCOMPARE(edge, std::max(1, qRound(thin->devicePixelRatioF())));
    }
};

QTEST_MAIN(RenderingsTest)
#include "renderings_test.moc"
