#include "analytics/beacon/DeviceFacts.h"

#include <QFile>
#include <QGuiApplication>
#include <QLocale>
#include <QPalette>
#include <QRegularExpression>
#include <QScreen>
#include <QSysInfo>

#include <sys/utsname.h>

namespace quillon {

namespace {

std::optional<QString> readModel()
{
    for (const char* path : { "/sys/class/dmi/id/product_name", "/proc/device-tree/model" }) {
        QFile file(QString::fromLatin1(path));
        if (file.open(QIODevice::ReadOnly))
            if (std::optional<QString> model = DeviceFacts::modelFromBytes(file.readAll()))
                return model;
    }
    return std::nullopt;
}

} // namespace

std::optional<QString> DeviceFacts::modelFromBytes(const QByteArray& bytes)
{
    const qsizetype nul = bytes.indexOf('\0');
    const QString text = QString::fromUtf8(nul >= 0 ? bytes.left(nul) : bytes).trimmed();
    if (text.isEmpty())
        return std::nullopt;
    return text;
}

DeviceFacts DeviceFacts::current()
{
    DeviceFacts facts;
    facts.operatingSystem = QStringLiteral("Linux");
    struct utsname names = {};
    if (::uname(&names) == 0) {
        const QRegularExpressionMatch version
            = QRegularExpression(QStringLiteral("^(\\d+)(?:\\.(\\d+))?(?:\\.(\\d+))?"))
                  .match(QString::fromLatin1(names.release));
        facts.majorVersion = version.captured(1).toInt();
        facts.minorVersion = version.captured(2).toInt();
        facts.patchVersion = version.captured(3).toInt();
        facts.machineName = QString::fromLatin1(names.machine);
    }
    facts.architecture = QSysInfo::currentCpuArchitecture();
    facts.hardwareModel = readModel();
#ifdef QUILLON_VERSION
    facts.appVersion = QStringLiteral(QUILLON_VERSION);
    facts.buildNumber = QStringLiteral(QUILLON_VERSION);
#endif

    const QLocale locale = QLocale::system();
    facts.localeIdentifier = locale.name();
    if (locale.territory() != QLocale::AnyTerritory)
        facts.regionCode = QLocale::territoryToCode(locale.territory());
    if (locale.language() != QLocale::AnyLanguage && locale.language() != QLocale::C)
        facts.languageCode = QLocale::languageToCode(locale.language());
    facts.preferredLanguages = locale.uiLanguages();

    if (auto* app = qobject_cast<QGuiApplication*>(QCoreApplication::instance())) {
        facts.colorScheme = QGuiApplication::palette().color(QPalette::Window).lightness() < 128
            ? QStringLiteral("Dark")
            : QStringLiteral("Light");
        facts.layoutDirection = app->layoutDirection() == Qt::RightToLeft
            ? QStringLiteral("rightToLeft")
            : QStringLiteral("leftToRight");
        if (QScreen* screen = QGuiApplication::primaryScreen()) {
            facts.screenHeight = screen->geometry().height();
            facts.screenWidth = screen->geometry().width();
            facts.screenScaleFactor = screen->devicePixelRatio();
        }
    }
    return facts;
}

} // namespace quillon
