// The pick-list string, the multi-choice pick list and the single-pick search, driven through
// their real dialogs over SQLite tables.
#include "btnpesquisa.h"
#include "dataset.h"
#include "errors.h"
#include "mask.h"
#include "pagedrowsmodel.h"
#include "pesquisalista.h"
#include "testsupport.h"

#include <QApplication>
#include <QDialog>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

QDialog *visibleDialog(const QString &name)
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (w->objectName() == name && w->isVisible())
            return qobject_cast<QDialog *>(w);
    return nullptr;
}

// Runs call(), which opens a modal dialog, and interact() on that dialog once it shows. A
// dialog still open after interact() is cancelled, so a failed check never hangs the test.
// Returns whether the dialog showed.
bool driveDialog(const QString &name, const std::function<void(QDialog *)> &interact,
                 const std::function<void()> &call)
{
    bool seen = false;
    QTimer poll;
    poll.setInterval(5);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        QDialog *dialog = visibleDialog(name);
        if (!dialog || seen)
            return;
        seen = true;
        poll.stop();
        interact(dialog);
        if (dialog->isVisible())
            dialog->reject();
    });
    poll.start();
    call();
    poll.stop();
    return seen;
}

template <class T>
T *child(QDialog *dialog, const char *name)
{
    T *w = dialog->findChild<T *>(QString::fromLatin1(name));
    if (!w)
        qWarning("no child %s", name);
    return w;
}

// A query over a table with fields in the given order; a field is (name, label, visible).
struct Lookup
{
    struct FieldSpec
    {
        QString name;
        QString label;
        bool visible;
        int width;
    };
    Lookup(const QString &sql, const QStringList &pagingKey, const QList<FieldSpec> &fields)
    {
        query = new TADOIBQuery(&owner);
        query->setObjectName(QStringLiteral("qryLookup"));
        query->setSQL({sql});
        query->setPagingKey(pagingKey);
        for (const FieldSpec &column : fields) {
            auto *field = new TADOIBStringField(&owner);
            field->setObjectName(QStringLiteral("qryLookup") + column.name);
            field->setFieldName(column.name);
            field->setDisplayLabel(column.label);
            field->setVisible(column.visible);
            if (column.width > 0)
                field->setDisplayWidth(column.width);
            query->addField(field);
        }
        source = new TDataSource(&owner);
        source->setDataSet(query->Query());
    }
    TField *field(const QString &name) const { return query->FieldByName(name); }
    QObject owner;
    TADOIBQuery *query;
    TDataSource *source;
};

const char *kSuppliers = R"(
CREATE TABLE FORN (CD TEXT PRIMARY KEY, TIPO TEXT, NR TEXT, NOME TEXT);
INSERT INTO FORN VALUES ('001', 'F', '52998224725', 'Alfa Comércio Ltda');
INSERT INTO FORN VALUES ('002', 'J', '11222333000181', 'BETA Serviços');
INSERT INTO FORN VALUES ('003', 'F', '', 'Gama Som');
INSERT INTO FORN VALUES ('A,B', 'J', '11444777000161', 'Delta 100% Eventos');
INSERT INTO FORN VALUES ('São "1"', 'X', '123', 'Épsilon_Luz');
)";

// The supplier lookup as the screen has it: a hidden key, a hidden person type, the
// registration number shown with the mask of its own row's person type, and the name.
struct Suppliers
{
    Suppliers()
    {
        for (const QString &statement : QString::fromUtf8(kSuppliers).split(';'))
            if (!statement.trimmed().isEmpty())
                db.exec(statement.trimmed());
        lookup = std::make_unique<Lookup>(
            QStringLiteral("SELECT CD, TIPO, NR, NOME FROM FORN ORDER BY CD"),
            QStringList{QStringLiteral("CD")},
            QList<Lookup::FieldSpec>{
                {QStringLiteral("CD"), QStringLiteral("Código"), false, 6},
                {QStringLiteral("TIPO"), QStringLiteral("Tipo"), false, 1},
                {QStringLiteral("NR"), QStringLiteral("Nº Inscrição"), true, 18},
                {QStringLiteral("NOME"), QStringLiteral("Razão Social"), true, 40}});
        TField *nr = lookup->field(QStringLiteral("NR"));
        TField *tipo = lookup->field(QStringLiteral("TIPO"));
        nr->OnGetText = [nr, tipo](TField *, QString &text, bool) {
            text = FormatMaskText(PictPess(tipo->AsString()), nr->AsString());
        };
    }
    TempSqliteDb db{false};
    std::unique_ptr<Lookup> lookup;
};

