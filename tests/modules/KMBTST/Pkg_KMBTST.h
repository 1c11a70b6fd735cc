#pragma once

class TfrmTeste;

#define KMBTST_API extern "C" __attribute__((visibility("default")))

// The entry points of the test module, as every screen module has them.
KMBTST_API TfrmTeste *frmTeste;
KMBTST_API bool BoIdCriado;

KMBTST_API void IniProc();
KMBTST_API void CriaTeste();
KMBTST_API void Initialize();
KMBTST_API void Finalize();
KMBTST_API const void *GetPackageInfoTable();
