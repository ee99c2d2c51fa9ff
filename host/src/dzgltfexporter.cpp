#include "dzgltfexporter.h"

bool DzGltfExporter::writeScene(const DzScene *, const QString &, QString *error)
{
    if (error)
        *error = QStringLiteral("not written yet");
    return false;
}
