// The list model shell shared by the record lists, on the contacts list: a
// query and its reset, the order with its category, the empty list, a record
// found on a page not read yet, and a record added since the count.
#include "data/DataSet.h"
#include "data/ErrorClass.h"
#include "data/FileManager.h"
#include "data/TableDefs.h"
#include "data/UserInterface.h"
#include "organizer/ui/ContactWindows.h"
#include "support/TempDir.h"

#include <QSignalSpy>
#include <QTest>

#include <string>

namespace {

constexpr int kContacts = 250; // three pages

std::string name(int i) {
    std::string n = std::to_string(i);
    return "Name " + std::string(3 - n.size(), '0') + n;
}

} // namespace

class RecordListModelTest : public QObject {
    Q_OBJECT

    qdtest::TempDir dir;
    qd::ScriptedUserInterface ui;
    qd::ErrorClass errors{&ui};
    qd::DataSet ds{dir.path(), errors};
    const qd::TableDef& def = qd::tables::Contact();

    void add(int i, const char* category) {
        qd::Table<qd::ContactRecord> t(ds, def);
        QCOMPARE(t.open(), qd::Level::Benign);
        t.rec = {};
        t.rec.LastName = name(i);
        t.rec.ContactCategory = category;
        QCOMPARE(t.insert(), qd::Level::Benign);
    }
    int idOf(int i) {
        qd::Table<qd::ContactRecord> t(ds, def);
        t.open();
        t.setFilter({{def.findField("LastName"), qd::FieldMatch::Equals, name(i), {}, {}}});
        return t.next() == qd::Level::Benign ? t.rec.ClientID : 0;
    }

private slots:
    void initTestCase() {
        qd::Table<qd::ContactRecord> t(ds, def);
        QCOMPARE(t.open(), qd::Level::Benign);
        t.file()->begin();
        for (int i = 0; i < kContacts; ++i)
            add(i, i % 5 == 0 ? "Family" : "Work");
        t.file()->commit();
    }

    void queryThatEmptiesTheListAndItsReset() {
        qdorgui::ContactsModel m(ds);
        QSignalSpy resets(&m, &QAbstractItemModel::modelReset);
        QCOMPARE(m.rowCount(), kContacts);
        QVERIFY(m.headerData(m.columnCount() - 1, Qt::Horizontal).isValid());
        QCOMPARE(m.headerData(0, Qt::Horizontal).toString(), QString("Last Name"));
        QVERIFY(!m.headerData(m.columnCount(), Qt::Horizontal).isValid());

        m.setQuery({{def.findField("LastName"), qd::FieldMatch::BeginsWith, std::string("Nobody"), {}, {}}});
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.rowOf(idOf(3)), -1);
        QCOMPARE(m.record(0).ClientID, 0); // past the end: an empty record
        QVERIFY(!m.data(m.index(0, 0), Qt::DisplayRole).isValid());

        m.setQuery({});
        QCOMPARE(m.rowCount(), kContacts);
        QCOMPARE(m.record(kContacts - 1).LastName, name(kContacts - 1));
        QCOMPARE(resets.count(), 2);
    }

    void categoryStaysUnderAQueryUntilTheOrderChanges() {
        qdorgui::ContactsModel m(ds);
        m.setOrder("C_:KeyCategory", " Family ");
        QCOMPARE(m.rowCount(), kContacts / 5);
        QCOMPARE(m.record(1).LastName, name(5));

        // A query narrows the category's contacts; it does not replace the category.
        m.setQuery({{def.findField("LastName"), qd::FieldMatch::BeginsWith, std::string("Name 1"), {}, {}}});
        QCOMPARE(m.rowCount(), 20); // 100, 105, ... 195
        QCOMPARE(m.record(0).LastName, name(100));

        // Another order shows every contact again under the query.
        m.setOrder("C_:KeyLastName");
        QCOMPARE(m.rowCount(), 100);
        QCOMPARE(m.record(1).LastName, name(101));
    }

    void noRowsUntilTheOrderIsSetAgain() {
        qdorgui::ContactsModel m(ds);
        m.showNone();
        QCOMPARE(m.rowCount(), 0);
        QCOMPARE(m.rowOf(idOf(0)), -1);
        m.reload(); // counting again keeps the list empty
        QCOMPARE(m.rowCount(), 0);
        m.setOrder("C_:KeyLastName");
        QCOMPARE(m.rowCount(), kContacts);
    }

    void recordOnAPageNotReadIsFoundAndAddedRecordsWaitForTheReload() {
        qdorgui::ContactsModel m(ds);
        // Row 230 lies on the third page, which nothing has read yet.
        QCOMPARE(m.rowOf(idOf(230)), 230);
        QCOMPARE(m.record(230).LastName, name(230));
        QCOMPARE(m.rowOf(idOf(230)), 230); // now among the rows held
        QCOMPARE(m.rowOf(987654), -1);

        add(kContacts, "Work");
        QCOMPARE(m.rowCount(), kContacts);
        QCOMPARE(m.rowOf(idOf(kContacts)), -1);
        m.reload();
        QCOMPARE(m.rowCount(), kContacts + 1);
        QCOMPARE(m.rowOf(idOf(kContacts)), kContacts);
        QCOMPARE(m.index(kContacts).column(), 0);
    }
};

QTEST_GUILESS_MAIN(RecordListModelTest)
#include "RecordListModelTest.moc"
