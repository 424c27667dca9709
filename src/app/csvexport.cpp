#include "csvexport.h"

#include "app/filechooser.h"
#include "core/clock.h"
#include "store/csvtables.h"
#include "store/forecasts.h"
#include "store/store.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QJSEngine>
#include <QQmlEngine>
#include <QSaveFile>
#include <QStandardPaths>

static CsvExport *g_export = nullptr;

CsvExport::CsvExport(Store *store, QObject *parent)
    : QObject(parent)
    , m_store(store)
    , m_chooser(&CsvExport::dialogChooser)
{
}

void CsvExport::setInstance(CsvExport *e) { g_export = e; }
CsvExport *CsvExport::instance() { return g_export; }

CsvExport *CsvExport::create(QQmlEngine *engine, QJSEngine *)
{
    if (CsvExport *e = g_export) {
        QJSEngine::setObjectOwnership(e, QJSEngine::CppOwnership);
        return e;
    }
    return new CsvExport(Store::instance(), engine);
}

void CsvExport::exportStats()
{
    save(QStringLiteral("statistika"), [this] {
        QList<csv::Table> tables = csvtables::stats(*m_store);
        if (Forecasts *f = Forecasts::instance())
            tables += csvtables::costPerDay(*f->usage());
        return csv::document(tables);
    });
}

void CsvExport::exportActivity()
{
    save(QStringLiteral("aktivnost"), [this] { return csv::document({csvtables::activity(m_store->activity()->people())}); });
}

void CsvExport::exportAccounts()
{
    save(QStringLiteral("ai-resursy"), [this] {
        QList<csv::Table> tables{csvtables::accounts(*m_store)};
        if (Forecasts *f = Forecasts::instance())
            tables += csvtables::openHistories(*m_store, *f->usage());
        return csv::document(tables);
    });
}

bool CsvExport::writeFile(const QString &path, const QByteArray &data)
{
    QSaveFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return false;
    return f.write(data) == data.size() && f.commit();
}

void CsvExport::save(const QString &what, std::function<QByteArray()> make)
{
    if (!m_store)
        return;
    QPointer<CsvExport> self(this);
    m_chooser(csvtables::fileName(what, Clock::now()), [self, make](const QString &path) {
        if (!self || !self->m_store || path.isEmpty())
            return;
        // The table is taken when the file is chosen: what the screen shows at that moment.
        const bool ok = writeFile(path, make());
        self->m_store->flash(ok ? QStringLiteral("Сохранено: ") + QFileInfo(path).fileName()
                                : QStringLiteral("Не удалось сохранить файл"));
        Q_EMIT self->exported(path, ok);
    });
}

void CsvExport::dialogChooser(const QString &suggestedName, std::function<void(const QString &)> done)
{
    QString dir = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (dir.isEmpty() || !QDir(dir).exists())
        dir = QDir::homePath();
    auto *dialog = new QFileDialog(nullptr, QStringLiteral("Экспорт CSV"), QDir(dir).filePath(suggestedName));
    dialog->setAcceptMode(QFileDialog::AcceptSave);
    dialog->setFileMode(QFileDialog::AnyFile);
    dialog->setNameFilters({QStringLiteral("CSV (*.csv)")});
    dialog->setDefaultSuffix(QStringLiteral("csv"));
    openFileDialog(dialog, QStringLiteral("Сохранить"), std::move(done));
}
