#include "app/tray.h"

#include <QCursor>
#include <QFont>
#include <QFontDatabase>
#include <QGuiApplication>
#include <QPalette>
#include <QPainter>
#include <QPixmap>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickWindow>
#include <QScreen>
#include <QSystemTrayIcon>
#include <cstdio>

namespace {
// "gauge.with.dots.needle.67percent" in the bundled Material Icons face (see Icons.qml).
constexpr char32_t kGaugeGlyph = 0xe9e4;
// A click on the icon while the panel is open first takes the focus away, which hides the
// panel; the click that follows must not open it again at once.
constexpr int kReopenGuardMs = 300;
constexpr int kGap = 4;
} // namespace

TrayController::TrayController(QQmlEngine *engine, QObject *parent)
    : QObject(parent)
    , m_engine(engine)
{
}

QQuickWindow *TrayController::panel()
{
    // Made when first opened: most sessions never open it, and a tray application lives long.
    if (m_panel || !m_error.isEmpty() || !m_engine)
        return m_panel;
    QQmlComponent component(m_engine, QUrl(QStringLiteral("qrc:/Corvane/ui/MenuPanel.qml")));
    QObject *obj = component.create();
    m_panel = qobject_cast<QQuickWindow *>(obj);
    if (!m_panel) {
        m_error = component.errorString();
        std::fprintf(stderr, "corvane-team: tray panel: %s\n", qPrintable(m_error));
        delete obj;
        return nullptr;
    }
    connect(m_panel, &QWindow::activeChanged, this, [this] {
        if (m_panel && !m_panel->isActive() && m_panel->isVisible())
            hidePanel();
    });
    return m_panel;
}

TrayController::~TrayController()
{
    if (m_icon)
        m_icon->hide();
    delete m_panel.data();
}

QIcon TrayController::makeIcon()
{
    // An installed symbolic icon: the panel draws it in its own text colour, light or dark.
    const QString themed = QStringLiteral("com.corvane.team-symbolic");
    if (QIcon::hasThemeIcon(themed))
        return QIcon::fromTheme(themed);
    // Otherwise the glyph in the desktop's text colour, ringed with its opposite, so that it
    // stays visible on a light panel as on a dark one.
    const QColor ink = QGuiApplication::palette().color(QPalette::WindowText);
    const QColor halo = ink.lightness() > 127 ? QColor(0, 0, 0, 140) : QColor(255, 255, 255, 160);
    QIcon icon;
    const bool haveFont = QFontDatabase::families().contains(QStringLiteral("Material Icons"));
    for (int px : {16, 22, 24, 32, 48, 64}) {
        QPixmap pm(px, px);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        if (haveFont) {
            QFont f(QStringLiteral("Material Icons"));
            f.setPixelSize(px);
            p.setFont(f);
            const QString glyph = QString::fromUcs4(&kGaugeGlyph, 1);
            p.setPen(halo);
            for (const QPoint d : {QPoint(-1, 0), QPoint(1, 0), QPoint(0, -1), QPoint(0, 1)})
                p.drawText(QRect(d.x(), d.y(), px, px), Qt::AlignCenter, glyph);
            p.setPen(ink);
            p.drawText(QRect(0, 0, px, px), Qt::AlignCenter, glyph);
        } else {
            p.setPen(Qt::NoPen);
            p.setBrush(QColor(0xD9, 0x78, 0x57));
            p.drawRoundedRect(QRectF(0, 0, px, px), px * 0.22, px * 0.22);
            QFont f;
            f.setPixelSize(qMax(1, px / 2));
            f.setBold(true);
            p.setFont(f);
            p.setPen(Qt::white);
            p.drawText(QRect(0, 0, px, px), Qt::AlignCenter, QStringLiteral("C"));
        }
        p.end();
        icon.addPixmap(pm);
    }
    return icon;
}

QRect TrayController::placePanel(const QRect &iconRect, const QPoint &cursor, const QSize &size,
                                 const QRect &available)
{
    QPoint pos;
    if (iconRect.isValid() && !iconRect.isEmpty()) {
        // Centred under the icon; above it when the icon sits in the lower half of the screen.
        pos.setX(iconRect.center().x() - size.width() / 2);
        if (iconRect.center().y() > available.center().y())
            pos.setY(iconRect.top() - kGap - size.height());
        else
            pos.setY(iconRect.bottom() + 1 + kGap);
    } else {
        pos = QPoint(cursor.x() - size.width() / 2, cursor.y() + kGap);
        if (pos.y() + size.height() > available.bottom())
            pos.setY(cursor.y() - kGap - size.height());
    }
    QRect r(pos, size);
    if (available.isValid()) {
        if (r.right() > available.right())
            r.moveRight(available.right());
        if (r.left() < available.left())
            r.moveLeft(available.left());
        if (r.bottom() > available.bottom())
            r.moveBottom(available.bottom());
        if (r.top() < available.top())
            r.moveTop(available.top());
    }
    return r;
}

bool TrayController::showIcon()
{
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return false;
    if (!m_icon) {
        m_icon = new QSystemTrayIcon(makeIcon(), this);
        m_icon->setToolTip(QStringLiteral("Corvane Studio"));
        connect(m_icon, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason) {
            togglePanel();
        });
    }
    m_icon->show();
    return true;
}

void TrayController::togglePanel()
{
    if (!panel())
        return;
    if (m_panel->isVisible()) {
        hidePanel();
        return;
    }
    if (m_sinceHidden.isValid() && m_sinceHidden.elapsed() < kReopenGuardMs)
        return;
    showPanel();
}

void TrayController::showPanel(const QPoint &near)
{
    if (!panel())
        return;
    const QPoint cursor = near.x() >= 0 ? near : QCursor::pos();
    QScreen *screen = QGuiApplication::screenAt(cursor);
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    const QRect iconRect = (m_icon && near.x() < 0) ? m_icon->geometry() : QRect();
    QSize size(m_panel->width(), m_panel->height());
    const QRect r = placePanel(iconRect, cursor, size, screen ? screen->availableGeometry() : QRect());
    m_panel->setPosition(r.topLeft());
    m_panel->show();
    m_panel->raise();
    m_panel->requestActivate();
}

void TrayController::hidePanel()
{
    if (!m_panel)
        return;
    m_panel->hide();
    m_sinceHidden.restart();
}
