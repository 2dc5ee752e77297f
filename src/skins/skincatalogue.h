#pragma once

#include "look/appearance.h"

#include <QRect>

#include <array>
#include <cstdint>

namespace corvalo {

enum class SkinId : std::uint8_t { Winter, Default, Santa, Halloween };

// One skin: its chooser button, its preview with the picture it holds, and the colours it gives
// the main window's keys, display boxes and note.
struct Skin {
    SkinId id;
    const char* caption;
    const char* buttonName;
    QRect buttonRect;
    const char* previewName;
    QRect previewRect;
    const char* pictureFile; // one of the embedded pictures, see picture()
    Colour keyColour;
    Colour displayColour;
    Colour noteColour;
};

// In the order the "Set" button looks for the previewed skin.
const std::array<Skin, 4>& skinCatalogue();
const Skin& skin(SkinId id);

} // namespace corvalo
