// Photo uploads: the picked file becomes an RGBA PNG of at most 256 pixels on its longer side,
// and the upload's outcome lands in the own avatar and the photo cache. Photos from the server are
// decoded only within their limits.
#include "kit.h"
#include "testmain.h"

#include <QBuffer>
#include <QFile>
#include <QImageWriter>
#include <QTest>

namespace {

std::optional<QByteArray> pick(StoreFixture &kit, const QString &path)
{
    kit.chooser.next = path;
    std::optional<std::optional<QByteArray>> got;
    kit->pickPNG([&](const std::optional<QByteArray> &d) { got = d; });
    [&] { QTRY_VERIFY(got.has_value()); }();
    return got.value_or(std::nullopt);
}

// PNG header facts: 8 bits per sample, colour type 6 (RGB with alpha).
bool isRgba8Png(const QByteArray &png)
{
    return png.startsWith("\x89PNG\r\n\x1a\n") && png.size() > 26 && png.mid(12, 4) == "IHDR"
        && quint8(png[24]) == 8 && quint8(png[25]) == 6;
}

QImage gradient(int w, int h, QImage::Format format)
{
    QImage img(w, h, format);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            img.setPixelColor(x, y, QColor(x * 255 / std::max(1, w - 1), y * 255 / std::max(1, h - 1), 90));
    return img;
}

} // namespace

class TestAvatarPipeline : public QObject
{
    Q_OBJECT

private slots:
    // Sizes: the longer side becomes 256, the shorter one truncated; small images stay as they are.
    void sizes_data()
    {
        QTest::addColumn<QSize>("in");
        QTest::addColumn<QByteArray>("format");
        QTest::addColumn<QSize>("out");
        QTest::newRow("large jpeg") << QSize(4000, 3000) << QByteArray("JPEG") << QSize(256, 192);
        QTest::newRow("tall png") << QSize(300, 3000) << QByteArray("PNG") << QSize(25, 256);
        QTest::newRow("exactly 256") << QSize(256, 100) << QByteArray("PNG") << QSize(256, 100);
        QTest::newRow("tiny, not enlarged") << QSize(100, 40) << QByteArray("PNG") << QSize(100, 40);
        QTest::newRow("one pixel") << QSize(1, 1) << QByteArray("BMP") << QSize(1, 1);
        QTest::newRow("a line too thin to keep") << QSize(1000, 1) << QByteArray("PNG") << QSize();
    }
    void sizes()
    {
        QFETCH(QSize, in);
        QFETCH(QByteArray, format);
        QFETCH(QSize, out);
        StoreFixture kit;
        const QString path = kit.dir.filePath("in." + format.toLower());
        QVERIFY(gradient(in.width(), in.height(), QImage::Format_RGB32).save(path, format.constData()));
        const std::optional<QByteArray> png = pick(kit, path);
        QCOMPARE(png.has_value(), out.isValid());
        if (!png)
            return;
        QVERIFY(isRgba8Png(*png));
        const QImage back = QImage::fromData(*png, "PNG");
        QCOMPARE(back.size(), out);
        // Scaled, not cropped: the corners keep the source's corner colours.
        if (in.width() > 1 && in.height() > 1) {
            QVERIFY(qAbs(back.pixelColor(back.width() - 1, 0).red() - 255) <= 12);
            QVERIFY(qAbs(back.pixelColor(0, back.height() - 1).green() - 255) <= 12);
            QVERIFY(back.pixelColor(0, 0).red() <= 12);
        }
    }

    // Transparency survives: clear stays clear, half-covered stays half-covered.
    void alphaIsKept()
    {
        QImage img(512, 512, QImage::Format_ARGB32);
        img.fill(Qt::transparent);
        for (int y = 128; y < 384; ++y)
            for (int x = 128; x < 384; ++x)
                img.setPixelColor(x, y, QColor(200, 40, 40, 128));
        StoreFixture kit;
        const QString path = kit.dir.filePath("alpha.png");
        QVERIFY(img.save(path));
        const std::optional<QByteArray> png = pick(kit, path);
        QVERIFY(png);
        const QImage back = QImage::fromData(*png, "PNG").convertToFormat(QImage::Format_RGBA8888);
        QCOMPARE(back.size(), QSize(256, 256));
        QCOMPARE(back.pixelColor(5, 5).alpha(), 0);
        QVERIFY(qAbs(back.pixelColor(128, 128).alpha() - 128) <= 2);
        QVERIFY(qAbs(back.pixelColor(128, 128).red() - 200) <= 3);
    }

    // A photo stored sideways with an orientation tag comes out upright.
    void orientationIsApplied()
    {
        StoreFixture kit;
        const QString path = kit.dir.filePath("rotated.jpg");
        QImageWriter writer(path, "JPEG");
        if (!writer.supportsOption(QImageIOHandler::ImageTransformation))
            QSKIP("this JPEG writer stores no orientation");
        writer.setTransformation(QImageIOHandler::TransformationRotate90);
        QVERIFY(writer.write(gradient(600, 300, QImage::Format_RGB32)));
        const std::optional<QByteArray> png = pick(kit, path);
        QVERIFY(png);
        QCOMPARE(QImage::fromData(*png, "PNG").size(), QSize(128, 256));
    }

