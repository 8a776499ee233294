#include "common/ShowTestSupport.h"
#include "shows/Show.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// What a stored object with no usable keys reads as; its null id stands for any fresh one.
Show fallback(void (*change)(Show&) = nullptr)
{
    Show show;
    show.id = QUuid();
    show.name = u"Untitled Show"_s;
    show.podcastFlag = false;
    show.keepChapters = false;
    show.keepTrackInfo = false;
    if (change)
        change(show);
    return show;
}

QJsonValue parse(const QByteArray& json)
{
    return QJsonDocument::fromJson("[" + json + "]").array().at(0);
}

} // namespace

class TestShow : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void decodeTolerates_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<Show>("expected");
        QTest::addRow("empty object") << "{}"_ba << fallback();
        QTest::addRow("empty name becomes Untitled Show") << R"({"name":""})"_ba << fallback();
        QTest::addRow("values of other types take their fallbacks")
            << R"({"kind":1,"autoYear":"false","podcastFlag":"true","writeID3v1":0,"titleFromFileName":null,
                "title":5,"artist":[1],"album":{"a":1},"genre":true,"notes":null,"coverFile":7,"id":42})"_ba
            << fallback();
        QTest::addRow("id that is not a UUID") << R"({"id":"not-a-uuid"})"_ba << fallback();
        QTest::addRow("lower-case id kept")
            << R"({"id":"6ba7b810-9dad-11d1-80b4-00c04fd430c8"})"_ba
            << fallback([](Show& s) { s.id = QUuid(u"6BA7B810-9DAD-11D1-80B4-00C04FD430C8"_s); });
        QTest::addRow("release keys read")
            << R"({"numberTracks":true,"keepChapters":true,"podcastFlag":true,"keepTrackInfo":true,
                "artistFromFileName":true,"keepTitle":true})"_ba
            << fallback([](Show& s) {
                   s.numberTracks = true;
                   s.keepChapters = true;
                   s.podcastFlag = true;
                   s.keepTrackInfo = true;
                   s.artistFromFileName = true;
                   s.keepTitle = true;
               });
        QTest::addRow("unknown keys ignored")
            << R"({"rating":5,"name":"Kept"})"_ba << fallback([](Show& s) { s.name = u"Kept"_s; });
    }
    void decodeTolerates()
    {
        QFETCH(QByteArray, json);
        QFETCH(Show, expected);
        const QJsonValue value = parse(json);
        QVERIFY2(value.isObject(), json.constData());
        const auto decoded = Show::fromJson(value);
        QVERIFY(decoded);
        QVERIFY(!decoded->id.isNull());
        if (expected.id.isNull())
            expected.id = decoded->id;
        QCOMPARE(*decoded, expected);
    }

    void decodeRefusesNonObjects()
    {
        for (const QByteArray& json : {"3"_ba, "\"show\""_ba, "[{}]"_ba, "null"_ba})
            QVERIFY2(!Show::fromJson(parse(json)), json.constData());
        const auto a = Show::fromJson(parse("{}"));
        const auto b = Show::fromJson(parse("{}"));
        QVERIFY(a && b && a->id != b->id);
    }

    void encodeAndRoundTrip()
    {
        // Every field away from its default, so a key lost on the way shows.
        Show show = fullPodcast();
        show.kind = Show::Kind::Music;
        show.titleFromFileName = true;
        show.podcastFlag = false;
        show.writeID3v1 = false;
        show.numberTracks = true;
        show.keepChapters = false;
        show.keepTrackInfo = false;
        show.artistFromFileName = true;
        show.keepTitle = true;
        const QJsonObject object = show.toJson();
        QCOMPARE(object.value("id"_L1).toString(), show.id.toString(QUuid::WithoutBraces).toUpper());
        QCOMPARE(object.value("kind"_L1).toString(), u"music"_s);
        QCOMPARE(Show().toJson().value("kind"_L1).toString(), u"podcast"_s);
        QCOMPARE(Show::fromJson(object), std::optional(show));
        show.coverFile.reset();
        QVERIFY(!show.toJson().contains("coverFile"_L1));
        QCOMPARE(Show::fromJson(show.toJson()), std::optional(show));
        // A new show keeps chapters and leaves track numbers off; both are stored.
        const Show fresh;
        QVERIFY(fresh.keepChapters && !fresh.numberTracks);
        QCOMPARE(Show::fromJson(fresh.toJson()), std::optional(fresh));
    }
};

QTEST_GUILESS_MAIN(TestShow)
#include "TestShow.moc"
