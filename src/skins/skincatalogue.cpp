#include "skincatalogue.h"

namespace corvalo {

namespace {

constexpr QRect previewRect = twipsRect(3840, 720, 2895, 3255);

// Default's values are the main window's start-up look, so applying it undoes any other skin.
constexpr std::array<Skin, 4> catalogue{{
    {SkinId::Winter, "Winter", "CmdWinter", twipsRect(240, 1920, 975, 375), "ImgWinter",
     twipsRect(3840, 720, 2940, 3240), "winter.bmp", Colour{0x00FFFFC0}, Colour{0x00FFFFC0},
     Colour{0x00000000}},
    {SkinId::Default, "Default", "cmddefault", twipsRect(240, 480, 975, 375), "imgdefault",
     previewRect, "village.jpg", SystemColour::ButtonFace, Colour{0x00404080}, Colour{0x0000FFFF}},
    {SkinId::Santa, "Santa", "CmdSanta", twipsRect(240, 960, 975, 375), "imgsanta", previewRect,
     "santa.bmp", Colour{0x000000C0}, Colour{0x00FFFFFF}, Colour{0x00000000}},
    {SkinId::Halloween, "Halloween", "CmdHall", twipsRect(240, 1440, 975, 375), "ImgHalloween",
     previewRect, "halloween.bmp", Colour{0x000080FF}, Colour{0x000080FF}, Colour{0x000080FF}},
}};

static_assert([] {
    for (std::size_t i = 0; i < catalogue.size(); ++i)
        if (static_cast<std::size_t>(catalogue[i].id) != i)
            return false;
    return true;
}());

} // namespace

const std::array<Skin, 4>& skinCatalogue()
{
    return catalogue;
}

const Skin& skin(SkinId id)
{
    return catalogue[static_cast<std::size_t>(id)];
}

} // namespace corvalo
