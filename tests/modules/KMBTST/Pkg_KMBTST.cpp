#include "Pkg_KMBTST.h"

#include "Cli_KMBTST.h"
#include "application.h"
#include "errors.h"

TfrmTeste *frmTeste = nullptr;
bool BoIdCriado = false;

namespace {

// No units to describe: the loader only checks that the table is there.
const int g_packageInfo = 0;

} // namespace

const void *GetPackageInfoTable()
{
    return &g_packageInfo;
}

void Initialize()
{
    Q_INIT_RESOURCE(KMBTST);
    BoIdCriado = false;
}

void Finalize()
{
    Q_CLEANUP_RESOURCE(KMBTST);
}

void CriaTeste()
{
    TApplication *app = TApplication::instance();
    if (!app)
        throw EAppError(QStringLiteral("O objeto da aplicação não existe."));
    if (!BoIdCriado) {
        frmTeste = app->CreateForm<TfrmTeste>();
        QObject::connect(frmTeste, &QObject::destroyed, [] {
            frmTeste = nullptr;
            BoIdCriado = false;
        });
        BoIdCriado = true;
    }
    app->showForm(frmTeste);
}

void IniProc()
{
    CriaTeste();
}
