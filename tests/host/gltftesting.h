#pragma once
// What the glTF tests share: a mesh node built the way the scene builder builds one, and a
// model's accessors read back (float vectors packed or strided, 16- or 32-bit indices).
#include "dzmaterial.h"
#include "dznode.h"
#include "dzobject.h"

#include <gtest/gtest.h>
#include <tiny_gltf.h>

#include <cstdint>
#include <cstring>
#include <vector>

namespace gltfread {

/// A node named @a name holding @a mesh through a shape with @a materials.
inline DzNode *meshNode(const QString &name, const QString &label, DzFacetMesh *mesh, QList<DzMaterial *> materials)
{
    auto *shape = new DzFacetShape;
    shape->setFacetMesh(mesh);
    for (DzMaterial *m : materials)
        shape->addMaterial(m);
    auto *object = new DzObject;
    object->setName(name + QStringLiteral("_object"));
    object->addShape(shape);
    auto *node = new DzNode;
    node->setName(name);
    node->setLabel(label);
    node->setObject(object);
    return node;
}

// Float values of an accessor (any float vector type), tightly packed or strided.
inline std::vector<float> floats(const tinygltf::Model &m, int accessor)
{
    const tinygltf::Accessor &a = m.accessors.at(size_t(accessor));
    EXPECT_EQ(a.componentType, TINYGLTF_COMPONENT_TYPE_FLOAT);
    const tinygltf::BufferView &v = m.bufferViews.at(size_t(a.bufferView));
    const int n = tinygltf::GetNumComponentsInType(uint32_t(a.type));
    const size_t stride = v.byteStride ? v.byteStride : size_t(n) * 4;
    const unsigned char *base = m.buffers.at(size_t(v.buffer)).data.data() + v.byteOffset + a.byteOffset;
    std::vector<float> out(a.count * size_t(n));
    for (size_t i = 0; i < a.count; ++i)
        std::memcpy(&out[i * size_t(n)], base + i * stride, size_t(n) * 4);
    return out;
}

inline std::vector<uint32_t> indices(const tinygltf::Model &m, int accessor)
{
    const tinygltf::Accessor &a = m.accessors.at(size_t(accessor));
    const tinygltf::BufferView &v = m.bufferViews.at(size_t(a.bufferView));
    const unsigned char *base = m.buffers.at(size_t(v.buffer)).data.data() + v.byteOffset + a.byteOffset;
    std::vector<uint32_t> out(a.count);
    for (size_t i = 0; i < a.count; ++i) {
        if (a.componentType == TINYGLTF_COMPONENT_TYPE_UNSIGNED_SHORT) {
            uint16_t s;
            std::memcpy(&s, base + i * 2, 2);
            out[i] = s;
        } else {
            EXPECT_EQ(a.componentType, TINYGLTF_COMPONENT_TYPE_UNSIGNED_INT);
            std::memcpy(&out[i], base + i * 4, 4);
        }
    }
    return out;
}

}   // namespace gltfread
