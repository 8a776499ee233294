#include "shows/Show.h"
#include "shows/Uuid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

#include <unordered_set>

namespace {

// What a stored object with no usable keys at all reads as.
Show fallbackShow()
{
    Show show;
    show.name = QStringLiteral("Untitled Show");
    show.podcastFlag = false;
    return show;
}

Show everyFieldSet()
{
    Show show;
    show.kind = Show::Kind::Music;
    show.name = QStringLiteral("Night Drive");
    show.title = QStringLiteral("Title");
    show.titleFromFileName = true;
    show.artist = QStringLiteral("Artist ✓");
    show.albumArtist = QStringLiteral("Album Artist");
    show.album = QStringLiteral("Album");
    show.genre = QStringLiteral("Electronic");
    show.year = QStringLiteral("1999-04");
    show.autoYear = false;
    show.language = QStringLiteral("fr");
    show.publisher = QStringLiteral("Publisher");
    show.copyright = QStringLiteral("© Someone");
    show.comment = QStringLiteral("line one\nline two");
    show.description = QStringLiteral("Description 😀");
    show.category = QStringLiteral("Arts/Books");
    show.keywords = QStringLiteral("a, b");
    show.feedURL = QStringLiteral("https://example.com/feed");
    show.podcastFlag = false;
    show.composer = QStringLiteral("Composer");
    show.coverFile = QStringLiteral("ABC.png");
    show.writeID3v1 = false;
    show.notes = QStringLiteral("notes");
    return show;
}

QJsonValue parse(const QByteArray& json)
{
    const QJsonDocument document = QJsonDocument::fromJson("[" + json + "]");
    return document.array().at(0);
}

} // namespace

