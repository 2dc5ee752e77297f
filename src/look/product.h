#pragma once

#include <QString>

// Who made Corvalo, and the store both store buttons lead to: named on the splash card, in the
// About box, on the store buttons and in the store window's title.
namespace corvalo::product {

inline constexpr char storeName[] = "Snowdrift Gift Store";
inline constexpr char storeHomePage[] = "https://store.example.com/";
inline constexpr char makerWebAddress[] = "www.corvalo.example";
inline constexpr char authorName[] = "Daniel Whitmore";

inline QString storeButtonCaption()
{
    return QStringLiteral("Click Here To Buy From ") + QLatin1String(storeName);
}

} // namespace corvalo::product
