#include "common/EmptyLibrary.h"
#include "common/LibraryTestKit.h"
#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QDir>
#include <QTest>

using namespace Qt::Literals::StringLiterals;

namespace {

// The names as they are in "shows.json" right now.
QStringList savedNames(const ShowStore& store)
{
    QStringList out;
    for (const QJsonValue& value : QJsonDocument::fromJson(readFile(store.showsFile())).array())
        out.append(value.toObject().value(QLatin1StringView("name")).toString());
    return out;
}

} // namespace

class TestShowList : public QObject
{
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_env.emplace(); }

    void init()
    {
        m_case = m_env->newCase();
        m_store = openEmptyLibrary(*m_case);
    }

    void uniqueName_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("unique");
        QTest::addRow("first free number from 2")
            << QStringList {"New Show", "New Show 3"} << u"New Show"_s << u"New Show 2"_s;
        QTest::addRow("number goes on the base")
            << QStringList {"W copy", "W copy 2"} << u"W copy"_s << u"W copy 3"_s;
    }
    void uniqueName()
    {
        QFETCH(QStringList, existing);
        QFETCH(QString, base);
        QFETCH(QString, unique);
        QList<Show> shows;
        for (const QString& name : existing)
            shows.append(named(name));
        m_store->setShows(shows);
        QCOMPARE(m_store->uniqueName(base), unique);
    }

    void showNamed_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("found");
        QTest::addRow("name, case ignored") << u"weekly"_s << u"Weekly"_s;
        QTest::addRow("name wins over an earlier title") << u"Daily"_s << u"Daily"_s;
        QTest::addRow("title when no name matches") << u"the weekly show"_s << u"Other"_s;
        QTest::addRow("no trimming") << u"Weekly "_s << QString();
        QTest::addRow("accented name, other case") << u"CAFÉ"_s << u"Café"_s;
    }
    void showNamed()
    {
        QFETCH(QString, text);
        QFETCH(QString, found);
        m_store->setShows({named(u"Weekly"_s, u"Daily"_s), named(u"Other"_s, u"The Weekly Show"_s),
            named(u"Daily"_s), named(u"Café"_s)});
        const auto show = m_store->showNamed(text);
        QCOMPARE(show ? show->name : QString(), found);
    }

    // A copy gets its own cover file, which outlives its source; a missing cover is named again.
    // A cover file goes with the last show that names it.
    void duplicateGivesOwnCover()
    {
        Show source = named(u"Weekly"_s);
        source.coverFile = u"source.png"_s;
        writeFile(m_store->coversFolder() + u"/source.png"_s, "PNGDATA");
        Show gone = named(u"Gone"_s);
        gone.coverFile = u"gone.jpg"_s;
        Show sharing = named(u"Sharing"_s);
        sharing.coverFile = source.coverFile;
        m_store->setShows({source, gone, sharing});
        m_store->duplicate(source);
        m_store->duplicate(source);
        m_store->duplicate(gone);
        QCOMPARE(savedNames(*m_store),
            (QStringList {"Weekly", "Gone", "Sharing", "Weekly copy", "Weekly copy 2", "Gone copy"}));
        const Show copy = m_store->shows().at(3);
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().last().id));
        QCOMPARE(copy.coverFile, std::optional(Uuid::text(copy.id) + u".png"_s));
        QCOMPARE(m_store->shows().last().coverFile, std::optional(u"gone.jpg"_s));
        m_store->remove(source);
        QVERIFY(QFile::exists(m_store->coversFolder() + u"/source.png"_s));
        m_store->remove(sharing);
        QVERIFY(!QFile::exists(m_store->coversFolder() + u"/source.png"_s));
        QCOMPARE(readFile(m_store->coversFolder() + u'/' + *copy.coverFile), QByteArray("PNGDATA"));
    }

    // An edit stays in its place and keeps the selection; removing the selected show selects
    // the first.
    void updateRemoveAndAdd()
    {
        const Show a = named(u"A"_s);
        const Show b = named(u"B"_s);
        const Show c = named(u"C"_s);
        m_store->setShows({a, b, c});
        m_store->setSelection(b.id);
        Show edited = a;
        edited.name = u"A edited"_s;
        m_store->update(edited);
        QCOMPARE(m_store->selection(), std::optional(b.id));
        QCOMPARE(savedNames(*m_store), (QStringList {"A edited", "B", "C"}));
        m_store->remove(b); // the first show left is selected
        QCOMPARE(m_store->selection(), std::optional(a.id));
        m_store->remove(c); // not selected: the selection stays
        QCOMPARE(m_store->selection(), std::optional(a.id));
        QCOMPARE(savedNames(*m_store), (QStringList {"A edited"}));
        m_store->remove(a);
        QCOMPARE(m_store->selection(), std::nullopt);
        QCOMPARE(readFile(m_store->showsFile()).trimmed(), QByteArray("[\n]"));
        // A new show is named, selected and saved.
        m_store->add();
        const Show second = m_store->add();
        QCOMPARE(m_store->selected(), std::optional(second));
        QCOMPARE(savedNames(*m_store), (QStringList {"New Show", "New Show 2"}));
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
};

QTEST_GUILESS_MAIN(TestShowList)
#include "TestShowList.moc"
