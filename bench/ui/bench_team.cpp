// The team screens' speed, one figure per line as "NAME: VALUE ms":
//   ROSTER_KEYSTROKE_2000   filter and sort of 2,000 members for one keystroke in the search
//                           field (mean over a typed and erased query, and a sort change), and
//                           the slowest such keystroke (_WORST)
//   FIRST_FRAME_<SCREEN>    from creating the section's view to its first frame on screen, with
//                           the demo team loaded (median of 7, engine warm), and the statistics
//                           screen with 2,000 accounts
// Run under Xvfb; the software renderer is chosen here:  xvfb-run -a bench/ui/bench_team
#include "referenceserver.h"
#include "app/appupdater.h"
#include "app/avatarprovider.h"
#include "net/secretstore.h"
#include "store/membersmodel.h"
#include "store/store.h"
#include "ui/uibridge.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickStyle>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>
#include <QtQml/qqmlextensionplugin.h>
#include <algorithm>
#include <cstdio>

Q_IMPORT_QML_PLUGIN(CorvanePlugin)

namespace {

void figure(const char *name, double ms)
{
    std::printf("%s: %.2f ms\n", name, ms);
    std::fflush(stdout);
}

bool waitUntil(const std::function<bool()> &done, int timeoutMs = 20000)
{
    QElapsedTimer t;
    t.start();
    while (!done() && t.elapsed() < timeoutMs)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}

bool signIn(Store &store, ReferenceServer &server, const ReferenceServer::Login &who)
{
    QJsonObject o;
    const QString session = server.signIn(who.login, who.password, &o);
    store.setServerUrl(server.url());
    store.setLogin(who.login);
    store.setToken(o.value(QLatin1String("token")).toString());
    store.setSession(session);
    store.setRole(o.value(QLatin1String("role")).toString());
    store.setPhase(Store::Phase::Platform);
    return !session.isEmpty();
}

QList<Member> syntheticRoster(int n)
{
    static const char *const depts[] = {"Backend", "Frontend", "Дизайн", "Мобильная разработка", "QA", ""};
    static const char *const specs[] = {"Разработчик", "Дизайнер", "QA-инженер", "DevOps", "Аналитик"};
    static const char *const first[] = {"Иван", "Анна", "Пётр", "Мария", "Олег", "Елена", "Сергей", "Ольга"};
    static const char *const last[] = {"Смирнов", "Кузнецова", "Попов", "Лебедева", "Козлов", "Новикова"};
    QList<Member> out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        Member m;
        m.memberId = QStringLiteral("user%1").arg(i);
        m.name = QString::fromUtf8(first[i % 8]) + u' ' + QString::fromUtf8(last[(i / 8) % 6]) + QString::number(i);
        m.specialization = QString::fromUtf8(specs[i % 5]);
        m.department = QString::fromUtf8(depts[i % 6]);
        m.email = m.memberId + QStringLiteral("@corvane.dev");
        m.telegram = u'@' + m.memberId;
        m.online = i % 7 == 0;
        m.nAccounts = i % 4;
        m.lastSeen = 1.8e9 - i * 97;
        m.memberType = i % 9 == 0 ? QStringLiteral("contractor") : QStringLiteral("member");
        out << m;
    }
    return out;
}

struct Keystrokes { double meanMs = 0, maxMs = 0; };

Keystrokes rosterKeystroke(Store &store)
{
    store.setMembers(syntheticRoster(2000));
    RosterView view;
    const QString query = QStringLiteral("ольга кузнецова");
    QElapsedTimer t;
    int strokes = 0;
    qint64 ns = 0, worst = 0;
    auto stroke = [&](const std::function<void()> &fn) {
        t.start();
        fn();
        const qint64 d = t.nsecsElapsed();
        ns += d;
        worst = std::max(worst, d);
        ++strokes;
    };
    for (int round = 0; round < 5; ++round) {
        for (int i = 1; i <= query.size(); ++i) // typed
            stroke([&] { store.roster()->setQuery(query.left(i)); });
        for (int i = int(query.size()) - 1; i >= 0; --i) // erased
            stroke([&] { store.roster()->setQuery(query.left(i)); });
        stroke([&] { view.chooseSort(round % 2 ? Tm::Sort::Name : Tm::Sort::Seen); });
    }
    store.roster()->setQuery(QString());
    store.setMembers({});
    return {ns / 1e6 / strokes, worst / 1e6};
}

