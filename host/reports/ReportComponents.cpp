#include "ReportComponents.h"

#include "TPopupMenu.h"
#include "TQRDesignConnection.h"
#include "TReportDesignerDialog.h"
#include "TSaveDialog.h"

#include "framework/ComponentRegistry.h"

namespace Velmora::Reports {

namespace {
template <class Component> ComponentFactory objectFactory()
{
    return [](QObject *owner, QWidget *) -> QObject * { return new Component(owner); };
}
} // namespace

void RegisterReportComponents()
{
    ComponentRegistry &r = ComponentRegistry::instance();
    if (r.Find(QStringLiteral("TReportDesignerDialog")))
        return;
    r.Register({QStringLiteral("TReportDesignerDialog"),
                objectFactory<TReportDesignerDialog>(),
                {{QStringLiteral("BeforeGetQueryParams"), EventSignature::QueryParams}}});
    r.Register({QStringLiteral("TSaveDialog"), objectFactory<TSaveDialog>(), {}});
    r.Register({QStringLiteral("TPopupMenu"), objectFactory<TPopupMenu>(), {}});
    r.Register({QStringLiteral("TQRDesignConnection"), objectFactory<TQRDesignConnection>(), {}});
}

} // namespace Velmora::Reports
