#include "dzmaterial.h"
#include "dzimagemgr.h"
#include "dzproperty.h"
#include "dzsettings.h"

// --- DzMaterial ---------------------------------------------------------------------------

DzMaterial::DzMaterial()
{
    m_diffuse = new DzColorProperty(QStringLiteral("color"), QStringLiteral("Color"), Qt::white);
    addProperty(m_diffuse);
    connect(m_diffuse, &DzProperty::currentValueChanged, this, &DzMaterial::materialChanged);
}

DzMaterial::~DzMaterial() = default;

QColor DzMaterial::getDiffuseColor() const { return m_diffuse->getColorValue(); }
void DzMaterial::setDiffuseColor(const QColor &color) { m_diffuse->setColorValue(color); }
DzTexture *DzMaterial::getColorMap() const { return m_diffuse->getMapValue(); }
void DzMaterial::setColorMap(DzTexture *texture) { m_diffuse->setMap(texture); }

// --- DzDefaultMaterial --------------------------------------------------------------------

namespace {
DzFloatProperty *strengthProperty(DzElement *owner, const QString &name, const QString &label, float value)
{
    auto *p = new DzFloatProperty(name, label, value);
    p->setMinMax(0.0f, 1.0f);
    owner->addProperty(p);
    return p;
}

QStringList lightingModels()
{
    return {QStringLiteral("Plastic"), QStringLiteral("Metallic"), QStringLiteral("Skin"),
            QStringLiteral("Glossy (Plastic)"), QStringLiteral("Matte"), QStringLiteral("Glossy (Metallic)")};
}
} // namespace

DzDefaultMaterial::DzDefaultMaterial()
{
    m_lighting = new DzEnumProperty(QStringLiteral("Lighting Model"), QString(), lightingModels(), Plastic);
    addProperty(m_lighting);
    m_ambient = new DzColorProperty(QStringLiteral("Ambient Color"), QString(), Qt::black);
    addProperty(m_ambient);
    m_specular = new DzColorProperty(QStringLiteral("Specular Color"), QString(), Qt::white);
    addProperty(m_specular);
    m_ambientStrength = strengthProperty(this, QStringLiteral("Ambient Strength"), QString(), 0.0f);
    m_diffuseStrength = strengthProperty(this, QStringLiteral("Diffuse Strength"), QString(), 1.0f);
    m_specularStrength = strengthProperty(this, QStringLiteral("Specular Strength"), QString(), 1.0f);
    m_glossiness = strengthProperty(this, QStringLiteral("Glossiness"), QString(), 0.5f);
    for (DzProperty *p : {static_cast<DzProperty *>(m_lighting), static_cast<DzProperty *>(m_ambient),
                          static_cast<DzProperty *>(m_specular), static_cast<DzProperty *>(m_ambientStrength),
                          static_cast<DzProperty *>(m_diffuseStrength), static_cast<DzProperty *>(m_specularStrength),
                          static_cast<DzProperty *>(m_glossiness)})
        connect(p, &DzProperty::currentValueChanged, this, &DzMaterial::materialChanged);
}

