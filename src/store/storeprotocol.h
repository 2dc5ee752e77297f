#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The store window runs in a program of its own (corvalo-store FOLDER), which the calculator
// starts with a private folder for its home and talks to over two pipes: the program's standard
// input, and the descriptor that was its standard output when it started (the program points its
// standard output elsewhere at once, so nothing it loads can write into the channel). One line per
// message:
//   calculator -> store:  "show URL"    show the window, leaving the keyboard where it is, and
//                                       load URL
//                         "front"       bring the window to the front and give it the keyboard
//                         "close"       close the window, as its close box does
//   store -> calculator:  "opened"      the window is on the screen
//                         "closed"      the user closed the window; the program ends
//                         "failed WHY"  a request could not be carried out
// A closed input ends the store program, which removes its folder as it goes.
namespace corvalo::storeprotocol {

// The store program's private folder is named so, followed by a few letters; nothing else is
// taken for one, since it is removed when the program ends.
inline constexpr char folderPrefix[] = "corvalo-store-";

// Longer lines, newline included, are refused rather than gathered without end.
inline constexpr qsizetype maxLineLength = 16 * 1024;

struct Message {
    enum Kind { Show, Front, Close, Opened, Closed, Failed };
    Kind kind;
    QUrl url;       // Show
    QString reason; // Failed
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
