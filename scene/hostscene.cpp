#include "scene/hostscene.h"
#include "plugin/random.h"

#include "dzapp.h"
#include "dzcontentmgr.h"
#include "dzcamera.h"
#include "dzlight.h"
#include "dzclassfactory.h"
#include "dzimagemgr.h"
#include "dzimportmgr.h"
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"
#include "dzproperty.h"
#include "dzscene.h"
#include "dzsettings.h"

#include <QColor>

#include <algorithm>
#include <memory>

namespace orovista::scene {

void fillObjImportSettings(DzFileIOSettings &settings, double scalePercent)
{
    settings.setStringValue(QStringLiteral("Preset"), QStringLiteral("Lightwave (1 unit = 1m)"));
    settings.setFloatValue(QStringLiteral("Scale"), scalePercent);
    settings.setBoolValue(QStringLiteral("SwapYZ"), false);
    settings.setBoolValue(QStringLiteral("IncludeG"), true);
    settings.setBoolValue(QStringLiteral("IncludeVT"), true);
    settings.setBoolValue(QStringLiteral("IncludeUsemtl"), true);
    settings.setBoolValue(QStringLiteral("IncludeMtllib"), false);
    settings.setIntValue(QStringLiteral("RunSilent"), 1);
}

DzNode *importObjNode(const QString &objPath, const QString &name, double scalePercent, QString *error)
{
    DzImporter *importer =
        dzApp ? dzApp->getImportMgr()->findImporterByClassName(QStringLiteral("DzObjImporter")) : nullptr;
    if (!importer) {
        if (error)
            *error = QStringLiteral("the host has no OBJ importer");
        return nullptr;
    }
    DzFileIOSettings settings;
    fillObjImportSettings(settings, scalePercent);
    DzFacetShape *shape = importer->readShape(objPath, &settings);
    if (!shape) {
        if (error)
            *error = importer->getLastError().isEmpty() ? QStringLiteral("%1 could not be read").arg(objPath)
                                                        : importer->getLastError();
        return nullptr;
    }
    auto *object = new DzObject;
    object->setName(name);
    object->addShape(shape);
    auto *node = new DzNode;
    node->setName(name);
    node->setLabel(name);
    node->setObject(object);
    return node;
}

namespace {

template <class T>
T *createBrick(const char *className)
{
    DzClassFactory *factory = dzApp ? dzApp->findClassFactory(QLatin1String(className)) : nullptr;
    if (!factory)
        return nullptr;
    QObject *made = factory->createInstance();
    if (auto *brick = qobject_cast<T *>(made))
        return brick;
    delete made;
    return nullptr;
}

DzTexture *image(const QString &path, const QString &platformName)
{
    return dzApp ? dzApp->getImageMgr()->getImage(hostImagePath(path, platformName)) : nullptr;
}

}   // namespace

int buildTerrainShader(DzBrickMaterial *material, const TerrainLook &look, const QString &platformName,
                       const LogSink &log)
{
    log(QStringLiteral("creating terrain procedural shader\n"));
    if (!material) {
        log(QStringLiteral("error creating a shader brick\n"));
        return -1;
    }
    // Until they are handed to the material, the bricks belong to this function.
    std::unique_ptr<DzShaderBrick> root(createBrick<DzShaderBrick>("DzSimpleSurfaceBrick"));
    std::unique_ptr<DzShaderBrick> surface(createBrick<DzShaderBrick>("DzDefaultMaterialBrick"));
    std::unique_ptr<DzShaderBrick> picture(createBrick<DzShaderBrick>("DzImageBrick"));
    std::unique_ptr<DzShaderBrick> displace(createBrick<DzShaderBrick>("DzDisplaceBrick"));
    std::unique_ptr<DzShaderBrick> normal(createBrick<DzShaderBrick>("DzNormalMapBrick"));
    auto fail = [&](const char *line) {
        log(QLatin1String(line));
        return -1;
    };
    if (!root || !surface || !picture || !displace || !normal)
        return fail("error creating a shader brick\n");

    DzBrickParam *colourIn = root->findParameterByArg(QStringLiteral("c_in"));
    DzBrickParam *opacityIn = root->findParameterByArg(QStringLiteral("o_in"));
    if (!colourIn || !opacityIn)
        return fail("error finding root parameters\n");

    DzBrickParam *colourOut = surface->findParameterByArg(QStringLiteral("ColorOut"));
    DzBrickParam *opacityOut = surface->findParameterByArg(QStringLiteral("OpacityOut"));
    DzBrickParam *diffuse = surface->findParameterByArg(QStringLiteral("DiffuseColor"));
    DzBrickParam *glossiness = surface->findParameterByArg(QStringLiteral("Glossiness"));
    DzBrickParam *specular = surface->findParameterByArg(QStringLiteral("SpecularStrength"));
    auto *lighting = qobject_cast<DzEnumProperty *>(surface->findProperty(QStringLiteral("Lighting Model")));
    if (!lighting)
        return fail("error finding lighting model property\n");
    lighting->setValue(look.lightingModel);
    if (!colourOut || !opacityOut || !diffuse || !glossiness || !specular)
        return fail("error finding defaultMat parameters\n");
    auto *glossValue = qobject_cast<DzFloatProperty *>(glossiness->getProperty());
    if (!glossValue)
        return fail("error finding glossiness parameter\n");
    auto *specularValue = qobject_cast<DzFloatProperty *>(specular->getProperty());
    if (!specularValue)
        return fail("error finding specular strength parameter\n");
    glossValue->setValue(look.glossiness);
    specularValue->setValue(look.specularStrength);

    DzBrickParam *displaceIn = displace->findParameterByArg(QStringLiteral("n"));
    if (!displaceIn)
        return fail("error finding displace IN parameter\n");
    DzBrickParam *normalOut = normal->findParameterByArg(QStringLiteral("nout"));
    if (!normalOut)
        return fail("error finding normal map OUT parameter\n");
    DzBrickParam *normalMap = normal->findParameterByArg(QStringLiteral("normalmap"));
    if (!normalMap)
        return fail("error finding normalmap parameter\n");
    auto *normalImage = qobject_cast<DzImageProperty *>(normalMap->getProperty());
    if (!normalImage)
        return fail("error finding normal map image parameter\n");
    if (!look.normalMap.isEmpty())
        normalImage->setValue(image(look.normalMap, platformName));

    auto *type = qobject_cast<DzStringProperty *>(picture->findProperty(QStringLiteral("type")));
    if (!type)
        return fail("error finding type parameter\n");
    type->setValue(QStringLiteral("color"));
    DzBrickParam *pictureOut = picture->findParameterByArg(QStringLiteral("outColor"));
    DzBrickParam *pictureColour = picture->findParameterByArg(QStringLiteral("color"));
    auto *colour = pictureColour ? qobject_cast<DzColorProperty *>(pictureColour->getProperty()) : nullptr;
    if (!pictureOut || !colour)
        return fail("error finding image brick parameter\n");
    colour->setMap(image(look.colourTexture, platformName));
    colour->setColorValue(QColor(255, 255, 255, 255));

    DzShaderBrick *rootBrick = root.get();
    material->addBrick(surface.release());
    material->addBrick(picture.release());
    material->addBrick(normal.release());
    material->addBrick(displace.release());
    material->addBrick(root.release());
    if (DzSettings *settings = rootBrick->getSettings())
        settings->setBoolValue(QStringLiteral("AutoArrange"), true);

    colourIn->addConnection(colourOut);
    opacityIn->addConnection(opacityOut);
    diffuse->addConnection(pictureOut);
    displaceIn->addConnection(normalOut);
    material->update();
    return 0;
}

namespace {

DzShape *firstShape(DzNode *node)
{
    return node && node->getObject() ? node->getObject()->getCurrentShape() : nullptr;
}

// Puts material in the place of the shape's first material (or adds it).
void replaceFirstMaterial(DzShape *shape, DzMaterial *material)
{
    if (shape->getNumMaterials() > 0)
        shape->replaceMaterial(shape->getMaterial(0), material);
    else
        shape->addMaterial(material);
}

}   // namespace

int dressTerrain(DzNode *terrain, const QString &name, const TerrainLook &look, const QString &platformName,
                 const LogSink &log)
{
    DzShape *shape = firstShape(terrain);
    auto *material = new DzBrickMaterial;
    const int built = buildTerrainShader(material, look, platformName, log);
    material->setName(name + QStringLiteral(" Default"));
    material->setLabel(name + QStringLiteral(" Default"));
    if (DzProperty *colour = material->findProperty(QStringLiteral("color")))
        colour->setLabel(QStringLiteral("Diffuse Color"));
    if (!shape) {
        delete material;
        return -1;
    }
    replaceFirstMaterial(shape, material);
    return built;
}

DzNode *makeSkyDome(const QString &domeObj, const QString &skyTexture, double terrainSize, double scalePercent,
                    const QString &platformName, const LogSink &log, QString *error)
{
    DzNode *dome = importObjNode(domeObj, QStringLiteral("skyDome"), scalePercent, error);
    if (!dome)
        return nullptr;
    dome->getScaleControl()->setValue(skyDomeScale(terrainSize));
    dome->getShadowControl()->setBoolValue(false);
    // The scene's surroundings, not a thing in it: files for other programs leave it out.
    dome->setProperty("environment", true);
    const QString texturePath = hostImagePath(skyTexture, platformName);
    log(QStringLiteral("Sky Texture name: ") + texturePath + QLatin1Char('\n'));
    DzTexture *texture = dzApp ? dzApp->getImageMgr()->getImage(texturePath) : nullptr;
    auto *sky = new DzDefaultMaterial;
    sky->setName(QStringLiteral("Sky Default"));
    sky->setLabel(QStringLiteral("Sky Default"));
    sky->setLightingModel(4);
    sky->setAmbientColorMap(texture);
    sky->setDiffuseStrength(0.0f);
    sky->setAmbientStrength(1.0f);
    sky->setDiffuseColor(QColor(255, 255, 255, 255));
    sky->setAmbientColor(QColor(255, 255, 255, 255));
    sky->setSpecularStrength(0.0f);
    if (DzShape *shape = firstShape(dome))
        replaceFirstMaterial(shape, sky);
    else
        delete sky;
    return dome;
}

namespace {

DzCamera *makeCamera(const CameraPlacement &c)
{
    auto *camera = new DzBasicCamera(6, false);
    camera->setName(c.name);
    camera->setLabel(c.name);
    camera->getXPosControl()->setValue(c.position[0]);
    camera->getYPosControl()->setValue(c.position[1]);
    camera->getZPosControl()->setValue(c.position[2]);
    camera->getXRotControl()->setValue(c.rotation[0]);
    camera->getYRotControl()->setValue(c.rotation[1]);
    camera->getZRotControl()->setValue(c.rotation[2]);
    camera->setFieldOfView(c.fieldOfView);
    return camera;
}

}   // namespace

DzCamera *addCameras(DzScene *scene, const QString &terrainName, double terrainSize, double elevationHigh,
                     const PreviewEye &eye, int viewportWidth)
{
    for (const CameraPlacement &c : cornerCameras(terrainName, terrainSize, elevationHigh))
        scene->addNode(makeCamera(c));
    DzCamera *main = makeCamera(mainCamera(terrainName, eye));
    if (viewportWidth > 0)
        main->setFrameWidth(float(viewportWidth));
    scene->addNode(main);
    return main;
}

QList<DzNode *> nodesNamed(const DzScene *scene, const QString &name)
{
    QList<DzNode *> found;
    for (int i = 0; scene && i < scene->getNumNodes(); ++i)
        if (DzNode *node = scene->getNode(i); node && node->getName() == name)
            found << node;
    return found;
}

DzDistantLight *addSun(DzScene *scene, const QString &terrainName, const sky::SkyParameters &sky)
{
    auto *sun = new DzDistantLight;
    sun->setName(terrainName + QStringLiteral(" Sun"));
    sun->setLabel(sun->getName());
    // The light travels down its local −Z: tilted down by the sun's pitch (about x), then turned
    // to the sun's azimuth (about y). The sky places the sun at (cos p sin a, sin p, cos p cos a).
    sun->setRotationOrder(DzNode::XYZ);
    sun->getXRotControl()->setValue(-sky.sunPitch);
    sun->getYRotControl()->setValue(sky.sunAzimuth);
    // The sun's colour from the sky model, its brightest channel at full.
    const float brightest = std::max({sky.sunRed, sky.sunGreen, sky.sunBlue});
    if (brightest > 0.0f)
        sun->setDiffuseColor(QColor::fromRgbF(sky.sunRed / brightest, sky.sunGreen / brightest, sky.sunBlue / brightest));
    sun->setIntensity(1.0f);
    scene->addNode(sun);
    return sun;
}

void removeCameras(DzScene *scene, const QString &terrainName)
{
    for (DzNode *sun : nodesNamed(scene, terrainName + QStringLiteral(" Sun")))
        scene->removeNode(sun);
    for (const char *suffix : {" Main Camera", " NW Camera", " NE Camera", " SW Camera", " SE Camera"})
        for (DzNode *camera : nodesNamed(scene, terrainName + QLatin1String(suffix)))
            scene->removeNode(camera);
}

}   // namespace orovista::scene

