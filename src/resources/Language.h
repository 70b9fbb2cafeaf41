#pragma once
// The language the program speaks, chosen once at start-up from the user's locale. The texts
// are written in the source as a Chinese user reads them (some of them in English, as they
// always were); every other user reads the English translation built into the program.
#include <QLocale>
#include <QStringList>

class QCoreApplication;

class CLanguage
{
public:
    // The first of the user's languages, in the order Qt reads them from LANGUAGE, LC_ALL,
    // LC_MESSAGES and LANG, that the program has: Chinese or English. English for none.
    static QLocale Choose(const QStringList& uiLanguages);
    static bool IsSource(const QLocale& language)
    {
        return language.language() == QLocale::Chinese;
    }

    // Installs the program's translation for the system's locale, and Qt's own for its
    // dialogs where the system has one for that language.
    static void Install(QCoreApplication& app);
};
