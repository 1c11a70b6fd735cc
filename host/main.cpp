#include "application.h"
#include "dataset.h"
#include "errors.h"
#include "mainwindow.h"
#include "moduleloader.h"
#include "ptbr.h"
#include "reportcli.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLoggingCategory>
#include <QMdiArea>
#include <QScreen>
#include <QSettings>
#include <QTimer>
#include <QTranslator>

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

// Dialogs open centred on the window they belong to and wholly on its screen, title bar
// included (a dialog of a window half off the screen would otherwise follow it).
class DialogPlacer : public QObject
{
public:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        if (event->type() == QEvent::Show)
            if (auto *dialog = qobject_cast<QDialog *>(watched); dialog && dialog->isWindow())
                place(dialog);
        return false;
    }

private:
    static void place(QDialog *dialog)
    {
        const QWidget *owner = dialog->parentWidget() ? dialog->parentWidget()->window() : nullptr;
        const QScreen *screen = owner && owner->screen() ? owner->screen() : dialog->screen();
        if (!screen)
            return;
        const QRect area = screen->availableGeometry();
        // The frame is not known before the window manager framed the dialog: allow for it.
        const QMargins frame(4, 32, 4, 4);
        const QSize size = dialog->size();
        QPoint centre = owner ? owner->frameGeometry().center() : area.center();
        QPoint pos = centre - QPoint(size.width() / 2, size.height() / 2);
        pos.setX(qMax(area.left() + frame.left(),
                      qMin(pos.x(), area.right() - frame.right() - size.width())));
        pos.setY(qMax(area.top() + frame.top(),
                      qMin(pos.y(), area.bottom() - frame.bottom() - size.height())));
        dialog->move(pos - QPoint(frame.left(), frame.top()));
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

QtMessageHandler g_qtMessageHandler = nullptr;

// Qt's platform plugins tell what an offscreen or bare session lacks (no runtime directory, no
// raising of windows): noise to whoever reads standard error. Everything else goes on.
void dropPlatformNoise(QtMsgType type, const QMessageLogContext &context, const QString &text)
{
    static const char *const noise[] = {"XDG_RUNTIME_DIR not set", "This plugin does not support"};
    if (type != QtCriticalMsg && type != QtFatalMsg)
        for (const char *known : noise)
            if (text.contains(QLatin1String(known)))
                return;
    if (g_qtMessageHandler) {
        g_qtMessageHandler(type, context, text);
        return;
    }
    ReportCli::printLine(stderr, qFormatLogMessage(type, context, text));
}

// A configuration named on the command line must be there and be an INI file.
QString configurationError(const QString &path)
{
    QFile file(path);
    if (QFileInfo(path).isDir())
        return QCoreApplication::translate("Host",
                                           "O arquivo de configuração \"%1\" é um diretório.")
            .arg(QDir::toNativeSeparators(path));
    if (!file.open(QIODevice::ReadOnly))
        return QCoreApplication::translate(
                   "Host", "Não foi possível ler o arquivo de configuração \"%1\": %2")
            .arg(QDir::toNativeSeparators(path), file.errorString());
    if (QSettings(path, QSettings::IniFormat).status() != QSettings::NoError)
        return QCoreApplication::translate("Host",
                                           "O arquivo de configuração \"%1\" não é um INI válido.")
            .arg(QDir::toNativeSeparators(path));
    return {};
}

// Texts of Qt's dialogs that its Portuguese catalogue lacks (the file dialog's kinds of file).
class MissingQtTexts : public QTranslator
{
public:
    explicit MissingQtTexts(QObject *parent)
        : QTranslator(parent)
    {
        // Read before the translator is installed: it never asks itself.
        m_texts.insert("Folder", QCoreApplication::translate("MissingQtTexts", "Pasta"));
        m_texts.insert("File", QCoreApplication::translate("MissingQtTexts", "Arquivo"));
        m_texts.insert("Drive", QCoreApplication::translate("MissingQtTexts", "Unidade"));
        m_texts.insert("Computer", QCoreApplication::translate("MissingQtTexts", "Computador"));
        m_texts.insert("Desktop",
                       QCoreApplication::translate("MissingQtTexts", "Área de trabalho"));
        m_texts.insert("Trash", QCoreApplication::translate("MissingQtTexts", "Lixeira"));
        m_texts.insert("%1 File", QCoreApplication::translate("MissingQtTexts", "Arquivo %1"));
        m_texts.insert("File Folder", QCoreApplication::translate("MissingQtTexts", "Pasta"));
        m_texts.insert("Alias", QCoreApplication::translate("MissingQtTexts", "Atalho"));
        m_texts.insert("Shortcut", QCoreApplication::translate("MissingQtTexts", "Atalho"));
        m_texts.insert("Unknown", QCoreApplication::translate("MissingQtTexts", "Desconhecido"));
    }
    bool isEmpty() const override { return false; }
    QString translate(const char *context, const char *source, const char *, int) const override
    {
        const QByteArray ctx(context);
        if (ctx != "QAbstractFileIconProvider" && ctx != "QFileSystemModel" && ctx != "QFileDialog")
            return {};
        return m_texts.value(QByteArray(source));
    }

private:
    QHash<QByteArray, QString> m_texts;
};

} // namespace

int main(int argc, char *argv[])
{
    g_qtMessageHandler = qInstallMessageHandler(dropPlatformNoise);

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

    // The command line is read before the application exists, so a bad one or --help ends
    // with its status without a display.
    QString configFile;
    {
        QCoreApplication probe(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("kmbhost"));
        if (!parser.parse(QCoreApplication::arguments())) {
            ReportCli::printLine(stderr,
                                 parser.errorText() + QStringLiteral(" Veja kmbhost --help."));
            return ReportCli::UsageError;
        }
        if (parser.isSet(QStringLiteral("help"))) {
            ReportCli::printLine(stdout, parser.helpText());
            return ReportCli::Success;
        }
        configFile = parser.value(configOption);
        if (!configFile.isEmpty()) {
            const QString error = configurationError(configFile);
            if (!error.isEmpty()) {
                ReportCli::printLine(stderr, error);
                return ReportCli::UsageError;
            }
        } else {
            configFile =
                QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("kmb.ini"));
        }
        configFile = QFileInfo(configFile).absoluteFilePath();
    }

    // A report run shows no window: the platform is chosen before the application exists.
    const bool reportRun = parser.isSet(QStringLiteral("report"));
    if (reportRun && !qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The screen's handshake with the application server gives up without a message, and a
    // report does not need it: a report run does not log it either (QT_LOGGING_RULES can).
    if (reportRun)
        QLoggingCategory::setFilterRules(QStringLiteral("kmb.netconnection.warning=false"));
    // The file dialog writes dates and sizes in the system locale: make it Brazilian
    // Portuguese (dd/mm/aaaa, Portuguese month names) whatever the session says.
    if (!reportRun)
        qputenv("LC_TIME", "pt_BR.UTF-8");
    HostApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("kmb"));
    QApplication::setApplicationName(QStringLiteral("kmbhost"));
    QApplication::setApplicationDisplayName(
        QCoreApplication::translate("Host", "Orçamento de Eventos"));
    // Installed first, so it is asked last: only for what Qt's catalogues do not hold.
    QApplication::installTranslator(new MissingQtTexts(&app));
    installBrazilianLocale();

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
        DialogPlacer placer;
        app.installEventFilter(&placer);
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