QStringList columnTexts(QTableView *view, int column)
{
    QStringList texts;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        texts << view->model()->index(r, column).data().toString();
    return texts;
}

QList<int> checkedRows(QTableView *view)
{
    QList<int> rows;
    for (int r = 0; r < view->model()->rowCount(); ++r)
        if (view->model()->index(r, 0).data(Qt::CheckStateRole).toInt() == Qt::Checked)
            rows << r;
    return rows;
}

void typeFilter(QDialog *dialog, const QString &text)
{
    auto *edit = child<QLineEdit>(dialog, "filterEdit");
    edit->selectAll();
    if (text.isEmpty())
        edit->clear();
    else
        QTest::keyClicks(edit, text);
}

} // namespace

class tst_PickList : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase();

    // The string.
    void roundTrip_data();
    void roundTrip();
    void emptyAndMalformed_data();
    void emptyAndMalformed();
    void pickOrder();

    // The multi-choice dialog.
    void listShowsVisibleFieldsThroughGetText();
    void listFilter_data();
    void listFilter();
    void listPickAndOk();
    void listKeepsEarlierPickAndCancel();
    void listSelectAllUnderFilter();
    void listSelectNone();
    void listFailuresLeaveString();
    void listMillionRows();

    // The search button.
    void searchButtonSettings();
    void searchEnterPicks();
    void searchFilterThenEnter();
    void searchEscapeCancels();
    void searchEmptyTable();
    void searchBeforePesqCancels();
    void searchColumns();
};

void tst_PickList::initTestCase()
{
    QApplication::setEffectEnabled(Qt::UI_AnimateCombo, false);
}

// ---------------------------------------------------------------------------------------------
// The string

void tst_PickList::roundTrip_data()
{
    QTest::addColumn<QStringList>("keys");
    QTest::newRow("one") << QStringList{"001"};
    QTest::newRow("several") << QStringList{"001", "002", "010"};
    QTest::newRow("comma") << QStringList{"A,B", "C"};
    QTest::newRow("quotes") << QStringList{"he said \"hi\"", "'x'"};
    QTest::newRow("backslash") << QStringList{"a\\b", "\\"};
    QTest::newRow("blanks") << QStringList{" 1 ", "  ", "a b"};
    QTest::newRow("empty key") << QStringList{""};
    QTest::newRow("non-ascii") << QStringList{"São Paulo", "ação", "日本", "😀"};
    QTest::newRow("brackets") << QStringList{"[x]", "]", "{\"a\":1}"};
    QTest::newRow("control chars") << QStringList{"a\nb", "\t", QString(QChar(1))};
    QTest::newRow("sql") << QStringList{"1' OR '1'='1", "%", "_"};
}

void tst_PickList::roundTrip()
{
    QFETCH(QStringList, keys);
    const QString list = pickListToString(keys);
    QVERIFY(!list.isEmpty());
    QVERIFY(!EmptyString(list));
    QVERIFY(isPickListString(list));
    QCOMPARE(pickListKeys(list), keys);
    QVERIFY(list.startsWith('[') && list.endsWith(']'));
}

void tst_PickList::emptyAndMalformed_data()
{
    QTest::addColumn<QString>("list");
    QTest::addColumn<bool>("wellFormed");
    QTest::newRow("empty") << "" << true;
    QTest::newRow("empty array") << "[]" << false;
    QTest::newRow("plain text") << "001,002" << false;
    QTest::newRow("numbers") << "[1,2]" << false;
    QTest::newRow("mixed") << "[\"1\",2]" << false;
    QTest::newRow("object") << "{\"a\":\"1\"}" << false;
    QTest::newRow("unterminated") << "[\"1\"" << false;
    QTest::newRow("nested") << "[[\"1\"]]" << false;
}

