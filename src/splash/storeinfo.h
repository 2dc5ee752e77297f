#pragma once

#include <QString>
#include <QUrl>

// The store both store buttons lead to, and the names shown beside it.
namespace corvalo::storeinfo {

inline constexpr char storeName[] = "Snowdrift Gift Store";
inline constexpr char storeHomePage[] = "https://store.example.com/";
inline constexpr char makerWebAddress[] = "www.corvalo.example";
inline constexpr char authorName[] = "Daniel Whitmore";

inline QString storeButtonCaption()
{
    return QStringLiteral("Click Here To Buy From ") + QLatin1String(storeName);
}

} // namespace corvalo::storeinfo
