#include "soundfiles.h"

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QtEndian>

#include <cmath>
#include <numbers>

namespace soundfiles {

namespace {

void put16(QByteArray& out, quint16 v)
{
    const quint16 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 2);
}
void put32(QByteArray& out, quint32 v)
{
    const quint32 le = qToLittleEndian(v);
    out.append(reinterpret_cast<const char*>(&le), 4);
}
void put32be(QByteArray& out, quint32 v)
{
    const quint32 be = qToBigEndian(v);
    out.append(reinterpret_cast<const char*>(&be), 4);
}

} // namespace

bool writeBytes(const QString& path, const QByteArray& data)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(data) == data.size();
}

bool writeWav(const QString& path, int ms)
{
    constexpr int rate = 8000;
    const int samples = rate * ms / 1000;
    QByteArray pcm;
    for (int i = 0; i < samples; ++i)
        put16(pcm, quint16(qint16(8000 * std::sin(2 * std::numbers::pi * 440 * i / rate))));
    QByteArray wav = "RIFF";
    put32(wav, quint32(36 + pcm.size()));
    wav += "WAVEfmt ";
    put32(wav, 16);
    put16(wav, 1); // PCM
    put16(wav, 1); // mono
    put32(wav, rate);
    put32(wav, rate * 2);
    put16(wav, 2);
    put16(wav, 16);
    wav += "data";
    put32(wav, quint32(pcm.size()));
    return writeBytes(path, wav + pcm);
}

bool writeMidi(const QString& path, int notes, bool riff)
{
    // Format 0, 480 ticks a quarter note at the default 120 beats a minute: 240 ticks = 0.25 s.
    QByteArray track;
    track += QByteArray::fromHex("00C000"); // piano
    for (int i = 0; i < notes; ++i) {
        const char note = char(60 + (i * 4) % 24);
        track += '\0';
        track += char(0x90);
        track += note;
        track += char(100);
        track += QByteArray::fromHex("8170"); // 240 ticks
        track += char(0x80);
        track += note;
        track += '\0';
    }
    track += QByteArray::fromHex("00FF2F00");
    QByteArray smf = "MThd";
    put32be(smf, 6);
    smf += QByteArray::fromHex("0000000101E0");
    smf += "MTrk";
    put32be(smf, quint32(track.size()));
    smf += track;
    if (!riff)
        return writeBytes(path, smf);
    QByteArray chunk = "data";
    put32(chunk, quint32(smf.size()));
    chunk += smf;
    if (chunk.size() % 2)
        chunk += '\0';
    QByteArray rmi = "RIFF";
    put32(rmi, quint32(4 + chunk.size()));
    return writeBytes(path, rmi + "RMID" + chunk);
}

bool encodeTone(const QString& path, int ms, const QStringList& encoder)
{
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("gst-launch-1.0"));
    if (tool.isEmpty())
        return false;
    // 441 samples a buffer at 44.1 kHz: one buffer is 10 ms.
    QStringList args = {"-q",
                        "audiotestsrc",
                        QStringLiteral("num-buffers=%1").arg(ms / 10),
                        "samplesperbuffer=441",
                        "!",
                        "audioconvert",
                        "!"};
    args += encoder;
    args += {"!", "filesink", "location=" + path};
    return QProcess::execute(tool, args) == 0 && QFile(path).size() > 0;
}

} // namespace soundfiles