void tst_PickList::emptyAndMalformed()
{
    QFETCH(QString, list);
    QFETCH(bool, wellFormed);
    QCOMPARE(isPickListString(list), wellFormed);
    QVERIFY(pickListKeys(list).isEmpty());
    QCOMPARE(pickListToString({}), QString());
    QVERIFY(EmptyString(pickListToString({})));
}

// Picked keys come back once each, in the order picked, also after many unpicks.
void tst_PickList::pickOrder()
{
    PickSet set;
    for (int i = 0; i < 3000; ++i)
        set.insert(QString::number(i));
    set.insert(QStringLiteral("0"));
    for (int i = 0; i < 2990; ++i)
        set.remove(QString::number(i));
    set.insert(QStringLiteral("5"));
    set.insert(QStringLiteral("2995")); // already picked: keeps its place
    set.remove(QStringLiteral("2991"));
    set.insert(QStringLiteral("2991"));
    QCOMPARE(set.size(), 11);
    QCOMPARE(set.keys(), (QStringList{"2990", "2992", "2993", "2994", "2995", "2996", "2997",
                                      "2998", "2999", "5", "2991"}));
    set.clear();
    QVERIFY(set.keys().isEmpty());
    QVERIFY(!set.contains(QStringLiteral("5")));
}

// ---------------------------------------------------------------------------------------------
// The multi-choice dialog

void tst_PickList::listShowsVisibleFieldsThroughGetText()
{
    Suppliers s;
    QString list;
    const bool shown = driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            QCOMPARE(dialog->windowTitle(), QStringLiteral("Fornecedor"));
            auto *view = child<QTableView>(dialog, "resultView");
            QVERIFY(view);
            QAbstractItemModel *model = view->model();
            QCOMPARE(model->columnCount(), 2);
            QCOMPARE(model->headerData(0, Qt::Horizontal).toString(),
                     QStringLiteral("Nº Inscrição"));
            QCOMPARE(model->headerData(1, Qt::Horizontal).toString(),
                     QStringLiteral("Razão Social"));
            // Each row's number takes the mask of its own person type; no mask, no change.
            QCOMPARE(columnTexts(view, 0), (QStringList{"529.982.247-25", "11.222.333/0001-81", "",
                                                        "11.444.777/0001-61", "123"}));
            QCOMPARE(columnTexts(view, 1).at(4), QStringLiteral("Épsilon_Luz"));
            for (const char *name : {"okButton", "cancelButton", "selectAllButton",
                                     "selectNoneButton", "countLabel", "filterEdit"})
                QVERIFY2(dialog->findChild<QWidget *>(name), name);
            QCOMPARE(child<QPushButton>(dialog, "okButton")->text(), QStringLiteral("OK"));
            QCOMPARE(child<QPushButton>(dialog, "cancelButton")->text(),
                     QStringLiteral("Cancelar"));
        },
        [&] {
            PesquisaLista(s.lookup->source, QStringLiteral("CD"), QStringLiteral("Fornecedor"),
                          false, list);
        });
    QVERIFY(shown);
    QCOMPARE(list, QString());
}

void tst_PickList::listFilter_data()
{
    QTest::addColumn<QString>("filter");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("case-insensitive") << "ltda" << QStringList{"Alfa Comércio Ltda"};
    QTest::newRow("upper in data") << "beta" << QStringList{"BETA Serviços"};
    QTest::newRow("percent literal") << "%" << QStringList{"Delta 100% Eventos"};
    QTest::newRow("underscore literal") << "_" << QStringList{"Épsilon_Luz"};
    QTest::newRow("raw number") << "112223" << QStringList{"BETA Serviços"};
    QTest::newRow("quote") << "'" << QStringList{};
    QTest::newRow("nothing") << "zzz" << QStringList{};
}

