#include "ui/SymbolIcons.h"

#include <QHash>
#include <QPainter>
#include <QPainterPath>

namespace quillon::SymbolIcons {

QString themeName(const QString& symbol)
{
    static const QHash<QString, QString> names = {
        { QStringLiteral("doc"), QStringLiteral("text-x-generic-symbolic") },
        { QStringLiteral("doc.text"), QStringLiteral("x-office-document-symbolic") },
        { QStringLiteral("doc.plaintext"), QStringLiteral("text-x-generic-symbolic") },
        { QStringLiteral("doc.fill"), QStringLiteral("x-office-document-symbolic") },
        { QStringLiteral("doc.badge.plus"), QStringLiteral("document-new-symbolic") },
        { QStringLiteral("doc.badge.gearshape"), QStringLiteral("document-properties-symbolic") },
        { QStringLiteral("folder"), QStringLiteral("folder-symbolic") },
        { QStringLiteral("folder.fill"), QStringLiteral("folder-symbolic") },
        { QStringLiteral("folder.badge.plus"), QStringLiteral("folder-new-symbolic") },
        { QStringLiteral("terminal"), QStringLiteral("utilities-terminal-symbolic") },
        { QStringLiteral("terminal.fill"), QStringLiteral("utilities-terminal-symbolic") },
        { QStringLiteral("globe"), QStringLiteral("web-browser-symbolic") },
        { QStringLiteral("gearshape"), QStringLiteral("emblem-system-symbolic") },
        { QStringLiteral("magnifyingglass"), QStringLiteral("system-search-symbolic") },
        { QStringLiteral("line.3.horizontal"), QStringLiteral("open-menu-symbolic") },
        { QStringLiteral("chevron.right"), QStringLiteral("go-next-symbolic") },
        { QStringLiteral("chevron.down"), QStringLiteral("pan-down-symbolic") },
        { QStringLiteral("sun.max"), QStringLiteral("weather-clear-symbolic") },
        { QStringLiteral("moon"), QStringLiteral("weather-clear-night-symbolic") },
        { QStringLiteral("sidebar.left"), QStringLiteral("sidebar-show-symbolic") },
        { QStringLiteral("arrow.up.right.square"), QStringLiteral("document-send-symbolic") },
        { QStringLiteral("xmark.circle.fill"), QStringLiteral("window-close-symbolic") },
        { QStringLiteral("exclamationmark.triangle.fill"),
            QStringLiteral("dialog-warning-symbolic") },
        { QStringLiteral("checkmark.circle.fill"), QStringLiteral("emblem-ok-symbolic") },
        { QStringLiteral("square.and.arrow.down.on.square"),
            QStringLiteral("folder-download-symbolic") },
        { QStringLiteral("text.quote"), QStringLiteral("format-text-plaintext-symbolic") },
        { QStringLiteral("paperclip"), QStringLiteral("mail-attachment-symbolic") },
        { QStringLiteral("pencil.line"), QStringLiteral("document-edit-symbolic") },
        { QStringLiteral("exclamationmark.triangle"), QStringLiteral("dialog-warning-symbolic") },
        { QStringLiteral("cpu"), QStringLiteral("computer-symbolic") },
        { QStringLiteral("server.rack"), QStringLiteral("network-server-symbolic") },
        { QStringLiteral("point.3.connected.trianglepath.arrow"),
            QStringLiteral("network-workgroup-symbolic") },
    };
    return names.value(symbol);
}

// Drawings for symbols the theme lacks, in a 16-unit box.
static bool drawOwn(const QString& symbol, QPainter& p, qreal s)
{
    const qreal k = s / 16.0;
    QPen pen(p.brush().color(), 1.5 * k, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    if (symbol == QStringLiteral("xmark")) {
        p.setPen(pen);
        p.drawLine(QPointF(4 * k, 4 * k), QPointF(12 * k, 12 * k));
        p.drawLine(QPointF(12 * k, 4 * k), QPointF(4 * k, 12 * k));
        return true;
    }
    // The theme's error icon is a bar across a disc; this one is the x-mark in its ring.
    if (symbol == QStringLiteral("xmark.circle")) {
        p.setPen(pen);
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(QPointF(8 * k, 8 * k), 6.5 * k, 6.5 * k);
        p.drawLine(QPointF(5.4 * k, 5.4 * k), QPointF(10.6 * k, 10.6 * k));
        p.drawLine(QPointF(10.6 * k, 5.4 * k), QPointF(5.4 * k, 10.6 * k));
        return true;
    }
    if (symbol == QStringLiteral("sparkles")) {
        auto star = [&](QPointF c, qreal r) {
            QPainterPath path;
            path.moveTo(c.x(), c.y() - r);
            path.quadTo(c, QPointF(c.x() + r, c.y()));
            path.quadTo(c, QPointF(c.x(), c.y() + r));
            path.quadTo(c, QPointF(c.x() - r, c.y()));
            path.quadTo(c, QPointF(c.x(), c.y() - r));
            p.drawPath(path);
        };
        p.setPen(Qt::NoPen);
        star(QPointF(6.5 * k, 9 * k), 6 * k);
        star(QPointF(12.5 * k, 4 * k), 3.2 * k);
        star(QPointF(12.5 * k, 12.5 * k), 2.4 * k);
        return true;
    }
    if (symbol == QStringLiteral("arrow.triangle.branch")) {
        p.setPen(pen);
        p.drawLine(QPointF(5 * k, 3 * k), QPointF(5 * k, 13 * k));
        QPainterPath branch;
        branch.moveTo(5 * k, 11 * k);
        branch.cubicTo(5 * k, 7 * k, 11 * k, 8 * k, 11 * k, 5 * k);
        p.setBrush(Qt::NoBrush);
        p.drawPath(branch);
        p.setBrush(pen.color());
        p.drawEllipse(QPointF(5 * k, 13 * k), 1.6 * k, 1.6 * k);
        p.drawEllipse(QPointF(11 * k, 4 * k), 1.6 * k, 1.6 * k);
        p.drawEllipse(QPointF(5 * k, 3 * k), 1.6 * k, 1.6 * k);
        return true;
    }
    if (symbol == QStringLiteral("arrow.up.circle.fill")
        || symbol == QStringLiteral("stop.circle.fill")) {
        p.setPen(Qt::NoPen);
        p.drawEllipse(QRectF(k, k, 14 * k, 14 * k));
        // The mark is cut out of the disc.
        p.setCompositionMode(QPainter::CompositionMode_Clear);
        if (symbol == QStringLiteral("stop.circle.fill")) {
            p.drawRoundedRect(QRectF(5.5 * k, 5.5 * k, 5 * k, 5 * k), k, k);
        } else {
            p.setPen(QPen(Qt::black, 1.8 * k, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
            p.setBrush(Qt::NoBrush);
            p.drawLine(QPointF(8 * k, 11.5 * k), QPointF(8 * k, 4.8 * k));
            p.drawPolyline(QPolygonF(
                { QPointF(5 * k, 7.6 * k), QPointF(8 * k, 4.6 * k), QPointF(11 * k, 7.6 * k) }));
        }
        p.setCompositionMode(QPainter::CompositionMode_SourceOver);
        return true;
    }
    if (symbol == QStringLiteral("curlybraces") || symbol == QStringLiteral("swift")) {
        QFont font = p.font();
        font.setPixelSize(int(13 * k));
        font.setBold(true);
        p.setFont(font);
        p.setPen(pen.color());
        p.drawText(QRectF(0, 0, s, s), Qt::AlignCenter,
            symbol == QStringLiteral("swift") ? QStringLiteral("S") : QStringLiteral("{}"));
        return true;
    }
    return false;
}

QPixmap pixmap(const QString& symbol, int size, const QColor& color, qreal devicePixelRatio)
{
    const int device = qMax(1, qRound(size * devicePixelRatio));
    QPixmap out(device, device);
    out.fill(Qt::transparent);
    QPainter p(&out);
    p.setRenderHint(QPainter::Antialiasing);
    p.setBrush(color);
    if (!drawOwn(symbol, p, device)) {
        static const bool themeReady = [] {
            // Without a desktop platform theme (offscreen, a bare X server) Qt names no icon
            // theme and searches no system folder, so no theme icon would ever be found.
            QStringList paths = QIcon::themeSearchPaths();
            if (!paths.contains(QStringLiteral("/usr/share/icons"))) {
                paths << QStringLiteral("/usr/share/icons");
                QIcon::setThemeSearchPaths(paths);
            }
            if (QIcon::themeName().isEmpty() || QIcon::themeName() == QStringLiteral("hicolor"))
                QIcon::setThemeName(QStringLiteral("Adwaita"));
            if (QIcon::fallbackThemeName().isEmpty()
                || QIcon::fallbackThemeName() == QStringLiteral("hicolor"))
                QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
            return true;
        }();
        Q_UNUSED(themeReady);
        QString name = themeName(symbol);
        if (name.isEmpty())
            name = themeName(QStringLiteral("doc"));
        QIcon themed = QIcon::fromTheme(name);
        if (themed.isNull())
            themed = QIcon::fromTheme(QStringLiteral("text-x-generic"));
        p.drawPixmap(0, 0, themed.pixmap(QSize(device, device)));
        // Symbolic theme icons are grey silhouettes: recolour them.
        p.setCompositionMode(QPainter::CompositionMode_SourceIn);
        p.fillRect(out.rect(), color);
    }
    p.end();
    out.setDevicePixelRatio(devicePixelRatio);
    return out;
}

QIcon icon(const QString& symbol, int size, const QColor& color)
{
    QIcon result;
    result.addPixmap(pixmap(symbol, size, color, 1));
    result.addPixmap(pixmap(symbol, size, color, 2));
    return result;
}

} // namespace quillon::SymbolIcons
