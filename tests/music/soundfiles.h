#pragma once

#include <QString>

// Small sound files made at test time.
namespace soundfiles {

// A 16-bit mono tone.
bool writeWav(const QString& path, int ms);
// A General MIDI melody of quarter-second notes; as a RIFF "RMID" file when riff is set.
bool writeMidi(const QString& path, int notes, bool riff = false);
// A tone of about ms milliseconds encoded by GStreamer's command-line tool with the given
// encoder (and muxer) elements, e.g. {"lamemp3enc"} or {"avenc_wmav2", "!", "asfmux"}.
bool encodeTone(const QString& path, int ms, const QStringList& encoder);
bool writeBytes(const QString& path, const QByteArray& data);

} // namespace soundfiles
