#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

namespace testsupport {

// Sets up the application as the program does: style, font look-alikes, pictures.
void prepareApplication();

// Answers every message box that opens while it lives, remembering what each said.
class MessageBoxCatcher : public QObject {
    Q_OBJECT
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    MessageBoxCatcher();
    const std::vector<Seen>& seen() const { return m_seen; }
    void clear() { m_seen.clear(); }

private:
    void poll();
    QTimer m_timer;
    std::vector<Seen> m_seen;
};

} // namespace testsupport
