#include "common/EmptyLibrary.h"
#include "common/LibraryTestKit.h"
#include "library/ShowStore.h"
#include "shows/Uuid.h"

#include <QDir>
#include <QSignalSpy>
#include <QTest>

namespace {

QStringList names(const QList<Show>& shows)
{
    QStringList out;
    for (const Show& show : shows)
        out.append(show.name);
    return out;
}

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

    void addNamesAndSelects()
    {
        const Show first = m_store->add();
        QCOMPARE(first.name, QStringLiteral("New Show"));
        QCOMPARE(m_store->selection(), std::optional(first.id));
        const Show second = m_store->add();
        QCOMPARE(second.name, QStringLiteral("New Show 2"));
        QCOMPARE(m_store->selected(), std::optional(second));
        QCOMPARE(savedNames(*m_store), (QStringList {"New Show", "New Show 2"}));
    }

    void uniqueName_data()
    {
        QTest::addColumn<QStringList>("existing");
        QTest::addColumn<QString>("base");
        QTest::addColumn<QString>("unique");
        QTest::addRow("case-sensitive")
            << QStringList {"new show"} << QStringLiteral("New Show") << QStringLiteral("New Show");
        QTest::addRow("first free number from 2")
            << QStringList {"New Show", "New Show 3"} << QStringLiteral("New Show")
            << QStringLiteral("New Show 2");
        QTest::addRow("counts on") << QStringList {"A", "A 2", "A 3"} << QStringLiteral("A")
                                   << QStringLiteral("A 4");
        QTest::addRow("number goes on the base")
            << QStringList {"W copy", "W copy 2"} << QStringLiteral("W copy") << QStringLiteral("W copy 3");
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
        QTest::addRow("name, case ignored") << QStringLiteral("weekly") << QStringLiteral("Weekly");
        QTest::addRow("name wins over an earlier title")
            << QStringLiteral("Daily") << QStringLiteral("Daily");
        QTest::addRow("title when no name matches")
            << QStringLiteral("the weekly show") << QStringLiteral("Other");
        QTest::addRow("no trimming") << QStringLiteral("Weekly ") << QString();
        QTest::addRow("no partial match") << QStringLiteral("Week") << QString();
        QTest::addRow("accents count") << QStringLiteral("Cafe") << QString();
        QTest::addRow("accented name, other case") << QStringLiteral("CAFÉ") << QStringLiteral("Café");
    }

    void showNamed()
    {
        QFETCH(QString, text);
        QFETCH(QString, found);
        m_store->setShows({named(QStringLiteral("Weekly"), QStringLiteral("Daily")),
            named(QStringLiteral("Other"), QStringLiteral("The Weekly Show")), named(QStringLiteral("Daily")),
            named(QStringLiteral("Café"))});
        const auto show = m_store->showNamed(text);
        QCOMPARE(show ? show->name : QString(), found);
    }

    void duplicateGivesOwnCover()
    {
        Show source = named(QStringLiteral("Weekly"));
        source.coverFile = QStringLiteral("source.png");
        writeFile(m_store->coversFolder() + QStringLiteral("/source.png"), "PNGDATA");
        Show gone = named(QStringLiteral("Gone"));
        gone.coverFile = QStringLiteral("gone.jpg");
        m_store->setShows({source, gone});

        m_store->duplicate(source);
        m_store->duplicate(source);
        QCOMPARE(names(m_store->shows()), (QStringList {"Weekly", "Gone", "Weekly copy", "Weekly copy 2"}));
        const Show copy = m_store->shows().at(2);
        QVERIFY(copy.id != source.id);
        QCOMPARE(m_store->selection(), std::optional(m_store->shows().at(3).id));
        QCOMPARE(copy.coverFile, std::optional(Uuid::text(copy.id) + QStringLiteral(".png")));
        QCOMPARE(readFile(m_store->coversFolder() + u'/' + *copy.coverFile), QByteArray("PNGDATA"));
        QCOMPARE(savedNames(*m_store).size(), 4);
        m_store->duplicate(copy);
        QCOMPARE(m_store->shows().last().name, QStringLiteral("Weekly copy copy"));
        // A cover file that is missing is not copied: the copy names the same file.
        m_store->duplicate(gone);
        QCOMPARE(m_store->shows().last().coverFile, std::optional(QStringLiteral("gone.jpg")));

        // The copy's cover outlives its source; a missing cover is no trouble.
        m_store->remove(source);
        QVERIFY(!QFile::exists(m_store->coversFolder() + QStringLiteral("/source.png")));
        QCOMPARE(readFile(m_store->coversFolder() + u'/' + *copy.coverFile), QByteArray("PNGDATA"));
        m_store->remove(gone);
        QCOMPARE(m_store->shows().size(), 4);
    }

    void removeKeepsACoverAnotherShowNames()
    {
        Show a = named(QStringLiteral("A"));
        a.coverFile = QStringLiteral("shared.png");
        Show b = named(QStringLiteral("B"));
        b.coverFile = a.coverFile;
        const QString file = m_store->coversFolder() + QStringLiteral("/shared.png");
        writeFile(file, "PNG");
        m_store->setShows({a, b});
        m_store->remove(a);
        QVERIFY(QFile::exists(file));
        m_store->remove(b);
        QVERIFY(!QFile::exists(file));
    }

    void removeMovesSelection()
    {
        const Show a = named(QStringLiteral("A"));
        const Show b = named(QStringLiteral("B"));
        const Show c = named(QStringLiteral("C"));
        m_store->setShows({a, b, c});
        m_store->setSelection(b.id);
        m_store->remove(b); // the first show left is selected
        QCOMPARE(m_store->selection(), std::optional(a.id));
        m_store->remove(c); // not selected: the selection stays
        QCOMPARE(m_store->selection(), std::optional(a.id));
        QCOMPARE(savedNames(*m_store), (QStringList {"A"}));
        m_store->remove(a);
        QCOMPARE(m_store->selection(), std::nullopt);
        QCOMPARE(readFile(m_store->showsFile()).trimmed(), QByteArray("[\n]"));
    }

    void updateInPlace()
    {
        const Show a = named(QStringLiteral("A"));
        const Show b = named(QStringLiteral("B"));
        m_store->setShows({a, b});
        m_store->setSelection(b.id);
        Show edited = a;
        edited.name = QStringLiteral("A edited");
        m_store->update(edited);
        QCOMPARE(names(m_store->shows()), (QStringList {"A edited", "B"}));
        QCOMPARE(m_store->selection(), std::optional(b.id));
        QCOMPARE(savedNames(*m_store), (QStringList {"A edited", "B"}));

        // A show that is gone: nothing changes, nothing is written.
        QFile::remove(m_store->showsFile());
        QSignalSpy changed(m_store.get(), &ShowStore::changed);
        m_store->update(named(QStringLiteral("Stranger")));
        QCOMPARE(changed.count(), 0);
        QVERIFY(!QFile::exists(m_store->showsFile()));
    }

private:
    std::optional<TestEnvironment> m_env;
    std::unique_ptr<QTemporaryDir> m_case;
    std::unique_ptr<ShowStore> m_store;
};

QTEST_GUILESS_MAIN(TestShowList)
#include "TestShowList.moc"
