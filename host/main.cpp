#include "application.h"
#include "dataset.h"
#include "errors.h"
#include "mainwindow.h"
#include "moduleloader.h"
#include "ptbr.h"
#include "reportcli.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QMdiArea>
#include <QTimer>

#include <cstdio>

namespace {

// The backstop for an exception that escaped a handler without passing the event boundary.
class HostApplication : public QApplication
{
public:
    using QApplication::QApplication;
    bool notify(QObject *receiver, QEvent *event) override
    {
        try {
            return QApplication::notify(receiver, event);
        } catch (...) {
            reportException(std::current_exception());
            return false;
        }
    }
};

TdtmDBGeral::Settings databaseSettings(const HostSettings &host)
{
    TdtmDBGeral::Settings s;
    s.driver = host.databaseDriver;
    s.database = host.databaseName;
    if (s.driver == QLatin1String("QSQLITE") && s.database.isEmpty())
        s.database =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("demo.db"));
    s.host = host.databaseHost;
    s.port = host.databasePort;
    s.user = host.databaseUser;
    s.password = host.databasePassword;
    s.options = host.databaseOptions;
    return s;
}

} // namespace

int main(int argc, char *argv[])
{
    // A report run shows no window: the platform is chosen before the application exists.
    const bool reportRun = ReportCli::requested(argc, argv);
    if (reportRun && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    HostApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("kmbhost"));
    QApplication::setApplicationDisplayName(
        QCoreApplication::translate("Host", "Orçamento de Eventos"));
    installBrazilianLocale();

    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate("Host", "Orçamento de Eventos"));
    parser.addHelpOption();
    QCommandLineOption configOption(
        QStringLiteral("config"),
        QCoreApplication::translate("Host", "Arquivo de configuração (INI)."),
        QStringLiteral("FILE"));
    QCommandLineOption openOption(QStringLiteral("open"),
                                  QCoreApplication::translate("Host", "Abre a tela ao iniciar."),
                                  QStringLiteral("CODE"));
    QCommandLineOption shotOption(
        QStringLiteral("screenshot"),
        QCoreApplication::translate("Host", "Grava a janela principal em PNG e sai."),
        QStringLiteral("FILE"));
    QCommandLineOption modulesOption(
        QStringLiteral("modules"),
        QCoreApplication::translate(
            "Host", "Diretório dos módulos (pode repetir; o padrão é o do programa)."),
        QStringLiteral("DIR"));
    parser.addOptions({configOption, openOption, shotOption, modulesOption});
    ReportCli::addOptions(parser);
    if (reportRun) {
        // A bad command line of a report run ends with its own status.
        if (!parser.parse(QCoreApplication::arguments())) {
            fprintf(stderr, "%s\n", parser.errorText().toUtf8().constData());
            return ReportCli::UsageError;
        }
        if (parser.isSet(QStringLiteral("help")))
            parser.showHelp(0);
    } else {
        parser.process(app);
    }

    QString configFile = parser.value(configOption);
    if (configFile.isEmpty())
        configFile =
            QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kmb.ini"));
    configFile = QFileInfo(configFile).absoluteFilePath();

    TApplication application;
    application.setSettings(HostSettings::read(configFile));

    TdtmDBGeral dataModule;
    setDtmDBGeral(&dataModule);
    QString databaseError;
    const TdtmDBGeral::Settings db = databaseSettings(application.settings());
    if (db.driver == QLatin1String("QSQLITE") && !QFileInfo::exists(db.database))
        // SQLite would create an empty file and every lookup would then fail obscurely.
        databaseError =
            QCoreApplication::translate("Host", "O banco de dados '%1' não existe (driver %2).")
                .arg(QDir::toNativeSeparators(db.database), db.driver);
    else if (!dataModule.open(db))
        databaseError =
            QCoreApplication::translate(
                "Host", "Não foi possível abrir o banco de dados (driver %1, banco %2): %3")
                .arg(db.driver, db.database, dataModule.lastError());

    const QStringList moduleDirs = parser.isSet(modulesOption)
                                       ? parser.values(modulesOption)
                                       : QStringList{QCoreApplication::applicationDirPath()};
    if (reportRun) {
        const int status = ReportCli::run(parser, moduleDirs, databaseError);
        setDtmDBGeral(nullptr);
        return status;
    }
    int status = 0;
    {
        ModuleLoader loader(moduleDirs);
        MainWindow window(&loader, databaseError);
        application.setMdiArea(window.mdiArea());
        window.show();
        if (!databaseError.isEmpty())
            fprintf(stderr, "%s\n", qPrintable(databaseError));

        const QString screenshot = parser.value(shotOption);
        QTimer::singleShot(0, &window, [&] {
            if (!screenshot.isEmpty()) {
                // Armed before the screen opens, so a message box on the way cannot keep the
                // shot from being taken; the delay lets the screen lay itself out and paint.
                QTimer::singleShot(800, &window, [&] {
                    if (!window.grab().save(screenshot)) {
                        const QString text =
                            QCoreApplication::translate("Host", "Não foi possível gravar '%1'.")
                                .arg(screenshot);
                        fprintf(stderr, "%s\n", text.toUtf8().constData());
                        QApplication::exit(2);
                        return;
                    }
                    QApplication::quit();
                });
            }
            if (parser.isSet(openOption))
                window.openScreen(parser.value(openOption));
        });
        status = QApplication::exec();
        // Screens go before the modules that made them are unloaded.
        application.destroyForms();
        loader.unloadAll();
    }
    setDtmDBGeral(nullptr);
    return status;
}
