#pragma once
// The menu-bar item of the desktop: a system-tray icon whose activation opens the panel, a
// small frameless window (MenuPanel.qml, 264 wide) placed beside the icon or the pointer and
// hidden again when it loses focus.

#include <QElapsedTimer>
#include <QIcon>
#include <QObject>
#include <QPointer>
#include <QQmlEngine>
#include <QRect>

#include <QQuickWindow>
class QSystemTrayIcon;

class TrayController : public QObject
{
    Q_OBJECT

public:
    // The panel window comes from the engine when first asked for; the icon is made by showIcon().
    TrayController(QQmlEngine *engine, QObject *parent = nullptr);
    ~TrayController() override;

    // The gauge symbol drawn with the bundled icon font (the mark when the font is missing).
    static QIcon makeIcon();
    // Where a panel of `size` goes: below (or above, at the bottom of the screen) the tray
    // icon's rectangle, else beside the pointer, kept inside the screen's available area.
    static QRect placePanel(const QRect &iconRect, const QPoint &cursor, const QSize &size,
                            const QRect &available);

    // Shows the tray icon; false when the desktop has no system tray.
    bool showIcon();
    QSystemTrayIcon *icon() const { return m_icon; }
    // The panel, made on first use; null (with panelError() saying why) when it does not load.
    QQuickWindow *panel();
    QString panelError() const { return m_error; }

    // Opens the panel next to the icon (or at `near`, when given); hides it when it is open.
    void togglePanel();
    void showPanel(const QPoint &near = QPoint(-1, -1));
    void hidePanel();

private:
    QPointer<QQmlEngine> m_engine;
    QPointer<QQuickWindow> m_panel;
    QSystemTrayIcon *m_icon = nullptr;
    QElapsedTimer m_sinceHidden;
    QString m_error;
};
