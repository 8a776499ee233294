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

    // --show finds a show by its name in any case, before a title earlier in the list, else by
    // its title, and nothing is trimmed. A new name takes the first free number from 2, on its base.
    void namesAndLookups()
    {
        m_store->setShows(
            {named(u"Weekly"_s, u"Daily"_s), named(u"Other"_s, u"The Weekly Show"_s), named(u"Daily"_s),
                named(u"Café"_s), named(u"Weekly 3"_s), named(u"W copy"_s), named(u"W copy 2"_s)});
        const auto found = [&](const QString& text) {
            const auto show = m_store->showNamed(text);
            return show ? show->name : QString();
        };
        QCOMPARE(found(u"weekly"_s), u"Weekly"_s);
        QCOMPARE(found(u"Daily"_s), u"Daily"_s);
        QCOMPARE(found(u"the weekly show"_s), u"Other"_s);
        QCOMPARE(found(u"Weekly "_s), QString());
        QCOMPARE(found(u"CAFÉ"_s), u"Café"_s);
        QCOMPARE(m_store->uniqueName(u"Weekly"_s), u"Weekly 2"_s);
        QCOMPARE(m_store->uniqueName(u"W copy"_s), u"W copy 3"_s);
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
