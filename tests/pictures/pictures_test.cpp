// Reads every committed picture the way the program does (QImageReader) and checks what the
// windows were drawn for: kind, size, depth, palette, frames, looping and density.
#include <QFile>
#include <QImage>
#include <QImageReader>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <functional>

using Damage = std::function<QByteArray(const QByteArray&)>;
Q_DECLARE_METATYPE(Damage)

namespace {

struct Expected {
    const char* file;
    const char* format;
    QSize size;
    int depth;          // of the decoded first image
    int colours;        // colour table entries; 0 for true colour
    int minDistinct;    // a blank or one-colour picture is a broken render
    int dpi;            // 0: not checked
    int frames;         // images in the file
    int loops;          // QImageReader::loopCount(); -1 loops forever
    QList<QSize> sizes; // every image of a multi-image file, in order
};

// The window icon: the 256-colour 32 x 32 picture first, then the larger ones for high-DPI.
const QList<QSize> iconSizes = {{32, 32}, {48, 48}, {64, 64}, {128, 128}, {256, 256}};

const QList<Expected> expectedPictures = {
    {"icon.ico", "ico", {32, 32}, 32, 0, 16, 0, 5, 0, iconSizes},
    {"village.jpg", "jpeg", {200, 195}, 32, 0, 64, 300, 1, 0, {}},
    {"starsky.jpg", "jpeg", {146, 140}, 32, 0, 64, 0, 1, 0, {}},
    {"tree.gif", "gif", {100, 100}, 32, 0, 16, 0, 2, -1, {}},
    {"snowflakes.bmp", "bmp", {200, 200}, 8, 256, 16, 72, 1, 0, {}},
    {"winter.bmp", "bmp", {300, 200}, 32, 0, 64, 72, 1, 0, {}},
    {"santa.bmp", "bmp", {218, 221}, 32, 0, 64, 72, 1, 0, {}},
    {"halloween.bmp", "bmp", {320, 320}, 32, 0, 64, 72, 1, 0, {}},
};

int distinctColours(const QImage& image)
{
    // Counted on the stored values, so a palette index past the table is still just a value.
    const QImage plain = image.depth() == 8 ? image : image.convertToFormat(QImage::Format_ARGB32);
    QSet<uint> seen;
    for (int y = 0; y < plain.height(); ++y)
        for (int x = 0; x < plain.width(); ++x)
            seen.insert(plain.depth() == 8
                            ? plain.constScanLine(y)[x]
                            : reinterpret_cast<const QRgb*>(plain.constScanLine(y))[x]);
    return int(seen.size());
}

QStringList problems(const QString& path, const Expected& want)
{
    QStringList found;
    auto expect = [&found](bool ok, const QString& what) {
        if (!ok)
            found << what;
    };
    QImageReader reader(path);
    reader.setDecideFormatFromContent(true);
    expect(reader.format() == want.format,
           QStringLiteral("format %1, expected %2").arg(reader.format(), want.format));
    const int frames = reader.imageCount();
    expect(frames == want.frames,
           QStringLiteral("%1 images, expected %2").arg(frames).arg(want.frames));
    expect(reader.loopCount() == want.loops,
           QStringLiteral("loop count %1").arg(reader.loopCount()));
    const QImage image = reader.read();
    if (image.isNull())
        return found << QStringLiteral("unreadable: ") + reader.errorString();
    expect(image.size() == want.size,
           QStringLiteral("%1x%2").arg(image.width()).arg(image.height()));
    expect(image.depth() == want.depth, QStringLiteral("depth %1").arg(image.depth()));
    expect(image.colorCount() == want.colours,
           QStringLiteral("%1 palette entries").arg(image.colorCount()));
    const int distinct = distinctColours(image);
    expect(distinct >= want.minDistinct, QStringLiteral("looks blank (%1 colours)").arg(distinct));
    if (want.dpi) {
        const int dpi = qRound(image.dotsPerMeterX() * 0.0254);
        expect(dpi == want.dpi, QStringLiteral("%1 dpi").arg(dpi));
    }
    if (!want.sizes.isEmpty()) {
        QList<QSize> sizes{image.size()};
        while (reader.jumpToNextImage()) {
            const QImage next = reader.read();
            expect(next.hasAlphaChannel() && distinctColours(next) >= want.minDistinct,
                   QStringLiteral("image %1 blank or opaque").arg(sizes.size()));
            sizes << next.size();
        }
        expect(sizes == want.sizes, QStringLiteral("%1 image sizes").arg(sizes.size()));
    }
    return found;
}

const Expected& expectedFor(const QString& file)
{
    for (const Expected& e : expectedPictures)
        if (file == QLatin1String(e.file))
            return e;
    qFatal("no expectation for %s", qPrintable(file));
}

QByteArray patched(QByteArray data, qsizetype at, const QByteArray& bytes)
{
    return data.replace(at, bytes.size(), bytes);
}

} // namespace

