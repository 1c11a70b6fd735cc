#pragma once

#include <QString>

class TfrmRelForn;

#define KMB61200_API extern "C" __attribute__((visibility("default")))

// A unit of the module with its initialisation and finalisation.
struct TUnitEntry
{
    const char *name;
    void (*initialize)();
    void (*finalize)();
};

// The module descriptor the host's loader reads.
struct TPackageInfoTable
{
    int unitCount;
    const TUnitEntry *units;
    int requiresCount;
    const char *const *requires_;
};

KMB61200_API TfrmRelForn *frmRelForn;
KMB61200_API bool BoIdCriado;

KMB61200_API void IniProc();
KMB61200_API void CriaRelForn();
KMB61200_API void Initialize();
KMB61200_API void Finalize();
KMB61200_API const TPackageInfoTable *GetPackageInfoTable();

// The picked lists, one per criterion; they outlive the screen for one load of the module.
extern QString LisCli;
extern QString LisForn;
extern QString LisEvento;
extern QString LisServ;
extern QString LisProd;
