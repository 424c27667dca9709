#pragma once
// The "Экспорт CSV" buttons: each asks where to save (a save dialog, replaceable by tests),
// writes the screen's table as shown (csvtables) and reports the outcome as a toast.
// QML singleton `CsvExport`.

#include <QObject>
#include <QPointer>
#include <QtQml/qqmlregistration.h>
#include <functional>

class QQmlEngine;
class QJSEngine;
class Store;

class CsvExport : public QObject
{
    Q_OBJECT
    QML_ELEMENT
    QML_SINGLETON

public:
    // Asks for the file to write, offering `suggestedName`; answers "" when cancelled.
    using SaveChooser = std::function<void(const QString &suggestedName, std::function<void(const QString &path)> done)>;

    CsvExport(Store *store, QObject *parent);
    static void setInstance(CsvExport *e);
    static CsvExport *instance();
    static CsvExport *create(QQmlEngine *, QJSEngine *);

    void setChooser(SaveChooser chooser) { m_chooser = std::move(chooser); }

    Q_INVOKABLE void exportStats();
    Q_INVOKABLE void exportActivity();
    Q_INVOKABLE void exportAccounts();

    // Writes `data` to `path` whole or not at all; false on failure.
    static bool writeFile(const QString &path, const QByteArray &data);

Q_SIGNALS:
    // After each export that was not cancelled (tests wait on it).
    void exported(const QString &path, bool ok);

private:
    void save(const QString &what, std::function<QByteArray()> make);
    static void dialogChooser(const QString &suggestedName, std::function<void(const QString &)> done);

    QPointer<Store> m_store;
    SaveChooser m_chooser;
};
