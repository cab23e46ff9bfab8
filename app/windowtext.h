#pragma once
// The texts the main window's caption and message boxes start with.
#include <QString>

namespace windowtext {
// The title of every message box the window shows.
inline const QString boxTitle = QStringLiteral("Orvane.");
// The caption's start, before the path of the script opened or saved last.
inline const QString captionLead = QStringLiteral("Orvane.  ");
} // namespace windowtext