class TestShow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void newShowDefaults()
    {
        const Show a;
        const Show b;
        QCOMPARE(a.kind, Show::Kind::Podcast);
        QCOMPARE(a.name, QStringLiteral("New Show"));
        QVERIFY(a.autoYear);
        QVERIFY(a.podcastFlag);
        QVERIFY(a.writeID3v1);
        QVERIFY(!a.titleFromFileName);
        QVERIFY(!a.coverFile);
        QVERIFY(!a.id.isNull());
        QVERIFY(a.id != b.id);
    }

    void kinds()
    {
        QCOMPARE(Show::allKinds(), (QList<Show::Kind> {Show::Kind::Podcast, Show::Kind::Music}));
        QCOMPARE(Show::kindText(Show::Kind::Podcast), QStringLiteral("podcast"));
        QCOMPARE(Show::kindText(Show::Kind::Music), QStringLiteral("music"));
        QCOMPARE(Show::kindFromText(QStringLiteral("music")), std::optional(Show::Kind::Music));
        QCOMPARE(Show::kindFromText(QStringLiteral("Music")), std::nullopt);
        QCOMPARE(Show::kindFromText(QString()), std::nullopt);
    }

    void decodeTolerates_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Show>("expected");
        QTest::addColumn<bool>("keepsId");

        const QByteArray id = "\"6BA7B810-9DAD-11D1-80B4-00C04FD430C8\"";
        const QUuid uuid(QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8"));
        const auto with = [](auto change) {
            Show show = fallbackShow();
            change(show);
            return show;
        };

        QTest::addRow("empty object") << QByteArray("{}") << fallbackShow() << false;
        QTest::addRow("empty name becomes Untitled Show")
            << QByteArray(R"({"name":""})") << fallbackShow() << false;
        QTest::addRow("name of two spaces stays")
            << QByteArray(R"({"name":"  "})") << with([](Show& s) { s.name = QStringLiteral("  "); })
            << false;
        QTest::addRow("music") << QByteArray(R"({"kind":"music"})")
                               << with([](Show& s) { s.kind = Show::Kind::Music; }) << false;
        QTest::addRow("capitalised kind reads as podcast")
            << QByteArray(R"({"kind":"Music"})") << fallbackShow() << false;
        QTest::addRow("numeric kind reads as podcast")
            << QByteArray(R"({"kind":1})") << fallbackShow() << false;
        QTest::addRow("autoYear as string reads true")
            << QByteArray(R"({"autoYear":"false"})") << fallbackShow() << false;
        QTest::addRow("autoYear false is kept")
            << QByteArray(R"({"autoYear":false})") << with([](Show& s) { s.autoYear = false; }) << false;
        QTest::addRow("podcastFlag as string reads false")
            << QByteArray(R"({"podcastFlag":"true"})") << fallbackShow() << false;
        QTest::addRow("podcastFlag true is kept")
            << QByteArray(R"({"podcastFlag":true})") << with([](Show& s) { s.podcastFlag = true; }) << false;
        QTest::addRow("writeID3v1 as number reads true")
            << QByteArray(R"({"writeID3v1":0})") << fallbackShow() << false;
        QTest::addRow("titleFromFileName as null reads false")
            << QByteArray(R"({"titleFromFileName":null})") << fallbackShow() << false;
        QTest::addRow("texts of other types read empty")
            << QByteArray(R"({"title":5,"artist":[1],"album":{"a":1},"genre":true,"notes":null})")
            << fallbackShow() << false;
        QTest::addRow("id that is not a UUID")
            << QByteArray(R"({"id":"not-a-uuid"})") << fallbackShow() << false;
        QTest::addRow("id in braces")
            << QByteArray(R"({"id":"{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}"})") << fallbackShow() << false;
        QTest::addRow("id as number") << QByteArray(R"({"id":42})") << fallbackShow() << false;
        QTest::addRow("upper-case id kept")
            << QByteArray("{\"id\":" + id + "}") << with([&](Show& s) { s.id = uuid; }) << true;
        QTest::addRow("lower-case id kept")
            << QByteArray("{\"id\":" + id.toLower() + "}") << with([&](Show& s) { s.id = uuid; }) << true;
        QTest::addRow("cover file") << QByteArray(R"({"coverFile":"x.png"})")
                                    << with([](Show& s) { s.coverFile = QStringLiteral("x.png"); }) << false;
        QTest::addRow("cover as null is absent")
            << QByteArray(R"({"coverFile":null})") << fallbackShow() << false;
        QTest::addRow("cover as number is absent")
            << QByteArray(R"({"coverFile":7})") << fallbackShow() << false;
        QTest::addRow("unknown keys ignored")
            << QByteArray(R"({"rating":5,"name":"Kept"})")
            << with([](Show& s) { s.name = QStringLiteral("Kept"); }) << false;
    }

    void decodeTolerates()
    {
        QFETCH(QByteArray, json);
        QFETCH(Show, expected);
        QFETCH(bool, keepsId);

        const QJsonValue value = parse(json);
        QVERIFY2(value.isObject(), json.constData());
        auto decoded = Show::fromJson(value);
        QVERIFY(decoded);
        QVERIFY(!decoded->id.isNull());
        if (!keepsId)
            expected.id = decoded->id;
        QCOMPARE(*decoded, expected);
    }

    void freshIdsDiffer()
    {
        const auto a = Show::fromJson(parse("{}"));
        const auto b = Show::fromJson(parse("{}"));
        QVERIFY(a && b);
        QVERIFY(a->id != b->id);
    }

    void decodeRefusesNonObjects_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addRow("number") << QByteArray("3");
        QTest::addRow("string") << QByteArray("\"show\"");
        QTest::addRow("array") << QByteArray("[{}]");
        QTest::addRow("null") << QByteArray("null");
    }

    void decodeRefusesNonObjects()
    {
        QFETCH(QByteArray, json);
        QVERIFY(!Show::fromJson(parse(json)));
    }

    void encodeWritesEveryKey()
    {
        Show show = everyFieldSet();
        QJsonObject object = show.toJson();
        QCOMPARE(object.size(), 24);
        QCOMPARE(object.value(QLatin1StringView("id")).toString(), Uuid::text(show.id));
        QVERIFY(object.value(QLatin1StringView("id")).toString().toUpper()
            == object.value(QLatin1StringView("id")).toString());
        QCOMPARE(object.value(QLatin1StringView("kind")).toString(), QStringLiteral("music"));
        QCOMPARE(object.value(QLatin1StringView("coverFile")).toString(), QStringLiteral("ABC.png"));

        show.coverFile.reset();
        object = show.toJson();
        QCOMPARE(object.size(), 23);
        QVERIFY(!object.contains(QLatin1StringView("coverFile")));
        const auto decoded = Show::fromJson(object);
        QVERIFY(decoded);
        QVERIFY(!decoded->coverFile);
    }

    void roundTrip()
    {
        const Show full = everyFieldSet();
        QCOMPARE(Show::fromJson(full.toJson()), std::optional(full));

        const Show fresh;
        QCOMPARE(Show::fromJson(fresh.toJson()), std::optional(fresh));

        Show unnamed;
        unnamed.name.clear();
        Show expected = unnamed;
        expected.name = QStringLiteral("Untitled Show");
        QCOMPARE(Show::fromJson(unnamed.toJson()), std::optional(expected));
    }

    void equalityAndHashing()
    {
        const Show a = everyFieldSet();
        Show b = a;
        QCOMPARE(a, b);
        QCOMPARE(qHash(a), qHash(b));
        QCOMPARE(std::hash<Show>()(a), std::hash<Show>()(b));

        b.notes += u'!';
        QVERIFY(a != b);
        Show c = a;
        c.coverFile.reset();
        QVERIFY(a != c);
        Show d = a;
        d.id = QUuid::createUuid();
        QVERIFY(a != d);

        const QSet<Show> set {a, b, c, a};
        QCOMPARE(set.size(), 3);
        const std::unordered_set<Show> standard {a, b, a};
        QCOMPARE(standard.size(), size_t(2));
    }

    void uuidText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addRow("upper case") << QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8") << true;
        QTest::addRow("lower case") << QStringLiteral("6ba7b810-9dad-11d1-80b4-00c04fd430c8") << true;
        QTest::addRow("nil") << QStringLiteral("00000000-0000-0000-0000-000000000000") << true;
        QTest::addRow("braces") << QStringLiteral("{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}") << false;
        QTest::addRow("no dashes") << QStringLiteral("6BA7B8109DAD11D180B400C04FD430C8") << false;
        QTest::addRow("dash misplaced") << QStringLiteral("6BA7B8109-DAD-11D1-80B4-00C04FD430C8") << false;
        QTest::addRow("not hexadecimal") << QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430CG") << false;
        QTest::addRow("non-ASCII digit")
            << QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C\u00e9") << false;
        QTest::addRow("empty") << QString() << false;
    }

    void uuidText()
    {
        QFETCH(QString, text);
        QFETCH(bool, accepted);
        const auto id = Uuid::parse(text);
        QCOMPARE(bool(id), accepted);
        if (id)
            QCOMPARE(Uuid::text(*id), text.toUpper());
    }
};

QTEST_GUILESS_MAIN(TestShow)
#include "TestShow.moc"
