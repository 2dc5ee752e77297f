#pragma once

#include <QAccessible>
#include <QWidget>

class QUrl;
class QWebEngineView;

// The store's home page in a web view, built in the store program (corvalo-store) so that the
// calculator never loads the web engine. The page runs in a profile that keeps nothing on disk.
class Form1 : public QWidget, public QAccessible::ActivationObserver {
    Q_OBJECT
public:
    explicit Form1(QWidget* parent = nullptr);
    ~Form1() override;

    // Starts loading the page and returns at once.
    void navigate(const QUrl& url);
    QWebEngineView* webView() const { return m_webBrowser1; }

    // While a screen reader listens, the arrow keys read the page block by block.
    void accessibilityActiveChanged(bool active) override;

private:
    QWebEngineView* m_webBrowser1 = nullptr;
};
