#include "kit/host/Translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QLoggingCategory>
#include <QTranslator>

Q_LOGGING_CATEGORY(lcTranslations, "kvr.kit.translations")

bool InstallQtTranslations(QCoreApplication *application)
{
    const QLocale brazil(QLocale::Portuguese, QLocale::Brazil);
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto *translator = new QTranslator(application);
    if (!translator->load(brazil, QStringLiteral("qtbase"), QStringLiteral("_"), folder)) {
        qCWarning(lcTranslations, "Qt's Portuguese translations not found in %s",
                  qPrintable(folder));
        delete translator;
        return false;
    }
    QCoreApplication::installTranslator(translator);
    return true;
}
