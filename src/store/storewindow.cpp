#include "storewindow.h"

#include "look/accessibility.h"
#include "look/appearance.h"
#include "look/product.h"

#include <QUrl>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineScript>
#include <QWebEngineScriptCollection>
#include <QWebEngineView>

namespace {

// A screen reader reads a web page line by line with the arrow keys only in the browsers it
// knows; here, while one listens, Down and Up move the focus from one block of text to the next,
// which it reads out, and scroll it into view. Keys meant for a field, a list or a menu on the
// page are left to it.
constexpr char readingByArrows[] = R"(
(() => {
  if (window.corvaloReading) return;
  window.corvaloReading = true;
  const blocks = 'h1,h2,h3,h4,h5,h6,p,li,dt,dd,th,td,caption,figcaption,blockquote,pre,label,a[href],button';
  const focusable = 'a[href],button';
  const named = 'h1,h2,h3,h4,h5,h6,' + focusable;
  const keeps = 'input,textarea,select,[contenteditable],[role=application],[role=combobox],' +
    '[role=grid],[role=listbox],[role=menu],[role=menubar],[role=radiogroup],[role=slider],' +
    '[role=spinbutton],[role=tablist],[role=textbox],[role=tree]';
  const shown = e => e.getClientRects().length > 0 && e.innerText.trim() !== '';
  document.addEventListener('keydown', event => {
    if ((event.key !== 'ArrowDown' && event.key !== 'ArrowUp') || event.altKey ||
        event.ctrlKey || event.metaKey || event.shiftKey || event.defaultPrevented) return;
    const active = document.activeElement;
    if (active && active.closest && active.closest(keeps)) return;
    const list = [...document.querySelectorAll(blocks)]
      .filter(e => shown(e) && !(e.parentElement && e.parentElement.closest(blocks)));
    if (list.length === 0) return;
    const at = list.indexOf(active && active.closest ? active.closest(blocks) : null);
    const next = list[event.key === 'ArrowDown' ? Math.min(at + 1, list.length - 1)
                                              : Math.max(at - 1, 0)];
    if (!next.matches(focusable))
      next.tabIndex = -1;
    if (!next.matches(named))
      next.setAttribute('aria-label', next.innerText.trim());
    next.focus();
    next.scrollIntoView({block: 'nearest'});
    event.preventDefault();
  }, true);
})();
)";

} // namespace

Form1::Form1(QWidget* parent) : QWidget(parent, Qt::Window)
{
    corvalo::exposeWindow(this);
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QLatin1String(corvalo::product::storeName));
    resize(corvalo::twips(9585), corvalo::twips(8400));

    // Deliberately larger than the window: it is not resized with it.
    m_webBrowser1 = new QWebEngineView(this);
    m_webBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    m_webBrowser1->setAccessibleName(QStringLiteral("Store page"));
    m_webBrowser1->setGeometry(corvalo::twipsRect(0, 0, 15135, 11055));
    // Off the record: no cookies, cache or history on disk. Made after the view, so that it is
    // discarded after the view and the page it holds.
    auto* profile = new QWebEngineProfile(this);
    m_webBrowser1->setPage(new QWebEnginePage(profile, m_webBrowser1));
    // The keyboard scrolls the page and reaches its links from the start.
    m_webBrowser1->setFocus();
    // A screen reader names the window by the page it shows; a page without a title of its own,
    // whose address the web engine gives as its title, leaves the window's own.
    connect(m_webBrowser1, &QWebEngineView::titleChanged, this, [this](const QString& title) {
        const bool own = !m_webBrowser1->url().toString().contains(title);
        setAccessibleName(own ? title : QString());
    });
    QAccessible::installActivationObserver(this);
    accessibilityActiveChanged(QAccessible::isActive());
}

Form1::~Form1()
{
    QAccessible::removeActivationObserver(this);
}

void Form1::accessibilityActiveChanged(bool active)
{
    QWebEngineScriptCollection& scripts = m_webBrowser1->page()->scripts();
    if (!active || !scripts.find(QStringLiteral("readingByArrows")).isEmpty())
        return;
    QWebEngineScript reading;
    reading.setName(QStringLiteral("readingByArrows"));
    reading.setSourceCode(QLatin1String(readingByArrows));
    reading.setWorldId(QWebEngineScript::ApplicationWorld);
    reading.setInjectionPoint(QWebEngineScript::DocumentReady);
    scripts.insert(reading);
    m_webBrowser1->page()->runJavaScript(QLatin1String(readingByArrows),
                                         QWebEngineScript::ApplicationWorld);
}

void Form1::navigate(const QUrl& url)
{
    m_webBrowser1->load(url);
}