class PicturesTest : public QObject {
    Q_OBJECT
private slots:
    void readAsDrawn_data()
    {
        QTest::addColumn<QString>("file");
        for (const Expected& e : expectedPictures)
            QTest::newRow(e.file) << QString::fromLatin1(e.file);
    }
    void readAsDrawn()
    {
        QFETCH(QString, file);
        const QStringList found =
            problems(QStringLiteral(CORVALO_PICTURES_DIR "/") + file, expectedFor(file));
        QVERIFY2(found.isEmpty(), qPrintable(found.join(QStringLiteral("; "))));
    }

    // The reader check must notice each of these faults in a damaged copy.
    void damageIsCaught_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<Damage>("damage");
        QTest::newRow("icon without its larger sizes")
            << "icon.ico" << Damage([](const QByteArray& d) { return patched(d, 4, "\1\0"); });
        QTest::newRow("icon cut after its 32 x 32 entry")
            << "icon.ico" << Damage([](const QByteArray& d) { return d.left(6 + 5 * 16 + 2216); });
        QTest::newRow("village at 72 dpi") << "village.jpg" << Damage([](const QByteArray& d) {
            return patched(d, d.indexOf("JFIF") + 8, QByteArray("\0\x48\0\x48", 4));
        });
        QTest::newRow("starsky one row taller") << "starsky.jpg" << Damage([](const QByteArray& d) {
            return patched(d, d.indexOf("\xff\xc0") + 5, QByteArray("\0\x8d", 2));
        });
        QTest::newRow("tree loops once") << "tree.gif" << Damage([](const QByteArray& d) {
            return patched(d, d.indexOf("NETSCAPE2.0") + 13, QByteArray("\1\0", 2));
        });
        QTest::newRow("tree with one frame") << "tree.gif" << Damage([](const QByteArray& d) {
            return d.left(d.indexOf("\x21\xf9", d.indexOf('\x2c', 13 + 768))) + '\x3b';
        });
        QTest::newRow("snowflakes with 128 colours")
            << "snowflakes.bmp" << Damage([](const QByteArray& d) {
                   return patched(d, 14 + 32, QByteArray("\x80\0\0\0", 4));
               });
        QTest::newRow("winter one row short") << "winter.bmp" << Damage([](const QByteArray& d) {
            return patched(d, 14 + 8, QByteArray("\xc7\0\0\0", 4));
        });
        QTest::newRow("halloween blank") << "halloween.bmp" << Damage([](const QByteArray& d) {
            return d.left(54) + QByteArray(d.size() - 54, '\xff');
        });
    }
    void damageIsCaught()
    {
        QFETCH(QString, file);
        QFETCH(Damage, damage);
        QFile original(QStringLiteral(CORVALO_PICTURES_DIR "/") + file);
        QVERIFY(original.open(QIODevice::ReadOnly));
        QTemporaryDir dir;
        QFile copy(dir.filePath(file));
        QVERIFY(copy.open(QIODevice::WriteOnly));
        copy.write(damage(original.readAll()));
        copy.close();
        QVERIFY(!problems(copy.fileName(), expectedFor(file)).isEmpty());
    }
};

QTEST_GUILESS_MAIN(PicturesTest)
#include "pictures_test.moc"
