#include "scene/scenebuilder.h"

#include <algorithm>
#include <utility>

namespace rwx::scenebuild {

namespace geo = scenegeometry;

bool numbers(const Words &words, qsizetype first, int count, float *out)
{
    if (words.size() < first + count)
        return false;
    for (int i = 0; i < count; ++i) {
        if (!parseNumber(words[first + i], out[i]))
            return false;
    }
    return true;
}

Scene Builder::build(QStringView text)
{
    m_scene.serial = m_serials++;
    openScope();
    readScript(text, true, *this);
    m_blocks.closeAll([this](Open &&open) { close(std::move(open)); });
    closeScope();
    Scene scene = std::move(m_scene.scene);
    scene.cancelled = m_cancelled;
    scene.updateBounds();
    return scene;
}

bool Builder::stopped()
{
    if (!m_cancelled && m_stop.stop_requested())
        m_cancelled = true;
    return m_cancelled;
}

bool Builder::statement(const Words &words)
{
    if (m_statements++ % StatementsPerStopQuestion == 0 && stopped()) // the first statement asks too
        return false;
    const int line = words.line + 1;
    const Keyword keyword = findKeyword(words[0]);
    const qsizetype lastVertex = std::exchange(m_lastVertex, -1);
    switch (keyword.op) {
    case Op::Ignored: break;
    case Op::Begin: begin(keyword.block, words); break;
    case Op::End: m_blocks.close(keyword.block, [this](Open &&open) { close(std::move(open)); }); break;
    case Op::ProtoInstance: instance(words, false, line); break;
    case Op::ProtoInstanceGeometry: instance(words, true, line); break;
    case Op::Vertex: vertex(words); break;
    case Op::Prelight: prelight(words, lastVertex); break;
    case Op::Triangle:
    case Op::Quad:
    case Op::Polygon: face(keyword.op, words, line); break;
    case Op::Block:
    case Op::Cone:
    case Op::Cylinder:
    case Op::Disc:
    case Op::Sphere:
    case Op::Hemisphere: primitive(keyword.op, words, line); break;
    case Op::Transform:
    case Op::Translate:
    case Op::Scale:
    case Op::Rotate:
    case Op::Identity: transform(keyword.op, words); break;
    default: material(keyword.op, words); break;
    }
    return !m_cancelled;
}

// ---- blocks ----

void Builder::begin(Block block, const Words &words)
{
    Open open{block, m_ctm, m_material, nullptr, QString()};
    if (block == Block::Proto) {
        if (words.size() >= 2)
            open.name = words[1].toString().toLower();
        open.outerTarget = m_target;
        m_protos.push_back(std::make_unique<Target>());
        m_target = m_protos.back().get();
        m_target->serial = m_serials++;
        setCtm(QMatrix4x4());
        m_material = Material();
        materialChanged();
    }
    m_blocks.open(std::move(open));
    if (block == Block::Clump || block == Block::Proto)
        openScope();
}

void Builder::close(Open &&open)
{
    switch (open.block) {
    case Block::None:
    case Block::Model:
        return;
    case Block::Proto:
        closeScope();
        if (!open.name.isEmpty())
            m_protoByName.insert(open.name, m_target);
        m_target = open.outerTarget;
        break;
    case Block::Clump:
        closeScope();
        break;
    case Block::Transform:
    case Block::JointTransform:
        setCtm(open.ctm);
        return;
    case Block::Material:
        m_material = std::move(open.material);
        materialChanged();
        return;
    }
    setCtm(open.ctm);
    m_material = std::move(open.material);
    materialChanged();
}

void Builder::openScope()
{
    m_scopes.push_back(Scope{m_target, qsizetype(m_corners.size()), qsizetype(m_pending.size())});
}

void Builder::closeScope()
{
    const Scope scope = m_scopes.back();
    m_scopes.pop_back();
    QList<Mesh> &meshes = scope.target->scene.meshes;
    for (auto it = m_pending.begin() + scope.pendingBase; it != m_pending.end(); ++it) {
        const QVector3D n = geo::unit(m_corners[it->corner].normalSum);
        meshes[it->mesh].normals[it->index] = n.isNull() ? UpNormal : n;
    }
    m_pending.resize(scope.pendingBase);
    m_corners.resize(scope.cornerBase);
}

// ---- geometry ----

void Builder::face(Op op, const Words &words, int line)
{
    qint64 count = op == Op::Triangle ? 3 : 4;
    qsizetype first = 1;
    if (op == Op::Polygon) {
        if (words.size() < 2 || !parseWhole(words[1], count))
            return;
        first = 2;
    }
    if (count < 3)
        return;
    const qsizetype last = faceIndexEnd(words, first);
    if (last - first < count)
        return;
    qint64 tag = 0;
    if (last + 1 < words.size() && (!parseWhole(words[last + 1], tag) || tag < 1 || tag > Scene::MaxTag))
        tag = 0;
    const qsizetype base = m_scopes.back().cornerBase;
    const qsizetype have = qsizetype(m_corners.size()) - base;
    m_faceCorners.clear();
    for (qsizetype i = first; i < first + count; ++i) {
        qint64 index = 0;
        if (!parseWhole(words[i], index) || index < 1 || index > have)
            return;
        m_faceCorners.push_back(base + qsizetype(index) - 1);
    }
    emitFace(m_faceCorners.data(), int(count), line, int(tag));
}

void Builder::emitFace(const qsizetype *corners, int count, int line, int tag)
{
    m_points.clear();
    for (int k = 0; k < count; ++k) {
        const Corner &c = m_corners[corners[k]];
        if (!c.usable)
            return;
        m_points.push_back(c.position);
    }
    const QVector3D normal = geo::newellNormal(m_points.data(), count);
    geo::triangulate(m_points.data(), count, normal, m_cut);
    if (!takeTriangles(qsizetype(m_cut.size())))
        return;
    const int meshIndex = currentMesh();
    Mesh &mesh = m_target->scene.meshes[meshIndex];
    const qint64 key = (qint64(m_target->serial) << 32) | meshIndex;
    const bool facet = m_material.lightSampling == LightSampling::Facet;
    QVector3D faceNormal = geo::unit(normal);
    if (faceNormal.isNull())
        faceNormal = UpNormal;
    m_out.resize(count);
    for (int k = 0; k < count; ++k) {
        Corner &c = m_corners[corners[k]];
        c.normalSum += normal;
        if (!facet && c.sharedKey == key) {
            m_out[k] = c.sharedIndex;
            continue;
        }
        m_out[k] = quint32(mesh.positions.size());
        mesh.positions.append(c.position);
        mesh.uvs.append(c.uv);
        if (c.prelit || !mesh.prelight.isEmpty())
            appendPrelight(mesh, c);
        if (facet) {
            mesh.normals.append(faceNormal);
            continue;
        }
        mesh.normals.append(c.normal.isNull() ? UpNormal : c.normal);
        if (c.normal.isNull())
            m_pending.push_back(PendingNormal{corners[k], meshIndex, m_out[k]});
        c.sharedKey = key;
        c.sharedIndex = m_out[k];
    }
    for (const geo::Triangle &t : m_cut) {
        mesh.indices.append(m_out[t[0]]);
        mesh.indices.append(m_out[t[1]]);
        mesh.indices.append(m_out[t[2]]);
        mesh.lines.append(line);
        mesh.tags.append(tag);
    }
}

void Builder::primitive(Op op, const Words &words, int line)
{
    const int needed = op == Op::Cylinder ? 4 : (op == Op::Sphere || op == Op::Hemisphere) ? 2 : 3;
    float a[4];
    if (!numbers(words, 1, needed, a))
        return;
    // Blocks and spheres are made of quads, and so is a cylinder without caps:
    // with room for less than one of their faces nothing of them is drawn.
    const bool quadsOnly = op == Op::Block || op == Op::Sphere || (op == Op::Cylinder && a[1] == 0 && a[2] == 0);
    if (!fits(quadsOnly ? 2 : 1))
        return;
    auto sides = [](float n) { return int(std::clamp(n, float(geo::MinSides), float(geo::MaxSides))); };
    auto density = [](float d) { return int(std::clamp(d, 0.0f, float(geo::MaxDensity))); };
    m_shape.clear();
    switch (op) {
    case Op::Block: geo::makeBlock(m_shape, a[0], a[1], a[2]); break;
    case Op::Cone: geo::makeCone(m_shape, a[0], a[1], sides(a[2])); break;
    case Op::Cylinder: geo::makeCylinder(m_shape, a[0], a[1], a[2], sides(a[3])); break;
    case Op::Disc: geo::makeDisc(m_shape, a[0], a[1], sides(a[2])); break;
    case Op::Sphere: geo::makeSphere(m_shape, a[0], density(a[1])); break;
    default: geo::makeHemisphere(m_shape, a[0], density(a[1])); break;
    }
    // A primitive is a little clump of its own: its corners are not numbered
    // in the clump around it.
    openScope();
    for (const geo::ShapeVertex &v : m_shape.vertices)
        addCorner(v.position, v.uv, v.normal);
    const qsizetype base = m_scopes.back().cornerBase;
    int sinceStopQuestion = 0;
    for (const auto &f : m_shape.faces) {
        if (++sinceStopQuestion >= FacesPerStopQuestion) {
            sinceStopQuestion = 0;
            if (stopped())
                break;
        }
        const qsizetype corners[4] = {base + f[0], base + f[1], base + f[2], base + f[3]};
        emitFace(corners, f[3] < 0 ? 3 : 4, line, 0);
    }
    closeScope();
}

bool Builder::fits(qsizetype count)
{
    if (m_triangles + count > Scene::MaxTriangles) {
        m_scene.scene.incomplete = true;
        return false;
    }
    return true;
}

bool Builder::takeTriangles(qsizetype count)
{
    if (!fits(count))
        return false;
    m_triangles += count;
    return true;
}

int Builder::currentMesh()
{
    if (m_meshTarget != m_target) {
        m_mesh = m_target->meshFor(m_material);
        m_meshTarget = m_target;
    }
    return m_mesh;
}

} // namespace rwx::scenebuild