// Creates the section's view in the window and waits for the frame that shows it.
double firstFrame(QQmlEngine &engine, QQuickWindow &window, const QByteArray &type)
{
    QQmlComponent component(&engine);
    component.setData("import QtQuick\nimport Corvane\n" + type + " { width: 1096; height: 792; x: 24; y: 24 }\n",
                      QUrl(QStringLiteral("qrc:/bench/") + QString::fromLatin1(type) + QStringLiteral(".qml")));
    bool swapped = false;
    const auto link = QObject::connect(&window, &QQuickWindow::frameSwapped, [&] { swapped = true; });
    QElapsedTimer t;
    t.start();
    QObject *obj = component.create();
    auto *item = qobject_cast<QQuickItem *>(obj);
    if (!item) {
        std::fprintf(stderr, "bench: %s did not load: %s\n", type.constData(), qPrintable(component.errorString()));
        delete obj;
        return -1;
    }
    item->setParentItem(window.contentItem());
    window.update();
    waitUntil([&] { return swapped; });
    const double ms = t.nsecsElapsed() / 1e6;
    QObject::disconnect(link);
    delete item;
    // Let the loads the view started settle before the next measurement.
    waitUntil([] { return false; }, 300);
    return ms;
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? -1 : v[v.size() / 2];
}

double medianFrame(QQmlEngine &engine, QQuickWindow &window, const QByteArray &type)
{
    firstFrame(engine, window, type); // warm: types compiled, fonts and glyphs cached
    QList<double> runs;
    for (int i = 0; i < 7; ++i)
        runs << firstFrame(engine, window, type);
    return median(runs);
}

QList<StatAccount> syntheticAccounts(int n)
{
    QList<StatAccount> out;
    out.reserve(n);
    for (int i = 0; i < n; ++i) {
        StatAccount a;
        a.email = QStringLiteral("acct%1@corvane.dev").arg(i);
        a.totalPoints = (i * 37) % 150;
        a.residual = i % 3 ? 0 : 7.5;
        a.resetsAt = 1.8e9 + i * 600;
        out << a;
    }
    return out;
}

} // namespace

int main(int argc, char **argv)
{
    qputenv("QT_QUICK_BACKEND", "software");
    QApplication app(argc, argv);
    if (qEnvironmentVariableIsEmpty("CORVANE_SERVER_BIN"))
        qputenv("CORVANE_SERVER_BIN", CORVANE_SERVER_PATH);
    loadBundledFonts();
    QQuickStyle::setStyle(QStringLiteral("Basic"));

    ReferenceServer server;
    if (!server.start()) {
        std::fprintf(stderr, "bench: the reference server did not start\n");
        return 1;
    }
    QTemporaryDir home;
    MemorySecretStore secrets;
    StoreDeps deps;
    deps.secrets = &secrets;
    deps.settingsFile = home.filePath(QStringLiteral("prefs.ini"));
    deps.home = home.path();
    Store store(nullptr, deps);
    Store::setInstance(&store);
    AppUpdater::setInstance(new AppUpdater(nullptr, &app));

    const Keystrokes keys = rosterKeystroke(store);
    figure("ROSTER_KEYSTROKE_2000", keys.meanMs);
    figure("ROSTER_KEYSTROKE_2000_WORST", keys.maxMs);

    if (!signIn(store, server, server.loginFor(QStringLiteral("admin")))) {
        std::fprintf(stderr, "bench: demo sign-in failed\n");
        return 1;
    }
    // The demo team's data, loaded once as the screens would.
    store.loadStats();
    store.loadActivity();
    store.loadMembers();
    store.loadMe();
    waitUntil([&] {
        return !store.stats()->members().isEmpty() && !store.activity()->people().isEmpty() && !store.members().isEmpty()
            && !store.profile()->memberId().isEmpty();
    });

    QQmlEngine engine;
    engine.addImportPath(QStringLiteral("qrc:/"));
    engine.addImageProvider(QLatin1String(AvatarImageProvider::kId), new AvatarImageProvider(&store));
    QQuickWindow window;
    window.setColor(QColor(0x1A, 0x1A, 0x1D));
    window.resize(1144, 840);
    window.show();
    waitUntil([&] { return window.isExposed(); });

    std::printf("platform %s, renderer %s, demo team: %lld members, %lld accounts in statistics\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(QQuickWindow::sceneGraphBackend()),
                qint64(store.members().size()), qint64(store.stats()->accounts().size()));
    figure("FIRST_FRAME_STATS", medianFrame(engine, window, "StatsView"));
    figure("FIRST_FRAME_ACTIVITY", medianFrame(engine, window, "ActivityView"));
    figure("FIRST_FRAME_TEAM", medianFrame(engine, window, "TeamView"));
    figure("FIRST_FRAME_PROFILE", medianFrame(engine, window, "ProfileView"));

    // Statistics with 2,000 accounts. As a viewer the view's own reload does nothing, so every
    // frame measured draws the big list.
    store.setRole(QStringLiteral("viewer"));
    QList<double> runs;
    for (int i = 0; i < 8; ++i) {
        store.stats()->setAccounts(syntheticAccounts(2000));
        const double ms = firstFrame(engine, window, "StatsView");
        if (i > 0)
            runs << ms;
    }
    figure("FIRST_FRAME_STATS_2000", median(runs));
    server.stop();
    return 0;
}