void DzDefaultMaterial::setLightingModel(int model) { m_lighting->setValue(model); }
int DzDefaultMaterial::getLightingModel() const { return m_lighting->getValue(); }
void DzDefaultMaterial::setAmbientColor(const QColor &color) { m_ambient->setColorValue(color); }
QColor DzDefaultMaterial::getAmbientColor() const { return m_ambient->getColorValue(); }
void DzDefaultMaterial::setAmbientColorMap(DzTexture *texture) { m_ambient->setMap(texture); }
DzTexture *DzDefaultMaterial::getAmbientColorMap() const { return m_ambient->getMapValue(); }
void DzDefaultMaterial::setAmbientStrength(float value) { m_ambientStrength->setValue(value); }
float DzDefaultMaterial::getAmbientStrength() const { return m_ambientStrength->getValue(); }
void DzDefaultMaterial::setDiffuseStrength(float value) { m_diffuseStrength->setValue(value); }
float DzDefaultMaterial::getDiffuseStrength() const { return m_diffuseStrength->getValue(); }
void DzDefaultMaterial::setSpecularColor(const QColor &color) { m_specular->setColorValue(color); }
QColor DzDefaultMaterial::getSpecularColor() const { return m_specular->getColorValue(); }
void DzDefaultMaterial::setSpecularStrength(float value) { m_specularStrength->setValue(value); }
float DzDefaultMaterial::getSpecularStrength() const { return m_specularStrength->getValue(); }
void DzDefaultMaterial::setGlossinessStrength(float value) { m_glossiness->setValue(value); }
float DzDefaultMaterial::getGlossinessStrength() const { return m_glossiness->getValue(); }

// --- DzBrickParam -------------------------------------------------------------------------

DzBrickParam::DzBrickParam(DzShaderBrick *brick, const QString &argName, Direction direction, ValueType type,
                           DzProperty *property)
    : QObject(brick), m_brick(brick), m_argName(argName), m_direction(direction), m_type(type), m_property(property)
{
    setObjectName(argName);
}

DzBrickParam::~DzBrickParam()
{
    const QList<DzBrickParam *> others = m_connections;
    for (DzBrickParam *other : others)
        removeConnection(other);
}

bool DzBrickParam::addConnection(DzBrickParam *other)
{
    if (!other || other == this || other->m_direction == m_direction || other->m_type != m_type
        || other->m_brick == m_brick)
        return false;
    DzBrickParam *input = m_direction == Input ? this : other;
    DzBrickParam *output = m_direction == Output ? this : other;
    if (input->m_connections.contains(output))
        return true;
    // The output's brick must not already depend on the input's brick.
    if (output->m_brick->dependsOn(input->m_brick))
        return false;
    if (!input->m_connections.isEmpty())
        input->removeConnection(input->m_connections.first());
    input->m_connections.append(output);
    output->m_connections.append(input);
    return true;
}

bool DzBrickParam::removeConnection(DzBrickParam *other)
{
    if (!other || !m_connections.removeOne(other))
        return false;
    other->m_connections.removeOne(this);
    return true;
}

// --- DzShaderBrick ------------------------------------------------------------------------

DzShaderBrick::DzShaderBrick() : m_settings(new DzSettings) {}

DzShaderBrick::~DzShaderBrick()
{
    // Drop the connections while every parameter is still whole.
    const QList<DzBrickParam *> params = m_params;
    m_params.clear();
    qDeleteAll(params);
    delete m_settings;
}

DzBrickParam *DzShaderBrick::findParameterByArg(const QString &argName) const
{
    for (DzBrickParam *p : m_params)
        if (p->getArgName() == argName)
            return p;
    return nullptr;
}

DzBrickParam *DzShaderBrick::addParameter(const QString &argName, DzBrickParam::Direction direction,
                                          DzBrickParam::ValueType type, DzProperty *property)
{
    if (property)
        addProperty(property);
    auto *param = new DzBrickParam(this, argName, direction, type, property);
    m_params.append(param);
    return param;
}

bool DzShaderBrick::dependsOn(const DzShaderBrick *other) const
{
    QList<const DzShaderBrick *> seen{this};
    for (int i = 0; i < seen.size(); ++i)
        for (DzBrickParam *p : seen[i]->m_params) {
            if (p->getDirection() != DzBrickParam::Input)
                continue;
            for (int c = 0; c < p->getNumConnections(); ++c) {
                const DzShaderBrick *up = p->getConnection(c)->getBrick();
                if (up == other)
                    return true;
                if (!seen.contains(up))
                    seen.append(up);
            }
        }
    return false;
}

