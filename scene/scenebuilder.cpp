#include "scene/scenebuilder.h"

#include <algorithm>
#include <cmath>

namespace rwx::scenebuild {

namespace geo = scenegeometry;

namespace {

inline bool isFinite(const QVector3D &v)
{
    return std::isfinite(v.x()) && std::isfinite(v.y()) && std::isfinite(v.z());
}

const QVector3D kUp(0, 1, 0); // the normal of a face or corner without a direction

// Statements, faces of a primitive, or corners of an instance between two
// questions whether to stop.
constexpr int kStatementsPerStopQuestion = 2048;
constexpr int kFacesPerStopQuestion = 2048;
constexpr qsizetype kCornersPerStopQuestion = 16384;

} // namespace

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
    if (m_statements++ % kStatementsPerStopQuestion == 0 && stopped()) // the first statement asks too
        return false;
    const int line = words.line + 1;
    const Keyword keyword = findKeyword(words[0]);
    switch (keyword.op) {
    case Op::Ignored: break;
    case Op::Begin: begin(keyword.block, words); break;
    case Op::End: m_blocks.close(keyword.block, [this](Open &&open) { close(std::move(open)); }); break;
    case Op::ProtoInstance: instance(words, false, line); break;
    case Op::ProtoInstanceGeometry: instance(words, true, line); break;
    case Op::Vertex: vertex(words); break;
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
        meshes[it->mesh].normals[it->index] = n.isNull() ? kUp : n;
    }
    m_pending.resize(scope.pendingBase);
    m_corners.resize(scope.cornerBase);
}

// ---- geometry ----

void Builder::vertex(const Words &words)
{
    float xyz[3];
    if (!numbers(words, 1, 3, xyz)) {
        Corner unusable; // still counts: the faces after it keep their numbers
        unusable.usable = false;
        m_corners.push_back(unusable);
        return;
    }
    QVector2D uv;
    QVector3D normal;
    for (qsizetype i = 4; i < words.size(); ++i) {
        float v[3];
        if (equalsLower(words[i], "uv") && numbers(words, i + 1, 2, v)) {
            uv = QVector2D(v[0], v[1]);
            i += 2;
        } else if (equalsLower(words[i], "normal") && numbers(words, i + 1, 3, v)) {
            normal = QVector3D(v[0], v[1], v[2]);
            i += 3;
        }
    }
    addCorner(QVector3D(xyz[0], xyz[1], xyz[2]), uv, normal);
}

qsizetype Builder::addCorner(const QVector3D &local, const QVector2D &uv, const QVector3D &localNormal)
{
    Corner corner;
    corner.position = m_ctm.map(local);
    ++m_scene.scene.placedCorners;
    corner.usable = isFinite(corner.position);
    corner.uv = uv;
    if (!localNormal.isNull())
        corner.normal = normalTransform().map(localNormal);
    m_corners.push_back(corner);
    return qsizetype(m_corners.size() - 1);
}

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
    const qsizetype base = m_scopes.back().cornerBase;
    const qsizetype have = qsizetype(m_corners.size()) - base;
    m_faceCorners.clear();
    for (qsizetype i = first; i < first + count; ++i) {
        qint64 index = 0;
        if (!parseWhole(words[i], index) || index < 1 || index > have)
            return;
        m_faceCorners.push_back(base + qsizetype(index) - 1);
    }
    emitFace(m_faceCorners.data(), int(count), line);
}

void Builder::emitFace(const qsizetype *corners, int count, int line)
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
        faceNormal = kUp;
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
        if (facet) {
            mesh.normals.append(faceNormal);
            continue;
        }
        mesh.normals.append(c.normal.isNull() ? kUp : c.normal);
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
        if (++sinceStopQuestion >= kFacesPerStopQuestion) {
            sinceStopQuestion = 0;
            if (stopped())
                break;
        }
        const qsizetype corners[4] = {base + f[0], base + f[1], base + f[2], base + f[3]};
        emitFace(corners, f[3] < 0 ? 3 : 4, line);
    }
    closeScope();
}

void Builder::instance(const Words &words, bool geometryOnly, int line)
{
    if (words.size() < 2)
        return;
    const Target *proto = m_protoByName.value(words[1].toString().toLower());
    if (!proto)
        return;
    const qsizetype triangles = proto->scene.triangleCount();
    if (triangles == 0 || !fits(triangles))
        return; // nothing is placed for an instance that would not fit
    // Place every corner first: an instance is drawn whole or not at all.
    m_mapped.clear();
    for (const Mesh &src : proto->scene.meshes) {
        if (stopped())
            return;
        for (qsizetype i = 0; i < src.positions.size(); ++i) {
            if (i % kCornersPerStopQuestion == kCornersPerStopQuestion - 1 && stopped())
                return;
            m_mapped.push_back(m_ctm.map(src.positions[i]));
            ++m_scene.scene.placedCorners;
            if (!isFinite(m_mapped.back()))
                return;
        }
    }
    takeTriangles(triangles);
    const geo::NormalTransform &turn = normalTransform();
    const QVector3D *mapped = m_mapped.data();
    for (const Mesh &src : proto->scene.meshes) {
        if (stopped())
            return; // the meshes copied so far are whole
        const int meshIndex = geometryOnly ? currentMesh() : m_target->meshFor(src.material);
        Mesh &dst = m_target->scene.meshes[meshIndex];
        const quint32 offset = quint32(dst.positions.size());
        dst.positions.append(QList<QVector3D>(mapped, mapped + src.positions.size()));
        mapped += src.positions.size();
        dst.normals.reserve(dst.normals.size() + src.normals.size());
        for (const QVector3D &n : src.normals) {
            const QVector3D turned = turn.map(n);
            dst.normals.append(turned.isNull() ? kUp : turned);
        }
        dst.uvs.append(src.uvs);
        dst.indices.reserve(dst.indices.size() + src.indices.size());
        for (const quint32 i : src.indices)
            dst.indices.append(i + offset);
        dst.lines.insert(dst.lines.size(), src.lines.size(), line);
    }
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
