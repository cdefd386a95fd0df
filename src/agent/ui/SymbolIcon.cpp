#include "agent/ui/SymbolIcon.h"

#include <QDir>
#include <QFileInfo>
#include <QHash>
#include <QIcon>
#include <QPainter>

#include <cmath>

namespace quillon::SymbolIcon {

QString themeName(const QString& symbol)
{
    static const QHash<QString, QString> names {
        { QStringLiteral("sparkles"), QStringLiteral("starred-symbolic") },
        { QStringLiteral("text.quote"), QStringLiteral("format-text-plaintext-symbolic") },
        { QStringLiteral("doc.text"), QStringLiteral("text-x-generic-symbolic") },
        { QStringLiteral("xmark.circle.fill"), QStringLiteral("window-close-symbolic") },
        { QStringLiteral("stop.circle.fill"), QStringLiteral("media-playback-stop-symbolic") },
        { QStringLiteral("arrow.up.circle.fill"), QStringLiteral("go-up-symbolic") },
        { QStringLiteral("paperclip"), QStringLiteral("mail-attachment-symbolic") },
        { QStringLiteral("pencil.line"), QStringLiteral("document-edit-symbolic") },
        { QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-ok-symbolic") },
        { QStringLiteral("exclamationmark.triangle"), QStringLiteral("dialog-warning-symbolic") },
        { QStringLiteral("xmark.circle"), QStringLiteral("dialog-error-symbolic") },
    };
    return names.value(symbol);
}

namespace {

QIcon themeIcon(const QString& name)
{
    QIcon icon = QIcon::fromTheme(name);
    if (!icon.isNull())
        return icon;
    // Offscreen and minimal sessions name no icon theme; the symbolic icons are still installed.
    for (const QString& base : { QStringLiteral("/usr/share/icons/Adwaita/scalable"),
             QStringLiteral("/usr/share/icons/Adwaita/symbolic") }) {
        const QDir dir(base);
        const QStringList groups = dir.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        for (const QString& group : groups) {
            const QString file = dir.filePath(group + QLatin1Char('/') + name + QStringLiteral(".svg"));
            if (QFileInfo::exists(file))
                return QIcon(file);
        }
    }
    return {};
}

} // namespace

QPixmap pixmap(const QString& symbol, qreal size, const QColor& color, qreal devicePixelRatio)
{
    const int pixels = int(std::ceil(size * devicePixelRatio));
    QPixmap image(pixels, pixels);
    image.fill(Qt::transparent);
    static QHash<QString, QIcon> cache;
    const QString name = themeName(symbol);
    if (!name.isEmpty()) {
        auto it = cache.find(name);
        if (it == cache.end())
            it = cache.insert(name, themeIcon(name));
        if (!it->isNull()) {
            QPainter painter(&image);
            it->paint(&painter, QRect(0, 0, pixels, pixels));
            painter.setCompositionMode(QPainter::CompositionMode_SourceIn);
            painter.fillRect(image.rect(), color);
        }
    }
    image.setDevicePixelRatio(devicePixelRatio);
    return image;
}

} // namespace quillon::SymbolIcon
