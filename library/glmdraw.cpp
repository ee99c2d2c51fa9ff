#include "library/glmdraw.h"

#include "plugin/dialogs.h"
#include "plugin/runlog.h"
#include "viewport/glterrain.h"

#include <GL/gl.h>
#include <cstdio>

void glmDraw(const GLMmodel *model, unsigned mode)
{
    const GLMmodel &m = *model;
    auto drop = [&mode](unsigned flag, const char *warning) {
        mode &= ~flag;
        std::fputs(warning, stdout);
    };
    if ((mode & GLM_FLAT) && m.facetnorms.empty())
        drop(GLM_FLAT, "glmDraw() warning: flat render mode requested with no facet normals defined.\n");
    if ((mode & GLM_SMOOTH) && m.normals.empty())
        drop(GLM_SMOOTH, "glmDraw() warning: smooth render mode requested with no normals defined.\n");
    if ((mode & GLM_TEXTURE) && m.texcoords.empty())
        drop(GLM_TEXTURE, "glmDraw() warning: texture render mode requested with no texture coordinates defined.\n");
    if ((mode & GLM_FLAT) && (mode & GLM_SMOOTH))
        drop(GLM_FLAT, "glmDraw() warning: flat render mode requested and smooth render mode requested (using smooth).\n");
    if ((mode & GLM_COLOR) && m.materials.empty())
        drop(GLM_COLOR, "glmDraw() warning: color render mode requested with no materials defined.\n");
    if ((mode & GLM_MATERIAL) && m.materials.empty())
        drop(GLM_MATERIAL, "glmDraw() warning: material render mode requested with no materials defined.\n");
    if ((mode & GLM_COLOR) && (mode & GLM_MATERIAL))
        drop(GLM_COLOR, "glmDraw() warning: color and material render mode requested using only material mode.\n");

    if (mode & GLM_COLOR)
        glEnable(GL_COLOR_MATERIAL);
    else if (mode & GLM_MATERIAL)
        glDisable(GL_COLOR_MATERIAL);

    for (const GLMgroup &group : m.groups) {
        if (group.material < m.materials.size()) {
            const GLMmaterial &material = m.materials[group.material];
            if (mode & GLM_MATERIAL) {
                glMaterialfv(GL_FRONT_AND_BACK, GL_AMBIENT, material.ambient);
                glMaterialfv(GL_FRONT_AND_BACK, GL_DIFFUSE, material.diffuse);
                glMaterialfv(GL_FRONT_AND_BACK, GL_SPECULAR, material.specular);
                glMaterialf(GL_FRONT_AND_BACK, GL_SHININESS, material.shininess);
            }
            if (mode & GLM_COLOR)
                glColor3fv(material.diffuse);
        }
        glBegin(GL_TRIANGLES);
        for (unsigned index : group.triangles) {
            const GLMtriangle &t = m.triangles[index];
            if (mode & GLM_FLAT)
                glNormal3fv(&m.facetnorms[3 * std::size_t(t.findex)]);
            for (int j = 0; j < 3; ++j) {
                if ((mode & GLM_SMOOTH) && t.nindices[j])
                    glNormal3fv(&m.normals[3 * std::size_t(t.nindices[j])]);
                if ((mode & GLM_TEXTURE) && t.tindices[j])
                    glTexCoord2fv(&m.texcoords[2 * std::size_t(t.tindices[j])]);
                glVertex3fv(&m.vertices[3 * std::size_t(t.vindices[j])]);
            }
        }
        glEnd();
    }
}

std::unique_ptr<GLMmodel> readModelOrTell(const QString &path, QWidget *parent)
{
    GLMreadError error;
    auto model = glmReadOBJ(path, &error);
    if (!model)
        orovista::dialogs::error(parent, QStringLiteral("Error loading file: ") + error.message);
    return model;
}

PropModel compilePropModel(GLTerrain *gl, int slot, const QStringList &geometry)
{
    PropModel out;
    std::vector<std::unique_ptr<GLMmodel>> models;
    for (const QString &path : geometry) {
        auto model = readModelOrTell(path, gl);
        if (!model)
            return out;
        out.triangles += int(model->numtriangles);
        std::copy(model->bounds, model->bounds + 6, out.bounds);
        glmFacetNormals(model.get());
        models.push_back(std::move(model));
    }
    if (slot < 0)
        return out;
    gl->makeCurrent();
    if (gl->modelLists.size() <= std::size_t(slot))
        gl->modelLists.resize(std::size_t(slot) + 1, 0);
    GLuint &list = gl->modelLists[std::size_t(slot)];
    if (list)
        glDeleteLists(list, 1);
    list = glGenLists(1);
    glNewList(list, GL_COMPILE);
    for (const auto &model : models)
        glmDraw(model.get(), GLM_FLAT | GLM_MATERIAL);
    glEndList();
    gl->doneCurrent();
    out.compiled = list != 0;
    return out;
}

unsigned compileCustomTerrain(GLTerrain *gl, const GLMmodel *model, unsigned mode)
{
    gl->makeCurrent();
    const GLuint list = glGenLists(1);
    orovista::runLog() << "terrain DL stored in slot #" << int(list) << "\n";
    glNewList(list, GL_COMPILE);
    glmDraw(model, mode);
    glEndList();
    gl->doneCurrent();
    return list;
}
