#pragma once

#include <QMessageBox>
#include <QObject>
#include <QString>
#include <QTimer>
#include <QWidgetList>

#include <memory>
#include <vector>

class WindowSet;

namespace testsupport {

// Sets up the application as the program does: style, font look-alikes, pictures.
void prepareApplication();

// A window set of the test's own, which finds the plugins in the build tree.
std::unique_ptr<WindowSet> makeWindowSet();

// The top-level windows of that name, shown or hidden: how many of a window there are.
QWidgetList topLevels(const QString& objectName);

// Answers every message box that opens while it lives, remembering what each said.
class MessageBoxCatcher : public QObject {
    Q_OBJECT
public:
    struct Seen {
        QString title;
        QString text;
        QMessageBox::Icon icon;
    };
    // Looks every `interval` ms; 0 answers a box as soon as its event loop runs.
    explicit MessageBoxCatcher(int interval = 10);
    const std::vector<Seen>& seen() const { return m_seen; }
    void clear() { m_seen.clear(); }

private:
    void poll();
    QTimer m_timer;
    std::vector<Seen> m_seen;
};

} // namespace testsupport
