#pragma once
// The per-person breakdown block inside an account's detail. It owns its loaded state: the
// block loads when it first appears and again whenever the user picks another scope.

#include "core/records.h"
#include "store/store.h"

#include <QObject>
#include <QPointer>
#include <QQmlParserStatus>
#include <QVariantList>
#include <QtQml/qqmlregistration.h>

class BreakdownView : public QObject, public QQmlParserStatus
{
    Q_OBJECT
    Q_INTERFACES(QQmlParserStatus)
    QML_ELEMENT
    Q_PROPERTY(Store *store READ store WRITE setStore NOTIFY storeChanged)
    Q_PROPERTY(QString provider READ provider WRITE setProvider NOTIFY providerChanged)
    Q_PROPERTY(QString email READ email WRITE setEmail NOTIFY emailChanged)
    Q_PROPERTY(QString scope READ scope WRITE selectScope NOTIFY scopeChanged)
    Q_PROPERTY(QVariantList rows READ rowsVariant NOTIFY dataChanged)
    Q_PROPERTY(double residual READ residual NOTIFY dataChanged)
    Q_PROPERTY(double observed READ observed NOTIFY dataChanged)
    Q_PROPERTY(double resetsAt READ resetsAt NOTIFY dataChanged)
    Q_PROPERTY(bool loaded READ loaded NOTIFY loadedChanged)
    // One map per segment: name, pct and color ("#RRGGBB", or "" for the theme's tertiary text).
    Q_PROPERTY(QVariantList segs READ segs NOTIFY dataChanged)
    // The texts the block shows, decided here: the scope choices ({key, label}), the summary line,
    // the state line while there is nothing to draw, and whether the residual footnote shows.
    Q_PROPERTY(QVariantList scopes READ scopes CONSTANT)
    Q_PROPERTY(QString title READ title CONSTANT)
    Q_PROPERTY(QString summary READ summary NOTIFY dataChanged)
    Q_PROPERTY(QString stateText READ stateText NOTIFY dataChanged)
    // Under data kept from an earlier answer when the newest load failed: how old they are.
    Q_PROPERTY(QString staleText READ staleText NOTIFY dataChanged)
    Q_PROPERTY(bool failed READ failed NOTIFY dataChanged)
    Q_PROPERTY(bool showResidualNote READ showResidualNote NOTIFY dataChanged)
    Q_PROPERTY(QString residualNote READ residualNote CONSTANT)

public:
    explicit BreakdownView(QObject *parent = nullptr);

    Store *store() const;
    void setStore(Store *s);
    const QString &provider() const { return m_provider; }
    void setProvider(const QString &p);
    const QString &email() const { return m_email; }
    void setEmail(const QString &e);
    const QString &scope() const { return m_scope; }
    const QList<BreakdownRow> &rows() const { return m_rows; }
    QVariantList rowsVariant() const { return toVariantList(m_rows); }
    double residual() const { return m_residual; }
    double observed() const { return m_observed; }
    double resetsAt() const { return m_resetsAt; }
    bool loaded() const { return m_loaded; }
    bool failed() const { return m_failed; }
    QVariantList segs() const;
    static QVariantList scopes();
    static QString title() { return QStringLiteral("Расход по людям"); }
    QString summary() const;
    QString stateText() const;
    QString staleText() const;
    bool showResidualNote() const { return m_residual > 0.05; }
    static QString residualNote()
    {
        return QStringLiteral("app/браузер — оценка (вне CLI), к человеку не привязывается");
    }

    // A legend figure: "%.1f%%", or "—" when it is not finite.
    static QString pctText(double pct);
    // The width of a segment of the stacked bar: its share of `available`, at least 2.
    Q_INVOKABLE static double segmentWidth(double pct, double available);

    // Fetches the current scope; the answer of the newest call wins.
    Q_INVOKABLE void load();
    // The user picked a scope ("week" or "month"): back to not loaded, then load it.
    Q_INVOKABLE void selectScope(const QString &scope);

    void classBegin() override { m_building = true; }
    // The block appeared: load once unless something already did.
    void componentComplete() override;

Q_SIGNALS:
    void storeChanged();
    void providerChanged();
    void emailChanged();
    void scopeChanged();
    void dataChanged();
    void loadedChanged();

private:
    void setLoaded(bool v);
    void accountChanged();
    void clearData();

    QPointer<Store> m_store;
    QString m_provider, m_email, m_scope = QStringLiteral("week");
    QList<BreakdownRow> m_rows;
    double m_residual = 0, m_observed = 0, m_resetsAt = 0;
    bool m_loaded = false;
    bool m_failed = false; // the newest load got no usable answer
    double m_dataAt = 0;   // when the rows shown arrived (Unix seconds)
    bool m_building = false; // QML is still assigning the initial property values
    quint64 m_seq = 0;
    bool m_reloadQueued = false;
    bool m_started = false;  // a load has run: from then on a change of account reloads
};
