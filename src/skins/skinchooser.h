#pragma once

#include "skincatalogue.h"

#include <QWidget>

#include <array>

class QLabel;
class QPushButton;

// Previews the four skins and asks for the previewed one to be applied to the main window. Which
// skin is previewed is read back from which preview is shown; nothing else records it.
class Skins : public QWidget {
    Q_OBJECT
public:
    explicit Skins(QWidget* parent = nullptr);

signals:
    // "Set": the skin with its preview's own picture (shared, not decoded again) and that
    // picture's name.
    void skinChosen(const corvalo::Skin& skin, const QPixmap& picture, const QString& pictureName);

private:
    void buildControls();
    void showPreview(corvalo::SkinId id);
    void cmdSetClick();

    QLabel* preview(corvalo::SkinId id) const { return m_previews[static_cast<std::size_t>(id)]; }

    std::array<QLabel*, 4> m_previews{};
    // The four skin buttons and "Set", which tell a screen reader the skin previewed.
    std::array<QPushButton*, 5> m_buttons{};
};