namespace orovista::scene {

PropPose poseOf(const PaintedItem &item)
{
    return {item.x, item.y, item.z, item.xRot, item.yRot, item.zRot,
            item.scaleX * 0.01f, item.scaleY * 0.01f, item.scaleZ * 0.01f};
}

void placeProp(DzNode *node, const PropPose &p)
{
    node->getXRotControl()->setValue(float(p.xRot));
    node->getYRotControl()->setValue(float(p.yRot));
    node->getZRotControl()->setValue(float(p.zRot));
    node->getXPosControl()->setValue(p.x * 100.0f);
    node->getYPosControl()->setValue(p.y * 100.0f);
    node->getZPosControl()->setValue(p.z * 100.0f);
    node->getXScaleControl()->setValue(p.scaleX);
    node->getYScaleControl()->setValue(p.scaleY);
    node->getZScaleControl()->setValue(p.scaleZ);
}

void randomiseMorphs(DzNode *node, int percentage)
{
    DzObject *object = node ? node->getObject() : nullptr;
    for (int i = 0; object && i < object->getNumModifiers(); ++i)
        if (auto *morph = qobject_cast<DzMorph *>(object->getModifier(i)))
            morph->getValueChannel()->setValue(float(random::inRange(0, percentage)) / 100.0f);
}

DzNode *loadProp(const QString &file, const PropPose &pose, int morphPercentage)
{
    if (!dzScene || !dzApp)
        return nullptr;
    const int before = dzScene->getNumNodes();
    if (!dzApp->getContentMgr()->openFile(file) || dzScene->getNumNodes() <= before)
        return nullptr;   // nothing loaded: the nodes already in the scene stay as they are
    // The loaded prop: the first new node without a parent (its parts follow it).
    DzNode *prop = dzScene->getNode(dzScene->getNumNodes() - 1);
    for (int i = before; i < dzScene->getNumNodes(); ++i)
        if (!dzScene->getNode(i)->getNodeParent()) {
            prop = dzScene->getNode(i);
            break;
        }
    // The preview turns an item about y first, then x, then z.
    prop->setRotationOrder(DzNode::YXZ);
    placeProp(prop, pose);
    randomiseMorphs(prop, morphPercentage);
    return prop;
}

DzNode *duplicateProp(DzScene *scene, DzNode *source, DzNode *parent, const PropPose &pose, int morphPercentage)
{
    if (!source || !source->getObject())
        return nullptr;
    auto *sourceShape = qobject_cast<DzFacetShape *>(source->getObject()->getCurrentShape());
    if (!sourceShape)
        return nullptr;
    auto *shape = new DzFacetShape;
    shape->setFacetMesh(sourceShape->getFacetMesh());
    for (int i = 0; i < sourceShape->getNumMaterials(); ++i)
        shape->addMaterial(sourceShape->getMaterial(i));
    auto *object = new DzObject;
    object->setName(source->getObject()->getName());
    object->addShape(shape);
    for (int i = 0; i < source->getObject()->getNumModifiers(); ++i)
        if (auto *morph = qobject_cast<DzMorph *>(source->getObject()->getModifier(i))) {
            auto *copy = new DzMorph;
            copy->setDeltas(morph->getDeltas());
            copy->setName(morph->getName());
            copy->setLabel(morph->getLabel());
            object->addModifier(copy);
        }
    auto *node = new DzNode;
    node->setObject(object);
    const CopyName names = copyName(source->getLabel());
    node->setLabel(names.label);
    node->setName(names.name);
    PropPose unturned = pose;
    unturned.xRot = unturned.yRot = unturned.zRot = 0;
    placeProp(node, unturned);
    scene->addNode(node);
    if (parent)
        parent->addNodeChild(node);
    node->setRotationOrder(source->getRotationOrder());
    node->getXRotControl()->setValue(float(pose.xRot));
    node->getYRotControl()->setValue(float(pose.yRot));
    node->getZRotControl()->setValue(float(pose.zRot));
    randomiseMorphs(node, morphPercentage);
    return node;
}

int addProps(DzNode *terrain, const std::vector<PaintedItem> &items, int morphPercentage, const LogSink &log,
             const PropMakers &makers)
{
    const auto load = makers.load ? makers.load : [morphPercentage](int, const PaintedItem &item) {
        return loadProp(item.file, poseOf(item), morphPercentage);
    };
    const auto duplicate = makers.duplicate ? makers.duplicate
                                            : [morphPercentage, terrain](int, const PaintedItem &item, DzNode *last) {
                                                  DzNode *copy = duplicateProp(dzScene, last, terrain, poseOf(item), morphPercentage);
                                                  return copy ? copy : last;
                                              };
    bool hasChildren = false;
    int previousSlot = -1;
    DzNode *last = nullptr;
    int unloaded = 0;
    for (std::size_t i = 0; i < items.size(); ++i) {
        const PaintedItem &item = items[i];
        if (i > 0 && item.file.isEmpty())
            continue;
        if (i > 0 && last && canDuplicate(item.modelSlot, previousSlot, hasChildren)) {
            log(QStringLiteral("duplicating prop: [%1]%2\n").arg(i).arg(item.file));
            last = duplicate(int(i), item, last);
        } else {
            log(i == 0 ? QStringLiteral("loading prop [0]: %1\n").arg(item.file)
                       : QStringLiteral("loading prop: [%1]%2\n").arg(i).arg(item.file));
            last = load(int(i), item);
            if (last) {
                terrain->addNodeChild(last);
                hasChildren = last->getNumNodeChildren() > 0;
            } else {
                if (!makers.load)
                    log(QStringLiteral("prop could not be loaded: %1\n").arg(item.file));
                ++unloaded;
            }
        }
        previousSlot = item.modelSlot;
    }
    return unloaded;
}

}   // namespace orovista::scene
