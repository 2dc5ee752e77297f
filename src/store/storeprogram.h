#pragma once

#include "store/storeprotocol.h"

#include <QObject>
#include <QPointer>
#include <QSocketNotifier>

class Form1;

// The store program's side of the pipe: carries out the calculator's requests on the one store
// window and tells it what became of them. The program is done when the pipe closes, when the
// store window is closed, or when a request comes that cannot be trusted.
class StoreProgram : public QObject {
    Q_OBJECT
public:
    StoreProgram(int input, int output, QObject* parent = nullptr);
    ~StoreProgram() override;

signals:
    void finished();

private:
    void readRequests();
    void carryOut(const corvalo::storeprotocol::Message& request);
    void showWindow(const QUrl& url);
    void answer(const corvalo::storeprotocol::Message& message);
    void fail(const QString& reason);
    void end();

    int m_input;
    int m_output;
    QSocketNotifier m_notifier;
    corvalo::storeprotocol::Reader m_reader;
    QPointer<Form1> m_window;
    bool m_done = false;
};
