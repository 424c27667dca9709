// The main() of a merged test executable (see testmain.h).
#include "testmain.h"

#include <QApplication>
#include <QList>
#include <QTest>

namespace {
struct Entry {
    QString name;
    std::function<std::unique_ptr<QObject>()> make;
};

QList<Entry> &entries()
{
    static QList<Entry> list;
    return list;
}
} // namespace

bool testmain::add(const char *name, std::function<std::unique_ptr<QObject>()> make)
{
    entries().append({QString::fromLatin1(name), std::move(make)});
    return true;
}

int main(int argc, char **argv)
{
    // The tables of dates and countdowns are written for Moscow time; ctest sets it, and a suite
    // run by hand gets the same answers.
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", "Europe/Moscow");
    QApplication app(argc, argv);
    app.setAttribute(Qt::AA_Use96Dpi, true);
    QStringList args = app.arguments();
    QString only;
    for (const Entry &e : entries())
        if (args.size() > 1 && args[1] == e.name)
            only = args.takeAt(1);
    int failed = 0;
    for (const Entry &e : entries()) {
        if (only.isEmpty() || e.name == only) {
            const std::unique_ptr<QObject> test = e.make();
            failed += QTest::qExec(test.get(), args);
        }
    }
    return qMin(failed, 127); // an exit status of 256 failures would read as success
}
