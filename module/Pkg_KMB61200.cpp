#include "Pkg_KMB61200.h"

#include "Cli_KMB61200.h"
#include "application.h"
#include "busycursor.h"
#include "errors.h"

#include <QCoreApplication>

TfrmRelForn *frmRelForn = nullptr;
bool BoIdCriado = false;

QString LisCli;
QString LisForn;
QString LisEvento;
QString LisServ;
QString LisProd;

namespace {

// Initialisation count of the form unit: its body runs on the first initialisation and the
// last finalisation only.
int g_cliInitCount = 0;

void Cli_KMB61200_Initialization()
{
    if (g_cliInitCount-- == 0)
        BoIdCriado = false;
}

void Cli_KMB61200_Finalization()
{
    if (++g_cliInitCount == 0) {
        LisProd.clear();
        LisServ.clear();
        LisEvento.clear();
        LisForn.clear();
        LisCli.clear();
    }
}

} // namespace

// The module's resources (stored layout, pictures) as a unit of their own.
static void KMB61200Resources_Initialization()
{
    Q_INIT_RESOURCE(KMB61200);
}

static void KMB61200Resources_Finalization()
{
    Q_CLEANUP_RESOURCE(KMB61200);
}

namespace {

const TUnitEntry g_units[] = {
    {"KMB61200Resources", &KMB61200Resources_Initialization, &KMB61200Resources_Finalization},
    {"Cli_KMB61200", &Cli_KMB61200_Initialization, &Cli_KMB61200_Finalization},
};

const char *const g_requires[] = {"Qt6Core",         "Qt6Gui",     "Qt6Widgets", "Qt6Sql",
                                  "Qt6PrintSupport", "Qt6Network", "forms",      "components"};

const TPackageInfoTable g_packageInfo = {int(std::size(g_units)), g_units,
                                         int(std::size(g_requires)), g_requires};

} // namespace

const TPackageInfoTable *GetPackageInfoTable()
{
    return &g_packageInfo;
}

void Initialize()
{
    for (const TUnitEntry &unit : g_units)
        unit.initialize();
}

void Finalize()
{
    for (auto it = std::rbegin(g_units); it != std::rend(g_units); ++it)
        it->finalize();
}

void CriaRelForn()
{
    TApplication *app = TApplication::instance();
    if (!app)
        throw EAppError(
            QCoreApplication::translate("Pkg_KMB61200", "O objeto da aplicação não existe."));
    {
        BusyCursor busy;
        if (!BoIdCriado) {
            frmRelForn = app->CreateForm<TfrmRelForn>();
            // Closing destroys the screen; the next call must create a new one.
            QObject::connect(frmRelForn, &QObject::destroyed, [] {
                frmRelForn = nullptr;
                BoIdCriado = false;
            });
            BoIdCriado = true;
        }
    }
    app->showForm(frmRelForn);
}

void IniProc()
{
    // Any failure reaches the host unchanged.
    CriaRelForn();
}