void tst_PickList::listFilter()
{
    QFETCH(QString, filter);
    QFETCH(QStringList, names);
    Suppliers s;
    QString list;
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            auto *view = child<QTableView>(dialog, "resultView");
            QCOMPARE(view->model()->rowCount(), 5);
            // The filter applies by itself after a pause, and at once with Enter.
            typeFilter(dialog, filter);
            QTRY_COMPARE(columnTexts(view, 1), names);
            typeFilter(dialog, QString());
            QTest::keyClick(child<QLineEdit>(dialog, "filterEdit"), Qt::Key_Return);
            QCOMPARE(view->model()->rowCount(), 5);
            QVERIFY(dialog->isVisible());
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    QCOMPARE(list, QString());
}

// Space and a click on the check box pick rows; OK writes the keys in the order picked.
void tst_PickList::listPickAndOk()
{
    Suppliers s;
    QString list;
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            auto *view = child<QTableView>(dialog, "resultView");
            auto *count = child<QLabel>(dialog, "countLabel");
            view->setFocus();
            view->setCurrentIndex(view->model()->index(4, 1));
            QTest::keyClick(view, Qt::Key_Space);
            view->setCurrentIndex(view->model()->index(3, 1));
            QTest::keyClick(view, Qt::Key_Space);
            QCOMPARE(checkedRows(view), (QList<int>{3, 4}));
            QCOMPARE(count->text(), QStringLiteral("2 selecionados"));
            // Space again unpicks.
            QTest::keyClick(view, Qt::Key_Space);
            QCOMPARE(checkedRows(view), (QList<int>{4}));
            QVERIFY(view->model()->setData(view->model()->index(1, 0), Qt::Checked,
                                           Qt::CheckStateRole));
            view->setCurrentIndex(view->model()->index(3, 0));
            QTest::keyClick(view, Qt::Key_Space);
            QCOMPARE(checkedRows(view), (QList<int>{1, 3, 4}));
            QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    // In the order picked.
    QCOMPARE(pickListKeys(list), (QStringList{"São \"1\"", "002", "A,B"}));
}

// Keys already in the string show as picked; Cancel leaves the string as it came.
void tst_PickList::listKeepsEarlierPickAndCancel()
{
    Suppliers s;
    const QString before = pickListToString({"003", "A,B", "gone"});
    QString list = before;
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            auto *view = child<QTableView>(dialog, "resultView");
            QCOMPARE(checkedRows(view), (QList<int>{2, 3}));
            QCOMPARE(child<QLabel>(dialog, "countLabel")->text(), QStringLiteral("3 selecionados"));
            QTest::mouseClick(child<QPushButton>(dialog, "selectAllButton"), Qt::LeftButton);
            QCOMPARE(checkedRows(view).size(), 5);
            QTest::mouseClick(child<QPushButton>(dialog, "cancelButton"), Qt::LeftButton);
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    QCOMPARE(list, before);

    // Esc cancels too; OK without a change keeps the keys, the one no row shows included.
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            QTest::keyClick(child<QTableView>(dialog, "resultView"), Qt::Key_Space);
            QTest::keyClick(dialog, Qt::Key_Escape);
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    QCOMPARE(list, before);
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            QTest::keyClick(child<QTableView>(dialog, "resultView"), Qt::Key_Return);
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    QCOMPARE(pickListKeys(list), (QStringList{"003", "A,B", "gone"}));
}

