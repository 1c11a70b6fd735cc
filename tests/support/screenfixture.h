#pragma once

// A running criteria screen over a small SQLite database, as the host would open it: the
// application object, a configuration with the report definitions and a closed
// application-server port, the recording presenter, the module initialised and IniProc called.

#include "Cli_KMB61200.h"
#include "Pkg_KMB61200.h"
#include "application.h"
#include "testsupport.h"

#include <QApplication>
#include <QSettings>
#include <QTest>

class ScreenFixture
{
public:
    ScreenFixture()
        : db(std::make_unique<TempSqliteDb>())
    {
        configPath = dir.filePath(QStringLiteral("kmb.ini"));
        {
            QSettings ini(configPath, QSettings::IniFormat);
            ini.setValue(QStringLiteral("Reports/Directory"),
                         sourcePath(QStringLiteral("reports")));
            ini.setValue(QStringLiteral("AppServer/Host"), QStringLiteral("127.0.0.1"));
            ini.setValue(QStringLiteral("AppServer/Port"), 1);
        }
        app.setConfigFile(configPath);
        seed();
        Initialize();
    }
    ~ScreenFixture()
    {
        app.destroyForms();
        Finalize();
    }

    // Opens the screen through the module's entry point and activates its window.
    TfrmRelForn *open()
    {
        IniProc();
        TfrmRelForn *form = frmRelForn;
        form->activateWindow();
        QApplication::setActiveWindow(form);
        if (!QTest::qWaitForWindowActive(form))
            qWarning("screen window did not become active");
        presenter.clear();
        return form;
    }

    void setConfig(const QString &key, const QVariant &value)
    {
        QSettings(configPath, QSettings::IniFormat).setValue(key, value);
        app.setConfigFile(configPath);
    }

    // A few rows of every lookup table.
    void seed()
    {
        db->exec(QStringLiteral("INSERT INTO FILIAL (CDFILIAL, NMFILIAL) VALUES "
                                "('0001', 'Matriz São Paulo'), ('0002', 'Filial Campinas'), "
                                "('00AB', 'Filial Santos')"));
        db->exec(QStringLiteral("INSERT INTO TIPOEVENTO (CDTIPOEVENTO, NMTIPOEVENTO) VALUES "
                                "('001', 'Casamento'), ('002', 'Formatura')"));
        db->exec(QStringLiteral("INSERT INTO TIPOSERVEVEN (CDTPSERVEVEN, NMTPSERVEVEN) VALUES "
                                "('001', 'Buffet'), ('002', 'Decoração')"));
        db->exec(QStringLiteral(
            "INSERT INTO FORNECEDOR (CDFORNECED, IDTPIJURFORN, NRINSJURFORN, NMRAZSOCFORN, "
            "NMFANTFORN) VALUES ('F001', 'J', '11222333000181', 'Buffet Alegria Ltda', "
            "'Alegria'), ('F002', 'F', '52998224725', 'José da Silva', 'Zé Som'), "
            "('F003', 'X', '', 'Sem Documento', 'Sem Doc')"));
        db->exec(QStringLiteral(
            "INSERT INTO CLIENTE (CDCLIENTE, IDTPIJURCLIE, NRINSJURCLIE, NMRAZSOCCLIE, "
            "NMFANTCLIE) VALUES ('C001', 'F', '11144477735', 'Maria Souza', 'Maria'), "
            "('C002', 'J', '11444777000161', 'Eventos Brasil SA', 'EvBr')"));
        db->exec(QStringLiteral("INSERT INTO PRODUTO (CDARVPROD, NMPRODUTO, CDPRODUTO) VALUES "
                                "('101001', 'Salgados', 'P1'), ('101002', 'Doces', 'P2')"));
    }

    QTemporaryDir dir;
    QString configPath;
    std::unique_ptr<TempSqliteDb> db;
    TApplication app;
    RecordingPresenter presenter;
};

// Leaves the focused control for another by giving the other the focus, as a click would.
inline void moveFocus(QWidget *to)
{
    to->setFocus(Qt::MouseFocusReason);
    QApplication::processEvents();
}
