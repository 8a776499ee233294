#include "common/ShowTestSupport.h"
#include "shows/Show.h"
#include "shows/Uuid.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QTest>

#include <unordered_set>

using namespace Qt::Literals::StringLiterals;

namespace {

const QUuid knownId(u"6BA7B810-9DAD-11D1-80B4-00C04FD430C8"_s);

// What a stored object with no usable keys reads as; its null id stands for any fresh one.
Show fallback(void (*change)(Show&) = nullptr)
{
    Show show;
    show.id = QUuid();
    show.name = u"Untitled Show"_s;
    show.podcastFlag = false;
    if (change)
        change(show);
    return show;
}

// Every field away from its default, so a key lost on the way shows.
Show everyFieldSet()
{
    Show show = fullPodcast();
    show.kind = Show::Kind::Music;
    show.titleFromFileName = true;
    show.podcastFlag = false;
    show.writeID3v1 = false;
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
        QTest::addRow("name of two spaces stays")
            << R"({"name":"  "})"_ba << fallback([](Show& s) { s.name = u"  "_s; });
        QTest::addRow("music") << R"({"kind":"music"})"_ba
                               << fallback([](Show& s) { s.kind = Show::Kind::Music; });
        QTest::addRow("capitalised kind reads as podcast") << R"({"kind":"Music"})"_ba << fallback();
        QTest::addRow("autoYear false is kept")
            << R"({"autoYear":false})"_ba << fallback([](Show& s) { s.autoYear = false; });
        QTest::addRow("podcastFlag true is kept")
            << R"({"podcastFlag":true})"_ba << fallback([](Show& s) { s.podcastFlag = true; });
        QTest::addRow("values of other types take their fallbacks")
            << R"({"kind":1,"autoYear":"false","podcastFlag":"true","writeID3v1":0,"titleFromFileName":null,
                "title":5,"artist":[1],"album":{"a":1},"genre":true,"notes":null,"coverFile":7,"id":42})"_ba
            << fallback();
        QTest::addRow("id that is not a UUID") << R"({"id":"not-a-uuid"})"_ba << fallback();
        QTest::addRow("id in braces")
            << R"({"id":"{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}"})"_ba << fallback();
        QTest::addRow("upper-case id kept") << R"({"id":"6BA7B810-9DAD-11D1-80B4-00C04FD430C8"})"_ba
                                            << fallback([](Show& s) { s.id = knownId; });
        QTest::addRow("lower-case id kept") << R"({"id":"6ba7b810-9dad-11d1-80b4-00c04fd430c8"})"_ba
                                            << fallback([](Show& s) { s.id = knownId; });
        QTest::addRow("cover file") << R"({"coverFile":"x.png"})"_ba
                                    << fallback([](Show& s) { s.coverFile = u"x.png"_s; });
        QTest::addRow("cover as null is absent") << R"({"coverFile":null})"_ba << fallback();
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
        Show show = everyFieldSet();
        QJsonObject object = show.toJson();
        QCOMPARE(object.size(), 24);
        QCOMPARE(object.value("id"_L1).toString(), Uuid::text(show.id));
        QCOMPARE(object.value("kind"_L1).toString(), u"music"_s);
        QCOMPARE(Show().toJson().value("kind"_L1).toString(), u"podcast"_s);
        QCOMPARE(object.value("coverFile"_L1).toString(), u"cover.png"_s);
        QCOMPARE(Show::fromJson(object), std::optional(show));
        show.coverFile.reset();
        object = show.toJson();
        QCOMPARE(object.size(), 23);
        QVERIFY(!object.contains("coverFile"_L1));
        QCOMPARE(Show::fromJson(object), std::optional(show));

        const Show fresh;
        QCOMPARE(Show::fromJson(fresh.toJson()), std::optional(fresh));
        Show unnamed;
        unnamed.name.clear();
        Show expected = unnamed;
        expected.name = u"Untitled Show"_s;
        QCOMPARE(Show::fromJson(unnamed.toJson()), std::optional(expected));
    }

    void equalityAndHashing()
    {
        const Show a = everyFieldSet();
        Show b = a;
        b.notes += u'!';
        Show c = a;
        c.coverFile.reset();
        Show d = a;
        d.id = QUuid::createUuid();
        QVERIFY(a != b && a != c && a != d);
        // Equal shows must hash alike, or the copies of a would count twice.
        QCOMPARE((QSet<Show> {a, b, c, d, Show(a)}).size(), 4);
        QCOMPARE((std::unordered_set<Show> {a, b, Show(a)}).size(), size_t(2));
    }

    void uuidText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("accepted");
        QTest::addRow("upper case") << u"6BA7B810-9DAD-11D1-80B4-00C04FD430C8"_s << true;
        QTest::addRow("lower case") << u"6ba7b810-9dad-11d1-80b4-00c04fd430c8"_s << true;
        QTest::addRow("nil") << u"00000000-0000-0000-0000-000000000000"_s << true;
        QTest::addRow("braces") << u"{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}"_s << false;
        QTest::addRow("no dashes") << u"6BA7B8109DAD11D180B400C04FD430C8"_s << false;
        QTest::addRow("dash misplaced") << u"6BA7B8109-DAD-11D1-80B4-00C04FD430C8"_s << false;
        QTest::addRow("not hexadecimal") << u"6BA7B810-9DAD-11D1-80B4-00C04FD430CG"_s << false;
        QTest::addRow("non-ASCII digit") << u"6BA7B810-9DAD-11D1-80B4-00C04FD430C\u00e9"_s << false;
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