// "Marcar todos" marks the rows under the filter only, the rows not yet read included.
void tst_PickList::listSelectAllUnderFilter()
{
    Suppliers s;
    s.db.exec(QStringLiteral("INSERT INTO FORN (CD, TIPO, NR, NOME) WITH RECURSIVE n(i) AS "
                             "(SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 500) "
                             "SELECT printf('X%04d', i), 'J', '', 'Extra ' || i FROM n"));
    QString list;
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            auto *view = child<QTableView>(dialog, "resultView");
            QCOMPARE(view->model()->rowCount(), PagedRowsModel::PageSize);
            typeFilter(dialog, "extra");
            QTest::keyClick(child<QLineEdit>(dialog, "filterEdit"), Qt::Key_Return);
            QCOMPARE(columnTexts(view, 1).value(0), QStringLiteral("Extra 1"));
            QTest::mouseClick(child<QPushButton>(dialog, "selectAllButton"), Qt::LeftButton);
            QCOMPARE(child<QLabel>(dialog, "countLabel")->text(),
                     QStringLiteral("500 selecionados"));
            QCOMPARE(checkedRows(view).size(), view->model()->rowCount());
            typeFilter(dialog, QString());
            QTRY_COMPARE(view->model()->index(0, 1).data().toString(),
                         QStringLiteral("Alfa Comércio Ltda"));
            QVERIFY(!checkedRows(view).contains(0));
            QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    const QStringList keys = pickListKeys(list);
    QCOMPARE(keys.size(), 500);
    QCOMPARE(keys.first(), QStringLiteral("X0001"));
    QCOMPARE(keys.last(), QStringLiteral("X0500"));
}

// "Desmarcar todos" under a filter unmarks those rows; without one it unmarks everything.
void tst_PickList::listSelectNone()
{
    Suppliers s;
    QString list = pickListToString({"001", "002", "003", "gone"});
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            auto *view = child<QTableView>(dialog, "resultView");
            typeFilter(dialog, "beta");
            QTRY_COMPARE(view->model()->rowCount(), 1);
            QTest::mouseClick(child<QPushButton>(dialog, "selectNoneButton"), Qt::LeftButton);
            QVERIFY(checkedRows(view).isEmpty());
            QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    QCOMPARE(pickListKeys(list), (QStringList{"001", "003", "gone"}));

    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            QTest::mouseClick(child<QPushButton>(dialog, "selectNoneButton"), Qt::LeftButton);
            QCOMPARE(child<QLabel>(dialog, "countLabel")->text(), QStringLiteral("0 selecionados"));
            QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        },
        [&] { PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list); }));
    QCOMPARE(list, QString());
    QVERIFY(EmptyString(list));
}

void tst_PickList::listFailuresLeaveString()
{
    Suppliers s;
    const QString before = pickListToString({"001"});
    QString list = before;
    // An unknown key field.
    bool raised = false;
    const bool shown = driveDialog(
        "PesquisaListaDialog", [](QDialog *) {},
        [&] {
            try {
                PesquisaLista(s.lookup->source, "NOPE", "Fornecedor", false, list);
            } catch (const EAppError &) {
                raised = true;
            }
        });
    QVERIFY(raised);
    QVERIFY(!shown);
    QCOMPARE(list, before);

    // No data source.
    QVERIFY_THROWS_EXCEPTION(EAppError, PesquisaLista(nullptr, "CD", "Fornecedor", false, list));
    QCOMPARE(list, before);

    // The table is gone: the database error reaches the caller.
    s.db.exec("DROP TABLE FORN");
    raised = false;
    try {
        PesquisaLista(s.lookup->source, "CD", "Fornecedor", false, list);
    } catch (const EAppError &) {
        raised = true;
    }
    QVERIFY(raised);
    QCOMPARE(list, before);
    QVERIFY(!visibleDialog("PesquisaListaDialog"));
}

