#include "testsupport.h"

#include "labcheck.h"

namespace TestSupport {

bool insideLab(QString *why)
{
    const QString outside = qEnvironmentVariableIsEmpty("QDF_LAB_DEVICE_NS")
        ? QStringLiteral("run it through scripts/netlab (ctest does)")
        : NetLab::whyOutside();
    if (!outside.isEmpty() && why)
        *why = QStringLiteral("network test: ") + outside;
    return outside.isEmpty();
}

} // namespace TestSupport