    // Nothing to upload: a cancelled choice, a file that is no image, a missing file, no chooser.
    void nothingPicked()
    {
        StoreFixture kit;
        QVERIFY(!pick(kit, QString()));
        const QString text = kit.dir.filePath("notes.png");
        QFile f(text);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("this is not a picture\n");
        f.close();
        QVERIFY(!pick(kit, text));
        QVERIFY(!pick(kit, kit.dir.filePath("missing.jpg")));
        QVERIFY(!Store::avatarPng(QImage()));

        StoreDeps deps = kit.deps;
        deps.chooser = nullptr;
        Store bare(nullptr, deps);
        bool called = false;
        bare.pickPNG([&](const std::optional<QByteArray> &d) { called = !d.has_value(); });
        QTRY_VERIFY(called);
    }

    // The own photo: what the server accepted becomes the avatar and the cached photo, versioned
    // by the server's time stamp; a refusal leaves both alone. (Toasts and expiry per answer are
    // the write outcome table's.)
    void ownUploadOutcomes_data()
    {
        QTest::addColumn<Reply>("answer");
        QTest::addColumn<bool>("stored");
        QTest::newRow("accepted") << Reply::json({{"ok", true}, {"avatar_updated_at", 1700000123.5}}) << true;
        QTest::newRow("refused") << Reply::json({{"ok", false}, {"error", "big"}}, 400) << false;
    }
    void ownUploadOutcomes()
    {
        QFETCH(Reply, answer);
        QFETCH(bool, stored);
        FakeServer server;
        server.answer = [answer](const Request &) { return answer; };
        StoreFixture kit({.httpTimeoutMs = 400});
        Store &store = kit.signedIn(server.url(), "viewer");
        store.profile()->setMemberId("me");
        const QString path = kit.dir.filePath("me.png");
        QVERIFY(gradient(640, 480, QImage::Format_RGB32).save(path));
        kit.chooser.next = path;
        store.pickAvatar();
        QTRY_VERIFY_WITH_TIMEOUT(!store.toast().isEmpty(), 5000);
        QCOMPARE(store.profile()->hasAvatar(), stored);
        QCOMPARE(store.hasMemberAvatar("me"), stored);
        if (stored) {
            QCOMPARE(store.profile()->avatar().size(), QSize(256, 192));
            QCOMPARE(store.avatarVersions().value("me"), 1700000123.5);
        }
        QCOMPARE(server.seen.size(), 1);
        const QByteArray sent = QByteArray::fromBase64(server.seen[0].json.value("avatar_base64").toString().toLatin1());
        QVERIFY(isRgba8Png(sent));
        // The next user of this machine sees neither this photo nor this profile.
        store.logOut();
        QVERIFY(!store.profile()->hasAvatar() && !store.hasMemberAvatar("me") && store.profile()->memberId().isEmpty());
    }

    // A photo from the server is decoded only as PNG or JPEG, within 4 MiB and 1024 x 1024 px.
    void serverPhotos_data()
    {
        const auto encoded = [](QSize size, const char *format) {
            QByteArray bytes;
            QBuffer buf(&bytes);
            buf.open(QIODevice::WriteOnly);
            gradient(size.width(), size.height(), QImage::Format_RGB32).save(&buf, format);
            return bytes;
        };
        QTest::addColumn<QByteArray>("data");
        QTest::addColumn<QSize>("decoded"); // invalid: no photo
        QTest::newRow("png") << encoded({120, 80}, "PNG") << QSize(120, 80);
        QTest::newRow("jpeg at the size limit") << encoded({1024, 1024}, "JPEG") << QSize(1024, 1024);
        QTest::newRow("png too wide") << encoded({1025, 10}, "PNG") << QSize();
        QTest::newRow("bmp") << encoded({10, 10}, "BMP") << QSize();
        QTest::newRow("svg") << QByteArray("<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"10\" height=\"10\"/>") << QSize();
        QTest::newRow("png over 4 MiB") << encoded({10, 10}, "PNG") + QByteArray(4 * 1024 * 1024, '\0') << QSize();
        QTest::newRow("png header, then junk") << QByteArray("\x89PNG\r\n\x1a\nnot really") << QSize();
    }
    void serverPhotos()
    {
        QFETCH(QByteArray, data);
        QFETCH(QSize, decoded);
        QCOMPARE(Store::serverPhoto(data).size(), decoded.isValid() ? decoded : QSize(0, 0));
    }

    // A cancelled choice asks the server nothing; a member's photo goes through the roster update.
    void uploadsSendWhatWasPicked()
    {
        FakeServer server;
        server.answer = [](const Request &) { return Reply::json({{"ok", true}}); };
        StoreFixture kit;
        Store &store = kit.signedIn(server.url());
        kit.chooser.next.clear();
        store.pickAvatar();
        store.pickMemberAvatar("anna");
        QCOMPARE(kit.chooser.asked, 2);

        const QString path = kit.dir.filePath("anna.png");
        QVERIFY(gradient(50, 60, QImage::Format_RGB32).save(path));
        kit.chooser.next = path;
        store.pickMemberAvatar("anna");
        QTRY_COMPARE(store.toast(), QString("Сохранено ✓"));
        int posts = 0; // the cancelled choices sent nothing
        for (const Request &r : server.to("/api/members"))
            posts += r.method == "POST";
        QCOMPARE(posts, 1);
        QCOMPARE(server.count("/api/me/avatar"), 0); // what the server makes of it: the photo round trip
    }
};

CORVANE_TEST_CLASS(TestAvatarPipeline)
#include "tst_avatar_pipeline.moc"
