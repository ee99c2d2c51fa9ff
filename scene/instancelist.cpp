#include "scene/instancelist.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace orovista {

namespace {

/// The prop's file relative to the first library holding it; as it is otherwise.
QString propName(const QString &file, const QStringList &libraries)
{
    const QString absolute = QFileInfo(file).absoluteFilePath();
    for (const QString &library : libraries) {
        const QString root = QDir(library).absolutePath() + QLatin1Char('/');
        if (absolute.startsWith(root))
            return absolute.mid(root.size());
    }
    return file;
}

QJsonArray triple(double a, double b, double c) { return QJsonArray{a, b, c}; }

}   // namespace

QByteArray instanceList(const std::vector<PaintedItem> &items, const QString &terrain, double baseHeight,
                        const QStringList &libraries)
{
    QJsonArray list;
    for (const PaintedItem &item : items) {
        if (item.file.isEmpty())
            continue;
        QJsonObject entry;
        entry[QStringLiteral("prop")] = propName(item.file, libraries);
        entry[QStringLiteral("name")] = QFileInfo(item.file).completeBaseName();
        entry[QStringLiteral("position")] = triple(item.x, item.y, item.z);
        entry[QStringLiteral("rotation")] = triple(item.xRot, item.yRot, item.zRot);
        entry[QStringLiteral("scale")] = triple(item.scaleX * 0.01, item.scaleY * 0.01, item.scaleZ * 0.01);
        list.append(entry);
    }
    QJsonObject json;
    json[QStringLiteral("terrain")] = terrain;
    json[QStringLiteral("units")] = QStringLiteral("metres");
    json[QStringLiteral("axes")] =
        QStringLiteral("as the terrain OBJ: y up, the terrain centred on the origin, rows along +z, columns along +x");
    json[QStringLiteral("baseHeight")] = baseHeight;
    json[QStringLiteral("rotationOrder")] = QStringLiteral("YXZ: degrees about y first, then x, then z");
    json[QStringLiteral("count")] = list.size();
    json[QStringLiteral("instances")] = list;
    return QJsonDocument(json).toJson();
}

}   // namespace orovista
