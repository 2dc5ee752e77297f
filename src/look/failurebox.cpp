#include "failurebox.h"

#include <QMessageBox>

#include <chrono>

namespace corvalo {

namespace {

// A list of several failures names this many, then counts the rest.
constexpr qsizetype namedFailures = 5;
// Longer words and lines are cut in the middle.
constexpr qsizetype longestWord = 100;
constexpr qsizetype longestLine = 400;
// What fails while the box is open reaches it at most this often.
constexpr auto relayoutInterval = std::chrono::milliseconds(250);

// Keeps the first and last characters, never half of a pair that makes one character.
QString cutInMiddle(QStringView text, qsizetype longest)
{
    if (text.size() <= longest)
        return text.toString();
    qsizetype head = (longest - 1) / 2;
    qsizetype tail = text.size() - (longest - 1 - head);
    if (text[head].isLowSurrogate())
        --head;
    if (text[tail].isLowSurrogate())
        ++tail;
    QString cut = text.first(head).toString();
    cut += u'…';
    cut += text.sliced(tail);
    return cut;
}

} // namespace

QString shortened(const QString& text)
{
    QStringList lines;
    for (QStringView line : QStringView(text).split(u'\n')) {
        QStringList words;
        for (QStringView word : line.split(u' '))
            words.append(cutInMiddle(word, longestWord));
        lines.append(cutInMiddle(words.join(u' '), longestLine));
    }
    return lines.join(u'\n');
}

FailureBox::FailureBox(Heading heading, QObject* parent)
    : QObject(parent), m_heading(std::move(heading))
{
    m_relayout.setSingleShot(true);
    m_relayout.setInterval(relayoutInterval);
    connect(&m_relayout, &QTimer::timeout, this, [this] {
        if (m_box)
            m_box->setText(text());
    });
}

// The box goes with what it reports on, saying nothing more.
FailureBox::~FailureBox()
{
    if (m_box)
        disconnect(m_box, nullptr, this, nullptr);
    delete m_box;
}

void FailureBox::add(const QList<Failure>& failures, QWidget* over)
{
    const qsizetype before = m_told.size();
    for (const Failure& failure : failures) {
        const size_t key = qHashMulti(0, failure.alone, failure.group);
        if (m_told.contains(key))
            continue;
        m_told.insert(key);
        if (m_named.size() < namedFailures)
            m_named.append(failure);
        if (m_told.size() == 1)
            m_group = failure.group;
        else if (failure.group != m_group)
            m_group.clear();
    }
    if (m_told.size() == before)
        return;
    if (m_box) {
        if (!m_relayout.isActive())
            m_relayout.start();
        return;
    }
    // Opened, not run: failures keep coming while the box is up.
    m_box = new QMessageBox(QMessageBox::Critical, QStringLiteral("Error"), text(), QMessageBox::Ok,
                            over);
    m_box->setAttribute(Qt::WA_DeleteOnClose);
    m_box->setTextFormat(Qt::PlainText);
    m_box->setWindowModality(Qt::WindowModal);
    connect(m_box, &QObject::destroyed, this, &FailureBox::forget);
    m_box->open();
}

bool FailureBox::isOpen() const
{
    return m_box;
}

void FailureBox::forget()
{
    m_named.clear();
    m_told.clear();
    m_group.clear();
    m_relayout.stop();
    emit closed();
}

QString FailureBox::text() const
{
    if (m_told.size() == 1)
        return shortened(m_named.first().alone);
    QStringList lines{m_heading(m_told.size(), m_group)};
    for (const Failure& failure : m_named)
        lines.append(failure.line.isEmpty() ? failure.alone.simplified() : failure.line);
    if (m_told.size() > m_named.size())
        lines.append(QStringLiteral("and %1 more.").arg(m_told.size() - m_named.size()));
    return shortened(lines.join(u'\n'));
}

} // namespace corvalo
