#pragma once

#include "skincatalogue.h"

#include <QWidget>

#include <array>

class FrmCorvalo;
class QLabel;

// Previews the four skins and applies the previewed one to the main window. Which skin is
// previewed is read back from which preview is shown; nothing else records it.
class Skins : public QWidget {
    Q_OBJECT
public:
    explicit Skins(QWidget* parent = nullptr);

private:
    void buildControls();
    void showPreview(corvalo::SkinId id);
    void cmdSetClick();
    void applySkin(const corvalo::Skin& skin);
    void SetButtonColour(corvalo::Colour keyColour);
    void SetDisplayColours(corvalo::Colour displayColour, corvalo::Colour noteColour);
    static FrmCorvalo* mainWindow();

    QLabel* preview(corvalo::SkinId id) const { return m_previews[static_cast<std::size_t>(id)]; }

    std::array<QLabel*, 4> m_previews{};
};