// Over a million rows the list shows its first page at once and reads further pages only as
// the user scrolls; marking all reads the key column once. (The sanitizer configuration runs it
// over a smaller table, see largeTableRows().)
void tst_PickList::listMillionRows()
{
    const int rows = largeTableRows();
    const auto code = [](int i) {
        return QStringLiteral("%1").arg(i, 7, 10, QLatin1Char('0'));
    };
    TempSqliteDb db(false);
    db.exec("CREATE TABLE BIG (CD TEXT PRIMARY KEY, NM TEXT)");
    db.exec(QStringLiteral("INSERT INTO BIG WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT "
                           "i + 1 FROM n WHERE i < %1) SELECT printf('%07d', i), 'Nome ' || i "
                           "FROM n")
                .arg(rows));
    int matching = 0; // rows whose name holds "Nome 99999"
    for (int i :
         {99999, 999990, 999991, 999992, 999993, 999994, 999995, 999996, 999997, 999998, 999999})
        matching += i <= rows ? 1 : 0;
    Lookup lookup(QStringLiteral("SELECT CD, NM FROM BIG ORDER BY CD"), {QStringLiteral("CD")},
                  {{QStringLiteral("CD"), QStringLiteral("Código"), true, 7},
                   {QStringLiteral("NM"), QStringLiteral("Nome"), true, 30}});
    QString list;
    QVERIFY(driveDialog(
        "PesquisaListaDialog",
        [&](QDialog *dialog) {
            auto *view = child<QTableView>(dialog, "resultView");
            QCOMPARE(view->model()->rowCount(), PagedRowsModel::PageSize);
            QCOMPARE(view->model()->index(0, 0).data().toString(), QStringLiteral("0000001"));
            view->scrollToBottom();
            QTRY_COMPARE(view->model()->rowCount(), 2 * PagedRowsModel::PageSize);
            QCOMPARE(view->model()->index(PagedRowsModel::PageSize, 0).data().toString(),
                     QStringLiteral("0000201"));
            typeFilter(dialog, "Nome 99999");
            QTest::keyClick(child<QLineEdit>(dialog, "filterEdit"), Qt::Key_Return);
            QCOMPARE(view->model()->rowCount(), matching);
            typeFilter(dialog, QString());
            QTest::keyClick(child<QLineEdit>(dialog, "filterEdit"), Qt::Key_Return);
            QCOMPARE(view->model()->rowCount(), PagedRowsModel::PageSize);
            QTest::mouseClick(child<QPushButton>(dialog, "selectAllButton"), Qt::LeftButton);
            QCOMPARE(child<QLabel>(dialog, "countLabel")->text(),
                     QStringLiteral("%1 selecionados").arg(rows));
            QCOMPARE(view->model()->rowCount(), PagedRowsModel::PageSize);
            QCOMPARE(checkedRows(view).size(), PagedRowsModel::PageSize);
            QTest::mouseClick(child<QPushButton>(dialog, "okButton"), Qt::LeftButton);
        },
        [&] { PesquisaLista(lookup.source, "CD", "Grande", false, list); }));
    const QStringList keys = pickListKeys(list);
    QCOMPARE(keys.size(), rows);
    QCOMPARE(keys.first(), QStringLiteral("0000001"));
    QCOMPARE(keys.last(), code(rows));
}

// ---------------------------------------------------------------------------------------------
// The search button

namespace {

struct Search
{
    Search()
    {
        window.resize(300, 100);
        edit = new TEdit(&window);
        edit->setObjectName(QStringLiteral("medCodigo"));
        other = new TEdit(&window);
        other->setObjectName(QStringLiteral("edtOutro"));
        other->move(0, 30);
        button = new TBtnPesquisa(&window);
        button->setObjectName(QStringLiteral("BtnCodigo"));
        button->move(100, 0);
        button->setTitle(QStringLiteral("Filial"));
        button->setEmptyError(QStringLiteral("Não há filial cadastrada."));
        button->setAssociateName(QStringLiteral("medCodigo"));
        button->setDataSourceName(QStringLiteral("dtsFilial__"));
        suppliers.lookup->source->setObjectName(QStringLiteral("dtsFilial__"));
        button->resolveReferences([this](const QString &name) -> QObject * {
            if (name == edit->objectName())
                return edit;
            if (name == suppliers.lookup->source->objectName())
                return suppliers.lookup->source;
            return nullptr;
        });
        button->OnAfterPesq = [this](QObject *sender) {
            ++afterCount;
            afterSender = sender;
            afterKey = suppliers.lookup->field("CD")->AsString();
            afterName = suppliers.lookup->field("NOME")->AsString();
        };
        window.show();
        activate();
        other->setFocus();
    }
    // The window is active again once a dialog is gone.
    void activate()
    {
        window.activateWindow();
        QApplication::setActiveWindow(&window);
        if (!QTest::qWaitForWindowActive(&window))
            qWarning("search window did not become active");
    }
    // Clicks the button and runs interact on the dialog; true when it showed.
    bool click(const std::function<void(QDialog *)> &interact)
    {
        return driveDialog("PesquisaDialog", interact,
                           [this] { QTest::mouseClick(button, Qt::LeftButton); });
    }
    Suppliers suppliers;
    RecordingPresenter presenter;
    QWidget window;
    TEdit *edit;
    TEdit *other;
    TBtnPesquisa *button;
    int afterCount = 0;
    QObject *afterSender = nullptr;
    QString afterKey;
    QString afterName;
};

} // namespace

