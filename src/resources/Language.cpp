#include "Language.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Built by lrelease from translations/ and embedded by qt_add_translations.
const char kTranslations[] = ":/i18n";

void Load(QCoreApplication& app, const QLocale& language, const QString& strName,
          const QString& strFolder)
{
    auto* pTranslator = new QTranslator(&app);
    if (pTranslator->load(language, strName, QStringLiteral("_"), strFolder))
        app.installTranslator(pTranslator);
    else
        delete pTranslator;
}

} // namespace

QLocale CLanguage::Choose(const QStringList& uiLanguages)
{
    for (const QString& strLanguage : uiLanguages) {
        const QLocale language(strLanguage);
        if (IsSource(language) || language.language() == QLocale::English)
            return language;
    }
    return QLocale(QLocale::English);
}

void CLanguage::Install(QCoreApplication& app)
{
    const QLocale language = Choose(QLocale::system().uiLanguages());
    if (!IsSource(language))
        Load(app, QLocale(QLocale::English), QStringLiteral("mossvale"),
             QLatin1String(kTranslations));
    Load(app, language, QStringLiteral("qtbase"),
         QLibraryInfo::path(QLibraryInfo::TranslationsPath));
}
