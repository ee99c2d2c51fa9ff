#pragma once
#include "dzbase.h"
#include <QColor>

class DzBoolProperty;
class DzColorProperty;
class DzEnumProperty;
class DzFloatProperty;
class DzImageProperty;
class DzProperty;
class DzSettings;
class DzShaderBrick;
class DzTexture;

/// A surface material. Shared between shapes through its reference count (never give it a
/// QObject parent). Property "color" (label "Color") is the diffuse colour and its map.
class DZCORE_API DzMaterial : public DzElement, public DzRefCountedItem {
    Q_OBJECT
public:
    DzMaterial();
    ~DzMaterial() override;

    DzColorProperty *getDiffuseColorControl() const { return m_diffuse; }
    QColor getDiffuseColor() const;
    void setDiffuseColor(const QColor &color);
    DzTexture *getColorMap() const;
    void setColorMap(DzTexture *texture);

signals:
    void materialChanged();

private:
    DzColorProperty *m_diffuse = nullptr;
};

/// The host's fixed-function material.
class DZCORE_API DzDefaultMaterial : public DzMaterial {
    Q_OBJECT
public:
    /// Lighting models, the material's surface type (property "Lighting Model").
    enum LightingModel { Plastic = 0, Metallic = 1, Skin = 2, GlossyPlastic = 3, Matte = 4, GlossyMetallic = 5 };
    Q_ENUM(LightingModel)

    DzDefaultMaterial();

    void setLightingModel(int model);   ///< the surface type; ignores a value outside 0 … 5
    int getLightingModel() const;
    void setAmbientColor(const QColor &color);
    QColor getAmbientColor() const;
    void setAmbientColorMap(DzTexture *texture);
    DzTexture *getAmbientColorMap() const;
    void setAmbientStrength(float value);
    float getAmbientStrength() const;
    void setDiffuseStrength(float value);
    float getDiffuseStrength() const;
    void setSpecularColor(const QColor &color);
    QColor getSpecularColor() const;
    void setSpecularStrength(float value);
    float getSpecularStrength() const;
    void setGlossinessStrength(float value);
    float getGlossinessStrength() const;

private:
    DzEnumProperty *m_lighting = nullptr;
    DzColorProperty *m_ambient = nullptr, *m_specular = nullptr;
    DzFloatProperty *m_ambientStrength = nullptr, *m_diffuseStrength = nullptr;
    DzFloatProperty *m_specularStrength = nullptr, *m_glossiness = nullptr;
};

/// One input or output of a shader brick. Inputs that carry a value hold a property (owned by
/// the brick, found by getProperty()).
class DZCORE_API DzBrickParam : public QObject {
    Q_OBJECT
public:
    enum Direction { Input, Output };
    Q_ENUM(Direction)
    enum ValueType { Float, Color, Normal, Image };
    Q_ENUM(ValueType)

    DzBrickParam(DzShaderBrick *brick, const QString &argName, Direction direction, ValueType type,
                 DzProperty *property = nullptr);
    ~DzBrickParam() override;   ///< drops its connections

    QString getArgName() const { return m_argName; }
    Direction getDirection() const { return m_direction; }
    ValueType getValueType() const { return m_type; }
    DzShaderBrick *getBrick() const { return m_brick; }
    DzProperty *getProperty() const { return m_property; }

    /// Connects an output to an input (either may be this parameter). Accepted only between an
    /// input and an output of the same value type on two different bricks, and when it makes
    /// no cycle among the bricks. An input holds one connection: a new one replaces the old.
    bool addConnection(DzBrickParam *other);
    bool removeConnection(DzBrickParam *other);
    int getNumConnections() const { return int(m_connections.size()); }
    DzBrickParam *getConnection(int i) const { return m_connections.value(i); }

private:
    DzShaderBrick *m_brick;
    QString m_argName;
    Direction m_direction;
    ValueType m_type;
    DzProperty *m_property;
    QList<DzBrickParam *> m_connections;
};

/// A node of a shader network. Parameters are found by argument name; the brick's properties
/// (those behind parameters and free ones such as "Lighting Model") by findProperty().
class DZCORE_API DzShaderBrick : public DzElement {
    Q_OBJECT
public:
    DzShaderBrick();
    ~DzShaderBrick() override;

    int getNumParameters() const { return int(m_params.size()); }
    DzBrickParam *getParameter(int i) const { return m_params.value(i); }
    DzBrickParam *findParameterByArg(const QString &argName) const;
    /// Free settings of the brick (for example "AutoArrange").
    DzSettings *getSettings() const { return m_settings; }
    /// A root brick ends the network (the surface the renderer reads).
    virtual bool isRoot() const { return false; }
    /// True when some other brick feeds one of this brick's inputs, directly or further up.
    bool dependsOn(const DzShaderBrick *other) const;

protected:
    DzBrickParam *addParameter(const QString &argName, DzBrickParam::Direction direction,
                               DzBrickParam::ValueType type, DzProperty *property = nullptr);

private:
    QList<DzBrickParam *> m_params;
    DzSettings *m_settings;
};

/// Root: inputs "c_in" (colour) and "o_in" (opacity).
class DZCORE_API DzSimpleSurfaceBrick : public DzShaderBrick {
    Q_OBJECT
public:
    DzSimpleSurfaceBrick();
    bool isRoot() const override { return true; }
};

/// Surface: outputs "ColorOut", "OpacityOut"; inputs "DiffuseColor", "Glossiness",
/// "SpecularStrength"; enumerated property "Lighting Model" (the models of DzDefaultMaterial).
class DZCORE_API DzDefaultMaterialBrick : public DzShaderBrick {
    Q_OBJECT
public:
    DzDefaultMaterialBrick();
};

/// Texture: string property "type" ("color" at first), output "outColor", input "color" with a
/// colour property (colour and image map).
class DZCORE_API DzImageBrick : public DzShaderBrick {
    Q_OBJECT
public:
    DzImageBrick();
};

/// Normal map: output "nout", input "normalmap" with an image property.
class DZCORE_API DzNormalMapBrick : public DzShaderBrick {
    Q_OBJECT
public:
    DzNormalMapBrick();
};

/// Displacement: input "n" (normal).
class DZCORE_API DzDisplaceBrick : public DzShaderBrick {
    Q_OBJECT
public:
    DzDisplaceBrick();
};

/// A material made of a network of shader bricks, which it owns.
class DZCORE_API DzBrickMaterial : public DzMaterial {
    Q_OBJECT
public:
    DzBrickMaterial();

    bool addBrick(DzShaderBrick *brick);   ///< takes ownership; refuses null and a brick held
    int getNumBricks() const { return int(m_bricks.size()); }
    DzShaderBrick *getBrick(int i) const { return m_bricks.value(i); }
    DzShaderBrick *getRootBrick() const;   ///< the first root brick, null when none
    /// Checks the network: exactly one root brick, and every connection between bricks of this
    /// material. Emits materialChanged() when it holds; returns whether it does.
    bool update();

private:
    QList<DzShaderBrick *> m_bricks;
};