void tst_PickList::searchButtonSettings()
{
    Search s;
    QCOMPARE(s.button->toolTip(), QStringLiteral("Pesquisar (F2 ou Alt+Seta para baixo no campo)"));
    QCOMPARE(s.button->focusPolicy(), Qt::NoFocus);
    QCOMPARE(s.button->Associate(), s.edit);
    QCOMPARE(s.button->DataSource(), s.suppliers.lookup->source);
    QVERIFY(!s.button->icon().isNull());
    QVERIFY(s.button->eventNames().contains("OnBeforePesq"));
    QVERIFY(s.button->eventNames().contains("OnAfterPesq"));
    // An unknown reference is an error when the form is created.
    TBtnPesquisa other;
    other.setDataSourceName(QStringLiteral("dtsNada"));
    QVERIFY_THROWS_EXCEPTION(EAppError,
                             other.resolveReferences([](const QString &) { return nullptr; }));
}

// Down moves in the list, Enter picks: the dataset is on the picked row for OnAfterPesq and
// the focus goes to the associated edit.
void tst_PickList::searchEnterPicks()
{
    Search s;
    QVERIFY(s.click([&](QDialog *dialog) {
        QCOMPARE(dialog->windowTitle(), QStringLiteral("Filial"));
        auto *view = child<QTableView>(dialog, "resultView");
        QCOMPARE(view->model()->rowCount(), 5);
        QCOMPARE(view->currentIndex().row(), 0);
        auto *filter = child<QLineEdit>(dialog, "filterEdit");
        QTest::keyClick(filter, Qt::Key_Down);
        QTest::keyClick(filter, Qt::Key_Down);
        QCOMPARE(view->currentIndex().row(), 2);
        QTest::keyClick(view, Qt::Key_Up);
        QTest::keyClick(view, Qt::Key_Enter);
    }));
    QCOMPARE(s.afterCount, 1);
    QCOMPARE(s.afterSender, s.button);
    QCOMPARE(s.afterKey, QStringLiteral("002"));
    QCOMPARE(s.afterName, QStringLiteral("BETA Serviços"));
    QCOMPARE(s.suppliers.lookup->field("NR")->AsString(), QStringLiteral("11222333000181"));
    s.activate();
    QTRY_VERIFY(s.edit->hasFocus());
    QVERIFY(s.presenter.entries.isEmpty());

    // A double click picks too.
    QVERIFY(s.click([&](QDialog *dialog) {
        auto *view = child<QTableView>(dialog, "resultView");
        const QRect cell = view->visualRect(view->model()->index(3, 1));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
    }));
    QCOMPARE(s.afterCount, 2);
    QCOMPARE(s.afterKey, QStringLiteral("A,B"));
}

// Enter right after typing a filter picks from the filtered rows.
void tst_PickList::searchFilterThenEnter()
{
    Search s;
    QVERIFY(s.click([&](QDialog *dialog) {
        auto *filter = child<QLineEdit>(dialog, "filterEdit");
        QTest::keyClicks(filter, "gama");
        QTest::keyClick(filter, Qt::Key_Return);
    }));
    QCOMPARE(s.afterCount, 1);
    QCOMPARE(s.afterKey, QStringLiteral("003"));

    // Enter with nothing under the filter picks nothing and keeps the dialog open.
    bool stillOpen = false;
    QVERIFY(s.click([&](QDialog *dialog) {
        auto *filter = child<QLineEdit>(dialog, "filterEdit");
        QTest::keyClicks(filter, "zzz");
        QTest::keyClick(filter, Qt::Key_Return);
        stillOpen = dialog->isVisible();
        QTest::keyClick(filter, Qt::Key_Escape);
    }));
    QVERIFY(stillOpen);
    QCOMPARE(s.afterCount, 1);
}

