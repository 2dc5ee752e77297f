#pragma once

#include "skincatalogue.h"

#include <QWidget>

#include <array>
#include <functional>

class FrmCorvalo;
class QLabel;
class QPushButton;

// Previews the four skins and applies the previewed one to the main window. Which skin is
// previewed is read back from which preview is shown; nothing else records it.
class Skins : public QWidget {
    Q_OBJECT
public:
    explicit Skins(QWidget* parent = nullptr);

    // Where "Set" applies a skin: the main window, built afresh (and shown) if the user closed it.
    void setMainWindow(std::function<FrmCorvalo*()> mainWindow)
    {
        m_mainWindow = std::move(mainWindow);
    }

private:
    void buildControls();
    void showPreview(corvalo::SkinId id);
    void cmdSetClick();
    void applySkin(const corvalo::Skin& skin);
    void SetButtonColour(corvalo::Colour keyColour);
    void SetDisplayColours(corvalo::Colour displayColour, corvalo::Colour noteColour);
    FrmCorvalo* mainWindow() const;

    QLabel* preview(corvalo::SkinId id) const { return m_previews[static_cast<std::size_t>(id)]; }

    std::array<QLabel*, 4> m_previews{};
    // The four skin buttons and "Set", which tell a screen reader the skin previewed.
    std::array<QPushButton*, 5> m_buttons{};
    std::function<FrmCorvalo*()> m_mainWindow;
};
