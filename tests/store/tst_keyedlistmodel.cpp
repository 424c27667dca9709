// The keyed list model keeps rows (and the delegates on them) across refreshes: whatever order,
// removals, insertions and changes a new list brings, the model ends equal to it, passes Qt's model
// checks, and only rows whose shown content changed report a change.
#include "store/keyedlistmodel.h"
#include "testmain.h"

#include <QAbstractItemModelTester>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QTest>

namespace {
struct Rec {
    QString k;
    int v = 0;
};

class Model : public KeyedListModel
{
public:
    QList<Rec> rows;
    int rowCount(const QModelIndex &p = {}) const override { return p.isValid() ? 0 : int(rows.size()); }
    QVariant data(const QModelIndex &i, int role) const override
    {
        if (!checkIndex(i, CheckIndexOption::IndexIsValid) || role != Qt::DisplayRole)
            return {};
        return QStringLiteral("%1=%2").arg(rows[i.row()].k).arg(rows[i.row()].v);
    }
    void set(const QList<Rec> &next)
    {
        reconcile(rows, next, [](const Rec &r) { return r.k; },
                  [](const Rec &a, const Rec &b) { return a.v == b.v; });
    }
};

// "a1 b2 c3" -> records
QList<Rec> parse(const QString &s)
{
    QList<Rec> out;
    for (const QString &t : s.split(u' ', Qt::SkipEmptyParts))
        out.append({t.left(1), t.mid(1).toInt()});
    return out;
}
QString show(const QList<Rec> &l)
{
    QStringList parts;
    for (const Rec &r : l)
        parts << r.k + QString::number(r.v);
    return parts.join(u' ');
}
} // namespace

class TestKeyedListModel : public QObject
{
    Q_OBJECT
private Q_SLOTS:
    void reconcile_data()
    {
        QTest::addColumn<QString>("before");
        QTest::addColumn<QString>("after");
        QTest::addColumn<QString>("expected");   // what the model holds afterwards
        QTest::addColumn<int>("inserted");        // rows inserted
        QTest::addColumn<int>("removed");         // rows removed
        QTest::addColumn<int>("changedRows");     // rows reported changed
        QTest::addColumn<int>("layouts");         // layout changes

        QTest::newRow("fill empty") << "" << "a1 b2" << "a1 b2" << 2 << 0 << 0 << 0;
        QTest::newRow("identical") << "a1 b2 c3" << "a1 b2 c3" << "a1 b2 c3" << 0 << 0 << 0 << 0;
        QTest::newRow("one changed") << "a1 b2 c3" << "a1 b9 c3" << "a1 b9 c3" << 0 << 0 << 1 << 0;
        QTest::newRow("run changed") << "a1 b2 c3 d4" << "a0 b0 c3 d0" << "a0 b0 c3 d0" << 0 << 0 << 3 << 0;
        QTest::newRow("removed middle") << "a1 b2 c3" << "a1 c3" << "a1 c3" << 0 << 1 << 0 << 0;
        QTest::newRow("removed all") << "a1 b2 c3" << "" << "" << 0 << 3 << 0 << 0;
        QTest::newRow("inserted front, middle, end") << "b2 d4" << "a1 b2 c3 d4 e5" << "a1 b2 c3 d4 e5"
                                                     << 3 << 0 << 0 << 0;
        QTest::newRow("reversed") << "a1 b2 c3" << "c3 b2 a1" << "c3 b2 a1" << 0 << 0 << 0 << 1;
        QTest::newRow("everything at once") << "a1 b2 c3 d4" << "e5 d0 b2 f6" << "e5 d0 b2 f6"
                                            << 2 << 2 << 1 << 1;
        QTest::newRow("repeated key keeps first") << "" << "a1 a2 b3" << "a1 b3" << 2 << 0 << 0 << 0;
    }
    void reconcile()
    {
        QFETCH(QString, before);
        QFETCH(QString, after);
        QFETCH(QString, expected);
        Model m;
        QAbstractItemModelTester tester(&m, QAbstractItemModelTester::FailureReportingMode::QtTest);
        // A sorting proxy on top, as the views have, must follow every change too.
        QSortFilterProxyModel proxy;
        proxy.setSourceModel(&m);
        proxy.sort(0);
        QAbstractItemModelTester proxyTester(&proxy, QAbstractItemModelTester::FailureReportingMode::QtTest);
        m.set(parse(before));

        QSignalSpy ins(&m, &QAbstractItemModel::rowsInserted);
        QSignalSpy rem(&m, &QAbstractItemModel::rowsRemoved);
        QSignalSpy chg(&m, &QAbstractItemModel::dataChanged);
        QSignalSpy lay(&m, &QAbstractItemModel::layoutChanged);
        m.set(parse(after));

        QCOMPARE(show(m.rows), expected);
        int inserted = 0, removed = 0, changedRows = 0;
        for (const auto &a : ins)
            inserted += a[2].toInt() - a[1].toInt() + 1;
        for (const auto &a : rem)
            removed += a[2].toInt() - a[1].toInt() + 1;
        for (const auto &a : chg)
            changedRows += a[1].toModelIndex().row() - a[0].toModelIndex().row() + 1;
        QTEST(inserted, "inserted");
        QTEST(removed, "removed");
        QTEST(changedRows, "changedRows");
        QTEST(int(lay.size()), "layouts");
        QCOMPARE(proxy.rowCount(), m.rowCount());
    }

    // A persistent index (what a view holds for an open row) follows its row through a reorder.
    void persistentIndexFollowsItsRow()
    {
        Model m;
        m.set(parse("a1 b2 c3"));
        QPersistentModelIndex b(m.index(1));
        m.set(parse("c3 x0 a1 b2"));
        QVERIFY(b.isValid());
        QCOMPARE(b.row(), 3);
        QCOMPARE(b.data().toString(), QStringLiteral("b=2"));
    }
};

CORVANE_TEST_CLASS(TestKeyedListModel)
#include "tst_keyedlistmodel.moc"
