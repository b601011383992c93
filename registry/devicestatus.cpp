#include "devicestatus.h"

#include <QHash>

QIcon resourceIcon(const QString &path)
{
    static QHash<QString, QIcon> icons;
    auto it = icons.constFind(path);
    if (it == icons.constEnd())
        it = icons.insert(path, QIcon(path));
    return *it;
}
