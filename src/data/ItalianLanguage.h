#pragma once

class QCoreApplication;

// Makes the process speak Italian: Qt's own texts (standard buttons, file dialog, calendar)
// come from Qt's Italian translations, and the default locale is Italian where the system gives
// none ("C"). Call once, right after the application object is made.
void useItalian(QCoreApplication &application);
