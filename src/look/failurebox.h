#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QTimer>

#include <functional>

class QMessageBox;
class QWidget;

namespace corvalo {

// The one "Error" box for failures that may come in runs: a playlist's bad entries, a burst of
// requests from the desktop, a store program that keeps failing. The first failure opens it; what
// fails while it is open is added to it, unless it says so already. It names the first few and
// counts the rest, and is laid out again at most a few times a second, so that a flood of
// failures costs next to nothing.
class FailureBox : public QObject {
    Q_OBJECT
public:
    struct Failure {
        QString alone; // what the box says when it is the only failure
        QString line;  // what a list of several says of it (the first, on one line, if empty)
        QString group; // what it belongs to (a playlist), if anything
    };
    // The first line of a list: how many failures there are, and the group all of them belong to
    // (empty if not one).
    using Heading = std::function<QString(qsizetype count, const QString& group)>;

    explicit FailureBox(Heading heading, QObject* parent = nullptr);
    ~FailureBox() override;

    // Tells the failures in the open box, or in a new one over the given window.
    void add(const QList<Failure>& failures, QWidget* over);
    bool isOpen() const;

signals:
    void closed();

private:
    QString text() const;
    void forget();

    Heading m_heading;
    QPointer<QMessageBox> m_box;
    QList<Failure> m_named; // the first few, said in full
    QSet<size_t> m_told;    // every failure the box tells, by a hash of what it says
    QString m_group;
    QTimer m_relayout;
};

// The text with every word too long to read (an address, as a rule) and every line too long to
// take in cut short in the middle, so that no window ever has to lay out a huge address whole.
QString shortened(const QString& text);

} // namespace corvalo
