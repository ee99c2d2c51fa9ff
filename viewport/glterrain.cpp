#include "viewport/glterrain.h"

#include "dzglbuffers.h"
#include "plugin/programstate.h"
#include "terrain/terrainarrays.h"

GLTerrain::GLTerrain(const QSurfaceFormat &format, QWidget *parent) : QOpenGLWidget(parent)
{
    setFormat(format);
    setObjectName(QStringLiteral("GLTerrain"));
    setFocusPolicy(Qt::StrongFocus);
}

GLTerrain::~GLTerrain() = default;

void GLTerrain::updateGL()
{
    update();
    repaint();
}

void GLTerrain::uploadTerrain(const TerrainArrays &mesh)
{
    orovista::ProgramState &s = orovista::state();
    if (!s.vboSupported || mesh.isEmpty() || !context())
        return;
    makeCurrent();
    const orovista::VertexBufferLayout layout = orovista::vertexBufferLayout(mesh.gridSize);
    if (!s.vertexBuffers[0]) {
        __glewGenBuffersARB(2, s.vertexBuffers);
        __glewBindBufferARB(GL_ARRAY_BUFFER, s.vertexBuffers[0]);
        __glewBufferDataARB(GL_ARRAY_BUFFER, layout.totalBytes, nullptr, GL_DYNAMIC_DRAW);
        __glewBindBufferARB(GL_ELEMENT_ARRAY_BUFFER, s.vertexBuffers[1]);
        __glewBufferDataARB(GL_ELEMENT_ARRAY_BUFFER, GLsizeiptr(mesh.indices.size() * sizeof(std::uint32_t)),
                            mesh.indices.data(), GL_DYNAMIC_DRAW);
    }
    __glewBindBufferARB(GL_ARRAY_BUFFER, s.vertexBuffers[0]);
    auto put = [](long long offset, const std::vector<float> &data) {
        __glewBufferSubDataARB(GL_ARRAY_BUFFER, GLintptr(offset), GLsizeiptr(data.size() * sizeof(float)), data.data());
    };
    put(layout.vertices, mesh.vertices);
    put(layout.normals, mesh.normals);
    put(layout.colors, mesh.colors);
    put(layout.texCoords, mesh.texCoords);
    __glewBindBufferARB(GL_ARRAY_BUFFER, 0);
    doneCurrent();
}

void GLTerrain::deleteAllObjectsSilent() { m_selectedItem = -1; }

void GLTerrain::setGLFocus() { setFocus(Qt::OtherFocusReason); }
void GLTerrain::focusTerrainGL() { setFocus(Qt::OtherFocusReason); }

void GLTerrain::initializeGL()
{
    initializeOpenGLFunctions();
    glClearColor(192 / 255.0f, 220 / 255.0f, 252 / 255.0f, 1.0f);
}

void GLTerrain::resizeGL(int w, int h) { glViewport(0, 0, w, h); }

void GLTerrain::paintGL() { glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT); }

// Navigation, item editing, painting, textures and sky controls: filled in with their features.
void GLTerrain::wheelTimeout() {}
void GLTerrain::glCameraSpeedSliderReleased(int) {}
void GLTerrain::itemXRot() {}
void GLTerrain::itemYRot() {}
void GLTerrain::itemZRot() {}
void GLTerrain::itemScaleX() {}
void GLTerrain::itemScaleY() {}
void GLTerrain::itemScaleZ() {}
void GLTerrain::itemYOffset() {}
void GLTerrain::deleteCurrentObject() {}
void GLTerrain::deleteAllObjects() {}
void GLTerrain::deleteLastItem() {}
void GLTerrain::repositionItems() {}
void GLTerrain::setPaintBelowZero() {}
void GLTerrain::setItemStack() {}
void GLTerrain::switchBoundingAll() {}
void GLTerrain::loadReferenceTerrainTexture() {}
void GLTerrain::setReferenceTextureOnOffCheckBox(int) {}
void GLTerrain::loadMaskTerrainTexture() {}
void GLTerrain::setmaskTextureDisplayOnOffCheckBox(int) {}
void GLTerrain::setMaskTextureOnOffCheckBox(int) {}
void GLTerrain::glSunPitchSliderReleased(int) {}
void GLTerrain::glSunAzimuthSliderReleased(int) {}
void GLTerrain::glrSkyMxSliderReleased(int) {}
void GLTerrain::glgSkyMxSliderReleased(int) {}
void GLTerrain::glbSkyMxSliderReleased(int) {}
void GLTerrain::TurbiditySliderReleased(int) {}
void GLTerrain::glHorizonBrightnessSliderReleased(int) {}
void GLTerrain::glHorizonLuminanceGradientSliderReleased(int) {}
void GLTerrain::glSolarRegionIntensitySliderReleased(int) {}
void GLTerrain::glSolarRegionWidthSliderReleased(int) {}
void GLTerrain::glBackscatterLightSliderReleased(int) {}
void GLTerrain::glStarIntensitySliderReleased(int) {}
void GLTerrain::glStarPopulationSliderReleased(int) {}
void GLTerrain::glSkyResetButtonClicked() {}
void GLTerrain::glLightPitchSliderReleased(int) {}
void GLTerrain::glLightAzimuthSliderReleased(int) {}
void GLTerrain::glLightIntensitySliderReleased(int value) { m_lightIntensity = value * 0.01f; }
void GLTerrain::EcoDiameterSliderReleased() {}
