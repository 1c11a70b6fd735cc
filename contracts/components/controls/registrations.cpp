// The component classes of the stored layouts, registered by name when the library loads.
#include "btnpesquisa.h"
#include "componentregistry.h"
#include "controls.h"
#include "dataset.h"
#include "dateedit.h"
#include "messages.h"
#include "netconnection.h"

namespace {

using ComponentRegistry::makeObject;
using ComponentRegistry::makeWidget;

const bool g_registered = [] {
    ComponentRegistry::registerWidget(QStringLiteral("TLabel"), &makeWidget<TLabel>);
    ComponentRegistry::registerWidget(QStringLiteral("TGroupBox"), &makeWidget<TGroupBox>);
    ComponentRegistry::registerWidget(QStringLiteral("TPanel"), &makeWidget<TPanel>);
    ComponentRegistry::registerWidget(QStringLiteral("TBevel"), &makeWidget<TBevel>);
    ComponentRegistry::registerWidget(QStringLiteral("TEdit"), &makeWidget<TEdit>);
    ComponentRegistry::registerWidget(QStringLiteral("TMaskEdit"), &makeWidget<TMaskEdit>);
    ComponentRegistry::registerWidget(QStringLiteral("TRadioButton"), &makeWidget<TRadioButton>);
    ComponentRegistry::registerWidget(QStringLiteral("TComboBox"), &makeWidget<TComboBox>);
    ComponentRegistry::registerWidget(QStringLiteral("TButtonFlat"), &makeWidget<TButtonFlat>);
    ComponentRegistry::registerWidget(QStringLiteral("TBtnPesquisa"), &makeWidget<TBtnPesquisa>);
    ComponentRegistry::registerWidget(QStringLiteral("TDateEditPlus"), &makeWidget<TDateEditPlus>);
    ComponentRegistry::registerObject(QStringLiteral("TADOIBQuery"), &makeObject<TADOIBQuery>);
    ComponentRegistry::registerObject(QStringLiteral("TADOIBStringField"),
                                      &makeObject<TADOIBStringField>);
    ComponentRegistry::registerObject(QStringLiteral("TDataSource"), &makeObject<TDataSource>);
    ComponentRegistry::registerObject(QStringLiteral("TMessages"), &makeObject<TMessages>);
    ComponentRegistry::registerObject(QStringLiteral("TNetConnection"),
                                      &makeObject<TNetConnection>);
    return true;
}();

} // namespace