void tst_PickList::searchEscapeCancels()
{
    Search s;
    s.suppliers.lookup->query->Open();
    const TRow before = s.suppliers.lookup->query->currentRow();
    QVERIFY(s.click([&](QDialog *dialog) {
        auto *view = child<QTableView>(dialog, "resultView");
        QTest::keyClick(view, Qt::Key_Down);
        QTest::keyClick(view, Qt::Key_Escape);
    }));
    QCOMPARE(s.afterCount, 0);
    QCOMPARE(s.suppliers.lookup->query->currentRow(), before);
    s.activate();
    QVERIFY(s.other->hasFocus());
    QVERIFY(s.presenter.entries.isEmpty());
    QVERIFY(s.click([&](QDialog *dialog) {
        QTest::mouseClick(child<QPushButton>(dialog, "cancelButton"), Qt::LeftButton);
    }));
    QCOMPARE(s.afterCount, 0);
}

void tst_PickList::searchEmptyTable()
{
    Search s;
    s.suppliers.db.exec("DELETE FROM FORN");
    QVERIFY(!s.click([](QDialog *) {}));
    QCOMPARE(s.presenter.texts(), QStringList{QStringLiteral("Não há filial cadastrada.")});
    QCOMPARE(s.presenter.entries.at(0).kind, MessagePresenter::Kind::Error);
    QCOMPARE(s.afterCount, 0);
    // Called directly, the refusal is the silent abort.
    QVERIFY_THROWS_EXCEPTION(EAbort, s.button->Pesquisar());
}

void tst_PickList::searchBeforePesqCancels()
{
    Search s;
    int before = 0;
    bool proceed = false;
    s.button->OnBeforePesq = [&](QObject *sender, bool &flag) {
        QCOMPARE(sender, s.button);
        QVERIFY(flag); // comes in true
        ++before;
        flag = proceed;
    };
    QVERIFY(!s.click([](QDialog *) {}));
    QCOMPARE(before, 1);
    QVERIFY(!s.suppliers.lookup->query->Active());
    QVERIFY(s.presenter.entries.isEmpty());

    // A handler that closes the query (as the branch search does) still gets a search.
    proceed = true;
    s.button->OnBeforePesq = [&](QObject *, bool &) {
        ++before;
        s.suppliers.lookup->query->Close();
    };
    s.suppliers.lookup->query->Open();
    QVERIFY(s.click([](QDialog *dialog) {
        QTest::keyClick(child<QLineEdit>(dialog, "filterEdit"), Qt::Key_Return);
    }));
    QCOMPARE(before, 2);
    QCOMPARE(s.afterCount, 1);
    QCOMPARE(s.afterKey, QStringLiteral("001"));
}

// Visible fields in order with their headings; widths follow the display widths.
void tst_PickList::searchColumns()
{
    Search s;
    QVERIFY(s.click([&](QDialog *dialog) {
        auto *view = child<QTableView>(dialog, "resultView");
        QCOMPARE(view->model()->columnCount(), 2);
        QCOMPARE(view->model()->headerData(0, Qt::Horizontal).toString(),
                 QStringLiteral("Nº Inscrição"));
        QCOMPARE(view->model()->headerData(1, Qt::Horizontal).toString(),
                 QStringLiteral("Razão Social"));
        const int charWidth = view->fontMetrics().horizontalAdvance('0');
        QVERIFY(view->columnWidth(0) >= 18 * charWidth);
        QVERIFY(view->columnWidth(0) < 30 * charWidth);
        QVERIFY(view->horizontalHeader()->sectionSize(1) >= 40 * charWidth);
        QCOMPARE(view->model()->index(0, 0).data().toString(), QStringLiteral("529.982.247-25"));
    }));
}

QTEST_MAIN(tst_PickList)
#include "tst_picklist.moc"
