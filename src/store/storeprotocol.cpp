#include "storeprotocol.h"

namespace corvalo::storeprotocol {

namespace {

constexpr char showWord[] = "show";
constexpr char frontWord[] = "front";
constexpr char closeWord[] = "close";
constexpr char openedWord[] = "opened";
constexpr char closedWord[] = "closed";
constexpr char failedWord[] = "failed";

// What a bad line looked like, short and printable, for the message that refuses it.
QString quoted(const QByteArray& line)
{
    QString shown = QString::fromUtf8(line.left(60));
    for (QChar& c : shown)
        if (!c.isPrint())
            c = QLatin1Char('?');
    return QLatin1Char('"') + shown +
           (line.size() > 60 ? QStringLiteral("...\"") : QStringLiteral("\""));
}

} // namespace

QByteArray encode(const Message& message)
{
    switch (message.kind) {
    case Message::Show:
        return QByteArray(showWord) + ' ' + message.url.toEncoded() + '\n';
    case Message::Front:
        return QByteArray(frontWord) + '\n';
    case Message::Close:
        return QByteArray(closeWord) + '\n';
    case Message::Opened:
        return QByteArray(openedWord) + '\n';
    case Message::Closed:
        return QByteArray(closedWord) + '\n';
    case Message::Failed:
        // One line, whatever the reason says.
        return QByteArray(failedWord) + ' ' +
               message.reason.toUtf8()
                   .replace('%', "%25")
                   .replace('\n', "%0A")
                   .replace('\r', "%0D") +
               '\n';
    }
    return {};
}

std::optional<Message> decode(const QByteArray& line, QString* why)
{
    const qsizetype space = line.indexOf(' ');
    const QByteArray word = space < 0 ? line : line.left(space);
    const QByteArray argument = space < 0 ? QByteArray() : line.mid(space + 1);
    const bool hasArgument = space >= 0 && !argument.isEmpty();
    if (word == showWord && hasArgument) {
        const QUrl url = QUrl::fromEncoded(argument, QUrl::StrictMode);
        if (url.isValid())
            return Message{Message::Show, url, {}};
    } else if (word == failedWord && hasArgument) {
        return Message{
            Message::Failed, {}, QString::fromUtf8(QByteArray::fromPercentEncoding(argument))};
    } else if (space < 0) {
        for (const auto& [kind, name] :
             {std::pair{Message::Front, frontWord}, std::pair{Message::Close, closeWord},
              std::pair{Message::Opened, openedWord}, std::pair{Message::Closed, closedWord}})
            if (word == name)
                return Message{kind, {}, {}};
    }
    *why = QStringLiteral("The message %1 is not understood.").arg(quoted(line));
    return std::nullopt;
}

QList<Message> Reader::feed(const QByteArray& bytes, QString* why)
{
    QList<Message> messages;
    m_pending += bytes;
    qsizetype start = 0;
    for (qsizetype end; (end = m_pending.indexOf('\n', start)) >= 0; start = end + 1) {
        if (end + 1 - start > maxLineLength) {
            *why = QStringLiteral("A message is longer than %1 bytes.").arg(maxLineLength);
            return messages;
        }
        const std::optional<Message> message = decode(m_pending.mid(start, end - start), why);
        if (!message)
            return messages;
        messages.append(*message);
    }
    m_pending.remove(0, start);
    if (m_pending.size() > maxLineLength)
        *why = QStringLiteral("A message is longer than %1 bytes.").arg(maxLineLength);
    return messages;
}

} // namespace corvalo::storeprotocol
