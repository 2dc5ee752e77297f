#include "skinchooser.h"

#include "look/accessibility.h"
#include "look/appearance.h"
#include "look/screenreader.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

using corvalo::Skin;
using corvalo::SkinId;

namespace {

// Bottom of the stack first: later children lie above earlier ones.
constexpr SkinId previewStack[] = {SkinId::Default, SkinId::Santa, SkinId::Halloween,
                                   SkinId::Winter};
constexpr SkinId buttonStack[] = {SkinId::Winter, SkinId::Halloween, SkinId::Santa,
                                  SkinId::Default};
constexpr SkinId tabOrder[] = {SkinId::Default, SkinId::Halloween, SkinId::Winter, SkinId::Santa};
// Every preview change writes all four, always in this order.
constexpr SkinId visibilityOrder[] = {SkinId::Default, SkinId::Santa, SkinId::Winter,
                                      SkinId::Halloween};

} // namespace

Skins::Skins(QWidget* parent) : QWidget(parent, Qt::Window)
{
    corvalo::exposeWindow(this);
    setObjectName(QStringLiteral("Skins"));
    setWindowTitle(QStringLiteral("Skins"));
    setWindowIcon(corvalo::windowIcon());
    setFont(corvalo::defaultLayoutFont());
    corvalo::setBackColour(this, corvalo::SystemColour::WindowBackground);
    resize(corvalo::twips(7305), corvalo::twips(5025));
    buildControls();
    showPreview(SkinId::Default);
}

void Skins::buildControls()
{
    for (SkinId id : previewStack) {
        const Skin& skin = corvalo::skin(id);
        auto* picture = new QLabel(this);
        picture->setObjectName(QString::fromLatin1(skin.previewName));
        picture->setGeometry(skin.previewRect);
        picture->setScaledContents(true);
        picture->setPixmap(
            corvalo::picture(QString::fromLatin1(skin.pictureFile), picture->devicePixelRatioF()));
        picture->setAccessibleName(QStringLiteral("%1 skin").arg(QLatin1String(skin.caption)));
        m_previews[static_cast<std::size_t>(id)] = picture;
    }

    auto* lblInf =
        new QLabel(QStringLiteral("Note: Button colours will also change accordingly."), this);
    lblInf->setObjectName(QStringLiteral("LblInf"));
    lblInf->setGeometry(corvalo::twipsRect(240, 4200, 2775, 615));
    lblInf->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblInf->setWordWrap(true);

    // Created in tab order, then stacked; reordering the focus chain afterwards is unreliable
    // when the chain wraps around.
    for (SkinId id : tabOrder) {
        const Skin& skin = corvalo::skin(id);
        auto* button = new QPushButton(QString::fromLatin1(skin.caption), this);
        button->setObjectName(QString::fromLatin1(skin.buttonName));
        button->setGeometry(skin.buttonRect);
        button->setAutoDefault(false);
        connect(button, &QPushButton::clicked, this, [this, id] { showPreview(id); });
        m_buttons[static_cast<std::size_t>(id)] = button;
    }
    auto* cmdSet = new QPushButton(QStringLiteral("Set"), this);
    cmdSet->setObjectName(QStringLiteral("cmdSet"));
    cmdSet->setGeometry(corvalo::twipsRect(4560, 4320, 1215, 375));
    cmdSet->setAutoDefault(false);
    connect(cmdSet, &QPushButton::clicked, this, &Skins::cmdSetClick);
    m_buttons.back() = cmdSet;

    cmdSet->raise();
    for (SkinId id : buttonStack)
        m_buttons[static_cast<std::size_t>(id)]->raise();
}

void Skins::showPreview(SkinId id)
{
    for (SkinId each : visibilityOrder)
        preview(each)->setVisible(each == id);
    // The preview is all the feedback a click gives, so the buttons say which skin it shows; the
    // focused one says it at once.
    const QString previewing =
        QStringLiteral("Previewing %1").arg(QLatin1String(corvalo::skin(id).caption));
    for (QPushButton* button : m_buttons)
        corvalo::setAnnouncedDescription(button, previewing);
}

void Skins::cmdSetClick()
{
    // Not an either-or: each test reads the previews afresh, and applying leaves them alone.
    for (const Skin& skin : corvalo::skinCatalogue())
        if (!preview(skin.id)->isHidden()) {
            emit skinChosen(skin, preview(skin.id)->pixmap(), preview(skin.id)->accessibleName());
            // Said at once, and kept as the button's description until another preview.
            corvalo::setAnnouncedDescription(m_buttons.back(),
                                             QLatin1String(skin.caption) + QStringLiteral(" set"));
        }
}
