#include "app.h"

#include <QtCore/qresource.h>
#include <QDir>

void haldorinInitResources()
{
    Q_INIT_RESOURCE(haldorin);
}
