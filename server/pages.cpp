// What is served without a credential: the machine set-up script, the update feed and a short
// welcome page for new members.
#include "server.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QLocale>
#include <QXmlStreamWriter>

#include "install_script.h"

// The set-up script (server/install/install.sh) with its revision, which machines report back so
// the team sees who runs old tooling, and the exit status tests may ask for.
Reply TeamServer::installScript(Ctx &) {
    static const QByteArray tooling =
        QCryptographicHash::hash(kInstallScript, QCryptographicHash::Sha256).toHex().left(12);
    Reply r;
    r.body = QByteArray(kInstallScript)
                 .replace("__TOOLING__", tooling)
                 .replace("__EXIT__", QByteArray::number(m_opt.installExit));
    r.contentType = "text/x-shellscript; charset=utf-8";
    return r;
}

Reply TeamServer::package(Ctx &) {
    Reply r;
    r.body = m_opt.feedPackage;
    r.contentType = "application/vnd.debian.binary-package";
    r.headers.append({"Content-Disposition", "attachment; filename=\"" + m_opt.feedPackageName.toUtf8() + "\""});
    return r;
}

Reply TeamServer::appcast(Ctx &) {
    const QString version = m_opt.feedVersion;
    const QString build = QString::number(m_opt.feedBuild);
    const QString page = QStringLiteral("https://team.corvane.dev/releases/v") + version;
    QByteArray xml;
    QXmlStreamWriter w(&xml);
    w.setAutoFormatting(true);
    w.writeStartDocument();
    w.writeStartElement("rss");
    w.writeAttribute("version", "2.0");
    w.writeNamespace("http://www.andymatuschak.org/xml-namespaces/sparkle", "sparkle");
    w.writeStartElement("channel");
    w.writeTextElement("title", "Corvane Studio");
    w.writeTextElement("link", m_opt.publicUrl + "/appcast.xml");
    w.writeTextElement("description", QStringLiteral("Обновления Corvane Studio"));
    w.writeTextElement("language", "ru");
    w.writeStartElement("item");
    w.writeTextElement("title", QStringLiteral("Версия ") + version);
    w.writeTextElement("pubDate", QLocale::c().toString(QDateTime::currentDateTimeUtc(),
                                                        QStringLiteral("ddd, dd MMM yyyy HH:mm:ss 'GMT'")));
    w.writeTextElement("sparkle:version", build);
    w.writeTextElement("sparkle:shortVersionString", version);
    w.writeStartElement("description");
    w.writeCDATA(QStringLiteral("<h2>Corvane Studio %1</h2><ul><li>Исправления и улучшения.</li></ul>").arg(version));
    w.writeEndElement();
    // With a package to offer, the item links to it: the client's update dialog opens that link.
    const bool deb = !m_opt.feedPackageName.isEmpty();
    const QString url = deb ? m_opt.publicUrl + "/download/" + m_opt.feedPackageName : page;
    w.writeTextElement("link", url);
    w.writeEmptyElement("enclosure");
    w.writeAttribute("url", url);
    w.writeAttribute("sparkle:version", build);
    w.writeAttribute("sparkle:shortVersionString", version);
    w.writeAttribute("type", deb ? "application/vnd.debian.binary-package" : "text/html");
    w.writeAttribute("length", QString::number(deb ? m_opt.feedPackage.size() : 0));
    w.writeEndElement(); // item
    w.writeEndElement(); // channel
    w.writeEndElement(); // rss
    w.writeEndDocument();
    Reply r;
    r.body = xml;
    r.contentType = "application/rss+xml; charset=utf-8";
    return r;
}

Reply TeamServer::index(Ctx &) {
    const QString url = m_opt.publicUrl.toHtmlEscaped();
    const QString html = QStringLiteral(
        "<!doctype html><html lang=\"ru\"><head><meta charset=\"utf-8\"><title>Corvane Team</title></head>"
        "<body style=\"font-family:sans-serif;max-width:40em;margin:3em auto;line-height:1.5\">"
        "<h1>Corvane Team</h1>"
        "<p>Это командный сервер Corvane. Чтобы подключиться:</p><ol>"
        "<li>Скачай приложение Corvane Studio на странице релизов: "
        "<a href=\"https://team.corvane.dev/releases/\">team.corvane.dev/releases</a>.</li>"
        "<li>Открой его и войди логином и паролем, которые выдал администратор.</li>"
        "<li>Адрес сервера: <code>%1</code></li></ol>"
        "<p>При первом входе приложение само всё настроит (статуслайн, лимиты, телеметрия).</p>"
        "</body></html>").arg(url);
    Reply r;
    r.body = html.toUtf8();
    r.contentType = "text/html; charset=utf-8";
    return r;
}
