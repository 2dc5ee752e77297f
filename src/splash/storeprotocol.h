#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The store window runs in a program of its own (corvalo-store), which the calculator starts and
// talks to over the program's standard input and output, one line per message:
//   calculator -> store:  "show URL"    show the window, bring it to the front, load URL
//                         "close"       close the window, as its close box does
//   store -> calculator:  "opened ID"   the window is on the screen (ID: its native window)
//                         "closed"      the user closed the window; the program ends
//                         "failed WHY"  a request could not be carried out
// A closed pipe ends the store program.
namespace corvalo::storeprotocol {

// Longer lines, newline included, are refused rather than gathered without end.
inline constexpr qsizetype maxLineLength = 16 * 1024;

struct Message {
    enum Kind { Show, Close, Opened, Closed, Failed };
    Kind kind;
    QUrl url;           // Show
    quint64 window = 0; // Opened
    QString reason;     // Failed
};

QByteArray encode(const Message& message);

// Cuts what arrives on a pipe into messages, whatever pieces it comes in.
class Reader {
public:
    // The messages completed by these bytes; on a line that is too long or not understood, stops
    // and sets *why, after which the stream is not to be trusted.
    QList<Message> feed(const QByteArray& bytes, QString* why);

private:
    QByteArray m_pending;
};

std::optional<Message> decode(const QByteArray& line, QString* why);

} // namespace corvalo::storeprotocol
