#pragma once
// "Запускать при входе в систему": an XDG autostart entry
// ($XDG_CONFIG_HOME/autostart/com.corvane.team.desktop, ~/.config when unset) written or removed.
// QML singleton `Autostart`.

#include <QObject>
#include <QtQml/qqmlregistration.h>

class QQmlEngine;
class QJSEngine;

class Autostart : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON
    Q_PROPERTY(bool enabled READ enabled WRITE setEnabled NOTIFY enabledChanged)

public:
    // `program`: the command the entry starts (the running binary when empty).
    explicit Autostart(QObject *parent, const QString &program = {});
    static Autostart *create(QQmlEngine *, QJSEngine *);

    static QString entryPath();
    // The entry's text for `program` (quoted as desktop entries want when it needs it).
    static QByteArray entry(const QString &program);

    bool enabled() const;
    void setEnabled(bool on);

Q_SIGNALS:
    void enabledChanged();
    // Writing or removing the entry failed; the switch stays as the file is.
    void failed();

private:
    QString m_program;
};