DzSimpleSurfaceBrick::DzSimpleSurfaceBrick()
{
    setName(QStringLiteral("Simple Surface"));
    addParameter(QStringLiteral("c_in"), DzBrickParam::Input, DzBrickParam::Color);
    addParameter(QStringLiteral("o_in"), DzBrickParam::Input, DzBrickParam::Float);
}

DzDefaultMaterialBrick::DzDefaultMaterialBrick()
{
    setName(QStringLiteral("Default Material"));
    addParameter(QStringLiteral("ColorOut"), DzBrickParam::Output, DzBrickParam::Color);
    addParameter(QStringLiteral("OpacityOut"), DzBrickParam::Output, DzBrickParam::Float);
    addParameter(QStringLiteral("DiffuseColor"), DzBrickParam::Input, DzBrickParam::Color,
                 new DzColorProperty(QStringLiteral("Diffuse Color"), QString(), Qt::white));
    auto *gloss = new DzFloatProperty(QStringLiteral("Glossiness"), QString(), 0.5f);
    gloss->setMinMax(0.0f, 1.0f);
    addParameter(QStringLiteral("Glossiness"), DzBrickParam::Input, DzBrickParam::Float, gloss);
    auto *specular = new DzFloatProperty(QStringLiteral("Specular Strength"), QString(), 1.0f);
    specular->setMinMax(0.0f, 1.0f);
    addParameter(QStringLiteral("SpecularStrength"), DzBrickParam::Input, DzBrickParam::Float, specular);
    addProperty(new DzEnumProperty(QStringLiteral("Lighting Model"), QString(), lightingModels(), 0));
}

DzImageBrick::DzImageBrick()
{
    setName(QStringLiteral("Image Map"));
    addProperty(new DzStringProperty(QStringLiteral("type"), QStringLiteral("Type"), QStringLiteral("color")));
    addParameter(QStringLiteral("outColor"), DzBrickParam::Output, DzBrickParam::Color);
    addParameter(QStringLiteral("color"), DzBrickParam::Input, DzBrickParam::Color,
                 new DzColorProperty(QStringLiteral("Color"), QString(), Qt::white));
}

DzNormalMapBrick::DzNormalMapBrick()
{
    setName(QStringLiteral("Normal Map"));
    addParameter(QStringLiteral("nout"), DzBrickParam::Output, DzBrickParam::Normal);
    addParameter(QStringLiteral("normalmap"), DzBrickParam::Input, DzBrickParam::Image,
                 new DzImageProperty(QStringLiteral("Normal Map")));
}

DzDisplaceBrick::DzDisplaceBrick()
{
    setName(QStringLiteral("Displace"));
    addParameter(QStringLiteral("n"), DzBrickParam::Input, DzBrickParam::Normal);
}

// --- DzBrickMaterial ----------------------------------------------------------------------

DzBrickMaterial::DzBrickMaterial() = default;

bool DzBrickMaterial::addBrick(DzShaderBrick *brick)
{
    if (!brick || m_bricks.contains(brick))
        return false;
    brick->setParent(this);
    m_bricks.append(brick);
    connect(brick, &QObject::destroyed, this, [this, brick] { m_bricks.removeOne(brick); });
    return true;
}

DzShaderBrick *DzBrickMaterial::getRootBrick() const
{
    for (DzShaderBrick *b : m_bricks)
        if (b->isRoot())
            return b;
    return nullptr;
}

bool DzBrickMaterial::update()
{
    int roots = 0;
    for (const DzShaderBrick *b : std::as_const(m_bricks)) {
        roots += b->isRoot() ? 1 : 0;
        for (int i = 0; i < b->getNumParameters(); ++i) {
            const DzBrickParam *p = b->getParameter(i);
            for (int c = 0; c < p->getNumConnections(); ++c)
                if (!m_bricks.contains(p->getConnection(c)->getBrick()))
                    return false;
        }
    }
    if (roots != 1)
        return false;
    emit materialChanged();
    return true;
}
